// Where the engine's time goes: milliseconds per row of the pass table on each
// page given, best of three runs, with the default options or "Max
// optimization". A pass's time runs from its start to the next pass's start;
// the tag pass's rows add up over every ticked table entry.
//
//   pass_times [--max] PAGE...
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "bench_support.h"
#include "engine/engine.h"
#include "engine/engine_testing.h"
#include "settings/tag_tables.h"

using namespace tersify;
using Clock = std::chrono::steady_clock;

namespace {

// Milliseconds per pass name for one run of the engine over `page`.
std::map<std::string, double, std::less<>> TimeOneRun(const std::string& page, const EngineContext& ctx) {
  std::map<std::string, double, std::less<>> ms;
  Engine engine;
  std::string current;
  Clock::time_point since;
  auto close = [&](Clock::time_point now) {
    if (!current.empty()) ms[current] += std::chrono::duration<double, std::milli>(now - since).count();
  };
  WatchPassesForTesting(engine, [&](std::string_view pass) {
    const auto now = Clock::now();
    close(now);
    current = pass;
    since = now;
  });
  std::string text = page;
  engine.OptimizeDocumentInPlace(text, ctx);
  close(Clock::now());
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  OptimizationSettings settings;
  if (!args.empty() && args[0] == "--max") {
    ApplyModePreset(settings, kModeMax);
    args.erase(args.begin());
  }
  if (args.empty()) {
    std::fprintf(stderr, "usage: pass_times [--max] PAGE...\n");
    return 2;
  }
  TagTables tables = BuiltInTagTables();
  TickDefaultEntries(tables);
  PassFailures failures;
  const EngineContext ctx{PassOptionsOf(settings), tables.removal, tables.replacement, failures, {}};

  // Rows in the order they run, each name once.
  std::vector<std::string_view> names;
  for (const PassInfo& row : PassTable())
    if (row.kind != StepKind::CancelCheck && std::find(names.begin(), names.end(), row.name) == names.end())
      names.push_back(row.name);

  std::vector<std::map<std::string, double, std::less<>>> best;
  for (const std::string& path : args) {
    const std::string page = LoadDocumentText(bench::ReadFile(path));
    auto fastest = TimeOneRun(page, ctx);
    for (int run = 1; run < 3; ++run)
      for (auto& [name, ms] : TimeOneRun(page, ctx)) fastest[name] = std::min(fastest[name], ms);
    best.push_back(std::move(fastest));
  }
  std::printf("%-20s", "pass (ms)");
  for (const std::string& path : args) std::printf(" %14.14s", path.substr(path.find_last_of('/') + 1).c_str());
  std::printf("\n");
  for (std::string_view name : names) {
    std::printf("%-20.*s", static_cast<int>(name.size()), name.data());
    for (const auto& times : best) {
      const auto it = times.find(name);
      std::printf(" %14.2f", it == times.end() ? 0.0 : it->second);
    }
    std::printf("\n");
  }
  return 0;
}
