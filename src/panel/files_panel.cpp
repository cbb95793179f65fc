#include "panel/files_panel.h"

#include <cmath>
#include <exception>

#include "i18n/catalogue.h"
#include "run/file_ops.h"
#include "run/paths.h"

namespace tersify {

const std::string* PanelRow::ColumnText(int column) const {
  if (column == kColFilename) return &Filename;
  if (column == kColPath) return &Path;
  std::size_t i = static_cast<std::size_t>(column - kColDate);
  return column >= kColDate && i < columns.size() ? &columns[i] : nullptr;
}

void FilesPanel::SyncPathIndex() {
  if (indexedData_ == rows_.data() && indexedSize_ == rows_.size() && indexedHandouts_ == rowsHandedOut_) return;
  pathIndex_.clear();
  std::string scratch;
  for (const PanelRow& row : rows_) pathIndex_.insert(row.PageKey(scratch));
  indexedData_ = rows_.data();
  indexedSize_ = rows_.size();
  indexedHandouts_ = rowsHandedOut_;
}

bool FilesPanel::AddFileRow(const std::string& path, const PanelContext& ctx) {
  try {
    SyncPathIndex();
    // A page is listed once, however it is named (a link and its target,
    // "./x" and "x").
    std::string real = RealPathOf(path);
    if (pathIndex_.count(path) || pathIndex_.count(real)) {
      ShowMessageBox(ctx.ui, FillPlaceholders(ctx.catalogue.Text("const_file_in"), {path}), MessageKind::Warning);
      return false;
    }
    PanelRow row;
    row.Filename = NameOf(path);
    row.Path = FolderOf(path);
    row.realPath = real;
    pathIndex_.insert(real);
    try {
      rows_.push_back(std::move(row));
    } catch (...) {
      pathIndex_.erase(real);
      throw;
    }
    indexedData_ = rows_.data();
    indexedSize_ = rows_.size();
    return true;
  } catch (const std::exception&) {
    ShowMessageBox(ctx.ui, ctx.catalogue.Text("const_file_s_error"), MessageKind::Error);
    return false;
  }
}

static std::string RatioText(std::int64_t packed, std::int64_t unpacked) {
  double r = std::nearbyint(static_cast<double>(packed) / static_cast<double>(unpacked) * 100.0);
  return std::to_string(static_cast<long long>(100.0 - r)) + " %";
}

void FilesPanel::RefreshRow(PanelRow& row, const PanelContext& ctx) {
  const OptimizationSettings& s = ctx.settings;
  std::string f = row.FullPath();
  row.columns.clear();
  row.columns.push_back(FileDateText(f, ctx.ui));
  std::int64_t unpacked = FileSizeOf(UnpackedPath(f, s, Lookup::Verified));
  row.columns.push_back(std::to_string(unpacked));
  if (FileExists(PackedPath(f, s, Lookup::Plain)) && FileExists(UnpackedPath(f, s, Lookup::Plain))) {
    std::int64_t packed = FileSizeOf(PackedPath(f, s, Lookup::Verified));
    row.columns.push_back(std::to_string(packed));
    if (unpacked > 0) row.columns.push_back(RatioText(packed, unpacked));
  } else {
    row.columns.push_back("-");
  }
}

void FilesPanel::RefreshPanel(const PanelContext& ctx) {
  if (rows_.empty()) return;
  try {
    RemoveVanishedRows();
    for (PanelRow& row : rows_) RefreshRow(row, ctx);
  } catch (const std::exception&) {
    ShowMessageBox(ctx.ui, ctx.catalogue.Text("const_get_fileinfo"), MessageKind::Error);
    return;
  }
  UpdateStatusLine(ctx.catalogue);
  Sort(ctx);
}

int FilesPanel::CheckedCount() const {
  int n = 0;
  for (const PanelRow& row : rows_) n += row.checked ? 1 : 0;
  return n;
}

void FilesPanel::UpdateStatusLine(const MessageCatalogue& catalogue) {
  statusLine_ = FillPlaceholders(catalogue.Text("const_files_info"),
                                 {std::to_string(rows_.size()), std::to_string(CheckedCount())});
  if (statusSink_) statusSink_(statusLine_);
}

void FilesPanel::SelectAll() {
  for (PanelRow& row : rows_) row.checked = true;
}
void FilesPanel::InvertSelection() {
  for (PanelRow& row : rows_) row.checked = !row.checked;
}
void FilesPanel::RemoveSelection() {
  for (PanelRow& row : rows_) row.checked = false;
}

void FilesPanel::RemoveAllRows() {
  rows_.clear();
  selected.reset();
  focused.reset();
}

void FilesPanel::RemoveRow(std::size_t index) {
  if (index >= rows_.size()) return;
  rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(index));
  for (std::optional<std::size_t>* mark : {&selected, &focused}) {
    if (!*mark) continue;
    if (**mark == index)
      mark->reset();
    else if (**mark > index)
      --**mark;
  }
}

template <class Keep>
void FilesPanel::KeepRows(Keep&& keep) {
  // First every row's new place (rows_.size() for a row that goes), then the
  // moves, which cannot fail, so a failure leaves the rows as they were. One
  // pass over the rows however many go.
  std::vector<std::size_t> newIndex(rows_.size());
  std::size_t kept = 0;
  for (std::size_t i = 0; i < rows_.size(); ++i) newIndex[i] = keep(rows_[i]) ? kept++ : rows_.size();
  for (std::size_t i = 0; i < rows_.size(); ++i)
    if (newIndex[i] != rows_.size() && newIndex[i] != i) rows_[newIndex[i]] = std::move(rows_[i]);
  for (std::optional<std::size_t>* mark : {&selected, &focused}) {
    if (!*mark) continue;
    if (**mark >= newIndex.size() || newIndex[**mark] == rows_.size())
      mark->reset();
    else
      **mark = newIndex[**mark];
  }
  rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(kept), rows_.end());
}

void FilesPanel::RemoveVanishedRows() {
  KeepRows([](const PanelRow& row) { return FileExists(row.FullPath()); });
}

void FilesPanel::RemoveUncheckedRows() {
  KeepRows([](const PanelRow& row) { return row.checked; });
}

void FilesPanel::SetSortColumnValue(int column) {
  if (column >= kColFilename && column <= kColRatio) sortColumn_ = column;
}

void FilesPanel::Sort(const PanelContext& ctx) {
  std::vector<std::size_t> order = SortOrder(rows_.size(), [&](std::size_t a, std::size_t b) {
    std::optional<int> answer = CompareRows(rows_[a], rows_[b], sortColumn_);
    if (answer) return *answer;
    ShowMessageBox(ctx.ui, ctx.catalogue.Text("const_sort_error"), MessageKind::Error);
    return -1;  // a failed comparison keeps the pair as it stands
  });
  std::vector<PanelRow> sorted;
  sorted.reserve(rows_.size());
  std::optional<std::size_t> newSelected, newFocused;
  for (std::size_t i = 0; i < order.size(); ++i) {
    if (selected == order[i]) newSelected = i;
    if (focused == order[i]) newFocused = i;
    sorted.push_back(std::move(rows_[order[i]]));
  }
  rows_ = std::move(sorted);
  selected = newSelected;
  focused = newFocused;
}

void FilesPanel::ChangeSortColumn(int column, const PanelContext& ctx) {
  SetSortColumnValue(column);
  Sort(ctx);
}

}  // namespace tersify
