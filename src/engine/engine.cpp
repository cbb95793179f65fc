// The pass sequence of one document, its cancel checks and failure reports.
#include "engine/engine.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <exception>
#include <iterator>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "engine/passes.h"
#include "platform/memory.h"

namespace tersify {
namespace {

using engine::PassEnv;
using engine::ScriptBlocks;
using engine::Str;
using engine::Wide;

constexpr Wide kWideMarkA = 0x100;
constexpr Wide kWideMarkB = 0x101;
constexpr Wide kWideScriptBase = 0x10000;
constexpr Wide kWidePreBase = 0x40000000;

// How a failing pass is reported.
enum class Guard { Error, ErrorIfInfo, Silent, Fatal };

// Plain bytes: printable ASCII, tab, CR and LF, the bulk of most pages.
bool IsPlainByte(unsigned b) { return (b >= 0x20 && b < 0x7F) || b == 9 || b == 10 || b == 13; }

// Sets seen[b] for every byte value b of the text; with `skipPlain` only the
// values that are not plain are sure to be set, which lets sixteen plain bytes
// at a time be passed over.
void MarkSeenBytes(std::string_view text, std::array<bool, 256>& seen, bool skipPlain) {
  const char* p = text.data();
  const char* const end = p + text.size();
#ifdef TERSIFY_ENGINE_SSE2
  if (skipPlain) {
    const __m128i below = _mm_set1_epi8(0x1F), above = _mm_set1_epi8(0x7F);
    const __m128i tab = _mm_set1_epi8(9), lf = _mm_set1_epi8(10), cr = _mm_set1_epi8(13);
    for (; end - p >= 16; p += 16) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      // As signed bytes, everything from 0x80 up is below 0x1F.
      __m128i plain = _mm_and_si128(_mm_cmpgt_epi8(x, below), _mm_cmplt_epi8(x, above));
      plain = _mm_or_si128(
          plain, _mm_or_si128(_mm_cmpeq_epi8(x, tab), _mm_or_si128(_mm_cmpeq_epi8(x, lf), _mm_cmpeq_epi8(x, cr))));
      if (_mm_movemask_epi8(plain) == 0xFFFF) continue;
      for (int k = 0; k < 16; ++k) seen[static_cast<unsigned char>(p[k])] = true;
    }
  }
#endif
  for (; p < end; ++p) seen[static_cast<unsigned char>(*p)] = true;
}

// Picks four byte values that neither the document nor a tag table holds and
// that lower-case to themselves; they become the markers of the passes.
std::optional<std::array<char, 4>> FreeMarkerBytes(std::string_view text, const EngineContext& ctx,
                                                   const LowerTable& lower) {
  // Candidates are never plain, so plain bytes of the document only matter
  // when the table lower-cases one of them to something that is not plain.
  bool skipPlain = true;
  for (unsigned b = 0; b < 256; ++b)
    if (IsPlainByte(b) && !IsPlainByte(lower[b])) skipPlain = false;
  std::array<bool, 256> seen{};
  MarkSeenBytes(text, seen, skipPlain);
  for (const auto& e : ctx.removal) MarkSeenBytes(e.tag, seen, false);
  for (const auto& e : ctx.replacement) {
    MarkSeenBytes(e.from, seen, false);
    MarkSeenBytes(e.to, seen, false);
  }
  std::array<bool, 256> used{};
  for (std::size_t u = 0; u < 256; ++u)
    if (seen[u]) used[u] = used[lower[u]] = true;
  std::array<char, 4> found{};
  std::size_t count = 0;
  auto consider = [&](int b) {
    if (count < found.size() && !used[static_cast<std::size_t>(b)] && lower[static_cast<std::size_t>(b)] == b)
      found[count++] = static_cast<char>(static_cast<unsigned char>(b));
  };
  for (int b = 0x80; b <= 0xFF; ++b) consider(b);
  for (int b = 1; b < 0x20; ++b)
    if (b != 8 && b != 9 && b != 10 && b != 13) consider(b);
  consider(0x7F);
  if (count < found.size()) return std::nullopt;
  return found;
}

// One document on its way through the sequence, as symbols of type Ch.
template <class Ch>
struct Work {
  Str<Ch> text;
  // A second page-sized buffer: a pass that cannot work in place writes into
  // it and the two are swapped, so their capacity serves the whole run.
  Str<Ch> spare;
  ScriptBlocks<Ch> store;
  ScriptBlocks<Ch> pres;  // the preformatted blocks
  PassEnv<Ch> env;
  // As bytes: the script and the preformatted markers in the text. Only a
  // deleting pass may change the counts, and when it does the run goes on as
  // wide symbols, so they stay as the cutting left them.
  std::size_t markers = 0;
  std::size_t preMarkers = 0;
  // As bytes, before CutScripts: the text it reads when not `text` (the
  // caller's, which must stay as it was unless the run is Done).
  const std::string* source = nullptr;

  const Str<Ch>& Input() const {
    if constexpr (sizeof(Ch) == 1)
      if (source) return *source;
    return text;
  }
};

// The symbols of a byte text, each marker numbered by its place in the
// document: the script markers inside a preformatted block come where the
// block stands.
void WidenInto(const Work<char>& w, const std::string& text, Str<Wide>& to, Work<Wide>& out, Wide& nextScript) {
  to.reserve(to.size() + text.size());
  for (char c : text) {
    if (c == w.env.scriptMarker) {
      to.push_back(nextScript++);
    } else if (w.env.IsPreMarker(c) && out.pres.size() < w.pres.size()) {
      const std::size_t k = out.pres.size();
      to.push_back(kWidePreBase + static_cast<Wide>(k));
      out.pres.emplace_back();
      Str<Wide> block;
      WidenInto(w, w.pres[k], block, out, nextScript);
      out.pres[k] = std::move(block);
    } else {
      to.push_back(static_cast<Wide>(static_cast<unsigned char>(c)));
    }
  }
}

Work<Wide> Widen(const Work<char>& w, const std::string& text) {
  Work<Wide> out;
  out.env.lower = w.env.lower;
  out.env.settings = w.env.settings;
  out.env.markA = kWideMarkA;
  out.env.markB = kWideMarkB;
  out.env.scriptMarker = kWideScriptBase;
  out.env.preMarker = kWidePreBase;
  Wide next = kWideScriptBase;
  WidenInto(w, text, out.text, out, next);
  for (const auto& block : w.store) {
    Str<Wide> b;
    b.reserve(block.size());
    for (char c : block) b.push_back(static_cast<Wide>(static_cast<unsigned char>(c)));
    out.store.push_back(std::move(b));
  }
  return out;
}

std::string Narrow(const Str<Wide>& text) {
  std::string out;
  out.reserve(text.size());
  for (Wide c : text) out.push_back(static_cast<char>(static_cast<unsigned char>(c & 0xFF)));
  return out;
}

// The middle of the sequence, from TightenTagSpaces up to the blocks' return,
// goes over a large page in pieces of about this size, each small enough to
// stay in the processor's cache through all its passes, and shared among the
// run's threads. Below kLeastPieces pieces a page mostly fits the cache as it
// is, and a second thread costs about what it saves.
constexpr std::size_t kPieceBytes = std::size_t{512} << 10;
constexpr std::size_t kLeastPieces = 8;

bool IsWordByte(char c) {
  const auto b = static_cast<unsigned char>(c);
  return (b >= '0' && b <= '9') || ((b | 0x20) >= 'a' && (b | 0x20) <= 'z');
}

// Where a page may be cut into pieces that the middle passes change one by
// one as they change the whole page: before the last letter of a word of two
// or more letters and digits that follows a space, a line break or ">" and is
// followed by a space, outside markup (the nearest bracket before it is a
// ">", or there is none, with no quote after it) and after an even number of
// quotes. No pass reads across such a place: each one's tests there look at
// letters only, and its state there is the state at the start of a page. The
// walks that could reach across (back to a "<" or a space, on to a ">") tell
// when they meet the end of a piece (PassEnv::edgeMet), and the pieces are
// checked after every pass that may move a quote or a bracket.
std::vector<std::size_t> PieceSeams(const std::string& t, std::size_t piece) {
  std::vector<std::size_t> seams;
  const char* const d = t.data();
  const std::size_t n = t.size();
  bool odd = false;
  std::size_t counted = 0;  // quotes before this place are in `odd`
  for (std::size_t from = piece; from + piece / 2 <= n;) {
    const std::size_t limit = from + piece / 2;
    std::size_t found = 0;
    for (std::size_t s = from; s < limit && found == 0;) {
      const void* space = std::memchr(d + s, ' ', limit - s);
      if (space == nullptr) break;
      const std::size_t we = static_cast<std::size_t>(static_cast<const char*>(space) - d);
      s = we + 1;
      std::size_t ws = we;
      while (ws > 0 && we - ws < 64 && IsWordByte(d[ws - 1])) --ws;
      if (we - ws < 2 || we - ws >= 64 || ws == 0) continue;
      if (d[ws - 1] != ' ' && d[ws - 1] != '\n' && d[ws - 1] != '>') continue;
      bool outside = true;
      for (std::size_t i = ws; i > 0; --i) {
        const char c = d[i - 1];
        if (c == '>') break;
        if (c == '<' || c == '"' || ws - i >= 4096) {
          outside = false;
          break;
        }
      }
      if (!outside) continue;
      const std::size_t b = we - 1;
      odd ^= (engine::CountOf(d + counted, d + b, '"') & 1) != 0;
      counted = b;
      if (!odd) found = b;
    }
    if (found == 0) {
      from = limit;
      continue;
    }
    seams.push_back(found);
    from = found + piece;
  }
  return seams;
}

// Whether a piece of a page ends where the next can start as a page of its
// own: after a ">" or no bracket at all, with no quote after it.
bool EndsOutsideMarkup(const std::string& t) {
  for (std::size_t i = t.size(); i > 0; --i) {
    const char c = t[i - 1];
    if (c == '>') return true;
    if (c == '<' || c == '"') return false;
  }
  return true;
}

// Whether a tag slot's entry comes back as it was where the tag pass
// disarms an occurrence it does not take: across a cut the pieces do not see
// an occurrence the whole page shows, so they must not differ by that.
bool EntryComesBack(const std::string& entry, const LowerTable& lower) {
  if (entry.empty()) return true;
  const unsigned char low = lower[static_cast<unsigned char>(entry[0])];
  int capitals = 0;
  for (std::size_t b = 0; b < 256; ++b) capitals += lower[b] == low && b != low ? 1 : 0;
  return capitals <= 1;
}

class Sequence;

// One step of a run: a row of the pass table, with the tag pass's texts.
struct Slot {
  std::size_t row;
  std::string entry;        // the tag pass only
  std::string replacement;  // the tag pass only
};

// How a step ended: done, or as bytes it met a case that needs one marker per
// script block, and left its input as it was for the run to go on from it as
// wide symbols.
enum class StepEnd { Done, NeedsWideSymbols };

// Every pass is called the same way: the sequence, its slot, the document.
template <class Ch>
using PassFn = StepEnd (*)(Sequence&, const Slot&, Work<Ch>&);

// The rows whose line passes may run as one walk over the lines (see
// engine::TidyLines), with space collapsing before it and the cancel check
// between them.
enum class Tidy { No, Blank, Spaces, Cancel, Trim, Empty };

struct PassRow {
  PassInfo info;
  PassFn<char> bytes;
  PassFn<Wide> wide;
  Tidy tidy = Tidy::No;
};

// The script markers inside the preformatted blocks, which are out of the
// text until the blocks come back.
std::size_t ScriptMarkersIn(const ScriptBlocks<char>& pres, const PassEnv<char>& env) {
  std::size_t count = 0;
  for (const std::string& block : pres)
    count += engine::CountOf(block.data(), block.data() + block.size(), env.scriptMarker);
  return count;
}

// Whether "!--" occurs in the text.
template <class Ch>
bool HasCommentStart(const Str<Ch>& text) {
  engine::ByteSet bang, dash;
  bang.add('!');
  dash.add('-');
  const engine::PairFinder bangDash(bang, dash);
  const Ch* end = text.data() + text.size();
  for (const Ch* p = bangDash.find(text.data(), end); p < end; p = bangDash.find(p + 1, end))
    if (end - p >= 3 && engine::U(p[2]) == '-') return true;
  return false;
}

template <class Ch>
void Release(Str<Ch>& s) {
  Str<Ch>().swap(s);
}

// A pass that may delete script or preformatted markers: as bytes, losing
// one means the blocks can no longer be matched to their markers by order
// alone. The pass writes into the spare buffer, so the text is still there
// to go on from as wide symbols; it counts the markers it deletes.
template <class Ch, class F>
StepEnd Deleting(Work<Ch>& w, F&& pass) {
  std::size_t dropped = 0;
  pass(std::as_const(w.text), w.spare, sizeof(Ch) == 1 && w.markers + w.preMarkers != 0 ? &dropped : nullptr);
  if (dropped != 0) return StepEnd::NeedsWideSymbols;
  w.text.swap(w.spare);
  return StepEnd::Done;
}

// A pass that writes its text into the spare buffer.
template <class Ch, class F>
void Rewriting(Work<Ch>& w, F&& pass) {
  pass(std::as_const(w.text), w.spare);
  w.text.swap(w.spare);
}

template <class Ch>
StepEnd CutScriptsStep(Sequence&, const Slot&, Work<Ch>& w) {
  // It reads the text and writes into the spare buffer: the text must
  // outlast a failure and, as bytes, a block that needs markers of its own.
  ScriptBlocks<Ch> store;
  // The spare buffer lives as long as the run and is swept by most passes:
  // it is mapped in one go (see MapForWriting).
  w.spare.reserve(w.Input().size());
  platform::MapForWriting(w.spare.data(), w.spare.capacity() * sizeof(Ch));
  if (!engine::CutScripts<Ch>(w.Input(), w.env, store, w.spare)) return StepEnd::NeedsWideSymbols;
  w.text.swap(w.spare);
  w.store = std::move(store);
  if constexpr (sizeof(Ch) == 1) {
    w.source = nullptr;
    // The marker byte occurs nowhere in the page, and every stored block left one.
    w.markers = w.store.size();
  }
  return StepEnd::Done;
}

template <class Ch>
StepEnd CutPreformattedStep(Sequence&, const Slot&, Work<Ch>& w) {
  ScriptBlocks<Ch> pres;
  if (!engine::CutPreformatted<Ch>(w.text, w.env, pres, w.spare)) return StepEnd::Done;
  w.text.swap(w.spare);
  w.pres = std::move(pres);
  if constexpr (sizeof(Ch) == 1) {
    // Script markers inside the blocks are out of the text until they come back.
    w.markers -= ScriptMarkersIn(w.pres, w.env);
    w.preMarkers = w.pres.size();
  }
  return StepEnd::Done;
}

template <class Ch>
StepEnd InsertPreformattedStep(Sequence&, const Slot&, Work<Ch>& w) {
  if (w.pres.empty()) return StepEnd::Done;
  Rewriting(w, [&](const Str<Ch>& t, Str<Ch>& out) { engine::InsertPreformatted<Ch>(t, w.env, w.pres, out); });
  w.pres.clear();
  w.preMarkers = 0;
  return StepEnd::Done;
}

template <class Ch>
StepEnd InsertScriptsStep(Sequence&, const Slot&, Work<Ch>& w) {
  // As bytes a text without blocks holds no marker: it stays as it is.
  if constexpr (sizeof(Ch) == 1)
    if (w.store.empty()) return StepEnd::Done;
  Rewriting(w, [&](const Str<Ch>& t, Str<Ch>& out) { engine::InsertScripts<Ch>(t, w.env, w.store, out); });
  w.store.clear();
  w.markers = 0;
  return StepEnd::Done;
}

template <class Ch>
StepEnd RemoveCommentsStep(Sequence&, const Slot&, Work<Ch>& w) {
  if (!HasCommentStart(w.text)) return StepEnd::Done;  // nothing for it to change
  return Deleting(w, [&](const Str<Ch>& t, Str<Ch>& out, std::size_t* dropped) {
    engine::RemoveComments<Ch>(t, w.env, out, dropped);
  });
}

template <class Ch>
StepEnd RemoveQuotesStep(Sequence&, const Slot&, Work<Ch>& w) {
  return Deleting(w, [&](const Str<Ch>& t, Str<Ch>& out, std::size_t* dropped) {
    engine::RemoveQuotes<Ch>(t, w.env, out, dropped);
  });
}

// The passes that work on the text in place.
template <class Ch, void (*Pass)(Str<Ch>&, const PassEnv<Ch>&)>
StepEnd InPlaceStep(Sequence&, const Slot&, Work<Ch>& w) {
  Pass(w.text, w.env);
  return StepEnd::Done;
}

// The passes that write their text into the spare buffer.
template <class Ch, void (*Pass)(const Str<Ch>&, const PassEnv<Ch>&, Str<Ch>&)>
StepEnd RewritingStep(Sequence&, const Slot&, Work<Ch>& w) {
  Rewriting(w, [&](const Str<Ch>& t, Str<Ch>& out) { Pass(t, w.env, out); });
  return StepEnd::Done;
}

template <class Ch>
StepEnd TagStep(Sequence& sequence, const Slot& slot, Work<Ch>& w);

template <class Ch>
StepEnd CancelStep(Sequence&, const Slot&, Work<Ch>&) {
  return StepEnd::Done;
}

// The sequence, in the order it runs, with the option that switches each
// row and how its failure is reported.
constexpr SwitchKey kAlways{};
#define TERSIFY_STEP(fn) &fn<char>, &fn<Wide>
#define TERSIFY_IN_PLACE(pass) &InPlaceStep<char, engine::pass<char>>, &InPlaceStep<Wide, engine::pass<Wide>>
#define TERSIFY_REWRITING(pass) &RewritingStep<char, engine::pass<char>>, &RewritingStep<Wide, engine::pass<Wide>>
const PassRow kPassRows[] = {
    {{"CutScripts", StepKind::Pass, kAlways, kAlways, OnFailure::ErrorIfInfo, "const_script_error"},
     TERSIFY_STEP(CutScriptsStep)},
    {{"CutPreformatted", StepKind::Pass, kAlways, kAlways, OnFailure::Fatal, ""}, TERSIFY_STEP(CutPreformattedStep)},
    {{"GlueLines", StepKind::Pass, "cbDelCRLF", kAlways, OnFailure::Silent, ""}, TERSIFY_IN_PLACE(GlueLines)},
    {{"RemoveComments", StepKind::Pass, "cbDelComments", kAlways, OnFailure::Error, "const_comm_error"},
     TERSIFY_STEP(RemoveCommentsStep)},
    {{"TightenTagSpaces", StepKind::Pass, kAlways, kAlways, OnFailure::Error, "const_spaces_error"},
     TERSIFY_IN_PLACE(TightenTagSpaces)},
    {{"RemoveQuotes", StepKind::Pass, "cbDelKav", kAlways, OnFailure::Error, "const_delkav_error"},
     TERSIFY_STEP(RemoveQuotesStep)},
    {{"CheckCancel", StepKind::CancelCheck, kAlways, kAlways, OnFailure::Silent, ""}, TERSIFY_STEP(CancelStep)},
    {{"ProcessTag", StepKind::TagRemoval, kAlways, kAlways, OnFailure::Error, "const_deltag_error"},
     TERSIFY_STEP(TagStep)},
    {{"CheckCancel", StepKind::CancelCheck, kAlways, kAlways, OnFailure::Silent, ""}, TERSIFY_STEP(CancelStep)},
    {{"ProcessTag", StepKind::TagReplacement, kAlways, kAlways, OnFailure::Error, "const_deltag_error"},
     TERSIFY_STEP(TagStep)},
    {{"CheckCancel", StepKind::CancelCheck, kAlways, kAlways, OnFailure::Silent, ""}, TERSIFY_STEP(CancelStep)},
    {{"CollapseNbsp", StepKind::Pass, "cbReplaceDoubleNbsp", kAlways, OnFailure::Error, "const_nbsp_error"},
     TERSIFY_IN_PLACE(CollapseNbsp)},
    {{"RemoveAllTabs", StepKind::Pass, "cbDelAllTabs", kAlways, OnFailure::Fatal, ""}, TERSIFY_IN_PLACE(RemoveAllTabs)},
    {{"RemoveBlankLines", StepKind::Pass, "cbDelTabLine", kAlways, OnFailure::Silent, ""},
     TERSIFY_REWRITING(RemoveBlankLines),
     Tidy::Blank},
    {{"CollapseSpaces", StepKind::Pass, "cbReplaceDoubleSpaces", kAlways, OnFailure::Error, "const_doubles"},
     TERSIFY_IN_PLACE(CollapseSpaces),
     Tidy::Spaces},
    {{"CheckCancel", StepKind::CancelCheck, kAlways, kAlways, OnFailure::Silent, ""},
     TERSIFY_STEP(CancelStep),
     Tidy::Cancel},
    {{"TrimLines", StepKind::Pass, "cbDelBegEndSpace", kAlways, OnFailure::Fatal, ""},
     TERSIFY_REWRITING(TrimLines),
     Tidy::Trim},
    // Glued text has no empty lines left.
    {{"RemoveEmptyLines", StepKind::Pass, "cbDelEmptyLine", "cbDelCRLF", OnFailure::Silent, ""},
     TERSIFY_REWRITING(RemoveEmptyLines),
     Tidy::Empty},
    {{"JoinTags", StepKind::Pass, kAlways, kAlways, OnFailure::Error, "const_spaces_error"},
     TERSIFY_IN_PLACE(JoinTags)},
    {{"InsertPreformatted", StepKind::Pass, kAlways, kAlways, OnFailure::Fatal, ""},
     TERSIFY_STEP(InsertPreformattedStep)},
    {{"InsertScripts", StepKind::Pass, kAlways, kAlways, OnFailure::Error, "const_scripts_insert_error"},
     TERSIFY_STEP(InsertScriptsStep)},
};
#undef TERSIFY_STEP
#undef TERSIFY_IN_PLACE
#undef TERSIFY_REWRITING

const std::array<PassInfo, std::size(kPassRows)> kPassInfos = [] {
  std::array<PassInfo, std::size(kPassRows)> infos{};
  for (std::size_t i = 0; i < infos.size(); ++i) infos[i] = kPassRows[i].info;
  return infos;
}();

// The slots of one run: the table's rows that are switched on, the tag rows
// once for every ticked entry.
std::vector<Slot> PlanSequence(const EngineContext& ctx) {
  std::vector<Slot> plan;
  for (std::size_t row = 0; row < std::size(kPassRows); ++row) {
    const PassInfo& info = kPassRows[row].info;
    if (!Switched(info, ctx.options)) continue;
    switch (info.kind) {
      case StepKind::Pass:
      case StepKind::CancelCheck:
        plan.push_back({row, {}, {}});
        break;
      case StepKind::TagRemoval:
        for (const auto& e : ctx.removal) {
          if (!e.ticked) continue;
          plan.push_back({row, e.tag, {}});
          // The same entry once more without its quotes: name="generator"
          // then also takes tags that write the value without them.
          if (e.tag.compare(0, 6, "name=\"") == 0) {
            std::string bare;
            for (char c : e.tag)
              if (c != '"') bare.push_back(c);
            plan.push_back({row, bare, {}});
          }
        }
        break;
      case StepKind::TagReplacement:
        for (const auto& e : ctx.replacement) {
          if (!e.ticked) continue;
          plan.push_back({row, e.from, e.to});
          if (ctx.options["cbClosedTagsAlso"]) plan.push_back({row, "/" + e.from, "/" + e.to});
        }
        break;
    }
  }
  return plan;
}

class Sequence {
 public:
  Sequence(const EngineContext& ctx, const std::function<void(std::string_view)>& faultHook, bool hookMayFail,
           std::size_t pieceBytes = 0)
      : ctx_(ctx),
        faultHook_(faultHook),
        hookMayFail_(hookMayFail),
        plan_(PlanSequence(ctx)),
        pieceBytes_(pieceBytes != 0 ? pieceBytes : kPieceBytes),
        piecesOnOneThread_(pieceBytes != 0) {}

  // The sequence of one piece of a page, with the page's plan: the caller's
  // tag tables, which it may change while it lets events through at a cancel
  // check, are not read off its thread.
  Sequence(const EngineContext& ctx, const std::function<void(std::string_view)>& noHook, std::vector<Slot> plan)
      : ctx_(ctx),
        faultHook_(noHook),
        hookMayFail_(false),
        plan_(std::move(plan)),
        pieceBytes_(kPieceBytes),
        piecesOnOneThread_(false) {}

  // With `keepText` the caller's text stays as it is unless the answer is
  // Done; otherwise it is taken over as working space.
  OptimizeResult Run(std::string& text, bool keepText, const LowerTable& lower) {
    if (auto bytes = FreeMarkerBytes(text, ctx_, lower)) {
      Work<char> w;
      if (keepText)
        w.source = &text;
      else
        w.text = std::move(text);
      w.env = {&lower, &ctx_.options, (*bytes)[0], (*bytes)[1], (*bytes)[2], (*bytes)[3]};
      return RunFrom(0, w, text);
    }
    Work<Wide> w;
    w.env = {&lower, &ctx_.options, kWideMarkA, kWideMarkB, kWideScriptBase, kWidePreBase};
    w.text.reserve(text.size());
    for (char c : text) w.text.push_back(static_cast<Wide>(static_cast<unsigned char>(c)));
    if (!keepText) Release(text);
    return RunFrom(0, w, text);
  }

  // Most entries do not occur in a page: one scan finds the candidates for
  // all the tag slots, and after a call that changes the text only the
  // neighbourhoods of its changes are searched again (a change can make an
  // occurrence of a later entry there, nowhere else).
  template <class Ch>
  StepEnd RunTagSlot(const Slot& slot, Work<Ch>& w) {
    engine::TagCandidateFinder<Ch>& finder = Finder(w);
    const std::size_t tag = tagIndex_[current_];
    if (current_ < groupEnd_) return StepEnd::Done;  // done with its group
    if (kPassRows[slot.row].info.kind == StepKind::TagReplacement && ReplaceGroup(w)) return StepEnd::Done;
    if (!candidatesKnown_) {
      finder.Mark(w.text, found_);
      candidatesKnown_ = true;
    }
    const bool maybe = found_[tag];
    found_[tag] = true;
    if (!maybe) return StepEnd::Done;
    engine::TextEdits edits;
    candidatesKnown_ = false;  // until the edits have been searched
    // The call reads the text and writes into the spare buffer: a failure,
    // or as bytes a removed script marker (the blocks could no longer be
    // matched to their markers by order alone: the slot is redone on wide
    // symbols), leaves the text as it was.
    if (!engine::ProcessTagInto<Ch>(w.text, w.env, slot.entry, slot.replacement, &edits, w.spare)) {
      candidatesKnown_ = true;  // nothing changed
      return StepEnd::Done;
    }
    if constexpr (sizeof(Ch) == 1)
      if (edits.scriptMarkerRemoved && (w.markers != 0 || w.preMarkers != 0)) {
        candidatesKnown_ = true;  // the text is left as it was
        return StepEnd::NeedsWideSymbols;
      }
    w.text.swap(w.spare);
    finder.MarkAround(w.text, edits, found_);
    candidatesKnown_ = true;
    return StepEnd::Done;
  }

 private:
  // The replacement slots from the current one to the end of their run, in
  // one sweep where the group allows it (see ReplaceTagsTogether). Not under
  // a fault hook, which fails slots one by one; a failure of the sweep, which
  // leaves the text as it was, lets the slots run one by one and report
  // their own failures.
  template <class Ch>
  bool ReplaceGroup(Work<Ch>& w) {
    if (hookMayFail_) return false;
    std::size_t end = current_;
    const std::vector<engine::TagPair> pairs = ReplacementRun(end);
    std::optional<bool> changed;
    try {
      changed = engine::ReplaceTagsTogether<Ch>(w.text, w.env, pairs, w.spare);
    } catch (const std::exception&) {
      return false;
    }
    if (!changed) return false;
    if (*changed) {
      w.text.swap(w.spare);
      candidatesKnown_ = false;
    }
    for (std::size_t i = current_; i < end; ++i) found_[tagIndex_[i]] = true;
    groupEnd_ = end;
    return true;
  }

  // The pairs of the replacement slots from `end` on, up to the first slot
  // of another kind, where `end` is left.
  std::vector<engine::TagPair> ReplacementRun(std::size_t& end) const {
    std::vector<engine::TagPair> pairs;
    for (; end < plan_.size() && kPassRows[plan_[end].row].info.kind == StepKind::TagReplacement; ++end)
      pairs.push_back({plan_[end].entry, plan_[end].replacement});
    return pairs;
  }

  static bool IsTagSlot(const Slot& slot) {
    const StepKind kind = kPassRows[slot.row].info.kind;
    return kind == StepKind::TagRemoval || kind == StepKind::TagReplacement;
  }

  // Runs the slots from `first` on; a byte document that meets a case needing
  // one marker per script block goes on from that slot as wide symbols.
  template <class Ch>
  OptimizeResult RunFrom(std::size_t first, Work<Ch>& w, std::string& result) {
    for (std::size_t i = first; i < plan_.size(); ++i) {
      const Slot& slot = plan_[i];
      current_ = i;
      if (kPassRows[slot.row].info.kind == StepKind::CancelCheck) {
        if (ctx_.checkCancel && ctx_.checkCancel()) return OptimizeResult::Cancelled;
        continue;
      }
      if constexpr (sizeof(Ch) == 1)
        if (const std::size_t end = PiecesEnd(i, w); end > i) {
          const Pieces pieces = RunInPieces(i, end, w);
          if (pieces == Pieces::Cancelled) return OptimizeResult::Cancelled;
          if (pieces == Pieces::Done) {
            i = end - 1;
            continue;
          }
        }
      if (const std::size_t end = TidyEnd(i); end > i) {
        const Together together = TidyTogether(i, end, w);
        if (together == Together::Cancelled) return OptimizeResult::Cancelled;
        if (together == Together::Done) {
          i = end - 1;
          continue;
        }
      }
      if constexpr (sizeof(Ch) == 1)
        if (InsertTogether(i, w)) {
          ++i;
          continue;
        }
      const Next next = Guarded(slot, w);
      if (next == Next::Stop) return OptimizeResult::Failed;
      if constexpr (sizeof(Ch) == 1) {
        if (next == Next::Widen) {
          ForgetCandidates(i);
          // The pass that needs them left its input as it was.
          Work<Wide> wide = Widen(w, w.Input());
          Release(w.text);
          Release(w.spare);
          w.source = nullptr;
          return RunFrom(i, wide, result);
        }
      }
    }
    if constexpr (sizeof(Ch) == 1)
      result = std::move(w.text);
    else
      result = Narrow(w.text);
    return OptimizeResult::Done;
  }

  // The end of the slots that go over the page in pieces when they begin at
  // `first`, or `first`: for a large byte page, with no hook to see the
  // passes one by one, and a second thread to share the pieces (on one the
  // pieces' copies cost more than the cache saves).
  std::size_t PiecesEnd(std::size_t first, const Work<char>& w) const {
    if ((ctx_.threads < 2 && !piecesOnOneThread_) || faultHook_ || w.text.size() < kLeastPieces * pieceBytes_ ||
        kPassRows[plan_[first].row].info.name != "TightenTagSpaces")
      return first;
    for (const Slot& slot : plan_)
      if (IsTagSlot(slot) && !EntryComesBack(slot.entry, *w.env.lower)) return first;
    std::size_t end = first;
    while (end < plan_.size() && kPassRows[plan_[end].row].info.name != "InsertPreformatted") ++end;
    return end;
  }

  enum class Pieces { Done, Cancelled, Whole };

  // The slots [first, last) over pieces of the page (see PieceSeams), on up
  // to ctx.threads threads, each piece with a sequence of its own; the
  // caller's thread makes the cancel checks between its pieces. Whole, with
  // the text as it was, when a piece could not go the way the page goes:
  // the slots then run over the whole page.
  Pieces RunInPieces(std::size_t first, std::size_t last, Work<char>& w) {
    const std::vector<std::size_t> seams = PieceSeams(w.text, pieceBytes_);
    if (seams.empty()) return Pieces::Whole;
    const std::size_t count = seams.size() + 1;
    auto begin = [&](std::size_t k) { return k == 0 ? 0 : seams[k - 1]; };
    auto end = [&](std::size_t k) { return k + 1 < count ? seams[k] : w.text.size(); };
    // A piece's result goes where the piece stood, in the spare buffer, or
    // beside it when it grew.
    struct Result {
      bool done = false;
      std::size_t size = 0;
      std::string grown;
    };
    std::vector<Result> results(count);
    w.spare.resize(w.text.size());
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    bool cancelled = false;
    const std::function<void(std::string_view)> noHook;
    auto work = [&](bool checksCancel) {
      try {
        Work<char> piece;
        bool edge = false;
        piece.env = w.env;
        piece.env.edgeMet = &edge;
        piece.markers = w.markers;
        piece.preMarkers = w.preMarkers;
        for (std::size_t k = next++; k < count && !stop; k = next++) {
          piece.text.assign(w.text, begin(k), end(k) - begin(k));
          edge = false;
          PassFailures failures;
          const EngineContext pc{ctx_.options, ctx_.removal, ctx_.replacement, failures, {}, 1};
          Sequence sequence(pc, noHook, plan_);
          if (!sequence.RunPiece(first, last, piece, edge, k == 0, k + 1 == count)) {
            stop = true;
            break;
          }
          Result& r = results[k];
          r.size = piece.text.size();
          if (r.size <= end(k) - begin(k))
            std::memcpy(w.spare.data() + begin(k), piece.text.data(), r.size);
          else
            r.grown = std::move(piece.text);
          r.done = true;
          if (checksCancel && ctx_.checkCancel && ctx_.checkCancel()) {
            cancelled = true;
            stop = true;
          }
        }
      } catch (const std::exception&) {
        stop = true;
      }
    };
    std::vector<std::thread> helpers;
    try {
      for (unsigned t = 1; t < ctx_.threads && t < count; ++t) helpers.emplace_back(work, false);
    } catch (const std::system_error&) {
      // No more threads to be had: the pieces go to those there are.
    }
    work(true);
    for (std::thread& t : helpers) t.join();
    if (cancelled) return Pieces::Cancelled;
    bool grew = false;
    for (const Result& r : results) {
      if (!r.done) return Pieces::Whole;
      grew = grew || !r.grown.empty();
    }
    // The results in order, as one text.
    if (!grew) {
      std::size_t to = 0;
      for (std::size_t k = 0; k < count; ++k) {
        std::memmove(w.spare.data() + to, w.spare.data() + begin(k), results[k].size);
        to += results[k].size;
      }
      w.spare.resize(to);
      w.text.swap(w.spare);
    } else {
      w.text.clear();
      for (std::size_t k = 0; k < count; ++k)
        w.text.append(results[k].grown.empty() ? w.spare.data() + begin(k) : results[k].grown.data(), results[k].size);
    }
    return Pieces::Done;
  }

  // The slots [first, last) over one piece of a page. False where the piece
  // could go another way than the page: a pass failed, a walk met the end
  // of the piece, or the piece no longer ends where the next may begin.
  bool RunPiece(std::size_t first, std::size_t last, Work<char>& w, const bool& edge, bool firstPiece, bool lastPiece) {
    for (std::size_t i = first; i < last; ++i) {
      const PassRow& row = kPassRows[plan_[i].row];
      current_ = i;
      if (row.info.kind == StepKind::CancelCheck) continue;
      const std::size_t before = w.text.size();
      std::size_t end = TidyEnd(i);
      if (end > i) {
        if (TidyTogether(i, end, w) != Together::Done) return false;
      } else {
        end = i + 1;
        if (Guarded(plan_[i], w) != Next::Go) return false;
      }
      if (threw_ || edge || ctx_.failures.size() != 0 || w.text.empty()) return false;
      bool lines = false;
      for (std::size_t k = i; k < end; ++k) {
        const Tidy t = kPassRows[plan_[k].row].tidy;
        lines = lines || t == Tidy::Blank || t == Tidy::Trim || t == Tidy::Empty;
      }
      // The line passes end every line with CR LF: a piece that ends inside
      // a line (before a letter of its last word) does not end it there.
      if (lines && !firstPiece && !IsWordByte(w.text.front())) return false;
      if (lines && !lastPiece) {
        const std::size_t n = w.text.size();
        if (n < 3 || w.text[n - 2] != '\r' || w.text[n - 1] != '\n' || !IsWordByte(w.text[n - 3])) return false;
        w.text.resize(n - 2);
      }
      i = end - 1;
      if (lastPiece) continue;
      if (!EndsOutsideMarkup(w.text)) return false;
      // Quote removal may drop an odd number of quotes (with an empty value's
      // attribute), a tag entry may take some away or bring some in: the next
      // piece then starts inside a quote.
      const Slot& slot = plan_[i];
      const bool quotesMayMove =
          row.info.name == "RemoveQuotes" ||
          (IsTagSlot(slot) && (w.text.size() != before || slot.entry.find('"') != std::string::npos ||
                               slot.replacement.find('"') != std::string::npos));
      if (quotesMayMove && (engine::CountOf(w.text.data(), w.text.data() + w.text.size(), '"') & 1) != 0) return false;
    }
    return true;
  }

  // The end of the run of line-tidying slots from `first` on when two or
  // more of them walk over the lines, or `first`; with no hook to see the
  // passes one by one.
  std::size_t TidyEnd(std::size_t first) const {
    std::size_t end = first;
    int walks = 0;
    if (!faultHook_)
      for (; end < plan_.size() && kPassRows[plan_[end].row].tidy != Tidy::No; ++end) {
        const Tidy t = kPassRows[plan_[end].row].tidy;
        walks += t == Tidy::Blank || t == Tidy::Trim || t == Tidy::Empty ? 1 : 0;
      }
    return walks >= 2 ? end : first;
  }

  enum class Together { Done, Cancelled, OneByOne };

  // The slots [first, end) in one walk over the lines: space collapsing and
  // the cancel check first, then the line passes together. A failure leaves
  // the lines as they were for the slots to run one by one (collapsing the
  // spaces again changes nothing).
  template <class Ch>
  Together TidyTogether(std::size_t first, std::size_t end, Work<Ch>& w) {
    engine::LineTidying tidying;
    for (std::size_t i = first; i < end; ++i) {
      const PassRow& row = kPassRows[plan_[i].row];
      switch (row.tidy) {
        case Tidy::Spaces:
          try {
            engine::CollapseSpaces<Ch>(w.text, w.env);
          } catch (const std::exception&) {
            return Together::OneByOne;
          }
          break;
        case Tidy::Cancel:
          if (ctx_.checkCancel && ctx_.checkCancel()) return Together::Cancelled;
          break;
        case Tidy::Blank:
          tidying.blank = true;
          break;
        case Tidy::Trim:
          tidying.trim = true;
          break;
        case Tidy::Empty:
          tidying.empty = true;
          break;
        case Tidy::No:
          break;
      }
    }
    try {
      engine::TidyLines<Ch>(w.text, tidying, w.spare);
    } catch (const std::exception&) {
      return Together::OneByOne;
    }
    w.text.swap(w.spare);
    return Together::Done;
  }

  // The preformatted blocks and the scripts put back in one walk when their
  // slots follow each other at `first`, with no hook to see the passes one
  // by one. A failure leaves the text as it was for the slots to run one by one.
  bool InsertTogether(std::size_t first, Work<char>& w) {
    if (faultHook_ || w.pres.empty() || w.store.empty() || first + 1 >= plan_.size() ||
        kPassRows[plan_[first].row].bytes != &InsertPreformattedStep<char> ||
        kPassRows[plan_[first + 1].row].bytes != &InsertScriptsStep<char>)
      return false;
    try {
      engine::InsertBlocks(w.text, w.env, w.pres, w.store, w.spare);
    } catch (const std::exception&) {
      return false;
    }
    w.text.swap(w.spare);
    w.pres.clear();
    w.store.clear();
    w.preMarkers = 0;
    w.markers = 0;
    return true;
  }

  // What the run does after a step: go on, end, or redo the step as wide symbols.
  enum class Next { Go, Stop, Widen };

  // Runs one pass under its guard.
  template <class Ch>
  Next Guarded(const Slot& slot, Work<Ch>& w) {
    const PassRow& row = kPassRows[slot.row];
    const PassInfo& info = row.info;
    try {
      if (faultHook_) faultHook_(info.name);
      StepEnd end;
      if constexpr (sizeof(Ch) == 1)
        end = row.bytes(*this, slot, w);
      else
        end = row.wide(*this, slot, w);
      return end == StepEnd::NeedsWideSymbols ? Next::Widen : Next::Go;
    } catch (const std::exception&) {
      threw_ = true;
      // A failed pass leaves the text as it was; the caller's, when that is
      // where CutScripts was reading from.
      if constexpr (sizeof(Ch) == 1)
        if (w.source) {
          w.text = *w.source;
          w.source = nullptr;
        }
      switch (info.onFailure) {
        case OnFailure::Fatal:
          return Next::Stop;
        case OnFailure::Silent:
          return Next::Go;
        case OnFailure::ErrorIfInfo:
        case OnFailure::Error:
          break;
      }
      PassFailure failure{info.name, info.messageKey, std::nullopt, info.onFailure == OnFailure::ErrorIfInfo};
      if (IsTagSlot(slot)) failure.entry = slot.entry;
      ctx_.failures.push_back(std::move(failure));
      return Next::Go;
    }
  }

  // The candidate finder for the symbol type at hand, over every tag slot's
  // entry. A slot that has run counts as found, so no search looks for it.
  template <class Ch>
  engine::TagCandidateFinder<Ch>& Finder(const Work<Ch>& w) {
    auto& finder = [&]() -> auto& {
      if constexpr (sizeof(Ch) == 1)
        return narrowFinder_;
      else
        return wideFinder_;
    }
    ();
    if (!finder) {
      std::vector<std::string_view> entries;
      tagIndex_.assign(plan_.size(), 0);
      for (std::size_t i = 0; i < plan_.size(); ++i) {
        if (!IsTagSlot(plan_[i])) continue;
        tagIndex_[i] = entries.size();
        entries.push_back(plan_[i].entry);
      }
      finder.emplace(w.env, entries);
      found_.assign(entries.size(), false);
      for (std::size_t i = 0; i < current_; ++i)
        if (IsTagSlot(plan_[i])) found_[tagIndex_[i]] = true;
      // Replacement runs done in one sweep need no search for their entries.
      for (std::size_t i = current_; i < plan_.size() && !hookMayFail_;) {
        std::size_t end = i;
        const std::vector<engine::TagPair> pairs = ReplacementRun(end);
        if (end > i && engine::TagPairsGoTogether<Ch>(w.env, pairs))
          for (std::size_t k = i; k < end; ++k) found_[tagIndex_[k]] = true;
        i = std::max(end, i + 1);
      }
      candidatesKnown_ = false;
    }
    return *finder;
  }

  // The text is redone from slot `first` on, as other symbols.
  void ForgetCandidates(std::size_t first) {
    candidatesKnown_ = false;
    groupEnd_ = std::min(groupEnd_, first);
    for (std::size_t i = first; i < plan_.size() && !found_.empty(); ++i)
      if (IsTagSlot(plan_[i])) found_[tagIndex_[i]] = false;
  }

  const EngineContext& ctx_;
  const std::function<void(std::string_view)>& faultHook_;
  const bool hookMayFail_;
  std::vector<Slot> plan_;
  std::size_t current_ = 0;  // the slot being run
  std::optional<engine::TagCandidateFinder<char>> narrowFinder_;
  std::optional<engine::TagCandidateFinder<Wide>> wideFinder_;
  std::vector<std::size_t> tagIndex_;  // per tag slot, its place among the finder's entries
  std::vector<bool> found_;            // per tag slot's entry: may change the text, or has run
  bool candidatesKnown_ = false;       // found_ fits the current text
  std::size_t groupEnd_ = 0;           // the slots before it ran together with an earlier one
  bool threw_ = false;                 // a pass failed
  const std::size_t pieceBytes_;
  const bool piecesOnOneThread_;  // a piece size was given: pieces even on one thread
};

template <class Ch>
StepEnd TagStep(Sequence& sequence, const Slot& slot, Work<Ch>& w) {
  return sequence.RunTagSlot(slot, w);
}

}  // namespace

std::span<const PassInfo> PassTable() { return kPassInfos; }

Engine::Engine(CodePage codePage) : codePage_(codePage) {}

OptimizeResult Engine::OptimizeDocument(std::string& text, const EngineContext& ctx) {
  Sequence sequence(ctx, faultHook_, hookMayFail_, pieceBytes_);
  return sequence.Run(text, true, LowerTableFor(codePage_));
}

OptimizeResult Engine::OptimizeDocumentInPlace(std::string& text, const EngineContext& ctx) {
  Sequence sequence(ctx, faultHook_, hookMayFail_, pieceBytes_);
  return sequence.Run(text, false, LowerTableFor(codePage_));
}

}  // namespace tersify
