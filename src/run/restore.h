// Undoing optimizations: deleting optimized copies, or putting backups back.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "run/run_state.h"

namespace tersify {

// Undoes the optimization of one page. In "Modify source files" mode the
// backup replaces the page in one rename (or, where that is impossible, a copy
// of it does); when neither works the page stays as it was. A missing backup
// is warned about while `state.askMissingBackup` is set. Failures are silent;
// answers whether the page was restored.
bool RestoreFile(const std::string& fullPath, RunState& state, const UserContext& ctx);

// Where the copy lies that undoing a page takes: its backup in "Modify source
// files" mode, else its optimized copy.
std::string RestoreCopyPath(const std::string& fullPath, const OptimizationSettings& s);

struct RestoreOutcome {
  enum class Status {
    Restored,
    Missing,    // no copy to restore from
    OwnFolder,  // the output or backup folder is the page's own: nothing to undo from
    Failed,     // the copy is there but could not be placed; the page is as it was
  } status = Status::Failed;
  std::string page;
  std::string copy;
};

// Undoes the given pages in order until `stop` answers true.
std::vector<RestoreOutcome> RestorePages(const std::vector<std::string>& pages, RunState& state, const UserContext& ctx,
                                         const std::function<bool()>& stop);

}  // namespace tersify
