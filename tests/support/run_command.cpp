#include "support/run_command.h"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace tersify::testing {

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ShellQuote(const std::string& text) {
  std::string q = "'";
  for (char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

CommandResult RunCommand(const std::string& command, const std::string& input) {
  namespace fs = std::filesystem;
  static std::mt19937_64 rng{std::random_device{}()};
  fs::path dir = fs::temp_directory_path() / ("tersify-cmd-" + std::to_string(rng()));
  fs::create_directories(dir);
  std::string in = (dir / "in").string(), out = (dir / "out").string(), err = (dir / "err").string();
  WriteFileBytes(in, input);
  std::string line = "(" + command + ") <" + ShellQuote(in) + " >" + ShellQuote(out) + " 2>" + ShellQuote(err);
  int raw = std::system(line.c_str());
  CommandResult r;
  if (raw != -1) {
    if (WIFEXITED(raw))
      r.status = WEXITSTATUS(raw);
    else if (WIFSIGNALED(raw))
      r.status = 128 + WTERMSIG(raw);
  }
  r.out = ReadFileBytes(out);
  r.err = ReadFileBytes(err);
  fs::remove_all(dir);
  return r;
}

}  // namespace tersify::testing
