// How the source view shows a page's bytes as editable text and turns the
// edited text back into bytes. A page that is valid UTF-8 is read as UTF-8,
// any other page in the system's code page. Saving keeps the original bytes
// of every character the user did not touch, line breaks included.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/codepage.h"

namespace tersify {

bool IsValidUtf8(std::string_view bytes);

struct PageText {
  std::string bytes;  // the page as read (or last saved)
  bool utf8 = true;   // false: the bytes are in `codePage`
  CodePage codePage = CodePage::Cp1252;
  std::string lineBreak;  // for lines the user adds: the page's first break, else CR LF
  std::string shown;      // UTF-8, every line break (CR LF, CR, LF) as one LF
  // Where each shown character starts in `bytes`, plus the end: the bytes of
  // character i are [starts[i], starts[i + 1]).
  std::vector<std::size_t> starts;
};

// Decodes a page; `utf8` chooses the reading, normally IsValidUtf8(bytes).
PageText DecodePage(std::string bytes, CodePage codePage, bool utf8);

// The bytes for the edited text (UTF-8; CR LF, CR or LF line breaks): the
// page's own bytes for every character that is unchanged, the page's
// encoding for the rest. A character the code page lacks is written as an
// HTML character reference, so nothing typed is lost.
std::string EncodeEdited(const PageText& page, std::string_view edited);

}  // namespace tersify
