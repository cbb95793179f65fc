// Reading a file's bytes into the document and writing the document back.
#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

#include "engine/engine.h"
#include "engine/text.h"

namespace tersify {
namespace {

void RebuildInto(std::string_view text, std::string& out) {
  engine::KeepLineParts<char>(text, out, [](std::string_view line) {
    return std::pair<std::size_t, std::size_t>{0, line.size()};
  });
}

// Where the text ends: at its first byte 0, if any.
std::size_t TextEnd(const char* data, std::size_t size) {
  if (size == 0) return 0;  // an empty view may have no buffer at all
  const void* zero = std::memchr(data, 0, size);
  return zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - data) : size;
}

bool LastLineOpen(const char* data, std::size_t stop) {
  return stop > 0 && data[stop - 1] != '\r' && data[stop - 1] != '\n';
}

// True when every CR of the n bytes is followed by an LF and every LF follows
// a CR: the text is in the document's form but for its last line. Looked at
// in blocks, so the test of each byte has no branch and a page that fails
// stops early.
bool OnlyCrLfBreaks(const char* s, std::size_t n) {
  if (n == 0) return true;
  if (s[0] == '\n' || s[n - 1] == '\r') return false;
  constexpr std::size_t kBlock = 4096;
  for (std::size_t i = 0; i + 1 < n;) {
    const std::size_t end = std::min(n - 1, i + kBlock);
    unsigned char odd = 0;
    for (; i < end; ++i) odd |= static_cast<unsigned char>((s[i] == '\r') != (s[i + 1] == '\n'));
    if (odd) return false;
  }
  return true;
}

// The position of the last LF before `end`; there must be one.
std::size_t LastLfBefore(const char* s, std::size_t end) {
#if defined(__GLIBC__)
  return static_cast<std::size_t>(static_cast<const char*>(memrchr(s, '\n', end)) - s);
#else
  while (s[--end] != '\n') {
  }
  return end;
#endif
}

// Puts a CR before each of the `lfs` LFs of text[0, stop) and CR LF after an
// open last line, from the end backwards inside the text's own buffer: the
// write position stays ahead of the read position by the CRs still to come.
void WidenLfBreaks(std::string& text, std::size_t stop, std::size_t lfs, bool lastOpen) {
  const std::size_t size = stop + lfs + (lastOpen ? 2 : 0);
  text.resize(size);
  char* s = text.data();
  std::size_t w = size;
  if (lastOpen) {
    w -= 2;
    std::memcpy(s + w, "\r\n", 2);
  }
  std::size_t r = stop;
  while (w != r) {
    const std::size_t q = LastLfBefore(s, r);  // there is one while w != r
    const std::size_t n = r - q - 1;
    w -= n;
    std::memmove(s + w, s + q + 1, n);
    w -= 2;
    std::memcpy(s + w, "\r\n", 2);
    r = q;
  }
}

}  // namespace

std::string LoadDocumentText(std::string_view fileBytes) {
  std::string out;
  out.reserve(fileBytes.size() + fileBytes.size() / 16 + 2);
  RebuildInto(fileBytes, out);
  return out;
}

LineBreaks LineBreaksOf(std::string_view fileBytes) {
  const std::string_view page = fileBytes.substr(0, TextEnd(fileBytes.data(), fileBytes.size()));
  return page.find('\r') == std::string_view::npos ? LineBreaks::Lf : LineBreaks::CrLf;
}

std::string SaveDocumentText(std::string_view text, LineBreaks breaks) {
  std::string out = LoadDocumentText(text);
  if (breaks == LineBreaks::Lf) std::erase(out, '\r');  // every CR is now the first half of a CR LF
  return out;
}

void SaveLinesInPlace(std::string& text, LineBreaks breaks) {
  if (breaks == LineBreaks::CrLf) {
    (void)NormalizeLines(text);
    return;
  }
  // Every break (CR LF, CR or LF) becomes one LF, in one sweep from the
  // front: the text only shrinks, so it stays in its own buffer.
  char* s = text.data();
  const std::size_t stop = TextEnd(s, text.size());
  std::size_t w = 0, r = 0;
  while (r < stop) {
    const void* cr = std::memchr(s + r, '\r', stop - r);
    const std::size_t q = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - s) : stop;
    if (w != r) std::memmove(s + w, s + r, q - r);
    w += q - r;
    if (q == stop) break;
    s[w++] = '\n';
    r = q + 1 < stop && s[q + 1] == '\n' ? q + 2 : q + 1;
  }
  const bool lastOpen = LastLineOpen(s, stop);
  text.resize(w);
  if (lastOpen) text.push_back('\n');
}

namespace {

// NormalizeLines; with `refuseNul` a text that holds a byte 0 is left as it
// was and the answer is nothing.
std::optional<LineBreaks> Normalize(std::string& text, bool refuseNul) {
  // The text ends at a byte 0; every line break becomes CR LF and the last
  // line gets one: a lone CR or LF grows by one byte, a missing last break by two.
  const char* data = text.data();
  // Where the text ends, whether it holds a CR and, while it holds none, its
  // LFs: each block is looked at for all three while the cache holds it.
  constexpr std::size_t kBlock = 64 * 1024;
  std::size_t stop = text.size();
  bool hasCr = false;
  std::size_t lfs = 0;
  for (std::size_t at = 0; at < stop; at += kBlock) {
    const std::size_t n = std::min(kBlock, stop - at);
    if (const void* zero = std::memchr(data + at, 0, n)) {
      if (refuseNul) return std::nullopt;
      stop = static_cast<std::size_t>(static_cast<const char*>(zero) - data);
    }
    const std::size_t upTo = std::min(at + n, stop);
    hasCr = hasCr || std::memchr(data + at, '\r', upTo - at) != nullptr;
    if (!hasCr) lfs += engine::CountOf(data + at, data + upTo, '\n');
  }
  const LineBreaks own = hasCr ? LineBreaks::CrLf : LineBreaks::Lf;
  const bool lastOpen = LastLineOpen(data, stop);
  // The two usual pages take a short way: one whose breaks are all CR LF is
  // only checked, and in one without any CR every LF gains a CR, in its own
  // buffer when the capacity allows; no stop at each break on the way.
  if (!hasCr) {
    if (stop + lfs + (lastOpen ? 2 : 0) <= text.capacity()) {
      WidenLfBreaks(text, stop, lfs, lastOpen);
      return own;
    }
  } else if (OnlyCrLfBreaks(data, stop)) {
    text.resize(stop);
    if (lastOpen) text += "\r\n";
    return own;
  }
  engine::ByteSet breaks;
  breaks.add('\r');
  breaks.add('\n');
  std::size_t growth = 0;
  for (const char* p = breaks.find(data, data + stop); p < data + stop; p = breaks.find(p, data + stop)) {
    if (*p == '\r' && p + 1 < data + stop && p[1] == '\n') {
      p += 2;
    } else {
      ++growth;
      ++p;
    }
  }
  if (lastOpen) growth += 2;
  if (growth == 0) {
    text.resize(stop);
    return own;
  }
  const std::size_t size = stop + growth;
  if (size > text.capacity()) {
    std::string out;
    out.reserve(size);
    RebuildInto(std::string_view(data, stop), out);
    text.swap(out);
    return own;
  }
  // From the end backwards: the write position stays at or after the read
  // position, ahead of it by the growth still to come.
  text.resize(size);
  char* s = text.data();
  std::size_t w = size;
  std::size_t r = stop;
  auto putBreak = [&] {
    w -= 2;
    s[w] = '\r';
    s[w + 1] = '\n';
  };
  if (lastOpen) putBreak();
  while (r > 0) {
    std::size_t q = r;
    while (q > 0 && s[q - 1] != '\r' && s[q - 1] != '\n') --q;
    const std::size_t n = r - q;
    w -= n;
    if (w != q) std::memmove(s + w, s + q, n);
    r = q;
    if (r == 0) break;
    r -= s[r - 1] == '\n' && r >= 2 && s[r - 2] == '\r' ? 2 : 1;
    putBreak();
  }
  return own;
}

}  // namespace

LineBreaks NormalizeLines(std::string& text) { return *Normalize(text, false); }

std::optional<LineBreaks> NormalizePageLines(std::string& text) { return Normalize(text, true); }

}  // namespace tersify
