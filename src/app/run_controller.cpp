#include "app/run_controller.h"

#include <exception>

#include "i18n/catalogue.h"
#include "panel/adding.h"
#include "platform/memory.h"
#include "platform/process.h"
#include "run/date_text.h"
#include "run/file_ops.h"

namespace tersify {

RunController::RunController(RunEnvironment env, RunState& state, FilesPanel& panel, SourceView& view,
                             RunWindow* window)
    : env_(std::move(env)), state_(state), panel_(panel), view_(view), window_(window) {}

std::string RunController::Text(const char* key) const { return env_.catalogue.Text(key); }

void RunController::Show(const char* key, MessageKind kind) { ShowMessageBox(env_.ui, Text(key), kind); }

std::string RunController::ElapsedText() const {
  return ElapsedClockText(std::chrono::duration_cast<std::chrono::milliseconds>(now() - state_.startTime));
}

void RunController::SetCancelButton(CancelRole role) {
  cancelRole_ = role;
  if (window_) window_->SetCancelButton(Text(role == CancelRole::Break ? "const_break" : "const_cancel"), true, role);
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
  view_.visible = false;
  SetCancelButton(CancelRole::Break);
  state_.BusyState = Busy::Opt;
  state_.cancelRequested = state_.cancelConfirmed = false;
  state_.clockRunning = true;
  state_.startTime = now();
  if (window_) window_->SetClock(ElapsedClockText(std::chrono::milliseconds(0)));

  RunEnd end;
  try {
    end = OptimizeTickedFiles();
  } catch (const std::exception&) {
    end = RunEnd::Failed;
  }
  platform::ReturnFreedMemory();  // the pages' buffers are not needed between runs
  if (end == RunEnd::Failed) {
    Show("const_opt_error", MessageKind::Error);
    ResetRunControls(true);
    if (window_) window_->Close();
    return end;
  }
  lastElapsed_ = ElapsedText();
  ResetRunControls(false);
  if (fromWindow && window_)
    ShowRunResults();
  else if (s.cbShowEnd)
    Show("const_opt_finished", MessageKind::Information);
  return end;
}

RunEnd RunController::OptimizeTickedFiles() {
  // Every row is a candidate: its tick is looked at when its turn comes, as
  // ticks may change while the run lets events through.
  BatchRequest request;
  request.stopAtFailure = true;
  // The pages go one at a time (ticks may change as the run goes on); a large
  // one may use every core.
  request.jobs = static_cast<int>(platform::ProcessorCount());
  for (const PanelRow& row : panel_.rows()) request.sources.push_back(row.FullPath());
  BatchHooks hooks;
  hooks.stop = [this] { return CheckCancel(); };
  hooks.current = [this](std::size_t i) -> std::optional<std::string> {
    // Rows may go away while the run lets events through.
    if (i >= panel_.size() || !panel_.rows()[i].checked) return std::nullopt;
    return panel_.rows()[i].FullPath();
  };
  // A page that is not text is named and passed by; the run goes on.
  hooks.placed = [this](const PageOutcome& page, std::size_t, std::int64_t) {
    if (page.outcome.status == FileOutcome::Status::NotText)
      ShowMessageBox(env_.ui, page.source + ": " + page.outcome.failure, MessageKind::Error);
  };
  BatchResult result = RunBatch(request, env_, state_, hooks);
  if (result.end != RunEnd::Completed) return result.end;
  view_.butSaveFile = false;
  view_.visible = true;
  view_.ResetSourceView(env_.catalogue);
  panel_.selected.reset();
  if (window_) window_->SetStartButton(Text("const_Start"), true);
  SetCancelButton(cancelRole_);
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
  if (cancelRole_ == CancelRole::Break)
    state_.cancelRequested = true;
  else
    window_->Close();
}

void RunController::EscapeInWindow() {
  if (window_ && cancelRole_ == CancelRole::Break) CancelClick();
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
  SetCancelButton(CancelRole::Close);
  if (state_.BusyState == Busy::Opt) state_.BusyState = Busy::None;
}

void RunController::ResetRunControls(bool failed) {
  state_.clockRunning = false;
  view_.visible = true;
  if (window_) {
    window_->SetStatus(Text("const_ready_foropt"));
    window_->SetStartButton(Text("const_Start"), true);
  }
  SetCancelButton(CancelRole::Close);
  if (window_) window_->SetClock(std::string());
  state_.backUpLastEnabled = LastRunUndoable(env_.settings, failed);
  if (state_.BusyState == Busy::Opt) state_.BusyState = Busy::None;
  panel_.RefreshPanel(Ctx());
}

}  // namespace tersify
