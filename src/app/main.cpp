#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTimer>

#include "app/application.h"
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
  save(program.main(), "main");
  for (int page = 0; page < 5; ++page) {
    program.options().ShowPage(page);
    save(program.options(), QByteArray("options-" + QByteArray::number(page + 1)).constData());
  }
  program.options().hide();
  save(program.about(), "about");
  program.about().hide();
  program.tagDialog().ShowFor("Tags replacement", true);
  save(program.tagDialog(), "tag-dialog");
  program.tagDialog().hide();
  save(program.report(), "report");
  program.report().ShowPage(1);
  save(program.report(), "report-results");
  program.report().hide();
  save(program.replaceDialog(), "overwrite-dialog");
  program.replaceDialog().hide();
  QCoreApplication::quit();
}

}  // namespace

int main(int argc, char** argv) {
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
