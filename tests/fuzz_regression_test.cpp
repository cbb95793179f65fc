// Inputs that fuzzing showed to be trouble, kept as tests of the fixed code.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "panel/adding.h"
#include "support/run_fixture.h"

namespace tersify::testing {
namespace {

// A list of 20000 lines (about 600 KB): loading it checked every new row
// against every row before it by building each row's full path, and removed
// the rows of missing files one at a time, so it ran for more than ten
// minutes. It must now load in seconds and leave the rows of existing files.
TEST(FuzzRegression, LongFileListLoadsQuickly) {
  RunHarness h;
  h.settings.cbMaxFCount = false;
  const std::string a = h.tmp.Write("d/a.html", "a");
  const std::string b = h.tmp.Write("d/b.html", "b");
  std::string list;
  for (int i = 0; i < 20000; ++i) {
    list += "+ " + h.tmp.Path("d/missing" + std::to_string(i) + ".html") + "\r\n";
    if (i == 7000) list += "- " + b + "\r\n";
    if (i == 15000) list += "+ " + a + "\r\n+ " + b + "\r\n";
  }
  const std::string listFile = h.tmp.Write("long.lst", list);

  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(LoadFileList(h.panel, listFile, h.Ctx()));
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 60.0);

  ASSERT_EQ(h.panel.size(), 2u);
  EXPECT_EQ(h.panel.rows()[0].FullPath(), a);
  EXPECT_TRUE(h.panel.rows()[0].checked);
  EXPECT_EQ(h.panel.rows()[1].FullPath(), b);
  EXPECT_FALSE(h.panel.rows()[1].checked);  // the first line of b decides its mark
  EXPECT_EQ(h.ui.Messages(), std::vector<std::string>{"\rThe file < " + b + " > is already in the files panel"});
  EXPECT_EQ(h.panel.statusLine(), "Files: 2   Selected: 1");
}

// The refresh drops vanished rows in one pass; the selected and focused rows
// must follow their files, and a mark on a vanished row must go.
TEST(FuzzRegression, RefreshKeepsMarksOnTheirRowsWhenRowsVanish) {
  RunHarness h;
  const std::string gone1 = h.AddSource("d/1.html", "1");
  const std::string keep2 = h.AddSource("d/2.html", "2");
  const std::string gone3 = h.AddSource("d/3.html", "3");
  const std::string keep4 = h.AddSource("d/4.html", "4");
  fs::remove(gone1);
  fs::remove(gone3);

  h.panel.selected = 3;  // 4.html
  h.panel.focused = 2;   // 3.html, which vanishes
  h.panel.RefreshPanel(h.Ctx());
  ASSERT_EQ(h.panel.size(), 2u);
  EXPECT_EQ(h.panel.rows()[0].FullPath(), keep2);
  EXPECT_EQ(h.panel.rows()[1].FullPath(), keep4);
  EXPECT_EQ(h.panel.selected, std::optional<std::size_t>(1));
  EXPECT_EQ(h.panel.focused, std::nullopt);
  EXPECT_EQ(h.panel.rows()[1].columns[1], "1");  // the size of 4.html, refreshed
  EXPECT_EQ(h.panel.statusLine(), "Files: 2   Selected: 2");
}

// The duplicate test compares Path and Filename with the new path without
// joining them, whatever the split of the stored row.
TEST(FuzzRegression, DuplicateTestMatchesTheWholePathOnly) {
  RunHarness h;
  PanelRow odd;
  odd.Path = "/x/ab";
  odd.Filename = "c.html";
  h.panel.rows().push_back(odd);
  EXPECT_FALSE(h.panel.AddFileRow("/x/abc.html", h.Ctx()));  // Path + Filename joined
  EXPECT_TRUE(h.panel.AddFileRow("/x/ab/c.html", h.Ctx()));
  EXPECT_TRUE(h.panel.AddFileRow("/x/abc.htm", h.Ctx()));
  EXPECT_TRUE(h.panel.AddFileRow("/x/abc.html ", h.Ctx()));
  EXPECT_TRUE(h.panel.AddFileRow("/y/abc.html", h.Ctx()));
  EXPECT_EQ(h.panel.size(), 5u);
  EXPECT_EQ(h.ui.Messages().size(), 1u);
}

// The duplicate test uses an index of the rows' paths; rows replaced through
// rows(), even by as many rows in the same storage, are seen at the next add.
TEST(FuzzRegression, DuplicateTestSeesRowsReplacedInPlace) {
  RunHarness h;
  ASSERT_TRUE(h.panel.AddFileRow("/x/a.html", h.Ctx()));
  ASSERT_TRUE(h.panel.AddFileRow("/x/b.html", h.Ctx()));
  PanelRow c;
  c.Path = "/x/";
  c.Filename = "c.html";
  h.panel.rows()[1] = c;  // b is gone, c takes its place
  EXPECT_TRUE(h.panel.AddFileRow("/x/b.html", h.Ctx()));
  EXPECT_FALSE(h.panel.AddFileRow("/x/c.html", h.Ctx()));
  h.panel.RemoveRow(0);  // a
  EXPECT_TRUE(h.panel.AddFileRow("/x/a.html", h.Ctx()));
  h.panel.RemoveAllRows();
  EXPECT_TRUE(h.panel.AddFileRow("/x/c.html", h.Ctx()));
  EXPECT_EQ(h.ui.Messages().size(), 1u);
}

}  // namespace
}  // namespace tersify::testing
