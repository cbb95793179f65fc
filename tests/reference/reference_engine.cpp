#include "reference/reference_engine.h"

#include <algorithm>
#include <initializer_list>
#include <iterator>

namespace tersify::reference {
namespace {

// What At() answers outside the text: no byte at all, so every neighbour test fails.
constexpr Sym kNone = 0xFFFFFFFF;

constexpr Sym M(unsigned char byte) { return kMarker + byte; }

bool IsScriptMarker(Sym c) { return c >= kScriptMarker && c < kPreMarker; }
bool IsPreMarker(Sym c) { return c >= kPreMarker; }

Text FromBytes(std::string_view bytes) {
  Text t;
  t.reserve(bytes.size());
  for (char c : bytes) t.push_back(static_cast<unsigned char>(c));
  return t;
}

Sym At(const Text& t, std::size_t p) { return p >= 1 && p <= t.size() ? t[p - 1] : kNone; }

bool OneOf(Sym c, std::initializer_list<Sym> set) { return std::find(set.begin(), set.end(), c) != set.end(); }

// First position at or after `from` where `pattern` begins, 0 when there is none.
std::size_t Find(const Text& t, const Text& pattern, std::size_t from = 1) {
  if (from < 1) from = 1;
  if (from > t.size() + 1) return 0;
  std::size_t i = t.find(pattern, from - 1);
  return i == Text::npos ? 0 : i + 1;
}
std::size_t Find(const Text& t, std::string_view pattern, std::size_t from = 1) {
  return Find(t, FromBytes(pattern), from);
}

// Nearest "<" at or before `from`, walking down; position 1 when there is none.
std::size_t BackToLess(const Text& t, std::size_t from) {
  for (std::size_t k = from; k >= 1; --k)
    if (t[k - 1] == '<') return k;
  return 1;
}

// First ">" at or after `from`; the last position when there is none.
std::size_t ForwardToGreater(const Text& t, std::size_t from) {
  for (std::size_t k = std::max<std::size_t>(from, 1); k <= t.size(); ++k)
    if (t[k - 1] == '>') return k;
  return t.size();
}

void ReplaceAll(Text& t, Sym from, Sym to) { std::replace(t.begin(), t.end(), from, to); }

// Deletes positions from..to (both included) in both strings.
void DeleteBoth(Doc& d, std::size_t from, std::size_t to) {
  d.source.erase(from - 1, to - from + 1);
  d.lower.erase(from - 1, to - from + 1);
}

void SetBoth(Doc& d, std::size_t p, Sym c) {
  d.source[p - 1] = c;
  d.lower[p - 1] = c;
}

Sym LowerSym(Sym c, const LowerTable& table) { return c < 256 ? table[c] : c; }

Text LowerOf(const Text& t, CodePage cp) {
  const LowerTable& table = LowerTableFor(cp);
  Text out(t);
  for (Sym& c : out) c = LowerSym(c, table);
  return out;
}

// The upper-case form of a byte: the byte whose lower-case form it is, or the
// byte itself when it has no capital.
Sym UpperSym(Sym c, const LowerTable& table) {
  Sym low = LowerSym(c, table);
  for (Sym u = 0; u < 256; ++u)
    if (u != low && table[u] == low) return u;
  return low;
}

Sym SymOf(char c) { return static_cast<unsigned char>(c); }
Sym SymOf(Sym c) { return c; }

template <typename Range>
bool IsNumRange(const Range& value) {
  for (std::size_t i = 0; i < value.size(); ++i) {
    Sym c = SymOf(value[i]);
    bool digit = c >= '0' && c <= '9';
    bool lastPercent = c == '%' && i + 1 == value.size();
    if (!digit && !lastPercent) return false;
  }
  return true;
}

template <typename Range>
bool IsHexRange(const Range& value) {
  if (value.size() < 2 || value.size() > 7) return false;
  for (std::size_t i = 0; i < value.size(); ++i) {
    Sym c = SymOf(value[i]);
    if (i == 0) {
      if (c != '#') return false;
      continue;
    }
    bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!hex) return false;
  }
  return true;
}

// Lines by the reading rule: CR LF, CR or LF end a line; a byte 0 ends the text.
std::vector<Text> SplitLines(const Text& t) {
  std::vector<Text> lines;
  Text line;
  bool open = false;
  for (std::size_t i = 0; i < t.size(); ++i) {
    Sym c = t[i];
    if (c == 0) break;
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
      open = false;
      if (c == '\r' && i + 1 < t.size() && t[i + 1] == '\n') ++i;
      continue;
    }
    line.push_back(c);
    open = true;
  }
  if (open) lines.push_back(line);
  return lines;
}

Text JoinLines(const std::vector<Text>& lines) {
  Text t;
  for (const Text& line : lines) {
    t += line;
    t.push_back('\r');
    t.push_back('\n');
  }
  return t;
}

bool IsSpaceOrTab(Sym c) { return c == ' ' || c == '\t'; }

}  // namespace

Doc::Doc(std::string_view sourceText, CodePage cp) : source(FromBytes(sourceText)), codePage(cp) { Relower(); }

std::string Doc::Bytes() const {
  std::string out;
  out.reserve(source.size());
  for (Sym c : source) {
    if (IsScriptMarker(c))
      out.push_back(static_cast<char>(0x8A));
    else
      out.push_back(static_cast<char>(c & 0xFF));
  }
  return out;
}

std::size_t Doc::ScriptMarkerCount() const {
  return static_cast<std::size_t>(std::count_if(source.begin(), source.end(), IsScriptMarker));
}

std::size_t Doc::PendingScripts() const {
  return static_cast<std::size_t>(std::count(scriptPending.begin(), scriptPending.end(), true));
}

void Doc::Relower() { lower = LowerOf(source, codePage); }

bool Inkav(const Text& text, std::size_t p) {
  std::size_t end = std::min(p > 0 ? p - 1 : 0, text.size());
  return std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(end), Sym('"')) % 2 == 1;
}

bool InMarkup(const Text& text, std::size_t p) {
  for (std::size_t k = std::min(p, text.size() + 1); k-- > 1;) {
    if (text[k - 1] == '<') return true;
    if (text[k - 1] == '>') return false;
  }
  return false;
}

bool InTagValue(const Text& text, std::size_t p) {
  if (!InMarkup(text, p)) return false;
  std::size_t quotes = 0;
  for (std::size_t k = p - 1; text[k - 1] != '<'; --k)
    if (text[k - 1] == '"') ++quotes;
  return quotes % 2 == 1;
}

bool IsNum(std::string_view value) { return IsNumRange(value); }
bool Ishex(std::string_view value) { return IsHexRange(value); }

// ---------------------------------------------------------------- scripts

void CutScripts(Doc& d, const OptimizationSettings& s) {
  bool disarmed = false;
  // Disarms the letter s of a "script" that is not taken.
  auto disarm = [&](std::size_t p) {
    d.source[p - 1] = d.source[p - 1] == 's' ? M(0xA4) : M(0xA5);
    d.lower[p - 1] = M(0xA4);
    disarmed = true;
  };
  for (;;) {
    std::size_t a = Find(d.lower, "script");
    if (a == 0) break;
    bool starts = InMarkup(d.lower, a) && !InTagValue(d.lower, a) && OneOf(At(d.lower, a + 6), {8, '\r', ' ', '>'}) &&
                  OneOf(At(d.lower, a - 1), {8, '\n', ' ', '<'});
    if (!starts) {
      disarm(a);
      continue;
    }
    std::size_t b = a > 1 ? BackToLess(d.lower, a - 1) : 1;
    std::size_t e = 0;
    for (;;) {
      std::size_t slash = Find(d.lower, "/script", b);
      if (slash == 0) break;
      e = slash + 1;
      if (!InTagValue(d.lower, e)) break;
      disarm(e);
      e = 0;
    }
    std::size_t z = ForwardToGreater(d.lower, e != 0 ? e + 6 : b + 6);
    Text block = d.source.substr(b - 1, z - b + 1);
    ReplaceAll(block, M(0xA4), 's');
    ReplaceAll(block, M(0xA5), 'S');
    DeleteBoth(d, b, z);
    if (!s["cbDelScripts"]) {
      Sym marker = kScriptMarker + static_cast<Sym>(d.scripts.size());
      d.scripts.push_back(block);
      d.scriptPending.push_back(true);
      d.source.insert(b - 1, 1, marker);
      d.lower.insert(b - 1, 1, marker);
    }
    if (e == 0) break;  // an opening tag without a closing word ends the cutting
  }
  if (disarmed) {
    ReplaceAll(d.source, M(0xA4), 's');
    ReplaceAll(d.source, M(0xA5), 'S');
  }
  d.Relower();
}

void InsertScripts(Doc& d) {
  for (;;) {
    auto it = std::find_if(d.source.begin(), d.source.end(), IsScriptMarker);
    if (it == d.source.end()) break;
    std::size_t index = *it - kScriptMarker;
    std::size_t at = static_cast<std::size_t>(it - d.source.begin());
    d.source.erase(at, 1);
    // A block may hold the marker of an earlier block; the loop expands it next.
    if (index < d.scripts.size() && d.scriptPending[index]) {
      d.source.insert(at, d.scripts[index]);
      d.scriptPending[index] = false;
    }
  }
  // Blocks whose marker was removed by a pass are dropped with the document.
  d.scripts.clear();
  d.scriptPending.clear();
  d.Relower();
}

// ---------------------------------------------------------------- preformatted text

void CutPreformatted(Doc& d) {
  static constexpr std::string_view kNames[] = {"pre", "textarea", "xmp", "listing", "plaintext"};
  for (std::size_t p = 1; p <= d.lower.size(); ++p) {
    if (d.lower[p - 1] != '<') continue;
    for (std::string_view name : kNames) {
      if (d.lower.compare(p, name.size(), FromBytes(name)) != 0) continue;
      if (!OneOf(At(d.lower, p + 1 + name.size()), {'>', ' ', '\t', '\r', '\n'})) continue;
      std::size_t close = Find(d.lower, "</" + std::string(name), p + 1);
      if (close == 0) break;
      std::size_t z = close;
      while (z <= d.lower.size() && d.lower[z - 1] != '>') ++z;
      if (z > d.lower.size()) break;
      d.pres.push_back(d.source.substr(p - 1, z - p + 1));
      DeleteBoth(d, p, z);
      Sym marker = kPreMarker + static_cast<Sym>(d.pres.size() - 1);
      d.source.insert(p - 1, 1, marker);
      d.lower.insert(p - 1, 1, marker);
      break;  // the search goes on right after the marker
    }
  }
}

void InsertPreformatted(Doc& d) {
  Text out;
  for (Sym c : d.source) {
    if (!IsPreMarker(c)) {
      out.push_back(c);
      continue;
    }
    std::size_t index = c - kPreMarker;
    if (index < d.pres.size()) out += d.pres[index];
  }
  d.source = out;
  d.pres.clear();  // blocks whose marker a pass removed are dropped
  d.Relower();
}

// ---------------------------------------------------------------- comments

namespace {

// The "style" keep-test on the comment's content.
bool ContentNamesStyle(Text content) {
  for (;;) {
    std::size_t at = Find(content, "style");
    if (at == 0) return false;
    if (!Inkav(content, at)) return true;
    content[at - 1] = M(0xA4);
  }
}

// The enclosing-tag keep-test: the name of the tag around the comment's "<" at b.
bool EnclosedByStyle(const Doc& d, std::size_t b) {
  if (b <= 1) return false;  // the comment's "<" is the first byte: no enclosing tag
  const Text& src = d.source;
  const std::size_t n = src.size();
  auto even = [&](std::size_t p) { return !Inkav(src, p); };
  // Walks down to a "<" outside quotes, or stops at position 1.
  std::size_t k = b - 1;
  while (k > 1 && !(d.lower[k - 1] == '<' && even(k))) --k;
  // The name starts at the first non-space outside quotes, not beyond the second-last position.
  std::size_t j = k + 1;
  while (j + 1 < n && !(At(src, j) != ' ' && even(j))) ++j;
  // It ends before the first space or ">" outside quotes, not beyond the second-last position.
  std::size_t i = j + 1;
  while (i + 1 < n && !((At(src, i) == ' ' || At(d.lower, i) == '>') && even(i))) ++i;
  if (j > n) return false;
  std::size_t last = std::min(i - 1, n);
  if (last < j) return false;
  return d.lower.substr(j - 1, last - j + 1) == FromBytes("style");
}

}  // namespace

void RemoveComments(Doc& d, const OptimizationSettings& s) {
  bool disarmed = false;
  for (;;) {
    std::size_t p = Find(d.lower, "!--");
    if (p == 0) break;
    if (Inkav(d.lower, p) || !InMarkup(d.lower, p)) {
      SetBoth(d, p + 1, M(0xA4));
      disarmed = true;
      continue;
    }
    std::size_t b = p > 1 ? BackToLess(d.lower, p - 1) : 1;
    std::size_t e = 0;
    bool closed = false;
    for (;;) {
      std::size_t dashes = Find(d.lower, "--", p + 3);
      if (dashes == 0) break;
      e = dashes + 1;
      if (!Inkav(d.lower, e)) {
        closed = true;
        break;
      }
      SetBoth(d, e, M(0xA4));
      disarmed = true;
    }
    if (!closed) e = p + 3;
    std::size_t z = ForwardToGreater(d.lower, e + 1);

    std::size_t contentFrom = p + 3;
    std::size_t contentLen = closed && e >= p + 4 ? e - 1 - contentFrom : 0;
    bool keep = false;
    if (s["cbIsScript"]) {
      Text span = d.source.substr(contentFrom - 1, contentLen);
      keep = std::any_of(span.begin(), span.end(), IsScriptMarker);
    }
    if (!keep && s["cbIsStyle"]) keep = ContentNamesStyle(d.lower.substr(contentFrom - 1, contentLen));
    if (!keep && s["cbOuttag"]) keep = EnclosedByStyle(d, b);

    if (!keep) {
      DeleteBoth(d, b, z);
    } else {
      SetBoth(d, p + 1, M(0xA4));
      SetBoth(d, e - 1, M(0xA4));
      disarmed = true;
    }
    if (!closed) break;
  }
  if (disarmed) {
    ReplaceAll(d.source, M(0xA4), '-');
    ReplaceAll(d.lower, M(0xA4), '-');
  }
}

// ---------------------------------------------------------------- quotes

void RemoveQuotes(Doc& d, const OptimizationSettings& s) {
  Text& t = d.source;
  for (;;) {
    std::size_t q1 = Find(t, "\"");
    if (q1 == 0) break;
    std::size_t q2 = Find(t, "\"", q1 + 1);
    if (q2 == 0) break;  // an unpaired last quote ends the pass and stays as it is
    Text value = t.substr(q1, q2 - q1 - 1);
    if (!InMarkup(t, q1)) {  // a pair in running text stays as it is
      t[q1 - 1] = M(0x9F);
      t[q2 - 1] = M(0x9F);
      continue;
    }
    if (value.empty() && s["cbDelEmptyPar"]) {
      // Walks down from q1-1 to a space, stopping at position 2; everything after it goes.
      std::size_t b = q1 - 1;
      while (b > 2 && t[b - 1] != ' ') --b;
      t.erase(b, q2 - b);
      continue;
    }
    t.erase(q2 - 1, 1);
    t.erase(q1 - 1, 1);
    if (!value.empty() && (IsNumRange(value) || IsHexRange(value))) continue;
    t.insert(q1 - 1, 1, M(0x9F));
    t.insert(q2 - 1, 1, M(0x9F));
  }
  ReplaceAll(t, M(0x9F), '"');
  d.Relower();
}

// ---------------------------------------------------------------- tags

void ProcessTag(Doc& d, std::string_view entry, std::string_view replacement) {
  const LowerTable& table = LowerTableFor(d.codePage);
  if (entry.empty()) {
    d.Relower();
    return;
  }
  const Text low = LowerOf(FromBytes(entry), d.codePage);
  const std::size_t len = low.size();
  const Text rep = FromBytes(replacement);
  const Text repLow = LowerOf(rep, d.codePage);
  // Which positions a replacement of this call put in; an occurrence made only
  // of them is not taken, so a pair that reproduces its entry still ends.
  std::vector<bool> inserted(d.source.size(), false);

  for (;;) {
    std::size_t p = Find(d.lower, low);
    if (p == 0) break;
    bool ownInsert = std::all_of(inserted.begin() + static_cast<std::ptrdiff_t>(p - 1),
                                 inserted.begin() + static_cast<std::ptrdiff_t>(p - 1 + len), [](bool b) { return b; });
    bool taken = !Inkav(d.lower, p) && OneOf(At(d.lower, p - 1), {8, '\n', ' ', '<'}) &&
                 OneOf(At(d.lower, p + len), {8, '\r', ' ', '>'}) && !ownInsert && InMarkup(d.lower, p);
    if (!taken) {
      Sym marker = d.source[p - 1] == d.lower[p - 1] ? M(0xA5) : M(0xA4);
      SetBoth(d, p, marker);
      continue;
    }
    if (!rep.empty()) {
      DeleteBoth(d, p, p + len - 1);
      d.source.insert(p - 1, rep);
      d.lower.insert(p - 1, repLow);
      auto at = inserted.begin() + static_cast<std::ptrdiff_t>(p - 1);
      at = inserted.erase(at, at + static_cast<std::ptrdiff_t>(len));
      inserted.insert(at, rep.size(), true);
      continue;
    }
    // Removal of the whole tag: back to a "<" and on to a ">", both outside the tag's values.
    std::size_t start = 1;
    int quotes = 0;
    for (std::size_t k = p - 1; k >= 1; --k) {
      if (d.lower[k - 1] == '<' && quotes % 2 == 0) {
        start = k;
        break;
      }
      if (d.lower[k - 1] == '"') ++quotes;
    }
    std::size_t end = d.lower.size();
    quotes = d.lower[p - 1] == '"' ? 1 : 0;
    for (std::size_t k = p + 1; k <= d.lower.size(); ++k) {
      if (d.lower[k - 1] == '>' && quotes % 2 == 0) {
        end = k;
        break;
      }
      if (d.lower[k - 1] == '"') ++quotes;
    }
    DeleteBoth(d, start, end);
    inserted.erase(inserted.begin() + static_cast<std::ptrdiff_t>(start - 1),
                   inserted.begin() + static_cast<std::ptrdiff_t>(end));
  }
  Sym first = static_cast<unsigned char>(entry[0]);
  ReplaceAll(d.source, M(0xA4), UpperSym(first, table));
  ReplaceAll(d.source, M(0xA5), LowerSym(first, table));
  d.Relower();
}

void RemoveTags(Doc& d, const TagRemovalTable& removal) {
  for (const TagRemovalEntry& entry : removal) {
    if (!entry.ticked) continue;
    ProcessTag(d, entry.tag, "");
    if (entry.tag.compare(0, 6, "name=\"") == 0) {
      std::string bare;
      std::copy_if(entry.tag.begin(), entry.tag.end(), std::back_inserter(bare), [](char c) { return c != '"'; });
      ProcessTag(d, bare, "");
    }
  }
}

void ReplaceTags(Doc& d, const TagReplacementTable& replacement, const OptimizationSettings& s) {
  for (const TagReplacementEntry& entry : replacement) {
    if (!entry.ticked) continue;
    ProcessTag(d, entry.from, entry.to);
    if (s["cbClosedTagsAlso"]) ProcessTag(d, "/" + entry.from, "/" + entry.to);
  }
}

// ---------------------------------------------------------------- white space

void TightenTagSpaces(Doc& d) {
  Text& t = d.source;
  for (std::size_t p; (p = Find(t, "< ")) != 0;) {
    if (Inkav(t, p) || !InMarkup(t, p))
      t[p - 1] = M(0xA4);
    else
      t.erase(p, 1);
  }
  for (std::size_t p; (p = Find(t, " >")) != 0;) {
    if (Inkav(t, p) || !InMarkup(t, p))
      t[p] = M(0xA6);
    else
      t.erase(p - 1, 1);
  }
  for (std::size_t p; (p = Find(t, " =")) != 0;) {
    if (Inkav(t, p) || !InMarkup(t, p))
      t[p] = M(0xAC);
    else
      t.erase(p - 1, 1);
  }
  for (std::size_t p; (p = Find(t, "= ")) != 0;) {
    if (Inkav(t, p) || !InMarkup(t, p))
      t[p - 1] = M(0xAC);
    else
      t.erase(p, 1);
  }
  JoinTags(d);
  ReplaceAll(t, M(0xA4), '<');
  ReplaceAll(t, M(0xA6), '>');
  ReplaceAll(t, M(0xAC), '=');
  d.Relower();
}

void JoinTags(Doc& d) {
  Text& t = d.source;
  for (std::size_t p; (p = Find(t, "> <")) != 0;) {
    if (Inkav(t, p))
      t[p] = M(0xAF);
    else
      t.erase(p, 1);
  }
  ReplaceAll(t, M(0xAF), ' ');
  d.Relower();
}

void GlueLines(Doc& d) {
  Text& t = d.source;
  for (std::size_t p; (p = Find(t, "\r\n")) != 0;) {
    t.erase(p - 1, 2);
    t.insert(p - 1, 1, ' ');
  }
  d.Relower();
}

void CollapseNbsp(Doc& d, const OptimizationSettings& s) {
  Text& t = d.source;
  for (std::size_t p; (p = Find(t, "&nbsp;&nbsp;")) != 0;) {
    if (Inkav(t, p) && !s["cbReplaceDoubleNbspInKav"]) {
      t[p - 1] = M(0xA4);
    } else {
      t.erase(p + 5, 6);
      t.insert(p + 5, 1, ' ');
    }
  }
  ReplaceAll(t, M(0xA4), '&');
  d.Relower();
}

void CollapseSpaces(Doc& d, const OptimizationSettings& s) {
  Text& t = d.source;
  bool odd = false;
  for (std::size_t i = 1; i + 1 <= t.size();) {
    if (t[i - 1] == '"') odd = !odd;
    if (t[i - 1] == ' ' && t[i] == ' ' && (!odd || s["cbReplaceDoubleSpacesInKav"])) {
      t.erase(i, 1);
      continue;
    }
    ++i;
  }
  d.Relower();
}

void RemoveAllTabs(Doc& d) {
  std::erase(d.source, Sym('\t'));
  d.Relower();
}

void RemoveBlankLines(Doc& d) {
  std::vector<Text> lines = SplitLines(d.source);
  std::erase_if(lines, [](const Text& l) { return !l.empty() && std::all_of(l.begin(), l.end(), IsSpaceOrTab); });
  d.source = JoinLines(lines);
  d.Relower();
}

void TrimLines(Doc& d) {
  std::vector<Text> lines = SplitLines(d.source);
  for (Text& l : lines) {
    std::size_t from = 0;
    while (from < l.size() && IsSpaceOrTab(l[from])) ++from;
    std::size_t to = l.size();
    while (to > from && IsSpaceOrTab(l[to - 1])) --to;
    l = l.substr(from, to - from);
  }
  d.source = JoinLines(lines);
  d.Relower();
}

void RemoveEmptyLines(Doc& d) {
  std::vector<Text> lines = SplitLines(d.source);
  std::erase_if(lines, [](const Text& l) { return l.empty(); });
  d.source = JoinLines(lines);
  d.Relower();
}

// ---------------------------------------------------------------- the sequence

std::string Optimize(std::string_view sourceText, const OptimizationSettings& s, const TagRemovalTable& removal,
                     const TagReplacementTable& replacement, CodePage cp) {
  Doc d(sourceText, cp);  // 1
  CutScripts(d, s);       // 2
  CutPreformatted(d);
  if (s["cbDelCRLF"]) GlueLines(d);                                 // 3
  if (s["cbDelComments"]) RemoveComments(d, s);                     // 4
  TightenTagSpaces(d);                                              // 5
  if (s["cbDelKav"]) RemoveQuotes(d, s);                            // 6
  RemoveTags(d, removal);                                           // 8
  ReplaceTags(d, replacement, s);                                   // 10
  if (s["cbReplaceDoubleNbsp"]) CollapseNbsp(d, s);                 // 12
  if (s["cbDelAllTabs"]) RemoveAllTabs(d);                          // 13
  if (s["cbDelTabLine"]) RemoveBlankLines(d);                       // 14
  if (s["cbReplaceDoubleSpaces"]) CollapseSpaces(d, s);             // 15
  if (s["cbDelBegEndSpace"]) TrimLines(d);                          // 17
  if (s["cbDelEmptyLine"] && !s["cbDelCRLF"]) RemoveEmptyLines(d);  // 18
  JoinTags(d);                                                      // 19
  InsertPreformatted(d);
  InsertScripts(d);  // 20
  return d.Bytes();
}

}  // namespace tersify::reference
