#include "cli/batch.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>
#include <system_error>

#include "cli/interrupt.h"
#include "i18n/catalogue.h"
#include "panel/adding.h"
#include "panel/date_text.h"
#include "panel/paths.h"
#include "panel/restore.h"
#include "run/batch_run.h"
#include "run/file_ops.h"
#include "run/prepare_ahead.h"

namespace tersify::cli {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMostJobs = 256;

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
    Complain(env.ui, "cannot read the file list '" + list + "'");
    return;
  }
  std::size_t limit = FileLimit(env.cli.settings);
  for (const PanelRow& row : listed.rows()) {
    if (panel.size() >= limit) break;
    if (panel.AddFileRow(row.FullPath(), env.Panel())) panel.rows().back().checked = row.checked;
  }
}

std::string Canonical(const std::string& folder) {
  std::error_code ec;
  fs::path p = fs::weakly_canonical(fs::absolute(folder.empty() ? "." : folder, ec), ec);
  std::string text = p.string();
  while (text.size() > 1 && IsPathDelim(text.back())) text.pop_back();
  return text;
}

FileReport Report(const std::string& source, FileOutcome outcome, TerminalInteraction& ui) {
  FileReport r{source, std::move(outcome), ui.TakeRefused(), 0};
  if (r.outcome.ReachedSave()) r.ratio = OptimizationRatio(r.outcome.sizeBefore, r.outcome.sizeAfter);
  return r;
}

// Counts a file into the report; false when the run must stop.
bool Account(FileReport file, BatchReport& report, const BatchEnv& env) {
  using Status = FileOutcome::Status;
  if (file.outcome.status == Status::Cancelled) {
    report.interrupted = true;
    return false;
  }
  if (file.outcome.status == Status::Failed) {
    ++report.failed;
    Complain(env.ui, file.source + ": " + env.catalogue.Text("const_opt_error") + " (" + file.outcome.failure +
                         "; the file is left as it was)");
  }
  for (const std::string& existing : file.refused)
    Complain(env.ui, file.source + ": not optimized: '" + existing + "' already exists and is kept");
  if (!file.refused.empty() && file.outcome.status != Status::Failed) ++report.failed;
  if (file.Counted()) {
    report.stats.AddFile(file.outcome.sizeBefore, file.outcome.sizeAfter);
    report.processed.push_back(file.source);
  }
  report.files.push_back(std::move(file));
  return true;
}

// What a worker hands the writer: the optimized file and what it showed,
// which the writer shows in order.
struct Prepared {
  PreparedFile prepared;
  RecordingInteraction messages;
};

}  // namespace

int GatherFiles(const std::vector<std::string>& paths, FilesPanel& panel, RunState& state, const BatchEnv& env) {
  int failures = 0;
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
      if (panel.size() < limit) panel.AddFileRow(path, ctx);
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

bool CanPrepareAhead(const std::vector<std::string>& sources, const OptimizationSettings& s) {
  std::string target;
  if (!s.radModifyOld)
    target = s.edOptimizedPath;
  else if (s.cbSaveBefMod)
    target = s.edBackUpPath;
  else
    return true;  // each file is written over itself only
  std::string targetFolder = Canonical(target);
  std::set<std::string> seen;
  for (const std::string& source : sources) {
    std::string folder = FolderOf(source);
    if (!seen.insert(folder).second) continue;
    if (Canonical(folder) == targetFolder) return false;
  }
  return true;
}

BatchReport RunBatch(const FilesPanel& panel, RunState& state, const BatchEnv& env, int jobs, ProgressBar& progress) {
  const OptimizationSettings& s = env.cli.settings;
  BatchReport report;
  report.dryRun = env.options.dryRun;
  std::vector<std::string> sources;
  std::int64_t totalBytes = 0;
  for (const PanelRow& row : panel.rows()) {
    if (!row.checked) continue;
    sources.push_back(row.FullPath());
    totalBytes += std::max<std::int64_t>(0, FileSizeOf(sources.back()));
  }
  if (!report.dryRun) {
    if (!s.radModifyOld && !s.edOptimizedPath.empty()) {
      std::error_code ec;
      fs::create_directories(s.edOptimizedPath, ec);  // a failure shows at the first write
    }
    PrepareRunFolders(s, sources);
  }
  if (jobs > 1 && !CanPrepareAhead(sources, s)) jobs = 1;
  // More workers than files, or than a machine runs usefully at once, would
  // only cost threads and memory.
  jobs = std::clamp(jobs, 1, static_cast<int>(std::clamp<std::size_t>(sources.size(), 1, kMostJobs)));

  state.BusyState = Busy::Opt;
  state.overwrite.StartRun();
  state.stats.Reset();
  state.LastRunFiles.clear();
  auto start = std::chrono::steady_clock::now();
  std::int64_t bytesDone = 0;
  progress.Update(0, 0);

  RunEnvironment runEnv = env.Run(env.ui);
  std::optional<RunRecord> record;
  if (std::optional<std::string> folder = RecordFolderOf(s); folder && !report.dryRun) {
    record = RunRecord::Load(*folder);
    runEnv.record = &*record;
  }
  std::optional<PrepareAhead<Prepared>> pool;
  if (jobs > 1) {
    // Files are read and optimized ahead of the writer, each with its own
    // engine. A file being optimized takes about twice its size, so what is
    // held at once (the writer's file included) is bounded to two of the
    // largest files, whatever the number of jobs; smaller files fill the jobs.
    std::vector<std::int64_t> sizes;
    std::int64_t largest = 1;
    for (const std::string& source : sources) {
      sizes.push_back(std::max<std::int64_t>(0, FileSizeOf(source)));
      largest = std::max(largest, sizes.back());
    }
    const std::int64_t budget = largest * std::min(jobs, 2);
    try {
      pool.emplace(std::move(sizes), jobs, static_cast<std::size_t>(jobs) * 4, budget, [&](std::size_t i) {
        Prepared item;
        item.prepared = PrepareFile(sources[i], env.Run(item.messages), [] { return Interrupted(); });
        return item;
      });
    } catch (const std::system_error&) {
      jobs = 1;  // no thread to be had: the files are treated one by one
    }
  }
  report.jobs = jobs;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    if (Interrupted()) {
      report.interrupted = true;
      break;
    }
    FileOutcome outcome;
    if (pool) {
      Prepared item = pool->Take(i);
      item.messages.ReplayTo(env.ui);
      outcome = PlaceFile(sources[i], std::move(item.prepared), runEnv, state.overwrite, report.dryRun);
      pool->Release(i);
    } else {
      outcome = OptimizeFile(
          sources[i], runEnv, state.overwrite, [] { return Interrupted(); }, report.dryRun);
    }
    bytesDone += std::max<std::int64_t>(0, outcome.sizeBefore);
    if (!Account(Report(sources[i], std::move(outcome), env.ui), report, env)) break;
    progress.Update(i + 1, bytesDone);
  }
  pool.reset();
  auto elapsed = std::chrono::steady_clock::now() - start;
  report.seconds = std::chrono::duration<double>(elapsed).count();
  report.elapsed = ElapsedClockText(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed));
  state.stats = report.stats;
  state.LastRunFiles = report.processed;
  state.backUpLastEnabled = !report.dryRun && !(s.radModifyOld && !s.cbSaveBefMod);
  state.BusyState = Busy::None;
  progress.Clear();
  return report;
}

RestoreReport RestoreFiles(const FilesPanel& panel, RunState& state, const BatchEnv& env) {
  const OptimizationSettings& s = env.cli.settings;
  PanelContext ctx = env.Panel();
  RestoreReport report;
  std::optional<std::string> folder = RecordFolderOf(s);
  const RunRecord record = folder ? RunRecord::Load(*folder) : RunRecord();
  const RestoreSources from{&env.layout, &record};
  // Temporaries a killed run left beside the files and their copies or
  // backups go too, so the tree is as it was.
  std::set<std::string> cleaned;
  auto clean = [&cleaned](const std::string& path) {
    if (std::string folder = FolderOf(path); cleaned.insert(folder).second) CleanLeftoverTemporaries(folder);
  };
  state.askMissingBackup = true;
  for (const PanelRow& row : panel.rows()) {
    if (!row.checked) continue;
    if (Interrupted()) break;
    std::string f = row.FullPath();
    std::string copy = s.radModifyOld ? BackupPathFor(f, s, &env.layout) : OutputPathFor(f, s, &env.layout);
    if (SameDirectoryEntry(f, copy)) {
      // The output or backup folder is the file's own: there is nothing to undo from.
      ++report.failed;
      Complain(env.ui, "cannot restore '" + f + "': the " + (s.radModifyOld ? "backup" : "output") +
                           " folder is its own folder; the file is left as it is");
      continue;
    }
    clean(f);
    clean(copy);
    switch (RestoreFileFrom(f, state, ctx, from)) {
      case RestoreOutcome::Restored:
        ++report.restored;
        break;
      case RestoreOutcome::AlreadyOriginal:
        ++report.unchanged;
        break;
      case RestoreOutcome::Missing:
        ++report.missing;
        break;
      case RestoreOutcome::Kept:
        ++report.kept;
        break;
      case RestoreOutcome::Failed:
        ++report.failed;
        Complain(env.ui, "cannot restore '" + f + "' from '" + copy + "'");
        break;
    }
  }
  return report;
}

}  // namespace tersify::cli
