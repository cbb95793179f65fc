// The whole pass sequence through the engine's public entry, for tests that
// compare it with the reference engine.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "base/codepage.h"
#include "engine/engine.h"
#include "engine/engine_testing.h"
#include "i18n/catalogue.h"
#include "settings/options.h"
#include "settings/tag_tables.h"
#include "support/scripted_interaction.h"

namespace tersify::testing {

// Runs the document in both forms (a copy, and in the caller's buffer),
// expects them to finish, agree and report nothing, and answers the result.
// `messages`, when given, tells whether a pass reported a failure.
inline std::string RunEngine(const std::string& doc, const OptimizationSettings& s, const TagRemovalTable& removal,
                             const TagReplacementTable& replacement, bool* messages = nullptr) {
  PassFailures failures;
  EngineContext ctx{PassOptionsOf(s), removal, replacement, failures, {}};
  std::string text = doc;
  Engine engine;
  EXPECT_EQ(engine.OptimizeDocument(text, ctx), OptimizeResult::Done);
  if (messages) *messages = !failures.empty();
  EXPECT_TRUE(failures.empty()) << "a pass reported a failure";
  std::string inPlace = doc;
  EXPECT_EQ(engine.OptimizeDocumentInPlace(inPlace, ctx), OptimizeResult::Done);
  EXPECT_EQ(inPlace, text) << "working in the caller's buffer";
  // Cut into pieces of a few bytes wherever the page allows, on two threads.
  Engine cut;
  SetPieceSizeForTesting(cut, 6 + doc.size() % 10);
  EngineContext twoThreads{ctx.options, removal, replacement, failures, {}, 2};
  std::string pieces = doc;
  EXPECT_EQ(cut.OptimizeDocument(pieces, twoThreads), OptimizeResult::Done);
  EXPECT_EQ(pieces, text) << "the page in pieces";
  return text;
}

// Three byte values for the passes' markers, as the engine picks them: from
// 0x80 up, lower-casing to themselves, and neither in `used` nor the
// lower-case form of a byte of it. The tests make sure there are three.
inline std::array<char, 3> FreeMarkerBytes(const LowerTable& lower, const std::string& used) {
  std::array<bool, 256> taken{};
  for (char c : used) {
    taken[static_cast<unsigned char>(c)] = true;
    taken[lower[static_cast<unsigned char>(c)]] = true;
  }
  std::array<char, 3> free{};
  std::size_t count = 0;
  for (int b = 0x80; b < 256 && count < 3; ++b)
    if (!taken[static_cast<std::size_t>(b)] && lower[static_cast<std::size_t>(b)] == b)
      free[count++] = static_cast<char>(b);
  EXPECT_EQ(count, 3u) << "no three free marker bytes";
  return free;
}

}  // namespace tersify::testing
