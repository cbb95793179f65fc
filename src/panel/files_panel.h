// The list of files to treat: rows with ticks, information columns read from
// disk, a status line and the ordering by a chosen column.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "i18n/interaction.h"
#include "run/run_state.h"
#include "settings/options.h"

namespace tersify {

class MessageCatalogue;

// What the panel's commands read and whom they tell.
using PanelContext = UserContext;

// Column indices; the row's caption is the file name.
enum PanelColumn : int { kColFilename = 0, kColPath, kColDate, kColSize, kColPacked, kColRatio };

struct PanelRow {
  bool checked = true;
  std::string Filename;
  std::string Path;  // the folder, ending with a separator
  // Date, Size, Packed, Ratio as far as known: empty before the first refresh;
  // three texts when there is no packed copy ("-") or no ratio.
  std::vector<std::string> columns;
  // The page the row names, links resolved, as found when it was added; empty
  // for a row made elsewhere (the full path then stands for it).
  std::string realPath;

  std::string FullPath() const { return Path + Filename; }
  const std::string& PageKey(std::string& scratch) const {
    return realPath.empty() ? (scratch = FullPath()) : realPath;
  }
  // Column text by panel column index; nothing when the row lacks it.
  const std::string* ColumnText(int column) const;
};

class FilesPanel {
 public:
  const std::vector<PanelRow>& rows() const { return rows_; }
  // Handing the rows out for change makes the next AddFileRow re-read them.
  std::vector<PanelRow>& rows() {
    ++rowsHandedOut_;
    return rows_;
  }
  std::size_t size() const { return rows_.size(); }
  bool empty() const { return rows_.empty(); }

  // Refuses a path already listed (byte for byte) with a warning, otherwise
  // appends a checked row without information columns. The test looks the
  // path up in an index of the rows' full paths, so long lists load in linear
  // time; the index is rebuilt after any change of the rows made through
  // rows() or the panel's other calls.
  bool AddFileRow(const std::string& path, const PanelContext& ctx);
  // Re-reads every row's columns from disk, drops vanished files, updates the
  // status line and sorts.
  void RefreshPanel(const PanelContext& ctx);

  int CheckedCount() const;
  // "Files: %d   Selected: %d"; also handed to the status sink.
  void UpdateStatusLine(const MessageCatalogue& catalogue);
  const std::string& statusLine() const { return statusLine_; }
  void SetStatusSink(std::function<void(const std::string&)> sink) { statusSink_ = std::move(sink); }

  void SelectAll();
  void InvertSelection();
  void RemoveSelection();
  void RemoveAllRows();
  void RemoveUncheckedRows();
  void RemoveRow(std::size_t index);

  int sortColumn() const { return sortColumn_; }
  void SetSortColumnValue(int column);
  // Sorts by the sort column; each failing comparison shows the sort error.
  void Sort(const PanelContext& ctx);
  // A header click or a "Sort by" item: sets the column and sorts.
  void ChangeSortColumn(int column, const PanelContext& ctx);

  // The list view's selected and focused rows (indices), kept on their rows by
  // sorting and cleared when rows go away.
  std::optional<std::size_t> selected;
  std::optional<std::size_t> focused;

 private:
  void RefreshRow(PanelRow& row, const PanelContext& ctx);
  // Drops the rows whose files are gone, in one pass over the rows.
  void RemoveVanishedRows();
  // Removes the rows for which keep(row) is false, keeping the others' order.
  template <class Keep>
  void KeepRows(Keep&& keep);
  // Rebuilds pathIndex_ unless it was made for the rows as they are.
  void SyncPathIndex();

  std::vector<PanelRow> rows_;
  // The pages of rows_ (PageKey), valid while rows_ has the storage and the size
  // recorded here and was not handed out for change since.
  std::unordered_set<std::string> pathIndex_;
  const PanelRow* indexedData_ = nullptr;
  std::size_t indexedSize_ = 0;
  std::size_t indexedHandouts_ = 0;
  std::size_t rowsHandedOut_ = 0;
  int sortColumn_ = 0;
  std::string statusLine_;
  std::function<void(const std::string&)> statusSink_;
};

// The ordering of two rows by a column: -1 or +1, never 0; nothing when the
// comparison fails (a missing text, a date or number that cannot be read).
// Not a consistent ordering: for some pairs the answer depends on the order
// in which the rows are asked.
std::optional<int> CompareRows(const PanelRow& row1, const PanelRow& row2, int column);

// A bottom-up merge sort that asks `compare` once per step and ends whatever it
// answers. Returns the new order as indices into the old one.
std::vector<std::size_t> SortOrder(std::size_t count, const std::function<int(std::size_t, std::size_t)>& compare);

// Every byte a digit, except that the last may be "%"; the empty text counts.
bool IsNum(std::string_view value);

}  // namespace tersify
