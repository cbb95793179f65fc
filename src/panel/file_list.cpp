// File lists (.lst): the panel's rows with their ticks.
#include <exception>

#include "i18n/catalogue.h"
#include "panel/adding.h"
#include "run/file_ops.h"

namespace tersify {

namespace {

// Lines end at CR LF, a lone CR or a lone LF.
std::vector<std::string> SplitLines(const std::string& data) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < data.size(); ++i) {
    char c = data[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(std::move(line));
      line.clear();
      if (c == '\r' && i + 1 < data.size() && data[i + 1] == '\n') ++i;
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

}  // namespace

bool SaveFileList(const FilesPanel& panel, const std::string& path) {
  std::string data;
  for (const PanelRow& row : panel.rows()) data += (row.checked ? "+ " : "- ") + row.FullPath() + "\r\n";
  return WriteFileAtomically(path, data);
}

bool LoadFileList(FilesPanel& panel, const std::string& path, const PanelContext& ctx) {
  try {
    panel.RemoveAllRows();
    std::optional<std::string> data = ReadWholeFile(path);
    if (!data) return false;
    std::vector<std::string> lines = SplitLines(*data);
    std::size_t n = RestrictedCount(lines.size(), "const_restr_Fcount", ctx);
    // The marks are set once all rows are in, so the rows are not handed out
    // for change between two additions (which would make each addition
    // re-read every row).
    std::vector<std::size_t> unchecked;
    for (std::size_t i = 0; i < n && i < lines.size(); ++i) {
      const std::string& line = lines[i];
      if (line.size() < 3) continue;  // no path on the line
      if (panel.AddFileRow(line.substr(2), ctx) && line[0] != '+') unchecked.push_back(panel.size() - 1);
    }
    for (std::size_t row : unchecked) panel.rows()[row].checked = false;
    panel.RefreshPanel(ctx);
    panel.UpdateStatusLine(ctx.catalogue);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

void SaveListCommand(const FilesPanel& panel, const std::string* chosen, const PanelContext& ctx) {
  try {
    if (panel.empty()) {
      if (ctx.settings.cbShowInfo)
        ShowMessageBox(ctx.ui, ctx.catalogue.Text("const_panel_empty"), MessageKind::Information);
      return;
    }
    if (chosen) SaveFileList(panel, *chosen);
  } catch (const std::exception&) {
    ShowMessageBox(ctx.ui, ctx.catalogue.Text("const_save_flist_error"), MessageKind::Error);
  }
}

}  // namespace tersify
