// Undoing optimizations: deleting optimized copies, or putting backups back.
#pragma once

#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "run/run_record.h"
#include "run/run_state.h"
#include "run/target_path.h"

namespace tersify {

// Where a restoration finds copies and backups, and what it knows of them.
struct RestoreSources {
  const TargetLayout* layout = nullptr;  // flat when null
  // The record of the output or backup folder; without one (or when the
  // folder holds none) copies and backups are taken as they are.
  const RunRecord* record = nullptr;
};

struct RestoreOutcome {
  enum class Status {
    Restored,
    AlreadyOriginal,  // no backup, and the page holds the original the record names
    Kept,             // the record does not vouch for the page, its copy or its backup: left in place, with a warning
    Missing,          // no copy to restore from
    OwnFolder,        // the output or backup folder is the page's own: nothing to undo from
    Failed,           // the copy is there but could not be placed; the page is as it was
  } status = Status::Failed;
  std::string page;
  std::string copy;
  std::error_code error;  // when Failed: the system's reason, if there is one
};

// Undoes the optimization of one page. In "Modify source files" mode the
// backup replaces the page in one rename (or, where that is impossible, a copy
// of it does); when neither works the page stays as it was. With a record, a
// copy or page is deleted or replaced only when it holds the bytes the record
// says the run wrote, and a backup is put back only when it holds the
// recorded original; anything else is left in place with a warning naming
// it. A missing backup is warned about while `state.askMissingBackup` is set.
// Failures are silent.
RestoreOutcome::Status RestoreStatus(const std::string& fullPath, RunState& state, const UserContext& ctx,
                                     const RestoreSources& from, std::error_code* why = nullptr);
// As above; answers whether the page is as before the optimization now.
bool RestoreFile(const std::string& fullPath, RunState& state, const UserContext& ctx, const RestoreSources& from = {});

// Where the copy lies that undoing a page takes: its backup in "Modify source
// files" mode, else its optimized copy.
std::string RestoreCopyPath(const std::string& fullPath, const OptimizationSettings& s,
                            const TargetLayout* layout = nullptr);

// Undoes the given pages in order until `stop` answers true, consulting the
// record of the folder the current mode restores from.
std::vector<RestoreOutcome> RestorePages(const std::vector<std::string>& pages, RunState& state, const UserContext& ctx,
                                         const std::function<bool()>& stop, const TargetLayout* layout = nullptr);

}  // namespace tersify
