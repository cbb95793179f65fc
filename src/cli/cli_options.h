// Command-line flags of tersify-cli.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/codepage.h"

namespace tersify::cli {

// What to do with an output or backup file that is already there.
enum class OverwritePolicy { Ask, All, Skip, Older, Fail };

struct CliOptions {
  bool help = false;
  bool version = false;
  // Settings, applied in this order: the options file, the mode, each --set.
  std::optional<std::string> optionsFile;
  std::optional<int> mode;                                // --mode: 0 normal, 1 max
  std::vector<std::pair<std::string, std::string>> sets;  // --set KEY=VALUE, in order
  std::optional<CodePage> codePage;
  std::optional<std::string> tagsChange;
  std::optional<std::string> tagsDelete;

  // The batch form.
  std::optional<std::string> outDir;     // -o: copies into this folder
  bool inPlace = false;                  // --in-place
  std::optional<std::string> backupDir;  // --backup
  bool noBackup = false;                 // --no-backup
  bool recursive = false;                // -r
  bool flat = false;                     // --flat: every copy or backup on top of its folder
  std::optional<int> maxDepth;           // --max-depth
  std::optional<int> maxFiles;           // --max-files
  std::optional<OverwritePolicy> overwrite;
  bool restore = false;
  std::optional<int> jobs;  // -j
  bool dryRun = false;
  bool quiet = false;
  bool json = false;

  std::vector<std::string> paths;

  // Any flag that only the batch form knows was given.
  bool AnyBatchFlag() const;
};

struct ParseResult {
  CliOptions options;
  std::string error;  // non-empty: a usage error, one line
};

ParseResult ParseArguments(const std::vector<std::string>& args);

const char* UsageText();
// "tersify-cli" and the version number, one line.
const char* VersionText();

}  // namespace tersify::cli
