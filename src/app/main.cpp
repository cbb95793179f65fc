#include <QApplication>

#include "app/application.h"
#include "ui/main_window.h"
#include "ui/text.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QStringList arguments = QApplication::arguments().mid(1);
  tersify::Application program(tersify::LocateProgram(tersify::ui::FromQ(QApplication::applicationFilePath())),
                               arguments);
  program.main().show();
  return app.exec();
}
