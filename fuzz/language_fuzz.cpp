// Language files: the reader, every catalogue lookup with its line marks and
// placeholders, the caption line marks, and applying a file to windows.
//
// Input: one byte that picks the code page (none, 1250, 1251, 1252), then the
// bytes of the language file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "i18n/language.h"

namespace tersify::fuzz {
namespace {

// A component of every kind at once, recording what it was given.
class Component : public TranslatableComponent {
 public:
  explicit Component(std::string name) : name_(std::move(name)) {}
  std::string Name() const override { return name_; }
  bool HasCaption() const override { return true; }
  void SetCaption(const std::string& text) override { caption = text; }
  bool HasHint() const override { return true; }
  void SetHint(const std::string& text) override { hint = text; }
  std::size_t LineCount() const override { return lines.size(); }
  void SetLine(std::size_t i, const std::string& text) override { lines.at(i) = text; }
  std::size_t ItemCount() const override { return items.size(); }
  void SetItem(std::size_t i, const std::string& text) override { items.at(i) = text; }
  int SelectedItem() const override { return selected; }
  void SelectItem(int i) override { selected = i; }
  std::size_t ColumnCount() const override { return columns.size(); }
  void SetColumnCaption(std::size_t i, const std::string& text) override { columns.at(i) = text; }

  std::string caption, hint;
  std::vector<std::string> lines = std::vector<std::string>(3, "line");
  std::vector<std::string> items = std::vector<std::string>(3, "item");
  std::vector<std::string> columns = std::vector<std::string>(6, "column");
  int selected = 1;

 private:
  std::string name_;
};

class Window : public TranslatableWindow {
 public:
  Window(std::string name, const std::vector<std::string>& componentNames) : name_(std::move(name)) {
    for (const auto& n : componentNames) components_.emplace_back(n);
  }
  std::string Name() const override { return name_; }
  void SetTitle(const std::string& text) override { title = text; }
  std::vector<TranslatableComponent*> Components() override {
    std::vector<TranslatableComponent*> out;
    for (auto& c : components_) out.push_back(&c);
    return out;
  }
  std::string title;

 private:
  std::string name_;
  std::vector<Component> components_;
};

// The component names a window would have, taken from the file's own keys
// ("frmX.name.Caption" gives "name"), so the lookups hit what the file holds.
std::vector<std::string> ComponentNamesOf(const LanguageFile& file, std::string_view section) {
  std::vector<std::string> names = {"butClose", "comboMode", "listFiles"};
  for (const std::string& key : file.Keys(section)) {
    std::size_t dot = key.find('.');
    if (dot == std::string::npos) continue;
    std::size_t end = key.find('.', dot + 1);
    if (end == std::string::npos) continue;
    names.push_back(key.substr(dot + 1, end - dot - 1));
    if (names.size() >= 40) break;
  }
  return names;
}

void CheckLookups(const LanguageFile& file) {
  // Every listed key is found, and finds its first value.
  std::size_t sections = 0;
  for (const std::string& section : file.SectionNames()) {
    FUZZ_CHECK(file.HasSection(section));
    const std::vector<std::string> keys = file.Keys(section);
    FUZZ_CHECK(keys.size() == file.KeyCount(section));
    for (const std::string& key : keys) {
      auto value = file.Find(section, key);
      FUZZ_CHECK(value.has_value());
      FUZZ_CHECK(value->find_first_of("\r\n") == std::string_view::npos);
      const std::string decoded = DecodeLineMarks(*value);
      // Each mark gives one CR, and no mark survives decoding.
      FUZZ_CHECK(decoded.find("*|*") == std::string::npos);
      std::size_t crs = 0;
      for (char c : decoded) crs += c == '\r' ? 1 : 0;
      FUZZ_CHECK(decoded.size() + 2 * crs == value->size());
    }
    if (++sections >= 64) break;
  }
}

void CheckCatalogue(const std::shared_ptr<const LanguageFile>& file) {
  MessageCatalogue catalogue(file);
  for (const CatalogueEntry& e : CatalogueEntries()) {
    const std::string text = catalogue.Text(e.key);
    const std::string filled = FillPlaceholders(text, {"first", "2", "third"});
    FUZZ_CHECK(filled.size() <= text.size() + 3 * 5);
    FuzzInteraction ui;
    ShowMessageBox(ui, filled, MessageKind::Information);
  }
  (void)LanguagePathFromOptions(*file);
}

void CheckWindows(const LanguageFile& file) {
  for (std::string_view name : kLanguageWindowOrder) {
    Window window(std::string(name), ComponentNamesOf(file, name));
    ApplyLanguageToWindow(window, file);
    for (TranslatableComponent* c : window.Components()) {
      auto* component = static_cast<Component*>(c);
      FUZZ_CHECK(component->lines.size() == 3 && component->items.size() == 3 && component->columns.size() == 6);
      FUZZ_CHECK(component->selected == 1);
    }
  }
}

}  // namespace
}  // namespace tersify::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tersify;
  using namespace tersify::fuzz;
  ByteReader reader(data, size);
  std::optional<CodePage> codePage;
  switch (reader.Below(4)) {
    case 1: codePage = CodePage::Cp1250; break;
    case 2: codePage = CodePage::Cp1251; break;
    case 3: codePage = CodePage::Cp1252; break;
    default: break;
  }
  auto file = std::make_shared<const LanguageFile>(LanguageFile::FromBytes(reader.Rest(), codePage));
  CheckLookups(*file);
  CheckCatalogue(file);
  CheckWindows(*file);
  return 0;
}
