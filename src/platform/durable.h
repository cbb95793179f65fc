// Making written data survive a power loss or a crash of the whole machine.
//
// A rename makes a new file visible at once, but its bytes may still sit in
// the operating system's cache; flushing the file before the rename, and the
// folder after it, keeps the old or the new content at the path, never an
// empty file.
#pragma once

#include <string>

namespace tersify::platform {

// Asks the system to write the file's data to the disk and waits for it.
// Returns false when the file cannot be opened or the flush fails.
bool FlushFileToDisk(const std::string& path);

// Makes the folder's entries (a rename into it) durable. Where the system has
// no such operation it does nothing and answers true.
bool FlushFolderToDisk(const std::string& folder);

}  // namespace tersify::platform
