// Shared pieces of the run and panel tests: an English
// catalogue, a simple stand-in optimizer and a recording run window.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/run_controller.h"
#include "app/run_window.h"
#include "engine/engine.h"
#include "i18n/catalogue.h"
#include "i18n/language_file.h"
#include "panel/files_panel.h"
#include "panel/source_view.h"
#include "settings/options.h"
#include "support/scripted_interaction.h"
#include "support/temp_folder.h"

namespace tersify::testing {

namespace fs = std::filesystem;

inline std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

// The names in a folder, temporaries included, sorted; the run record, which
// its own tests look at, left out.
inline std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec))
    if (e.path().filename() != ".tersify-record") names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The English texts, from the default language file.
inline MessageCatalogue EnglishCatalogue() {
  auto file = LanguageFile::Load(TERSIFY_SOURCE_DIR "/lang/Deflan.dat", CodePage::Cp1252);
  return MessageCatalogue(std::make_shared<LanguageFile>(file ? std::move(*file) : LanguageFile()));
}

// Stands in for the passes: removes every blank, with the four cancel checks.
inline OptimizeResult DropBlanks(std::string& text, const EngineContext& ctx) {
  for (int i = 0; i < 4; ++i)
    if (ctx.checkCancel && ctx.checkCancel()) return OptimizeResult::Cancelled;
  std::string out;
  for (char c : text)
    if (c != ' ') out += c;
  text = out;
  return OptimizeResult::Done;
}

// What a run with DropBlanks writes for a file of these bytes.
inline std::string WithoutBlanks(const std::string& original) {
  std::string text = LoadDocumentText(original);
  std::string out;
  for (char c : text)
    if (c != ' ') out += c;
  return SaveDocumentText(out, LineBreaksOf(original));
}

class FakeRunWindow : public RunWindow {
 public:
  std::string caption, fcount, filessize, comment, destination, status, clock, startCaption, cancelCaption;
  bool startEnabled = true, open = false, resultsShown = false;
  int opened = 0, closed = 0;
  RunResultsView results;

  void ShowFirstPage(const std::string& c) override {
    caption = c;
    resultsShown = false;
  }
  void SetCounts(const std::string& f, const std::string& s) override {
    fcount = f;
    filessize = s;
  }
  void SetDestination(const std::string& c, const std::string& d) override {
    comment = c;
    destination = d;
  }
  void SetStatus(const std::string& t) override { status = t; }
  void SetClock(const std::string& t) override { clock = t; }
  void SetStartButton(const std::string& c, bool e) override {
    startCaption = c;
    startEnabled = e;
  }
  void SetCancelButton(const std::string& c, bool, CancelRole) override { cancelCaption = c; }
  void ShowResults(const RunResultsView& r) override {
    results = r;
    caption = r.caption;
    resultsShown = true;
  }
  void Open() override {
    open = true;
    ++opened;
  }
  void Close() override {
    open = false;
    ++closed;
  }
};

// Everything a run needs, over a temporary folder.
struct RunHarness {
  TempFolder tmp;
  OptimizationSettings settings;
  TagRemovalTable removal;
  TagReplacementTable replacement;
  MessageCatalogue catalogue = EnglishCatalogue();
  ScriptedInteraction ui;
  RunState state;
  FilesPanel panel;
  SourceView view;
  FakeRunWindow window;
  DocumentOptimizer optimizer = DropBlanks;

  RunHarness() {
    settings.edOptimizedPath = tmp.Folder("optimized");
    settings.edBackUpPath = tmp.Folder("backup");
    settings.cbShowOptWin = false;
    settings.cbShowConf = false;
    settings.cbShowEnd = false;
  }
  void ModifySources(bool backups) {
    settings.radModifyOld = true;
    settings.cbSaveBefMod = backups;
  }
  PanelContext Ctx() { return {settings, catalogue, ui}; }
  RunEnvironment Env() {
    return RunEnvironment{settings, removal, replacement, catalogue, ui, CodePage::Cp1252, optimizer};
  }
  RunController Controller(bool withWindow = false) {
    return RunController(Env(), state, panel, view, withWindow ? &window : nullptr);
  }
  std::string AddSource(const std::string& rel, const std::string& bytes) {
    std::string p = tmp.Write(rel, bytes);
    panel.AddFileRow(p, Ctx());
    return p;
  }
};

}  // namespace tersify::testing
