// File operations shared by the run, the overwrite decision and the files panel.
// Every write goes to a temporary file in the target's folder that is then
// renamed over the target, so an interrupted program never leaves a truncated
// file behind. Temporaries carry a fixed prefix and suffix and can be cleaned.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tersify {

class UserInteraction;

inline constexpr std::string_view kTempPrefix = "~tersify-";
inline constexpr std::string_view kTempSuffix = ".tmp";

// Size in bytes of the file at `path`; -1 when there is none.
std::int64_t FileSizeOf(const std::string& path);

// How far a write must have gone before it counts as done: into the system's
// cache, or onto the disk (for a write that is the only copy of a user's data).
enum class Durability { Cached, OnDisk };

// Copies `source` to `target` (into it, when `target` is an existing folder).
// The target appears whole or not at all. With `keepTime` the copy gets the
// source's last-write time.
bool CopyFileTo(const std::string& source, const std::string& target, bool keepTime = false,
                Durability durability = Durability::Cached);

enum class MoveResult { Moved, Copied, Failed };
// Renames `source` to `target`. Where that is impossible (the target exists, or
// it lies on another volume) the source is copied and stays where it was; a
// read-only source is then a failure.
MoveResult MoveFileTo(const std::string& source, const std::string& target);

// True when both paths name one entry of one folder (the same name in the
// same folder, however the folder is written), as when the backup or output
// folder is the file's own folder. Two names of one file (hard links) are two
// entries. False when either folder cannot be found.
bool SameDirectoryEntry(const std::string& a, const std::string& b);

// The last-write time of a file as a local date-time text, or nothing.
std::optional<std::string> FileDateTextOf(const std::string& path);
// As above; when the time cannot be read, shows the path in a message box and
// answers the empty text.
std::string FileDateText(const std::string& path, UserInteraction& ui);

// The bytes of a plain file; nothing for a folder, a pipe or a device.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Writes `bytes` to `target` through a temporary file in the target's folder.
// An existing target keeps its permissions. Returns false and leaves the target
// untouched on any failure.
bool WriteFileAtomically(const std::string& target, std::string_view bytes,
                         Durability durability = Durability::Cached);

// A fresh temporary path in the folder of `target`.
std::string TemporaryPathBeside(const std::string& target);
bool IsTemporaryName(std::string_view fileName);
// Removes the leftover temporaries of an interrupted program from `folder`;
// returns how many were removed.
int CleanLeftoverTemporaries(const std::string& folder);

}  // namespace tersify
