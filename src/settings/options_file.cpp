#include "settings/options_file.h"

#include <filesystem>
#include <optional>

#include "i18n/catalogue.h"
#include "settings/enabling.h"
#include "settings/ini_file.h"
#include "settings/option_table.h"

namespace tersify {
namespace {

// The value a missing key or a value that is not valid reads as; nullopt
// when the current value stays.
std::optional<std::string> Fallback(const OptionRow& row, const std::string& programFolder) {
  switch (row.ifMissing) {
    case IfMissing::Reset:
      return std::string(row.resetTo);
    case IfMissing::InProgramFolder:
      // A separator is put before the folder name although the program folder
      // ends with one; the doubled separator reads as one.
      return programFolder + PathSeparator() + std::string(row.resetTo);
    case IfMissing::Keep:
      break;
  }
  return std::nullopt;
}

// Reads one field; a check box then runs its enabling rule.
void ReadRow(const IniFile& ini, const OptionRow& row, OptimizationSettings& s, const std::string& programFolder,
             ControlEnabling* enabling) {
  auto value = ini.Get(kSettingsSection, row.key);
  if (!value || !SetOption(s, row.key, *value)) {
    if (auto fallback = Fallback(row, programFolder)) SetOption(s, row.key, *fallback);
  }
  if (enabling) enabling->RunRule(row.key, s);
}

}  // namespace

char PathSeparator() { return static_cast<char>(std::filesystem::path::preferred_separator); }

bool EndsWithSeparator(std::string_view path) {
  if (path.empty()) return false;
  return path.back() == '/' || path.back() == PathSeparator();
}

SaveOptionsResult SaveOptions(const SettingsContext& context, const OptimizationSettings& settings,
                              const TagTables& tables) {
  IniFile::ReadStatus status;
  IniFile ini = IniFile::Read(context.OptionsPath(), &status);
  bool written = status != IniFile::ReadStatus::Failed;
  if (written) {
    for (const OptionRow* row : kOptionFileOrder) ini.Set(kSettingsSection, row->key, *GetOption(settings, row->key));
    written = ini.Write(context.OptionsPath());
  }
  if (!written) {
    ShowMessageBox(context.ui, context.catalogue.Text("const_save_error"), MessageKind::Error);
    return SaveOptionsResult::Failed;
  }
  SaveTagTables(context.programFolder, tables, context.ui, context.catalogue);
  return SaveOptionsResult::Saved;
}

LoadOptionsResult LoadOptions(const SettingsContext& context, OptimizationSettings& settings, TagTables& tables,
                              ControlEnabling* enabling) {
  RemoveLeftoverTemporaries(context.programFolder);
  IniFile::ReadStatus status;
  IniFile ini = IniFile::Read(context.OptionsPath(), &status);
  if (status == IniFile::ReadStatus::Failed) {
    // A file that exists but cannot be read is not overwritten with defaults.
    ShowMessageBox(context.ui, context.catalogue.Text("const_load_error"), MessageKind::Error);
    return LoadOptionsResult::Failed;
  }
  if (ini.KeyCount(kSettingsSection) == 0) {
    SaveOptions(context, settings, tables);
    return LoadOptionsResult::WroteDefaults;
  }
  // The tag tables are loaded between the options that steer the passes and the others.
  bool tablesLoaded = false;
  for (const auto& row : kOptionTable) {
    if (!tablesLoaded && !SteersPasses(row.group)) {
      LoadTagTables(context.programFolder, tables, context.ui, context.catalogue);
      tablesLoaded = true;
    }
    ReadRow(ini, row, settings, context.programFolder, enabling);
  }
  return LoadOptionsResult::Loaded;
}

}  // namespace tersify
