#include "run/file_step.h"

#include <exception>
#include <filesystem>
#include <new>
#include <system_error>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "run/file_ops.h"
#include "run/overwrite.h"
#include "run/paths.h"

namespace tersify {

PageStamp StampOf(const std::string& path) {
  PageStamp stamp;
#ifndef _WIN32
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return stamp;
  stamp.size = static_cast<std::int64_t>(st.st_size);
  stamp.writeTime = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  stamp.device = static_cast<std::uint64_t>(st.st_dev);
  stamp.inode = static_cast<std::uint64_t>(st.st_ino);
#else
  std::error_code ec;
  auto size = std::filesystem::file_size(path, ec);
  if (ec) return stamp;
  auto time = std::filesystem::last_write_time(path, ec);
  if (ec) return stamp;
  stamp.size = static_cast<std::int64_t>(size);
  stamp.writeTime = static_cast<std::int64_t>(time.time_since_epoch().count());
#endif
  stamp.valid = true;
  return stamp;
}

namespace {

std::error_code NoMemory() { return std::make_error_code(std::errc::not_enough_memory); }

constexpr const char* kNotText = "not a text page";

bool HoldsNul(const std::string& bytes) { return bytes.find('\0') != std::string::npos; }

OptimizeResult RunPasses(std::string& text, const RunEnvironment& env, const std::function<bool()>& checkCancel,
                         std::error_code& why) {
  EngineContext ctx{env.settings, env.removal, env.replacement, env.catalogue, env.ui, checkCancel};
  try {
    if (env.optimizer) return env.optimizer(text, ctx);
    Engine engine(env.codePage);
    // The text is of no use unless the answer is Done, so the engine may work in its buffer.
    return engine.OptimizeDocumentInPlace(text, ctx);
  } catch (const std::bad_alloc&) {
    why = NoMemory();
    return OptimizeResult::Failed;
  } catch (const std::exception&) {
    return OptimizeResult::Failed;
  }
}

// A page too large for memory fails alone: its backup is put back and the
// run may go on with the next one.
FileOutcome OutOfMemory(const std::string& source, const BackupResult& backup, FileOutcome out) {
  PutBackupBack(backup, source);
  out.status = FileOutcome::Status::Failed;
  out.failure = "it does not fit into memory";
  return out;
}

// The save step of a file whose text is optimized; puts the backup back when
// the save fails.
FileOutcome Finish(const std::string& source, std::string text, LineBreaks breaks, const BackupResult& backup,
                   FileOutcome out, const PageStamp& stamp, const RunEnvironment& env, OverwriteMemory& memory,
                   bool dryRun) {
  using Status = FileOutcome::Status;
  if (!dryRun && out.outputPath == source && StampOf(source) != stamp) {
    // Someone else wrote the page since it was read: their version stays.
    PutBackupBack(backup, source);
    out.status = Status::Failed;
    out.failure = "changed during the run";
    return out;
  }
  if (dryRun) {
    out.status = Status::Saved;
    SaveLinesInPlace(text, breaks);
    out.sizeAfter = static_cast<std::int64_t>(text.size());
    return out;
  }
  StepContext step{env.catalogue, env.ui};
  bool outputIsFree = backup.kind == BackupResult::Kind::Moved && out.outputPath == source;
  // Without a backup, the write over the source replaces its only copy: it must
  // reach the disk before the rename, so a power loss leaves the old or the
  // new page, never an empty one.
  const Durability durability =
      out.outputPath == source && backup.kind == BackupResult::Kind::Skipped ? Durability::OnDisk : Durability::Cached;
  SaveResult saved =
      SaveOptimized(std::move(text), breaks, source, out.outputPath, outputIsFree, memory, step, durability);
  if (saved.failed) {
    PutBackupBack(backup, source);
    out.status = Status::Failed;
    out.failure = "cannot write '" + out.outputPath + "'" + ReasonSuffix(saved.error);
    return out;
  }
  out.status = saved.written ? Status::Saved : Status::Skipped;
  out.writtenPath = saved.written.value_or(std::string());
  out.sizeAfter = FileSizeOf(saved.written ? *saved.written : out.outputPath);
  return out;
}

FileOutcome BackupFailed(FileOutcome out, const OptimizationSettings& s, const std::string& source,
                         const std::error_code& why) {
  out.failure = "cannot back it up to '" + BackupPathOf(source, s) + "'" + ReasonSuffix(why);
  return out;
}

bool BacksUp(const OptimizationSettings& s, bool dryRun) { return !dryRun && s.radModifyOld && s.cbSaveBefMod; }

}  // namespace

FileOutcome OptimizeFile(const std::string& source, const RunEnvironment& env, OverwriteMemory& memory,
                         const std::function<bool()>& checkCancel, bool dryRun) {
  using Status = FileOutcome::Status;
  const OptimizationSettings& s = env.settings;
  FileOutcome out;
  out.sizeBefore = FileSizeOf(source);
  out.outputPath = PackedPath(source, s, Lookup::Plain);
  const PageStamp stamp = StampOf(source);
  BackupResult backup{BackupResult::Kind::Skipped, {}};
  try {
    std::error_code why;
    std::optional<std::string> bytes = ReadWholeFile(source, &why);
    if (!bytes) {
      out.failure = "cannot read it" + ReasonSuffix(why);
      return out;
    }
    if (HoldsNul(*bytes)) {
      out.status = Status::NotText;
      out.failure = kNotText;
      return out;
    }
    std::string text = std::move(*bytes);
    const LineBreaks breaks = LineBreaksOf(text);
    NormalizeLines(text);

    StepContext step{env.catalogue, env.ui};
    if (BacksUp(s, dryRun)) {
      backup = BackUpSource(source, BackupPathOf(source, s), memory, step);
      if (backup.kind == BackupResult::Kind::Failed) return BackupFailed(out, s, source, backup.error);
    }
    env.ui.ProcessPendingEvents();

    OptimizeResult result = RunPasses(text, env, checkCancel, why);
    if (result != OptimizeResult::Done) {
      PutBackupBack(backup, source);
      out.status = result == OptimizeResult::Cancelled ? Status::Cancelled : Status::Failed;
      if (out.status == Status::Failed) out.failure = "its optimization failed" + ReasonSuffix(why);
      return out;
    }
    return Finish(source, std::move(text), breaks, backup, out, stamp, env, memory, dryRun);
  } catch (const std::bad_alloc&) {
    return OutOfMemory(source, backup, out);
  }
}

PreparedFile PrepareFile(const std::string& source, const RunEnvironment& env,
                         const std::function<bool()>& checkCancel) {
  PreparedFile prepared;
  prepared.sizeBefore = FileSizeOf(source);
  prepared.stamp = StampOf(source);
  try {
    std::optional<std::string> bytes = ReadWholeFile(source, &prepared.error);
    if (!bytes) {
      prepared.unreadable = true;
      return prepared;
    }
    if (HoldsNul(*bytes)) {
      prepared.notText = true;
      return prepared;
    }
    prepared.text = std::move(*bytes);
    prepared.breaks = LineBreaksOf(prepared.text);
    NormalizeLines(prepared.text);
    prepared.result = RunPasses(prepared.text, env, checkCancel, prepared.error);
  } catch (const std::bad_alloc&) {
    prepared.result = OptimizeResult::Failed;
    prepared.error = NoMemory();
  }
  if (prepared.result != OptimizeResult::Done) std::string().swap(prepared.text);
  return prepared;
}

FileOutcome PlaceFile(const std::string& source, PreparedFile prepared, const RunEnvironment& env,
                      OverwriteMemory& memory, bool dryRun) {
  using Status = FileOutcome::Status;
  const OptimizationSettings& s = env.settings;
  FileOutcome out;
  out.sizeBefore = prepared.sizeBefore;
  out.outputPath = PackedPath(source, s, Lookup::Plain);
  if (prepared.notText) {
    out.status = Status::NotText;
    out.failure = kNotText;
    return out;
  }
  if (prepared.result != OptimizeResult::Done) {
    out.status = prepared.result == OptimizeResult::Cancelled ? Status::Cancelled : Status::Failed;
    if (out.status == Status::Failed)
      out.failure = (prepared.unreadable ? "cannot read it" : "its optimization failed") + ReasonSuffix(prepared.error);
    return out;
  }
  BackupResult backup{BackupResult::Kind::Skipped, {}};
  try {
    if (BacksUp(s, dryRun)) {
      StepContext step{env.catalogue, env.ui};
      backup = BackUpSource(source, BackupPathOf(source, s), memory, step);
      if (backup.kind == BackupResult::Kind::Failed) return BackupFailed(out, s, source, backup.error);
    }
    return Finish(source, std::move(prepared.text), prepared.breaks, backup, out, prepared.stamp, env, memory, dryRun);
  } catch (const std::bad_alloc&) {
    return OutOfMemory(source, backup, out);
  }
}

}  // namespace tersify
