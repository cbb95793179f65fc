// Script shielding: cutting script blocks out before the passes and putting
// them back afterwards.
#include "engine/passes.h"

namespace tersify::engine {
namespace {

template <class Ch>
bool Is(Ch c, char what) {
  return U(c) == static_cast<unsigned char>(what);
}

// True when the lower-case symbols at `s` spell `word`.
template <class Ch, class At>
bool Spells(const PassEnv<Ch>& env, At&& at, std::size_t from, std::size_t avail, std::string_view word) {
  if (avail < word.size()) return false;
  for (std::size_t k = 0; k < word.size(); ++k)
    if (!Is(env.Lower(at(from + k)), word[k])) return false;
  return true;
}

}  // namespace

template <class Ch>
Str<Ch> CutScripts(Str<Ch> text, const PassEnv<Ch>& env, ScriptBlocks<Ch>& store) {
  const bool drop = env.settings->cbDelScripts;
  const Ch lowS = env.markA;  // a disarmed "s"
  const Ch upS = env.markB;   // a disarmed "S"
  GapText<Ch> g(std::move(text));
  bool odd = false;  // quote parity of the settled part
  bool disarmed = false;
  auto rest = [&](std::size_t k) { return g.ahead(k); };
  // The word starts with the two symbols that lower-case to "s" and "c": the
  // scan jumps from one such pair to the next and counts the quotes between.
  ByteSet firstOfWord, secondOfWord;
  bool pairsComplete = true;
  for (int b = 0; b < 256 && pairsComplete; ++b) {
    const auto lower = (*env.lower)[static_cast<std::size_t>(b)];
    if (lower == 's') pairsComplete = firstOfWord.add(static_cast<unsigned char>(b));
    if (lower == 'c') pairsComplete = pairsComplete && secondOfWord.add(static_cast<unsigned char>(b));
  }
  const PairFinder wordStarts(firstOfWord, secondOfWord);
  const Ch quote = static_cast<Ch>('"');
  ByteSet quoteOrSlash;
  quoteOrSlash.add('"');
  quoteOrSlash.add('/');

  while (!g.atEnd()) {
    if (!Is(env.Lower(g.head()), 's') || !Spells(env, rest, 0, g.restSize(), "script")) {
      if (Is(g.head(), '"')) odd = !odd;
      g.emit();
      if (pairsComplete) {
        const Ch* from = g.restData();
        const Ch* to = from + g.restSize();
        const Ch* next = wordStarts.find(from, to, quote, odd);
        g.emitN(static_cast<std::size_t>(next - from));
      }
      continue;
    }
    const bool starts = !odd && g.restSize() > 6 &&
                        (U(g.ahead(6)) == 8 || Is(g.ahead(6), '\r') || Is(g.ahead(6), ' ') || Is(g.ahead(6), '>')) &&
                        g.outSize() > 0 &&
                        (U(g.last()) == 8 || Is(g.last(), '\n') || Is(g.last(), ' ') || Is(g.last(), '<'));
    if (!starts) {
      g.emitAs(Is(g.head(), 's') ? lowS : upS);
      disarmed = true;
      continue;
    }
    // The block starts at the nearest "<" before the word (the first position
    // when there is none).
    const std::size_t a = g.outSize();
    std::size_t b = a;
    while (b > 0 && !Is(g.out(b - 1), '<')) --b;
    b = b > 0 ? b - 1 : 0;
    // The closing word: every "/script" before the word was disarmed when its
    // own "script" was read, so the search goes on from after the word.
    bool closed = false;
    bool restOdd = odd;  // quote parity at the rest position being looked at
    std::size_t k = 6;
    const std::size_t n = g.restSize();
    const Ch* const ahead = g.restData();
    for (; k < n; ++k) {
      k = static_cast<std::size_t>(quoteOrSlash.find(ahead + k, ahead + n) - ahead);
      if (k == n) break;
      Ch c = ahead[k];
      if (Is(c, '"')) {
        restOdd = !restOdd;
      } else if (Spells(env, rest, k + 1, n - k - 1, "script")) {
        if (!restOdd) {
          closed = true;
          break;
        }
        // Inside quotes: the letter is disarmed and the search goes on.
        Ch& s = g.aheadRef(k + 1);
        s = Is(s, 's') ? lowS : upS;
        disarmed = true;
        ++k;
      }
    }
    // The block ends at the first ">" after the closing word, or after the
    // opening tag's first six bytes without one; the last position when none.
    const std::size_t total = g.size();
    std::size_t z = closed ? a + k + 7 : b + 6;
    while (z < total && !Is(g.at(z), '>')) ++z;
    if (z >= total) z = total - 1;

    if constexpr (sizeof(Ch) == 1) {
      // As bytes the n-th marker stands for the n-th block: a block starting
      // before an earlier block's marker needs markers of their own.
      for (std::size_t i = b; i < a; ++i)
        if (env.IsScriptMarker(g.out(i))) throw NeedWideSymbols();
    }
    Str<Ch> block;
    block.reserve(z + 1 - b);
    for (std::size_t i = b; i <= z; ++i) {
      Ch c = g.at(i);
      if (c == lowS)
        c = static_cast<Ch>('s');
      else if (c == upS)
        c = static_cast<Ch>('S');
      block.push_back(c);
    }
    // Settled quotes inside the block no longer count.
    for (std::size_t i = b; i < a; ++i)
      if (Is(g.out(i), '"')) odd = !odd;
    if (z < a) {
      g.pushBack(a - (z + 1));
      g.truncate(b);
    } else {
      g.truncate(b);
      g.skip(z + 1 - a);
    }
    if (!drop) {
      Ch marker = env.scriptMarker;
      if constexpr (sizeof(Ch) != 1) marker = static_cast<Ch>(U(env.scriptMarker) + store.size());
      store.push_back(std::move(block));
      g.put(marker);
    }
    if (!closed) break;  // an opening tag without a closing word ends the cutting
    if (drop) {
      // Bytes before and after the cut now meet: a word may span the seam.
      std::size_t back = std::min<std::size_t>(5, g.outSize());
      for (std::size_t i = g.outSize() - back; i < g.outSize(); ++i)
        if (Is(g.out(i), '"')) odd = !odd;
      g.pushBack(back);
    }
  }
  Str<Ch> out = std::move(g).finish();
  if (disarmed) {
    ReplaceTwo<Ch>(out, lowS, static_cast<Ch>('s'), upS, static_cast<Ch>('S'));
  }
  return out;
}

namespace {

template <class Ch>
void Expand(Str<Ch>& out, const Str<Ch>& text, const PassEnv<Ch>& env, const ScriptBlocks<Ch>& store,
            std::vector<bool>& used) {
  for (Ch c : text) {
    if (!env.IsScriptMarker(c)) {
      out.push_back(c);
      continue;
    }
    std::size_t index = U(c) - U(env.scriptMarker);
    if (index < store.size() && !used[index]) {
      used[index] = true;
      Expand(out, store[index], env, store, used);
    }
  }
}

}  // namespace

template <class Ch>
void InsertScripts(const Str<Ch>& text, const PassEnv<Ch>& env, const ScriptBlocks<Ch>& store, Str<Ch>& out) {
  out.clear();
  std::size_t blocks = 0;
  for (const Str<Ch>& block : store) blocks += block.size();
  out.reserve(text.size() + blocks);
  if constexpr (sizeof(Ch) == 1) {
    // As bytes every marker stands for the next block in order.
    std::size_t next = 0;
    ByteSet marker;
    marker.add(static_cast<unsigned char>(env.scriptMarker));
    const Ch* p = text.data();
    const Ch* end = p + text.size();
    while (p < end) {
      const Ch* m = marker.find(p, end);
      out.append(p, m);
      if (m == end) break;
      if (next < store.size()) out.append(store[next++]);
      p = m + 1;
    }
  } else {
    std::vector<bool> used(store.size(), false);
    Expand(out, text, env, store, used);
  }
}

#define TERSIFY_INSTANTIATE(Ch)                                                    \
  template Str<Ch> CutScripts<Ch>(Str<Ch>, const PassEnv<Ch>&, ScriptBlocks<Ch>&); \
  template void InsertScripts<Ch>(const Str<Ch>&, const PassEnv<Ch>&, const ScriptBlocks<Ch>&, Str<Ch>&);
TERSIFY_INSTANTIATE(char)
TERSIFY_INSTANTIATE(Wide)
#undef TERSIFY_INSTANTIATE

}  // namespace tersify::engine
