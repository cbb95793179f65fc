#include "run/restore.h"

#include <exception>
#include <filesystem>
#include <new>
#include <system_error>

#include "i18n/catalogue.h"
#include "run/file_ops.h"
#include "run/paths.h"
#include "settings/options.h"

namespace tersify {

namespace fs = std::filesystem;

std::string RestoreCopyPath(const std::string& fullPath, const OptimizationSettings& s, const TargetLayout* layout) {
  return s.radModifyOld ? BackupPathFor(fullPath, s, layout) : OutputPathFor(fullPath, s, layout);
}

namespace {

using Status = RestoreOutcome::Status;

void WarnKept(const std::string& path, const UserContext& ctx) {
  if (ctx.settings.cbShowInfo)
    ShowMessageBox(ctx.ui, FillPlaceholders(ctx.catalogue.Text("const_restore_kept"), {path}), MessageKind::Warning);
}

bool Recorded(const RestoreSources& from) { return from.record && from.record->present(); }

Status DeleteCopy(const std::string& f, const UserContext& ctx, const RestoreSources& from, std::error_code& ec) {
  std::string copy = RestoreCopyPath(f, ctx.settings, from.layout);
  // An output folder that is the file's own folder: the "copy" is the file.
  if (SameDirectoryEntry(f, copy)) return Status::Failed;
  if (!FileExists(copy)) return Status::Missing;
  if (Recorded(from)) {
    std::optional<Fingerprint> now = FingerprintOfFile(copy);
    if (!now || !from.record->Wrote(f, copy, *now)) {
      WarnKept(copy, ctx);
      return Status::Kept;
    }
  }
  return fs::remove(copy, ec) ? Status::Restored : Status::Failed;
}

// With a record: the page may be replaced when it is gone or holds bytes the
// run wrote (or the original itself), the backup put back when it holds the
// recorded original. Answers what may not be touched.
std::optional<std::string> RefusedByRecord(const std::string& f, const std::string& backup,
                                           const RestoreSources& from) {
  if (!Recorded(from)) return std::nullopt;
  std::optional<Fingerprint> page = FingerprintOfFile(f);
  if (FileExists(f) && (!page || !(from.record->Wrote(f, f, *page) || from.record->IsOriginalOf(f, *page)))) return f;
  std::optional<Fingerprint> held = FingerprintOfFile(backup);
  if (!held || !from.record->HoldsOriginal(f, backup, *held)) return backup;
  return std::nullopt;
}

}  // namespace

Status RestoreStatus(const std::string& f, RunState& state, const UserContext& ctx, const RestoreSources& from,
                     std::error_code* why) {
  std::error_code ec;
  auto failed = [&] {
    if (why) *why = ec;
    return Status::Failed;
  };
  try {
    const OptimizationSettings& s = ctx.settings;
    if (!s.radModifyOld) {
      Status status = DeleteCopy(f, ctx, from, ec);
      return status == Status::Failed ? failed() : status;
    }
    std::string backup = RestoreCopyPath(f, s, from.layout);
    // A backup folder that is the file's own folder holds no copy of it.
    if (FileExists(backup) && !SameDirectoryEntry(f, backup)) {
      // A backup that is still a second name of the file itself only goes away.
      if (fs::exists(f, ec) && fs::equivalent(f, backup, ec))
        return fs::remove(backup, ec) ? Status::Restored : failed();
      if (std::optional<std::string> refused = RefusedByRecord(f, backup, from)) {
        WarnKept(*refused, ctx);
        return Status::Kept;
      }
      fs::rename(backup, f, ec);  // replaces the file in one step
      if (!ec) return Status::Restored;
      // Another file system: the backup goes once its copy is on the disk.
      if (ec == std::errc::cross_device_link)
        return CopyForMove(backup, f, &ec) && fs::remove(backup, ec) ? Status::Restored : failed();
      // The copy in the backup folder stays.
      return CopyFileTo(backup, f, true, Durability::Cached, &ec) ? Status::Restored : failed();
    }
    if (Recorded(from)) {
      std::optional<Fingerprint> page = FingerprintOfFile(f);
      if (page && from.record->IsOriginalOf(f, *page)) return Status::AlreadyOriginal;
    }
    if (s.cbShowInfo && state.askMissingBackup) {
      std::string text = FillPlaceholders(ctx.catalogue.Text("const_backup_error2"), {backup});
      if (ctx.ui.Question(text, MessageKind::Warning, QuestionButtons::YesYesToAll) == Answer::YesToAll)
        state.askMissingBackup = false;
    }
    return Status::Missing;
  } catch (const std::bad_alloc&) {
    ec = std::make_error_code(std::errc::not_enough_memory);
    return failed();
  } catch (const std::exception&) {
    return Status::Failed;
  }
}

bool RestoreFile(const std::string& f, RunState& state, const UserContext& ctx, const RestoreSources& from) {
  Status status = RestoreStatus(f, state, ctx, from);
  return status == Status::Restored || status == Status::AlreadyOriginal;
}

std::vector<RestoreOutcome> RestorePages(const std::vector<std::string>& pages, RunState& state, const UserContext& ctx,
                                         const std::function<bool()>& stop, const TargetLayout* layout) {
  std::optional<std::string> folder = RecordFolderOf(ctx.settings);
  const RunRecord record = folder ? RunRecord::Load(*folder) : RunRecord();
  const RestoreSources from{layout, &record};
  std::vector<RestoreOutcome> out;
  for (const std::string& page : pages) {
    if (stop && stop()) break;
    RestoreOutcome r{Status::Failed, page, RestoreCopyPath(page, ctx.settings, layout), {}};
    r.status = SameDirectoryEntry(page, r.copy) ? Status::OwnFolder : RestoreStatus(page, state, ctx, from, &r.error);
    out.push_back(std::move(r));
  }
  return out;
}

}  // namespace tersify
