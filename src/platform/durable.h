// Making written data survive a power loss or a crash of the whole machine.
//
// A rename makes a new file visible at once, but its bytes may still sit in
// the operating system's cache; flushing the file before the rename, and the
// folder after it, keeps the old or the new content at the path, never an
// empty file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tersify::platform {

// Asks the system to write the file's data to the disk and waits for it.
// Returns false when the file cannot be opened or the flush fails.
bool FlushFileToDisk(const std::string& path);

// Makes the folder's entries (a rename into it) durable. Where the system has
// no such operation it does nothing and answers true.
bool FlushFolderToDisk(const std::string& folder);

// The program's temporary files have short names of one fixed form: ".tfy",
// eight hexadecimal digits, ".tmp". They fit wherever the target's name fits,
// and only names of this form (or the long form of earlier versions) are ever
// cleaned away, never a user's file.
inline constexpr std::string_view kTempPrefix = ".tfy";
inline constexpr std::size_t kTempTagDigits = 8;
inline constexpr std::string_view kTempSuffix = ".tmp";

// A new name of that form, with a random tag (without a folder).
std::string NewTemporaryName();
// True for a file name of that form.
bool IsTemporaryName(std::string_view fileName);

}  // namespace tersify::platform
