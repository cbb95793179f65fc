// Passes over white space: spaces at "<", ">" and "=", spaces between tags,
// line gluing, &nbsp; chains, tabs and space runs.
#include "engine/passes.h"

namespace tersify::engine {
namespace {

template <class Ch>
bool Is(Ch c, char what) {
  return U(c) == static_cast<unsigned char>(what);
}

template <class Ch>
ByteSet Stops(char a, char b) {
  ByteSet set;
  set.add(static_cast<unsigned char>(a));
  set.add(static_cast<unsigned char>(b));
  return set;
}

// Every pass below reads the text once, copying the runs between the symbols
// it has to look at (quotes, which flip the parity, and its own symbols) as
// blocks. The literal method searches again from the start after each change;
// reading once gives the same text because no change makes a new occurrence
// before the place of the change.

// Deletes the spaces after every `mark` that stands outside quotes.
template <class Ch>
Str<Ch> DropSpacesAfter(const Str<Ch>& text, char mark) {
  Str<Ch> out;
  out.reserve(text.size());
  const ByteSet stops = Stops<Ch>('"', mark);
  bool odd = false;
  const Ch* p = text.data();
  const Ch* end = p + text.size();
  while (p < end) {
    const Ch* s = stops.find(p, end);
    if (s == end) {
      out.append(p, s);
      break;
    }
    out.append(p, s + 1);
    p = s + 1;
    if (Is(*s, '"')) {
      odd = !odd;
    } else if (!odd) {
      while (p < end && Is(*p, ' ')) ++p;
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
  const ByteSet stops = Stops<Ch>('"', mark);
  bool odd = false;
  const Ch* p = text.data();
  const Ch* end = p + text.size();
  while (p < end) {
    const Ch* s = stops.find(p, end);
    if (s == end) {
      out.append(p, s);
      break;
    }
    const Ch* keep = s;
    if (Is(*s, '"')) {
      odd = !odd;
    } else if (!odd) {
      // Spaces cannot flip the parity: the run has the parity of the mark.
      while (keep > p && Is(keep[-1], ' ')) --keep;
    }
    out.append(p, keep);
    out.push_back(*s);
    p = s + 1;
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
  const ByteSet stops = Stops<Ch>('"', '>');
  bool odd = false;
  const Ch* p = text.data();
  const Ch* end = p + text.size();
  while (p < end) {
    const Ch* s = stops.find(p, end);
    if (s == end) {
      out.append(p, s);
      break;
    }
    out.append(p, s + 1);
    p = s + 1;
    if (Is(*s, '"')) {
      odd = !odd;
    } else if (!odd && end - p >= 2 && Is(p[0], ' ') && Is(p[1], '<')) {
      ++p;  // the space goes; "<" is read next
    }
  }
  return out;
}

template <class Ch>
Str<Ch> GlueLines(const Str<Ch>& text, const PassEnv<Ch>&) {
  Str<Ch> out;
  out.reserve(text.size());
  const ByteSet stops = Stops<Ch>('\r', '\r');
  const Ch* p = text.data();
  const Ch* end = p + text.size();
  while (p < end) {
    const Ch* s = stops.find(p, end);
    out.append(p, s);
    if (s == end) break;
    if (end - s >= 2 && Is(s[1], '\n')) {
      out.push_back(static_cast<Ch>(' '));
      p = s + 2;
    } else {
      out.push_back(*s);
      p = s + 1;
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
  const ByteSet stops = Stops<Ch>('"', '&');
  bool odd = false;
  const Ch* p = text.data();
  const Ch* end = p + text.size();
  while (p < end) {
    const Ch* s = stops.find(p, end);
    out.append(p, s);
    if (s == end) break;
    p = s;
    if (Is(*p, '&') && end - p >= 12 && (!odd || inQuotesToo)) {
      bool match = true;
      for (std::size_t k = 1; k < 12 && match; ++k) match = Is(p[k], kPair[k]);
      if (match) {
        // The first entity stays, the second becomes one space; the space
        // cannot start or end another pair, so reading goes on after it.
        out.append(p, p + 6);
        out.push_back(static_cast<Ch>(' '));
        p += 12;
        continue;
      }
    }
    if (Is(*p, '"')) odd = !odd;
    out.push_back(*p);
    ++p;
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
  const ByteSet stops = Stops<Ch>('"', ' ');
  bool odd = false;
  const Ch* p = text.data();
  const Ch* end = p + text.size();
  while (p < end) {
    const Ch* s = stops.find(p, end);
    if (s == end) {
      out.append(p, s);
      break;
    }
    out.append(p, s + 1);
    p = s + 1;
    if (Is(*s, '"')) {
      odd = !odd;
    } else if (!odd || inQuotesToo) {
      while (p < end && Is(*p, ' ')) ++p;
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
