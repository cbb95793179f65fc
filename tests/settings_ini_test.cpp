#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "settings/ini_file.h"
#include "support/temp_folder.h"

namespace tersify {
namespace {

namespace fs = std::filesystem;

class IniFileTest : public ::testing::Test {
 protected:
  const testing::TempFolder tmp_;
  const fs::path dir_ = tmp_.root();
};

TEST(IniParse, NamesIgnoreCaseValuesAreTrimmedAndFirstKeyWins) {
  IniFile ini = IniFile::Parse("; top comment\n[Other]\nx=1\n[SETTINGS]\n  CbDelKav = 0 \ncbdelkav=1\n");
  EXPECT_TRUE(ini.HasSection("settings"));
  EXPECT_EQ(ini.KeyCount("Settings"), 2u);
  EXPECT_EQ(ini.Get("settings", "cbDelKav"), "0");
  EXPECT_EQ(ini.Get("other", "X"), "1");
  EXPECT_FALSE(ini.Get("settings", "x").has_value());
  EXPECT_FALSE(ini.Get("nosuch", "x").has_value());
}

TEST(IniParse, CommentsAndLinesWithoutEqualsAreNoKeys) {
  IniFile ini = IniFile::Parse("[s]\r\n;a=1\r\n#b=2\r\njust text\r\n=5\r\n");
  EXPECT_EQ(ini.KeyCount("s"), 0u);
  EXPECT_FALSE(ini.Get("s", ";a").has_value());
  EXPECT_EQ(ini.Serialize(), "[s]\r\n;a=1\r\n#b=2\r\njust text\r\n=5\r\n");
}

TEST(IniParse, IntegersDecimalOrHexAndAnythingElseIsTheFallback) {
  IniFile ini = IniFile::Parse("[s]\na=42\nb=0x1F\nc=0X10\nd=-7\ne=yes\nf=12abc\ng=\nh=99999999999\ni=0x\nj=--1\n");
  EXPECT_EQ(ini.GetInt("s", "a", 5), 42);
  EXPECT_EQ(ini.GetInt("s", "b", 5), 31);
  EXPECT_EQ(ini.GetInt("s", "c", 5), 16);
  EXPECT_EQ(ini.GetInt("s", "d", 5), -7);
  for (const char* key : {"e", "f", "g", "h", "i", "j", "missing"}) EXPECT_EQ(ini.GetInt("s", key, 5), 5) << key;
}

TEST(IniParse, ValuesAreCutAt2047Characters) {
  std::string longValue(5000, 'v');
  longValue[2046] = 'L';
  IniFile ini = IniFile::Parse("[s]\nk=" + longValue + "\n");
  auto v = ini.Get("s", "k");
  ASSERT_TRUE(v.has_value());
  EXPECT_EQ(v->size(), 2047u);
  EXPECT_EQ(v->back(), 'L');
}

TEST(IniSet, ReplacesInPlaceAddsAtSectionEndAndKeepsEverythingElse) {
  IniFile ini = IniFile::Parse("; c\n[a]\nk1=1\nk2=2\n\n; about b\n[B]\nz=0\n");
  ini.Set("A", "K2", "20");
  ini.Set("a", "k3", "3");
  ini.Set("b", "y", "9");
  ini.Set("new", "n", "x");
  EXPECT_EQ(ini.Serialize(),
            "; c\r\n[a]\r\nk1=1\r\nK2=20\r\nk3=3\r\n\r\n; about b\r\n[B]\r\nz=0\r\ny=9\r\n[new]\r\nn=x\r\n");
}

TEST(IniSet, ALineBreakInAValueCannotAddKeys) {
  IniFile ini;
  ini.Set("s", "k", "a\r\nevil=1");
  EXPECT_EQ(ini.Serialize(), "[s]\r\nk=a\r\n");
  EXPECT_FALSE(IniFile::Parse(ini.Serialize()).Get("s", "evil").has_value());
}

TEST(IniSet, EmptySectionGetsTheKeyRightAfterItsHeader) {
  IniFile ini = IniFile::Parse("[s]\n; note\n[t]\n");
  ini.Set("s", "k", "v");
  EXPECT_EQ(ini.Serialize(), "[s]\r\nk=v\r\n; note\r\n[t]\r\n");
}

TEST_F(IniFileTest, WriteReplacesTheFileAndLeavesNoTemporary) {
  fs::path file = dir_ / "a.ini";
  std::ofstream(file) << "old";
  IniFile ini;
  ini.Set("s", "k", "v");
  ASSERT_TRUE(ini.Write(file));
  IniFile::ReadStatus status;
  EXPECT_EQ(IniFile::Read(file, &status).Get("s", "k"), "v");
  EXPECT_EQ(status, IniFile::ReadStatus::Read);
  EXPECT_FALSE(fs::exists(dir_ / "a.ini.tmp"));
}

TEST_F(IniFileTest, FailedWriteLeavesTheTargetUntouched) {
  // A folder where the file should be: the rename over it fails.
  fs::path target = dir_ / "blocked.ini";
  fs::create_directory(target);
  fs::create_directory(target / "inner");
  IniFile ini;
  ini.Set("s", "k", "v");
  EXPECT_FALSE(ini.Write(target));
  EXPECT_TRUE(fs::is_directory(target / "inner"));
  EXPECT_FALSE(fs::exists(dir_ / "blocked.ini.tmp"));
  // A missing folder: the temporary file cannot even be made.
  EXPECT_FALSE(ini.Write(dir_ / "nosuch" / "x.ini"));
}

TEST_F(IniFileTest, ReadTellsMissingFromUnreadable) {
  IniFile::ReadStatus status;
  IniFile::Read(dir_ / "none.ini", &status);
  EXPECT_EQ(status, IniFile::ReadStatus::Missing);
  fs::create_directory(dir_ / "dir.ini");
  IniFile::Read(dir_ / "dir.ini", &status);
  EXPECT_EQ(status, IniFile::ReadStatus::Failed);
}

TEST(IniBadInput, RandomBytesParseAndSurviveARoundTrip) {
  std::mt19937 rng(1234);
  for (int round = 0; round < 20; ++round) {
    std::string bytes(4096, '\0');
    for (char& c : bytes) c = static_cast<char>(rng() & 0xFF);
    IniFile ini = IniFile::Parse(bytes);
    ini.Set("settings", "cbDelKav", "1");
    IniFile again = IniFile::Parse(ini.Serialize());
    // The garbage may hold its own [settings]; either way the key now reads back.
    EXPECT_EQ(again.Get("settings", "cbDelKav"), "1");
  }
}

TEST(IniBadInput, HugeLinesAndManyKeys) {
  std::string text = "[settings]\nedLan=" + std::string(1 << 20, 'x') + "\n";
  for (int i = 0; i < 100000; ++i) text += "key" + std::to_string(i) + "=" + std::to_string(i) + "\n";
  text += "splitter=50\n";
  IniFile ini = IniFile::Parse(text);
  EXPECT_EQ(ini.KeyCount("settings"), 100002u);
  EXPECT_EQ(ini.Get("settings", "edLan")->size(), kMaxIniValueLength);
  EXPECT_EQ(ini.GetInt("settings", "key99999", -1), 99999);
  EXPECT_EQ(ini.GetInt("settings", "splitter", 0), 50);
}

}  // namespace
}  // namespace tersify
