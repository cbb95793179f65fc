// Path pieces and the two copy lookups of a panel file.
#pragma once

#include <string>
#include <string_view>

#include "settings/options.h"

namespace tersify {

#ifdef _WIN32
inline constexpr char kPathDelim = '\\';
#else
inline constexpr char kPathDelim = '/';
#endif

// Stands where a path is expected but there is no such copy; never names a file.
inline constexpr std::string_view kDoesNotExist = "does not exist!";

bool IsPathDelim(char c);
// The text after the last separator.
std::string NameOf(std::string_view path);
// The text up to and including the last separator (empty when there is none).
std::string FolderOf(std::string_view path);
// The folder text with a separator at its end.
std::string WithTrailingDelim(std::string_view folder);
// `name` inside `folder`: a folder given without a separator at its end
// ("mini") gets one, so the name never runs into the folder's own name; an
// empty folder leaves the name as it is.
std::string InFolder(std::string_view folder, std::string_view name);

// The page a path names, links and "." or ".." resolved; the path itself
// when it cannot be resolved (a file that is not there).
std::string RealPathOf(const std::string& path);

// True for an existing entry that is not a folder.
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);

enum class Lookup { Plain, Verified };

// Where the optimized copy of `fullPath` lies in the current output mode.
std::string PackedPath(const std::string& fullPath, const OptimizationSettings& s, Lookup lookup);
// Where the backup of `fullPath` lies: its name in the backup folder.
std::string BackupPathOf(const std::string& fullPath, const OptimizationSettings& s);
// Where the unoptimized copy of `fullPath` lies in the current output mode.
std::string UnpackedPath(const std::string& fullPath, const OptimizationSettings& s, Lookup lookup);

}  // namespace tersify
