#include "platform/paths.h"

#include <cstdlib>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tersify::platform {
namespace {

#ifdef _WIN32
constexpr char kListSeparator = ';';

std::string ToUtf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), size, nullptr, nullptr);
  return out;
}

std::wstring Lower(std::wstring text) {
  if (!text.empty()) CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

bool IsExecutableFile(const std::string& path) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), wide.data(), size);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}
#else
constexpr char kListSeparator = ':';

bool IsExecutableFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}
#endif

bool HasSeparator(std::string_view path) {
  for (char c : path)
    if (IsPathSeparator(c)) return true;
  return false;
}

std::vector<std::string_view> SplitList(std::string_view list) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(kListSeparator, start);
    if (end == std::string_view::npos) end = list.size();
    if (end > start) parts.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

constexpr std::string_view kFallbackOpener = "/usr/bin/xdg-open";

}  // namespace

char PathSeparator() {
#ifdef _WIN32
  return '\\';
#else
  return '/';
#endif
}

bool IsPathSeparator(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/';
#else
  return c == '/';
#endif
}

std::string NamePart(std::string_view path) {
  for (std::size_t i = path.size(); i > 0; --i)
    if (IsPathSeparator(path[i - 1])) return std::string(path.substr(i));
  return std::string(path);
}

std::string FolderPart(std::string_view path) {
  for (std::size_t i = path.size(); i > 0; --i)
    if (IsPathSeparator(path[i - 1])) return std::string(path.substr(0, i));
  return {};
}

std::string NormalizePathCase(std::string_view path) {
#ifdef _WIN32
  const int size = MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), wide.data(), size);
  return ToUtf8(Lower(wide));
#else
  return std::string(path);
#endif
}

std::string ProgramFolder() {
#ifdef _WIN32
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      buffer.resize(length);
      break;
    }
    buffer.resize(buffer.size() * 2);
  }
  return FolderPart(ToUtf8(Lower(buffer)));
#else
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<std::size_t>(length) < buffer.size()) {
      buffer.resize(static_cast<std::size_t>(length));
      break;
    }
    buffer.resize(buffer.size() * 2);
  }
  return FolderPart(buffer);
#endif
}

std::string SystemFolder() {
#ifdef _WIN32
  wchar_t buffer[MAX_PATH + 1] = {};
  const UINT length = GetWindowsDirectoryW(buffer, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return "c:\\windows";
  std::wstring folder(buffer, length);
  while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  return ToUtf8(Lower(folder));
#else
  return "/usr/bin";
#endif
}

std::string FindFirstOnPath(std::initializer_list<std::string_view> candidates, std::string_view pathList) {
  const std::vector<std::string_view> folders = SplitList(pathList);
  for (std::string_view candidate : candidates) {
    if (candidate.empty()) continue;
    if (HasSeparator(candidate)) {
      if (IsExecutableFile(std::string(candidate))) return std::string(candidate);
      continue;
    }
    for (std::string_view folder : folders) {
      std::string full(folder);
      if (!IsPathSeparator(full.back())) full.push_back(PathSeparator());
      full += candidate;
      if (IsExecutableFile(full)) return full;
    }
  }
  return {};
}

std::string FindFirstOnPath(std::initializer_list<std::string_view> candidates) {
  const char* path = std::getenv("PATH");
  return FindFirstOnPath(candidates, path == nullptr ? std::string_view() : std::string_view(path));
}

std::string DefaultEditor() {
#ifdef _WIN32
  return SystemFolder() + "\\notepad.exe";
#else
  std::string found = FindFirstOnPath({"xdg-open", "sensible-editor", "editor"});
  return found.empty() ? std::string(kFallbackOpener) : found;
#endif
}

std::string DefaultBrowser() {
#ifdef _WIN32
  return "c:\\program files\\internet explorer\\iexplore.exe";
#else
  std::string found = FindFirstOnPath({"xdg-open", "sensible-browser", "x-www-browser", "firefox"});
  return found.empty() ? std::string(kFallbackOpener) : found;
#endif
}

}  // namespace tersify::platform
