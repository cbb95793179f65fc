// Runs with the real engine killed by SIGKILL at random moments, in each output
// mode. After every kill: no source is missing or truncated, every file a user
// would take for a result is whole, what is not whole carries the temporary
// name, and the next run's preparation removes those temporaries.
//
// By default a small version runs (TERSIFY_KILL_FILES files, TERSIFY_KILL_ROUNDS
// kills per mode); TERSIFY_KILL_FULL=1 runs 1000 files and 50 kills per mode.
// Pages come from TERSIFY_CORPUS when set, else from a generator. A fast
// stand-in for the engine allows many more kills over many small pages.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <thread>

#include "panel/adding.h"
#include "run/file_ops.h"
#include "settings/tag_tables.h"
#include "support/doc_generator.h"
#include "support/run_fixture.h"

namespace tersify::testing {
namespace {

int EnvNumber(const char* name, int fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::atoi(v) : fallback;
}

bool FullVersion() { return EnvNumber("TERSIFY_KILL_FULL", 0) == 1; }

// `count` pages named "pNNNN-<name>.html": corpus pages when a corpus is
// given, else generated ones of 2 to 16 KB.
std::map<std::string, std::string> MakePages(int count) {
  std::map<std::string, std::string> pages;
  const char* corpus = std::getenv("TERSIFY_CORPUS");
  if (corpus && *corpus) {
    std::vector<fs::path> found;
    std::error_code ec;
    for (const auto& item : fs::recursive_directory_iterator(corpus, ec))
      if (item.is_regular_file() && (item.path().extension() == ".html" || item.path().extension() == ".htm"))
        found.push_back(item.path());
    std::sort(found.begin(), found.end());
    for (std::size_t i = 0; i < found.size() && int(pages.size()) < count; ++i) {
      char prefix[16];
      std::snprintf(prefix, sizeof prefix, "p%04zu-", i);
      pages[prefix + found[i].stem().string() + ".html"] = ReadAll(found[i].string());
    }
  }
  std::mt19937 rng(777);
  for (int i = int(pages.size()); i < count; ++i) {
    std::string page = "<!DOCTYPE html>\n<html>\n<head>\n  <title>Page " + std::to_string(i) + "</title>\n";
    page += "  <script>\n    var x = \"  a  b  \";\n  </script>\n</head>\n<body>\n";
    std::size_t target = 2000 + rng() % 14000;
    while (page.size() < target) {
      page += "  <p class=\"c\">  <b>text</b>&nbsp;&nbsp; more\t\ttext  <!-- note --> </p>\n";
      page += RandomDocument(rng, 20) + "\n";
    }
    page += "</body>\n</html>\n";
    char name[32];
    std::snprintf(name, sizeof name, "p%04d-gen.html", i);
    pages[name] = page;
  }
  return pages;
}

// `count` small pages named "page NNN.html", full of blanks for the stand-in
// optimizer to drop.
std::map<std::string, std::string> SmallPages(int count) {
  std::map<std::string, std::string> files;
  std::mt19937 rng(12345);
  for (int i = 0; i < count; ++i) {
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

enum class Mode { Copies, ModifyWithBackups, ModifyWithoutBackups };

// How many pages and kills: at least `rounds` kill rounds, more (up to
// `maxRounds`) until `minKilled` runs were killed and `minPartWay` of them
// part-way. `standIn`: small pages and the blank-dropping stand-in optimizer.
struct Plan {
  int files;
  int rounds;
  int maxRounds;
  int minKilled;
  int minPartWay;
  bool standIn = false;

  static Plan Default() {
    const int rounds = FullVersion() ? 50 : EnvNumber("TERSIFY_KILL_ROUNDS", 8);
    return {FullVersion() ? 1000 : EnvNumber("TERSIFY_KILL_FILES", 40), rounds, rounds, rounds * 6 / 10,
            rounds * 4 / 10};
  }
};

struct Setup {
  Mode mode;
  std::string src, out, backup;  // folders with a trailing separator
  OptimizationSettings settings;
  TagTables tables = BuiltInTagTables();

  Setup(Mode m, const TempFolder& tmp) : mode(m) {
    src = tmp.Path("src") + "/";
    out = tmp.Path("optimized") + "/";
    backup = tmp.Path("backup") + "/";
    TickDefaultEntries(tables);
    settings.edOptimizedPath = out;
    settings.edBackUpPath = backup;
    settings.radModifyOld = m != Mode::Copies;
    settings.cbSaveBefMod = m == Mode::ModifyWithBackups;
    settings.cbShowOptWin = settings.cbShowConf = settings.cbShowEnd = false;
  }
  std::vector<std::string> Sources(const std::map<std::string, std::string>& pages) const {
    std::vector<std::string> out;
    for (const auto& [name, bytes] : pages) out.push_back(src + name);
    return out;
  }
};

// The engine's (or the stand-in's) result for each page, as the run writes it.
std::map<std::string, std::string> Expected(const Setup& setup, const std::map<std::string, std::string>& pages,
                                            bool standIn) {
  if (standIn) {
    std::map<std::string, std::string> done;
    for (const auto& [name, bytes] : pages) done[name] = WithoutBlanks(bytes);
    return done;
  }
  MessageCatalogue catalogue = EnglishCatalogue();
  ScriptedInteraction ui;
  Engine engine;
  std::map<std::string, std::string> done;
  for (const auto& [name, bytes] : pages) {
    std::string text = LoadDocumentText(bytes);
    PassFailures failures;
    EngineContext ctx{PassOptionsOf(setup.settings), setup.tables.removal, setup.tables.replacement, failures, {}};
    EXPECT_EQ(engine.OptimizeDocument(text, ctx), OptimizeResult::Done) << name;
    done[name] = SaveDocumentText(text, LineBreaksOf(bytes));
  }
  return done;
}

// The child: one run over every page in panel order with the real engine or
// the stand-in.
[[noreturn]] void ChildRun(const Setup& setup, const std::vector<std::string>& sources, bool standIn) {
  MessageCatalogue catalogue = EnglishCatalogue();
  ScriptedInteraction ui;
  // Without backups the save step meets each source: overwrite them all.
  ui.overwriteAnswers = {OverwriteChoice::OverwriteAll};
  RunState state;
  FilesPanel panel;
  SourceView view;
  PanelContext ctx{setup.settings, catalogue, ui};
  for (const std::string& s : sources) panel.AddFileRow(s, ctx);
  RunController run(RunEnvironment{setup.settings, setup.tables.removal, setup.tables.replacement, catalogue, ui,
                                   CodePage::Cp1252, standIn ? DocumentOptimizer(DropBlanks) : DocumentOptimizer()},
                    state, panel, view, nullptr);
  RunEnd end = run.RunOptimization(false);
  std::_Exit(end == RunEnd::Completed && ui.Messages().empty() ? 0 : 3);
}

// The child: tersify-cli in the same mode over the source folder.
[[noreturn]] void ChildCommandLine(const Setup& setup) {
  std::vector<std::string> args = {TERSIFY_CLI_PATH, "-q"};
  switch (setup.mode) {
    case Mode::Copies:
      args.insert(args.end(), {"-o", setup.out});
      break;
    case Mode::ModifyWithBackups:
      args.insert(args.end(), {"--in-place", "--backup", setup.backup});
      break;
    case Mode::ModifyWithoutBackups:
      args.insert(args.end(), {"--in-place", "--no-backup", "--overwrite", "all"});
      break;
  }
  args.push_back(setup.src);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int null = ::open("/dev/null", O_WRONLY);
  ::dup2(null, 1);
  ::dup2(null, 2);
  ::execv(argv[0], argv.data());
  std::_Exit(127);
}

struct Seen {
  int optimized = 0;    // sources (or copies) complete as results
  int temporaries = 0;  // temporaries found before the clean-up
};

// Checks the folders after a run ended in any way; counts what it found.
Seen CheckAfter(const Setup& setup, const std::map<std::string, std::string>& pages,
                const std::map<std::string, std::string>& done, const MessageCatalogue& catalogue) {
  Seen seen;
  for (const auto& [name, original] : pages) {
    const std::string at = setup.src + name;
    if (!fs::is_regular_file(at)) {
      ADD_FAILURE() << "source missing: " << name;
      continue;
    }
    const std::string now = ReadAll(at);
    if (setup.mode == Mode::Copies) {
      EXPECT_EQ(now, original) << "source changed: " << name;
      if (Exists(setup.out + name)) {
        EXPECT_EQ(ReadAll(setup.out + name), done.at(name)) << "partial copy: " << name;
        ++seen.optimized;
      }
    } else if (now == done.at(name) && now != original) {
      ++seen.optimized;
      if (setup.mode == Mode::ModifyWithBackups) {
        EXPECT_EQ(ReadAll(setup.backup + name), original) << "optimized without backup: " << name;
      }
    } else {
      EXPECT_EQ(now, original) << "source neither original nor optimized: " << name;
    }
    if (setup.mode == Mode::ModifyWithBackups && Exists(setup.backup + name)) {
      EXPECT_EQ(ReadAll(setup.backup + name), original) << "broken backup: " << name;
    }
  }
  for (const std::string& folder : {setup.src, setup.out, setup.backup})
    for (const std::string& name : Listing(folder)) {
      if (IsTemporaryName(name)) {
        ++seen.temporaries;
        // Not taken for a page by the folder walk or by a user's eye.
        EXPECT_FALSE(IsHtmlFile(folder + name, catalogue)) << name;
        continue;
      }
      bool expectedHere =
          pages.count(name) && (folder == setup.src || (folder == setup.out && setup.mode == Mode::Copies) ||
                                (folder == setup.backup && setup.mode == Mode::ModifyWithBackups));
      EXPECT_TRUE(expectedHere) << "stray file " << folder << name;
    }
  return seen;
}

void Populate(const Setup& setup, const std::map<std::string, std::string>& pages) {
  for (const std::string& folder : {setup.src, setup.out, setup.backup}) {
    fs::remove_all(folder);
    fs::create_directories(folder);
  }
  for (const auto& [name, bytes] : pages) std::ofstream(setup.src + name, std::ios::binary) << bytes;
}

// How many pages a run has finished so far, as seen from outside: copies in
// the output folder, backups in the backup folder, or sources whose size has
// changed when no backup is made.
int Progress(const Setup& setup, const std::map<std::string, std::string>& pages) {
  int count = 0;
  switch (setup.mode) {
    case Mode::Copies:
    case Mode::ModifyWithBackups:
      for (const std::string& name : Listing(setup.mode == Mode::Copies ? setup.out : setup.backup))
        if (!IsTemporaryName(name)) ++count;
      break;
    case Mode::ModifyWithoutBackups:
      for (const auto& [name, bytes] : pages) {
        std::error_code ec;
        auto size = fs::file_size(setup.src + name, ec);
        if (!ec && size != bytes.size()) ++count;
      }
      break;
  }
  return count;
}

void KillRuns(Mode mode, const char* label, bool commandLine = false, const Plan& plan = Plan::Default()) {
  const int files = plan.files;
  TempFolder tmp;
  Setup setup(mode, tmp);
  const auto pages = plan.standIn ? SmallPages(files) : MakePages(files);
  const auto done = Expected(setup, pages, plan.standIn);
  const auto sources = setup.Sources(pages);
  MessageCatalogue catalogue = EnglishCatalogue();

  // One whole run: it must finish, and it tells how long a run lasts.
  Populate(setup, pages);
  auto t0 = std::chrono::steady_clock::now();
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  auto child = [&] {
    if (commandLine) ChildCommandLine(setup);
    ChildRun(setup, sources, plan.standIn);
  };
  if (pid == 0) child();
  int status = 0;
  waitpid(pid, &status, 0);
  auto full = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the unkilled run did not complete";
  ASSERT_EQ(CheckAfter(setup, pages, done, catalogue).optimized, files);
  const auto wholeRun = full;

  std::mt19937 rng(2024 + static_cast<unsigned>(mode));
  const auto perFile = full / files;
  int killed = 0, partWay = 0, withTemporaries = 0;
  int round = 0;
  for (; round < plan.maxRounds && (round < plan.rounds || killed < plan.minKilled || partWay < plan.minPartWay);
       ++round) {
    Populate(setup, pages);
    // The kill comes once a random number of results is on disk, plus a random
    // part of one file's time: a moment chosen by the clock alone misses the
    // run whenever the machine is busier or idler than during the first run.
    const int target = 1 + int(rng() % unsigned(files - 1));
    const auto extra = std::chrono::microseconds(rng() % (perFile.count() + 1));
    pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) child();
    bool exited = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (Progress(setup, pages) < target && std::chrono::steady_clock::now() < deadline) {
      if (waitpid(pid, &status, WNOHANG) == pid) {
        exited = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    if (!exited) {
      std::this_thread::sleep_for(extra);
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
    }
    if (WIFSIGNALED(status)) ++killed;
    Seen seen = CheckAfter(setup, pages, done, catalogue);
    if (seen.optimized > 0 && seen.optimized < files) ++partWay;
    if (seen.temporaries > 0) ++withTemporaries;
    // The next run's preparation removes the leftovers of the killed one.
    PrepareRunFolders(setup.settings, sources);
    for (const std::string& folder : {setup.src, setup.out, setup.backup})
      for (const std::string& name : Listing(folder)) EXPECT_FALSE(IsTemporaryName(name)) << "not cleaned: " << name;
    if (::testing::Test::HasFailure()) break;
  }
  std::cout << "[ kills    ] " << label << ": " << files << " files, " << killed << " of " << round << " runs killed ("
            << partWay << " part-way, " << withTemporaries << " with temporaries left); whole run "
            << wholeRun.count() / 1000 << " ms\n";
  ::testing::Test::RecordProperty("killed", killed);
  ::testing::Test::RecordProperty("part_way", partWay);
  EXPECT_GE(killed, plan.minKilled);
  EXPECT_GE(partWay, plan.minPartWay);
}

TEST(KillRun, CopiesSurviveSigkill) { KillRuns(Mode::Copies, "copies"); }
TEST(KillRun, ModifiedSourcesWithBackupsSurviveSigkill) { KillRuns(Mode::ModifyWithBackups, "modify with backups"); }
TEST(KillRun, ModifiedSourcesWithoutBackupsSurviveSigkill) {
  KillRuns(Mode::ModifyWithoutBackups, "modify without backups");
}

// Many kills of quick runs over many small pages.
TEST(KillRun, ModifyWithBackupsSurvivesManyQuickKills) {
  KillRuns(Mode::ModifyWithBackups, "stand-in, modify with backups", false, Plan{200, 35, 200, 35, 15, true});
}

// The command-line batch mode optimizes several files at a time and writes
// them in order: the same must hold when it is killed.
TEST(KillRun, CommandLineRunsSurviveSigkill) {
  KillRuns(Mode::Copies, "tersify-cli -o", true);
  KillRuns(Mode::ModifyWithBackups, "tersify-cli --in-place --backup", true);
  KillRuns(Mode::ModifyWithoutBackups, "tersify-cli --in-place --no-backup", true);
}

}  // namespace
}  // namespace tersify::testing
