#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/paths.h"
#include "support/temp_folder.h"

namespace tersify::platform {
namespace {

namespace fs = std::filesystem;

TEST(PathsTest, NameAndFolderParts) {
  EXPECT_EQ(NamePart("/a/b.htm"), "b.htm");
  EXPECT_EQ(FolderPart("/a/b.htm"), "/a/");
  EXPECT_EQ(NamePart("b.htm"), "b.htm");
  EXPECT_EQ(FolderPart("b.htm"), "");
  EXPECT_EQ(NamePart("/a/"), "");
  EXPECT_EQ(FolderPart("/a/"), "/a/");
  EXPECT_EQ(NamePart(""), "");
  EXPECT_EQ(FolderPart("/"), "/");
#ifndef _WIN32
  EXPECT_EQ(PathSeparator(), '/');
  EXPECT_FALSE(IsPathSeparator('\\'));
  EXPECT_EQ(NamePart("/a/c:\\x.htm"), "c:\\x.htm");
  EXPECT_EQ(NormalizePathCase("/Home/User/Fr.LNG"), "/Home/User/Fr.LNG");  // case-sensitive file system
#endif
}

TEST(PathsTest, ProgramAndSystemFolders) {
  const std::string folder = ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_TRUE(IsPathSeparator(folder.back()));
  EXPECT_TRUE(fs::equivalent(folder, fs::path(TERSIFY_BINARY_DIR) / "tests"));
  const std::string system = SystemFolder();
  ASSERT_FALSE(system.empty());
  EXPECT_FALSE(IsPathSeparator(system.back()));
  EXPECT_TRUE(fs::is_directory(system));
}

#ifndef _WIN32
TEST(PathsTest, FindFirstOnPathTakesExecutablesOnly) {
  const tersify::testing::TempFolder tmp;
  const fs::path dir = tmp.root();
  fs::create_directories(dir / "one");
  fs::create_directories(dir / "two");
  fs::create_directories(dir / "two" / "folder-tool");
  std::ofstream(dir / "one" / "tool") << "#!/bin/sh\n";  // not executable
  std::ofstream(dir / "two" / "tool") << "#!/bin/sh\n";
  fs::permissions(dir / "two" / "tool", fs::perms::owner_all);
  const std::string list = (dir / "one").string() + "::" + (dir / "two").string() + "/";

  EXPECT_EQ(FindFirstOnPath({"tool"}, list), (dir / "two" / "tool").string());
  EXPECT_EQ(FindFirstOnPath({"missing", "tool"}, list), (dir / "two" / "tool").string());
  EXPECT_EQ(FindFirstOnPath({"folder-tool", "missing"}, list), "");
  EXPECT_EQ(FindFirstOnPath({"tool"}, ""), "");
  EXPECT_EQ(FindFirstOnPath({(dir / "one" / "tool").string()}, list), "");
  EXPECT_EQ(FindFirstOnPath({(dir / "two" / "tool").string()}, ""), (dir / "two" / "tool").string());
}

TEST(PathsTest, DefaultProgramsAreFullPaths) {
  for (const std::string& program : {DefaultEditor(), DefaultBrowser()}) {
    ASSERT_FALSE(program.empty());
    EXPECT_EQ(program.front(), '/');
    const std::string onPath = FindFirstOnPath({"xdg-open"});
    if (!onPath.empty()) {
      EXPECT_EQ(program, onPath);
    }
  }
}
#endif

}  // namespace
}  // namespace tersify::platform
