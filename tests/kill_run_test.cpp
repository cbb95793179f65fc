// A run that modifies sources with backups, killed at random moments: no file
// may ever be missing or truncated.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <map>
#include <thread>

#include "run/file_ops.h"
#include "support/run_fixture.h"

namespace tersify::testing {
namespace {

constexpr int kFiles = 200;

std::map<std::string, std::string> MakeTemplate() {
  std::map<std::string, std::string> files;
  std::mt19937 rng(12345);
  for (int i = 0; i < kFiles; ++i) {
    std::string text;
    int lines = 5 + int(rng() % 40);
    for (int l = 0; l < lines; ++l)
      text += "<p> line " + std::to_string(l) + "  of  file " + std::to_string(i) + " </p>\n";
    char name[32];
    std::snprintf(name, sizeof name, "page %03d.html", i);
    files[name] = text;
  }
  return files;
}

// Runs in the child: one run over every file of `src`, backups into `backup`.
[[noreturn]] void ChildRun(const std::string& src, const std::string& backup) {
  OptimizationSettings s;
  s.radModifyOld = true;
  s.cbSaveBefMod = true;
  s.edBackUpPath = backup;
  s.edOptimizedPath = backup;
  s.cbShowOptWin = s.cbShowConf = s.cbShowEnd = false;
  TagRemovalTable removal;
  TagReplacementTable replacement;
  MessageCatalogue catalogue = EnglishCatalogue();
  ScriptedInteraction ui;
  RunState state;
  FilesPanel panel;
  SourceView view;
  PanelContext ctx{s, catalogue, ui};
  for (const auto& name : Listing(src)) panel.AddFileRow(src + name, ctx);
  RunController run(RunEnvironment{s, removal, replacement, catalogue, ui, CodePage::Cp1252, DropBlanks}, state, panel,
                    view, nullptr);
  RunEnd end = run.RunOptimization(false);
  std::_Exit(end == RunEnd::Completed ? 0 : 3);
}

void Populate(const std::string& src, const std::map<std::string, std::string>& files) {
  for (const auto& [name, bytes] : files) std::ofstream(src + name, std::ios::binary) << bytes;
}

// Every source is either intact or optimized with its original as backup.
// Returns how many were optimized; adds a failure for any broken file.
int CheckInvariant(const std::string& src, const std::string& backup, const std::map<std::string, std::string>& files,
                   const std::map<std::string, std::string>& done) {
  int optimized = 0;
  for (const auto& [name, original] : files) {
    std::string at = src + name;
    EXPECT_TRUE(Exists(at)) << "missing: " << name;
    std::string now = ReadAll(at);
    if (now == done.at(name)) {
      ++optimized;
      EXPECT_EQ(ReadAll(backup + name), original) << "backup of optimized " << name;
    } else {
      EXPECT_EQ(now, original) << "neither original nor optimized: " << name;
    }
    if (Exists(backup + name)) {
      EXPECT_EQ(ReadAll(backup + name), original) << "truncated backup " << name;
    }
  }
  for (const std::string& folder : {src, backup})
    for (const std::string& name : Listing(folder))
      EXPECT_TRUE(files.count(name) || IsTemporaryName(name)) << "stray file " << folder << name;
  return optimized;
}

TEST(KillRun, ModifyWithBackupsSurvivesSigkillAnywhere) {
  TempFolder tmp;
  const auto files = MakeTemplate();
  std::map<std::string, std::string> done;
  for (const auto& [name, bytes] : files) done[name] = WithoutBlanks(bytes);

  const std::string src = tmp.root().string() + "/src/";
  const std::string backup = tmp.root().string() + "/backup/";
  auto fresh = [&] {
    fs::remove_all(tmp.root());
    fs::create_directories(src);
    fs::create_directories(backup);
    Populate(src, files);
  };

  // One full run to learn how long a run takes.
  fresh();
  auto t0 = std::chrono::steady_clock::now();
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) ChildRun(src, backup);
  int status = 0;
  waitpid(pid, &status, 0);
  auto full = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(CheckInvariant(src, backup, files, done), kFiles);

  std::mt19937 rng(2024);
  int kills = 0, finished = 0, partial = 0;
  // Kill moments are drawn over the length of a full run. On a loaded machine a
  // sleep can outlast the run or end before the first file is done, so rounds
  // go on until enough runs were killed, and enough of them part-way.
  for (int round = 0; (kills < 35 || partial < 15) && round < 200; ++round) {
    fresh();
    pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) ChildRun(src, backup);
    std::this_thread::sleep_for(std::chrono::microseconds(rng() % (full.count() + 1)));
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    if (WIFSIGNALED(status))
      ++kills;
    else
      ++finished;
    int optimized = CheckInvariant(src, backup, files, done);
    if (optimized > 0 && optimized < kFiles) ++partial;
    // A later start removes what the killed run left half-way.
    CleanLeftoverTemporaries(src);
    CleanLeftoverTemporaries(backup);
    for (const std::string& folder : {src, backup})
      for (const std::string& name : Listing(folder)) EXPECT_TRUE(files.count(name)) << name;
    if (HasFailure()) break;
  }
  std::cout << "[ kills    ] " << kills << " killed runs (" << partial << " part-way), " << finished
            << " finished before the kill; full run " << full.count() / 1000 << " ms\n";
  EXPECT_GE(kills, 35);
  EXPECT_GE(partial, 15);
}

}  // namespace
}  // namespace tersify::testing
