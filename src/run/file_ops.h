// File operations shared by the run, the overwrite decision and the files panel.
// Every write goes to a temporary file in the target's folder that is then
// renamed over the target, so an interrupted program never leaves a truncated
// file behind. Temporaries have short names of one fixed form (".tfy", eight
// hexadecimal digits, ".tmp"), so they fit wherever the target's name fits, are
// created only where no file of that name exists, and can be cleaned.
// Operations that can fail tell the system's reason through an optional
// `std::error_code* why`.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/durable.h"

namespace tersify {

class UserInteraction;

using platform::IsTemporaryName;
using platform::kTempPrefix;
using platform::kTempSuffix;
using platform::kTempTagDigits;

// The system's reason for a failure as a message ends with it, in lower case
// ("permission denied", "no space left on device", "not enough memory");
// empty for no error.
std::string ReasonText(const std::error_code& ec);
// ": " and the reason, or nothing when there is none.
std::string ReasonSuffix(const std::error_code& ec);

// Size in bytes of the file at `path`; -1 when there is none.
std::int64_t FileSizeOf(const std::string& path);

// How far a write must have gone before it counts as done: into the system's
// cache, or onto the disk (for a write that is the only copy of a user's data).
enum class Durability { Cached, OnDisk };

// Copies `source` to `target` (into it, when `target` is an existing folder).
// The target appears whole or not at all. With `keepTime` the copy gets the
// source's last-write time.
// A new target takes the source's owner, group and mode; an existing one
// keeps its own.
bool CopyFileTo(const std::string& source, const std::string& target, bool keepTime = false,
                Durability durability = Durability::Cached, std::error_code* why = nullptr);

// The copying half of a move to another file system: `target` (replaced when
// it exists) gets the source's bytes, owner, group, mode and last-write time,
// and is on the disk when this returns true. The source stays in place.
bool CopyForMove(const std::string& source, const std::string& target, std::error_code* why = nullptr);

enum class MoveResult { Moved, Copied, Failed };
// Renames `source` to `target`. When the target lies on another file system
// the source is copied there, flushed to the disk and then removed (Moved).
// When the target exists the source is copied over it and stays where it was
// (Copied); a read-only source is then a failure.
MoveResult MoveFileTo(const std::string& source, const std::string& target, std::error_code* why = nullptr);

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

// The bytes of a plain file; nothing for a folder, a pipe or a device, nor
// for a file too large for memory (the reason is then not_enough_memory).
std::optional<std::string> ReadWholeFile(const std::string& path, std::error_code* why = nullptr);

// Writes `bytes` to `target` through a temporary file in the target's folder.
// An existing target keeps its owner and group (where the process may set
// them) and its permissions. Returns false and leaves the target untouched on
// any failure.
bool WriteFileAtomically(const std::string& target, std::string_view bytes, Durability durability = Durability::Cached,
                         std::error_code* why = nullptr);

// A fresh temporary path in the folder of `target`; its name is 16 bytes
// long whatever the target's name.
std::string TemporaryPathBeside(const std::string& target);
// Removes the leftover temporaries of an interrupted program from `folder`
// (plain files with such names only); returns how many were removed.
int CleanLeftoverTemporaries(const std::string& folder);

}  // namespace tersify
