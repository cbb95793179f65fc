// Removal of comments, with the tests that keep some of them.
#include <bit>

#include "engine/passes.h"
#include "platform/memory.h"

namespace tersify::engine {
namespace {

template <class Ch>
bool Is(Ch c, char what) {
  return U(c) == static_cast<unsigned char>(what);
}

// Where the search for the start of an enclosing tag's name has got to, so
// that comments which look back to the same "<" do not walk the same spaces
// again.
struct NameScan {
  std::size_t next = 0;  // first position not yet known to be passed over
  bool odd = false;      // quote parity before `next`
};

// Positions are kept as Pos (32 bits where the text allows), since a page can
// hold millions of "<".
template <class Ch, class Pos>
class CommentRemover {
 public:
  CommentRemover(const Str<Ch>& text, const PassEnv<Ch>& env, Str<Ch>& out, std::size_t* dropped)
      : g_(text.data(), text.size(), out), env_(env), trackEnclosing_((*env.settings)["cbOuttag"]), dropped_(dropped) {
    if (trackEnclosing_) {
      // Room for every "<" of the page at once: grown by doubling, the list
      // of a large page is copied and paged in again several times. The
      // room is mapped at once up to a quarter of the page's size only (a
      // page of common markup needs less), since "<" inside quoted values are
      // not listed and a page may be full of them.
      evenLt_.reserve(CountOf(g_.restData(), g_.restData() + g_.restSize(), static_cast<Ch>('<')));
      platform::MapForWriting(evenLt_.data(), evenLt_.capacity() * sizeof(Pos), g_.restSize() * sizeof(Ch) / 4);
    }
  }

  void Run() {
    const PassOptions& s = *env_.settings;
    while (!g_.atEnd()) {
      if (!(Is(g_.head(), '!') && g_.restSize() >= 3 && Is(g_.ahead(1), '-') && Is(g_.ahead(2), '-'))) {
        Emit();
        EmitToBang();
        continue;
      }
      if (Odd() || !markup_.InMarkup(g_.outData(), g_.outSize())) {
        // Inside a quoted value or outside markup: passed over. The scan
        // never comes back to it, so it needs no disarming.
        Emit();
        Emit();
        continue;
      }
      const std::size_t p = g_.outSize();
      const std::size_t b = LastLt();
      // The closing dashes: the first "--" whose second dash is outside quotes.
      const std::size_t n = g_.restSize();
      bool closed = false;
      bool odd = false;  // parity at the rest offset, the head being outside quotes
      std::size_t e = 3;
      for (std::size_t k = 3; k < n; ++k) {
        Ch c = g_.ahead(k);
        if (Is(c, '"')) {
          odd = !odd;
        } else if (Is(c, '-') && k + 1 < n && Is(g_.ahead(k + 1), '-')) {
          if (!odd) {
            closed = true;
            e = k + 1;
            break;
          }
          ++k;  // inside quotes: the search goes on after it
        }
      }
      const std::size_t contentEnd = closed ? e - 1 : 3;  // rest offsets [3, contentEnd)
      bool keep = false;
      if (s["cbIsScript"])
        for (std::size_t k = 3; k < contentEnd && !keep; ++k) keep = env_.IsScriptMarker(g_.ahead(k));
      if (!keep && s["cbIsStyle"]) keep = ContentNamesStyle(3, contentEnd);
      if (!keep && trackEnclosing_) keep = EnclosedByStyle(b, p);
      if (keep) {
        if (!closed) break;
        for (std::size_t k = 0; k <= e; ++k) Emit();
        continue;
      }
      // The comment ends at the first ">" after its dashes (the last position
      // when there is none) and starts at b.
      std::size_t z = e + 1;
      while (z < n && !Is(g_.ahead(z), '>')) ++z;
      if (z >= n) z = n - 1;
      if (dropped_) {
        for (std::size_t i = b; i < p; ++i) *dropped_ += env_.IsBlockMarker(g_.out(i)) ? 1 : 0;
        for (std::size_t k = 0; k <= z; ++k) *dropped_ += env_.IsBlockMarker(g_.ahead(k)) ? 1 : 0;
      }
      PopTo(b);
      g_.truncate(b);
      g_.skip(z + 1);
      if (!closed) break;
      // The bytes before the comment now meet the bytes after it.
      std::size_t back = std::min<std::size_t>(2, g_.outSize());
      PopTo(g_.outSize() - back);
      g_.pushBack(back);
    }
    g_.emitRest();
  }

 private:
  struct Memo {
    Pos pos;  // an even "<"
    NameScan scan;
  };

  bool Odd() const { return odd_; }

  void Emit() {
    const std::size_t pos = g_.outSize();
    Ch c = g_.head();
    if (Is(c, '"')) {
      odd_ = !odd_;
    } else if (Is(c, '<')) {
      lastLt_ = pos;
      ltKnown_ = true;
      hasLt_ = true;
      if (!odd_ && trackEnclosing_) evenLt_.push_back(static_cast<Pos>(pos));
    }
    g_.emit();
  }

  // Settles the bytes up to the next "!", noting its quotes and "<" as Emit
  // does; sixteen bytes are looked at together where the processor allows.
  void EmitToBang() {
    // The symbols handed back after a removal are read one by one.
    for (; !g_.restIsSource(); Emit())
      if (Is(g_.head(), '!')) return;
    const Ch* rest = g_.restData();
    const std::size_t n = g_.restSize();
    const std::size_t out = g_.outSize();
    std::size_t k = 0;
    auto lt = [&](std::size_t at, bool odd) {
      lastLt_ = out + at;
      ltKnown_ = true;
      hasLt_ = true;
      if (!odd && trackEnclosing_) evenLt_.push_back(static_cast<Pos>(out + at));
    };
#ifdef TERSIFY_ENGINE_SSE2
    if constexpr (sizeof(Ch) == 1) {
      // The quotes of the blocks read so far, folded into one mask of the same parity.
      unsigned passed = 0;
      for (; k + 16 <= n; k += 16) {
        const __m128i x = Load(rest + k);
        const unsigned bang = Lanes(x, '!');
        const unsigned before = bang != 0 ? (1u << std::countr_zero(bang)) - 1 : 0xFFFFu;
        const unsigned quotes = Lanes(x, '"') & before;
        for (unsigned lts = Lanes(x, '<') & before; lts != 0; lts &= lts - 1) {
          const int b = std::countr_zero(lts);
          lt(k + static_cast<std::size_t>(b), odd_ != ((std::popcount(passed ^ (quotes & ((1u << b) - 1))) & 1) != 0));
        }
        passed ^= quotes;
        if (bang != 0) {
          odd_ ^= (std::popcount(passed) & 1) != 0;
          g_.emitN(k + static_cast<std::size_t>(std::countr_zero(bang)));
          return;
        }
      }
      odd_ ^= (std::popcount(passed) & 1) != 0;
    }
#endif
    for (; k < n && !Is(rest[k], '!'); ++k) {
      if (Is(rest[k], '"'))
        odd_ = !odd_;
      else if (Is(rest[k], '<'))
        lt(k, odd_);
    }
    g_.emitN(k);
  }

  // The position of the last settled "<", 0 when there is none. After a cut
  // it is looked for backwards from where the cut was; the bytes passed over
  // then are either cut next time or lie behind the answer, so no byte is
  // looked at twice.
  std::size_t LastLt() {
    if (!ltKnown_) {
      std::size_t i = std::min(ltSearchFrom_, g_.outSize());
      while (i > 0 && !Is(g_.out(i - 1), '<')) --i;
      hasLt_ = i > 0;
      lastLt_ = hasLt_ ? i - 1 : 0;
      ltKnown_ = true;
    }
    return hasLt_ ? lastLt_ : 0;
  }

  // Forgets what stood at or after position L of the settled part.
  void PopTo(std::size_t L) {
    markup_.Cut(g_.outData(), L);
    for (std::size_t i = L; i < g_.outSize(); ++i)
      if (Is(g_.out(i), '"')) odd_ = !odd_;
    if (ltKnown_ && hasLt_ && lastLt_ >= L) {
      ltKnown_ = false;
      ltSearchFrom_ = L;
    } else if (!ltKnown_) {
      ltSearchFrom_ = std::min(ltSearchFrom_, L);
    }
    while (!evenLt_.empty() && evenLt_.back() >= L) evenLt_.pop_back();
    while (!memos_.empty() && memos_.back().pos >= L) memos_.pop_back();
    auto clamp = [&](NameScan& scan) {
      if (scan.next > L) scan = {L, Odd()};
    };
    // A walk from an earlier "<" stops before the next even "<", so only the
    // last one can have passed L.
    if (!memos_.empty()) clamp(memos_.back().scan);
    clamp(fromStart_);
  }

  // The walk of the even "<" at pos, started when first asked for.
  NameScan& MemoOf(std::size_t pos) {
    // Only the "<" the comment starts at can stand after pos.
    std::size_t i = memos_.size();
    while (i > 0 && memos_[i - 1].pos > pos) --i;
    if (i > 0 && memos_[i - 1].pos == pos) return memos_[i - 1].scan;
    return memos_
        .insert(memos_.begin() + static_cast<std::ptrdiff_t>(i), Memo{static_cast<Pos>(pos), {pos + 1, false}})
        ->scan;
  }

  // Whether the content holds the word style with an even number of the
  // content's own quotes before it.
  bool ContentNamesStyle(std::size_t from, std::size_t to) const {
    bool odd = false;
    for (std::size_t k = from; k < to; ++k) {
      Ch c = g_.ahead(k);
      if (Is(c, '"')) {
        odd = !odd;
      } else if (!odd && k + 5 <= to && Spells(k, "style")) {
        return true;
      }
    }
    return false;
  }

  bool Spells(std::size_t restOffset, std::string_view word) const {
    for (std::size_t i = 0; i < word.size(); ++i)
      if (!Is(env_.Lower(g_.ahead(restOffset + i)), word[i])) return false;
    return true;
  }

  // Whether the comment starting at b stands inside a tag named style: the
  // nearest "<" outside quotes before b (the first position when none), then
  // its name after any spaces, up to a space or ">" outside quotes.
  bool EnclosedByStyle(std::size_t b, std::size_t p) {
    if (b == 0) return false;
    std::size_t idx = evenLt_.size();
    while (idx > 0 && evenLt_[idx - 1] >= b) --idx;
    NameScan* scan = &fromStart_;
    if (idx > 0 && evenLt_[idx - 1] > 0) scan = &MemoOf(evenLt_[idx - 1]);
    if (scan == &fromStart_ && fromStart_.next == 0) fromStart_ = {1, g_.outSize() > 0 && Is(g_.out(0), '"')};
    // The name starts at the first non-space outside quotes; the "!" of the
    // comment qualifies, so the walk stays in the settled part.
    std::size_t j = scan->next;
    bool odd = scan->odd;
    while (j < p && (Is(g_.at(j), ' ') || odd)) {
      if (Is(g_.at(j), '"')) odd = !odd;
      ++j;
    }
    *scan = {j, odd};
    if (j + 5 > p) return false;
    for (std::size_t i = 0; i < 5; ++i)
      if (!Is(env_.Lower(g_.at(j + i)), "style"[i])) return false;
    Ch after = g_.at(j + 5);
    return Is(after, ' ') || Is(env_.Lower(after), '>');
  }

  SplitText<Ch> g_;
  BracketLookBack<Ch> markup_;
  const PassEnv<Ch>& env_;
  const bool trackEnclosing_;   // whether comments inside a style tag are kept
  std::size_t* const dropped_;  // counts the markers removed with comments, when given
  bool odd_ = false;            // quote parity of the settled part
  std::size_t lastLt_ = 0;      // the last settled "<", when ltKnown_ and hasLt_
  bool ltKnown_ = true;
  bool hasLt_ = false;
  std::size_t ltSearchFrom_ = 0;  // no "<" at or after it, when !ltKnown_
  std::vector<Pos> evenLt_;       // the settled "<" outside quotes
  std::vector<Memo> memos_;       // walks of some of them, by position
  NameScan fromStart_;            // the walk from the first position
};

}  // namespace

template <class Ch>
void RemoveComments(const Str<Ch>& text, const PassEnv<Ch>& env, Str<Ch>& out, std::size_t* dropped) {
  if (text.size() < UINT32_MAX)
    CommentRemover<Ch, std::uint32_t>(text, env, out, dropped).Run();
  else
    CommentRemover<Ch, std::size_t>(text, env, out, dropped).Run();
}

#define TERSIFY_INSTANTIATE(Ch) \
  template void RemoveComments<Ch>(const Str<Ch>&, const PassEnv<Ch>&, Str<Ch>&, std::size_t*);
TERSIFY_INSTANTIATE(char)
TERSIFY_INSTANTIATE(Wide)
#undef TERSIFY_INSTANTIATE

}  // namespace tersify::engine
