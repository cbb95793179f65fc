// Conversion between the 8-bit ANSI code pages 1250, 1251, 1252 and UTF-8.
//
// The program keeps its user-facing text (messages, captions, paths shown to
// the user) in UTF-8; files in an ANSI code page (language files) are decoded
// on loading. Bytes that a code page leaves undefined map to the control
// characters of the same value, so decoding and encoding round-trip.
#pragma once

#include <string>
#include <string_view>

#include "base/codepage.h"

namespace tersify {

// Decodes ANSI bytes to UTF-8. Never fails.
std::string AnsiToUtf8(std::string_view bytes, CodePage codePage);

// Encodes UTF-8 text to ANSI bytes. Characters the code page lacks and
// malformed UTF-8 sequences become the replacement byte.
std::string Utf8ToAnsi(std::string_view text, CodePage codePage, char replacement = '?');

// Appends the UTF-8 form of a code point (invalid ones as U+FFFD).
void AppendUtf8(std::string& out, char32_t codePoint);

}  // namespace tersify
