#include "platform/process.h"

#include <cerrno>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
extern char** environ;
#endif

namespace tersify::platform {
namespace {

#ifdef _WIN32
std::wstring Wide(std::string_view text) {
  if (text.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
  return out;
}

bool IsBatchFile(std::string_view program) {
  if (program.size() < 4) return false;
  std::string ext(program.substr(program.size() - 4));
  for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return ext == ".bat" || ext == ".cmd";
}
#endif

}  // namespace

std::string QuoteWindowsArgument(std::string_view argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string_view::npos) return std::string(argument);
  std::string out = "\"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      out.append(backslashes * 2 + 1, '\\');
      out.push_back('"');
    } else {
      out.append(backslashes, '\\');
      out.push_back(c);
    }
    backslashes = 0;
  }
  out.append(backslashes * 2, '\\');  // the closing quote must stay a quote
  out.push_back('"');
  return out;
}

bool IsSafeBatchArgument(std::string_view argument) {
  return argument.find_first_of("\"%^&|<>!()\r\n") == std::string_view::npos;
}

bool StartProgramWithArguments(const std::string& program, const std::vector<std::string>& arguments,
                               const std::string& workingFolder) {
  if (program.empty()) return false;
#ifdef _WIN32
  if (IsBatchFile(program))
    for (const std::string& a : arguments)
      if (!IsSafeBatchArgument(a)) return false;
  std::string commandLine = QuoteWindowsArgument(program);
  for (const std::string& a : arguments) commandLine += " " + QuoteWindowsArgument(a);
  std::wstring wideLine = Wide(commandLine);
  const std::wstring folder = Wide(workingFolder);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, wideLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &info))
    return false;
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return true;
#else
  std::vector<char*> argv;
  argv.reserve(arguments.size() + 2);
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  if (!workingFolder.empty() && posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str()) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return false;
  }
  pid_t pid = 0;
  const int rc = program.find('/') == std::string::npos
                     ? posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ)
                     : posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  // Collect the child's exit status in the background so it leaves no zombie.
  std::thread([pid] {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return true;
#endif
}

bool StartProgram(const std::string& program, const std::string& argument, const std::string& workingFolder) {
  return StartProgramWithArguments(program, {argument}, workingFolder);
}

unsigned ProcessorCount() {
  const unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : n;
}

}  // namespace tersify::platform
