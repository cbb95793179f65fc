#include "run/restore.h"

#include <exception>
#include <filesystem>
#include <system_error>

#include "i18n/catalogue.h"
#include "run/file_ops.h"
#include "run/paths.h"
#include "settings/options.h"

namespace tersify {

namespace fs = std::filesystem;

std::string RestoreCopyPath(const std::string& fullPath, const OptimizationSettings& s) {
  return s.radModifyOld ? BackupPathOf(fullPath, s) : InFolder(s.edOptimizedPath, NameOf(fullPath));
}

bool RestoreFile(const std::string& f, RunState& state, const UserContext& ctx) {
  try {
    const OptimizationSettings& s = ctx.settings;
    if (!s.radModifyOld) {
      std::string copy = RestoreCopyPath(f, s);
      // An output folder that is the file's own folder: the "copy" is the file.
      if (SameDirectoryEntry(f, copy)) return false;
      std::error_code ec;
      return fs::remove(copy, ec);
    }
    std::string backup = RestoreCopyPath(f, s);
    // A backup folder that is the file's own folder holds no copy of it.
    if (FileExists(backup) && !SameDirectoryEntry(f, backup)) {
      std::error_code ec;
      // A backup that is still a second name of the file itself only goes away.
      if (fs::exists(f, ec) && fs::equivalent(f, backup, ec)) return fs::remove(backup, ec);
      fs::rename(backup, f, ec);  // replaces the file in one step
      if (!ec) return true;
      // Another file system: the backup goes once its copy is on the disk.
      if (ec == std::errc::cross_device_link) return CopyForMove(backup, f) && fs::remove(backup, ec);
      return CopyFileTo(backup, f, true);  // the copy in the backup folder stays
    }
    if (s.cbShowInfo && state.askMissingBackup) {
      std::string text = FillPlaceholders(ctx.catalogue.Text("const_backup_error2"), {backup});
      if (ctx.ui.Question(text, MessageKind::Warning, QuestionButtons::YesYesToAll) == Answer::YesToAll)
        state.askMissingBackup = false;
    }
    return false;
  } catch (const std::exception&) {
    return false;
  }
}

std::vector<RestoreOutcome> RestorePages(const std::vector<std::string>& pages, RunState& state, const UserContext& ctx,
                                         const std::function<bool()>& stop) {
  using Status = RestoreOutcome::Status;
  std::vector<RestoreOutcome> out;
  for (const std::string& page : pages) {
    if (stop && stop()) break;
    RestoreOutcome r{Status::Failed, page, RestoreCopyPath(page, ctx.settings)};
    const bool existed = FileExists(r.copy);
    if (SameDirectoryEntry(page, r.copy))
      r.status = Status::OwnFolder;
    else if (RestoreFile(page, state, ctx))
      r.status = Status::Restored;
    else if (!existed)
      r.status = Status::Missing;
    out.push_back(std::move(r));
  }
  return out;
}

}  // namespace tersify
