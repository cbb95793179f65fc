// The record of every option of the program, with the optimization mode presets.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tersify {

enum OptimizationMode : int { kModeNormal = 0, kModeMax = 1, kModeUsers = 2 };

// Room for the rows of the option table.
inline constexpr std::size_t kMaxOptions = 64;

// A check box that switches a pass, named by its key in the option table. The
// key is looked up when the program is compiled: an unknown key does not
// compile. The constructor is defined beside the table (settings/option_table.h).
class SwitchKey {
 public:
  constexpr SwitchKey() = default;       // no switch
  consteval SwitchKey(const char* key);  // NOLINT: keys are written as plain literals
  constexpr bool IsNone() const { return row == kMaxOptions; }
  std::size_t row = kMaxOptions;  // the key's row in the option table
};

struct OptimizationSettings {
  // Every field takes its start-up value from the option table.
  OptimizationSettings();

  int comboMode{};
  // The pass check boxes, at their rows of the option table.
  std::array<bool, kMaxOptions> switches{};
  bool& operator[](SwitchKey k) { return switches[k.row]; }
  bool operator[](SwitchKey k) const { return switches[k.row]; }
  bool cbProcessEmbeded{};
  bool cbMaxEmbCount{};
  std::string edMaxEmbCount;
  bool cbMaxFCount{};
  std::string edMaxFCount;
  bool cbSaveNopen{};
  bool radModifyOld{};
  bool cbSaveBefMod{};
  std::string edBackUpPath;
  std::string edOptimizedPath;
  bool cbShowEnd{};
  bool cbShowConf{};
  bool cbShowInfo{};
  bool cbShowOptWin{};
  std::string edExtEditor;
  std::string edBrowser;
  std::string edLan;
  std::array<int, 6> col{};
  int splitter{};
  int column_sort{};

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

// The type of an option as the options file stores it.
enum class OptionType { Bool, Int, Text };
std::optional<OptionType> OptionTypeOf(std::string_view key);  // case-insensitive
// Value as the options file writes it: "0"/"1", decimal integer, or text.
std::optional<std::string> GetOption(const OptimizationSettings& s, std::string_view key);
// Sets from the options file's text form. Bool: "0"/"1" (any integer, non-zero
// true); Int: decimal or 0x-hex. Returns false on an unknown key or a bad value.
bool SetOption(OptimizationSettings& s, std::string_view key, std::string_view value);

}  // namespace tersify
