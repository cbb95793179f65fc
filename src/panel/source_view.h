// The source view below the files panel, without its widgets: which copy of a
// row it shows, which of its buttons can be used, and saving its text.
#pragma once

#include <optional>
#include <string>

#include "base/codepage.h"
#include "panel/files_panel.h"
#include "panel/page_text.h"

namespace tersify {

class SourceView {
 public:
  std::string ViewedFile;                // empty while no file is shown
  std::string hint;                      // the viewed file's path, or the "File source" text
  std::string shown;                     // the text as the editor shows it (UTF-8, LF line breaks)
  PageText page;                         // the file as loaded or last saved, which edits are laid over
  CodePage codePage = CodePage::Cp1252;  // the system's, for pages that are not UTF-8
  bool readOnly = true;
  bool visible = true;
  bool butViewUnZipped = false;
  bool butViewZipped = false;
  bool butSendToEdit = false;
  bool butSaveFile = false;
  // Hints of the "View" drop-down items "UNpacked file" and "Packed file".
  std::string unpackedItemHint;
  std::string packedItemHint;

  void ResetSourceView(const MessageCatalogue& catalogue);
  // Asks to save unsaved edits (Yes writes them), then resets when asked to.
  void OfferSaveOfView(bool reset, const PanelContext& ctx);
  // A row became selected (or, with nullptr, lost the selection).
  void OnRowSelected(const PanelRow* row, const OptimizationSettings& s);
  // butViewZipped (packed) or butViewUnZipped: shows that copy of the selected row.
  void ShowCopy(bool packed, const FilesPanel& panel, const PanelContext& ctx);
  // A click on the panel that leaves no row selected empties the view.
  void OnPanelClick(const FilesPanel& panel, const MessageCatalogue& catalogue);
  void OnPanelDoubleClick(const FilesPanel& panel, const PanelContext& ctx);
  // The user changed the shown text.
  void EditText(std::string newShown);
  // butSaveFile: writes the file's bytes with the edits laid over them.
  bool SaveFile(const PanelContext& ctx);
  // Writes the edits to `path`; the written bytes become the page that later
  // edits are laid over.
  bool WriteEdits(const std::string& path);
  bool ShowsFile() const { return !ViewedFile.empty(); }
  // butSendToEdit: the file to open in the external editor, if any.
  std::optional<std::string> FileForEditor() const;
};

// The "View" drop-down: which items can be chosen for the selected row.
struct ViewMenuState {
  bool unpacked = false;
  bool packed = false;
};
ViewMenuState ViewDropDown(const FilesPanel& panel, const OptimizationSettings& s);
// "UNpacked file" / "Packed file": the path to open in the browser.
std::optional<std::string> ViewItemPath(bool packed, const FilesPanel& panel, const OptimizationSettings& s);
// The "View" button: the packed copy when it exists, else the unpacked one;
// with no selected row tells the user to select one (when notices are on).
std::optional<std::string> ViewButtonPath(const FilesPanel& panel, const PanelContext& ctx);
// The browser is opened only for an existing file; otherwise "not found".
bool CheckBrowserPath(const std::string& path, const PanelContext& ctx);

// "Clear files panel": removes every row and empties the view.
void ClearFilesPanel(FilesPanel& panel, SourceView& view, const PanelContext& ctx);
// "Remove file from the list": the focused row, after offering to save the view.
void RemoveFocusedRow(FilesPanel& panel, SourceView& view, const PanelContext& ctx);

}  // namespace tersify
