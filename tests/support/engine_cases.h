// Named engine cases with hand-worked expected bytes. The reference engine and
// the production engine both run this table, so each case pins one behaviour
// of the pass sequence for both.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "settings/options.h"
#include "settings/tag_tables.h"

namespace tersify::testsupport {

struct EngineCase {
  std::string name;   // letters, digits and underscores: usable as a test name
  std::string input;  // the document in its loaded form (CR LF after every line)
  // Changes the default settings for this case; may be empty.
  std::function<void(OptimizationSettings&)> tweak;
  TagRemovalTable removal;          // empty unless the case is about tags
  TagReplacementTable replacement;  // empty unless the case is about tags
  std::string expected;             // SourceText after the whole sequence
  CodePage codePage = CodePage::Cp1252;

  OptimizationSettings Settings() const;
};

// Switches off every optional pass and sub-option, so that only script
// shielding, tag spacing and tag joining run.
void AllPassesOff(OptimizationSettings& s);

const std::vector<EngineCase>& EngineCases();

// For parameterized tests: the case's name.
struct EngineCaseName {
  template <typename Info>
  std::string operator()(const Info& info) const {
    return info.param.name;
  }
};

}  // namespace tersify::testsupport
