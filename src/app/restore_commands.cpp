#include "app/restore_commands.h"

#include <exception>

#include "i18n/catalogue.h"
#include "panel/adding.h"
#include "panel/source_view.h"

namespace tersify {

// Undoes each page, with the record of the folder the current mode restores
// from read once.
static void RestoreEach(const std::vector<std::string>& pages, RunState& state, const PanelContext& ctx) {
  std::optional<std::string> folder = RecordFolderOf(ctx.settings);
  const RunRecord record = folder ? RunRecord::Load(*folder) : RunRecord();
  for (const std::string& f : pages) RestoreFile(f, state, ctx, {nullptr, &record});
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
    RestoreEach(state.LastRunFiles, state, ctx);
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
  RestoreEach(checked, state, ctx);
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
