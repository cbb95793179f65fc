#include "panel/adding.h"

#include <algorithm>
#include <charconv>
#include <exception>
#include <filesystem>
#include <system_error>

#include "base/codepage.h"
#include "i18n/catalogue.h"
#include "panel/source_view.h"
#include "run/paths.h"

namespace tersify {

namespace fs = std::filesystem;

namespace {

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// True when the name's extension, in any letter case, is the extension of
// one of the patterns of a filter text ("description|*.htm;*.html", the
// patterns after each bar; a text without a bar is all patterns). A name
// without an extension, or ending with a dot, has none to match.
bool ExtensionIn(const std::string& path, std::string_view filterText) {
  const std::string name = NameOf(path);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot + 1 == name.size()) return false;
  const std::string extension = LowerAscii(std::string_view(name).substr(dot));
  const std::string filter = LowerAscii(filterText);
  const bool described = filter.find('|') != std::string::npos;
  std::size_t start = 0;
  for (bool patterns = !described; start <= filter.size(); patterns = !patterns) {
    std::size_t bar = std::min(filter.find('|', start), filter.size());
    for (std::size_t at = start; patterns && at < bar;) {
      std::size_t end = std::min(filter.find(';', at), bar);
      std::string_view pattern = std::string_view(filter).substr(at, end - at);
      std::size_t patternDot = pattern.rfind('.');
      if (patternDot != std::string_view::npos) {
        std::string_view own = pattern.substr(patternDot);
        while (!own.empty() && own.back() == ' ') own.remove_suffix(1);
        if (own == extension) return true;
      }
      at = end + 1;
    }
    start = bar + 1;
  }
  return false;
}

// The decimal limit of a settings text; a text that is no number allows nothing.
std::size_t Limit(const std::string& text) {
  unsigned long long v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size()) return 0;
  return static_cast<std::size_t>(v);
}

// The interruption question of a walk; true when the walk must stop.
bool WalkInterrupted(RunState& state, const PanelContext& ctx) {
  ctx.ui.ProcessPendingEvents();
  if (state.cancelRequested && !state.cancelConfirmed) {
    if (ctx.ui.Question(ctx.catalogue.Text("const_add_break"), MessageKind::Confirmation, QuestionButtons::OkCancel) ==
        Answer::Ok)
      state.cancelConfirmed = true;
  }
  if (!state.cancelRequested) return false;
  if (state.cancelConfirmed) {
    if (state.BusyState == Busy::Path) state.BusyState = Busy::None;
    return true;
  }
  state.cancelRequested = state.cancelConfirmed = false;
  return false;
}

}  // namespace

bool IsHtmlFile(const std::string& path, const MessageCatalogue& catalogue) {
  return ExtensionIn(path, catalogue.Text("const_html_fil"));
}

bool IsFileList(const std::string& path, const MessageCatalogue& catalogue) {
  return ExtensionIn(path, catalogue.Text("const_lst_fil"));
}

std::size_t RestrictedCount(std::size_t n, const char* questionKey, const PanelContext& ctx) {
  const OptimizationSettings& s = ctx.settings;
  if (!s.cbMaxFCount) return n;
  std::size_t limit = Limit(s.edMaxFCount);
  if (n <= limit) return n;
  std::string q = FillPlaceholders(ctx.catalogue.Text(questionKey), {std::to_string(n), s.edMaxFCount});
  return ctx.ui.Question(q, MessageKind::Confirmation, QuestionButtons::YesNo) == Answer::Yes ? limit : n;
}

bool RefuseWhenBusy(const RunState& state, const PanelContext& ctx) {
  if (state.BusyState == Busy::None) return false;
  const char* key = state.BusyState == Busy::Opt ? "const_wait_opt" : "const_wait_folder";
  ShowMessageBox(ctx.ui, ctx.catalogue.Text(key), MessageKind::Warning);
  return true;
}

void AddChosenFiles(FilesPanel& panel, SourceView& view, const std::vector<std::string>& chosen,
                    const PanelContext& ctx) {
  panel.RemoveAllRows();
  std::size_t n = RestrictedCount(chosen.size(), "const_restr_Fcount2", ctx);
  for (std::size_t i = 0; i < n && i < chosen.size(); ++i) panel.AddFileRow(chosen[i], ctx);
  panel.RefreshPanel(ctx);
  view.ResetSourceView(ctx.catalogue);
}

void AddOneFile(FilesPanel& panel, const std::string* chosen, const PanelContext& ctx) {
  if (chosen && FileExists(*chosen)) panel.AddFileRow(*chosen, ctx);
  panel.RefreshPanel(ctx);
}

std::string FolderDialogText(const PanelContext& ctx) {
  const OptimizationSettings& s = ctx.settings;
  const MessageCatalogue& c = ctx.catalogue;
  std::string text = s.cbMaxFCount ? c.Text("const_f_count1") + s.edMaxFCount : c.Text("const_f_count2");
  text += "\r\n";
  if (s.cbProcessEmbeded && s.cbMaxEmbCount)
    text += c.Text("const_folder1") + s.edMaxEmbCount + " )";
  else if (s.cbProcessEmbeded)
    text += c.Text("const_folder2");
  else
    text += c.Text("const_folder3");
  return text;
}

bool WalkFolder(FilesPanel& panel, RunState& state, const std::string& folder, int level, const PanelContext& ctx) {
  if (WalkInterrupted(state, ctx)) return false;
  const OptimizationSettings& s = ctx.settings;
  std::string base = folder;
  while (!base.empty() && IsPathDelim(base.back()) && base.size() > 1) base.pop_back();
  try {
    std::error_code ec;
    fs::directory_iterator it(fs::path(folder), ec), end;
    for (; !ec && it != end; it.increment(ec)) {
      std::string p = WithTrailingDelim(base) + it->path().filename().string();
      if (FileExists(p) && IsHtmlFile(p, ctx.catalogue)) {
        if (!(s.cbMaxFCount && panel.size() >= Limit(s.edMaxFCount))) panel.AddFileRow(p, ctx);
      }
      std::error_code e2;
      bool isFolder = it->is_directory(e2) && !it->is_symlink(e2);
      // The run's own output and backup folders hold its results, not sources.
      if (isFolder && (fs::equivalent(p, s.edOptimizedPath, e2) || fs::equivalent(p, s.edBackUpPath, e2))) continue;
      if (s.cbProcessEmbeded && isFolder &&
          (!s.cbMaxEmbCount || static_cast<std::size_t>(level) < Limit(s.edMaxEmbCount))) {
        if (!WalkFolder(panel, state, p, level + 1, ctx)) return false;
      }
    }
  } catch (const std::exception&) {
    // A folder that cannot be read ends its own walk only.
  }
  return true;
}

void AddFolder(FilesPanel& panel, SourceView& view, RunState& state, const std::string* folder,
               const PanelContext& ctx) {
  if (RefuseWhenBusy(state, ctx)) return;
  if (folder) {
    panel.RemoveAllRows();
    state.BusyState = Busy::Path;
    state.cancelRequested = state.cancelConfirmed = false;
    WalkFolder(panel, state, *folder, 0, ctx);
    state.BusyState = Busy::None;
    panel.RefreshPanel(ctx);
    panel.UpdateStatusLine(ctx.catalogue);
    state.cancelRequested = state.cancelConfirmed = false;
  }
  view.ResetSourceView(ctx.catalogue);
}

void DropFiles(FilesPanel& panel, const std::vector<std::string>& paths, PanelPoint point, PanelArea area,
               const PanelContext& ctx) {
  bool inside = point.x >= area.left && point.x <= area.right && point.y >= area.top && point.y <= area.bottom;
  if (!inside) {
    if (ctx.settings.cbShowInfo)
      ShowMessageBox(ctx.ui, ctx.catalogue.Text("const_files_under_panel"), MessageKind::Warning);
    return;
  }
  std::size_t limit = Limit(ctx.settings.edMaxFCount);
  for (const std::string& path : paths) {
    if (FileExists(path) && IsHtmlFile(path, ctx.catalogue)) {
      if (panel.size() < limit) panel.AddFileRow(path, ctx);
    } else if (FileExists(path) && IsFileList(path, ctx.catalogue)) {
      LoadFileList(panel, path, ctx);
    } else if (ctx.settings.cbShowInfo) {
      ShowMessageBox(ctx.ui, ctx.catalogue.Text("const_wrong_file"), MessageKind::Warning);
    }
  }
  panel.RefreshPanel(ctx);
}

void AddFromCommandLine(FilesPanel& panel, const std::string& path, const PanelContext& ctx) {
  if (!FileExists(path)) return;
  if (IsHtmlFile(path, ctx.catalogue))
    panel.AddFileRow(path, ctx);
  else if (IsFileList(path, ctx.catalogue))
    LoadFileList(panel, path, ctx);
}

}  // namespace tersify
