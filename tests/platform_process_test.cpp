#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/process.h"
#include "support/temp_folder.h"

namespace tersify::platform {
namespace {

namespace fs = std::filesystem;

// A script that writes its argument count, each argument in hex and its
// working folder beside itself, then renames the file so it appears whole.
constexpr const char* kRecorder =
    "#!/bin/sh\n"
    "d=$(dirname \"$0\")\n"
    "{ printf '%s\\n' \"$#\"\n"
    "  for a in \"$@\"; do printf '%s' \"$a\" | od -An -tx1 | tr -d ' \\n'; printf '\\n'; done\n"
    "  pwd; } > \"$d/argv.tmp\"\n"
    "mv \"$d/argv.tmp\" \"$d/argv.out\"\n";

std::string Hex(std::string_view bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (char c : bytes) {
    out.push_back(digits[static_cast<unsigned char>(c) >> 4]);
    out.push_back(digits[static_cast<unsigned char>(c) & 15]);
  }
  return out;
}

struct Recorder {
  tersify::testing::TempFolder tmp;
  fs::path dir = tmp.root();
  fs::path script;
  Recorder() {
    fs::create_directories(dir / "work dir");
    script = dir / "rec ord;er.sh";
    std::ofstream(script) << kRecorder;
    fs::permissions(script, fs::perms::owner_all);
  }

  // The lines the script wrote, waiting for them up to ten seconds.
  std::vector<std::string> Wait() const {
    const fs::path out = dir / "argv.out";
    for (int i = 0; i < 500 && !fs::exists(out); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::vector<std::string> lines;
    std::ifstream in(out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
};

TEST(StartProgramTest, HostileArgumentArrivesWhole) {
  Recorder rec;
  const std::string argument =
      "/tmp/a b/\"quoted\" 'single'; $(touch INJECTED) `touch INJECTED2` & | > x * %s \\ \xC3\xA9t\xC3\xA9 "
      "\xD1\x85\nsecond line";
  ASSERT_TRUE(StartProgram(rec.script.string(), argument, (rec.dir / "work dir").string()));
  const auto lines = rec.Wait();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "1");
  EXPECT_EQ(lines[1], Hex(argument));
  EXPECT_EQ(fs::path(lines[2]), rec.dir / "work dir");
  EXPECT_FALSE(fs::exists(rec.dir / "work dir" / "INJECTED"));
  EXPECT_FALSE(fs::exists(rec.dir / "work dir" / "INJECTED2"));
  EXPECT_FALSE(fs::exists(rec.dir / "INJECTED"));
}

TEST(StartProgramTest, ArgumentsAndEmptyArgument) {
  Recorder rec;
  ASSERT_TRUE(StartProgramWithArguments(rec.script.string(), {"", "-n", "two words"}));
  const auto lines = rec.Wait();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "3");
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[2], Hex("-n"));
  EXPECT_EQ(lines[3], Hex("two words"));
}

TEST(StartProgramTest, FailuresAreReported) {
  EXPECT_FALSE(StartProgram("", "x"));
  EXPECT_FALSE(StartProgram("/nonexistent/program", "x"));
  EXPECT_FALSE(StartProgram("tersify-no-such-program-on-path", "x"));
  EXPECT_FALSE(StartProgram("true", "x", "/nonexistent/folder"));
  EXPECT_TRUE(StartProgram("true", "x"));  // found on PATH
}

// The C run-time's reading of a Windows command line, to check the quoting.
std::vector<std::string> ParseWindowsCommandLine(std::string_view line) {
  std::vector<std::string> args;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) break;
    std::string arg;
    bool quoted = false;
    while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
      std::size_t slashes = 0;
      while (i < line.size() && line[i] == '\\') ++slashes, ++i;
      if (i < line.size() && line[i] == '"') {
        arg.append(slashes / 2, '\\');
        if (slashes % 2 == 1) {
          arg.push_back('"');
        } else if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
          arg.push_back('"');
          ++i;
        } else {
          quoted = !quoted;
        }
        ++i;
      } else {
        arg.append(slashes, '\\');
        if (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) arg.push_back(line[i++]);
      }
    }
    args.push_back(arg);
  }
  return args;
}

TEST(QuoteWindowsArgumentTest, KnownCases) {
  EXPECT_EQ(QuoteWindowsArgument("plain"), "plain");
  EXPECT_EQ(QuoteWindowsArgument(""), "\"\"");
  EXPECT_EQ(QuoteWindowsArgument("c:\\my files\\a.htm"), "\"c:\\my files\\a.htm\"");
  EXPECT_EQ(QuoteWindowsArgument("a\"b"), "\"a\\\"b\"");
  EXPECT_EQ(QuoteWindowsArgument("c:\\dir x\\"), "\"c:\\dir x\\\\\"");
  EXPECT_EQ(QuoteWindowsArgument("a\\\\\"b"), "\"a\\\\\\\\\\\"b\"");
}

TEST(QuoteWindowsArgumentTest, RandomArgumentsRoundTrip) {
  std::mt19937 rng(7);
  const std::string alphabet = "ab \t\"\\;&%";
  for (int round = 0; round < 2000; ++round) {
    std::string a(rng() % 12, 'a'), b(rng() % 5, 'b');
    for (char& c : a) c = alphabet[rng() % alphabet.size()];
    for (char& c : b) c = alphabet[rng() % alphabet.size()];
    const std::string line =
        QuoteWindowsArgument("c:\\prog.exe") + " " + QuoteWindowsArgument(a) + " " + QuoteWindowsArgument(b);
    EXPECT_EQ(ParseWindowsCommandLine(line), (std::vector<std::string>{"c:\\prog.exe", a, b})) << line;
  }
}

TEST(QuoteWindowsArgumentTest, BatchFilesRefuseCmdCharacters) {
  EXPECT_TRUE(IsSafeBatchArgument("c:\\my files\\page one.htm"));
  for (const char* bad : {"a\"b", "%PATH%", "a&calc", "a|b", "a^b", "a<b", "a>b", "a!b", "a(b)", "a\nb"})
    EXPECT_FALSE(IsSafeBatchArgument(bad)) << bad;
}

}  // namespace
}  // namespace tersify::platform
