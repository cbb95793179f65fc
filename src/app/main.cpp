#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTableWidget>
#include <QTimer>

#include "app/application.h"
#include "platform/memory.h"
#include "ui/about_dialog.h"
#include "ui/main_window.h"
#include "ui/options_dialog.h"
#include "ui/replace_dialog.h"
#include "ui/report_window.h"
#include "ui/tag_dialog.h"
#include "ui/text.h"

namespace {

// Saves a picture of every window into `folder`, then ends the program.
void SaveWindowPictures(tersify::Application& program, const QString& folder) {
  QDir().mkpath(folder);
  auto save = [&folder](QWidget& w, const char* name) {
    w.show();
    w.raise();
    QCoreApplication::processEvents();
    w.grab().save(folder + "/" + name + ".png");
  };
  program.main().filesList()->selectRow(0);
  save(program.main(), "main");
  for (int page = 0; page < 5; ++page) {
    program.options().ShowPage(page);
    save(program.options(), QByteArray("options-" + QByteArray::number(page + 1)).constData());
  }
  program.options().hide();
  save(program.about(), "about");
  program.about().hide();
  const tersify::MessageCatalogue& texts = program.catalogue();
  program.tagDialog().ShowFor(tersify::ui::ToQ(texts.Text("const_rep_cap")), tersify::TagDialogMode::Replacement);
  save(program.tagDialog(), "tag-dialog");
  program.tagDialog().hide();
  // The run window as the Optimize command prepares it, and its results page.
  program.report().ShowPage(0);
  program.report().setWindowTitle(tersify::ui::ToQ(texts.Text("const_opt_cap")));
  program.report().SetCounts("3", "4120");
  program.report().SetDestination(tersify::ui::ToQ(texts.Text("const_opt_new")),
                                  tersify::ui::ToQ(program.settings().edOptimizedPath));
  save(program.report(), "report");
  // Running, with modified sources: the longest status, cancel caption and destination.
  program.report().SetDestination(tersify::ui::ToQ(texts.Text("const_before_opt")),
                                  tersify::ui::ToQ(program.settings().edBackUpPath));
  program.report().SetStatus(tersify::ui::ToQ(texts.Text("const_optimizing")));
  program.report().SetCancelCaption(tersify::ui::ToQ(texts.Text("const_break")), true);
  program.report().SetClock("0:00:12.3");
  save(program.report(), "report-running");
  program.report().SetResults("3", "1514", "8 %", "20 %", "0:00:01");
  program.report().setWindowTitle(tersify::ui::ToQ(texts.Text("const_opt_finished")));
  program.report().ShowPage(1);
  save(program.report(), "report-results");
  program.report().hide();
  tersify::OverwriteQuestion q;
  q.upperPath = program.settings().edOptimizedPath + "welcome.html";
  q.upperInfo = "1204" + texts.Text("const_bytes") + "01.02.2024 10:00:00";
  q.lowerPath = program.place().programFolder + "welcome.html";
  q.lowerInfo = "1530" + texts.Text("const_bytes") + "02.02.2024 11:00:00  ?";
  q.lowerCaption = texts.Text("const_opt_ver");
  q.olderAllowed = false;
  program.replaceDialog().Fill(q);
  save(program.replaceDialog(), "overwrite-dialog");
  program.replaceDialog().hide();
  QCoreApplication::quit();
}

}  // namespace

int main(int argc, char** argv) {
  tersify::platform::KeepFreedMemoryForReuse();
  QApplication app(argc, argv);
  QStringList arguments = QApplication::arguments().mid(1);
  tersify::Application program(tersify::LocateProgram(tersify::ui::FromQ(QApplication::applicationFilePath())),
                               arguments);
  program.main().show();
  // The picture folder of tools/screenshots.sh.
  QString pictures = qEnvironmentVariable("TERSIFY_SCREENSHOTS");
  if (!pictures.isEmpty()) QTimer::singleShot(500, [&] { SaveWindowPictures(program, pictures); });
  return app.exec();
}
