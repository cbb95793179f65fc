// The tag-table files (Tagschange.dat, Tagsdelete.dat) and the rules that add,
// sort and remove entries.
//
// Input: one byte of choices, then the file text. The same text is read as
// both tables; its lines after the first empty one (ignored by the reader)
// give the tags that the Add button is pressed with.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "settings/ini_file.h"
#include "settings/options.h"
#include "settings/tag_tables.h"

namespace tersify::fuzz {
namespace {

bool SameReplacement(const TagReplacementTable& a, const TagReplacementTable& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
    return x.from == y.from && x.to == y.to && x.ticked == y.ticked;
  });
}

bool SameRemoval(const TagRemovalTable& a, const TagRemovalTable& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const auto& x, const auto& y) { return x.tag == y.tag && x.ticked == y.ticked; });
}

// The lines after the first empty line: the texts typed into the dialog.
std::vector<std::string_view> TypedTags(std::string_view text) {
  std::vector<std::string_view> tags;
  std::size_t blank = text.find("\n\n");
  if (blank == std::string_view::npos) return tags;
  std::string_view rest = text.substr(blank + 2);
  while (!rest.empty() && tags.size() < 64) {
    std::size_t end = rest.find('\n');
    tags.push_back(rest.substr(0, std::min(end, kMaxTagLength)));
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return tags;
}

void CheckParsing(std::string_view text, TagReplacementTable& replacement, TagRemovalTable& removal) {
  replacement = ParseReplacementTable(text);
  removal = ParseRemovalTable(text);
  FUZZ_CHECK(replacement.size() <= kMaxTagEntries);
  FUZZ_CHECK(replacement.size() == removal.size());
  for (std::size_t i = 0; i < removal.size(); ++i) {
    FUZZ_CHECK(replacement[i].ticked == removal[i].ticked);
    FUZZ_CHECK(replacement[i].from.find(' ') == std::string::npos);
    // The replacement pair is the removal tag split at its first space.
    const std::string& tag = removal[i].tag;
    FUZZ_CHECK(tag == (replacement[i].from.empty() && tag.find(' ') == std::string::npos
                           ? replacement[i].to
                           : replacement[i].from + " " + replacement[i].to));
  }
  // What is written reads back as it was.
  FUZZ_CHECK(SameReplacement(ParseReplacementTable(FormatReplacementTable(replacement)), replacement));
  FUZZ_CHECK(SameRemoval(ParseRemovalTable(FormatRemovalTable(removal)), removal));
}

void CheckSorting(TagReplacementTable table, ReplacementSortColumn column) {
  const std::size_t size = table.size();
  SortReplacementTable(table, column);
  FUZZ_CHECK(table.size() == size);
  auto key = [column](const TagReplacementEntry& e) -> std::string {
    std::string k = column == ReplacementSortColumn::From ? e.from : e.to;
    for (char& c : k)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return k;
  };
  for (std::size_t i = 1; i < table.size(); ++i) {
    const std::string a = key(table[i - 1]), b = key(table[i]);
    if (b.empty()) continue;  // empty texts go last
    FUZZ_CHECK(!a.empty() && std::string_view(a) <= std::string_view(b));
  }
}

void CheckAdding(TagTables& tables, const std::vector<std::string_view>& typed, ByteReader& choices) {
  OptimizationSettings settings;
  settings.cbShowInfo = choices.Bool();
  FuzzInteraction ui(&choices);
  const MessageCatalogue& catalogue = EnglishCatalogue();
  for (std::size_t i = 0; i < typed.size(); ++i) {
    std::string_view from = typed[i];
    std::string_view to = i + 1 < typed.size() ? typed[i + 1] : std::string_view("b");
    const std::size_t before = tables.replacement.size();
    const bool cycle = WouldCycle(tables.replacement, from, to);
    TagAddResult added = AddReplacementEntry(tables.replacement, from, to, ui, catalogue);
    FUZZ_CHECK((added == TagAddResult::Cycle) == cycle);
    FUZZ_CHECK(tables.replacement.size() == before + (added == TagAddResult::Added ? 1 : 0));
    FUZZ_CHECK(tables.replacement.size() <= kMaxTagEntries);

    const std::size_t removalBefore = tables.removal.size();
    added = AddRemovalEntry(tables.removal, from, settings, ui, catalogue);
    FUZZ_CHECK(tables.removal.size() == removalBefore + (added == TagAddResult::Added ? 1 : 0));
    // A second press with the same text, in other letter case, is a duplicate.
    std::string upper(from);
    for (char& c : upper)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    FUZZ_CHECK(AddRemovalEntry(tables.removal, upper, settings, ui, catalogue) != TagAddResult::Added);

    std::size_t selected = choices.Below(tables.replacement.size() + 2);
    std::size_t count = tables.replacement.size();
    bool removed = RemoveReplacementEntry(tables.replacement, selected, ui, catalogue);
    FUZZ_CHECK(tables.replacement.size() == count - (removed ? 1 : 0));
    FUZZ_CHECK(!removed || selected < count);
    selected = choices.Below(tables.removal.size() + 2);
    count = tables.removal.size();
    removed = RemoveRemovalEntry(tables.removal, selected, ui, catalogue);
    FUZZ_CHECK(tables.removal.size() == count - (removed ? 1 : 0));
  }
}

}  // namespace
}  // namespace tersify::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tersify;
  using namespace tersify::fuzz;
  ByteReader choices(data, size);
  const std::uint8_t first = choices.Byte();
  const std::string_view text = choices.Rest();
  TagTables tables;
  CheckParsing(text, tables.replacement, tables.removal);
  CheckSorting(tables.replacement, (first & 1) ? ReplacementSortColumn::To : ReplacementSortColumn::From);
  if (first & 2) TickDefaultEntries(tables);
  ByteReader answers(data, std::min<std::size_t>(size, 16));
  CheckAdding(tables, TypedTags(text), answers);
  return 0;
}
