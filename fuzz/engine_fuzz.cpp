// libFuzzer target: the engine against the step-by-step reference on any
// document, option set and small tag tables drawn from the input.
//
// Input layout: 4 bytes of option bits, 1 byte of table choices, then the
// document. Bit 19 of the option bits makes one row of the pass table fail
// (bits 20 and up choose it), to check how each row's failure is reported. Built with a replay main when libFuzzer is
// not used (see fuzz/README.md), so it compiles in every build.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>

#include "engine/engine.h"
#include "engine/engine_testing.h"
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

// Runs the document with the chosen row's pass failing every time it runs, and
// checks what the run reports against the row: a fatal row ends the run, a
// shown one is reported under its own name and message, a silent one is not
// reported, and a row that never ran changes nothing.
void FailOneRow(const std::string& doc, const EngineContext& plain, const std::string& plainOut, std::uint32_t choice) {
  const auto rows = PassTable();
  const PassInfo& row = rows[choice % rows.size()];
  PassFailures failures;
  EngineContext ctx{plain.options, plain.removal, plain.replacement, failures, {}};
  Engine engine;
  bool ran = false;
  SetFaultHookForTesting(engine, [&](std::string_view pass) {
    if (pass != row.name) return;
    ran = true;
    throw std::runtime_error("fault");
  });
  std::string text = doc;
  const OptimizeResult result = engine.OptimizeDocument(text, ctx);
  bool sound = true;
  if (!ran) {
    sound = result == OptimizeResult::Done && failures.empty() && text == plainOut;
  } else if (row.onFailure == OnFailure::Fatal) {
    sound = result == OptimizeResult::Failed;
  } else {
    sound = result == OptimizeResult::Done;
    const bool shown = row.onFailure == OnFailure::Error || row.onFailure == OnFailure::ErrorIfInfo;
    if (shown != !failures.empty()) sound = false;
    for (const PassFailure& f : failures)
      if (f.pass != row.name || f.messageKey != row.messageKey) sound = false;
  }
  if (!sound) {
    std::fprintf(stderr, "failure of %.*s reported wrongly\n", static_cast<int>(row.name.size()), row.name.data());
    std::abort();
  }
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
  // Cut into pieces of a few bytes wherever the page allows, it gives the same text.
  Engine cut;
  SetPieceSizeForTesting(cut, 6 + size % 10);
  std::string pieces = doc;
  if (cut.OptimizeDocument(pieces, ctx) != OptimizeResult::Done || pieces != mine) {
    std::fprintf(stderr, "the page in pieces and the whole page differ\n");
    std::abort();
  }
  std::string theirs = reference::Optimize(doc, s, removal, replacement, CodePage::Cp1252);
  if (mine != theirs) {
    std::fprintf(stderr, "engine and reference differ\n");
    std::abort();
  }
  if (bits & (1u << 19)) FailOneRow(doc, ctx, mine, bits >> 20);
  return 0;
}
