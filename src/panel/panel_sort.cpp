// The sort comparison of the files panel and the sort that uses it.
#include <charconv>

#include "panel/files_panel.h"
#include "run/date_text.h"

namespace tersify {

namespace {

std::optional<long long> ReadNumber(std::string_view text) {
  long long value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

std::optional<int> CompareSizes(const std::string& t1, const std::string& t2) {
  if (!IsNum(t1)) return -1;
  if (!IsNum(t2)) return -1;
  auto strip = [](std::string_view t) { return t.ends_with('%') ? t.substr(0, t.size() - 1) : t; };
  auto v1 = ReadNumber(strip(t1));
  auto v2 = ReadNumber(strip(t2));
  if (!v1 || !v2) return std::nullopt;
  return *v1 < *v2 ? 1 : -1;
}

std::optional<int> CompareRatios(const PanelRow& row1, const PanelRow& row2) {
  const std::size_t all = kColRatio - kColDate + 1;
  if (row1.columns.size() >= all && row2.columns.size() >= all) {
    const std::string& r1 = row1.columns[all - 1];
    const std::string& r2 = row2.columns[all - 1];
    if (r1.size() < r2.size()) return 1;
    if (r1.size() < 2 || r2.size() < 2) return std::nullopt;
    auto v1 = ReadNumber(std::string_view(r1).substr(0, r1.size() - 2));
    auto v2 = ReadNumber(std::string_view(r2).substr(0, r2.size() - 2));
    if (!v1 || !v2) return std::nullopt;
    return *v1 < *v2 ? 1 : -1;
  }
  return row1.columns.size() < row2.columns.size() ? 1 : -1;
}

}  // namespace

bool IsNum(std::string_view value) {
  for (std::size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    if (c >= '0' && c <= '9') continue;
    if (c == '%' && i + 1 == value.size()) continue;
    return false;
  }
  return true;
}

std::optional<int> CompareRows(const PanelRow& row1, const PanelRow& row2, int column) {
  switch (column) {
    case kColFilename:
    case kColPath: {
      const std::string& k1 = *row1.ColumnText(column);
      const std::string& k2 = *row2.ColumnText(column);
      return k1 < k2 ? -1 : 1;  // std::string compares bytes as unsigned
    }
    case kColDate: {
      const std::string* t1 = row1.ColumnText(column);
      const std::string* t2 = row2.ColumnText(column);
      if (!t1 || !t2) return std::nullopt;
      auto d1 = ReadShortDate(DatePart(*t1));
      auto d2 = ReadShortDate(DatePart(*t2));
      if (!d1 || !d2) return std::nullopt;
      return *d1 < *d2 ? -1 : 1;
    }
    case kColSize:
    case kColPacked: {
      const std::string* t1 = row1.ColumnText(column);
      const std::string* t2 = row2.ColumnText(column);
      if (!t1 || !t2) return std::nullopt;
      return CompareSizes(*t1, *t2);
    }
    case kColRatio:
      return CompareRatios(row1, row2);
    default:
      return std::nullopt;
  }
}

std::vector<std::size_t> SortOrder(std::size_t count, const std::function<int(std::size_t, std::size_t)>& compare) {
  std::vector<std::size_t> order(count), buffer(count);
  for (std::size_t i = 0; i < count; ++i) order[i] = i;
  for (std::size_t width = 1; width < count; width *= 2) {
    for (std::size_t lo = 0; lo < count; lo += 2 * width) {
      std::size_t mid = std::min(lo + width, count), hi = std::min(lo + 2 * width, count);
      std::size_t a = lo, b = mid, out = lo;
      while (a < mid && b < hi) buffer[out++] = compare(order[a], order[b]) > 0 ? order[b++] : order[a++];
      while (a < mid) buffer[out++] = order[a++];
      while (b < hi) buffer[out++] = order[b++];
    }
    order.swap(buffer);
  }
  return order;
}

}  // namespace tersify
