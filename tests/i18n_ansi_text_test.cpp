#include <gtest/gtest.h>

#include "i18n/ansi_text.h"

namespace tersify {
namespace {

TEST(AnsiTextTest, EveryByteRoundTrips) {
  for (CodePage cp : {CodePage::Cp1250, CodePage::Cp1251, CodePage::Cp1252}) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    const std::string utf8 = AnsiToUtf8(all, cp);
    EXPECT_EQ(Utf8ToAnsi(utf8, cp), all) << static_cast<int>(cp);
  }
}

TEST(AnsiTextTest, KnownLetters) {
  EXPECT_EQ(AnsiToUtf8("\x80", CodePage::Cp1252), "\xE2\x82\xAC");  // euro sign
  EXPECT_EQ(AnsiToUtf8("\x88", CodePage::Cp1251), "\xE2\x82\xAC");
  EXPECT_EQ(AnsiToUtf8("\xF5", CodePage::Cp1251), "\xD1\x85");  // small ha
  EXPECT_EQ(AnsiToUtf8("\xF5", CodePage::Cp1252), "\xC3\xB5");  // o with tilde
  EXPECT_EQ(AnsiToUtf8("\xF5", CodePage::Cp1250), "\xC5\x91");  // o with double acute
  EXPECT_EQ(AnsiToUtf8("\xA3\xB3", CodePage::Cp1250), "\xC5\x81\xC5\x82");
  EXPECT_EQ(AnsiToUtf8("\xA8\xB8", CodePage::Cp1251), "\xD0\x81\xD1\x91");
  EXPECT_EQ(AnsiToUtf8("plain ASCII", CodePage::Cp1251), "plain ASCII");
  EXPECT_EQ(Utf8ToAnsi("\xC5\xBB\xC3\xB3\xC5\x82w", CodePage::Cp1250), "\xAF\xF3\xB3w");
}

TEST(AnsiTextTest, UnmappableAndMalformedBecomeReplacement) {
  EXPECT_EQ(Utf8ToAnsi("a\xE4\xB8\xADz", CodePage::Cp1252), "a?z");    // CJK letter
  EXPECT_EQ(Utf8ToAnsi("\xD1\x85", CodePage::Cp1252, '_'), "_");       // Cyrillic in Western
  EXPECT_EQ(Utf8ToAnsi("\xFF", CodePage::Cp1252), "?");                // invalid lead byte
  EXPECT_EQ(Utf8ToAnsi("a\xC3", CodePage::Cp1252), "a?");              // truncated
  EXPECT_EQ(Utf8ToAnsi("\xC0\x80", CodePage::Cp1252), "??");           // overlong
  EXPECT_EQ(Utf8ToAnsi("\xED\xA0\x80", CodePage::Cp1252), "???");      // surrogate
  EXPECT_EQ(Utf8ToAnsi("\xF0\x9F\x98\x80!", CodePage::Cp1251), "?!");  // emoji
}

TEST(AnsiTextTest, AppendUtf8Lengths) {
  std::string out;
  AppendUtf8(out, U'A');
  AppendUtf8(out, 0xE9);
  AppendUtf8(out, 0x20AC);
  AppendUtf8(out, 0x1F600);
  AppendUtf8(out, 0xD800);  // surrogate: replacement character
  EXPECT_EQ(out, "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xEF\xBF\xBD");
}

}  // namespace
}  // namespace tersify
