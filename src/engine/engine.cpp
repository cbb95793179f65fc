// The pass sequence of one document, its cancel checks and failure reports.
#include "engine/engine.h"

#include <array>
#include <exception>
#include <optional>
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

// How a failing pass is reported.
enum class Guard { Error, ErrorIfInfo, Silent, Fatal };

// Picks three byte values that neither the document nor a tag table holds and
// that lower-case to themselves; they become the markers of the passes.
std::optional<std::array<char, 3>> FreeMarkerBytes(std::string_view text, const EngineContext& ctx,
                                                   const LowerTable& lower) {
  std::array<bool, 256> used{};
  auto mark = [&](std::string_view s) {
    for (char c : s) {
      auto u = static_cast<unsigned char>(c);
      used[u] = true;
      used[lower[u]] = true;
    }
  };
  mark(text);
  for (const auto& e : ctx.removal) mark(e.tag);
  for (const auto& e : ctx.replacement) {
    mark(e.from);
    mark(e.to);
  }
  std::array<char, 3> found{};
  std::size_t count = 0;
  auto consider = [&](int b) {
    if (count < 3 && !used[static_cast<std::size_t>(b)] && lower[static_cast<std::size_t>(b)] == b)
      found[count++] = static_cast<char>(static_cast<unsigned char>(b));
  };
  for (int b = 0x80; b <= 0xFF; ++b) consider(b);
  for (int b = 1; b < 0x20; ++b)
    if (b != 8 && b != 9 && b != 10 && b != 13) consider(b);
  consider(0x7F);
  if (count < 3) return std::nullopt;
  return found;
}

// One document on its way through the sequence, as symbols of type Ch.
template <class Ch>
struct Work {
  Str<Ch> text;
  ScriptBlocks<Ch> store;
  PassEnv<Ch> env;
};

Work<Wide> Widen(const Work<char>& w) {
  Work<Wide> out;
  out.env.lower = w.env.lower;
  out.env.settings = w.env.settings;
  out.env.markA = kWideMarkA;
  out.env.markB = kWideMarkB;
  out.env.scriptMarker = kWideScriptBase;
  out.text.reserve(w.text.size());
  Wide next = kWideScriptBase;
  for (char c : w.text)
    out.text.push_back(c == w.env.scriptMarker ? next++ : static_cast<Wide>(static_cast<unsigned char>(c)));
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
  CutScripts, GlueLines, RemoveComments, TightenTagSpaces, RemoveQuotes, Cancel, ProcessTag, CollapseNbsp,
  RemoveAllTabs, RemoveBlankLines, CollapseSpaces, TrimLines, RemoveEmptyLines, JoinTags, InsertScripts
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
    case Action::CutScripts: return {"CutScripts", Guard::ErrorIfInfo, "const_script_error"};
    case Action::GlueLines: return {"GlueLines", Guard::Silent, ""};
    case Action::RemoveComments: return {"RemoveComments", Guard::Error, "const_comm_error"};
    case Action::TightenTagSpaces: return {"TightenTagSpaces", Guard::Error, "const_spaces_error"};
    case Action::RemoveQuotes: return {"RemoveQuotes", Guard::Error, "const_delkav_error"};
    case Action::Cancel: return {"CheckCancel", Guard::Silent, ""};
    case Action::ProcessTag: return {"ProcessTag", Guard::Error, "const_deltag_error"};
    case Action::CollapseNbsp: return {"CollapseNbsp", Guard::Error, "const_nbsp_error"};
    case Action::RemoveAllTabs: return {"RemoveAllTabs", Guard::Fatal, ""};
    case Action::RemoveBlankLines: return {"RemoveBlankLines", Guard::Silent, ""};
    case Action::CollapseSpaces: return {"CollapseSpaces", Guard::Error, "const_doubles"};
    case Action::TrimLines: return {"TrimLines", Guard::Fatal, ""};
    case Action::RemoveEmptyLines: return {"RemoveEmptyLines", Guard::Silent, ""};
    case Action::JoinTags: return {"JoinTags", Guard::Error, "const_spaces_error"};
    case Action::InsertScripts: return {"InsertScripts", Guard::Error, "const_scripts_insert_error"};
  }
  return {"", Guard::Silent, ""};
}

template <class Ch>
std::size_t CountScriptMarkers(const Str<Ch>& text, const PassEnv<Ch>& env) {
  std::size_t n = 0;
  for (Ch c : text) n += env.IsScriptMarker(c) ? 1 : 0;
  return n;
}

class Sequence {
 public:
  Sequence(const EngineContext& ctx, const std::function<void(std::string_view)>& faultHook)
      : ctx_(ctx), s_(ctx.settings), faultHook_(faultHook), plan_(PlanSequence(ctx)) {}

  // `original` is the caller's text, kept unchanged until the end: the first
  // pass may then take the working copy over instead of copying it.
  OptimizeResult Run(std::string& text, const std::string& original, const LowerTable& lower) {
    original_ = &original;
    if (auto bytes = FreeMarkerBytes(text, ctx_, lower)) {
      Work<char> w;
      w.text = std::move(text);  // the caller passes its own copy
      w.env = {&lower, &s_, (*bytes)[0], (*bytes)[1], (*bytes)[2]};
      return RunFrom(0, w, text);
    }
    Work<Wide> w;
    w.env = {&lower, &s_, kWideMarkA, kWideMarkB, kWideScriptBase};
    for (char c : text) w.text.push_back(static_cast<Wide>(static_cast<unsigned char>(c)));
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
          if (slot.action == Action::CutScripts) w.text = *original_;
          ForgetCandidates(i);
          Work<Wide> wide = Widen(w);
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
      // The first pass took the working copy over: a failed one leaves the text as it was.
      if constexpr (sizeof(Ch) == 1)
        if (slot.action == Action::CutScripts) w.text = *original_;
      switch (info.guard) {
        case Guard::Fatal: return false;
        case Guard::Silent: return true;
        case Guard::ErrorIfInfo:
          if (!s_.cbShowInfo) return true;
          break;
        case Guard::Error: break;
      }
      std::string message = ctx_.catalogue.Text(info.key);
      if (slot.action == Action::ProcessTag) message = FillPlaceholders(message, {slot.entry});
      ShowMessageBox(ctx_.ui, message, MessageKind::Error);
      return true;
    }
  }

  // A pass that may delete script markers: as bytes, losing one means the
  // blocks can no longer be matched to their markers by order alone.
  template <class Ch, class F>
  void Deleting(Work<Ch>& w, F&& pass) {
    if constexpr (sizeof(Ch) == 1) {
      std::size_t before = w.store.empty() ? 0 : CountScriptMarkers(w.text, w.env);
      Str<Ch> result = pass(w.text);
      if (before != 0 && CountScriptMarkers(result, w.env) != before) throw NeedWideSymbols();
      w.text = std::move(result);
    } else {
      w.text = pass(w.text);
    }
  }

  template <class Ch>
  void RunPass(const Slot& slot, Work<Ch>& w) {
    const auto& env = w.env;
    switch (slot.action) {
      case Action::CutScripts: {
        ScriptBlocks<Ch> store;
        Str<Ch> t;
        if constexpr (sizeof(Ch) == 1)
          t = engine::CutScripts<Ch>(std::move(w.text), env, store);  // Run keeps the text as it was
        else
          t = engine::CutScripts<Ch>(w.text, env, store);
        w.text = std::move(t);
        w.store = std::move(store);
        break;
      }
      case Action::GlueLines: w.text = engine::GlueLines<Ch>(w.text, env); break;
      case Action::RemoveComments:
        Deleting(w, [&](const Str<Ch>& t) { return engine::RemoveComments<Ch>(t, env); });
        break;
      case Action::TightenTagSpaces: w.text = engine::TightenTagSpaces<Ch>(w.text, env); break;
      case Action::RemoveQuotes:
        Deleting(w, [&](const Str<Ch>& t) { return engine::RemoveQuotes<Ch>(t, env); });
        break;
      case Action::ProcessTag: RunTagSlot(slot, w); break;
      case Action::CollapseNbsp: w.text = engine::CollapseNbsp<Ch>(w.text, env); break;
      case Action::RemoveAllTabs: w.text = engine::RemoveAllTabs<Ch>(std::move(w.text), env); break;
      case Action::RemoveBlankLines: w.text = engine::RemoveBlankLines<Ch>(w.text, env); break;
      case Action::CollapseSpaces: w.text = engine::CollapseSpaces<Ch>(w.text, env); break;
      case Action::TrimLines: w.text = engine::TrimLines<Ch>(w.text, env); break;
      case Action::RemoveEmptyLines: w.text = engine::RemoveEmptyLines<Ch>(w.text, env); break;
      case Action::JoinTags: w.text = engine::JoinTags<Ch>(w.text, env); break;
      case Action::InsertScripts:
        w.text = engine::InsertScripts<Ch>(w.text, env, w.store);
        w.store.clear();
        break;
      case Action::Cancel: break;
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
    auto start = engine::FindTagStart<Ch>(w.text, w.env, slot.entry);
    if (!start) return;
    engine::TextEdits edits;
    candidatesKnown_ = false;  // until the edits have been searched
    bool keepOld = false;
    if constexpr (sizeof(Ch) == 1) keepOld = slot.replacement.empty() && !w.store.empty();
    if (keepOld) {
      // As bytes, a removed script marker means the blocks can no longer be
      // matched to their markers by order alone: the slot is then redone on
      // wide symbols from the text as it was.
      Str<Ch> out = engine::ProcessTagFrom<Ch>(w.text, w.env, slot.entry, {}, *start, &edits);
      if (edits.scriptMarkerRemoved) throw NeedWideSymbols();
      w.text = std::move(out);
    } else {
      w.text = engine::ProcessTagFrom<Ch>(std::move(w.text), w.env, slot.entry, slot.replacement, *start, &edits);
    }
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
    }();
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
  const std::string* original_ = nullptr;
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
  std::string work = text;
  Sequence sequence(ctx, faultHook_);
  OptimizeResult result = sequence.Run(work, text, LowerTableFor(codePage_));
  if (result == OptimizeResult::Done) text = std::move(work);
  return result;
}

}  // namespace tersify
