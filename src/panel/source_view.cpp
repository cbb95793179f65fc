#include "panel/source_view.h"

#include <exception>

#include "i18n/catalogue.h"
#include "run/file_ops.h"
#include "run/paths.h"

namespace tersify {

namespace {

const PanelRow* SelectedRow(const FilesPanel& panel) {
  if (!panel.selected || *panel.selected >= panel.size()) return nullptr;
  return &panel.rows()[*panel.selected];
}

// A packed copy is read as its unpacked copy is, so both show alike.
bool ReadsAsUtf8(const std::string& content, const std::optional<std::string>& unpacked) {
  return IsValidUtf8(content) && (!unpacked || IsValidUtf8(*unpacked));
}

}  // namespace

void SourceView::ResetSourceView(const MessageCatalogue& catalogue) {
  ViewedFile.clear();
  hint = catalogue.Text("const_filesrc_hint");
  shown.clear();
  page = {};
  unpackedItemHint.clear();
  packedItemHint.clear();
  readOnly = true;
  butViewUnZipped = butViewZipped = butSendToEdit = butSaveFile = false;
}

void SourceView::OfferSaveOfView(bool reset, const PanelContext& ctx) {
  if (butSaveFile) {
    std::string q = FillPlaceholders(ctx.catalogue.Text("const_savetofile"), {hint});
    if (ctx.ui.Question(q, MessageKind::Confirmation, QuestionButtons::YesNo) == Answer::Yes) {
      if (WriteEdits(hint))
        butSaveFile = false;
      else
        ShowMessageBox(ctx.ui, ctx.catalogue.Text("const_filesave_error"), MessageKind::Error);
    }
  }
  if (reset) ResetSourceView(ctx.catalogue);
}

void SourceView::OnRowSelected(const PanelRow* row, const OptimizationSettings& s) {
  if (!row) return;
  std::string f = row->FullPath();
  std::string unpacked = UnpackedPath(f, s, Lookup::Verified);
  std::string packed = PackedPath(f, s, Lookup::Verified);
  if (!s.radModifyOld) {
    butViewUnZipped = FileExists(unpacked);
    unpackedItemHint = unpacked;
    butViewZipped = FileExists(packed);
    packedItemHint = packed;
  } else if (FileExists(unpacked) && FileExists(packed)) {
    butViewUnZipped = butViewZipped = true;
    unpackedItemHint = unpacked;
    packedItemHint = packed;
  } else {
    butViewUnZipped = true;
    butViewZipped = false;
    // The paths the two items would open.
    unpackedItemHint = UnpackedPath(f, s, Lookup::Plain);
    packedItemHint = PackedPath(f, s, Lookup::Plain);
  }
}

void SourceView::ShowCopy(bool packed, const FilesPanel& panel, const PanelContext& ctx) {
  const char* errorKey = packed ? "const_zipped_error" : "const_unzipped_error";
  try {
    OfferSaveOfView(false, ctx);
    const PanelRow* row = SelectedRow(panel);
    if (!row) {
      ShowMessageBox(ctx.ui, ctx.catalogue.Text(errorKey), MessageKind::Error);
      return;
    }
    std::string f = row->FullPath();
    std::string path =
        packed ? PackedPath(f, ctx.settings, Lookup::Verified) : UnpackedPath(f, ctx.settings, Lookup::Verified);
    std::optional<std::string> content = FileExists(path) ? ReadWholeFile(path) : std::nullopt;
    if (!FileExists(path)) {
      ShowMessageBox(ctx.ui, FillPlaceholders(ctx.catalogue.Text("const_f_notf"), {path}), MessageKind::Error);
      return;
    }
    if (!content) {
      ShowMessageBox(ctx.ui, ctx.catalogue.Text(errorKey), MessageKind::Error);
      return;
    }
    std::optional<std::string> unpacked;
    if (packed) {
      std::string unpackedPath = UnpackedPath(f, ctx.settings, Lookup::Verified);
      if (unpackedPath != path && FileExists(unpackedPath)) unpacked = ReadWholeFile(unpackedPath);
    }
    hint = ViewedFile = path;
    const bool utf8 = ReadsAsUtf8(*content, unpacked);
    page = DecodePage(std::move(*content), codePage, utf8);
    shown = page.shown;
    readOnly = false;
    butSendToEdit = true;
    butSaveFile = false;
  } catch (const std::exception&) {
    ShowMessageBox(ctx.ui, ctx.catalogue.Text(errorKey), MessageKind::Error);
  }
}

void SourceView::OnPanelClick(const FilesPanel& panel, const MessageCatalogue& catalogue) {
  if (!SelectedRow(panel)) ResetSourceView(catalogue);
}

void SourceView::OnPanelDoubleClick(const FilesPanel& panel, const PanelContext& ctx) {
  if (SelectedRow(panel)) {
    ShowCopy(butViewZipped, panel, ctx);
  } else if (ctx.settings.cbShowInfo) {
    ShowMessageBox(ctx.ui, ctx.catalogue.Text("const_look_first"), MessageKind::Information);
  }
}

void SourceView::EditText(std::string newShown) {
  shown = std::move(newShown);
  if (!ViewedFile.empty()) butSaveFile = true;
}

bool SourceView::WriteEdits(const std::string& path) {
  // The edits are laid over the page only now, not at every keystroke.
  std::string bytes = EncodeEdited(page, shown);
  if (!WriteFileAtomically(path, bytes)) return false;
  page = DecodePage(std::move(bytes), codePage, page.utf8);
  return true;
}

bool SourceView::SaveFile(const PanelContext& ctx) {
  if (ViewedFile.empty() || !WriteEdits(ViewedFile)) {
    ShowMessageBox(ctx.ui, ctx.catalogue.Text("const_filesave_error"), MessageKind::Error);
    return false;
  }
  butSaveFile = false;
  return true;
}

std::optional<std::string> SourceView::FileForEditor() const {
  if (!ShowsFile()) return std::nullopt;
  return ViewedFile;
}

ViewMenuState ViewDropDown(const FilesPanel& panel, const OptimizationSettings& s) {
  const PanelRow* row = SelectedRow(panel);
  if (!row) return {};
  std::string f = row->FullPath();
  return {FileExists(UnpackedPath(f, s, Lookup::Verified)), FileExists(PackedPath(f, s, Lookup::Verified))};
}

std::optional<std::string> ViewItemPath(bool packed, const FilesPanel& panel, const OptimizationSettings& s) {
  const PanelRow* row = SelectedRow(panel);
  if (!row) return std::nullopt;
  std::string f = row->FullPath();
  return packed ? PackedPath(f, s, Lookup::Plain) : UnpackedPath(f, s, Lookup::Plain);
}

std::optional<std::string> ViewButtonPath(const FilesPanel& panel, const PanelContext& ctx) {
  const PanelRow* row = SelectedRow(panel);
  if (!row) {
    if (ctx.settings.cbShowInfo)
      ShowMessageBox(ctx.ui, ctx.catalogue.Text("const_look_first"), MessageKind::Information);
    return std::nullopt;
  }
  bool packed = FileExists(PackedPath(row->FullPath(), ctx.settings, Lookup::Verified));
  return ViewItemPath(packed, panel, ctx.settings);
}

bool CheckBrowserPath(const std::string& path, const PanelContext& ctx) {
  if (FileExists(path)) return true;
  ShowMessageBox(ctx.ui, FillPlaceholders(ctx.catalogue.Text("const_f_notf"), {path}), MessageKind::Error);
  return false;
}

void ClearFilesPanel(FilesPanel& panel, SourceView& view, const PanelContext& ctx) {
  panel.RemoveAllRows();
  panel.UpdateStatusLine(ctx.catalogue);
  view.ResetSourceView(ctx.catalogue);
}

void RemoveFocusedRow(FilesPanel& panel, SourceView& view, const PanelContext& ctx) {
  if (!panel.focused || *panel.focused >= panel.size()) {
    if (ctx.settings.cbShowInfo) ShowMessageBox(ctx.ui, ctx.catalogue.Text("const_choose_file"), MessageKind::Warning);
    return;
  }
  std::size_t index = *panel.focused;
  bool viewed = view.ViewedFile == panel.rows()[index].FullPath();
  view.OfferSaveOfView(viewed, ctx);
  panel.RemoveRow(index);
  panel.UpdateStatusLine(ctx.catalogue);
}

}  // namespace tersify
