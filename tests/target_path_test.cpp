// Where copies and backups go below their folders: flat or keeping the tree.
#include "run/target_path.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tersify::testing
