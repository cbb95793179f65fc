// The batch form of tersify-cli: the files panel filled from the command line,
// a run over its ticked rows through the run's per-file step, and restoring.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/progress.h"
#include "cli/setup.h"
#include "cli/terminal_interaction.h"
#include "panel/files_panel.h"
#include "run/file_step.h"
#include "run/run_state.h"

namespace tersify::cli {

struct BatchEnv {
  const CliOptions& options;
  const CliSettings& cli;
  const MessageCatalogue& catalogue;
  TerminalInteraction& ui;
  // Where copies and backups go below their folders; filled by GatherFiles.
  TargetLayout& layout;

  PanelContext Panel() const { return {cli.settings, catalogue, ui}; }
  RunEnvironment Run(UserInteraction& user) const {
    return RunEnvironment{cli.settings, cli.tables.removal, cli.tables.replacement, catalogue, user, cli.codePage, {},
                          &layout};
  }
};

// Fills the panel as the desktop program does with files given to it: HTML
// files are added, folders walked (sub-folders with -r), file lists read with
// their ticks; then it is refreshed and sorted. Files found in a folder keep
// their path below it in the layout. Answers how many paths could not be
// taken (each named on standard error).
int GatherFiles(const std::vector<std::string>& paths, FilesPanel& panel, RunState& state, const BatchEnv& env);

struct FileReport {
  std::string source;
  FileOutcome outcome;
  std::vector<std::string> refused;  // existing files that were not overwritten
  int ratio = 0;
  bool Counted() const {
    return outcome.status == FileOutcome::Status::Saved ||
           (outcome.status == FileOutcome::Status::Skipped && refused.empty());
  }
};

struct BatchReport {
  std::vector<FileReport> files;  // in panel order, up to where the run stopped
  RunStatistics stats;
  std::vector<std::string> processed;  // the files that reached the save step
  int failed = 0;
  bool interrupted = false;
  bool dryRun = false;
  int jobs = 1;
  double seconds = 0;
  std::string elapsed;  // the results window's clock text
};

// Whether files can be read ahead of earlier files' writes: not when an output
// or backup could land in a folder that holds sources.
bool CanPrepareAhead(const std::vector<std::string>& sources, const OptimizationSettings& s);

// Optimizes the ticked rows in panel order with `jobs` files at a time.
BatchReport RunBatch(const FilesPanel& panel, RunState& state, const BatchEnv& env, int jobs, ProgressBar& progress);

struct RestoreReport {
  int restored = 0;
  int unchanged = 0;  // no backup, and the file is its recorded original
  int missing = 0;    // nothing to restore from
  int kept = 0;       // the record does not vouch for the copy, file or backup: left in place
  int failed = 0;
};

// Undoes the optimization of every ticked row, as "Cancel optimization for
// checked files".
RestoreReport RestoreFiles(const FilesPanel& panel, RunState& state, const BatchEnv& env);

}  // namespace tersify::cli
