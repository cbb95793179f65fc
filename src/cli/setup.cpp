#include "cli/setup.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "platform/install_layout.h"
#include "platform/paths.h"
#include "platform/read_file.h"
#include "run/file_ops.h"
#include "run/paths.h"
#include "settings/ini_file.h"
#include "settings/options_file.h"
#include "settings/startup.h"

namespace tersify::cli {

namespace {

// The system's reason of the last failed call, as a message ends with it.
std::string LastReason() { return ReasonSuffix(std::error_code(errno != 0 ? errno : EIO, std::generic_category())); }

// Reads a tag table file in its own layout; a missing or unreadable file is an
// error here, told with the system's reason.
template <typename Table, typename Parser>
bool ReadTable(const std::string& path, Table& table, Parser parse, std::string& reason) {
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    reason = LastReason();
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) {
    reason = LastReason();
    return false;
  }
  table = parse(text.str());
  return true;
}

SetupResult Failure(int status, std::string message) { return {status, std::move(message)}; }

// The options file is read, never written: a file without settings is refused
// instead of being filled with defaults.
SetupResult LoadOptionsFile(const std::string& path, const MessageCatalogue& catalogue, TerminalInteraction& ui,
                            CliSettings& out) {
  IniFile::ReadStatus status;
  IniFile ini = IniFile::Read(path, &status);
  if (status != IniFile::ReadStatus::Read) {
    std::error_code why;
    platform::ReadPlainFile(path, 0, &why);  // only for the reason
    return Failure(1, "cannot read the options file '" + path + "'" + ReasonSuffix(why));
  }
  if (ini.KeyCount(kSettingsSection) == 0)
    return Failure(1, "the options file '" + path + "' holds no [settings] section");
  std::string folder = FolderOf(path);
  if (folder.empty()) folder = std::string(".") + kPathDelim;
  SettingsContext context{folder, ui, catalogue, NameOf(path)};
  int errorsBefore = ui.errorCount();
  if (LoadOptions(context, out.settings, out.tables) != LoadOptionsResult::Loaded || ui.errorCount() > errorsBefore)
    return Failure(1, "cannot load the options file '" + path + "' with its tag tables");
  return {};
}

void ApplyBatchFlags(const CliOptions& o, OptimizationSettings& s) {
  if (o.outDir) {
    s.radModifyOld = false;
    s.edOptimizedPath = WithTrailingDelim(*o.outDir);
  }
  if (o.inPlace) s.radModifyOld = true;
  if (o.backupDir) {
    s.cbSaveBefMod = true;
    s.edBackUpPath = WithTrailingDelim(*o.backupDir);
  }
  if (o.noBackup) s.cbSaveBefMod = false;
  // The command line decides which files are taken, not the stored options.
  s.cbProcessEmbeded = o.recursive;
  s.cbMaxEmbCount = o.maxDepth.has_value();
  if (o.maxDepth) s.edMaxEmbCount = std::to_string(*o.maxDepth);
  s.cbMaxFCount = o.maxFiles.has_value();
  if (o.maxFiles) s.edMaxFCount = std::to_string(*o.maxFiles);
  // Nothing is asked before a run, and finishing notices are the summary's.
  s.cbShowConf = false;
  s.cbShowEnd = false;
  s.cbShowOptWin = false;
}

}  // namespace

SetupResult BuildSettings(const CliOptions& o, const MessageCatalogue& catalogue, TerminalInteraction& ui,
                          CliSettings& out) {
  // The default output and backup folders lie where the desktop program keeps
  // them: beside a portable copy, in the user's data folder for an installed one.
  const platform::InstallLayout layout = platform::CurrentInstallLayout(platform::ProgramFolder());
  StartupEnvironment env{layout.dataFolder, platform::SystemFolder()};
  out.settings = StartupSettings(env);
  out.tables = StartupTagTables();
  if (o.optionsFile) {
    SetupResult r = LoadOptionsFile(*o.optionsFile, catalogue, ui, out);
    if (r.status != 0) return r;
  }
  if (o.mode) {
    ApplyModePreset(out.settings, *o.mode);
    out.settings.comboMode = *o.mode;
  }
  for (const auto& [key, value] : o.sets) SetOption(out.settings, key, value);
  std::string reason;
  if (o.tagsChange && !ReadTable(*o.tagsChange, out.tables.replacement, ParseReplacementTable, reason))
    return Failure(1, "cannot read the tag replacement table '" + *o.tagsChange + "'" + reason);
  if (o.tagsDelete && !ReadTable(*o.tagsDelete, out.tables.removal, ParseRemovalTable, reason))
    return Failure(1, "cannot read the tag removal table '" + *o.tagsDelete + "'" + reason);
  out.codePage = o.codePage.value_or(CodePage::Cp1252);
  ApplyBatchFlags(o, out.settings);
  const OptimizationSettings& s = out.settings;
  if (o.overwrite == OverwritePolicy::Older && !(s.radModifyOld && s.cbSaveBefMod))
    return Failure(2, "--overwrite older is for backups: it needs --in-place with backups");
  return {};
}

LanguageFile EnglishLanguageFile() {
  std::string text = "[Misc]\n";
  for (const auto& e : CatalogueEntries()) {
    text += std::string(e.key) + ":string=";
    for (char c : e.english) text += c == '\r' ? std::string("*|*") : std::string(1, c);
    text += "\n";
  }
  return LanguageFile::FromBytes(text, std::nullopt);
}

}  // namespace tersify::cli
