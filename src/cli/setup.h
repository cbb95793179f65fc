// The settings of one tersify-cli call: the built-in defaults, the options
// file, the mode preset, --set, the tag tables, then the batch flags.
#pragma once

#include <string>

#include "base/codepage.h"
#include "cli/cli_options.h"
#include "cli/terminal_interaction.h"
#include "i18n/catalogue.h"
#include "i18n/language_file.h"
#include "settings/options.h"
#include "settings/tag_tables.h"

namespace tersify::cli {

struct CliSettings {
  OptimizationSettings settings;
  TagTables tables;
  CodePage codePage = CodePage::Cp1252;
};

struct SetupResult {
  int status = 0;       // 0, or the exit status of the failure
  std::string message;  // what failed
};

// Fills `out`; messages of the loaders go through `ui`.
SetupResult BuildSettings(const CliOptions& o, const MessageCatalogue& catalogue, TerminalInteraction& ui,
                          CliSettings& out);

// The English message texts, built in, so the program needs no file beside it.
LanguageFile EnglishLanguageFile();

}  // namespace tersify::cli
