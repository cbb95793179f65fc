// One document under optimization and the fixed sequence of passes over it.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "base/codepage.h"
#include "settings/options.h"
#include "settings/tag_tables.h"

namespace tersify {

class MessageCatalogue;
class UserInteraction;

// What a document's optimization reads from the rest of the program.
struct EngineContext {
  const OptimizationSettings& settings;
  const TagRemovalTable& removal;
  const TagReplacementTable& replacement;
  const MessageCatalogue& catalogue;
  UserInteraction& ui;
  // The run's cancel check; true means stop now. May be empty.
  std::function<bool()> checkCancel;
};

enum class OptimizeResult {
  Done,       // SourceText holds the optimized document
  Cancelled,  // the user stopped the run at a cancel check; do not save
  Failed,     // an unguarded pass failed; the run ends with "Error during optimization process"
};

// The reading rule: lines end at CR LF, CR or LF; a byte 0 ends the text; the
// lines are joined with CR LF after every line.
std::string LoadDocumentText(std::string_view fileBytes);
// The saving rule: the text split by the same rule, CR LF after every line.
std::string SaveDocumentText(std::string_view text);
// Either rule applied to `text` itself. A text whose lines all end with CR LF
// (the usual case) is only looked through; otherwise it is rebuilt, in its own
// buffer when the capacity allows.
void NormalizeLines(std::string& text);

class Engine {
 public:
  explicit Engine(CodePage codePage = CodePage::Cp1252);

  // Runs the pass sequence over `text` (already in SourceText form) and
  // replaces it with the result when the answer is Done.
  OptimizeResult OptimizeDocument(std::string& text, const EngineContext& ctx);
  // The same, for a caller that has no use for the text unless the answer is
  // Done: its buffer becomes working space, which saves a copy of the page.
  OptimizeResult OptimizeDocumentInPlace(std::string& text, const EngineContext& ctx);

  CodePage codePage() const { return codePage_; }

  // Called with a pass's name before the pass runs; a hook that throws makes
  // that pass fail, so tests can check how failures are reported.
  void SetFaultHookForTesting(std::function<void(std::string_view pass)> hook) { faultHook_ = std::move(hook); }

 private:
  CodePage codePage_;
  std::function<void(std::string_view)> faultHook_;
};

}  // namespace tersify
