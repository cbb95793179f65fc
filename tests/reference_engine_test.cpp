#include "reference/reference_engine.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "support/engine_cases.h"

namespace tersify::reference {
namespace {

using testsupport::EngineCase;

// ---------------------------------------------------------------- the shared case table

class ReferenceEngineCases : public ::testing::TestWithParam<EngineCase> {};

TEST_P(ReferenceEngineCases, GivesHandWorkedBytes) {
  const EngineCase& c = GetParam();
  EXPECT_EQ(Optimize(c.input, c.Settings(), c.removal, c.replacement, c.codePage), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, ReferenceEngineCases, ::testing::ValuesIn(testsupport::EngineCases()),
                         testsupport::EngineCaseName());

TEST(EngineCaseTable, NamesAreUnique) {
  std::set<std::string> names;
  for (const EngineCase& c : testsupport::EngineCases()) EXPECT_TRUE(names.insert(c.name).second) << c.name;
}

// ---------------------------------------------------------------- helpers

OptimizationSettings Off() {
  OptimizationSettings s;
  testsupport::AllPassesOff(s);
  return s;
}

TEST(ReferenceInkav, CountsQuotesStrictlyBefore) {
  Text t = U"a\"b\"c";
  EXPECT_FALSE(Inkav(t, 1));
  EXPECT_FALSE(Inkav(t, 2));  // the quote itself is not before it
  EXPECT_TRUE(Inkav(t, 3));
  EXPECT_TRUE(Inkav(t, 4));
  EXPECT_FALSE(Inkav(t, 5));
  EXPECT_FALSE(Inkav(t, 99));
}

TEST(ReferenceInkav, MarkersAreNotQuotes) {
  Text t = U"a";
  t.push_back(kMarker + '"');
  t += U"b";
  EXPECT_FALSE(Inkav(t, 3));
}

TEST(ReferencePredicates, IsNum) {
  for (const char* yes : {"", "%", "0", "50", "007", "100%"}) EXPECT_TRUE(IsNum(yes)) << yes;
  for (const char* no : {"50px", "-1", "+1", "1.5", "5%5", "%5", "%%", "red", " 5"}) EXPECT_FALSE(IsNum(no)) << no;
}

TEST(ReferencePredicates, Ishex) {
  for (const char* yes : {"#F", "#FFF", "#ff0000", "#0A0a0A", "#abcdef"}) EXPECT_TRUE(Ishex(yes)) << yes;
  for (const char* no : {"", "#", "#GGG", "#1234567", "FFF", "##FF", "#ff 00"}) EXPECT_FALSE(Ishex(no)) << no;
}

// ---------------------------------------------------------------- scripts

TEST(ReferenceScripts, CutLeavesOneMarkerPerBlockAndStoresThem) {
  Doc d("<script>a</script>x<SCRIPT>b</SCRIPT>y<script>c</script>\r\n", CodePage::Cp1252);
  CutScripts(d, Off());
  EXPECT_EQ(d.ScriptMarkerCount(), 3u);
  EXPECT_EQ(d.PendingScripts(), 3u);
  EXPECT_EQ(d.Bytes(), "\x8Ax\x8Ay\x8A\r\n");
  InsertScripts(d);
  EXPECT_EQ(d.Bytes(), "<script>a</script>x<SCRIPT>b</SCRIPT>y<script>c</script>\r\n");
  EXPECT_EQ(d.PendingScripts(), 0u);
  EXPECT_TRUE(d.scripts.empty());
}

TEST(ReferenceScripts, DelScriptsStoresNothing) {
  OptimizationSettings s = Off();
  s["cbDelScripts"] = true;
  Doc d("a<script>x</script>b\r\n", CodePage::Cp1252);
  CutScripts(d, s);
  EXPECT_EQ(d.Bytes(), "ab\r\n");
  EXPECT_EQ(d.ScriptMarkerCount(), 0u);
  EXPECT_TRUE(d.scripts.empty());
}

TEST(ReferenceScripts, LostMarkerDropsExactlyItsBlockAndEmptiesStore) {
  Doc d("<script>1</script><b><script>2</script></b><script>3</script>\r\n", CodePage::Cp1252);
  CutScripts(d, Off());
  ProcessTag(d, "b", "");  // removes "<b>", which holds no marker
  EXPECT_EQ(d.ScriptMarkerCount(), 3u);
  // Remove the middle marker by hand, as a pass spanning it would.
  std::size_t second = d.source.find(kScriptMarker + 1);
  ASSERT_NE(second, Text::npos);
  d.source.erase(second, 1);
  InsertScripts(d);
  EXPECT_EQ(d.Bytes(), "<script>1</script></b><script>3</script>\r\n");
  EXPECT_TRUE(d.scripts.empty());
  EXPECT_EQ(d.PendingScripts(), 0u);
}

TEST(ReferenceScripts, LowerTextFollowsAfterCutting) {
  Doc d("<P>Script</P>\r\n", CodePage::Cp1252);
  CutScripts(d, Off());
  EXPECT_EQ(d.Bytes(), "<P>Script</P>\r\n");  // upper-case S disarmed and turned back
  EXPECT_EQ(d.lower, U"<p>script</p>\r\n");
}

// ---------------------------------------------------------------- comments

TEST(ReferenceComments, KeptCommentRestoresDashesInBothStrings) {
  OptimizationSettings s = Off();
  s["cbIsStyle"] = true;
  Doc d("<!-- Style -->\r\n", CodePage::Cp1252);
  RemoveComments(d, s);
  EXPECT_EQ(d.Bytes(), "<!-- Style -->\r\n");
  EXPECT_EQ(d.lower, U"<!-- style -->\r\n");
}

TEST(ReferenceComments, RemovalKeepsStringsInStep) {
  Doc d("A<!-- X -->B\r\n", CodePage::Cp1252);
  RemoveComments(d, Off());
  EXPECT_EQ(d.Bytes(), "AB\r\n");
  EXPECT_EQ(d.lower, U"ab\r\n");
}

// ---------------------------------------------------------------- quotes

TEST(ReferenceQuotes, UnpairedQuoteEndsPassButEarlierPairsAreDone) {
  OptimizationSettings s = Off();
  Doc d("<i a=\"1\" b=\"x\" \"c", CodePage::Cp1252);
  RemoveQuotes(d, s);
  EXPECT_EQ(d.Bytes(), "<i a=1 b=\"x\" \"c");
}

// ---------------------------------------------------------------- tags

TEST(ReferenceTags, UntakenLettersComeBackInTheirOwnCase) {
  auto run = [](std::string_view text, std::string_view entry) {
    return RunPass(text, [&](Doc& d) { ProcessTag(d, entry, "x"); });
  };
  EXPECT_EQ(run("Bold BOLD bold <b>", "b"), "Bold BOLD bold <x>");
  EXPECT_EQ(run("Bold BOLD bold <B>", "B"), "Bold BOLD bold <x>");
}

TEST(ReferenceTags, NationalCapitalComesBackUpperCase) {
  // 0xC9 (E acute) lower-cases to 0xE9 in code page 1252.
  std::string text = "\xC9t\xE9 <\xC9t\xE9>";
  EXPECT_EQ(RunPass(text, [](Doc& d) { ProcessTag(d, "\xE9t\xE9", "x"); }), "\xC9t\xE9 <x>");
}

TEST(ReferenceTags, ReplacementKeepsItsOwnCaseAndLowerTextFollows) {
  Doc d("<b>x</b>", CodePage::Cp1252);
  ProcessTag(d, "b", "STRONG");
  EXPECT_EQ(d.Bytes(), "<STRONG>x</b>");
  EXPECT_EQ(d.lower, U"<strong>x</b>");
}

TEST(ReferenceTags, GuardEndsOnPairsThatReproduceTheirEntry) {
  EXPECT_EQ(RunPass("<b>x<b>", [](Doc& d) { ProcessTag(d, "b", "b b b"); }), "<b b b>x<b b b>");
  EXPECT_EQ(RunPass("<i x>", [](Doc& d) { ProcessTag(d, "i", "i"); }), "<i x>");
}

TEST(ReferenceTags, RemovalTableAndReplacementTableSkipUntickedEntries) {
  OptimizationSettings s = Off();
  s["cbClosedTagsAlso"] = true;
  Doc d("<u>a</u><i>b</i>\r\n", CodePage::Cp1252);
  RemoveTags(d, {{"u", false}, {"/u", true}});
  ReplaceTags(d, {{"i", "em", false}, {"u", "s", true}}, s);
  EXPECT_EQ(d.Bytes(), "<s>a<i>b</i>\r\n");
}

// ---------------------------------------------------------------- white space and lines

TEST(ReferenceLines, SplitRuleForLinePasses) {
  EXPECT_EQ(RunPass("a\n\rb", RemoveEmptyLines), "a\r\nb\r\n");  // LF then CR: two breaks
  EXPECT_EQ(RunPass("a\n\rb", RemoveBlankLines), "a\r\n\r\nb\r\n");
  EXPECT_EQ(RunPass("a\rb\nc", TrimLines), "a\r\nb\r\nc\r\n");
  EXPECT_EQ(RunPass(std::string_view("a\r\nb\0c\r\n", 8), TrimLines), "a\r\nb\r\n");  // byte 0 ends the text
  EXPECT_EQ(RunPass("", RemoveEmptyLines), "");
}

TEST(ReferenceSpaces, TightenEndsWithJoin) {
  EXPECT_EQ(RunPass("<b > <i >", TightenTagSpaces), "<b><i>");
  EXPECT_EQ(RunPass("<a  =  b", TightenTagSpaces), "<a=b");
}

TEST(ReferenceSpaces, CollapseShortTexts) {
  OptimizationSettings s = Off();
  EXPECT_EQ(RunPass("", [&](Doc& d) { CollapseSpaces(d, s); }), "");
  EXPECT_EQ(RunPass(" ", [&](Doc& d) { CollapseSpaces(d, s); }), " ");
  EXPECT_EQ(RunPass("  ", [&](Doc& d) { CollapseSpaces(d, s); }), " ");
}

TEST(ReferenceSpaces, GlueEveryLineBreak) {
  EXPECT_EQ(RunPass("a\r\n\r\nb\r\n", GlueLines), "a  b ");
  EXPECT_EQ(RunPass("a\rb\n", GlueLines), "a\rb\n");  // only CR LF pairs are breaks here
}

TEST(ReferenceSpaces, NbspMarkersComeBackAsAmpersands) {
  OptimizationSettings s = Off();
  EXPECT_EQ(RunPass("\"&nbsp;&nbsp;\"&nbsp;&nbsp;", [&](Doc& d) { CollapseNbsp(d, s); }), "\"&nbsp;&nbsp;\"&nbsp; ");
}

// ---------------------------------------------------------------- marker bytes across code pages

TEST(ReferenceMarkers, EveryMarkerByteSurvivesEveryPassInEveryCodePage) {
  const std::string markers = "\x8A\x9F\xA4\xA5\xA6\xAC\xAF";
  OptimizationSettings all;
  for (bool* f : {&all["cbDelCRLF"], &all["cbReplaceDoubleSpacesInKav"], &all["cbReplaceDoubleNbspInKav"]}) *f = true;
  for (CodePage cp : {CodePage::Cp1250, CodePage::Cp1251, CodePage::Cp1252}) {
    std::string in = "<p title=\"< = > <!-- &nbsp;&nbsp; \">" + markers +
                     " noscript <b> </b> <!-- x --> <!-- style --></p><script>" + markers + "</script>\r\n";
    std::string out = Optimize(in, all, {{"hr", true}}, {{"b", "b", true}}, cp);
    EXPECT_EQ(out, "<p title=\"< = > <!-- &nbsp; \">" + markers + " noscript <b></b><!-- style --></p><script>" +
                       markers + "</script>\r\n")
        << static_cast<int>(cp);
  }
}

}  // namespace
}  // namespace tersify::reference
