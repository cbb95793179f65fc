// The run record: a small text file in each output and backup folder that a
// run writes to, one line per page written, so that restoring and later runs
// can tell the pages this program wrote from everything else. A line is
// appended before the page is written (and flushed to the disk), so a run
// killed at any moment leaves no written page the record does not know.
//
// Layout: one line per page, fields separated by tabs:
//   page <source> <written> <backup> <written size> <written SHA-256> <original size> <original SHA-256>
// Paths are absolute; a backslash, tab, CR or LF in them is written as \\, \t,
// \r or \n. <backup> is empty for an optimized copy. Lines that cannot be read
// (an unknown kind, a torn last line) are passed over.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "settings/options.h"

namespace tersify {

inline constexpr std::string_view kRecordName = ".tersify-record";

// The size and SHA-256 (lower-case hex) of some bytes.
struct Fingerprint {
  std::int64_t size = -1;
  std::string sha256;
  bool operator==(const Fingerprint&) const = default;
};

Fingerprint FingerprintOf(std::string_view bytes);
// Nothing when the file cannot be read.
std::optional<Fingerprint> FingerprintOfFile(const std::string& path);

struct RecordEntry {
  std::string source;   // the page the run read
  std::string written;  // where it wrote the optimized page
  std::string backup;   // where the original is kept; empty for a copy
  Fingerprint writtenPrint;
  Fingerprint original;  // of the original page, as the backup holds it
};

std::string FormatRecordLine(const RecordEntry& entry);
// Nothing for a line that is not a whole entry.
std::optional<RecordEntry> ParseRecordLine(std::string_view line);

// The absolute, normalized spelling of a path, as the record keeps it.
std::string RecordKey(const std::string& path);

class RunRecord {
 public:
  // The record of `folder` (ending with a separator or not); empty and not
  // present when the folder holds none.
  static RunRecord Load(const std::string& folder);

  // The folder holds a record (read, or appended to since).
  bool present() const { return present_; }
  const std::vector<RecordEntry>& entries() const { return entries_; }
  const std::string& file() const { return file_; }

  // Appends an entry (paths made absolute): one write of the whole line,
  // flushed to the disk. False when the record cannot be written.
  bool Append(RecordEntry entry);

  // This program wrote the bytes `now` at `path` for `source`.
  bool Wrote(const std::string& source, const std::string& path, const Fingerprint& now) const;
  // `backup` holds, with the bytes `now`, the original of `source`.
  bool HoldsOriginal(const std::string& source, const std::string& backup, const Fingerprint& now) const;
  // `now` are the bytes of the original of `source`.
  bool IsOriginalOf(const std::string& source, const Fingerprint& now) const;
  // The page whose original `backup` holds with the bytes `now`, if any.
  std::optional<std::string> OriginalOwner(const std::string& backup, const Fingerprint& now) const;

 private:
  template <typename Pred>
  bool AnyOf(const std::string& source, Pred pred) const;
  void Index(RecordEntry entry);

  std::string file_;
  bool present_ = false;
  std::vector<RecordEntry> entries_;
  std::unordered_map<std::string, std::vector<std::size_t>> bySource_;
  std::unordered_map<std::string, std::vector<std::size_t>> byBackup_;
};

// The folder whose record a run with these settings keeps: the output folder
// for copies, the backup folder when sources are modified with backups;
// nothing when sources are modified without them.
std::optional<std::string> RecordFolderOf(const OptimizationSettings& s);

// What the record says of an existing backup that a run would replace by the
// current `source`: Keep when it holds this source's original and the source
// is a page this program wrote (a second run over optimized pages); Refuse
// when it holds the original of another page; Ask (the overwrite answer
// decides) otherwise, or without a record.
struct ExistingBackup {
  enum class Verdict { Ask, Keep, Refuse } verdict = Verdict::Ask;
  std::string owner;  // when Refuse: the page whose original it is
};
ExistingBackup JudgeExistingBackup(const RunRecord& record, const std::string& source, const std::string& backup);

}  // namespace tersify
