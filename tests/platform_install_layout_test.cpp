#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/install_layout.h"
#include "support/temp_folder.h"

namespace tersify::platform {
namespace {

namespace fs = std::filesystem;

class InstallLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root_ / "usr" / "bin");
    fs::create_directories(root_ / "usr" / "share" / "tersify");
    fs::create_directories(root_ / "portable");
  }
  static void Touch(const fs::path& p) { std::ofstream(p) << "x"; }
  std::string Folder(const fs::path& p) const { return p.string() + "/"; }

  const tersify::testing::TempFolder tmp_;
  const fs::path root_ = tmp_.root();
};

#ifndef _WIN32
TEST_F(InstallLayoutTest, InstalledCopyUsesXdgFoldersAndSharedResources) {
  Touch(root_ / "usr" / "share" / "tersify" / "Deflan.dat");
  FolderEnvironment env{"/home/u", "/cfg", "/data", "", ""};
  const std::string bin = Folder(root_ / "usr" / "bin");
  // Writable, but the language file lies only in the share folder: installed.
  InstallLayout l = ChooseInstallLayout(bin, env, true);
  EXPECT_TRUE(l.installed);
  EXPECT_EQ(l.programFolder, bin);
  EXPECT_EQ(l.configFolder, "/cfg/tersify/");
  EXPECT_EQ(l.dataFolder, "/data/tersify/");
  EXPECT_EQ(l.resourceFolder, Folder(root_ / "usr" / "share" / "tersify"));
  // Unset or relative XDG folders fall back to the home folder.
  l = ChooseInstallLayout(bin, FolderEnvironment{"/home/u", "", "relative/x", "", ""}, false);
  EXPECT_EQ(l.configFolder, "/home/u/.config/tersify/");
  EXPECT_EQ(l.dataFolder, "/home/u/.local/share/tersify/");
}

TEST_F(InstallLayoutTest, PortableCopyKeepsEverythingBesideTheExecutable) {
  const std::string folder = Folder(root_ / "portable");
  Touch(root_ / "portable" / "Deflan.dat");
  FolderEnvironment env{"/home/u", "/cfg", "/data", "", ""};
  InstallLayout l = ChooseInstallLayout(folder, env, true);
  EXPECT_FALSE(l.installed);
  EXPECT_EQ(l.configFolder, folder);
  EXPECT_EQ(l.dataFolder, folder);
  EXPECT_EQ(l.resourceFolder, folder);
  // A fresh writable folder without any language file is a portable copy too.
  fs::remove(root_ / "portable" / "Deflan.dat");
  EXPECT_FALSE(ChooseInstallLayout(folder, env, true).installed);
  // The same folder on a read-only medium: writable files go to the user's
  // folders, the language file is still read from beside the executable.
  Touch(root_ / "portable" / "Deflan.dat");
  l = ChooseInstallLayout(folder, env, false);
  EXPECT_TRUE(l.installed);
  EXPECT_EQ(l.configFolder, "/cfg/tersify/");
  EXPECT_EQ(l.resourceFolder, folder);
}

TEST_F(InstallLayoutTest, WritabilityAndFolderCreation) {
  EXPECT_TRUE(IsFolderWritable(Folder(root_ / "portable")));
  EXPECT_FALSE(IsFolderWritable(Folder(root_ / "missing")));
  EXPECT_TRUE(fs::is_empty(root_ / "portable"));  // nothing left behind
  InstallLayout l;
  l.configFolder = Folder(root_ / "home" / ".config" / "tersify");
  l.dataFolder = Folder(root_ / "home" / ".local" / "share" / "tersify");
  EXPECT_TRUE(CreateLayoutFolders(l));
  EXPECT_TRUE(fs::is_directory(root_ / "home" / ".config" / "tersify"));
  EXPECT_TRUE(fs::is_directory(root_ / "home" / ".local" / "share" / "tersify"));
  Touch(root_ / "file");
  l.dataFolder = Folder(root_ / "file" / "below");
  EXPECT_FALSE(CreateLayoutFolders(l));
}
#endif

TEST_F(InstallLayoutTest, SharedFolderSitsBesideTheBinFolder) {
  EXPECT_EQ(fs::path(InstalledResourceFolder(Folder(root_ / "usr" / "bin"))),
            fs::path(Folder(root_ / "usr" / "share" / "tersify")).make_preferred());
}

}  // namespace
}  // namespace tersify::platform
