#include "app/application.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QToolButton>
#include <cstdlib>
#include <exception>

#include "i18n/language.h"
#include "panel/adding.h"
#include "panel/files_panel.h"
#include "platform/install_layout.h"
#include "platform/locale.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "settings/options_file.h"
#include "ui/about_dialog.h"
#include "ui/file_chooser.h"
#include "ui/main_window.h"
#include "ui/options_dialog.h"
#include "ui/qt_interaction.h"
#include "ui/replace_dialog.h"
#include "ui/report_window.h"
#include "ui/tag_dialog.h"
#include "ui/text.h"
#include "ui/translatable.h"
#include "ui/widgets.h"

namespace tersify {

using ui::FromQ;
using ui::MainButton;
using ui::MainItem;
using ui::ToQ;

namespace {

// The run's window: the progress and results window.
class ReportWindow : public RunWindow {
 public:
  explicit ReportWindow(ui::TfrmReport& w) : w_(w) {}
  void ShowFirstPage(const std::string& caption) override {
    w_.ShowPage(0);
    w_.setWindowTitle(ui::OneLine(ToQ(caption)));
  }
  void SetCounts(const std::string& fcount, const std::string& filessize) override {
    w_.SetCounts(ToQ(fcount), ToQ(filessize));
  }
  void SetDestination(const std::string& comment, const std::string& destination) override {
    w_.SetDestination(ToQ(comment), ToQ(destination));
  }
  void SetStatus(const std::string& text) override { w_.SetStatus(ToQ(text)); }
  void SetClock(const std::string& text) override { w_.SetClock(ToQ(text)); }
  void SetStartButton(const std::string& caption, bool enabled) override {
    w_.SetStartCaption(ToQ(caption));
    w_.SetStartEnabled(enabled);
  }
  void SetCancelButton(const std::string& caption, bool enabled, CancelRole role) override {
    w_.SetCancelCaption(ToQ(caption), role == CancelRole::Break);
    w_.cancelButton()->setEnabled(enabled);
  }
  void ShowResults(const RunResultsView& r) override {
    w_.setWindowTitle(ui::OneLine(ToQ(r.caption)));
    w_.SetResults(ToQ(r.fdone), ToQ(r.deleted), ToQ(r.midk), ToQ(r.mk), ToQ(r.elapsed));
    w_.ShowPage(1);
  }
  void Open() override {
    w_.show();
    w_.raise();
  }
  void Close() override { w_.close(); }

 private:
  ui::TfrmReport& w_;
};

std::string WithSeparator(std::string folder) {
  if (folder.empty() || folder.back() != PathSeparator()) folder.push_back(PathSeparator());
  return folder;
}

// A user that first brings the screen up to date: before every box, question
// and input box (`box` true) and at every pause of a long step (`box` false),
// so no window shows a stale state while the user is asked or waits.
class ShowingUser : public UserInteraction {
 public:
  ShowingUser(UserInteraction& inner, std::function<void(bool box)> sync) : inner_(inner), sync_(std::move(sync)) {}
  void MessageBox(const std::string& text, MessageKind kind) override {
    sync_(true);
    inner_.MessageBox(text, kind);
  }
  Answer Question(const std::string& text, MessageKind kind, QuestionButtons buttons) override {
    sync_(true);
    return inner_.Question(text, kind, buttons);
  }
  std::optional<OverwriteChoice> AskOverwrite(const OverwriteQuestion& question) override {
    sync_(true);
    return inner_.AskOverwrite(question);
  }
  std::optional<std::string> InputBox(const std::string& title, const std::string& prompt,
                                      const std::string& value) override {
    sync_(true);
    return inner_.InputBox(title, prompt, value);
  }
  void ProcessPendingEvents() override {
    sync_(false);
    inner_.ProcessPendingEvents();
  }

 private:
  UserInteraction& inner_;
  std::function<void(bool)> sync_;
};

}  // namespace

std::string HelpFilePath(const std::string& resourceFolder, const std::string& languageFile) {
  // The manual in the chosen language: help/tfy-NAME.html for NAME.lng.
  QFileInfo language(ToQ(languageFile));
  if (!languageFile.empty() && language.suffix().compare("lng", Qt::CaseInsensitive) == 0) {
    std::string page =
        resourceFolder + "help" + PathSeparator() + "tfy-" + FromQ(language.completeBaseName()) + ".html";
    if (QFileInfo(ToQ(page)).isFile()) return page;
  }
#ifdef _WIN32
  std::string chm = resourceFolder + "help\\tfy.chm";
  if (QFileInfo::exists(ToQ(chm))) return chm;
  return resourceFolder + "help\\tfy.html";
#else
  return resourceFolder + "help/tfy.html";
#endif
}

ProgramPlace LocateProgram(const std::string& executablePath) {
  ProgramPlace place;
  // The folder is kept in its own letter case: on a case-sensitive file
  // system a lower-cased path would name another folder.
  std::string folder;
  if (const char* forced = std::getenv("TERSIFY_PROGRAM_FOLDER"); forced && *forced) {
    folder = WithSeparator(forced);
  } else {
    folder = WithSeparator(FromQ(QDir::toNativeSeparators(QFileInfo(ToQ(executablePath)).absolutePath())));
  }
  // Lower case on Windows, whose file system ignores it; kept elsewhere.
  platform::InstallLayout layout = platform::CurrentInstallLayout(platform::NormalizePathCase(folder));
  if (layout.installed) platform::CreateLayoutFolders(layout);
  place.programFolder = layout.programFolder;
  place.configFolder = layout.configFolder;
  place.dataFolder = layout.dataFolder;
  place.resourceFolder = layout.resourceFolder;
  place.systemFolder = platform::SystemFolder();
  place.browser = platform::DefaultBrowser();
  place.editor = platform::DefaultEditor();
  return place;
}

Application::Application(ProgramPlace place, QStringList arguments, UserInteraction* user, ui::FileChooser* chooser)
    : startProgram([](const std::string& program, const std::string& argument, const std::string& folder) {
        return platform::StartProgram(program, argument, folder);
      }),
      place_(std::move(place)),
      arguments_(std::move(arguments)) {
  QApplication::setApplicationName("Tersify");
  frmMain_ = std::make_unique<ui::TfrmMain>();
  if (!user) {
    ownUser_ = std::make_unique<ui::QtInteraction>(frmMain_.get(), nullptr);
    user = ownUser_.get();
  }
  if (!chooser) {
    ownChooser_ = std::make_unique<ui::QtFileChooser>();
    chooser = ownChooser_.get();
  }
  user_ = user;
  chooser_ = chooser;
  model_ = std::make_unique<OptionsDialogModel>(settings_, tables_,
                                                SettingsContext{place_.configFolder, *user_, catalogue_});
  // Every other window belongs to the main window and stays above it.
  frmOptions_ =
      std::make_unique<ui::TfrmOptions>(ui::TfrmOptions::Services{*model_, catalogue_, *chooser_}, frmMain_.get());
  frmAbout_ = std::make_unique<ui::TfrmAbout>(frmMain_.get());
  frmTagReplaceDlg_ = std::make_unique<ui::TfrmTagReplaceDlg>(frmOptions_.get());
  frmReport_ = std::make_unique<ui::TfrmReport>(frmMain_.get());
  frmReplaceDlg_ = std::make_unique<ui::TfrmReplaceDlg>(frmMain_.get());
  if (ownUser_) ownUser_->SetReplaceDialog(frmReplaceDlg_.get());

  // Windows whose controls sit at fixed places grow to the texts of the language.
  auto widened = [](QWidget* w) {
    auto window = std::make_unique<ui::QtWindow>(w);
    window->onLanguageChanged = [w] { ui::WidenToTexts(w); };
    return window;
  };
  languageOf_.about = widened(frmAbout_.get());
  languageOf_.main = std::make_unique<ui::QtWindow>(frmMain_.get());
  languageOf_.main->onLanguageChanged = [this] {
    frmMain_->RebuildFilesPanelMenu();
    // The view's hint follows the language at once while no file is shown.
    if (view_.ViewedFile.empty()) view_.hint = catalogue_.Text("const_filesrc_hint");
    ShowView();
  };
  languageOf_.options = std::make_unique<ui::QtWindow>(frmOptions_.get());
  languageOf_.replaceDlg = widened(frmReplaceDlg_.get());
  languageOf_.report = std::make_unique<ui::QtWindow>(frmReport_.get());
  languageOf_.report->onLanguageChanged = [this] { frmReport_->FitTexts(); };
  languageOf_.tagReplaceDlg = widened(frmTagReplaceDlg_.get());

  view_.codePage = codePage_;
  runWindow_ = std::make_unique<ReportWindow>(*frmReport_);
  panelUser_ = std::make_unique<ShowingUser>(*user_, [this](bool box) { ShowBeforeBlocking(box); });
  runUser_ = std::make_unique<ShowingUser>(*user_, [this](bool box) {
    frmMain_->sourceView()->parentWidget()->setVisible(view_.visible);
    ShowBeforeBlocking(box);
  });
  run_ = std::make_unique<RunController>(
      RunEnvironment{settings_, tables_.removal, tables_.replacement, catalogue_, *runUser_, codePage_}, runState_,
      panel_, view_, runWindow_.get());
  run_->mainStatus = [this](const std::string& text) { frmMain_->statusHint()->setText(ui::OneLine(ToQ(text))); };
  frmReport_->onStart = [this] {
    ui::QtInteraction::AskingWindow asking(ownUser_.get(), frmReport_.get());
    run_->StartClick();
    AfterCommand();
  };
  frmReport_->requestCancel = [this] {
    ui::QtInteraction::AskingWindow asking(ownUser_.get(), frmReport_.get());
    run_->CancelClick();
  };
  frmReport_->clockText = [this]() -> std::optional<QString> {
    run_->ClockTick();
    return std::nullopt;
  };

  ConnectCommands();
  ConnectPanelCommands();
  ConnectViewCommands();
  frmMain_->firstShown = [this] { StartUp(); };
  frmMain_->closing = [this] { ShutDown(); };
  // Closed by the system without a close event: the same saving.
  QObject::connect(qApp, &QCoreApplication::aboutToQuit, frmMain_.get(), [this] { ShutDown(); });
}

Application::~Application() = default;

std::vector<ui::QtWindow*> Application::translatableWindows() {
  return {languageOf_.about.get(),      languageOf_.main.get(),   languageOf_.options.get(),
          languageOf_.replaceDlg.get(), languageOf_.report.get(), languageOf_.tagReplaceDlg.get()};
}

bool Application::ApplyLanguage() {
  std::vector<TranslatableWindow*> list;
  for (ui::QtWindow* w : translatableWindows()) list.push_back(w);
  // Language files are in the system's ANSI code page. The English
  // Deflan.dat is plain ASCII but for one byte of code page 1251: the sign in
  // "800x600" of the screen message, which another code page would show as
  // some other letter.
  CodePage codePage = settings_.edLan.empty() ? CodePage::Cp1251 : codePage_;
  return tersify::ApplyLanguage(settings_.edLan, place_.resourceFolder, codePage, catalogue_, list, *user_);
}

void Application::ConnectCommands() {
  ui::TfrmMain& m = *frmMain_;
  auto showOptions = [this] { frmOptions_->ShowPage(0); };
  m.SetCommand(MainButton::Options, showOptions);
  m.SetCommand(MainItem::OptimizationOptions, showOptions);
  m.SetCommand(MainItem::ProgramSettings, [this] { frmOptions_->ShowPage(4); });
  auto showAbout = [this] {
    frmAbout_->show();
    frmAbout_->raise();
  };
  m.SetCommand(MainItem::About, showAbout);
  m.SetCommand(MainItem::HelpAbout, showAbout);
  auto help = [this] { OpenHelp(); };
  m.SetCommand(MainButton::Help, help);
  m.SetCommand(MainItem::Content, help);
  m.SetCommand(MainItem::HelpContent, help);
  m.SetCommand(MainButton::Quit, [this] { frmMain_->close(); });

  frmOptions_->refreshPanel = [this] {
    panel_.RefreshPanel(Ctx());
    AfterCommand();
  };
  frmOptions_->applyLanguage = [this] { ApplyLanguage(); };
  frmOptions_->languageFolder = ToQ(place_.resourceFolder + "lang");
  frmOptions_->enableOutside = [this](const std::string& name, bool enabled) {
    if (auto item = ui::MainItemNamed(name)) frmMain_->item(*item)->setEnabled(enabled);
  };
  frmOptions_->addTag = [this](bool replacement) {
    frmTagReplaceDlg_->ShowFor(ToQ(catalogue_.Text(replacement ? "const_rep_cap" : "const_del_cap")),
                               replacement ? TagDialogMode::Replacement : TagDialogMode::Removal);
  };
  frmTagReplaceDlg_->add = [this](TagDialogMode mode, const std::string& from, const std::string& to) {
    return TagAdd(mode, from, to);
  };
}

bool Application::TagAdd(TagDialogMode mode, const std::string& from, const std::string& to) {
  ui::QtInteraction::AskingWindow asking(ownUser_.get(), frmTagReplaceDlg_.get());
  TagAddResult result = model_->AddTag(mode, from, to);
  if (result == TagAddResult::Cycle) frmTagReplaceDlg_->ClearFields();
  frmOptions_->ShowTagTables();
  return result == TagAddResult::Added;
}

void Application::OpenHelp() {
  // Opened by the system's viewer; a missing file gives no message.
  std::string file = HelpFilePath(place_.resourceFolder, settings_.edLan);
  if (!QFileInfo::exists(ToQ(file))) return;
#ifdef _WIN32
  std::string viewer = QFileInfo(ToQ(file)).suffix() == "chm" ? place_.systemFolder + "\\hh.exe" : place_.browser;
#else
  std::string viewer = place_.browser;
#endif
  startProgram(viewer, file, place_.resourceFolder);
}

void Application::StartUp() {
  if (started_) return;
  started_ = true;
  // A failure ends the start-up work where it happens; the program goes on
  // and the screen is still checked.
  try {
    StartUpWork();
  } catch (const std::exception&) {
    ShowMessageBox(*user_, catalogue_.Text("const_init_error"), MessageKind::Error);
  }
  CheckScreen();
}

void Application::StartUpWork() {
  frmMain_->setWindowTitle(QString("Tersify v.") + kVersionText);
  frmAbout_->SetVersion(kVersionText);
  if (auto stored = ReadStoredLanguage(place_.configFolder)) settings_.edLan = *stored;
  ApplyLanguage();

  // The default output and backup folders lie in the data folder, which is
  // the program's own folder for a portable copy.
  StartupEnvironment env{place_.dataFolder, place_.systemFolder, place_.browser, "notepad.exe"};
  std::string language = settings_.edLan;
  settings_ = StartupSettings(env);
  settings_.edExtEditor = place_.editor;
  settings_.edLan = language;
  model_->enabling().UpdateSaveModeControls(settings_);
  CreateStartupFolders(settings_);
  tables_ = StartupTagTables();
  LoadOptions(SettingsContext{place_.configFolder, *user_, catalogue_}, settings_, tables_, &model_->enabling());
  frmOptions_->ShowSettings();
  panel_.SetSortColumnValue(settings_.column_sort);
  MarkSortMenus();
  if (!arguments_.isEmpty()) {
    for (const QString& a : arguments_) AddFromCommandLine(panel_, FromQ(a), Ctx());
  } else if (settings_.cbSaveNopen) {
    LoadFileList(panel_, place_.configFolder + "Default.lst", Ctx());
  }
  panel_.RefreshPanel(Ctx());
  AfterCommand();
  frmMain_->SetSplitterPercent(settings_.splitter);
  // A width below what the header lets a user drag to comes from a
  // hand-edited file and would hide the column: the default stands instead.
  const OptimizationSettings defaults;
  const int narrowest = frmMain_->filesList()->horizontalHeader()->minimumSectionSize();
  for (std::size_t i = 0; i < 6; ++i) {
    const int width = settings_.col[i] >= narrowest ? settings_.col[i] : defaults.col[i];
    frmMain_->filesList()->setColumnWidth(static_cast<int>(i), width);
  }
  model_->Validate();
}

void Application::CheckScreen() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen && screen->geometry().width() < 800) {
    screenTooSmall_ = true;
    ShowMessageBox(*user_, catalogue_.Text("const_resolution"), MessageKind::Error);
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
  }
}

void Application::ShutDown() {
  if (shutDown_ || !started_) return;
  shutDown_ = true;
  try {
    settings_.splitter = frmMain_->SplitterPercent();
    // The last column stretches to the window's edge; its stored width stays.
    for (int i = 0; i < 5; ++i) settings_.col[static_cast<size_t>(i)] = frmMain_->filesList()->columnWidth(i);
    settings_.column_sort = panel_.sortColumn();
    SaveOptions(SettingsContext{place_.configFolder, *user_, catalogue_}, settings_, tables_);
    frmMain_->setAcceptDrops(false);
    frmMain_->filesList()->clearSelection();
    panel_.selected.reset();
    if (settings_.cbSaveNopen) SaveFileList(panel_, place_.configFolder + "Default.lst");
  } catch (const std::exception&) {
    ShowMessageBox(*user_, catalogue_.Text("const_exit_error"), MessageKind::Error);
  }
  for (QWidget* w :
       std::initializer_list<QWidget*>{frmOptions_.get(), frmAbout_.get(), frmTagReplaceDlg_.get(), frmReport_.get()})
    w->hide();
  QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

}  // namespace tersify
