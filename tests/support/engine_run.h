// The whole pass sequence through the engine's public entry, for tests that
// compare it with the reference engine.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "engine/engine.h"
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
  MessageCatalogue catalogue;
  ScriptedInteraction ui;
  EngineContext ctx{s, removal, replacement, catalogue, ui, {}};
  std::string text = doc;
  Engine engine;
  EXPECT_EQ(engine.OptimizeDocument(text, ctx), OptimizeResult::Done);
  if (messages) *messages = !ui.shown.empty();
  EXPECT_TRUE(ui.shown.empty()) << "a pass reported a failure";
  std::string inPlace = doc;
  EXPECT_EQ(engine.OptimizeDocumentInPlace(inPlace, ctx), OptimizeResult::Done);
  EXPECT_EQ(inPlace, text) << "working in the caller's buffer";
  return text;
}

}  // namespace tersify::testing
