// The files panel: rows, refresh from disk, status line, commands and sorting.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/restore_commands.h"
#include "run/date_text.h"
#include "run/file_ops.h"
#include "run/paths.h"
#include "support/run_fixture.h"

namespace tersify::testing {
namespace {

PanelRow Row(std::string name, std::vector<std::string> columns, std::string path = "/p/") {
  PanelRow r;
  r.Filename = std::move(name);
  r.Path = std::move(path);
  r.columns = std::move(columns);
  return r;
}

std::vector<std::string> Names(const FilesPanel& panel) {
  std::vector<std::string> out;
  for (const auto& r : panel.rows()) out.push_back(r.Filename);
  return out;
}

TEST(PanelFiles, AddFileRowRefusesExactDuplicatesOnly) {
  RunHarness h;
  std::string a = h.tmp.Write("d/a.html", "x");
  EXPECT_TRUE(h.panel.AddFileRow(a, h.Ctx()));
  EXPECT_FALSE(h.panel.AddFileRow(a, h.Ctx()));
  EXPECT_TRUE(h.panel.AddFileRow(h.tmp.Path("d/A.html"), h.Ctx()));  // case differs: another row
  EXPECT_EQ(h.ui.Messages(), std::vector<std::string>{"\rThe file < " + a + " > is already in the files panel"});
  h.settings.cbShowInfo = false;  // the duplicate warning ignores the preference
  h.panel.AddFileRow(a, h.Ctx());
  EXPECT_EQ(h.ui.Messages().size(), 2u);
  const PanelRow& r = h.panel.rows()[0];
  EXPECT_EQ(r.Filename, "a.html");
  EXPECT_EQ(r.Path, h.tmp.Path("d") + "/");
  EXPECT_TRUE(r.checked);
  EXPECT_TRUE(r.columns.empty());
}

TEST(PanelFiles, APageIsListedOnceHoweverItIsNamed) {
  RunHarness h;
  std::string a = h.tmp.Write("d/a.html", "x");
  std::filesystem::create_symlink(a, h.tmp.Path("d/link.html"));
  EXPECT_TRUE(h.panel.AddFileRow(h.tmp.Path("d/link.html"), h.Ctx()));
  for (const std::string& other : {a, h.tmp.Path("d/./a.html"), h.tmp.Path("d/../d/link.html")})
    EXPECT_FALSE(h.panel.AddFileRow(other, h.Ctx())) << other;
  EXPECT_EQ(h.panel.size(), 1u);
  EXPECT_EQ(h.ui.Messages().size(), 3u);
}

TEST(PanelFiles, RefreshInCopyMode) {
  RunHarness h;
  std::string a = h.AddSource("d/a.html", std::string(1000, 'a'));
  std::string b = h.AddSource("d/b.html", std::string(10, 'b'));
  std::string gone = h.AddSource("d/gone.html", "g");
  std::string e = h.AddSource("d/e.html", "");
  h.tmp.Write("optimized/a.html", std::string(630, 'a'));
  h.tmp.Write("optimized/e.html", "xyz");
  fs::remove(gone);
  h.panel.RefreshPanel(h.Ctx());
  ASSERT_EQ(Names(h.panel), (std::vector<std::string>{"a.html", "b.html", "e.html"}));
  const auto& rows = h.panel.rows();
  EXPECT_EQ(rows[0].columns, (std::vector<std::string>{*FileDateTextOf(a), "1000", "630", "37 %"}));
  EXPECT_EQ(rows[1].columns, (std::vector<std::string>{*FileDateTextOf(b), "10", "-"}));
  // An empty unpacked copy: packed size without ratio, and no message.
  EXPECT_EQ(rows[2].columns, (std::vector<std::string>{*FileDateTextOf(e), "0", "3"}));
  EXPECT_TRUE(h.ui.shown.empty());
  EXPECT_EQ(h.panel.statusLine(), "Files: 3   Selected: 3");
}

TEST(PanelFiles, RatioRoundsHalvesToEven) {
  RunHarness h;
  h.AddSource("d/a.html", std::string(8000, 'a'));
  h.AddSource("d/b.html", std::string(8000, 'b'));
  h.tmp.Write("optimized/a.html", std::string(7000, 'a'));  // 87.5 -> 88
  h.tmp.Write("optimized/b.html", std::string(5000, 'b'));  // 62.5 -> 62
  h.panel.RefreshPanel(h.Ctx());
  EXPECT_EQ(h.panel.rows()[0].columns[3], "12 %");
  EXPECT_EQ(h.panel.rows()[1].columns[3], "38 %");
  EXPECT_EQ(OptimizationRatio(8000, 7000), 12);
  EXPECT_EQ(OptimizationRatio(8000, 5000), 38);
  EXPECT_EQ(OptimizationRatio(100, 105), -5);
  EXPECT_EQ(OptimizationRatio(0, 0), 0);
}

TEST(PanelFiles, RefreshInModifyMode) {
  RunHarness h;
  h.ModifySources(true);
  std::string a = h.AddSource("d/a.html", std::string(40, 'a'));
  std::string b = h.AddSource("d/b.html", std::string(30, 'b'));
  h.tmp.Write("backup/a.html", std::string(100, 'a'));
  h.panel.RefreshPanel(h.Ctx());
  // With a backup: size of the backup, packed = the file itself.
  EXPECT_EQ(h.panel.rows()[0].columns, (std::vector<std::string>{*FileDateTextOf(a), "100", "40", "60 %"}));
  // Without one: the file's own size and "-".
  EXPECT_EQ(h.panel.rows()[1].columns, (std::vector<std::string>{*FileDateTextOf(b), "30", "-"}));
}

TEST(PanelFiles, CopyLookupsInBothModes) {
  RunHarness h;
  std::string f = h.tmp.Write("d/a.html", "x");
  const std::string o = h.settings.edOptimizedPath + "a.html", b = h.settings.edBackUpPath + "a.html";
  EXPECT_EQ(PackedPath(f, h.settings, Lookup::Plain), o);
  EXPECT_EQ(PackedPath(f, h.settings, Lookup::Verified), o);
  EXPECT_EQ(UnpackedPath(f, h.settings, Lookup::Plain), f);
  EXPECT_EQ(UnpackedPath(f, h.settings, Lookup::Verified), f);
  h.ModifySources(true);
  EXPECT_EQ(PackedPath(f, h.settings, Lookup::Plain), f);
  EXPECT_EQ(PackedPath(f, h.settings, Lookup::Verified), "does not exist!");
  EXPECT_EQ(UnpackedPath(f, h.settings, Lookup::Plain), b);
  EXPECT_EQ(UnpackedPath(f, h.settings, Lookup::Verified), f);
  h.tmp.Write("backup/a.html", "y");
  EXPECT_EQ(PackedPath(f, h.settings, Lookup::Verified), f);
  EXPECT_EQ(UnpackedPath(f, h.settings, Lookup::Verified), b);
}

// Output and backup folders given without a separator at their end get one
// before a file's name, in the lookups and in a run; an empty folder is none.
TEST(PanelFiles, FoldersWithoutTrailingSeparatorGetOne) {
  const std::string sep(1, kPathDelim);
  const std::pair<std::string, std::string> folders[] = {
      {"mini", "mini" + sep + "races.html"}, {"mini" + sep, "mini" + sep + "races.html"}, {"", "races.html"}};
  OptimizationSettings s;
  for (const auto& [folder, expected] : folders) {
    s.edOptimizedPath = s.edBackUpPath = folder;
    s.radModifyOld = false;
    EXPECT_EQ(PackedPath("/w/races.html", s, Lookup::Plain), expected) << folder;
    s.radModifyOld = true;
    EXPECT_EQ(UnpackedPath("/w/races.html", s, Lookup::Plain), expected) << folder;
    EXPECT_EQ(BackupPathOf("/w/races.html", s), expected) << folder;
  }
  for (bool modify : {false, true}) {
    RunHarness h;
    h.settings.edOptimizedPath = h.tmp.Path("mini");
    h.settings.edBackUpPath = h.tmp.Path("bak");
    if (modify) h.ModifySources(true);
    std::string races = h.AddSource("src/races.html", "a b");
    EXPECT_EQ(h.Controller().RunOptimization(false), RunEnd::Completed);
    const std::string copy = h.tmp.Path(modify ? "bak/races.html" : "mini/races.html");
    EXPECT_EQ(ReadAll(copy), modify ? "a b" : "ab\n") << copy;
    EXPECT_EQ(Listing(h.tmp.root().string()),
              (std::vector<std::string>{"backup", modify ? "bak" : "mini", "optimized", "src"}));
    CancelLastOptimization(h.panel, h.view, h.state, h.Ctx());
    EXPECT_FALSE(Exists(copy));
    EXPECT_EQ(ReadAll(races), "a b");
  }
}

TEST(PanelFiles, SelectCommandsAndClearing) {
  RunHarness h;
  for (const char* n : {"a", "b", "c"}) h.AddSource(std::string("d/") + n + ".html", "x");
  h.panel.rows()[1].checked = false;
  h.panel.InvertSelection();
  EXPECT_EQ(h.panel.CheckedCount(), 1);
  h.panel.SelectAll();
  EXPECT_EQ(h.panel.CheckedCount(), 3);
  h.panel.RemoveSelection();
  EXPECT_EQ(h.panel.CheckedCount(), 0);
  h.panel.rows()[2].checked = true;
  h.panel.RemoveUncheckedRows();
  EXPECT_EQ(Names(h.panel), std::vector<std::string>{"c.html"});
  std::vector<std::string> sunk;
  h.panel.SetStatusSink([&](const std::string& t) { sunk.push_back(t); });
  ClearFilesPanel(h.panel, h.view, h.Ctx());
  EXPECT_TRUE(h.panel.empty());
  EXPECT_EQ(sunk, std::vector<std::string>{"Files: 0   Selected: 0"});
  EXPECT_EQ(h.view.hint, "File source");
  // With no rows the commands do nothing.
  h.panel.SelectAll();
  h.panel.InvertSelection();
  EXPECT_EQ(h.panel.CheckedCount(), 0);
}

TEST(PanelFiles, ClearingUncheckedKeepsOrderAndMovesTheMarks) {
  RunHarness h;
  for (const char* n : {"a", "b", "c", "d", "e"}) h.AddSource(std::string("d/") + n + ".html", "x");
  for (std::size_t i : {0, 2, 4}) h.panel.rows()[i].checked = false;
  h.panel.focused = 3;   // "d" stays and moves up
  h.panel.selected = 2;  // "c" goes
  h.panel.RemoveUncheckedRows();
  EXPECT_EQ(Names(h.panel), (std::vector<std::string>{"b.html", "d.html"}));
  EXPECT_EQ(h.panel.focused, std::optional<std::size_t>(1));
  EXPECT_FALSE(h.panel.selected.has_value());
  // Every row unchecked: all go, and the marks with them.
  h.panel.focused = 0;
  h.panel.RemoveSelection();
  h.panel.RemoveUncheckedRows();
  EXPECT_TRUE(h.panel.empty());
  EXPECT_FALSE(h.panel.focused.has_value());
}

TEST(PanelFiles, RemoveFocusedRowOffersToSaveTheView) {
  RunHarness h;
  std::string a = h.AddSource("d/a.html", "text");
  h.AddSource("d/b.html", "more");
  RemoveFocusedRow(h.panel, h.view, h.Ctx());
  EXPECT_EQ(h.ui.Messages(), std::vector<std::string>{"\rYou should select file first"});
  h.panel.selected = h.panel.focused = 0;
  h.view.OnRowSelected(&h.panel.rows()[0], h.settings);
  h.view.ShowCopy(false, h.panel, h.Ctx());
  h.view.EditText("edited\n");
  h.ui.answers = {Answer::Yes};
  RemoveFocusedRow(h.panel, h.view, h.Ctx());
  EXPECT_EQ(h.ui.shown.back().text, "Save changes to\r\n < " + a + " >  ?");
  EXPECT_EQ(ReadAll(a), "edited\n");
  EXPECT_EQ(Names(h.panel), std::vector<std::string>{"b.html"});
  EXPECT_TRUE(h.view.ViewedFile.empty());  // the viewed row went away: view reset
  EXPECT_FALSE(h.panel.focused.has_value());
}

TEST(PanelSort, NamesPathsAndDates) {
  RunHarness h;
  auto& rows = h.panel.rows();
  rows = {Row("b.html", {}, "/z/"), Row("B.html", {}, "/a/"), Row("a.html", {}, "/m/")};
  h.panel.ChangeSortColumn(kColFilename, h.Ctx());
  EXPECT_EQ(Names(h.panel), (std::vector<std::string>{"B.html", "a.html", "b.html"}));
  h.panel.ChangeSortColumn(kColPath, h.Ctx());
  EXPECT_EQ(Names(h.panel), (std::vector<std::string>{"B.html", "a.html", "b.html"}));
  EXPECT_EQ(h.panel.sortColumn(), kColPath);

  // Dates compare by calendar day only; the time plays no part.
  auto stamp = [](int day, int hour) {
    std::tm tm{};
    tm.tm_year = 2020 - 1900;
    tm.tm_mon = 4;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_isdst = -1;
    return LocalDateTimeText(std::chrono::system_clock::from_time_t(std::mktime(&tm)));
  };
  rows = {Row("late", {stamp(9, 1)}), Row("early", {stamp(3, 23)}), Row("mid", {stamp(5, 0)})};
  h.panel.ChangeSortColumn(kColDate, h.Ctx());
  EXPECT_EQ(Names(h.panel), (std::vector<std::string>{"early", "mid", "late"}));
  EXPECT_EQ(CompareRows(Row("x", {stamp(3, 1)}), Row("y", {stamp(3, 22)}), kColDate), 1);
  EXPECT_EQ(CompareRows(Row("y", {stamp(3, 22)}), Row("x", {stamp(3, 1)}), kColDate), 1);
  EXPECT_TRUE(h.ui.shown.empty());
}

TEST(PanelSort, SizesLargestFirstAndDashesAnywhere) {
  RunHarness h;
  auto& rows = h.panel.rows();
  rows = {Row("s", {"d", "5", "-"}), Row("l", {"d", "500", "100"}), Row("m", {"d", "50", "-"})};
  h.panel.ChangeSortColumn(kColSize, h.Ctx());
  EXPECT_EQ(Names(h.panel), (std::vector<std::string>{"l", "m", "s"}));
  // "-" is no number: it answers -1 on either side.
  EXPECT_EQ(CompareRows(rows[0], rows[1], kColPacked), -1);
  EXPECT_EQ(CompareRows(rows[1], rows[0], kColPacked), -1);
  EXPECT_EQ(CompareRows(Row("a", {"d", "7", "1"}), Row("b", {"d", "7", "1"}), kColSize), -1);
  EXPECT_TRUE(IsNum(""));
  EXPECT_TRUE(IsNum("12%"));
  EXPECT_FALSE(IsNum("1%2"));
  EXPECT_FALSE(IsNum("-1"));
  h.panel.ChangeSortColumn(kColPacked, h.Ctx());  // ends whatever the answers
  EXPECT_EQ(h.panel.size(), 3u);
}

TEST(PanelSort, RatiosLongerTextFirstThenValue) {
  RunHarness h;
  auto& rows = h.panel.rows();
  rows = {Row("five", {"d", "1", "1", "5 %"}), Row("hundred", {"d", "1", "1", "100 %"}),
          Row("nine", {"d", "1", "1", "99 %"}), Row("none", {"d", "1", "-"})};
  h.panel.ChangeSortColumn(kColRatio, h.Ctx());
  EXPECT_EQ(Names(h.panel), (std::vector<std::string>{"hundred", "nine", "five", "none"}));
  // A negative ratio against a shorter text: the answer depends on who is asked first.
  PanelRow neg = Row("neg", {"d", "1", "2", "-5 %"}), five = Row("five", {"d", "1", "1", "5 %"});
  EXPECT_EQ(CompareRows(five, neg, kColRatio), 1);
  EXPECT_EQ(CompareRows(neg, five, kColRatio), 1);
  EXPECT_TRUE(h.ui.shown.empty());
}

TEST(PanelSort, FailingComparisonsReportAndTheSortEnds) {
  RunHarness h;
  auto& rows = h.panel.rows();
  rows = {Row("a", {"not a date"}), Row("b", {}), Row("c", {"also bad"})};
  h.panel.ChangeSortColumn(kColDate, h.Ctx());
  EXPECT_EQ(h.panel.size(), 3u);
  ASSERT_FALSE(h.ui.Messages().empty());
  for (const auto& m : h.ui.Messages()) EXPECT_EQ(m, "\rError during files sorting");
  EXPECT_FALSE(CompareRows(Row("a", {"x", ""}), Row("b", {"x", "1"}), kColSize).has_value());
}

TEST(PanelSort, InconsistentAnswersStayInBounds) {
  // A comparison that answers at random: every index comes back exactly once.
  std::mt19937 rng(7);
  for (std::size_t n : {0u, 1u, 2u, 3u, 17u, 100u}) {
    auto order = SortOrder(n, [&](std::size_t, std::size_t) { return rng() % 2 ? 1 : -1; });
    std::sort(order.begin(), order.end());
    for (std::size_t i = 0; i < n; ++i) EXPECT_EQ(order[i], i);
  }
}

TEST(PanelSort, SelectionFollowsItsRow) {
  RunHarness h;
  h.panel.rows() = {Row("c", {}), Row("a", {}), Row("b", {})};
  h.panel.selected = 0;
  h.panel.focused = 2;
  h.panel.ChangeSortColumn(kColFilename, h.Ctx());
  EXPECT_EQ(h.panel.rows()[*h.panel.selected].Filename, "c");
  EXPECT_EQ(h.panel.rows()[*h.panel.focused].Filename, "b");
}

}  // namespace
}  // namespace tersify::testing
