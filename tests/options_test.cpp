#include <gtest/gtest.h>

#include "settings/options.h"

namespace tersify {
namespace {

TEST(ModePresets, MaxKeepsDelScriptsWhenMaxScriptsOffAndNormalClearsIt) {
  OptimizationSettings s;
  s.cbDelScripts = true;
  s.cbDelScriptsMax = false;
  ApplyModePreset(s, kModeMax);
  EXPECT_TRUE(s.cbDelScripts);
  EXPECT_TRUE(s.cbDelCRLF);
  EXPECT_TRUE(s.cbReplaceDoubleSpacesInKav);
  ApplyModePreset(s, kModeNormal);
  EXPECT_FALSE(s.cbDelScripts);
  EXPECT_FALSE(s.cbDelCRLF);
  EXPECT_FALSE(s.cbDelAllTabs);
}

TEST(ModePresets, MaxTurnsScriptsOffOnlyWithMaxScriptsOption) {
  OptimizationSettings s;
  s.cbDelScriptsMax = true;
  auto changed = ApplyModePreset(s, kModeMax);
  EXPECT_TRUE(s.cbDelScripts);
  ASSERT_FALSE(changed.empty());
  EXPECT_EQ(changed.front(), "cbDelScripts");
}

TEST(ModePresets, NormalTwiceChangesNothingTheSecondTime) {
  OptimizationSettings s;
  auto first = ApplyModePreset(s, kModeNormal);
  EXPECT_EQ(first, std::vector<std::string>{"cbDelAllTabs"});  // the defaults differ from the preset only here
  EXPECT_TRUE(ApplyModePreset(s, kModeNormal).empty());
}

TEST(ModePresets, UsersSettingsAndOtherOptionsUntouched) {
  OptimizationSettings s;
  s.cbClosedTagsAlso = false;
  s.cbShowInfo = false;
  s.edLan = "x.lng";
  EXPECT_TRUE(ApplyModePreset(s, kModeUsers).empty());
  ApplyModePreset(s, kModeMax);
  EXPECT_FALSE(s.cbClosedTagsAlso);
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
}

TEST(OptionKeys, GetAndSetByKey) {
  OptimizationSettings s;
  EXPECT_EQ(OptionKeys().size(), 44u);
  EXPECT_EQ(OptionKeys().front().key, "comboMode");
  EXPECT_EQ(OptionKeys().back().key, "column_sort");
  EXPECT_TRUE(SetOption(s, "CBDELCRLF", "1"));
  EXPECT_TRUE(s.cbDelCRLF);
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

}  // namespace
}  // namespace tersify
