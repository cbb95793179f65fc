// The desktop program as a user meets it: the source view keeps a page's
// bytes, boxes stay with the window that asks, titles hold one line, the
// Path column stays readable and the panel never shows stale rows.
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include "ui/file_chooser.h"
#include "ui/main_window.h"
#include "ui/options_dialog.h"
#include "ui/program_fixture.h"
#include "ui/report_window.h"
#include "ui/tag_dialog.h"

using tersify::Answer;
using tersify::testing::Program;
using tersify::testing::ReadFile;
using tersify::testing::WriteFile;

namespace {

// Runs `act` on the first modal box that opens, then closes it.
void OnNextBox(std::function<void(QWidget*)> act) {
  auto* poll = new QTimer;
  poll->setInterval(5);
  QObject::connect(poll, &QTimer::timeout, [poll, act] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    poll->stop();
    poll->deleteLater();
    act(box);
    box->reject();
  });
  poll->start();
}

}  // namespace

class WindowsTest : public QObject {
  Q_OBJECT
 private slots:
  void viewSavesEveryUneditedByte() {
    struct Case {
      const char* name;
      std::string page;
      QString firstLine;
      std::string saved;  // after "!" was typed at the end of the first line
    };
    const Case cases[] = {
        {"code page 1252", "<p>caf\xe9\xa0</p>\r\n<p>\x80</p>\n", QString::fromUtf8("<p>caf\xc3\xa9\xc2\xa0</p>"),
         "<p>caf\xe9\xa0</p>!\r\n<p>\x80</p>\n"},
        {"UTF-8", "<p>caf\xc3\xa9\xc2\xa0</p>\r\n<p>\xe2\x82\xac</p>\n",
         QString::fromUtf8("<p>caf\xc3\xa9\xc2\xa0</p>"), "<p>caf\xc3\xa9\xc2\xa0</p>!\r\n<p>\xe2\x82\xac</p>\n"},
    };
    for (const Case& c : cases) {
      Program p;
      WriteFile(p.Path("a.html"), c.page);
      p.Start({p.Path("a.html")});
      p.app->view().codePage = tersify::CodePage::Cp1252;
      p.list()->setCurrentCell(0, 0);
      p.button("butViewUnZipped")->click();
      QPlainTextEdit* memo = p.app->main().sourceView();
      QCOMPARE(memo->document()->firstBlock().text(), c.firstLine);
      QTextCursor cursor(memo->document()->firstBlock());
      cursor.movePosition(QTextCursor::EndOfBlock);
      memo->setTextCursor(cursor);
      QTest::keyClicks(memo, "!");
      p.button("butSaveFile")->click();
      QVERIFY2(ReadFile(p.Path("a.html")) == c.saved, c.name);
    }
  }

  void boxesBelongToTheWindowThatAsks() {
    Program p;
    p.realBoxes = true;
    WriteFile(p.Path("a.html"), "<p> a </p>\r\n<p> b </p>\r\n");
    p.Start({p.Path("a.html")});
    auto& main = p.app->main();
    main.show();
    // A warning of the tag dialog: a pair that would chain replacements.
    p.app->options().ShowPage(2);
    auto& tags = p.app->tagDialog();
    auto add = [&](const char* from, const char* to) {
      tags.ShowFor(QString::fromStdString(p.app->catalogue().Text("const_rep_cap")),
                   tersify::TagDialogMode::Replacement);
      tags.fromEdit()->setText(from);
      tags.toEdit()->setText(to);
      tags.addButton()->click();
    };
    add("aa", "bb");
    QWidget* tagBoxOwner = nullptr;
    QWindow* tagBoxOn = nullptr;
    OnNextBox([&](QWidget* box) {
      tagBoxOwner = box->parentWidget();
      tagBoxOn = box->windowHandle()->transientParent();
    });
    add("bb", "cc");
    QCOMPARE(tagBoxOwner, static_cast<QWidget*>(&tags));
    QCOMPARE(tagBoxOn, tags.windowHandle());
    QVERIFY(tags.isVisible() && p.app->options().isVisible());
    // The Break question of a run started in the results window.
    auto& report = p.app->report();
    QCOMPARE(report.parentWidget(), &main);  // it stays above the main window
    p.app->settings().cbShowOptWin = true;
    main.findChild<QToolButton*>("butOptimize")->click();
    QVERIFY(report.isVisible());
    QTimer breaker;
    breaker.setInterval(0);
    QObject::connect(&breaker, &QTimer::timeout, [&] {
      if (p.app->runState().BusyState == tersify::Busy::Opt && !QApplication::activeModalWidget()) {
        breaker.stop();
        report.cancelButton()->click();
      }
    });
    breaker.start();
    QWidget* owner = nullptr;
    QWindow* stackedOn = nullptr;
    OnNextBox([&](QWidget* box) {
      owner = box->parentWidget();
      stackedOn = box->windowHandle()->transientParent();
    });
    report.startButton()->click();
    QCOMPARE(owner, static_cast<QWidget*>(&report));
    QCOMPARE(stackedOn, report.windowHandle());
    QCOMPARE(report.windowHandle()->transientParent(), main.windowHandle());
  }

  void folderDialogTitleIsOneLine() {
    tersify::ui::QtFileChooser chooser;
    QString title;
    QTimer::singleShot(0, [&] {
      QTRY_VERIFY(QApplication::activeModalWidget() != nullptr);
      title = QApplication::activeModalWidget()->windowTitle();
      QApplication::activeModalWidget()->close();
    });
    chooser.ChooseFolder(nullptr, "Allowed files count in the panel is 100\r\nEmbeded folder are not processed");
    QCOMPARE(title, QString("Allowed files count in the panel is 100 Embeded folder are not processed"));
  }

  void pathColumnElidesInTheMiddleWithTheFullPathAsTooltip() {
    Program p;
    const QString deep = "a-long-folder-name/another-long-folder-name/yet-another-folder";
    for (const QString& folder : {deep + "/one", deep + "/two"}) {
      QDir().mkpath(p.Path(folder));
      WriteFile(p.Path(folder + "/index.html"), "<p>x</p>\r\n");
    }
    p.Start({p.Path(deep + "/one/index.html"), p.Path(deep + "/two/index.html")});
    auto& main = p.app->main();
    main.resize(800, 500);
    main.show();
    QHeaderView* header = p.list()->horizontalHeader();
    QVERIFY(header->stretchLastSection());
    QCOMPARE(header->sectionPosition(5) + header->sectionSize(5), p.list()->viewport()->width());
    auto* delegate = qobject_cast<tersify::ui::PathColumnDelegate*>(p.list()->itemDelegateForColumn(1));
    QVERIFY(delegate);
    QStringList shown, tips;
    for (int row = 0; row < 2; ++row) {
      QStyleOptionViewItem option;
      option.initFrom(p.list());
      const QModelIndex index = p.list()->model()->index(row, 1);
      delegate->initStyleOption(&option, index);
      shown << option.fontMetrics.elidedText(option.text, option.textElideMode, p.list()->columnWidth(1));
      QCOMPARE(p.list()->item(row, 1)->toolTip(), p.list()->item(row, 0)->toolTip());
      tips << p.list()->item(row, 0)->toolTip();
    }
    tips.sort();
    QCOMPARE(tips, QStringList({p.Path(deep + "/one/index.html"), p.Path(deep + "/two/index.html")}));
    // Both ends stay: the rows differ at the folder's end.
    shown.sort();
    QVERIFY2(shown[0].contains(QChar(0x2026)) && shown[0].startsWith(p.Path("").left(5)), qPrintable(shown[0]));
    QVERIFY2(shown[0].endsWith("/one/") && shown[1].endsWith("/two/"), qPrintable(shown.join(" | ")));
  }

  void panelShowsTheNewStateBeforeItAsks() {
    Program p;
    for (const char* name : {"old1.html", "old2.html", "site/sub/n1.html", "site/n2.html", "site/n3.html"}) {
      QDir().mkpath(QFileInfo(p.Path(name)).path());
      WriteFile(p.Path(name), "<p>x</p>\r\n");
    }
    p.Start({p.Path("old1.html"), p.Path("old2.html")});
    QCOMPARE(p.list()->rowCount(), 2);
    // The folder walk: the old rows are gone at its first pause.
    p.app->settings().cbProcessEmbeded = true;
    p.chooser.folder = p.Path("site");
    int rowsAtPause = -1;
    p.user.onPendingEvents = [&](int call) {
      if (call == 1) rowsAtPause = p.list()->rowCount();
    };
    p.button("butPath")->click();
    QCOMPARE(rowsAtPause, 0);
    QCOMPARE(p.list()->rowCount(), 3);
    // The count restriction: asked over an emptied panel.
    p.app->settings().cbMaxFCount = true;
    p.app->settings().edMaxFCount = "1";
    p.chooser.files = {p.Path("old1.html"), p.Path("old2.html")};
    int rowsAtQuestion = -1;
    p.user.onQuestion = [&] { rowsAtQuestion = p.list()->rowCount(); };
    p.user.answers = {Answer::Yes};
    p.button("butFiles")->click();
    QCOMPARE(rowsAtQuestion, 0);
    QCOMPARE(p.list()->rowCount(), 1);
  }

  void mainWindowFitsTheScreen() {
    Program p;
    p.Start();
    auto& main = p.app->main();
    main.resize(4000, 3000);  // as a stored size from a larger screen would
    main.show();
    const QRect area = main.screen()->availableGeometry();
    QVERIFY2(area.contains(main.frameGeometry()),
             qPrintable(
                 QString("%1x%2 on %3x%4").arg(main.width()).arg(main.height()).arg(area.width()).arg(area.height())));
  }

  void hintsHelpAndLanguageChooserFollowTheLanguage() {
    Program p;
    p.Start();
    QDir().mkpath(p.Path("lang"));
    QDir().mkpath(p.Path("help"));
    QFile::copy(TERSIFY_SOURCE_DIR "/lang/German.lng", p.Path("lang/German.lng"));
    WriteFile(p.Path("help/tfy.html"), "<html></html>");
    p.app->settings().edLan = p.PathS("lang/German.lng");
    p.app->ApplyLanguage();
    QCOMPARE(p.app->main().sourceView()->toolTip(), QString("Dateiquelltext"));
    // Help: the German page once it exists, else the English one.
    p.action("menuContent")->trigger();
    WriteFile(p.Path("help/tfy-German.html"), "<html></html>");
    p.action("menuContent")->trigger();
    QCOMPARE(p.started.size(), size_t(2));
    QCOMPARE(p.started[0].argument, p.PathS("help/tfy.html"));
    QCOMPARE(p.started[1].argument, p.PathS("help/tfy-German.html"));
    p.app->options().findChild<QAbstractButton*>("butLan")->click();
    QCOMPARE(p.chooser.lastFolder, p.Path("lang"));
  }
};

QTEST_MAIN(WindowsTest)
#include "windows_test.moc"
