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
};

struct FileOutcome {
  enum class Status {
    Saved,      // written to `writtenPath`
    Skipped,    // reached the save step, which wrote nothing
    Cancelled,  // stopped at a cancel check; nothing written, backup put back
    Failed,     // could not be read, backed up or written, or did not fit into memory; backup put back
  } status = Status::Failed;
  std::int64_t sizeBefore = -1;
  std::int64_t sizeAfter = -1;  // of the written file, or of the output path when skipped
  std::string outputPath;
  std::string writtenPath;
  std::string failure;  // when Failed: what could not be done, with the path concerned
  // Counted in the statistics and in the list of the run's files.
  bool ReachedSave() const { return status == Status::Saved || status == Status::Skipped; }
};

// Optimizes `source` and places the result by the output mode of the settings.
// With `dryRun` nothing is written or moved; `sizeAfter` is the size the
// optimized file would have.
FileOutcome OptimizeFile(const std::string& source, const RunEnvironment& env, OverwriteMemory& memory,
                         const std::function<bool()>& checkCancel, bool dryRun = false);

// The same step in two halves, for front-ends that optimize several files at
// once and place them one by one in panel order. The first half reads and
// optimizes in memory and touches no file; the second backs up and saves.
struct PreparedFile {
  OptimizeResult result = OptimizeResult::Failed;  // Failed also when the file cannot be read
  std::int64_t sizeBefore = -1;
  std::string text;         // the optimized document when `result` is Done
  Fingerprint original;     // of the file's bytes as read
  bool unreadable = false;  // Failed because the file could not be read
  std::error_code error;    // when Failed: the system's reason, if there is one
};
PreparedFile PrepareFile(const std::string& source, const RunEnvironment& env,
                         const std::function<bool()>& checkCancel);
// Places a prepared file as OptimizeFile would have. A file that was not
// prepared to the end comes back Failed or Cancelled with nothing touched.
FileOutcome PlaceFile(const std::string& source, PreparedFile prepared, const RunEnvironment& env,
                      OverwriteMemory& memory, bool dryRun = false);

}  // namespace tersify
