// The filter form of tersify-cli: one file or standard input to standard output.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "support/run_command.h"
#include "support/temp_folder.h"

namespace tersify::testing {
namespace {

const std::string kCli = ShellQuote(TERSIFY_CLI_PATH);

class CliFilter : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return temp_.Path(name); }
  TempFolder temp_;
};

TEST_F(CliFilter, OptimizesStandardInputKeepingItsLineBreaks) {
  auto r = RunCommand(kCli + " -", "<p   class = \"x\" width= \"50\" >a</p>\n<b>  b  </b>");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "<p class=\"x\" width=50>a</p>\n<b> b </b>\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(RunCommand(kCli + " -", "<p>a</p>\n<b>  b  </b>\r").out, "<p>a</p>\r\n<b> b </b>\r\n");
}

TEST_F(CliFilter, ReadsAFileAndAppliesSetFlagsInOrder) {
  WriteFileBytes(Path("a.html"), "<p>one</p>\n<p>two</p>\n");
  auto glued = RunCommand(kCli + " --set cbDelCRLF=1 " + ShellQuote(Path("a.html")));
  EXPECT_EQ(glued.status, 0) << glued.err;
  EXPECT_EQ(glued.out, "<p>one</p><p>two</p>\n");
  auto again = RunCommand(kCli + " --set cbDelCRLF=1 --set cbDelCRLF=0 " + ShellQuote(Path("a.html")));
  EXPECT_EQ(again.out, "<p>one</p>\n<p>two</p>\n");
}

TEST_F(CliFilter, ScriptsComeBackByteForByte) {
  const std::string script = "<SCRIPT type=\"text/javascript\">\r\n  var  a = \"  x  \";\t// <!-- -->\r\n</SCRIPT>";
  auto r = RunCommand(kCli + " --set cbDelCRLF=1 -", "<p>  hi  </p>\r\n" + script + "\r\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find(script), std::string::npos) << r.out;
  auto dropped = RunCommand(kCli + " --set cbDelScripts=1 -", "<p>a</p>" + script + "<p>b</p>");
  EXPECT_EQ(dropped.out, "<p>a</p><p>b</p>\r\n");
}

TEST_F(CliFilter, UsageErrorsExitTwoAndWriteNothing) {
  for (const std::string args :
       {"--set noSuchKey=1 -", "--set cbDelKav=yes -", "--set cbDelKav -", "--codepage 437 -", "--bogus -", ""}) {
    auto r = RunCommand(kCli + " " + args, "<p>x</p>");
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_EQ(r.out, "") << args;
    EXPECT_NE(r.err.find("tersify-cli: "), std::string::npos) << args;
  }
  auto unknown = RunCommand(kCli + " --set noSuchKey=1 -");
  EXPECT_NE(unknown.err.find("noSuchKey"), std::string::npos);
}

TEST_F(CliFilter, UnreadableInputsExitOneAndNameThePath) {
  auto missing = RunCommand(kCli + " " + ShellQuote(Path("none.html")));
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "");
  EXPECT_NE(missing.err.find(Path("none.html")), std::string::npos);
  auto table = RunCommand(kCli + " --tags-delete " + ShellQuote(Path("none.dat")) + " -", "<p>x</p>");
  EXPECT_EQ(table.status, 1);
  EXPECT_EQ(table.out, "");
  EXPECT_NE(table.err.find("none.dat"), std::string::npos);
}

TEST_F(CliFilter, TagTablesFromFilesReplaceTheBuiltInOnes) {
  WriteFileBytes(Path("change.dat"), "+ strong b\r\n- em i\r\n");
  WriteFileBytes(Path("delete.dat"), "+ font\r\n");
  auto r = RunCommand(kCli + " --tags-change " + ShellQuote(Path("change.dat")) + " --tags-delete " +
                          ShellQuote(Path("delete.dat")) + " -",
                      "<font size=2><strong>a</strong> <em>b</em></font>");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "<b>a</b><em>b</em></font>\n");
}

TEST_F(CliFilter, HelpDocumentsEveryFlag) {
  auto r = RunCommand(kCli + " --help");
  EXPECT_EQ(r.status, 0);
  for (const char* flag : {"--set", "--codepage", "--tags-change", "--tags-delete", "--options", "--help"})
    EXPECT_NE(r.out.find(flag), std::string::npos) << flag;
}

// The manual page as plain text: roff escapes and font changes taken out.
std::string ManualText() {
  std::ifstream in(TERSIFY_SOURCE_DIR "/man/tersify-cli.1", std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  std::string text = std::regex_replace(ss.str(), std::regex(R"(\\f[BIRP])"), "");
  return std::regex_replace(text, std::regex(R"(\\-)"), "-");
}

// Every flag that --help names has an entry of its own in the manual page,
// with an example that uses it.
TEST_F(CliFilter, ManualPageGivesEveryFlagAnEntryWithAnExample) {
  auto help = RunCommand(kCli + " --help");
  ASSERT_EQ(help.status, 0);
  std::set<std::string> flags;
  std::regex flag(R"((^|[\s,(])(--[a-z][a-z-]*|-[a-z])\b)");
  for (std::sregex_iterator it(help.out.begin(), help.out.end(), flag), end; it != end; ++it) flags.insert((*it)[2]);
  ASSERT_GE(flags.size(), 20u);
  std::string manual = ManualText();
  ASSERT_FALSE(manual.empty());
  // Entries start with ".TP"; the line after it names the flags.
  std::map<std::string, std::string> entries;
  std::size_t at = 0;
  while ((at = manual.find(".TP\n", at)) != std::string::npos) {
    at += 4;
    std::size_t next = std::min(manual.find("\n.TP\n", at), manual.find("\n.SH", at));
    std::string entry = manual.substr(at, next == std::string::npos ? std::string::npos : next - at);
    std::string head = entry.substr(0, entry.find('\n'));
    for (std::sregex_iterator it(head.begin(), head.end(), flag), end; it != end; ++it) entries[(*it)[2]] = entry;
  }
  for (const std::string& f : flags) {
    SCOPED_TRACE(f);
    auto entry = entries.find(f);
    ASSERT_NE(entry, entries.end()) << "no manual entry";
    std::smatch example;
    ASSERT_TRUE(std::regex_search(entry->second, example, std::regex(R"(Example: (tersify-cli[^\n]*))")));
    // The example uses the flag itself or its other spelling named in the same entry.
    std::string head = entry->second.substr(0, entry->second.find('\n'));
    bool used = false;
    for (std::sregex_iterator it(head.begin(), head.end(), flag), end; it != end; ++it)
      used = used || example[1].str().find(" " + (*it)[2].str()) != std::string::npos;
    EXPECT_TRUE(used) << example[1];
  }
}

}  // namespace
}  // namespace tersify::testing
