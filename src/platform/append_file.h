// Appending a line to a log-like file so that a crash leaves it whole.
#pragma once

#include <string>
#include <string_view>

namespace tersify::platform {

// Appends `line` (which ends with a line break) to `path`, creating the file,
// in one write in append mode, then flushes the file to the disk. A short
// write is ended with a line break so the next line starts on its own.
// Returns false when the file cannot be opened, written or flushed.
bool AppendLineDurably(const std::string& path, std::string_view line);

}  // namespace tersify::platform
