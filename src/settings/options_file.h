// Options.dat: the options record in section "settings" of an
// initialization file beside the program, with the two tag tables beside it.
#pragma once

#include <string>
#include <string_view>

#include "settings/options.h"
#include "settings/tag_tables.h"

namespace tersify {

class ControlEnabling;
class MessageCatalogue;
class UserInteraction;

inline constexpr std::string_view kOptionsFileName = "Options.dat";
inline constexpr std::string_view kSettingsSection = "settings";

// Where the settings files lie and how failures reach the user.
struct SettingsContext {
  std::string programFolder;  // ends with a path separator
  UserInteraction& ui;
  const MessageCatalogue& catalogue;

  // The options file's name inside programFolder; another name lets a
  // front-end read an options file that was saved under another name.
  std::string optionsFileName = std::string(kOptionsFileName);

  std::string OptionsPath() const { return programFolder + optionsFileName; }
};

enum class SaveOptionsResult {
  Saved,   // options written; the tag tables were saved too (each reports its own failure)
  Failed,  // "Error during options saving" shown; the file and the tag tables are untouched
};

// Writes every key of the record in the file's order, replacing present keys
// in place and adding missing ones at the end of the section; other sections
// and lines are kept. The file is replaced atomically. Then saves the tag
// tables, replacement first.
SaveOptionsResult SaveOptions(const SettingsContext& context, const OptimizationSettings& settings,
                              const TagTables& tables);

enum class LoadOptionsResult {
  Loaded,         // the fields and tag tables were read from the files
  WroteDefaults,  // no "settings" section with a key: SaveOptions ran instead (and reported its own failure)
  Failed,         // "Error during options loading" shown; the record is unchanged
};

// Reads the record in the order of the option table: a missing key, or a
// value that is not valid, leaves the field as it is or reads as the row's
// fallback (comboMode 2, edLan, edExtEditor and edBrowser empty, column_sort
// 0, the two folders inside programFolder). Loads the tag tables between the
// options that steer the passes and the others. Runs the enabling rules on
// `enabling` when given.
LoadOptionsResult LoadOptions(const SettingsContext& context, OptimizationSettings& settings, TagTables& tables,
                              ControlEnabling* enabling = nullptr);

// The path separator used when composing folder paths.
char PathSeparator();
// True when the path ends with a separator.
bool EndsWithSeparator(std::string_view path);

}  // namespace tersify
