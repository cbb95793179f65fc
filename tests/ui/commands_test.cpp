// The main window's commands driven through its real widgets: adding files,
// drops, the source view, Esc, the run with its window, the options dialog's
// choosers and the outside programs.
#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <cstdlib>

#include "ui/about_dialog.h"
#include "ui/file_chooser.h"
#include "ui/main_window.h"
#include "ui/options_dialog.h"
#include "ui/program_fixture.h"
#include "ui/replace_dialog.h"
#include "ui/report_window.h"

using tersify::Answer;
using tersify::Busy;
using tersify::testing::Program;
using tersify::testing::ReadFile;
using tersify::testing::ScriptedInteraction;
using tersify::testing::WriteFile;

namespace {

std::vector<std::string> Questions(const ScriptedInteraction& user) {
  std::vector<std::string> out;
  for (const auto& s : user.shown)
    if (s.type == ScriptedInteraction::Shown::Type::Question) out.push_back(s.text);
  return out;
}

void Drop(Program& p, const QStringList& files, QPoint at) {
  auto* data = new QMimeData;
  QList<QUrl> urls;
  for (const QString& f : files) urls << QUrl::fromLocalFile(f);
  data->setUrls(urls);
  QDropEvent drop(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
  // Straight to the window's handler, as the desktop shell's drop reaches it.
  static_cast<QObject*>(&p.app->main())->event(&drop);
  delete data;
}

QWidget* ViewPane(Program& p) { return p.app->main().sourceView()->parentWidget(); }

// Three pages whose optimized copies are 10 % and 20 % smaller and 5 % larger:
// leading blanks are trimmed, and LF line ends are written as CR LF.
void WriteRatioPages(Program& p) {
  WriteFile(p.Path("a.html"), std::string(10, ' ') + std::string(88, 'a') + "\r\n");
  WriteFile(p.Path("b.html"), std::string(20, ' ') + std::string(78, 'b') + "\r\n");
  std::string grows;
  for (int i = 0; i < 5; ++i) grows += "abcdefghijklmnopqrs\r";  // lone CR breaks grow to CR LF
  WriteFile(p.Path("c.html"), grows);
}

}  // namespace

class CommandsTest : public QObject {
  Q_OBJECT
 private slots:
  // Every button and menu item of the main window carries a command, and
  // every named one is among them (the " &Files panel" copies by their popup
  // item's name); items that only hold a menu carry none.
  void everyControlCarriesACommand() {
    using namespace tersify::ui;
    Program p;
    p.Start();
    TfrmMain& m = p.app->main();
    for (std::size_t i = 0; i < kMainItemCount; ++i) {
      const auto item = static_cast<MainItem>(i);
      QVERIFY2(m.HasCommand(item), ObjectName(item));
      QCOMPARE(m.findChild<QAction*>(ObjectName(item)), m.item(item));
    }
    for (std::size_t i = 0; i < kMainButtonCount; ++i) {
      const auto button = static_cast<MainButton>(i);
      QVERIFY2(m.HasCommand(button), ObjectName(button));
      QCOMPARE(m.findChild<QToolButton*>(ObjectName(button)), m.button(button));
    }
    int copies = 0;
    for (QAction* a : m.findChildren<QAction*>()) {
      QString name = a->objectName();
      if (a->menu() || a->isSeparator() ||
          !(name.startsWith("menu") || name.startsWith("sort") || name.startsWith("main")))
        continue;
      if (name.startsWith("main")) name.remove(0, 4), ++copies;
      QVERIFY2(MainItemNamed(name.toStdString()), qPrintable(a->objectName()));
    }
    QCOMPARE(copies, 16);  // the popup's ten commands and its six sort items
    for (QToolButton* b : m.findChildren<QToolButton*>()) {
      if (b->window() != &m || !b->objectName().startsWith("but")) continue;
      bool known = false;
      for (std::size_t i = 0; i < kMainButtonCount; ++i) known |= m.button(static_cast<MainButton>(i)) == b;
      QVERIFY2(known, qPrintable(b->objectName()));
    }
  }

  void filesCommandAsksTheRestrictionQuestion() {
    Program p;
    p.Start();
    QStringList files;
    for (const char* name : {"a.html", "b.html", "c.htm"}) {
      WriteFile(p.Path(name), "<p>x</p>\r\n");
      files << p.Path(name);
    }
    p.app->settings().cbMaxFCount = true;
    p.app->settings().edMaxFCount = "2";
    p.chooser.files = files;
    p.user.answers = {Answer::Yes};
    p.button("butFiles")->click();
    QCOMPARE(Questions(p.user).size(), size_t(1));
    QCOMPARE(Questions(p.user)[0],
             std::string("There are 3 files for adding to files panel. You have set files count restriction ( 2 "
                         "files ) to files panel. Restrict files count for adding?"));
    QCOMPARE(p.list()->rowCount(), 2);
    // No: every chosen file comes in, replacing the rows.
    p.user.answers = {Answer::No};
    p.action("menuSelectFiles")->trigger();
    QCOMPARE(p.list()->rowCount(), 3);
    QCOMPARE(p.app->main().statusCounts()->text(), QString("Files: 3   Selected: 3"));
    // Cancelling the dialog keeps the rows.
    p.chooser.files.clear();
    p.button("butFiles")->click();
    QCOMPARE(p.list()->rowCount(), 3);
  }

  void dropInsideAndOutsideThePanel() {
    Program p;
    p.Start();
    WriteFile(p.Path("page.html"), "<p>x</p>\r\n");
    WriteFile(p.Path("notes.txt"), "x\r\n");
    p.app->main().resize(798, 570);
    p.app->main().show();
    QTableWidget* list = p.list();
    QPoint inside = list->mapTo(&p.app->main(), list->rect().center());
    Drop(p, {p.Path("page.html"), p.Path("notes.txt")}, inside);
    QCOMPARE(p.list()->rowCount(), 1);
    QCOMPARE(p.list()->item(0, 0)->text(), QString("page.html"));
    QCOMPARE(p.user.Messages(), std::vector<std::string>{"\rWrong file format"});
    // On the toolbar: a warning and nothing added.
    WriteFile(p.Path("other.html"), "<p>y</p>\r\n");
    Drop(p, {p.Path("other.html")}, QPoint(5, 5));
    QCOMPARE(p.list()->rowCount(), 1);
    QCOMPARE(p.user.Messages().back(), std::string("\rYou should drop files under files panel"));
    // The panel's own edge counts as inside.
    QPoint corner = list->mapTo(&p.app->main(), QPoint(0, 0));
    Drop(p, {p.Path("other.html")}, corner);
    QCOMPARE(p.list()->rowCount(), 2);
  }

  void deleteOnTheViewedRowOffersToSaveAndEmptiesTheView() {
    Program p;
    WriteFile(p.Path("a.html"), "<p>a</p>\r\n");
    WriteFile(p.Path("b.html"), "<p>b</p>\r\n");
    p.Start({p.Path("a.html"), p.Path("b.html")});
    p.app->main().show();
    QVERIFY(QTest::qWaitForWindowActive(&p.app->main()));
    p.list()->setCurrentCell(0, 0);
    QVERIFY(p.button("butViewUnZipped")->isEnabled());
    p.button("butViewUnZipped")->click();
    QPlainTextEdit* memo = p.app->main().sourceView();
    QCOMPARE(memo->toPlainText(), QString("<p>a</p>\n"));
    QVERIFY(!memo->isReadOnly());
    memo->setPlainText("<p>changed</p>\n");
    QVERIFY(p.button("butSaveFile")->isEnabled());
    p.user.answers = {Answer::No};
    p.list()->setFocus();
    QTest::keyClick(p.list(), Qt::Key_Delete);
    QCOMPARE(Questions(p.user), std::vector<std::string>{"Save changes to\r\n < " + p.PathS("a.html") + " >  ?"});
    QCOMPARE(p.list()->rowCount(), 1);
    QCOMPARE(p.list()->item(0, 0)->text(), QString("b.html"));
    QCOMPARE(memo->toPlainText(), QString());
    QVERIFY(memo->isReadOnly());
    QCOMPARE(memo->toolTip(), QString("File source"));
    QVERIFY(!p.button("butSaveFile")->isEnabled());
    QCOMPARE(ReadFile(p.Path("a.html")), std::string("<p>a</p>\r\n"));  // No kept the file
  }

  void insertKeyHintsResizeSplitterAndRepaint() {
    Program p;
    WriteFile(p.Path("a.html"), "<p>a</p>\r\n");
    WriteFile(p.Path("b.html"), "<p>bb</p>\r\n");
    WriteFile(p.Path("Options.dat"), "[settings]\r\nsplitter=40\r\n");
    p.Start({p.Path("a.html")});
    tersify::ui::TfrmMain& m = p.app->main();
    m.resize(798, 570);
    m.show();
    QVERIFY(QTest::qWaitForWindowActive(&m));
    // The stored splitter share, within a percent of rounding.
    QVERIFY2(std::abs(m.SplitterPercent() - 40) <= 1, qPrintable(QString::number(m.SplitterPercent())));
    // Insert in the files panel adds one chosen file.
    p.chooser.files = {p.Path("b.html")};
    p.list()->setFocus();
    QTest::keyClick(p.list(), Qt::Key_Insert);
    QCOMPARE(p.chooser.calls, 1);
    QCOMPARE(p.list()->rowCount(), 2);
    QCOMPARE(m.statusCounts()->text(), QString("Files: 2   Selected: 2"));
    // Insert elsewhere does nothing.
    m.sourceView()->setFocus();
    QTest::keyClick(m.sourceView(), Qt::Key_Insert);
    QCOMPARE(p.chooser.calls, 1);
    // A control's hint goes to the first panel of the status bar.
    QStatusTipEvent tip(m.findChild<QToolButton*>("butQuit")->statusTip());
    QCoreApplication::sendEvent(m.findChild<QToolButton*>("butQuit"), &tip);
    QCOMPARE(m.statusHint()->text(), QString("Quit from the program"));
    // The stretching gap keeps Help and Quit at the right edge, never below 0.
    m.resize(900, 570);
    QCOMPARE(m.toolbarGap()->maximumWidth(), 900 - 605);
    // Help and Quit stay at the right edge, the gap just before Help.
    QWidget* console = m.findChild<QToolButton*>("butQuit")->parentWidget();
    QTRY_COMPARE(m.findChild<QToolButton*>("butQuit")->geometry().right(), console->width() - 1 - 4);
    QVERIFY(m.toolbarGap()->width() > 200);
    QCOMPARE(m.toolbarGap()->geometry().right() + 1, m.findChild<QToolButton*>("butHelp")->geometry().left());
    // A widened window can be narrowed again: the gap does not hold it wide.
    // (The status bar's two panels, 550 and 200 wide, set the least width.)
    m.resize(790, 570);
    QCOMPARE(m.width(), 790);
    QCOMPARE(m.toolbarGap()->maximumWidth(), 790 - 605);
    m.resize(500, 570);
    QCOMPARE(m.toolbarGap()->maximumWidth(), std::max(0, m.width() - 605));
    QVERIFY(m.width() < 790);
    QTRY_VERIFY(m.toolbarGap()->width() <= std::max(0, m.width() - 605));
    // Repaint while idle re-reads the files: a vanished file leaves the panel.
    QVERIFY(QFile::remove(p.Path("b.html")));
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(&m, &activate);
    QCOMPARE(p.list()->rowCount(), 1);
    // ...but not during a folder walk or a run.
    QVERIFY(QFile::remove(p.Path("a.html")));
    p.app->runState().BusyState = Busy::Path;
    QCoreApplication::sendEvent(&m, &activate);
    QCOMPARE(p.list()->rowCount(), 1);
    p.app->runState().BusyState = Busy::None;
    // The about box shows the version and hides with Close, without blocking.
    p.action("menuAbout")->trigger();
    QVERIFY(p.app->about().isVisible());
    QVERIFY(!p.app->about().isModal());
    QCOMPARE(p.app->about().findChild<QLabel*>("labVersionNumber")->text(), QString("2.0"));
    p.app->about().findChild<QPushButton*>("butClose")->click();
    QVERIFY(!p.app->about().isVisible());
    // The options window opens on the first page, or on the fifth for the program settings.
    p.action("menuProgramSettings")->trigger();
    QCOMPARE(p.app->options().pages()->currentIndex(), 4);
    QVERIFY(!p.app->options().isModal());
    m.findChild<QToolButton*>("butOptions")->click();
    QCOMPARE(p.app->options().pages()->currentIndex(), 0);
  }

  void fileDialogsGetTheirFiltersAndTexts() {
    Program p;
    WriteFile(p.Path("a.html"), "<p>a</p>\r\n");
    p.Start({p.Path("a.html")});
    const QString html = "HTML files [ *.htm;*.html ]|*.htm;*.html";
    p.button("butFiles")->click();
    QCOMPARE(p.chooser.lastFilter, html);
    QVERIFY(p.chooser.lastMultiple);
    p.action("menuAddFile")->trigger();
    QCOMPARE(p.chooser.lastFilter, html);
    QVERIFY(!p.chooser.lastMultiple);
    p.action("menuLoadList")->trigger();
    QCOMPARE(p.chooser.lastFilter, QString("Files list [ *.lst ]|*.lst"));
    p.action("menuSaveList")->trigger();
    QCOMPARE(p.chooser.lastFilter, QString("Files list [ *.lst ]|*.lst"));
    // The folder dialog says which limits apply.
    p.app->settings().cbMaxFCount = true;
    p.app->settings().edMaxFCount = "25";
    p.app->settings().cbProcessEmbeded = true;
    p.app->settings().cbMaxEmbCount = true;
    p.app->settings().edMaxEmbCount = "2";
    p.button("butPath")->click();
    QCOMPARE(
        p.chooser.lastText,
        QString("Allowed files count in the panel is 25\r\n+ embeded folders ( max level of embeded folders - 2 )"));
    QCOMPARE(p.list()->rowCount(), 1);  // cancelled: nothing changed
    // The options' choosers: programs, language files, then HTML again.
    p.app->options().findChild<QAbstractButton*>("butExtEditor")->click();
    QCOMPARE(p.chooser.lastFilter, QString("Executables [ *.exe;*.bat ]|*.exe;*.bat"));
    p.app->options().findChild<QAbstractButton*>("butLan")->click();
    QCOMPARE(p.chooser.lastFilter, QString("Language files [ *.lng ]|*.lng"));
    p.action("menuSelectFiles")->trigger();
    QCOMPARE(p.chooser.lastFilter, html);
    // Qt's form of the filters; programs on this system have no fixed ending.
    QCOMPARE(tersify::ui::QtFilter(html), QString("HTML files [ *.htm;*.html ] (*.htm *.html)"));
#ifndef _WIN32
    QCOMPARE(tersify::ui::QtFilter("Executables [ *.exe;*.bat ]|*.exe;*.bat"),
             QString("Executables [ *.exe;*.bat ] (*)"));
#endif
  }

  void optionsFolderChoosersValidateAndCloseBoxOnlyHides() {
    Program p;
    p.Start();
    auto& dlg = p.app->options();
    dlg.ShowPage(3);
    std::string savedOptions = ReadFile(p.Path("Options.dat"));
    // A new backup folder: the output folder is missing, so that warning comes; never one about backups.
    p.app->settings().edOptimizedPath = p.PathS("gone/");
    dlg.ShowSettings();
    QDir().mkpath(p.Path("bak"));
    p.chooser.folder = p.Path("bak");
    dlg.findChild<QAbstractButton*>("radModifyOld")->click();
    dlg.findChild<QAbstractButton*>("butBackUpPath")->click();
    QCOMPARE(p.app->settings().edBackUpPath, p.PathS("bak/"));
    QCOMPARE(dlg.edit("edBackUpPath")->text(), p.Path("bak/"));
    QCOMPARE(p.user.Messages(),
             std::vector<std::string>{"Folder for optimized files does not exist!\r\nPlease, change program options."});
    QCOMPARE(p.user.shown.back().kind, tersify::MessageKind::Warning);
    // Cancelled: nothing changes, but the check runs again.
    p.chooser.folder.reset();
    dlg.findChild<QAbstractButton*>("butBackUpPath")->click();
    QCOMPARE(p.app->settings().edBackUpPath, p.PathS("bak/"));
    QCOMPARE(p.user.Messages().size(), size_t(2));
    // The output folder's chooser mends it.
    p.chooser.folder = p.Path("bak");
    dlg.findChild<QAbstractButton*>("cbSaveNewMod")->click();
    dlg.findChild<QAbstractButton*>("butOptimizedPath")->click();
    QCOMPARE(p.app->settings().edOptimizedPath, p.PathS("bak/"));
    QCOMPARE(p.user.Messages().size(), size_t(2));
    // The close box hides the dialog without saving; the changes stay live.
    QVERIFY(dlg.isVisible());
    dlg.close();
    QVERIFY(!dlg.isVisible());
    QCOMPARE(ReadFile(p.Path("Options.dat")), savedOptions);
    QCOMPARE(p.app->settings().edOptimizedPath, p.PathS("bak/"));
    // Opened again, it shows them; Close saves them.
    p.button("butOptions")->click();
    QCOMPARE(dlg.edit("edOptimizedPath")->text(), p.Path("bak/"));
    dlg.findChild<QPushButton*>("butClose")->click();
    QVERIFY(ReadFile(p.Path("Options.dat")).find("\r\nedOptimizedPath=" + p.PathS("bak/") + "\r\n") !=
            std::string::npos);
  }

  void viewEditAndSaveTheOptimizedCopy() {
    Program p;
    WriteFile(p.Path("a.html"), "<p>a</p>\r\n");
    p.Start({p.Path("a.html")});
    WriteFile(p.Path("optimized/a.html"), "<p>packed</p>\n<p>two</p>");
    p.list()->setCurrentCell(0, 0);
    QVERIFY(p.button("butViewZipped")->isEnabled());
    // A double-click shows the packed copy when there is one.
    p.list()->cellDoubleClicked(0, 0);
    QPlainTextEdit* memo = p.app->main().sourceView();
    QCOMPARE(memo->toolTip(), p.Path("optimized/a.html"));
    QVERIFY(memo->toPlainText().startsWith("<p>packed</p>\n<p>two</p>"));
    QVERIFY(!p.button("butSaveFile")->isEnabled());
    QVERIFY(p.button("butSendToEdit")->isEnabled());
    memo->setPlainText("<p>edited</p>\n<p>two</p>");
    QVERIFY(p.button("butSaveFile")->isEnabled());
    // Other commands leave the edited text, its cursor and its undo steps alone.
    QTextCursor cursor = memo->textCursor();
    cursor.setPosition(3);
    memo->setTextCursor(cursor);
    QTest::keyClicks(memo, "ed");
    QVERIFY(memo->document()->isUndoAvailable());
    p.action("menuRefresh")->trigger();
    p.action("menuSelectAll")->trigger();
    QCOMPARE(memo->toPlainText(), QString("<p>ededited</p>\n<p>two</p>"));
    QCOMPARE(memo->textCursor().position(), 5);
    QVERIFY(memo->document()->isUndoAvailable());
    memo->setPlainText("<p>edited</p>\n<p>two</p>");
    p.button("butSaveFile")->click();
    QCOMPARE(ReadFile(p.Path("optimized/a.html")), std::string("<p>edited</p>\n<p>two</p>"));
    QVERIFY(!p.button("butSaveFile")->isEnabled());
    QCOMPARE(ReadFile(p.Path("a.html")), std::string("<p>a</p>\r\n"));
    // The external editor gets the file as its one argument, in its folder.
    p.button("butSendToEdit")->click();
    QCOMPARE(p.started.size(), size_t(1));
    QCOMPARE(p.started[0].program, p.app->settings().edExtEditor);
    QCOMPARE(p.started[0].argument, p.PathS("optimized/a.html"));
    QCOMPARE(p.started[0].folder, p.PathS("optimized/"));
    // An editor that cannot be started says so.
    p.startSucceeds = false;
    p.button("butSendToEdit")->click();
    QCOMPARE(p.user.Messages().back(), std::string("\rExternal editor running failed"));
    // The unpacked copy is the source itself.
    p.button("butViewUnZipped")->click();
    QCOMPARE(memo->toolTip(), p.Path("a.html"));
    QCOMPARE(memo->toPlainText(), QString("<p>a</p>\n"));
  }

  void browserAndHelpGoThroughTheStarter() {
    Program p;
    WriteFile(p.Path("a.html"), "<p>a</p>\r\n");
    p.Start({p.Path("a.html")});
    p.list()->setCurrentCell(0, 0);
    p.button("butView")->click();
    QCOMPARE(p.started.size(), size_t(1));
    QCOMPARE(p.started[0].program, p.app->settings().edBrowser);
    QCOMPARE(p.started[0].argument, p.PathS("a.html"));
    // A missing manual: nothing started, nothing said.
    size_t messages = p.user.Messages().size();
    p.button("butHelp")->click();
    QCOMPARE(p.started.size(), size_t(1));
    QCOMPARE(p.user.Messages().size(), messages);
    QDir().mkpath(p.Path("help"));
    WriteFile(p.Path("help/tfy.html"), "<html></html>");
    p.action("menuContent")->trigger();
    QCOMPARE(p.started.size(), size_t(2));
    QCOMPARE(p.started[1].argument, p.PathS("help/tfy.html"));
    QCOMPARE(p.started[1].folder, p.app->place().resourceFolder);
    QCOMPARE(QString::fromStdString(tersify::HelpFilePath("/x/")), QString("/x/help/tfy.html"));
  }

  void escIdleAndDuringAFolderWalk() {
    Program p;
    p.Start();
    p.app->main().show();
    QTest::keyRelease(&p.app->main(), Qt::Key_Escape);
    QVERIFY(!p.app->runState().cancelRequested);
    QVERIFY(p.user.shown.empty());

    for (const char* sub : {"site/a", "site/b", "site/c"}) {
      QDir().mkpath(p.Path(sub));
      WriteFile(p.Path(QString(sub) + "/page.html"), "<p>x</p>\r\n");
    }
    p.app->settings().cbProcessEmbeded = true;
    p.app->settings().cbMaxEmbCount = false;
    p.chooser.folder = p.Path("site");
    Busy seen = Busy::None;
    p.user.onPendingEvents = [&](int call) {
      if (call != 1) return;
      seen = p.app->runState().BusyState;
      QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &p.app->main();
      QTest::keyRelease(target, Qt::Key_Escape);
    };
    p.user.answers = {Answer::Ok};
    p.button("butPath")->click();
    QCOMPARE(seen, Busy::Path);
    QCOMPARE(Questions(p.user), std::vector<std::string>{"\r\nDo you want to interrupt files adding?"});
    QCOMPARE(p.app->runState().BusyState, Busy::None);
    QVERIFY(p.list()->rowCount() < 3);
    // Answering Cancel lets the walk go on to the end.
    p.user.shown.clear();
    p.app->runState().cancelRequested = p.app->runState().cancelConfirmed = false;
    p.user.pendingEventCalls = 0;
    p.user.answers = {Answer::Cancel};
    p.button("butPath")->click();
    QCOMPARE(Questions(p.user).size(), size_t(1));
    QCOMPARE(p.list()->rowCount(), 3);
  }

  void runFromStartWithClockAndBreak() {
    Program p;
    WriteRatioPages(p);
    p.Start({p.Path("a.html"), p.Path("b.html"), p.Path("c.html")});
    p.app->settings().cbShowOptWin = true;
    p.app->main().show();
    p.list()->setCurrentCell(0, 0);
    p.button("butViewUnZipped")->click();
    QVERIFY(ViewPane(p)->isVisible());
    p.button("butOptimize")->click();
    tersify::ui::TfrmReport& report = p.app->report();
    QVERIFY(report.isVisible());
    QCOMPARE(report.page(), 0);
    QCOMPARE(report.label("fcount")->text(), QString("3"));
    QCOMPARE(report.label("filessize")->text(), QString("300"));
    QCOMPARE(report.cancelButton()->text(), QString("Cancel"));
    // Esc before Start does nothing.
    QTest::keyRelease(&report, Qt::Key_Escape);
    QVERIFY(report.isVisible());
    QVERIFY(!p.app->runState().cancelRequested);

    auto start = std::chrono::steady_clock::now();
    int ticks = 0;
    p.app->run().now = [&] { return start + std::chrono::seconds(7 * ticks); };
    QString clock, cancelCaption, status;
    bool viewVisible = true, startEnabled = true;
    p.user.onPendingEvents = [&](int call) {
      if (call != 1) return;
      ++ticks;
      report.Tick();
      clock = report.label("time_status")->text();
      cancelCaption = report.cancelButton()->text();
      status = report.label("labStatus")->text();
      viewVisible = ViewPane(p)->isVisible();
      startEnabled = report.startButton()->isEnabled();
      report.cancelButton()->click();  // "Break"
    };
    p.user.answers = {Answer::No};  // go on
    report.startButton()->click();
    QVERIFY(clock.endsWith("00:07"));
    QCOMPARE(cancelCaption, QString("Break"));
    QCOMPARE(status, QString("optimization in a progress ..."));
    QVERIFY(!viewVisible);
    QVERIFY(!startEnabled);
    QCOMPARE(Questions(p.user), std::vector<std::string>{"\r\nDo you want to interrupt optimization process?"});
    // Not interrupted: every file done, the view back.
    QCOMPARE(report.page(), 1);
    QCOMPARE(report.label("fdone")->text(), QString("3"));
    QVERIFY(ViewPane(p)->isVisible());
    QCOMPARE(p.app->runState().BusyState, Busy::None);
    QCOMPARE(report.cancelButton()->text(), QString("Cancel"));
  }

  void resultsPageAfterThreeFiles() {
    Program p;
    WriteRatioPages(p);
    p.Start({p.Path("a.html"), p.Path("b.html"), p.Path("c.html")});
    p.app->settings().cbShowOptWin = true;
    p.button("butOptimize")->click();
    tersify::ui::TfrmReport& report = p.app->report();
    report.startButton()->click();
    QCOMPARE(ReadFile(p.Path("optimized/a.html")).size(), size_t(90));
    QCOMPARE(ReadFile(p.Path("optimized/b.html")).size(), size_t(80));
    QCOMPARE(ReadFile(p.Path("optimized/c.html")).size(), size_t(105));
    QCOMPARE(report.page(), 1);
    QCOMPARE(report.windowTitle(), QString("Optimization finished"));
    QCOMPARE(report.label("fdone")->text(), QString("3"));
    QCOMPARE(report.label("deleted")->text(), QString("25"));
    QCOMPARE(report.label("midk")->text(), QString("8 %"));
    QCOMPARE(report.label("mk")->text(), QString("20 %"));
    QCOMPARE(report.label("labStatus")->text(), QString("ready for optimization"));
    QCOMPARE(report.label("fcount")->text(), QString("0"));
    // The panel shows the packed sizes and ratios read back from disk.
    QCOMPARE(p.list()->item(0, 4)->text(), QString("90"));
    QCOMPARE(p.list()->item(2, 4)->text(), QString("105"));
    QVERIFY(p.action("menuBackUpLast")->isEnabled());
    report.closeButton()->click();
    QVERIFY(!report.isVisible());
  }

  void runMeetsAnExistingCopyInTheRealOverwriteDialog() {
    // The program with its own boxes: the run's question reaches the real dialog.
    QTemporaryDir dir;
    const QString folder = dir.path() + "/";
    QFile::copy(TERSIFY_SOURCE_DIR "/lang/Deflan.dat", folder + "Deflan.dat");
    WriteFile(folder + "a.html", "  <p>a</p>\r\n");
    QDir().mkpath(folder + "optimized");
    WriteFile(folder + "optimized/a.html", "old copy");
    tersify::ProgramPlace place;
    place.programFolder = place.configFolder = place.dataFolder = place.resourceFolder = folder.toStdString();
    place.systemFolder = "/usr/bin";
    place.browser = place.editor = "/usr/bin/env";
    tersify::testing::ScriptedChooser chooser;
    tersify::Application app(place, {folder + "a.html"}, nullptr, &chooser);
    app.StartUp();
    app.settings().cbShowOptWin = false;
    app.settings().cbShowConf = false;
    app.settings().cbShowEnd = false;
    tersify::ui::TfrmReplaceDlg& dlg = app.replaceDialog();
    QString upper, lower, lowerInfo, caption;
    bool olderEnabled = true;
    // The run lets events through at its checkpoints before it asks: wait for the dialog.
    QTimer poll;
    poll.setInterval(10);
    int asked = 0;
    QObject::connect(&poll, &QTimer::timeout, &dlg, [&] {
      if (!dlg.isVisible() || !dlg.isModal()) return;
      ++asked;
      upper = dlg.findChild<QLabel*>("labToFile")->text();
      lower = dlg.findChild<QLabel*>("labFromFile")->text();
      lowerInfo = dlg.findChild<QLabel*>("labFromFileInfo")->text();
      caption = dlg.findChild<QLabel*>("Label2")->text();
      olderEnabled = dlg.button(tersify::OverwriteChoice::OverwriteAllOlder)->isEnabled();
      QTest::keyClick(&dlg, Qt::Key_Return);  // "Overwrite"
    });
    poll.start();
    app.main().findChild<QToolButton*>("butOptimize")->click();
    poll.stop();
    QCOMPARE(asked, 1);
    QCOMPARE(upper, folder + "optimized/a.html");
    QCOMPARE(lower, folder + "a.html");
    QVERIFY2(lowerInfo.startsWith("12 bytes    ") && lowerInfo.endsWith("  ?"), qPrintable(lowerInfo));
    QCOMPARE(caption, QString("With optimized copy of the file"));
    QVERIFY(!olderEnabled);
    QCOMPARE(ReadFile(folder + "optimized/a.html"), std::string("<p>a</p>\r\n"));
    QVERIFY(!dlg.isVisible());
  }

  void restoreItemsRefusedDuringARun() {
    Program p;
    WriteRatioPages(p);
    p.Start({p.Path("a.html"), p.Path("b.html"), p.Path("c.html")});
    p.app->settings().radModifyOld = true;
    p.app->settings().cbSaveBefMod = true;
    p.app->settings().cbShowConf = false;
    p.app->settings().cbShowEnd = false;
    p.app->settings().cbShowOptWin = false;
    // A first run: the sources are optimized in place, the originals in backup/.
    p.button("butOptimize")->click();
    QCOMPARE(ReadFile(p.Path("a.html")).size(), size_t(90));
    QVERIFY(p.action("menuBackUpLast")->isEnabled());
    // During a second run someone opens the drop-down and picks its items.
    std::vector<std::string> seen;
    std::vector<size_t> sizes;
    p.user.onPendingEvents = [&](int call) {
      if (call != 2) return;
      p.button("butBackUp")->menu()->aboutToShow();
      p.action("menuBackUpLast")->trigger();
      p.action("menuBackUpChecked")->trigger();
      seen = p.user.Messages();
      sizes = {ReadFile(p.Path("a.html")).size(), ReadFile(p.Path("b.html")).size()};
    };
    WriteRatioPages(p);
    p.user.overwriteAnswers = {tersify::OverwriteChoice::OverwriteAll};  // the first run's backups
    p.user.pendingEventCalls = 0;
    p.button("butOptimize")->click();
    const std::string wait = "\rPlease, wait for optimization process finishing";
    QCOMPARE(seen, (std::vector<std::string>{wait, wait, wait}));
    // Nothing was put back meanwhile: the second run's files are its own.
    QCOMPARE(sizes[1], size_t(100));
    QCOMPARE(ReadFile(p.Path("b.html")).size(), size_t(80));
    QCOMPARE(p.app->runState().BusyState, Busy::None);
  }

  void optionsBrowserChooserCancelAndEnglishButton() {
    Program p;
    p.Start();
    auto& dlg = p.app->options();
    dlg.ShowPage(4);
    QCOMPARE(dlg.pages()->currentIndex(), 4);
    QVERIFY(!p.app->settings().edBrowser.empty());
    p.chooser.files.clear();  // the user cancels the chooser
    dlg.findChild<QAbstractButton*>("butBrowser")->click();
    QCOMPARE(p.chooser.calls, 1);
    QCOMPARE(dlg.edit("edBrowser")->text(), QString());
    QVERIFY(p.app->settings().edBrowser.empty());
    // A chosen program is taken.
    p.chooser.files = {"/usr/bin/env"};
    dlg.findChild<QAbstractButton*>("butExtEditor")->click();
    QCOMPARE(dlg.edit("edExtEditor")->text(), QString("/usr/bin/env"));

    // The English button empties the language, applies English and saves.
    WriteFile(p.Path("de.lng"), ReadFile(TERSIFY_SOURCE_DIR "/lang/German.lng"));
    p.chooser.files = {p.Path("de.lng")};
    dlg.findChild<QAbstractButton*>("butLan")->click();
    QCOMPARE(dlg.findChild<QPushButton*>("butClose")->text(), QString::fromUtf8("Schlie\xC3\x9F"
                                                                                "en"));
    QCOMPARE(p.app->settings().edLan, p.PathS("de.lng"));
    QVERIFY(ReadFile(p.Path("Options.dat")).find("de.lng") == std::string::npos);  // not saved yet
    dlg.findChild<QAbstractButton*>("butEnglish")->click();
    QCOMPARE(dlg.findChild<QPushButton*>("butClose")->text(), QString("Close"));
    QCOMPARE(dlg.edit("edLan")->text(), QString());
    std::string options = ReadFile(p.Path("Options.dat"));
    QVERIFY(options.find("edLan=\r\n") != std::string::npos);
    QVERIFY(options.find("edBrowser=\r\n") != std::string::npos);
  }
};

QTEST_MAIN(CommandsTest)
#include "commands_test.moc"
