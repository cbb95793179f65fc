#include "panel/page_text.h"

#include <algorithm>
#include <array>
#include <unordered_map>

#include "i18n/ansi_text.h"

namespace tersify {
namespace {

// The length of the UTF-8 sequence at `pos`, or 0 when it is malformed
// (overlong forms, surrogates and code points past U+10FFFF included).
std::size_t Utf8Length(std::string_view s, std::size_t pos) {
  const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char c = b(pos);
  if (c < 0x80) return 1;
  std::size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
  if (n == 0 || c > 0xF4 || pos + n > s.size()) return 0;
  for (std::size_t i = 1; i < n; ++i)
    if ((b(pos + i) & 0xC0) != 0x80) return 0;
  const unsigned char d = b(pos + 1);
  if ((c == 0xE0 && d < 0xA0) || (c == 0xED && d >= 0xA0) || (c == 0xF0 && d < 0x90) || (c == 0xF4 && d >= 0x90))
    return 0;
  return n;
}

char32_t Utf8Value(std::string_view s, std::size_t pos, std::size_t n) {
  const auto c = static_cast<unsigned char>(s[pos]);
  if (n == 1) return c;
  char32_t v = c & (0x7F >> n);
  for (std::size_t i = 1; i < n; ++i) v = (v << 6) | (static_cast<unsigned char>(s[pos + i]) & 0x3F);
  return v;
}

// The characters of an edited text, with every line break as one LF.
std::u32string CodePoints(std::string_view utf8) {
  std::u32string out;
  out.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) {
    std::size_t n = Utf8Length(utf8, pos);
    char32_t c = n ? Utf8Value(utf8, pos, n) : U'\uFFFD';
    pos += n ? n : 1;
    if (c == U'\r') {
      if (pos < utf8.size() && utf8[pos] == '\n') ++pos;
      c = U'\n';
    }
    out.push_back(c);
  }
  return out;
}

enum class Op : unsigned char { Keep, Insert, Remove };

// Beyond this many changes between the page and the edited text the changed
// middle is written anew as a whole; below it, every untouched character is
// found by a shortest edit script.
constexpr int kMaxEditDistance = 1000;
// Nor does the search compare more character pairs than this.
constexpr long kMaxComparisons = 20'000'000;

// The shortest edit script from a to b, in order; empty when it is longer
// than kMaxEditDistance or costs more than kMaxComparisons to find.
std::vector<Op> EditScript(std::u32string_view a, std::u32string_view b) {
  const int n = static_cast<int>(a.size()), m = static_cast<int>(b.size());
  const int limit = std::min(kMaxEditDistance, n + m);
  const int offset = limit + 1;
  std::vector<int> v(static_cast<std::size_t>(2 * limit + 3), 0);
  std::vector<std::vector<int>> trace;
  auto at = [&](std::vector<int>& vec, int k) -> int& { return vec[static_cast<std::size_t>(k + offset)]; };
  int found = -1;
  long comparisons = 0;
  for (int d = 0; d <= limit && found < 0 && comparisons < kMaxComparisons; ++d) {
    trace.push_back(v);
    for (int k = -d; k <= d; k += 2) {
      int x = (k == -d || (k != d && at(v, k - 1) < at(v, k + 1))) ? at(v, k + 1) : at(v, k - 1) + 1;
      int y = x - k;
      const int start = x;
      while (x < n && y < m && a[static_cast<std::size_t>(x)] == b[static_cast<std::size_t>(y)]) ++x, ++y;
      comparisons += x - start + 1;
      at(v, k) = x;
      if (x >= n && y >= m) {
        found = d;
        break;
      }
    }
  }
  if (found < 0) return {};
  std::vector<Op> ops;
  int x = n, y = m;
  for (int d = found; d > 0; --d) {
    std::vector<int>& prev = trace[static_cast<std::size_t>(d)];
    const int k = x - y;
    const int prevK = (k == -d || (k != d && at(prev, k - 1) < at(prev, k + 1))) ? k + 1 : k - 1;
    const int prevX = at(prev, prevK), prevY = prevX - prevK;
    for (; x > prevX && y > prevY; --x, --y) ops.push_back(Op::Keep);
    ops.push_back(x == prevX ? Op::Insert : Op::Remove);
    x = prevX;
    y = prevY;
  }
  for (; x > 0 && y > 0; --x, --y) ops.push_back(Op::Keep);
  std::reverse(ops.begin(), ops.end());
  return ops;
}

class Encoder {
 public:
  explicit Encoder(const PageText& page) : page_(page) {
    if (page.utf8) return;
    for (int byte = 0x80; byte < 0x100; ++byte) {
      const char c = static_cast<char>(byte);
      std::u32string cp = CodePoints(AnsiToUtf8(std::string_view(&c, 1), page.codePage));
      if (cp.size() == 1) reverse_.emplace(cp[0], c);
    }
  }
  void Put(std::string& out, char32_t c) const {
    if (c == U'\n') {
      out += page_.lineBreak;
    } else if (c < 0x80 || page_.utf8) {
      AppendUtf8(out, c);
    } else if (auto it = reverse_.find(c); it != reverse_.end()) {
      out.push_back(it->second);
    } else {
      out += "&#" + std::to_string(static_cast<unsigned long>(c)) + ";";
    }
  }

 private:
  const PageText& page_;
  std::unordered_map<char32_t, char> reverse_;
};

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  for (std::size_t pos = 0; pos < bytes.size();) {
    std::size_t n = Utf8Length(bytes, pos);
    if (n == 0) return false;
    pos += n;
  }
  return true;
}

PageText DecodePage(std::string bytes, CodePage codePage, bool utf8) {
  PageText page;
  page.bytes = std::move(bytes);
  page.utf8 = utf8;
  page.codePage = codePage;
  std::array<std::string, 256> table;
  if (!utf8) {
    for (int b = 0; b < 256; ++b) {
      const char c = static_cast<char>(b);
      table[static_cast<std::size_t>(b)] = AnsiToUtf8(std::string_view(&c, 1), codePage);
    }
  }
  const std::string_view s = page.bytes;
  page.shown.reserve(s.size());
  page.starts.reserve(s.size() + 1);
  for (std::size_t pos = 0; pos < s.size();) {
    page.starts.push_back(pos);
    if (s[pos] == '\r' || s[pos] == '\n') {
      std::size_t n = s.compare(pos, 2, "\r\n") == 0 ? 2 : 1;
      if (page.lineBreak.empty()) page.lineBreak = std::string(s.substr(pos, n));
      page.shown.push_back('\n');
      pos += n;
    } else if (utf8) {
      std::size_t n = std::max<std::size_t>(Utf8Length(s, pos), 1);
      page.shown.append(s.substr(pos, n));
      pos += n;
    } else {
      page.shown += table[static_cast<unsigned char>(s[pos])];
      ++pos;
    }
  }
  page.starts.push_back(s.size());
  // A page without line breaks gets them as a page without CR is saved: LF.
  if (page.lineBreak.empty()) page.lineBreak.assign(1, '\n');
  return page;
}

std::string EncodeEdited(const PageText& page, std::string_view edited) {
  const std::u32string a = CodePoints(page.shown);
  const std::u32string b = CodePoints(edited);
  const Encoder encoder(page);
  std::size_t head = 0;
  while (head < a.size() && head < b.size() && a[head] == b[head]) ++head;
  std::size_t tail = 0;
  while (tail < a.size() - head && tail < b.size() - head && a[a.size() - 1 - tail] == b[b.size() - 1 - tail]) ++tail;

  std::string out;
  out.reserve(page.bytes.size() + edited.size() / 8);
  auto keep = [&](std::size_t from, std::size_t to) {  // shown characters [from, to)
    if (from == to) return;
    out.append(page.bytes, page.starts[from], page.starts[to] - page.starts[from]);
  };
  keep(0, head);
  const std::u32string_view middleA(a.data() + head, a.size() - head - tail);
  const std::u32string_view middleB(b.data() + head, b.size() - head - tail);
  std::vector<Op> ops = EditScript(middleA, middleB);
  if (ops.empty()) {
    for (char32_t c : middleB) encoder.Put(out, c);
  } else {
    std::size_t i = head, j = 0;
    for (Op op : ops) {
      if (op == Op::Keep) {
        keep(i, i + 1);
        ++i;
        ++j;
      } else if (op == Op::Remove) {
        ++i;
      } else {
        encoder.Put(out, middleB[j++]);
      }
    }
  }
  keep(a.size() - tail, a.size());
  return out;
}

}  // namespace tersify
