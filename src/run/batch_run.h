// One batch run over a list of pages, for both programs: the desktop run
// controller adapts it to its panel and windows, the command line calls it
// directly.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "run/file_step.h"
#include "run/run_state.h"

namespace tersify {

enum class RunEnd { Completed, Cancelled, Failed };

// What became of one page.
struct PageOutcome {
  std::string source;
  FileOutcome outcome;
  std::vector<std::string> refused;  // existing files that were kept instead of overwritten
  int ratio = 0;                     // when the page reached the save step
  // Counted in the statistics and in the run's list of files.
  bool Counted() const {
    return outcome.status == FileOutcome::Status::Saved ||
           (outcome.status == FileOutcome::Status::Skipped && refused.empty());
  }
  bool Failed() const {
    return outcome.status == FileOutcome::Status::Failed || outcome.status == FileOutcome::Status::NotText ||
           !refused.empty();
  }
};

struct BatchRequest {
  std::vector<std::string> sources;  // in the order of treatment
  int jobs = 1;                      // pages read and optimized at once
  bool dryRun = false;               // nothing written, moved or created
  bool stopAtFailure = false;        // a failed page ends the run (the desktop program); one
                                     // that is not a text page does not
};

struct BatchHooks {
  // The stop token: true when the run must stop now. Asked before each page
  // and at the engine's cancel checks; with more than one job also from the
  // worker threads.
  std::function<bool()> stop;
  // Before page i: the page to treat now, or nothing to pass it by. A panel
  // whose rows change while the run lets events through answers from its rows.
  std::function<std::optional<std::string>(std::size_t)> current;
  // Takes the existing files the user's side refused to overwrite for the
  // page just placed.
  std::function<std::vector<std::string>()> takeRefused;
  // After each page: its outcome, the pages and source bytes done so far.
  std::function<void(const PageOutcome&, std::size_t pagesDone, std::int64_t bytesDone)> placed;
};

struct BatchResult {
  RunEnd end = RunEnd::Completed;
  std::vector<PageOutcome> pages;      // in order, up to where the run stopped
  std::vector<std::string> processed;  // the pages counted in the statistics
  RunStatistics stats;
  int failed = 0;
  int jobs = 1;  // the jobs the run used
  std::chrono::steady_clock::duration elapsed{};
};

// Runs the pages. Sets `state` as a run does: busy while it runs, the
// overwrite questions asked afresh, then the statistics, the list of the
// run's files and whether "Cancel last optimization" may undo it.
BatchResult RunBatch(const BatchRequest& request, const RunEnvironment& env, RunState& state, const BatchHooks& hooks);

// Whether "Cancel last optimization" can undo a run: not after a failed or
// dry run, nor after one that modified the sources without backups.
bool LastRunUndoable(const OptimizationSettings& s, bool failedOrDry);

// Whether pages can be read ahead of earlier pages' writes: not when an
// output or backup could land in a folder that holds sources.
bool CanPrepareAhead(const std::vector<std::string>& sources, const OptimizationSettings& s);

// Prepares the folders of a run: creates the output (or backup) folder when
// missing and removes temporaries left by an interrupted program from it, from
// the other mode's folder and from the folders of the given sources (and of
// their copies and backups, in a tree layout).
void PrepareRunFolders(const OptimizationSettings& s, const std::vector<std::string>& sources,
                       const TargetLayout* layout = nullptr);

}  // namespace tersify
