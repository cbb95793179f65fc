// The optimization of one file: read, back up, optimize, save. Callable on its
// own, so a batch front-end can drive files in any order or in parallel (each
// call uses its own engine and touches no shared state but `memory`).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <system_error>

#include "engine/engine.h"
#include "run/run_record.h"
#include "run/run_state.h"
#include "run/target_path.h"

namespace tersify {

class MessageCatalogue;

// Runs the pass sequence over a document; the engine unless replaced.
using DocumentOptimizer = std::function<OptimizeResult(std::string& text, const EngineContext& ctx)>;

// Shows the failures from `from` on, as error messages, and answers how many
// there are now. A failure that is shown only with information messages is
// passed over when `showInfo` is off.
std::size_t ShowPassFailures(const PassFailures& failures, std::size_t from, bool showInfo,
                             const MessageCatalogue& catalogue, UserInteraction& ui);

// What a run reads from the rest of the program, at the moment of use.
struct RunEnvironment {
  const OptimizationSettings& settings;
  const TagRemovalTable& removal;
  const TagReplacementTable& replacement;
  const MessageCatalogue& catalogue;
  UserInteraction& ui;
  CodePage codePage = CodePage::Cp1252;
  DocumentOptimizer optimizer = {};
  // Where copies and backups go below their folders; flat when null.
  const TargetLayout* layout = nullptr;
  // The record of the folder the run writes to; when null nothing is recorded.
  RunRecord* record = nullptr;
  // Threads one large page may use (see EngineContext::threads).
  unsigned threads = 1;
};

// What tells whether a page on disk is still the one that was read: its size,
// its last-write time and its identity (device and inode).
struct PageStamp {
  bool valid = false;
  std::int64_t size = -1;
  std::int64_t writeTime = 0;
  std::uint64_t device = 0, inode = 0;
  bool operator==(const PageStamp&) const = default;
};
PageStamp StampOf(const std::string& path);

struct FileOutcome {
  enum class Status {
    Saved,      // written to `writtenPath`
    Skipped,    // reached the save step, which wrote nothing
    Cancelled,  // stopped at a cancel check; nothing written, backup put back
    Failed,     // could not be read, backed up or written, or did not fit into memory; backup put back
    NotText,    // holds a NUL byte: not a text page, left untouched
  } status = Status::Failed;
  std::int64_t sizeBefore = -1;
  std::int64_t sizeAfter = -1;  // of the written file, or of the output path when skipped
  std::string outputPath;
  std::string writtenPath;
  std::string failure;  // when Failed or NotText: what could not be done, with the path concerned
  // Counted in the statistics and in the list of the run's files.
  bool ReachedSave() const { return status == Status::Saved || status == Status::Skipped; }
};

// Optimizes `source` and places the result by the output mode of the settings.
// With `dryRun` nothing is written or moved; `sizeAfter` is the size the
// optimized file would have. A page that holds a NUL byte is not a text page
// and is left untouched. A source to be replaced by its optimized text that
// changed on disk since it was read fails and keeps the user's version.
FileOutcome OptimizeFile(const std::string& source, const RunEnvironment& env, OverwriteMemory& memory,
                         const std::function<bool()>& checkCancel, bool dryRun = false);

// The same step in two halves, for front-ends that optimize several files at
// once and place them one by one in panel order. The first half reads and
// optimizes in memory and touches no file; the second backs up and saves.
struct PreparedFile {
  OptimizeResult result = OptimizeResult::Failed;  // Failed also when the file cannot be read
  std::int64_t sizeBefore = -1;
  std::string text;                      // the optimized document when `result` is Done
  Fingerprint original;                  // of the file's bytes as read
  LineBreaks breaks = LineBreaks::CrLf;  // what the saved text ends its lines with
  bool unreadable = false;               // Failed because the file could not be read
  std::error_code error;                 // when Failed: the system's reason, if there is one
  bool notText = false;                  // Failed because the file holds a NUL byte
  PageStamp stamp;                       // the page as it was read
};
PreparedFile PrepareFile(const std::string& source, const RunEnvironment& env,
                         const std::function<bool()>& checkCancel);
// Places a prepared file as OptimizeFile would have. A file that was not
// prepared to the end comes back Failed or Cancelled with nothing touched.
FileOutcome PlaceFile(const std::string& source, PreparedFile prepared, const RunEnvironment& env,
                      OverwriteMemory& memory, bool dryRun = false);

}  // namespace tersify
