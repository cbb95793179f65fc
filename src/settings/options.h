// The record of every option of the program, with the optimization mode presets.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tersify {

enum OptimizationMode : int { kModeNormal = 0, kModeMax = 1, kModeUsers = 2 };

struct OptimizationSettings {
  int comboMode = kModeNormal;
  bool cbDelKav = true;
  bool cbDelEmptyPar = true;
  bool cbDelEmptyLine = true;
  bool cbDelCRLF = false;
  bool cbDelTabLine = true;
  bool cbReplaceDoubleSpaces = true;
  bool cbReplaceDoubleSpacesInKav = false;
  bool cbReplaceDoubleNbsp = true;
  bool cbReplaceDoubleNbspInKav = false;
  bool cbDelComments = true;
  bool cbDelAllTabs = true;
  bool cbDelBegEndSpace = true;
  bool cbIsStyle = true;
  bool cbIsScript = true;
  bool cbOuttag = true;
  bool cbDelScripts = false;
  bool cbDelScriptsMax = false;
  bool cbClosedTagsAlso = true;
  bool cbProcessEmbeded = false;
  bool cbMaxEmbCount = false;
  std::string edMaxEmbCount = "10";
  bool cbMaxFCount = true;
  std::string edMaxFCount = "100";
  bool cbSaveNopen = false;
  bool radModifyOld = false;
  bool cbSaveBefMod = true;
  std::string edBackUpPath;     // program folder + "backup" + separator
  std::string edOptimizedPath;  // program folder + "optimized" + separator
  bool cbShowEnd = true;
  bool cbShowConf = true;
  bool cbShowInfo = true;
  bool cbShowOptWin = true;
  std::string edExtEditor;
  std::string edBrowser;
  std::string edLan;
  std::array<int, 6> col = {180, 150, 120, 110, 110, 100};
  int splitter = 72;
  int column_sort = 0;

  // "Leave source files unchanged": the negation of radModifyOld, not stored.
  bool cbSaveNewMod() const { return !radModifyOld; }
};

// Applies a mode chosen by the user in the mode list; mode 2 changes nothing.
// Returns the names of the check boxes whose value the preset changed, in the
// order the preset sets them, so the dialog can run their enabling rules.
std::vector<std::string> ApplyModePreset(OptimizationSettings& s, int mode);

// The pass check boxes on which a mouse press switches the mode to "Users' settings".
bool IsModeSensitiveCheckBox(std::string_view name);

// A mouse press on the named check box: the mode becomes "Users' settings" when
// the box is one of the pass check boxes. Returns true when the mode changed.
bool OnCheckBoxMousePress(OptimizationSettings& s, std::string_view name);

// Generic access by key, as stored in Options.dat ("col0".."col5" for the widths).
enum class OptionType { Bool, Int, Text };
struct OptionKey {
  std::string_view key;
  OptionType type;
};
// Every key in the order of the options file.
const std::vector<OptionKey>& OptionKeys();
std::optional<OptionType> OptionTypeOf(std::string_view key);  // case-insensitive
// Value as the options file writes it: "0"/"1", decimal integer, or text.
std::optional<std::string> GetOption(const OptimizationSettings& s, std::string_view key);
// Sets from the options file's text form. Bool: "0"/"1" (any integer, non-zero
// true); Int: decimal or 0x-hex. Returns false on an unknown key or a bad value.
bool SetOption(OptimizationSettings& s, std::string_view key, std::string_view value);

}  // namespace tersify
