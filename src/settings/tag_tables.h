// The tag removal and tag replacement tables.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tersify {

class MessageCatalogue;
class UserInteraction;
struct OptimizationSettings;

struct TagRemovalEntry {
  std::string tag;
  bool ticked = true;
  bool operator==(const TagRemovalEntry&) const = default;
};

struct TagReplacementEntry {
  std::string from;
  std::string to;
  bool ticked = true;
  bool operator==(const TagReplacementEntry&) const = default;
};

using TagRemovalTable = std::vector<TagRemovalEntry>;
using TagReplacementTable = std::vector<TagReplacementEntry>;

// Both tables, as the options dialog holds them.
struct TagTables {
  TagReplacementTable replacement;
  TagRemovalTable removal;
  bool operator==(const TagTables&) const = default;
};

// A table holds at most this many entries; more are refused.
inline constexpr std::size_t kMaxTagEntries = 256;
// The tag dialog's fields take at most this many characters.
inline constexpr std::size_t kMaxTagLength = 30;

inline constexpr std::string_view kReplacementFileName = "Tagschange.dat";
inline constexpr std::string_view kRemovalFileName = "Tagsdelete.dat";

// The built-in tables with their default ticks.
TagReplacementTable BuiltInReplacementTable();
TagRemovalTable BuiltInRemovalTable();
TagTables BuiltInTagTables();

// Ticks every replacement entry and the first six removal entries; other
// ticks are left as they are.
void TickDefaultEntries(TagTables& tables);

// ---- Files -------------------------------------------------------------

enum class TableFileStatus {
  Done,     // loaded, or saved
  Missing,  // load: no file, the table is unchanged
  Skipped,  // save: the table is empty, the file keeps its content
  Failed,   // the file could not be read or written
};

// Parses file text: lines end at CR LF, LF or CR; reading stops at the end or
// at the first empty line; at most kMaxTagEntries entries are taken. A line
// is ticked when it starts with "+"; its first two characters are the tick
// mark. Replacement lines split at their first space (no space: empty from
// tag, the rest is the to tag).
TagReplacementTable ParseReplacementTable(std::string_view text);
TagRemovalTable ParseRemovalTable(std::string_view text);
// One line per entry, "+ " or "- ", then the text, each ended by CR LF.
std::string FormatReplacementTable(const TagReplacementTable& table);
std::string FormatRemovalTable(const TagRemovalTable& table);

// Load: a missing file leaves the table unchanged; a file that cannot be read
// empties it. Save: an empty table writes nothing; otherwise the file is
// replaced atomically.
TableFileStatus LoadReplacementTable(const std::filesystem::path& file, TagReplacementTable& table);
TableFileStatus LoadRemovalTable(const std::filesystem::path& file, TagRemovalTable& table);
TableFileStatus SaveReplacementTable(const std::filesystem::path& file, const TagReplacementTable& table);
TableFileStatus SaveRemovalTable(const std::filesystem::path& file, const TagRemovalTable& table);

// The two files in programFolder (which ends with a separator), replacement
// first; each failure is shown as its own error box.
void LoadTagTables(const std::string& programFolder, TagTables& tables, UserInteraction& ui,
                   const MessageCatalogue& catalogue);
void SaveTagTables(const std::string& programFolder, const TagTables& tables, UserInteraction& ui,
                   const MessageCatalogue& catalogue);

// ---- Editing -----------------------------------------------------------

enum class ReplacementSortColumn { From, To };

// Sorts by a column, ascending, letter case ignored, empty texts last; equal
// keys keep their order.
void SortReplacementTable(TagReplacementTable& table, ReplacementSortColumn column);

enum class TagAddResult {
  Added,      // appended as a ticked entry: the dialog closes
  Duplicate,  // removal tag already listed: the dialog stays open with its text
  Cycle,      // would chain replacements: the dialog clears its fields and stays open
  TableFull,  // the table holds kMaxTagEntries entries: the dialog stays open
};

// The Add button in removal mode: a tag equal to a listed one (letter case
// ignored) shows const_tagis when cbShowInfo is on.
TagAddResult AddRemovalEntry(TagRemovalTable& table, std::string_view tag, const OptimizationSettings& settings,
                             UserInteraction& ui, const MessageCatalogue& catalogue);

// The Add button in replacement mode: a pair whose from tag is some pair's to
// tag, or whose to tag is some pair's from tag (letter case ignored), shows
// the warning const_cycle_war.
TagAddResult AddReplacementEntry(TagReplacementTable& table, std::string_view from, std::string_view to,
                                 UserInteraction& ui, const MessageCatalogue& catalogue);

// True when the pair would be refused by the cycle check.
bool WouldCycle(const TagReplacementTable& table, std::string_view from, std::string_view to);

// The remove buttons: with a selection, ask const_rep_conf (tags in upper
// case) or const_del_conf, Yes/No, and delete the entry on Yes. Returns true
// when an entry was deleted.
bool RemoveReplacementEntry(TagReplacementTable& table, std::optional<std::size_t> selected, UserInteraction& ui,
                            const MessageCatalogue& catalogue);
bool RemoveRemovalEntry(TagRemovalTable& table, std::optional<std::size_t> selected, UserInteraction& ui,
                        const MessageCatalogue& catalogue);

// Which table the tag dialog adds to; the dialog keeps it from its opening,
// whatever caption the language gives it.
enum class TagDialogMode { Replacement, Removal };

}  // namespace tersify
