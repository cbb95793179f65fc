// Removal of the tags a table entry names, or replacement of the entry's text.
#include "engine/passes.h"

namespace tersify::engine {
namespace {

template <class Ch>
bool Is(Ch c, char what) {
  return U(c) == static_cast<unsigned char>(what);
}

// The byte whose lower-case form is the lower-case form of c, or that form
// itself when it has no capital.
unsigned char UpperOf(const LowerTable& t, unsigned char c) {
  unsigned char low = t[c];
  for (int u = 0; u < 256; ++u)
    if (u != low && t[static_cast<std::size_t>(u)] == low) return static_cast<unsigned char>(u);
  return low;
}

// The entry in lower case, and the bytes a scan for it must stop at: the
// quote and every byte whose lower-case form is the entry's first.
template <class Ch>
struct EntrySearch {
  EntrySearch(const PassEnv<Ch>& env, std::string_view entry) {
    for (char c : entry) low.push_back(env.Lower(static_cast<Ch>(static_cast<unsigned char>(c))));
    if (low.empty()) return;
    complete = stops.add('"');
    const std::uint32_t f = U(low[0]);
    int capitals = 0;
    for (int b = 0; b < 256 && complete; ++b) {
      if ((*env.lower)[static_cast<std::size_t>(b)] != f) continue;
      complete = stops.add(static_cast<unsigned char>(b));
      if (static_cast<std::uint32_t>(b) != f) ++capitals;
    }
    // The jump ahead below relies on untaken occurrences being left exactly
    // as they were. That fails when disarming the first byte changes what a
    // later test sees: a first byte that is a quote (parity) or a byte that
    // may stand before an occurrence; and when more than one capital shares
    // the lower-case form, since the markers turn back into one of them.
    usable = complete && capitals <= 1 && f != '"' && f != 8 && f != '\n' && f != ' ' && f != '<';
  }
  Str<Ch> low;
  ByteSet stops;
  bool complete = false;  // stops holds all the bytes it should
  bool usable = false;    // the first change may be looked for directly
};

template <class Ch>
class TagProcessor {
 public:
  // Reading starts at `start` (0-based), with `odd` the parity of the quotes
  // before it; the text before it is known to stay as it is.
  TagProcessor(Str<Ch> text, const PassEnv<Ch>& env, std::string_view entry, std::string_view replacement,
               const EntrySearch<Ch>& es, std::size_t start, bool odd)
      : g_(std::move(text)), env_(env), entry_(entry), low_(es.low), stops_(es.stops), fastStops_(es.complete),
        odd_(odd) {
    for (char c : replacement) rep_.push_back(static_cast<Ch>(static_cast<unsigned char>(c)));
    // An occurrence made only of inserted symbols needs every symbol of the
    // entry to be in the replacement; otherwise no flags need to be kept.
    bool canRepeat = !rep_.empty();
    for (std::size_t k = 0; k < low_.size() && canRepeat; ++k) {
      bool inRep = false;
      for (Ch r : rep_) inRep = inRep || env_.Lower(r) == low_[k];
      canRepeat = inRep;
    }
    if (canRepeat) flags_.emplace(Str<unsigned char>(g_.restSize(), 0));
    g_.emitN(start);
    if (flags_) flags_->emitN(start);
  }

  Str<Ch> Run() {
    const std::size_t L = low_.size();
    const Ch first = low_[0];
    bool disarmed = false;
    while (!g_.atEnd()) {
      if (env_.Lower(g_.head()) != first || !Matches()) {
        Emit();
        // Bytes that neither start the entry nor are quotes are copied as a run.
        const Ch* rest = g_.restData();
        const std::size_t n = g_.restSize();
        std::size_t k = 0;
        if (fastStops_)
          k = static_cast<std::size_t>(stops_.find(rest, rest + n) - rest);
        else
          while (k < n && env_.Lower(rest[k]) != first && !Is(rest[k], '"')) ++k;
        if (k) {
          g_.emitN(k);
          if (flags_) flags_->emitN(k);
        }
        continue;
      }
      if (!Taken()) {
        Ch c = g_.head();
        Ch marker = c == env_.Lower(c) ? env_.markA : env_.markB;
        EmitAs(marker);
        disarmed = true;
        continue;
      }
      std::size_t seam;
      if (!rep_.empty()) {
        Skip(L);
        Insert(rep_);
        seam = g_.outSize();
      } else {
        seam = RemoveTag();
      }
      // An occurrence may now span the place of the change.
      std::size_t back = std::min(L - 1, seam);
      PushBack(back);
    }
    Str<Ch> out = std::move(g_).finish();
    if (disarmed) {
      const auto f = static_cast<unsigned char>(entry_[0]);
      const Ch up = static_cast<Ch>(UpperOf(*env_.lower, f));
      const Ch lo = static_cast<Ch>((*env_.lower)[f]);
      for (Ch& c : out) {
        if (c == env_.markB) c = up;
        else if (c == env_.markA) c = lo;
      }
    }
    return out;
  }

 private:
  bool Matches() const {
    const std::size_t L = low_.size();
    if (g_.restSize() < L) return false;
    for (std::size_t k = 1; k < L; ++k)
      if (env_.Lower(g_.ahead(k)) != low_[k]) return false;
    return true;
  }

  bool Taken() const {
    const std::size_t L = low_.size();
    if (odd_) return false;
    if (g_.outSize() == 0 || g_.restSize() <= L) return false;
    Ch before = env_.Lower(g_.last());
    if (!(U(before) == 8 || Is(before, '\n') || Is(before, ' ') || Is(before, '<'))) return false;
    Ch after = env_.Lower(g_.ahead(L));
    if (!(U(after) == 8 || Is(after, '\r') || Is(after, ' ') || Is(after, '>'))) return false;
    if (flags_) {
      bool allInserted = true;
      for (std::size_t k = 0; k < L && allInserted; ++k) allInserted = flags_->ahead(k) != 0;
      if (allInserted) return false;
    }
    return true;
  }

  // Removes the tag around the occurrence at the head; returns where the
  // text before it now ends.
  std::size_t RemoveTag() {
    const std::size_t p = g_.outSize();
    // Back to a "<" with an even number of quotes between it and the occurrence.
    std::size_t s = 0;
    bool between = false;
    for (std::size_t k = p; k > 0; --k) {
      Ch c = g_.out(k - 1);
      if (Is(c, '<') && !between) {
        s = k - 1;
        break;
      }
      if (Is(c, '"')) between = !between;
    }
    // On to a ">" with an even number of quotes from the occurrence to it.
    const std::size_t n = g_.restSize();
    bool odd = Is(g_.head(), '"');
    std::size_t e = n - 1;
    for (std::size_t k = 1; k < n; ++k) {
      Ch c = g_.ahead(k);
      if (Is(c, '>') && !odd) {
        e = k;
        break;
      }
      if (Is(c, '"')) odd = !odd;
    }
    // The quotes of the settled part that go with the tag.
    for (std::size_t k = s; k < p; ++k)
      if (Is(g_.out(k), '"')) odd_ = !odd_;
    g_.truncate(s);
    g_.skip(e + 1);
    return s;
  }

  void Emit() {
    if (Is(g_.head(), '"')) odd_ = !odd_;
    g_.emit();
    if (flags_) flags_->emit();
  }
  void EmitAs(Ch c) {
    g_.emitAs(c);
    if (flags_) flags_->emit();
  }
  void Skip(std::size_t k) {
    g_.skip(k);
    if (flags_) flags_->skip(k);
  }
  void Insert(const Str<Ch>& s) {
    g_.insert(s.data(), s.size());
    if (flags_) {
      Str<unsigned char> ones(s.size(), 1);
      flags_->insert(ones.data(), ones.size());
    }
  }
  void PushBack(std::size_t k) {
    for (std::size_t i = g_.outSize() - k; i < g_.outSize(); ++i)
      if (Is(g_.out(i), '"')) odd_ = !odd_;
    g_.pushBack(k);
    if (flags_) flags_->pushBack(k);
  }

  GapText<Ch> g_;
  const PassEnv<Ch>& env_;
  std::string_view entry_;
  const Str<Ch>& low_;
  const ByteSet& stops_;  // the quote and every byte that lower-cases to low_[0]
  bool fastStops_;
  Str<Ch> rep_;
  // Which symbols this call's replacements put in (replacement only).
  std::optional<GapText<unsigned char>> flags_;
  bool odd_ = false;  // quote parity of the settled part
};


// Where the step-by-step method would make its first change, and the quote
// parity there. Every occurrence before it is not taken; disarming it and
// turning the marker back leaves its byte as it was (see EntrySearch), so the
// text before the first taken occurrence stays unchanged.
struct FirstChange {
  std::size_t pos;
  bool odd;
};

template <class Ch>
std::optional<FirstChange> FindFirstChange(const Str<Ch>& text, const PassEnv<Ch>& env, const EntrySearch<Ch>& es) {
  const std::size_t L = es.low.size();
  const Ch* data = text.data();
  const Ch* end = data + text.size();
  const Ch first = es.low[0];
  bool odd = false;
  for (const Ch* p = es.stops.find(data, end); p < end; p = es.stops.find(p + 1, end)) {
    if (Is(*p, '"')) {
      odd = !odd;
      continue;
    }
    if (env.Lower(*p) != first) continue;
    const std::size_t i = static_cast<std::size_t>(p - data);
    // Test 1: the whole entry; an occurrence needs a byte before and after it.
    if (i == 0 || text.size() - i <= L || odd) continue;
    std::size_t k = 1;
    while (k < L && env.Lower(p[k]) == es.low[k]) ++k;
    if (k < L) continue;
    const Ch before = env.Lower(p[-1]);
    if (!(U(before) == 8 || Is(before, '\n') || Is(before, ' ') || Is(before, '<'))) continue;
    const Ch after = env.Lower(p[L]);
    if (!(U(after) == 8 || Is(after, '\r') || Is(after, ' ') || Is(after, '>'))) continue;
    return FirstChange{i, odd};
  }
  return std::nullopt;
}

// Whether the step-by-step method finds the entry at all.
template <class Ch>
bool Occurs(const Str<Ch>& text, const PassEnv<Ch>& env, const Str<Ch>& low) {
  for (std::size_t i = 0; i + low.size() <= text.size(); ++i) {
    if (env.Lower(text[i]) != low[0]) continue;
    std::size_t k = 1;
    while (k < low.size() && env.Lower(text[i + k]) == low[k]) ++k;
    if (k == low.size()) return true;
  }
  return false;
}

}  // namespace

template <class Ch>
bool ProcessTagChanges(const Str<Ch>& text, const PassEnv<Ch>& env, std::string_view entry) {
  if (entry.empty()) return false;
  EntrySearch<Ch> es(env, entry);
  if (!es.usable) return Occurs(text, env, es.low);
  return FindFirstChange(text, env, es).has_value();
}

template <class Ch>
Str<Ch> ProcessTag(Str<Ch> text, const PassEnv<Ch>& env, std::string_view entry, std::string_view replacement) {
  if (entry.empty()) return text;
  EntrySearch<Ch> es(env, entry);
  FirstChange start{0, false};
  if (es.usable) {
    auto found = FindFirstChange(text, env, es);
    if (!found) return text;
    start = *found;
  } else if (!Occurs(text, env, es.low)) {
    return text;
  }
  return TagProcessor<Ch>(std::move(text), env, entry, replacement, es, start.pos, start.odd).Run();
}

#define TERSIFY_INSTANTIATE(Ch) \
  template Str<Ch> ProcessTag<Ch>(Str<Ch>, const PassEnv<Ch>&, std::string_view, std::string_view); \
  template bool ProcessTagChanges<Ch>(const Str<Ch>&, const PassEnv<Ch>&, std::string_view);
TERSIFY_INSTANTIATE(char)
TERSIFY_INSTANTIATE(Wide)
#undef TERSIFY_INSTANTIATE

}  // namespace tersify::engine
