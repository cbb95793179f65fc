// Byte-to-byte lower-case tables of the supported single-byte code pages.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tersify {

enum class CodePage { Cp1250 = 1250, Cp1251 = 1251, Cp1252 = 1252 };

using LowerTable = std::array<unsigned char, 256>;

const LowerTable& LowerTableFor(CodePage cp);
std::optional<CodePage> CodePageFromNumber(int number);

std::string ToLower(std::string_view text, CodePage cp);

}  // namespace tersify
