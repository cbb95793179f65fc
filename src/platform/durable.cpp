#include "platform/durable.h"

#include <cstdint>
#include <random>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace tersify::platform {

#ifdef _WIN32

namespace {
std::wstring Wide(const std::string& utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}
}  // namespace

bool FlushFileToDisk(const std::string& path) {
  HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool ok = FlushFileBuffers(h) != 0;
  CloseHandle(h);
  return ok;
}

// NTFS journals its folder entries; there is no flush for a folder.
bool FlushFolderToDisk(const std::string&) { return true; }

#else

namespace {
bool SyncOpened(const std::string& path, int flags) {
  int fd = ::open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}
}  // namespace

bool FlushFileToDisk(const std::string& path) { return SyncOpened(path, O_RDONLY); }

bool FlushFolderToDisk(const std::string& folder) {
  return SyncOpened(folder.empty() ? std::string(".") : folder, O_RDONLY | O_DIRECTORY);
}

#endif

namespace {

bool IsHexDigits(std::string_view text) {
  for (char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return !text.empty();
}

}  // namespace

std::string NewTemporaryName() {
  std::random_device rd;
  std::uint32_t tag = rd();
  char hex[kTempTagDigits];
  for (std::size_t i = kTempTagDigits; i > 0; --i, tag >>= 4) hex[i - 1] = "0123456789abcdef"[tag & 15];
  return std::string(kTempPrefix) + std::string(hex, kTempTagDigits) + std::string(kTempSuffix);
}

bool IsTemporaryName(std::string_view name) {
  if (!name.ends_with(kTempSuffix)) return false;
  name.remove_suffix(kTempSuffix.size());
  if (name.size() == kTempPrefix.size() + kTempTagDigits && name.starts_with(kTempPrefix))
    return IsHexDigits(name.substr(kTempPrefix.size()));
  // The long form of earlier versions.
  constexpr std::string_view kOldPrefix = "~tersify-";
  constexpr std::size_t kOldDigits = 16;
  if (!name.starts_with(kOldPrefix) || name.size() < kOldPrefix.size() + 2 + kOldDigits) return false;
  return name[name.size() - kOldDigits - 1] == '.' && IsHexDigits(name.substr(name.size() - kOldDigits));
}

}  // namespace tersify::platform
