#include "cli/batch.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>
#include <system_error>

#include "cli/interrupt.h"
#include "i18n/catalogue.h"
#include "panel/adding.h"
#include "run/date_text.h"
#include "run/file_ops.h"
#include "run/paths.h"
#include "run/restore.h"

namespace tersify::cli {

namespace fs = std::filesystem;

namespace {

void Complain(TerminalInteraction& ui, const std::string& text) { ui.MessageBox(text, MessageKind::Error); }

std::size_t FileLimit(const OptimizationSettings& s) {
  return s.cbMaxFCount ? static_cast<std::size_t>(std::stoull(s.edMaxFCount)) : SIZE_MAX;
}

// A file list's rows join the panel with their ticks, after the rows already there.
void AddListRows(const std::string& list, FilesPanel& panel, const BatchEnv& env) {
  OptimizationSettings unrestricted = env.cli.settings;
  unrestricted.cbMaxFCount = false;
  PanelContext listCtx{unrestricted, env.catalogue, env.ui};
  FilesPanel listed;
  if (!LoadFileList(listed, list, listCtx)) {
    std::error_code why;  // read again only to learn the system's reason
    ReadWholeFile(list, &why);
    Complain(env.ui, "cannot read the file list '" + list + "'" + ReasonSuffix(why));
    return;
  }
  std::size_t limit = FileLimit(env.cli.settings);
  for (const PanelRow& row : listed.rows()) {
    if (panel.size() >= limit) break;
    if (panel.AddFileRow(row.FullPath(), env.Panel())) panel.rows().back().checked = row.checked;
  }
}

// Names a failed page on standard error.
void Complain(const PageOutcome& page, const BatchEnv& env) {
  if (page.outcome.status == FileOutcome::Status::Failed)
    // The failure comes last, so the system's reason ends the line.
    Complain(env.ui, page.source + ": " + env.catalogue.Text("const_opt_error") +
                         "; the file is left as it was: " + page.outcome.failure);
  if (page.outcome.status == FileOutcome::Status::NotText)
    Complain(env.ui, page.source + ": " + page.outcome.failure + "; the file is left as it was");
  for (const std::string& existing : page.refused)
    Complain(env.ui, page.source + ": not optimized: '" + existing + "' already exists and is kept");
}

}  // namespace

int GatherFiles(const std::vector<std::string>& paths, FilesPanel& panel, RunState& state, const BatchEnv& env) {
  int failures = 0;
  std::set<std::string> named;  // the pages given by name, links resolved
  PanelContext ctx = env.Panel();
  std::size_t limit = FileLimit(env.cli.settings);
  state.BusyState = Busy::Path;
  state.cancelRequested = state.cancelConfirmed = false;
  env.ui.onPendingEvents = [&state] {
    if (Interrupted()) state.cancelRequested = true;
  };
  for (const std::string& path : paths) {
    if (Interrupted()) break;
    if (FolderExists(path)) {
      const std::size_t before = panel.size();
      bool walked = WalkFolder(panel, state, path, 0, ctx);
      for (std::size_t i = before; i < panel.size(); ++i) env.layout.AddFound(panel.rows()[i].FullPath(), path);
      if (!walked) break;
    } else if (!FileExists(path)) {
      Complain(env.ui, "'" + path + "' does not exist");
      ++failures;
    } else if (IsHtmlFile(path, env.catalogue)) {
      if (!named.insert(RealPathOf(path)).second)
        env.ui.MessageBox("'" + path + "' names a page given before; it is treated once", MessageKind::Warning);
      else if (panel.size() < limit)
        panel.AddFileRow(path, ctx);
    } else if (IsFileList(path, env.catalogue)) {
      AddListRows(path, panel, env);
    } else {
      Complain(env.ui, "'" + path + "' is neither an HTML file (.htm, .html) nor a file list (.lst)");
      ++failures;
    }
  }
  env.ui.onPendingEvents = nullptr;
  state.BusyState = Busy::None;
  panel.SetSortColumnValue(env.cli.settings.column_sort);
  panel.RefreshPanel(ctx);
  return failures;
}

std::optional<std::string> TickedRowIn(const FilesPanel& panel, const std::string& folder) {
  for (const PanelRow& row : panel.rows()) {
    std::error_code ec;
    if (row.checked && fs::equivalent(FolderOf(row.FullPath()), folder, ec)) return row.FullPath();
  }
  return std::nullopt;
}

BatchReport OptimizeTicked(const FilesPanel& panel, RunState& state, const BatchEnv& env, int jobs,
                           ProgressBar& progress) {
  const OptimizationSettings& s = env.cli.settings;
  BatchRequest request;
  request.jobs = jobs;
  request.dryRun = env.options.dryRun;
  for (const PanelRow& row : panel.rows())
    if (row.checked) request.sources.push_back(row.FullPath());
  if (!request.dryRun && !s.radModifyOld && !s.edOptimizedPath.empty()) {
    std::error_code ec;
    fs::create_directories(s.edOptimizedPath, ec);  // a failure shows at the first write
  }
  BatchHooks hooks;
  hooks.stop = [] { return Interrupted(); };
  hooks.takeRefused = [&env] { return env.ui.TakeRefused(); };
  hooks.placed = [&env, &progress](const PageOutcome& page, std::size_t done, std::int64_t bytesDone) {
    Complain(page, env);
    progress.Update(done, bytesDone);
  };
  progress.Update(0, 0);
  BatchResult result = RunBatch(request, env.Run(env.ui), state, hooks);
  progress.Clear();

  BatchReport report;
  report.files = std::move(result.pages);
  report.stats = result.stats;
  report.processed = std::move(result.processed);
  report.failed = result.failed;
  report.interrupted = result.end == RunEnd::Cancelled;
  report.dryRun = request.dryRun;
  report.jobs = result.jobs;
  report.seconds = std::chrono::duration<double>(result.elapsed).count();
  report.elapsed = ElapsedClockText(std::chrono::duration_cast<std::chrono::milliseconds>(result.elapsed));
  if (!s.radModifyOld) report.copiesFolder = s.edOptimizedPath;
  if (s.radModifyOld && s.cbSaveBefMod) report.backupFolder = s.edBackUpPath;
  return report;
}

std::string DryRunAccount(BatchReport& report, const OptimizationSettings& s, OverwritePolicy policy) {
  std::string out;
  std::set<std::string> taken;  // files an earlier page of the run would write
  auto meets = [&taken](const std::string& path) { return !taken.insert(path).second || FileExists(path); };
  report.stats.Reset();
  report.processed.clear();
  report.failed = 0;
  for (PageOutcome& f : report.files) {
    if (f.outcome.ReachedSave()) {
      const std::string& source = f.source;
      std::string what;
      bool refused = false;
      if (!s.radModifyOld) {
        const std::string& path = f.outcome.outputPath;
        const bool met = path != source && meets(path);
        what = !met ? "would write " + path : [&] {
          switch (policy) {
            case OverwritePolicy::Ask:
              return "would ask before writing over " + path;
            case OverwritePolicy::Skip:
              return "would skip " + path + ", which exists";
            case OverwritePolicy::Fail:
              refused = true;
              return "would fail: " + path + " exists";
            case OverwritePolicy::All:
            case OverwritePolicy::Older:
              break;
          }
          return "would write over " + path;
        }();
        if (refused) f.refused.push_back(path);
      } else if (s.cbSaveBefMod) {
        const std::string backup = BackupPathOf(source, s);
        const bool met = meets(backup);
        what = !met ? "would back up " + source + " to " + backup + " and write over it" : [&] {
          switch (policy) {
            case OverwritePolicy::Ask:
              return "would ask before replacing the backup " + backup;
            case OverwritePolicy::Skip:
              return "would keep the backup " + backup + " and leave " + source + " as it is";
            case OverwritePolicy::Fail:
              refused = true;
              return "would fail: the backup " + backup + " exists; " + source + " would be left as it is";
            case OverwritePolicy::Older:
              return "would replace the backup " + backup + " and write over " + source +
                     " if the page is of a later day, else leave both";
            case OverwritePolicy::All:
              break;
          }
          return "would replace the backup " + backup + " and write over " + source;
        }();
        if (refused) f.refused.push_back(backup);
      } else {
        what = "would write over " + source + " without a backup";
      }
      out += what + " (" + std::to_string(f.outcome.sizeBefore) + " -> " + std::to_string(f.outcome.sizeAfter) +
             " bytes, " + std::to_string(f.ratio) + " %)\n";
    }
    if (f.Failed()) ++report.failed;
    if (f.Counted()) {
      report.stats.AddFile(f.outcome.sizeBefore, f.outcome.sizeAfter);
      report.processed.push_back(f.source);
    }
  }
  return out;
}

RestoreReport RestoreFiles(const FilesPanel& panel, RunState& state, const BatchEnv& env, std::string* dryLines) {
  using Status = RestoreOutcome::Status;
  const OptimizationSettings& s = env.cli.settings;
  std::vector<std::string> ticked;
  for (const PanelRow& row : panel.rows())
    if (row.checked) ticked.push_back(row.FullPath());
  std::vector<RestoreOutcome> outcomes;
  if (dryLines) {
    for (const std::string& page : ticked) {
      RestoreOutcome r{Status::Restored, page, RestoreCopyPath(page, s, &env.layout), {}};
      if (SameDirectoryEntry(page, r.copy))
        r.status = Status::OwnFolder;
      else if (!FileExists(r.copy))
        r.status = Status::Missing;
      outcomes.push_back(std::move(r));
    }
  } else {
    // Temporaries a killed run left beside the files and their copies or
    // backups go too, so the tree is as it was.
    std::set<std::string> folders;
    for (const std::string& page : ticked)
      for (const std::string& path : {page, RestoreCopyPath(page, s, &env.layout)}) folders.insert(FolderOf(path));
    for (const std::string& folder : folders)
      if (!folder.empty()) CleanLeftoverTemporaries(folder);
    // A missing backup is named below in the words of the command line.
    state.askMissingBackup = false;
    outcomes = RestorePages(
        ticked, state, env.Panel(), [] { return Interrupted(); }, &env.layout);
  }
  RestoreReport report;
  report.dryRun = dryLines != nullptr;
  for (const RestoreOutcome& r : outcomes) {
    switch (r.status) {
      case Status::Restored:
        ++report.restored;
        if (dryLines)
          *dryLines += s.radModifyOld ? "would put the backup " + r.copy + " back over " + r.page + "\n"
                                      : "would delete the optimized copy " + r.copy + "\n";
        break;
      case Status::AlreadyOriginal:
        ++report.unchanged;
        break;
      case Status::Kept:
        ++report.kept;
        break;
      case Status::Missing:
        ++report.missing;
        if (s.radModifyOld)
          env.ui.MessageBox("'" + r.page + "': there is no backup " + r.copy + "; the file is left as it is",
                            MessageKind::Warning);
        break;
      case Status::OwnFolder:
        ++report.failed;
        Complain(env.ui, "cannot restore '" + r.page + "': the " + (s.radModifyOld ? "backup" : "output") +
                             " folder is its own folder; the file is left as it is");
        break;
      case Status::Failed:
        ++report.failed;
        Complain(env.ui, "cannot restore '" + r.page + "' from '" + r.copy + "'" + ReasonSuffix(r.error));
        break;
    }
  }
  return report;
}

}  // namespace tersify::cli
