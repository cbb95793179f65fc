// Hostile documents: long runs of the bytes the passes look for, random bytes and
// one huge line go through every option set without a crash, a hang or an
// out-of-bounds access (the test build runs under the sanitizers).
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "engine/engine.h"
#include "i18n/catalogue.h"
#include "settings/tag_tables.h"
#include "support/scripted_interaction.h"

namespace tersify {
namespace {

struct Outcome {
  OptimizeResult result;
  std::string text;
  size_t messages;
};

Outcome Optimize(const std::string& bytes, const OptimizationSettings& s) {
  TagTables tables = BuiltInTagTables();
  TickDefaultEntries(tables);
  PassFailures failures;
  EngineContext ctx{PassOptionsOf(s), tables.removal, tables.replacement, failures, {}};
  std::string text = LoadDocumentText(bytes);
  Engine engine;
  OptimizeResult r = engine.OptimizeDocument(text, ctx);
  return {r, text, failures.size()};
}

std::vector<OptimizationSettings> OptionSets() {
  OptimizationSettings normal, max, dropScripts;
  ApplyModePreset(max, kModeMax);
  dropScripts["cbDelScripts"] = true;
  return {normal, max, dropScripts};
}

TEST(EngineBadInput, LongRunsOfSyntaxBytesEndCleanly) {
  const size_t n = 1 << 20;
  const std::string inputs[] = {std::string(n, '"'), std::string(n, '<'), [&] {
                                  std::string s;
                                  while (s.size() < n) s += "-->";
                                  return s;
                                }()};
  for (const auto& s : OptionSets()) {
    for (const auto& in : inputs) {
      Outcome o = Optimize(in, s);
      EXPECT_EQ(o.result, OptimizeResult::Done);
      EXPECT_EQ(o.messages, 0u);
      EXPECT_LE(o.text.size(), in.size() + 2);  // the loaded text gains at most the final CR LF
    }
  }
}

TEST(EngineBadInput, OnlyQuotesKeepEveryQuoteWithoutEmptyParameterRemoval) {
  // Pairs of quotes are empty values: without empty-parameter removal they stay.
  OptimizationSettings s;
  s["cbDelEmptyPar"] = false;
  const std::string quotes(100001, '"');  // odd: the last quote has no partner
  Outcome o = Optimize(quotes, s);
  ASSERT_EQ(o.result, OptimizeResult::Done);
  EXPECT_EQ(o.text, quotes + "\r\n");
}

TEST(EngineBadInput, RandomBytesAndOneHugeLine) {
  std::mt19937 rng(7);
  std::string random(1 << 19, '\0');
  for (char& c : random) c = static_cast<char>(1 + rng() % 255);  // no byte 0, so the whole text is read
  const char* pieces[] = {
      "<p class=\"a\">", "x ", "&nbsp;", "<!-- c -->", "<script>s</script>", "\t", "  ", "<b>", "=", "\"", "</td>"};
  std::string line;
  while (line.size() < (1u << 18)) line += pieces[rng() % std::size(pieces)];
  for (const auto& s : OptionSets()) {
    for (const std::string* in : {&random, &line}) {
      Outcome o = Optimize(*in, s);
      EXPECT_EQ(o.result, OptimizeResult::Done);
      EXPECT_EQ(o.messages, 0u);
    }
  }
}

}  // namespace
}  // namespace tersify
