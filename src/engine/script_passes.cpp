// Script and preformatted text shielding: cutting script blocks and
// preformatted blocks out before the passes and putting them back afterwards.
#include <array>
#include <iterator>

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
bool CutScripts(const Str<Ch>& text, const PassEnv<Ch>& env, ScriptBlocks<Ch>& store, Str<Ch>& out) {
  const bool drop = (*env.settings)["cbDelScripts"];
  SplitText<Ch> g(text.data(), text.size(), out);
  // The word starts a block only in markup, outside a quoted value of the
  // tag it stands in.
  BracketLookBack<Ch> markup;
  auto rest = [&](std::size_t k) { return g.ahead(k); };
  // The word starts with the two symbols that lower-case to "s" and "c": the
  // scan jumps from one such pair to the next.
  ByteSet firstOfWord, secondOfWord;
  bool pairsComplete = true;
  for (int b = 0; b < 256 && pairsComplete; ++b) {
    const auto lower = (*env.lower)[static_cast<std::size_t>(b)];
    if (lower == 's') pairsComplete = firstOfWord.add(static_cast<unsigned char>(b));
    if (lower == 'c') pairsComplete = pairsComplete && secondOfWord.add(static_cast<unsigned char>(b));
  }
  const PairFinder wordStarts(firstOfWord, secondOfWord);
  ByteSet closeStops;  // what the search for the closing word looks at
  closeStops.add('"');
  closeStops.add('/');
  closeStops.add('<');
  closeStops.add('>');

  while (!g.atEnd()) {
    if (!Is(env.Lower(g.head()), 's') || !Spells(env, rest, 0, g.restSize(), "script")) {
      g.emit();
      if (pairsComplete && g.restIsSource()) {
        const Ch* from = g.restData();
        const Ch* to = from + g.restSize();
        const Ch* next = wordStarts.find(from, to);
        g.emitN(static_cast<std::size_t>(next - from));
      }
      continue;
    }
    bool starts = g.restSize() > 6 &&
                  (U(g.ahead(6)) == 8 || Is(g.ahead(6), '\r') || Is(g.ahead(6), ' ') || Is(g.ahead(6), '>')) &&
                  g.outSize() > 0 && (U(g.last()) == 8 || Is(g.last(), '\n') || Is(g.last(), ' ') || Is(g.last(), '<'));
    starts = starts && markup.InMarkup(g.outData(), g.outSize()) && !markup.OddSinceLt();
    // An occurrence that starts no block is passed over: the scan never
    // comes back to it, so it needs no disarming.
    if (!starts) {
      g.emit();
      continue;
    }
    // The block starts at the nearest "<" before the word (the first position
    // when there is none).
    const std::size_t a = g.outSize();
    std::size_t b = a;
    while (b > 0 && !Is(g.out(b - 1), '<')) --b;
    b = b > 0 ? b - 1 : 0;
    // The closing word: every "/script" before the word was passed over when
    // its own "script" was read, so the search goes on from after the word. Its
    // letter s is inside a quoted value when it stands in markup with an odd
    // number of quotes since the "<"; the word itself stands in markup, with
    // none since the "<".
    bool closed = false;
    bool inMarkup = true;
    bool restOdd = false;
    std::size_t k = 6;
    const std::size_t n = g.restSize();
    // Rest offsets from f on are the source's: only the few symbols handed
    // back after a dropped block stand in front, fewer than the word's six.
    const std::size_t f = g.frontSize();
    const Ch* const source = g.restData();
    for (; k < n; ++k) {
      k = f + static_cast<std::size_t>(closeStops.find(source + (k - f), source + (n - f)) - source);
      if (k == n) break;
      Ch c = source[k - f];
      if (Is(c, '"')) {
        restOdd = !restOdd;
      } else if (Is(c, '<')) {
        inMarkup = true;
        restOdd = false;
      } else if (Is(c, '>')) {
        inMarkup = false;
      } else if (Spells(env, rest, k + 1, n - k - 1, "script")) {
        if (!(inMarkup && restOdd)) {
          closed = true;
          break;
        }
        // Inside quotes: the search goes on after it. It ends inside this
        // block or ends the cutting, so the scan does not meet it again.
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
        if (env.IsScriptMarker(g.out(i))) return false;
    }
    // The block as it stands: the settled part up to the word, then the rest.
    Str<Ch> block;
    if (!drop) {
      block.assign(g.outData() + b, g.outData() + std::min(z + 1, a));
      if (z + 1 > a) g.copyRest(z + 1 - a, block);
    }
    markup.Cut(g.outData(), b);
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
      markup.Cut(g.outData(), g.outSize() - back);
      g.pushBack(back);
    }
  }
  g.emitRest();
  return true;
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

// The symbols of all the blocks of a store.
template <class Ch>
std::size_t SizeOf(const ScriptBlocks<Ch>& store) {
  std::size_t size = 0;
  for (const Str<Ch>& block : store) size += block.size();
  return size;
}

// As bytes every marker stands for the next block of `store` in order, from
// block `next` on; a marker with no block left goes without a trace.
template <class Ch>
void FillByteMarkers(const Ch* p, const Ch* end, Ch markerByte, const ScriptBlocks<Ch>& store, std::size_t& next,
                     Str<Ch>& out) {
  ByteSet marker;
  marker.add(static_cast<unsigned char>(markerByte));
  while (p < end) {
    const Ch* m = marker.find(p, end);
    out.append(p, m);
    if (m == end) break;
    if (next < store.size()) out.append(store[next++]);
    p = m + 1;
  }
}

}  // namespace

template <class Ch>
void InsertScripts(const Str<Ch>& text, const PassEnv<Ch>& env, const ScriptBlocks<Ch>& store, Str<Ch>& out) {
  out.clear();
  out.reserve(text.size() + SizeOf(store));
  if constexpr (sizeof(Ch) == 1) {
    std::size_t next = 0;
    FillByteMarkers(text.data(), text.data() + text.size(), env.scriptMarker, store, next, out);
  } else {
    std::vector<bool> used(store.size(), false);
    Expand(out, text, env, store, used);
  }
}

namespace {

constexpr std::string_view kPreformattedNames[] = {"pre", "textarea", "xmp", "listing", "plaintext"};

}  // namespace

template <class Ch>
bool CutPreformatted(const Str<Ch>& text, const PassEnv<Ch>& env, ScriptBlocks<Ch>& store, Str<Ch>& out) {
  const std::size_t n = text.size();
  const Ch* const data = text.data();
  auto spells = [&](std::size_t at, std::string_view word) {
    if (n - at < word.size()) return false;
    for (std::size_t k = 0; k < word.size(); ++k)
      if (!Is(env.Lower(data[at + k]), word[k])) return false;
    return true;
  };
  // Per name, the first "</" + name after the last opening it was looked
  // for (n when there is none); the openings only move forwards.
  constexpr std::size_t kNames = std::size(kPreformattedNames);
  std::array<std::size_t, kNames> close{};
  std::array<bool, kNames> searched{};
  std::size_t noGtFrom = n;  // no ">" at or after it
  ByteSet lt;
  lt.add('<');
  std::size_t copied = 0;
  for (std::size_t i = static_cast<std::size_t>(lt.find(data, data + n) - data); i < n;
       i = static_cast<std::size_t>(lt.find(data + i + 1, data + n) - data)) {
    if (i + 1 >= n) break;
    const Ch f = env.Lower(data[i + 1]);  // most tags start with none of the names' letters
    if (!Is(f, 'p') && !Is(f, 't') && !Is(f, 'x') && !Is(f, 'l')) continue;
    std::size_t name = kNames;
    for (std::size_t k = 0; k < kNames && name == kNames; ++k) {
      const std::string_view w = kPreformattedNames[k];
      if (!spells(i + 1, w) || i + 1 + w.size() >= n) continue;
      const Ch after = data[i + 1 + w.size()];
      if (Is(after, '>') || Is(after, ' ') || Is(after, '\t') || Is(after, '\r') || Is(after, '\n')) name = k;
    }
    if (name == kNames) continue;
    const std::string_view w = kPreformattedNames[name];
    std::size_t& c = close[name];
    if (!searched[name] || (c < n && c <= i)) {
      c = static_cast<std::size_t>(lt.find(data + i + 1, data + n) - data);
      while (c < n && !(c + 1 < n && Is(data[c + 1], '/') && spells(c + 2, w)))
        c = static_cast<std::size_t>(lt.find(data + c + 1, data + n) - data);
      searched[name] = true;
    }
    if (c >= n || c >= noGtFrom) continue;
    std::size_t z = c;
    while (z < n && !Is(data[z], '>')) ++z;
    if (z == n) {
      noGtFrom = c;
      continue;
    }
    if (copied == 0) out.clear();
    out.append(data + copied, data + i);
    Ch marker = env.preMarker;
    if constexpr (sizeof(Ch) != 1) marker = static_cast<Ch>(U(env.preMarker) + store.size());
    out.push_back(marker);
    store.emplace_back(data + i, data + z + 1);
    copied = z + 1;
    i = z;  // the search goes on right after the block
  }
  if (copied == 0) return false;
  out.append(data + copied, data + n);
  return true;
}

template <class Ch>
void InsertPreformatted(const Str<Ch>& text, const PassEnv<Ch>& env, const ScriptBlocks<Ch>& store, Str<Ch>& out) {
  out.clear();
  out.reserve(text.size() + SizeOf(store));
  if constexpr (sizeof(Ch) == 1) {
    std::size_t next = 0;
    FillByteMarkers(text.data(), text.data() + text.size(), env.preMarker, store, next, out);
  } else {
    for (Ch c : text) {
      if (!env.IsPreMarker(c)) {
        out.push_back(c);
        continue;
      }
      const std::size_t index = U(c) - U(env.preMarker);
      if (index < store.size()) out.append(store[index]);
    }
  }
}

void InsertBlocks(const Str<char>& text, const PassEnv<char>& env, const ScriptBlocks<char>& pres,
                  const ScriptBlocks<char>& scripts, Str<char>& out) {
  out.clear();
  out.reserve(text.size() + SizeOf(pres) + SizeOf(scripts));
  // The scripts go in order through the text and the blocks put back.
  std::size_t nextScript = 0;
  std::size_t nextPre = 0;
  ByteSet preMarker;
  preMarker.add(static_cast<unsigned char>(env.preMarker));
  const char* p = text.data();
  const char* const end = p + text.size();
  for (const char* m = preMarker.find(p, end); m < end; m = preMarker.find(p, end)) {
    FillByteMarkers(p, m, env.scriptMarker, scripts, nextScript, out);
    if (nextPre < pres.size()) {
      const Str<char>& block = pres[nextPre++];
      FillByteMarkers(block.data(), block.data() + block.size(), env.scriptMarker, scripts, nextScript, out);
    }
    p = m + 1;
  }
  FillByteMarkers(p, end, env.scriptMarker, scripts, nextScript, out);
}

#define TERSIFY_INSTANTIATE(Ch)                                                                           \
  template bool CutScripts<Ch>(const Str<Ch>&, const PassEnv<Ch>&, ScriptBlocks<Ch>&, Str<Ch>&);          \
  template void InsertScripts<Ch>(const Str<Ch>&, const PassEnv<Ch>&, const ScriptBlocks<Ch>&, Str<Ch>&); \
  template bool CutPreformatted<Ch>(const Str<Ch>&, const PassEnv<Ch>&, ScriptBlocks<Ch>&, Str<Ch>&);     \
  template void InsertPreformatted<Ch>(const Str<Ch>&, const PassEnv<Ch>&, const ScriptBlocks<Ch>&, Str<Ch>&);
TERSIFY_INSTANTIATE(char)
TERSIFY_INSTANTIATE(Wide)
#undef TERSIFY_INSTANTIATE

}  // namespace tersify::engine
