// The pass sequence of one document: the shared case table, the order and
// conditions of the steps, the cancel checks, failure reports and the
// document's own marker bytes.
#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/engine_testing.h"
#include "i18n/catalogue.h"
#include "i18n/language_file.h"
#include "run/file_step.h"
#include "support/engine_cases.h"
#include "support/scripted_interaction.h"

namespace tersify {
namespace {

using testsupport::EngineCase;

// The English messages the pipeline may show, as a language file holds them.
std::shared_ptr<const LanguageFile> EnglishErrors() {
  std::string file = "[Misc]\r\n";
  for (const char* line : {"const_script_error:string=Error during scripts cutting",
                           "const_comm_error:string=Error during comments removal <!-- -->",
                           "const_spaces_error:string=Error during spaces removal",
                           "const_delkav_error:string=Error during quotes removal",
                           "const_deltag_error:string=Error during removal of the tag %s",
                           "const_nbsp_error:string=Error during &nbsp; removal",
                           "const_doubles:string=Error during double spaces removal",
                           "const_scripts_insert_error:string=Error during scripts inserting"})
    file += std::string(line) + "\r\n";
  return std::make_shared<LanguageFile>(LanguageFile::FromBytes(file, std::nullopt));
}

struct Harness {
  OptimizationSettings settings;
  TagRemovalTable removal;
  TagReplacementTable replacement;
  MessageCatalogue catalogue{EnglishErrors()};
  testing::ScriptedInteraction ui;
  std::function<bool()> cancel;
  Engine engine;
  std::vector<std::string> passes;  // names of the passes run, in order

  Harness() {
    SetFaultHookForTesting(engine, [this](std::string_view pass) { passes.emplace_back(pass); });
  }
  // As the batch run calls it: the failures are shown after the run.
  OptimizeResult Run(std::string& text, bool inPlace = false) {
    PassFailures failures;
    EngineContext ctx{PassOptionsOf(settings), removal, replacement, failures, cancel};
    const OptimizeResult result =
        inPlace ? engine.OptimizeDocumentInPlace(text, ctx) : engine.OptimizeDocument(text, ctx);
    ShowPassFailures(failures, 0, settings.cbShowInfo, catalogue, ui);
    return result;
  }
  OptimizeResult RunInPlace(std::string& text) { return Run(text, true); }
  std::string Optimized(std::string text) {
    EXPECT_EQ(Run(text), OptimizeResult::Done);
    return text;
  }
};

// ---------------------------------------------------------------- the shared case table

class EngineCases : public ::testing::TestWithParam<EngineCase> {};

TEST_P(EngineCases, GiveHandWorkedBytes) {
  const EngineCase& c = GetParam();
  OptimizationSettings s = c.Settings();
  PassFailures failures;
  EngineContext ctx{PassOptionsOf(s), c.removal, c.replacement, failures, {}};
  Engine engine(c.codePage);
  std::string text = c.input;
  ASSERT_EQ(engine.OptimizeDocument(text, ctx), OptimizeResult::Done);
  EXPECT_EQ(text, c.expected);
  EXPECT_TRUE(failures.empty());
}

INSTANTIATE_TEST_SUITE_P(Table, EngineCases, ::testing::ValuesIn(testsupport::EngineCases()),
                         testsupport::EngineCaseName());

// ---------------------------------------------------------------- order and conditions

TEST(EngineSequence, RunsThePassesInTheirFixedOrder) {
  Harness h;
  ApplyModePreset(h.settings, kModeMax);
  h.removal = {{"font", true}};
  h.replacement = {{"strong", "b", true}};
  h.Optimized("<p>x</p>\r\n");
  EXPECT_EQ(h.passes,
            (std::vector<std::string>{"CutScripts", "CutPreformatted", "GlueLines", "RemoveComments",
                                      "TightenTagSpaces", "RemoveQuotes", "ProcessTag", "ProcessTag", "ProcessTag",
                                      "CollapseNbsp", "RemoveAllTabs", "RemoveBlankLines", "CollapseSpaces",
                                      "TrimLines", "JoinTags", "InsertPreformatted", "InsertScripts"}));
}

TEST(EngineSequence, OptionalPassesFollowTheirOptions) {
  Harness h;
  testsupport::AllPassesOff(h.settings);
  h.settings["cbClosedTagsAlso"] = false;
  h.Optimized("<p>x</p>\r\n");
  EXPECT_EQ(h.passes, (std::vector<std::string>{"CutScripts", "CutPreformatted", "TightenTagSpaces", "JoinTags",
                                                "InsertPreformatted", "InsertScripts"}));
}

TEST(EngineSequence, EmptyLinePassDoesNotRunWhileGluing) {
  Harness h;
  testsupport::AllPassesOff(h.settings);
  h.settings["cbDelEmptyLine"] = true;
  h.settings["cbDelCRLF"] = true;
  h.Optimized("a\r\n\r\nb\r\n");
  EXPECT_EQ(std::count(h.passes.begin(), h.passes.end(), "RemoveEmptyLines"), 0);
  h.settings["cbDelCRLF"] = false;
  h.passes.clear();
  EXPECT_EQ(h.Optimized("a\r\n\r\nb\r\n"), "a\r\nb\r\n");
  EXPECT_EQ(std::count(h.passes.begin(), h.passes.end(), "RemoveEmptyLines"), 1);
}

TEST(EngineSequence, NameEntriesAreAppliedTwice) {
  Harness h;
  testsupport::AllPassesOff(h.settings);
  h.removal = {{"name=\"author\"", true}};
  EXPECT_EQ(h.Optimized("a<meta name=\"author\" content=\"x\">b<meta name=author>c\r\n"), "abc\r\n");
  EXPECT_EQ(std::count(h.passes.begin(), h.passes.end(), "ProcessTag"), 2);
  // The prefix test is case-sensitive.
  Harness upper;
  testsupport::AllPassesOff(upper.settings);
  upper.removal = {{"Name=\"author\"", true}};
  EXPECT_EQ(upper.Optimized("a<meta name=\"author\">b<meta name=author>c\r\n"), "ab<meta name=author>c\r\n");
  EXPECT_EQ(std::count(upper.passes.begin(), upper.passes.end(), "ProcessTag"), 1);
}

TEST(EngineSequence, UntickedEntriesAreSkipped) {
  Harness h;
  testsupport::AllPassesOff(h.settings);
  h.removal = {{"b", false}};
  h.replacement = {{"i", "em", false}};
  EXPECT_EQ(h.Optimized("<b>x</b><i>y</i>\r\n"), "<b>x</b><i>y</i>\r\n");
  EXPECT_EQ(std::count(h.passes.begin(), h.passes.end(), "ProcessTag"), 0);
}

TEST(EngineSequence, ClosingTagsOnlyWithClosedTagsAlso) {
  Harness h;
  testsupport::AllPassesOff(h.settings);
  h.replacement = {{"strong", "b", true}};
  h.settings["cbClosedTagsAlso"] = false;
  EXPECT_EQ(h.Optimized("<strong class=x>t</strong>\r\n"), "<b class=x>t</strong>\r\n");
  h.settings["cbClosedTagsAlso"] = true;
  EXPECT_EQ(h.Optimized("<strong class=x>t</strong>\r\n"), "<b class=x>t</b>\r\n");
}

TEST(EngineSequence, EmptyDocumentStaysEmpty) {
  Harness h;
  ApplyModePreset(h.settings, kModeMax);
  h.removal = {{"b", true}};
  EXPECT_EQ(h.Optimized(""), "");
}

TEST(EngineSequence, ScriptsComeBackByteForByteUnderEveryPass) {
  Harness h;
  ApplyModePreset(h.settings, kModeMax);
  h.settings["cbDelScripts"] = false;
  h.removal = {{"b", true}};
  // The closing word inside the tag's quoted value does not end the block.
  const std::string script = "<SCRIPT Language=\"x\" src=\"a/script\">\r\n\tvar a = 1;  <b> \"50\" \r\n\r\n</Script  >";
  std::string out = h.Optimized("<p> a </p>\r\n" + script + "\r\n<p>\t\"7\"</p>\r\n");
  EXPECT_EQ(out, "<p> a </p> " + script + " <p>\"7\"</p>\r\n");
}

// ---------------------------------------------------------------- cancel checks

TEST(EngineCancel, EachOfTheFourChecksStopsAtOnce) {
  for (int stopAt = 1; stopAt <= 4; ++stopAt) {
    Harness h;
    int calls = 0;
    h.cancel = [&] { return ++calls == stopAt; };
    std::string text = "<p  class=\"a\">  x  </p>\r\n";
    const std::string before = text;
    EXPECT_EQ(h.Run(text), OptimizeResult::Cancelled) << stopAt;
    EXPECT_EQ(text, before) << "the document is left as it was";
    EXPECT_EQ(calls, stopAt);
    // The passes after the check did not run.
    const std::vector<std::size_t> passesBefore = {5, 5, 5, 9};  // defaults, no tag entries
    EXPECT_EQ(h.passes.size(), passesBefore[static_cast<std::size_t>(stopAt - 1)]) << stopAt;
  }
}

TEST(EngineCancel, NoCancelMeansFourChecksAndDone) {
  Harness h;
  int calls = 0;
  h.cancel = [&] {
    ++calls;
    return false;
  };
  std::string text = "<p>x</p>\r\n";
  EXPECT_EQ(h.Run(text), OptimizeResult::Done);
  EXPECT_EQ(calls, 4);
}

// A large page goes through the middle passes in pieces, with a cancel check
// after each piece in place of the four; a cancel there stops the run at once.
TEST(EngineCancel, PiecesOfALargePageAreCheckedOneByOne) {
  std::string page;
  for (int k = 0; k < 200; ++k) page += "<p class=\"a\">  Some words  here and there</p>\r\n";
  OptimizationSettings s;
  TagRemovalTable removal;
  TagReplacementTable replacement;
  PassFailures failures;
  int calls = 0, stopAt = 0;
  EngineContext ctx{PassOptionsOf(s), removal, replacement, failures, [&] { return ++calls == stopAt; }};
  std::string whole = page;
  ASSERT_EQ(Engine().OptimizeDocument(whole, ctx), OptimizeResult::Done);
  ASSERT_EQ(calls, 4);
  Engine cut;
  SetPieceSizeForTesting(cut, 256);
  std::string text = page;
  calls = 0;
  ASSERT_EQ(cut.OptimizeDocument(text, ctx), OptimizeResult::Done);
  EXPECT_EQ(text, whole);
  EXPECT_GT(calls, 20) << "one check per piece";
  for (stopAt = 1; stopAt <= 5; stopAt += 2) {
    text = page;
    calls = 0;
    EXPECT_EQ(cut.OptimizeDocument(text, ctx), OptimizeResult::Cancelled) << stopAt;
    EXPECT_EQ(calls, stopAt);
    EXPECT_EQ(text, page);
  }
}

// ---------------------------------------------------------------- failures

struct FailCase {
  std::string pass;
  std::string message;  // empty: no message
  OptimizeResult result;
};

TEST(EngineFailures, EachPassReportsItsOwnFailure) {
  const std::vector<FailCase> cases = {
      {"CutScripts", "\rError during scripts cutting", OptimizeResult::Done},
      {"GlueLines", "", OptimizeResult::Done},
      {"RemoveComments", "\rError during comments removal <!-- -->", OptimizeResult::Done},
      {"TightenTagSpaces", "\rError during spaces removal", OptimizeResult::Done},
      {"RemoveQuotes", "\rError during quotes removal", OptimizeResult::Done},
      {"CollapseNbsp", "\rError during &nbsp; removal", OptimizeResult::Done},
      {"RemoveAllTabs", "", OptimizeResult::Failed},
      {"RemoveBlankLines", "", OptimizeResult::Done},
      {"CollapseSpaces", "\rError during double spaces removal", OptimizeResult::Done},
      {"TrimLines", "", OptimizeResult::Failed},
      {"RemoveEmptyLines", "", OptimizeResult::Done},
      {"JoinTags", "\rError during spaces removal", OptimizeResult::Done},
      {"InsertScripts", "\rError during scripts inserting", OptimizeResult::Done},
  };
  for (const FailCase& c : cases) {
    Harness h;
    ApplyModePreset(h.settings, kModeMax);
    h.settings["cbDelCRLF"] = c.pass == "GlueLines";
    std::vector<std::string> after;
    bool failed = false;
    SetFaultHookForTesting(h.engine, [&](std::string_view pass) {
      if (failed) after.emplace_back(pass);
      if (pass == c.pass && !failed) {
        failed = true;
        throw std::bad_alloc();
      }
    });
    std::string text = "<p> a  b </p>\r\n\r\n";
    EXPECT_EQ(h.Run(text), c.result) << c.pass;
    if (c.message.empty()) {
      EXPECT_TRUE(h.ui.shown.empty()) << c.pass;
    } else {
      ASSERT_EQ(h.ui.Messages().size(), 1u) << c.pass;
      EXPECT_EQ(h.ui.Messages()[0], c.message);
      EXPECT_EQ(h.ui.shown[0].kind, MessageKind::Error);
    }
    // A guarded failure lets the sequence go on; an unguarded one ends it.
    if (c.result == OptimizeResult::Done && c.pass != "InsertScripts") {
      EXPECT_FALSE(after.empty()) << c.pass;
    }
    if (c.result == OptimizeResult::Failed) {
      EXPECT_TRUE(after.empty()) << c.pass;
    }
  }
}

TEST(EngineFailures, ScriptCuttingFailureIsShownOnlyWithInformationMessages) {
  Harness h;
  h.settings.cbShowInfo = false;
  SetFaultHookForTesting(h.engine, [](std::string_view pass) {
    if (pass == "CutScripts") throw std::runtime_error("x");
  });
  std::string text = "<p> a </p>\r\n";
  EXPECT_EQ(h.Run(text), OptimizeResult::Done);
  EXPECT_TRUE(h.ui.shown.empty());
}

TEST(EngineFailures, TagFailureNamesTheEntryAndTheNextEntryStillRuns) {
  Harness h;
  testsupport::AllPassesOff(h.settings);
  h.removal = {{"FONT", true}, {"b", true}};
  int tagCalls = 0;
  SetFaultHookForTesting(h.engine, [&](std::string_view pass) {
    if (pass == "ProcessTag" && ++tagCalls == 1) throw std::bad_alloc();
  });
  std::string text = "<font>x</font><b>y</b>\r\n";
  EXPECT_EQ(h.Run(text), OptimizeResult::Done);
  EXPECT_EQ(h.ui.Messages(), std::vector<std::string>{"\rError during removal of the tag FONT"});
  EXPECT_EQ(text, "<font>x</font>y</b>\r\n");
}

TEST(EngineFailures, PlaceholderTextInAnEntryIsNotExpanded) {
  Harness h;
  testsupport::AllPassesOff(h.settings);
  h.removal = {{"%s%d", true}};
  SetFaultHookForTesting(h.engine, [](std::string_view pass) {
    if (pass == "ProcessTag") throw std::bad_alloc();
  });
  std::string text = "x\r\n";
  h.Run(text);
  EXPECT_EQ(h.ui.Messages(), std::vector<std::string>{"\rError during removal of the tag %s%d"});
}

// ---------------------------------------------------------------- marker bytes

TEST(EngineMarkers, DocumentMarkerBytesAreOrdinaryBytes) {
  Harness h;
  const std::string markers = "\x8a\x9f\xa4\xa5\xa6\xac\xaf";
  // Where no pass has anything to do, they come out as they went in.
  EXPECT_EQ(h.Optimized("<p>" + markers + "</p>\r\n"), "<p>" + markers + "</p>\r\n");
  // Next to what the passes change they stay too.
  EXPECT_EQ(h.Optimized("<a x=\"\xa4\" y=\"50\">\xaf &nbsp;&nbsp;\xa4 \"\x9f\"</a>\r\n"),
            "<a x=\"\xa4\" y=50>\xaf &nbsp; \xa4 \"\x9f\"</a>\r\n");
}

TEST(EngineMarkers, MarkerBytesInsideScriptsAndNextToThem) {
  Harness h;
  const std::string script = "<script>\x8a\"\xa4\"</script>";
  EXPECT_EQ(h.Optimized("\x8a" + script + "\x8a" + script + "\r\n"), "\x8a" + script + "\x8a" + script + "\r\n");
  h.settings["cbDelScripts"] = true;
  EXPECT_EQ(h.Optimized("\x8a" + script + "\x8a\r\n"), "\x8a\x8a\r\n");
}

TEST(EngineMarkers, DocumentHoldingEveryByteValue) {
  Harness h;
  std::string all;
  for (int b = 1; b < 256; ++b)
    if (b != '\r' && b != '\n' && b != '"' && b != '<' && b != '>' && b != '=' && b != ' ' && b != '\t' && b != '&')
      all.push_back(static_cast<char>(b));
  const std::string script = "<script>a</script>";
  EXPECT_EQ(h.Optimized(all + script + all + "\r\n"), all + script + all + "\r\n");
}

// The search for free marker values passes over runs of plain text sixteen
// bytes at a time: a byte that stands anywhere in such a run still counts.
TEST(EngineMarkers, ByteValuesAmongLongPlainRunsAreSeen) {
  for (std::size_t shift = 0; shift < 16; ++shift) {
    Harness h;
    std::string doc = "<p>x</p><script>a</script>" + std::string(shift, 'k');
    for (int b = 1; b < 256; ++b) {
      const bool plain = (b >= 0x20 && b < 0x7F) || b == 9 || b == 10 || b == 13;
      if (!plain) doc += std::string(37, 'q') + static_cast<char>(b);
    }
    doc += "<script>b</script>\r\n";
    EXPECT_EQ(h.Optimized(doc), doc) << shift;
  }
}

TEST(EngineMarkers, BlockWhoseMarkerIsRemovedIsDropped) {
  Harness h;
  h.settings["cbIsScript"] = false;
  h.settings["cbIsStyle"] = false;
  h.settings["cbOuttag"] = false;
  EXPECT_EQ(h.Optimized("a<!-- <script>x</script> -->b<script>y</script>c\r\n"), "ab<script>y</script>c\r\n");
  // An empty attribute goes back to the nearest space, over a marker too.
  EXPECT_EQ(h.Optimized("<p x<script>x</script>=\"\">b<script>y</script>c\r\n"), "<p >b<script>y</script>c\r\n");
  h.settings["cbIsScript"] = true;
  EXPECT_EQ(h.Optimized("a<!-- <script>x</script> -->b\r\n"), "a<!-- <script>x</script> -->b\r\n");
}

// ---------------------------------------------------------------- working in the caller's buffer

// Documents that take every road through the sequence: as bytes, as wide
// symbols from the start (every byte value used), and switching to wide
// symbols in the cutting (a block starting before an earlier marker) or in a
// later pass (a comment that swallows a marker).
std::vector<std::string> RoadDocuments() {
  std::string all;
  for (int b = 1; b < 256; ++b)
    if (b != '\r' && b != '\n') all.push_back(static_cast<char>(b));
  return {"<p  class=\"a\">  x  &nbsp;&nbsp; </p>\r\n\r\n  \t\r\n<b>y</b> <i>z</i>\r\n",
          "a<script>x</script>b<!-- c -->d<script>\"e\"</script>\r\n",
          all + "<script>a</script><!-- x --><p>  y </p>\r\n",
          "<x <script>a</script> script>y</script>z <!-- q --> <p  a=\"\" b=\"5\">\r\n",
          "a<!-- <script>x</script> -->b<script>y</script>c\r\n",
          "<style <!-- k --> \"<!-- \" -->\r\n<!---->\r\n"};
}

TEST(EngineInPlace, GivesWhatTheCopyingFormGives) {
  for (int mode : {kModeNormal, kModeMax})
    for (bool dropScripts : {false, true})
      for (const std::string& doc : RoadDocuments()) {
        Harness h;
        ApplyModePreset(h.settings, mode);
        h.settings["cbDelScripts"] = dropScripts;
        h.settings["cbIsStyle"] = h.settings["cbIsScript"] = false;
        std::string copied = doc;
        ASSERT_EQ(h.Run(copied), OptimizeResult::Done);
        std::string inPlace = doc;
        ASSERT_EQ(h.RunInPlace(inPlace), OptimizeResult::Done);
        EXPECT_EQ(inPlace, copied) << mode << " " << doc;
      }
}

// A failing pass leaves the text as it was before it, in either form; the
// copying form leaves the caller's text alone when the run fails.
TEST(EngineInPlace, FailingPassesLeaveTheirInputInEitherForm) {
  std::set<std::string> passes;
  for (const PassInfo& row : PassTable())
    if (row.kind != StepKind::CancelCheck) passes.emplace(row.name);
  for (const std::string& pass : passes)
    for (const std::string& doc : RoadDocuments()) {
      std::string results[2];
      OptimizeResult answers[2];
      for (int inPlace = 0; inPlace < 2; ++inPlace) {
        Harness h;
        ApplyModePreset(h.settings, kModeMax);
        h.settings["cbDelCRLF"] = pass == "GlueLines";
        SetFaultHookForTesting(h.engine, [&](std::string_view p) {
          if (p == pass) throw std::bad_alloc();
        });
        results[inPlace] = doc;
        answers[inPlace] = inPlace ? h.RunInPlace(results[inPlace]) : h.Run(results[inPlace]);
      }
      EXPECT_EQ(answers[1], answers[0]) << pass;
      if (answers[0] == OptimizeResult::Done)
        EXPECT_EQ(results[1], results[0]) << pass << " " << doc;
      else
        EXPECT_EQ(results[0], doc) << pass;
    }
  // Without its first pass the page is whole and its script is optimized as
  // ordinary running text ("x  = 1" loses a space).
  Harness h;
  SetFaultHookForTesting(h.engine, [](std::string_view p) {
    if (p == "CutScripts") throw std::bad_alloc();
  });
  std::string text = "<p> a </p>  <script> x  = 1 </script>\r\n";
  EXPECT_EQ(h.RunInPlace(text), OptimizeResult::Done);
  EXPECT_EQ(text, "<p> a </p><script> x = 1 </script>\r\n");
}

TEST(EngineInPlace, CancelledRunsLeaveTheCopyingFormsTextAlone) {
  for (const std::string& doc : RoadDocuments()) {
    Harness h;
    ApplyModePreset(h.settings, kModeMax);
    int calls = 0;
    h.cancel = [&] { return ++calls == 3; };
    std::string text = doc;
    EXPECT_EQ(h.Run(text), OptimizeResult::Cancelled);
    EXPECT_EQ(text, doc);
    calls = 0;
    EXPECT_EQ(h.RunInPlace(text), OptimizeResult::Cancelled);
  }
}

}  // namespace
}  // namespace tersify
