// One document under optimization and the fixed sequence of passes over it.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/codepage.h"
#include "engine/pass_options.h"
#include "settings/tag_tables.h"

namespace tersify {

// How a failing pass is reported: an error message; an error message only
// when information messages are on; nothing; or the end of the whole run.
enum class OnFailure { Error, ErrorIfInfo, Silent, Fatal };

// What a row of the sequence runs: one pass; the tag pass once for every
// ticked entry of the removal or the replacement table; or a cancel check.
enum class StepKind { Pass, TagRemoval, TagReplacement, CancelCheck };

// One row of the fixed sequence. It runs when `on` is none or ticked, and
// `unless` is none or not ticked.
struct PassInfo {
  std::string_view name;
  StepKind kind;
  SwitchKey on;
  SwitchKey unless;
  OnFailure onFailure;
  std::string_view messageKey;  // for Error and ErrorIfInfo
};

// Whether the row runs with these options.
inline bool Switched(const PassInfo& info, const PassOptions& o) {
  return (info.on.IsNone() || o[info.on]) && (info.unless.IsNone() || !o[info.unless]);
}

// The rows of the sequence, in the order they run.
std::span<const PassInfo> PassTable();

// A guarded pass that failed, for the caller to show.
struct PassFailure {
  std::string_view pass;
  std::string_view messageKey;
  std::optional<std::string> entry;  // the tag pass's entry, in place of %s
  bool onlyWithInfo = false;         // shown only when information messages are on
};
using PassFailures = std::vector<PassFailure>;

// What a document's optimization reads from the rest of the program.
struct EngineContext {
  PassOptions options;
  const TagRemovalTable& removal;
  const TagReplacementTable& replacement;
  // The failures of guarded passes are added here as they happen, so a
  // caller can show them before its next cancel check.
  PassFailures& failures;
  // The run's cancel check; true means stop now. May be empty.
  std::function<bool()> checkCancel;
  // Threads a large page may use at once (the middle of the sequence then
  // goes over it in pieces); 1 keeps the run on the caller's thread.
  unsigned threads = 1;
};

enum class OptimizeResult {
  Done,       // SourceText holds the optimized document
  Cancelled,  // the user stopped the run at a cancel check; do not save
  Failed,     // an unguarded pass failed; the run ends with "Error during optimization process"
};

// The reading rule: lines end at CR LF, CR or LF; a byte 0 ends the text; the
// lines are joined with CR LF after every line.
std::string LoadDocumentText(std::string_view fileBytes);

// What a saved page ends its lines with: a page that held no CR keeps its
// LF breaks; any other page is saved with CR LF, the form the passes work in.
enum class LineBreaks { CrLf, Lf };
// The breaks for a page read from these bytes (up to a byte 0, where the page ends).
LineBreaks LineBreaksOf(std::string_view fileBytes);

// The saving rule: the text split by the same rule, `breaks` after every line.
std::string SaveDocumentText(std::string_view text, LineBreaks breaks);
// The saving rule applied to `text` itself.
void SaveLinesInPlace(std::string& text, LineBreaks breaks);
// The reading rule applied to `text` itself; the answer is the breaks the
// page is saved with (what LineBreaksOf gives for the bytes it had). A text
// whose lines all end with CR LF (the usual case) is only looked through;
// otherwise it is rebuilt, in its own buffer when the capacity allows.
LineBreaks NormalizeLines(std::string& text);
// The same for a page that may hold no byte 0 (it is not a text page): then
// the answer is nothing and the text stays as it was.
std::optional<LineBreaks> NormalizePageLines(std::string& text);

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

 private:
  friend struct EngineTestAccess;
  CodePage codePage_;
  std::function<void(std::string_view)> faultHook_;
  bool hookMayFail_ = false;    // a hook that throws fails passes one by one
  std::size_t pieceBytes_ = 0;  // when not 0, the size of the pieces of a large page
};

}  // namespace tersify
