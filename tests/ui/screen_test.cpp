// The screen check at start-up, on an offscreen screen 640 pixels wide and
// 1200 high: the program says why and ends (the end is queued for the
// message loop, which a test does not run).
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "ui/program_fixture.h"

using tersify::testing::Program;
using tersify::testing::WriteFile;

class ScreenTest : public QObject {
  Q_OBJECT
 private slots:
  void narrowScreenEndsTheProgramAfterTheMessage() {
    QCOMPARE(QGuiApplication::primaryScreen()->geometry().width(), 640);
    Program p;
    WriteFile(p.Path("a.html"), "<p>a</p>\r\n");
    p.Start({p.Path("a.html")});
    QVERIFY(p.app->screenTooSmall());
    // The start-up work was done before the check.
    QCOMPARE(p.list()->rowCount(), 1);
    QVERIFY(QFile::exists(p.Path("Options.dat")));
    QCOMPARE(p.user.Messages(), std::vector<std::string>{"Sorry, minimum screen resolution restriction is 800\xD1\x85"
                                                         "600. Program will be closed.\r\nPlease, set bigger "
                                                         "screen resolution and try again."});
    QCOMPARE(p.user.shown.back().kind, tersify::MessageKind::Error);
    // German writes its own sign; back in English the sign is the same as at the start.
    QFile::copy(TERSIFY_SOURCE_DIR "/lang/German.lng", p.Path("german.lng"));
    p.app->settings().edLan = p.PathS("german.lng");
    QVERIFY(p.app->ApplyLanguage());
    QVERIFY(p.app->catalogue().Text("const_resolution").find("800 x 600") != std::string::npos);
    p.app->settings().edLan.clear();
    QVERIFY(p.app->ApplyLanguage());
    QVERIFY(p.app->catalogue()
                .Text("const_resolution")
                .find("800\xD1\x85"
                      "600") != std::string::npos);
  }
};

int main(int argc, char** argv) {
  // A screen narrower than 800 pixels (and high enough): only the width counts.
  QTemporaryDir dir;
  QString config = dir.path() + "/screen.json";
  QFile f(config);
  if (!f.open(QIODevice::WriteOnly)) return 1;
  f.write(R"({"screens": [{"name": "narrow", "x": 0, "y": 0, "width": 640, "height": 1200,
             "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
  f.close();
  qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
  QApplication app(argc, argv);
  ScreenTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "screen_test.moc"
