// Measures OptimizeDocument in MB/s: every page of a folder, its largest page,
// and pages of 1, 8 and 64 MB made by repeating the folder's pages (the larger
// ones as copies of the 1 MB page), each with
// the default options and with "Max optimization".
//
//   engine_bench <folder> [--jobs N] [--write <dir> [--only]]
//
// The folder's pages are also timed with N engines on N threads taking the
// pages in turn, as tersify-cli's jobs do (N: the number of cores unless
// given).
//
// --write stores the largest page and the synthetic pages in <dir>, so other
// tools can be timed on the same files; --only stops after writing them.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "engine/engine.h"
#include "i18n/catalogue.h"
#include "i18n/interaction.h"
#include "platform/memory.h"
#include "settings/tag_tables.h"

namespace fs = std::filesystem;
using namespace tersify;

namespace {

using bench::ReadFile;
using bench::SilentUser;

struct Setup {
  const char* name;
  OptimizationSettings settings;
};

// Optimizes docs[k] for every k that `next` hands out, with one engine.
void OptimizeTaken(const std::vector<std::string>& docs, const OptimizationSettings& s, const TagTables& tables,
                   std::atomic<std::size_t>& next) {
  PassFailures failures;
  EngineContext ctx{PassOptionsOf(s), tables.removal, tables.replacement, failures, {}};
  Engine engine;
  for (std::size_t k = next++; k < docs.size(); k = next++) {
    std::string text = docs[k];
    engine.OptimizeDocumentInPlace(text, ctx);  // as the programs' runs call it
  }
}

// Seconds to optimize every document once on `jobs` threads (best of
// `repeats`).
double Time(const std::vector<std::string>& docs, const OptimizationSettings& s, const TagTables& tables, int repeats,
            unsigned jobs = 1) {
  double best = 1e30;
  for (int r = 0; r < repeats; ++r) {
    // Every repeat starts as a program's run does, without freed memory left
    // from the one before: pages of every size pay for touching new memory.
    platform::ReturnFreedMemory();
    std::atomic<std::size_t> next{0};
    auto start = std::chrono::steady_clock::now();
    if (jobs <= 1) {
      OptimizeTaken(docs, s, tables, next);
    } else {
      std::vector<std::thread> threads;
      for (unsigned j = 0; j < jobs; ++j) threads.emplace_back([&] { OptimizeTaken(docs, s, tables, next); });
      for (auto& t : threads) t.join();
    }
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: engine_bench <folder> [--jobs N] [--write <dir> [--only]]\n";
    return 2;
  }
  unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::string> args(argv + 2, argv + argc);
  if (args.size() >= 2 && args[0] == "--jobs") {
    jobs = static_cast<unsigned>(std::max(1, std::atoi(args[1].c_str())));
    args.erase(args.begin(), args.begin() + 2);
  }
  platform::KeepFreedMemoryForReuse();  // as the programs do
  std::vector<std::string> pages;
  std::size_t total = 0, largest = 0;
  for (const auto& e : fs::recursive_directory_iterator(argv[1])) {
    if (!e.is_regular_file()) continue;
    pages.push_back(LoadDocumentText(ReadFile(e.path())));
    total += pages.back().size();
    if (pages.back().size() > pages[largest].size()) largest = pages.size() - 1;
  }
  if (pages.empty()) return 1;
  // The 1 MB page repeats the corpus pages in order; the 8 MB page is eight
  // copies of it and the 64 MB page eight copies of that, so all three hold the
  // same mix of content and only their size differs.
  auto repeat = [](const std::string& s, int times) {
    std::string out;
    out.reserve(s.size() * static_cast<std::size_t>(times));
    for (int i = 0; i < times; ++i) out += s;
    return out;
  };
  std::string synthetic1;
  for (std::size_t i = 0; synthetic1.size() < (1u << 20); i = (i + 1) % pages.size()) synthetic1 += pages[i];
  std::string synthetic8 = repeat(synthetic1, 8);
  std::string synthetic64 = repeat(synthetic8, 8);
  struct Input {
    std::string name;
    std::vector<std::string> docs;
  };
  std::vector<Input> inputs = {{"corpus (" + std::to_string(pages.size()) + " pages)", pages},
                               {"largest page", {pages[largest]}},
                               {"synthetic 1 MB", {synthetic1}},
                               {"synthetic 8 MB", {synthetic8}},
                               {"synthetic 64 MB", {std::move(synthetic64)}}};
  if (args.size() >= 2 && args[0] == "--write") {
    fs::create_directories(args[1]);
    const char* names[] = {"largest.html", "synthetic-1mb.html", "synthetic-8mb.html", "synthetic-64mb.html"};
    for (int i = 0; i < 4; ++i) std::ofstream(fs::path(args[1]) / names[i], std::ios::binary) << inputs[i + 1].docs[0];
    if (args.size() >= 3 && args[2] == "--only") return 0;
  }
  TagTables tables = BuiltInTagTables();
  TickDefaultEntries(tables);
  Setup normal{"default options", {}};
  Setup max{"Max optimization", {}};
  ApplyModePreset(max.settings, kModeMax);
  std::printf("%-26s %-18s %4s %10s %10s %10s\n", "input", "options", "jobs", "MB", "seconds", "MB/s");
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    const Input& in = inputs[i];
    std::size_t bytes = 0;
    for (const auto& d : in.docs) bytes += d.size();
    // The folder of pages is timed on one thread and on `jobs` threads; a
    // single page is one engine's work.
    std::vector<unsigned> runs = {1};
    if (i == 0 && jobs > 1) runs.push_back(jobs);
    for (const Setup* s : {&normal, &max}) {
      for (unsigned n : runs) {
        int repeats = bytes > (16u << 20) ? 1 : 3;
        double sec = Time(in.docs, s->settings, tables, repeats, n);
        double mb = static_cast<double>(bytes) / (1 << 20);
        std::printf("%-26s %-18s %4u %10.2f %10.3f %10.1f\n", in.name.c_str(), s->name, n, mb, sec, mb / sec);
      }
    }
  }
  return 0;
}
