// The desktop program's run: the Optimize command, the results window's
// buttons and clock, over the batch run of the ticked rows of the panel.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "app/run_window.h"
#include "panel/files_panel.h"
#include "panel/source_view.h"
#include "run/batch_run.h"
#include "run/file_step.h"
#include "run/run_state.h"

namespace tersify {

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
  void SetCancelButton(CancelRole role);

  RunEnvironment env_;
  RunState& state_;
  FilesPanel& panel_;
  SourceView& view_;
  RunWindow* window_;
  CancelRole cancelRole_ = CancelRole::Close;
  std::string lastElapsed_;
};

}  // namespace tersify
