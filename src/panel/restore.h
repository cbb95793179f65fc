// Undoing optimizations: deleting optimized copies, or putting backups back.
#pragma once

#include <string>

#include "panel/files_panel.h"
#include "run/run_record.h"
#include "run/run_state.h"
#include "run/target_path.h"

namespace tersify {

class SourceView;

// Where a restoration finds copies and backups, and what it knows of them.
struct RestoreSources {
  const TargetLayout* layout = nullptr;  // flat when null
  // The record of the output or backup folder; without one (or when the
  // folder holds none) copies and backups are taken as they are.
  const RunRecord* record = nullptr;
};

enum class RestoreOutcome {
  Restored,         // the copy deleted, or the backup put back
  AlreadyOriginal,  // no backup, and the file holds the original the record names
  Missing,          // nothing to restore from
  Kept,             // the record does not vouch for the file or its backup: left in place, with a warning
  Failed,
};

// Undoes the optimization of one file. In "Modify source files" mode the
// backup replaces the file in one rename (or, where that is impossible, a copy
// of it does); when neither works the file stays as it was. With a record, a
// copy or file is deleted or replaced only when it holds the bytes the record
// says the run wrote, and a backup is put back only when it holds the
// recorded original. Failures are silent.
RestoreOutcome RestoreFileFrom(const std::string& fullPath, RunState& state, const PanelContext& ctx,
                               const RestoreSources& from);
// As above; answers whether the file is as before the optimization now.
bool RestoreFile(const std::string& fullPath, RunState& state, const PanelContext& ctx,
                 const RestoreSources& from = {});

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
