// Every answer of the overwrite question in the backup and the save step.
#include <gtest/gtest.h>

#include "run/file_ops.h"
#include "run/overwrite.h"
#include "support/run_fixture.h"

namespace tersify::testing {
namespace {

using Type = ScriptedInteraction::Shown::Type;
using OC = OverwriteChoice;

std::vector<const ScriptedInteraction::Shown*> Questions(const ScriptedInteraction& ui) {
  std::vector<const ScriptedInteraction::Shown*> out;
  for (const auto& s : ui.shown)
    if (s.type == Type::Overwrite) out.push_back(&s);
  return out;
}

void SetAge(const std::string& path, std::chrono::hours age) {
  fs::last_write_time(path, fs::file_time_type::clock::now() - age);
}

struct BackupCase : RunHarness {
  std::string source, backup;
  BackupCase() {
    ModifySources(true);
    source = AddSource("src/a.html", "n e w");
    backup = tmp.Write("backup/a.html", "old backup");
  }
};

TEST(RunOverwrite, BackupOverwriteReplacesTheEarlierBackup) {
  BackupCase h;
  h.ui.overwriteAnswers = {OC::Overwrite};
  EXPECT_EQ(h.Controller().RunOptimization(false), RunEnd::Completed);
  auto qs = Questions(h.ui);
  ASSERT_EQ(qs.size(), 1u);
  EXPECT_EQ(qs[0]->overwrite.upperPath, h.backup);
  EXPECT_EQ(qs[0]->overwrite.lowerPath, h.source);
  EXPECT_EQ(qs[0]->overwrite.lowerCaption, "With file");
  EXPECT_TRUE(qs[0]->overwrite.olderAllowed);
  EXPECT_EQ(qs[0]->overwrite.upperInfo, "10 bytes    " + *FileDateTextOf(h.backup));
  EXPECT_EQ(ReadAll(h.backup), "n e w");
  EXPECT_EQ(ReadAll(h.source), "new\n");
  EXPECT_TRUE(h.state.overwrite.askBeforeBackupOverwrite);
}

TEST(RunOverwrite, BackupSkipLeavesSourceForTheSaveStep) {
  BackupCase h;
  h.ui.overwriteAnswers = {OC::Skip, OC::Overwrite};
  EXPECT_EQ(h.Controller().RunOptimization(false), RunEnd::Completed);
  auto qs = Questions(h.ui);
  ASSERT_EQ(qs.size(), 2u);
  EXPECT_EQ(qs[1]->overwrite.lowerCaption, "With optimized copy of the file");
  EXPECT_EQ(qs[1]->overwrite.upperPath, h.source);
  EXPECT_FALSE(qs[1]->overwrite.olderAllowed);
  EXPECT_EQ(ReadAll(h.backup), "old backup");
  EXPECT_EQ(ReadAll(h.source), "new\n");
}

TEST(RunOverwrite, OverwriteAllOlderGoesByCalendarDate) {
  {
    BackupCase h;  // backup two days older than the source: replaced
    SetAge(h.backup, std::chrono::hours(48));
    h.ui.overwriteAnswers = {OC::OverwriteAllOlder};
    EXPECT_EQ(h.Controller().RunOptimization(false), RunEnd::Completed);
    EXPECT_EQ(ReadAll(h.backup), "n e w");
    EXPECT_EQ(ReadAll(h.source), "new\n");
    EXPECT_TRUE(h.state.overwrite.askBeforeBackupOverwrite);
  }
  {
    BackupCase h;  // same day: the backup stays, the save step asks
    auto noon = std::chrono::floor<std::chrono::days>(fs::file_time_type::clock::now()) + std::chrono::hours(12);
    fs::last_write_time(h.backup, noon - std::chrono::minutes(1));
    fs::last_write_time(h.source, noon);
    h.ui.overwriteAnswers = {OC::OverwriteAllOlder, OC::Skip};
    EXPECT_EQ(h.Controller().RunOptimization(false), RunEnd::Completed);
    auto qs = Questions(h.ui);
    ASSERT_EQ(qs.size(), 2u);
    EXPECT_EQ(qs[1]->overwrite.lowerCaption, "With optimized copy of the file");
    EXPECT_EQ(ReadAll(h.backup), "old backup");
    EXPECT_EQ(ReadAll(h.source), "n e w");
  }
}

TEST(RunOverwrite, BackupNewNameAndRename) {
  {
    BackupCase h;
    h.ui.overwriteAnswers = {OC::NewName};
    h.ui.inputs = {std::string("a-2.html")};
    EXPECT_EQ(h.Controller().RunOptimization(false), RunEnd::Completed);
    EXPECT_EQ(h.ui.shown[1].title, "Saving");
    EXPECT_EQ(h.ui.shown[1].text, "Enter name for new file");
    EXPECT_EQ(h.ui.shown[1].value, "a.html");
    EXPECT_EQ(ReadAll(h.backup), "old backup");
    EXPECT_EQ(ReadAll(h.settings.edBackUpPath + "a-2.html"), "n e w");
    EXPECT_EQ(ReadAll(h.source), "new\n");
  }
  {
    BackupCase h;
    h.ui.overwriteAnswers = {OC::Rename};
    h.ui.inputs = {std::string("a-old.html")};
    EXPECT_EQ(h.Controller().RunOptimization(false), RunEnd::Completed);
    EXPECT_EQ(h.ui.shown[1].title, "Renaming");
    EXPECT_EQ(h.ui.shown[1].text, "Enter new filename");
    EXPECT_EQ(ReadAll(h.settings.edBackUpPath + "a-old.html"), "old backup");
    EXPECT_EQ(ReadAll(h.backup), "n e w");
    EXPECT_EQ(ReadAll(h.source), "new\n");
  }
}

struct SaveCase : RunHarness {
  std::vector<std::string> sources;
  std::vector<std::string> outputs;
  explicit SaveCase(int n) {
    for (int i = 0; i < n; ++i) {
      std::string name = "f" + std::to_string(i) + ".html";
      sources.push_back(AddSource("src/" + name, "s " + std::to_string(i)));
      outputs.push_back(tmp.Write("optimized/" + name, "earlier"));
    }
  }
};

TEST(RunOverwrite, SaveStepSingleAnswers) {
  SaveCase h(4);
  h.ui.overwriteAnswers = {OC::Overwrite, OC::Skip, OC::NewName, OC::Rename};
  h.ui.inputs = {std::string("f2-new.html"), std::string("f3-was.html")};
  EXPECT_EQ(h.Controller().RunOptimization(false), RunEnd::Completed);
  EXPECT_EQ(Questions(h.ui).size(), 4u);
  EXPECT_EQ(ReadAll(h.outputs[0]), "s0\n");
  EXPECT_EQ(ReadAll(h.outputs[1]), "earlier");
  EXPECT_EQ(ReadAll(h.outputs[2]), "earlier");
  EXPECT_EQ(ReadAll(h.settings.edOptimizedPath + "f2-new.html"), "s2\n");
  EXPECT_EQ(ReadAll(h.settings.edOptimizedPath + "f3-was.html"), "earlier");
  EXPECT_EQ(ReadAll(h.outputs[3]), "s3\n");
  // The size after of a file written under a new name is that file's.
  EXPECT_EQ(h.state.stats.totalAfter, 3 + 7 + 3 + 3);
}

TEST(RunOverwrite, SaveStepAnswersForAll) {
  {
    SaveCase h(3);
    h.ui.overwriteAnswers = {OC::Skip, OC::OverwriteAll};
    h.Controller().RunOptimization(false);
    EXPECT_EQ(Questions(h.ui).size(), 2u);
    EXPECT_EQ(ReadAll(h.outputs[0]), "earlier");
    EXPECT_EQ(ReadAll(h.outputs[1]), "s1\n");
    EXPECT_EQ(ReadAll(h.outputs[2]), "s2\n");
    EXPECT_EQ(h.state.overwrite.outputChoice, OC::Overwrite);
  }
  {
    SaveCase h(3);
    h.ui.overwriteAnswers = {OC::SkipAll};
    h.Controller().RunOptimization(false);
    EXPECT_EQ(Questions(h.ui).size(), 1u);
    for (const auto& o : h.outputs) EXPECT_EQ(ReadAll(o), "earlier");
    EXPECT_EQ(h.state.overwrite.outputChoice, OC::Skip);
  }
}

TEST(RunOverwrite, SkipAllBackupsBesideOverwriteAllOutputs) {
  RunHarness h;
  h.ModifySources(true);
  std::vector<std::string> src;
  for (const char* n : {"a", "b", "c"}) {
    src.push_back(h.AddSource(std::string("src/") + n + ".html", std::string(n) + " x"));
    h.tmp.Write(std::string("backup/") + n + ".html", "kept");
  }
  h.ui.overwriteAnswers = {OC::SkipAll, OC::OverwriteAll};
  EXPECT_EQ(h.Controller().RunOptimization(false), RunEnd::Completed);
  auto qs = Questions(h.ui);
  ASSERT_EQ(qs.size(), 2u);
  EXPECT_EQ(qs[0]->overwrite.lowerCaption, "With file");
  EXPECT_EQ(qs[1]->overwrite.lowerCaption, "With optimized copy of the file");
  EXPECT_EQ(ReadAll(src[0]), "ax\n");
  EXPECT_EQ(ReadAll(src[1]), "bx\n");
  EXPECT_EQ(ReadAll(src[2]), "cx\n");
  for (const char* n : {"a", "b", "c"}) EXPECT_EQ(ReadAll(h.settings.edBackUpPath + n + ".html"), "kept");
}

TEST(RunOverwrite, NewNameAsksAgainForEmptyTakenOrEscapingNames) {
  SaveCase h(1);
  h.tmp.Write("optimized/taken.html", "t");
  h.ui.overwriteAnswers = {OC::NewName};
  h.ui.inputs = {std::string(""), std::string("taken.html"), std::string("../escape.html"), std::string("ok.html")};
  h.Controller().RunOptimization(false);
  std::vector<std::string> proposed;
  for (const auto& s : h.ui.shown)
    if (s.type == Type::Input) proposed.push_back(s.value);
  EXPECT_EQ(proposed, (std::vector<std::string>{"f0.html", "", "taken.html", "../escape.html"}));
  EXPECT_EQ(ReadAll(h.settings.edOptimizedPath + "ok.html"), "s0\n");
  EXPECT_FALSE(Exists(h.tmp.Path("escape.html")));
}

TEST(RunOverwrite, CancelledNameInputShowsTheQuestionAgain) {
  SaveCase h(1);
  h.ui.overwriteAnswers = {OC::Rename, OC::Skip};
  h.ui.inputs = {std::nullopt};
  h.Controller().RunOptimization(false);
  EXPECT_EQ(Questions(h.ui).size(), 2u);
  EXPECT_EQ(ReadAll(h.outputs[0]), "earlier");
}

TEST(RunOverwrite, ClosedWithoutAnswerKeepsThePreviousChoiceForThisFileOnly) {
  SaveCase h(3);
  h.state.overwrite.outputChoice = OC::Skip;  // from an earlier run
  h.ui.overwriteAnswers = {std::nullopt, OC::Overwrite, std::nullopt};
  h.Controller().RunOptimization(false);
  EXPECT_EQ(Questions(h.ui).size(), 3u);  // still asking
  EXPECT_EQ(ReadAll(h.outputs[0]), "earlier");
  EXPECT_EQ(ReadAll(h.outputs[1]), "s1\n");
  EXPECT_EQ(ReadAll(h.outputs[2]), "s2\n");  // Overwrite is now the previous answer
}

TEST(RunOverwrite, BackupIsPutBackWhenTheFileIsNotWritten) {
  for (OptimizeResult stop : {OptimizeResult::Cancelled, OptimizeResult::Failed}) {
    RunHarness h;
    h.ModifySources(true);
    std::string a = h.AddSource("src/a.html", "keep me");
    h.optimizer = [&](std::string&, const EngineContext&) {
      EXPECT_TRUE(Exists(h.settings.edBackUpPath + "a.html"));  // the backup was made
      return stop;
    };
    RunEnd end = h.Controller().RunOptimization(false);
    EXPECT_EQ(end, stop == OptimizeResult::Cancelled ? RunEnd::Cancelled : RunEnd::Failed);
    EXPECT_EQ(ReadAll(a), "keep me");
    EXPECT_TRUE(Listing(h.settings.edBackUpPath).empty());
    EXPECT_EQ(Listing(h.tmp.Path("src")), std::vector<std::string>{"a.html"});
    EXPECT_TRUE(h.state.LastRunFiles.empty());
    // The row stays in the panel: its file was never missing.
    EXPECT_EQ(h.panel.size(), 1u);
  }
}

// A backup folder that is the sources' own folder would take each source as
// its own backup: the file fails before anything is touched, whatever the
// answer for existing backups would be.
TEST(RunOverwrite, BackupFolderThatIsTheSourcesOwnFailsTheFileUntouched) {
  RunHarness h;
  h.ModifySources(true);
  std::string a = h.AddSource("src/a.html", "a a");
  h.settings.edBackUpPath = h.tmp.Path("src/../src/");
  h.ui.overwriteAnswers = {OC::OverwriteAll};
  EXPECT_EQ(h.Controller().RunOptimization(false), RunEnd::Failed);
  EXPECT_EQ(h.ui.Messages(), std::vector<std::string>{"\rError during optimization process"});
  EXPECT_EQ(Questions(h.ui).size(), 0u);
  EXPECT_EQ(ReadAll(a), "a a");
  EXPECT_EQ(Listing(h.tmp.Path("src")), std::vector<std::string>{"a.html"});  // no temporaries
  EXPECT_TRUE(h.state.LastRunFiles.empty());
}

TEST(RunOverwrite, PutBackupBackAfterARealMove) {
  TempFolder t;
  std::string src = t.Write("s/a.html", "orig");
  std::string bak = t.Folder("b") + "a.html";
  fs::rename(src, bak);  // as a plain move would leave it
  EXPECT_TRUE(PutBackupBack({BackupResult::Kind::Moved, bak}, src));
  EXPECT_EQ(ReadAll(src), "orig");
  EXPECT_FALSE(Exists(bak));
}

}  // namespace
}  // namespace tersify::testing
