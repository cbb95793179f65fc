// Reading whole files.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace tersify::platform {

// The bytes of a plain file, read straight into a buffer of its size with
// room for `spare` more bytes. Nothing when it cannot be read, and nothing
// for a folder, a pipe (which would wait for a writer for ever) or a device
// (such as /dev/zero, which would never end).
std::optional<std::string> ReadPlainFile(const std::filesystem::path& path, std::size_t spare = 0);

}  // namespace tersify::platform
