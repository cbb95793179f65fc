// The overwrite dialog, the run window and the tag dialog on their own.
#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <optional>

#include "ui/qt_interaction.h"
#include "ui/replace_dialog.h"
#include "ui/report_window.h"
#include "ui/tag_dialog.h"

using tersify::OverwriteChoice;
using tersify::OverwriteQuestion;
using tersify::TagDialogMode;
using tersify::ui::TfrmReplaceDlg;
using tersify::ui::TfrmReport;
using tersify::ui::TfrmTagReplaceDlg;

namespace {

OverwriteQuestion BackupQuestion() {
  OverwriteQuestion q;
  q.upperPath = "/b/backup/index.html";
  q.upperInfo = "120 bytes    01.02.2024 10:00:00";
  q.lowerPath = "/site/index.html";
  q.lowerInfo = "130 bytes    02.02.2024 11:00:00  ?";
  q.lowerCaption = "With file";
  q.olderAllowed = true;
  return q;
}

// Runs `act` on the dialog once it is shown modally.
void WhenShown(TfrmReplaceDlg& dlg, std::function<void()> act) {
  QTimer::singleShot(0, &dlg, [&dlg, act] {
    QTRY_VERIFY(dlg.isVisible());
    act();
  });
}

// Runs `act` on the modal box once it is open.
void WhenBoxOpen(std::function<void(QWidget*)> act) {
  QTimer::singleShot(0, [act] {
    QTRY_VERIFY(QApplication::activeModalWidget() != nullptr);
    act(QApplication::activeModalWidget());
  });
}

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT
 private slots:
  void overwriteDialogShowsBothFiles() {
    TfrmReplaceDlg dlg;
    OverwriteQuestion q = BackupQuestion();
    QString upper, lowerInfo, caption, upperHint;
    bool olderEnabled = false;
    WhenShown(dlg, [&] {
      upper = dlg.findChild<QLabel*>("labToFile")->text();
      upperHint = dlg.findChild<QLabel*>("labToFile")->toolTip();
      lowerInfo = dlg.findChild<QLabel*>("labFromFileInfo")->text();
      caption = dlg.findChild<QLabel*>("Label2")->text();
      olderEnabled = dlg.button(OverwriteChoice::OverwriteAllOlder)->isEnabled();
      dlg.button(OverwriteChoice::Skip)->click();
    });
    auto answer = dlg.Ask(q);
    QCOMPARE(answer, std::optional(OverwriteChoice::Skip));
    QCOMPARE(upper, QString("/b/backup/index.html"));
    QCOMPARE(upperHint, upper);
    QCOMPARE(lowerInfo, QString("130 bytes    02.02.2024 11:00:00  ?"));
    QCOMPARE(caption, QString("With file"));
    QVERIFY(olderEnabled);
  }

  void everyButtonAnswersItsChoice() {
    TfrmReplaceDlg dlg;
    const OverwriteChoice all[] = {OverwriteChoice::Overwrite, OverwriteChoice::OverwriteAll,
                                   OverwriteChoice::Skip,      OverwriteChoice::OverwriteAllOlder,
                                   OverwriteChoice::SkipAll,   OverwriteChoice::NewName,
                                   OverwriteChoice::Rename};
    const char* captions[] = {"Overwrite", "Overwrite All", "Skip",  "Ovewrite All Older",
                              "Skip All",  "New name",      "Rename"};
    for (int i = 0; i < 7; ++i) {
      QCOMPARE(dlg.button(all[i])->text(), QString(captions[i]));
      WhenShown(dlg, [&dlg, c = all[i]] { dlg.button(c)->click(); });
      QCOMPARE(dlg.Ask(BackupQuestion()), std::optional(all[i]));
    }
  }

  void enterAnswersOverwriteAndSaveStepHasNoOlder() {
    TfrmReplaceDlg dlg;
    OverwriteQuestion q = BackupQuestion();
    q.olderAllowed = false;
    q.lowerCaption = "With optimized copy of the file";
    bool olderEnabled = true;
    WhenShown(dlg, [&] {
      olderEnabled = dlg.button(OverwriteChoice::OverwriteAllOlder)->isEnabled();
      QTest::keyClick(&dlg, Qt::Key_Return);
    });
    QCOMPARE(dlg.Ask(q), std::optional(OverwriteChoice::Overwrite));
    QVERIFY(!olderEnabled);
  }

  void closingWithoutAnswerGivesNothing() {
    TfrmReplaceDlg dlg;
    WhenShown(dlg, [&] { QTest::keyClick(&dlg, Qt::Key_Escape); });
    QCOMPARE(dlg.Ask(BackupQuestion()), std::nullopt);
    // A later question starts without the earlier answer.
    WhenShown(dlg, [&] { dlg.close(); });
    QCOMPARE(dlg.Ask(BackupQuestion()), std::nullopt);
  }

  void viewAndEditButtonsPassTheShownPaths() {
    TfrmReplaceDlg dlg;
    std::vector<std::string> viewed, edited;
    dlg.viewInBrowser = [&](const std::string& p) { viewed.push_back(p); };
    dlg.sendToEditor = [&](const std::string& p) { edited.push_back(p); };
    WhenShown(dlg, [&] {
      dlg.findChild<QAbstractButton*>("butView1")->click();
      dlg.findChild<QAbstractButton*>("butEdit2")->click();
      QVERIFY(dlg.isVisible());  // the dialog stays open
      dlg.button(OverwriteChoice::Rename)->click();
    });
    QCOMPARE(dlg.Ask(BackupQuestion()), std::optional(OverwriteChoice::Rename));
    QCOMPARE(viewed, std::vector<std::string>{"/b/backup/index.html"});
    QCOMPARE(edited, std::vector<std::string>{"/site/index.html"});
  }

  void messageBoxesShowKindTextAndButtons() {
    tersify::ui::QtInteraction user(nullptr, nullptr);
    QString text, title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    WhenBoxOpen([&](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      QVERIFY(box);
      text = box->text();
      title = box->windowTitle();
      icon = box->icon();
      box->button(QMessageBox::Ok)->click();
    });
    user.MessageBox("\rFolder for optimized files does not exist!\r\nPlease, change program options.",
                    tersify::MessageKind::Warning);
    QCOMPARE(text, QString("\nFolder for optimized files does not exist!\nPlease, change program options."));
    QCOMPARE(icon, QMessageBox::Warning);
    QCOMPARE(title, QString("Warning"));

    // Each button set with its answers; a box closed by the window system answers "do nothing".
    struct Case {
      tersify::QuestionButtons buttons;
      QMessageBox::StandardButtons shown;
      QMessageBox::StandardButton pressed;  // NoButton: closed with Esc
      tersify::Answer answer;
    };
    const Case cases[] = {
        {tersify::QuestionButtons::YesNo, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, tersify::Answer::Yes},
        {tersify::QuestionButtons::YesNo, QMessageBox::Yes | QMessageBox::No, QMessageBox::No, tersify::Answer::No},
        {tersify::QuestionButtons::YesNo, QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton,
         tersify::Answer::No},
        {tersify::QuestionButtons::OkCancel, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok,
         tersify::Answer::Ok},
        {tersify::QuestionButtons::OkCancel, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::NoButton,
         tersify::Answer::Cancel},
        {tersify::QuestionButtons::YesYesToAll, QMessageBox::Yes | QMessageBox::YesToAll, QMessageBox::YesToAll,
         tersify::Answer::YesToAll},
    };
    for (const Case& c : cases) {
      QMessageBox::StandardButtons seen;
      WhenBoxOpen([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        QVERIFY(box);
        seen = box->standardButtons();
        icon = box->icon();
        if (c.pressed == QMessageBox::NoButton)
          QTest::keyClick(box, Qt::Key_Escape);
        else
          box->button(c.pressed)->click();
      });
      QCOMPARE(user.Question("Save changes?", tersify::MessageKind::Confirmation, c.buttons), c.answer);
      QCOMPARE(seen, c.shown);
      QCOMPARE(icon, QMessageBox::Question);
    }
  }

  void inputBoxGivesTheTextOrNothing() {
    tersify::ui::QtInteraction user(nullptr, nullptr);
    QString title, label, proposed;
    WhenBoxOpen([&](QWidget* w) {
      auto* box = qobject_cast<QInputDialog*>(w);
      QVERIFY(box);
      title = box->windowTitle();
      label = box->labelText();
      proposed = box->textValue();
      box->setTextValue("index2.html");
      box->accept();
    });
    QCOMPARE(user.InputBox("Saving", "Enter name for new file", "index.html"),
             std::optional<std::string>("index2.html"));
    QCOMPARE(title, QString("Saving"));
    QCOMPARE(label, QString("Enter name for new file"));
    QCOMPARE(proposed, QString("index.html"));
    WhenBoxOpen([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
    QCOMPARE(user.InputBox("Renaming", "Enter new filename", "a.html"), std::nullopt);
    // Without an overwrite dialog there is no answer.
    QCOMPARE(user.AskOverwrite(BackupQuestion()), std::nullopt);
  }

  void nameBoxStaysAboveTheOverwriteDialog() {
    TfrmReplaceDlg dlg;
    tersify::ui::QtInteraction user(nullptr, &dlg);
    WhenShown(dlg, [&dlg] { dlg.button(OverwriteChoice::NewName)->click(); });
    QCOMPARE(user.AskOverwrite(BackupQuestion()), std::optional(OverwriteChoice::NewName));
    QWidget* owner = nullptr;
    bool dialogShown = false;
    WhenBoxOpen([&](QWidget* w) {
      owner = w->parentWidget();
      dialogShown = dlg.isVisible();
      QTest::keyClick(w, Qt::Key_Escape);
    });
    QCOMPARE(user.InputBox("Saving", "Enter name for new file", "index.html"), std::nullopt);
    QCOMPARE(owner, static_cast<QWidget*>(&dlg));
    QVERIFY(dialogShown && dlg.isVisible());  // cancelled: the dialog is asked again
    user.ProcessPendingEvents();
    QVERIFY(!dlg.isVisible());
  }

  void reportCancelClosesIdleWindowAndBreaksRunningOne() {
    TfrmReport report;
    int cancels = 0;
    report.requestCancel = [&] { ++cancels; };
    report.SetCancelCaption("Annuler", false);
    report.show();
    QTest::keyRelease(&report, Qt::Key_Escape);  // prepared: Esc does nothing
    QVERIFY(report.isVisible());
    QCOMPARE(cancels, 0);
    report.SetCancelCaption("Stop", true);
    QTest::keyClick(&report, Qt::Key_Escape);  // running: Esc acts as the button
    QCOMPARE(cancels, 1);
    report.cancelButton()->click();
    QCOMPARE(cancels, 2);
    QVERIFY(report.isVisible());
    report.SetCancelCaption("Annuler", false);
    report.cancelButton()->click();
    QVERIFY(!report.isVisible());
    QCOMPARE(cancels, 2);
  }

  void reportClockTicksOnlyWhileRunning() {
    TfrmReport report;
    std::optional<QString> clock;
    report.clockText = [&] { return clock; };
    report.Tick();
    QCOMPARE(report.clock(), QString());
    clock = "0:00:07";
    QTRY_COMPARE_WITH_TIMEOUT(report.clock(), QString("0:00:07"), 1000);  // the 100 ms timer
    clock.reset();
    report.Tick();
    QCOMPARE(report.clock(), QString("0:00:07"));
  }

  void reportDestinationIsShortenedWithHint() {
    TfrmReport report;
    QString longPath = "/home/user/a/very/long/folder/name/that/does/not/fit/into/the/label/optimized/";
    report.SetDestination("Optimized copies of the files will be saved to: ", longPath);
    QLabel* line = report.label("labPathForOptimized");
    QVERIFY(line->text().endsWith(" ..."));
    QVERIFY(line->text().size() < longPath.size() + 4);
    QVERIFY(longPath.startsWith(line->text().chopped(4)));
    QCOMPARE(line->toolTip(), longPath);
    QVERIFY(QFontMetrics(line->font()).horizontalAdvance(line->text().chopped(4)) < 260);
    report.SetDestination("x", "/opt/");
    QCOMPARE(line->text(), QString("/opt/ ..."));
  }

  void reportResultsPage() {
    TfrmReport report;
    report.SetResults("3", "-12", "8 %", "20 %", "0:00:01");
    report.ShowPage(1);
    QCOMPARE(report.page(), 1);
    QCOMPARE(report.label("midk")->text(), QString("8 %"));
    QCOMPARE(report.label("mk")->text(), QString("20 %"));
    QCOMPARE(report.label("deleted")->text(), QString("-12"));
  }

  void tagDialogModes() {
    TfrmTagReplaceDlg dlg;
    std::optional<TagDialogMode> mode;
    std::string from, to;
    bool accept = false;
    dlg.add = [&](TagDialogMode m, const std::string& f, const std::string& t) {
      mode = m;
      from = f;
      to = t;
      return accept;
    };
    dlg.ShowFor("Tags removal", TagDialogMode::Removal);
    QCOMPARE(dlg.windowTitle(), QString("Tags removal"));
    QVERIFY(!dlg.toEdit()->isEnabled());
    QCOMPARE(dlg.fromEdit()->maxLength(), 30);
    // A language applied while the dialog is open renames it; the table stays.
    dlg.setWindowTitle("Tags replacement");
    QTest::keyClicks(dlg.fromEdit(), "/p");
    dlg.addButton()->click();
    QVERIFY(mode == TagDialogMode::Removal);
    QCOMPARE(from, std::string("/p"));
    QVERIFY(dlg.isVisible());  // refused: stays open with its text
    QCOMPARE(dlg.fromEdit()->text(), QString("/p"));
    dlg.ShowFor("Tags replacement", TagDialogMode::Replacement);
    QVERIFY(dlg.toEdit()->isEnabled());
    QCOMPARE(dlg.fromEdit()->text(), QString());  // cleared at each showing
    QTest::keyClicks(dlg.fromEdit(), "strong");
    QTest::keyClicks(dlg.toEdit(), "b");
    accept = true;
    dlg.addButton()->click();
    QVERIFY(mode == TagDialogMode::Replacement);
    QCOMPARE(to, std::string("b"));
    QVERIFY(!dlg.isVisible());
  }
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
