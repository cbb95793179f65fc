#include "settings/options_file.h"

#include <filesystem>

#include "i18n/catalogue.h"
#include "settings/enabling.h"
#include "settings/ini_file.h"

namespace tersify {
namespace {

// Reads the fields of the record from one parsed file, in the loader's order.
class OptionsReader {
 public:
  OptionsReader(const IniFile& ini, OptimizationSettings& s, ControlEnabling* enabling)
      : ini_(ini), s_(s), enabling_(enabling) {}

  void Bool(std::string_view key, bool& field) {
    auto v = ini_.Get(kSettingsSection, key);
    if (v) {
      if (auto i = ParseIniInteger(*v)) field = *i != 0;
    }
    Rule(key);
  }
  void Int(std::string_view key, int& field, int fallback) { field = ini_.GetInt(kSettingsSection, key, fallback); }
  void Text(std::string_view key, std::string& field, std::string_view fallback) {
    field = ini_.GetString(kSettingsSection, key, fallback);
  }
  void Rule(std::string_view key) {
    if (enabling_) enabling_->RunRule(key, s_);
  }

 private:
  const IniFile& ini_;
  OptimizationSettings& s_;
  ControlEnabling* enabling_;
};

void ReadPassOptions(OptionsReader& r, OptimizationSettings& s) {
  int mode = kModeUsers;
  r.Int("comboMode", mode, kModeUsers);
  s.comboMode = (mode >= kModeNormal && mode <= kModeUsers) ? mode : kModeUsers;
  r.Bool("cbDelKav", s.cbDelKav);
  r.Bool("cbDelEmptyPar", s.cbDelEmptyPar);
  r.Bool("cbDelEmptyLine", s.cbDelEmptyLine);
  r.Bool("cbDelCRLF", s.cbDelCRLF);
  r.Bool("cbDelTabLine", s.cbDelTabLine);
  r.Bool("cbDelAllTabs", s.cbDelAllTabs);
  r.Bool("cbDelBegEndSpace", s.cbDelBegEndSpace);
  r.Bool("cbReplaceDoubleSpaces", s.cbReplaceDoubleSpaces);
  r.Bool("cbReplaceDoubleSpacesInKav", s.cbReplaceDoubleSpacesInKav);
  r.Bool("cbReplaceDoubleNbsp", s.cbReplaceDoubleNbsp);
  r.Bool("cbReplaceDoubleNbspInKav", s.cbReplaceDoubleNbspInKav);
  r.Bool("cbDelComments", s.cbDelComments);
  r.Bool("cbIsStyle", s.cbIsStyle);
  r.Bool("cbIsScript", s.cbIsScript);
  r.Bool("cbClosedTagsAlso", s.cbClosedTagsAlso);
  r.Bool("cbOuttag", s.cbOuttag);
  r.Bool("cbDelScripts", s.cbDelScripts);
  r.Bool("cbDelScriptsMax", s.cbDelScriptsMax);
}

void ReadFileOptions(OptionsReader& r, OptimizationSettings& s, const std::string& programFolder) {
  const std::string sep(1, PathSeparator());
  r.Bool("radModifyOld", s.radModifyOld);
  r.Bool("cbSaveBefMod", s.cbSaveBefMod);
  // A separator is put before the folder name although the program folder
  // ends with one; the doubled separator reads as one.
  r.Text("edBackUpPath", s.edBackUpPath, programFolder + sep + "backup");
  r.Text("edOptimizedPath", s.edOptimizedPath, programFolder + sep + "optimized");
  r.Bool("cbProcessEmbeded", s.cbProcessEmbeded);
  r.Bool("cbMaxEmbCount", s.cbMaxEmbCount);
  r.Text("edMaxEmbCount", s.edMaxEmbCount, s.edMaxEmbCount);
  r.Rule("cbMaxEmbCount");
  r.Bool("cbMaxFCount", s.cbMaxFCount);
  r.Text("edMaxFCount", s.edMaxFCount, s.edMaxFCount);
  r.Bool("cbSaveNopen", s.cbSaveNopen);
  r.Bool("cbShowEnd", s.cbShowEnd);
  r.Bool("cbShowConf", s.cbShowConf);
  r.Bool("cbShowInfo", s.cbShowInfo);
  r.Text("edLan", s.edLan, "");
  r.Bool("cbShowOptWin", s.cbShowOptWin);
  r.Text("edExtEditor", s.edExtEditor, "");
  r.Text("edBrowser", s.edBrowser, "");
}

void ReadLayout(OptionsReader& r, OptimizationSettings& s) {
  for (std::size_t i = 0; i < s.col.size(); ++i) r.Int("col" + std::to_string(i), s.col[i], s.col[i]);
  r.Int("splitter", s.splitter, s.splitter);
  r.Int("column_sort", s.column_sort, 0);
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
    for (const auto& key : OptionKeys()) ini.Set(kSettingsSection, key.key, *GetOption(settings, key.key));
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
  for (std::string_view name : {kOptionsFileName, kReplacementFileName, kRemovalFileName})
    RemoveLeftoverTemporary(context.programFolder + std::string(name));
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
  OptionsReader reader(ini, settings, enabling);
  ReadPassOptions(reader, settings);
  LoadTagTables(context.programFolder, tables, context.ui, context.catalogue);
  ReadFileOptions(reader, settings, context.programFolder);
  ReadLayout(reader, settings);
  return LoadOptionsResult::Loaded;
}

}  // namespace tersify
