// Passes over white space: spaces at "<", ">" and "=", spaces between tags,
// line gluing, &nbsp; chains, tabs and space runs.
#include <bit>
#include <cstring>
#include <utility>

#include "engine/passes.h"

namespace tersify::engine {
namespace {

template <class Ch>
bool Is(Ch c, char what) {
  return U(c) == static_cast<unsigned char>(what);
}

ByteSet Stops(std::string_view bytes) {
  ByteSet set;
  for (char c : bytes) set.add(static_cast<unsigned char>(c));
  return set;
}

// Every pass below reads the text once, copying the runs between the symbols
// it has to look at as blocks and counting the quotes in them. The literal
// method searches again from the start after each change; reading once gives
// the same text because no change makes a new occurrence before the place of
// the change.
//
// The passes only delete or shorten, so they write over the text they read:
// the write position never passes the read position, and nothing is copied
// before the first change.

// Where a pass over the text in place has got to: `w` is the end of what it
// has written, `p` the next symbol to read.
template <class Ch>
struct InPlace {
  Ch* base;
  Ch* w;
  const Ch* p;
  const Ch* end;
  bool odd = false;  // quote parity at p

  // Keeps [p, to) and reads on from there.
  void KeepTo(const Ch* to) {
    const std::size_t n = static_cast<std::size_t>(to - p);
    if (w != p) std::memmove(w, p, n * sizeof(Ch));
    w += n;
    p = to;
  }
  void SkipSpaces() {
    while (p < end && Is(*p, ' ')) ++p;
  }
  // Takes back the spaces at the end of what is written.
  void UnwriteSpaces() {
    while (w > base && Is(w[-1], ' ')) --w;
  }
};

// The first place in [p, end) where the pass may change something, and the
// parity of the quotes before it added to `odd`: a pass that only looks at
// its own symbols need not stop at every quote. wanted(q, first) tells
// whether q, which may hold anything, is such a place; `first` is true at p,
// whose byte before may have been written over. lanes(q, first) tells the
// same for the 16 places from q as bits, reading at most up to q + 17.
template <class Ch, class Wanted, class Lanes16>
const Ch* FindCountingQuotes(const Ch* p, const Ch* end, bool& odd, Wanted&& wanted, Lanes16&& lanes) {
#ifdef TERSIFY_ENGINE_SSE2
  if constexpr (sizeof(Ch) == 1) {
    // The quotes of the blocks passed over, folded into one mask of the same parity.
    unsigned passed = 0;
    for (bool first = true; end - p >= 18; first = false, p += 16) {
      const unsigned quotes = Lanes(Load(p), '"');
      const unsigned stops = lanes(p, first);
      if (stops != 0) {
        passed ^= quotes & ((1u << std::countr_zero(stops)) - 1);
        odd ^= (std::popcount(passed) & 1) != 0;
        return p + std::countr_zero(stops);
      }
      passed ^= quotes;
    }
    odd ^= (std::popcount(passed) & 1) != 0;
  }
#else
  (void)lanes;
#endif
  for (const Ch* q = p; q < end; ++q) {
    if (wanted(q, q == p)) return q;
    if (Is(*q, '"')) odd = !odd;
  }
  return end;
}

// Walks the text in place: the symbols between the stops are kept as
// blocks, and every stop is written and handed to at(c, state) with p after
// it, where the pass may read on, drop what follows (but no quote) or take
// back what it wrote. find(p, end, odd) gives the next stop, with the
// parity of the quotes before it added to `odd` where the pass needs it.
template <class Ch, class Find, class At>
void RewriteAtFinds(Str<Ch>& text, Find&& find, At&& at) {
  Ch* const base = text.data();
  InPlace<Ch> s{base, base, base, base + text.size()};
  for (;;) {
    const Ch* stop = find(s.p, s.end, s.odd);
    s.KeepTo(stop);
    if (stop == s.end) break;
    const Ch c = *s.p++;
    *s.w++ = c;
    at(c, s);
  }
  text.resize(static_cast<std::size_t>(s.w - base));
}

// RewriteAtFinds for a pass that needs no quote parity, stopping at the
// bytes of `stops`.
template <class Ch, class At>
void RewriteAtStops(Str<Ch>& text, const ByteSet& stops, At&& at) {
  RewriteAtFinds(
      text, [&](const Ch* p, const Ch* end, bool&) { return stops.find(p, end); }, std::forward<At>(at));
}

// The finder for RewriteAtFinds that stops where `first` is followed
// by `second`.
template <class Ch>
auto PairStops(char first, char second) {
  return [first, second](const Ch* p, const Ch* end, bool& odd) {
    auto wanted = [&](const Ch* q, bool) { return Is(q[0], first) && end - q >= 2 && Is(q[1], second); };
    return FindCountingQuotes(p, end, odd, wanted, [&](const Ch* q, bool) {
      unsigned m = 0;
#ifdef TERSIFY_ENGINE_SSE2
      if constexpr (sizeof(Ch) == 1) m = Lanes(Load(q), first) & Lanes(Load(q + 1), second);
#endif
      (void)q;
      return m;
    });
  };
}

}  // namespace

// Four deletions of space runs outside quotes and in markup (after "<",
// before ">", before "=", after "=") and then JoinTags. Deleting whole runs of
// spaces makes no new neighbours for any other run and moves no quote, so the
// five steps are done in one walk: a run goes when it stands outside quotes
// and in markup and follows "<" or "=" or comes before ">" or "="; a single
// space between ">" and "<" goes when the steps before have left it.
//
// What stands in markup depends on the step: a "<" that the first step leaves
// with its spaces is disarmed for the steps after it, and so is a ">" that the
// second step leaves; so the walk keeps one state per view.
template <class Ch>
void TightenTagSpaces(Str<Ch>& text, const PassEnv<Ch>&) {
  // Only a "<", ">" or "=" next to a space can lose one: the spaces before
  // one that are written out came from before it in the text (only spaces
  // are deleted), so the text itself tells where to look.
  auto tag = [](Ch c) { return Is(c, '<') || Is(c, '>') || Is(c, '='); };
  auto wanted = [&](const Ch* q, bool first) {
    return tag(*q) && (first || Is(q[-1], ' ') || (q + 1 < text.data() + text.size() && Is(q[1], ' ')));
  };
  auto find = [&](const Ch* p, const Ch* end, bool& odd) {
    return FindCountingQuotes(p, end, odd, wanted, [](const Ch* q, bool first) {
      unsigned tags = 0, around = 0;
#ifdef TERSIFY_ENGINE_SSE2
      if constexpr (sizeof(Ch) == 1) {
        const __m128i x = Load(q);
        tags = Lanes(x, '<') | Lanes(x, '>') | Lanes(x, '=');
        // Lane 0 at p always counts: the byte before p may be written over.
        const unsigned before = first ? (Lanes(x, ' ') << 1) | 1u : Lanes(Load(q - 1), ' ');
        around = before | Lanes(Load(q + 1), ' ');
      }
#endif
      (void)q, (void)first;
      return tags & around & 0xFFFFu;
    });
  };
  // Whether the nearest "<" or ">" not disarmed is "<", as the first step,
  // the second and the last two see it. A bracket the walk does not stop at
  // has no space beside it: every step sees it.
  bool inFirst = false, inSecond = false, inLast = false;
  Ch* plainFrom = text.data();     // written since the last stop: no stop among them
  const Ch* eqSpacesTo = nullptr;  // where the spaces after the last "=" that lost them ended
  RewriteAtFinds(text, find, [&](Ch c, InPlace<Ch>& s) {
    if (const Ch* q = LastOfEither<Ch>(plainFrom, s.w - 1, '<', '>')) inFirst = inSecond = inLast = Is(*q, '<');
    if (Is(c, '<')) {
      if (s.p < s.end && Is(*s.p, ' ')) {
        if (s.odd || !inFirst) {  // disarmed: no step sees it as "<"
          plainFrom = s.w;
          return;
        }
        s.SkipSpaces();
      }
      inFirst = inSecond = inLast = true;
    } else if (Is(c, '=')) {
      if (!s.odd && inLast) {
        --s.w;
        s.UnwriteSpaces();
        *s.w++ = c;
        if (s.p < s.end && Is(*s.p, ' ')) {
          s.SkipSpaces();
          eqSpacesTo = s.p;
        }
      }
    } else {  // ">"
      // Spaces before it when the second step looks: those still written, or
      // those after an "=" that the last step removes.
      const bool spaced = (s.w - s.base >= 2 && Is(s.w[-2], ' ')) || eqSpacesTo == s.p - 1;
      inFirst = false;
      if (spaced && (s.odd || !inSecond)) {  // disarmed for the steps after the first
        plainFrom = s.w;
        return;
      }
      inSecond = inLast = false;
      if (spaced) {
        --s.w;
        s.UnwriteSpaces();
        *s.w++ = c;
      }
      // Joined with a "<" right after one space, unless the first step
      // disarmed that "<" (it is followed by a space, and after ">" it does
      // not stand in markup).
      if (!s.odd && s.end - s.p >= 2 && Is(s.p[0], ' ') && Is(s.p[1], '<') && !(s.end - s.p >= 3 && Is(s.p[2], ' ')))
        ++s.p;  // "<" is read next
    }
    plainFrom = s.w;
  });
}

template <class Ch>
void JoinTags(Str<Ch>& text, const PassEnv<Ch>&) {
  // Only a ">" followed by " <" changes anything.
  auto wanted = [&](const Ch* q, bool) {
    return Is(q[0], '>') && text.data() + text.size() - q >= 3 && Is(q[1], ' ') && Is(q[2], '<');
  };
  auto find = [&](const Ch* p, const Ch* end, bool& odd) {
    return FindCountingQuotes(p, end, odd, wanted, [](const Ch* q, bool) {
      unsigned m = 0;
#ifdef TERSIFY_ENGINE_SSE2
      if constexpr (sizeof(Ch) == 1) m = Lanes(Load(q), '>') & Lanes(Load(q + 1), ' ') & Lanes(Load(q + 2), '<');
#endif
      (void)q;
      return m;
    });
  };
  RewriteAtFinds(text, find, [](Ch, InPlace<Ch>& s) {
    if (!s.odd && s.end - s.p >= 2 && Is(s.p[0], ' ') && Is(s.p[1], '<')) ++s.p;  // "<" is read next
  });
}

template <class Ch>
void GlueLines(Str<Ch>& text, const PassEnv<Ch>&) {
  RewriteAtStops(text, Stops("\r"), [](Ch, InPlace<Ch>& s) {
    if (s.p < s.end && Is(*s.p, '\n')) {
      s.w[-1] = static_cast<Ch>(' ');
      ++s.p;
    }
  });
}

template <class Ch>
void CollapseNbsp(Str<Ch>& text, const PassEnv<Ch>& env) {
  static constexpr char kPair[] = "&nbsp;&nbsp;";
  const bool inQuotesToo = (*env.settings)["cbReplaceDoubleNbspInKav"];
  RewriteAtFinds(text, PairStops<Ch>('&', 'n'), [&](Ch, InPlace<Ch>& s) {
    if (s.odd && !inQuotesToo) return;
    if (s.end - s.p < 11) return;
    for (std::size_t k = 1; k < 12; ++k)
      if (!Is(s.p[k - 1], kPair[k])) return;
    // The first entity stays, the second becomes one space; the space cannot
    // start or end another pair, so reading goes on after it.
    for (std::size_t k = 1; k < 6; ++k) *s.w++ = static_cast<Ch>(kPair[k]);
    *s.w++ = static_cast<Ch>(' ');
    s.p += 11;
  });
}

template <class Ch>
void RemoveAllTabs(Str<Ch>& text, const PassEnv<Ch>&) {
  RewriteAtStops(text, Stops("\t"), [](Ch, InPlace<Ch>& s) { --s.w; });
}

template <class Ch>
void CollapseSpaces(Str<Ch>& text, const PassEnv<Ch>& env) {
  const bool inQuotesToo = (*env.settings)["cbReplaceDoubleSpacesInKav"];
  // A single space needs no look; a space followed by a space does.
  RewriteAtFinds(text, PairStops<Ch>(' ', ' '), [&](Ch, InPlace<Ch>& s) {
    if (!s.odd || inQuotesToo) s.SkipSpaces();
  });
}

namespace {

template <class Ch>
bool OnlyTabsAndSpaces(std::basic_string_view<Ch> line) {
  for (Ch c : line)
    if (!Is(c, ' ') && !Is(c, '\t')) return false;
  return true;
}

constexpr std::pair<std::size_t, std::size_t> kDrop{1, 0};

}  // namespace

template <class Ch>
void TidyLines(const Str<Ch>& text, LineTidying tidying, Str<Ch>& out) {
  // Lines that begin with a space or a tab, end with one, or are empty are
  // the ones it may change.
  const LineLook look{
      .spaceStarts = tidying.blank || tidying.trim, .emptyLines = tidying.empty, .spaceEnds = tidying.trim};
  out.reserve(text.size() + 2);
  KeepLineParts<Ch>(
      text, out,
      [&](std::basic_string_view<Ch> line) {
        if (tidying.blank && !line.empty() && OnlyTabsAndSpaces(line)) return kDrop;
        auto blank = [](Ch c) { return Is(c, ' ') || Is(c, '\t'); };
        std::size_t b = 0, e = line.size();
        if (tidying.trim) {
          while (b < e && blank(line[b])) ++b;
          while (e > b && blank(line[e - 1])) --e;
        }
        if (tidying.empty && b == e) return kDrop;
        return std::pair<std::size_t, std::size_t>{b, e};
      },
      &look);
}

template <class Ch>
void RemoveBlankLines(const Str<Ch>& text, const PassEnv<Ch>&, Str<Ch>& out) {
  TidyLines(text, {.blank = true}, out);
}

template <class Ch>
void TrimLines(const Str<Ch>& text, const PassEnv<Ch>&, Str<Ch>& out) {
  TidyLines(text, {.trim = true}, out);
}

template <class Ch>
void RemoveEmptyLines(const Str<Ch>& text, const PassEnv<Ch>&, Str<Ch>& out) {
  TidyLines(text, {.empty = true}, out);
}

#define TERSIFY_INSTANTIATE(Ch)                                                     \
  template void TightenTagSpaces<Ch>(Str<Ch>&, const PassEnv<Ch>&);                 \
  template void JoinTags<Ch>(Str<Ch>&, const PassEnv<Ch>&);                         \
  template void GlueLines<Ch>(Str<Ch>&, const PassEnv<Ch>&);                        \
  template void CollapseNbsp<Ch>(Str<Ch>&, const PassEnv<Ch>&);                     \
  template void RemoveAllTabs<Ch>(Str<Ch>&, const PassEnv<Ch>&);                    \
  template void CollapseSpaces<Ch>(Str<Ch>&, const PassEnv<Ch>&);                   \
  template void RemoveBlankLines<Ch>(const Str<Ch>&, const PassEnv<Ch>&, Str<Ch>&); \
  template void TrimLines<Ch>(const Str<Ch>&, const PassEnv<Ch>&, Str<Ch>&);        \
  template void RemoveEmptyLines<Ch>(const Str<Ch>&, const PassEnv<Ch>&, Str<Ch>&); \
  template void TidyLines<Ch>(const Str<Ch>&, LineTidying, Str<Ch>&);
TERSIFY_INSTANTIATE(char)
TERSIFY_INSTANTIATE(Wide)
#undef TERSIFY_INSTANTIATE

}  // namespace tersify::engine
