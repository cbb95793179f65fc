#include "run/paths.h"

#include <filesystem>
#include <system_error>

#include "platform/paths.h"

namespace tersify {

namespace fs = std::filesystem;

bool IsPathDelim(char c) { return platform::IsPathSeparator(c); }

std::string NameOf(std::string_view path) { return platform::NamePart(path); }

std::string FolderOf(std::string_view path) { return platform::FolderPart(path); }

std::string WithTrailingDelim(std::string_view folder) {
  std::string out(folder);
  if (out.empty() || !IsPathDelim(out.back())) out += kPathDelim;
  return out;
}

std::string InFolder(std::string_view folder, std::string_view name) {
  std::string out = folder.empty() ? std::string() : WithTrailingDelim(folder);
  out += name;
  return out;
}

std::string RealPathOf(const std::string& path) {
  std::error_code ec;
  std::filesystem::path real = std::filesystem::canonical(path, ec);
  return ec ? path : real.string();
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  auto st = fs::status(path, ec);
  return !ec && fs::exists(st) && !fs::is_directory(st);
}

bool FolderExists(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(path, ec);
}

std::string BackupPathOf(const std::string& fullPath, const OptimizationSettings& s) {
  return InFolder(s.edBackUpPath, NameOf(fullPath));
}

std::string PackedPath(const std::string& fullPath, const OptimizationSettings& s, Lookup lookup) {
  if (!s.radModifyOld) return InFolder(s.edOptimizedPath, NameOf(fullPath));
  if (lookup == Lookup::Plain) return fullPath;
  bool both = FileExists(fullPath) && FileExists(BackupPathOf(fullPath, s));
  return both ? fullPath : std::string(kDoesNotExist);
}

std::string UnpackedPath(const std::string& fullPath, const OptimizationSettings& s, Lookup lookup) {
  if (!s.radModifyOld) return fullPath;
  std::string backup = BackupPathOf(fullPath, s);
  if (lookup == Lookup::Plain) return backup;
  return FileExists(fullPath) && FileExists(backup) ? backup : fullPath;
}

}  // namespace tersify
