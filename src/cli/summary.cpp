#include "cli/summary.h"

#include <cstdio>

namespace tersify::cli {

namespace {

// Length of the UTF-8 sequence at `i`, or 0 when it is not valid.
std::size_t Utf8Length(std::string_view t, std::size_t i) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(t[k]); };
  unsigned char c = byte(i);
  std::size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
  if (n == 0 || i + n > t.size()) return 0;
  if (n == 2 && c < 0xC2) return 0;
  for (std::size_t k = 1; k < n; ++k)
    if ((byte(i + k) >> 6) != 0x2) return 0;
  if (n == 3 && ((c == 0xE0 && byte(i + 1) < 0xA0) || (c == 0xED && byte(i + 1) >= 0xA0))) return 0;
  if (n == 4 && ((c == 0xF0 && byte(i + 1) < 0x90) || c > 0xF4 || (c == 0xF4 && byte(i + 1) >= 0x90))) return 0;
  return n;
}

const char* StatusName(const PageOutcome& f, bool dryRun) {
  using Status = FileOutcome::Status;
  switch (f.outcome.status) {
    case Status::Saved:
      return dryRun ? "would-write" : "written";
    case Status::Skipped:
      return f.refused.empty() ? "skipped" : "refused";
    case Status::Cancelled:
      return "cancelled";
    case Status::Failed:
      return "failed";
    case Status::NotText:
      return "not-text";
  }
  return "failed";
}

std::string Field(const char* name, long long value) {
  return std::string("\"") + name + "\": " + std::to_string(value);
}

}  // namespace

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    std::size_t n = Utf8Length(text, i);
    if (n == 0) {
      out += "\\ufffd";
      ++i;
      continue;
    }
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out.append(text.substr(i, n));
    }
    i += n;
  }
  return out + "\"";
}

std::string SummaryText(const BatchReport& r) {
  std::string out = r.interrupted ? "Optimization interrupted\n" : "Optimization finished\n";
  if (r.dryRun) out += "Dry run: nothing was written\n";
  out += "Files processed: " + std::to_string(r.processed.size()) + "\n";
  if (!r.copiesFolder.empty())
    out +=
        std::string(r.dryRun ? "Optimized copies would go to: " : "Optimized copies are in: ") + r.copiesFolder + "\n";
  else if (!r.backupFolder.empty())
    out += std::string(r.dryRun ? "Backups of the sources would go to: " : "Backups of the sources are in: ") +
           r.backupFolder + "\n";
  else
    out += r.dryRun ? "The sources would be written over without backups\n"
                    : "The sources were written over without backups\n";
  if (r.failed > 0) out += "Files failed: " + std::to_string(r.failed) + "\n";
  out += "Bytes removed: " + std::to_string(r.stats.BytesRemoved()) + " (" + std::to_string(r.stats.totalBefore) +
         " -> " + std::to_string(r.stats.totalAfter) + ")\n";
  out += "Average ratio: " + std::to_string(r.stats.AverageRatio()) + " %\n";
  out += "Maximum ratio: " + std::to_string(r.stats.maxRatio) + " %\n";
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.2f", r.seconds);
  out += "Elapsed time: " + r.elapsed + " (" + seconds + " s)\n";
  return out;
}

std::string SummaryJson(const BatchReport& r) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f", r.seconds);
  std::string out = "{\n  " + Field("files_processed", static_cast<long long>(r.processed.size())) + ",\n  " +
                    Field("files_failed", r.failed) + ",\n  " + Field("bytes_before", r.stats.totalBefore) + ",\n  " +
                    Field("bytes_after", r.stats.totalAfter) + ",\n  " +
                    Field("bytes_removed", r.stats.BytesRemoved()) + ",\n  " +
                    Field("average_ratio", r.stats.AverageRatio()) + ",\n  " + Field("max_ratio", r.stats.maxRatio) +
                    ",\n  \"elapsed\": " + JsonString(r.elapsed) + ",\n  \"elapsed_seconds\": " + seconds +
                    ",\n  \"copies_folder\": " + (r.copiesFolder.empty() ? "null" : JsonString(r.copiesFolder)) +
                    ",\n  \"backup_folder\": " + (r.backupFolder.empty() ? "null" : JsonString(r.backupFolder)) +
                    ",\n  \"dry_run\": " + (r.dryRun ? "true" : "false") +
                    ",\n  \"interrupted\": " + (r.interrupted ? "true" : "false") + ",\n  \"files\": [";
  for (std::size_t i = 0; i < r.files.size(); ++i) {
    const PageOutcome& f = r.files[i];
    bool sized = f.outcome.ReachedSave();
    const std::string& output = f.outcome.writtenPath.empty() ? f.outcome.outputPath : f.outcome.writtenPath;
    out += i ? ",\n    {" : "\n    {";
    out += "\"source\": " + JsonString(f.source) + ", \"output\": " + JsonString(output) + ", \"status\": \"" +
           StatusName(f, r.dryRun) + "\", " + Field("size_before", f.outcome.sizeBefore) +
           ", \"size_after\": " + (sized ? std::to_string(f.outcome.sizeAfter) : "null") +
           ", \"ratio\": " + (sized ? std::to_string(f.ratio) : "null") + "}";
  }
  out += r.files.empty() ? "]\n}\n" : "\n  ]\n}\n";
  return out;
}

std::string RestoreSummaryText(const RestoreReport& r, bool inPlace) {
  std::string out = "Restoration finished\n";
  if (r.dryRun) out += "Dry run: nothing was restored\n";
  out +=
      std::string(inPlace ? (r.dryRun ? "Files that would be restored from backups: " : "Files restored from backups: ")
                          : (r.dryRun ? "Optimized copies that would be deleted: " : "Optimized copies deleted: ")) +
      std::to_string(r.restored) + "\n";
  if (r.unchanged) out += "Files already as they were: " + std::to_string(r.unchanged) + "\n";
  if (r.missing)
    out += (inPlace ? "Files without a backup: " : "Files without a copy: ") + std::to_string(r.missing) + "\n";
  if (r.kept)
    out += "Files left in place (changed since the run, or not written by it): " + std::to_string(r.kept) + "\n";
  if (r.failed) out += "Files that could not be restored: " + std::to_string(r.failed) + "\n";
  return out;
}

std::string RestoreSummaryJson(const RestoreReport& r) {
  return "{\n  " + Field("restored", r.restored) + ",\n  " + Field("unchanged", r.unchanged) + ",\n  " +
         Field("missing", r.missing) + ",\n  " + Field("kept", r.kept) + ",\n  " + Field("failed", r.failed) +
         ",\n  \"dry_run\": " + (r.dryRun ? "true" : "false") + "\n}\n";
}

}  // namespace tersify::cli
