// Where copies and backups go below their folders: flat or keeping the tree.
#include "run/target_path.h"

#include <gtest/gtest.h>

#include "run/batch_run.h"
#include "run/file_ops.h"
#include "support/run_command.h"
#include "support/run_fixture.h"

namespace tersify::testing {
namespace {

TEST(TargetPath, PathBelowGoesOnlyDownward) {
  struct Case {
    const char* file;
    const char* root;
    const char* below;
  };
  for (const Case& c : std::initializer_list<Case>{
           {"/s/a/index.html", "/s", "a/index.html"},
           {"/s/a/index.html", "/s/", "a/index.html"},
           {"/s/./a/../b/x.html", "/s", "b/x.html"},
           {"rel/a/x.html", "rel/", "a/x.html"},
           {"/s/x.html", "/s/a", ""},
           {"/s/../t/x.html", "/s", ""},
           {"/s", "/s", ""},
           {"/st/x.html", "/s", ""},
       })
    EXPECT_EQ(PathBelow(c.file, c.root), c.below) << c.file << " below " << c.root;
}

TEST(TargetPath, TreeKeepsThePathBelowItsRootFlatTheNameAlone) {
  TargetLayout tree(true), flat;
  for (TargetLayout* layout : {&tree, &flat}) {
    layout->AddFound("/site/a/index.html", "/site");
    layout->AddFound("/site/b/index.html", "/site/");
    layout->AddFound("/site/b/index.html", "/site/b");  // found again below: the first root stands
  }
  EXPECT_EQ(tree.Below("/out/", "/site/a/index.html"), "/out/a/index.html");
  EXPECT_EQ(tree.Below("/out/", "/site/b/index.html"), "/out/b/index.html");
  // Named one by one: the top of the folder.
  EXPECT_EQ(tree.Below("/out/", "/elsewhere/deep/page.htm"), "/out/page.htm");
  EXPECT_EQ(flat.Below("/out/", "/site/a/index.html"), "/out/index.html");
  EXPECT_EQ(flat.Below("/out/", "/site/b/index.html"), "/out/index.html");
}

TEST(TargetPath, MissingFoldersAreMade) {
  TempFolder tmp;
  std::string target = tmp.Path("out/a/b/index.html");
  EXPECT_TRUE(MakeFoldersFor(target));
  EXPECT_TRUE(fs::is_directory(tmp.Path("out/a/b")));
  tmp.Write("file", "x");
  EXPECT_FALSE(MakeFoldersFor(tmp.Path("file/sub/index.html")));  // a file stands where a folder must go
}

// A run starts by removing the temporaries a killed run left, down in the
// trees of copies and backups too.
TEST(TargetPath, RunStartCleansTheTreesOfCopiesAndBackups) {
  TempFolder tmp;
  OptimizationSettings s;
  s.radModifyOld = true;
  s.edOptimizedPath = tmp.Folder("out");
  s.edBackUpPath = tmp.Folder("bak");
  const std::string page = tmp.Write("site/a/index.html", "x");
  TargetLayout tree(true);
  tree.AddFound(page, tmp.Path("site"));
  for (const char* folder : {"out/a/index.html", "bak/a/index.html"}) {
    tmp.Write(folder, "kept");
    std::ofstream(TemporaryPathBeside(tmp.Path(folder))) << "left";
  }
  PrepareRunFolders(s, {page}, &tree);
  EXPECT_EQ(Listing(tmp.Path("out/a")), std::vector<std::string>{"index.html"});
  EXPECT_EQ(Listing(tmp.Path("bak/a")), std::vector<std::string>{"index.html"});
}

// tersify-cli: copies and backups keep each page's path below the folder
// argument it came from, pages named one by one go on top, restoring finds
// them by the same rule; --flat puts them all on top, where the record keeps
// one page's original from being replaced by another's.
TEST(TargetPath, CommandLineKeepsTheTreeUnlessFlat) {
  TempFolder tmp;
  const std::string cli = ShellQuote(TERSIFY_CLI_PATH);
  const std::string a = tmp.Write("site/a/index.html", "<p>  a  </p>"),
                    b = tmp.Write("site/b/index.html", "<p> b </p>");
  const std::string loose = tmp.Write("loose/deep/x.html", "<p>  x </p>");
  const std::string sources = " -r " + ShellQuote(tmp.Path("site")) + " " + ShellQuote(loose);
  auto optimized = [&](const std::string& page) { return RunCommand(cli + " " + ShellQuote(page)).out; };

  ASSERT_EQ(RunCommand(cli + " -q -o " + ShellQuote(tmp.Path("out")) + sources).status, 0);
  EXPECT_EQ(ReadAll(tmp.Path("out/a/index.html")), optimized(a));
  EXPECT_EQ(ReadAll(tmp.Path("out/b/index.html")), optimized(b));
  EXPECT_EQ(ReadAll(tmp.Path("out/x.html")), optimized(loose));
  ASSERT_EQ(RunCommand(cli + " -q --restore -o " + ShellQuote(tmp.Path("out")) + sources).status, 0);
  EXPECT_EQ(Listing(tmp.Path("out")), (std::vector<std::string>{"a", "b"}));  // emptied folders stay
  EXPECT_TRUE(Listing(tmp.Path("out/a")).empty());

  const std::string inPlace = cli + " -q --overwrite all --in-place --backup " + ShellQuote(tmp.Path("bak"));
  ASSERT_EQ(RunCommand(inPlace + sources).status, 0);
  EXPECT_EQ(ReadAll(tmp.Path("bak/a/index.html")), "<p>  a  </p>");
  EXPECT_EQ(ReadAll(tmp.Path("bak/x.html")), "<p>  x </p>");
  EXPECT_EQ(ReadAll(b), optimized(tmp.Path("bak/b/index.html")));
  ASSERT_EQ(RunCommand(cli + " -q --restore --in-place --backup " + ShellQuote(tmp.Path("bak")) + sources).status, 0);
  EXPECT_EQ(ReadAll(a), "<p>  a  </p>");
  EXPECT_EQ(ReadAll(b), "<p> b </p>");
  EXPECT_EQ(ReadAll(loose), "<p>  x </p>");

  // Flat: b meets a's original and is refused; nothing of either is lost.
  auto flat = RunCommand(inPlace + " --flat" + sources);
  EXPECT_EQ(flat.status, 1);
  EXPECT_NE(flat.err.find("it holds the original of '" + a + "'"), std::string::npos) << flat.err;
  EXPECT_EQ(ReadAll(tmp.Path("bak/index.html")), "<p>  a  </p>");
  EXPECT_EQ(ReadAll(b), "<p> b </p>");
  RunCommand(cli + " -q --restore --flat --in-place --backup " + ShellQuote(tmp.Path("bak")) + sources);
  EXPECT_EQ(ReadAll(a), "<p>  a  </p>");
  EXPECT_EQ(ReadAll(b), "<p> b </p>");
}

}  // namespace
}  // namespace tersify::testing
