// Reading file bytes into the document and writing the document back.
#include <gtest/gtest.h>

#include <string>

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
  EXPECT_EQ(SaveDocumentText(""), "");
}

TEST(DocumentText, SavingUsesTheSameRule) {
  EXPECT_EQ(SaveDocumentText("a b "), "a b \r\n");
  EXPECT_EQ(SaveDocumentText("a\rb\nc\r\n"), "a\r\nb\r\nc\r\n");
  EXPECT_EQ(SaveDocumentText("x\0y"s), "x\r\n");
}

TEST(DocumentText, OtherBytesPassUnchanged) {
  std::string all;
  for (int b = 1; b < 256; ++b)
    if (b != 10 && b != 13) all.push_back(static_cast<char>(b));
  EXPECT_EQ(LoadDocumentText(all), all + "\r\n");
}

}  // namespace
}  // namespace tersify
