// The system's ANSI code page: the 8-bit code page of language files and of
// the documents the engine treats.
#pragma once

#include <string_view>

#include "base/codepage.h"

namespace tersify::platform {

// The code page of a locale name such as "pl_PL.UTF-8", "ru-RU" or
// "sr_RS@latin": 1250 for Central European languages, 1251 for Cyrillic ones,
// 1252 for every other name, the empty one included.
CodePage CodePageForLocale(std::string_view localeName);

// The code page of the system: Windows' ANSI code page when it is one of the
// three supported; elsewhere that of the locale named by LC_ALL, LC_CTYPE or
// LANG, the first one set. 1252 when nothing better is known.
CodePage AnsiCodePage();

}  // namespace tersify::platform
