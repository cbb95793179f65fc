// tersify-cli on real folders: backups on another file system, memory limits,
// options files written by other editors, and the flags' spelling.
#include <gtest/gtest.h>

#include <regex>

#include "run/file_ops.h"
#include "support/fault_tools.h"
#include "support/run_command.h"
#include "support/run_fixture.h"

namespace tersify::testing {
namespace {

const std::string kCli = ShellQuote(TERSIFY_CLI_PATH);
// The same program without the address sanitizer, which ends the process on
// a failed allocation instead of letting it fail.
const std::string kPlainCli = ShellQuote(TERSIFY_PLAIN_CLI_PATH);

std::string Q(const std::string& s) { return ShellQuote(s); }

const std::string kPage = "<p   class=\"a\" >  one  </p>\n<p>two</p>\n";

// The backup folder may lie on another file system (here /dev/shm, a tmpfs):
// every page is optimized in place, with no existing file to refuse.
TEST(CliFiles, BackupOnAnotherFileSystem) {
  TempFolder t;
  ShmFolder shm;
  if (!OnDifferentVolumes(shm.path(), t.root().string()))
    GTEST_SKIP() << "/dev/shm is on the temporary folder's file system";
  std::string a = t.Write("site/a.html", kPage), b = t.Write("site/b.html", kPage + kPage);
  const std::string backup = shm.path() + "bak";  // without a separator at its end
  auto r = RunCommand(kCli + " -q --in-place --backup " + Q(backup) + " " + Q(t.Path("site")));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(ReadAll(a), RunCommand(kCli + " -", kPage).out);
  EXPECT_EQ(ReadAll(backup + "/a.html"), kPage);
  EXPECT_EQ(ReadAll(backup + "/b.html"), kPage + kPage);
  EXPECT_EQ(Listing(backup), (std::vector<std::string>{"a.html", "b.html"}));
  EXPECT_EQ(Listing(t.Path("site")), (std::vector<std::string>{"a.html", "b.html"}));
}

// Under a memory limit a page too large for memory fails alone and the others
// are done; standard input too large for memory fails the run. Nothing aborts,
// and nothing is cut short.
TEST(CliFiles, TooLargeForMemoryFailsWithAMessage) {
  TempFolder t;
  std::string a = t.Write("site/a.html", kPage);
  std::string huge = t.Write("site/huge.html", "");
  fs::resize_file(huge, 3ULL << 30);  // sparse: takes no room
  const std::string limit = "ulimit -v 400000; exec ";
  auto batch = RunCommand(limit + kPlainCli + " -q -j 1 -o " + Q(t.Path("out")) + " " + Q(t.Path("site")));
  EXPECT_EQ(batch.status, 1) << batch.err;
  EXPECT_EQ(batch.err, "tersify-cli: error: " + huge +
                           ": Error during optimization process; the file is left as it was: cannot read it: not "
                           "enough memory\n");
  EXPECT_EQ(Listing(t.Path("out")), std::vector<std::string>{"a.html"});

  auto input = RunCommand("head -c 2000000000 /dev/zero | (" + limit + kPlainCli + " -)");
  EXPECT_EQ(input.status, 1);
  EXPECT_EQ(input.err, "tersify-cli: cannot read standard input: not enough memory\n");
  EXPECT_EQ(input.out, "");
}

// Failures end with the system's reason.
TEST(CliFiles, FailuresEndWithTheSystemsReason) {
  TempFolder t;
  const std::string none = t.Path("none.html"), folder = t.Folder("dir");
  const std::pair<std::string, std::string> cases[] = {
      {Q(none), "cannot read '" + none + "': no such file or directory"},
      {"--tags-delete " + Q(none) + " -",
       "cannot read the tag removal table '" + none + "': no such file or directory"},
      {"--options " + Q(folder) + " -", "cannot read the options file '" + folder + "': is a directory"},
  };
  for (const auto& [args, message] : cases) {
    auto r = RunCommand(kCli + " " + args);
    EXPECT_EQ(r.status, 1) << args;
    EXPECT_EQ(r.err, "tersify-cli: " + message + "\n");
  }
}

// An options file saved with a UTF-8 byte order mark is read like any other.
TEST(CliFiles, OptionsFileWithByteOrderMark) {
  TempFolder t;
  std::string options = t.Write("Options.dat", "\xEF\xBB\xBF[settings]\r\ncbDelCRLF=1\r\n");
  auto r = RunCommand(kCli + " --options " + Q(options) + " -", "<p>one</p>\n<p>two</p>\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "<p>one</p><p>two</p>\n");
}

// --version; short flags combine, a value-taking one last.
TEST(CliFiles, VersionAndCombinedShortFlags) {
  auto version = RunCommand(kCli + " --version");
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(std::regex_match(version.out, std::regex("tersify-cli [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << version.out;

  TempFolder t;
  t.Write("site/a.html", kPage);
  t.Write("site/sub/b.html", kPage);
  for (const std::string flags : {"-rq -o", "-qr -o", "-rqo"}) {
    const std::string out = t.Path("out " + flags);
    auto r = RunCommand(kCli + " " + flags + " " + Q(out) + " " + Q(t.Path("site")));
    EXPECT_EQ(r.status, 0) << flags << r.err;
    EXPECT_EQ(r.out, "") << flags;                                                  // quiet
    EXPECT_EQ(Listing(out), (std::vector<std::string>{"a.html", "sub"})) << flags;  // recursive
    EXPECT_EQ(Listing(out + "/sub"), std::vector<std::string>{"b.html"}) << flags;
  }
  auto unknown = RunCommand(kCli + " -rx -o " + Q(t.Path("x")) + " " + Q(t.Path("site")));
  EXPECT_EQ(unknown.status, 2);
  EXPECT_EQ(unknown.err, "tersify-cli: unknown flag '-x' (see --help)\n");
}

}  // namespace
}  // namespace tersify::testing
