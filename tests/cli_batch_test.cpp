// The batch form of tersify-cli, run as a program over temporary folders.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <regex>
#include <thread>

#include "run/file_step.h"
#include "run/paths.h"
#include "settings/startup.h"
#include "support/run_command.h"
#include "support/run_fixture.h"

namespace tersify::testing {
namespace {

const std::string kCli = ShellQuote(TERSIFY_CLI_PATH);

std::string Q(const std::string& s) { return ShellQuote(s); }

// A number field of the JSON summary; fails the test when it is missing.
long long JsonNumber(const std::string& json, const std::string& key) {
  std::smatch m;
  std::regex re("\"" + key + "\": (-?[0-9]+)");
  if (!std::regex_search(json, m, re)) {
    ADD_FAILURE() << "no " << key << " in " << json;
    return -999;
  }
  return std::stoll(m[1]);
}

// The summary without the time it took.
std::string WithoutTimes(const std::string& json) {
  return std::regex_replace(json, std::regex("\"elapsed(_seconds)?\": [^,]*,"), "");
}

// Some HTML that every default pass has work on.
std::string Page(int i, int lines = 3) {
  std::string s = "<html>  <body>\n<!-- note " + std::to_string(i) + " -->\n";
  for (int k = 0; k < lines; ++k)
    s += "\t<p   class=\"c" + std::to_string(k) + "\"  >  text   " + std::to_string(i) + "&nbsp;&nbsp;</p>   \n\n";
  return s + "</body></html>";
}

class CliBatch : public ::testing::Test {
 protected:
  TempFolder tmp;
  std::string Site(const std::string& rel, const std::string& bytes) { return tmp.Write("site/" + rel, bytes); }
  std::string Dir(const std::string& rel) { return tmp.Path(rel); }
  // A small site: two pages on top, one of the same name and one more below.
  void SmallSite() {
    Site("index.html", Page(1));
    Site("b.htm", Page(2, 5));
    Site("sub/index.html", Page(3));
    Site("sub/c.html", Page(4, 8));
    Site("notes.txt", "not html");
  }
};

TEST_F(CliBatch, CopyModeWritesOptimizedCopiesAndLeavesSourcesAlone) {
  SmallSite();
  auto top = RunCommand(kCli + " -q -o " + Q(Dir("out")) + " " + Q(Dir("site")));
  EXPECT_EQ(top.status, 0) << top.err;
  EXPECT_EQ(top.out, "");
  EXPECT_EQ(Listing(Dir("out")), (std::vector<std::string>{"b.htm", "index.html"}));
  // The same bytes as the filter form gives for each file.
  auto filtered = RunCommand(kCli + " " + Q(Dir("site/b.htm")));
  EXPECT_EQ(ReadAll(Dir("out/b.htm")), filtered.out);
  EXPECT_NE(filtered.out, Page(2, 5));
  EXPECT_EQ(ReadAll(Dir("site/b.htm")), Page(2, 5));

  // The copies keep the site's tree.
  auto deep = RunCommand(kCli + " -r -o " + Q(Dir("out2")) + " " + Q(Dir("site")));
  EXPECT_EQ(deep.status, 0) << deep.err;
  EXPECT_EQ(Listing(Dir("out2")), (std::vector<std::string>{"b.htm", "index.html", "sub"}));
  EXPECT_EQ(Listing(Dir("out2/sub")), (std::vector<std::string>{"c.html", "index.html"}));
  EXPECT_EQ(ReadAll(Dir("out2/sub/index.html")), RunCommand(kCli + " " + Q(Dir("site/sub/index.html"))).out);
  EXPECT_NE(deep.out.find("Files processed: 4"), std::string::npos) << deep.out;
  EXPECT_NE(deep.out.find("Optimization finished"), std::string::npos);

  auto depth0 = RunCommand(kCli + " --max-depth 0 --json -o " + Q(Dir("out3")) + " " + Q(Dir("site")));
  EXPECT_EQ(JsonNumber(depth0.out, "files_processed"), 2);
  auto limited = RunCommand(kCli + " -r --max-files 1 --json -o " + Q(Dir("out4")) + " " + Q(Dir("site")));
  EXPECT_EQ(JsonNumber(limited.out, "files_processed"), 1);
}

TEST_F(CliBatch, InPlaceWithBackupsThenRestoreGivesBackEveryOriginal) {
  SmallSite();
  std::vector<std::string> files = {"index.html", "b.htm", "sub/c.html"};
  std::vector<std::string> before;
  for (const auto& f : files) before.push_back(ReadAll(Dir("site/" + f)));
  std::string bak = Dir("bak");
  // Files of one folder: no names meet in the flat backup folder.
  std::string sources = Q(Dir("site/index.html")) + " " + Q(Dir("site/b.htm")) + " " + Q(Dir("site/sub/c.html"));
  auto run = RunCommand(kCli + " --json --in-place --backup " + Q(bak) + " " + sources);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(JsonNumber(run.out, "files_processed"), 3);
  for (std::size_t i = 0; i < files.size(); ++i) {
    EXPECT_NE(ReadAll(Dir("site/" + files[i])), before[i]) << files[i];
    EXPECT_EQ(ReadAll(bak + "/" + NameOf(files[i])), before[i]) << files[i];
  }
  auto restore = RunCommand(kCli + " --restore --in-place --backup " + Q(bak) + " " + sources);
  EXPECT_EQ(restore.status, 0) << restore.err;
  EXPECT_NE(restore.out.find("Files restored from backups: 3"), std::string::npos) << restore.out;
  for (std::size_t i = 0; i < files.size(); ++i) EXPECT_EQ(ReadAll(Dir("site/" + files[i])), before[i]) << files[i];
  EXPECT_TRUE(Listing(bak).empty());
  // Nothing left to restore from, but the record knows the pages are their originals.
  auto again = RunCommand(kCli + " --restore --in-place --backup " + Q(bak) + " " + sources);
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_NE(again.out.find("Files already as they were: 3"), std::string::npos) << again.out;
  // Without the record, as from an older run: the originals cannot be given back twice.
  fs::remove(bak + "/.tersify-record");
  auto unknown = RunCommand(kCli + " --restore --in-place --backup " + Q(bak) + " " + sources);
  EXPECT_EQ(unknown.status, 1);
  EXPECT_NE(unknown.err.find("there is no backup " + bak + "/index.html; the file is left as it is"), std::string::npos)
      << unknown.err;
}

TEST_F(CliBatch, RestoreInCopyModeDeletesTheCopiesOnly) {
  SmallSite();
  std::string out = Dir("out");
  ASSERT_EQ(RunCommand(kCli + " -q -o " + Q(out) + " " + Q(Dir("site"))).status, 0);
  ASSERT_EQ(Listing(out).size(), 2u);
  auto r = RunCommand(kCli + " --restore -o " + Q(out) + " " + Q(Dir("site")));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Optimized copies deleted: 2"), std::string::npos) << r.out;
  EXPECT_TRUE(Listing(out).empty());
  EXPECT_EQ(ReadAll(Dir("site/index.html")), Page(1));
}

TEST_F(CliBatch, OverwritePoliciesForExistingOutputs) {
  SmallSite();
  std::string out = Dir("out");
  std::string site = Q(Dir("site"));
  std::string stale = "stale";
  tmp.Write("out/index.html", stale);
  // Flat, as the desktop program's folders: same-named pages meet.
  // fail (the default without a terminal): the file is named, the others done, exit 1.
  auto fail = RunCommand(kCli + " --json -r --flat -o " + Q(out) + " " + site);
  EXPECT_EQ(fail.status, 1);
  EXPECT_EQ(ReadAll(out + "/index.html"), stale);
  EXPECT_NE(fail.err.find(out + "/index.html"), std::string::npos) << fail.err;
  EXPECT_NE(fail.err.find("already exists"), std::string::npos) << fail.err;
  EXPECT_EQ(Listing(out), (std::vector<std::string>{"b.htm", "c.html", "index.html"}));
  EXPECT_EQ(JsonNumber(fail.out, "files_failed"), 2);  // both index.html files met it
  EXPECT_EQ(JsonNumber(fail.out, "files_processed"), 2);

  // skip: kept and counted with the existing file's size.
  auto skip = RunCommand(kCli + " --json -r --flat --overwrite skip -o " + Q(out) + " " + site);
  EXPECT_EQ(skip.status, 0) << skip.err;
  EXPECT_EQ(ReadAll(out + "/index.html"), stale);
  EXPECT_EQ(JsonNumber(skip.out, "files_processed"), 4);
  EXPECT_NE(skip.out.find("\"status\": \"skipped\""), std::string::npos);

  // all: the later index.html in panel order wins, as in a serial run.
  auto all = RunCommand(kCli + " --json -r --flat --overwrite all -o " + Q(out) + " " + site);
  EXPECT_EQ(all.status, 0) << all.err;
  std::regex order("\"source\": \"([^\"]*index.html)\"");
  std::vector<std::string> indexSources;
  for (std::sregex_iterator it(all.out.begin(), all.out.end(), order), end; it != end; ++it)
    indexSources.push_back((*it)[1]);
  ASSERT_EQ(indexSources.size(), 2u);
  EXPECT_EQ(ReadAll(out + "/index.html"), RunCommand(kCli + " " + Q(indexSources[1])).out);

  // older is for backups only.
  auto older = RunCommand(kCli + " --overwrite older -o " + Q(out) + " " + site);
  EXPECT_EQ(older.status, 2);
}

TEST_F(CliBatch, OverwriteAskTakesTheAnswersTyped) {
  Site("a.html", Page(1));
  std::string out = Dir("out");
  tmp.Write("out/a.html", "old");
  std::string cmd = kCli + " -q --overwrite ask -o " + Q(out) + " " + Q(Dir("site/a.html"));
  // "New name": asked for a name; an existing one brings the question back.
  auto renamed = RunCommand(cmd, "n\na.html\nfresh.html\n");
  EXPECT_EQ(renamed.status, 0) << renamed.err;
  EXPECT_EQ(ReadAll(out + "/a.html"), "old");
  EXPECT_EQ(ReadAll(out + "/fresh.html"), RunCommand(kCli + " " + Q(Dir("site/a.html"))).out);
  EXPECT_NE(renamed.err.find("With optimized copy of the file"), std::string::npos) << renamed.err;
  EXPECT_EQ(renamed.err.find("Ovewrite All Older"), std::string::npos);  // not offered for outputs
  // "Rename": the existing file moves aside.
  auto moved = RunCommand(cmd, "r\nkept.html\n");
  EXPECT_EQ(moved.status, 0) << moved.err;
  EXPECT_EQ(ReadAll(out + "/kept.html"), "old");
  // An unknown key asks again; Enter overwrites.
  WriteFileBytes(out + "/a.html", "old");
  auto enter = RunCommand(cmd, "x\n\n");
  EXPECT_EQ(enter.status, 0) << enter.err;
  EXPECT_NE(ReadAll(out + "/a.html"), "old");
  // No answer at all: the file is left and the run fails.
  WriteFileBytes(out + "/a.html", "old");
  auto none = RunCommand(cmd, "");
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(ReadAll(out + "/a.html"), "old");
}

TEST_F(CliBatch, OverwriteOlderReplacesOnlyBackupsOfEarlierDays) {
  std::string a = Site("a.html", Page(1));
  std::string b = Site("b.html", Page(2));
  std::string bak = Dir("bak");
  std::string oldA = tmp.Write("bak/a.html", "backup of a");
  std::string oldB = tmp.Write("bak/b.html", "backup of b");
  // a's backup is from an earlier day; b's is from today, as b itself.
  fs::last_write_time(oldA, fs::file_time_type::clock::now() - std::chrono::hours(72));
  auto r = RunCommand(kCli + " --json --overwrite older --in-place --backup " + Q(bak) + " " + Q(a) + " " + Q(b));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadAll(bak + "/a.html"), Page(1));
  EXPECT_NE(ReadAll(a), Page(1));
  EXPECT_EQ(ReadAll(bak + "/b.html"), "backup of b");
  EXPECT_EQ(ReadAll(b), Page(2));  // its backup is kept, so it is not touched either
}

TEST_F(CliBatch, InPlaceWithoutBackupsWritesOverTheSources) {
  std::string a = Site("a.html", Page(1));
  std::string expected = RunCommand(kCli + " " + Q(a)).out;
  auto r = RunCommand(kCli + " -q --in-place --no-backup " + Q(a));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadAll(a), expected);
}

TEST_F(CliBatch, DryRunWritesNothingAndReportsTheSizes) {
  SmallSite();
  std::string out = Dir("out");
  auto dry = RunCommand(kCli + " --dry-run --json -r --overwrite all -o " + Q(out) + " " + Q(Dir("site")));
  EXPECT_EQ(dry.status, 0) << dry.err;
  EXPECT_FALSE(Exists(out));
  EXPECT_NE(dry.out.find("\"status\": \"would-write\""), std::string::npos);
  auto text = RunCommand(kCli + " --dry-run -o " + Q(out) + " " + Q(Dir("site/b.htm")));
  EXPECT_NE(text.out.find("would write " + out + "/b.htm"), std::string::npos) << text.out;
  auto real = RunCommand(kCli + " --json -r --overwrite all -o " + Q(out) + " " + Q(Dir("site")));
  for (const char* key : {"files_processed", "bytes_before", "bytes_after", "average_ratio", "max_ratio"})
    EXPECT_EQ(JsonNumber(dry.out, key), JsonNumber(real.out, key)) << key;
  // Copies that would meet existing files say what the run would do there.
  for (const auto& [policy, words] :
       std::vector<std::pair<std::string, std::string>>{{"skip", "would skip " + out + "/b.htm, which exists"},
                                                        {"fail", "would fail: " + out + "/b.htm exists"},
                                                        {"all", "would write over " + out + "/b.htm"}}) {
    auto again = RunCommand(kCli + " --dry-run --overwrite " + policy + " -o " + Q(out) + " " + Q(Dir("site/b.htm")));
    EXPECT_EQ(again.status, policy == "fail" ? 1 : 0) << again.err;  // as the real run would exit
    EXPECT_NE(again.out.find(words + " ("), std::string::npos) << policy << ": " << again.out;
  }
  // In place: the sources and the backup folder stay as they were.
  auto inPlace = RunCommand(kCli + " --dry-run -q --in-place --backup " + Q(Dir("bak")) + " " + Q(Dir("site")));
  EXPECT_EQ(inPlace.status, 0);
  EXPECT_EQ(ReadAll(Dir("site/index.html")), Page(1));
  EXPECT_FALSE(Exists(Dir("bak")));
}

TEST_F(CliBatch, SummaryEqualsTheStatisticsOfTheDesktopRun) {
  std::vector<std::string> sources;
  for (int i = 0; i < 6; ++i) sources.push_back(Site("p" + std::to_string(i) + ".html", Page(i, i * 3)));
  sources.push_back(Site("grown.html", "<p>x</p>"));  // grows by its line break: a negative ratio
  auto cli = RunCommand(kCli + " --json -j 1 -o " + Q(Dir("out")) + " " + Q(Dir("site")));
  ASSERT_EQ(cli.status, 0) << cli.err;

  // The desktop program's run over the same files, with the real engine.
  RunHarness h;
  h.optimizer = nullptr;
  TagTables tables = StartupTagTables();
  h.removal = tables.removal;
  h.replacement = tables.replacement;
  for (const std::string& s : sources) h.panel.AddFileRow(s, h.Ctx());
  auto run = h.Controller();
  ASSERT_EQ(run.RunOptimization(false), RunEnd::Completed);
  EXPECT_EQ(JsonNumber(cli.out, "files_processed"), static_cast<long long>(h.state.LastRunFiles.size()));
  EXPECT_EQ(JsonNumber(cli.out, "bytes_before"), h.state.stats.totalBefore);
  EXPECT_EQ(JsonNumber(cli.out, "bytes_after"), h.state.stats.totalAfter);
  EXPECT_EQ(JsonNumber(cli.out, "bytes_removed"), h.state.stats.BytesRemoved());
  EXPECT_EQ(JsonNumber(cli.out, "average_ratio"), h.state.stats.AverageRatio());
  EXPECT_EQ(JsonNumber(cli.out, "max_ratio"), h.state.stats.maxRatio);
  EXPECT_GT(h.state.stats.maxRatio, 0);
  for (const std::string& s : sources)
    EXPECT_EQ(ReadAll(Dir("out/" + NameOf(s))), ReadAll(h.settings.edOptimizedPath + NameOf(s))) << s;
  // Each file's sizes and ratio.
  std::smatch m;
  std::regex grown("\"source\": \"[^\"]*grown.html\"[^}]*\"size_before\": 8, \"size_after\": 9, \"ratio\": -12");
  EXPECT_TRUE(std::regex_search(cli.out, m, grown)) << cli.out;
}

TEST_F(CliBatch, ParallelRunsEqualSerialOnes) {
  for (int i = 0; i < 40; ++i) Site("d" + std::to_string(i % 4) + "/f" + std::to_string(i) + ".html", Page(i, i % 7));
  for (int i = 0; i < 4; ++i) Site("d" + std::to_string(i) + "/same.html", Page(100 + i));  // they collide
  // Folders named in order: the order of same-named files does not hang on the file system.
  auto folders = [&](const std::string& root) {
    std::string list;
    for (int i = 0; i < 4; ++i) list += " " + Q(Dir(root + "/d" + std::to_string(i)));
    return list;
  };
  fs::copy(Dir("site"), Dir("site2"), fs::copy_options::recursive);
  auto serial = RunCommand(kCli + " --json -j 1 --overwrite all -o " + Q(Dir("o1")) + folders("site"));
  auto parallel = RunCommand(kCli + " --json -j 4 --overwrite all -o " + Q(Dir("o4")) + folders("site"));
  ASSERT_EQ(serial.status, 0) << serial.err;
  ASSERT_EQ(parallel.status, 0) << parallel.err;
  EXPECT_EQ(JsonNumber(serial.out, "files_processed"), 44);
  auto names = Listing(Dir("o1"));
  EXPECT_EQ(names.size(), 41u);
  EXPECT_EQ(Listing(Dir("o4")), names);
  for (const auto& n : names) EXPECT_EQ(ReadAll(Dir("o1/" + n)), ReadAll(Dir("o4/" + n))) << n;
  EXPECT_EQ(std::regex_replace(WithoutTimes(serial.out), std::regex("o1/"), ""),
            std::regex_replace(WithoutTimes(parallel.out), std::regex("o4/"), ""));

  // Far more jobs than files: the same run.
  auto many = RunCommand(kCli + " --json -j 100000 --overwrite all -o " + Q(Dir("oj")) + folders("site"));
  ASSERT_EQ(many.status, 0) << many.err;
  EXPECT_EQ(std::regex_replace(WithoutTimes(serial.out), std::regex("o1/"), ""),
            std::regex_replace(WithoutTimes(many.out), std::regex("oj/"), ""));

  // In place with backups: the same files refused, in the same order.
  auto inSerial = RunCommand(kCli + " --json -j 1 --in-place --backup " + Q(Dir("b1")) + folders("site"));
  auto inParallel = RunCommand(kCli + " --json -j 4 --in-place --backup " + Q(Dir("b4")) + folders("site2"));
  EXPECT_EQ(inSerial.status, 1);  // three same.html meet an existing backup
  EXPECT_EQ(inParallel.status, 1);
  EXPECT_EQ(JsonNumber(inSerial.out, "files_failed"), 3);
  std::string a = std::regex_replace(WithoutTimes(inSerial.out), std::regex("site2?/|[bo][14]/"), "");
  std::string b = std::regex_replace(WithoutTimes(inParallel.out), std::regex("site2?/|[bo][14]/"), "");
  EXPECT_EQ(a, b);
  EXPECT_EQ(Listing(Dir("b1")), Listing(Dir("b4")));
  for (const auto& n : Listing(Dir("b1"))) EXPECT_EQ(ReadAll(Dir("b1/" + n)), ReadAll(Dir("b4/" + n))) << n;
  EXPECT_EQ(
      std::regex_replace(inSerial.err, std::regex("b1/"), "B/"),
      std::regex_replace(std::regex_replace(inParallel.err, std::regex("site2/"), "site/"), std::regex("b4/"), "B/"));
}

TEST_F(CliBatch, FileListsAndKindsOfPaths) {
  std::string a = Site("a.html", Page(1));
  std::string b = Site("b.html", Page(2));
  std::string c = Site("c.htm", Page(3));
  std::string list = tmp.Write("files.lst", "+ " + a + "\r\n- " + b + "\r\n+ " + c + "\r\n");
  std::string out = Dir("out");
  auto r = RunCommand(kCli + " --json -o " + Q(out) + " " + Q(list) + " " + Q(Dir("nothing.html")) + " " +
                      Q(Site("x.txt", "text")));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Listing(out), (std::vector<std::string>{"a.html", "c.htm"}));
  EXPECT_NE(r.err.find("nothing.html' does not exist"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("x.txt' is neither"), std::string::npos) << r.err;
  // A lone file with a batch flag is a batch; without one it is the filter form.
  auto single = RunCommand(kCli + " -o " + Q(Dir("one")) + " " + Q(a));
  EXPECT_EQ(single.status, 0);
  EXPECT_EQ(single.out.find("<html>"), std::string::npos);
  EXPECT_TRUE(Exists(Dir("one/a.html")));
  auto filter = RunCommand(kCli + " " + Q(a));
  EXPECT_EQ(filter.out, ReadAll(Dir("one/a.html")));
}

TEST_F(CliBatch, OptionsFileModeAndTablesBesideIt) {
  std::string page = "<html><body>\n<font size=2>x</font>   <center>y</center>\n<p>z</p>\n</body></html>\n";
  std::string a = Site("a.html", page);
  tmp.Write("conf/my.dat", "[settings]\ncbDelCRLF=1\nradModifyOld=0\nedOptimizedPath=" + Dir("fromopts") + "/\n");
  auto r = RunCommand(kCli + " -q --options " + Q(Dir("conf/my.dat")) + " " + Q(Dir("site")));
  EXPECT_EQ(r.status, 0) << r.err;
  std::string written = ReadAll(Dir("fromopts/a.html"));
  EXPECT_EQ(written.find('\n'), written.size() - 1) << written;  // glued into one line, LF kept
  // --set after the options file, --mode before --set.
  auto lines = RunCommand(kCli + " --options " + Q(Dir("conf/my.dat")) + " --set cbDelCRLF=0 " + Q(a));
  EXPECT_NE(lines.out.find("\n<p>"), std::string::npos) << lines.out;
  auto max = RunCommand(kCli + " --mode max " + Q(a));
  auto maxKept = RunCommand(kCli + " --mode max --set cbDelCRLF=0 " + Q(a));
  EXPECT_EQ(max.out.find('\n'), max.out.size() - 1);
  EXPECT_NE(maxKept.out.find("\n<p>"), std::string::npos);
  // An options file without settings is refused, never filled with defaults.
  std::string empty = tmp.Write("conf2/Options.dat", "");
  auto bad = RunCommand(kCli + " -q --options " + Q(empty) + " -o " + Q(Dir("o")) + " " + Q(a));
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(ReadAll(empty), "");
  EXPECT_FALSE(Exists(Dir("conf2/Tagsdelete.dat")));
  // One that cannot be read is named.
  auto unreadable = RunCommand(kCli + " -q --options " + Q(Dir("conf")) + " -o " + Q(Dir("o")) + " " + Q(a));
  EXPECT_EQ(unreadable.status, 1);
  EXPECT_NE(unreadable.err.find("cannot read the options file '" + Dir("conf") + "'"), std::string::npos)
      << unreadable.err;
  EXPECT_FALSE(Exists(Dir("o")));
  // A tag table beside it that cannot be read is an error.
  fs::create_directories(Dir("conf/Tagsdelete.dat"));
  auto table = RunCommand(kCli + " -q --options " + Q(Dir("conf/my.dat")) + " " + Q(Dir("site")));
  EXPECT_EQ(table.status, 1);
  EXPECT_NE(table.err.find("error: "), std::string::npos) << table.err;
}

TEST_F(CliBatch, TagTablesBesideTheOptionsFileAreUsedUnlessNamed) {
  std::string page = Site("a.html", "<font size=2><strong>a</strong> <em>b</em></font>\n");
  std::string conf = Dir("conf/");
  tmp.Write("conf/Options.dat", "[settings]\ncbDelCRLF=0\n");
  tmp.Write("conf/Tagschange.dat", "+ strong b\r\n- em i\r\n");
  tmp.Write("conf/Tagsdelete.dat", "+ font\r\n");
  auto beside = RunCommand(kCli + " --options " + Q(conf + "Options.dat") + " " + Q(page));
  EXPECT_EQ(beside.status, 0) << beside.err;
  EXPECT_EQ(beside.out, "<b>a</b><em>b</em></font>\n");
  // Named tables take the place of those beside the options file, one by one.
  std::string keepFont = tmp.Write("keep.dat", "- font\r\n");
  auto named =
      RunCommand(kCli + " --options " + Q(conf + "Options.dat") + " --tags-delete " + Q(keepFont) + " " + Q(page));
  EXPECT_EQ(named.status, 0) << named.err;
  EXPECT_EQ(named.out, "<font size=2><b>a</b><em>b</em></font>\n");
  // The batch form reads them too.
  auto batch = RunCommand(kCli + " -q --options " + Q(conf + "Options.dat") + " -o " + Q(Dir("out")) + " " + Q(page));
  EXPECT_EQ(batch.status, 0) << batch.err;
  EXPECT_EQ(ReadAll(Dir("out/a.html")), beside.out);
}

TEST_F(CliBatch, OverwritePoliciesForExistingBackups) {
  std::string a = Site("a.html", Page(1));
  std::string optimized = RunCommand(kCli + " " + Q(a)).out;
  std::string bak = Dir("bak");
  std::string run = kCli + " --json --in-place --backup " + Q(bak) + " " + Q(a);
  tmp.Write("bak/a.html", "old backup");
  // skip: the backup stays, so the source is not replaced either.
  auto skip = RunCommand(run + " --overwrite skip");
  EXPECT_EQ(skip.status, 0) << skip.err;
  EXPECT_EQ(ReadAll(bak + "/a.html"), "old backup");
  EXPECT_EQ(ReadAll(a), Page(1));
  EXPECT_NE(skip.out.find("\"status\": \"skipped\""), std::string::npos) << skip.out;
  // fail: named, nothing touched, exit 1.
  auto fail = RunCommand(run + " --overwrite fail");
  EXPECT_EQ(fail.status, 1);
  EXPECT_NE(fail.err.find(bak + "/a.html"), std::string::npos) << fail.err;
  EXPECT_EQ(ReadAll(bak + "/a.html"), "old backup");
  EXPECT_EQ(ReadAll(a), Page(1));
  // all: the new original replaces the old backup, the source is optimized.
  auto all = RunCommand(run + " --overwrite all");
  EXPECT_EQ(all.status, 0) << all.err;
  EXPECT_EQ(ReadAll(bak + "/a.html"), Page(1));
  EXPECT_EQ(ReadAll(a), optimized);
  EXPECT_EQ(Listing(bak), std::vector<std::string>{"a.html"});
}

// A backup or output folder that is the files' own folder: the "copy" is the
// file itself, so no run or restore may take it for one.
TEST_F(CliBatch, OwnFolderAsBackupOrOutputLosesNothing) {
  std::string a = Site("a.html", Page(1));
  std::string site = Dir("site");
  auto backup = RunCommand(kCli + " --in-place --overwrite all --backup " + Q(site) + " " + Q(a));
  EXPECT_EQ(backup.status, 1);
  EXPECT_NE(backup.err.find(a), std::string::npos) << backup.err;
  EXPECT_EQ(ReadAll(a), Page(1));
  EXPECT_EQ(Listing(site), std::vector<std::string>{"a.html"});
  // Copies into a tree's own folders would be the sources themselves.
  std::string deep = tmp.Write("tree/sub/c.html", Page(3)), tree = Dir("tree");
  auto copy = RunCommand(kCli + " --overwrite all -r -o " + Q(tree) + " " + Q(tree));
  EXPECT_EQ(copy.status, 1);
  EXPECT_NE(copy.err.find(deep +
                          ": Error during optimization process; the file is left as it was: its copy would replace it"),
            std::string::npos)
      << copy.err;
  EXPECT_EQ(ReadAll(deep), Page(3));
  for (const std::string& mode : {"-o " + Q(site), "--in-place --backup " + Q(site + "/.")}) {
    auto restore = RunCommand(kCli + " --restore " + mode + " " + Q(a));
    EXPECT_EQ(restore.status, 1) << mode;
    EXPECT_NE(restore.err.find("is its own folder"), std::string::npos) << restore.err;
    EXPECT_EQ(ReadAll(a), Page(1)) << mode;
  }
}

// A file that cannot be written or backed up is named with the reason; the
// others are still done.
TEST_F(CliBatch, FailuresNameTheFileAndWhatFailed) {
  std::string a = Site("a.html", Page(1));
  std::string b = Site("b.html", Page(2));
  std::string out = Dir("out");
  fs::create_directories(out + "/a.html");  // a folder where the copy should go
  auto copy = RunCommand(kCli + " -q -o " + Q(out) + " " + Q(Dir("site")));
  EXPECT_EQ(copy.status, 1);
  EXPECT_NE(copy.err.find(a + ": Error during optimization process; the file is left as it was: cannot write '" + out +
                          "/a.html'"),
            std::string::npos)
      << copy.err;
  EXPECT_EQ(ReadAll(out + "/b.html"), RunCommand(kCli + " " + Q(b)).out);

  std::string bak = Dir("bak");
  fs::create_directories(bak + "/a.html");
  for (const char* jobs : {"1", "2"}) {
    auto inPlace = RunCommand(kCli + " -q -j " + jobs + " --in-place --backup " + Q(bak) + " " + Q(a));
    EXPECT_EQ(inPlace.status, 1);
    EXPECT_NE(inPlace.err.find("as it was: cannot back it up to '" + bak + "/a.html'"), std::string::npos)
        << inPlace.err;
    EXPECT_EQ(ReadAll(a), Page(1));
  }
}

TEST_F(CliBatch, UsageErrorsExitTwo) {
  std::string a = Site("a.html", Page(1));
  for (const std::string& args : std::vector<std::string>{
           "-o x --in-place " + Q(a), "--backup b " + Q(a), "--in-place --backup b --no-backup " + Q(a), "-o x -",
           "- " + Q(a), "--overwrite maybe -o x " + Q(a), "-j 0 -o x " + Q(a), "--max-files -1 -o x " + Q(a),
           "--restore --overwrite all -o x " + Q(a), "--mode best " + Q(a), "-o x", "--json=1 -o x " + Q(a)}) {
    auto r = RunCommand(kCli + " " + args);
    EXPECT_EQ(r.status, 2) << args << "\n" << r.err;
    EXPECT_EQ(r.out, "") << args;
  }
  auto help = RunCommand(kCli + " --help");
  EXPECT_EQ(help.status, 0);
  for (const char* flag : {"--out", "--in-place", "--backup", "--no-backup", "--recursive", "--max-depth",
                           "--max-files", "--overwrite", "--restore", "--options", "--set", "--tags-change",
                           "--tags-delete", "--codepage", "--mode", "--jobs", "--dry-run", "--quiet", "--json"})
    EXPECT_NE(help.out.find(flag), std::string::npos) << flag;
}

// Starts the program with `args`, sends Ctrl-C once `ready` holds, and answers its exit status.
int InterruptWhen(const std::vector<std::string>& args, const std::function<bool()>& ready) {
  pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> argv;
    std::string cli = TERSIFY_CLI_PATH;
    argv.push_back(cli.data());
    std::vector<std::string> copy = args;
    for (auto& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 1);
    dup2(devnull, 2);
    execv(argv[0], argv.data());
    _exit(127);
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!ready() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  kill(pid, SIGINT);
  int raw = 0;
  waitpid(pid, &raw, 0);
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
}

TEST_F(CliBatch, CtrlCLeavesEveryFileWholeOrUntouched) {
  const int count = 150;
  for (int i = 0; i < count; ++i) Site("p" + std::to_string(1000 + i) + ".html", Page(i, 600));
  std::string ref = Dir("ref");
  ASSERT_EQ(RunCommand(kCli + " -q -o " + Q(ref) + " " + Q(Dir("site"))).status, 0);
  fs::copy(Dir("site"), Dir("orig"), fs::copy_options::recursive);

  // Serially and with files optimized ahead of the writer.
  for (const std::string jobs : {"1", "2"}) {
    SCOPED_TRACE("-j " + jobs);
    fs::remove_all(Dir("site"));
    fs::copy(Dir("orig"), Dir("site"), fs::copy_options::recursive);
    std::string out = Dir("out" + jobs);
    int status = InterruptWhen({"-q", "-j", jobs, "-o", out, Dir("site")}, [&] { return Listing(out).size() >= 3; });
    EXPECT_EQ(status, 130);
    auto written = Listing(out);
    EXPECT_LT(written.size(), static_cast<std::size_t>(count));
    for (const auto& n : written) EXPECT_EQ(ReadAll(out + "/" + n), ReadAll(ref + "/" + n)) << n;

    std::string bak = Dir("bak" + jobs);
    status = InterruptWhen({"-q", "-j", jobs, "--in-place", "--backup", bak, Dir("site")},
                           [&] { return Listing(bak).size() >= 3; });
    EXPECT_EQ(status, 130);
    int optimized = 0;
    for (const auto& n : Listing(Dir("site"))) {
      std::string now = ReadAll(Dir("site/" + n));
      if (now == ReadAll(Dir("orig/" + n))) {
        EXPECT_FALSE(Exists(bak + "/" + n)) << n;
      } else {
        ++optimized;
        EXPECT_EQ(now, ReadAll(ref + "/" + n)) << n;
        EXPECT_EQ(ReadAll(bak + "/" + n), ReadAll(Dir("orig/" + n))) << n;
      }
    }
    EXPECT_GT(optimized, 0);
    EXPECT_LT(optimized, count);
    EXPECT_EQ(static_cast<int>(Listing(bak).size()), optimized);  // no temporaries either
  }
}

// The two halves of the per-file step that parallel runs use place a file as
// the one-piece step does.
TEST(CliFileStepHalves, PreparedFilesArePlacedAsTheOneStepPlacesThem) {
  RunHarness h;
  std::string a = h.AddSource("src/a.html", "a b\nc");
  RunEnvironment env = h.Env();
  PreparedFile prepared = PrepareFile(a, env, {});
  EXPECT_EQ(prepared.result, OptimizeResult::Done);
  EXPECT_EQ(prepared.sizeBefore, 5);
  EXPECT_TRUE(Listing(h.settings.edOptimizedPath).empty());  // nothing written yet
  FileOutcome placed = PlaceFile(a, prepared, env, h.state.overwrite);
  EXPECT_EQ(placed.status, FileOutcome::Status::Saved);
  EXPECT_EQ(ReadAll(h.settings.edOptimizedPath + "a.html"), "ab\nc\n");
  EXPECT_EQ(placed.sizeAfter, 5);
  // Placing again meets the earlier copy like the one-piece step does.
  h.ui.overwriteAnswers = {OverwriteChoice::Skip, OverwriteChoice::Skip};
  FileOutcome again = PlaceFile(a, PrepareFile(a, env, {}), env, h.state.overwrite);
  FileOutcome whole = OptimizeFile(a, env, h.state.overwrite, {});
  EXPECT_EQ(again.status, FileOutcome::Status::Skipped);
  EXPECT_EQ(whole.status, FileOutcome::Status::Skipped);
  EXPECT_EQ(h.ui.shown.size(), 2u);

  // In place with backups: the original goes to the backup folder.
  h.ModifySources(true);
  PlaceFile(a, PrepareFile(a, env, {}), env, h.state.overwrite);
  EXPECT_EQ(ReadAll(a), "ab\nc\n");
  EXPECT_EQ(ReadAll(h.settings.edBackUpPath + "a.html"), "a b\nc");

  // Cancelled or unreadable files are not touched and get no backup.
  std::string b = h.AddSource("src/b.html", "x y");
  PreparedFile cancelled = PrepareFile(b, env, [] { return true; });
  EXPECT_EQ(cancelled.result, OptimizeResult::Cancelled);
  EXPECT_EQ(PlaceFile(b, cancelled, env, h.state.overwrite).status, FileOutcome::Status::Cancelled);
  EXPECT_EQ(ReadAll(b), "x y");
  EXPECT_FALSE(Exists(h.settings.edBackUpPath + "b.html"));
  PreparedFile missing = PrepareFile(h.tmp.Path("src/none.html"), env, {});
  EXPECT_EQ(missing.result, OptimizeResult::Failed);
  EXPECT_EQ(PlaceFile(h.tmp.Path("src/none.html"), missing, env, h.state.overwrite).status,
            FileOutcome::Status::Failed);
  EXPECT_EQ(Listing(h.settings.edBackUpPath), (std::vector<std::string>{"a.html"}));
}

}  // namespace
}  // namespace tersify::testing

namespace tersify::testing {
namespace {

// A page that holds a NUL byte is no text: named, left untouched, counted as
// failed, and the run goes on; the filter form writes nothing.
TEST_F(CliBatch, PageWithANulByteIsRefusedAndLeftAlone) {
  const std::string binary = std::string("<p>  a</p>\0  b", 14);
  std::string a = Site("a.html", binary);
  std::string b = Site("b.html", Page(2));
  auto run = RunCommand(kCli + " --json -o " + Q(Dir("out")) + " " + Q(a) + " " + Q(b));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(a + ": not a text page"), std::string::npos) << run.err;
  EXPECT_EQ(JsonNumber(run.out, "files_failed"), 1);
  EXPECT_EQ(JsonNumber(run.out, "files_processed"), 1);
  EXPECT_NE(run.out.find("\"status\": \"not-text\""), std::string::npos) << run.out;
  EXPECT_EQ(ReadAll(a), binary);
  EXPECT_EQ(Listing(Dir("out")), std::vector<std::string>{"b.html"});
  auto filter = RunCommand(kCli + " " + Q(a));
  EXPECT_EQ(filter.status, 1);
  EXPECT_EQ(filter.out, "");
}

// One page named three ways (its path, with "./" in it, and a link to it) is
// optimized once, and its backup keeps the original.
TEST_F(CliBatch, EachPageOnceHoweverItIsNamed) {
  std::string a = Site("a.html", Page(1));
  fs::create_symlink(a, Dir("site/link.html"));
  std::string bak = Dir("bak");
  auto run = RunCommand(kCli + " --json --in-place --backup " + Q(bak) + " " + Q(a) + " " + Q(Dir("site/./a.html")) +
                        " " + Q(Dir("site/link.html")));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(JsonNumber(run.out, "files_processed"), 1);
  EXPECT_EQ(ReadAll(bak + "/a.html"), Page(1));
  auto filtered = RunCommand(kCli + " " + Q(bak + "/a.html"));
  EXPECT_EQ(ReadAll(a), filtered.out);
  EXPECT_NE(run.err.find("names a page given before; it is treated once"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("files panel"), std::string::npos) << run.err;
}

// Copies into a page's own folder would replace the page: refused at once.
TEST_F(CliBatch, OutputFolderThatHoldsASourceIsRefused) {
  std::string a = Site("a.html", Page(1));
  auto run = RunCommand(kCli + " --overwrite all -o " + Q(Dir("site/.")) + " " + Q(a));
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("holds the page '" + a + "'"), std::string::npos) << run.err;
  EXPECT_EQ(ReadAll(a), Page(1));
  EXPECT_EQ(Listing(Dir("site")), std::vector<std::string>{"a.html"});
}

}  // namespace
}  // namespace tersify::testing

namespace tersify::testing {
namespace {

// The dry run says what would become of each page's backup and exits as the
// real run would; a dry restore touches nothing and counts as the real one.
TEST_F(CliBatch, DryRunsTellTheBackupsAndExitAsTheRealRun) {
  std::string a = Site("a.html", Page(1));
  std::string bak = Dir("bak");
  auto real = RunCommand(kCli + " -q --in-place --backup " + Q(bak) + " " + Q(a));
  ASSERT_EQ(real.status, 0) << real.err;
  const std::string optimized = ReadAll(a);
  auto dry = RunCommand(kCli + " --dry-run --overwrite fail --in-place --backup " + Q(bak) + " " + Q(a));
  auto again = RunCommand(kCli + " -q --overwrite fail --in-place --backup " + Q(bak) + " " + Q(a));
  EXPECT_EQ(dry.status, again.status);
  EXPECT_EQ(dry.status, 1);
  EXPECT_NE(dry.out.find("would fail: the backup " + bak + "/a.html exists; " + a + " would be left as it is ("),
            std::string::npos)
      << dry.out;
  EXPECT_NE(dry.out.find("Backups of the sources would go to: " + bak), std::string::npos) << dry.out;
  auto restore = RunCommand(kCli + " --restore --dry-run --in-place --backup " + Q(bak) + " " + Q(a));
  EXPECT_EQ(restore.status, 0) << restore.err;
  EXPECT_NE(restore.out.find("would put the backup " + bak + "/a.html back over " + a + "\n"), std::string::npos)
      << restore.out;
  EXPECT_NE(restore.out.find("Files that would be restored from backups: 1"), std::string::npos) << restore.out;
  EXPECT_EQ(ReadAll(a), optimized);
  EXPECT_EQ(ReadAll(bak + "/a.html"), Page(1));
}

// The folder walk leaves the run's own output folder out; a path that is not
// there counts as a failed file in the summary.
TEST_F(CliBatch, WalkSkipsTheOutputFolderAndMissingPathsCountAsFailed) {
  Site("a.html", Page(1));
  Site("out/a.html", "an earlier copy");
  std::string out = Dir("site/out");
  auto run = RunCommand(kCli + " --json -r --overwrite all -o " + Q(out) + " " + Q(Dir("site")) + " " +
                        Q(Dir("nowhere.html")));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(JsonNumber(run.out, "files_processed"), 1);
  EXPECT_EQ(JsonNumber(run.out, "files_failed"), 1);
  EXPECT_NE(run.out.find("\"copies_folder\": \"" + out), std::string::npos) << run.out;
  EXPECT_EQ(ReadAll(out + "/a.html"), RunCommand(kCli + " " + Q(Dir("site/a.html"))).out);
}

}  // namespace
}  // namespace tersify::testing
