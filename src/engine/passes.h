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

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/pass_options.h"
#include "engine/text.h"

namespace tersify::engine {

// What the passes need besides the text.
template <class Ch>
struct PassEnv {
  const LowerTable* lower = nullptr;
  const PassOptions* settings = nullptr;
  // Two symbols that occur nowhere in the document or the tag tables, used by
  // a pass to disarm what it leaves in place.
  Ch markA{};
  Ch markB{};
  // The script marker: as bytes one value for every block, in order; as wide
  // symbols the first of a range, one value per block.
  Ch scriptMarker{};
  // The same for preformatted blocks; as wide symbols its range lies above
  // the script markers'. None when zero.
  Ch preMarker{};
  // Set, where given, when a pass's walk from an occurrence meets the start
  // or the end of the text without finding what it looks for: over a piece
  // of a page the walk would have gone on into the neighbouring piece.
  bool* edgeMet = nullptr;

  void MetEdge() const {
    if (edgeMet) *edgeMet = true;
  }
  Ch Lower(Ch c) const { return LowerOf(*lower, c); }
  bool IsScriptMarker(Ch c) const {
    if constexpr (sizeof(Ch) == 1)
      return c == scriptMarker;
    else
      return U(c) >= U(scriptMarker) && (U(preMarker) == 0 || U(c) < U(preMarker));
  }
  bool IsPreMarker(Ch c) const {
    if constexpr (sizeof(Ch) == 1)
      return U(preMarker) != 0 && c == preMarker;
    else
      return U(preMarker) != 0 && U(c) >= U(preMarker);
  }
  bool IsBlockMarker(Ch c) const { return IsScriptMarker(c) || IsPreMarker(c); }
};

template <class Ch>
using ScriptBlocks = std::vector<Str<Ch>>;

// Script shielding: the text with its blocks cut out goes into `out` (which
// must not be `text`). As bytes the n-th marker stands for the n-th block: a
// block that starts before an earlier block's marker needs markers of their
// own, and the answer is false, for the caller to redo the pass on wide
// symbols from `text`, which is only read.
template <class Ch>
bool CutScripts(const Str<Ch>& text, const PassEnv<Ch>& env, ScriptBlocks<Ch>& store, Str<Ch>& out);
template <class Ch>
void InsertScripts(const Str<Ch>& text, const PassEnv<Ch>& env, const ScriptBlocks<Ch>& store, Str<Ch>& out);

// Preformatted blocks (pre, textarea, xmp, listing, plaintext) are kept byte
// for byte: cut out after the scripts, each left as a marker, and put back
// after the last pass that may change them. The cut writes into `out` and
// answers true when it found a block; otherwise `out` is left as it was.
template <class Ch>
bool CutPreformatted(const Str<Ch>& text, const PassEnv<Ch>& env, ScriptBlocks<Ch>& store, Str<Ch>& out);
template <class Ch>
void InsertPreformatted(const Str<Ch>& text, const PassEnv<Ch>& env, const ScriptBlocks<Ch>& store, Str<Ch>& out);
// Both insertions in one walk over byte text, the same as the preformatted
// blocks first and then the scripts (those inside a block among them).
void InsertBlocks(const Str<char>& text, const PassEnv<char>& env, const ScriptBlocks<char>& pres,
                  const ScriptBlocks<char>& scripts, Str<char>& out);

// The two deleting passes write into `out` (which must not be `text`) and
// add to `dropped`, when given, the script and preformatted markers in what
// they delete.
template <class Ch>
void RemoveComments(const Str<Ch>& text, const PassEnv<Ch>& env, Str<Ch>& out, std::size_t* dropped = nullptr);
template <class Ch>
void RemoveQuotes(const Str<Ch>& text, const PassEnv<Ch>& env, Str<Ch>& out, std::size_t* dropped = nullptr);
// One tag table entry; an empty replacement removes the tags it names.
template <class Ch>
Str<Ch> ProcessTag(Str<Ch> text, const PassEnv<Ch>& env, std::string_view entry, std::string_view replacement);

// Where a call of the tag pass changed the text, in the new text's positions:
// outside the ranges [begin, end) the new text is pieces copied whole from the
// old one, and each piece boundary lies within or at the edge of a range (an
// empty range is a bare boundary). `whole` when the call cannot say where.
struct TextEdits {
  struct Range {
    std::size_t begin;
    std::size_t end;
  };
  std::vector<Range> ranges;
  bool whole = false;
  bool scriptMarkerRemoved = false;  // a script or preformatted marker went with a removed tag
};

// Where ProcessTag makes its first change, and the quote parity there; the
// text before it stays as it is, but the entry's untaken occurrences there
// must still be kept from being found again.
struct TagStart {
  std::size_t pos;
  bool odd;
  std::vector<std::size_t> untaken;  // where they begin, in order
};

// The place ProcessTag would start to change the text, or nothing when it
// leaves the text as it is (an empty entry, or one that has no occurrence it
// would take).
template <class Ch>
std::optional<TagStart> FindTagStart(const Str<Ch>& text, const PassEnv<Ch>& env, std::string_view entry);

// ProcessTag from a start found by FindTagStart on the same text; records in
// `edits` (when given) where it changed the text.
template <class Ch>
Str<Ch> ProcessTagFrom(Str<Ch> text, const PassEnv<Ch>& env, std::string_view entry, std::string_view replacement,
                       TagStart start, TextEdits* edits);

// ProcessTag where it changes the text: writes the result into `out` (which
// must not be `text`), records the changes in `edits` (when given) and
// answers true; answers false, with `out` untouched, where the text stays as
// it is. `text` is only read, so a failure part-way leaves it as it was.
template <class Ch>
bool ProcessTagInto(const Str<Ch>& text, const PassEnv<Ch>& env, std::string_view entry, std::string_view replacement,
                    TextEdits* edits, Str<Ch>& out);

// One replacement entry and its replacement text.
struct TagPair {
  std::string_view entry;
  std::string_view replacement;
};

// ProcessTag for each pair in turn, in one sweep over the text. It serves
// pairs whose entries and replacements hold no byte that bounds an
// occurrence or counts for its tests (8, LF, CR, space, the quote, "<" and
// ">", bytes the code page must give no other case), whose replacements are
// not empty (those remove tags) and whose entries' first letters have at
// most one capital (so untaken occurrences come back as they were): each
// occurrence is then a whole word between such bytes, a replacement puts one
// word in the place of another and leaves every test of every other place as
// it was, so each word goes through the pairs' changes on its own. Answers
// nothing, with `out` untouched, for pairs it does not serve (the caller
// then calls ProcessTag per pair); false, with `out` untouched, when no pair
// takes a word; true with the new text in `out` (which must not be `text`).
// Whether it serves a group depends on the pairs and the code page alone,
// and TagPairsGoTogether tells it.
template <class Ch>
bool TagPairsGoTogether(const PassEnv<Ch>& env, const std::vector<TagPair>& pairs);
// What the processor offers the sweeps of more than 16 bytes a step and
// their instructions (none where those sweeps are not built).
struct CpuOffers {
  bool ssse3 = false;
  bool popcnt = false;
  bool avx2 = false;
};
const CpuOffers& ProcessorOffers();
// Narrow keeps a sweep to 16 bytes a step where the processor has wider
// steps, so tests check both ways.
enum class Vectors { Widest, Narrow };
template <class Ch>
std::optional<bool> ReplaceTagsTogether(const Str<Ch>& text, const PassEnv<Ch>& env, const std::vector<TagPair>& pairs,
                                        Str<Ch>& out, Vectors vectors = Vectors::Widest);

// Pairs of bytes that may begin an entry, sorted into eight buckets by the
// entry's first byte; a pair belongs to a bucket when its first byte is one
// of the bucket's first bytes and its second one of its second bytes. Each
// set is kept as two tables over the low and the high half of a byte, so a
// byte's buckets are found with two table lookups (sixteen bytes at once);
// that admits some pairs that begin no entry, never drops one that does.
struct PairClasses {
  alignas(16) std::array<std::uint8_t, 16> loFirst{}, hiFirst{}, loSecond{}, hiSecond{};

  void AddFirst(unsigned bucket, unsigned char b) {
    loFirst[b & 15] |= static_cast<std::uint8_t>(1u << bucket);
    hiFirst[b >> 4] |= static_cast<std::uint8_t>(1u << bucket);
  }
  void AddSecond(unsigned bucket, unsigned char b) {
    loSecond[b & 15] |= static_cast<std::uint8_t>(1u << bucket);
    hiSecond[b >> 4] |= static_cast<std::uint8_t>(1u << bucket);
  }
};

// Tells, for a list of entries, which ones ProcessTag may change a text for:
// an entry qualifies when a lower-case occurrence of it has a valid byte on
// each side (quotes are left out of this test, so it only means "maybe").
// Entries it cannot judge this way always qualify; empty ones never do.
template <class Ch>
class TagCandidateFinder {
 public:
  TagCandidateFinder(const PassEnv<Ch>& env, const std::vector<std::string_view>& entries,
                     Vectors vectors = Vectors::Widest);

  // Sets found[k] for each entry k not yet found that qualifies in the text.
  void Mark(const Str<Ch>& text, std::vector<bool>& found) const;
  // The same after a change to a text in which every entry not found had
  // been looked for: only the neighbourhoods of the edits are searched.
  void MarkAround(const Str<Ch>& text, const TextEdits& edits, std::vector<bool>& found) const;

 private:
  // Occurrences that begin in (begin, last] and end before `end`.
  struct Window {
    std::size_t begin;
    std::size_t end;
    std::size_t last;
  };
  void Scan(const Str<Ch>& text, const std::vector<Window>& windows, std::vector<bool>& found) const;

  // The lookup tables of a scan, kept for the next one while the entries
  // looked for are the same or fewer (a page's tag slots only ever find
  // more), so a scan near a few edits does not pay for making them.
  struct Lookup {
    static constexpr std::size_t kNone = ~std::size_t{0};
    bool built = false;
    std::vector<std::size_t> probes;  // the entries the tables were made for
    std::vector<std::size_t> slot;    // per entry, its place in probes, or kNone
    std::vector<bool> live;           // per probe, still in `first`
    std::vector<std::array<std::uint64_t, 256>> first, second;
    std::vector<std::uint64_t> pairs;  // may still hold retired entries' pairs
    ByteSet befores;
    bool fast = false;
    std::optional<PairClasses> pairClasses;  // where the processor has the instructions

    bool Live(std::size_t entry) const { return slot[entry] != kNone && live[slot[entry]]; }
    void Retire(std::size_t j, std::uint32_t firstLow) {
      live[j] = false;
      first[j / 64][firstLow] &= ~(std::uint64_t{1} << (j % 64));
    }
  };
  void BuildLookup(const std::vector<bool>& found) const;
  mutable Lookup lookup_;

  PassEnv<Ch> env_;
  Vectors vectors_;
  std::vector<Str<Ch>> low_;  // per entry, lower-cased
  std::vector<bool> always_;  // per entry, qualifies whatever the text
  // Per entry, the bytes its occurrences may begin with as they stand in
  // the text, and those that may follow (none listed for a one-byte entry).
  std::vector<std::string> firsts_;
  std::vector<std::string> seconds_;
};

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

// The three in one walk, each where asked: a line of spaces and tabs only is
// dropped, then the spaces and tabs at each end go, then an empty line is
// dropped. CollapseSpaces may come before the walk instead of between the
// first two: it leaves a line of spaces and tabs only as such (one space
// stays of every run), makes no other line one, and no such line holds a
// quote for it to count.
struct LineTidying {
  bool blank = false;  // RemoveBlankLines
  bool trim = false;   // TrimLines
  bool empty = false;  // RemoveEmptyLines
};
template <class Ch>
void TidyLines(const Str<Ch>& text, LineTidying tidying, Str<Ch>& out);

bool IsNum(std::string_view value);
bool Ishex(std::string_view value);

}  // namespace tersify::engine
