// A document from disk through the reading rule and the whole pass sequence,
// under options, tag tables and a code page picked by the input.
//
// Input: four bytes of option bits, a byte for the code page and the cancel
// check, a byte for the table ticks; then, when the last bit of that byte is
// set, tag-table file text up to a NUL byte (read as both tables); the rest
// is the file's bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/engine.h"
#include "fuzz/fuzz_support.h"
#include "settings/option_table.h"

namespace tersify::fuzz {
namespace {

// A text in the document's form: no NUL, and every line ended by CR LF.
bool IsDocumentForm(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\0') return false;
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
    if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')) return false;
  }
  return text.empty() || text.ends_with("\r\n");
}

OptimizationSettings SettingsFrom(ByteReader& in) {
  std::uint32_t bits = 0;
  for (int i = 0; i < 4; ++i) bits = bits << 8 | in.Byte();
  auto bit = [&bits](int n) { return ((bits >> n) & 1) != 0; };
  OptimizationSettings s;
  // Bits 0 to 19: the first twenty check boxes of the options file, in its order.
  int n = 0;
  for (const OptionRow* row : kOptionFileOrder)
    if (row->type() == OptionType::Bool && n < 20) SetOption(s, row->key, bit(n++) ? "1" : "0");
  s.edMaxEmbCount = std::to_string((bits >> 20) & 7);
  s.cbShowInfo = bit(23);
  s.comboMode = static_cast<int>((bits >> 24) % 3);
  return s;
}

}  // namespace
}  // namespace tersify::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tersify;
  using namespace tersify::fuzz;
  ByteReader in(data, size);
  const OptimizationSettings settings = SettingsFrom(in);
  const std::uint8_t pageAndCancel = in.Byte();
  const std::uint8_t ticks = in.Byte();

  static const CodePage kPages[] = {CodePage::Cp1252, CodePage::Cp1251, CodePage::Cp1250};
  const CodePage page = kPages[(pageAndCancel & 0x0F) % 3];
  const int cancelAt = pageAndCancel >> 4;  // 0: never

  TagTables tables = BuiltInTagTables();
  for (std::size_t i = 0; i < tables.replacement.size(); ++i) tables.replacement[i].ticked = ((ticks >> (i % 7)) & 1);
  for (std::size_t i = 0; i < tables.removal.size(); ++i) tables.removal[i].ticked = ((ticks >> (i % 7)) & 1);
  if (ticks & 0x80) {
    const std::string_view tableText = in.Until('\0');
    tables.replacement = ParseReplacementTable(tableText);
    tables.removal = ParseRemovalTable(tableText);
  }

  // The reading rule gives the document form, and saving keeps it.
  std::string text = LoadDocumentText(in.Rest());
  FUZZ_CHECK(IsDocumentForm(text));
  FUZZ_CHECK(SaveDocumentText(text, LineBreaks::CrLf) == text);
  std::string inPlace(in.Rest());
  NormalizeLines(inPlace);
  FUZZ_CHECK(inPlace == text);

  int checks = 0;
  PassFailures failures;
  EngineContext ctx{PassOptionsOf(settings), tables.removal, tables.replacement, failures,
                    [&checks, cancelAt] { return cancelAt != 0 && ++checks >= cancelAt; }};
  Engine engine(page);
  const std::string before = text;
  const OptimizeResult result = engine.OptimizeDocument(text, ctx);
  if (result != OptimizeResult::Done) FUZZ_CHECK(text == before);
  if (cancelAt == 0) FUZZ_CHECK(result != OptimizeResult::Cancelled);
  const LineBreaks breaks = LineBreaksOf(in.Rest());
  const std::string saved = SaveDocumentText(text, breaks);
  SaveLinesInPlace(text, breaks);
  FUZZ_CHECK(text == saved);
  return 0;
}
