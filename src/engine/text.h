// Symbol strings the passes work on, a gap buffer for one-pass rewriting, and
// the line splitting rule shared by the document reader and the line passes.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "base/codepage.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define TERSIFY_ENGINE_SSE2 1
#endif

namespace tersify::engine {

// A document is held either as bytes (the usual case) or, when a free byte
// value for the markers cannot be found, as 32-bit symbols whose values 0..255
// are the document's bytes and whose higher values are markers.
using Wide = char32_t;
template <class Ch>
using Str = std::basic_string<Ch>;

template <class Ch>
inline std::uint32_t U(Ch c) {
  if constexpr (sizeof(Ch) == 1)
    return static_cast<unsigned char>(c);
  else
    return static_cast<std::uint32_t>(c);
}

template <class Ch>
inline Ch LowerOf(const LowerTable& t, Ch c) {
  std::uint32_t u = U(c);
  return u < 256 ? static_cast<Ch>(t[u]) : c;
}

#ifdef TERSIFY_ENGINE_SSE2
// Sixteen bytes from p, unaligned.
inline __m128i Load(const char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
// The lanes of v equal to c, as bits.
inline unsigned Lanes(__m128i v, char c) {
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(c))));
}
#endif

// A small set of byte values (at most four) searched for together, sixteen
// bytes at a time where the processor allows.
class ByteSet {
 public:
  ByteSet() = default;
  // False when the set is full.
  bool add(unsigned char b) {
    for (std::size_t i = 0; i < count_; ++i)
      if (bytes_[i] == b) return true;
    if (count_ == bytes_.size()) return false;
    bytes_[count_++] = b;
    return true;
  }
  bool has(std::uint32_t c) const {
    for (std::size_t i = 0; i < count_; ++i)
      if (bytes_[i] == c) return true;
    return false;
  }

  std::size_t size() const { return count_; }
  unsigned char at(std::size_t i) const { return bytes_[i]; }

  // The first symbol in [p, end) that is in the set, or end.
  template <class Ch>
  const Ch* find(const Ch* p, const Ch* end) const {
#ifdef TERSIFY_ENGINE_SSE2
    if constexpr (sizeof(Ch) == 1) {
      if (count_ > 0) {
        __m128i v[4];
        for (std::size_t i = 0; i < 4; ++i) v[i] = _mm_set1_epi8(static_cast<char>(bytes_[i < count_ ? i : 0]));
        while (end - p >= 16) {
          __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
          __m128i m = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, v[0]), _mm_cmpeq_epi8(x, v[1])),
                                   _mm_or_si128(_mm_cmpeq_epi8(x, v[2]), _mm_cmpeq_epi8(x, v[3])));
          int mask = _mm_movemask_epi8(m);
          if (mask != 0) return p + std::countr_zero(static_cast<unsigned>(mask));
          p += 16;
        }
      }
    }
#endif
    while (p < end && !has(U(*p))) ++p;
    return p;
  }

 private:
  std::array<unsigned char, 4> bytes_{};
  std::size_t count_ = 0;
};

#ifdef TERSIFY_ENGINE_SSE2
// The lanes of sixteen bytes that hold a member of a ByteSet, with the
// comparisons prepared once; a set of a letter's two cases takes one.
class ByteMatcher {
 public:
  ByteMatcher() = default;
  explicit ByteMatcher(const ByteSet& set) {
    count_ = set.size();
    fold_ = count_ == 2 && (set.at(0) ^ set.at(1)) == 0x20;
    for (std::size_t i = 0; i < 4; ++i)
      v_[i] = _mm_set1_epi8(static_cast<char>(set.at(i < count_ ? i : 0) | (fold_ ? 0x20 : 0)));
  }
  // Lanes of x that hold a member, as 0xFF.
  __m128i matches(__m128i x) const {
    if (fold_) return _mm_cmpeq_epi8(_mm_or_si128(x, _mm_set1_epi8(0x20)), v_[0]);
    if (count_ == 1) return _mm_cmpeq_epi8(x, v_[0]);
    return _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, v_[0]), _mm_cmpeq_epi8(x, v_[1])),
                        _mm_or_si128(_mm_cmpeq_epi8(x, v_[2]), _mm_cmpeq_epi8(x, v_[3])));
  }
  // Calls f with a function that does what matches() does, of a type made
  // for this set's kind, so that a loop in f is compiled for that kind.
  template <class F>
  decltype(auto) with(F&& f) const {
    const __m128i v0 = v_[0], v1 = v_[1], v2 = v_[2], v3 = v_[3];
    if (fold_) return f([v0](__m128i x) { return _mm_cmpeq_epi8(_mm_or_si128(x, _mm_set1_epi8(0x20)), v0); });
    if (count_ == 1) return f([v0](__m128i x) { return _mm_cmpeq_epi8(x, v0); });
    return f([v0, v1, v2, v3](__m128i x) {
      return _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, v0), _mm_cmpeq_epi8(x, v1)),
                          _mm_or_si128(_mm_cmpeq_epi8(x, v2), _mm_cmpeq_epi8(x, v3)));
    });
  }

 private:
  __m128i v_[4]{};
  std::size_t count_ = 0;
  bool fold_ = false;
};
#endif

// The first place where a symbol of one set is followed by a symbol of
// another, for many searches with the same two sets: the comparisons are
// prepared once, and a set of a letter's two cases is tested with one.
class PairFinder {
 public:
  PairFinder() = default;
  PairFinder(const ByteSet& first, const ByteSet& second) : first_(first), second_(second) {
#ifdef TERSIFY_ENGINE_SSE2
    a_ = ByteMatcher(first);
    b_ = ByteMatcher(second);
#endif
  }

  // The first position in [p, end - 1) whose symbol is in the first set and
  // whose next symbol is in the second, or end.
  template <class Ch>
  const Ch* find(const Ch* p, const Ch* end) const {
#ifdef TERSIFY_ENGINE_SSE2
    if constexpr (sizeof(Ch) == 1) {
      p = a_.with([&](auto inFirst) {
        return b_.with([&](auto inSecond) {
          const Ch* q = p;
          while (end - q >= 17) {
            __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
            __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q + 1));
            int mask = _mm_movemask_epi8(_mm_and_si128(inFirst(x), inSecond(y)));
            if (mask != 0) return q + std::countr_zero(static_cast<unsigned>(mask));
            q += 16;
          }
          return q;
        });
      });
      if (end - p >= 17) return p;  // found
    }
#endif
    for (; end - p >= 2; ++p)
      if (first_.has(U(p[0])) && second_.has(U(p[1]))) return p;
    return end;
  }

  // The same, and flips `odd` once for every symbol equal to c in [p, the
  // position returned).
  template <class Ch>
  const Ch* find(const Ch* p, const Ch* end, Ch c, bool& odd) const {
#ifdef TERSIFY_ENGINE_SSE2
    if constexpr (sizeof(Ch) == 1) {
      bool found = false;
      p = a_.with([&](auto inFirst) {
        return b_.with([&](auto inSecond) {
          // Each lane of `flips` turns over once per c seen in that lane.
          const __m128i cv = _mm_set1_epi8(static_cast<char>(c));
          __m128i flips = _mm_setzero_si128();
          const Ch* q = p;
          while (end - q >= 17) {
            __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
            __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q + 1));
            int mask = _mm_movemask_epi8(_mm_and_si128(inFirst(x), inSecond(y)));
            __m128i seen = _mm_cmpeq_epi8(x, cv);
            if (mask != 0) {
              const int at = std::countr_zero(static_cast<unsigned>(mask));
              const auto before = static_cast<unsigned>(_mm_movemask_epi8(seen)) & ((1u << at) - 1);
              odd ^= Parity(before ^ static_cast<unsigned>(_mm_movemask_epi8(flips)));
              found = true;
              return q + at;
            }
            flips = _mm_xor_si128(flips, seen);
            q += 16;
          }
          odd ^= Parity(static_cast<unsigned>(_mm_movemask_epi8(flips)));
          return q;
        });
      });
      if (found) return p;
    }
#endif
    for (; end - p >= 2; ++p) {
      if (first_.has(U(p[0])) && second_.has(U(p[1]))) return p;
      odd ^= *p == c;
    }
    for (; p < end; ++p) odd ^= *p == c;
    return end;
  }

 private:
  // Whether a 16-bit mask has an odd number of bits set.
  static bool Parity(unsigned m) {
    m ^= m >> 8;
    m ^= m >> 4;
    m ^= m >> 2;
    m ^= m >> 1;
    return (m & 1) != 0;
  }

#ifdef TERSIFY_ENGINE_SSE2
  ByteMatcher a_, b_;
#endif
  ByteSet first_, second_;
};

// The last symbol in [from, to) equal to a or b, or null: sixteen bytes at
// a time from the end.
template <class Ch>
const Ch* LastOfEither(const Ch* from, const Ch* to, char a, char b) {
#ifdef TERSIFY_ENGINE_SSE2
  if constexpr (sizeof(Ch) == 1) {
    for (; to - from >= 16; to -= 16) {
      const __m128i x = Load(to - 16);
      if (const unsigned m = Lanes(x, a) | Lanes(x, b); m != 0) return to - 16 + (31 - std::countl_zero(m));
    }
  }
#endif
  while (to > from) {
    --to;
    if (U(*to) == static_cast<unsigned char>(a) || U(*to) == static_cast<unsigned char>(b)) return to;
  }
  return nullptr;
}

// The positions of symbol c in [p, end), in order, found 64 bytes at a time:
// a text dense with them costs no call per position.
template <class Ch>
class StopsOf {
 public:
  StopsOf(const Ch* p, const Ch* end, char c) : at_(p), end_(end), c_(c) { mask_ = MaskAt(at_); }

  // The next position, or end.
  const Ch* next() {
    while (mask_ == 0) {
      if (end_ - at_ <= 64) return end_;
      at_ += 64;
      mask_ = MaskAt(at_);
    }
    const Ch* q = at_ + std::countr_zero(mask_);
    mask_ &= mask_ - 1;
    return q;
  }

 private:
  std::uint64_t MaskAt(const Ch* p) const {
    std::uint64_t m = 0;
#ifdef TERSIFY_ENGINE_SSE2
    if constexpr (sizeof(Ch) == 1)
      if (end_ - p >= 64) {
        for (int k = 0; k < 4; ++k) m |= std::uint64_t{Lanes(Load(p + 16 * k), c_)} << (16 * k);
        return m;
      }
#endif
    const std::ptrdiff_t n = std::min<std::ptrdiff_t>(64, end_ - p);
    for (std::ptrdiff_t k = 0; k < n; ++k)
      if (U(p[k]) == static_cast<unsigned char>(c_)) m |= std::uint64_t{1} << k;
    return m;
  }

  const Ch* at_;  // the block the mask is of
  const Ch* end_;
  char c_;
  std::uint64_t mask_;
};

// Number of symbols equal to c in [p, end).
template <class Ch>
std::size_t CountOf(const Ch* p, const Ch* end, Ch c) {
  std::size_t n = 0;
#ifdef TERSIFY_ENGINE_SSE2
  if constexpr (sizeof(Ch) == 1) {
    // Byte counters (each equal lane subtracts -1), summed every 255 blocks.
    const __m128i v = _mm_set1_epi8(static_cast<char>(c));
    while (end - p >= 16) {
      __m128i acc = _mm_setzero_si128();
      for (int b = 0; b < 255 && end - p >= 16; ++b, p += 16)
        acc = _mm_sub_epi8(acc, _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), v));
      const __m128i sums = _mm_sad_epu8(acc, _mm_setzero_si128());
      n += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
           static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    }
  }
#endif
  for (; p < end; ++p) n += *p == c ? 1 : 0;
  return n;
}

// Replaces every a by toA and every b by toB.
template <class Ch>
void ReplaceTwo(Str<Ch>& text, Ch a, Ch toA, Ch b, Ch toB) {
  ByteSet set;
  const bool bytes = sizeof(Ch) == 1 || (U(a) < 256 && U(b) < 256);
  if (bytes) {
    set.add(static_cast<unsigned char>(U(a)));
    set.add(static_cast<unsigned char>(U(b)));
  }
  Ch* p = text.data();
  Ch* end = p + text.size();
  if (!bytes) {
    for (; p < end; ++p) *p = *p == a ? toA : *p == b ? toB : *p;
    return;
  }
  for (p = const_cast<Ch*>(set.find<Ch>(p, end)); p < end; p = const_cast<Ch*>(set.find<Ch>(p + 1, end)))
    *p = *p == a ? toA : toB;
}

// Whether places of a text stand in markup (the nearest "<" or ">" before
// the place is "<"; with neither, it does not), and the parity of the double
// quotes since that "<", found by looking back from the place. What a look
// found is kept, so the next place, further on in the same text, looks back
// only as far as the last one; a cut that takes the bracket found falls back
// on what the look before it found.
template <class Ch>
class BracketLookBack {
 public:
  bool InMarkup(const Ch* data, std::size_t p) {
    prev_ = memo_;
    Memo m = memo_.known && memo_.at <= p ? memo_ : Memo{};
    const std::size_t stop = m.known ? m.at : 0;
    bool odd = false;
    std::size_t i = p;
    for (; i > stop; --i) {
      const std::uint32_t c = U(data[i - 1]);
      if (c == '<' || c == '>') {
        m.in = c == '<';
        m.odd = odd;
        m.bracket = i - 1;
        break;
      }
      odd ^= c == '"';
    }
    if (i == stop) {
      if (m.known)
        m.odd ^= odd;
      else
        m = Memo{};
    }
    m.known = true;
    m.at = p;
    memo_ = m;
    return m.in;
  }
  // The quote parity since the "<", at the place last asked for.
  bool OddSinceLt() const { return memo_.odd; }

  // Places from t on are about to be dropped or rewritten; data still holds
  // what was read.
  void Cut(const Ch* data, std::size_t t) {
    if (prev_.known && prev_.at > t) prev_ = Memo{};
    if (!memo_.known || memo_.at <= t) return;
    if (memo_.bracket == kNone || memo_.bracket < t) {
      for (std::size_t i = t; i < memo_.at; ++i) memo_.odd ^= U(data[i]) == '"';
      memo_.at = t;
    } else {
      memo_ = prev_;
    }
  }

 private:
  static constexpr std::size_t kNone = ~std::size_t{0};
  struct Memo {
    bool known = false;
    bool in = false;
    bool odd = false;
    std::size_t at = 0;           // the place asked for
    std::size_t bracket = kNone;  // the bracket nearest before it
  };
  Memo memo_;
  Memo prev_;  // what the look before the last one found
};

// The text as out + rest: out is what the pass has settled, rest is what it
// has still to read. Both live in one buffer with a gap between them, so
// deleting is skipping, and a pass can step back by handing settled symbols
// back to the rest.
template <class Ch>
class GapText {
 public:
  explicit GapText(Str<Ch> text) : buf_(std::move(text)) {}

  std::size_t outSize() const { return w_; }
  std::size_t restSize() const { return buf_.size() - r_; }
  std::size_t size() const { return w_ + restSize(); }
  bool atEnd() const { return r_ == buf_.size(); }

  // Symbol k places after the head (k < restSize()).
  Ch ahead(std::size_t k) const { return buf_[r_ + k]; }
  Ch head() const { return buf_[r_]; }
  Ch& aheadRef(std::size_t k) { return buf_[r_ + k]; }
  const Ch* restData() const { return buf_.data() + r_; }
  // Symbol i of the settled part (i < outSize()).
  Ch out(std::size_t i) const { return buf_[i]; }
  Ch& outAt(std::size_t i) { return buf_[i]; }
  const Ch* outData() const { return buf_.data(); }
  Ch last() const { return buf_[w_ - 1]; }
  // Symbol at position i of the whole text (0-based).
  Ch at(std::size_t i) const { return i < w_ ? buf_[i] : buf_[r_ + (i - w_)]; }

  void emit() { buf_[w_++] = buf_[r_++]; }
  void emitAs(Ch c) {
    buf_[w_++] = c;
    ++r_;
  }
  void emitN(std::size_t k) {
    if (w_ != r_)
      std::copy(buf_.begin() + static_cast<std::ptrdiff_t>(r_), buf_.begin() + static_cast<std::ptrdiff_t>(r_ + k),
                buf_.begin() + static_cast<std::ptrdiff_t>(w_));
    w_ += k;
    r_ += k;
  }
  void skip(std::size_t k) { r_ += k; }
  void truncate(std::size_t newOut) { w_ = newOut; }
  // Hands the last k settled symbols back to the rest.
  void pushBack(std::size_t k) {
    std::copy_backward(buf_.begin() + static_cast<std::ptrdiff_t>(w_ - k),
                       buf_.begin() + static_cast<std::ptrdiff_t>(w_), buf_.begin() + static_cast<std::ptrdiff_t>(r_));
    w_ -= k;
    r_ -= k;
  }
  // Puts symbols in front of the rest (they are read next).
  void insert(const Ch* s, std::size_t len) {
    reserveGap(len);
    r_ -= len;
    std::copy(s, s + len, buf_.begin() + static_cast<std::ptrdiff_t>(r_));
  }
  // Appends symbols to the settled part.
  void put(const Ch* s, std::size_t len) {
    reserveGap(len);
    std::copy(s, s + len, buf_.begin() + static_cast<std::ptrdiff_t>(w_));
    w_ += len;
  }
  void put(Ch c) { put(&c, 1); }

  Str<Ch> finish() && {
    buf_.erase(w_, r_ - w_);
    return std::move(buf_);
  }

 private:
  void reserveGap(std::size_t len) {
    if (r_ - w_ >= len) return;
    std::size_t extra = std::max<std::size_t>(len, buf_.size() / 8 + 64);
    buf_.insert(buf_.begin() + static_cast<std::ptrdiff_t>(r_), extra, Ch{});
    r_ += extra;
  }

  Str<Ch> buf_;
  std::size_t w_ = 0;
  std::size_t r_ = 0;
};

// GapText for a pass that reads one buffer and writes another: out is
// written into a buffer of its own, and the rest is what is left of the
// source, after the symbols handed back or put in front of it. The source
// is only read, so a pass that fails part-way leaves it as it was; and no
// symbol is moved twice to make room.
template <class Ch>
class SplitText {
 public:
  // Writes into `out` (cleared; its capacity is reused, and is enough
  // unless the text grows).
  SplitText(const Ch* source, std::size_t n, Str<Ch>& out) : src_(source), n_(n), out_(out) {
    out_.clear();
    out_.reserve(n);
  }

  std::size_t outSize() const { return out_.size(); }
  std::size_t restSize() const { return frontSize() + (n_ - r_); }
  std::size_t size() const { return outSize() + restSize(); }
  bool atEnd() const { return restSize() == 0; }

  Ch ahead(std::size_t k) const {
    const std::size_t f = frontSize();
    return k < f ? front_[f - 1 - k] : src_[r_ + (k - f)];
  }
  Ch head() const { return ahead(0); }
  // Symbol at position i of the whole text (0-based).
  Ch at(std::size_t i) const { return i < outSize() ? out_[i] : ahead(i - outSize()); }
  // The symbols in front of the source, and the source's rest after them
  // (rest offsets frontSize() on).
  std::size_t frontSize() const { return front_.size(); }
  const Ch* restData() const { return src_ + r_; }
  // The rest as one run, when nothing stands in front of the source.
  bool restIsSource() const { return front_.empty(); }
  // Appends the first k symbols of the rest to `to`.
  void copyRest(std::size_t k, Str<Ch>& to) const {
    const std::size_t f = std::min(k, frontSize());
    for (std::size_t i = 0; i < f; ++i) to.push_back(ahead(i));
    to.append(src_ + r_, k - f);
  }
  Ch out(std::size_t i) const { return out_[i]; }
  Ch& outAt(std::size_t i) { return out_[i]; }
  const Ch* outData() const { return out_.data(); }
  Ch last() const { return out_.back(); }

  void emit() { out_.push_back(take()); }
  void emitAs(Ch c) {
    take();
    out_.push_back(c);
  }
  void emitN(std::size_t k) {
    for (; k > 0 && !front_.empty(); --k) emit();
    out_.append(src_ + r_, k);
    r_ += k;
  }
  // Settles the whole rest.
  void emitRest() {
    while (!front_.empty()) emit();
    out_.append(src_ + r_, src_ + n_);
    r_ = n_;
  }
  void skip(std::size_t k) {
    const std::size_t f = std::min(k, frontSize());
    front_.resize(front_.size() - f);
    r_ += k - f;
  }
  void truncate(std::size_t newOut) { out_.resize(newOut); }
  // Hands the last k settled symbols back to the rest.
  void pushBack(std::size_t k) {
    for (std::size_t i = 0; i < k; ++i) front_.push_back(out_[out_.size() - 1 - i]);
    out_.erase(out_.size() - k);
  }
  // Puts symbols in front of the rest (they are read next).
  void insert(const Ch* s, std::size_t len) {
    for (std::size_t i = len; i > 0; --i) front_.push_back(s[i - 1]);
  }
  // Appends a symbol to the settled part.
  void put(Ch c) { out_.push_back(c); }

 private:
  // The front is kept reversed: its last symbol is read first.
  Ch take() {
    if (!front_.empty()) {
      const Ch c = front_.back();
      front_.pop_back();
      return c;
    }
    return src_[r_++];
  }

  const Ch* src_;
  std::size_t n_;
  std::size_t r_ = 0;
  Str<Ch>& out_;
  Str<Ch> front_;
};

// Finds the symbols that end lines (CR, LF, 0) in a text read forwards:
// sixteen bytes are compared at once and their matches kept for the calls
// that follow, so short lines cost no more than long ones.
template <class Ch>
class LineBreakFinder {
 public:
  LineBreakFinder(const Ch* data, std::size_t n) : data_(data), n_(n) {}

  // The first line-ending symbol at or after `from`, or n.
  std::size_t Next(std::size_t from) {
#ifdef TERSIFY_ENGINE_SSE2
    if constexpr (sizeof(Ch) == 1) {
      if (from >= base_ && from - base_ < 16) {
        const unsigned m = mask_ & (~0u << (from - base_));
        if (m != 0) return base_ + static_cast<std::size_t>(std::countr_zero(m));
        from = base_ + 16;
      }
      const __m128i cr = _mm_set1_epi8(13), lf = _mm_set1_epi8(10), zero = _mm_setzero_si128();
      for (; from + 16 <= n_; from += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data_ + from));
        const __m128i hit =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, cr), _mm_cmpeq_epi8(x, lf)), _mm_cmpeq_epi8(x, zero));
        const auto m = static_cast<unsigned>(_mm_movemask_epi8(hit));
        if (m != 0) {
          base_ = from;
          mask_ = m;
          return from + static_cast<std::size_t>(std::countr_zero(m));
        }
      }
    }
#endif
    for (; from < n_; ++from)
      if (U(data_[from]) == 13 || U(data_[from]) == 10 || U(data_[from]) == 0) return from;
    return n_;
  }

 private:
  const Ch* data_;
  std::size_t n_;
  std::size_t base_ = ~std::size_t{0} - 16;  // where the kept matches begin
  unsigned mask_ = 0;                        // matches of the 16 bytes from base_
};

template <class Ch>
inline void AppendLine(Str<Ch>& out, std::basic_string_view<Ch> line) {
  out.append(line);
  out.push_back(static_cast<Ch>(13));
  out.push_back(static_cast<Ch>(10));
}

// What a line pass may change: it keeps whole every line that ends in CR LF,
// holds no symbol 0, and neither begins with a space or a tab (when
// `spaceStarts`) nor is empty (when `emptyLines`) nor ends with a space or a
// tab (when `spaceEnds`).
struct LineLook {
  bool spaceStarts = false, emptyLines = false, spaceEnds = false;
};

// The first line at or after the line start i (0 < i < n) that the pass may
// change by `look`: the lines before it are kept as they stand. Looks sixteen
// bytes at a time; returns i where it cannot.
inline std::size_t FirstLineToLookAt(const char* data, std::size_t n, std::size_t i, const LineLook& look) {
#ifdef TERSIFY_ENGINE_SSE2
  const unsigned spaceStarts = look.spaceStarts ? ~0u : 0, emptyLines = look.emptyLines ? ~0u : 0;
  const unsigned spaceEnds = look.spaceEnds ? ~0u : 0;
  if ((look.spaceStarts && (data[i] == ' ' || data[i] == '\t')) || (look.emptyLines && data[i] == '\r')) return i;
  std::size_t q = i;
  for (; q + 17 <= n; q += 16) {
    const __m128i before = Load(data + q - 1), x = Load(data + q), next = Load(data + q + 1);
    const unsigned cr = Lanes(x, '\r'), lf = Lanes(x, '\n'), crNext = Lanes(next, '\r');
    const unsigned starts = ((Lanes(next, ' ') | Lanes(next, '\t')) & spaceStarts) | (crNext & emptyLines);
    const unsigned ends = (Lanes(x, ' ') | Lanes(x, '\t')) & spaceEnds;
    // Breaks that are not CR LF, symbols 0 and ends to cut stop at their own
    // line; a start to look at (after an LF) at the line after the LF.
    const unsigned odd = Lanes(x, 0) | (cr & ~Lanes(next, '\n')) | (lf & ~Lanes(before, '\r')) | (ends & crNext);
    const unsigned after = lf & starts;
    if ((odd | after) != 0) {
      const int k = std::countr_zero(odd | after);
      if ((odd >> k & 1) == 0) return q + static_cast<std::size_t>(k) + 1;
      q += static_cast<std::size_t>(k);
      break;
    }
  }
  // The start of the line that holds q.
  while (q > i && data[q - 1] != '\n') --q;
  return q;
#else
  (void)data;
  (void)n;
  (void)look;
  return i;
#endif
}

// Splits the text by the reading rule (a line ends at CR LF, CR or LF;
// symbol 0 ends the text) and writes into `out` (cleared; its capacity is
// kept) the part of each line that part(line) gives, {begin, end} within
// the line or begin > end to drop it, followed by CR LF. A line kept whole
// that already ends in CR LF is copied together with the lines like it that
// follow, so a text that changes little costs few copies; with `look`, such
// lines are passed over without a call of part.
template <class Ch, class Part>
void KeepLineParts(std::basic_string_view<Ch> text, Str<Ch>& out, Part&& part, const LineLook* look = nullptr) {
  out.clear();
  const Ch* const data = text.data();
  const std::size_t n = text.size();
  LineBreakFinder<Ch> breaks(data, n);
  std::size_t runBegin = 0, runEnd = 0;  // lines kept as they stand, not yet copied
  auto flush = [&] {
    out.append(data + runBegin, runEnd - runBegin);
    runBegin = runEnd;
  };
  std::size_t i = 0;
  while (i < n && U(data[i]) != 0) {
    if constexpr (sizeof(Ch) == 1)
      if (look != nullptr && i > 0 && i == runEnd) {
        i = runEnd = FirstLineToLookAt(data, n, i, *look);
        if (i == n || U(data[i]) == 0) break;
      }
    const std::size_t j = breaks.Next(i);
    const std::basic_string_view<Ch> line(data + i, j - i);
    const std::pair<std::size_t, std::size_t> keep = part(line);
    std::size_t next = j;
    if (j < n && U(data[j]) == 13) {
      ++next;
      if (next < n && U(data[next]) == 10) ++next;
    } else if (j < n && U(data[j]) == 10) {
      ++next;
    }
    const bool asItStands = keep.first == 0 && keep.second == line.size() && next == j + 2 && U(data[j + 1]) == 10;
    if (asItStands) {
      runEnd = next;  // the run ends where this line began
    } else {
      flush();
      if (keep.first <= keep.second) AppendLine(out, line.substr(keep.first, keep.second - keep.first));
      runBegin = runEnd = next;
    }
    i = next;
  }
  flush();
}

}  // namespace tersify::engine
