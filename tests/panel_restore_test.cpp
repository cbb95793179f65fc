// Undoing runs, and the source view's choice of copies and its saving.
#include <gtest/gtest.h>

#include "app/restore_commands.h"
#include "support/run_fixture.h"

namespace tersify::testing {
namespace {

TEST(PanelRestore, LastRunInCopyMode) {
  RunHarness h;
  h.settings.cbShowEnd = true;
  std::string a = h.AddSource("d/a.html", "a a"), b = h.AddSource("d/b.html", "b b");
  h.Controller().RunOptimization(false);
  h.ui.shown.clear();
  ASSERT_TRUE(h.state.backUpLastEnabled);
  RestoreClick(h.panel, h.view, h.state, h.Ctx());
  EXPECT_TRUE(Listing(h.settings.edOptimizedPath).empty());
  EXPECT_EQ(ReadAll(a), "a a");
  EXPECT_EQ(ReadAll(b), "b b");
  EXPECT_EQ(h.panel.rows()[0].columns[2], "-");
  EXPECT_TRUE(h.state.LastRunFiles.empty());
  EXPECT_FALSE(h.state.backUpLastEnabled);
  EXPECT_EQ(h.ui.Messages(), std::vector<std::string>{"\r Restoration finished   "});
  RestoreClick(h.panel, h.view, h.state, h.Ctx());  // once per run
  EXPECT_EQ(h.ui.Messages().back(), "\rYou should optimize files first");
}

TEST(PanelRestore, LastRunInModifyModeWithBackups) {
  RunHarness h;
  h.ModifySources(true);
  std::string a = h.AddSource("d/a.html", "a  a\n"), b = h.AddSource("d/b.html", "b b");
  h.Controller().RunOptimization(false);
  ASSERT_EQ(ReadAll(a), "aa\n");
  CancelLastOptimization(h.panel, h.view, h.state, h.Ctx());
  EXPECT_EQ(ReadAll(a), "a  a\n");
  EXPECT_EQ(ReadAll(b), "b b");
  EXPECT_TRUE(Listing(h.settings.edBackUpPath).empty());
  EXPECT_EQ(h.panel.rows()[0].columns[2], "-");
  EXPECT_TRUE(h.ui.Messages().empty());  // cbShowEnd off in the harness
}

TEST(PanelRestore, CheckedFilesInBothModes) {
  RunHarness h;
  std::string a = h.AddSource("d/a.html", "a a"), b = h.AddSource("d/b.html", "b b");
  h.Controller().RunOptimization(false);
  h.panel.rows()[1].checked = false;
  CancelCheckedFiles(h.panel, h.view, h.state, h.Ctx());
  EXPECT_EQ(Listing(h.settings.edOptimizedPath), std::vector<std::string>{"b.html"});
  EXPECT_EQ(h.state.LastRunFiles.size(), 2u);  // left as it was
  EXPECT_TRUE(h.state.backUpLastEnabled);

  RunHarness m;
  m.ModifySources(true);
  std::string c = m.AddSource("d/c.html", "c c"), d = m.AddSource("d/d.html", "d d");
  m.Controller().RunOptimization(false);
  m.panel.rows()[0].checked = false;
  CancelCheckedFiles(m.panel, m.view, m.state, m.Ctx());
  EXPECT_EQ(ReadAll(c), "cc\n");
  EXPECT_EQ(ReadAll(d), "d d");
  EXPECT_EQ(Listing(m.settings.edBackUpPath), std::vector<std::string>{"c.html"});
}

// An output or backup folder that is the files' own folder: the "copy" that a
// restore would delete or move back is the file itself, which must stay.
TEST(PanelRestore, FolderThatIsTheFilesOwnNeverLosesTheFile) {
  for (bool modify : {false, true}) {
    SCOPED_TRACE(modify ? "modify" : "copy");
    RunHarness h;
    if (modify) h.ModifySources(true);
    std::string a = h.AddSource("d/a.html", "a a");
    // Written through another spelling of the same folder.
    std::string own = h.tmp.Path("d/../d/");
    (modify ? h.settings.edBackUpPath : h.settings.edOptimizedPath) = own;
    h.ui.answers = {Answer::Yes, Answer::Yes};
    CancelCheckedFiles(h.panel, h.view, h.state, h.Ctx());
    EXPECT_EQ(ReadAll(a), "a a");
    EXPECT_EQ(h.panel.size(), 1u);
    h.state.LastRunFiles = {a};
    h.state.backUpLastEnabled = true;
    CancelLastOptimization(h.panel, h.view, h.state, h.Ctx());
    EXPECT_EQ(ReadAll(a), "a a");
    // In modify mode the file counts as one without a backup.
    std::vector<std::string> warnings;
    for (const auto& q : h.ui.shown)
      if (q.type == ScriptedInteraction::Shown::Type::Question) warnings.push_back(q.text);
    EXPECT_EQ(warnings.size(), modify ? 2u : 0u);
    if (modify) {
      EXPECT_EQ(warnings[0], "There is no unpacked copy of the file < " + own +
                                 "a.html > in backup folder.\r\nPacked copy of the file was not removed");
    }
  }
  // A second name of the file in another folder is a backup that only goes away.
  RunHarness l;
  l.ModifySources(true);
  std::string b = l.AddSource("d/b.html", "b b");
  fs::create_hard_link(b, l.settings.edBackUpPath + "b.html");
  CancelCheckedFiles(l.panel, l.view, l.state, l.Ctx());
  EXPECT_EQ(ReadAll(b), "b b");
  EXPECT_TRUE(Listing(l.settings.edBackUpPath).empty());
}

TEST(PanelRestore, MissingBackupsWarnUntilYesToAll) {
  RunHarness h;
  h.ModifySources(false);
  for (const char* n : {"a", "b", "c"}) h.AddSource(std::string("d/") + n + ".html", "x");
  h.ui.answers = {Answer::Yes, Answer::YesToAll};
  CancelCheckedFiles(h.panel, h.view, h.state, h.Ctx());
  ASSERT_EQ(h.ui.shown.size(), 2u);
  EXPECT_EQ(h.ui.shown[0].text, "There is no unpacked copy of the file < " + h.settings.edBackUpPath +
                                    "a.html > in backup folder.\r\nPacked copy of the file was not removed");
  EXPECT_EQ(h.ui.shown[0].kind, MessageKind::Warning);
  EXPECT_EQ(h.ui.shown[0].buttons, QuestionButtons::YesYesToAll);
  EXPECT_EQ(ReadAll(h.tmp.Path("d/c.html")), "x");
  h.settings.cbShowInfo = false;
  CancelCheckedFiles(h.panel, h.view, h.state, h.Ctx());
  EXPECT_EQ(h.ui.shown.size(), 2u);
}

TEST(PanelRestore, ARestoreThatCannotPlaceTheBackupKeepsTheFile) {
  RunHarness h;
  h.ModifySources(true);
  std::string a = h.tmp.Write("d/a.html", "optimized");
  h.tmp.Folder("backup/a.html");  // a folder where the backup should be: cannot be moved over a file
  EXPECT_FALSE(RestoreFile(a, h.state, h.Ctx()));
  EXPECT_EQ(ReadAll(a), "optimized");
  // A backup that is still a second name of the file only disappears.
  fs::remove(h.settings.edBackUpPath + "a.html");
  fs::create_hard_link(a, h.settings.edBackUpPath + "a.html");
  EXPECT_TRUE(RestoreFile(a, h.state, h.Ctx()));
  EXPECT_EQ(ReadAll(a), "optimized");
  EXPECT_TRUE(Listing(h.settings.edBackUpPath).empty());
}

TEST(PanelRestore, BusyGuardsAndDropDown) {
  RunHarness h;
  RestoreMenuState items{true, true};
  h.state.BusyState = Busy::Path;
  RestoreClick(h.panel, h.view, h.state, h.Ctx());
  RestoreDropDown(h.panel, h.state, items, h.Ctx());
  EXPECT_TRUE(items.lastRun && items.checkedFiles);  // unchanged while busy
  EXPECT_EQ(h.ui.Messages(), (std::vector<std::string>{"\rPlease, wait for folder treatment process finishing",
                                                       "\rPlease, wait for folder treatment process finishing"}));
  h.state.BusyState = Busy::None;
  RestoreDropDown(h.panel, h.state, items, h.Ctx());
  EXPECT_FALSE(items.lastRun || items.checkedFiles);
  h.AddSource("d/a.html", "a");
  h.state.backUpLastEnabled = true;
  RestoreDropDown(h.panel, h.state, items, h.Ctx());
  EXPECT_TRUE(items.lastRun && items.checkedFiles);
  h.panel.RemoveSelection();
  RestoreDropDown(h.panel, h.state, items, h.Ctx());
  EXPECT_FALSE(items.checkedFiles);
}

TEST(PanelView, CopyModeBeforeAndAfterARun) {
  RunHarness h;
  std::string a = h.AddSource("d/a.html", "x  y");
  h.panel.selected = 0;
  h.view.ResetSourceView(h.catalogue);
  h.view.OnRowSelected(&h.panel.rows()[0], h.settings);
  EXPECT_TRUE(h.view.butViewUnZipped);
  EXPECT_FALSE(h.view.butViewZipped);
  h.view.OnPanelDoubleClick(h.panel, h.Ctx());
  EXPECT_EQ(h.view.ViewedFile, a);
  EXPECT_EQ(h.view.page.bytes, "x  y");
  EXPECT_TRUE(h.view.ShowsFile());
  EXPECT_EQ(h.view.FileForEditor(), a);

  h.Controller().RunOptimization(false);
  h.panel.selected = 0;
  h.view.OnRowSelected(&h.panel.rows()[0], h.settings);
  EXPECT_TRUE(h.view.butViewZipped);
  EXPECT_EQ(h.view.packedItemHint, h.settings.edOptimizedPath + "a.html");
  h.view.OnPanelDoubleClick(h.panel, h.Ctx());
  EXPECT_EQ(h.view.page.bytes, "xy\n");
  EXPECT_EQ(ViewButtonPath(h.panel, h.Ctx()), h.settings.edOptimizedPath + "a.html");
  ViewMenuState menu = ViewDropDown(h.panel, h.settings);
  EXPECT_TRUE(menu.packed && menu.unpacked);
  h.panel.selected.reset();
  h.view.OnPanelClick(h.panel, h.catalogue);
  EXPECT_FALSE(h.view.ShowsFile());
  EXPECT_FALSE(ViewButtonPath(h.panel, h.Ctx()).has_value());
  EXPECT_EQ(h.ui.Messages().back(), "\rYou should select file to view first");
}

TEST(PanelView, ModifyModeShowsBackupAsUnpacked) {
  RunHarness h;
  h.ModifySources(true);
  std::string a = h.AddSource("d/a.html", "p  q");
  h.panel.selected = 0;
  h.view.OnRowSelected(&h.panel.rows()[0], h.settings);
  EXPECT_TRUE(h.view.butViewUnZipped);
  EXPECT_FALSE(h.view.butViewZipped);
  // Without a backup the browser item names the backup path, which is missing.
  auto path = ViewItemPath(false, h.panel, h.settings);
  EXPECT_EQ(path, h.settings.edBackUpPath + "a.html");
  EXPECT_FALSE(CheckBrowserPath(*path, h.Ctx()));
  EXPECT_EQ(h.ui.Messages().back(), "\rFile < " + *path + " > not found!");

  h.Controller().RunOptimization(false);
  h.panel.selected = 0;
  h.view.OnRowSelected(&h.panel.rows()[0], h.settings);
  EXPECT_TRUE(h.view.butViewZipped && h.view.butViewUnZipped);
  h.view.OnPanelDoubleClick(h.panel, h.Ctx());
  EXPECT_EQ(h.view.ViewedFile, a);
  EXPECT_EQ(h.view.page.bytes, "pq\n");
  h.view.ShowCopy(false, h.panel, h.Ctx());
  EXPECT_EQ(h.view.ViewedFile, h.settings.edBackUpPath + "a.html");
  EXPECT_EQ(h.view.page.bytes, "p  q");
}

TEST(PanelView, EditsAreOfferedAndSavedWithThePagesLineBreaks) {
  RunHarness h;
  std::string a = h.AddSource("d/a.html", "one\ntwo");
  h.tmp.Write("optimized/a.html", "packed");
  h.panel.selected = 0;
  h.view.OnRowSelected(&h.panel.rows()[0], h.settings);
  h.view.ShowCopy(false, h.panel, h.Ctx());
  EXPECT_FALSE(h.view.butSaveFile);
  h.view.EditText("one\ntwo\rthree");
  EXPECT_TRUE(h.view.butSaveFile);
  h.ui.answers = {Answer::No};
  h.view.ShowCopy(true, h.panel, h.Ctx());  // No discards the edits
  EXPECT_EQ(ReadAll(a), "one\ntwo");
  EXPECT_EQ(h.view.page.bytes, "packed");
  h.view.ShowCopy(false, h.panel, h.Ctx());
  h.view.EditText("one\ntwo\rthree");
  EXPECT_TRUE(h.view.SaveFile(h.Ctx()));
  EXPECT_EQ(ReadAll(a), "one\ntwo\nthree");  // the page's own line breaks
  EXPECT_FALSE(h.view.butSaveFile);
  h.view.ResetSourceView(h.catalogue);
  h.view.EditText("typed into an empty view");
  EXPECT_FALSE(h.view.butSaveFile);
}

}  // namespace
}  // namespace tersify::testing
