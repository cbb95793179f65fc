// Command-line flags of tersify-cli.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/codepage.h"

namespace tersify::cli {

struct CliOptions {
  bool help = false;
  std::vector<std::pair<std::string, std::string>> sets;  // --set KEY=VALUE, in order
  std::optional<CodePage> codePage;
  std::optional<std::string> tagsChange;
  std::optional<std::string> tagsDelete;
  std::optional<std::string> optionsFile;
  std::vector<std::string> paths;
};

struct ParseResult {
  CliOptions options;
  std::string error;  // non-empty: a usage error, one line
};

ParseResult ParseArguments(const std::vector<std::string>& args);

const char* UsageText();

}  // namespace tersify::cli
