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
// attribute, which only looks for spaces. A pair changes only where its
// first quote stands in markup.
template <class Ch>
void RemoveQuotes(const Str<Ch>& text, const PassEnv<Ch>& env, Str<Ch>& out, std::size_t* dropped) {
  const bool dropEmpty = (*env.settings)["cbDelEmptyPar"];
  const Ch space = static_cast<Ch>(' ');
  out.clear();
  out.reserve(text.size());
  BracketLookBack<Ch> markup;  // over what is written
  const Ch* const end = text.data() + text.size();
  const Ch* run = text.data();  // the text from here to the pair at hand stays as it is, not yet written
  StopsOf<Ch> quotes(text.data(), end, '"');
  for (;;) {
    const Ch* q1 = quotes.next();
    if (q1 == end) break;
    const Ch* q2 = quotes.next();
    if (q2 == end) break;  // an unpaired last quote ends the pass as it is
    const std::size_t len = static_cast<std::size_t>(q2 - q1) - 1;
    const bool empty = len == 0 && dropEmpty;
    if (empty || (len > 0 && (IsNumSyms(q1 + 1, len) || IsHexSyms(q1 + 1, len)))) {
      out.append(run, q1);
      run = q1;
      if (markup.InMarkup(out.data(), out.size())) {
        if (empty) {
          // The attribute goes back to the nearest space (kept), but never
          // below the second position.
          std::size_t b = out.size();  // the position before the quote, counted from 1
          while (b > 2 && out[b - 1] != space) --b;
          if (b <= 2) env.MetEdge();
          if (dropped)
            for (std::size_t i = b; i < out.size(); ++i) *dropped += env.IsBlockMarker(out[i]) ? 1 : 0;
          markup.Cut(out.data(), b);
          out.resize(b);
        } else {
          out.append(q1 + 1, q2);
        }
        run = q2 + 1;
      }
    }
  }
  out.append(run, end);
}

#define TERSIFY_INSTANTIATE(Ch) \
  template void RemoveQuotes<Ch>(const Str<Ch>&, const PassEnv<Ch>&, Str<Ch>&, std::size_t*);
TERSIFY_INSTANTIATE(char)
TERSIFY_INSTANTIATE(Wide)
#undef TERSIFY_INSTANTIATE

}  // namespace tersify::engine
