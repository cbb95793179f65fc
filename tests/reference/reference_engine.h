// A deliberately plain model of the optimization passes, used only as the
// oracle of the engine tests. Every pass searches from position 1 after each
// change, cuts and pastes in place and disarms what it leaves with markers,
// exactly as the passes read; speed is of no concern here.
//
// The text is held as 32-bit symbols: values 0..255 are the document's own
// bytes, markers are values above 255, so a document may contain any byte
// (0x8A, 0xA4 ...) without a marker ever being mistaken for it. Markers behave
// as ordinary symbols for every test (not a space, quote, "<", ">", "=" ...).
// Positions in this code count from 1, as in the passes' descriptions.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/codepage.h"
#include "settings/option_table.h"
#include "settings/options.h"
#include "settings/tag_tables.h"

namespace tersify::reference {

using Sym = char32_t;
using Text = std::u32string;

// Marker symbols. A one-byte marker m of the passes is kMarker + m; script
// markers carry their block's index: kScriptMarker + index, and so do the
// markers of preformatted blocks: kPreMarker + index.
inline constexpr Sym kMarker = 0x100;
inline constexpr Sym kScriptMarker = 0x10000;
inline constexpr Sym kPreMarker = 0x40000000;

// The document under treatment: SourceText, LowerText and the script store.
struct Doc {
  Doc(std::string_view sourceText, CodePage cp);

  Text source;
  Text lower;
  // Cut script blocks, indexed by their marker's number; a block that has gone
  // back into the text (or was dropped) is cleared.
  std::vector<Text> scripts;
  std::vector<bool> scriptPending;
  // Cut preformatted blocks, indexed by their marker's number.
  std::vector<Text> pres;
  CodePage codePage;

  // SourceText as bytes. A marker shows as its low byte (a script marker as
  // 0x8A), which is how a byte-based engine would hold it.
  std::string Bytes() const;
  // Number of script markers now in SourceText.
  std::size_t ScriptMarkerCount() const;
  // Number of stored blocks not yet put back.
  std::size_t PendingScripts() const;
  // Lower-cases `source` into `lower` (symbols >= 256 stay as they are).
  void Relower();
};

// Odd number of double quotes among positions 1..p-1 of `text`.
bool Inkav(const Text& text, std::size_t p);
// The nearest "<" or ">" among positions 1..p-1 is "<" (markers are neither).
bool InMarkup(const Text& text, std::size_t p);
// Inside a quoted value as script cutting sees it: in markup, with an odd
// number of double quotes strictly between the nearest "<" before p and p.
bool InTagValue(const Text& text, std::size_t p);
bool IsNum(std::string_view value);
bool Ishex(std::string_view value);

// The passes, each on its own.
void CutScripts(Doc& d, const OptimizationSettings& s);
void InsertScripts(Doc& d);
void CutPreformatted(Doc& d);
void InsertPreformatted(Doc& d);
void RemoveComments(Doc& d, const OptimizationSettings& s);
void TightenTagSpaces(Doc& d);  // ends with JoinTags
void JoinTags(Doc& d);
void RemoveQuotes(Doc& d, const OptimizationSettings& s);
void ProcessTag(Doc& d, std::string_view entry, std::string_view replacement);
void GlueLines(Doc& d);
void CollapseNbsp(Doc& d, const OptimizationSettings& s);
void CollapseSpaces(Doc& d, const OptimizationSettings& s);
void RemoveAllTabs(Doc& d);
void RemoveBlankLines(Doc& d);
void TrimLines(Doc& d);
void RemoveEmptyLines(Doc& d);

// Tag removal and tag replacement steps of the sequence, over the ticked entries.
void RemoveTags(Doc& d, const TagRemovalTable& removal);
void ReplaceTags(Doc& d, const TagReplacementTable& replacement, const OptimizationSettings& s);

// The whole sequence (without cancel checks) over a document in its loaded
// form; returns the final SourceText. Every stored block has been put back or
// dropped when it returns.
std::string Optimize(std::string_view sourceText, const OptimizationSettings& s, const TagRemovalTable& removal,
                     const TagReplacementTable& replacement, CodePage cp);

// Runs one pass over `text` and returns the resulting bytes; for pass tests.
template <typename Pass>
std::string RunPass(std::string_view text, Pass pass, CodePage cp = CodePage::Cp1252) {
  Doc d(text, cp);
  pass(d);
  return d.Bytes();
}

}  // namespace tersify::reference
