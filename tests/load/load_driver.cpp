// A batch run over a folder tree through the run core, as a front-end without
// windows would drive it: every HTML file under the given folder (with its
// sub-folders) into the panel, then one run. Prints one line of figures:
// files, bytes before and after, the run's end, its time, the number of event
// checkpoints and the longest time between two checkpoints.
//
//   load_driver copies OUTPUT_FOLDER TREE
//   load_driver modify BACKUP_FOLDER TREE
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>

#include "app/run_controller.h"
#include "i18n/catalogue.h"
#include "i18n/language_file.h"
#include "panel/adding.h"
#include "panel/files_panel.h"
#include "panel/source_view.h"
#include "settings/tag_tables.h"

namespace {

using Clock = std::chrono::steady_clock;

class DriverInteraction : public tersify::UserInteraction {
 public:
  long long checkpoints = 0;
  Clock::duration longestGap{};
  Clock::time_point last = Clock::now();
  int messages = 0;

  void MessageBox(const std::string& text, tersify::MessageKind) override {
    ++messages;
    std::cerr << "message: " << text << "\n";
  }
  tersify::Answer Question(const std::string& text, tersify::MessageKind, tersify::QuestionButtons) override {
    std::cerr << "question: " << text << "\n";
    return tersify::Answer::Yes;
  }
  std::optional<tersify::OverwriteChoice> AskOverwrite(const tersify::OverwriteQuestion&) override {
    return tersify::OverwriteChoice::OverwriteAll;
  }
  std::optional<std::string> InputBox(const std::string&, const std::string&, const std::string&) override {
    return std::nullopt;
  }
  void ProcessPendingEvents() override {
    auto now = Clock::now();
    if (checkpoints > 0 && now - last > longestGap) longestGap = now - last;
    last = now;
    ++checkpoints;
  }
};

long long Ms(Clock::duration d) { return std::chrono::duration_cast<std::chrono::milliseconds>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
  using namespace tersify;
  if (argc != 4 || (std::string(argv[1]) != "copies" && std::string(argv[1]) != "modify")) {
    std::cerr << "usage: load_driver copies|modify FOLDER TREE\n";
    return 2;
  }
  const bool modify = std::string(argv[1]) == "modify";
  std::string folder = argv[2];
  if (folder.back() != '/') folder += '/';
  std::string tree = argv[3];

  OptimizationSettings s;
  s.radModifyOld = modify;
  s.cbSaveBefMod = modify;
  (modify ? s.edBackUpPath : s.edOptimizedPath) = folder;
  s.cbShowOptWin = s.cbShowConf = s.cbShowEnd = false;
  s.cbProcessEmbeded = true;
  s.cbMaxEmbCount = false;
  s.cbMaxFCount = false;
  TagTables tables = BuiltInTagTables();
  TickDefaultEntries(tables);
  auto file = LanguageFile::Load(TERSIFY_SOURCE_DIR "/lang/Deflan.dat", CodePage::Cp1252);
  if (!file) {
    std::cerr << "no language file\n";
    return 2;
  }
  MessageCatalogue catalogue(std::make_shared<LanguageFile>(std::move(*file)));
  DriverInteraction ui;
  RunState state;
  FilesPanel panel;
  SourceView view;
  PanelContext ctx{s, catalogue, ui};

  auto t0 = Clock::now();
  AddFolder(panel, view, state, &tree, ctx);
  auto t1 = Clock::now();
  RunController run(RunEnvironment{s, tables.removal, tables.replacement, catalogue, ui}, state, panel, view, nullptr);
  ui.checkpoints = 0;
  ui.longestGap = {};
  RunEnd end = run.RunOptimization(false);
  auto t2 = Clock::now();
  const char* endText = end == RunEnd::Completed ? "completed" : end == RunEnd::Cancelled ? "cancelled" : "failed";
  std::printf(
      "files=%zu processed=%zu before=%lld after=%lld end=%s walk_ms=%lld run_ms=%lld checkpoints=%lld "
      "longest_gap_ms=%lld messages=%d\n",
      panel.size(), state.LastRunFiles.size(), static_cast<long long>(state.stats.totalBefore),
      static_cast<long long>(state.stats.totalAfter), endText, Ms(t1 - t0), Ms(t2 - t1), ui.checkpoints,
      Ms(ui.longestGap), ui.messages);
  return end == RunEnd::Completed && ui.messages == 0 ? 0 : 1;
}
