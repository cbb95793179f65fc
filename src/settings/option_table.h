// Every option of the program in one table, in the order the options file is
// loaded. Loading, saving, --set, the mode presets, the enabling rules and the
// options dialog's check boxes all read this table; adding a pass option is a
// field of the record, a row here and the pass that reads it.
#pragma once

#include <array>
#include <climits>
#include <cstddef>
#include <string_view>
#include <variant>

#include "settings/options.h"

namespace tersify {

// Controls without an option of their own that the enabling rules touch.
inline constexpr std::string_view kLabelCommentTags = "labCommentTags";       // "Do not remove if comment consists..."
inline constexpr std::string_view kLabelOptimizedPath = "labOptimizedPath";   // "Save optimized copies ... folder:"
inline constexpr std::string_view kButtonOptimizedPath = "butOptimizedPath";  // folder button of edOptimizedPath
inline constexpr std::string_view kButtonBackUpPath = "butBackUpPath";        // folder button of edBackUpPath
inline constexpr std::string_view kMenuPackedFile = "menuPackedFile";         // main window's "Packed file" item
inline constexpr std::string_view kCheckScriptsKept = "cbScriptsKept";        // the ticked box that is always disabled

// One of the six column widths, which the record keeps in an array.
struct ColumnWidth {
  std::array<int, 6> OptimizationSettings::*widths;
  std::size_t column;
};

// A check box that switches a pass: the record keeps it in its switches, at
// the row's place in the table.
struct PassSwitch {};

// Where a row's value lives in the record; the alternative gives its type.
using OptionField = std::variant<bool OptimizationSettings::*, int OptimizationSettings::*,
                                 std::string OptimizationSettings::*, ColumnWidth, PassSwitch>;

// The place of an option: the group of controls its check box sits in on the
// options dialog, or what it belongs to when it has no check box. Options of
// the groups up to TagReplacement steer the passes; the tag tables are loaded
// right after them.
enum class OptionGroup : unsigned char {
  Mode,
  Common,          // page "Common "
  Comments,        // page "Comments && Scripts", above the comment exceptions
  CommentTags,     // the comment exceptions
  Scripts,         // below the ticked script-contents box
  TagReplacement,  // page "Tags treatment", under the replacement list
  FileCount,       // page "Files treatment"
  Folders,
  SaveMode,
  Backup,
  FileList,
  Show,  // page " Miscellaneous", under "Show:"
  Programs,
  Layout,  // the main window's layout
};

constexpr bool SteersPasses(OptionGroup g) { return g <= OptionGroup::TagReplacement; }

// What a mode preset does to a check box.
enum class Preset : unsigned char { Keep, On, Off, OnWithScriptsMax };

// What loading does with a key that is missing or holds no valid value.
enum class IfMissing : unsigned char {
  Keep,             // the current value stays
  Reset,            // the row's resetTo
  InProgramFolder,  // the program folder, a separator and resetTo
};

struct OptionRow {
  std::string_view key;  // as stored in Options.dat; also the dialog control's name
  OptionField field;
  std::string_view byDefault;  // the start-up value, as Options.dat stores it
  int filePosition;            // the key's place in a newly written Options.dat
  IfMissing ifMissing = IfMissing::Keep;
  std::string_view resetTo = {};
  int least = INT_MIN;  // integers outside least..most are not valid
  int most = INT_MAX;
  OptionGroup group = OptionGroup::Layout;
  // English caption of its check box (empty: no check box); a language file
  // replaces it under the key "frmOptions.<key>.Caption".
  std::string_view caption = {};
  int rank = 0;  // order of the check box inside its group
  Preset normal = Preset::Keep;
  Preset max = Preset::Keep;
  bool modeSensitive = false;  // a mouse press on the box switches to "Users' settings"
  // Controls that follow the box: enabled while it is ticked, or while it is not.
  std::array<std::string_view, 4> enables = {};
  std::array<std::string_view, 4> disables = {};

  constexpr OptionType type() const {
    switch (field.index()) {
      case 0:
      case 4:
        return OptionType::Bool;
      case 2:
        return OptionType::Text;
      default:
        return OptionType::Int;
    }
  }
  constexpr bool HasRule() const { return !enables[0].empty() || !disables[0].empty(); }
};

namespace option_rows {

using S = OptimizationSettings;
using enum OptionGroup;
using enum Preset;

// clang-format off
inline constexpr std::array kOptionTable = {
    OptionRow{.key = "comboMode", .field = &S::comboMode, .byDefault = "0", .filePosition = 0,
              .ifMissing = IfMissing::Reset, .resetTo = "2", .least = 0, .most = 2, .group = Mode},
    OptionRow{.key = "cbDelKav", .field = PassSwitch{}, .byDefault = "1", .filePosition = 1, .group = Common,
              .caption = "Remove unnecessary quotes    ...=\"50\"  ", .rank = 1, .normal = On, .max = On,
              .modeSensitive = true, .enables = {"cbDelEmptyPar"}},
    OptionRow{.key = "cbDelEmptyPar", .field = PassSwitch{}, .byDefault = "1", .filePosition = 2, .group = Common,
              .caption = "remove empty params   alt=\"\"", .rank = 2, .normal = On, .max = On, .modeSensitive = true},
    OptionRow{.key = "cbDelEmptyLine", .field = PassSwitch{}, .byDefault = "1", .filePosition = 3,
              .group = Common, .caption = "Remove empty lines", .rank = 3, .normal = On, .max = On,
              .modeSensitive = true, .enables = {"cbDelCRLF"}},
    OptionRow{.key = "cbDelCRLF", .field = PassSwitch{}, .byDefault = "0", .filePosition = 4, .group = Common,
              .caption = "remove all CR+LF chains    ( \"gluing\" )", .rank = 4, .normal = Off, .max = On,
              .modeSensitive = true},
    OptionRow{.key = "cbDelTabLine", .field = PassSwitch{}, .byDefault = "1", .filePosition = 5, .group = Common,
              .caption = "Remove lines, which consist tabs ( key code #9 ) and spaces only", .rank = 9, .normal = On,
              .max = On, .modeSensitive = true},
    OptionRow{.key = "cbDelAllTabs", .field = PassSwitch{}, .byDefault = "1", .filePosition = 11, .group = Common,
              .caption = "Remove all tabs ( key code #9 )", .rank = 10, .normal = Off, .max = On,
              .modeSensitive = true},
    OptionRow{.key = "cbDelBegEndSpace", .field = PassSwitch{}, .byDefault = "1", .filePosition = 12,
              .group = Common, .caption = "Trim lines ( remove spaces at the beginning and ends of lines )", .rank = 11,
              .normal = On, .max = On, .modeSensitive = true},
    OptionRow{.key = "cbReplaceDoubleSpaces", .field = PassSwitch{}, .byDefault = "1", .filePosition = 6,
              .group = Common, .caption = "Replace superfluous space chains with one space     ___ => _", .rank = 5,
              .normal = On, .max = On, .modeSensitive = true, .enables = {"cbReplaceDoubleSpacesInKav"}},
    OptionRow{.key = "cbReplaceDoubleSpacesInKav", .field = PassSwitch{}, .byDefault = "0",
              .filePosition = 7, .group = Common, .caption = "including values of params   ...=\"...__...\"", .rank = 6,
              .normal = Off, .max = On, .modeSensitive = true},
    OptionRow{.key = "cbReplaceDoubleNbsp", .field = PassSwitch{}, .byDefault = "1", .filePosition = 8,
              .group = Common,
              .caption = "Replace superfluous &&nbsp; chains with single &&nbsp;    &&nbsp;&&nbsp; => &&nbsp;",
              .rank = 7, .normal = On, .max = On, .modeSensitive = true, .enables = {"cbReplaceDoubleNbspInKav"}},
    OptionRow{.key = "cbReplaceDoubleNbspInKav", .field = PassSwitch{}, .byDefault = "0",
              .filePosition = 9, .group = Common, .caption = "including values of params   ...=\"...&&nbsp;...\"",
              .rank = 8, .normal = Off, .max = On, .modeSensitive = true},
    OptionRow{.key = "cbDelComments", .field = PassSwitch{}, .byDefault = "1", .filePosition = 10,
              .group = Comments, .caption = "Remove comments  ( <!-- --> )", .rank = 1, .normal = On, .max = On,
              .modeSensitive = true, .enables = {kLabelCommentTags, "cbIsScript", "cbIsStyle", "cbOuttag"}},
    OptionRow{.key = "cbIsStyle", .field = PassSwitch{}, .byDefault = "1", .filePosition = 13, .group = CommentTags,
              .caption = "<style> and </style>", .rank = 1, .normal = On, .max = On, .modeSensitive = true},
    OptionRow{.key = "cbIsScript", .field = PassSwitch{}, .byDefault = "1", .filePosition = 14, .group = CommentTags,
              .caption = "<script> and </script>", .rank = 2, .normal = On, .max = On, .modeSensitive = true},
    OptionRow{.key = "cbClosedTagsAlso", .field = PassSwitch{}, .byDefault = "1", .filePosition = 18,
              .group = TagReplacement, .caption = "Treat closing tags", .rank = 1, .modeSensitive = true},
    OptionRow{.key = "cbOuttag", .field = PassSwitch{}, .byDefault = "1", .filePosition = 15, .group = CommentTags,
              .caption = "the first outside tag is <style> or <script ... >", .rank = 3, .normal = On, .max = On,
              .modeSensitive = true},
    OptionRow{.key = "cbDelScripts", .field = PassSwitch{}, .byDefault = "0", .filePosition = 16, .group = Scripts,
              .caption = "Remove all scripts from the files", .rank = 1, .normal = Off, .max = OnWithScriptsMax,
              .modeSensitive = true},
    OptionRow{.key = "cbDelScriptsMax", .field = PassSwitch{}, .byDefault = "0", .filePosition = 17,
              .group = Scripts, .caption = "Remove all scripts from the files in \"Max  optimization\" mode",
              .rank = 2},
    OptionRow{.key = "radModifyOld", .field = &S::radModifyOld, .byDefault = "0", .filePosition = 25, .group = SaveMode,
              .enables = {"cbSaveBefMod", "edBackUpPath", kButtonBackUpPath},
              .disables = {"edOptimizedPath", kButtonOptimizedPath, kLabelOptimizedPath, kMenuPackedFile}},
    OptionRow{.key = "cbSaveBefMod", .field = &S::cbSaveBefMod, .byDefault = "1", .filePosition = 26, .group = Backup,
              .caption = "Make backup copy of the files before optimization to the folder:", .rank = 1},
    OptionRow{.key = "edBackUpPath", .field = &S::edBackUpPath, .byDefault = "", .filePosition = 27,
              .ifMissing = IfMissing::InProgramFolder, .resetTo = "backup", .group = Backup},
    OptionRow{.key = "edOptimizedPath", .field = &S::edOptimizedPath, .byDefault = "", .filePosition = 28,
              .ifMissing = IfMissing::InProgramFolder, .resetTo = "optimized", .group = SaveMode},
    OptionRow{.key = "cbProcessEmbeded", .field = &S::cbProcessEmbeded, .byDefault = "0", .filePosition = 19,
              .group = Folders, .caption = "Treat embeded folders", .rank = 1,
              .enables = {"cbMaxEmbCount", "edMaxEmbCount"}},
    OptionRow{.key = "cbMaxEmbCount", .field = &S::cbMaxEmbCount, .byDefault = "0", .filePosition = 20,
              .group = Folders, .caption = "Max level of embed folders", .rank = 2, .enables = {"edMaxEmbCount"}},
    OptionRow{.key = "edMaxEmbCount", .field = &S::edMaxEmbCount, .byDefault = "10", .filePosition = 21,
              .group = Folders},
    OptionRow{.key = "cbMaxFCount", .field = &S::cbMaxFCount, .byDefault = "1", .filePosition = 22, .group = FileCount,
              .caption = "By files count ( not bigger than )", .rank = 1, .enables = {"edMaxFCount"}},
    OptionRow{.key = "edMaxFCount", .field = &S::edMaxFCount, .byDefault = "100", .filePosition = 23,
              .group = FileCount},
    OptionRow{.key = "cbSaveNopen", .field = &S::cbSaveNopen, .byDefault = "0", .filePosition = 24, .group = FileList,
              .caption = "Save filelist during quit and load during starting of Tersify", .rank = 1},
    OptionRow{.key = "cbShowEnd", .field = &S::cbShowEnd, .byDefault = "1", .filePosition = 29, .group = Show,
              .caption = "actions finishing messages ( optimization, restoration, etc. )", .rank = 3},
    OptionRow{.key = "cbShowConf", .field = &S::cbShowConf, .byDefault = "1", .filePosition = 30, .group = Show,
              .caption = "actions confirmations", .rank = 1},
    OptionRow{.key = "cbShowInfo", .field = &S::cbShowInfo, .byDefault = "1", .filePosition = 31, .group = Show,
              .caption = "warning and information messages", .rank = 2},
    OptionRow{.key = "edLan", .field = &S::edLan, .byDefault = "", .filePosition = 35, .ifMissing = IfMissing::Reset,
              .resetTo = "", .group = Programs},
    OptionRow{.key = "cbShowOptWin", .field = &S::cbShowOptWin, .byDefault = "1", .filePosition = 32, .group = Show,
              .caption = "optimization process and results window", .rank = 4},
    OptionRow{.key = "edExtEditor", .field = &S::edExtEditor, .byDefault = "", .filePosition = 33,
              .ifMissing = IfMissing::Reset, .resetTo = "", .group = Programs},
    OptionRow{.key = "edBrowser", .field = &S::edBrowser, .byDefault = "", .filePosition = 34,
              .ifMissing = IfMissing::Reset, .resetTo = "", .group = Programs},
    OptionRow{.key = "col0", .field = ColumnWidth{&S::col, 0}, .byDefault = "180", .filePosition = 36},
    OptionRow{.key = "col1", .field = ColumnWidth{&S::col, 1}, .byDefault = "150", .filePosition = 37},
    OptionRow{.key = "col2", .field = ColumnWidth{&S::col, 2}, .byDefault = "120", .filePosition = 38},
    OptionRow{.key = "col3", .field = ColumnWidth{&S::col, 3}, .byDefault = "110", .filePosition = 39},
    OptionRow{.key = "col4", .field = ColumnWidth{&S::col, 4}, .byDefault = "110", .filePosition = 40},
    OptionRow{.key = "col5", .field = ColumnWidth{&S::col, 5}, .byDefault = "100", .filePosition = 41},
    OptionRow{.key = "splitter", .field = &S::splitter, .byDefault = "72", .filePosition = 42},
    OptionRow{.key = "column_sort", .field = &S::column_sort, .byDefault = "0", .filePosition = 43,
              .ifMissing = IfMissing::Reset, .resetTo = "0"},
};
// clang-format on

// Each file position is used once, so the table orders the file completely.
constexpr bool FilePositionsArePermutation() {
  std::array<bool, kOptionTable.size()> seen{};
  for (const auto& row : kOptionTable) {
    if (row.filePosition < 0 || row.filePosition >= static_cast<int>(seen.size()) || seen[row.filePosition])
      return false;
    seen[row.filePosition] = true;
  }
  return true;
}
static_assert(FilePositionsArePermutation());

// Only check boxes have captions, presets and enabling rules.
constexpr bool OnlyCheckBoxesSteerControls() {
  for (const auto& row : kOptionTable)
    if (row.type() != OptionType::Bool &&
        (!row.caption.empty() || row.normal != Keep || row.max != Keep || row.modeSensitive || row.HasRule()))
      return false;
  return true;
}
static_assert(OnlyCheckBoxesSteerControls());
static_assert(kOptionTable.size() <= kMaxOptions);

// The check boxes of the groups that steer the passes are the pass switches.
constexpr bool PassSwitchesAreTheirGroups() {
  for (const auto& row : kOptionTable)
    if (std::holds_alternative<PassSwitch>(row.field) != (row.type() == OptionType::Bool && SteersPasses(row.group)))
      return false;
  return true;
}
static_assert(PassSwitchesAreTheirGroups());

// The row of a pass switch's key; any other key stops the compilation.
consteval std::size_t SwitchRowOf(std::string_view key) {
  for (std::size_t i = 0; i < kOptionTable.size(); ++i)
    if (kOptionTable[i].key == key && std::holds_alternative<PassSwitch>(kOptionTable[i].field)) return i;
  throw "not a pass switch of the option table";
}

}  // namespace option_rows

using option_rows::kOptionTable;

// The rows in the order of a newly written Options.dat.
inline constexpr std::array<const OptionRow*, kOptionTable.size()> kOptionFileOrder = [] {
  std::array<const OptionRow*, kOptionTable.size()> order{};
  for (const auto& row : kOptionTable) order[row.filePosition] = &row;
  return order;
}();

consteval SwitchKey::SwitchKey(const char* key) : row(option_rows::SwitchRowOf(key)) {}

// A check box that switches a pass or a variant of one.
constexpr bool IsPassSwitch(const OptionRow& row) { return std::holds_alternative<PassSwitch>(row.field); }

// The value of a check box row in the record.
bool& Ticked(OptimizationSettings& s, const OptionRow& row);
bool Ticked(const OptimizationSettings& s, const OptionRow& row);

// The row of a key, compared without regard to case; nullptr for an unknown key.
const OptionRow* FindOption(std::string_view key);

}  // namespace tersify
