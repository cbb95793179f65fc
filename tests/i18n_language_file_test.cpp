#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <string>

#include "i18n/language_file.h"
#include "support/temp_folder.h"

namespace tersify {
namespace {

LanguageFile Parse(std::string_view bytes) { return LanguageFile::FromBytes(bytes, CodePage::Cp1252); }

TEST(LanguageFileTest, LineEndingsCommentsAndSections) {
  const LanguageFile f = Parse(
      "before=ignored\r\n"
      "[One]\r\n"
      "a=1\n"
      "b=2\r"
      ";c=3\r\n"
      "\r\n"
      " ;d=4\n"
      "no equals sign\n"
      "e=x=y\n"
      "[Two] \n"
      "f=5\n"
      "[Three]\n"
      "g=6");
  EXPECT_EQ(f.SectionNames(), (std::vector<std::string>{"One", "Three"}));
  EXPECT_FALSE(f.Find("One", "before"));
  EXPECT_EQ(f.Value("One", "a"), "1");
  EXPECT_EQ(f.Value("One", "b"), "2");
  EXPECT_FALSE(f.Find("One", ";c"));
  EXPECT_EQ(f.Value("One", " ;d"), "4");  // only a leading ";" marks a comment
  EXPECT_EQ(f.Value("One", "e"), "x=y");  // split at the first "="
  // "[Two] " does not end with "]": it is a key line without "=" and so skipped.
  EXPECT_FALSE(f.HasSection("Two"));
  EXPECT_EQ(f.Value("One", "f"), "5");
  EXPECT_EQ(f.Value("Three", "g"), "6");  // last line without a line end
  EXPECT_EQ(f.Keys("One"), (std::vector<std::string>{"a", "b", " ;d", "e", "f"}));
}

TEST(LanguageFileTest, FirstSectionAndFirstKeyWinCaseInsensitively) {
  const LanguageFile f = Parse(
      "[Misc]\nKey=first\nKEY=second\nkey=third\n"
      "[MISC]\nkey=other section\nonly=here\n"
      "[misc]\nonly=again\n");
  EXPECT_EQ(f.SectionNames(), (std::vector<std::string>{"Misc"}));
  EXPECT_EQ(f.Value("misc", "kEy"), "first");
  EXPECT_FALSE(f.Find("Misc", "only"));
  EXPECT_EQ(f.KeyCount("MISC"), 1u);
}

TEST(LanguageFileTest, UpperCaseEntriesFindMixedCaseKeys) {
  const LanguageFile f = Parse("[FRMOPTIONS]\nFRMOPTIONS.BUTCLOSE.CAPTION=Fermer\n");
  EXPECT_EQ(f.Value("frmOptions", "frmOptions.butClose.Caption"), "Fermer");
  const LanguageFile g = Parse("[frmOptions]\nfrmOptions.butClose.Caption=Fermer\n");
  EXPECT_EQ(g.Value("FRMOPTIONS", "FRMOPTIONS.BUTCLOSE.CAPTION"), "Fermer");
}

TEST(LanguageFileTest, NothingIsTrimmed) {
  const LanguageFile f = Parse("[frmAbout]\nfrmAbout.Caption = About\nx=  two  \n=empty key\nempty=\n");
  EXPECT_FALSE(f.Find("frmAbout", "frmAbout.Caption"));
  EXPECT_EQ(f.Value("frmAbout", "frmAbout.Caption "), " About");
  EXPECT_EQ(f.Value("frmAbout", "x"), "  two  ");
  EXPECT_EQ(f.Value("frmAbout", ""), "empty key");
  ASSERT_TRUE(f.Find("frmAbout", "empty"));
  EXPECT_EQ(*f.Find("frmAbout", "empty"), "");
  EXPECT_EQ(f.Value("frmAbout", "missing", "fsdef"), "fsdef");
  EXPECT_EQ(f.Value("nowhere", "x", "fsdef"), "fsdef");
}

TEST(LanguageFileTest, FsdefAndMarksAreStoredAsWritten) {
  const LanguageFile f = Parse("[frmAbout]\nfrmAbout.memo.lines[0]=fsdef\nfrmAbout.lab.Hint=a*|*b\n");
  EXPECT_EQ(f.Value("frmAbout", "frmAbout.memo.lines[0]"), "fsdef");
  EXPECT_EQ(f.Value("frmAbout", "frmAbout.lab.Hint"), "a*|*b");
}

TEST(LanguageFileTest, FileNamingOnlyMisc) {
  const LanguageFile f = Parse("[Misc]\nconst_break:string=Abbruch\n");
  EXPECT_EQ(f.SectionNames(), (std::vector<std::string>{"Misc"}));
  EXPECT_FALSE(f.HasSection("frmMain"));
  EXPECT_EQ(f.Value("frmMain", "frmMain.Caption"), "");
}

TEST(LanguageFileTest, DecodesTheCodePage) {
  const std::string bytes = "[Misc]\nk=\xCF\xF0\xE8\xE2\xE5\xF2\n";
  EXPECT_EQ(LanguageFile::FromBytes(bytes, CodePage::Cp1251).Value("Misc", "k"),
            "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82");  // Privet in Cyrillic
  EXPECT_EQ(LanguageFile::FromBytes("[Misc]\nk=\xB9\n", CodePage::Cp1250).Value("Misc", "k"), "\xC4\x85");
  EXPECT_EQ(LanguageFile::FromBytes("[Misc]\nk=\xE9\n", CodePage::Cp1252).Value("Misc", "k"), "\xC3\xA9");
  EXPECT_EQ(LanguageFile::FromBytes("[Misc]\nk=\xE9\n", std::nullopt).Value("Misc", "k"), "\xE9");
  // A byte order mark makes the file UTF-8 whatever the code page.
  EXPECT_EQ(LanguageFile::FromBytes("\xEF\xBB\xBF[Misc]\nk=\xC3\xA9\n", CodePage::Cp1251).Value("Misc", "k"),
            "\xC3\xA9");
}

TEST(LanguageFileTest, LoadFromPath) {
  const testing::TempFolder dir;
  const std::string path = dir.Write("German.lng", "[Misc]\r\nconst_break:string=Abbruch\r\n");
  auto loaded = LanguageFile::Load(path, CodePage::Cp1252);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->Value("Misc", "const_break:string"), "Abbruch");

  auto missing = LanguageFile::Load(dir.Path("none.lng"), CodePage::Cp1252);
  ASSERT_TRUE(missing);  // a missing file is an empty language file, no failure
  EXPECT_TRUE(missing->SectionNames().empty());

  EXPECT_FALSE(LanguageFile::Load(dir.root().string(), CodePage::Cp1252));  // a folder cannot be read
#ifndef _WIN32
  // Nor can a pipe, which would wait for a writer for ever.
  const std::string pipe = dir.Path("pipe.lng");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_FALSE(LanguageFile::Load(pipe, CodePage::Cp1252));
#endif
}

TEST(LanguageFileTest, RandomBytesNeverCrash) {
  std::mt19937 rng(20240611);
  const std::string alphabet = "[]=;\r\n*|abcAB \xF5\xC0\x80";
  for (int round = 0; round < 300; ++round) {
    std::string bytes(rng() % 400, '\0');
    for (char& c : bytes) c = (rng() % 3 == 0) ? static_cast<char>(rng() % 256) : alphabet[rng() % alphabet.size()];
    for (auto cp : {std::optional<CodePage>(), std::optional(CodePage::Cp1250), std::optional(CodePage::Cp1251),
                    std::optional(CodePage::Cp1252)}) {
      const LanguageFile f = LanguageFile::FromBytes(bytes, cp);
      std::size_t keys = 0;
      for (const std::string& s : f.SectionNames()) {
        EXPECT_TRUE(f.HasSection(s));
        for (const std::string& k : f.Keys(s)) {
          EXPECT_TRUE(f.Find(s, k).has_value());
          ++keys;
        }
      }
      EXPECT_LE(keys, bytes.size());
    }
  }
}

TEST(LanguageFileTest, HugeLineAndManyKeys) {
  const std::string big(1 << 20, 'x');
  const LanguageFile f = Parse("[Misc]\nbig=" + big + "\nafter=1\n");
  EXPECT_EQ(f.Value("Misc", "big"), big);
  EXPECT_EQ(f.Value("Misc", "after"), "1");

  std::string many = "[Misc]\r\n";
  for (int i = 0; i < 100000; ++i) many += "key" + std::to_string(i) + "=v" + std::to_string(i) + "\r\n";
  const LanguageFile m = Parse(many);
  EXPECT_EQ(m.KeyCount("Misc"), 100000u);
  EXPECT_EQ(m.Value("Misc", "KEY0"), "v0");
  EXPECT_EQ(m.Value("Misc", "key99999"), "v99999");
  EXPECT_EQ(m.Value("Misc", "key100000", "none"), "none");
}

}  // namespace
}  // namespace tersify
