// tersify-cli: the optimization engine for terminals, scripts and build pipelines.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/terminal_interaction.h"
#include "engine/engine.h"
#include "i18n/catalogue.h"
#include "i18n/language_file.h"
#include "settings/options.h"
#include "settings/startup.h"
#include "settings/tag_tables.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace tersify::cli {
namespace {

bool ReadAll(std::istream& in, std::string& out) {
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) return false;
  out = std::move(buffer).str();
  return true;
}

bool ReadInput(const std::string& path, std::string& bytes) {
  if (path == "-") return ReadAll(std::cin, bytes);
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  return ReadAll(in, bytes);
}

// Reads a tag table file in its own layout; a missing or unreadable file is an error here.
template <typename Table, typename Parser>
bool ReadTable(const std::string& path, Table& table, Parser parse) {
  std::ifstream in(path, std::ios::binary);
  std::string text;
  if (!in || !ReadAll(in, text)) return false;
  table = parse(text);
  return true;
}

// The English message texts, built in, so the command line needs no file beside it.
LanguageFile EnglishLanguageFile() {
  std::string text = "[Misc]\n";
  for (const auto& e : CatalogueEntries()) {
    text += std::string(e.key) + ":string=";
    for (char c : e.english) text += c == '\r' ? std::string("*|*") : std::string(1, c);
    text += "\n";
  }
  return LanguageFile::FromBytes(text, std::nullopt);
}

int Fail(int status, const std::string& message) {
  std::fprintf(stderr, "tersify-cli: %s\n", message.c_str());
  return status;
}

int RunFilter(const CliOptions& o) {
  OptimizationSettings settings;
  for (const auto& [key, value] : o.sets) SetOption(settings, key, value);

  TagTables tables = StartupTagTables();
  if (o.tagsChange && !ReadTable(*o.tagsChange, tables.replacement, ParseReplacementTable))
    return Fail(1, "cannot read the tag replacement table '" + *o.tagsChange + "'");
  if (o.tagsDelete && !ReadTable(*o.tagsDelete, tables.removal, ParseRemovalTable))
    return Fail(1, "cannot read the tag removal table '" + *o.tagsDelete + "'");

  std::string bytes;
  const std::string& input = o.paths.front();
  if (!ReadInput(input, bytes)) return Fail(1, "cannot read '" + input + "'");

  TerminalInteraction ui;
  MessageCatalogue catalogue(std::make_shared<LanguageFile>(EnglishLanguageFile()));
  Engine engine(o.codePage.value_or(CodePage::Cp1252));
  EngineContext ctx{settings, tables.removal, tables.replacement, catalogue, ui, {}};
  std::string text = LoadDocumentText(bytes);
  if (engine.OptimizeDocument(text, ctx) != OptimizeResult::Done)
    return Fail(1, "optimization of '" + input + "' failed");
  std::string out = SaveDocumentText(text);
  if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0)
    return Fail(1, "cannot write to standard output");
  return ui.errorCount() > 0 ? 1 : 0;
}

}  // namespace
}  // namespace tersify::cli

int main(int argc, char** argv) {
#ifdef _WIN32
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  std::vector<std::string> args(argv + 1, argv + argc);
  auto parsed = tersify::cli::ParseArguments(args);
  if (parsed.options.help) {
    std::fputs(tersify::cli::UsageText(), stdout);
    return 0;
  }
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "tersify-cli: %s (see --help)\n", parsed.error.c_str());
    return 2;
  }
  return tersify::cli::RunFilter(parsed.options);
}
