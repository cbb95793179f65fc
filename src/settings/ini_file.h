// A reader and writer of the initialization-file layout: "[section]" header
// lines followed by key=value lines. Section and key names compare without
// regard to letter case. Every line that is not touched (comments, other
// sections, unknown keys, blank lines) is written back as it was read.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tersify {

// A read value is cut after this many characters.
inline constexpr std::size_t kMaxIniValueLength = 2047;

// Compares two names byte by byte, ASCII letters without regard to case.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// Parses a whole integer: optional sign, then decimal digits or 0x/0X and hex
// digits, with nothing else around them. Overflow of int is no integer.
std::optional<int> ParseIniInteger(std::string_view text);

class IniFile {
 public:
  enum class ReadStatus { Read, Missing, Failed };

  IniFile() = default;

  // Parses text; lines end at CR LF, LF or CR.
  static IniFile Parse(std::string_view text);

  // Reads a file. A missing file gives an empty IniFile and Missing; a file
  // that exists but cannot be read gives an empty IniFile and Failed.
  static IniFile Read(const std::filesystem::path& file, ReadStatus* status);

  // The text as written: every line followed by CR LF.
  std::string Serialize() const;

  // Writes the file atomically: the text goes to a temporary file beside the
  // target, which then replaces the target. On failure the target is left as
  // it was and false is returned.
  bool Write(const std::filesystem::path& file) const;

  bool HasSection(std::string_view section) const;
  // Number of key lines in the (first) section of that name.
  std::size_t KeyCount(std::string_view section) const;

  // The value of the first matching key, trimmed of surrounding spaces and
  // tabs and cut at kMaxIniValueLength characters.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  std::string GetString(std::string_view section, std::string_view key, std::string_view fallback) const;
  // A missing key or a value that is no whole integer gives the fallback.
  int GetInt(std::string_view section, std::string_view key, int fallback) const;

  // Replaces the key's line in place, or adds a key line after the last key
  // of the section, or adds the section at the end of the file.
  void Set(std::string_view section, std::string_view key, std::string_view value);

 private:
  struct Line {
    std::string raw;          // the line as read or written
    std::string key;          // key name, trimmed; empty when the line holds no key
    std::size_t valueAt = 0;  // where the value starts in raw
  };
  struct Section {
    std::string name;         // trimmed name between the brackets
    std::vector<Line> lines;  // lines[0] is the header line
  };

  const Section* FindSection(std::string_view name) const;
  Section* FindSection(std::string_view name);
  static const Line* FindKey(const Section& section, std::string_view key);

  std::vector<Line> preamble_;  // lines before the first header
  std::vector<Section> sections_;
};

// Writes bytes to a temporary file beside the target and renames it over the
// target. Returns false, leaving the target unchanged, when any step fails.
bool WriteFileAtomically(const std::filesystem::path& file, std::string_view bytes);

// Removes the temporaries that an interrupted WriteFileAtomically left in
// `folder`: files of the program's own temporary form only.
void RemoveLeftoverTemporaries(const std::filesystem::path& folder);

// Reads a whole file. nullopt when it does not exist or cannot be read;
// *existed tells the two apart when given.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& file, bool* existed = nullptr);

}  // namespace tersify
