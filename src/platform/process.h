// Starting outside programs (browser, external editor, help viewer), and
// how many processors this one has.
//
// No shell takes part: the program receives exactly the argument given, so
// no character of a path (quotes, ";", "$()", back quotes, "&") can start
// anything else. Texts are UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tersify::platform {

// Starts a program with the given arguments and does not wait for it.
// A program name without a separator is looked for on PATH. An empty
// workingFolder keeps the current one. Returns false when the program could
// not be started.
bool StartProgramWithArguments(const std::string& program, const std::vector<std::string>& arguments,
                               const std::string& workingFolder = {});

// Starts a program with exactly one argument.
bool StartProgram(const std::string& program, const std::string& argument, const std::string& workingFolder = {});

// One argument quoted for a Windows command line so that the usual parsing
// of the C run-time gives it back unchanged.
std::string QuoteWindowsArgument(std::string_view argument);

// Whether a batch file may take the argument: cmd.exe reads a batch file's
// command line itself, so arguments holding its special characters are refused.
bool IsSafeBatchArgument(std::string_view argument);

// The processors the program may keep busy at once; 1 where the system does
// not tell.
unsigned ProcessorCount();

}  // namespace tersify::platform
