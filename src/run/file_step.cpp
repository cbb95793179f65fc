#include "run/file_step.h"

#include <exception>
#include <filesystem>
#include <new>
#include <optional>
#include <system_error>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "i18n/catalogue.h"
#include "i18n/interaction.h"
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

OptimizeResult RunPasses(std::string& text, const RunEnvironment& env, const std::function<bool()>& checkCancel,
                         std::error_code& why) {
  PassFailures failures;
  std::size_t shown = 0;
  auto showFailures = [&] {
    shown = ShowPassFailures(failures, shown, env.settings.cbShowInfo, env.catalogue, env.ui);
  };
  // The failures of the passes before a cancel check come before its question.
  std::function<bool()> check;
  if (checkCancel)
    check = [&] {
      showFailures();
      return checkCancel();
    };
  EngineContext ctx{PassOptionsOf(env.settings), env.removal, env.replacement, failures, check, env.threads};
  try {
    OptimizeResult result;
    if (env.optimizer) {
      result = env.optimizer(text, ctx);
    } else {
      Engine engine(env.codePage);
      // The text is of no use unless the answer is Done, so the engine may work in its buffer.
      result = engine.OptimizeDocumentInPlace(text, ctx);
    }
    showFailures();
    return result;
  } catch (const std::bad_alloc&) {
    showFailures();
    why = NoMemory();
    return OptimizeResult::Failed;
  } catch (const std::exception&) {
    showFailures();
    return OptimizeResult::Failed;
  }
}

}  // namespace

std::size_t ShowPassFailures(const PassFailures& failures, std::size_t from, bool showInfo,
                             const MessageCatalogue& catalogue, UserInteraction& ui) {
  for (std::size_t i = from; i < failures.size(); ++i) {
    const PassFailure& f = failures[i];
    if (f.onlyWithInfo && !showInfo) continue;
    std::string message = catalogue.Text(f.messageKey);
    if (f.entry) message = FillPlaceholders(message, {*f.entry});
    ShowMessageBox(ui, message, MessageKind::Error);
  }
  return failures.size();
}

namespace {

// A page too large for memory fails alone: its backup is put back and the
// run may go on with the next one.
FileOutcome OutOfMemory(const std::string& source, const BackupResult& backup, FileOutcome out) {
  PutBackupBack(backup, source);
  out.status = FileOutcome::Status::Failed;
  out.failure = "it does not fit into memory";
  return out;
}

// Appends the record's line for a page just before its bytes are written.
BeforeWrite RecordWrite(const std::string& source, const BackupResult& backup, const Fingerprint& original,
                        const RunEnvironment& env, bool& failed) {
  if (!env.record) return {};
  return [&source, &backup, &original, &env, &failed](const std::string& target, std::string_view bytes) {
    using Kind = BackupResult::Kind;
    bool backedUp = backup.kind == Kind::Moved || backup.kind == Kind::Copied || backup.kind == Kind::Kept;
    // A kept backup holds the original of an earlier run, not the page as read now.
    std::optional<Fingerprint> held =
        backup.kind == Kind::Kept ? FingerprintOfFile(backup.where) : std::optional<Fingerprint>(original);
    failed = !held || !env.record->Append(
                          {source, target, backedUp ? backup.where : std::string(), FingerprintOf(bytes), *held});
    return !failed;
  };
}

// The save step of a file whose text is optimized; puts the backup back when
// the save fails.
FileOutcome Finish(const std::string& source, std::string text, LineBreaks breaks, const BackupResult& backup,
                   const Fingerprint& original, FileOutcome out, const PageStamp& stamp, const RunEnvironment& env,
                   OverwriteMemory& memory, bool dryRun) {
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
  // A copy that would land on its own source (the output folder is the
  // source's folder) would leave no unchanged source behind.
  if (!env.settings.radModifyOld && SameDirectoryEntry(source, out.outputPath)) {
    out.status = Status::Failed;
    out.failure = "its copy would replace it: the output folder is its own folder";
    return out;
  }
  StepContext step{env.catalogue, env.ui};
  bool outputIsFree = backup.kind == BackupResult::Kind::Moved && out.outputPath == source;
  // Without a backup, the write over the source replaces its only copy: it must
  // reach the disk before the rename, so a power loss leaves the old or the
  // new page, never an empty one.
  const Durability durability =
      out.outputPath == source && backup.kind == BackupResult::Kind::Skipped ? Durability::OnDisk : Durability::Cached;
  if (env.layout && env.layout->tree()) MakeFoldersFor(out.outputPath);
  bool recordFailed = false;
  SaveResult saved = SaveOptimized(std::move(text), breaks, source, out.outputPath, outputIsFree, memory, step,
                                   durability, RecordWrite(source, backup, original, env, recordFailed));
  if (saved.failed) {
    PutBackupBack(backup, source);
    out.status = Status::Failed;
    out.failure = recordFailed ? "cannot add it to the run record '" + env.record->file() + "'"
                               : "cannot write '" + out.outputPath + "'" + ReasonSuffix(saved.error);
    return out;
  }
  out.status = saved.written ? Status::Saved : Status::Skipped;
  out.writtenPath = saved.written.value_or(std::string());
  out.sizeAfter = FileSizeOf(saved.written ? *saved.written : out.outputPath);
  return out;
}

FileOutcome BackupFailed(FileOutcome out, const std::string& backupPath, const BackupResult& backup) {
  out.failure = "cannot back it up to '" + backupPath + "'";
  out.failure += backup.reason.empty() ? ReasonSuffix(backup.error) : ": " + backup.reason;
  return out;
}

// Backs the source up into its place below the backup folder.
BackupResult BackUp(const std::string& source, const RunEnvironment& env, OverwriteMemory& memory,
                    std::string& backupPath) {
  backupPath = BackupPathFor(source, env.settings, env.layout);
  if (env.layout && env.layout->tree()) MakeFoldersFor(backupPath);
  StepContext step{env.catalogue, env.ui};
  return BackUpSource(source, backupPath, memory, step, env.record);
}

bool BacksUp(const OptimizationSettings& s, bool dryRun) { return !dryRun && s.radModifyOld && s.cbSaveBefMod; }

}  // namespace

FileOutcome OptimizeFile(const std::string& source, const RunEnvironment& env, OverwriteMemory& memory,
                         const std::function<bool()>& checkCancel, bool dryRun) {
  using Status = FileOutcome::Status;
  const OptimizationSettings& s = env.settings;
  FileOutcome out;
  out.sizeBefore = FileSizeOf(source);
  out.outputPath = OutputPathFor(source, s, env.layout);
  const PageStamp stamp = StampOf(source);
  BackupResult backup{BackupResult::Kind::Skipped, {}};
  try {
    std::error_code why;
    std::optional<std::string> bytes = ReadWholeFile(source, &why);
    if (!bytes) {
      out.failure = "cannot read it" + ReasonSuffix(why);
      return out;
    }
    const Fingerprint original = FingerprintOf(*bytes);
    std::string text = std::move(*bytes);
    const std::optional<LineBreaks> pageBreaks = NormalizePageLines(text);
    if (!pageBreaks) {
      out.status = Status::NotText;
      out.failure = kNotText;
      return out;
    }
    const LineBreaks breaks = *pageBreaks;

    if (BacksUp(s, dryRun)) {
      std::string backupPath;
      backup = BackUp(source, env, memory, backupPath);
      if (backup.kind == BackupResult::Kind::Failed) return BackupFailed(out, backupPath, backup);
    }
    env.ui.ProcessPendingEvents();

    OptimizeResult result = RunPasses(text, env, checkCancel, why);
    if (result != OptimizeResult::Done) {
      PutBackupBack(backup, source);
      out.status = result == OptimizeResult::Cancelled ? Status::Cancelled : Status::Failed;
      if (out.status == Status::Failed) out.failure = "its optimization failed" + ReasonSuffix(why);
      return out;
    }
    return Finish(source, std::move(text), breaks, backup, original, out, stamp, env, memory, dryRun);
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
    prepared.original = FingerprintOf(*bytes);
    prepared.text = std::move(*bytes);
    const std::optional<LineBreaks> breaks = NormalizePageLines(prepared.text);
    if (!breaks) {
      prepared.notText = true;
      std::string().swap(prepared.text);
      return prepared;
    }
    prepared.breaks = *breaks;
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
  out.outputPath = OutputPathFor(source, s, env.layout);
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
      std::string backupPath;
      backup = BackUp(source, env, memory, backupPath);
      if (backup.kind == BackupResult::Kind::Failed) return BackupFailed(out, backupPath, backup);
    }
    return Finish(source, std::move(prepared.text), prepared.breaks, backup, prepared.original, out, prepared.stamp,
                  env, memory, dryRun);
  } catch (const std::bad_alloc&) {
    return OutOfMemory(source, backup, out);
  }
}

}  // namespace tersify
