#include "i18n/language_file.h"

#include <filesystem>
#include <system_error>

#include "i18n/ansi_text.h"
#include "platform/read_file.h"

namespace tersify {

std::string FoldName(std::string_view name) {
  std::string out(name);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  return out;
}

LanguageFile LanguageFile::FromBytes(std::string_view bytes, std::optional<CodePage> codePage) {
  LanguageFile file;
  constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
  if (bytes.starts_with(kUtf8Bom)) {
    file.Parse(bytes.substr(kUtf8Bom.size()));
  } else if (codePage) {
    file.Parse(AnsiToUtf8(bytes, *codePage));
  } else {
    file.Parse(bytes);
  }
  return file;
}

std::optional<LanguageFile> LanguageFile::Load(const std::string& path, std::optional<CodePage> codePage) {
  std::error_code ec;
  const std::filesystem::path p(path);
  if (path.empty() || !std::filesystem::exists(p, ec)) {
    if (ec) return std::nullopt;
    return LanguageFile();
  }
  std::optional<std::string> bytes = platform::ReadPlainFile(p);
  if (!bytes) return std::nullopt;
  return FromBytes(*bytes, codePage);
}

void LanguageFile::Parse(std::string_view text) {
  Section* current = nullptr;
  bool skipping = true;  // before the first section, or inside a repeated one
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(pos, end - pos);
    pos = end;
    if (pos < text.size()) {
      if (text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') ++pos;
      ++pos;
    }

    if (line.empty() || line.front() == ';') continue;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      std::string name(line.substr(1, line.size() - 2));
      std::string folded = FoldName(name);
      if (sectionIndex_.count(folded)) {
        skipping = true;
        current = nullptr;
        continue;
      }
      sectionIndex_.emplace(std::move(folded), sections_.size());
      sections_.push_back(Section{std::move(name), {}, {}});
      current = &sections_.back();
      skipping = false;
      continue;
    }
    if (skipping || current == nullptr) continue;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    std::string key(line.substr(0, eq));
    std::string folded = FoldName(key);
    if (current->index.count(folded)) continue;
    current->index.emplace(std::move(folded), current->entries.size());
    current->entries.push_back(Entry{std::move(key), std::string(line.substr(eq + 1))});
  }
}

const LanguageFile::Section* LanguageFile::FindSection(std::string_view name) const {
  auto it = sectionIndex_.find(FoldName(name));
  return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

std::optional<std::string_view> LanguageFile::Find(std::string_view section, std::string_view key) const {
  const Section* s = FindSection(section);
  if (s == nullptr) return std::nullopt;
  auto it = s->index.find(FoldName(key));
  if (it == s->index.end()) return std::nullopt;
  return std::string_view(s->entries[it->second].value);
}

std::string LanguageFile::Value(std::string_view section, std::string_view key, std::string_view fallback) const {
  auto v = Find(section, key);
  return std::string(v ? *v : fallback);
}

bool LanguageFile::HasSection(std::string_view section) const { return FindSection(section) != nullptr; }

std::vector<std::string> LanguageFile::SectionNames() const {
  std::vector<std::string> names;
  names.reserve(sections_.size());
  for (const Section& s : sections_) names.push_back(s.name);
  return names;
}

std::vector<std::string> LanguageFile::Keys(std::string_view section) const {
  std::vector<std::string> keys;
  if (const Section* s = FindSection(section)) {
    keys.reserve(s->entries.size());
    for (const Entry& e : s->entries) keys.push_back(e.key);
  }
  return keys;
}

std::size_t LanguageFile::KeyCount(std::string_view section) const {
  const Section* s = FindSection(section);
  return s == nullptr ? 0 : s->entries.size();
}

}  // namespace tersify
