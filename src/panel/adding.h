// Bringing files into the panel: chosen files, a folder walk, drops, the
// command line, and saved file lists.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "panel/files_panel.h"
#include "run/run_state.h"

namespace tersify {

class SourceView;

// The extension test against the patterns of the catalogue's filter texts:
// exactly .htm and .html (in any letter case) with the English texts, .lst for
// file lists.
bool IsHtmlFile(const std::string& path, const MessageCatalogue& catalogue);
bool IsFileList(const std::string& path, const MessageCatalogue& catalogue);

// The count restriction: how many of `n` files to take. Asks `questionKey`
// when the restriction is on and n exceeds the limit.
std::size_t RestrictedCount(std::size_t n, const char* questionKey, const PanelContext& ctx);

// The busy guard of commands that must not overlap a run or a folder walk:
// shows the matching warning and answers true while busy.
bool RefuseWhenBusy(const RunState& state, const PanelContext& ctx);

// "Files": the rows are replaced by the chosen files (after the restriction).
void AddChosenFiles(FilesPanel& panel, SourceView& view, const std::vector<std::string>& chosen,
                    const PanelContext& ctx);
// "Add file in the list": one more file, no restriction; refreshes in any case.
void AddOneFile(FilesPanel& panel, const std::string* chosen, const PanelContext& ctx);

// The instruction text of the folder dialog.
std::string FolderDialogText(const PanelContext& ctx);
// "Folder" after the dialog: replaces the rows by the folder's HTML files
// (a null `folder` means the dialog was cancelled). The walk can be
// interrupted through `state.cancelRequested` (Esc), seen once per folder.
void AddFolder(FilesPanel& panel, SourceView& view, RunState& state, const std::string* folder,
               const PanelContext& ctx);
// The recursive walk; false once it was interrupted.
bool WalkFolder(FilesPanel& panel, RunState& state, const std::string& folder, int level, const PanelContext& ctx);

struct PanelPoint {
  int x = 0, y = 0;
};
struct PanelArea {
  int left = 0, top = 0, right = 0, bottom = 0;  // edges count as inside
};
// Files dropped at `point`, in main window client coordinates.
void DropFiles(FilesPanel& panel, const std::vector<std::string>& paths, PanelPoint point, PanelArea panelArea,
               const PanelContext& ctx);
// One path given on the command line; the caller refreshes once afterwards.
void AddFromCommandLine(FilesPanel& panel, const std::string& path, const PanelContext& ctx);

// File lists: one line per row, "+ " or "- " and the full path, CR LF after
// every line. Saving writes the whole file or nothing.
bool SaveFileList(const FilesPanel& panel, const std::string& path);
bool LoadFileList(FilesPanel& panel, const std::string& path, const PanelContext& ctx);
// "Save list to the file" with the chosen name (null: the dialog was not shown
// or cancelled); tells the user when the panel is empty.
void SaveListCommand(const FilesPanel& panel, const std::string* chosen, const PanelContext& ctx);

}  // namespace tersify
