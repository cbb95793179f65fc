// The Optimize command and the run over the ticked files of the panel.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "panel/files_panel.h"
#include "panel/source_view.h"
#include "run/file_step.h"
#include "run/run_state.h"
#include "run/run_window.h"

namespace tersify {

enum class RunEnd { Completed, Cancelled, Failed };

class RunController {
 public:
  // `window` may be null: the run then never waits for a Start button.
  RunController(RunEnvironment env, RunState& state, FilesPanel& panel, SourceView& view, RunWindow* window);

  // The Optimize command: prepares the run and either opens the window (whose
  // Start button calls StartClick) or asks and runs at once.
  void OptimizeCommand();
  // One run over the ticked rows. `fromWindow`: started by the Start button.
  RunEnd RunOptimization(bool fromWindow);
  // True when the run must stop now; asks when an interruption was requested.
  bool CheckCancel();

  // The window's buttons and keys.
  RunEnd StartClick() { return RunOptimization(true); }
  void CancelClick();
  void EscapeInWindow();
  // Esc in the main window while a run or a folder walk is under way.
  void EscapeInMainWindow();
  // The window's timer (every 100 milliseconds).
  void ClockTick();

  void ShowRunResults();
  void ResetRunControls(bool failed);

  // The main window's status bar text during a run without the window.
  std::function<void(const std::string&)> mainStatus;
  // The clock; replaceable for tests.
  std::function<std::chrono::steady_clock::time_point()> now = [] { return std::chrono::steady_clock::now(); };

 private:
  RunEnd OptimizeTickedFiles();
  PanelContext Ctx() const { return {env_.settings, env_.catalogue, env_.ui}; }
  std::string Text(const char* key) const;
  void Show(const char* key, MessageKind kind);
  std::string ElapsedText() const;

  RunEnvironment env_;
  RunState& state_;
  FilesPanel& panel_;
  SourceView& view_;
  RunWindow* window_;
  std::string lastElapsed_;
  // The record of the folder the current run writes to.
  std::optional<RunRecord> record_;
};

// Prepares the folders of a run: creates the output (or backup) folder when
// missing and removes temporaries left by an interrupted program from it, from
// the other mode's folder and from the folders of the given sources.
void PrepareRunFolders(const OptimizationSettings& s, const std::vector<std::string>& sources);

}  // namespace tersify
