// Removal of the tags a table entry names, or replacement of the entry's text.
#include "engine/passes.h"

#if defined(__SSE2__) && (defined(__GNUC__) || defined(__clang__))
#include <cpuid.h>
#include <immintrin.h>
#endif

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

// The bytes that share each lower-case form, in byte order.
class CaseClasses {
 public:
  explicit CaseClasses(const LowerTable& t) {
    for (std::size_t b = 0; b < 256; ++b) ++begin_[t[b] + 1u];
    for (std::size_t l = 0; l < 256; ++l) begin_[l + 1] = static_cast<std::uint16_t>(begin_[l + 1] + begin_[l]);
    std::array<std::uint16_t, 257> next = begin_;
    for (std::size_t b = 0; b < 256; ++b) bytes_[next[t[b]]++] = static_cast<unsigned char>(b);
  }
  // The bytes whose lower-case form is `low` (< 256).
  std::basic_string_view<unsigned char> Of(std::uint32_t low) const {
    return {bytes_.data() + begin_[low], static_cast<std::size_t>(begin_[low + 1] - begin_[low])};
  }

 private:
  std::array<unsigned char, 256> bytes_{};
  std::array<std::uint16_t, 257> begin_{};
};

// The entry in lower case, and the bytes a scan for it must stop at: the
// quote and every byte whose lower-case form is the entry's first.
template <class Ch>
struct EntrySearch {
  EntrySearch(const PassEnv<Ch>& env, const CaseClasses& classes, std::string_view entry) {
    for (char c : entry) low.push_back(env.Lower(static_cast<Ch>(static_cast<unsigned char>(c))));
    if (low.empty()) return;
    const std::uint32_t f = U(low[0]);
    complete = stops.add('"');
    int capitals = 0;
    for (unsigned char b : classes.Of(f)) {
      complete = stops.add(b) && firstBytes.add(b) && complete;
      if (b != f) ++capitals;
    }
    if (low.size() >= 2)
      for (unsigned char b : classes.Of(U(low[1]))) complete = secondBytes.add(b) && complete;
    // The jump ahead below relies on untaken occurrences being left exactly
    // as they were. That fails when disarming the first byte changes what a
    // later test sees: a first byte that is a quote (parity), a "<" or ">"
    // (markup) or a byte that may stand before an occurrence; and when more
    // than one capital shares the lower-case form, since the markers turn
    // back into one of them.
    usable = complete && capitals <= 1 && f != '"' && f != 8 && f != '\n' && f != ' ' && f != '<' && f != '>';
    restores = capitals <= 1;  // a disarmed byte always comes back as it was
    if (low.size() >= 2) pairFinder = PairFinder(firstBytes, secondBytes);
  }
  Str<Ch> low;
  ByteSet stops;
  ByteSet firstBytes;     // the bytes that lower-case to the entry's first
  ByteSet secondBytes;    // the same for its second
  PairFinder pairFinder;  // the two together, for entries of two bytes or more
  bool complete = false;  // stops holds all the bytes it should
  bool usable = false;    // the first change may be looked for directly
  bool restores = false;  // turning the markers back restores the bytes they replaced
};

template <class Ch>
class TagProcessor {
 public:
  // Reading starts at start.pos (0-based), with start.odd the parity of the
  // quotes before it; the text before it is known to stay as it is.
  TagProcessor(const Str<Ch>& text, Str<Ch>& out, const PassEnv<Ch>& env, std::string_view entry,
               std::string_view replacement, const EntrySearch<Ch>& es, const TagStart& start, TextEdits* edits)
      : g_(text.data(), text.size(), out),
        result_(out),
        env_(env),
        entry_(entry),
        low_(es.low),
        stops_(es.stops),
        fastStops_(es.complete),
        firstBytes_(es.firstBytes),
        pairs_(es.pairFinder),
        jump_(es.usable),
        restores_(es.restores),
        keepUntaken_(es.usable && !es.firstBytes.has('"') && !es.firstBytes.has('<') && !es.firstBytes.has('>')),
        edits_(edits),
        odd_(start.odd) {
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
    g_.emitN(start.pos);
    if (flags_) flags_->emitN(start.pos);
    // The untaken occurrences before the start, disarmed as if found one by one.
    if (keepUntaken_) {
      untaken_ = start.untaken;
    } else {
      for (std::size_t q : start.untaken) g_.outAt(q) = Marker(g_.out(q));
      disarmed_ = !start.untaken.empty();
    }
  }

  // Writes the text into `out`.
  void Run() {
    const std::size_t L = low_.size();
    const Ch first = low_[0];
    while (!g_.atEnd()) {
      if (env_.Lower(g_.head()) != first || !Matches()) {
        Emit();
        // Bytes that neither start the entry nor are quotes are copied as a run.
        const Ch* rest = g_.restData();
        const std::size_t n = g_.restSize();
        std::size_t k = 0;
        if (!g_.restIsSource()) {
          // Symbols handed back stand in front: they are read one by one.
        } else if (jump_) {
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
        if (keepUntaken_) {
          untaken_.push_back(g_.outSize());
          Emit();
          continue;
        }
        EmitAs(Marker(g_.head()));
        disarmed_ = true;
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
    if (disarmed_ && !restores_ && edits_) edits_->whole = true;
    if (disarmed_ || marked_) {
      const auto f = static_cast<unsigned char>(entry_[0]);
      const Ch up = static_cast<Ch>(UpperOf(*env_.lower, f));
      const Ch lo = static_cast<Ch>((*env_.lower)[f]);
      ReplaceTwo<Ch>(result_, env_.markB, up, env_.markA, lo);
    }
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
    return markup_.InMarkup(g_.outData(), g_.outSize());
  }

  // Removes the tag around the occurrence at the head; returns where the
  // text before it now ends.
  std::size_t RemoveTag() {
    const std::size_t p = g_.outSize();
    // Back to a "<" with an even number of quotes between it and the occurrence.
    std::size_t s = 0;
    bool between = false, found = false;
    for (std::size_t k = p; k > 0 && !found; --k) {
      Ch c = g_.out(k - 1);
      if (Is(c, '<') && !between) {
        s = k - 1;
        found = true;
      }
      if (Is(c, '"')) between = !between;
    }
    if (!found) env_.MetEdge();
    // On to a ">" with an even number of quotes from the occurrence to it.
    const std::size_t n = g_.restSize();
    bool odd = Is(g_.head(), '"');
    std::size_t e = n - 1;
    found = false;
    for (std::size_t k = 1; k < n && !found; ++k) {
      Ch c = g_.ahead(k);
      if (Is(c, '>') && !odd) {
        e = k;
        found = true;
      }
      if (Is(c, '"')) odd = !odd;
    }
    if (!found) env_.MetEdge();
    // The quotes of the settled part that go with the tag.
    for (std::size_t k = s; k < p; ++k)
      if (Is(g_.out(k), '"')) odd_ = !odd_;
    if (edits_ && !edits_->scriptMarkerRemoved) {
      for (std::size_t k = s; k < p; ++k) edits_->scriptMarkerRemoved |= env_.IsBlockMarker(g_.out(k));
      for (std::size_t k = 0; k <= e; ++k) edits_->scriptMarkerRemoved |= env_.IsBlockMarker(g_.ahead(k));
    }
    markup_.Cut(g_.outData(), s);
    g_.truncate(s);
    while (!untaken_.empty() && untaken_.back() >= s) untaken_.pop_back();
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
  // The marker that disarms the occurrence beginning with c.
  Ch Marker(Ch c) const { return c == env_.Lower(c) ? env_.markA : env_.markB; }

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
    // Untaken occurrences read again must not be found again.
    while (!untaken_.empty() && untaken_.back() >= g_.outSize() - k) {
      g_.outAt(untaken_.back()) = Marker(g_.out(untaken_.back()));
      untaken_.pop_back();
      marked_ = true;
    }
    for (std::size_t i = g_.outSize() - k; i < g_.outSize(); ++i)
      if (Is(g_.out(i), '"')) odd_ = !odd_;
    markup_.Cut(g_.outData(), g_.outSize() - k);
    g_.pushBack(k);
    if (flags_) flags_->pushBack(k);
  }

  SplitText<Ch> g_;
  mutable BracketLookBack<Ch> markup_;  // over the settled part; asked from the const tests
  Str<Ch>& result_;
  const PassEnv<Ch>& env_;
  std::string_view entry_;
  const Str<Ch>& low_;
  const ByteSet& stops_;  // the quote and every byte that lower-cases to low_[0]
  bool fastStops_;
  const ByteSet& firstBytes_;
  const PairFinder& pairs_;
  bool jump_;  // untaken occurrences stay as they are, so runs may be passed over whole
  bool restores_;
  // An untaken occurrence keeps its first byte where the marker would make no
  // difference to any later test; its place is kept instead, and it is marked
  // only when handed back to be read again.
  bool keepUntaken_;
  std::vector<std::size_t> untaken_;
  bool marked_ = false;
  bool disarmed_ = false;  // markers stand in the text
  TextEdits* edits_;
  Str<Ch> rep_;
  // Which symbols this call's replacements put in (replacement only).
  std::optional<GapText<unsigned char>> flags_;
  bool odd_ = false;  // quote parity of the settled part
};

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
  auto next = [&](const Ch* from) { return L >= 2 ? es.pairFinder.find(from, end) : es.firstBytes.find(from, end); };
  bool odd = false;
  const Ch* counted = data;  // quotes before this point are in `odd`
  BracketLookBack<Ch> markup;
  std::vector<std::size_t> untaken;
  for (const Ch* p = next(data); p < end; p = next(p + 1)) {
    const std::size_t i = static_cast<std::size_t>(p - data);
    // Test 1: the whole entry.
    if (text.size() - i < L) continue;
    std::size_t k = 0;
    while (k < L && env.Lower(p[k]) == es.low[k]) ++k;
    if (k < L) continue;
    // An occurrence needs a byte before and after it, each of the right kind,
    // and must stand outside quotes.
    bool taken = i > 0 && text.size() - i > L;
    taken = taken && ValidBefore(env.Lower(p[-1])) && ValidAfter(env.Lower(p[L]));
    if (taken) {
      odd ^= (CountOf(counted, p, quote) & 1) != 0;
      counted = p;
      taken = !odd && markup.InMarkup(data, i);
    }
    if (taken) return TagStart{i, odd, std::move(untaken)};
    untaken.push_back(i);
  }
  return std::nullopt;
}

}  // namespace

#if defined(TERSIFY_ENGINE_SSE2) && (defined(__GNUC__) || defined(__clang__))
#define TERSIFY_ENGINE_PAIR_CLASSES 1

// Asked when a sweep first needs it rather than by the C library's
// start-up code: in a virtual machine each question goes to the host, which
// costs a short run of the program a few per cent.
const CpuOffers& ProcessorOffers() {
  static const CpuOffers offers = [] {
    CpuOffers o;
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0) return o;
    o.ssse3 = (c & bit_SSSE3) != 0;
    o.popcnt = (c & bit_POPCNT) != 0;
    // AVX2 also needs the system to save the wide registers.
    if ((c & bit_OSXSAVE) == 0 || (c & bit_AVX) == 0) return o;
    unsigned lo = 0, hi = 0;
    __asm__("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
    if ((lo & 6) != 6 || __get_cpuid_count(7, 0, &a, &b, &c, &d) == 0) return o;
    o.avx2 = (b & bit_AVX2) != 0;
    return o;
  }();
  return offers;
}

// The buckets of each byte of x, by the tables of its two halves.
__attribute__((target("ssse3"))) inline __m128i Buckets(__m128i x, __m128i lo, __m128i hi) {
  const __m128i low = _mm_set1_epi8(0x0F);
  return _mm_and_si128(_mm_shuffle_epi8(lo, _mm_and_si128(x, low)),
                       _mm_shuffle_epi8(hi, _mm_and_si128(_mm_srli_epi16(x, 4), low)));
}

// For each position i in (j, limit) after a byte of `befores` whose pair
// data[i], data[i + 1] may begin an entry, calls probe(i), sixteen "before"
// bytes at a time while left > 0 and 18 bytes remain; returns where it
// stopped (positions before it have been looked at as "before" bytes).
template <class Probe>
__attribute__((target("ssse3"))) std::size_t ScanPairClasses(const char* data, std::size_t n, std::size_t limit,
                                                             const std::size_t& left, const ByteSet& befores,
                                                             const PairClasses& c, Probe&& probe) {
  const ByteMatcher beforeLanes(befores);
  auto load = [](const std::array<std::uint8_t, 16>& t) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(t.data()));
  };
  const __m128i loF = load(c.loFirst), hiF = load(c.hiFirst), loS = load(c.loSecond), hiS = load(c.hiSecond);
  std::size_t j = 0;
  for (; j + 18 <= n && j < limit && left > 0; j += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + j));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + j + 1));
    const __m128i z = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + j + 2));
    const __m128i both = _mm_and_si128(Buckets(y, loF, hiF), Buckets(z, loS, hiS));
    const __m128i some = _mm_andnot_si128(_mm_cmpeq_epi8(both, _mm_setzero_si128()), beforeLanes.matches(x));
    auto mask = static_cast<unsigned>(_mm_movemask_epi8(some));
    while (mask != 0) {
      const std::size_t i = j + static_cast<std::size_t>(std::countr_zero(mask)) + 1;
      mask &= mask - 1;
      if (i < limit) probe(i);
    }
  }
  return j;
}

// The word starts of one block of 64 bytes at `base`, from the block's masks
// (bit k for byte base + k): its bounding bytes, those that may stand before
// an occurrence, its quotes and the bytes whose pair with the next may begin
// a word. See ScanWordStarts.
template <class Word>
inline void ReportWordStarts(const char* data, std::size_t n, std::size_t base, std::size_t longest,
                             const std::array<bool, 256>& bound, std::uint64_t bounds, std::uint64_t befores,
                             std::uint64_t quotes, std::uint64_t firsts, std::uint64_t& carry, bool& odd, Word& word) {
  std::uint64_t starts = (befores << 1 | carry) & ~bounds & firsts;
  carry = befores >> 63;
  while (starts != 0) {
    const int k = std::countr_zero(starts);
    starts &= starts - 1;
    const std::size_t i = base + static_cast<std::size_t>(k);
    const std::uint64_t later = k == 63 ? 0 : bounds >> (k + 1);
    std::size_t e;
    if (later != 0) {
      e = i + 1 + static_cast<std::size_t>(std::countr_zero(later));
    } else {
      const std::size_t cap = std::min(n, i + longest + 1);
      for (e = base + 64; e < cap && !bound[static_cast<unsigned char>(data[e])];) ++e;
      e = std::min(e, cap);
    }
    word(i, e, odd ^ ((std::popcount(quotes & ((std::uint64_t{1} << k) - 1)) & 1) != 0));
  }
  odd ^= (std::popcount(quotes) & 1) != 0;
}

// Classes by the two halves of a byte for the word sweep: bits 0 to 2 mark
// the bounding bytes, bits 4 to 6 those that may stand before an occurrence.
// High half 0: 8 and LF (both), CR (bounding); 2: space (both), quote; 3:
// "<" (both), ">".
alignas(16) constexpr std::array<std::uint8_t, 16> kWordLow = {0x22, 0, 0x02, 0, 0,    0,    0,    0,
                                                               0x11, 0, 0x11, 0, 0x44, 0x01, 0x04, 0};
alignas(16) constexpr std::array<std::uint8_t, 16> kWordHigh = {0x11, 0, 0x22, 0x44, 0, 0, 0, 0,
                                                                0,    0, 0,    0,    0, 0, 0, 0};

// For each word start of data[0, n) whose first two bytes may begin a word
// by `pairs` (a word start: a byte that bounds nothing (8, LF, CR, space,
// quote, "<", ">") after one that may stand before an occurrence (8, LF,
// space, "<")), calls word(i, e, odd): e is the first bounding byte after i,
// or a place more than `longest` on, and odd the parity of the quotes before
// i. Sixty-four bytes at a time while 65 remain; returns where it stopped,
// with `odd` the parity of the quotes before it.
template <class Word>
__attribute__((target("ssse3,popcnt"))) std::size_t ScanWordStarts(const char* data, std::size_t n, std::size_t longest,
                                                                   const PairClasses& pairs,
                                                                   const std::array<bool, 256>& bound, bool& odd,
                                                                   Word&& word) {
  auto load = [](const std::array<std::uint8_t, 16>& t) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(t.data()));
  };
  const __m128i loF = load(pairs.loFirst), hiF = load(pairs.hiFirst);
  const __m128i loS = load(pairs.loSecond), hiS = load(pairs.hiSecond);
  const __m128i lo = load(kWordLow), hi = load(kWordHigh);
  const __m128i bounding = _mm_set1_epi8(0x07), before = _mm_set1_epi8(0x70);
  const __m128i quote = _mm_set1_epi8('"'), zero = _mm_setzero_si128();
  auto lanes = [](__m128i m) { return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(m))); };
  std::uint64_t carry = 0;  // the byte before the block may stand before an occurrence
  std::size_t base = 0;
  for (; base + 65 <= n; base += 64) {
    std::uint64_t bounds = 0, befores = 0, quotes = 0, firsts = 0;
    for (unsigned k = 0; k < 4; ++k) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + base + 16 * k));
      const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + base + 16 * k + 1));
      const __m128i pair = _mm_and_si128(Buckets(x, loF, hiF), Buckets(y, loS, hiS));
      firsts |= (~lanes(_mm_cmpeq_epi8(pair, zero)) & 0xFFFF) << (16 * k);
      const __m128i cls = Buckets(x, lo, hi);
      bounds |= (~lanes(_mm_cmpeq_epi8(_mm_and_si128(cls, bounding), zero)) & 0xFFFF) << (16 * k);
      befores |= (~lanes(_mm_cmpeq_epi8(_mm_and_si128(cls, before), zero)) & 0xFFFF) << (16 * k);
      quotes |= lanes(_mm_cmpeq_epi8(x, quote)) << (16 * k);
    }
    ReportWordStarts(data, n, base, longest, bound, bounds, befores, quotes, firsts, carry, odd, word);
  }
  return base;
}

// The same, 32 bytes to a step, where the processor has them.
__attribute__((target("avx2"))) inline __m256i Buckets(__m256i x, __m256i lo, __m256i hi) {
  const __m256i low = _mm256_set1_epi8(0x0F);
  return _mm256_and_si256(_mm256_shuffle_epi8(lo, _mm256_and_si256(x, low)),
                          _mm256_shuffle_epi8(hi, _mm256_and_si256(_mm256_srli_epi16(x, 4), low)));
}

__attribute__((target("avx2"))) inline __m256i Table32(const std::array<std::uint8_t, 16>& t) {
  return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(t.data())));
}
__attribute__((target("avx2"))) inline std::uint64_t Lanes32(__m256i m) {
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(m));
}

template <class Word>
__attribute__((target("avx2,popcnt"))) std::size_t ScanWordStartsAvx2(const char* data, std::size_t n,
                                                                      std::size_t longest, const PairClasses& pairs,
                                                                      const std::array<bool, 256>& bound, bool& odd,
                                                                      Word&& word) {
  const __m256i loF = Table32(pairs.loFirst), hiF = Table32(pairs.hiFirst);
  const __m256i loS = Table32(pairs.loSecond), hiS = Table32(pairs.hiSecond);
  const __m256i lo = Table32(kWordLow), hi = Table32(kWordHigh);
  const __m256i bounding = _mm256_set1_epi8(0x07), before = _mm256_set1_epi8(0x70);
  const __m256i quote = _mm256_set1_epi8('"'), zero = _mm256_setzero_si256();
  std::uint64_t carry = 0;
  std::size_t base = 0;
  for (; base + 65 <= n; base += 64) {
    std::uint64_t bounds = 0, befores = 0, quotes = 0, firsts = 0;
    for (unsigned k = 0; k < 2; ++k) {
      const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + base + 32 * k));
      const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + base + 32 * k + 1));
      const __m256i pair = _mm256_and_si256(Buckets(x, loF, hiF), Buckets(y, loS, hiS));
      firsts |= (~Lanes32(_mm256_cmpeq_epi8(pair, zero)) & 0xFFFFFFFF) << (32 * k);
      const __m256i cls = Buckets(x, lo, hi);
      bounds |= (~Lanes32(_mm256_cmpeq_epi8(_mm256_and_si256(cls, bounding), zero)) & 0xFFFFFFFF) << (32 * k);
      befores |= (~Lanes32(_mm256_cmpeq_epi8(_mm256_and_si256(cls, before), zero)) & 0xFFFFFFFF) << (32 * k);
      quotes |= Lanes32(_mm256_cmpeq_epi8(x, quote)) << (32 * k);
    }
    ReportWordStarts(data, n, base, longest, bound, bounds, befores, quotes, firsts, carry, odd, word);
  }
  return base;
}

// ScanPairClasses 32 "before" bytes at a time, where the processor has AVX2.
template <class Probe>
__attribute__((target("avx2"))) std::size_t ScanPairClassesAvx2(const char* data, std::size_t n, std::size_t limit,
                                                                const std::size_t& left, const ByteSet& befores,
                                                                const PairClasses& c, Probe&& probe) {
  __m256i before[4];
  for (std::size_t i = 0; i < 4; ++i)
    before[i] = _mm256_set1_epi8(static_cast<char>(befores.at(i < befores.size() ? i : 0)));
  const __m256i loF = Table32(c.loFirst), hiF = Table32(c.hiFirst), loS = Table32(c.loSecond),
                hiS = Table32(c.hiSecond);
  std::size_t j = 0;
  for (; j + 34 <= n && j < limit && left > 0; j += 32) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + j));
    const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + j + 1));
    const __m256i z = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + j + 2));
    const __m256i both = _mm256_and_si256(Buckets(y, loF, hiF), Buckets(z, loS, hiS));
    const __m256i lanes =
        _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(x, before[0]), _mm256_cmpeq_epi8(x, before[1])),
                        _mm256_or_si256(_mm256_cmpeq_epi8(x, before[2]), _mm256_cmpeq_epi8(x, before[3])));
    auto mask = static_cast<std::uint32_t>(
        Lanes32(_mm256_andnot_si256(_mm256_cmpeq_epi8(both, _mm256_setzero_si256()), lanes)));
    while (mask != 0) {
      const std::size_t i = j + static_cast<std::size_t>(std::countr_zero(mask)) + 1;
      mask &= mask - 1;
      if (i < limit) probe(i);
    }
  }
  return j;
}
#else
const CpuOffers& ProcessorOffers() {
  static const CpuOffers none;
  return none;
}
#endif

namespace {

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
TagCandidateFinder<Ch>::TagCandidateFinder(const PassEnv<Ch>& env, const std::vector<std::string_view>& entries,
                                           Vectors vectors)
    : env_(env), vectors_(vectors) {
  const CaseClasses classes(*env.lower);
  for (std::string_view e : entries) {
    EntrySearch<Ch> es(env, classes, e);
    always_.push_back(!es.low.empty() && !es.usable);  // judged by the entry's own search
    std::string firsts, seconds;
    if (!es.low.empty())
      for (unsigned char b : classes.Of(U(es.low[0]))) firsts.push_back(static_cast<char>(b));
    if (es.low.size() >= 2)
      for (unsigned char b : classes.Of(U(es.low[1]))) seconds.push_back(static_cast<char>(b));
    firsts_.push_back(std::move(firsts));
    seconds_.push_back(std::move(seconds));
    low_.push_back(std::move(es.low));
  }
}

template <class Ch>
void TagCandidateFinder<Ch>::Mark(const Str<Ch>& text, std::vector<bool>& found) const {
  Scan(text, {{0, text.size(), text.size()}}, found);
}

template <class Ch>
void TagCandidateFinder<Ch>::MarkAround(const Str<Ch>& text, const TextEdits& edits, std::vector<bool>& found) const {
  if (edits.whole) return Mark(text, found);
  // An occurrence the edits made has a changed symbol or a piece boundary
  // between its byte before and its byte after; so it begins at most the
  // longest entry's length before an edited range and at most at its end.
  std::size_t longest = 0;
  for (std::size_t k = 0; k < low_.size(); ++k)
    if (!found[k]) longest = std::max(longest, low_[k].size());
  const std::size_t reach = longest + 1;
  const std::size_t n = text.size();
  std::vector<Window> windows;
  for (const auto& r : edits.ranges) {
    const std::size_t begin = r.begin > reach ? r.begin - reach : 0;
    const std::size_t last = std::max(r.begin, r.end);
    const std::size_t end = std::min(n, last + reach);
    if (!windows.empty() && begin <= windows.back().end) {
      windows.back().end = std::max(windows.back().end, end);
      windows.back().last = std::max(windows.back().last, last);
    } else {
      windows.push_back({begin, end, last});
    }
  }
  Scan(text, windows, found);
}

template <class Ch>
void TagCandidateFinder<Ch>::BuildLookup(const std::vector<bool>& found) const {
  Lookup& t = lookup_;
  t = Lookup{};
  t.built = true;
  t.slot.assign(low_.size(), Lookup::kNone);
  for (std::size_t k = 0; k < low_.size(); ++k)
    if (!found[k] && !low_[k].empty()) {
      t.slot[k] = t.probes.size();
      t.probes.push_back(k);
    }
  t.live.assign(t.probes.size(), true);
  // In groups of 64: for each lower-case byte, which entries start with it
  // and which have it second.
  const std::size_t groups = (t.probes.size() + 63) / 64;
  t.first.resize(groups);
  t.second.resize(groups);
  for (auto& g : t.first) g.fill(0);
  for (auto& g : t.second) g.fill(0);
  for (std::size_t j = 0; j < t.probes.size(); ++j) {
    const std::uint64_t bit = std::uint64_t{1} << (j % 64);
    const Str<Ch>& low = low_[t.probes[j]];
    t.first[j / 64][U(low[0])] |= bit;
    if (low.size() == 1)
      for (auto& m : t.second[j / 64]) m |= bit;
    else
      t.second[j / 64][U(low[1])] |= bit;
  }
  // The pairs of bytes, as they stand in the text, that may begin an entry.
  t.pairs.assign(256 * 256 / 64, 0);
  for (std::size_t k : t.probes)
    for (char c0 : firsts_[k]) {
      const std::size_t row = std::size_t{static_cast<unsigned char>(c0)} << 8;
      if (low_[k].size() == 1) {
        std::fill_n(t.pairs.begin() + static_cast<std::ptrdiff_t>(row / 64), 256 / 64, ~std::uint64_t{0});
        continue;
      }
      for (char c1 : seconds_[k]) {
        const std::size_t bit = row | static_cast<unsigned char>(c1);
        t.pairs[bit >> 6] |= std::uint64_t{1} << (bit & 63);
      }
    }
  // Positions are looked at only after a byte that may stand before an
  // occurrence; those bytes are searched for together where they are few.
  t.fast = sizeof(Ch) == 1;
  for (int b = 0; b < 256 && t.fast; ++b)
    if (ValidBefore(static_cast<Ch>((*env_.lower)[static_cast<std::size_t>(b)])))
      t.fast = t.befores.add(static_cast<unsigned char>(b));
#ifdef TERSIFY_ENGINE_PAIR_CLASSES
  if (t.fast && ProcessorOffers().ssse3) {
    PairClasses c;
    std::vector<std::uint32_t> buckets;  // the first lower-case bytes met, one per bucket in turn
    for (std::size_t k : t.probes) {
      const std::uint32_t f = U(low_[k][0]);
      auto at = std::find(buckets.begin(), buckets.end(), f);
      if (at == buckets.end()) at = buckets.insert(buckets.end(), f);
      const auto bucket = static_cast<unsigned>((at - buckets.begin()) % 8);
      for (char c0 : firsts_[k]) c.AddFirst(bucket, static_cast<unsigned char>(c0));
      if (low_[k].size() == 1)
        for (int b = 0; b < 256; ++b) c.AddSecond(bucket, static_cast<unsigned char>(b));
      else
        for (char c1 : seconds_[k]) c.AddSecond(bucket, static_cast<unsigned char>(c1));
    }
    t.pairClasses = c;
  }
#endif
}

template <class Ch>
void TagCandidateFinder<Ch>::Scan(const Str<Ch>& text, const std::vector<Window>& windows,
                                  std::vector<bool>& found) const {
  const PassEnv<Ch>& env = env_;
  // The entries still looked for.
  bool rebuild = !lookup_.built;
  std::size_t left = 0;
  for (std::size_t k = 0; k < low_.size(); ++k) {
    if (always_[k]) found[k] = true;
    if (found[k] || low_[k].empty()) continue;
    rebuild = rebuild || !lookup_.Live(k);
    ++left;
  }
  if (left == 0) return;
  if (rebuild) BuildLookup(found);
  Lookup& t = lookup_;
  // Entries found since the tables were made are looked for no more.
  for (std::size_t j = 0; j < t.probes.size(); ++j)
    if (t.live[j] && found[t.probes[j]]) t.Retire(j, U(low_[t.probes[j]][0]));
  const std::size_t groups = t.first.size();
  auto& first = t.first;
  auto& second = t.second;
  auto& pairs = t.pairs;
  const auto& probes = t.probes;
  const ByteSet& befores = t.befores;
  const bool fast = t.fast;

  // One window: occurrences that begin before `limit` and whose bytes
  // before and after lie in data[0, n).
  auto scan = [&](const Ch* data, std::size_t n, std::size_t limit) {
    limit = std::min(limit, n);
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
          t.Retire(g * 64 + static_cast<std::size_t>(b), U(low[0]));
          --left;
        }
      }
    };
    if (fast) {
      std::size_t j = 0;  // positions before j have been looked at as "before" bytes
#ifdef TERSIFY_ENGINE_PAIR_CLASSES
      if constexpr (sizeof(Ch) == 1)
        if (t.pairClasses)
          j = vectors_ == Vectors::Widest && ProcessorOffers().avx2
                  ? ScanPairClassesAvx2(data, n, limit, left, befores, *t.pairClasses, probe)
                  : ScanPairClasses(data, n, limit, left, befores, *t.pairClasses, probe);
#endif
#ifdef TERSIFY_ENGINE_SSE2
      if constexpr (sizeof(Ch) == 1) {
        const ByteMatcher beforeLanes(befores);
        for (; j + 16 <= n && j < limit && left > 0; j += 16) {
          __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + j));
          auto mask = static_cast<unsigned>(_mm_movemask_epi8(beforeLanes.matches(x)));
          while (mask != 0) {
            const std::size_t i = j + static_cast<std::size_t>(std::countr_zero(mask)) + 1;
            mask &= mask - 1;
            if (i < limit) probe(i);
          }
        }
      }
#endif
      for (; j + 1 < limit && left > 0; ++j)
        if (befores.has(U(data[j]))) probe(j + 1);
    } else {
      for (std::size_t i = 1; i < limit && left > 0; ++i)
        if (ValidBefore(env.Lower(data[i - 1]))) probe(i);
    }
  };
  for (const Window& w : windows) {
    if (left == 0) break;
    scan(text.data() + w.begin, w.end - w.begin, w.last + 1 - w.begin);
  }
}

namespace {

template <class Ch>
std::optional<TagStart> FindTagStartWith(const Str<Ch>& text, const PassEnv<Ch>& env, const EntrySearch<Ch>& es) {
  if (es.usable) return FindFirstChange(text, env, es);
  // Without a direct search the step-by-step method runs from the start.
  if (!Occurs(text, env, es.low)) return std::nullopt;
  return TagStart{0, false, {}};
}

}  // namespace

template <class Ch>
std::optional<TagStart> FindTagStart(const Str<Ch>& text, const PassEnv<Ch>& env, std::string_view entry) {
  if (entry.empty()) return std::nullopt;
  return FindTagStartWith(text, env, EntrySearch<Ch>(env, CaseClasses(*env.lower), entry));
}

template <class Ch>
bool ProcessTagInto(const Str<Ch>& text, const PassEnv<Ch>& env, std::string_view entry, std::string_view replacement,
                    TextEdits* edits, Str<Ch>& out) {
  if (entry.empty()) return false;
  const EntrySearch<Ch> es(env, CaseClasses(*env.lower), entry);
  const std::optional<TagStart> start = FindTagStartWith(text, env, es);
  if (!start) return false;
  TagProcessor<Ch>(text, out, env, entry, replacement, es, *start, edits).Run();
  return true;
}

template <class Ch>
Str<Ch> ProcessTagFrom(Str<Ch> text, const PassEnv<Ch>& env, std::string_view entry, std::string_view replacement,
                       TagStart start, TextEdits* edits) {
  Str<Ch> out;
  const EntrySearch<Ch> es(env, CaseClasses(*env.lower), entry);
  TagProcessor<Ch>(text, out, env, entry, replacement, es, start, edits).Run();
  return out;
}

template <class Ch>
Str<Ch> ProcessTag(Str<Ch> text, const PassEnv<Ch>& env, std::string_view entry, std::string_view replacement) {
  Str<Ch> out;
  return ProcessTagInto(text, env, entry, replacement, nullptr, out) ? out : text;
}

namespace {

// The bytes that bound an occurrence or count for its tests.
bool Bounds(std::uint32_t c) {
  return c == 8 || c == '\n' || c == '\r' || c == ' ' || c == '"' || c == '<' || c == '>';
}

// Whether those bytes are their own lower-case forms and no other byte has
// one of them as its form, so the text and its lower-case form agree on them.
bool BoundsStandAlone(const LowerTable& t) {
  for (std::uint32_t b = 0; b < 256; ++b)
    if ((Bounds(b) || Bounds(t[b])) && t[b] != b) return false;
  return true;
}

// A group of replacement pairs taken word by word (see ReplaceTagsTogether).
template <class Ch>
class WordReplacer {
 public:
  static constexpr std::size_t kNone = ~std::size_t{0};

  // False when the pairs are not a group it serves.
  bool Prepare(const PassEnv<Ch>& env, const std::vector<TagPair>& pairs) {
    env_ = &env;
    if (!BoundsStandAlone(*env.lower)) return false;
    for (std::uint32_t b = 0; b < 256; ++b) bound_[b] = Bounds(b);
    const CaseClasses classes(*env.lower);
    for (const TagPair& p : pairs) {
      Str<Ch> rep;
      for (char c : p.replacement) rep.push_back(static_cast<Ch>(static_cast<unsigned char>(c)));
      reps_.push_back(rep);
      next_.push_back(kNone);
      if (p.entry.empty()) continue;  // changes nothing
      if (rep.empty()) return false;  // removes the tag: a change of another kind
      for (Ch c : rep)
        if (Bounds(U(c))) return false;
      const Str<Ch> low = Lowered(p.entry);
      for (Ch c : low)
        if (Bounds(U(c))) return false;
      // Untaken occurrences must come back as they were: at most one
      // capital shares the first byte's lower-case form.
      int capitals = 0;
      for (unsigned char b : classes.Of(U(low[0]))) capitals += b != U(low[0]) ? 1 : 0;
      if (capitals > 1) return false;
      Word& w = words_[WordFor(low)];
      w.pairs.push_back(reps_.size() - 1);
    }
    // Where a replacement is itself a word some pair takes, the word goes on
    // to that pair's later entries.
    for (std::size_t j = 0; j < reps_.size(); ++j)
      if (!reps_[j].empty() && !pairs[j].entry.empty()) next_[j] = Find(Lowered(pairs[j].replacement));
    return true;
  }

  std::optional<bool> Run(const Str<Ch>& text, Str<Ch>& out, Vectors vectors) {
    if (words_.empty()) return false;
    const Ch* const data = text.data();
    const std::size_t n = text.size();
    std::size_t copied = 0;  // text before it is in `out`
    bool changed = false;
    BracketLookBack<Ch> markup;
    // The word [i, e) after a byte that may stand before an occurrence, with
    // the parity of the quotes before it; e is the first bounding symbol
    // after i, or a place too far on for any word.
    auto word = [&](std::size_t i, std::size_t e, bool odd) {
      const std::size_t len = e - i;
      const std::uint32_t c0 = U(env_->Lower(data[i]));
      if (c0 >= 256 || len > longest_ || (lengths_[c0] & LengthBit(len)) == 0) return;
      if (e >= n || !ValidAfter(data[e])) return;
      const std::size_t d = Match(c0, data + i, len);
      if (d == kNone || odd || !markup.InMarkup(data, i)) return;
      const std::size_t j = Chain(d);
      if (j == kNone) return;
      if (!changed) {
        out.clear();
        out.reserve(n);
        changed = true;
      }
      out.append(data + copied, i - copied);
      out.append(reps_[j]);
      copied = e;
    };
    std::size_t from = 0;  // words that begin before it have been looked at
    bool odd = false;      // the parity of the quotes before `from`
    (void)vectors;
#ifdef TERSIFY_ENGINE_PAIR_CLASSES
    if constexpr (sizeof(Ch) == 1) {
      if (vectors == Vectors::Widest && ProcessorOffers().avx2 && ProcessorOffers().popcnt)
        from = ScanWordStartsAvx2(data, n, longest_, Classes(), bound_, odd, word);
      else if (ProcessorOffers().ssse3 && ProcessorOffers().popcnt)
        from = ScanWordStarts(data, n, longest_, Classes(), bound_, odd, word);
    }
#endif
    // Bounding bytes stand for themselves in both cases, and symbols past
    // the bytes (markers) bound nothing.
    auto bounds = [&](Ch c) { return U(c) < 256 && bound_[U(c)]; };
    if (from == 0 && n > 0) {
      odd = U(data[0]) == '"';
      from = 1;
    }
    for (std::size_t i = from; i < n; ++i) {
      if (ValidBefore(data[i - 1]) && !bounds(data[i])) {
        const std::size_t cap = std::min(n, i + longest_ + 1);
        std::size_t e = i + 1;
        while (e < cap && !bounds(data[e])) ++e;
        word(i, e, odd);
      }
      odd ^= U(data[i]) == '"';
    }
    if (!changed) return false;
    out.append(data + copied, n - copied);
    return true;
  }

 private:
  // A word some pair takes, and those pairs in order.
  struct Word {
    Str<Ch> low;
    std::vector<std::size_t> pairs;
  };

  Str<Ch> Lowered(std::string_view s) const {
    Str<Ch> low;
    for (char c : s) low.push_back(env_->Lower(static_cast<Ch>(static_cast<unsigned char>(c))));
    return low;
  }

  std::size_t Find(const Str<Ch>& low) const {
    for (std::size_t d : byFirst_[U(low[0])])
      if (words_[d].low == low) return d;
    return kNone;
  }

  static std::uint64_t LengthBit(std::size_t len) { return len < 64 ? std::uint64_t{1} << len : 1; }

  std::size_t WordFor(const Str<Ch>& low) {
    std::size_t d = Find(low);
    if (d != kNone) return d;
    std::vector<std::size_t>& same = byFirst_[U(low[0])];
    same.insert(LongerFrom(same, low.size()), words_.size());
    words_.push_back({low, {}});
    longest_ = std::max(longest_, low.size());
    lengths_[U(low[0])] |= LengthBit(low.size());
    return words_.size() - 1;
  }

  // The first of `ids` (words in order of length) whose word has `len` symbols or more.
  std::vector<std::size_t>::const_iterator LongerFrom(const std::vector<std::size_t>& ids, std::size_t len) const {
    return std::partition_point(ids.begin(), ids.end(), [&](std::size_t d) { return words_[d].low.size() < len; });
  }

  // The word of `len` symbols at p, whose first is c0 in lower case.
  std::size_t Match(std::uint32_t c0, const Ch* p, std::size_t len) const {
    // A letter begins few words: a walk through them by length beats a search.
    for (const std::size_t d : byFirst_[c0]) {
      const Str<Ch>& low = words_[d].low;
      if (low.size() < len) continue;
      if (low.size() > len) break;
      std::size_t k = 1;
      while (k < len && env_->Lower(p[k]) == low[k]) ++k;
      if (k == len) return d;
    }
    return kNone;
  }

  // The pair whose replacement the word `d` ends as, going through the pairs
  // in order; each takes the word as its predecessor left it.
  std::size_t Chain(std::size_t d) const {
    std::size_t last = kNone;
    std::size_t from = 0;
    while (d != kNone) {
      const std::vector<std::size_t>& ps = words_[d].pairs;
      auto it = std::lower_bound(ps.begin(), ps.end(), from);
      if (it == ps.end()) break;
      last = *it;
      from = last + 1;
      d = next_[last];
    }
    return last;
  }

  // The words' first two bytes as they may stand in the text, in eight
  // buckets by the word's first byte.
  PairClasses Classes() const {
    const CaseClasses classes(*env_->lower);
    PairClasses c;
    for (const Word& w : words_) {
      const auto bucket = static_cast<unsigned>(U(w.low[0]) % 8);
      for (unsigned char b : classes.Of(U(w.low[0]))) c.AddFirst(bucket, b);
      if (w.low.size() == 1)
        for (int b = 0; b < 256; ++b) c.AddSecond(bucket, static_cast<unsigned char>(b));
      else
        for (unsigned char b : classes.Of(U(w.low[1]))) c.AddSecond(bucket, b);
    }
    return c;
  }

  const PassEnv<Ch>* env_ = nullptr;
  std::vector<Word> words_;
  std::array<std::vector<std::size_t>, 256> byFirst_;  // per lower-case first byte, its words by length
  std::size_t longest_ = 0;
  // Per lower-case first byte, the lengths of its words as bits (bit 0 for
  // those of 64 symbols or more, which the length test then lets through).
  std::array<std::uint64_t, 256> lengths_{};
  std::array<bool, 256> bound_{};
  std::vector<Str<Ch>> reps_;      // per pair
  std::vector<std::size_t> next_;  // per pair, the word its replacement is, or kNone
};

}  // namespace

template <class Ch>
bool TagPairsGoTogether(const PassEnv<Ch>& env, const std::vector<TagPair>& pairs) {
  return WordReplacer<Ch>().Prepare(env, pairs);
}

template <class Ch>
std::optional<bool> ReplaceTagsTogether(const Str<Ch>& text, const PassEnv<Ch>& env, const std::vector<TagPair>& pairs,
                                        Str<Ch>& out, Vectors vectors) {
  WordReplacer<Ch> replacer;
  if (!replacer.Prepare(env, pairs)) return std::nullopt;
  return replacer.Run(text, out, vectors);
}

#define TERSIFY_INSTANTIATE(Ch)                                                                                        \
  template Str<Ch> ProcessTag<Ch>(Str<Ch>, const PassEnv<Ch>&, std::string_view, std::string_view);                    \
  template std::optional<TagStart> FindTagStart<Ch>(const Str<Ch>&, const PassEnv<Ch>&, std::string_view);             \
  template Str<Ch> ProcessTagFrom<Ch>(Str<Ch>, const PassEnv<Ch>&, std::string_view, std::string_view, TagStart,       \
                                      TextEdits*);                                                                     \
  template bool ProcessTagInto<Ch>(const Str<Ch>&, const PassEnv<Ch>&, std::string_view, std::string_view, TextEdits*, \
                                   Str<Ch>&);                                                                          \
  template class TagCandidateFinder<Ch>;                                                                               \
  template bool TagPairsGoTogether<Ch>(const PassEnv<Ch>&, const std::vector<TagPair>&);                               \
  template std::optional<bool> ReplaceTagsTogether<Ch>(const Str<Ch>&, const PassEnv<Ch>&,                             \
                                                       const std::vector<TagPair>&, Str<Ch>&, Vectors);
TERSIFY_INSTANTIATE(char)
TERSIFY_INSTANTIATE(Wide)
#undef TERSIFY_INSTANTIATE

}  // namespace tersify::engine
