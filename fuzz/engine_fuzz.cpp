// libFuzzer target: the engine against the step-by-step reference on any
// document, option set and small tag tables drawn from the input.
//
// Input layout: 4 bytes of option bits, 1 byte of table choices, then the
// document. Built with a replay main when libFuzzer is not used (see
// fuzz/README.md), so it compiles in every build.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/engine.h"
#include "i18n/catalogue.h"
#include "reference/reference_engine.h"
#include "settings/option_table.h"
#include "support/scripted_interaction.h"

using namespace tersify;

namespace {

const char* const kEntries[] = {"b",   "p",  "/p", "strong", "!doctype", "name=\"x\"", "s", "<b",
                                "b b", "\"", "-",  " ",      "script",   "style",      "a", "B"};

OptimizationSettings SettingsFrom(std::uint32_t bits) {
  OptimizationSettings s;
  // One bit per pass switch in the options file's order, then cbShowInfo.
  int bit = 0;
  for (const OptionRow* row : kOptionFileOrder)
    if (IsPassSwitch(*row)) SetOption(s, row->key, (bits >> bit++) & 1 ? "1" : "0");
  s.cbShowInfo = (bits >> bit) & 1;
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  std::uint32_t bits = data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<std::uint32_t>(data[3]) << 24);
  std::uint8_t tables = data[4];
  std::string doc = LoadDocumentText(std::string(reinterpret_cast<const char*>(data + 5), size - 5));
  OptimizationSettings s = SettingsFrom(bits);
  TagRemovalTable removal;
  TagReplacementTable replacement;
  if (tables & 1) removal.push_back({kEntries[(tables >> 1) & 15], true});
  if (tables & 32) replacement.push_back({kEntries[(bits >> 20) & 15], kEntries[(bits >> 24) & 15], true});
  if (tables & 64) replacement.push_back({kEntries[(bits >> 28) & 15], kEntries[(bits >> 28) & 15], true});
  if (tables & 128) replacement.push_back({"b", "\"b b\"", true});

  PassFailures failures;
  EngineContext ctx{PassOptionsOf(s), removal, replacement, failures, {}};
  Engine engine;
  std::string mine = doc;
  if (engine.OptimizeDocument(mine, ctx) != OptimizeResult::Done || !failures.empty()) std::abort();
  // Working in the caller's buffer gives the same text.
  std::string inPlace = doc;
  if (engine.OptimizeDocumentInPlace(inPlace, ctx) != OptimizeResult::Done || inPlace != mine) std::abort();
  std::string theirs = reference::Optimize(doc, s, removal, replacement, CodePage::Cp1252);
  if (mine != theirs) {
    std::fprintf(stderr, "engine and reference differ\n");
    std::abort();
  }
  return 0;
}
