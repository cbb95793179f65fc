#include "run/batch_run.h"

#include <exception>
#include <filesystem>
#include <set>
#include <system_error>

#include "i18n/catalogue.h"
#include "panel/adding.h"
#include "panel/date_text.h"
#include "panel/paths.h"
#include "platform/memory.h"
#include "run/file_ops.h"

namespace tersify {

namespace fs = std::filesystem;

RunController::RunController(RunEnvironment env, RunState& state, FilesPanel& panel, SourceView& view,
                             RunWindow* window)
    : env_(std::move(env)), state_(state), panel_(panel), view_(view), window_(window) {}

std::string RunController::Text(const char* key) const { return env_.catalogue.Text(key); }

void RunController::Show(const char* key, MessageKind kind) { ShowMessageBox(env_.ui, Text(key), kind); }

std::string RunController::ElapsedText() const {
  return ElapsedClockText(std::chrono::duration_cast<std::chrono::milliseconds>(now() - state_.startTime));
}

void PrepareRunFolders(const OptimizationSettings& s, const std::vector<std::string>& sources) {
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
  for (const std::string& source : sources) folders.insert(FolderOf(source));
  for (const std::string& folder : folders)
    if (!folder.empty()) CleanLeftoverTemporaries(folder);
}

void RunController::OptimizeCommand() {
  PanelContext ctx = Ctx();
  if (RefuseWhenBusy(state_, ctx)) return;
  try {
    state_.cancelRequested = state_.cancelConfirmed = false;
    view_.OfferSaveOfView(false, ctx);
    view_.ResetSourceView(env_.catalogue);
    if (window_) window_->ShowFirstPage(Text("const_opt_cap"));
    int ticked = 0;
    std::int64_t total = 0;
    for (const PanelRow& row : panel_.rows()) {
      if (!row.checked) continue;
      ++ticked;
      std::int64_t size = FileSizeOf(row.FullPath());
      if (size > 0) total += size;
    }
    const OptimizationSettings& s = env_.settings;
    if (ticked == 0) {
      if (s.cbShowInfo) Show("const_opt_war", MessageKind::Information);
      return;
    }
    if (window_) {
      if (s.radModifyOld && s.cbSaveBefMod)
        window_->SetDestination(Text("const_before_opt"), s.edBackUpPath);
      else if (s.radModifyOld)
        window_->SetDestination(Text("const_opt_old"), Text("const_backup_false"));
      else
        window_->SetDestination(Text("const_opt_new"), s.edOptimizedPath);
      window_->SetCounts(std::to_string(ticked), std::to_string(total));
    }
    if (s.cbShowOptWin && window_) {
      window_->Open();
      return;
    }
    if (s.cbShowConf &&
        env_.ui.Question(Text("const_opt_conf"), MessageKind::Confirmation, QuestionButtons::YesNo) != Answer::Yes)
      return;
    if (mainStatus) mainStatus(Text("const_optimizing"));
    RunOptimization(false);
    if (mainStatus) mainStatus(std::string());
  } catch (const std::exception&) {
    Show("const_opt_error", MessageKind::Error);
    ResetRunControls(true);
  }
}

RunEnd RunController::RunOptimization(bool fromWindow) {
  const OptimizationSettings& s = env_.settings;
  if (window_) {
    window_->SetStatus(Text("const_optimizing"));
    window_->SetStartButton(Text("const_Start"), false);
  }
  std::vector<std::string> sources;
  for (const PanelRow& row : panel_.rows())
    if (row.checked) sources.push_back(row.FullPath());
  PrepareRunFolders(s, sources);
  view_.visible = false;
  if (window_) window_->SetCancelButton(Text("const_break"), true);
  state_.BusyState = Busy::Opt;
  state_.cancelRequested = state_.cancelConfirmed = false;
  state_.overwrite.StartRun();
  state_.stats.Reset();
  state_.clockRunning = true;
  state_.startTime = now();
  if (window_) window_->SetClock(ElapsedClockText(std::chrono::milliseconds(0)));

  if (std::optional<std::string> folder = RecordFolderOf(s)) record_ = RunRecord::Load(*folder);
  env_.record = record_ ? &*record_ : nullptr;
  RunEnd end;
  try {
    end = OptimizeTickedFiles();
  } catch (const std::exception&) {
    Show("const_opt_error", MessageKind::Error);
    ResetRunControls(true);
    if (window_) window_->Close();
    end = RunEnd::Failed;
  }
  env_.record = nullptr;
  record_.reset();
  platform::ReturnFreedMemory();  // the pages' buffers are not needed between runs
  if (end == RunEnd::Failed) return end;
  lastElapsed_ = ElapsedText();
  ResetRunControls(false);
  if (fromWindow && window_)
    ShowRunResults();
  else if (s.cbShowEnd)
    Show("const_opt_finished", MessageKind::Information);
  return end;
}

RunEnd RunController::OptimizeTickedFiles() {
  state_.LastRunFiles.clear();
  const std::size_t count = panel_.size();
  auto cancelCheck = [this] { return CheckCancel(); };
  for (std::size_t i = 0; i < count; ++i) {
    // Rows may go away while the run lets events through.
    if (i >= panel_.size()) break;
    if (!panel_.rows()[i].checked) continue;
    if (CheckCancel()) return RunEnd::Cancelled;
    std::string source = panel_.rows()[i].FullPath();
    FileOutcome outcome = OptimizeFile(source, env_, state_.overwrite, cancelCheck);
    if (outcome.status == FileOutcome::Status::Cancelled) return RunEnd::Cancelled;
    if (outcome.status == FileOutcome::Status::Failed) {
      Show("const_opt_error", MessageKind::Error);
      ResetRunControls(true);
      if (window_) window_->Close();
      return RunEnd::Failed;
    }
    state_.LastRunFiles.push_back(source);
    state_.stats.AddFile(outcome.sizeBefore, outcome.sizeAfter);
  }
  view_.butSaveFile = false;
  view_.visible = true;
  view_.ResetSourceView(env_.catalogue);
  panel_.selected.reset();
  if (window_) {
    window_->SetStartButton(Text("const_Start"), true);
    window_->SetCancelButton(window_->CancelCaption(), true);
  }
  panel_.RefreshPanel(Ctx());
  return RunEnd::Completed;
}

bool RunController::CheckCancel() {
  env_.ui.ProcessPendingEvents();
  if (state_.cancelRequested && !state_.cancelConfirmed) {
    if (env_.ui.Question(Text("const_break_opt"), MessageKind::Confirmation, QuestionButtons::OkCancel) == Answer::Ok)
      state_.cancelConfirmed = true;
  }
  if (!state_.cancelRequested) return false;
  if (state_.cancelConfirmed) return true;
  state_.cancelRequested = state_.cancelConfirmed = false;
  return false;
}

void RunController::CancelClick() {
  if (!window_) return;
  if (window_->CancelCaption() != Text("const_cancel"))
    state_.cancelRequested = true;
  else
    window_->Close();
}

void RunController::EscapeInWindow() {
  if (window_ && window_->CancelCaption() == Text("const_break")) CancelClick();
}

void RunController::EscapeInMainWindow() {
  if (state_.BusyState != Busy::None) state_.cancelRequested = true;
}

void RunController::ClockTick() {
  if (state_.clockRunning && window_) window_->SetClock(ElapsedText());
}

void RunController::ShowRunResults() {
  if (!window_) return;
  window_->SetStatus(Text("const_ready_foropt"));
  window_->SetCounts("0", "0");
  RunResultsView r;
  r.caption = Text("const_opt_finished");
  r.fdone = std::to_string(state_.LastRunFiles.size());
  r.deleted = std::to_string(state_.stats.BytesRemoved());
  r.midk = std::to_string(state_.stats.AverageRatio()) + " %";
  r.mk = std::to_string(state_.stats.maxRatio) + " %";
  r.elapsed = lastElapsed_;
  window_->ShowResults(r);
  window_->SetClock(std::string());
  window_->SetCancelButton(Text("const_cancel"), true);
  if (state_.BusyState == Busy::Opt) state_.BusyState = Busy::None;
}

void RunController::ResetRunControls(bool failed) {
  const OptimizationSettings& s = env_.settings;
  state_.clockRunning = false;
  view_.visible = true;
  if (window_) {
    window_->SetStatus(Text("const_ready_foropt"));
    window_->SetStartButton(Text("const_Start"), true);
    window_->SetCancelButton(Text("const_cancel"), true);
    window_->SetClock(std::string());
  }
  state_.backUpLastEnabled = !failed && !(s.radModifyOld && !s.cbSaveBefMod);
  if (state_.BusyState == Busy::Opt) state_.BusyState = Busy::None;
  panel_.RefreshPanel(Ctx());
}

}  // namespace tersify
