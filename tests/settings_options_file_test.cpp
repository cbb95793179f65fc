#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <fstream>
#include <sstream>

#include "i18n/catalogue.h"
#include "i18n/language_file.h"
#include "platform/durable.h"
#include "settings/enabling.h"
#include "settings/ini_file.h"
#include "settings/option_table.h"
#include "settings/options_file.h"
#include "settings/startup.h"
#include "support/run_fixture.h"
#include "support/scripted_interaction.h"
#include "support/temp_folder.h"

namespace tersify {
namespace {

namespace fs = std::filesystem;
using testing::ScriptedInteraction;

using testing::EnglishCatalogue;
using testing::ReadAll;

void Put(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

std::vector<std::string> AllValues(const OptimizationSettings& s) {
  std::vector<std::string> out;
  for (const auto& row : kOptionTable) out.push_back(std::string(row.key) + "=" + *GetOption(s, row.key));
  return out;
}

class OptionsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = dir_.string() + "/";
    env_.programFolder = folder_;
    env_.systemFolder = "/windows";
    settings_ = StartupSettings(env_);
    tables_ = StartupTagTables();
  }

  SettingsContext Context() { return {folder_, ui_, catalogue_}; }
  fs::path OptionsPath() const { return dir_ / "Options.dat"; }
  LoadOptionsResult Load(ControlEnabling* enabling = nullptr) {
    return LoadOptions(Context(), settings_, tables_, enabling);
  }

  const testing::TempFolder tmp_;
  const fs::path dir_ = tmp_.root();
  std::string folder_;
  StartupEnvironment env_;
  OptimizationSettings settings_;
  TagTables tables_;
  ScriptedInteraction ui_;
  MessageCatalogue catalogue_ = EnglishCatalogue();
};

TEST_F(OptionsFileTest, FirstStartWritesTheDefaultsAndTheBuiltInTables) {
  EXPECT_EQ(Load(), LoadOptionsResult::WroteDefaults);
  EXPECT_TRUE(ui_.shown.empty());
  std::string text = ReadAll(OptionsPath());
  std::string expectedStart =
      "[settings]\r\ncomboMode=0\r\ncbDelKav=1\r\ncbDelEmptyPar=1\r\ncbDelEmptyLine=1\r\ncbDelCRLF=0\r\n";
  EXPECT_EQ(text.substr(0, expectedStart.size()), expectedStart);
  for (const char* line : {"\r\nedMaxFCount=100\r\n", "\r\ncol0=180\r\n", "\r\nsplitter=72\r\n",
                           "\r\ncbDelAllTabs=1\r\n", "\r\nedLan=\r\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line;
  EXPECT_NE(text.find("\r\nedOptimizedPath=" + folder_ + "optimized/\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nedExtEditor=/windows/notepad.exe\r\n"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 15), "column_sort=0\r\n");
  // Every key once, in the file's order.
  IniFile ini = IniFile::Parse(text);
  EXPECT_EQ(ini.KeyCount("settings"), kOptionTable.size());
  std::string change = ReadAll(dir_ / "Tagschange.dat");
  EXPECT_EQ(change.substr(0, 12), "+ strong b\r\n");
  EXPECT_EQ(change.substr(change.size() - 10), "+ xmp tt\r\n");
  std::string del = ReadAll(dir_ / "Tagsdelete.dat");
  EXPECT_EQ(del.substr(0, 12), "+ !doctype\r\n");
  EXPECT_EQ(del.substr(del.size() - 7), "- /TD\r\n");
  EXPECT_NE(del.find("\r\n+ name=\"author\"\r\n- /P\r\n"), std::string::npos);
}

// The whole file of a first start, as every earlier version wrote it: its key
// order is what other copies of the program and hand-edited files expect.
TEST_F(OptionsFileTest, FirstStartFileIsTheStoredLayoutByteForByte) {
  ASSERT_EQ(Load(), LoadOptionsResult::WroteDefaults);
  const std::string expected =
      "[settings]\r\ncomboMode=0\r\ncbDelKav=1\r\ncbDelEmptyPar=1\r\ncbDelEmptyLine=1\r\ncbDelCRLF=0\r\n"
      "cbDelTabLine=1\r\ncbReplaceDoubleSpaces=1\r\ncbReplaceDoubleSpacesInKav=0\r\ncbReplaceDoubleNbsp=1\r\n"
      "cbReplaceDoubleNbspInKav=0\r\ncbDelComments=1\r\ncbDelAllTabs=1\r\ncbDelBegEndSpace=1\r\ncbIsStyle=1\r\n"
      "cbIsScript=1\r\ncbOuttag=1\r\ncbDelScripts=0\r\ncbDelScriptsMax=0\r\ncbClosedTagsAlso=1\r\n"
      "cbProcessEmbeded=0\r\ncbMaxEmbCount=0\r\nedMaxEmbCount=10\r\ncbMaxFCount=1\r\nedMaxFCount=100\r\n"
      "cbSaveNopen=0\r\nradModifyOld=0\r\ncbSaveBefMod=1\r\nedBackUpPath=" +
      folder_ +
      "backup/\r\n"
      "edOptimizedPath=" +
      folder_ +
      "optimized/\r\ncbShowEnd=1\r\ncbShowConf=1\r\ncbShowInfo=1\r\n"
      "cbShowOptWin=1\r\nedExtEditor=/windows/notepad.exe\r\n"
      "edBrowser=c:\\program files\\internet explorer\\iexplore.exe\r\nedLan=\r\ncol0=180\r\ncol1=150\r\n"
      "col2=120\r\ncol3=110\r\ncol4=110\r\ncol5=100\r\nsplitter=72\r\ncolumn_sort=0\r\n";
  EXPECT_EQ(ReadAll(OptionsPath()), expected);
}

TEST_F(OptionsFileTest, SavedRecordAndTablesLoadBackUnchanged) {
  OptimizationSettings changed = settings_;
  changed.comboMode = kModeMax;
  changed["cbDelKav"] = false;
  changed["cbDelCRLF"] = true;
  changed.cbShowOptWin = false;
  changed.radModifyOld = true;
  changed.edMaxFCount = "";
  changed.edMaxEmbCount = "007";
  changed.edLan = "/x/russian.lng";
  changed.edBrowser = "/usr/bin/firefox";
  changed.col = {1, 2, 3, 4, 5, 600};
  changed.splitter = 33;
  changed.column_sort = -4;
  TagTables tables = tables_;
  tables.replacement.push_back({"u", "ins", false});
  tables.removal[0].ticked = false;
  ASSERT_EQ(SaveOptions(Context(), changed, tables), SaveOptionsResult::Saved);

  ASSERT_EQ(Load(), LoadOptionsResult::Loaded);
  EXPECT_EQ(AllValues(settings_), AllValues(changed));
  EXPECT_TRUE(tables_ == tables);
  EXPECT_TRUE(ui_.shown.empty());
  // The defaults saved and loaded give the defaults.
  OptimizationSettings defaults = StartupSettings(env_);
  ASSERT_EQ(SaveOptions(Context(), defaults, StartupTagTables()), SaveOptionsResult::Saved);
  ASSERT_EQ(Load(), LoadOptionsResult::Loaded);
  EXPECT_EQ(AllValues(settings_), AllValues(defaults));
  EXPECT_TRUE(tables_ == StartupTagTables());
}

TEST_F(OptionsFileTest, HandEditedFileLoadsAndKeepsItsLayoutWhenSaved) {
  Put(OptionsPath(),
      "; written by hand\r\n"
      "[Window]\r\nleft=10\r\n\r\n"
      "[SETTINGS]\r\n"
      "splitter = 0x28\r\n"
      "CBDELKAV=yes\r\n"
      "cbdelcrlf=5\r\n"
      "; a note inside\r\n"
      "EDMAXFCOUNT=250\r\n"
      "cbDelComments=0\r\n"
      "unknownKey=keep me\r\n"
      "\r\n[Later]\r\nx=y\r\n");
  settings_["cbDelKav"] = false;  // "yes" is no integer: the current value stays
  ControlEnabling enabling;
  ASSERT_EQ(Load(&enabling), LoadOptionsResult::Loaded);
  EXPECT_EQ(settings_.comboMode, kModeUsers);  // missing comboMode
  EXPECT_FALSE(settings_["cbDelKav"]);
  EXPECT_TRUE(settings_["cbDelCRLF"]);
  EXPECT_FALSE(settings_["cbDelComments"]);
  EXPECT_EQ(settings_.splitter, 40);
  EXPECT_EQ(settings_.edMaxFCount, "250");
  EXPECT_EQ(settings_.edBrowser, "");
  EXPECT_EQ(settings_.edExtEditor, "");
  EXPECT_EQ(settings_.edBackUpPath, folder_ + "/backup");
  EXPECT_EQ(settings_.edOptimizedPath, folder_ + "/optimized");
  EXPECT_EQ(settings_.col[0], 180);
  EXPECT_EQ(settings_.edMaxEmbCount, "10");
  EXPECT_FALSE(enabling.IsEnabled("cbDelEmptyPar"));
  EXPECT_FALSE(enabling.IsEnabled("cbIsScript"));
  EXPECT_FALSE(enabling.IsEnabled(kLabelCommentTags));
  // No tag files: the tables stay as they were.
  EXPECT_TRUE(tables_ == StartupTagTables());

  ASSERT_EQ(SaveOptions(Context(), settings_, tables_), SaveOptionsResult::Saved);
  std::string text = ReadAll(OptionsPath());
  std::string head =
      "; written by hand\r\n[Window]\r\nleft=10\r\n\r\n[SETTINGS]\r\n"
      "splitter=40\r\ncbDelKav=0\r\ncbDelCRLF=1\r\n; a note inside\r\nedMaxFCount=250\r\ncbDelComments=0\r\n"
      "unknownKey=keep me\r\ncomboMode=2\r\ncbDelEmptyPar=1\r\n";
  EXPECT_EQ(text.substr(0, head.size()), head);
  EXPECT_TRUE(text.ends_with("\r\ncolumn_sort=0\r\n\r\n[Later]\r\nx=y\r\n")) << text;
  EXPECT_EQ(IniFile::Parse(text).KeyCount("settings"), kOptionTable.size() + 1);
}

TEST_F(OptionsFileTest, SectionWithoutKeysOrOtherSectionsOnlyCountAsFirstStart) {
  for (std::string content : {"[settings]\r\n", "[other]\r\na=1\r\n", ""}) {
    Put(OptionsPath(), content);
    Put(dir_ / "Tagschange.dat", "+ a b\r\n");
    settings_["cbDelKav"] = false;
    EXPECT_EQ(Load(), LoadOptionsResult::WroteDefaults) << content;
    EXPECT_FALSE(settings_["cbDelKav"]);
    std::string text = ReadAll(OptionsPath());
    EXPECT_EQ(text.substr(0, content.size()), content);
    EXPECT_NE(text.find("cbDelKav=0\r\n"), std::string::npos);
    EXPECT_EQ(ReadAll(dir_ / "Tagschange.dat").substr(0, 12), "+ strong b\r\n");  // overwritten
  }
}

TEST_F(OptionsFileTest, OnlyTheProgramsOwnLeftoversAreRemovedAtLoad) {
  Put(OptionsPath(), "[settings]\r\ncbDelCRLF=1\r\n");
  Put(dir_ / ".tfy0123abcd.tmp", "[settings]\r\ncbDel");  // a write cut short
  Put(dir_ / "Options.dat.tmp", "the user's own file");
  ASSERT_EQ(Load(), LoadOptionsResult::Loaded);
  EXPECT_TRUE(settings_["cbDelCRLF"]);
  EXPECT_FALSE(fs::exists(dir_ / ".tfy0123abcd.tmp"));
  EXPECT_EQ(ReadAll(dir_ / "Options.dat.tmp"), "the user's own file");
  ASSERT_EQ(SaveOptions(Context(), settings_, tables_),
            SaveOptionsResult::Saved);  // no temporary left, the user's file kept
  EXPECT_EQ(ReadAll(dir_ / "Options.dat.tmp"), "the user's own file");
  for (const auto& e : fs::directory_iterator(dir_))
    EXPECT_FALSE(platform::IsTemporaryName(e.path().filename().string()));
}

TEST_F(OptionsFileTest, DeletingTheOptionsFileResetsTheTagTablesAtTheNextStart) {
  TagTables edited;
  edited.replacement = {{"q", "r", true}};
  edited.removal = {{"font", true}};
  ASSERT_EQ(SaveOptions(Context(), settings_, edited), SaveOptionsResult::Saved);
  fs::remove(OptionsPath());
  EXPECT_EQ(Load(), LoadOptionsResult::WroteDefaults);
  TagTables reread;
  ASSERT_EQ(LoadReplacementTable(dir_ / "Tagschange.dat", reread.replacement), TableFileStatus::Done);
  ASSERT_EQ(LoadRemovalTable(dir_ / "Tagsdelete.dat", reread.removal), TableFileStatus::Done);
  EXPECT_TRUE(reread == StartupTagTables());
}

TEST_F(OptionsFileTest, OutOfRangeModeAndNonIntegerModeLoadAsUsersSettings) {
  for (const char* value : {"3", "-1", "abc", "0x2"}) {
    Put(OptionsPath(), std::string("[settings]\r\ncomboMode=") + value + "\r\n");
    settings_.comboMode = kModeNormal;
    ASSERT_EQ(Load(), LoadOptionsResult::Loaded);
    EXPECT_EQ(settings_.comboMode, kModeUsers) << value;
  }
}

TEST_F(OptionsFileTest, LoadRunsTheEnablingRulesInTheLoadersOrder) {
  Put(OptionsPath(), "[settings]\r\ncbProcessEmbeded=1\r\ncbMaxEmbCount=0\r\nradModifyOld=1\r\ncbMaxFCount=0\r\n");
  ControlEnabling enabling;
  ASSERT_EQ(Load(&enabling), LoadOptionsResult::Loaded);
  EXPECT_TRUE(enabling.IsEnabled("cbMaxEmbCount"));
  EXPECT_FALSE(enabling.IsEnabled("edMaxEmbCount"));  // the rule of cbMaxEmbCount ran last
  EXPECT_FALSE(enabling.IsEnabled("edMaxFCount"));
  EXPECT_TRUE(enabling.IsEnabled("cbSaveBefMod"));
  EXPECT_TRUE(enabling.IsEnabled(kButtonBackUpPath));
  EXPECT_FALSE(enabling.IsEnabled("edOptimizedPath"));
  EXPECT_FALSE(enabling.IsEnabled(kMenuPackedFile));
}

TEST_F(OptionsFileTest, UnreadableFileKeepsTheRecordShowsTheErrorAndWritesNothing) {
  fs::create_directory(OptionsPath());  // exists, cannot be read as a file
  OptimizationSettings before = settings_;
  EXPECT_EQ(Load(), LoadOptionsResult::Failed);
  EXPECT_EQ(AllValues(settings_), AllValues(before));
  ASSERT_EQ(ui_.shown.size(), 1u);
  EXPECT_EQ(ui_.shown[0].kind, MessageKind::Error);
  EXPECT_EQ(ui_.shown[0].text, "\rError during options loading");
  EXPECT_FALSE(fs::exists(dir_ / "Tagschange.dat"));
}

#ifndef _WIN32
// A pipe named Options.dat would wait for a writer for ever: it is taken as
// a file that cannot be read.
TEST_F(OptionsFileTest, PipeNamedLikeTheOptionsFileIsUnreadableNotAWait) {
  ASSERT_EQ(mkfifo(OptionsPath().c_str(), 0600), 0);
  OptimizationSettings before = settings_;
  EXPECT_EQ(Load(), LoadOptionsResult::Failed);
  EXPECT_EQ(AllValues(settings_), AllValues(before));
  ASSERT_EQ(ui_.shown.size(), 1u);
  EXPECT_EQ(ui_.shown[0].text, "\rError during options loading");
}
#endif

TEST_F(OptionsFileTest, SaveFailureShowsTheErrorAndSkipsTheTagTables) {
  fs::create_directory(OptionsPath());
  EXPECT_EQ(SaveOptions(Context(), settings_, tables_), SaveOptionsResult::Failed);
  ASSERT_EQ(ui_.Messages().size(), 1u);
  EXPECT_EQ(ui_.shown[0].kind, MessageKind::Error);
  EXPECT_EQ(ui_.shown[0].text, "\rError during options saving");
  EXPECT_FALSE(fs::exists(dir_ / "Tagschange.dat"));
  EXPECT_FALSE(fs::exists(dir_ / "Tagsdelete.dat"));
  // A missing program folder fails the same way.
  fs::remove_all(dir_);
  EXPECT_EQ(SaveOptions(Context(), settings_, tables_), SaveOptionsResult::Failed);
  fs::create_directories(dir_);
}

TEST_F(OptionsFileTest, TagTableFailuresAreReportedAndTheOptionsStillLoad) {
  Put(OptionsPath(), "[settings]\r\ncbDelCRLF=1\r\n");
  fs::create_directory(dir_ / "Tagschange.dat");
  Put(dir_ / "Tagsdelete.dat", "- font\r\n");
  ASSERT_EQ(Load(), LoadOptionsResult::Loaded);
  EXPECT_TRUE(settings_["cbDelCRLF"]);
  EXPECT_TRUE(tables_.replacement.empty());  // emptied before the failed read
  ASSERT_EQ(tables_.removal.size(), 1u);
  EXPECT_EQ(tables_.removal[0].tag, "font");
  ASSERT_EQ(ui_.shown.size(), 1u);
  EXPECT_EQ(ui_.shown[0].text, "\rError during tags replacement table loading");
  // Saving: the options are written, the replacement table's failure is shown.
  tables_.replacement = {{"a", "b", true}};
  EXPECT_EQ(SaveOptions(Context(), settings_, tables_), SaveOptionsResult::Saved);
  ASSERT_EQ(ui_.shown.size(), 2u);
  EXPECT_EQ(ui_.shown[1].text, "\rError during tags replacement table saving");
  EXPECT_EQ(ReadAll(dir_ / "Tagsdelete.dat"), "- font\r\n");
}

TEST_F(OptionsFileTest, BadInputNeverCrashesTheLoader) {
  std::mt19937 rng(99);
  std::string garbage(64 * 1024, '\0');
  for (char& c : garbage) c = static_cast<char>(rng() & 0xFF);
  Put(OptionsPath(), garbage);
  EXPECT_NE(Load(), LoadOptionsResult::Failed);
  EXPECT_GE(IniFile::Read(OptionsPath(), nullptr).KeyCount("settings"), kOptionTable.size());

  Put(OptionsPath(), "[settings]\r\nedBrowser=" + std::string(1 << 20, 'b') + "\r\ncbDelKav=0\r\n");
  ASSERT_EQ(Load(), LoadOptionsResult::Loaded);
  EXPECT_EQ(settings_.edBrowser, std::string(kMaxIniValueLength, 'b'));
  EXPECT_FALSE(settings_["cbDelKav"]);

  std::string many = "[settings]\r\n";
  for (int i = 0; i < 100000; ++i) many += "k" + std::to_string(i) + "=1\r\n";
  many += "cbDelCRLF=1\r\n";
  Put(OptionsPath(), many);
  ASSERT_EQ(Load(), LoadOptionsResult::Loaded);
  EXPECT_TRUE(settings_["cbDelCRLF"]);
  ASSERT_EQ(SaveOptions(Context(), settings_, tables_), SaveOptionsResult::Saved);
  EXPECT_EQ(IniFile::Read(OptionsPath(), nullptr).KeyCount("settings"), 100001u + kOptionTable.size() - 1);
  EXPECT_TRUE(ui_.shown.empty());
}

TEST_F(OptionsFileTest, StartupDefaultsFoldersAndStoredLanguage) {
  EXPECT_EQ(settings_.edOptimizedPath, folder_ + "optimized/");
  EXPECT_EQ(settings_.edBackUpPath, folder_ + "backup/");
  EXPECT_EQ(settings_.edBrowser, "c:\\program files\\internet explorer\\iexplore.exe");
  EXPECT_EQ(settings_.edExtEditor, "/windows/notepad.exe");
  EXPECT_EQ(settings_.comboMode, kModeNormal);
  EXPECT_FALSE(settings_.radModifyOld);
  EXPECT_TRUE(settings_["cbDelAllTabs"]);
  EXPECT_EQ(settings_.edLan, "");
  EXPECT_FALSE(tables_.removal[6].ticked);
  EXPECT_TRUE(tables_.removal[5].ticked);

  EXPECT_EQ(CreateStartupFolders(settings_), 2);
  EXPECT_TRUE(fs::is_directory(dir_ / "optimized"));
  EXPECT_TRUE(fs::is_directory(dir_ / "backup"));
  EXPECT_EQ(CreateStartupFolders(settings_), 0);
  OptimizationSettings deep = settings_;
  deep.edOptimizedPath = folder_ + "a/b/c/";  // one level only: silently not made
  deep.edBackUpPath = "";
  EXPECT_EQ(CreateStartupFolders(deep), 0);
  EXPECT_FALSE(fs::exists(dir_ / "a"));

  EXPECT_FALSE(ReadStoredLanguage(folder_).has_value());
  Put(OptionsPath(), "[other]\r\nedLan=x\r\n");
  EXPECT_FALSE(ReadStoredLanguage(folder_).has_value());
  Put(OptionsPath(), "[Settings]\r\nEDLAN=/l/german.lng\r\n");
  EXPECT_EQ(ReadStoredLanguage(folder_), "/l/german.lng");
}

}  // namespace
}  // namespace tersify
