// The engine's table of passes: every row has its reference pass, and the
// reference passes run in the table's order, as its switches say, make the
// reference sequence.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>
#include <string>
#include <utility>

#include "engine/engine.h"
#include "i18n/catalogue.h"
#include "reference/reference_engine.h"
#include "settings/option_table.h"
#include "support/doc_generator.h"

namespace tersify {
namespace {

namespace ref = reference;

struct Tables {
  const OptimizationSettings& s;
  const TagRemovalTable& removal;
  const TagReplacementTable& replacement;
};
using ReferencePass = std::function<void(ref::Doc&, const Tables&)>;

// The reference pass beside each row of the engine's table (the cancel checks have none).
const std::map<std::pair<std::string_view, StepKind>, ReferencePass>& ReferencePasses() {
  using K = StepKind;
  static const std::map<std::pair<std::string_view, StepKind>, ReferencePass> passes = {
      {{"CutScripts", K::Pass}, [](ref::Doc& d, const Tables& t) { ref::CutScripts(d, t.s); }},
      {{"CutPreformatted", K::Pass}, [](ref::Doc& d, const Tables&) { ref::CutPreformatted(d); }},
      {{"GlueLines", K::Pass}, [](ref::Doc& d, const Tables&) { ref::GlueLines(d); }},
      {{"RemoveComments", K::Pass}, [](ref::Doc& d, const Tables& t) { ref::RemoveComments(d, t.s); }},
      {{"TightenTagSpaces", K::Pass}, [](ref::Doc& d, const Tables&) { ref::TightenTagSpaces(d); }},
      {{"RemoveQuotes", K::Pass}, [](ref::Doc& d, const Tables& t) { ref::RemoveQuotes(d, t.s); }},
      {{"ProcessTag", K::TagRemoval}, [](ref::Doc& d, const Tables& t) { ref::RemoveTags(d, t.removal); }},
      {{"ProcessTag", K::TagReplacement},
       [](ref::Doc& d, const Tables& t) { ref::ReplaceTags(d, t.replacement, t.s); }},
      {{"CollapseNbsp", K::Pass}, [](ref::Doc& d, const Tables& t) { ref::CollapseNbsp(d, t.s); }},
      {{"RemoveAllTabs", K::Pass}, [](ref::Doc& d, const Tables&) { ref::RemoveAllTabs(d); }},
      {{"RemoveBlankLines", K::Pass}, [](ref::Doc& d, const Tables&) { ref::RemoveBlankLines(d); }},
      {{"CollapseSpaces", K::Pass}, [](ref::Doc& d, const Tables& t) { ref::CollapseSpaces(d, t.s); }},
      {{"TrimLines", K::Pass}, [](ref::Doc& d, const Tables&) { ref::TrimLines(d); }},
      {{"RemoveEmptyLines", K::Pass}, [](ref::Doc& d, const Tables&) { ref::RemoveEmptyLines(d); }},
      {{"JoinTags", K::Pass}, [](ref::Doc& d, const Tables&) { ref::JoinTags(d); }},
      {{"InsertPreformatted", K::Pass}, [](ref::Doc& d, const Tables&) { ref::InsertPreformatted(d); }},
      {{"InsertScripts", K::Pass}, [](ref::Doc& d, const Tables&) { ref::InsertScripts(d); }},
  };
  return passes;
}

TEST(PassTable, EveryRowHasItsReferencePassAndItsMessage) {
  std::size_t covered = 0;
  for (const PassInfo& row : PassTable()) {
    if (row.kind == StepKind::CancelCheck) continue;
    EXPECT_EQ(ReferencePasses().count({row.name, row.kind}), 1u) << row.name;
    ++covered;
    const bool shown = row.onFailure == OnFailure::Error || row.onFailure == OnFailure::ErrorIfInfo;
    EXPECT_EQ(shown, !row.messageKey.empty()) << row.name;
    if (shown) {
      EXPECT_FALSE(EnglishText(row.messageKey).empty()) << row.name;
    }
  }
  EXPECT_EQ(covered, ReferencePasses().size());
}

// A switch of the passes that the pass options leave out would be ignored by
// the engine.
TEST(PassTable, PassOptionsCarryEverySwitchOfThePasses) {
  for (const auto& row : kOptionTable) {
    if (!IsPassSwitch(row)) continue;
    OptimizationSettings on, off;
    ASSERT_TRUE(SetOption(on, row.key, "1") && SetOption(off, row.key, "0")) << row.key;
    EXPECT_NE(PassOptionsOf(on), PassOptionsOf(off)) << row.key;
  }
}

TEST(PassTable, ReferencePassesInTableOrderMakeTheReferenceSequence) {
  std::mt19937 rng(4242);
  for (int round = 0; round < 400; ++round) {
    const std::string doc = LoadDocumentText(testing::RandomDocument(rng, 30));
    const OptimizationSettings s = testing::RandomSettings(rng);
    const TagRemovalTable removal = testing::RandomRemoval(rng);
    const TagReplacementTable replacement = testing::RandomReplacement(rng);
    const PassOptions o = PassOptionsOf(s);
    ref::Doc d(doc, CodePage::Cp1252);
    for (const PassInfo& row : PassTable()) {
      if (row.kind == StepKind::CancelCheck) continue;
      if (!Switched(row, o)) continue;
      ReferencePasses().at({row.name, row.kind})(d, {s, removal, replacement});
    }
    ASSERT_EQ(d.Bytes(), ref::Optimize(doc, s, removal, replacement, CodePage::Cp1252)) << "round " << round;
  }
}

}  // namespace
}  // namespace tersify
