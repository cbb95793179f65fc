// The desktop program started in a temporary folder, with a scripted user.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <fstream>

#include "app/application.h"
#include "i18n/language_file.h"
#include "ui/program_fixture.h"
#include "ui/file_chooser.h"
#include "ui/main_window.h"
#include "ui/options_dialog.h"
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
    WriteFile(p.Path("b.html"), "b\r\n");
    WriteFile(p.Path("my.lst"), "+ " + p.Path("a.html").toStdString() + "\r\n- " + p.Path("b.html").toStdString() +
                                    "\r\n");
    p.Start({p.Path("my.lst")});
    QCOMPARE(p.list()->rowCount(), 2);
    QCOMPARE(p.list()->item(1, 0)->checkState(), Qt::Unchecked);
    p.app->settings().cbSaveNopen = true;
    p.app->ShutDown();
    QCOMPARE(ReadFile(p.Path("Default.lst")), "+ " + p.Path("a.html").toStdString() + "\r\n- " +
                                                  p.Path("b.html").toStdString() + "\r\n");
    p.app.reset();
    p.Start();
    QCOMPARE(p.list()->rowCount(), 2);
    QCOMPARE(p.list()->item(0, 0)->checkState(), Qt::Checked);
    QCOMPARE(p.list()->item(1, 0)->checkState(), Qt::Unchecked);
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
    mode->activated(1);  // "Max optimization" chosen by the user
    QVERIFY(dlg.checkBox("cbDelCRLF")->isChecked());
    QVERIFY(p.app->settings().cbDelCRLF);
    // A mouse press on a pass box switches to "Users' settings"; a key press does not.
    mode->setCurrentIndex(1);
    p.app->settings().comboMode = 1;
    QTest::keyClick(dlg.checkBox("cbDelKav"), Qt::Key_Space);
    QCOMPARE(mode->currentIndex(), 1);
    QVERIFY(!p.app->settings().cbDelKav);
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
    QCOMPARE(p.app->main().toolButton("butQuit")->toolTip(), QString("Quitter\nle programme"));
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
    p.Start();
    p.app->main().escapeReleased();  // idle: nothing
    QVERIFY(!p.app->runState().cancelRequested);
    p.app->runState().BusyState = tersify::Busy::Opt;
    p.app->main().toolButton("butPath")->click();
    QCOMPARE(p.user.Messages().back(), std::string("\rPlease, wait for optimization process finishing"));
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
  }
};

QTEST_MAIN(AppTest)
#include "app_test.moc"
