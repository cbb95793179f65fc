// Passes over white space: spaces at "<", ">" and "=", spaces between tags,
// line gluing, &nbsp; chains, tabs and space runs.
#include "engine/passes.h"

namespace tersify::engine {
namespace {

template <class Ch>
bool Is(Ch c, char what) {
  return U(c) == static_cast<unsigned char>(what);
}

// Deletes the spaces after every `mark` that stands outside quotes.
template <class Ch>
Str<Ch> DropSpacesAfter(const Str<Ch>& text, char mark) {
  Str<Ch> out;
  out.reserve(text.size());
  bool odd = false;
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    Ch c = text[i];
    out.push_back(c);
    if (Is(c, '"')) {
      odd = !odd;
    } else if (Is(c, mark) && !odd) {
      while (i + 1 < n && Is(text[i + 1], ' ')) ++i;
    }
  }
  return out;
}

// Deletes a run of spaces that ends right before `mark` when the run stands
// outside quotes.
template <class Ch>
Str<Ch> DropSpacesBefore(const Str<Ch>& text, char mark) {
  Str<Ch> out;
  out.reserve(text.size());
  bool odd = false;
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    Ch c = text[i];
    if (Is(c, ' ')) {
      std::size_t j = i;
      while (j < n && Is(text[j], ' ')) ++j;
      if (!(j < n && Is(text[j], mark) && !odd)) out.append(text, i, j - i);
      i = j;
      continue;
    }
    if (Is(c, '"')) odd = !odd;
    out.push_back(c);
    ++i;
  }
  return out;
}

}  // namespace

template <class Ch>
Str<Ch> TightenTagSpaces(const Str<Ch>& text, const PassEnv<Ch>& env) {
  Str<Ch> t = DropSpacesAfter(text, '<');
  t = DropSpacesBefore(t, '>');
  t = DropSpacesBefore(t, '=');
  t = DropSpacesAfter(t, '=');
  return JoinTags(t, env);
}

template <class Ch>
Str<Ch> JoinTags(const Str<Ch>& text, const PassEnv<Ch>&) {
  Str<Ch> out;
  out.reserve(text.size());
  bool odd = false;
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    Ch c = text[i];
    out.push_back(c);
    if (Is(c, '"')) {
      odd = !odd;
    } else if (Is(c, '>') && !odd && i + 2 < n && Is(text[i + 1], ' ') && Is(text[i + 2], '<')) {
      ++i;  // the space goes; "<" is read next
    }
  }
  return out;
}

template <class Ch>
Str<Ch> GlueLines(const Str<Ch>& text, const PassEnv<Ch>&) {
  Str<Ch> out;
  out.reserve(text.size());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (Is(text[i], '\r') && i + 1 < n && Is(text[i + 1], '\n')) {
      out.push_back(static_cast<Ch>(' '));
      ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

template <class Ch>
Str<Ch> CollapseNbsp(const Str<Ch>& text, const PassEnv<Ch>& env) {
  static constexpr char kPair[] = "&nbsp;&nbsp;";
  const bool inQuotesToo = env.settings->cbReplaceDoubleNbspInKav;
  Str<Ch> out;
  out.reserve(text.size());
  bool odd = false;
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    Ch c = text[i];
    if (Is(c, '&') && n - i >= 12 && (!odd || inQuotesToo)) {
      bool match = true;
      for (std::size_t k = 1; k < 12 && match; ++k) match = Is(text[i + k], kPair[k]);
      if (match) {
        // The first entity stays, the second becomes one space; the space
        // cannot start or end another pair, so reading goes on after it.
        out.append(text, i, 6);
        out.push_back(static_cast<Ch>(' '));
        i += 12;
        continue;
      }
    }
    if (Is(c, '"')) odd = !odd;
    out.push_back(c);
    ++i;
  }
  return out;
}

template <class Ch>
Str<Ch> RemoveAllTabs(Str<Ch> text, const PassEnv<Ch>&) {
  std::erase_if(text, [](Ch c) { return Is(c, '\t'); });
  return text;
}

template <class Ch>
Str<Ch> CollapseSpaces(const Str<Ch>& text, const PassEnv<Ch>& env) {
  const bool inQuotesToo = env.settings->cbReplaceDoubleSpacesInKav;
  Str<Ch> out;
  out.reserve(text.size());
  bool odd = false;
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    Ch c = text[i];
    out.push_back(c);
    if (Is(c, '"')) {
      odd = !odd;
    } else if (Is(c, ' ') && (!odd || inQuotesToo)) {
      while (i + 1 < n && Is(text[i + 1], ' ')) ++i;
    }
  }
  return out;
}

namespace {

template <class Ch>
bool OnlyTabsAndSpaces(std::basic_string_view<Ch> line) {
  for (Ch c : line)
    if (!Is(c, ' ') && !Is(c, '\t')) return false;
  return true;
}

}  // namespace

template <class Ch>
Str<Ch> RemoveBlankLines(const Str<Ch>& text, const PassEnv<Ch>&) {
  return RebuildLines<Ch>(text, [](std::basic_string_view<Ch> line, Str<Ch>& out) {
    if (line.empty() || !OnlyTabsAndSpaces(line)) AppendLine(out, line);
  });
}

template <class Ch>
Str<Ch> TrimLines(const Str<Ch>& text, const PassEnv<Ch>&) {
  return RebuildLines<Ch>(text, [](std::basic_string_view<Ch> line, Str<Ch>& out) {
    auto blank = [](Ch c) { return Is(c, ' ') || Is(c, '\t'); };
    std::size_t b = 0, e = line.size();
    while (b < e && blank(line[b])) ++b;
    while (e > b && blank(line[e - 1])) --e;
    AppendLine(out, line.substr(b, e - b));
  });
}

template <class Ch>
Str<Ch> RemoveEmptyLines(const Str<Ch>& text, const PassEnv<Ch>&) {
  return RebuildLines<Ch>(text, [](std::basic_string_view<Ch> line, Str<Ch>& out) {
    if (!line.empty()) AppendLine(out, line);
  });
}

#define TERSIFY_INSTANTIATE(Ch)                                                \
  template Str<Ch> TightenTagSpaces<Ch>(const Str<Ch>&, const PassEnv<Ch>&);          \
  template Str<Ch> JoinTags<Ch>(const Str<Ch>&, const PassEnv<Ch>&);                  \
  template Str<Ch> GlueLines<Ch>(const Str<Ch>&, const PassEnv<Ch>&);                 \
  template Str<Ch> CollapseNbsp<Ch>(const Str<Ch>&, const PassEnv<Ch>&);              \
  template Str<Ch> RemoveAllTabs<Ch>(Str<Ch>, const PassEnv<Ch>&);             \
  template Str<Ch> RemoveBlankLines<Ch>(const Str<Ch>&, const PassEnv<Ch>&);          \
  template Str<Ch> CollapseSpaces<Ch>(const Str<Ch>&, const PassEnv<Ch>&);            \
  template Str<Ch> TrimLines<Ch>(const Str<Ch>&, const PassEnv<Ch>&);                 \
  template Str<Ch> RemoveEmptyLines<Ch>(const Str<Ch>&, const PassEnv<Ch>&);
TERSIFY_INSTANTIATE(char)
TERSIFY_INSTANTIATE(Wide)
#undef TERSIFY_INSTANTIATE

}  // namespace tersify::engine
