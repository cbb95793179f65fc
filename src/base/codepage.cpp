#include "base/codepage.h"

namespace tersify {
namespace {

struct Pair {
  unsigned char upper, lower;
};

LowerTable MakeTable(std::initializer_list<Pair> extra, unsigned char nationalFirst, unsigned char nationalLast,
                     bool skipD7) {
  LowerTable t{};
  for (int i = 0; i < 256; ++i) t[static_cast<size_t>(i)] = static_cast<unsigned char>(i);
  for (int c = 'A'; c <= 'Z'; ++c) t[static_cast<size_t>(c)] = static_cast<unsigned char>(c + 32);
  for (int c = nationalFirst; c <= nationalLast; ++c) {
    if (skipD7 && c == 0xD7) continue;  // the multiplication sign has no case
    t[static_cast<size_t>(c)] = static_cast<unsigned char>(c + 32);
  }
  for (const Pair& p : extra) t[p.upper] = p.lower;
  return t;
}

}  // namespace

const LowerTable& LowerTableFor(CodePage cp) {
  // Western European.
  static const LowerTable k1252 = MakeTable({{0x8A, 0x9A}, {0x8C, 0x9C}, {0x8E, 0x9E}, {0x9F, 0xFF}}, 0xC0, 0xDE, true);
  // Central European.
  static const LowerTable k1250 = MakeTable({{0x8A, 0x9A},
                                             {0x8C, 0x9C},
                                             {0x8D, 0x9D},
                                             {0x8E, 0x9E},
                                             {0x8F, 0x9F},
                                             {0xA3, 0xB3},
                                             {0xA5, 0xB9},
                                             {0xAA, 0xBA},
                                             {0xAF, 0xBF},
                                             {0xBC, 0xBE}},
                                            0xC0, 0xDE, true);
  // Cyrillic.
  static const LowerTable k1251 = MakeTable({{0x80, 0x90},
                                             {0x81, 0x83},
                                             {0x8A, 0x9A},
                                             {0x8C, 0x9C},
                                             {0x8D, 0x9D},
                                             {0x8E, 0x9E},
                                             {0x8F, 0x9F},
                                             {0xA1, 0xA2},
                                             {0xA3, 0xBC},
                                             {0xA5, 0xB4},
                                             {0xA8, 0xB8},
                                             {0xAA, 0xBA},
                                             {0xAF, 0xBF},
                                             {0xB2, 0xB3},
                                             {0xBD, 0xBE}},
                                            0xC0, 0xDF, false);
  switch (cp) {
    case CodePage::Cp1250:
      return k1250;
    case CodePage::Cp1251:
      return k1251;
    case CodePage::Cp1252:
      break;
  }
  return k1252;
}

std::optional<CodePage> CodePageFromNumber(int number) {
  switch (number) {
    case 1250:
      return CodePage::Cp1250;
    case 1251:
      return CodePage::Cp1251;
    case 1252:
      return CodePage::Cp1252;
    default:
      return std::nullopt;
  }
}

std::string ToLower(std::string_view text, CodePage cp) {
  const LowerTable& t = LowerTableFor(cp);
  std::string out(text.size(), '\0');
  for (size_t i = 0; i < text.size(); ++i) out[i] = static_cast<char>(t[static_cast<unsigned char>(text[i])]);
  return out;
}

}  // namespace tersify
