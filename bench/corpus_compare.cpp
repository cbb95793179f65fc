// Compares OptimizeDocument with the step-by-step reference engine on every
// page of a folder, under three option sets: the defaults, "Max optimization"
// and the defaults with script dropping. Also checks that every script block
// of a page comes back byte for byte when scripts are not dropped.
//
//   corpus_compare <folder> [--max-bytes N] [--cache DIR] [--pieces N]
//
// Pages larger than N bytes (default: no limit) are skipped and counted. With
// --cache the reference's results are kept in DIR and read back by later runs,
// so a changed engine can be compared again without waiting for the reference.
// With --pieces the engine on whole pages is the reference for the engine on
// pages cut into pieces of about N bytes (on two threads) wherever they allow.
// Prints one line per page and option set, then a summary; exits 1 on any
// difference.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "engine/engine.h"
#include "engine/engine_testing.h"
#include "i18n/catalogue.h"
#include "i18n/interaction.h"
#include "reference/reference_engine.h"
#include "settings/tag_tables.h"

namespace fs = std::filesystem;
using namespace tersify;

namespace {

using bench::ReadFile;
using bench::SilentUser;

// The script blocks of a text as the cutting pass takes them, in order.
std::vector<std::string> ScriptBlocksOf(const std::string& text, const OptimizationSettings& s) {
  reference::Doc d(text, CodePage::Cp1252);
  reference::CutScripts(d, s);
  std::vector<std::string> out;
  for (const auto& block : d.scripts) {
    std::string b;
    for (char32_t c : block) b.push_back(static_cast<char>(c & 0xFF));
    out.push_back(b);
  }
  return out;
}

// A flat file name for a page's result: its path in the folder with "/" as "_".
std::string CacheName(const fs::path& file, const fs::path& root, const char* setup) {
  std::string name = fs::relative(file, root).string();
  std::replace(name.begin(), name.end(), '/', '_');
  return name + "." + setup;
}

bool Contains(const std::string& hay, const std::string& needle) { return hay.find(needle) != std::string::npos; }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: corpus_compare <folder> [--max-bytes N]\n");
    return 2;
  }
  std::size_t maxBytes = static_cast<std::size_t>(-1);
  fs::path cache;
  std::size_t pieces = 0;
  for (int i = 2; i + 1 < argc; i += 2) {
    std::string flag = argv[i];
    if (flag == "--max-bytes")
      maxBytes = std::strtoull(argv[i + 1], nullptr, 10);
    else if (flag == "--cache")
      cache = argv[i + 1];
    else if (flag == "--pieces")
      pieces = std::strtoull(argv[i + 1], nullptr, 10);
  }
  if (!cache.empty()) fs::create_directories(cache);
  std::vector<fs::path> files;
  for (const auto& e : fs::recursive_directory_iterator(argv[1]))
    if (e.is_regular_file()) files.push_back(e.path());
  std::sort(files.begin(), files.end(),
            [](const fs::path& a, const fs::path& b) { return fs::file_size(a) < fs::file_size(b); });

  TagTables tables = BuiltInTagTables();
  TickDefaultEntries(tables);
  struct Setup {
    const char* name;
    OptimizationSettings settings;
  };
  std::vector<Setup> setups(3);
  setups[0].name = "default";
  setups[1].name = "max";
  ApplyModePreset(setups[1].settings, kModeMax);
  setups[2].name = "delscripts";
  setups[2].settings["cbDelScripts"] = true;

  Engine engine;
  Engine cut;
  if (pieces) {
    SetPieceSizeForTesting(cut, pieces);
    SetPieceSizeForTesting(engine, std::size_t{1} << 60);  // whole pages
  }
  std::size_t compared = 0, differing = 0, skipped = 0, pages = 0, scriptsChecked = 0, scriptsLost = 0;
  for (const fs::path& file : files) {
    std::string text = LoadDocumentText(ReadFile(file));
    if (text.size() > maxBytes) {
      ++skipped;
      std::printf("SKIP %s (%zu bytes)\n", fs::relative(file, argv[1]).c_str(), text.size());
      continue;
    }
    ++pages;
    for (const Setup& setup : setups) {
      PassFailures failures;
      EngineContext ctx{PassOptionsOf(setup.settings), tables.removal, tables.replacement, failures, {}};
      std::string mine = text;
      auto t0 = std::chrono::steady_clock::now();
      OptimizeResult r = engine.OptimizeDocument(mine, ctx);
      auto t1 = std::chrono::steady_clock::now();
      std::string ref;
      const fs::path cached = cache.empty() ? fs::path() : cache / CacheName(file, argv[1], setup.name);
      if (pieces) {
        ref = std::move(mine);
        EngineContext cutCtx{ctx.options, ctx.removal, ctx.replacement, failures, {}, 2};
        mine = text;
        r = cut.OptimizeDocument(mine, cutCtx);
      } else if (!cached.empty() && fs::exists(cached)) {
        ref = ReadFile(cached);
      } else {
        ref = reference::Optimize(text, setup.settings, tables.removal, tables.replacement, CodePage::Cp1252);
        if (!cached.empty()) std::ofstream(cached, std::ios::binary) << ref;
      }
      auto t2 = std::chrono::steady_clock::now();
      bool same = r == OptimizeResult::Done && mine == ref;
      ++compared;
      if (!same) ++differing;
      std::size_t lost = 0;
      if (!setup.settings["cbDelScripts"]) {
        for (const std::string& block : ScriptBlocksOf(text, setup.settings)) {
          ++scriptsChecked;
          if (!Contains(mine, block)) ++lost;
        }
        scriptsLost += lost;
      }
      std::printf("%s %-10s %s %zu bytes engine %.3f s reference %.3f s%s\n", same ? "SAME" : "DIFF", setup.name,
                  fs::relative(file, argv[1]).c_str(), text.size(), std::chrono::duration<double>(t1 - t0).count(),
                  std::chrono::duration<double>(t2 - t1).count(), lost ? " SCRIPT-LOST" : "");
      std::fflush(stdout);
    }
  }
  std::printf("SUMMARY pages %zu, comparisons %zu, differing %zu, skipped pages %zu, scripts checked %zu, lost %zu\n",
              pages, compared, differing, skipped, scriptsChecked, scriptsLost);
  return differing || scriptsLost ? 1 : 0;
}
