#include "platform/locale.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <span>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tersify::platform {
namespace {

// Languages written in Latin letters of Central Europe (code page 1250).
constexpr std::array<std::string_view, 10> kCentralEuropean = {"pl", "cs", "sk", "hu", "sl",
                                                               "hr", "bs", "ro", "sq", "tk"};
// Languages written in Cyrillic letters (code page 1251).
constexpr std::array<std::string_view, 12> kCyrillic = {"ru", "uk", "be", "bg", "mk", "sr",
                                                        "kk", "ky", "tt", "ba", "mn", "tg"};

bool Contains(std::span<const std::string_view> list, std::string_view value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

}  // namespace

CodePage CodePageForLocale(std::string_view localeName) {
  std::string name(localeName);
  std::transform(name.begin(), name.end(), name.begin(),
                 [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; });
  const std::string language = name.substr(0, name.find_first_of("_-.@"));
  // Serbian is written in both alphabets; the Latin form says so.
  if (language == "sr" && (name.find("latin") != std::string::npos || name.find("latn") != std::string::npos))
    return CodePage::Cp1250;
  if (Contains(kCentralEuropean, language)) return CodePage::Cp1250;
  if (Contains(kCyrillic, language)) return CodePage::Cp1251;
  return CodePage::Cp1252;
}

CodePage AnsiCodePage() {
#ifdef _WIN32
  return CodePageFromNumber(static_cast<int>(GetACP())).value_or(CodePage::Cp1252);
#else
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return CodePageForLocale(value);
  }
  return CodePage::Cp1252;
#endif
}

}  // namespace tersify::platform
