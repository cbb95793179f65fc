#include "run/run_record.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <system_error>

#include "platform/append_file.h"
#include "platform/read_file.h"
#include "platform/sha256.h"
#include "run/paths.h"

namespace tersify {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kPageKind = "page";
constexpr std::size_t kFields = 8;

std::string Escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::optional<std::string> Unescape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) return std::nullopt;
    switch (text[i]) {
      case '\\':
        out += '\\';
        break;
      case 't':
        out += '\t';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      default:
        return std::nullopt;
    }
  }
  return out;
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  for (;;) {
    std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

std::optional<Fingerprint> ParsePrint(std::string_view size, std::string_view sha) {
  Fingerprint print;
  auto [p, ec] = std::from_chars(size.data(), size.data() + size.size(), print.size);
  if (ec != std::errc() || p != size.data() + size.size() || print.size < 0) return std::nullopt;
  if (sha.size() != 64 ||
      !std::all_of(sha.begin(), sha.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }))
    return std::nullopt;
  print.sha256 = std::string(sha);
  return print;
}

}  // namespace

Fingerprint FingerprintOf(std::string_view bytes) {
  Fingerprint print;
  print.size = static_cast<std::int64_t>(bytes.size());
  const std::optional<platform::Sha256Digest> digest = platform::Sha256(bytes);
  if (!digest) return print;
  static constexpr char kHex[] = "0123456789abcdef";
  for (unsigned char b : *digest) {
    print.sha256 += kHex[b >> 4];
    print.sha256 += kHex[b & 15];
  }
  return print;
}

std::optional<Fingerprint> FingerprintOfFile(const std::string& path) {
  std::optional<std::string> bytes = platform::ReadPlainFile(path);
  if (!bytes) return std::nullopt;
  return FingerprintOf(*bytes);
}

std::string FormatRecordLine(const RecordEntry& e) {
  std::string line(kPageKind);
  for (const std::string* path : {&e.source, &e.written, &e.backup}) line.append("\t").append(Escape(*path));
  for (const Fingerprint* print : {&e.writtenPrint, &e.original})
    line.append("\t").append(std::to_string(print->size)).append("\t").append(print->sha256);
  return line.append("\n");
}

std::optional<RecordEntry> ParseRecordLine(std::string_view line) {
  std::vector<std::string_view> f = SplitTabs(line);
  if (f.size() != kFields || f[0] != kPageKind) return std::nullopt;
  RecordEntry e;
  std::optional<std::string> source = Unescape(f[1]), written = Unescape(f[2]), backup = Unescape(f[3]);
  std::optional<Fingerprint> writtenPrint = ParsePrint(f[4], f[5]), original = ParsePrint(f[6], f[7]);
  if (!source || !written || !backup || !writtenPrint || !original || source->empty() || written->empty())
    return std::nullopt;
  return RecordEntry{std::move(*source), std::move(*written), std::move(*backup), std::move(*writtenPrint),
                     std::move(*original)};
}

std::string RecordKey(const std::string& path) {
  if (path.empty()) return {};
  std::error_code ec;
  fs::path p = fs::absolute(path, ec);
  return (ec ? fs::path(path) : p).lexically_normal().string();
}

RunRecord RunRecord::Load(const std::string& folder) {
  RunRecord record;
  record.file_ = WithTrailingDelim(folder.empty() ? "." : folder) + std::string(kRecordName);
  std::optional<std::string> text = platform::ReadPlainFile(record.file_);
  if (!text) return record;
  record.present_ = true;
  std::string_view rest(*text);
  // Only whole lines count: a last line without its line break was torn.
  for (std::size_t end; (end = rest.find('\n')) != std::string_view::npos; rest.remove_prefix(end + 1))
    if (std::optional<RecordEntry> e = ParseRecordLine(rest.substr(0, end))) record.Index(std::move(*e));
  return record;
}

void RunRecord::Index(RecordEntry entry) {
  bySource_[entry.source].push_back(entries_.size());
  if (!entry.backup.empty()) byBackup_[entry.backup].push_back(entries_.size());
  entries_.push_back(std::move(entry));
}

bool RunRecord::Append(RecordEntry entry) {
  entry.source = RecordKey(entry.source);
  entry.written = RecordKey(entry.written);
  entry.backup = RecordKey(entry.backup);
  if (!platform::AppendLineDurably(file_, FormatRecordLine(entry))) return false;
  present_ = true;
  Index(std::move(entry));
  return true;
}

template <typename Pred>
bool RunRecord::AnyOf(const std::string& source, Pred pred) const {
  auto it = bySource_.find(RecordKey(source));
  if (it == bySource_.end()) return false;
  return std::any_of(it->second.begin(), it->second.end(), [&](std::size_t i) { return pred(entries_[i]); });
}

bool RunRecord::Wrote(const std::string& source, const std::string& path, const Fingerprint& now) const {
  std::string key = RecordKey(path);
  return AnyOf(source, [&](const RecordEntry& e) { return e.written == key && e.writtenPrint == now; });
}

bool RunRecord::HoldsOriginal(const std::string& source, const std::string& backup, const Fingerprint& now) const {
  std::string key = RecordKey(backup);
  return AnyOf(source, [&](const RecordEntry& e) { return e.backup == key && e.original == now; });
}

bool RunRecord::IsOriginalOf(const std::string& source, const Fingerprint& now) const {
  return AnyOf(source, [&](const RecordEntry& e) { return e.original == now; });
}

std::optional<std::string> RunRecord::OriginalOwner(const std::string& backup, const Fingerprint& now) const {
  auto it = byBackup_.find(RecordKey(backup));
  if (it == byBackup_.end()) return std::nullopt;
  for (auto i = it->second.rbegin(); i != it->second.rend(); ++i)
    if (entries_[*i].original == now) return entries_[*i].source;
  return std::nullopt;
}

std::optional<std::string> RecordFolderOf(const OptimizationSettings& s) {
  if (!s.radModifyOld) return s.edOptimizedPath;
  if (s.cbSaveBefMod) return s.edBackUpPath;
  return std::nullopt;
}

ExistingBackup JudgeExistingBackup(const RunRecord& record, const std::string& source, const std::string& backup) {
  using Verdict = ExistingBackup::Verdict;
  if (!record.present()) return {};
  std::optional<Fingerprint> held = FingerprintOfFile(backup);
  if (!held) return {};
  if (record.HoldsOriginal(source, backup, *held)) {
    std::optional<Fingerprint> now = FingerprintOfFile(source);
    return now && record.Wrote(source, source, *now) ? ExistingBackup{Verdict::Keep, {}} : ExistingBackup{};
  }
  std::optional<std::string> owner = record.OriginalOwner(backup, *held);
  if (owner && *owner != RecordKey(source)) return {Verdict::Refuse, *owner};
  return {};
}

}  // namespace tersify
