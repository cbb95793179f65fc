#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/locale.h"

namespace tersify::platform {
namespace {

TEST(CodePageTest, LocaleNamesMapToTheirCodePage) {
  for (const char* name : {"pl_PL.UTF-8", "cs_CZ", "HU_hu", "sk", "sl_SI.ISO-8859-2", "hr_HR", "ro_RO", "sq_AL",
                           "sr_RS@latin", "sr-Latn-RS", "bs_BA"})
    EXPECT_EQ(CodePageForLocale(name), CodePage::Cp1250) << name;
  for (const char* name : {"ru_RU.KOI8-R", "ru", "uk-UA", "be_BY.UTF-8", "bg_BG", "mk_MK", "sr_RS", "sr_RS.UTF-8",
                           "kk_KZ", "RU_RU.CP1251"})
    EXPECT_EQ(CodePageForLocale(name), CodePage::Cp1251) << name;
  for (const char* name : {"en_US.UTF-8", "de_DE@euro", "fr", "C", "POSIX", "", "C.UTF-8", "plx_XX", "rus", "es-ES"})
    EXPECT_EQ(CodePageForLocale(name), CodePage::Cp1252) << name;
}

#ifndef _WIN32
// Sets locale variables for one test and puts the old values back.
class LocaleEnvironment {
 public:
  LocaleEnvironment() {
    for (const char* v : kNames) {
      const char* value = std::getenv(v);
      saved_.push_back(value ? std::optional<std::string>(value) : std::nullopt);
      unsetenv(v);
    }
  }
  ~LocaleEnvironment() {
    for (std::size_t i = 0; i < saved_.size(); ++i) {
      if (saved_[i])
        setenv(kNames[i], saved_[i]->c_str(), 1);
      else
        unsetenv(kNames[i]);
    }
  }
  void Set(const char* name, const char* value) { setenv(name, value, 1); }

 private:
  static constexpr const char* kNames[] = {"LC_ALL", "LC_CTYPE", "LANG"};
  std::vector<std::optional<std::string>> saved_;
};

TEST(CodePageTest, SystemCodePageFollowsTheLocaleVariables) {
  LocaleEnvironment env;
  EXPECT_EQ(AnsiCodePage(), CodePage::Cp1252);
  env.Set("LANG", "ru_RU.UTF-8");
  EXPECT_EQ(AnsiCodePage(), CodePage::Cp1251);
  env.Set("LC_CTYPE", "pl_PL.UTF-8");
  EXPECT_EQ(AnsiCodePage(), CodePage::Cp1250);
  env.Set("LC_ALL", "en_GB.UTF-8");
  EXPECT_EQ(AnsiCodePage(), CodePage::Cp1252);
  env.Set("LC_ALL", "");  // an empty variable does not count
  EXPECT_EQ(AnsiCodePage(), CodePage::Cp1250);
}
#endif

}  // namespace
}  // namespace tersify::platform
