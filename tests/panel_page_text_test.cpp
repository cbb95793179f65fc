// The source view's text: pages read as UTF-8 or in the code page, and edits
// written back over the page's own bytes.
#include <gtest/gtest.h>

#include "panel/page_text.h"

namespace tersify::testing {
namespace {

TEST(PageText, Utf8IsRecognisedStrictly) {
  struct Case {
    const char* bytes;
    bool valid;
  };
  const Case cases[] = {
      {"plain", true},     {"caf\xc3\xa9", true}, {"\xe2\x82\xac", true},  {"\xf0\x9f\x98\x80", true},
      {"caf\xe9", false},  {"\xc0\xaf", false},   {"\xed\xa0\x80", false}, {"\xf4\x90\x80\x80", false},
      {"\xe2\x82", false}, {"\x80", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << c.bytes;
}

TEST(PageText, EditsKeepEveryUntouchedByte) {
  struct Case {
    const char* name;
    std::string page;
    bool utf8;
    std::string shown;   // how the editor shows the page
    std::string edited;  // what the user made of it
    std::string saved;
  };
  const Case cases[] = {
      {"code page, line added", "caf\xe9\r\nna\xefve\n", false, "caf\xc3\xa9\nna\xc3\xafve\n",
       "caf\xc3\xa9\nna\xc3\xafve\nt\xc3\xa9l\xc3\xa9\n", "caf\xe9\r\nna\xefve\nt\xe9l\xe9\r\n"},
      {"code page, a character it lacks", "<p>\xa0</p>", false, "<p>\xc2\xa0</p>", "<p>\xc2\xa0\xe2\x9c\x93</p>",
       "<p>\xa0&#10003;</p>"},
      {"code page, undefined byte",
       "a\x81"
       "b",
       false,
       "a\xc2\x81"
       "b",
       "a\xc2\x81"
       "bc",
       "a\x81"
       "bc"},
      {"UTF-8, edits far apart", "\xc3\xa9t\xc3\xa9\r\n\r\nmid\rend\xc2\xa0", true,
       "\xc3\xa9t\xc3\xa9\n\nmid\nend\xc2\xa0", "X\xc3\xa9t\xc3\xa9\n\nmd\nend\xc2\xa0!",
       "X\xc3\xa9t\xc3\xa9\r\n\r\nmd\rend\xc2\xa0!"},
      {"lines joined and split", "one\rtwo\rthree", true, "one\ntwo\nthree", "onetwo\nthr\nee", "onetwo\rthr\ree"},
      {"edited text with CR LF", "a\nb", true, "a\nb", "a\r\nb\r\nc", "a\nb\nc"},
      {"no line break yet", "a", true, "a", "a\nb", "a\r\nb"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(IsValidUtf8(c.page), c.utf8);
    PageText page = DecodePage(c.page, CodePage::Cp1252, IsValidUtf8(c.page));
    EXPECT_EQ(page.shown, c.shown);
    EXPECT_EQ(EncodeEdited(page, page.shown), c.page);
    EXPECT_EQ(EncodeEdited(page, c.edited), c.saved);
  }
}

TEST(PageText, AWholesaleRewriteStillKeepsTheEnds) {
  // More changes than the edit script follows: the middle is written anew.
  std::string middle(3000, 'a'), replaced(3000, 'b');
  PageText page = DecodePage("\xe9\r\n" + middle + "\n\xe9", CodePage::Cp1252, false);
  EXPECT_EQ(EncodeEdited(page, "\xc3\xa9\n" + replaced + "\n\xc3\xa9"), "\xe9\r\n" + replaced + "\n\xe9");
}

}  // namespace
}  // namespace tersify::testing
