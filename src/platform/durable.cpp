#include "platform/durable.h"

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

}  // namespace tersify::platform
