#include "ui/file_chooser.h"

#include <QFileDialog>

#include "ui/widgets.h"

namespace tersify::ui {

QString QtFilter(const QString& filter) {
  qsizetype bar = filter.indexOf('|');
  if (bar < 0) return filter;
  QString patterns = filter.mid(bar + 1);
#ifndef _WIN32
  // Programs here carry no ".exe" or ".bat": any file may be one.
  if (patterns.contains("*.exe", Qt::CaseInsensitive)) patterns = "*";
#endif
  patterns.replace(';', ' ');
  return filter.left(bar) + " (" + patterns + ")";
}

std::optional<QString> QtFileChooser::ChooseFolder(QWidget* parent, const QString& instruction) {
  QString dir = QFileDialog::getExistingDirectory(parent, OneLine(instruction), QString());
  if (dir.isEmpty()) return std::nullopt;
  return dir;
}

QStringList QtFileChooser::OpenFiles(QWidget* parent, const QString& title, const QString& filter, bool multiple,
                                     const QString& folder) {
  if (multiple) return QFileDialog::getOpenFileNames(parent, OneLine(title), folder, QtFilter(filter));
  QString file = QFileDialog::getOpenFileName(parent, OneLine(title), folder, QtFilter(filter));
  return file.isEmpty() ? QStringList() : QStringList{file};
}

std::optional<QString> QtFileChooser::SaveFile(QWidget* parent, const QString& filter, const QString& defaultSuffix) {
  QFileDialog dialog(parent, QString(), QString(), QtFilter(filter));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(defaultSuffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first();
}

}  // namespace tersify::ui
