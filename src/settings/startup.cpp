#include "settings/startup.h"

#include <filesystem>
#include <system_error>

#include "settings/ini_file.h"
#include "settings/options_file.h"

namespace tersify {

OptimizationSettings StartupSettings(const StartupEnvironment& env) {
  OptimizationSettings s;
  s.edOptimizedPath = env.programFolder + "optimized" + PathSeparator();
  s.edBackUpPath = env.programFolder + "backup" + PathSeparator();
  s.edBrowser = env.browser;
  s.radModifyOld = false;
  s.edExtEditor = env.systemFolder + PathSeparator() + env.editorName;
  s.comboMode = kModeNormal;
  return s;
}

TagTables StartupTagTables() {
  TagTables tables = BuiltInTagTables();
  TickDefaultEntries(tables);
  return tables;
}

int CreateStartupFolders(const OptimizationSettings& settings) {
  int created = 0;
  for (const std::string* folder : {&settings.edOptimizedPath, &settings.edBackUpPath}) {
    if (folder->empty()) continue;
    std::error_code ec;
    std::filesystem::path path(*folder);
    if (std::filesystem::exists(path, ec)) continue;
    if (std::filesystem::create_directory(path, ec)) ++created;
  }
  return created;
}

std::optional<std::string> ReadStoredLanguage(const std::string& programFolder) {
  IniFile::ReadStatus status;
  IniFile ini = IniFile::Read(programFolder + std::string(kOptionsFileName), &status);
  if (status != IniFile::ReadStatus::Read) return std::nullopt;
  return ini.Get(kSettingsSection, "edLan");
}

}  // namespace tersify
