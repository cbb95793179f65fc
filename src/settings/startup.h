// The settings as they stand at start-up, before Options.dat is read.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "settings/options.h"
#include "settings/tag_tables.h"

namespace tersify {

inline constexpr std::string_view kDefaultBrowser = "c:\\program files\\internet explorer\\iexplore.exe";

struct StartupEnvironment {
  std::string programFolder;  // the executable's folder, lower case, ending with a separator
  std::string systemFolder;   // the system's folder, lower case, without a trailing separator
  std::string browser = std::string(kDefaultBrowser);
  std::string editorName = "notepad.exe";  // the default editor inside systemFolder
};

// The record's defaults with the start-up values: the output and backup
// folders inside the program folder, the browser, the editor in the system
// folder, the mode "Normal optimization" and the save mode "Leave source
// files unchanged".
OptimizationSettings StartupSettings(const StartupEnvironment& env);

// The built-in tag tables with every replacement entry and the first six
// removal entries ticked.
TagTables StartupTagTables();

// Creates the output and backup folders when missing, one level each;
// failures are not reported. Returns how many folders were created.
int CreateStartupFolders(const OptimizationSettings& settings);

// The language setting stored in Options.dat, read before anything else so
// the windows can be translated first. nullopt when the file, the section or
// the key is missing or the file cannot be read.
std::optional<std::string> ReadStoredLanguage(const std::string& programFolder);

}  // namespace tersify
