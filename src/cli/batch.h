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
#include "run/batch_run.h"
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

// The run's account of the ticked rows, with the figures of its summary.
struct BatchReport {
  std::vector<PageOutcome> files;  // in panel order, up to where the run stopped
  RunStatistics stats;
  std::vector<std::string> processed;  // the files counted in the statistics
  int failed = 0;
  bool interrupted = false;
  bool dryRun = false;
  int jobs = 1;
  double seconds = 0;
  std::string elapsed;  // the results window's clock text
  // Where the run puts its results: the copies' folder in copy mode, the
  // backups' folder when it modifies the sources with backups; empty when
  // not in that mode.
  std::string copiesFolder;
  std::string backupFolder;
};

// A ticked row whose folder is `folder` itself, if there is one.
std::optional<std::string> TickedRowIn(const FilesPanel& panel, const std::string& folder);

// Optimizes the ticked rows in panel order with `jobs` files at a time,
// naming each failure on standard error as it happens.
BatchReport OptimizeTicked(const FilesPanel& panel, RunState& state, const BatchEnv& env, int jobs,
                           ProgressBar& progress);

// What the run would do with each page's copy and backup under `policy`, one
// line a page, for a dry run. A page the real run would refuse (an existing
// file under --overwrite fail) counts as failed, as it would then.
std::string DryRunAccount(BatchReport& report, const OptimizationSettings& s, OverwritePolicy policy);

struct RestoreReport {
  int restored = 0;
  int unchanged = 0;  // no backup, and the file is its recorded original
  int missing = 0;    // nothing to restore from
  int kept = 0;       // the record does not vouch for the copy, file or backup: left in place
  int failed = 0;
  bool dryRun = false;
};

// Undoes the optimization of every ticked row, as "Cancel optimization for
// checked files". With `dryLines` nothing is touched: each page's line says
// what would be done, and the counts are those the real restoring would give.
RestoreReport RestoreFiles(const FilesPanel& panel, RunState& state, const BatchEnv& env,
                           std::string* dryLines = nullptr);

}  // namespace tersify::cli
