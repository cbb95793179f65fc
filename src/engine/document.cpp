// Reading a file's bytes into the document and writing the document back.
#include <cstring>
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

}  // namespace

std::string LoadDocumentText(std::string_view fileBytes) {
  std::string out;
  out.reserve(fileBytes.size() + fileBytes.size() / 16 + 2);
  RebuildInto(fileBytes, out);
  return out;
}

LineBreaks LineBreaksOf(std::string_view fileBytes) {
  const std::string_view page = fileBytes.substr(0, fileBytes.find('\0'));
  return page.find('\r') == std::string_view::npos ? LineBreaks::Lf : LineBreaks::CrLf;
}

std::string SaveDocumentText(std::string_view text, LineBreaks breaks) {
  std::string out = LoadDocumentText(text);
  if (breaks == LineBreaks::Lf) std::erase(out, '\r');  // every CR is now the first half of a CR LF
  return out;
}

void SaveLinesInPlace(std::string& text, LineBreaks breaks) {
  NormalizeLines(text);
  if (breaks == LineBreaks::Lf) std::erase(text, '\r');
}

void NormalizeLines(std::string& text) {
  // The text ends at a byte 0; every line break becomes CR LF and the last
  // line gets one: a lone CR or LF grows by one byte, a missing last break by two.
  const char* data = text.data();
  const char* zero = static_cast<const char*>(std::memchr(data, 0, text.size()));
  const std::size_t stop = zero ? static_cast<std::size_t>(zero - data) : text.size();
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
  const bool lastOpen = stop > 0 && data[stop - 1] != '\r' && data[stop - 1] != '\n';
  if (lastOpen) growth += 2;
  if (growth == 0) {
    text.resize(stop);
    return;
  }
  const std::size_t size = stop + growth;
  if (size > text.capacity()) {
    std::string out;
    out.reserve(size);
    RebuildInto(std::string_view(data, stop), out);
    text.swap(out);
    return;
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
}

}  // namespace tersify
