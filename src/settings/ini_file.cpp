#include "settings/ini_file.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdio>
#include <system_error>

#include "platform/durable.h"
#include "platform/read_file.h"

namespace tersify {
namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Splits text into lines ending at CR LF, LF or CR; a final line without an
// end is kept, an empty text gives no lines.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// A header line: optional blanks, "[", the name, "]".
std::optional<std::string> HeaderName(std::string_view line) {
  line = Trim(line);
  if (line.size() < 2 || line.front() != '[') return std::nullopt;
  auto close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return std::string(Trim(line.substr(1, close - 1)));
}

// Keeps a written value on one line so it cannot add lines to the file.
std::string_view OneLine(std::string_view value) {
  auto end = value.find_first_of("\r\n");
  return end == std::string_view::npos ? value : value.substr(0, end);
}

}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

std::optional<int> ParseIniInteger(std::string_view v) {
  v = Trim(v);
  bool negative = false;
  if (!v.empty() && (v[0] == '-' || v[0] == '+')) {
    negative = v[0] == '-';
    v.remove_prefix(1);
  }
  int base = 10;
  if (v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) {
    base = 16;
    v.remove_prefix(2);
  }
  if (v.empty() || v[0] == '-' || v[0] == '+') return std::nullopt;
  long long value = 0;
  auto [ptr, ec] = std::from_chars(v.data(), v.data() + v.size(), value, base);
  if (ec != std::errc() || ptr != v.data() + v.size()) return std::nullopt;
  if (negative) value = -value;
  if (value < INT_MIN || value > INT_MAX) return std::nullopt;
  return static_cast<int>(value);
}

IniFile IniFile::Parse(std::string_view text) {
  IniFile ini;
  // An editor may have saved the file with a UTF-8 byte order mark; it would
  // otherwise hide the first section's header.
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  for (std::string_view raw : SplitLines(text)) {
    Line line{std::string(raw), {}, 0};
    if (auto name = HeaderName(raw)) {
      ini.sections_.push_back({*name, {std::move(line)}});
      continue;
    }
    std::string_view body = Trim(raw);
    auto eq = raw.find('=');
    bool comment = !body.empty() && (body.front() == ';' || body.front() == '#');
    if (eq != std::string_view::npos && !comment) {
      line.key = std::string(Trim(raw.substr(0, eq)));
      line.valueAt = eq + 1;
    }
    if (ini.sections_.empty())
      ini.preamble_.push_back(std::move(line));
    else
      ini.sections_.back().lines.push_back(std::move(line));
  }
  return ini;
}

IniFile IniFile::Read(const std::filesystem::path& file, ReadStatus* status) {
  bool existed = false;
  auto bytes = ReadWholeFile(file, &existed);
  if (status) *status = bytes ? ReadStatus::Read : (existed ? ReadStatus::Failed : ReadStatus::Missing);
  return bytes ? Parse(*bytes) : IniFile();
}

std::string IniFile::Serialize() const {
  std::string out;
  auto put = [&out](const Line& l) {
    out += l.raw;
    out += "\r\n";
  };
  for (const auto& l : preamble_) put(l);
  for (const auto& s : sections_)
    for (const auto& l : s.lines) put(l);
  return out;
}

bool IniFile::Write(const std::filesystem::path& file) const { return WriteFileAtomically(file, Serialize()); }

const IniFile::Section* IniFile::FindSection(std::string_view name) const {
  for (const auto& s : sections_)
    if (EqualsIgnoringCase(s.name, name)) return &s;
  return nullptr;
}

IniFile::Section* IniFile::FindSection(std::string_view name) {
  return const_cast<Section*>(static_cast<const IniFile*>(this)->FindSection(name));
}

const IniFile::Line* IniFile::FindKey(const Section& section, std::string_view key) {
  for (const auto& l : section.lines)
    if (!l.key.empty() && EqualsIgnoringCase(l.key, key)) return &l;
  return nullptr;
}

bool IniFile::HasSection(std::string_view section) const { return FindSection(section) != nullptr; }

std::size_t IniFile::KeyCount(std::string_view section) const {
  const Section* s = FindSection(section);
  if (!s) return 0;
  return static_cast<std::size_t>(
      std::count_if(s->lines.begin(), s->lines.end(), [](const Line& l) { return !l.key.empty(); }));
}

std::optional<std::string> IniFile::Get(std::string_view section, std::string_view key) const {
  const Section* s = FindSection(section);
  if (!s) return std::nullopt;
  const Line* l = FindKey(*s, key);
  if (!l) return std::nullopt;
  std::string_view value = Trim(std::string_view(l->raw).substr(l->valueAt));
  return std::string(value.substr(0, kMaxIniValueLength));
}

std::string IniFile::GetString(std::string_view section, std::string_view key, std::string_view fallback) const {
  auto v = Get(section, key);
  return v ? *v : std::string(fallback);
}

int IniFile::GetInt(std::string_view section, std::string_view key, int fallback) const {
  auto v = Get(section, key);
  if (!v) return fallback;
  return ParseIniInteger(*v).value_or(fallback);
}

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
  std::string raw(key);
  raw.append("=").append(OneLine(value));
  Line line{raw, std::string(key), key.size() + 1};
  Section* s = FindSection(section);
  if (!s) {
    std::string header = "[";
    header.append(section).append("]");
    sections_.push_back({std::string(section), {Line{std::move(header), {}, 0}}});
    sections_.back().lines.push_back(std::move(line));
    return;
  }
  if (const Line* found = FindKey(*s, key)) {
    *const_cast<Line*>(found) = std::move(line);
    return;
  }
  // After the last key of the section, so blank lines and comments that end
  // the section stay between it and the next one.
  std::size_t at = 1;
  for (std::size_t i = 1; i < s->lines.size(); ++i)
    if (!s->lines[i].key.empty()) at = i + 1;
  s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
}

void RemoveLeftoverTemporaries(const std::filesystem::path& folder) {
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code e2;
    if (it->is_regular_file(e2) && !it->is_symlink(e2) && platform::IsTemporaryName(it->path().filename().string()))
      std::filesystem::remove(it->path(), e2);
  }
}

bool WriteFileAtomically(const std::filesystem::path& file, std::string_view bytes) {
  // A temporary of the program's own form, made where no file of its name
  // is, so no file of the user's is ever written over or removed.
  std::filesystem::path temp = file.parent_path() / platform::NewTemporaryName();
  std::error_code ec;
  {
    std::FILE* out = std::fopen(temp.string().c_str(), "wbx");
    if (!out) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    const bool closed = std::fclose(out) == 0;
    // The settings are small and written seldom: they go to the disk before
    // they replace the old ones.
    if (!written || !closed || !platform::FlushFileToDisk(temp.string())) {
      std::filesystem::remove(temp, ec);
      return false;
    }
  }
  std::filesystem::rename(temp, file, ec);
  if (ec) {
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    return false;
  }
  return true;
}

std::optional<std::string> ReadWholeFile(const std::filesystem::path& file, bool* existed) {
  std::error_code ec;
  bool exists = std::filesystem::exists(file, ec);
  if (existed) *existed = exists;
  if (!exists) return std::nullopt;
  return platform::ReadPlainFile(file);
}

}  // namespace tersify
