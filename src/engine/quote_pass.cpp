// Removal of unnecessary double quotes and of empty attributes.
#include "engine/passes.h"

namespace tersify::engine {
namespace {

template <class Ch>
bool IsNumSyms(const Ch* v, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    std::uint32_t c = U(v[i]);
    bool digit = c >= '0' && c <= '9';
    if (!digit && !(c == '%' && i + 1 == n)) return false;
  }
  return true;
}

template <class Ch>
bool IsHexSyms(const Ch* v, std::size_t n) {
  if (n < 2 || n > 7 || U(v[0]) != '#') return false;
  for (std::size_t i = 1; i < n; ++i) {
    std::uint32_t c = U(v[i]);
    bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!hex) return false;
  }
  return true;
}

}  // namespace

bool IsNum(std::string_view value) { return IsNumSyms(value.data(), value.size()); }
bool Ishex(std::string_view value) { return IsHexSyms(value.data(), value.size()); }

// Quotes pair strictly from left to right. A pair that stays is written out
// as it was; nothing later looks back at it except the walk of an empty
// attribute, which only looks for spaces.
template <class Ch>
Str<Ch> RemoveQuotes(Str<Ch> text, const PassEnv<Ch>& env) {
  const bool dropEmpty = env.settings->cbDelEmptyPar;
  GapText<Ch> g(std::move(text));
  const Ch quote = static_cast<Ch>('"');
  const Ch space = static_cast<Ch>(' ');
  while (!g.atEnd()) {
    // To the next opening quote.
    const Ch* rest = g.restData();
    std::size_t n = g.restSize();
    std::size_t q1 = std::find(rest, rest + n, quote) - rest;
    g.emitN(q1);
    if (q1 == n) break;
    rest = g.restData();
    n = g.restSize();
    std::size_t q2 = std::find(rest + 1, rest + n, quote) - rest;
    if (q2 == n) break;  // an unpaired last quote ends the pass as it is
    const std::size_t len = q2 - 1;
    if (len == 0 && dropEmpty) {
      // The attribute goes back to the nearest space (kept), but never below
      // the second position.
      std::size_t b = g.outSize();  // the position before the quote, counted from 1
      while (b > 2 && g.out(b - 1) != space) --b;
      g.truncate(b);
      g.skip(q2 + 1);
    } else if (len > 0 && (IsNumSyms(rest + 1, len) || IsHexSyms(rest + 1, len))) {
      g.skip(1);
      g.emitN(len);
      g.skip(1);
    } else {
      g.emitN(q2 + 1);
    }
  }
  g.emitN(g.restSize());
  return std::move(g).finish();
}

#define TERSIFY_INSTANTIATE(Ch) template Str<Ch> RemoveQuotes<Ch>(Str<Ch>, const PassEnv<Ch>&);
TERSIFY_INSTANTIATE(char)
TERSIFY_INSTANTIATE(Wide)
#undef TERSIFY_INSTANTIATE

}  // namespace tersify::engine
