// Runs a command line through the shell for tests of the built programs and
// captures its exit status, standard output and standard error.
#pragma once

#include <string>

namespace tersify::testing {

struct CommandResult {
  int status = -1;  // exit status; 128 + signal when killed
  std::string out;
  std::string err;
};

// `command` is passed to /bin/sh; `input` (if not empty) is fed to its standard input.
CommandResult RunCommand(const std::string& command, const std::string& input = {});

// Quotes a text as one shell word.
std::string ShellQuote(const std::string& text);

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

}  // namespace tersify::testing
