// Runs on real folders with faults injected from outside: full and foreign
// volumes, a file size limit, immutable files and folders, sources that vanish
// or turn into something unreadable between being listed and being read.
// After each: the exact message, and every source whole at its path, either
// unchanged or optimized with its original in the backup folder.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <thread>

#include "app/restore_commands.h"
#include "panel/adding.h"
#include "run/file_ops.h"
#include "run/paths.h"
#include "support/fault_tools.h"
#include "support/run_fixture.h"

namespace tersify::testing {
namespace {

const std::string kRunError = "\rError during optimization process";

// Lines of "w w w ..." adding up to about `bytes`; half of it is blanks.
std::string Page(std::size_t bytes, char w) {
  std::string line;
  for (int i = 0; i < 40; ++i) line += std::string(1, w) + " ";
  line += "\r\n";
  std::string out;
  while (out.size() < bytes) out += line;
  return out;
}

// Every source is whole: unchanged, or optimized with its original as backup
// (when `backups`). Returns the names found optimized.
std::vector<std::string> CheckSources(const std::map<std::string, std::string>& sources,
                                      const std::string& backupFolder, bool backups) {
  std::vector<std::string> optimized;
  for (const auto& [path, original] : sources) {
    SCOPED_TRACE(path);
    if (!fs::is_regular_file(path)) {
      ADD_FAILURE() << "source missing";
      continue;
    }
    std::string now = ReadAll(path);
    if (now == original) continue;
    EXPECT_EQ(now, WithoutBlanks(original)) << "neither unchanged nor optimized";
    if (backups) {
      EXPECT_EQ(ReadAll(backupFolder + NameOf(path)), original) << "optimized without its backup";
    }
    optimized.push_back(NameOf(path));
  }
  return optimized;
}

// No temporary is left where a user looks.
void ExpectNoTemporaries(const std::vector<std::string>& folders) {
  for (const std::string& folder : folders)
    for (const std::string& name : Listing(folder)) EXPECT_FALSE(IsTemporaryName(name)) << folder << name;
}

// Three sources of about `bytes` each, a.html, b.html, c.html in src/.
std::map<std::string, std::string> AddThree(RunHarness& h, std::size_t bytes) {
  std::map<std::string, std::string> sources;
  for (char w : {'a', 'b', 'c'}) {
    std::string text = Page(bytes, w);
    sources[h.AddSource("src/" + std::string(1, w) + ".html", text)] = text;
  }
  return sources;
}

// The run failed at one file: one error box, the controls reset, no results.
void ExpectFailedRun(const RunHarness& h, RunEnd end) {
  EXPECT_EQ(end, RunEnd::Failed);
  EXPECT_EQ(h.ui.Messages(), std::vector<std::string>{kRunError});
  EXPECT_EQ(h.state.BusyState, Busy::None);
  EXPECT_FALSE(h.state.backUpLastEnabled);
  EXPECT_FALSE(h.window.resultsShown);
}

TEST(FaultRun, FullOutputVolumeFailsAtTheFileThatDoesNotFit) {
  RunHarness h;
  SmallFileSystem small(h.tmp.Path("small"), 160 * 1024);
  if (!small.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
  h.settings.edOptimizedPath = h.tmp.Path("small") + "/";
  auto sources = AddThree(h, 120 * 1024);  // each optimized copy is about 60 KB
  RunEnd end = h.Controller().RunOptimization(false);
  ExpectFailedRun(h, end);
  // a and b fit, c stopped part-way and its temporary went away.
  EXPECT_EQ(Listing(h.settings.edOptimizedPath), (std::vector<std::string>{"a.html", "b.html"}));
  for (const auto& [path, original] : sources) {
    EXPECT_EQ(ReadAll(path), original);
    if (NameOf(path) != "c.html") {
      EXPECT_EQ(ReadAll(h.settings.edOptimizedPath + NameOf(path)), WithoutBlanks(original));
    }
  }
  EXPECT_EQ(h.state.LastRunFiles.size(), 2u);
  ExpectNoTemporaries({h.settings.edOptimizedPath, h.tmp.Path("src/")});
}

TEST(FaultRun, FullSourceVolumeInModifyModeKeepsEveryFileWhole) {
  RunHarness h;
  SmallFileSystem small(h.tmp.Path("vol"), 400 * 1024);
  if (!small.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
  h.ModifySources(true);
  h.settings.edBackUpPath = h.tmp.Folder("vol/backup");
  std::map<std::string, std::string> sources;
  for (char w : {'a', 'b', 'c'}) {
    std::string text = Page(100 * 1024, w);
    sources[h.tmp.Write("vol/src/" + std::string(1, w) + ".html", text)] = text;
  }
  for (const auto& [path, text] : sources) h.panel.AddFileRow(path, h.Ctx());
  // 300 KB of sources leave room for one optimized file (the backups are
  // second names of the originals and take no room).
  RunEnd end = h.Controller().RunOptimization(false);
  ExpectFailedRun(h, end);
  EXPECT_EQ(CheckSources(sources, h.settings.edBackUpPath, true), std::vector<std::string>{"a.html"});
  // The file that failed has no backup left behind.
  EXPECT_EQ(Listing(h.settings.edBackUpPath), std::vector<std::string>{"a.html"});
  ExpectNoTemporaries({h.settings.edBackUpPath, h.tmp.Path("vol/src/")});
}

// A child with a 64 KB file size limit runs over a small and a large file:
// the large file's write stops part-way with EFBIG.
TEST(FaultRun, FileSizeLimitStopsAWritePartWay) {
  struct Mode {
    const char* name;
    bool modify, backups, foreignBackup;
  };
  for (Mode mode : {Mode{"copies", false, false, false}, Mode{"modify with backups", true, true, false},
                    Mode{"modify, backups on another volume", true, true, true},
                    Mode{"modify without backups", true, false, false}}) {
    SCOPED_TRACE(mode.name);
    RunHarness h;
    std::unique_ptr<SmallFileSystem> foreign;
    if (mode.foreignBackup) {
      foreign = std::make_unique<SmallFileSystem>(h.tmp.Path("foreign"), 4 << 20);
      if (!foreign->mounted()) continue;
      h.settings.edBackUpPath = h.tmp.Path("foreign") + "/";
    }
    if (mode.modify) h.ModifySources(mode.backups);
    std::map<std::string, std::string> sources;
    std::string small = Page(10 * 1024, 's'), large = Page(300 * 1024, 'l');
    sources[h.AddSource("src/1small.html", small)] = small;
    sources[h.AddSource("src/2large.html", large)] = large;
    // The save step meets the source when the backup was not a move.
    if (mode.foreignBackup || !mode.backups) h.ui.overwriteAnswers = {OverwriteChoice::OverwriteAll};

    ChildReport child = RunInChild(64 * 1024, [&](const auto& say) {
      RunEnd end = h.Controller().RunOptimization(false);
      for (const std::string& m : h.ui.Messages()) say(m);
      return static_cast<int>(end);
    });
    ASSERT_TRUE(child.exited);
    EXPECT_EQ(child.code, static_cast<int>(RunEnd::Failed));
    EXPECT_EQ(child.lines, std::vector<std::string>{kRunError});
    std::string out = mode.modify ? h.tmp.Path("src/") : h.settings.edOptimizedPath;
    auto optimized = CheckSources(sources, h.settings.edBackUpPath, mode.backups);
    if (mode.modify) {
      EXPECT_EQ(optimized, std::vector<std::string>{"1small.html"});
    } else {
      EXPECT_TRUE(optimized.empty());
      EXPECT_EQ(Listing(out), std::vector<std::string>{"1small.html"});
      EXPECT_EQ(ReadAll(out + "1small.html"), WithoutBlanks(small));
    }
    // Linked, or for another volume copied: the large file's copy stopped at
    // the limit and was removed.
    if (mode.backups) {
      EXPECT_EQ(Listing(h.settings.edBackUpPath), std::vector<std::string>{"1small.html"});
    }
    ExpectNoTemporaries({out, h.settings.edBackUpPath, h.tmp.Path("src/")});
  }
}

// What happens to b.html between being listed and being read.
enum class Vanish { Deleted, Folder, Fifo, DanglingLink, LinkLoop };

void MakeVanish(const std::string& path, Vanish how) {
  fs::remove(path);
  switch (how) {
    case Vanish::Deleted:
      break;
    case Vanish::Folder:
      fs::create_directory(path);
      break;
    case Vanish::Fifo:
      ::mkfifo(path.c_str(), 0644);
      break;
    case Vanish::DanglingLink:
      fs::create_symlink(path + ".gone", path);
      break;
    case Vanish::LinkLoop:
      fs::create_symlink(NameOf(path), path);
      break;
  }
}

// Opens a FIFO for writing after `seconds`, so a reader stuck on it gets an
// empty text instead of hanging the suite.
class FifoWatchdog {
 public:
  FifoWatchdog(std::string path, int seconds)
      : thread_([this, path, seconds] {
          auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
          while (!done_ && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
          while (!done_) {
            int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
              ::close(fd);
              fired_ = true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
          }
        }) {}
  ~FifoWatchdog() {
    done_ = true;
    thread_.join();
  }
  bool fired() const { return fired_; }

 private:
  std::atomic<bool> done_{false}, fired_{false};
  std::thread thread_;
};

TEST(FaultRun, SourceVanishingOrTurningUnreadableAfterListingFailsAtThatFile) {
  for (bool modify : {false, true}) {
    for (Vanish how : {Vanish::Deleted, Vanish::Folder, Vanish::Fifo, Vanish::DanglingLink, Vanish::LinkLoop}) {
      SCOPED_TRACE(std::string(modify ? "modify with backups, " : "copies, ") + "case " +
                   std::to_string(static_cast<int>(how)));
      RunHarness h;
      if (modify) h.ModifySources(true);
      auto sources = AddThree(h, 2000);
      std::string b = h.tmp.Path("src/b.html");
      // Six event checkpoints per file: the 7th is the one before b is read.
      h.ui.onPendingEvents = [&](int call) {
        if (call == 7) MakeVanish(b, how);
      };
      auto t0 = std::chrono::steady_clock::now();
      RunEnd end;
      {
        FifoWatchdog watchdog(b, 10);
        end = h.Controller().RunOptimization(false);
        EXPECT_FALSE(watchdog.fired()) << "the run waited for a writer on a pipe";
      }
      EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
      ExpectFailedRun(h, end);
      sources.erase(b);
      EXPECT_EQ(CheckSources(sources, h.settings.edBackUpPath, modify),
                modify ? std::vector<std::string>{"a.html"} : std::vector<std::string>{});
      EXPECT_EQ(h.state.LastRunFiles, std::vector<std::string>{h.tmp.Path("src/a.html")});
      std::string out = modify ? h.settings.edBackUpPath : h.settings.edOptimizedPath;
      EXPECT_EQ(Listing(out), std::vector<std::string>{"a.html"});
      ExpectNoTemporaries({out, h.tmp.Path("src/")});
      std::error_code ec;
      if (how != Vanish::Deleted) {
        EXPECT_TRUE(fs::exists(fs::symlink_status(b, ec)));  // left as it was made
      }
    }
  }
}

// A pipe or a folder named like a page in a walked folder is refused at
// once, not waited on.
TEST(FaultRun, PipeNamedLikeAPageIsRefusedNotWaitedOn) {
  RunHarness h;
  std::string page = h.tmp.Write("site/page.html", "p p");
  std::string pipe = h.tmp.Path("site/pipe.html");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  h.settings.cbProcessEmbeded = true;
  std::string folder = h.tmp.Path("site");
  AddFolder(h.panel, h.view, h.state, &folder, h.Ctx());
  ASSERT_EQ(h.panel.size(), 2u);
  EXPECT_FALSE(ReadWholeFile(pipe).has_value());
  RunEnd end;
  {
    FifoWatchdog watchdog(pipe, 10);
    end = h.Controller().RunOptimization(false);
    EXPECT_FALSE(watchdog.fired());
  }
  EXPECT_EQ(end, RunEnd::Failed);
  EXPECT_EQ(h.ui.Messages(), std::vector<std::string>{kRunError});
  EXPECT_EQ(ReadAll(page), "p p");
  EXPECT_FALSE(ReadWholeFile("/dev/zero").has_value());  // endless devices are no pages either
}

// A backup folder on another file system (/dev/shm, a tmpfs): each source is
// copied there, flushed and then replaced by its optimized text, without a
// question about the source; undoing moves the backups back the same way.
TEST(FaultRun, BackupOnAnotherFileSystemIsMovedAndRestoredByMoving) {
  RunHarness h;
  ShmFolder foreign;
  if (!OnDifferentVolumes(foreign.path(), h.tmp.Path("")))
    GTEST_SKIP() << "/dev/shm is on the temporary folder's file system";
  h.ModifySources(true);
  h.settings.edBackUpPath = foreign.path();
  h.settings.cbShowEnd = true;
  auto sources = AddThree(h, 3000);
  std::map<std::string, fs::file_time_type> times;
  for (const auto& [path, text] : sources) {
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(50));
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    times[path] = fs::last_write_time(path);
  }
  EXPECT_EQ(h.Controller().RunOptimization(false), RunEnd::Completed);
  EXPECT_EQ(h.ui.Messages(), std::vector<std::string>{"\rOptimization finished"});  // and no question
  EXPECT_EQ(CheckSources(sources, h.settings.edBackUpPath, true).size(), 3u);
  for (const auto& [path, text] : sources) {
    const std::string backup = h.settings.edBackUpPath + NameOf(path);
    EXPECT_EQ(fs::last_write_time(backup), times[path]) << "backup kept its time";
    EXPECT_EQ(fs::status(backup).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  }
  ExpectNoTemporaries({h.settings.edBackUpPath, h.tmp.Path("src/")});

  h.ui.shown.clear();
  CancelLastOptimization(h.panel, h.view, h.state, h.Ctx());
  EXPECT_EQ(h.ui.Messages(), std::vector<std::string>{"\r Restoration finished   "});
  for (const auto& [path, text] : sources) EXPECT_EQ(ReadAll(path), text);
  EXPECT_TRUE(Listing(h.settings.edBackUpPath).empty());

  // The shared move helper moves across in the same way.
  std::string loose = h.tmp.Write("src/loose.html", "l");
  EXPECT_EQ(MoveFileTo(loose, h.settings.edBackUpPath + "loose.html"), MoveResult::Moved);
  EXPECT_FALSE(Exists(loose));
  EXPECT_EQ(ReadAll(h.settings.edBackUpPath + "loose.html"), "l");
}

TEST(FaultRun, ImmutableBackupFolderFailsBeforeTouchingAnySource) {
  RunHarness h;
  h.ModifySources(true);
  auto sources = AddThree(h, 1000);
  ImmutableGuard lock(h.settings.edBackUpPath);
  if (!lock.ok()) GTEST_SKIP() << "no immutable flags here";
  RunEnd end = h.Controller().RunOptimization(false);
  lock.Release();
  ExpectFailedRun(h, end);
  EXPECT_TRUE(CheckSources(sources, h.settings.edBackUpPath, true).empty());
  EXPECT_TRUE(Listing(h.settings.edBackUpPath).empty());
  ExpectNoTemporaries({h.tmp.Path("src/")});
}

TEST(FaultRun, ImmutableSourceInModifyModeStaysAsItWas) {
  for (bool backups : {true, false}) {
    SCOPED_TRACE(backups ? "with backups" : "without backups");
    RunHarness h;
    h.ModifySources(backups);
    auto sources = AddThree(h, 1000);
    std::string b = h.tmp.Path("src/b.html");
    ImmutableGuard lock(b);
    if (!lock.ok()) GTEST_SKIP() << "no immutable flags here";
    // An immutable file can be neither linked nor replaced: the backup is a
    // copy, the write over the source fails, and the copy goes again.
    h.ui.overwriteAnswers = {OverwriteChoice::OverwriteAll};  // without backups, for the source
    RunEnd end = h.Controller().RunOptimization(false);
    lock.Release();
    ExpectFailedRun(h, end);
    EXPECT_EQ(CheckSources(sources, h.settings.edBackUpPath, backups), std::vector<std::string>{"a.html"});
    EXPECT_EQ(ReadAll(b), sources[b]);
    EXPECT_FALSE(Exists(h.settings.edBackUpPath + "b.html"));
    ExpectNoTemporaries({h.settings.edBackUpPath, h.tmp.Path("src/")});
  }
}

TEST(FaultRun, ImmutableEarlierOutputIsKeptWhenOverwritingFails) {
  RunHarness h;
  auto sources = AddThree(h, 1000);
  std::string earlier = h.tmp.Write("optimized/b.html", "earlier result");
  ImmutableGuard lock(earlier);
  if (!lock.ok()) GTEST_SKIP() << "no immutable flags here";
  h.ui.overwriteAnswers = {OverwriteChoice::Overwrite};
  RunEnd end = h.Controller().RunOptimization(false);
  lock.Release();
  ExpectFailedRun(h, end);
  EXPECT_EQ(ReadAll(earlier), "earlier result");
  EXPECT_EQ(Listing(h.settings.edOptimizedPath), (std::vector<std::string>{"a.html", "b.html"}));
  EXPECT_TRUE(CheckSources(sources, "", false).empty());
  ExpectNoTemporaries({h.settings.edOptimizedPath});
}

TEST(FaultRun, OutputFolderThatCannotBeCreatedFailsAtTheFirstWrite) {
  RunHarness h;
  auto sources = AddThree(h, 1000);
  std::string parent = h.tmp.Folder("locked");
  h.settings.edOptimizedPath = parent + "out/";
  ImmutableGuard lock(parent);
  if (!lock.ok()) GTEST_SKIP() << "no immutable flags here";
  RunEnd end = h.Controller().RunOptimization(false);
  lock.Release();
  ExpectFailedRun(h, end);
  EXPECT_FALSE(Exists(h.settings.edOptimizedPath));
  EXPECT_TRUE(h.state.LastRunFiles.empty());
  EXPECT_TRUE(CheckSources(sources, "", false).empty());
}

TEST(FaultRun, RestoreThatCannotPlaceTheBackupKeepsBothCopies) {
  RunHarness h;
  h.ModifySources(true);
  h.settings.cbShowEnd = true;
  auto sources = AddThree(h, 1000);
  ASSERT_EQ(h.Controller().RunOptimization(false), RunEnd::Completed);
  h.ui.shown.clear();
  {
    ImmutableGuard lock(h.tmp.Path("src"));
    if (!lock.ok()) GTEST_SKIP() << "no immutable flags here";
    CancelLastOptimization(h.panel, h.view, h.state, h.Ctx());
  }
  // Per file the failure is silent; nothing is lost.
  EXPECT_EQ(h.ui.Messages(), std::vector<std::string>{"\r Restoration finished   "});
  EXPECT_EQ(CheckSources(sources, h.settings.edBackUpPath, true).size(), 3u);
  ExpectNoTemporaries({h.settings.edBackUpPath, h.tmp.Path("src/")});
  // Once the folder can be written again the checked rows come back.
  CancelCheckedFiles(h.panel, h.view, h.state, h.Ctx());
  EXPECT_TRUE(CheckSources(sources, h.settings.edBackUpPath, true).empty());
  EXPECT_TRUE(Listing(h.settings.edBackUpPath).empty());

  // Copies: an output folder that cannot be changed keeps its copies.
  RunHarness c;
  c.settings.cbShowEnd = true;
  auto copied = AddThree(c, 1000);
  ASSERT_EQ(c.Controller().RunOptimization(false), RunEnd::Completed);
  {
    ImmutableGuard lock(c.settings.edOptimizedPath);
    CancelLastOptimization(c.panel, c.view, c.state, c.Ctx());
  }
  EXPECT_EQ(Listing(c.settings.edOptimizedPath).size(), 3u);
  EXPECT_TRUE(CheckSources(copied, "", false).empty());
}

}  // namespace
}  // namespace tersify::testing

namespace tersify::testing {
namespace {

// A run killed while modifying sources leaves temporaries in the backup
// folder; a later run in the other mode removes them as well.
TEST(FaultRun, NextRunInTheOtherModeCleansTheKilledModesTemporaries) {
  RunHarness h;
  std::string a = h.AddSource("src/a.html", "a a");
  h.tmp.Write("backup/~tersify-a.html.0123456789abcdef.tmp", "half a backup");
  h.tmp.Write("optimized/~tersify-b.html.0123456789abcdef.tmp", "half a copy");
  EXPECT_EQ(h.Controller().RunOptimization(false), RunEnd::Completed);
  EXPECT_TRUE(Listing(h.settings.edBackUpPath).empty());
  EXPECT_EQ(Listing(h.settings.edOptimizedPath), std::vector<std::string>{"a.html"});
  // And the other way round.
  h.tmp.Write("optimized/~tersify-c.html.0123456789abcdef.tmp", "half a copy");
  h.ModifySources(true);
  EXPECT_EQ(h.Controller().RunOptimization(false), RunEnd::Completed);
  EXPECT_EQ(Listing(h.settings.edOptimizedPath), std::vector<std::string>{"a.html"});
  EXPECT_EQ(Listing(h.settings.edBackUpPath), std::vector<std::string>{"a.html"});
  EXPECT_EQ(ReadAll(a), "aa\r\n");
}

}  // namespace
}  // namespace tersify::testing
