// The desktop program's "Restore" button and its two menu items, over the
// run's restoring of pages.
#pragma once

#include "panel/files_panel.h"
#include "run/restore.h"
#include "run/run_state.h"

namespace tersify {

class SourceView;

// "Cancel last optimization": every file of the last run. Both commands are
// refused with the busy warning during a run or a folder walk, whose files
// they would move.
void CancelLastOptimization(FilesPanel& panel, SourceView& view, RunState& state, const PanelContext& ctx);
// "Cancel optimization for checked files".
void CancelCheckedFiles(FilesPanel& panel, SourceView& view, RunState& state, const PanelContext& ctx);

// The enabled items of the "Restore" drop-down.
struct RestoreMenuState {
  bool lastRun = false;
  bool checkedFiles = false;
};
// Before the drop-down opens; `items` keeps its state while busy.
void RestoreDropDown(const FilesPanel& panel, RunState& state, RestoreMenuState& items, const PanelContext& ctx);
// A click on "Restore".
void RestoreClick(FilesPanel& panel, SourceView& view, RunState& state, const PanelContext& ctx);

}  // namespace tersify
