// Where the program keeps its files: beside the executable (a portable copy)
// or, for an installed copy, in the user's configuration and data folders,
// with the read-only files taken from the installation's share folder.
// Plain C++; paths are UTF-8 and every folder ends with a separator.
#pragma once

#include <string>

namespace tersify::platform {

// The environment values the choice depends on; empty when unset.
struct FolderEnvironment {
  std::string home;           // HOME (USERPROFILE on Windows)
  std::string xdgConfigHome;  // XDG_CONFIG_HOME
  std::string xdgDataHome;    // XDG_DATA_HOME
  std::string appData;        // APPDATA (Windows)
  std::string localAppData;   // LOCALAPPDATA (Windows)
};

FolderEnvironment CurrentFolderEnvironment();

struct InstallLayout {
  bool installed = false;
  std::string programFolder;   // the executable's folder
  std::string configFolder;    // Options.dat, Tagschange.dat, Tagsdelete.dat, Default.lst
  std::string dataFolder;      // holds the default "optimized" and "backup" folders
  std::string resourceFolder;  // Deflan.dat, lang/, help/
};

// The folder an installation keeps its shared files in, seen from the
// executable's folder: <prefix>/share/tersify/ for <prefix>/bin/.
std::string InstalledResourceFolder(const std::string& programFolder);

// Whether a new file can be made in the folder (on Windows tried with a
// file that is removed again; elsewhere asked of the system).
bool IsFolderWritable(const std::string& folder);

// The layout for an executable in programFolder. The copy counts as
// installed when its folder cannot be written, or when the default language
// file lies in the installation's share folder rather than beside the
// executable. An installed copy keeps its writable files in
// $XDG_CONFIG_HOME/tersify (else ~/.config/tersify) and $XDG_DATA_HOME/tersify
// (else ~/.local/share/tersify); on Windows in %APPDATA%\tersify and
// %LOCALAPPDATA%\tersify. A portable copy keeps everything in programFolder.
InstallLayout ChooseInstallLayout(const std::string& programFolder, const FolderEnvironment& env,
                                  bool programFolderWritable);

// The same for this process.
InstallLayout CurrentInstallLayout(const std::string& programFolder);

// Makes the configuration and data folders with their parents when missing.
// Returns false when one of them could not be made.
bool CreateLayoutFolders(const InstallLayout& layout);

}  // namespace tersify::platform
