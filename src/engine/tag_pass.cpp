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
    const std::uint32_t f2 = low.size() >= 2 ? U(low[1]) : 0;
    int capitals = 0;
    bool pairs = true;
    for (int b = 0; b < 256 && complete; ++b) {
      const std::uint32_t lb = (*env.lower)[static_cast<std::size_t>(b)];
      if (low.size() >= 2 && lb == f2) pairs = secondBytes.add(static_cast<unsigned char>(b)) && pairs;
      if (lb != f) continue;
      complete = stops.add(static_cast<unsigned char>(b)) && firstBytes.add(static_cast<unsigned char>(b));
      if (static_cast<std::uint32_t>(b) != f) ++capitals;
    }
    complete = complete && pairs;
    // The jump ahead below relies on untaken occurrences being left exactly
    // as they were. That fails when disarming the first byte changes what a
    // later test sees: a first byte that is a quote (parity) or a byte that
    // may stand before an occurrence; and when more than one capital shares
    // the lower-case form, since the markers turn back into one of them.
    usable = complete && capitals <= 1 && f != '"' && f != 8 && f != '\n' && f != ' ' && f != '<';
    // Whether a disarmed byte always comes back as it was.
    capitals = 0;
    for (int b = 0; b < 256; ++b)
      if (static_cast<std::uint32_t>(b) != f && (*env.lower)[static_cast<std::size_t>(b)] == f) ++capitals;
    restores = capitals <= 1;
    if (low.size() >= 2) pairFinder = PairFinder(firstBytes, secondBytes);
  }
  Str<Ch> low;
  ByteSet stops;
  ByteSet firstBytes;   // the bytes that lower-case to the entry's first
  ByteSet secondBytes;  // the same for its second
  PairFinder pairFinder;  // the two together, for entries of two bytes or more
  bool complete = false;  // stops holds all the bytes it should
  bool usable = false;    // the first change may be looked for directly
  bool restores = false;  // turning the markers back restores the bytes they replaced
};

template <class Ch>
class TagProcessor {
 public:
  // Reading starts at `start` (0-based), with `odd` the parity of the quotes
  // before it; the text before it is known to stay as it is.
  TagProcessor(Str<Ch> text, const PassEnv<Ch>& env, std::string_view entry, std::string_view replacement,
               const EntrySearch<Ch>& es, std::size_t start, bool odd, TextEdits* edits)
      : g_(std::move(text)), env_(env), entry_(entry), low_(es.low), stops_(es.stops), fastStops_(es.complete),
        firstBytes_(es.firstBytes), pairs_(es.pairFinder), jump_(es.usable), restores_(es.restores),
        edits_(edits), odd_(odd) {
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
        if (jump_) {
          // Straight on to the next place where the entry's first two bytes
          // stand, keeping count of the quotes passed over.
          const Ch* to;
          if (L >= 2) {
            to = pairs_.find(rest, rest + n, static_cast<Ch>('"'), odd_);
          } else {
            to = firstBytes_.find(rest, rest + n);
            if (CountOf(rest, to, static_cast<Ch>('"')) & 1) odd_ = !odd_;
          }
          k = static_cast<std::size_t>(to - rest);
        } else if (fastStops_)
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
        Edited(seam, seam + rep_.size());
      } else {
        seam = RemoveTag();
        Edited(seam, seam);
      }
      // An occurrence may now span the place of the change.
      std::size_t back = std::min(L - 1, seam);
      PushBack(back);
    }
    Str<Ch> out = std::move(g_).finish();
    if (disarmed && !restores_ && edits_) edits_->whole = true;
    if (disarmed) {
      const auto f = static_cast<unsigned char>(entry_[0]);
      const Ch up = static_cast<Ch>(UpperOf(*env_.lower, f));
      const Ch lo = static_cast<Ch>((*env_.lower)[f]);
      ReplaceTwo<Ch>(out, env_.markB, up, env_.markA, lo);
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
    if (edits_ && !edits_->scriptMarkerRemoved) {
      for (std::size_t k = s; k < p; ++k) edits_->scriptMarkerRemoved |= env_.IsScriptMarker(g_.out(k));
      for (std::size_t k = 0; k <= e; ++k) edits_->scriptMarkerRemoved |= env_.IsScriptMarker(g_.ahead(k));
    }
    g_.truncate(s);
    g_.skip(e + 1);
    return s;
  }

  // The output from `from` on is laid anew, starting with [from, to) that
  // is not a copy of the input; what was recorded beyond `from` is void.
  void Edited(std::size_t from, std::size_t to) {
    if (!edits_) return;
    auto& r = edits_->ranges;
    while (!r.empty() && r.back().begin >= from) r.pop_back();
    if (!r.empty() && r.back().end >= from)
      r.back().end = to;
    else
      r.push_back({from, to});
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
  const ByteSet& firstBytes_;
  const PairFinder& pairs_;
  bool jump_;  // untaken occurrences stay as they are, so runs may be passed over whole
  bool restores_;
  TextEdits* edits_;
  Str<Ch> rep_;
  // Which symbols this call's replacements put in (replacement only).
  std::optional<GapText<unsigned char>> flags_;
  bool odd_ = false;  // quote parity of the settled part
};


// Where the step-by-step method would make its first change, and the quote
// parity there. Every occurrence before it is not taken; disarming it and
// turning the marker back leaves its byte as it was (see EntrySearch), so the
// text before the first taken occurrence stays unchanged.
template <class Ch>
std::optional<TagStart> FindFirstChange(const Str<Ch>& text, const PassEnv<Ch>& env, const EntrySearch<Ch>& es) {
  const std::size_t L = es.low.size();
  const Ch* data = text.data();
  const Ch* end = data + text.size();
  const Ch quote = static_cast<Ch>('"');
  // Candidates are found by their first two bytes (their first byte alone for
  // an entry of one byte); the quote parity is counted only up to candidates
  // that pass every other test.
  auto next = [&](const Ch* from) {
    return L >= 2 ? es.pairFinder.find(from, end) : es.firstBytes.find(from, end);
  };
  bool odd = false;
  const Ch* counted = data;  // quotes before this point are in `odd`
  for (const Ch* p = next(data); p < end; p = next(p + 1)) {
    const std::size_t i = static_cast<std::size_t>(p - data);
    // Test 1: the whole entry; an occurrence needs a byte before and after it.
    if (i == 0 || text.size() - i <= L) continue;
    std::size_t k = 0;
    while (k < L && env.Lower(p[k]) == es.low[k]) ++k;
    if (k < L) continue;
    const Ch before = env.Lower(p[-1]);
    if (!(U(before) == 8 || Is(before, '\n') || Is(before, ' ') || Is(before, '<'))) continue;
    const Ch after = env.Lower(p[L]);
    if (!(U(after) == 8 || Is(after, '\r') || Is(after, ' ') || Is(after, '>'))) continue;
    odd ^= (CountOf(counted, p, quote) & 1) != 0;
    counted = p;
    if (odd) continue;
    return TagStart{i, odd};
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

// The bytes that may stand before an occurrence, and those that may follow it
// (as lower-case forms).
template <class Ch>
bool ValidBefore(Ch lowered) {
  return U(lowered) == 8 || Is(lowered, '\n') || Is(lowered, ' ') || Is(lowered, '<');
}
template <class Ch>
bool ValidAfter(Ch lowered) {
  return U(lowered) == 8 || Is(lowered, '\r') || Is(lowered, ' ') || Is(lowered, '>');
}

}  // namespace

template <class Ch>
TagCandidateFinder<Ch>::TagCandidateFinder(const PassEnv<Ch>& env, const std::vector<std::string_view>& entries)
    : env_(env) {
  for (std::string_view e : entries) {
    EntrySearch<Ch> es(env, e);
    always_.push_back(!es.low.empty() && !es.usable);  // judged by the entry's own search
    std::vector<std::uint16_t> starts;
    for (unsigned b0 = 0; b0 < 256 && !es.low.empty(); ++b0) {
      if ((*env.lower)[b0] != U(es.low[0])) continue;
      for (unsigned b1 = 0; b1 < 256; ++b1)
        if (es.low.size() == 1 || (*env.lower)[b1] == U(es.low[1]))
          starts.push_back(static_cast<std::uint16_t>(b0 << 8 | b1));
    }
    starts_.push_back(std::move(starts));
    low_.push_back(std::move(es.low));
  }
}

template <class Ch>
void TagCandidateFinder<Ch>::Mark(const Str<Ch>& text, std::vector<bool>& found) const {
  Scan(text, {{0, text.size()}}, found);
}

template <class Ch>
void TagCandidateFinder<Ch>::MarkAround(const Str<Ch>& text, const TextEdits& edits, std::vector<bool>& found) const {
  if (edits.whole) return Mark(text, found);
  // An occurrence the edits made has a changed symbol or a piece boundary
  // between its byte before and its byte after; so it lies within the
  // longest entry's length (and one byte) of an edited range.
  std::size_t longest = 0;
  for (std::size_t k = 0; k < low_.size(); ++k)
    if (!found[k]) longest = std::max(longest, low_[k].size());
  const std::size_t reach = longest + 1;
  const std::size_t n = text.size();
  std::vector<Window> windows;
  for (const auto& r : edits.ranges) {
    const std::size_t begin = r.begin > reach ? r.begin - reach : 0;
    const std::size_t end = std::min(n, std::max(r.begin, r.end) + reach);
    if (!windows.empty() && begin <= windows.back().end)
      windows.back().end = std::max(windows.back().end, end);
    else
      windows.push_back({begin, end});
  }
  Scan(text, windows, found);
}

template <class Ch>
void TagCandidateFinder<Ch>::Scan(const Str<Ch>& text, const std::vector<Window>& windows,
                                  std::vector<bool>& found) const {
  const PassEnv<Ch>& env = env_;
  // The entries still looked for, in groups of 64: for each lower-case byte,
  // which of them start with it and which have it second.
  std::vector<std::size_t> probes;
  for (std::size_t k = 0; k < low_.size(); ++k) {
    if (always_[k]) found[k] = true;
    if (!found[k] && !low_[k].empty()) probes.push_back(k);
  }
  if (probes.empty()) return;
  const std::size_t groups = (probes.size() + 63) / 64;
  std::vector<std::array<std::uint64_t, 256>> first(groups), second(groups);
  for (auto& g : first) g.fill(0);
  for (auto& g : second) g.fill(0);
  for (std::size_t j = 0; j < probes.size(); ++j) {
    const std::uint64_t bit = std::uint64_t{1} << (j % 64);
    const Str<Ch>& low = low_[probes[j]];
    first[j / 64][U(low[0])] |= bit;
    if (low.size() == 1)
      for (auto& m : second[j / 64]) m |= bit;
    else
      second[j / 64][U(low[1])] |= bit;
  }
  std::size_t left = probes.size();
  // The pairs of bytes, as they stand in the text, that may begin an entry.
  std::vector<std::uint64_t> pairs(256 * 256 / 64, 0);
  for (std::size_t k : probes)
    for (std::uint16_t bit : starts_[k]) pairs[bit >> 6] |= std::uint64_t{1} << (bit & 63);

  // Positions are looked at only after a byte that may stand before an
  // occurrence; those bytes are searched for together where they are few.
  ByteSet befores;
  bool fast = sizeof(Ch) == 1;
  for (int b = 0; b < 256 && fast; ++b)
    if (ValidBefore(static_cast<Ch>((*env.lower)[static_cast<std::size_t>(b)])))
      fast = befores.add(static_cast<unsigned char>(b));

  // One window: occurrences whose bytes before and after lie in data[0, n).
  auto scan = [&](const Ch* data, std::size_t n) {
    // Tests the position i (0 < i < n), which follows a valid byte.
    auto probe = [&](std::size_t i) {
      if (i + 1 >= n) return;
      const std::uint32_t r0 = U(data[i]);
      const std::uint32_t r1 = U(data[i + 1]);
      if ((r0 | r1) >= 256) return;  // markers begin no entry
      const std::uint32_t bit = r0 << 8 | r1;
      if ((pairs[bit >> 6] >> (bit & 63) & 1) == 0) return;
      const std::uint32_t c0 = U(env.Lower(data[i]));
      const std::uint32_t c1 = U(env.Lower(data[i + 1]));
      for (std::size_t g = 0; g < groups; ++g) {
        std::uint64_t mask = first[g][c0] & (c1 < 256 ? second[g][c1] : 0);
        while (mask != 0) {
          const int b = std::countr_zero(mask);
          mask &= mask - 1;
          const std::size_t entry = probes[g * 64 + static_cast<std::size_t>(b)];
          const Str<Ch>& low = low_[entry];
          const std::size_t L = low.size();
          if (n - i <= L) continue;
          std::size_t k = 0;
          while (k < L && env.Lower(data[i + k]) == low[k]) ++k;
          if (k < L || !ValidAfter(env.Lower(data[i + L]))) continue;
          found[entry] = true;
          first[g][U(low[0])] &= ~(std::uint64_t{1} << b);
          --left;
        }
      }
    };
    if (fast) {
      std::size_t j = 0;  // positions before j have been looked at as "before" bytes
#ifdef TERSIFY_ENGINE_SSE2
      if constexpr (sizeof(Ch) == 1) {
        for (; j + 16 <= n && left > 0; j += 16) {
          __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + j));
          auto mask = static_cast<unsigned>(_mm_movemask_epi8(befores.matches(x)));
          while (mask != 0) {
            const std::size_t i = j + static_cast<std::size_t>(std::countr_zero(mask)) + 1;
            mask &= mask - 1;
            if (i < n) probe(i);
          }
        }
      }
#endif
      for (; j + 1 < n && left > 0; ++j)
        if (befores.has(U(data[j]))) probe(j + 1);
    } else {
      for (std::size_t i = 1; i < n && left > 0; ++i)
        if (ValidBefore(env.Lower(data[i - 1]))) probe(i);
    }
  };
  for (const Window& w : windows) {
    if (left == 0) break;
    scan(text.data() + w.begin, w.end - w.begin);
  }
}

template <class Ch>
std::optional<TagStart> FindTagStart(const Str<Ch>& text, const PassEnv<Ch>& env, std::string_view entry) {
  if (entry.empty()) return std::nullopt;
  EntrySearch<Ch> es(env, entry);
  if (es.usable) {
    return FindFirstChange(text, env, es);
  }
  // Without a direct search the step-by-step method runs from the start.
  if (!Occurs(text, env, es.low)) return std::nullopt;
  return TagStart{0, false};
}

template <class Ch>
Str<Ch> ProcessTagFrom(Str<Ch> text, const PassEnv<Ch>& env, std::string_view entry, std::string_view replacement,
                       TagStart start, TextEdits* edits) {
  EntrySearch<Ch> es(env, entry);
  return TagProcessor<Ch>(std::move(text), env, entry, replacement, es, start.pos, start.odd, edits).Run();
}

template <class Ch>
Str<Ch> ProcessTag(Str<Ch> text, const PassEnv<Ch>& env, std::string_view entry, std::string_view replacement) {
  auto start = FindTagStart(text, env, entry);
  if (!start) return text;
  return ProcessTagFrom(std::move(text), env, entry, replacement, *start, nullptr);
}

#define TERSIFY_INSTANTIATE(Ch)                                                                                 \
  template Str<Ch> ProcessTag<Ch>(Str<Ch>, const PassEnv<Ch>&, std::string_view, std::string_view);            \
  template std::optional<TagStart> FindTagStart<Ch>(const Str<Ch>&, const PassEnv<Ch>&, std::string_view);     \
  template Str<Ch> ProcessTagFrom<Ch>(Str<Ch>, const PassEnv<Ch>&, std::string_view, std::string_view, TagStart, \
                                      TextEdits*);                                                              \
  template class TagCandidateFinder<Ch>;
TERSIFY_INSTANTIATE(char)
TERSIFY_INSTANTIATE(Wide)
#undef TERSIFY_INSTANTIATE

}  // namespace tersify::engine
