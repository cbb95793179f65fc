#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "i18n/catalogue.h"
#include "i18n/language_file.h"
#include "settings/options.h"
#include "settings/tag_tables.h"
#include "support/run_fixture.h"
#include "support/scripted_interaction.h"
#include "support/temp_folder.h"

namespace tersify {
namespace {

namespace fs = std::filesystem;
using testing::ScriptedInteraction;

using testing::EnglishCatalogue;
using testing::ReadAll;

std::vector<std::string> Pairs(const TagReplacementTable& t) {
  std::vector<std::string> out;
  for (const auto& e : t) out.push_back((e.ticked ? "+" : "-") + e.from + ">" + e.to);
  return out;
}

std::vector<std::string> Tags(const TagRemovalTable& t) {
  std::vector<std::string> out;
  for (const auto& e : t) out.push_back((e.ticked ? "+" : "-") + e.tag);
  return out;
}

class TagFileTest : public ::testing::Test {
 protected:
  fs::path Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
    return dir_ / name;
  }
  const testing::TempFolder tmp_;
  const fs::path dir_ = tmp_.root();
};

TEST(TagTablesBuiltIn, ContentAndTicks) {
  TagTables t = BuiltInTagTables();
  ASSERT_EQ(t.replacement.size(), 14u);
  EXPECT_EQ(Pairs(t.replacement).front(), "+strong>b");
  EXPECT_EQ(Pairs(t.replacement)[3], "+blockquote>ul");
  EXPECT_EQ(Pairs(t.replacement).back(), "+xmp>tt");
  EXPECT_EQ(Tags(t.removal),
            (std::vector<std::string>{"+!doctype", "+name=\"generator\"", "+name=\"progid\"", "+name=\"description\"",
                                      "+name=\"keywords\"", "+name=\"author\"", "-/P", "-/Li", "-/TR", "-/TD"}));
  for (auto& e : t.replacement) e.ticked = false;
  for (auto& e : t.removal) e.ticked = false;
  TickDefaultEntries(t);
  EXPECT_TRUE(std::all_of(t.replacement.begin(), t.replacement.end(), [](auto& e) { return e.ticked; }));
  EXPECT_EQ(Tags(t.removal)[5], "+name=\"author\"");
  EXPECT_EQ(Tags(t.removal)[6], "-/P");
}

TEST(TagTablesFormat, LinesAndParsing) {
  EXPECT_EQ(FormatReplacementTable({{"strong", "b", true}, {"em", "i", false}}), "+ strong b\r\n- em i\r\n");
  EXPECT_EQ(FormatRemovalTable({{"!doctype", true}, {"/TD", false}}), "+ !doctype\r\n- /TD\r\n");
  // Split at the first space; no space: empty from tag; a short line: empty texts.
  EXPECT_EQ(Pairs(ParseReplacementTable("+ a b c\r\n- lone\r\n+\r\nx  y\r\n")),
            (std::vector<std::string>{"+a>b c", "->lone", "+>", "->y"}));
  // LF and CR ends work too; anything but "+" is unticked.
  EXPECT_EQ(Tags(ParseRemovalTable("+ a\n* b\r- c d \r\n")), (std::vector<std::string>{"+a", "-b", "-c d "}));
}

TEST(TagTablesFormat, ReadingStopsAtTheFirstEmptyLine) {
  EXPECT_EQ(Pairs(ParseReplacementTable("+ a b\r\n+ c d\r\n\r\n+ e f\r\n")).size(), 2u);
  EXPECT_EQ(Tags(ParseRemovalTable("+ a\n\n+ b\n")).size(), 1u);
  EXPECT_TRUE(ParseRemovalTable("\r\n+ a\r\n").empty());
  EXPECT_TRUE(ParseRemovalTable("").empty());
}

TEST(TagTablesFormat, AFromTagWithASpaceDoesNotSurviveARoundTrip) {
  TagReplacementTable t{{"my tag", "b", true}};
  EXPECT_EQ(Pairs(ParseReplacementTable(FormatReplacementTable(t))), (std::vector<std::string>{"+my>tag b"}));
}

TEST(TagTablesFormat, AtMost256EntriesAreRead) {
  std::string text;
  for (int i = 0; i < 300; ++i) text += "+ t" + std::to_string(i) + "\r\n";
  auto t = ParseRemovalTable(text);
  ASSERT_EQ(t.size(), kMaxTagEntries);
  EXPECT_EQ(t.back().tag, "t255");
}

TEST_F(TagFileTest, LoadMissingKeepsTheTableAndLoadReplacesIt) {
  TagReplacementTable rep = BuiltInReplacementTable();
  EXPECT_EQ(LoadReplacementTable(dir_ / "Tagschange.dat", rep), TableFileStatus::Missing);
  EXPECT_EQ(rep.size(), 14u);
  EXPECT_EQ(LoadReplacementTable(Write("Tagschange.dat", "- u ins\r\n"), rep), TableFileStatus::Done);
  EXPECT_EQ(Pairs(rep), (std::vector<std::string>{"-u>ins"}));
  // An empty file gives an empty table.
  EXPECT_EQ(LoadReplacementTable(Write("Tagschange.dat", ""), rep), TableFileStatus::Done);
  EXPECT_TRUE(rep.empty());
  // A file that cannot be read: the table is emptied and the failure told.
  TagRemovalTable rem = BuiltInRemovalTable();
  fs::create_directory(dir_ / "Tagsdelete.dat");
  EXPECT_EQ(LoadRemovalTable(dir_ / "Tagsdelete.dat", rem), TableFileStatus::Failed);
  EXPECT_TRUE(rem.empty());
}

TEST_F(TagFileTest, SavingAnEmptyTableKeepsTheOldFile) {
  fs::path file = Write("Tagsdelete.dat", "+ old\r\n");
  EXPECT_EQ(SaveRemovalTable(file, {}), TableFileStatus::Skipped);
  EXPECT_EQ(ReadAll(file), "+ old\r\n");
  EXPECT_EQ(SaveRemovalTable(file, {{"new", false}}), TableFileStatus::Done);
  EXPECT_EQ(ReadAll(file), "- new\r\n");
  EXPECT_EQ(SaveReplacementTable(dir_ / "missing" / "x.dat", {{"a", "b", true}}), TableFileStatus::Failed);
}

TEST_F(TagFileTest, SaveAndLoadTagTablesReportEachFailure) {
  ScriptedInteraction ui;
  MessageCatalogue catalogue = EnglishCatalogue();
  std::string folder = dir_.string() + "/";
  fs::create_directory(dir_ / "Tagsdelete.dat");
  SaveTagTables(folder, BuiltInTagTables(), ui, catalogue);
  ASSERT_EQ(ui.shown.size(), 1u);
  EXPECT_EQ(ui.shown[0].kind, MessageKind::Error);
  EXPECT_EQ(ui.shown[0].text, "\rError during tags removal table saving");
  EXPECT_EQ(ReadAll(dir_ / "Tagschange.dat").substr(0, 12), "+ strong b\r\n");
  TagTables loaded;
  LoadTagTables(folder, loaded, ui, catalogue);
  ASSERT_EQ(ui.shown.size(), 2u);
  EXPECT_EQ(ui.shown[1].text, "\rError during tags removal table loading");
  EXPECT_EQ(loaded.replacement.size(), 14u);
}

TEST(TagTablesSort, ByColumnIgnoringCaseWithEmptyTextsLast) {
  TagReplacementTable t{{"b", "Z", true}, {"", "a", false}, {"C", "", true}, {"a", "y", true}, {"B", "x", true}};
  SortReplacementTable(t, ReplacementSortColumn::From);
  EXPECT_EQ(Pairs(t), (std::vector<std::string>{"+a>y", "+b>Z", "+B>x", "+C>", "->a"}));
  SortReplacementTable(t, ReplacementSortColumn::To);
  EXPECT_EQ(Pairs(t), (std::vector<std::string>{"->a", "+B>x", "+a>y", "+b>Z", "+C>"}));
}

class TagAddTest : public ::testing::Test {
 protected:
  ScriptedInteraction ui_;
  MessageCatalogue catalogue_ = EnglishCatalogue();
  OptimizationSettings settings_;
};

TEST_F(TagAddTest, CycleCheckRefusesChainsInBothDirections) {
  TagReplacementTable t{{"strong", "b", true}};
  EXPECT_EQ(AddReplacementEntry(t, "B", "bold", ui_, catalogue_), TagAddResult::Cycle);
  EXPECT_EQ(AddReplacementEntry(t, "x", "STRONG", ui_, catalogue_), TagAddResult::Cycle);
  EXPECT_EQ(AddReplacementEntry(t, "x", "Strong", ui_, catalogue_), TagAddResult::Cycle);
  ASSERT_EQ(ui_.shown.size(), 3u);
  for (const auto& s : ui_.shown) {
    EXPECT_EQ(s.kind, MessageKind::Warning);
    EXPECT_EQ(s.text, "\rInsertion of this tag will lead to the recycling of replacement procedure!");
  }
  EXPECT_EQ(t.size(), 1u);
  // Neither a second pair for a listed from tag nor a pair of equal tags is refused.
  EXPECT_EQ(AddReplacementEntry(t, "strong", "em", ui_, catalogue_), TagAddResult::Added);
  EXPECT_EQ(AddReplacementEntry(t, "q", "q", ui_, catalogue_), TagAddResult::Added);
  EXPECT_EQ(Pairs(t), (std::vector<std::string>{"+strong>b", "+strong>em", "+q>q"}));
  TagReplacementTable empty;
  EXPECT_EQ(AddReplacementEntry(empty, "a", "b", ui_, catalogue_), TagAddResult::Added);
  EXPECT_EQ(ui_.shown.size(), 3u);
}

TEST_F(TagAddTest, DuplicateRemovalTagIsRefusedWithTheNoticeOnlyWhenShown) {
  TagRemovalTable t = BuiltInRemovalTable();
  EXPECT_EQ(AddRemovalEntry(t, "/p", settings_, ui_, catalogue_), TagAddResult::Duplicate);
  ASSERT_EQ(ui_.shown.size(), 1u);
  EXPECT_EQ(ui_.shown[0].kind, MessageKind::Information);
  EXPECT_EQ(ui_.shown[0].text, "\rThis tag is already in the removal list");
  settings_.cbShowInfo = false;
  EXPECT_EQ(AddRemovalEntry(t, "!DOCTYPE", settings_, ui_, catalogue_), TagAddResult::Duplicate);
  EXPECT_EQ(ui_.shown.size(), 1u);
  EXPECT_EQ(AddRemovalEntry(t, "font", settings_, ui_, catalogue_), TagAddResult::Added);
  EXPECT_EQ(Tags(t).back(), "+font");
  EXPECT_EQ(t.size(), 11u);
}

TEST_F(TagAddTest, TablesStopAt256Entries) {
  TagRemovalTable rem;
  TagReplacementTable rep;
  for (std::size_t i = 0; i < kMaxTagEntries; ++i) {
    ASSERT_EQ(AddRemovalEntry(rem, "t" + std::to_string(i), settings_, ui_, catalogue_), TagAddResult::Added);
    ASSERT_EQ(AddReplacementEntry(rep, "f" + std::to_string(i), "g" + std::to_string(i), ui_, catalogue_),
              TagAddResult::Added);
  }
  EXPECT_TRUE(ui_.shown.empty());
  EXPECT_EQ(AddRemovalEntry(rem, "one more", settings_, ui_, catalogue_), TagAddResult::TableFull);
  EXPECT_EQ(AddReplacementEntry(rep, "x", "y", ui_, catalogue_), TagAddResult::TableFull);
  EXPECT_EQ(rem.size(), kMaxTagEntries);
  EXPECT_EQ(rep.size(), kMaxTagEntries);
  ASSERT_EQ(ui_.shown.size(), 2u);
  EXPECT_EQ(ui_.shown[0].kind, MessageKind::Warning);
  EXPECT_EQ(ui_.shown[0].text,
            std::string("\rThe list already holds 256 entries. Remove an entry before adding another."));
  // The ordinary refusals still come first.
  EXPECT_EQ(AddRemovalEntry(rem, "T0", settings_, ui_, catalogue_), TagAddResult::Duplicate);

  // The message follows the language; a language file without it falls back
  // to English rather than showing an empty box.
  auto german = LanguageFile::Load(TERSIFY_SOURCE_DIR "/lang/German.lng", CodePage::Cp1252);
  ASSERT_TRUE(german);
  const MessageCatalogue inGerman(std::make_shared<LanguageFile>(std::move(*german)));
  ui_.shown.clear();
  EXPECT_EQ(AddRemovalEntry(rem, "one more", settings_, ui_, inGerman), TagAddResult::TableFull);
  EXPECT_EQ(AddReplacementEntry(rep, "x", "y", ui_, MessageCatalogue()), TagAddResult::TableFull);
  ASSERT_EQ(ui_.shown.size(), 2u);
  EXPECT_EQ(ui_.shown[0].text,
            "\rDie Liste enth\xC3\xA4lt bereits 256 Eintr\xC3\xA4ge. Entfernen Sie einen Eintrag, bevor Sie einen "
            "weiteren hinzuf\xC3\xBCgen.");
  EXPECT_EQ(ui_.shown[1].text,
            std::string("\rThe list already holds 256 entries. Remove an entry before adding another."));
}

TEST_F(TagAddTest, RemovingAsksWithUpperCaseTagsAndDeletesOnYes) {
  TagReplacementTable rep{{"strong", "b", true}, {"em", "i", true}};
  EXPECT_FALSE(RemoveReplacementEntry(rep, std::nullopt, ui_, catalogue_));
  EXPECT_TRUE(ui_.shown.empty());
  ui_.answers = {Answer::No, Answer::Yes};
  EXPECT_FALSE(RemoveReplacementEntry(rep, 1, ui_, catalogue_));
  EXPECT_TRUE(RemoveReplacementEntry(rep, 1, ui_, catalogue_));
  EXPECT_EQ(Pairs(rep), (std::vector<std::string>{"+strong>b"}));
  ASSERT_EQ(ui_.shown.size(), 2u);
  EXPECT_EQ(ui_.shown[0].type, ScriptedInteraction::Shown::Type::Question);
  EXPECT_EQ(ui_.shown[0].buttons, QuestionButtons::YesNo);
  EXPECT_EQ(ui_.shown[0].kind, MessageKind::Confirmation);
  EXPECT_EQ(ui_.shown[0].text, "Do you want to remove tags scheme:\r\nfrom EM to I\r\nfrom tags replacement list?");

  TagRemovalTable rem{{"/Li", false}};
  ui_.answers = {Answer::Yes};
  EXPECT_TRUE(RemoveRemovalEntry(rem, 0, ui_, catalogue_));
  EXPECT_TRUE(rem.empty());
  EXPECT_EQ(ui_.shown.back().text, "\r\nDo you want to remove tag /LI from tags removal list?");
  EXPECT_FALSE(RemoveRemovalEntry(rem, 0, ui_, catalogue_));  // nothing left to select
}

}  // namespace
}  // namespace tersify
