// Runs over real temporary folders with a scripted user.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <tuple>

#include "run/date_text.h"
#include "run/file_ops.h"
#include "support/run_fixture.h"

namespace tersify::testing {
namespace {

using Type = ScriptedInteraction::Shown::Type;

int CountShown(const ScriptedInteraction& ui, Type type) {
  int n = 0;
  for (const auto& s : ui.shown) n += s.type == type ? 1 : 0;
  return n;
}

TEST(RunBatch, CopyModeWritesCopiesKeepingLineBreaksAndLeavesSourcesAlone) {
  RunHarness h;
  std::string a = h.AddSource("src/a.html", "a b\nc");
  std::string b = h.AddSource("src/b.htm", "x  y\r\n\rz\n");
  auto run = h.Controller();
  EXPECT_EQ(run.RunOptimization(false), RunEnd::Completed);

  EXPECT_EQ(ReadAll(h.settings.edOptimizedPath + "a.html"), "ab\nc\n");
  EXPECT_EQ(ReadAll(h.settings.edOptimizedPath + "b.htm"), "xy\r\n\r\nz\r\n");
  EXPECT_EQ(ReadAll(a), "a b\nc");
  EXPECT_EQ(ReadAll(b), "x  y\r\n\rz\n");
  EXPECT_EQ(h.state.LastRunFiles, (std::vector<std::string>{a, b}));
  EXPECT_EQ(h.state.stats.totalBefore, 5 + 9);
  EXPECT_EQ(h.state.stats.totalAfter, 5 + 9);
  EXPECT_EQ(h.state.BusyState, Busy::None);
  EXPECT_TRUE(h.state.backUpLastEnabled);
  EXPECT_TRUE(h.ui.shown.empty());
  // The panel was refreshed from disk: size, packed size and ratio.
  ASSERT_EQ(h.panel.size(), 2u);
  const PanelRow& ra = h.panel.rows()[0].Filename == "a.html" ? h.panel.rows()[0] : h.panel.rows()[1];
  ASSERT_EQ(ra.columns.size(), 4u);
  EXPECT_EQ(ra.columns[1], "5");
  EXPECT_EQ(ra.columns[2], "5");
  EXPECT_EQ(ra.columns[3], "0 %");
  EXPECT_EQ(Listing(h.settings.edOptimizedPath), (std::vector<std::string>{"a.html", "b.htm"}));
}

TEST(RunBatch, ModifyModeWithBackupsKeepsOriginalAndItsTime) {
  RunHarness h;
  h.ModifySources(true);
  std::string a = h.AddSource("src/a.html", "p q r");
  auto old = fs::file_time_type::clock::now() - std::chrono::hours(72);
  fs::last_write_time(a, old);
  auto run = h.Controller();
  EXPECT_EQ(run.RunOptimization(false), RunEnd::Completed);
  EXPECT_EQ(ReadAll(a), "pqr\n");
  std::string backup = h.settings.edBackUpPath + "a.html";
  EXPECT_EQ(ReadAll(backup), "p q r");
  EXPECT_EQ(fs::last_write_time(backup), old);
  EXPECT_TRUE(h.ui.shown.empty());  // the source path was free for the save step
  EXPECT_TRUE(h.state.backUpLastEnabled);
  EXPECT_EQ(Listing(h.tmp.Path("src")), std::vector<std::string>{"a.html"});
  EXPECT_EQ(Listing(h.settings.edBackUpPath), std::vector<std::string>{"a.html"});
}

TEST(RunBatch, ModifyModeWithoutBackupsAsksUntilOverwriteAll) {
  RunHarness h;
  h.ModifySources(false);
  std::string a = h.AddSource("src/a.html", "1 2");
  std::string b = h.AddSource("src/b.html", "3 4");
  std::string c = h.AddSource("src/c.html", "5 6");
  const std::optional<std::string> dateBefore = FileDateTextOf(a);  // the save gives it a new one
  h.ui.overwriteAnswers = {OverwriteChoice::Overwrite, OverwriteChoice::OverwriteAll};
  auto run = h.Controller();
  EXPECT_EQ(run.RunOptimization(false), RunEnd::Completed);
  ASSERT_EQ(CountShown(h.ui, Type::Overwrite), 2);
  const OverwriteQuestion& q = h.ui.shown[0].overwrite;
  EXPECT_EQ(q.upperPath, a);
  EXPECT_EQ(q.lowerPath, a);
  EXPECT_EQ(q.lowerCaption, "With optimized copy of the file");
  EXPECT_FALSE(q.olderAllowed);
  EXPECT_EQ(q.upperInfo, "3 bytes    " + *dateBefore);
  EXPECT_EQ(q.lowerInfo.substr(q.lowerInfo.size() - 3), "  ?");
  EXPECT_EQ(ReadAll(a), "12\n");
  EXPECT_EQ(ReadAll(b), "34\n");
  EXPECT_EQ(ReadAll(c), "56\n");
  EXPECT_FALSE(h.state.backUpLastEnabled);  // nothing to restore from
  EXPECT_TRUE(Listing(h.settings.edBackUpPath).empty());
}

TEST(RunBatch, OptimizeCommandGuardsAndNothingTicked) {
  RunHarness h;
  auto run = h.Controller();
  h.state.BusyState = Busy::Opt;
  run.OptimizeCommand();
  h.state.BusyState = Busy::Path;
  run.OptimizeCommand();
  h.state.BusyState = Busy::None;
  std::string a = h.AddSource("src/a.html", "a a");
  h.panel.RemoveSelection();
  run.OptimizeCommand();
  EXPECT_EQ(h.ui.Messages(), (std::vector<std::string>{"\rPlease, wait for optimization process finishing",
                                                       "\rPlease, wait for folder treatment process finishing",
                                                       "\rYou should select files first"}));
  EXPECT_TRUE(Listing(h.settings.edOptimizedPath).empty());
  h.settings.cbShowInfo = false;
  run.OptimizeCommand();
  EXPECT_EQ(h.ui.Messages().size(), 3u);
}

TEST(RunBatch, OptimizeCommandAsksThenRunsWithoutWindow) {
  RunHarness h;
  h.settings.cbShowConf = true;
  h.settings.cbShowEnd = true;
  h.AddSource("src/a.html", "a a");
  std::vector<std::string> statuses;
  auto run = h.Controller();
  run.mainStatus = [&](const std::string& t) { statuses.push_back(t); };
  h.ui.answers = {Answer::No};
  run.OptimizeCommand();
  EXPECT_FALSE(Exists(h.settings.edOptimizedPath + "a.html"));
  h.ui.answers = {Answer::Yes};
  run.OptimizeCommand();
  EXPECT_EQ(ReadAll(h.settings.edOptimizedPath + "a.html"), "aa\n");
  EXPECT_EQ(h.ui.shown.back().text, "\rOptimization finished");
  EXPECT_EQ(statuses, (std::vector<std::string>{"optimization in a progress ...", ""}));
}

TEST(RunBatch, WindowShowsPreparationAndResults) {
  RunHarness h;
  h.settings.cbShowOptWin = true;
  // Ratios 10, 20 and -5 over three files of 100 bytes.
  h.AddSource("src/r10.html", std::string(89, 'x') + std::string(11, ' '));
  h.AddSource("src/r20.html", std::string(79, 'x') + std::string(21, ' '));
  std::string grow;  // lone CR breaks become CR LF
  for (int i = 0; i < 5; ++i) grow += std::string(19, 'y') + "\r";
  h.AddSource("src/rm5.html", grow);
  auto run = h.Controller(true);
  run.OptimizeCommand();
  EXPECT_TRUE(h.window.open);
  EXPECT_EQ(h.window.caption, "Optimization");
  EXPECT_EQ(h.window.fcount, "3");
  EXPECT_EQ(h.window.filessize, "300");
  EXPECT_EQ(h.window.comment, "Optimized copies of the files will be saved to: ");
  EXPECT_EQ(h.window.destination, h.settings.edOptimizedPath);
  EXPECT_FALSE(Exists(h.settings.edOptimizedPath + "r10.html"));  // waits for Start

  EXPECT_EQ(run.StartClick(), RunEnd::Completed);
  EXPECT_TRUE(h.window.resultsShown);
  EXPECT_EQ(h.window.caption, "Optimization finished");
  EXPECT_EQ(h.window.results.fdone, "3");
  EXPECT_EQ(h.window.results.deleted, "25");
  EXPECT_EQ(h.window.results.midk, "8 %");
  EXPECT_EQ(h.window.results.mk, "20 %");
  EXPECT_EQ(h.window.results.elapsed.substr(0, 4), ElapsedClockText(std::chrono::milliseconds(0)).substr(0, 4));
  EXPECT_EQ(h.window.status, "ready for optimization");
  EXPECT_EQ(h.window.cancelCaption, "Cancel");
  EXPECT_EQ(h.window.fcount, "0");
  EXPECT_TRUE(h.window.startEnabled);
  run.CancelClick();  // idle: closes
  EXPECT_FALSE(h.window.open);
  EXPECT_FALSE(h.state.cancelRequested);
}

TEST(RunBatch, DestinationLinesFollowTheMode) {
  RunHarness h;
  h.settings.cbShowOptWin = true;
  h.AddSource("src/a.html", "a");
  auto run = h.Controller(true);
  h.ModifySources(true);
  run.OptimizeCommand();
  EXPECT_EQ(h.window.comment, "Before optimization files will be copied to:");
  EXPECT_EQ(h.window.destination, h.settings.edBackUpPath);
  h.ModifySources(false);
  run.OptimizeCommand();
  EXPECT_EQ(h.window.comment, "Source files optimization.");
  EXPECT_EQ(h.window.destination, "It will be impossible to restore optimized files");
}

TEST(RunBatch, BreakDuringRunAsksAndCancelLetsItGoOn) {
  RunHarness h;
  h.settings.cbShowOptWin = true;
  h.AddSource("src/a.html", "a a");
  h.AddSource("src/b.html", "b b");
  auto run = h.Controller(true);
  run.OptimizeCommand();
  h.ui.onPendingEvents = [&](int call) {
    if (call == 2) {
      EXPECT_EQ(h.window.cancelCaption, "Break");
      EXPECT_EQ(h.state.BusyState, Busy::Opt);
      run.EscapeInWindow();  // Esc acts as the Break button
    }
  };
  h.ui.answers = {Answer::Cancel};
  EXPECT_EQ(run.StartClick(), RunEnd::Completed);
  ASSERT_EQ(CountShown(h.ui, Type::Question), 1);
  EXPECT_EQ(h.ui.shown[0].text, "\r\nDo you want to interrupt optimization process?");
  EXPECT_EQ(h.ui.shown[0].buttons, QuestionButtons::OkCancel);
  EXPECT_FALSE(h.state.cancelRequested);
  EXPECT_EQ(h.window.results.fdone, "2");
}

// The failures of the passes before a cancel check are shown before its
// question; a script-cutting failure only with information messages.
TEST(RunBatch, PassFailuresComeBeforeTheBreakQuestion) {
  RunHarness h;
  h.settings.cbShowOptWin = true;
  h.settings.cbShowInfo = false;
  h.AddSource("src/a.html", "a a");
  h.optimizer = [](std::string&, const EngineContext& ctx) {
    ctx.failures.push_back({"CutScripts", "const_script_error", std::nullopt, true});
    ctx.failures.push_back({"ProcessTag", "const_deltag_error", std::string("FONT"), false});
    return ctx.checkCancel() ? OptimizeResult::Cancelled : OptimizeResult::Done;
  };
  auto run = h.Controller(true);
  run.OptimizeCommand();
  // The check before the file, the one after the backup step, the optimizer's.
  h.ui.onPendingEvents = [&](int call) {
    if (call == 3) run.CancelClick();
  };
  h.ui.answers = {Answer::Ok};
  EXPECT_EQ(run.StartClick(), RunEnd::Cancelled);
  ASSERT_EQ(h.ui.shown.size(), 2u);
  EXPECT_EQ(h.ui.shown[0].text, "\rError during removal of the tag FONT");
  EXPECT_EQ(h.ui.shown[0].kind, MessageKind::Error);
  EXPECT_EQ(h.ui.shown[1].type, Type::Question);
}

TEST(RunBatch, ConfirmedBreakStopsBeforeTheCurrentFileIsSaved) {
  RunHarness h;
  h.settings.cbShowOptWin = true;
  std::string a = h.AddSource("src/a.html", "a a");
  h.AddSource("src/b.html", "b b");
  h.AddSource("src/c.html", "c c");
  auto run = h.Controller(true);
  run.OptimizeCommand();
  // Per file: the check before the file, one after the backup step and four in
  // the passes. Call 9 is inside the passes of the second file.
  h.ui.onPendingEvents = [&](int call) {
    if (call == 9) run.CancelClick();
  };
  h.ui.answers = {Answer::Ok};
  EXPECT_EQ(run.StartClick(), RunEnd::Cancelled);
  EXPECT_TRUE(Exists(h.settings.edOptimizedPath + "a.html"));
  EXPECT_FALSE(Exists(h.settings.edOptimizedPath + "b.html"));
  EXPECT_FALSE(Exists(h.settings.edOptimizedPath + "c.html"));
  EXPECT_EQ(h.state.LastRunFiles, std::vector<std::string>{a});
  EXPECT_EQ(h.state.stats.totalBefore, 3);
  EXPECT_EQ(h.window.results.fdone, "1");
  EXPECT_EQ(h.window.results.deleted, "0");
  EXPECT_EQ(h.state.BusyState, Busy::None);
  EXPECT_TRUE(h.state.backUpLastEnabled);
}

TEST(RunBatch, CancelBeforeAnyFileShowsEmptyResults) {
  RunHarness h;
  h.settings.cbShowOptWin = true;
  h.AddSource("src/a.html", "a a");
  auto run = h.Controller(true);
  run.OptimizeCommand();
  h.ui.onPendingEvents = [&](int call) {
    if (call == 1) run.CancelClick();
  };
  h.ui.answers = {Answer::Ok};
  EXPECT_EQ(run.StartClick(), RunEnd::Cancelled);
  EXPECT_TRUE(h.window.resultsShown);
  EXPECT_EQ(h.window.results.fdone, "0");
  EXPECT_EQ(h.window.results.midk, "0 %");
  EXPECT_EQ(h.window.results.mk, "0 %");
  EXPECT_TRUE(h.ui.Messages().empty());
  EXPECT_TRUE(h.window.open);
}

TEST(RunBatch, ZeroByteFileDoesNotEndTheRun) {
  RunHarness h;
  std::string e = h.AddSource("src/empty.html", "");
  h.AddSource("src/z.html", "z z");
  auto run = h.Controller();
  EXPECT_EQ(run.RunOptimization(false), RunEnd::Completed);
  EXPECT_EQ(ReadAll(h.settings.edOptimizedPath + "empty.html"), "");
  EXPECT_EQ(ReadAll(h.settings.edOptimizedPath + "z.html"), "zz\n");
  EXPECT_EQ(h.state.LastRunFiles.size(), 2u);
  EXPECT_EQ(h.state.stats.ratioSum, 0 + OptimizationRatio(3, 3));
  EXPECT_TRUE(h.ui.Messages().empty());
}

// Makes a folder unwritable, also for root (immutable flag); false if impossible.
bool LockFolder(const std::string& folder, bool lock) {
  if (::geteuid() != 0) {
    fs::permissions(folder, lock ? fs::perms::owner_read | fs::perms::owner_exec : fs::perms::owner_all);
    return true;
  }
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (ok) {
    flags = lock ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(fd);
  return ok;
}

TEST(RunBatch, ReadOnlyOutputFolderFailsTheRunWithoutDebris) {
  RunHarness h;
  h.settings.cbShowOptWin = true;
  std::string a = h.AddSource("src/a.html", "a a");
  auto run = h.Controller(true);
  run.OptimizeCommand();
  if (!LockFolder(h.settings.edOptimizedPath, true)) GTEST_SKIP() << "cannot make a folder read-only here";
  RunEnd end = run.StartClick();
  LockFolder(h.settings.edOptimizedPath, false);
  EXPECT_EQ(end, RunEnd::Failed);
  EXPECT_EQ(h.ui.Messages(), std::vector<std::string>{"\rError during optimization process"});
  EXPECT_TRUE(Listing(h.settings.edOptimizedPath).empty());
  EXPECT_EQ(ReadAll(a), "a a");
  EXPECT_FALSE(h.window.open);
  EXPECT_FALSE(h.window.resultsShown);
  EXPECT_FALSE(h.state.backUpLastEnabled);
  EXPECT_EQ(h.state.BusyState, Busy::None);
  EXPECT_EQ(h.window.startCaption, "Start!");
  EXPECT_TRUE(h.window.startEnabled);
}

TEST(RunBatch, ReadOnlySourceFolderInModifyModeKeepsEverything) {
  RunHarness h;
  h.ModifySources(true);
  std::string a = h.AddSource("src/a.html", "a a");
  if (!LockFolder(h.tmp.Path("src"), true)) GTEST_SKIP() << "cannot make a folder read-only here";
  RunEnd end = h.Controller().RunOptimization(false);
  LockFolder(h.tmp.Path("src"), false);
  EXPECT_EQ(end, RunEnd::Failed);
  EXPECT_EQ(ReadAll(a), "a a");
  EXPECT_TRUE(Listing(h.settings.edBackUpPath).empty());  // the backup was taken back
  EXPECT_EQ(Listing(h.tmp.Path("src")), std::vector<std::string>{"a.html"});
}

TEST(RunBatch, SourceDeletedDuringTheRunEndsItAtThatFile) {
  RunHarness h;
  std::string a = h.AddSource("src/a.html", "a a");
  std::string b = h.AddSource("src/b.html", "b b");
  h.AddSource("src/c.html", "c c");
  h.optimizer = [&](std::string& text, const EngineContext& ctx) {
    fs::remove(b);  // someone deletes the next file meanwhile
    return DropBlanks(text, ctx);
  };
  EXPECT_EQ(h.Controller().RunOptimization(false), RunEnd::Failed);
  EXPECT_EQ(h.ui.Messages(), std::vector<std::string>{"\rError during optimization process"});
  EXPECT_EQ(Listing(h.settings.edOptimizedPath), std::vector<std::string>{"a.html"});
  EXPECT_EQ(h.state.LastRunFiles, std::vector<std::string>{a});
  // The refresh after the failure dropped the vanished row.
  EXPECT_EQ(h.panel.size(), 2u);
}

TEST(RunBatch, AwkwardNamesInBothModes) {
  for (bool modify : {false, true}) {
    RunHarness h;
    if (modify) h.ModifySources(true);
    std::string name = "it's a \"quoted\" \xC3\xA9t\xC3\xA9 file.html";
    std::string a = h.AddSource("my folder/sub dir/" + name, "q q");
    EXPECT_EQ(h.Controller().RunOptimization(false), RunEnd::Completed);
    if (modify) {
      EXPECT_EQ(ReadAll(a), "qq\n");
      EXPECT_EQ(ReadAll(h.settings.edBackUpPath + name), "q q");
    } else {
      EXPECT_EQ(ReadAll(a), "q q");
      EXPECT_EQ(ReadAll(h.settings.edOptimizedPath + name), "qq\n");
    }
    EXPECT_TRUE(h.ui.shown.empty());
  }
}

TEST(RunBatch, SameNamesFromTwoFoldersMeetTheQuestion) {
  RunHarness h;
  h.AddSource("one/index.html", "o n e");
  std::string second = h.AddSource("two/index.html", "t w o");
  h.ui.overwriteAnswers = {OverwriteChoice::Skip};
  EXPECT_EQ(h.Controller().RunOptimization(false), RunEnd::Completed);
  ASSERT_EQ(CountShown(h.ui, Type::Overwrite), 1);
  EXPECT_EQ(h.ui.shown[0].overwrite.upperPath, h.settings.edOptimizedPath + "index.html");
  EXPECT_EQ(h.ui.shown[0].overwrite.lowerPath, second);
  EXPECT_EQ(h.ui.shown[0].overwrite.lowerCaption, "With optimized copy of the file");
  EXPECT_EQ(ReadAll(h.settings.edOptimizedPath + "index.html"), "one\n");
  // The skipped file reached the save step: listed and counted.
  EXPECT_EQ(h.state.LastRunFiles.size(), 2u);
  EXPECT_EQ(h.state.stats.totalAfter, 8);
}

TEST(RunBatch, SecondRunAsksForEveryEarlierOutputAndStartsStatisticsAfresh) {
  RunHarness h;
  h.AddSource("src/a.html", std::string(50, 'a') + std::string(50, ' '));
  auto run = h.Controller();
  run.RunOptimization(false);
  EXPECT_EQ(h.state.stats.maxRatio, 49);
  h.ui.overwriteAnswers = {OverwriteChoice::SkipAll};
  run.RunOptimization(false);
  EXPECT_EQ(CountShown(h.ui, Type::Overwrite), 1);
  EXPECT_EQ(h.state.stats.maxRatio, 49);
  EXPECT_EQ(h.state.stats.files, 1);
  // A third run asks again: "Skip All" lasts one run.
  h.ui.overwriteAnswers = {OverwriteChoice::Skip};
  run.RunOptimization(false);
  EXPECT_EQ(CountShown(h.ui, Type::Overwrite), 2);
}

TEST(RunBatch, FileStepAloneAndDryRun) {
  RunHarness h;
  std::string a = h.tmp.Write("src/a.html", "d r y");
  OverwriteMemory memory;
  FileOutcome dry = OptimizeFile(a, h.Env(), memory, {}, true);
  EXPECT_EQ(dry.status, FileOutcome::Status::Saved);
  EXPECT_EQ(dry.sizeBefore, 5);
  EXPECT_EQ(dry.sizeAfter, 4);
  EXPECT_TRUE(dry.writtenPath.empty());
  EXPECT_TRUE(Listing(h.settings.edOptimizedPath).empty());
  FileOutcome real = OptimizeFile(a, h.Env(), memory, {});
  EXPECT_EQ(real.status, FileOutcome::Status::Saved);
  EXPECT_EQ(real.writtenPath, h.settings.edOptimizedPath + "a.html");
  EXPECT_EQ(ReadAll(real.writtenPath), "dry\n");
  FileOutcome missing = OptimizeFile(h.tmp.Path("src/none.html"), h.Env(), memory, {});
  EXPECT_EQ(missing.status, FileOutcome::Status::Failed);
}

TEST(RunBatch, ClockAndEscapeInMainWindow) {
  RunHarness h;
  h.settings.cbShowOptWin = true;
  h.AddSource("src/a.html", "a");
  auto t0 = std::chrono::steady_clock::now();
  auto fake = t0;
  auto run = h.Controller(true);
  run.now = [&] { return fake; };
  run.EscapeInMainWindow();  // idle: nothing
  EXPECT_FALSE(h.state.cancelRequested);
  run.OptimizeCommand();
  run.EscapeInWindow();  // prepared, not running: nothing
  EXPECT_TRUE(h.window.open);
  EXPECT_FALSE(h.state.cancelRequested);
  h.ui.onPendingEvents = [&](int call) {
    if (call != 1) return;
    fake = t0 + std::chrono::seconds(3727);
    run.ClockTick();
    EXPECT_EQ(h.window.clock, ElapsedClockText(std::chrono::seconds(3727)));
  };
  run.StartClick();
  EXPECT_EQ(h.window.results.elapsed, ElapsedClockText(std::chrono::seconds(3727)));
  EXPECT_EQ(h.window.clock, "");
  fake += std::chrono::seconds(5);
  run.ClockTick();  // the clock stands after the run
  EXPECT_EQ(h.window.clock, "");
}

// Pages done one at a time may use the threads of the jobs asked for; pages
// read ahead by several jobs use one each.
TEST(RunBatch, PagesDoneOneAtATimeUseTheJobsAskedFor) {
  RunHarness h;
  std::atomic<unsigned> most{0};
  h.optimizer = [&](std::string&, const EngineContext& ctx) {
    most = std::max(most.load(), ctx.threads);
    return OptimizeResult::Done;
  };
  std::vector<std::string> one = {h.tmp.Write("src/a.html", "a")};
  for (const auto& [sources, jobs, threads] :
       {std::tuple{one, 3, 3u}, std::tuple{one, 1, 1u},
        std::tuple{std::vector<std::string>{one[0], h.tmp.Write("src/b.html", "b")}, 2, 1u}}) {
    most = 0;
    BatchResult r = RunBatch(BatchRequest{sources, jobs, true, false}, h.Env(), h.state, {});
    EXPECT_EQ(r.end, RunEnd::Completed);
    EXPECT_EQ(most, threads) << jobs;
  }
}

}  // namespace
}  // namespace tersify::testing

namespace tersify::testing {
namespace {

TEST(RunBatch, RealEngineOutputEqualsTheEngineOnItsOwn) {
  RunHarness h;
  h.optimizer = {};
  const std::string page = "<html>\n<body>\n<!-- note -->\n<p   class=\"x\">  a   b  </p>\n\n\t<br>\n</body>\n</html>";
  std::string a = h.AddSource("src/page.html", page);
  EXPECT_EQ(h.Controller().RunOptimization(false), RunEnd::Completed);

  std::string text = LoadDocumentText(page);
  PassFailures failures;
  EngineContext ctx{PassOptionsOf(h.settings), h.removal, h.replacement, failures, {}};
  ASSERT_EQ(Engine(CodePage::Cp1252).OptimizeDocument(text, ctx), OptimizeResult::Done);
  std::string out = ReadAll(h.settings.edOptimizedPath + "page.html");
  EXPECT_EQ(out, SaveDocumentText(text, LineBreaks::Lf));
  EXPECT_EQ(out.find('\r'), std::string::npos);
}

}  // namespace
}  // namespace tersify::testing

namespace tersify::testing {
namespace {

// A language that words "Cancel" and "Break" alike: the button's role, not
// its caption, tells a running window from an idle one.
TEST(RunBatch, CancelButtonRoleDoesNotHangOnItsCaption) {
  RunHarness h;
  h.catalogue = MessageCatalogue(std::make_shared<LanguageFile>(
      LanguageFile::FromBytes("[Misc]\r\nconst_break:string=Stop\r\nconst_cancel:string=Stop\r\n", CodePage::Cp1252)));
  h.settings.cbShowOptWin = true;
  h.AddSource("src/a.html", "a a");
  auto run = h.Controller(true);
  run.OptimizeCommand();
  h.ui.onPendingEvents = [&](int call) {
    if (call == 1) run.CancelClick();  // running: asks to break, keeps the window
  };
  h.ui.answers = {Answer::Ok};
  EXPECT_EQ(run.StartClick(), RunEnd::Cancelled);
  EXPECT_EQ(h.window.closed, 0);
  run.CancelClick();  // idle again: closes
  EXPECT_EQ(h.window.closed, 1);
}

// The batch run on its own, as the command line drives it: pages read ahead
// on two jobs, written in order, stopped by the token after the first page.
TEST(RunBatch, SharedRunPreparesAheadAndStopsOnItsToken) {
  RunHarness h;
  std::vector<std::string> sources = {h.tmp.Write("src/a.html", "a a"), h.tmp.Write("src/b.html", "b b"),
                                      h.tmp.Write("src/c.html", "c c")};
  bool stop = false;
  std::vector<std::size_t> done;
  BatchHooks hooks;
  hooks.stop = [&] { return stop; };
  hooks.placed = [&](const PageOutcome&, std::size_t pages, std::int64_t) {
    done.push_back(pages);
    stop = true;
  };
  BatchResult r = RunBatch(BatchRequest{sources, 2, false, false}, h.Env(), h.state, hooks);
  EXPECT_EQ(r.end, RunEnd::Cancelled);
  EXPECT_EQ(r.jobs, 2);
  ASSERT_EQ(r.pages.size(), 1u);
  EXPECT_EQ(r.pages[0].outcome.status, FileOutcome::Status::Saved);
  EXPECT_EQ(done, std::vector<std::size_t>{1});
  EXPECT_EQ(ReadAll(h.settings.edOptimizedPath + "a.html"), "aa\n");
  EXPECT_EQ(Listing(h.settings.edOptimizedPath), std::vector<std::string>{"a.html"});
  EXPECT_EQ(h.state.LastRunFiles, std::vector<std::string>{sources[0]});
  EXPECT_EQ(h.state.stats.totalBefore, 3);
  EXPECT_EQ(h.state.BusyState, Busy::None);
  EXPECT_TRUE(h.state.backUpLastEnabled);
}

}  // namespace
}  // namespace tersify::testing

namespace tersify::testing {
namespace {

// A source written by someone else while the run optimized it keeps their
// version; the page fails and its backup step is undone.
TEST(RunBatch, SourceChangedDuringTheRunIsNotReplaced) {
  RunHarness h;
  h.ModifySources(true);
  std::string a = h.AddSource("src/a.html", "a a");
  h.optimizer = [&](std::string& text, const EngineContext& ctx) {
    std::ofstream(a, std::ios::binary | std::ios::trunc) << "user's edit";
    return DropBlanks(text, ctx);
  };
  FileOutcome out = OptimizeFile(a, h.Env(), h.state.overwrite, nullptr);
  EXPECT_EQ(out.status, FileOutcome::Status::Failed);
  EXPECT_EQ(out.failure, "changed during the run");
  EXPECT_EQ(ReadAll(a), "user's edit");
  EXPECT_EQ(Listing(h.settings.edBackUpPath), std::vector<std::string>{});
}

}  // namespace
}  // namespace tersify::testing

namespace tersify::testing {
namespace {

// A page in the panel under two names (a link and its target) is optimized
// once; its backup keeps the original.
TEST(RunBatch, PageUnderTwoNamesIsOptimizedOnce) {
  RunHarness h;
  h.ModifySources(true);
  std::string a = h.AddSource("src/a.html", "a a");
  fs::create_symlink(a, h.tmp.Path("src/link.html"));
  h.panel.AddFileRow(h.tmp.Path("src/link.html"), h.Ctx());
  EXPECT_EQ(h.Controller().RunOptimization(false), RunEnd::Completed);
  EXPECT_EQ(ReadAll(a), "aa\n");
  EXPECT_EQ(ReadAll(h.settings.edBackUpPath + "a.html"), "a a");
  EXPECT_EQ(h.state.LastRunFiles, std::vector<std::string>{a});
}

// The desktop run names a page that is not text, leaves it alone and goes on.
TEST(RunBatch, PageThatIsNotTextIsNamedAndPassedBy) {
  RunHarness h;
  const std::string binary("a\0 b", 4);
  std::string a = h.AddSource("src/a.html", binary);
  h.AddSource("src/b.html", "b b");
  EXPECT_EQ(h.Controller().RunOptimization(false), RunEnd::Completed);
  EXPECT_EQ(h.ui.Messages(), std::vector<std::string>{"\r" + a + ": not a text page"});
  EXPECT_EQ(ReadAll(a), binary);
  EXPECT_EQ(Listing(h.settings.edOptimizedPath), std::vector<std::string>{"b.html"});
  EXPECT_EQ(h.state.LastRunFiles.size(), 1u);
}

}  // namespace
}  // namespace tersify::testing
