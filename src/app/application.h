// The desktop program: its windows, the state they show and the start-up
// and shutdown sequences.
#pragma once

#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/run_controller.h"
#include "i18n/catalogue.h"
#include "panel/files_panel.h"
#include "panel/source_view.h"
#include "platform/locale.h"
#include "run/run_state.h"
#include "settings/options_dialog.h"
#include "settings/startup.h"

namespace tersify::ui {
class FileChooser;
class QtInteraction;
class QtWindow;
class TfrmAbout;
class TfrmMain;
class TfrmOptions;
class TfrmReplaceDlg;
class TfrmReport;
class TfrmTagReplaceDlg;
}  // namespace tersify::ui

namespace tersify {

inline constexpr const char* kVersionText = "2.0";

// Where the program's files lie. A portable copy has all four folders equal
// to the executable's folder; an installed one keeps its writable files in
// the user's folders and reads its shipped files from the installation.
// Every folder ends with a separator.
struct ProgramPlace {
  std::string programFolder;   // the executable's folder
  std::string configFolder;    // Options.dat, the tag tables, Default.lst
  std::string dataFolder;      // holds the default "optimized" and "backup" folders
  std::string resourceFolder;  // Deflan.dat, the language files, help
  std::string systemFolder;    // without a trailing separator
  std::string browser;         // default browser, full path
  std::string editor;          // default external editor, full path
};

// Where the program lies: the executable's folder, or TERSIFY_PROGRAM_FOLDER
// when set (the tests run in temporary folders); the folder layout is chosen
// here once and the user's folders of an installed copy are created.
ProgramPlace LocateProgram(const std::string& executablePath);

// The manual in the resource folder: help/tfy-NAME.html when the language
// file NAME.lng is chosen and that page exists; else help\tfy.chm on Windows
// when it exists, else help/tfy.html.
std::string HelpFilePath(const std::string& resourceFolder, const std::string& languageFile = {});

// Starts a program with one argument and a working folder, without a shell.
using ProgramStarter =
    std::function<bool(const std::string& program, const std::string& argument, const std::string& workingFolder)>;

class Application {
 public:
  // `user` and `chooser` default to the real dialogs; tests pass their own.
  Application(ProgramPlace place, QStringList arguments, UserInteraction* user = nullptr,
              ui::FileChooser* chooser = nullptr);
  ~Application();

  ui::TfrmMain& main() { return *frmMain_; }
  ui::TfrmOptions& options() { return *frmOptions_; }
  ui::TfrmAbout& about() { return *frmAbout_; }
  ui::TfrmTagReplaceDlg& tagDialog() { return *frmTagReplaceDlg_; }
  ui::TfrmReport& report() { return *frmReport_; }
  ui::TfrmReplaceDlg& replaceDialog() { return *frmReplaceDlg_; }
  OptimizationSettings& settings() { return settings_; }
  TagTables& tables() { return tables_; }
  const MessageCatalogue& catalogue() const { return catalogue_; }
  UserInteraction& user() { return *user_; }
  const std::string& programFolder() const { return place_.programFolder; }
  const ProgramPlace& place() const { return place_; }

  // How outside programs (browser, editor, help viewer) are started;
  // platform::StartProgram unless a test replaces it.
  ProgramStarter startProgram;
  FilesPanel& panel() { return panel_; }
  SourceView& view() { return view_; }
  RunState& runState() { return runState_; }
  RunController& run() { return *run_; }
  PanelContext Ctx() { return {settings_, catalogue_, *panelUser_}; }

  // Shows the panel's rows, the source view and the sort marks as they stand.
  void ShowPanel();
  void ShowView();
  void MarkSortMenus();

  // The start-up sequence, run at the main window's first showing.
  void StartUp();
  // The shutdown sequence, run when the main window closes.
  void ShutDown();
  // Applies the language in edLan (or Deflan.dat) to every window.
  bool ApplyLanguage();
  // The windows in the order in which languages are applied.
  std::vector<ui::QtWindow*> translatableWindows();

  // Set when the screen check failed; the program then ends.
  bool screenTooSmall() const { return screenTooSmall_; }

 private:
  void ConnectCommands();
  void ConnectPanelCommands();
  void ConnectViewCommands();
  void AfterCommand();
  // Before a box (`box`) or a pause of a long step: the panel shows its rows
  // as they stand; at a pause only when their number changed.
  void ShowBeforeBlocking(bool box);
  void SortBy(int column);
  void StartProgram(const std::string& program, const std::string& path);
  void OpenHelp();
  bool TagAdd(TagDialogMode mode, const std::string& from, const std::string& to);
  void StartUpWork();
  void CheckScreen();

  ProgramPlace place_;
  QStringList arguments_;
  OptimizationSettings settings_;
  TagTables tables_;
  MessageCatalogue catalogue_;
  // The system's ANSI code page: language files are read in it, and pages
  // are lower-cased by it when tags are matched.
  const CodePage codePage_ = platform::AnsiCodePage();
  std::unique_ptr<ui::QtInteraction> ownUser_;
  std::unique_ptr<UserInteraction> panelUser_;
  std::unique_ptr<UserInteraction> runUser_;
  std::unique_ptr<ui::FileChooser> ownChooser_;
  UserInteraction* user_ = nullptr;
  ui::FileChooser* chooser_ = nullptr;
  std::unique_ptr<OptionsDialogModel> model_;
  FilesPanel panel_;
  SourceView view_;
  RunState runState_;
  std::unique_ptr<RunWindow> runWindow_;
  std::unique_ptr<RunController> run_;
  bool showing_ = false;

  // Created in this order; the main window owns none of the others.
  std::unique_ptr<ui::TfrmMain> frmMain_;
  std::unique_ptr<ui::TfrmOptions> frmOptions_;
  std::unique_ptr<ui::TfrmAbout> frmAbout_;
  std::unique_ptr<ui::TfrmTagReplaceDlg> frmTagReplaceDlg_;
  std::unique_ptr<ui::TfrmReport> frmReport_;
  std::unique_ptr<ui::TfrmReplaceDlg> frmReplaceDlg_;
  // The language side of each window.
  struct LanguageWindows {
    std::unique_ptr<ui::QtWindow> about, main, options, replaceDlg, report, tagReplaceDlg;
  };
  LanguageWindows languageOf_;
  bool started_ = false;
  bool shutDown_ = false;
  bool screenTooSmall_ = false;
};

}  // namespace tersify
