#include "platform/install_layout.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/paths.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace tersify::platform {
namespace {

namespace fs = std::filesystem;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string WithSeparator(std::string folder) {
  if (folder.empty() || !IsPathSeparator(folder.back())) folder.push_back(PathSeparator());
  return folder;
}

fs::path PathOf(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string Utf8Of(const fs::path& path) {
  std::u8string s = path.u8string();
  return std::string(s.begin(), s.end());
}

bool IsFile(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(PathOf(path), ec);
}

// An absolute folder from the environment, or the fallback below home.
std::string UserFolder(const std::string& fromEnv, const std::string& home, const char* belowHome) {
  if (!fromEnv.empty() && PathOf(fromEnv).is_absolute()) return WithSeparator(fromEnv);
  std::string base = home.empty() ? std::string(".") : home;
  return WithSeparator(WithSeparator(base) + belowHome);
}

}  // namespace

FolderEnvironment CurrentFolderEnvironment() {
  FolderEnvironment env;
#ifdef _WIN32
  env.home = Env("USERPROFILE");
  env.appData = Env("APPDATA");
  env.localAppData = Env("LOCALAPPDATA");
#else
  env.home = Env("HOME");
#endif
  env.xdgConfigHome = Env("XDG_CONFIG_HOME");
  env.xdgDataHome = Env("XDG_DATA_HOME");
  return env;
}

std::string InstalledResourceFolder(const std::string& programFolder) {
  fs::path bin = PathOf(programFolder).parent_path();  // drops the trailing separator
  fs::path share = bin.parent_path() / "share" / "tersify";
  return WithSeparator(Utf8Of(share.make_preferred()));
}

bool IsFolderWritable(const std::string& folder) {
  std::error_code ec;
  if (!fs::is_directory(PathOf(folder), ec)) return false;
#ifdef _WIN32
  // Access rights on Windows are lists that only a real attempt tells.
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  fs::path probe = PathOf(folder) / (".tersify-write-test-" + std::to_string(stamp));
  {
    std::ofstream out(probe, std::ios::binary);
    if (!out) return false;
  }
  fs::remove(probe, ec);
  return true;
#else
  // Asked, not tried: a try would change the folder of an installed copy.
  return access(folder.c_str(), W_OK) == 0;
#endif
}

InstallLayout ChooseInstallLayout(const std::string& programFolder, const FolderEnvironment& env,
                                  bool programFolderWritable) {
  InstallLayout layout;
  layout.programFolder = WithSeparator(programFolder);
  const std::string share = InstalledResourceFolder(layout.programFolder);
  const bool languageBeside = IsFile(layout.programFolder + "Deflan.dat");
  const bool languageShared = IsFile(share + "Deflan.dat");
  layout.installed = !programFolderWritable || (!languageBeside && languageShared);
  if (!layout.installed) {
    layout.configFolder = layout.dataFolder = layout.resourceFolder = layout.programFolder;
    return layout;
  }
  layout.resourceFolder = languageShared || !languageBeside ? share : layout.programFolder;
  const std::string sep(1, PathSeparator());
#ifdef _WIN32
  layout.configFolder = UserFolder(env.appData, env.home, "AppData\\Roaming") + "tersify" + sep;
  layout.dataFolder = UserFolder(env.localAppData, env.home, "AppData\\Local") + "tersify" + sep;
#else
  layout.configFolder = UserFolder(env.xdgConfigHome, env.home, ".config") + "tersify" + sep;
  layout.dataFolder = UserFolder(env.xdgDataHome, env.home, ".local/share") + "tersify" + sep;
#endif
  return layout;
}

InstallLayout CurrentInstallLayout(const std::string& programFolder) {
  return ChooseInstallLayout(programFolder, CurrentFolderEnvironment(), IsFolderWritable(programFolder));
}

bool CreateLayoutFolders(const InstallLayout& layout) {
  bool ok = true;
  for (const std::string* folder : {&layout.configFolder, &layout.dataFolder}) {
    std::error_code ec;
    fs::create_directories(PathOf(*folder), ec);
    if (!fs::is_directory(PathOf(*folder), ec)) ok = false;
  }
  return ok;
}

}  // namespace tersify::platform
