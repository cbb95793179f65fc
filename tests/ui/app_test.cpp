// The desktop program started in a temporary folder, with a scripted user.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <fstream>
#include <map>

#include "app/application.h"
#include "i18n/language_file.h"
#include "settings/option_table.h"
#include "ui/about_dialog.h"
#include "ui/file_chooser.h"
#include "ui/main_window.h"
#include "ui/options_dialog.h"
#include "ui/program_fixture.h"
#include "ui/replace_dialog.h"
#include "ui/report_window.h"
#include "ui/tag_dialog.h"
#include "ui/translatable.h"

using tersify::Application;
using tersify::testing::Program;
using tersify::testing::ReadFile;
using tersify::testing::WriteFile;

class AppTest : public QObject {
  Q_OBJECT
 private slots:
  void firstStartInEmptyFolder() {
    Program p;
    p.Start();
    QVERIFY(QDir(p.Path("optimized")).exists());
    QVERIFY(QDir(p.Path("backup")).exists());
    QVERIFY(QFile::exists(p.Path("Options.dat")));
    // The options file holds the defaults, the output folder beside the program.
    std::string options = ReadFile(p.Path("Options.dat"));
    QVERIFY(options.rfind("[settings]\r\n", 0) == 0);
    QVERIFY(options.find("\r\nedOptimizedPath=" + p.PathS("optimized/") + "\r\n") != std::string::npos);
    QVERIFY(options.find("\r\nedBackUpPath=" + p.PathS("backup/") + "\r\n") != std::string::npos);
    QVERIFY(options.find("\r\ncolumn_sort=0\r\n") != std::string::npos);
    QVERIFY(QFile::exists(p.Path("Tagschange.dat")));
    QCOMPARE(ReadFile(p.Path("Tagschange.dat")).substr(0, 16), std::string("+ strong b\r\n+ em"));
    QVERIFY(!QFile::exists(p.Path("Default.lst")));
    QCOMPARE(p.list()->rowCount(), 0);
    QCOMPARE(p.app->main().windowTitle(), QString("Tersify v.2.0"));
    // /usr/bin/env exists, the output folder too: no warning.
    QVERIFY(p.user.Messages().empty());
  }

  void twoHtmlPathsOnTheCommandLine() {
    Program p;
    QVERIFY(p.dir.isValid());
    WriteFile(p.Path("a.html"), "<p>a</p>\r\n");
    WriteFile(p.Path("b.htm"), "<p>bb</p>\r\n");
    WriteFile(p.Path("Default.lst"), "+ " + p.Path("a.html").toStdString() + "\r\n");
    p.Start({p.Path("a.html"), p.Path("b.htm"), p.Path("missing.html")});
    QCOMPARE(p.list()->rowCount(), 2);
    QCOMPARE(p.list()->item(0, 0)->text(), QString("a.html"));
    QCOMPARE(p.list()->item(1, 0)->checkState(), Qt::Checked);
    QCOMPARE(p.list()->item(0, 3)->text(), QString("10"));
    QCOMPARE(p.app->main().statusCounts()->text(), QString("Files: 2   Selected: 2"));
  }

  void fileListAsOnlyParameterAndSaveNopenRoundTrip() {
    Program p;
    WriteFile(p.Path("a.html"), "a\r\n");
    WriteFile(p.Path("b.html"), "bbbbbb\r\n");
    WriteFile(p.Path("my.lst"),
              "+ " + p.Path("a.html").toStdString() + "\r\n- " + p.Path("b.html").toStdString() + "\r\n");
    p.Start({p.Path("my.lst")});
    QCOMPARE(p.list()->rowCount(), 2);
    QCOMPARE(p.list()->item(0, 0)->text(), QString("a.html"));
    QCOMPARE(p.list()->item(1, 0)->checkState(), Qt::Unchecked);
    p.app->settings().cbSaveNopen = true;
    p.action("sort4")->trigger();  // by size: the larger b.html first
    QCOMPARE(p.list()->item(0, 0)->text(), QString("b.html"));
    // Quitting through the window's close saves the list and the sort column.
    p.app->main().show();
    QVERIFY(p.app->main().close());
    QCOMPARE(ReadFile(p.Path("Default.lst")),
             "- " + p.Path("b.html").toStdString() + "\r\n+ " + p.Path("a.html").toStdString() + "\r\n");
    QVERIFY(ReadFile(p.Path("Options.dat")).find("\r\ncolumn_sort=3\r\n") != std::string::npos);
    QVERIFY(ReadFile(p.Path("Options.dat")).find("\r\ncbSaveNopen=1\r\n") != std::string::npos);
    p.app.reset();
    // The list comes back, sorted by the stored column, without command-line paths.
    WriteFile(p.Path("Default.lst"), "+ " + p.PathS("a.html") + "\r\n- " + p.PathS("b.html") + "\r\n");
    p.Start();
    QCOMPARE(p.list()->rowCount(), 2);
    QCOMPARE(p.list()->item(0, 0)->text(), QString("b.html"));
    QCOMPARE(p.list()->item(0, 0)->checkState(), Qt::Unchecked);
    QCOMPARE(p.list()->item(1, 0)->checkState(), Qt::Checked);
    QVERIFY(p.action("sort4")->isChecked());
    QVERIFY(p.app->main().findChild<QAction*>("mainsort4")->isChecked());
    QVERIFY(!p.action("sort1")->isChecked());
  }

  // Stored column widths come back; one too narrow to see takes its default.
  void columnWidthsFromTheOptionsFile() {
    Program p;
    WriteFile(p.Path("Options.dat"), "[settings]\r\ncol0=250\r\ncol2=0\r\ncol4=-30\r\n");
    p.Start();
    const tersify::OptimizationSettings defaults;
    QCOMPARE(p.list()->columnWidth(0), 250);
    QCOMPARE(p.list()->columnWidth(2), defaults.col[2]);
    QCOMPARE(p.list()->columnWidth(4), defaults.col[4]);
    QCOMPARE(p.list()->columnWidth(5), defaults.col[5]);
    QVERIFY(defaults.col[2] > 0 && defaults.col[4] > 0);
  }

  void failuresEndStartUpAndShutDownWithTheirMessage() {
    Program p;
    WriteFile(p.Path("a.html"), "<p>a</p>\r\n");
    // The replacement table cannot be read: its error box fails, which ends
    // the start-up work there, before the command line is taken.
    QDir().mkpath(p.Path("Tagschange.dat"));
    WriteFile(p.Path("Options.dat"), "[settings]\r\ncbDelKav=0\r\n");
    p.user.failOn = "Error during tags replacement table loading";
    p.Start({p.Path("a.html")});
    QCOMPARE(p.user.Messages(), (std::vector<std::string>{"\rError during tags replacement table loading",
                                                          "\rError during initialization"}));
    QCOMPARE(p.user.shown.back().kind, tersify::MessageKind::Error);
    QCOMPARE(p.list()->rowCount(), 0);
    QVERIFY(!p.app->screenTooSmall());
    QCOMPARE(p.app->main().windowTitle(), QString("Tersify v.2.0"));
    // The program goes on: commands work.
    p.chooser.files = {p.Path("a.html")};
    p.button("butFiles")->click();
    QCOMPARE(p.list()->rowCount(), 1);
    // At the end the table cannot be written: its error box fails, the quit
    // error follows, and the steps after it (the file list) are not done.
    p.app->settings().cbSaveNopen = true;
    p.user.shown.clear();
    p.user.failOn = "Error during tags removal table saving";
    QFile::remove(p.Path("Tagsdelete.dat"));
    QVERIFY(QDir().mkpath(p.Path("Tagsdelete.dat")));
    p.app->ShutDown();
    QCOMPARE(p.user.Messages(),
             (std::vector<std::string>{"\rError during tags removal table saving", "\rQuit procedure error, sorry"}));
    QVERIFY(!QFile::exists(p.Path("Default.lst")));
  }

  void sortByEveryColumnWithMenuMarks() {
    Program p;
    // Three pages in three folders with distinct days, sizes, packed sizes and ratios.
    struct Page {
      const char* folder;
      const char* name;
      int size, packed, day;
    };
    const Page pages[] = {
        {"dir2", "a.html", 100, 90, 1}, {"dir1", "b.html", 300, 150, 3}, {"dir0", "c.html", 200, 160, 2}};
    QStringList args;
    QDir().mkpath(p.Path("optimized"));
    for (const Page& pg : pages) {
      QDir().mkpath(p.Path(pg.folder));
      QString path = p.Path(QString(pg.folder) + "/" + pg.name);
      WriteFile(path, std::string(static_cast<size_t>(pg.size), 'x'));
      WriteFile(p.Path(QString("optimized/") + pg.name), std::string(static_cast<size_t>(pg.packed), 'y'));
      QFile f(path);
      QVERIFY(f.open(QIODevice::ReadWrite));
      QVERIFY(f.setFileTime(QDateTime(QDate(2024, 1, pg.day), QTime(12, 0)), QFileDevice::FileModificationTime));
      args << path;
    }
    p.Start(args);
    QCOMPARE(p.list()->item(0, 5)->text(), QString("10 %"));
    auto names = [&p] {
      QStringList out;
      for (int r = 0; r < p.list()->rowCount(); ++r) out << p.list()->item(r, 0)->text();
      return out.join(",");
    };
    const char* expected[6] = {"a.html,b.html,c.html",   // name
                               "c.html,b.html,a.html",   // path: dir0, dir1, dir2
                               "a.html,c.html,b.html",   // date: earliest first
                               "b.html,c.html,a.html",   // size: largest first
                               "c.html,b.html,a.html",   // packed: largest first
                               "b.html,c.html,a.html"};  // ratio: 50, 20, 10
    for (int column = 5; column >= 0; --column) {
      QByteArray item = "sort" + QByteArray::number(column + 1);
      p.action(item.constData())->trigger();
      QCOMPARE(names(), QString(expected[column]));
      QCOMPARE(p.app->settings().column_sort, column);
      for (int n = 1; n <= 6; ++n) {
        QByteArray other = "sort" + QByteArray::number(n);
        QCOMPARE(p.action(other.constData())->isChecked(), n == column + 1);
        QCOMPARE(p.app->main().findChild<QAction*>("main" + other)->isChecked(), n == column + 1);
      }
    }
    // A header click does the same as the menu item.
    p.list()->horizontalHeader()->sectionClicked(3);
    QCOMPARE(names(), QString(expected[3]));
    QVERIFY(p.action("sort4")->isChecked());
    QVERIFY(!p.action("sort1")->isChecked());
    // The main menu's copy sorts as the popup's item does.
    p.app->main().findChild<QAction*>("mainsort2")->trigger();
    QCOMPARE(names(), QString(expected[1]));
    QVERIFY(p.action("sort2")->isChecked());
  }

  void sortMenusAndClearUnchecked() {
    Program p;
    WriteFile(p.Path("b.html"), "bbbb\r\n");
    WriteFile(p.Path("a.html"), "a\r\n");
    p.Start({p.Path("b.html"), p.Path("a.html")});
    QCOMPARE(p.list()->item(0, 0)->text(), QString("a.html"));  // sorted by name after refresh
    QVERIFY(p.action("sort1")->isChecked());
    p.action("sort4")->trigger();  // by size
    QVERIFY(p.action("sort4")->isChecked());
    QVERIFY(!p.action("sort1")->isChecked());
    QCOMPARE(p.app->settings().column_sort, 3);
    // The copy in the main menu follows the marks.
    QAction* copy = p.app->main().findChild<QAction*>("mainsort4");
    QVERIFY(copy);
    QVERIFY(copy->isChecked());
    p.list()->item(0, 0)->setCheckState(Qt::Unchecked);
    p.action("menuClearUnchecked")->trigger();
    QCOMPARE(p.list()->rowCount(), 1);
    QCOMPARE(p.app->panel().size(), size_t(1));
  }

  void optionsPresetsRulesAndFilters() {
    Program p;
    p.Start();
    auto& dlg = p.app->options();
    dlg.ShowPage(0);
    QComboBox* mode = dlg.modeList();
    QCOMPARE(mode->currentIndex(), 0);
    QVERIFY(!dlg.checkBox("cbDelCRLF")->isChecked());
    QVERIFY(!dlg.checkBox("cbReplaceDoubleSpacesInKav")->isChecked());
    mode->activated(1);  // "Max optimization" chosen by the user
    for (const char* name : {"cbDelCRLF", "cbDelAllTabs", "cbReplaceDoubleSpacesInKav", "cbReplaceDoubleNbspInKav",
                             "cbDelKav", "cbDelComments"})
      QVERIFY2(dlg.checkBox(name)->isChecked(), name);
    QVERIFY(p.app->settings()["cbDelCRLF"]);
    QVERIFY(p.app->settings()["cbDelAllTabs"]);
    // "Normal optimization" takes the extra passes back; "Users' settings" changes nothing.
    mode->setCurrentIndex(0);
    mode->activated(0);
    QVERIFY(!dlg.checkBox("cbDelCRLF")->isChecked());
    QVERIFY(!dlg.checkBox("cbDelAllTabs")->isChecked());
    QVERIFY(!p.app->settings()["cbReplaceDoubleSpacesInKav"]);
    QVERIFY(dlg.checkBox("cbDelKav")->isChecked());
    mode->setCurrentIndex(2);
    mode->activated(2);
    QVERIFY(!p.app->settings()["cbDelCRLF"]);
    QVERIFY(dlg.checkBox("cbDelKav")->isChecked());
    mode->setCurrentIndex(1);
    mode->activated(1);
    QVERIFY(p.app->settings()["cbDelCRLF"]);
    // A mouse press on a pass box switches to "Users' settings"; a key press does not.
    mode->setCurrentIndex(1);
    p.app->settings().comboMode = 1;
    QTest::keyClick(dlg.checkBox("cbDelKav"), Qt::Key_Space);
    QCOMPARE(mode->currentIndex(), 1);
    QVERIFY(!p.app->settings()["cbDelKav"]);
    QVERIFY(!dlg.checkBox("cbDelEmptyPar")->isEnabled());
    QTest::mouseClick(dlg.checkBox("cbDelCRLF"), Qt::LeftButton);
    QCOMPARE(mode->currentIndex(), 2);
    QCOMPARE(p.app->settings().comboMode, 2);
    // Unticking cbDelEmptyLine disables cbDelCRLF but keeps its tick.
    dlg.checkBox("cbDelEmptyLine")->click();
    QVERIFY(!dlg.checkBox("cbDelCRLF")->isEnabled());
    // cbProcessEmbeded enables edMaxEmbCount whatever cbMaxEmbCount shows.
    dlg.pages()->setCurrentIndex(3);
    QVERIFY(!dlg.edit("edMaxEmbCount")->isEnabled());
    dlg.checkBox("cbProcessEmbeded")->click();
    QVERIFY(dlg.edit("edMaxEmbCount")->isEnabled());
    dlg.checkBox("cbMaxEmbCount")->click();
    dlg.checkBox("cbMaxEmbCount")->click();
    QVERIFY(!dlg.edit("edMaxEmbCount")->isEnabled());
    // Typing a letter into the count field inserts nothing.
    QLineEdit* count = dlg.edit("edMaxFCount");
    count->setFocus();
    count->end(false);
    QTest::keyClicks(count, "x5");
    QCOMPARE(count->text(), QString("1005"));
    QCOMPARE(p.app->settings().edMaxFCount, std::string("1005"));
    // Modify sources: the backup controls are enabled, "Packed file" is not.
    dlg.findChild<QAbstractButton*>("radModifyOld")->click();
    QVERIFY(p.app->settings().radModifyOld);
    QVERIFY(dlg.edit("edBackUpPath")->isEnabled());
    QVERIFY(!dlg.edit("edOptimizedPath")->isEnabled());
    QVERIFY(!p.action("menuPackedFile")->isEnabled());
    // Close saves.
    dlg.findChild<QPushButton*>("butClose")->click();
    QVERIFY(ReadFile(p.Path("Options.dat")).find("radModifyOld=1") != std::string::npos);
  }

  void everyEnablingRuleFollowsItsBox() {
    Program p;
    p.Start();
    auto& dlg = p.app->options();
    dlg.ShowPage(0);
    // Every box of the option table whose rule follows it on and off.
    for (const auto& row : tersify::kOptionTable) {
      if (row.caption.empty() || !row.HasRule()) continue;
      const std::string name(row.key);
      QCheckBox* box = dlg.checkBox(name.c_str());
      QVERIFY2(box, name.c_str());
      // Start from a ticked box, whatever the defaults are.
      if (!box->isChecked()) box->click();
      std::map<std::string, bool> ticks;
      for (auto follower : row.enables)
        if (auto* c = dlg.findChild<QCheckBox*>(QString::fromUtf8(follower.data(), follower.size())))
          ticks[std::string(follower)] = c->isChecked();
      for (bool on : {false, true}) {
        box->click();
        QCOMPARE(box->isChecked(), on);
        QCOMPARE(tersify::GetOption(p.app->settings(), row.key), std::optional<std::string>(on ? "1" : "0"));
        for (auto follower : row.enables) {
          if (follower.empty()) continue;
          const std::string f(follower);
          QWidget* w = dlg.findChild<QWidget*>(f.c_str());
          QVERIFY2(w, f.c_str());
          QVERIFY2(w->isEnabled() == on, f.c_str());
          // A disabled box keeps its tick.
          if (auto* c = dlg.checkBox(f.c_str())) QVERIFY2(c->isChecked() == ticks[f], f.c_str());
        }
      }
    }
    // The rules as the dialog shows them.
    QVERIFY(dlg.checkBox("cbDelKav")->isChecked());
    QVERIFY(dlg.checkBox("cbDelEmptyPar")->isEnabled());
    dlg.checkBox("cbDelComments")->click();
    QVERIFY(!dlg.findChild<QWidget*>("labCommentTags")->isEnabled());
    QVERIFY(!dlg.checkBox("cbOuttag")->isEnabled());
    // Loaded options run the rules too.
    p.app->settings()["cbDelComments"] = false;
    WriteFile(p.Path("Options.dat"), "[settings]\r\ncbDelComments=0\r\ncbMaxFCount=0\r\n");
    p.app.reset();
    p.Start();
    QVERIFY(!p.app->options().checkBox("cbIsStyle")->isEnabled());
    QVERIFY(!p.app->options().edit("edMaxFCount")->isEnabled());
    QVERIFY(p.app->options().checkBox("cbDelEmptyPar")->isEnabled());
  }

  void tagsAddAndRemoveRefusals() {
    Program p;
    p.Start();
    auto& dlg = p.app->tagDialog();
    p.app->options().findChild<QPushButton*>("butAddReplace")->click();
    QCOMPARE(dlg.windowTitle(), QString("Tags replacement"));
    dlg.findChild<QLineEdit*>("edFrom")->setText("b");
    dlg.findChild<QLineEdit*>("edTo")->setText("bold");
    size_t before = p.app->tables().replacement.size();
    dlg.findChild<QPushButton*>("butAdd")->click();
    QCOMPARE(p.app->tables().replacement.size(), before);  // b is the to tag of strong
    QCOMPARE(dlg.findChild<QLineEdit*>("edFrom")->text(), QString());
    QVERIFY(!p.user.Messages().empty());
    p.app->options().findChild<QPushButton*>("butAddRemove")->click();
    QCOMPARE(dlg.windowTitle(), QString("Tags removal"));
    QVERIFY(!dlg.findChild<QLineEdit*>("edTo")->isEnabled());
    dlg.findChild<QLineEdit*>("edFrom")->setText("/p");
    size_t removals = p.app->tables().removal.size();
    dlg.findChild<QPushButton*>("butAdd")->click();
    QCOMPARE(p.app->tables().removal.size(), removals);  // /P is there
    QCOMPARE(dlg.findChild<QLineEdit*>("edFrom")->text(), QString("/p"));
    dlg.findChild<QLineEdit*>("edFrom")->setText("font");
    dlg.findChild<QPushButton*>("butAdd")->click();
    QCOMPARE(p.app->tables().removal.size(), removals + 1);
    QCOMPARE(p.app->options().removalList()->topLevelItemCount(), static_cast<int>(removals + 1));
    QCOMPARE(p.app->tables().removal.back().tag, std::string("font"));
    QVERIFY(p.app->tables().removal.back().ticked);
    QVERIFY(!dlg.isVisible());

    // The other cycle: a new to tag that is an existing from tag (any case).
    auto* edFrom = dlg.findChild<QLineEdit*>("edFrom");
    auto* edTo = dlg.findChild<QLineEdit*>("edTo");
    p.app->options().findChild<QPushButton*>("butAddReplace")->click();
    QVERIFY(edTo->isEnabled());
    edFrom->setText("x");
    edTo->setText("STRONG");
    dlg.findChild<QPushButton*>("butAdd")->click();
    QCOMPARE(p.app->tables().replacement.size(), before);
    QCOMPARE(p.user.Messages().back(),
             std::string("\rInsertion of this tag will lead to the recycling of replacement procedure!"));
    QCOMPARE(edTo->text(), QString());
    // A pair that extends no chain is appended, ticked, and the dialog closes.
    edFrom->setText("small");
    edTo->setText("font2");
    dlg.findChild<QPushButton*>("butAdd")->click();
    QCOMPARE(p.app->tables().replacement.size(), before + 1);
    QCOMPARE(p.app->tables().replacement.back().from, std::string("small"));
    QVERIFY(!dlg.isVisible());
    QTreeWidget* rep = p.app->options().findChild<QTreeWidget*>("listReplace");
    QCOMPARE(rep->topLevelItem(static_cast<int>(before))->text(1), QString("font2"));
  }

  void tagsRemoveWithQuestionAndSort() {
    Program p;
    p.Start();
    QTreeWidget* rep = p.app->options().findChild<QTreeWidget*>("listReplace");
    QTreeWidget* del = p.app->options().removalList();
    auto questions = [&p] {
      std::vector<std::string> out;
      for (const auto& s : p.user.shown)
        if (s.type == tersify::testing::ScriptedInteraction::Shown::Type::Question) out.push_back(s.text);
      return out;
    };
    // No selection: nothing asked, nothing removed.
    rep->setCurrentItem(nullptr);
    p.app->options().findChild<QPushButton*>("butDelReplace")->click();
    QVERIFY(questions().empty());
    QCOMPARE(p.app->tables().replacement.size(), size_t(14));
    // The question names the pair in upper case; No keeps it, Yes removes it.
    rep->setCurrentItem(rep->topLevelItem(1));  // em -> i
    p.user.answers = {tersify::Answer::No, tersify::Answer::Yes};
    p.app->options().findChild<QPushButton*>("butDelReplace")->click();
    QCOMPARE(p.app->tables().replacement.size(), size_t(14));
    p.app->options().findChild<QPushButton*>("butDelReplace")->click();
    QCOMPARE(questions(), (std::vector<std::string>{
                              "Do you want to remove tags scheme:\r\nfrom EM to I\r\nfrom tags replacement list?",
                              "Do you want to remove tags scheme:\r\nfrom EM to I\r\nfrom tags replacement list?"}));
    QCOMPARE(p.app->tables().replacement.size(), size_t(13));
    QCOMPARE(p.app->tables().replacement[1].from, std::string("strike"));
    QCOMPARE(rep->topLevelItemCount(), 13);
    // Asked whatever the confirmation setting says.
    p.app->settings().cbShowConf = false;
    p.user.shown.clear();
    del->setCurrentItem(del->topLevelItem(6));  // /P
    p.user.answers = {tersify::Answer::Yes};
    p.app->options().findChild<QPushButton*>("butDelRemove")->click();
    QCOMPARE(questions(), std::vector<std::string>{"\r\nDo you want to remove tag /P from tags removal list?"});
    QCOMPARE(p.app->tables().removal[6].tag, std::string("/Li"));
    QCOMPARE(del->topLevelItemCount(), 9);
    // Unticking in the list changes the table at once.
    del->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
    QVERIFY(!p.app->tables().removal[0].ticked);
    rep->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
    QVERIFY(!p.app->tables().replacement[0].ticked);
    // The header sorts the table itself, without regard to case.
    p.app->tables().replacement.push_back({"Abbr", "acronym", true});
    rep->header()->sectionClicked(0);
    QCOMPARE(p.app->tables().replacement[0].from, std::string("Abbr"));
    QCOMPARE(p.app->tables().replacement[1].from, std::string("address"));
    QCOMPARE(rep->topLevelItem(0)->text(0), QString("Abbr"));
    rep->header()->sectionClicked(1);
    QCOMPARE(p.app->tables().replacement[0].to, std::string("acronym"));
    QCOMPARE(p.app->tables().replacement[1].to, std::string("b"));
    QCOMPARE(rep->topLevelItem(1)->text(1), QString("b"));
    QCOMPARE(rep->topLevelItem(1)->checkState(0), Qt::Unchecked);  // strong -> b, unticked above
    // The sorted order is the order written at the next save.
    p.app->options().findChild<QPushButton*>("butClose")->click();
    QVERIFY(ReadFile(p.Path("Tagschange.dat")).rfind("+ Abbr acronym\r\n- strong b\r\n", 0) == 0);
  }

  void languageFileRenamesCaptionsAndRebuildsMenu() {
    Program p;
    p.Start();
    WriteFile(p.Path("fr.lng"),
              "[frmOptions]\r\nfrmOptions.butClose.Caption=Fermer\r\nfrmOptions.comboMode.items[1]=Max\r\n"
              "[FRMMAIN]\r\nFRMMAIN.menuRefresh.CAPTION=Actualiser\r\nfrmMain.butQuit.Hint=Quitter*|*le programme\r\n"
              "frmMain.listFiles.columns[1].caption=Chemin\r\n[Misc]\r\nconst_cancel:string=Annuler\r\n");
    p.action("sort3")->trigger();
    p.app->settings().edLan = p.Path("fr.lng").toStdString();
    QVERIFY(p.app->ApplyLanguage());
    QCOMPARE(p.app->options().findChild<QPushButton*>("butClose")->text(), QString("Fermer"));
    QCOMPARE(p.app->options().modeList()->itemText(1), QString("Max"));
    QCOMPARE(p.button("butQuit")->toolTip(), QString("Quitter\nle programme"));
    QCOMPARE(p.list()->horizontalHeaderItem(1)->text(), QString("Chemin"));
    QAction* copy = p.app->main().findChild<QAction*>("mainmenuRefresh");
    QVERIFY(copy);
    QCOMPARE(copy->text(), QString("Actualiser"));
    QVERIFY(p.app->main().findChild<QAction*>("mainsort3")->isChecked());
    QCOMPARE(p.app->catalogue().Text("const_cancel"), std::string("Annuler"));
    // Back to English.
    p.app->options().findChild<QToolButton*>("butEnglish")->click();
    QCOMPARE(p.app->options().findChild<QPushButton*>("butClose")->text(), QString("Close"));
    QCOMPARE(p.list()->horizontalHeaderItem(1)->text(), QString("Path"));
    QCOMPARE(p.app->main().findChild<QAction*>("mainmenuRefresh")->text(), QString("Refresh"));
  }

  void busyGuardAndEsc() {
    Program p;
    WriteFile(p.Path("a.html"), "<p>a</p>\r\n");
    p.Start({p.Path("a.html")});
    p.app->main().escapeReleased();  // idle: nothing
    QVERIFY(!p.app->runState().cancelRequested);
    p.app->runState().BusyState = tersify::Busy::Opt;
    p.chooser.folder = p.dir.path();
    p.button("butPath")->click();
    QCOMPARE(p.user.Messages().back(), std::string("\rPlease, wait for optimization process finishing"));
    QCOMPARE(p.user.shown.back().kind, tersify::MessageKind::Warning);
    QCOMPARE(p.chooser.calls, 0);  // refused before the folder dialog
    p.app->main().escapeReleased();
    QVERIFY(p.app->runState().cancelRequested);
    // During a folder walk: Folder, Optimize! and Restore refuse with the folder text.
    p.app->runState().cancelRequested = false;
    p.app->runState().BusyState = tersify::Busy::Path;
    p.user.shown.clear();
    p.action("menuSelectFolder")->trigger();
    p.button("butOptimize")->click();
    p.button("butBackUp")->click();
    const std::string wait = "\rPlease, wait for folder treatment process finishing";
    QCOMPARE(p.user.Messages(), (std::vector<std::string>{wait, wait, wait}));
    QCOMPARE(p.chooser.calls, 0);
    QVERIFY(!QFile::exists(p.Path("optimized/a.html")));
    // Files is not guarded.
    p.chooser.files = {p.Path("a.html")};
    p.button("butFiles")->click();
    QCOMPARE(p.chooser.calls, 1);
    p.app->main().escapeReleased();
    QVERIFY(p.app->runState().cancelRequested);
  }

  void deflanNamesEveryCaptionAndHint() {
    Program p;
    p.Start();
    auto file = tersify::LanguageFile::Load(TERSIFY_SOURCE_DIR "/lang/Deflan.dat", tersify::CodePage::Cp1252);
    QVERIFY(file);
    QStringList missing;
    for (tersify::ui::QtWindow* w : p.app->translatableWindows()) {
      for (const std::string& line : tersify::ui::DescribeWindowTexts(*w)) {
        if (qEnvironmentVariableIsSet("TERSIFY_DUMP_LANG")) qInfo("%s", line.c_str());
        std::string key = line.substr(0, line.find('='));
        if (!file->Find(w->Name(), key)) missing << QString::fromStdString(key);
      }
    }
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(", ")));
    // A language file reaches components by name: no text may sit on an unnamed one.
    QStringList unnamed = UnnamedTexts(p);
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));

    // The check sees a component added later, with its caption and hint.
    auto* extra = new QLabel("Extra", p.app->options().pages()->widget(0));
    extra->setObjectName("labExtra");
    extra->setToolTip("Extra hint");
    auto* anonymous = new QPushButton("Anonymous", &p.app->main());
    QStringList keys;
    for (tersify::ui::QtWindow* w : p.app->translatableWindows())
      for (const std::string& line : tersify::ui::DescribeWindowTexts(*w))
        if (!file->Find(w->Name(), line.substr(0, line.find('=')))) keys << QString::fromStdString(line);
    QCOMPARE(keys, (QStringList{"frmOptions.labExtra.Caption=Extra", "frmOptions.labExtra.Hint=Extra hint"}));
    QCOMPARE(UnnamedTexts(p), QStringList{"frmMain: Anonymous"});
    delete anonymous;
    delete extra;
  }

  // The application quitting without the window being closed (the system
  // ending the session) still saves the options and the file list. Runs last:
  // it runs the application's own event loop to its end.
  void quittingWithoutClosingTheWindowSavesEverything() {
    Program p;
    WriteFile(p.Path("a.html"), "a\r\n");
    p.Start({p.Path("a.html")});
    p.app->settings().cbSaveNopen = true;
    p.app->settings()["cbDelKav"] = false;
    QFile::remove(p.Path("Options.dat"));
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    qApp->exec();
    const std::string options = ReadFile(p.Path("Options.dat"));
    QVERIFY(options.find("\r\ncbSaveNopen=1\r\n") != std::string::npos);
    QVERIFY(options.find("\r\ncbDelKav=0\r\n") != std::string::npos);
    QCOMPARE(ReadFile(p.Path("Default.lst")), "+ " + p.PathS("a.html") + "\r\n");
  }

 private:
  // Texts (captions and hints) on components without a name, by window.
  static QStringList UnnamedTexts(Program& p) {
    QStringList out;
    QWidget* windows[] = {&p.app->about(),         &p.app->main(),   &p.app->options(),
                          &p.app->replaceDialog(), &p.app->report(), &p.app->tagDialog()};
    for (QWidget* window : windows) {
      for (QObject* o : window->findChildren<QObject*>()) {
        if (!o->objectName().isEmpty()) continue;
        // Objects of a dialog parented to this window are that dialog's; menus belong to their window.
        bool other = false;
        for (QObject* up = o; up && up != window; up = up->parent())
          if (auto* w = qobject_cast<QWidget*>(up); w && w->isWindow() && !qobject_cast<QMenu*>(w)) other = true;
        // The status bar's panels show run-time texts of the catalogue.
        if (other || qobject_cast<QStatusBar*>(o->parent())) continue;
        QString text;
        if (auto* a = qobject_cast<QAction*>(o)) {
          if (a->isSeparator() || a->parent() == p.app->main().filesPanelMenu()) continue;  // the copies
          text = a->text() + a->statusTip();
        } else if (auto* l = qobject_cast<QLabel*>(o)) {
          text = l->text() + l->toolTip();
        } else if (auto* b = qobject_cast<QAbstractButton*>(o)) {
          text = b->text() + b->toolTip();
        } else if (auto* g = qobject_cast<QGroupBox*>(o)) {
          text = g->title() + g->toolTip();
        }
        if (!text.isEmpty()) out << window->objectName() + ": " + text;
      }
    }
    return out;
  }
};

QTEST_MAIN(AppTest)
#include "app_test.moc"
