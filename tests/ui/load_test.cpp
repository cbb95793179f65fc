// The desktop program over a large folder tree: the Folder command fills the
// panel, Optimize runs without the results window, and the window keeps
// processing its events at every checkpoint of the run. Skipped unless
// TERSIFY_LOAD_TEST=1; TERSIFY_LOAD_TREE names the tree (tests/load/run_load.sh
// builds one), TERSIFY_LOAD_FILES the number of pages it holds.
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <chrono>
#include <cstdio>

#include "ui/program_fixture.h"

using tersify::testing::Program;
using Clock = std::chrono::steady_clock;

namespace {

long long Ms(Clock::duration d) { return std::chrono::duration_cast<std::chrono::milliseconds>(d).count(); }

}  // namespace

class LoadTest : public QObject {
  Q_OBJECT
 private slots:
  void desktopRunOverALargeTree() {
    if (qgetenv("TERSIFY_LOAD_TEST") != "1") QSKIP("set TERSIFY_LOAD_TEST=1 to run the load test");
    const QString tree = QString::fromLocal8Bit(qgetenv("TERSIFY_LOAD_TREE"));
    if (tree.isEmpty()) QSKIP("TERSIFY_LOAD_TREE names no folder tree");
    Program p;
    p.Start();
    auto& s = p.app->settings();
    s.cbProcessEmbeded = true;
    s.cbMaxEmbCount = false;
    s.cbMaxFCount = false;
    s.cbShowOptWin = false;
    s.cbShowConf = false;
    s.cbShowEnd = true;
    const QString out = QString::fromLocal8Bit(qgetenv("TERSIFY_LOAD_OUT"));
    if (!out.isEmpty()) s.edOptimizedPath = out.toStdString() + "/";
    p.app->main().show();

    // The walk fills the panel.
    p.chooser.folder = tree;
    auto w0 = Clock::now();
    p.button("butPath")->click();
    auto walk = Clock::now() - w0;
    const int files = p.list()->rowCount();
    QVERIFY(files > 0);
    const int expectedFiles = qEnvironmentVariableIntValue("TERSIFY_LOAD_FILES");
    if (expectedFiles > 0) QCOMPARE(files, expectedFiles);
    QVERIFY(p.user.Messages().empty());

    // The run: each checkpoint really lets the window's events through; a
    // 100 ms timer shows it, as the results window's clock would.
    int ticks = 0;
    QTimer timer;
    timer.setInterval(100);
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start();
    Clock::duration longestGap{};
    Clock::time_point last = Clock::now();
    p.user.pendingEventCalls = 0;
    p.user.onPendingEvents = [&](int) {
      auto now = Clock::now();
      if (now - last > longestGap) longestGap = now - last;
      last = now;
      QCoreApplication::processEvents(QEventLoop::AllEvents);
    };
    auto r0 = Clock::now();
    p.button("butOptimize")->click();
    auto run = Clock::now() - r0;
    timer.stop();

    std::printf("LOAD desktop: files=%d walk_ms=%lld run_ms=%lld checkpoints=%d timer_ticks=%d longest_gap_ms=%lld\n",
                files, Ms(walk), Ms(run), p.user.pendingEventCalls, ticks, Ms(longestGap));
    std::fflush(stdout);
    QCOMPARE(p.user.Messages(), std::vector<std::string>{"\rOptimization finished"});
    QCOMPARE(p.app->runState().LastRunFiles.size(), size_t(files));
    // One checkpoint before each file, one after its backup step and four
    // between the passes.
    QCOMPARE(p.user.pendingEventCalls, 6 * files);
    // The timer fired at checkpoints. It fires at most once per checkpoint, and
    // a long pass over a large page holds it back until the next one, so the
    // count is far below the run's time in tenths of a second.
    if (Ms(run) >= 1000) QVERIFY(ticks > 0);
    // The refresh after the run shows every file's packed size.
    QCOMPARE(p.list()->rowCount(), files);
    int packed = 0;
    for (int r = 0; r < files; ++r)
      if (p.list()->item(r, 4) && p.list()->item(r, 4)->text() != "-") ++packed;
    QCOMPARE(packed, files);
  }
};

QTEST_MAIN(LoadTest)
#include "load_test.moc"
