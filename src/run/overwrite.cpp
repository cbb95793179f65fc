#include "run/overwrite.h"

#include <filesystem>
#include <system_error>

#include "engine/engine.h"
#include "i18n/catalogue.h"
#include "run/date_text.h"
#include "run/file_ops.h"
#include "run/paths.h"
#include "run/run_record.h"

namespace tersify {

namespace fs = std::filesystem;

namespace {

enum class Step { Backup, Save };

bool AcceptableName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name)
    if (IsPathDelim(c) || c == '/' || c == '\\' || c == '\0') return false;
  return true;
}

std::string InfoLine(const std::string& path, const StepContext& ctx) {
  return std::to_string(FileSizeOf(path)) + ctx.catalogue.Text("const_bytes") + FileDateText(path, ctx.ui);
}

// The remembered choice as it acts for one file.
OverwriteChoice Single(OverwriteChoice c) {
  if (c == OverwriteChoice::OverwriteAll) return OverwriteChoice::Overwrite;
  if (c == OverwriteChoice::SkipAll) return OverwriteChoice::Skip;
  return c;
}

// Asks (or takes the remembered answer) and returns the choice to carry out.
OverwriteChoice Decide(Step step, const std::string& lower, const std::string& upper, OverwriteMemory& memory,
                       const StepContext& ctx) {
  bool& ask = step == Step::Backup ? memory.askBeforeBackupOverwrite : memory.askBeforeOutputOverwrite;
  OverwriteChoice& remembered = step == Step::Backup ? memory.backupChoice : memory.outputChoice;
  if (!ask) return remembered;
  for (;;) {
    std::optional<OverwriteChoice> answer =
        ctx.ui.AskOverwrite(MakeOverwriteQuestion(lower, upper, step == Step::Backup, ctx));
    // Closed without an answer: the previous answer acts for this file only.
    if (!answer) return Single(remembered);
    if (*answer == OverwriteChoice::OverwriteAllOlder && step == Step::Save) continue;
    if (*answer == OverwriteChoice::NewName || *answer == OverwriteChoice::Rename) {
      bool isNew = *answer == OverwriteChoice::NewName;
      auto name = AskNewName(upper, ctx.catalogue.Text(isNew ? "const_saving" : "const_rename"),
                             ctx.catalogue.Text(isNew ? "const_new_name" : "const_new_name2"), ctx.ui);
      if (!name) continue;  // the question stays open
      memory.chosenName = *name;
    }
    if (*answer == OverwriteChoice::OverwriteAll || *answer == OverwriteChoice::SkipAll) ask = false;
    remembered = Single(*answer);
    return *answer;
  }
}

// A chosen name still usable: given and not taken meanwhile.
bool ChosenNameFree(const OverwriteMemory& memory) {
  std::error_code ec;
  return !memory.chosenName.empty() && !fs::exists(memory.chosenName, ec);
}

std::optional<std::chrono::sys_days> FileDay(const std::string& path, const StepContext& ctx) {
  return ReadShortDate(DatePart(FileDateText(path, ctx.ui)));
}

// Puts the source's content at `target` without taking it from the source path.
BackupResult LinkOrCopy(const std::string& source, const std::string& target) {
  std::error_code ec;
  std::string temp = TemporaryPathBeside(target);
  fs::create_hard_link(source, temp, ec);
  if (!ec) {
    fs::rename(temp, target, ec);
    if (!ec) return {BackupResult::Kind::Moved, target};
    std::error_code ignore;
    fs::remove(temp, ignore);
    return {BackupResult::Kind::Failed, {}, false, ec};
  }
  // Another file system, or one without links: a copy that has reached the
  // disk holds the original from here on, as a link would.
  if (!CopyForMove(source, target, &ec)) return {BackupResult::Kind::Failed, {}, false, ec};
  return {BackupResult::Kind::Moved, target, true};
}

}  // namespace

std::optional<std::string> AskNewName(const std::string& existingPath, const std::string& title,
                                      const std::string& prompt, UserInteraction& ui) {
  std::string folder = FolderOf(existingPath);
  std::string value = NameOf(existingPath);
  for (;;) {
    std::optional<std::string> entered = ui.InputBox(title, prompt, value);
    if (!entered) return std::nullopt;
    value = *entered;
    if (!AcceptableName(value)) continue;
    std::error_code ec;
    if (fs::exists(folder + value, ec)) continue;
    return folder + value;
  }
}

OverwriteQuestion MakeOverwriteQuestion(const std::string& lowerPath, const std::string& upperPath, bool backupStep,
                                        const StepContext& ctx) {
  OverwriteQuestion q;
  q.upperPath = upperPath;
  q.upperInfo = InfoLine(upperPath, ctx);
  q.lowerPath = lowerPath;
  q.lowerInfo = InfoLine(lowerPath, ctx) + "  ?";
  q.lowerCaption = ctx.catalogue.Text(backupStep ? "const_opt_file" : "const_opt_ver");
  q.olderAllowed = backupStep;
  return q;
}

BackupResult BackUpSource(const std::string& source, const std::string& backupPath, OverwriteMemory& memory,
                          const StepContext& ctx, const RunRecord* record) {
  // A backup folder that is the source's own folder would put the source over
  // itself and keep no original: the file fails before anything is touched.
  if (SameDirectoryEntry(source, backupPath)) return {BackupResult::Kind::Failed, {}};
  if (!FileExists(backupPath)) return LinkOrCopy(source, backupPath);
  if (record) {
    // Whatever the overwrite answer, an original the record knows is not
    // replaced by a page this program wrote, nor by another page.
    ExistingBackup held = JudgeExistingBackup(*record, source, backupPath);
    if (held.verdict == ExistingBackup::Verdict::Keep) return {BackupResult::Kind::Kept, backupPath};
    if (held.verdict == ExistingBackup::Verdict::Refuse) {
      BackupResult refused(BackupResult::Kind::Failed);
      refused.reason = "it holds the original of '" + held.owner + "'";
      return refused;
    }
  }
  switch (Decide(Step::Backup, source, backupPath, memory, ctx)) {
    case OverwriteChoice::Overwrite:
    case OverwriteChoice::OverwriteAll:
      return LinkOrCopy(source, backupPath);
    case OverwriteChoice::Skip:
    case OverwriteChoice::SkipAll:
      return {BackupResult::Kind::Skipped, {}};
    case OverwriteChoice::OverwriteAllOlder: {
      auto sourceDay = FileDay(source, ctx);
      auto backupDay = FileDay(backupPath, ctx);
      if (!sourceDay || !backupDay) return {BackupResult::Kind::Failed, {}};
      if (*sourceDay > *backupDay) return LinkOrCopy(source, backupPath);
      return {BackupResult::Kind::Skipped, {}};
    }
    case OverwriteChoice::NewName:
      if (!ChosenNameFree(memory)) return {BackupResult::Kind::Skipped, {}};
      return LinkOrCopy(source, memory.chosenName);
    case OverwriteChoice::Rename: {
      if (!ChosenNameFree(memory)) return {BackupResult::Kind::Skipped, {}};
      std::error_code ec;
      fs::rename(backupPath, memory.chosenName, ec);
      // Never replace an earlier backup that could not be renamed away.
      if (ec) return {BackupResult::Kind::Failed, {}, false, ec};
      return LinkOrCopy(source, backupPath);
    }
  }
  return {BackupResult::Kind::Failed, {}};
}

bool PutBackupBack(const BackupResult& backup, const std::string& source) {
  if (backup.kind != BackupResult::Kind::Moved) return true;
  std::error_code ec;
  // The source still holds the original (a second link to it, or the
  // original itself beside a copy): the backup entry only goes.
  if (fs::exists(source, ec) && (backup.copy || fs::equivalent(source, backup.where, ec)))
    return fs::remove(backup.where, ec);
  return MoveFileTo(backup.where, source) == MoveResult::Moved;
}

SaveResult SaveOptimized(std::string text, LineBreaks breaks, const std::string& source, const std::string& output,
                         bool outputIsFree, OverwriteMemory& memory, const StepContext& ctx, Durability durability,
                         const BeforeWrite& beforeWrite) {
  std::string bytes = std::move(text);
  SaveLinesInPlace(bytes, breaks);  // the saving rule, in the text's own buffer
  auto write = [&](const std::string& target) {
    if (beforeWrite && !beforeWrite(target, bytes)) return SaveResult{true, std::nullopt};
    std::error_code ec;
    return WriteFileAtomically(target, bytes, durability, &ec) ? SaveResult{false, target}
                                                               : SaveResult{true, std::nullopt, ec};
  };
  if (outputIsFree || !FileExists(output)) return write(output);
  switch (Decide(Step::Save, source, output, memory, ctx)) {
    case OverwriteChoice::Overwrite:
    case OverwriteChoice::OverwriteAll:
      return write(output);
    case OverwriteChoice::NewName:
      if (!ChosenNameFree(memory)) return {};
      return write(memory.chosenName);
    case OverwriteChoice::Rename: {
      if (!ChosenNameFree(memory)) return {};
      std::error_code ec;
      fs::rename(output, memory.chosenName, ec);
      if (ec) return {true, std::nullopt, ec};
      return write(output);
    }
    default:
      return {};
  }
}

}  // namespace tersify
