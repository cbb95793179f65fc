#include "run/batch_run.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>
#include <utility>

#include "run/file_ops.h"
#include "run/paths.h"
#include "run/prepare_ahead.h"

namespace tersify {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMostJobs = 256;

// Keeps what a page's optimization shows while it runs beside others, so it
// can be shown later in the order of the pages. Questions take the answer
// that changes nothing.
class RecordingInteraction : public UserInteraction {
 public:
  void MessageBox(const std::string& text, MessageKind kind) override { messages_.emplace_back(text, kind); }
  Answer Question(const std::string&, MessageKind, QuestionButtons buttons) override {
    switch (buttons) {
      case QuestionButtons::OkCancel:
        return Answer::Cancel;
      case QuestionButtons::YesYesToAll:
        return Answer::Yes;
      case QuestionButtons::YesNo:
        break;
    }
    return Answer::No;
  }
  std::optional<OverwriteChoice> AskOverwrite(const OverwriteQuestion&) override { return OverwriteChoice::Skip; }
  std::optional<std::string> InputBox(const std::string&, const std::string&, const std::string&) override {
    return std::nullopt;
  }
  void ProcessPendingEvents() override {}

  void ReplayTo(UserInteraction& ui) const {
    for (const auto& [text, kind] : messages_) ui.MessageBox(text, kind);
  }

 private:
  std::vector<std::pair<std::string, MessageKind>> messages_;
};

// What a worker hands the writer: the optimized page and what it showed.
struct Prepared {
  PreparedFile prepared;
  RecordingInteraction messages;
};

std::string Canonical(const std::string& folder) {
  std::error_code ec;
  fs::path p = fs::weakly_canonical(fs::absolute(folder.empty() ? "." : folder, ec), ec);
  std::string text = p.string();
  while (text.size() > 1 && IsPathDelim(text.back())) text.pop_back();
  return text;
}

std::int64_t SizeOrZero(const std::string& path) { return std::max<std::int64_t>(0, FileSizeOf(path)); }

// Reads and optimizes pages ahead of the writer, each with its own engine. A
// page being optimized takes about twice its size, so what is held at once
// (the writer's page included) is bounded to two of the largest pages,
// whatever the number of jobs; smaller pages fill the jobs.
void StartPool(std::optional<PrepareAhead<Prepared>>& pool, const std::vector<std::string>& sources, int jobs,
               const RunEnvironment& env, const std::function<bool()>& stop) {
  std::vector<std::int64_t> sizes;
  std::int64_t largest = 1;
  for (const std::string& source : sources) {
    sizes.push_back(SizeOrZero(source));
    largest = std::max(largest, sizes.back());
  }
  const std::int64_t budget = largest * std::min(jobs, 2);
  try {
    pool.emplace(std::move(sizes), jobs, static_cast<std::size_t>(jobs) * 4, budget,
                 [&sources, &env, &stop](std::size_t i) {
                   Prepared item;
                   RunEnvironment own{env.settings,  env.removal,  env.replacement, env.catalogue,
                                      item.messages, env.codePage, env.optimizer};
                   item.prepared = PrepareFile(sources[i], own, stop);
                   return item;
                 });
  } catch (const std::system_error&) {
    // No thread to be had: the pages are treated one by one.
  }
}

}  // namespace

bool LastRunUndoable(const OptimizationSettings& s, bool failedOrDry) {
  return !failedOrDry && !(s.radModifyOld && !s.cbSaveBefMod);
}

bool CanPrepareAhead(const std::vector<std::string>& sources, const OptimizationSettings& s) {
  std::string target;
  if (!s.radModifyOld)
    target = s.edOptimizedPath;
  else if (s.cbSaveBefMod)
    target = s.edBackUpPath;
  else
    return true;  // each page is written over itself only
  std::string targetFolder = Canonical(target);
  std::set<std::string> seen;
  for (const std::string& source : sources) {
    std::string folder = FolderOf(source);
    if (!seen.insert(folder).second) continue;
    if (Canonical(folder) == targetFolder) return false;
  }
  return true;
}

void PrepareRunFolders(const OptimizationSettings& s, const std::vector<std::string>& sources,
                       const TargetLayout* layout) {
  std::set<std::string> folders;
  const std::string& own = s.radModifyOld ? s.edBackUpPath : s.edOptimizedPath;
  if (!own.empty()) {
    std::error_code ec;
    if (!FolderExists(own)) fs::create_directory(own, ec);  // a failure shows at the first write
    folders.insert(own);
  }
  // The other mode's folder too: a run killed in that mode may have left
  // temporaries there.
  const std::string& other = s.radModifyOld ? s.edOptimizedPath : s.edBackUpPath;
  if (!other.empty() && FolderExists(other)) folders.insert(other);
  for (const std::string& source : sources) {
    folders.insert(FolderOf(source));
    // The sub-folders of a tree of copies or backups, where they exist.
    if (!layout || !layout->tree()) continue;
    for (const std::string& target : {layout->Below(s.edOptimizedPath, source), BackupPathFor(source, s, layout)})
      if (FolderExists(FolderOf(target))) folders.insert(FolderOf(target));
  }
  for (const std::string& folder : folders)
    if (!folder.empty()) CleanLeftoverTemporaries(folder);
}

BatchResult RunBatch(const BatchRequest& request, const RunEnvironment& env, RunState& state, const BatchHooks& hooks) {
  const OptimizationSettings& s = env.settings;
  const std::vector<std::string>& sources = request.sources;
  const std::function<bool()> stop = hooks.stop ? hooks.stop : [] { return false; };
  BatchResult result;
  if (!request.dryRun) PrepareRunFolders(s, sources, env.layout);
  // The record of the folder the run writes to.
  RunEnvironment recorded = env;
  std::optional<RunRecord> record;
  if (std::optional<std::string> folder = RecordFolderOf(s); folder && !request.dryRun) {
    record = RunRecord::Load(*folder);
    recorded.record = &*record;
  }
  // Pages that may change while the run goes on, or that an earlier page's
  // output could replace, are read one at a time.
  int jobs = hooks.current || !CanPrepareAhead(sources, s) ? 1 : request.jobs;
  // More workers than pages, or than a machine runs usefully at once, would
  // only cost threads and memory.
  jobs = std::clamp(jobs, 1, static_cast<int>(std::clamp<std::size_t>(sources.size(), 1, kMostJobs)));

  state.BusyState = Busy::Opt;
  state.overwrite.StartRun();
  state.stats.Reset();
  state.LastRunFiles.clear();
  const auto start = std::chrono::steady_clock::now();
  std::optional<PrepareAhead<Prepared>> pool;
  if (jobs > 1) StartPool(pool, sources, jobs, env, stop);
  result.jobs = pool ? jobs : 1;
  // Pages done one at a time may each use the threads of the jobs asked for.
  if (!pool) recorded.threads = static_cast<unsigned>(std::clamp(request.jobs, 1, static_cast<int>(kMostJobs)));

  std::int64_t bytesDone = 0;
  // Each page once: the same page named twice would be optimized twice, and
  // its backup would become the optimized text.
  std::set<std::string> seen;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    std::string source = sources[i];
    if (hooks.current) {
      std::optional<std::string> now = hooks.current(i);
      if (!now) continue;
      source = std::move(*now);
    }
    if (!seen.insert(RealPathOf(source)).second) {
      if (pool) {
        pool->Take(i);
        pool->Release(i);
      }
      continue;
    }
    if (stop()) {
      result.end = RunEnd::Cancelled;
      break;
    }
    PageOutcome page{source, {}, {}, 0};
    if (pool) {
      Prepared item = pool->Take(i);
      item.messages.ReplayTo(env.ui);
      page.outcome = PlaceFile(source, std::move(item.prepared), recorded, state.overwrite, request.dryRun);
      pool->Release(i);
    } else {
      page.outcome = OptimizeFile(source, recorded, state.overwrite, stop, request.dryRun);
    }
    if (hooks.takeRefused) page.refused = hooks.takeRefused();
    if (page.outcome.status == FileOutcome::Status::Cancelled) {
      result.end = RunEnd::Cancelled;
      break;
    }
    if (page.outcome.ReachedSave()) page.ratio = OptimizationRatio(page.outcome.sizeBefore, page.outcome.sizeAfter);
    if (page.Failed()) ++result.failed;
    if (page.Counted()) {
      state.stats.AddFile(page.outcome.sizeBefore, page.outcome.sizeAfter);
      state.LastRunFiles.push_back(source);
    }
    bytesDone += std::max<std::int64_t>(0, page.outcome.sizeBefore);
    result.pages.push_back(std::move(page));
    if (hooks.placed) hooks.placed(result.pages.back(), result.pages.size(), bytesDone);
    if (request.stopAtFailure && result.pages.back().outcome.status == FileOutcome::Status::Failed) {
      result.end = RunEnd::Failed;
      break;
    }
  }
  pool.reset();
  result.elapsed = std::chrono::steady_clock::now() - start;
  result.stats = state.stats;
  result.processed = state.LastRunFiles;
  state.backUpLastEnabled = LastRunUndoable(s, result.end == RunEnd::Failed || request.dryRun);
  state.BusyState = Busy::None;
  return result;
}

}  // namespace tersify
