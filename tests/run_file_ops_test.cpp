// The shared file operations: sizes, copies, moves and temporaries.
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>

#include "platform/durable.h"
#include "run/file_ops.h"
#include "run/file_step.h"
#include "run/paths.h"
#include "support/fault_tools.h"
#include "support/run_fixture.h"

namespace tersify::testing {
namespace {

TEST(RunFileOps, SizesAreSixtyFourBit) {
  TempFolder t;
  std::string big = t.Write("big.html", "");
  fs::resize_file(big, 5'000'000'123ULL);  // sparse: takes no room
  EXPECT_EQ(FileSizeOf(big), 5'000'000'123LL);
  EXPECT_EQ(FileSizeOf(t.Path("none.html")), -1);
  EXPECT_EQ(FileSizeOf(t.Folder("dir")), -1);
}

// A page read with LF breaks (lines of eight bytes or more) takes its CR LF
// form in the buffer it was read into: no second page-sized buffer.
TEST(RunFileOps, PagesTakeTheirFormInTheirReadBuffer) {
  TempFolder t;
  std::string lines;
  for (int i = 0; i < 5000; ++i) lines += "<p>line " + std::to_string(i % 10) + "\n";
  std::optional<std::string> page = ReadWholeFile(t.Write("lf.html", lines + "no break"));
  ASSERT_TRUE(page);
  const char* buffer = page->data();
  NormalizeLines(*page);
  EXPECT_EQ(page->data(), buffer);
  EXPECT_EQ(*page, LoadDocumentText(lines + "no break"));
}

TEST(RunFileOps, CopyAndMove) {
  TempFolder t;
  std::string a = t.Write("a.html", std::string(20000, 'q'));
  std::string into = t.Folder("into");
  EXPECT_TRUE(CopyFileTo(a, into));  // a folder target takes the name
  EXPECT_EQ(ReadAll(into + "a.html"), std::string(20000, 'q'));
  EXPECT_FALSE(CopyFileTo(t.Path("none"), into));
  EXPECT_FALSE(CopyFileTo(a, t.Path("no/such/dir/x")));

  EXPECT_EQ(MoveFileTo(a, t.Path("moved.html")), MoveResult::Moved);
  EXPECT_FALSE(Exists(a));
  // An existing target: copied over, the source stays.
  std::string b = t.Write("b.html", "bee");
  EXPECT_EQ(MoveFileTo(b, t.Path("moved.html")), MoveResult::Copied);
  EXPECT_EQ(ReadAll(t.Path("moved.html")), "bee");
  EXPECT_TRUE(Exists(b));
  EXPECT_EQ(MoveFileTo(t.Path("none"), t.Path("x")), MoveResult::Failed);
  for (const auto& name : Listing(t.root().string())) EXPECT_FALSE(IsTemporaryName(name)) << name;
}

TEST(RunFileOps, AtomicWriteKeepsModeAndLeavesNoTemporary) {
  TempFolder t;
  std::string a = t.Write("a.html", "old");
  fs::permissions(a, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_TRUE(WriteFileAtomically(a, "new"));
  EXPECT_EQ(ReadAll(a), "new");
  EXPECT_EQ(fs::status(a).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_FALSE(WriteFileAtomically(t.Folder("dir"), "x"));  // never over a folder
  EXPECT_FALSE(WriteFileAtomically(t.Path("no/dir/x.html"), "x"));
  EXPECT_EQ(Listing(t.root().string()), (std::vector<std::string>{"a.html", "dir"}));
}

TEST(RunFileOps, WritesMeantForTheDiskStillWriteWholeOrNothing) {
  TempFolder t;
  std::string a = t.Write("a.html", "old");
  EXPECT_TRUE(platform::FlushFileToDisk(a));
  EXPECT_FALSE(platform::FlushFileToDisk(t.Path("none.html")));
  EXPECT_TRUE(platform::FlushFolderToDisk(t.root().string()));
  EXPECT_FALSE(platform::FlushFolderToDisk(t.Path("no/such/folder")));
  EXPECT_FALSE(platform::FlushFolderToDisk(a));  // a file is no folder

  EXPECT_TRUE(WriteFileAtomically(a, "new", Durability::OnDisk));
  EXPECT_EQ(ReadAll(a), "new");
  EXPECT_FALSE(WriteFileAtomically(t.Path("no/such/a.html"), "x", Durability::OnDisk));
  std::string into = t.Folder("into");
  EXPECT_TRUE(CopyFileTo(a, into, true, Durability::OnDisk));
  EXPECT_EQ(ReadAll(into + "a.html"), "new");
  EXPECT_EQ(fs::last_write_time(into + "a.html"), fs::last_write_time(a));
  for (const std::string& folder : {t.root().string(), into})
    for (const auto& name : Listing(folder)) EXPECT_FALSE(IsTemporaryName(name)) << name;
}

// Temporaries have one short form, so a file whose name has the longest
// length allowed can still be written; cleaning takes only the program's own
// (and the long form of earlier versions), never a user's look-alike.
TEST(RunFileOps, TemporariesAreShortAndOnlyTheProgramsOwnAreCleaned) {
  TempFolder t;
  const std::string longest = std::string(250, 'n') + ".html";  // 255 bytes
  std::string temp = TemporaryPathBeside(t.Path(longest));
  EXPECT_EQ(FolderOf(temp), t.root().string() + "/");
  EXPECT_EQ(NameOf(temp).size(), 16u);
  EXPECT_TRUE(IsTemporaryName(NameOf(temp)));
  EXPECT_NE(temp, TemporaryPathBeside(t.Path("page.html")));
  EXPECT_TRUE(WriteFileAtomically(t.Path(longest), "new"));
  EXPECT_TRUE(CopyFileTo(t.Path(longest), t.Folder("into")));
  EXPECT_EQ(ReadAll(t.Path("into/" + longest)), "new");

  const std::vector<std::string> own{".tfy0123abcd.tmp", "~tersify-a.html.0123456789abcdef.tmp"};
  const std::vector<std::string> users{"~tersify-.tmp",     "~tersify-notes.tmp",       "page.tmp",
                                       ".tfy0123abc.tmp",   ".tfy0123ABCD.tmp",         ".tfy0123abcd.tmp.html",
                                       "x.tfy0123abcd.tmp", "~tersify-a.html.0123.tmp", "~tersify-notes.txt"};
  for (const std::string& name : own) {
    EXPECT_TRUE(IsTemporaryName(name)) << name;
    t.Write("c/" + name, "half");
  }
  for (const std::string& name : users) {
    EXPECT_FALSE(IsTemporaryName(name)) << name;
    t.Write("c/" + name, "mine");
  }
  t.Folder("c/.tfy00000000.tmp");
  fs::create_symlink(t.Path(longest), t.Path("c/.tfy11111111.tmp"));
  EXPECT_EQ(CleanLeftoverTemporaries(t.Path("c")), 2);
  std::vector<std::string> kept = users;
  kept.insert(kept.end(), {".tfy00000000.tmp", ".tfy11111111.tmp"});
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(Listing(t.Path("c")), kept);
}

// A rename across file systems copies, flushes and then removes the original;
// the copy keeps the original's mode and time. /dev/shm is a tmpfs.
TEST(RunFileOps, MovesAcrossFileSystems) {
  TempFolder t;
  ShmFolder other;
  if (!OnDifferentVolumes(other.path(), t.root().string()))
    GTEST_SKIP() << "/dev/shm is on the temporary folder's file system";
  std::string a = t.Write("a.html", "across");
  fs::permissions(a, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::last_write_time(a, fs::file_time_type::clock::now() - std::chrono::hours(30));
  const auto time = fs::last_write_time(a);
  std::error_code why;
  EXPECT_EQ(MoveFileTo(a, other.path() + "a.html", &why), MoveResult::Moved);
  EXPECT_FALSE(why);
  EXPECT_FALSE(Exists(a));
  EXPECT_EQ(ReadAll(other.path() + "a.html"), "across");
  EXPECT_EQ(fs::status(other.path() + "a.html").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(fs::last_write_time(other.path() + "a.html"), time);
  EXPECT_EQ(Listing(other.path()), std::vector<std::string>{"a.html"});
}

// Rewriting a file (as root, who may give it away) keeps its owner, group and
// mode; a new copy takes those of its source.
TEST(RunFileOps, RewritesKeepOwnerGroupAndMode) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root may give files to nobody:nogroup";
  const passwd* nobody = ::getpwnam("nobody");
  const group* nogroup = ::getgrnam("nogroup");
  if (!nobody || !nogroup) GTEST_SKIP() << "no user nobody or group nogroup here";
  RunHarness h;
  h.ModifySources(false);
  std::string a = h.AddSource("src/a.html", "a a");
  ASSERT_EQ(::chown(a.c_str(), nobody->pw_uid, nogroup->gr_gid), 0);
  fs::permissions(a, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  auto expectOwned = [&](const std::string& path) {
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0) << path;
    EXPECT_EQ(st.st_uid, nobody->pw_uid) << path;
    EXPECT_EQ(st.st_gid, nogroup->gr_gid) << path;
    EXPECT_EQ(st.st_mode & 07777, 0640u) << path;
  };
  h.ui.overwriteAnswers = {OverwriteChoice::OverwriteAll};
  EXPECT_EQ(h.Controller().RunOptimization(false), RunEnd::Completed);
  EXPECT_EQ(ReadAll(a), "aa\n");
  expectOwned(a);
  EXPECT_TRUE(CopyFileTo(a, h.tmp.Path("copy.html")));
  expectOwned(h.tmp.Path("copy.html"));
}

// Failures carry the system's reason, in the words a message ends with.
TEST(RunFileOps, FailuresGiveTheSystemsReason) {
  const std::pair<std::errc, const char*> reasons[] = {
      {std::errc::no_space_on_device, "no space left on device"},
      {std::errc::permission_denied, "permission denied"},
      {std::errc::not_enough_memory, "not enough memory"},
      {std::errc::no_such_file_or_directory, "no such file or directory"},
  };
  for (const auto& [code, text] : reasons) EXPECT_EQ(ReasonText(std::make_error_code(code)), text);
  EXPECT_EQ(ReasonSuffix({}), "");

  RunHarness h;
  std::error_code why;
  EXPECT_FALSE(ReadWholeFile(h.tmp.Path("none.html"), &why));
  EXPECT_EQ(ReasonText(why), "no such file or directory");
  EXPECT_FALSE(ReadWholeFile(h.tmp.Folder("dir"), &why));
  EXPECT_EQ(ReasonText(why), "is a directory");
  EXPECT_FALSE(WriteFileAtomically(h.tmp.Path("no/dir/x.html"), "x", Durability::Cached, &why));
  EXPECT_EQ(ReasonText(why), "no such file or directory");

  SmallFileSystem full(h.tmp.Path("full"), 64 << 10);
  if (!full.mounted()) GTEST_SKIP() << "cannot mount a small tmpfs here";
  h.settings.edOptimizedPath = h.tmp.Path("full");
  std::string a = h.tmp.Write("src/a.html", std::string(200 << 10, 'x'));
  OverwriteMemory memory;
  FileOutcome out = OptimizeFile(a, h.Env(), memory, {});
  EXPECT_EQ(out.status, FileOutcome::Status::Failed);
  EXPECT_EQ(out.failure, "cannot write '" + h.tmp.Path("full") + "/a.html': no space left on device");
  EXPECT_TRUE(Listing(h.tmp.Path("full")).empty());
}

// A page that runs out of memory fails alone: its backup is put back and the
// message says why. (The real shortage is tried on the command line.)
TEST(RunFileOps, PageOutOfMemoryFailsAloneWithItsBackupPutBack) {
  RunHarness h;
  h.ModifySources(true);
  h.optimizer = [](std::string&, const EngineContext&) -> OptimizeResult { throw std::bad_alloc(); };
  std::string a = h.tmp.Write("src/a.html", "a a");
  OverwriteMemory memory;
  FileOutcome out = OptimizeFile(a, h.Env(), memory, {});
  EXPECT_EQ(out.status, FileOutcome::Status::Failed);
  EXPECT_EQ(out.failure, "its optimization failed: not enough memory");
  EXPECT_EQ(ReadAll(a), "a a");
  EXPECT_TRUE(Listing(h.settings.edBackUpPath).empty());
}

TEST(RunFileOps, RunStartCleansLeftoversBesideItsFiles) {
  RunHarness h;
  h.AddSource("src/a.html", "a");
  h.tmp.Write("src/~tersify-a.html.0123456789abcdef.tmp", "debris");
  h.tmp.Write("optimized/~tersify-a.html.fedcba9876543210.tmp", "debris");
  h.Controller().RunOptimization(false);
  EXPECT_EQ(Listing(h.tmp.Path("src")), std::vector<std::string>{"a.html"});
  EXPECT_EQ(Listing(h.settings.edOptimizedPath), std::vector<std::string>{"a.html"});
}

TEST(RunFileOps, StatisticsAverageTruncatesAndStartsAtZero) {
  RunStatistics s;
  EXPECT_EQ(s.AverageRatio(), 0);
  s.AddFile(100, 90);
  s.AddFile(100, 80);
  s.AddFile(100, 105);
  EXPECT_EQ(s.AverageRatio(), 8);
  EXPECT_EQ(s.maxRatio, 20);
  EXPECT_EQ(s.BytesRemoved(), 25);
  RunStatistics grow;
  grow.AddFile(100, 130);
  grow.AddFile(100, 110);
  EXPECT_EQ(grow.AverageRatio(), -20);
  EXPECT_EQ(grow.maxRatio, 0);  // a negative ratio never raises the maximum
}

}  // namespace
}  // namespace tersify::testing
