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

bool RestoreFile(const std::string& f, RunState& state, const PanelContext& ctx) {
  try {
    const OptimizationSettings& s = ctx.settings;
    std::string name = NameOf(f);
    if (!s.radModifyOld) {
      std::string copy = InFolder(s.edOptimizedPath, name);
      // An output folder that is the file's own folder: the "copy" is the file.
      if (SameDirectoryEntry(f, copy)) return false;
      std::error_code ec;
      return fs::remove(copy, ec);
    }
    std::string backup = BackupPathOf(f, s);
    // A backup folder that is the file's own folder holds no copy of it.
    if (FileExists(backup) && !SameDirectoryEntry(f, backup)) {
      std::error_code ec;
      // A backup that is still a second name of the file itself only goes away.
      if (fs::exists(f, ec) && fs::equivalent(f, backup, ec)) return fs::remove(backup, ec);
      fs::rename(backup, f, ec);  // replaces the file in one step
      if (!ec) return true;
      // Another file system: the backup goes once its copy is on the disk.
      if (ec == std::errc::cross_device_link) return CopyForMove(backup, f) && fs::remove(backup, ec);
      return CopyFileTo(backup, f, true);  // the copy in the backup folder stays
    }
    if (s.cbShowInfo && state.askMissingBackup) {
      std::string text = FillPlaceholders(ctx.catalogue.Text("const_backup_error2"), {backup});
      if (ctx.ui.Question(text, MessageKind::Warning, QuestionButtons::YesYesToAll) == Answer::YesToAll)
        state.askMissingBackup = false;
    }
    return false;
  } catch (const std::exception&) {
    return false;
  }
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
    for (const std::string& f : state.LastRunFiles) RestoreFile(f, state, ctx);
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
  for (const std::string& f : checked) RestoreFile(f, state, ctx);
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
