// The pass sequence of one document, its cancel checks and failure reports.
#include "engine/engine.h"

#include <array>
#include <exception>
#include <optional>
#include <utility>
#include <vector>

#include "engine/passes.h"
#include "i18n/catalogue.h"
#include "i18n/interaction.h"

namespace tersify {
namespace {

using engine::NeedWideSymbols;
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

// One slot of the sequence: a pass with its arguments, or a cancel check.
enum class Action {
  CutScripts,
  CutPreformatted,
  GlueLines,
  RemoveComments,
  TightenTagSpaces,
  RemoveQuotes,
  Cancel,
  ProcessTag,
  CollapseNbsp,
  RemoveAllTabs,
  RemoveBlankLines,
  CollapseSpaces,
  TrimLines,
  RemoveEmptyLines,
  JoinTags,
  InsertPreformatted,
  InsertScripts
};
struct Slot {
  Action action;
  std::string entry;        // ProcessTag only
  std::string replacement;  // ProcessTag only
};

// The fixed order of the passes, with the options that switch them.
std::vector<Slot> PlanSequence(const EngineContext& ctx) {
  const OptimizationSettings& s = ctx.settings;
  std::vector<Slot> plan;
  auto add = [&](Action a) { plan.push_back({a, {}, {}}); };
  add(Action::CutScripts);
  add(Action::CutPreformatted);
  if (s.cbDelCRLF) add(Action::GlueLines);
  if (s.cbDelComments) add(Action::RemoveComments);
  add(Action::TightenTagSpaces);
  if (s.cbDelKav) add(Action::RemoveQuotes);
  add(Action::Cancel);
  for (const auto& e : ctx.removal) {
    if (!e.ticked) continue;
    plan.push_back({Action::ProcessTag, e.tag, {}});
    if (e.tag.compare(0, 6, "name=\"") == 0) {
      std::string bare;
      for (char c : e.tag)
        if (c != '"') bare.push_back(c);
      plan.push_back({Action::ProcessTag, bare, {}});
    }
  }
  add(Action::Cancel);
  for (const auto& e : ctx.replacement) {
    if (!e.ticked) continue;
    plan.push_back({Action::ProcessTag, e.from, e.to});
    if (s.cbClosedTagsAlso) plan.push_back({Action::ProcessTag, "/" + e.from, "/" + e.to});
  }
  add(Action::Cancel);
  if (s.cbReplaceDoubleNbsp) add(Action::CollapseNbsp);
  if (s.cbDelAllTabs) add(Action::RemoveAllTabs);
  if (s.cbDelTabLine) add(Action::RemoveBlankLines);
  if (s.cbReplaceDoubleSpaces) add(Action::CollapseSpaces);
  add(Action::Cancel);
  if (s.cbDelBegEndSpace) add(Action::TrimLines);
  if (s.cbDelEmptyLine && !s.cbDelCRLF) add(Action::RemoveEmptyLines);
  add(Action::JoinTags);
  add(Action::InsertPreformatted);
  add(Action::InsertScripts);
  return plan;
}

struct PassInfo {
  std::string_view name;
  Guard guard;
  std::string_view key;
};

PassInfo InfoOf(Action a) {
  switch (a) {
    case Action::CutScripts:
      return {"CutScripts", Guard::ErrorIfInfo, "const_script_error"};
    case Action::CutPreformatted:
      return {"CutPreformatted", Guard::Fatal, ""};
    case Action::InsertPreformatted:
      return {"InsertPreformatted", Guard::Fatal, ""};
    case Action::GlueLines:
      return {"GlueLines", Guard::Silent, ""};
    case Action::RemoveComments:
      return {"RemoveComments", Guard::Error, "const_comm_error"};
    case Action::TightenTagSpaces:
      return {"TightenTagSpaces", Guard::Error, "const_spaces_error"};
    case Action::RemoveQuotes:
      return {"RemoveQuotes", Guard::Error, "const_delkav_error"};
    case Action::Cancel:
      return {"CheckCancel", Guard::Silent, ""};
    case Action::ProcessTag:
      return {"ProcessTag", Guard::Error, "const_deltag_error"};
    case Action::CollapseNbsp:
      return {"CollapseNbsp", Guard::Error, "const_nbsp_error"};
    case Action::RemoveAllTabs:
      return {"RemoveAllTabs", Guard::Fatal, ""};
    case Action::RemoveBlankLines:
      return {"RemoveBlankLines", Guard::Silent, ""};
    case Action::CollapseSpaces:
      return {"CollapseSpaces", Guard::Error, "const_doubles"};
    case Action::TrimLines:
      return {"TrimLines", Guard::Fatal, ""};
    case Action::RemoveEmptyLines:
      return {"RemoveEmptyLines", Guard::Silent, ""};
    case Action::JoinTags:
      return {"JoinTags", Guard::Error, "const_spaces_error"};
    case Action::InsertScripts:
      return {"InsertScripts", Guard::Error, "const_scripts_insert_error"};
  }
  return {"", Guard::Silent, ""};
}

std::size_t CountScriptMarkers(const std::string& text, const PassEnv<char>& env) {
  return engine::CountOf(text.data(), text.data() + text.size(), env.scriptMarker);
}
std::size_t CountPreMarkers(const std::string& text, const PassEnv<char>& env) {
  return engine::CountOf(text.data(), text.data() + text.size(), env.preMarker);
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

class Sequence {
 public:
  Sequence(const EngineContext& ctx, const std::function<void(std::string_view)>& faultHook)
      : ctx_(ctx), s_(ctx.settings), faultHook_(faultHook), plan_(PlanSequence(ctx)) {}

  // With `keepText` the caller's text stays as it is unless the answer is
  // Done; otherwise it is taken over as working space.
  OptimizeResult Run(std::string& text, bool keepText, const LowerTable& lower) {
    if (auto bytes = FreeMarkerBytes(text, ctx_, lower)) {
      Work<char> w;
      if (keepText)
        w.source = &text;
      else
        w.text = std::move(text);
      w.env = {&lower, &s_, (*bytes)[0], (*bytes)[1], (*bytes)[2], (*bytes)[3]};
      return RunFrom(0, w, text);
    }
    Work<Wide> w;
    w.env = {&lower, &s_, kWideMarkA, kWideMarkB, kWideScriptBase, kWidePreBase};
    w.text.reserve(text.size());
    for (char c : text) w.text.push_back(static_cast<Wide>(static_cast<unsigned char>(c)));
    if (!keepText) Release(text);
    return RunFrom(0, w, text);
  }

 private:
  // Runs the slots from `first` on; a byte document that meets a case needing
  // one marker per script block goes on from that slot as wide symbols.
  template <class Ch>
  OptimizeResult RunFrom(std::size_t first, Work<Ch>& w, std::string& result) {
    for (std::size_t i = first; i < plan_.size(); ++i) {
      const Slot& slot = plan_[i];
      current_ = i;
      if (slot.action == Action::Cancel) {
        if (ctx_.checkCancel && ctx_.checkCancel()) return OptimizeResult::Cancelled;
        continue;
      }
      if constexpr (sizeof(Ch) == 1) {
        try {
          if (!Guarded(slot, w)) return OptimizeResult::Failed;
        } catch (const NeedWideSymbols&) {
          ForgetCandidates(i);
          // The pass that needs them left its input as it was.
          Work<Wide> wide = Widen(w, w.Input());
          Release(w.text);
          Release(w.spare);
          w.source = nullptr;
          return RunFrom(i, wide, result);
        }
      } else {
        if (!Guarded(slot, w)) return OptimizeResult::Failed;
      }
    }
    if constexpr (sizeof(Ch) == 1)
      result = std::move(w.text);
    else
      result = Narrow(w.text);
    return OptimizeResult::Done;
  }

  // Runs one pass under its guard. Returns false when the run must end.
  template <class Ch>
  bool Guarded(const Slot& slot, Work<Ch>& w) {
    const PassInfo info = InfoOf(slot.action);
    try {
      if (faultHook_) faultHook_(info.name);
      RunPass(slot, w);
      return true;
    } catch (const NeedWideSymbols&) {
      throw;
    } catch (const std::exception&) {
      // A failed pass leaves the text as it was; the caller's, when that is
      // where CutScripts was reading from.
      if constexpr (sizeof(Ch) == 1)
        if (w.source) {
          w.text = *w.source;
          w.source = nullptr;
        }
      switch (info.guard) {
        case Guard::Fatal:
          return false;
        case Guard::Silent:
          return true;
        case Guard::ErrorIfInfo:
          if (!s_.cbShowInfo) return true;
          break;
        case Guard::Error:
          break;
      }
      std::string message = ctx_.catalogue.Text(info.key);
      if (slot.action == Action::ProcessTag) message = FillPlaceholders(message, {slot.entry});
      ShowMessageBox(ctx_.ui, message, MessageKind::Error);
      return true;
    }
  }

  // A pass that may delete script or preformatted markers: as bytes, losing
  // one means the blocks can no longer be matched to their markers by order
  // alone. The pass writes into the spare buffer, so the text is still there
  // to go on from as wide symbols.
  template <class Ch, class F>
  void Deleting(Work<Ch>& w, F&& pass) {
    pass(std::as_const(w.text), w.spare);
    if constexpr (sizeof(Ch) == 1)
      if ((w.markers != 0 && CountScriptMarkers(w.spare, w.env) != w.markers) ||
          (w.preMarkers != 0 && CountPreMarkers(w.spare, w.env) != w.preMarkers))
        throw NeedWideSymbols();
    w.text.swap(w.spare);
  }

  // A pass that writes its text into the spare buffer.
  template <class Ch, class F>
  void Rewriting(Work<Ch>& w, F&& pass) {
    pass(std::as_const(w.text), w.spare);
    w.text.swap(w.spare);
  }

  template <class Ch>
  void RunPass(const Slot& slot, Work<Ch>& w) {
    const auto& env = w.env;
    switch (slot.action) {
      case Action::CutScripts: {
        // It works in place on a copy: the text it reads must outlast a
        // failure and, as bytes, a block that needs markers of its own.
        ScriptBlocks<Ch> store;
        w.spare.assign(w.Input());
        w.spare = engine::CutScripts<Ch>(std::move(w.spare), env, store);
        w.text.swap(w.spare);
        w.store = std::move(store);
        if constexpr (sizeof(Ch) == 1) {
          w.source = nullptr;
          w.markers = w.store.empty() ? 0 : CountScriptMarkers(w.text, env);
        }
        break;
      }
      case Action::CutPreformatted: {
        ScriptBlocks<Ch> pres;
        if (!engine::CutPreformatted<Ch>(w.text, env, pres, w.spare)) break;
        w.text.swap(w.spare);
        w.pres = std::move(pres);
        if constexpr (sizeof(Ch) == 1) {
          // Script markers inside the blocks are out of the text until they come back.
          w.markers = w.store.empty() ? 0 : CountScriptMarkers(w.text, env);
          w.preMarkers = w.pres.size();
        }
        break;
      }
      case Action::InsertPreformatted:
        if (w.pres.empty()) break;
        Rewriting(w, [&](const Str<Ch>& t, Str<Ch>& out) { engine::InsertPreformatted<Ch>(t, env, w.pres, out); });
        w.pres.clear();
        w.preMarkers = 0;
        break;
      case Action::GlueLines:
        engine::GlueLines<Ch>(w.text, env);
        break;
      case Action::RemoveComments:
        if (!HasCommentStart(w.text)) break;  // nothing for it to change
        Deleting(w, [&](const Str<Ch>& t, Str<Ch>& out) {
          out.assign(t);
          out = engine::RemoveComments<Ch>(std::move(out), env);
        });
        break;
      case Action::TightenTagSpaces:
        engine::TightenTagSpaces<Ch>(w.text, env);
        break;
      case Action::RemoveQuotes:
        Deleting(w, [&](const Str<Ch>& t, Str<Ch>& out) { engine::RemoveQuotes<Ch>(t, env, out); });
        break;
      case Action::ProcessTag:
        RunTagSlot(slot, w);
        break;
      case Action::CollapseNbsp:
        engine::CollapseNbsp<Ch>(w.text, env);
        break;
      case Action::RemoveAllTabs:
        engine::RemoveAllTabs<Ch>(w.text, env);
        break;
      case Action::RemoveBlankLines:
        Rewriting(w, [&](const Str<Ch>& t, Str<Ch>& out) { engine::RemoveBlankLines<Ch>(t, env, out); });
        break;
      case Action::CollapseSpaces:
        engine::CollapseSpaces<Ch>(w.text, env);
        break;
      case Action::TrimLines:
        Rewriting(w, [&](const Str<Ch>& t, Str<Ch>& out) { engine::TrimLines<Ch>(t, env, out); });
        break;
      case Action::RemoveEmptyLines:
        Rewriting(w, [&](const Str<Ch>& t, Str<Ch>& out) { engine::RemoveEmptyLines<Ch>(t, env, out); });
        break;
      case Action::JoinTags:
        engine::JoinTags<Ch>(w.text, env);
        break;
      case Action::InsertScripts:
        Rewriting(w, [&](const Str<Ch>& t, Str<Ch>& out) { engine::InsertScripts<Ch>(t, env, w.store, out); });
        w.store.clear();
        w.markers = 0;
        break;
      case Action::Cancel:
        break;
    }
  }

  // Most entries do not occur in a page: one scan finds the candidates for
  // all the tag slots, and after a call that changes the text only the
  // neighbourhoods of its changes are searched again (a change can make an
  // occurrence of a later entry there, nowhere else).
  template <class Ch>
  void RunTagSlot(const Slot& slot, Work<Ch>& w) {
    engine::TagCandidateFinder<Ch>& finder = Finder(w);
    const std::size_t tag = tagIndex_[current_];
    if (!candidatesKnown_) {
      finder.Mark(w.text, found_);
      candidatesKnown_ = true;
    }
    const bool maybe = found_[tag];
    found_[tag] = true;
    if (!maybe) return;
    engine::TextEdits edits;
    candidatesKnown_ = false;  // until the edits have been searched
    // The call reads the text and writes into the spare buffer: a failure,
    // or as bytes a removed script marker (the blocks could no longer be
    // matched to their markers by order alone: the slot is redone on wide
    // symbols), leaves the text as it was.
    if (!engine::ProcessTagInto<Ch>(w.text, w.env, slot.entry, slot.replacement, &edits, w.spare)) {
      candidatesKnown_ = true;  // nothing changed
      return;
    }
    if constexpr (sizeof(Ch) == 1)
      if (edits.scriptMarkerRemoved && (w.markers != 0 || w.preMarkers != 0)) throw NeedWideSymbols();
    w.text.swap(w.spare);
    finder.MarkAround(w.text, edits, found_);
    candidatesKnown_ = true;
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
        if (plan_[i].action != Action::ProcessTag) continue;
        tagIndex_[i] = entries.size();
        entries.push_back(plan_[i].entry);
      }
      finder.emplace(w.env, entries);
      found_.assign(entries.size(), false);
      for (std::size_t i = 0; i < current_; ++i)
        if (plan_[i].action == Action::ProcessTag) found_[tagIndex_[i]] = true;
      candidatesKnown_ = false;
    }
    return *finder;
  }

  // The text is redone from slot `first` on, as other symbols.
  void ForgetCandidates(std::size_t first) {
    candidatesKnown_ = false;
    for (std::size_t i = first; i < plan_.size() && !found_.empty(); ++i)
      if (plan_[i].action == Action::ProcessTag) found_[tagIndex_[i]] = false;
  }

  const EngineContext& ctx_;
  const OptimizationSettings& s_;
  const std::function<void(std::string_view)>& faultHook_;
  std::vector<Slot> plan_;
  std::size_t current_ = 0;  // the slot being run
  std::optional<engine::TagCandidateFinder<char>> narrowFinder_;
  std::optional<engine::TagCandidateFinder<Wide>> wideFinder_;
  std::vector<std::size_t> tagIndex_;  // per tag slot, its place among the finder's entries
  std::vector<bool> found_;            // per tag slot's entry: may change the text, or has run
  bool candidatesKnown_ = false;       // found_ fits the current text
};

}  // namespace

Engine::Engine(CodePage codePage) : codePage_(codePage) {}

OptimizeResult Engine::OptimizeDocument(std::string& text, const EngineContext& ctx) {
  Sequence sequence(ctx, faultHook_);
  return sequence.Run(text, true, LowerTableFor(codePage_));
}

OptimizeResult Engine::OptimizeDocumentInPlace(std::string& text, const EngineContext& ctx) {
  Sequence sequence(ctx, faultHook_);
  return sequence.Run(text, false, LowerTableFor(codePage_));
}

}  // namespace tersify
