// SHA-256 digests, from the system's libcrypto.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace tersify::platform {

using Sha256Digest = std::array<unsigned char, 32>;

// The digest of `bytes`; nothing when the library cannot be had or fails.
// Where the system loads libraries on request (Linux), libcrypto is loaded
// the first time a digest is asked for: a process that needs none, such as
// one page through the command line's filter form, does not pay the
// milliseconds its loading costs.
std::optional<Sha256Digest> Sha256(std::string_view bytes);

}  // namespace tersify::platform
