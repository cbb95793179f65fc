// Reading whole files.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace tersify::platform {

// The bytes of a plain file, read straight into a buffer of its size with
// room for `spare` more bytes, and for one more in every `sparePer` bytes of
// the file when that is not 0. Nothing when it cannot be read, and nothing
// for a folder, a pipe (which would wait for a writer for ever) or a device
// (such as /dev/zero, which would never end). `why`, when given, gets the
// system's reason: the file is missing, may not be read, is a folder, or does
// not fit into memory (not_enough_memory); it stays empty for a pipe or a device.
std::optional<std::string> ReadPlainFile(const std::filesystem::path& path, std::size_t spare = 0,
                                         std::error_code* why = nullptr, std::size_t sparePer = 0);

}  // namespace tersify::platform
