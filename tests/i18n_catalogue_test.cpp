#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

#include "i18n/catalogue.h"
#include "i18n/language_file.h"
#include "support/scripted_interaction.h"

namespace tersify {
namespace {

std::string CrToCrLf(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\r')
      out += "\r\n";
    else
      out.push_back(c);
  }
  return out;
}

MessageCatalogue CatalogueOf(std::string_view misc) {
  return MessageCatalogue(
      std::make_shared<LanguageFile>(LanguageFile::FromBytes("[Misc]\n" + std::string(misc), CodePage::Cp1252)));
}

std::shared_ptr<const LanguageFile> DefaultLanguageFile() {
  auto file = LanguageFile::Load(TERSIFY_SOURCE_DIR "/lang/Deflan.dat", CodePage::Cp1251);
  if (!file) return nullptr;
  return std::make_shared<LanguageFile>(std::move(*file));
}

TEST(CatalogueTest, EveryKeyHasItsEnglishTextInTheDefaultLanguageFile) {
  auto file = DefaultLanguageFile();
  ASSERT_TRUE(file);
  ASSERT_TRUE(file->HasSection("Misc"));
  const MessageCatalogue catalogue(file);
  ASSERT_EQ(CatalogueEntries().size(), 91u);
  for (const CatalogueEntry& e : CatalogueEntries()) {
    SCOPED_TRACE(std::string(e.key));
    EXPECT_TRUE(file->Find("Misc", std::string(e.key) + ":string").has_value());
    EXPECT_FALSE(e.english.empty());
    EXPECT_EQ(catalogue.Text(e.key), CrToCrLf(e.english));
  }
}

TEST(CatalogueTest, DefaultLanguageFileHoldsNoUnknownOrRepeatedKeys) {
  auto file = DefaultLanguageFile();
  ASSERT_TRUE(file);
  std::set<std::string> known;
  for (const CatalogueEntry& e : CatalogueEntries()) {
    EXPECT_TRUE(known.insert(FoldName(e.key) + ":string").second) << "catalogue repeats " << e.key;
  }
  const auto keys = file->Keys("Misc");
  for (const std::string& key : keys) EXPECT_TRUE(known.count(FoldName(key))) << "unknown key " << key;
  EXPECT_EQ(keys.size(), known.size());
}

TEST(CatalogueTest, EnglishTextsThatTellStatesApartDiffer) {
  const MessageCatalogue c(DefaultLanguageFile());
  EXPECT_NE(c.Text("const_rep_cap"), c.Text("const_del_cap"));
  EXPECT_NE(c.Text("const_break"), c.Text("const_cancel"));
  EXPECT_EQ(c.Text("const_restr_Fcount"), c.Text("const_restr_Fcount2"));
  EXPECT_EQ(c.Text("const_bytes"), " bytes    ");
  EXPECT_EQ(c.Text("const_break_opt"), "\r\nDo you want to interrupt optimization process?");
  EXPECT_EQ(c.Text("const_resolution"),
            "Sorry, minimum screen resolution restriction is 800\xD1\x85"
            "600. Program will be closed.\r\n"
            "Please, set bigger screen resolution and try again.");
}

TEST(CatalogueTest, DefaultLanguageFileStoresTheSignAsAnsiByte) {
  auto raw = LanguageFile::Load(TERSIFY_SOURCE_DIR "/lang/Deflan.dat", std::nullopt);
  ASSERT_TRUE(raw);
  EXPECT_NE(raw->Value("Misc", "const_resolution:string")
                .find("800\xF5"
                      "600"),
            std::string::npos);
}

TEST(CatalogueTest, LookupIgnoresCaseAndNeedsTheStringSuffix) {
  const MessageCatalogue c = CatalogueOf(
      "const_html_fil:string=HTML files [ *.htm;*.html ]|*.htm;*.html\n"
      "const_plain=no suffix\n"
      "const_empty:string=\n"
      "const_spaced:string=  two  \n");
  EXPECT_EQ(c.Text("const_HTML_fil"), "HTML files [ *.htm;*.html ]|*.htm;*.html");
  EXPECT_EQ(c.Text("CONST_HTML_FIL"), "HTML files [ *.htm;*.html ]|*.htm;*.html");
  EXPECT_EQ(c.Text("const_plain"), "");
  EXPECT_EQ(c.Text("const_empty"), "");
  EXPECT_EQ(c.Text("const_missing"), "");
  EXPECT_EQ(c.Text("const_spaced"), "  two  ");
  EXPECT_EQ(MessageCatalogue().Text("const_html_fil"), "");
  const MessageCatalogue otherSection(
      std::make_shared<LanguageFile>(LanguageFile::FromBytes("[frmMain]\nconst_a:string=x\n", CodePage::Cp1252)));
  EXPECT_EQ(otherSection.Text("const_a"), "");
}

TEST(CatalogueTest, LineMarksBecomeCrLf) {
  const MessageCatalogue c = CatalogueOf(
      "const_ab:string=a*|*b\n"
      "const_xy:string=x*|*y*|*\n"
      "const_z:string=*|**|*z\n"
      "const_lead:string=*|*a\n"
      "const_trail:string=a*|*\n"
      "const_only:string=*|*\n"
      "const_gap:string=a*|**|*b\n"
      "const_leadtwo:string=*|*a*|*b\n"
      "const_bars:string=*|*|*\n"
      "const_none:string=a*|b|*c\n");
  EXPECT_EQ(c.Text("const_ab"), "a\r\nb");
  EXPECT_EQ(c.Text("const_xy"), "x\r\ny\r\n");  // the empty last piece still adds its break
  EXPECT_EQ(c.Text("const_z"), "\r\nz");        // one break, not two
  EXPECT_EQ(c.Text("const_lead"), "\r\na");
  EXPECT_EQ(c.Text("const_trail"), "a\r\n");
  EXPECT_EQ(c.Text("const_only"), "\r\n");
  EXPECT_EQ(c.Text("const_gap"), "a\r\n\r\nb");
  EXPECT_EQ(c.Text("const_leadtwo"), "a\r\nb");  // a still empty result takes "a" without a break
  EXPECT_EQ(c.Text("const_bars"), "\r\n|*");
  EXPECT_EQ(c.Text("const_none"), "a*|b|*c");
}

TEST(CatalogueTest, ReplacingTheLanguageFileChangesTexts) {
  MessageCatalogue c = CatalogueOf("const_break:string=Break\n");
  EXPECT_EQ(c.Text("const_break"), "Break");
  c.SetLanguageFile(std::make_shared<LanguageFile>());
  EXPECT_EQ(c.Text("const_break"), "");
  c.SetLanguageFile(nullptr);
  EXPECT_EQ(c.Text("const_break"), "");
}

TEST(FillPlaceholdersTest, FillsInOrder) {
  EXPECT_EQ(FillPlaceholders("Files: %d   Selected: %d", {"12", "3"}), "Files: 12   Selected: 3");
  EXPECT_EQ(FillPlaceholders("from %s to %s", {"B", "STRONG"}), "from B to STRONG");
  EXPECT_EQ(FillPlaceholders("no placeholders", {"x"}), "no placeholders");
  EXPECT_EQ(FillPlaceholders("", {}), "");
}

TEST(FillPlaceholdersTest, HostileTextsStayHarmless) {
  // Surplus placeholders stay, surplus arguments are dropped.
  EXPECT_EQ(FillPlaceholders("%s and %s and %d", {"a"}), "a and %s and %d");
  EXPECT_EQ(FillPlaceholders("%s", {"a", "b", "c"}), "a");
  // Other conversions are plain text.
  EXPECT_EQ(FillPlaceholders("%n%x%p%%%.99999s%", {"a"}), "%n%x%p%%%.99999s%");
  EXPECT_EQ(FillPlaceholders("100%", {}), "100%");
  // Filled arguments are never scanned again.
  EXPECT_EQ(FillPlaceholders("%s %s", {"%s%n", "b"}), "%s%n b");
  // Many placeholders and no arguments.
  std::string many;
  for (int i = 0; i < 10000; ++i) many += "%s%d%n";
  EXPECT_EQ(FillPlaceholders(many, {}), many);
  // A path with percent signs and non-ASCII letters goes in unchanged.
  EXPECT_EQ(FillPlaceholders("File < %s > not found!", {"/tmp/50%d \xC3\xA9t\xC3\xA9.htm"}),
            "File < /tmp/50%d \xC3\xA9t\xC3\xA9.htm > not found!");
}

TEST(ShowMessageBoxTest, OneLineTextsGetAnEmptyFirstLine) {
  testing::ScriptedInteraction ui;
  ShowMessageBox(ui, "Optimization finished", MessageKind::Information);
  ShowMessageBox(ui, "Folder for optimized files does not exist!\r\nPlease, change program options.",
                 MessageKind::Warning);
  ShowMessageBox(ui, "ends with CR\r", MessageKind::Error);
  ShowMessageBox(ui, "line feed only\nsecond", MessageKind::Error);
  ShowMessageBox(ui, "", MessageKind::Information);
  ASSERT_EQ(ui.shown.size(), 5u);
  EXPECT_EQ(ui.shown[0].text, "\rOptimization finished");
  EXPECT_EQ(ui.shown[0].kind, MessageKind::Information);
  EXPECT_EQ(ui.shown[1].text, "Folder for optimized files does not exist!\r\nPlease, change program options.");
  EXPECT_EQ(ui.shown[1].kind, MessageKind::Warning);
  EXPECT_EQ(ui.shown[2].text, "ends with CR\r");
  EXPECT_EQ(ui.shown[3].text, "\rline feed only\nsecond");
  EXPECT_EQ(ui.shown[3].kind, MessageKind::Error);
  EXPECT_EQ(ui.shown[4].text, "\r");
  for (const auto& s : ui.shown) EXPECT_EQ(s.type, testing::ScriptedInteraction::Shown::Type::Message);
}

TEST(ShowMessageBoxTest, CatalogueTextsFromTheDefaultFile) {
  const MessageCatalogue c(DefaultLanguageFile());
  testing::ScriptedInteraction ui;
  ShowMessageBox(ui, c.Text("const_opt_finished"), MessageKind::Information);
  ShowMessageBox(ui, c.Text("const_optf_error"), MessageKind::Warning);
  ShowMessageBox(ui, FillPlaceholders(c.Text("const_f_notf"), {"/a/b.htm"}), MessageKind::Error);
  EXPECT_EQ(ui.Messages(),
            (std::vector<std::string>{"\rOptimization finished",
                                      "Folder for optimized files does not exist!\r\nPlease, change program options.",
                                      "\rFile < /a/b.htm > not found!"}));
}

}  // namespace
}  // namespace tersify
