// The text passes of the optimization. They are templates over the symbol
// type: bytes normally, 32-bit symbols when the markers cannot be given byte
// values of their own.
//
// Every pass makes one forward scan and produces exactly the text that the
// step-by-step method (search from the first position after every change,
// disarm what stays with a marker) produces.
//
// To spare the allocator and the page-fault handler whole-page buffers, a pass
// that only deletes or shortens works on the text in place (it cannot fail),
// and a pass that may lengthen the text writes into a buffer the caller hands
// in, whose capacity is reused (it is cleared first).
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/text.h"
#include "settings/options.h"

namespace tersify::engine {

// What the passes need besides the text.
template <class Ch>
struct PassEnv {
  const LowerTable* lower = nullptr;
  const OptimizationSettings* settings = nullptr;
  // Two symbols that occur nowhere in the document or the tag tables, used by
  // a pass to disarm what it leaves in place.
  Ch markA{};
  Ch markB{};
  // The script marker: as bytes one value for every block, in order; as wide
  // symbols the first of a range, one value per block.
  Ch scriptMarker{};

  Ch Lower(Ch c) const { return LowerOf(*lower, c); }
  bool IsScriptMarker(Ch c) const {
    if constexpr (sizeof(Ch) == 1)
      return c == scriptMarker;
    else
      return U(c) >= U(scriptMarker);
  }
};

// Raised by the byte form of a pass when it meets a case that needs one
// distinct marker per script block; the caller redoes the pass on wide symbols.
struct NeedWideSymbols : std::exception {
  const char* what() const noexcept override { return "needs wide symbols"; }
};

template <class Ch>
using ScriptBlocks = std::vector<Str<Ch>>;

// Script shielding.
template <class Ch>
Str<Ch> CutScripts(Str<Ch> text, const PassEnv<Ch>& env, ScriptBlocks<Ch>& store);
template <class Ch>
void InsertScripts(const Str<Ch>& text, const PassEnv<Ch>& env, const ScriptBlocks<Ch>& store, Str<Ch>& out);

template <class Ch>
Str<Ch> RemoveComments(Str<Ch> text, const PassEnv<Ch>& env);
template <class Ch>
void RemoveQuotes(const Str<Ch>& text, const PassEnv<Ch>& env, Str<Ch>& out);
// One tag table entry; an empty replacement removes the tags it names.
template <class Ch>
Str<Ch> ProcessTag(Str<Ch> text, const PassEnv<Ch>& env, std::string_view entry, std::string_view replacement);

// Whether ProcessTag would change the text at all.
template <class Ch>
bool ProcessTagChanges(const Str<Ch>& text, const PassEnv<Ch>& env, std::string_view entry);

// For each entry, false when ProcessTag cannot change the text: no lower-case
// occurrence has a valid byte on each side (quotes are left out of this test,
// so true only means "maybe"). One scan for all entries.
template <class Ch>
std::vector<bool> TagCandidates(const Str<Ch>& text, const PassEnv<Ch>& env,
                                const std::vector<std::string_view>& entries);

// White space, in place.
template <class Ch>
void TightenTagSpaces(Str<Ch>& text, const PassEnv<Ch>& env);
template <class Ch>
void JoinTags(Str<Ch>& text, const PassEnv<Ch>& env);
template <class Ch>
void GlueLines(Str<Ch>& text, const PassEnv<Ch>& env);
template <class Ch>
void CollapseNbsp(Str<Ch>& text, const PassEnv<Ch>& env);
template <class Ch>
void RemoveAllTabs(Str<Ch>& text, const PassEnv<Ch>& env);
template <class Ch>
void CollapseSpaces(Str<Ch>& text, const PassEnv<Ch>& env);

// Lines: every line comes out with CR LF after it, so a lone CR or LF grows.
template <class Ch>
void RemoveBlankLines(const Str<Ch>& text, const PassEnv<Ch>& env, Str<Ch>& out);
template <class Ch>
void TrimLines(const Str<Ch>& text, const PassEnv<Ch>& env, Str<Ch>& out);
template <class Ch>
void RemoveEmptyLines(const Str<Ch>& text, const PassEnv<Ch>& env, Str<Ch>& out);

bool IsNum(std::string_view value);
bool Ishex(std::string_view value);

}  // namespace tersify::engine
