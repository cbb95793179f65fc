#include "i18n/language.h"

#include <algorithm>

namespace tersify {
namespace {

constexpr std::string_view kLineMark = "*|*";
constexpr std::string_view kKeepLine = "fsdef";

void ApplyToComponent(TranslatableComponent& component, const std::string& prefix, const LanguageFile& file,
                      const std::string& section) {
  if (auto caption = file.Find(section, prefix + ".Caption"); caption && !caption->empty() && component.HasCaption())
    component.SetCaption(DecodeLineMarks(*caption));
  if (auto hint = file.Find(section, prefix + ".Hint"); hint && !hint->empty() && component.HasHint())
    component.SetHint(DecodeLineMarks(*hint));

  const std::size_t lines = component.LineCount();
  for (std::size_t i = 0; i < lines; ++i) {
    const std::string value = file.Value(section, prefix + ".lines[" + std::to_string(i) + "]", kKeepLine);
    if (value != kKeepLine) component.SetLine(i, value);
  }

  const std::size_t items = component.ItemCount();
  if (items > 0) {
    const int selected = component.SelectedItem();
    for (std::size_t i = 0; i < items; ++i) {
      auto item = file.Find(section, prefix + ".items[" + std::to_string(i) + "]");
      if (item && !item->empty()) component.SetItem(i, std::string(*item));
    }
    if (selected >= 0) component.SelectItem(selected);
  }

  const std::size_t columns = component.ColumnCount();
  for (std::size_t i = 0; i < columns; ++i) {
    auto column = file.Find(section, prefix + ".columns[" + std::to_string(i) + "].caption");
    if (column && !column->empty()) component.SetColumnCaption(i, std::string(*column));
  }
}

// The windows in the order they take a language.
std::vector<TranslatableWindow*> InLanguageOrder(std::span<TranslatableWindow* const> windows) {
  std::vector<TranslatableWindow*> ordered;
  ordered.reserve(windows.size());
  for (std::string_view name : kLanguageWindowOrder)
    for (TranslatableWindow* w : windows)
      if (w != nullptr && FoldName(w->Name()) == FoldName(name)) ordered.push_back(w);
  for (TranslatableWindow* w : windows)
    if (w != nullptr && std::find(ordered.begin(), ordered.end(), w) == ordered.end()) ordered.push_back(w);
  return ordered;
}

void ReportFailure(const MessageCatalogue& catalogue, UserInteraction& ui) {
  ShowMessageBox(ui, catalogue.Text("const_err_lan"), MessageKind::Error);
}

}  // namespace

std::string DecodeLineMarks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t start = 0;
  for (std::size_t mark = text.find(kLineMark); mark != std::string_view::npos; mark = text.find(kLineMark, start)) {
    out += text.substr(start, mark - start);
    out.push_back('\r');
    start = mark + kLineMark.size();
  }
  out += text.substr(start);
  return out;
}

void ApplyLanguageToWindow(TranslatableWindow& window, const LanguageFile& file) {
  const std::string name = window.Name();
  if (auto title = file.Find(name, name + ".Caption"); title && !title->empty()) window.SetTitle(std::string(*title));
  for (TranslatableComponent* component : window.Components()) {
    if (component == nullptr) continue;
    ApplyToComponent(*component, name + "." + component->Name(), file, name);
  }
}

std::string LanguageFilePath(const std::string& chosenPath, const std::string& programFolder) {
  if (!chosenPath.empty()) return chosenPath;
  return programFolder + std::string(kDefaultLanguageFileName);
}

bool ApplyLanguage(const std::string& chosenPath, const std::string& programFolder, CodePage codePage,
                   MessageCatalogue& catalogue, std::span<TranslatableWindow* const> windows, UserInteraction& ui) {
  std::optional<LanguageFile> loaded;
  try {
    loaded = LanguageFile::Load(LanguageFilePath(chosenPath, programFolder), codePage);
  } catch (...) {
    loaded.reset();
  }
  if (!loaded) {
    ReportFailure(catalogue, ui);
    return false;
  }
  auto file = std::make_shared<const LanguageFile>(std::move(*loaded));
  catalogue.SetLanguageFile(file);
  try {
    const std::vector<TranslatableWindow*> ordered = InLanguageOrder(windows);
    for (TranslatableWindow* window : ordered) ApplyLanguageToWindow(*window, *file);
    for (TranslatableWindow* window : ordered) window->LanguageChanged();
  } catch (...) {
    ReportFailure(catalogue, ui);
    return false;
  }
  return true;
}

std::optional<std::string> LanguagePathFromOptions(const LanguageFile& options) {
  if (options.KeyCount("settings") == 0) return std::nullopt;
  return options.Value("settings", "edLan");
}

}  // namespace tersify
