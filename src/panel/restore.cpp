#include "panel/restore.h"

#include <exception>
#include <filesystem>
#include <system_error>

#include "i18n/catalogue.h"
#include "panel/adding.h"
#include "panel/paths.h"
#include "panel/source_view.h"
#include "run/file_ops.h"

namespace tersify {

namespace fs = std::filesystem;

namespace {

void WarnKept(const std::string& path, const PanelContext& ctx) {
  if (ctx.settings.cbShowInfo)
    ShowMessageBox(ctx.ui, FillPlaceholders(ctx.catalogue.Text("const_restore_kept"), {path}), MessageKind::Warning);
}

bool Recorded(const RestoreSources& from) { return from.record && from.record->present(); }

RestoreOutcome DeleteCopy(const std::string& f, const PanelContext& ctx, const RestoreSources& from) {
  std::string copy = OutputPathFor(f, ctx.settings, from.layout);
  // An output folder that is the file's own folder: the "copy" is the file.
  if (SameDirectoryEntry(f, copy)) return RestoreOutcome::Failed;
  if (!FileExists(copy)) return RestoreOutcome::Missing;
  if (Recorded(from)) {
    std::optional<Fingerprint> now = FingerprintOfFile(copy);
    if (!now || !from.record->Wrote(f, copy, *now)) {
      WarnKept(copy, ctx);
      return RestoreOutcome::Kept;
    }
  }
  std::error_code ec;
  return fs::remove(copy, ec) ? RestoreOutcome::Restored : RestoreOutcome::Failed;
}

// With a record: the file may be replaced when it is gone or holds bytes the
// run wrote (or the original itself), the backup put back when it holds the
// recorded original.
std::optional<std::string> RefusedByRecord(const std::string& f, const std::string& backup,
                                           const RestoreSources& from) {
  if (!Recorded(from)) return std::nullopt;
  std::optional<Fingerprint> page = FingerprintOfFile(f);
  if (FileExists(f) && (!page || !(from.record->Wrote(f, f, *page) || from.record->IsOriginalOf(f, *page)))) return f;
  std::optional<Fingerprint> held = FingerprintOfFile(backup);
  if (!held || !from.record->HoldsOriginal(f, backup, *held)) return backup;
  return std::nullopt;
}

}  // namespace

RestoreOutcome RestoreFileFrom(const std::string& f, RunState& state, const PanelContext& ctx,
                               const RestoreSources& from) {
  try {
    const OptimizationSettings& s = ctx.settings;
    if (!s.radModifyOld) return DeleteCopy(f, ctx, from);
    std::string backup = BackupPathFor(f, s, from.layout);
    // A backup folder that is the file's own folder holds no copy of it.
    if (FileExists(backup) && !SameDirectoryEntry(f, backup)) {
      std::error_code ec;
      // A backup that is still a second name of the file itself only goes away.
      if (fs::exists(f, ec) && fs::equivalent(f, backup, ec))
        return fs::remove(backup, ec) ? RestoreOutcome::Restored : RestoreOutcome::Failed;
      if (std::optional<std::string> refused = RefusedByRecord(f, backup, from)) {
        WarnKept(*refused, ctx);
        return RestoreOutcome::Kept;
      }
      fs::rename(backup, f, ec);  // replaces the file in one step
      if (!ec) return RestoreOutcome::Restored;
      // Another file system: the backup goes once its copy is on the disk.
      if (ec == std::errc::cross_device_link)
        return CopyForMove(backup, f) && fs::remove(backup, ec) ? RestoreOutcome::Restored : RestoreOutcome::Failed;
      // The copy in the backup folder stays.
      return CopyFileTo(backup, f, true) ? RestoreOutcome::Restored : RestoreOutcome::Failed;
    }
    if (Recorded(from)) {
      std::optional<Fingerprint> page = FingerprintOfFile(f);
      if (page && from.record->IsOriginalOf(f, *page)) return RestoreOutcome::AlreadyOriginal;
    }
    if (s.cbShowInfo && state.askMissingBackup) {
      std::string text = FillPlaceholders(ctx.catalogue.Text("const_backup_error2"), {backup});
      if (ctx.ui.Question(text, MessageKind::Warning, QuestionButtons::YesYesToAll) == Answer::YesToAll)
        state.askMissingBackup = false;
    }
    return RestoreOutcome::Missing;
  } catch (const std::exception&) {
    return RestoreOutcome::Failed;
  }
}

bool RestoreFile(const std::string& f, RunState& state, const PanelContext& ctx, const RestoreSources& from) {
  RestoreOutcome outcome = RestoreFileFrom(f, state, ctx, from);
  return outcome == RestoreOutcome::Restored || outcome == RestoreOutcome::AlreadyOriginal;
}

// The record of the folder the current mode restores from.
static RunRecord RecordOfMode(const OptimizationSettings& s) {
  std::optional<std::string> folder = RecordFolderOf(s);
  return folder ? RunRecord::Load(*folder) : RunRecord();
}

static void FinishRestoration(FilesPanel& panel, SourceView& view, const PanelContext& ctx) {
  panel.RefreshPanel(ctx);
  view.ResetSourceView(ctx.catalogue);
  panel.selected.reset();
}

void CancelLastOptimization(FilesPanel& panel, SourceView& view, RunState& state, const PanelContext& ctx) {
  if (RefuseWhenBusy(state, ctx)) return;
  try {
    if (!panel.empty() && !state.LastRunFiles.empty()) state.askMissingBackup = true;
    const RunRecord record = RecordOfMode(ctx.settings);
    for (const std::string& f : state.LastRunFiles) RestoreFile(f, state, ctx, {nullptr, &record});
    state.backUpLastEnabled = false;
    FinishRestoration(panel, view, ctx);
    state.LastRunFiles.clear();
    if (ctx.settings.cbShowEnd) ShowMessageBox(ctx.ui, ctx.catalogue.Text("const_backup"), MessageKind::Information);
  } catch (const std::exception&) {
    ShowMessageBox(ctx.ui, ctx.catalogue.Text("const_backup_error"), MessageKind::Error);
    state.backUpLastEnabled = false;
  }
}

void CancelCheckedFiles(FilesPanel& panel, SourceView& view, RunState& state, const PanelContext& ctx) {
  if (RefuseWhenBusy(state, ctx)) return;
  state.askMissingBackup = true;
  std::vector<std::string> checked;
  for (const PanelRow& row : panel.rows())
    if (row.checked) checked.push_back(row.FullPath());
  const RunRecord record = RecordOfMode(ctx.settings);
  for (const std::string& f : checked) RestoreFile(f, state, ctx, {nullptr, &record});
  FinishRestoration(panel, view, ctx);
  if (ctx.settings.cbShowEnd) ShowMessageBox(ctx.ui, ctx.catalogue.Text("const_backup"), MessageKind::Information);
}

void RestoreDropDown(const FilesPanel& panel, RunState& state, RestoreMenuState& items, const PanelContext& ctx) {
  if (RefuseWhenBusy(state, ctx)) return;
  if (panel.empty()) {
    items.lastRun = items.checkedFiles = false;
    state.backUpLastEnabled = false;
  }
  items.lastRun = state.backUpLastEnabled;
  items.checkedFiles = panel.CheckedCount() > 0;
}

void RestoreClick(FilesPanel& panel, SourceView& view, RunState& state, const PanelContext& ctx) {
  if (RefuseWhenBusy(state, ctx)) return;
  if (state.backUpLastEnabled)
    CancelLastOptimization(panel, view, state, ctx);
  else if (ctx.settings.cbShowInfo)
    ShowMessageBox(ctx.ui, ctx.catalogue.Text("const_opt_first"), MessageKind::Information);
}

}  // namespace tersify
