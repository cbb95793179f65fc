#include "settings/tag_tables.h"

#include <algorithm>

#include "i18n/catalogue.h"
#include "settings/ini_file.h"
#include "settings/options.h"

namespace tersify {
namespace {

std::string UpperAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

int CompareIgnoringCase(std::string_view a, std::string_view b) {
  auto lower = [](char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : static_cast<unsigned char>(c);
  };
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char x = lower(a[i]), y = lower(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// Calls take(line) for each line up to the first empty one, at most
// kMaxTagEntries times.
template <typename Take>
void ForEachTableLine(std::string_view text, Take take) {
  std::size_t start = 0, count = 0;
  while (start < text.size() && count < kMaxTagEntries) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (line.empty()) return;
    take(line);
    ++count;
    start = end;
    if (start < text.size() && text[start] == '\r') {
      ++start;
      if (start < text.size() && text[start] == '\n') ++start;
    } else if (start < text.size()) {
      ++start;  // LF
    }
  }
}

std::string_view AfterMark(std::string_view line) { return line.size() > 2 ? line.substr(2) : std::string_view(); }

const char* Mark(bool ticked) { return ticked ? "+ " : "- "; }

// A table file's path: the folder (ending in a separator) and the name,
// appended rather than added with "+", on which g++ 12 warns falsely.
std::string InProgramFolder(const std::string& programFolder, std::string_view name) {
  std::string path = programFolder;
  return path.append(name);
}

void ShowError(UserInteraction& ui, const MessageCatalogue& catalogue, std::string_view key) {
  ShowMessageBox(ui, catalogue.Text(key), MessageKind::Error);
}

// A language file older than this message lacks its key: the English text
// stands in for it.
template <typename Table>
bool CanGrow(const Table& table, UserInteraction& ui, const MessageCatalogue& catalogue) {
  if (table.size() < kMaxTagEntries) return true;
  std::string text = catalogue.Text("const_table_full");
  if (text.empty()) text = EnglishText("const_table_full");
  ShowMessageBox(ui, text, MessageKind::Warning);
  return false;
}

template <typename Table, typename Parse>
TableFileStatus LoadTable(const std::filesystem::path& file, Table& table, Parse parse) {
  bool existed = false;
  auto bytes = ReadWholeFile(file, &existed);
  if (!existed) return TableFileStatus::Missing;
  table.clear();
  if (!bytes) return TableFileStatus::Failed;
  table = parse(*bytes);
  return TableFileStatus::Done;
}

}  // namespace

TagReplacementTable BuiltInReplacementTable() {
  return {{"strong", "b", true},     {"em", "i", true},    {"strike", "s", true},  {"blockquote", "ul", true},
          {"var", "i", true},        {"cite", "i", true},  {"address", "i", true}, {"code", "tt", true},
          {"kbd", "tt", true},       {"samp", "tt", true}, {"dfn", "i", true},     {"listing", "tt", true},
          {"plaintext", "tt", true}, {"xmp", "tt", true}};
}

TagRemovalTable BuiltInRemovalTable() {
  return {{"!doctype", true},
          {"name=\"generator\"", true},
          {"name=\"progid\"", true},
          {"name=\"description\"", true},
          {"name=\"keywords\"", true},
          {"name=\"author\"", true},
          {"/P", false},
          {"/Li", false},
          {"/TR", false},
          {"/TD", false}};
}

TagTables BuiltInTagTables() { return {BuiltInReplacementTable(), BuiltInRemovalTable()}; }

void TickDefaultEntries(TagTables& tables) {
  for (auto& e : tables.replacement) e.ticked = true;
  for (std::size_t i = 0; i < tables.removal.size() && i < 6; ++i) tables.removal[i].ticked = true;
}

TagReplacementTable ParseReplacementTable(std::string_view text) {
  TagReplacementTable table;
  ForEachTableLine(text, [&](std::string_view line) {
    std::string_view rest = AfterMark(line);
    auto space = rest.find(' ');
    TagReplacementEntry e;
    e.ticked = line.front() == '+';
    if (space == std::string_view::npos) {
      e.to = std::string(rest);
    } else {
      e.from = std::string(rest.substr(0, space));
      e.to = std::string(rest.substr(space + 1));
    }
    table.push_back(std::move(e));
  });
  return table;
}

TagRemovalTable ParseRemovalTable(std::string_view text) {
  TagRemovalTable table;
  ForEachTableLine(text, [&](std::string_view line) {
    table.push_back({std::string(AfterMark(line)), line.front() == '+'});
  });
  return table;
}

std::string FormatReplacementTable(const TagReplacementTable& table) {
  std::string out;
  for (const auto& e : table) out += Mark(e.ticked) + e.from + " " + e.to + "\r\n";
  return out;
}

std::string FormatRemovalTable(const TagRemovalTable& table) {
  std::string out;
  for (const auto& e : table) out += Mark(e.ticked) + e.tag + "\r\n";
  return out;
}

TableFileStatus LoadReplacementTable(const std::filesystem::path& file, TagReplacementTable& table) {
  return LoadTable(file, table, ParseReplacementTable);
}

TableFileStatus LoadRemovalTable(const std::filesystem::path& file, TagRemovalTable& table) {
  return LoadTable(file, table, ParseRemovalTable);
}

TableFileStatus SaveReplacementTable(const std::filesystem::path& file, const TagReplacementTable& table) {
  if (table.empty()) return TableFileStatus::Skipped;
  return WriteFileAtomically(file, FormatReplacementTable(table)) ? TableFileStatus::Done : TableFileStatus::Failed;
}

TableFileStatus SaveRemovalTable(const std::filesystem::path& file, const TagRemovalTable& table) {
  if (table.empty()) return TableFileStatus::Skipped;
  return WriteFileAtomically(file, FormatRemovalTable(table)) ? TableFileStatus::Done : TableFileStatus::Failed;
}

void LoadTagTables(const std::string& programFolder, TagTables& tables, UserInteraction& ui,
                   const MessageCatalogue& catalogue) {
  if (LoadReplacementTable(InProgramFolder(programFolder, kReplacementFileName), tables.replacement) ==
      TableFileStatus::Failed)
    ShowError(ui, catalogue, "const_loadchangetable_error");
  if (LoadRemovalTable(InProgramFolder(programFolder, kRemovalFileName), tables.removal) == TableFileStatus::Failed)
    ShowError(ui, catalogue, "const_loaddeletetable_error");
}

void SaveTagTables(const std::string& programFolder, const TagTables& tables, UserInteraction& ui,
                   const MessageCatalogue& catalogue) {
  if (SaveReplacementTable(InProgramFolder(programFolder, kReplacementFileName), tables.replacement) ==
      TableFileStatus::Failed)
    ShowError(ui, catalogue, "const_savechangetable_error");
  if (SaveRemovalTable(InProgramFolder(programFolder, kRemovalFileName), tables.removal) == TableFileStatus::Failed)
    ShowError(ui, catalogue, "const_savedeletetable_error");
}

void SortReplacementTable(TagReplacementTable& table, ReplacementSortColumn column) {
  auto key = [column](const TagReplacementEntry& e) -> const std::string& {
    return column == ReplacementSortColumn::From ? e.from : e.to;
  };
  std::stable_sort(table.begin(), table.end(), [&](const TagReplacementEntry& a, const TagReplacementEntry& b) {
    const std::string& x = key(a);
    const std::string& y = key(b);
    if (x.empty() || y.empty()) return !x.empty() && y.empty();
    return CompareIgnoringCase(x, y) < 0;
  });
}

bool WouldCycle(const TagReplacementTable& table, std::string_view from, std::string_view to) {
  for (const auto& e : table)
    if (EqualsIgnoringCase(e.to, from)) return true;
  for (const auto& e : table)
    if (EqualsIgnoringCase(e.from, to)) return true;
  return false;
}

TagAddResult AddRemovalEntry(TagRemovalTable& table, std::string_view tag, const OptimizationSettings& settings,
                             UserInteraction& ui, const MessageCatalogue& catalogue) {
  for (const auto& e : table) {
    if (!EqualsIgnoringCase(e.tag, tag)) continue;
    if (settings.cbShowInfo) ShowMessageBox(ui, catalogue.Text("const_tagis"), MessageKind::Information);
    return TagAddResult::Duplicate;
  }
  if (!CanGrow(table, ui, catalogue)) return TagAddResult::TableFull;
  table.push_back({std::string(tag), true});
  return TagAddResult::Added;
}

TagAddResult AddReplacementEntry(TagReplacementTable& table, std::string_view from, std::string_view to,
                                 UserInteraction& ui, const MessageCatalogue& catalogue) {
  if (WouldCycle(table, from, to)) {
    ShowMessageBox(ui, catalogue.Text("const_cycle_war"), MessageKind::Warning);
    return TagAddResult::Cycle;
  }
  if (!CanGrow(table, ui, catalogue)) return TagAddResult::TableFull;
  table.push_back({std::string(from), std::string(to), true});
  return TagAddResult::Added;
}

bool RemoveReplacementEntry(TagReplacementTable& table, std::optional<std::size_t> selected, UserInteraction& ui,
                            const MessageCatalogue& catalogue) {
  if (!selected || *selected >= table.size()) return false;
  const auto& e = table[*selected];
  std::string question = FillPlaceholders(catalogue.Text("const_rep_conf"), {UpperAscii(e.from), UpperAscii(e.to)});
  if (ui.Question(question, MessageKind::Confirmation, QuestionButtons::YesNo) != Answer::Yes) return false;
  table.erase(table.begin() + static_cast<std::ptrdiff_t>(*selected));
  return true;
}

bool RemoveRemovalEntry(TagRemovalTable& table, std::optional<std::size_t> selected, UserInteraction& ui,
                        const MessageCatalogue& catalogue) {
  if (!selected || *selected >= table.size()) return false;
  std::string question = FillPlaceholders(catalogue.Text("const_del_conf"), {UpperAscii(table[*selected].tag)});
  if (ui.Question(question, MessageKind::Confirmation, QuestionButtons::YesNo) != Answer::Yes) return false;
  table.erase(table.begin() + static_cast<std::ptrdiff_t>(*selected));
  return true;
}

}  // namespace tersify
