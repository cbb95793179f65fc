// Opens every window of the desktop program in English and in German at its
// smallest size and reports each text that is wider (or taller) than the
// place it has: labels, buttons, check boxes, tabs, group titles and window
// titles. It measures with the widgets' own size hints, never with pictures.
// Usage: tersify_layout_check SOURCE_FOLDER (the folder that holds lang/).
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>

#include "app/application.h"
#include "ui/about_dialog.h"
#include "ui/main_window.h"
#include "ui/options_dialog.h"
#include "ui/replace_dialog.h"
#include "ui/report_window.h"
#include "ui/tag_dialog.h"
#include "ui/text.h"

namespace {

using tersify::ui::ToQ;

// Answers every question with its first button and shows nothing.
class SilentUser : public tersify::UserInteraction {
 public:
  void MessageBox(const std::string&, tersify::MessageKind) override {}
  tersify::Answer Question(const std::string&, tersify::MessageKind, tersify::QuestionButtons) override {
    return tersify::Answer::No;
  }
  std::optional<tersify::OverwriteChoice> AskOverwrite(const tersify::OverwriteQuestion&) override {
    return std::nullopt;
  }
  std::optional<std::string> InputBox(const std::string&, const std::string&, const std::string&) override {
    return std::nullopt;
  }
  void ProcessPendingEvents() override {}
};

// What a window system needs beside the title: icon and buttons.
constexpr int kTitleBarExtra = 100;

class Checker {
 public:
  int failures = 0;
  int checked = 0;
  QString language;

  void Window(QWidget* window, const QString& state) {
    window->show();
    window->resize(window->minimumSize().expandedTo(window->minimumSizeHint()).boundedTo(window->maximumSize()));
    QCoreApplication::processEvents();
    const QString where = language + " " + window->objectName() + (state.isEmpty() ? "" : " (" + state + ")");
    const QString title = window->windowTitle();
    if (title.contains('\r') || title.contains('\n')) Fail(where, "title", title, "holds a line break");
    Need(where, "title", title, window->fontMetrics().horizontalAdvance(title) + kTitleBarExtra, window->width());
    for (QWidget* w : window->findChildren<QWidget*>()) {
      if (w->window() != window || !w->isVisibleTo(window)) continue;
      if (auto* l = qobject_cast<QLabel*>(w)) Label(where, l);
      if (auto* b = qobject_cast<QAbstractButton*>(w); b && !b->text().isEmpty())
        Need(where, w->objectName(), b->text(), b->sizeHint().width(), b->width());
      if (auto* g = qobject_cast<QGroupBox*>(w))
        Need(where, g->objectName(), g->title(), g->fontMetrics().horizontalAdvance(g->title()) + 16, g->width());
      if (auto* t = qobject_cast<QTabWidget*>(w)) Tabs(where, t->tabBar());
    }
  }

 private:
  void Label(const QString& where, QLabel* l) {
    if (l->text().isEmpty()) return;
    if (l->wordWrap()) {
      Need(where, l->objectName(), l->text(), l->heightForWidth(l->width()), l->height(), "high");
      return;
    }
    Need(where, l->objectName(), l->text(), l->sizeHint().width(), l->width());
    Need(where, l->objectName(), l->text(), l->sizeHint().height(), l->height(), "high");
  }

  void Tabs(const QString& where, QTabBar* bar) {
    Need(where, "tabs", "all tabs", bar->sizeHint().width(), bar->width());
    for (int i = 0; i < bar->count(); ++i) {
      QString shown = bar->tabText(i);
      shown.replace("&&", "\x01").remove('&').replace('\x01', '&');
      const QRect tab = bar->tabRect(i);
      Need(where, "tab", shown, bar->fontMetrics().horizontalAdvance(shown) + 8, tab.width());
      Need(where, "tab", shown, tab.right() + 1, bar->width());
    }
  }

  void Need(const QString& where, const QString& what, const QString& text, int need, int have,
            const char* dimension = "wide") {
    ++checked;
    if (need <= have) return;
    Fail(where, what, text, QString("needs %1 px %2, has %3").arg(need).arg(QString::fromLatin1(dimension)).arg(have));
  }

  void Fail(const QString& where, const QString& what, const QString& text, const QString& why) {
    ++failures;
    std::fprintf(stderr, "%s: %s \"%s\" %s\n", qPrintable(where), qPrintable(what),
                 qPrintable(QString(text).replace('\n', "\\n")), qPrintable(why));
  }
};

void CheckAllWindows(tersify::Application& program, Checker& check) {
  const tersify::MessageCatalogue& texts = program.catalogue();
  auto text = [&texts](const char* key) { return ToQ(texts.Text(key)); };
  check.Window(&program.main(), {});
  for (int page = 0; page < 5; ++page) {
    program.options().ShowPage(page);
    check.Window(&program.options(), QString("page %1").arg(page + 1));
  }
  program.options().hide();
  check.Window(&program.about(), {});
  program.about().hide();
  for (const char* key : {"const_rep_cap", "const_del_cap"}) {
    program.tagDialog().ShowFor(text(key), std::string_view(key) == "const_rep_cap"
                                               ? tersify::TagDialogMode::Replacement
                                               : tersify::TagDialogMode::Removal);
    check.Window(&program.tagDialog(), key);
  }
  program.tagDialog().hide();

  tersify::ui::TfrmReport& report = program.report();
  report.ShowPage(0);
  report.setWindowTitle(text("const_opt_cap"));
  report.SetCounts("1147", "42000000");
  report.SetDestination(text("const_opt_new"), ToQ(program.settings().edOptimizedPath));
  report.SetStatus(text("const_ready_foropt"));
  check.Window(&report, "ready");
  report.SetDestination(text("const_before_opt"), ToQ(program.settings().edBackUpPath));
  check.Window(&report, "backups first");
  report.SetStatus(text("const_optimizing"));
  report.SetClock("0:00:12.3");
  report.SetCancelCaption(text("const_break"), true);
  check.Window(&report, "running");
  report.SetResults("1147", "4200000", "8 %", "20 %", "0:01:02");
  report.setWindowTitle(text("const_opt_finished"));
  report.ShowPage(1);
  check.Window(&report, "results");
  report.hide();

  tersify::OverwriteQuestion q;
  q.upperPath = program.settings().edOptimizedPath + "a-rather-long-file-name-of-a-page.html";
  q.upperInfo = "1204" + texts.Text("const_bytes") + "01.02.2024 10:00:00";
  q.lowerPath = program.place().programFolder + "a-rather-long-file-name-of-a-page.html";
  q.lowerInfo = "1530" + texts.Text("const_bytes") + "02.02.2024 11:00:00  ?";
  q.lowerCaption = texts.Text("const_opt_ver");
  program.replaceDialog().Fill(q);
  check.Window(&program.replaceDialog(), {});
  program.replaceDialog().hide();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s SOURCE_FOLDER\n", argv[0]);
    return 2;
  }
  const QString source = QString::fromLocal8Bit(argv[1]);
  QTemporaryDir dir;
  QDir(dir.path()).mkpath("lang");
  QFile::copy(source + "/lang/Deflan.dat", dir.filePath("Deflan.dat"));
  QFile::copy(source + "/lang/German.lng", dir.filePath("lang/German.lng"));

  tersify::ProgramPlace place;
  place.programFolder = dir.path().toStdString() + "/";
  place.configFolder = place.dataFolder = place.resourceFolder = place.programFolder;
  place.systemFolder = "/usr/bin";
  SilentUser user;
  tersify::Application program(place, {}, &user);
  program.StartUp();

  Checker check;
  const std::pair<QString, std::string> languages[] = {{"English", ""},
                                                       {"German", dir.filePath("lang/German.lng").toStdString()}};
  for (const auto& [name, file] : languages) {
    check.language = name;
    program.settings().edLan = file;
    program.ApplyLanguage();
    CheckAllWindows(program, check);
  }
  std::fprintf(stderr, "%d of %d text(s) do not fit\n", check.failures, check.checked);
  return check.failures == 0 ? 0 : 1;
}
