// SHA-256 of a byte string, for the run record's fingerprints.
#pragma once

#include <array>
#include <string_view>

namespace tersify {

using Sha256Digest = std::array<unsigned char, 32>;

// With the processor's SHA instructions where it has them.
Sha256Digest Sha256(std::string_view bytes);
// The same without them, on any processor.
Sha256Digest Sha256Portable(std::string_view bytes);

}  // namespace tersify
