// Adding files, folder walks, drops, the command line and file lists.
#include <gtest/gtest.h>

#include "panel/adding.h"
#include "run/paths.h"
#include "support/run_fixture.h"

namespace tersify::testing {
namespace {

using Type = ScriptedInteraction::Shown::Type;

std::vector<std::string> Names(const FilesPanel& panel) {
  std::vector<std::string> out;
  for (const auto& r : panel.rows()) out.push_back(r.Filename);
  std::sort(out.begin(), out.end());
  return out;
}

// A kind is an exact extension of the filter's patterns, in any letter case:
// parts of one (.h, .ht, a bare dot) and longer ones (.shtml) are not.
TEST(PanelAdding, KindsAreTheFilterPatternsExactly) {
  MessageCatalogue c = EnglishCatalogue();
  const struct {
    const char* path;
    bool html, list;
  } cases[] = {
      {"/x/a.HTML", true, false},   {"/x/a.htm", true, false},       {"/x/a.Htm", true, false},
      {"/x/a.h", false, false},     {"/x/a.ht", false, false},       {"/x/races.", false, false},
      {"/x/a.shtml", false, false}, {"/x/a.html.bak", false, false}, {"/x/a.txt", false, false},
      {"/x/noext", false, false},   {"/x.htm/noext", false, false},  {"/x/list.LST", false, true},
      {"/x/a.ls", false, false},
  };
  for (const auto& k : cases) {
    EXPECT_EQ(IsHtmlFile(k.path, c), k.html) << k.path;
    EXPECT_EQ(IsFileList(k.path, c), k.list) << k.path;
  }
  // The walk, drops and the command line all take the same files.
  RunHarness h;
  for (const auto& k : cases) h.tmp.Write("d/" + NameOf(k.path), "x");
  h.settings.cbShowInfo = false;
  std::string folder = h.tmp.Path("d");
  AddFolder(h.panel, h.view, h.state, &folder, h.Ctx());
  const std::vector<std::string> html{"a.HTML", "a.Htm", "a.htm"};
  EXPECT_EQ(Names(h.panel), html);
  FilesPanel dropped, given;
  for (const std::string& name : Listing(folder)) {
    if (IsFileList(name, h.catalogue)) continue;  // a list would replace the rows
    DropFiles(dropped, {folder + "/" + name}, {0, 0}, {0, 0, 1, 1}, h.Ctx());
    AddFromCommandLine(given, folder + "/" + name, h.Ctx());
  }
  EXPECT_EQ(Names(dropped), html);
  EXPECT_EQ(Names(given), html);
}

TEST(PanelAdding, ChosenFilesWithTheRestriction) {
  RunHarness h;
  h.settings.edMaxFCount = "3";
  std::vector<std::string> chosen;
  for (int i = 0; i < 5; ++i) chosen.push_back(h.tmp.Write("d/f" + std::to_string(i) + ".html", "x"));
  h.AddSource("d/old.html", "o");
  h.ui.answers = {Answer::No};
  AddChosenFiles(h.panel, h.view, chosen, h.Ctx());
  EXPECT_EQ(h.panel.size(), 5u);  // the rows were replaced, all five taken
  EXPECT_EQ(h.ui.shown[0].text,
            "There are 5 files for adding to files panel. You have set files count restriction ( 3 files ) to "
            "files panel. Restrict files count for adding?");
  h.ui.answers = {Answer::Yes};
  AddChosenFiles(h.panel, h.view, chosen, h.Ctx());
  EXPECT_EQ(Names(h.panel), (std::vector<std::string>{"f0.html", "f1.html", "f2.html"}));
  h.settings.edMaxFCount = "0";
  h.ui.answers = {Answer::Yes};
  AddChosenFiles(h.panel, h.view, chosen, h.Ctx());
  EXPECT_TRUE(h.panel.empty());
  h.settings.cbMaxFCount = false;  // no question at all
  AddChosenFiles(h.panel, h.view, chosen, h.Ctx());
  EXPECT_EQ(h.panel.size(), 5u);
  EXPECT_EQ(h.ui.shown.size(), 3u);
}

struct Tree : RunHarness {
  std::string top;
  Tree() {
    top = tmp.Folder("site");
    tmp.Write("site/a.html", "1");
    tmp.Write("site/b.htm", "2");
    tmp.Write("site/c.txt", "3");
    tmp.Write("site/l1/d.html", "4");
    tmp.Write("site/l1/l2/e.html", "5");
    tmp.Write("site/l1/l2/l3/f.html", "6");
    settings.cbMaxFCount = false;
  }
};

TEST(PanelAdding, FolderWalkDepth) {
  {
    Tree h;
    std::string folder = h.top;
    AddFolder(h.panel, h.view, h.state, &folder, h.Ctx());
    EXPECT_EQ(Names(h.panel), (std::vector<std::string>{"a.html", "b.htm"}));  // no sub-folders
    h.settings.cbProcessEmbeded = true;
    AddFolder(h.panel, h.view, h.state, &folder, h.Ctx());
    EXPECT_EQ(h.panel.size(), 5u);
    h.settings.cbMaxEmbCount = true;
    h.settings.edMaxEmbCount = "1";
    AddFolder(h.panel, h.view, h.state, &folder, h.Ctx());
    EXPECT_EQ(Names(h.panel), (std::vector<std::string>{"a.html", "b.htm", "d.html"}));
    h.settings.edMaxEmbCount = "0";
    AddFolder(h.panel, h.view, h.state, &folder, h.Ctx());
    EXPECT_EQ(h.panel.size(), 2u);
    EXPECT_EQ(h.state.BusyState, Busy::None);
    EXPECT_TRUE(h.ui.shown.empty());
    EXPECT_EQ(h.panel.statusLine(), "Files: 2   Selected: 2");
  }
}

// Linked folders are not entered: a link back up the tree cannot make the walk
// endless, and no file comes in twice under another path.
TEST(PanelAdding, FolderWalkDoesNotFollowLinkedFolders) {
  Tree h;
  fs::create_directory_symlink(h.top, h.top + "l1/l2/up");
  fs::create_directory_symlink(h.top + "l1", h.top + "side");
  h.settings.cbProcessEmbeded = true;
  AddFolder(h.panel, h.view, h.state, &h.top, h.Ctx());
  EXPECT_EQ(Names(h.panel), (std::vector<std::string>{"a.html", "b.htm", "d.html", "e.html", "f.html"}));
  EXPECT_TRUE(h.ui.shown.empty());  // no duplicate warnings either
}

TEST(PanelAdding, FolderWalkCountLimitAsksNothing) {
  Tree h;
  h.settings.cbProcessEmbeded = true;
  h.settings.cbMaxFCount = true;
  h.settings.edMaxFCount = "3";
  AddFolder(h.panel, h.view, h.state, &h.top, h.Ctx());
  EXPECT_EQ(h.panel.size(), 3u);
  EXPECT_TRUE(h.ui.shown.empty());
}

TEST(PanelAdding, FolderWalkInterruption) {
  Tree h;
  h.settings.cbProcessEmbeded = true;
  // Esc at the first folder, answered Cancel: the walk goes on; Esc again, OK: it stops.
  h.ui.onPendingEvents = [&](int call) {
    EXPECT_EQ(h.state.BusyState, Busy::Path);
    if (call == 1 || call == 3) h.state.cancelRequested = true;
  };
  h.ui.answers = {Answer::Cancel, Answer::Ok};
  AddFolder(h.panel, h.view, h.state, &h.top, h.Ctx());
  EXPECT_EQ(h.ui.shown.size(), 2u);
  EXPECT_EQ(h.ui.shown[0].text, "\r\nDo you want to interrupt files adding?");
  EXPECT_EQ(h.ui.pendingEventCalls, 3);  // no folder entered after the stop
  // The walk stopped on entering l1/l2: nothing from there or below.
  for (const auto& n : Names(h.panel)) EXPECT_TRUE(n != "e.html" && n != "f.html") << n;
  EXPECT_EQ(h.state.BusyState, Busy::None);
  EXPECT_FALSE(h.state.cancelRequested);
}

TEST(PanelAdding, FolderCommandGuardAndDialogText) {
  Tree h;
  h.state.BusyState = Busy::Opt;
  AddFolder(h.panel, h.view, h.state, &h.top, h.Ctx());
  EXPECT_TRUE(h.panel.empty());
  EXPECT_EQ(h.ui.Messages(), std::vector<std::string>{"\rPlease, wait for optimization process finishing"});
  h.settings.cbMaxFCount = true;
  h.settings.cbProcessEmbeded = true;
  h.settings.cbMaxEmbCount = true;
  EXPECT_EQ(FolderDialogText(h.Ctx()),
            "Allowed files count in the panel is 100\r\n+ embeded folders ( max level of embeded folders - 10 )");
  h.settings.cbMaxFCount = h.settings.cbMaxEmbCount = false;
  EXPECT_EQ(FolderDialogText(h.Ctx()), "Files count is not restricted.\r\nEmbeded folder are processed");
}

TEST(PanelAdding, DropRules) {
  RunHarness h;
  h.settings.edMaxFCount = "2";
  h.settings.cbMaxFCount = false;  // the drop limit applies anyway
  std::string a = h.tmp.Write("d/a.html", "a"), b = h.tmp.Write("d/b.html", "b"), c = h.tmp.Write("d/c.html", "c");
  std::string txt = h.tmp.Write("d/n.txt", "t");
  PanelArea area{10, 10, 100, 100};
  DropFiles(h.panel, {a}, {5, 50}, area, h.Ctx());
  EXPECT_TRUE(h.panel.empty());
  EXPECT_EQ(h.ui.Messages(), std::vector<std::string>{"\rYou should drop files under files panel"});
  DropFiles(h.panel, {a, txt, b, c, h.tmp.Path("d")}, {100, 10}, area, h.Ctx());  // edge counts as inside
  EXPECT_EQ(Names(h.panel), (std::vector<std::string>{"a.html", "b.html"}));
  EXPECT_EQ(h.ui.Messages().size(), 3u);  // .txt and the folder: "Wrong file format"
  EXPECT_EQ(h.ui.Messages()[1], "\rWrong file format");
  h.settings.cbShowInfo = false;
  DropFiles(h.panel, {txt}, {0, 0}, area, h.Ctx());
  EXPECT_EQ(h.ui.Messages().size(), 3u);
  // A dropped list replaces the rows.
  std::string list = h.tmp.Write("l.lst", "+ " + c + "\r\n");
  DropFiles(h.panel, {list}, {50, 50}, area, h.Ctx());
  EXPECT_EQ(Names(h.panel), std::vector<std::string>{"c.html"});
}

TEST(PanelAdding, CommandLine) {
  RunHarness h;
  std::string a = h.tmp.Write("d/a.html", "a");
  std::string list = h.tmp.Write("d/set.lst", "- " + a + "\n");
  AddFromCommandLine(h.panel, h.tmp.Path("d/missing.html"), h.Ctx());
  AddFromCommandLine(h.panel, h.tmp.Write("d/x.txt", "x"), h.Ctx());
  EXPECT_TRUE(h.panel.empty());
  AddFromCommandLine(h.panel, list, h.Ctx());
  ASSERT_EQ(h.panel.size(), 1u);
  EXPECT_FALSE(h.panel.rows()[0].checked);
  AddFromCommandLine(h.panel, h.tmp.Write("d/b.html", "b"), h.Ctx());
  EXPECT_EQ(h.panel.size(), 2u);
  EXPECT_TRUE(h.panel.rows()[1].columns.empty());  // the caller refreshes
}

TEST(PanelLists, RoundTripWithMarksDuplicatesAndMissingFiles) {
  RunHarness h;
  std::string a = h.AddSource("d/a b.html", "a"), b = h.AddSource("d/b.html", "b"), c = h.AddSource("d/c.html", "c");
  h.panel.rows()[1].checked = false;
  std::string list = h.tmp.Path("saved.lst");
  ASSERT_TRUE(SaveFileList(h.panel, list));
  EXPECT_EQ(ReadAll(list), "+ " + a + "\r\n- " + b + "\r\n+ " + c + "\r\n");

  h.panel.RemoveAllRows();
  ASSERT_TRUE(LoadFileList(h.panel, list, h.Ctx()));
  ASSERT_EQ(h.panel.size(), 3u);
  EXPECT_EQ(h.panel.CheckedCount(), 2);
  EXPECT_EQ(h.panel.statusLine(), "Files: 3   Selected: 2");

  // Duplicates keep the first mark, lone CR and LF end lines, odd marks untick,
  // short lines are skipped, missing files vanish at the refresh.
  std::string odd = h.tmp.Write(
      "odd.lst", "- " + a + "\r+ " + a + "\n* " + b + "\r\nx\r\n+ " + h.tmp.Path("d/missing.html") + "\r\n");
  ASSERT_TRUE(LoadFileList(h.panel, odd, h.Ctx()));
  ASSERT_EQ(h.panel.size(), 2u);
  EXPECT_EQ(h.panel.CheckedCount(), 0);
  EXPECT_EQ(h.ui.Messages(), std::vector<std::string>{"\rThe file < " + a + " > is already in the files panel"});
}

TEST(PanelLists, RestrictionMissingListAndEmptyPanel) {
  RunHarness h;
  h.settings.edMaxFCount = "1";
  std::string a = h.tmp.Write("d/a.html", "a"), b = h.tmp.Write("d/b.html", "b");
  std::string list = h.tmp.Write("two.lst", "+ " + a + "\r\n+ " + b + "\r\n");
  h.ui.answers = {Answer::No};
  LoadFileList(h.panel, list, h.Ctx());
  EXPECT_EQ(h.panel.size(), 2u);
  h.ui.answers = {Answer::Yes};
  LoadFileList(h.panel, list, h.Ctx());
  EXPECT_EQ(h.panel.size(), 1u);
  EXPECT_FALSE(LoadFileList(h.panel, h.tmp.Path("none.lst"), h.Ctx()));
  EXPECT_TRUE(h.panel.empty());  // a failed load leaves the panel empty
  std::string target = h.tmp.Path("empty.lst");
  SaveListCommand(h.panel, &target, h.Ctx());
  EXPECT_FALSE(Exists(target));
  EXPECT_EQ(h.ui.Messages().back(), "\rFiles panel is empty");
  // A list into a folder that does not exist: nothing, silently.
  h.panel.AddFileRow(a, h.Ctx());
  EXPECT_FALSE(SaveFileList(h.panel, h.tmp.Path("no/such/dir/x.lst")));
}

}  // namespace
}  // namespace tersify::testing
