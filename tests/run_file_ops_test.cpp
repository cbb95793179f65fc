// The shared file operations: sizes, copies, moves and temporaries.
#include <gtest/gtest.h>

#include "platform/durable.h"
#include "run/file_ops.h"
#include "run/paths.h"
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

TEST(RunFileOps, TemporariesAreRecognisedAndCleaned) {
  TempFolder t;
  std::string temp = TemporaryPathBeside(t.Path("page.html"));
  EXPECT_EQ(FolderOf(temp), t.root().string() + "/");
  EXPECT_TRUE(IsTemporaryName(NameOf(temp)));
  EXPECT_NE(temp, TemporaryPathBeside(t.Path("page.html")));
  EXPECT_FALSE(IsTemporaryName("~tersify-.tmp"));
  EXPECT_FALSE(IsTemporaryName("page.tmp"));
  t.Write(NameOf(temp), "half");
  t.Write("keep.html", "k");
  t.Write("~tersify-notes.txt", "k");
  EXPECT_EQ(CleanLeftoverTemporaries(t.root().string()), 1);
  EXPECT_EQ(Listing(t.root().string()), (std::vector<std::string>{"keep.html", "~tersify-notes.txt"}));
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
