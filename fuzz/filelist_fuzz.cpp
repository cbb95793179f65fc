// File lists (.lst): LoadFileList into the files panel, with its refresh from
// disk and its sort, then the round trip through SaveFileList.
//
// Input: one byte of choices (count restriction and its answer, save mode,
// sort column), then the list's bytes. Every "@" in the list stands for a
// scratch folder that holds a few HTML files, an output folder and a backup
// folder, so lines can name files that exist.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "fuzz/fuzz_support.h"
#include "panel/adding.h"
#include "panel/files_panel.h"

namespace tersify::fuzz {
namespace {

const std::string& ScratchPrefix() {
  static const std::string prefix = [] {
    const std::filesystem::path& folder = ScratchFolder("filelist");
    std::filesystem::create_directories(folder / "optimized");
    std::filesystem::create_directories(folder / "backup");
    WriteBytes(folder / "a.html", "<html><body>a   a</body></html>\r\n");
    WriteBytes(folder / "b.htm", "<p>b</p>\r\n");
    WriteBytes(folder / "c.html", "");
    WriteBytes(folder / "d.HTML", std::string(5000, 'd'));
    WriteBytes(folder / "optimized" / "a.html", "<html><body>a a</body></html>\r\n");
    WriteBytes(folder / "optimized" / "c.html", "x");
    WriteBytes(folder / "backup" / "b.htm", "<p>b</p>\r\n\r\n");
    std::string p = folder.string();
    p += std::filesystem::path::preferred_separator;
    return p;
  }();
  return prefix;
}

std::string Expand(std::string_view list) {
  std::string out;
  for (char c : list) {
    if (c == '@')
      out += ScratchPrefix();
    else
      out += c;
  }
  return out;
}

std::multiset<std::pair<std::string, bool>> RowsOf(const FilesPanel& panel) {
  std::multiset<std::pair<std::string, bool>> rows;
  for (const PanelRow& row : panel.rows()) rows.insert({row.FullPath(), row.checked});
  return rows;
}

void CheckPanel(const FilesPanel& panel, std::size_t lineBytes) {
  std::set<std::string> seen;
  for (const PanelRow& row : panel.rows()) {
    FUZZ_CHECK(seen.insert(row.FullPath()).second);
    FUZZ_CHECK(row.columns.size() == 3 || row.columns.size() == 4);
    FUZZ_CHECK(row.FullPath().size() <= lineBytes);
  }
  const std::string expected = FillPlaceholders(EnglishCatalogue().Text("const_files_info"),
                                                {std::to_string(panel.size()), std::to_string(panel.CheckedCount())});
  FUZZ_CHECK(panel.statusLine() == expected);
}

}  // namespace
}  // namespace tersify::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tersify;
  using namespace tersify::fuzz;
  ByteReader reader(data, size);
  const std::uint8_t choices = reader.Byte();
  const std::string list = Expand(reader.Rest());
  const std::string listFile = ScratchPrefix() + "list.lst";
  WriteBytes(listFile, list);

  OptimizationSettings settings;
  settings.cbMaxFCount = (choices & 1) != 0;
  settings.edMaxFCount = std::to_string((choices >> 1) & 3);
  settings.radModifyOld = (choices & 8) != 0;
  settings.edOptimizedPath = ScratchPrefix() + "optimized" + std::string(1, std::filesystem::path::preferred_separator);
  settings.edBackUpPath = ScratchPrefix() + "backup" + std::string(1, std::filesystem::path::preferred_separator);
  FuzzInteraction ui(&reader);
  PanelContext ctx{settings, EnglishCatalogue(), ui};

  FilesPanel panel;
  panel.SetSortColumnValue((choices >> 4) % 6);
  FUZZ_CHECK(LoadFileList(panel, listFile, ctx));
  CheckPanel(panel, list.size());

  // Saving and loading again, without the restriction, gives the same rows.
  const std::string savedFile = ScratchPrefix() + "saved.lst";
  FUZZ_CHECK(SaveFileList(panel, savedFile));
  settings.cbMaxFCount = false;
  FilesPanel again;
  again.SetSortColumnValue(panel.sortColumn());
  FUZZ_CHECK(LoadFileList(again, savedFile, ctx));
  FUZZ_CHECK(RowsOf(again) == RowsOf(panel));
  return 0;
}
