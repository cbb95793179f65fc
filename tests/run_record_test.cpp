// The run record: fingerprints, its line layout and what it answers.
#include "run/run_record.h"

#include <gtest/gtest.h>

#include "app/restore_commands.h"
#include "support/run_fixture.h"

namespace tersify::testing {
namespace {

TEST(RunRecord, FingerprintIsSizeAndSha256) {
  EXPECT_EQ(FingerprintOf("abc"), (Fingerprint{3, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"}));
  EXPECT_EQ(FingerprintOf(""), (Fingerprint{0, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"}));
  TempFolder tmp;
  EXPECT_EQ(FingerprintOfFile(tmp.Write("a.html", "abc")), FingerprintOf("abc"));
  EXPECT_EQ(FingerprintOfFile(tmp.Path("missing.html")), std::nullopt);
}

TEST(RunRecord, LinesEscapeEveryByteThatWouldBreakThem) {
  const Fingerprint w = FingerprintOf("w"), o = FingerprintOf("o");
  RecordEntry e{"/s/a\tb\\c.html", "/out/line\nbreak\r.html", "", w, o};
  std::string line = FormatRecordLine(e);
  EXPECT_EQ(line, "page\t/s/a\\tb\\\\c.html\t/out/line\\nbreak\\r.html\t\t1\t" + w.sha256 + "\t1\t" + o.sha256 + "\n");
  std::optional<RecordEntry> back = ParseRecordLine(std::string_view(line).substr(0, line.size() - 1));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->source, e.source);
  EXPECT_EQ(back->written, e.written);
  EXPECT_EQ(back->backup, "");
  EXPECT_EQ(back->writtenPrint, w);
  EXPECT_EQ(back->original, o);

  const std::string sha(64, 'a'), tail = "\t1\t" + sha + "\t1\t" + sha;
  for (const std::string& bad :
       {"copy\t/s\t/w\t" + tail,     // unknown kind
        "page\t/s\t/w" + tail,       // a field missing
        "page\t/s\\x\t/w\t" + tail,  // unknown escape
        "page\t/s\\\t/w\t" + tail,   // escape at the end of a field
        "page\t\t/w\t" + tail,       // no source
        "page\t/s\t/w\t\t-1\t" + sha + "\t1\t" + sha, "page\t/s\t/w\t\t1\t" + std::string(63, 'a') + "\t1\t" + sha,
        "page\t/s\t/w\t\t1\t" + std::string(64, 'A') + "\t1\t" + sha})
    EXPECT_FALSE(ParseRecordLine(bad)) << bad;
}

TEST(RunRecord, AppendedEntriesAreReadBackAndAnswerForTheirPages) {
  TempFolder tmp;
  std::string bak = tmp.Folder("bak");
  RunRecord record = RunRecord::Load(bak);
  EXPECT_FALSE(record.present());
  const Fingerprint w1 = FingerprintOf("w1"), w2 = FingerprintOf("w2"), o = FingerprintOf("o"), x = FingerprintOf("x");
  std::string a = tmp.Path("site/a/index.html"), b = tmp.Path("site/b/index.html");
  ASSERT_TRUE(record.Append({a, a, bak + "a/index.html", w1, o}));
  ASSERT_TRUE(record.Append({a, a, bak + "a/index.html", w2, o}));
  ASSERT_TRUE(record.Append({b, b, bak + "index.html", w1, x}));
  ASSERT_TRUE(record.Append({a, a, bak + "index.html", w1, o}));
  EXPECT_TRUE(record.present());
  // A torn last line, as a power loss may leave it, is passed over.
  std::ofstream(bak + std::string(kRecordName), std::ios::app) << "page\t" << a;

  RunRecord read = RunRecord::Load(bak);
  EXPECT_TRUE(read.present());
  ASSERT_EQ(read.entries().size(), 4u);
  EXPECT_EQ(ReadAll(read.file()).substr(0, FormatRecordLine(read.entries()[0]).size()),
            FormatRecordLine(read.entries()[0]));
  // Spelled another way, the paths are the same.
  std::string aOther = tmp.Path("site/b/../a/./index.html");
  EXPECT_TRUE(read.Wrote(aOther, a, w1));
  EXPECT_TRUE(read.Wrote(a, a, w2));
  EXPECT_FALSE(read.Wrote(a, a, o));
  EXPECT_FALSE(read.Wrote(a, b, w1));
  EXPECT_TRUE(read.HoldsOriginal(a, bak + "a/index.html", o));
  EXPECT_FALSE(read.HoldsOriginal(a, bak + "a/index.html", x));
  EXPECT_FALSE(read.HoldsOriginal(b, bak + "a/index.html", o));
  EXPECT_TRUE(read.IsOriginalOf(a, o));
  EXPECT_FALSE(read.IsOriginalOf(a, w1));
  // The latest page whose original a backup holds with these bytes.
  EXPECT_EQ(read.OriginalOwner(bak + "index.html", o), RecordKey(a));
  EXPECT_EQ(read.OriginalOwner(bak + "index.html", x), RecordKey(b));
  EXPECT_EQ(read.OriginalOwner(bak + "index.html", w1), std::nullopt);
}

TEST(RunRecord, AFolderThatCannotTakeTheRecordFailsTheAppend) {
  TempFolder tmp;
  RunRecord record = RunRecord::Load(tmp.Path("missing"));
  EXPECT_FALSE(
      record.Append({tmp.Path("a.html"), tmp.Path("missing/a.html"), "", FingerprintOf("w"), FingerprintOf("o")}));
  EXPECT_FALSE(record.present());
  EXPECT_TRUE(record.entries().empty());
}

// The warning a restore gives for a file it leaves in place.
std::string KeptWarning(const std::string& path) {
  return "The file < " + path +
         " > is not the one the optimization wrote: it was changed since, or the program never wrote it.\r\nIt was "
         "left in place";
}

void CheckAll(FilesPanel& panel) {
  for (PanelRow& row : panel.rows()) row.checked = true;
}

// A copy or page is deleted or replaced only when it holds what the run wrote;
// a file the record does not know is never deleted. Without a record, as before.
TEST(RunRecordRules, RestoreTouchesOnlyWhatTheRunWrote) {
  RunHarness h;
  const std::string out = h.settings.edOptimizedPath;
  std::string a = h.AddSource("d/a.html", "a a"), b = h.AddSource("d/b.html", "b b");
  h.Controller().RunOptimization(false);
  std::string c = h.AddSource("d/c.html", "c c");
  h.tmp.Write("optimized/a.html", "edited by hand");
  h.tmp.Write("optimized/c.html", "a page of the user's");
  CheckAll(h.panel);
  CancelCheckedFiles(h.panel, h.view, h.state, h.Ctx());
  EXPECT_EQ(Listing(out), (std::vector<std::string>{"a.html", "c.html"}));
  EXPECT_EQ(h.ui.Messages(), (std::vector<std::string>{KeptWarning(out + "a.html"), KeptWarning(out + "c.html")}));
  fs::remove(out + std::string(kRecordName));
  CancelCheckedFiles(h.panel, h.view, h.state, h.Ctx());
  EXPECT_TRUE(Listing(out).empty());

  RunHarness m;
  m.ModifySources(true);
  std::string p = m.AddSource("d/p.html", "p p"), q = m.AddSource("d/q.html", "q q");
  m.Controller().RunOptimization(false);
  m.tmp.Write("d/p.html", "edited after the run");
  CancelLastOptimization(m.panel, m.view, m.state, m.Ctx());
  EXPECT_EQ(ReadAll(p), "edited after the run");
  EXPECT_EQ(ReadAll(m.settings.edBackUpPath + "p.html"), "p p");
  EXPECT_EQ(ReadAll(q), "q q");
  EXPECT_EQ(m.ui.Messages(), std::vector<std::string>{KeptWarning(p)});
}

// A second run over optimized pages keeps their first originals, whatever
// the overwrite answer; a backup that holds another page's original is
// never replaced (same-named pages in flat folders).
TEST(RunRecordRules, BackupsOfOriginalsAreNeverReplacedByWrittenPages) {
  for (OverwriteChoice answer : {OverwriteChoice::OverwriteAll, OverwriteChoice::OverwriteAllOlder}) {
    RunHarness h;
    h.ModifySources(true);
    std::string a = h.AddSource("d/a.html", "a  a");
    std::string backup = h.settings.edBackUpPath + "a.html";
    h.Controller().RunOptimization(false);
    ASSERT_EQ(ReadAll(a), "aa\n");
    fs::last_write_time(backup, fs::last_write_time(backup) - std::chrono::hours(24 * 400));
    h.ui.overwriteAnswers = {answer, OverwriteChoice::Overwrite};  // the page is still asked about
    EXPECT_EQ(h.Controller().RunOptimization(false), RunEnd::Completed);
    EXPECT_EQ(ReadAll(backup), "a  a");
    CancelLastOptimization(h.panel, h.view, h.state, h.Ctx());
    EXPECT_EQ(ReadAll(a), "a  a");
  }

  RunHarness h;
  h.ModifySources(true);
  std::string one = h.AddSource("one/index.html", "one 1"), two = h.AddSource("two/index.html", "two 2");
  h.ui.overwriteAnswers = {OverwriteChoice::OverwriteAll};
  EXPECT_EQ(h.Controller().RunOptimization(false), RunEnd::Failed);
  EXPECT_EQ(ReadAll(h.settings.edBackUpPath + "index.html"), "one 1");
  EXPECT_EQ(ReadAll(one), "one1\n");
  EXPECT_EQ(ReadAll(two), "two 2");
  CheckAll(h.panel);
  CancelCheckedFiles(h.panel, h.view, h.state, h.Ctx());
  EXPECT_EQ(ReadAll(one), "one 1");
  EXPECT_EQ(ReadAll(two), "two 2");
}

}  // namespace
}  // namespace tersify::testing
