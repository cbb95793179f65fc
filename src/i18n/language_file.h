// A language file held in memory: sections of key=value lines.
//
// Layout: lines end with CR LF, LF or CR; empty lines and lines starting with
// ";" are skipped; "[name]" starts a section; any other line holding "=" is a
// key line of the current section, split at its first "=" with nothing
// trimmed (so "a = b" defines the key "a " with the value " b"). Lines before
// the first section are skipped. Section names and keys compare without regard
// to ASCII letter case; the first section of a name and the first line of a key
// win.
//
// Text: language files are 8-bit files in an ANSI code page. Loading decodes
// them to UTF-8, so every section name, key and value this class hands out is
// UTF-8. A file starting with the UTF-8 byte order mark is taken as UTF-8.
// Passing no code page keeps the bytes as they are (for tools and tests).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/codepage.h"

namespace tersify {

class LanguageFile {
 public:
  // An empty file: every lookup yields its default.
  LanguageFile() = default;

  // Parses the bytes of a whole file, decoding them from the given code page
  // (none: the bytes are kept unchanged).
  static LanguageFile FromBytes(std::string_view bytes, std::optional<CodePage> codePage);

  // Reads a file. A file that does not exist gives an empty language file;
  // a file that exists but cannot be read gives nullopt.
  static std::optional<LanguageFile> Load(const std::string& path, std::optional<CodePage> codePage);

  // The value of a key, or nullopt when the section or the key is missing.
  std::optional<std::string_view> Find(std::string_view section, std::string_view key) const;
  // The value of a key, or the default when the section or the key is missing.
  std::string Value(std::string_view section, std::string_view key, std::string_view fallback = {}) const;

  bool HasSection(std::string_view section) const;
  // Section names in file order (first occurrences only).
  std::vector<std::string> SectionNames() const;
  // The keys of a section in file order (first occurrences only).
  std::vector<std::string> Keys(std::string_view section) const;
  std::size_t KeyCount(std::string_view section) const;

 private:
  struct Entry {
    std::string key;
    std::string value;
  };
  struct Section {
    std::string name;
    std::vector<Entry> entries;
    std::unordered_map<std::string, std::size_t> index;  // folded key -> entry
  };

  const Section* FindSection(std::string_view name) const;
  void Parse(std::string_view text);

  std::vector<Section> sections_;
  std::unordered_map<std::string, std::size_t> sectionIndex_;  // folded name -> section
};

// ASCII lower case of a name, for comparing keys and section names.
std::string FoldName(std::string_view name);

}  // namespace tersify
