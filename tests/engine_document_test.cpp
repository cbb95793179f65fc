// Reading file bytes into the document and writing the document back.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/engine.h"

namespace tersify {
namespace {

using namespace std::string_literals;

TEST(DocumentText, EveryKindOfLineBreakBecomesCrLf) {
  EXPECT_EQ(LoadDocumentText("a\r\nb\r\n"), "a\r\nb\r\n");
  EXPECT_EQ(LoadDocumentText("a\nb\n"), "a\r\nb\r\n");
  EXPECT_EQ(LoadDocumentText("a\rb\r"), "a\r\nb\r\n");
  EXPECT_EQ(LoadDocumentText("a\r\nb\nc\rd"), "a\r\nb\r\nc\r\nd\r\n");
}

TEST(DocumentText, LfFollowedByCrCountsAsTwoBreaks) {
  EXPECT_EQ(LoadDocumentText("a\n\rb"), "a\r\n\r\nb\r\n");
  EXPECT_EQ(LoadDocumentText("\n\r"), "\r\n\r\n");
  EXPECT_EQ(LoadDocumentText("\r\r\n\n"), "\r\n\r\n\r\n");
}

TEST(DocumentText, LastLineWithoutBreakGetsOne) {
  EXPECT_EQ(LoadDocumentText("<html>"), "<html>\r\n");
  EXPECT_EQ(LoadDocumentText("x\r\n\r\n"), "x\r\n\r\n");
}

TEST(DocumentText, ByteZeroEndsTheText) {
  EXPECT_EQ(LoadDocumentText("ab\0cd\r\nef"s), "ab\r\n");
  EXPECT_EQ(LoadDocumentText("ab\r\n\0cd"s), "ab\r\n");
  EXPECT_EQ(LoadDocumentText("\0abc"s), "");
}

TEST(DocumentText, EmptyFileGivesEmptyText) {
  EXPECT_EQ(LoadDocumentText(""), "");
  EXPECT_EQ(SaveDocumentText("", LineBreaks::CrLf), "");
}

TEST(DocumentText, SavingUsesTheSameRule) {
  EXPECT_EQ(SaveDocumentText("a b ", LineBreaks::CrLf), "a b \r\n");
  EXPECT_EQ(SaveDocumentText("a\rb\nc\r\n", LineBreaks::CrLf), "a\r\nb\r\nc\r\n");
  EXPECT_EQ(SaveDocumentText("x\0y"s, LineBreaks::CrLf), "x\r\n");
  EXPECT_EQ(SaveDocumentText("a\r\nb", LineBreaks::Lf), "a\nb\n");
}

// A page without CR keeps LF breaks; one CR anywhere in the page (before a
// byte 0, where it ends) keeps the CR LF form.
TEST(DocumentText, LineBreaksFollowThePage) {
  const struct {
    std::string bytes;
    LineBreaks breaks;
  } cases[] = {{"a\nb\n", LineBreaks::Lf},
               {"a", LineBreaks::Lf},
               {"a\r\nb\n", LineBreaks::CrLf},
               {"a\rb", LineBreaks::CrLf},
               {"a\n\0\r\n"s, LineBreaks::Lf}};
  for (const auto& c : cases) EXPECT_EQ(LineBreaksOf(c.bytes), c.breaks) << c.bytes;
  EXPECT_EQ(LineBreaksOf(std::string_view()), LineBreaks::Lf);  // no bytes, not even a buffer
}

TEST(DocumentText, OtherBytesPassUnchanged) {
  std::string all;
  for (int b = 1; b < 256; ++b)
    if (b != 10 && b != 13) all.push_back(static_cast<char>(b));
  EXPECT_EQ(LoadDocumentText(all), all + "\r\n");
}

// NormalizeLines, NormalizePageLines and SaveLinesInPlace give what the copying rules give,
// whether they rebuild the text in its own buffer (room to spare) or in a new
// one; pages with CR LF breaks only and pages without CR take their own ways.
TEST(DocumentText, NormalizingInPlaceGivesTheSameText) {
  std::vector<std::string> texts = {"",       "a\r\nb\r\n", "a\nb\n", "a\rb\r",    "a\r\nb\nc\rd",  "a\n\rb",
                                    "\n\r",   "\r\r\n\n",   "<html>", "x\r\n\r\n", "ab\0cd\r\nef"s, "ab\r\n\0cd"s,
                                    "\0abc"s, "\r",         "\n",     "x\0"s,      "x\r\0\n"s};
  std::mt19937 rng(7);
  const std::string alphabets[] = {"ab\r\n\r\n\0"s, "ab\r\n\r\n", "abc\n", "ab\r\n"};
  for (int i = 0; i < 4000; ++i) {
    const std::string& alphabet = alphabets[i % 4];
    std::string t;
    const int n = static_cast<int>(rng() % (i % 5 == 0 ? 150 : 24));  // longer ones go block by block
    for (int k = 0; k < n; ++k)
      if (i % 4 == 3 && rng() % 3 == 0)
        t += "\r\n";  // breaks that are CR LF but for a few
      else
        t.push_back(alphabet[rng() % (i % 4 == 3 ? 2 : alphabet.size())]);
    texts.push_back(t);
  }
  // Pages of several blocks: a CR or a byte 0 far in, a CR after the byte 0.
  const std::string lines(100000, 'a');
  for (const std::string& tail : {"\r"s, "\0\r"s, "\0"s, ""s})
    texts.push_back(lines + "\n" + lines + tail + "\n" + lines + "\n");
  for (const std::string& t : texts) {
    const std::string want = LoadDocumentText(t);
    std::string tight(t.begin(), t.end());
    tight.shrink_to_fit();
    EXPECT_EQ(NormalizeLines(tight), LineBreaksOf(t)) << t.substr(0, 100);
    EXPECT_EQ(tight, want) << t;
    std::string roomy = t;
    roomy.reserve(t.size() * 2 + 40);
    const char* buffer = roomy.data();
    NormalizeLines(roomy);
    EXPECT_EQ(roomy, want) << t;
    EXPECT_EQ(roomy.data(), buffer) << "rebuilt in its own buffer: " << t;
    // A page with a byte 0 is refused as it is; any other comes out the same.
    std::string page = t;
    const std::optional<LineBreaks> pageBreaks = NormalizePageLines(page);
    const bool text = t.find('\0') == std::string::npos;
    EXPECT_EQ(pageBreaks, text ? std::optional(LineBreaksOf(t)) : std::nullopt) << t;
    EXPECT_EQ(page, text ? want : t) << t;
    for (LineBreaks breaks : {LineBreaks::CrLf, LineBreaks::Lf}) {
      std::string saved = t;
      saved.reserve(t.size() * 2 + 40);
      SaveLinesInPlace(saved, breaks);
      EXPECT_EQ(saved, SaveDocumentText(t, breaks)) << t;
    }
  }
  // A text that is already in form is only cut at its byte 0.
  std::string done = "a\r\nb\r\n\0rest"s;
  const char* buffer = done.data();
  NormalizeLines(done);
  EXPECT_EQ(done, "a\r\nb\r\n");
  EXPECT_EQ(done.data(), buffer);
}

}  // namespace
}  // namespace tersify
