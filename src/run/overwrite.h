// The two writing steps of a file and what they do when their target exists.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "engine/engine.h"
#include "i18n/interaction.h"
#include "run/file_ops.h"
#include "run/run_state.h"

namespace tersify {

class MessageCatalogue;
class RunRecord;

struct StepContext {
  const MessageCatalogue& catalogue;
  UserInteraction& ui;
};

// Asks for a file name in the folder of `existingPath`, proposing its name part.
// An empty name, a name that exists in that folder or a name that would leave
// the folder brings the box back. Answers the full path, or nothing when the
// user cancels.
std::optional<std::string> AskNewName(const std::string& existingPath, const std::string& title,
                                      const std::string& prompt, UserInteraction& ui);

// The question of a step, filled for the two files.
OverwriteQuestion MakeOverwriteQuestion(const std::string& lowerPath, const std::string& upperPath, bool backupStep,
                                        const StepContext& ctx);

struct BackupResult {
  enum class Kind;
  BackupResult() = default;
  BackupResult(Kind k, std::string w = {}, bool c = false, std::error_code e = {})
      : kind(k), where(std::move(w)), copy(c), error(e) {}

  enum class Kind {
    Moved,    // the source's content now lies at `where`; the source path counts as free
    Copied,   // a copy lies at `where`; the source is still in place
    Kept,     // `where` already holds this source's original; the source is still in place
    Skipped,  // nothing done; the source is still in place
    Failed,
  } kind = Kind::Failed;
  std::string where;
  // Moved to another file system: `where` is a copy on the disk, not a
  // second link, and the source path still holds the original until the
  // optimized text replaces it.
  bool copy = false;
  std::error_code error;  // when Failed: the system's reason, if there is one
  std::string reason;     // why it Failed, when the run record refuses it
};

// Moves the source into the backup folder, consulting the overwrite question
// when `backupPath` exists. The move never leaves the source path without its
// content: the backup is made as a second link to the file (or, when the
// folders lie on different file systems, a copy flushed to the disk), and the
// source name is only replaced by the optimized text's final rename. With a
// run record, an existing backup that holds this source's original is kept
// when the source is a page this program wrote, and one that holds another
// page's original is never replaced.
BackupResult BackUpSource(const std::string& source, const std::string& backupPath, OverwriteMemory& memory,
                          const StepContext& ctx, const RunRecord* record = nullptr);

// Undoes a backup made for a file that then was not written: the source path
// keeps (or gets back) its content and the backup entry disappears.
bool PutBackupBack(const BackupResult& backup, const std::string& source);

struct SaveResult {
  SaveResult() = default;
  SaveResult(bool f, std::optional<std::string> w = std::nullopt, std::error_code e = {})
      : failed(f), written(std::move(w)), error(e) {}

  bool failed = false;
  std::optional<std::string> written;  // the path written; nothing when skipped
  std::error_code error;               // when failed: the system's reason, if there is one
};

// Writes `text` (split into lines, `breaks` after every line) to `output`,
// consulting the overwrite question when it exists, unless `outputIsFree`
// (the source was moved away from it by the backup step).
// `durability` OnDisk for a write that replaces the only copy of a source.
// `beforeWrite` is told the target and the bytes just before they are
// written; when it answers false nothing is written and the save fails.
using BeforeWrite = std::function<bool(const std::string& target, std::string_view bytes)>;
SaveResult SaveOptimized(std::string text, LineBreaks breaks, const std::string& source, const std::string& output,
                         bool outputIsFree, OverwriteMemory& memory, const StepContext& ctx,
                         Durability durability = Durability::Cached, const BeforeWrite& beforeWrite = {});

}  // namespace tersify
