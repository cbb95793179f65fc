// The German language file: complete, and a round trip through it leaves
// every English text as it was.
#include <QAbstractButton>
#include <QTest>
#include <map>
#include <set>

#include "i18n/language_file.h"
#include "ui/options_dialog.h"
#include "ui/program_fixture.h"
#include "ui/translatable.h"

using tersify::CodePage;
using tersify::LanguageFile;
using tersify::testing::Program;

namespace {

LanguageFile Load(const char* name, std::optional<CodePage> codePage = CodePage::Cp1252) {
  auto file = LanguageFile::Load(std::string(TERSIFY_SOURCE_DIR "/lang/") + name, codePage);
  if (!file) qFatal("cannot read %s", name);
  return *file;
}

// Every text each window shows, by window and key.
std::map<std::string, std::string> Snapshot(Program& p) {
  std::map<std::string, std::string> texts;
  for (tersify::ui::QtWindow* w : p.app->translatableWindows())
    for (const std::string& line : tersify::ui::DescribeWindowTexts(*w)) {
      std::size_t eq = line.find('=');
      texts[line.substr(0, eq)] = line.substr(eq + 1);
    }
  return texts;
}

}  // namespace

class LanguageTest : public QObject {
  Q_OBJECT
 private slots:
  void germanTranslatesEveryKeyOfDeflan() {
    LanguageFile english = Load("Deflan.dat");
    LanguageFile german = Load("German.lng");
    QStringList missing, empty;
    int keys = 0;
    for (const std::string& section : english.SectionNames()) {
      for (const std::string& key : english.Keys(section)) {
        ++keys;
        auto value = german.Find(section, key);
        if (!value)
          missing << QString::fromStdString(section + "/" + key);
        else if (value->empty() && !english.Value(section, key).empty())
          empty << QString::fromStdString(key);
      }
    }
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(", ")));
    QVERIFY2(empty.isEmpty(), qPrintable(empty.join(", ")));
    QVERIFY(keys > 250);
    // No key of its own that English lacks: such a text would stay German
    // after switching back.
    for (const std::string& section : german.SectionNames())
      for (const std::string& key : german.Keys(section))
        QVERIFY2(english.Find(section, key), (section + "/" + key).c_str());
  }

  void germanIsCodePage1252WithCrLf() {
    QFile f(TERSIFY_SOURCE_DIR "/lang/German.lng");
    QVERIFY(f.open(QIODevice::ReadOnly));
    QByteArray bytes = f.readAll();
    QVERIFY(!bytes.startsWith("\xEF\xBB\xBF"));
    // "Schließen" with the single byte 0xDF, never the UTF-8 pair C3 9F.
    QVERIFY(
        bytes.contains("Schlie\xDF"
                       "en"));
    QVERIFY(!bytes.contains("\xC3\x9F"));
    QVERIFY(!bytes.contains("\xC3\xA4"));
    QCOMPARE(bytes.count("\n"), bytes.count("\r\n"));
    LanguageFile german = Load("German.lng");
    QCOMPARE(german.Value("frmAbout", "frmAbout.butClose.Caption"), std::string("Schlie\xC3\x9F"
                                                                                "en"));
  }

  void textsComparedByTheProgramDifferInGerman() {
    // Break and Cancel, the two tag dialog modes and the source view hint are
    // told apart by their texts.
    LanguageFile german = Load("German.lng");
    auto misc = [&](const char* key) { return german.Value("Misc", std::string(key) + ":string"); };
    QVERIFY(misc("const_break") != misc("const_cancel"));
    QVERIFY(misc("const_rep_cap") != misc("const_del_cap"));
    QVERIFY(!misc("const_filesrc_hint").empty());
    // Placeholders stay in their order.
    QCOMPARE(misc("const_files_info"), std::string("Dateien: %d   Ausgew\xC3\xA4hlt: %d"));
    std::string restrict = misc("const_restr_Fcount");
    QVERIFY(restrict.find("%d") < restrict.find("%s"));
    QVERIFY(misc("const_html_fil").find("|*.htm;*.html") != std::string::npos);
  }

  // Language files are 8-bit texts in the system's code page: under a
  // Russian locale a byte of the upper half is a Cyrillic letter.
  void languageFilesAreReadInTheSystemCodePage() {
    const QByteArray saved = qgetenv("LC_ALL");
    qputenv("LC_ALL", "ru_RU.UTF-8");
    Program p;
    p.Start();
    if (saved.isNull())
      qunsetenv("LC_ALL");
    else
      qputenv("LC_ALL", saved);
    QFile file(p.Path("russian.lng"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[frmMain]\r\nfrmMain.butQuit.Caption=\xC2\xFB\xF5\xEE\xE4\r\n");
    file.close();
    p.app->settings().edLan = p.PathS("russian.lng");
    QVERIFY(p.app->ApplyLanguage());
    auto* quit = p.app->main().findChild<QAbstractButton*>("butQuit");
    QVERIFY(quit);
    QCOMPARE(quit->text(), QString::fromUtf8("\xD0\x92\xD1\x8B\xD1\x85\xD0\xBE\xD0\xB4"));  // "Выход"
  }

  void switchingToGermanAndBackRestoresEveryText() {
    Program p;
    p.Start();
    std::map<std::string, std::string> english = Snapshot(p);
    QVERIFY(english.size() > 150);
    QFile::copy(TERSIFY_SOURCE_DIR "/lang/German.lng", p.Path("german.lng"));
    p.app->settings().edLan = p.PathS("german.lng");
    QVERIFY(p.app->ApplyLanguage());
    QVERIFY(p.user.Messages().empty());
    std::map<std::string, std::string> german = Snapshot(p);
    QCOMPARE(german.size(), english.size());
    QCOMPARE(QString::fromStdString(german["frmMain.butQuit.Caption"]), QString("Beenden"));
    QCOMPARE(QString::fromStdString(german["frmMain.listFiles.columns[3].caption"]),
             QString::fromUtf8("Gr\xC3\xB6\xC3\x9F"
                               "e  [Bytes]"));
    QCOMPARE(p.app->main().findChild<QAction*>("mainmenuRefresh")->text(), QString("Aktualisieren"));
    QCOMPARE(p.app->catalogue().Text("const_cancel"), std::string("Abbrechen"));
    // Most texts change; the few equal ones are marks and numbers ("...", "0", "<").
    int same = 0;
    for (const auto& [key, text] : english)
      if (german[key] == text) ++same;
    QVERIFY2(same < 40, qPrintable(QString::number(same)));

    // Back to English with the options dialog's button.
    p.app->options().findChild<QAbstractButton*>("butEnglish")->click();
    QVERIFY(p.app->settings().edLan.empty());
    std::map<std::string, std::string> back = Snapshot(p);
    QStringList differing;
    for (const auto& [key, text] : english)
      if (back[key] != text) differing << QString::fromStdString(key + "=" + back[key]);
    QVERIFY2(differing.isEmpty(), qPrintable(differing.join("; ")));
    QCOMPARE(p.app->main().findChild<QAction*>("mainmenuRefresh")->text(), QString("Refresh"));
    QCOMPARE(p.app->catalogue().Text("const_cancel"), std::string("Cancel"));
  }

  void deflanNamesNoComponentThatIsNotThere() {
    // Every window key of Deflan.dat names a text the window shows.
    Program p;
    p.Start();
    std::map<std::string, std::string> shown = Snapshot(p);
    std::set<std::string> folded;
    for (const auto& [key, text] : shown) folded.insert(tersify::FoldName(key));
    LanguageFile english = Load("Deflan.dat");
    QStringList stale;
    for (const std::string& section : english.SectionNames()) {
      if (tersify::FoldName(section) == "misc") continue;
      for (const std::string& key : english.Keys(section))
        if (!folded.count(tersify::FoldName(key))) stale << QString::fromStdString(key);
    }
    QVERIFY2(stale.isEmpty(), qPrintable(stale.join(", ")));
  }
};

QTEST_MAIN(LanguageTest)
#include "language_test.moc"
