// Options.dat and the two tag-table files beside it: the initialization-file
// reader, LoadOptions over a scratch program folder, and the round trip
// through SaveOptions.
//
// Input: the bytes of Options.dat, then optionally a form feed and the bytes
// of Tagschange.dat, then optionally another form feed and those of
// Tagsdelete.dat. A file whose part is absent does not exist.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "settings/enabling.h"
#include "settings/ini_file.h"
#include "settings/option_table.h"
#include "settings/options_file.h"

namespace tersify::fuzz {
namespace {

struct Parts {
  std::string_view options;
  std::optional<std::string_view> replacement;
  std::optional<std::string_view> removal;
};

Parts SplitInput(std::string_view input) {
  Parts parts;
  std::size_t ff = input.find('\f');
  parts.options = input.substr(0, ff);
  if (ff == std::string_view::npos) return parts;
  std::string_view rest = input.substr(ff + 1);
  ff = rest.find('\f');
  parts.replacement = rest.substr(0, ff);
  if (ff != std::string_view::npos) parts.removal = rest.substr(ff + 1);
  return parts;
}

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// The reader alone: parsing is stable under serializing, and a value that is
// set reads back as written (on one line, trimmed and cut).
void CheckIniFile(std::string_view text) {
  IniFile ini = IniFile::Parse(text);
  const std::string once = ini.Serialize();
  FUZZ_CHECK(IniFile::Parse(once).Serialize() == once);

  for (const auto& row : kOptionTable) {
    auto value = ini.Get(kSettingsSection, row.key);
    if (value) FUZZ_CHECK(value->size() <= kMaxIniValueLength);
    (void)ini.GetInt(kSettingsSection, row.key, -7);
  }
  (void)ini.KeyCount(kSettingsSection);

  // Setting a key to the text of the file itself, then to a short text.
  std::string_view value = text.substr(0, 3000);
  ini.Set(kSettingsSection, "edLan", value);
  std::string_view firstLine = value.substr(0, value.find_first_of("\r\n"));
  auto read = ini.Get(kSettingsSection, "edLan");
  FUZZ_CHECK(read && *read == Trimmed(firstLine).substr(0, kMaxIniValueLength));
  ini.Set("Settings", "EDLAN", "x");
  FUZZ_CHECK(ini.GetString(kSettingsSection, "edLan", "") == "x");
  FUZZ_CHECK(ini.KeyCount(kSettingsSection) >= 1);
}

bool SameSettings(const OptimizationSettings& a, const OptimizationSettings& b) {
  for (const auto& row : kOptionTable)
    if (GetOption(a, row.key) != GetOption(b, row.key)) return false;
  return true;
}

void PlaceFile(const std::filesystem::path& file, std::optional<std::string_view> bytes) {
  if (bytes)
    WriteBytes(file, *bytes);
  else
    RemoveFile(file);
}

// LoadOptions on the files, then SaveOptions and a second load from the same
// starting state: the second load must give what the first one gave.
void CheckLoadAndSave(const Parts& parts) {
  const std::filesystem::path& folder = ScratchFolder("options");
  std::string programFolder = folder.string();
  programFolder += PathSeparator();
  WriteBytes(folder / kOptionsFileName, parts.options);
  PlaceFile(folder / kReplacementFileName, parts.replacement);
  PlaceFile(folder / kRemovalFileName, parts.removal);

  FuzzInteraction ui;
  SettingsContext context{programFolder, ui, EnglishCatalogue()};
  const OptimizationSettings start;
  OptimizationSettings first = start;
  TagTables firstTables = BuiltInTagTables();
  ControlEnabling enabling;
  LoadOptionsResult result = LoadOptions(context, first, firstTables, &enabling);
  FUZZ_CHECK(result != LoadOptionsResult::Failed);
  FUZZ_CHECK(first.comboMode >= kModeNormal && first.comboMode <= kModeUsers);
  FUZZ_CHECK(firstTables.replacement.size() <= kMaxTagEntries && firstTables.removal.size() <= kMaxTagEntries);

  FUZZ_CHECK(SaveOptions(context, first, firstTables) == SaveOptionsResult::Saved);
  OptimizationSettings second = start;
  TagTables secondTables = BuiltInTagTables();
  FUZZ_CHECK(LoadOptions(context, second, secondTables) == LoadOptionsResult::Loaded);
  FUZZ_CHECK(SameSettings(first, second));
  FUZZ_CHECK(firstTables == secondTables);
  FUZZ_CHECK(ui.messages == 0);
}

}  // namespace
}  // namespace tersify::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tersify::fuzz;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  Parts parts = SplitInput(input);
  CheckIniFile(parts.options);
  CheckLoadAndSave(parts);
  return 0;
}
