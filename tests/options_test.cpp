#include "settings/options.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "i18n/catalogue.h"
#include "i18n/language_file.h"
#include "platform/paths.h"
#include "settings/enabling.h"
#include "settings/ini_file.h"
#include "settings/option_table.h"
#include "settings/options_dialog.h"
#include "settings/startup.h"
#include "support/scripted_interaction.h"
#include "support/temp_folder.h"

namespace tersify {
namespace {

#ifdef _WIN32
constexpr bool kCaseSensitivePaths = false;
#else
constexpr bool kCaseSensitivePaths = true;
#endif

// The English texts of the default language file.
MessageCatalogue English() {
  auto file = LanguageFile::Load(TERSIFY_SOURCE_DIR "/lang/Deflan.dat", CodePage::Cp1252);
  return MessageCatalogue(std::make_shared<const LanguageFile>(file ? *file : LanguageFile()));
}

TEST(ModePresets, MaxKeepsDelScriptsWhenMaxScriptsOffAndNormalClearsIt) {
  OptimizationSettings s;
  s["cbDelScripts"] = true;
  s["cbDelScriptsMax"] = false;
  ApplyModePreset(s, kModeMax);
  EXPECT_TRUE(s["cbDelScripts"]);
  EXPECT_TRUE(s["cbDelCRLF"]);
  EXPECT_TRUE(s["cbReplaceDoubleSpacesInKav"]);
  ApplyModePreset(s, kModeNormal);
  EXPECT_FALSE(s["cbDelScripts"]);
  EXPECT_FALSE(s["cbDelCRLF"]);
  EXPECT_FALSE(s["cbDelAllTabs"]);
}

TEST(ModePresets, MaxTurnsScriptsOffOnlyWithMaxScriptsOption) {
  OptimizationSettings s;
  s["cbDelScriptsMax"] = true;
  auto changed = ApplyModePreset(s, kModeMax);
  EXPECT_TRUE(s["cbDelScripts"]);
  EXPECT_NE(std::find(changed.begin(), changed.end(), "cbDelScripts"), changed.end());
}

// Every row of the table follows its presets, from all boxes off and all on.
TEST(ModePresets, EveryRowFollowsItsPreset) {
  for (int mode : {kModeNormal, kModeMax}) {
    for (bool before : {false, true}) {
      OptimizationSettings s;
      for (const auto& row : kOptionTable)
        if (row.type() == OptionType::Bool) SetOption(s, row.key, before ? "1" : "0");
      ApplyModePreset(s, mode);
      for (const auto& row : kOptionTable) {
        if (row.type() != OptionType::Bool) continue;
        const Preset preset = mode == kModeNormal ? row.normal : row.max;
        bool expected = before;
        if (preset == Preset::On || (preset == Preset::OnWithScriptsMax && s["cbDelScriptsMax"])) expected = true;
        if (preset == Preset::Off) expected = false;
        EXPECT_EQ(*GetOption(s, row.key), expected ? "1" : "0") << row.key << " mode " << mode;
      }
    }
  }
}

TEST(ModePresets, NormalTwiceChangesNothingTheSecondTime) {
  OptimizationSettings s;
  auto first = ApplyModePreset(s, kModeNormal);
  EXPECT_EQ(first, std::vector<std::string>{"cbDelAllTabs"});  // the defaults differ from the preset only here
  EXPECT_TRUE(ApplyModePreset(s, kModeNormal).empty());
}

TEST(ModePresets, UsersSettingsAndOtherOptionsUntouched) {
  OptimizationSettings s;
  s["cbClosedTagsAlso"] = false;
  s.cbShowInfo = false;
  s.edLan = "x.lng";
  EXPECT_TRUE(ApplyModePreset(s, kModeUsers).empty());
  ApplyModePreset(s, kModeMax);
  EXPECT_FALSE(s["cbClosedTagsAlso"]);
  EXPECT_FALSE(s.cbShowInfo);
  EXPECT_EQ(s.edLan, "x.lng");
}

TEST(ModeFallback, MousePressOnPassBoxSwitchesToUsersSettings) {
  OptimizationSettings s;
  s.comboMode = kModeMax;
  EXPECT_TRUE(OnCheckBoxMousePress(s, "cbDelCRLF"));
  EXPECT_EQ(s.comboMode, kModeUsers);
  s.comboMode = kModeNormal;
  EXPECT_FALSE(OnCheckBoxMousePress(s, "cbDelScriptsMax"));
  EXPECT_FALSE(OnCheckBoxMousePress(s, "cbShowInfo"));
  EXPECT_EQ(s.comboMode, kModeNormal);
  EXPECT_TRUE(OnCheckBoxMousePress(s, "cbClosedTagsAlso"));
  for (const auto& row : kOptionTable) {
    s.comboMode = kModeMax;
    EXPECT_EQ(OnCheckBoxMousePress(s, row.key), row.modeSensitive) << row.key;
  }
}

TEST(OptionKeys, DefaultsComeFromTheTable) {
  OptimizationSettings s;
  for (const auto& row : kOptionTable) {
    EXPECT_EQ(*GetOption(s, row.key), row.byDefault) << row.key;
    EXPECT_EQ(OptionTypeOf(row.key), row.type()) << row.key;
  }
  EXPECT_EQ(s.comboMode, kModeNormal);
  EXPECT_TRUE(s["cbDelKav"]);
  EXPECT_FALSE(s["cbDelCRLF"]);
  EXPECT_TRUE(s["cbDelAllTabs"]);  // on by default, off in the Normal preset
  EXPECT_EQ(s.edMaxEmbCount, "10");
  EXPECT_EQ(s.edMaxFCount, "100");
  EXPECT_EQ(s.col, (std::array<int, 6>{180, 150, 120, 110, 110, 100}));
  EXPECT_EQ(s.splitter, 72);
  EXPECT_EQ(s.edLan, "");
}

TEST(OptionKeys, GetAndSetByKey) {
  OptimizationSettings s;
  EXPECT_EQ(kOptionFileOrder.front()->key, "comboMode");
  EXPECT_EQ(kOptionFileOrder.back()->key, "column_sort");
  EXPECT_TRUE(SetOption(s, "CBDELCRLF", "1"));
  EXPECT_TRUE(s["cbDelCRLF"]);
  EXPECT_TRUE(SetOption(s, "col3", "0x20"));
  EXPECT_EQ(s.col[3], 32);
  EXPECT_TRUE(SetOption(s, "edLan", "  x  "));
  EXPECT_EQ(*GetOption(s, "edlan"), "  x  ");
  EXPECT_FALSE(SetOption(s, "cbDelKav", "yes"));
  EXPECT_FALSE(SetOption(s, "noSuchKey", "1"));
  EXPECT_FALSE(SetOption(s, "comboMode", "3"));
  EXPECT_EQ(*GetOption(s, "cbDelKav"), "1");
  EXPECT_FALSE(GetOption(s, "col6").has_value());
}

TEST(Enabling, InitialStateAndEachRule) {
  ControlEnabling e;
  EXPECT_FALSE(e.IsEnabled("edMaxEmbCount"));
  EXPECT_FALSE(e.IsEnabled(kCheckScriptsKept));
  EXPECT_TRUE(e.IsEnabled("cbDelCRLF"));
  EXPECT_TRUE(e.IsEnabled("comboMode"));  // no rule touches it
  OptimizationSettings s;
  for (const auto& row : kOptionTable) {
    if (!row.HasRule()) continue;
    for (bool value : {false, true}) {
      SetOption(s, row.key, value ? "1" : "0");
      ASSERT_TRUE(e.RunRule(row.key, s));
      for (auto control : row.enables) {
        if (control.empty()) continue;
        EXPECT_EQ(e.IsEnabled(control), value) << row.key << " " << control;
      }
      for (auto control : row.disables) {
        if (control.empty()) continue;
        EXPECT_EQ(e.IsEnabled(control), !value) << row.key << " " << control;
      }
    }
  }
  // A few rules as the dialog shows them.
  for (bool value : {false, true}) {
    s["cbDelKav"] = s["cbDelComments"] = s.cbProcessEmbeded = value;
    for (auto box : {"cbDelKav", "cbDelComments", "cbProcessEmbeded"}) e.RunRule(box, s);
    EXPECT_EQ(e.IsEnabled("cbDelEmptyPar"), value);
    EXPECT_EQ(e.IsEnabled(kLabelCommentTags), value);
    EXPECT_EQ(e.IsEnabled("cbOuttag"), value);
    EXPECT_EQ(e.IsEnabled("edMaxEmbCount"), value);
  }
  EXPECT_FALSE(e.RunRule("cbSaveBefMod", s));  // changes no enabling
  EXPECT_FALSE(e.RunRule("cbDelCRLF", s));
}

TEST(Enabling, SaveModeControls) {
  ControlEnabling e;
  OptimizationSettings s;
  s.radModifyOld = true;
  e.UpdateSaveModeControls(s);
  for (auto c : {std::string_view("cbSaveBefMod"), std::string_view("edBackUpPath"), kButtonBackUpPath})
    EXPECT_TRUE(e.IsEnabled(c)) << c;
  for (auto c : {std::string_view("edOptimizedPath"), kButtonOptimizedPath, kLabelOptimizedPath, kMenuPackedFile})
    EXPECT_FALSE(e.IsEnabled(c)) << c;
  s.radModifyOld = false;
  e.UpdateSaveModeControls(s);
  EXPECT_FALSE(e.IsEnabled("cbSaveBefMod"));
  EXPECT_FALSE(e.IsEnabled(kButtonBackUpPath));
  EXPECT_TRUE(e.IsEnabled(kMenuPackedFile));
  EXPECT_TRUE(e.IsEnabled(kLabelOptimizedPath));
}

TEST(CountFilter, DigitsEnterAndBackspaceOnly) {
  for (int c = '0'; c <= '9'; ++c) EXPECT_TRUE(AcceptsCountKey(c));
  EXPECT_TRUE(AcceptsCountKey(13));
  EXPECT_TRUE(AcceptsCountKey(8));
  for (int c : {int('a'), int('Z'), int('-'), int('+'), int(' '), int('.'), 0, 9, 10, 127, 0xB2})
    EXPECT_FALSE(AcceptsCountKey(c)) << c;
}

class OptionsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = dir_.string() + "/";
    StartupEnvironment env{folder_, dir_.string(), "/b", "editor"};
    settings_ = StartupSettings(env);
    tables_ = StartupTagTables();
    CreateStartupFolders(settings_);
    std::ofstream(dir_ / "editor") << "x";
  }
  OptionsDialogModel Model() { return OptionsDialogModel(settings_, tables_, {folder_, ui_, catalogue_}); }

  const testing::TempFolder tmp_;
  const std::filesystem::path dir_ = tmp_.root();
  std::string folder_;
  OptimizationSettings settings_;
  TagTables tables_;
  testing::ScriptedInteraction ui_;
  MessageCatalogue catalogue_ = English();
};

TEST_F(OptionsDialogTest, UntickingEmptyLinesDisablesGluingButKeepsItsTick) {
  auto m = Model();
  settings_["cbDelCRLF"] = true;
  EXPECT_TRUE(m.SetCheckBox("cbDelEmptyLine", false));
  EXPECT_FALSE(m.IsEnabled("cbDelCRLF"));
  EXPECT_TRUE(settings_["cbDelCRLF"]);
  EXPECT_FALSE(m.SetCheckBox("noSuchBox", true));
  EXPECT_FALSE(m.SetCheckBox("edLan", true));
}

TEST_F(OptionsDialogTest, EmbeddedFoldersEnableTheDepthEditUntilTheDepthBoxIsClicked) {
  auto m = Model();
  ASSERT_FALSE(settings_.cbMaxEmbCount);
  m.SetCheckBox("cbProcessEmbeded", true);
  EXPECT_TRUE(m.IsEnabled("edMaxEmbCount"));
  m.SetCheckBox("cbMaxEmbCount", true);
  m.SetCheckBox("cbMaxEmbCount", false);
  EXPECT_FALSE(m.IsEnabled("edMaxEmbCount"));
  EXPECT_TRUE(m.IsEnabled("cbMaxEmbCount"));
  m.SetCheckBox("cbProcessEmbeded", false);
  EXPECT_FALSE(m.IsEnabled("cbMaxEmbCount"));
}

TEST_F(OptionsDialogTest, ModeListAppliesThePresetAndRunsTheRulesOfChangedBoxes) {
  auto m = Model();
  m.SetCheckBox("cbDelEmptyLine", false);
  m.SetCheckBox("cbDelComments", false);
  ASSERT_FALSE(m.IsEnabled("cbDelCRLF"));
  auto changed = m.ChooseMode(kModeMax);
  EXPECT_EQ(settings_.comboMode, kModeMax);
  EXPECT_TRUE(m.IsEnabled("cbDelCRLF"));
  EXPECT_TRUE(m.IsEnabled("cbIsScript"));
  EXPECT_NE(std::find(changed.begin(), changed.end(), "cbDelEmptyLine"), changed.end());
  // A mouse press on a pass box falls back to Users' settings; keyboard changes keep the mode.
  m.SetCheckBox("cbDelKav", false);
  EXPECT_EQ(settings_.comboMode, kModeMax);
  EXPECT_TRUE(m.MousePress("cbDelKav"));
  EXPECT_EQ(settings_.comboMode, kModeUsers);
  EXPECT_TRUE(m.ChooseMode(7).empty());
  EXPECT_EQ(settings_.comboMode, kModeUsers);
}

TEST_F(OptionsDialogTest, SaveModeRadioButtons) {
  auto m = Model();
  m.SetSaveMode(true);
  EXPECT_TRUE(settings_.radModifyOld);
  EXPECT_FALSE(settings_.cbSaveNewMod());
  EXPECT_TRUE(m.IsEnabled("edBackUpPath"));
  EXPECT_FALSE(m.IsEnabled(kMenuPackedFile));
  m.SetSaveMode(false);
  EXPECT_FALSE(m.IsEnabled("cbSaveBefMod"));
  EXPECT_TRUE(m.IsEnabled("edOptimizedPath"));
}

TEST_F(OptionsDialogTest, ValidateWarnsAboutOutputFolderAndEditorOnly) {
  EXPECT_EQ(settings_.edOptimizedPath.back(), '/');
  auto r = ValidateOptions(settings_, ui_, catalogue_);
  EXPECT_FALSE(r.outputFolderMissing);
  EXPECT_FALSE(r.editorMissing);
  EXPECT_TRUE(ui_.shown.empty());

  settings_.edOptimizedPath = folder_ + "optimized";  // gets its separator
  settings_.edBackUpPath = folder_ + "nosuch/";       // never tested here
  settings_.cbShowInfo = false;                       // not a gate for these warnings
  r = ValidateOptions(settings_, ui_, catalogue_);
  EXPECT_EQ(settings_.edOptimizedPath, folder_ + "optimized/");
  EXPECT_FALSE(r.outputFolderMissing);
  EXPECT_TRUE(ui_.shown.empty());

  settings_.edOptimizedPath = folder_ + "gone";
  settings_.edExtEditor = "";
  r = ValidateOptions(settings_, ui_, catalogue_);
  EXPECT_TRUE(r.outputFolderMissing);
  EXPECT_TRUE(r.editorMissing);
  ASSERT_EQ(ui_.shown.size(), 2u);
  EXPECT_EQ(ui_.shown[0].kind, MessageKind::Warning);
  EXPECT_EQ(ui_.shown[0].text, "Folder for optimized files does not exist!\r\nPlease, change program options.");
  EXPECT_EQ(ui_.shown[1].text, "External editor file not found!\r\nPlease, change program options.");
  EXPECT_EQ(settings_.edOptimizedPath, folder_ + "gone/");

  // An editor path naming a folder is no editor; an empty output folder is the root.
  ui_.shown.clear();
  settings_.edExtEditor = folder_;
  settings_.edOptimizedPath = "";
  r = ValidateOptions(settings_, ui_, catalogue_);
  EXPECT_EQ(settings_.edOptimizedPath, "/");
  EXPECT_FALSE(r.outputFolderMissing);
  EXPECT_TRUE(r.editorMissing);
}

TEST_F(OptionsDialogTest, ChoosersSetTheirFields) {
  auto m = Model();
  auto r = m.FolderChosen(FolderField::BackUp, folder_ + "Bak");
  EXPECT_EQ(settings_.edBackUpPath, folder_ + "Bak/");
  EXPECT_FALSE(r.outputFolderMissing);
  settings_.edOptimizedPath = folder_ + "gone/";
  r = m.FolderChosen(FolderField::Optimized, std::nullopt);  // cancelled: still validates
  EXPECT_TRUE(r.outputFolderMissing);
  EXPECT_EQ(ui_.Messages().size(), 1u);
  m.FolderChosen(FolderField::Optimized, folder_ + "optimized/");
  EXPECT_EQ(settings_.edOptimizedPath, folder_ + "optimized/");

  m.ExecutableChosen(ExecutableField::Browser, "/Opt/FireFox");
  // Chosen paths keep their case where the file system tells case apart.
  EXPECT_EQ(settings_.edBrowser, platform::NormalizePathCase("/Opt/FireFox"));
  EXPECT_EQ(settings_.edBrowser, kCaseSensitivePaths ? "/Opt/FireFox" : "/opt/firefox");
  m.ExecutableChosen(ExecutableField::Browser, std::nullopt);
  EXPECT_EQ(settings_.edBrowser, "");
  m.ExecutableChosen(ExecutableField::ExtEditor, std::nullopt);
  EXPECT_EQ(settings_.edExtEditor, "");
}

TEST_F(OptionsDialogTest, LanguageButtonsAndCloseSave) {
  auto m = Model();
  int applied = 0;
  auto apply = [&] { ++applied; };
  EXPECT_FALSE(m.LanguageFileChosen(std::nullopt, apply));
  EXPECT_EQ(applied, 0);
  EXPECT_TRUE(m.LanguageFileChosen("/L/Russian.LNG", apply));
  EXPECT_EQ(settings_.edLan, kCaseSensitivePaths ? "/L/Russian.LNG" : "/l/russian.lng");
  EXPECT_EQ(applied, 1);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "Options.dat"));  // the file button saves nothing

  EXPECT_EQ(m.EnglishChosen(apply), SaveOptionsResult::Saved);
  EXPECT_EQ(applied, 2);
  EXPECT_EQ(settings_.edLan, "");
  IniFile::ReadStatus status;
  EXPECT_EQ(IniFile::Read(dir_ / "Options.dat", &status).Get("settings", "edLan"), "");

  settings_["cbDelCRLF"] = true;
  tables_.removal.push_back({"font", true});
  EXPECT_EQ(m.Close(), SaveOptionsResult::Saved);
  IniFile ini = IniFile::Read(dir_ / "Options.dat", &status);
  EXPECT_EQ(ini.Get("settings", "cbDelCRLF"), "1");
  TagRemovalTable saved;
  LoadRemovalTable(dir_ / "Tagsdelete.dat", saved);
  EXPECT_EQ(saved.back().tag, "font");
  // Load after the save: the record and the rules come back.
  settings_["cbDelCRLF"] = false;
  EXPECT_EQ(m.Load(), LoadOptionsResult::Loaded);
  EXPECT_TRUE(settings_["cbDelCRLF"]);
  EXPECT_TRUE(ui_.shown.empty());
}

TEST_F(OptionsDialogTest, TagPageGoesThroughTheTableRules) {
  auto m = Model();
  EXPECT_EQ(m.AddTag(TagDialogMode::Replacement, "b", "bold"), TagAddResult::Cycle);
  EXPECT_EQ(m.AddTag(TagDialogMode::Replacement, "u", "ins"), TagAddResult::Added);
  EXPECT_EQ(m.AddTag(TagDialogMode::Removal, "/td", ""), TagAddResult::Duplicate);
  EXPECT_EQ(m.AddTag(TagDialogMode::Removal, "font", "ignored"), TagAddResult::Added);
  EXPECT_EQ(tables_.removal.back().tag, "font");
  m.SortReplacement(ReplacementSortColumn::From);
  EXPECT_EQ(tables_.replacement.front().from, "address");
  ui_.answers = {Answer::Yes};
  EXPECT_TRUE(m.RemoveRemoval(tables_.removal.size() - 1));
  EXPECT_EQ(tables_.removal.back().tag, "/TD");
  EXPECT_FALSE(m.RemoveReplacement(std::nullopt));
}

}  // namespace
}  // namespace tersify
