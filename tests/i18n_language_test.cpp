#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <stdexcept>

#include "i18n/language.h"
#include "support/scripted_interaction.h"
#include "support/temp_folder.h"

namespace tersify {
namespace {

// A component that records its texts; which kinds it has is set per test.
struct FakeComponent : TranslatableComponent {
  std::string name;
  std::optional<std::string> caption, hint;
  std::vector<std::string> lines, items, columns;
  int selected = -1;
  bool throwOnCaption = false;

  explicit FakeComponent(std::string n) : name(std::move(n)) {}
  std::string Name() const override { return name; }
  bool HasCaption() const override { return caption.has_value(); }
  void SetCaption(const std::string& t) override {
    if (throwOnCaption) throw std::runtime_error("cannot set");
    caption = t;
  }
  bool HasHint() const override { return hint.has_value(); }
  void SetHint(const std::string& t) override { hint = t; }
  std::size_t LineCount() const override { return lines.size(); }
  void SetLine(std::size_t i, const std::string& t) override { lines.at(i) = t; }
  std::size_t ItemCount() const override { return items.size(); }
  void SetItem(std::size_t i, const std::string& t) override {
    items.at(i) = t;
    selected = -1;  // like a toolkit list whose selection is lost when items change
  }
  int SelectedItem() const override { return selected; }
  void SelectItem(int i) override { selected = i; }
  std::size_t ColumnCount() const override { return columns.size(); }
  void SetColumnCaption(std::size_t i, const std::string& t) override { columns.at(i) = t; }
};

struct FakeWindow : TranslatableWindow {
  std::string name, title;
  std::vector<std::unique_ptr<FakeComponent>> components;
  std::vector<std::string>* log = nullptr;

  FakeWindow(std::string n, std::string t) : name(std::move(n)), title(std::move(t)) {}
  FakeComponent& Add(std::string n) { return *components.emplace_back(std::make_unique<FakeComponent>(std::move(n))); }
  std::string Name() const override { return name; }
  void SetTitle(const std::string& t) override {
    if (log) log->push_back("title " + name);
    title = t;
  }
  std::vector<TranslatableComponent*> Components() override {
    std::vector<TranslatableComponent*> out;
    for (auto& c : components) out.push_back(c.get());
    return out;
  }
  void LanguageChanged() override {
    if (log) log->push_back("changed " + name);
  }
};

LanguageFile Parse(std::string_view text) { return LanguageFile::FromBytes(text, CodePage::Cp1252); }

TEST(DecodeLineMarksTest, EveryMarkIsOneCarriageReturn) {
  EXPECT_EQ(DecodeLineMarks("a*|*b"), "a\rb");
  EXPECT_EQ(DecodeLineMarks("*|*a*|*"), "\ra\r");
  EXPECT_EQ(DecodeLineMarks("*|**|*"), "\r\r");
  EXPECT_EQ(DecodeLineMarks("*|*|*"), "\r|*");
  EXPECT_EQ(DecodeLineMarks("plain *| text |*"), "plain *| text |*");
  EXPECT_EQ(DecodeLineMarks(""), "");
}

TEST(ApplyLanguageToWindowTest, CaptionsHintsLinesItemsColumns) {
  FakeWindow w("frmOptions", "Options");
  FakeComponent& close = w.Add("butClose");
  close.caption = "Close";
  close.hint = "Close the dialog";
  FakeComponent& memo = w.Add("memoInfo");
  memo.lines = {"zero", "one", "two", "three"};
  FakeComponent& mode = w.Add("comboMode");
  mode.items = {"Normal optimization", "Max optimization", "Users' settings"};
  mode.selected = 2;
  FakeComponent& list = w.Add("listFiles");
  list.columns = {"Filename", "Path", "Date"};
  FakeComponent& bevel = w.Add("bevel1");  // no texts at all

  const LanguageFile f = Parse(
      "[FRMOPTIONS]\n"
      "FRMOPTIONS.CAPTION=Optionen\n"
      "frmOptions.butClose.Caption=Fermer\n"
      "frmOptions.butClose.Hint=first*|*second\n"
      "frmOptions.memoInfo.lines[0]=fsdef\n"
      "frmOptions.memoInfo.lines[1]=\n"
      "frmOptions.memoInfo.lines[2]=deux*|*\n"
      "frmOptions.memoInfo.lines[4]=never added\n"
      "frmOptions.comboMode.items[0]=Normal\n"
      "frmOptions.comboMode.items[1]=\n"
      "frmOptions.comboMode.items[3]=never added\n"
      "frmOptions.listFiles.columns[1].caption=Pfad\n"
      "frmOptions.listFiles.columns[2].caption=\n"
      "frmOptions.bevel1.Caption=ignored\n");
  ApplyLanguageToWindow(w, f);
  EXPECT_EQ(w.title, "Optionen");
  EXPECT_EQ(close.caption, "Fermer");
  EXPECT_EQ(close.hint, "first\rsecond");
  EXPECT_EQ(memo.lines, (std::vector<std::string>{"zero", "", "deux*|*", "three"}));  // lines take values unchanged
  EXPECT_EQ(mode.items, (std::vector<std::string>{"Normal", "Max optimization", "Users' settings"}));
  EXPECT_EQ(mode.selected, 2);
  EXPECT_EQ(list.columns, (std::vector<std::string>{"Filename", "Pfad", "Date"}));
  EXPECT_FALSE(bevel.caption.has_value());
}

TEST(ApplyLanguageToWindowTest, UnnamedOrEmptyOrSpacedEntriesChangeNothing) {
  FakeWindow w("frmAbout", "About");
  FakeComponent& lab = w.Add("labVersion");
  lab.caption = "2.0";
  lab.hint = "";
  ApplyLanguageToWindow(w, Parse("[frmAbout]\nfrmAbout.Caption = About it\nfrmAbout.labVersion.Caption=\n"
                                 "[frmMain]\nfrmAbout.labVersion.Hint=wrong section\n"));
  EXPECT_EQ(w.title, "About");
  EXPECT_EQ(lab.caption, "2.0");
  EXPECT_EQ(lab.hint, "");
  // The window's title takes marks unchanged.
  ApplyLanguageToWindow(w, Parse("[frmAbout]\nfrmAbout.Caption=a*|*b\n"));
  EXPECT_EQ(w.title, "a*|*b");
}

struct WindowSet {
  std::vector<std::string> log;
  std::vector<std::unique_ptr<FakeWindow>> windows;
  FakeWindow& Add(const std::string& name, const std::string& title) {
    auto& w = *windows.emplace_back(std::make_unique<FakeWindow>(name, title));
    w.log = &log;
    w.Add("butClose").caption = "Close";
    return w;
  }
  std::vector<TranslatableWindow*> Pointers() {
    std::vector<TranslatableWindow*> out;
    for (auto& w : windows) out.push_back(w.get());
    return out;
  }
};

TEST(ApplyLanguageTest, DefaultFileInOrderThenLanguageChanged) {
  const testing::TempFolder dir;
  const std::string folder = dir.root().string() + "/";
  std::string file = "[Misc]\nconst_break:string=Break\n";
  for (std::string_view n : kLanguageWindowOrder)
    file += "[" + std::string(n) + "]\n" + std::string(n) + ".Caption=T\n";
  file += "[frmExtra]\nfrmExtra.Caption=T\n";
  dir.Write("Deflan.dat", file);

  WindowSet set;
  // Given in another order than the one they take the language in.
  for (const char* n :
       {"frmReport", "frmExtra", "frmTagReplaceDlg", "frmMain", "frmAbout", "frmReplaceDlg", "frmOptions"})
    set.Add(n, "old");
  MessageCatalogue catalogue;
  testing::ScriptedInteraction ui;
  const auto windows = set.Pointers();
  ASSERT_TRUE(ApplyLanguage("", folder, CodePage::Cp1252, catalogue, windows, ui));
  EXPECT_TRUE(ui.shown.empty());
  EXPECT_EQ(catalogue.Text("const_break"), "Break");
  EXPECT_EQ(set.log,
            (std::vector<std::string>{"title frmAbout", "title frmMain", "title frmOptions", "title frmReplaceDlg",
                                      "title frmReport", "title frmTagReplaceDlg", "title frmExtra", "changed frmAbout",
                                      "changed frmMain", "changed frmOptions", "changed frmReplaceDlg",
                                      "changed frmReport", "changed frmTagReplaceDlg", "changed frmExtra"}));
}

TEST(ApplyLanguageTest, MiscOnlyFileTranslatesMessagesAndLeavesWindows) {
  const testing::TempFolder dir;
  dir.Write("fr.lng", "[Misc]\nconst_break:string=Interrompre\n");
  WindowSet set;
  FakeWindow& main = set.Add("frmMain", "Tersify v.2.0");
  MessageCatalogue catalogue;
  testing::ScriptedInteraction ui;
  const auto windows = set.Pointers();
  ASSERT_TRUE(ApplyLanguage(dir.Path("fr.lng"), "/nowhere/", CodePage::Cp1252, catalogue, windows, ui));
  EXPECT_EQ(catalogue.Text("const_break"), "Interrompre");
  EXPECT_EQ(main.title, "Tersify v.2.0");
  EXPECT_EQ(main.components[0]->caption, "Close");
}

TEST(ApplyLanguageTest, MissingFileEmptiesMessagesAndLeavesWindows) {
  const testing::TempFolder dir;
  WindowSet set;
  FakeWindow& about = set.Add("frmAbout", "About");
  MessageCatalogue catalogue(std::make_shared<LanguageFile>(Parse("[Misc]\nconst_break:string=Break\n")));
  testing::ScriptedInteraction ui;
  const auto windows = set.Pointers();
  EXPECT_TRUE(ApplyLanguage(dir.Path("none.lng"), "/nowhere/", CodePage::Cp1252, catalogue, windows, ui));
  EXPECT_TRUE(ui.shown.empty());
  EXPECT_EQ(catalogue.Text("const_break"), "");
  EXPECT_EQ(about.title, "About");
  EXPECT_EQ(set.log, (std::vector<std::string>{"changed frmAbout"}));
}

TEST(ApplyLanguageTest, UnreadableFileReportsWithThePreviousLanguage) {
  const testing::TempFolder dir;
  WindowSet set;
  set.Add("frmAbout", "About");
  MessageCatalogue catalogue(
      std::make_shared<LanguageFile>(Parse("[Misc]\nconst_err_lan:string=Error applying language file\n")));
  testing::ScriptedInteraction ui;
  const auto windows = set.Pointers();
  // A folder in place of the file cannot be read.
  EXPECT_FALSE(ApplyLanguage(dir.root().string(), "/nowhere/", CodePage::Cp1252, catalogue, windows, ui));
  ASSERT_EQ(ui.shown.size(), 1u);
  EXPECT_EQ(ui.shown[0].text, "\rError applying language file");
  EXPECT_EQ(ui.shown[0].kind, MessageKind::Error);
  EXPECT_EQ(catalogue.Text("const_err_lan"), "Error applying language file");
  EXPECT_TRUE(set.log.empty());
}

TEST(ApplyLanguageTest, FailingWindowKeepsTextsSetBefore) {
  const testing::TempFolder dir;
  dir.Write("de.lng",
            "[Misc]\nconst_err_lan:string=Sprachfehler\n"
            "[frmAbout]\nfrmAbout.Caption=Info\n"
            "[frmMain]\nfrmMain.Caption=Haupt\nfrmMain.butClose.Caption=Schliessen\n"
            "[frmOptions]\nfrmOptions.Caption=Optionen\n");
  WindowSet set;
  FakeWindow& about = set.Add("frmAbout", "About");
  FakeWindow& main = set.Add("frmMain", "Main");
  main.components[0]->throwOnCaption = true;
  FakeWindow& options = set.Add("frmOptions", "Options");
  MessageCatalogue catalogue;
  testing::ScriptedInteraction ui;
  const auto windows = set.Pointers();
  EXPECT_FALSE(ApplyLanguage(dir.Path("de.lng"), "/nowhere/", CodePage::Cp1252, catalogue, windows, ui));
  EXPECT_EQ(ui.Messages(), (std::vector<std::string>{"\rSprachfehler"}));
  EXPECT_EQ(about.title, "Info");
  EXPECT_EQ(main.title, "Haupt");
  EXPECT_EQ(options.title, "Options");
}

TEST(ApplyLanguageTest, AnsiFileIsDecoded) {
  const testing::TempFolder dir;
  dir.Write("ru.lng", "[frmMain]\nfrmMain.butClose.Caption=\xC2\xFB\xF5\xEE\xE4\n");
  WindowSet set;
  FakeWindow& main = set.Add("frmMain", "Main");
  MessageCatalogue catalogue;
  testing::ScriptedInteraction ui;
  const auto windows = set.Pointers();
  ASSERT_TRUE(ApplyLanguage(dir.Path("ru.lng"), "", CodePage::Cp1251, catalogue, windows, ui));
  EXPECT_EQ(main.components[0]->caption, "\xD0\x92\xD1\x8B\xD1\x85\xD0\xBE\xD0\xB4");
}

TEST(LanguagePathTest, ChosenOrDefaultAndFromOptions) {
  EXPECT_EQ(LanguageFilePath("", "/opt/tersify/"), "/opt/tersify/Deflan.dat");
  EXPECT_EQ(LanguageFilePath("/home/u/fr.lng", "/opt/tersify/"), "/home/u/fr.lng");
  EXPECT_EQ(LanguagePathFromOptions(Parse("[settings]\nedLan=/x/fr.lng\n")), "/x/fr.lng");
  EXPECT_EQ(LanguagePathFromOptions(Parse("[settings]\ncbDelKav=1\n")), "");
  EXPECT_EQ(LanguagePathFromOptions(Parse("[settings]\n[other]\nedLan=/x\n")), std::nullopt);
  EXPECT_EQ(LanguagePathFromOptions(LanguageFile()), std::nullopt);
}

}  // namespace
}  // namespace tersify
