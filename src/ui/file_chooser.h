// The file and folder dialogs that the windows use, behind an interface so
// tests can answer them.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace tersify::ui {

// "description|pattern;pattern" (the program's filter texts) to Qt's
// "description (pattern pattern)".
QString QtFilter(const QString& filter);

class FileChooser {
 public:
  virtual ~FileChooser() = default;
  virtual std::optional<QString> ChooseFolder(QWidget* parent, const QString& instruction) = 0;
  // Chosen existing files, empty when cancelled.
  // The dialog opens in `folder` when one is given, else where it was last.
  virtual QStringList OpenFiles(QWidget* parent, const QString& title, const QString& filter, bool multiple,
                                const QString& folder = {}) = 0;
  virtual std::optional<QString> SaveFile(QWidget* parent, const QString& filter, const QString& defaultSuffix) = 0;
};

class QtFileChooser : public FileChooser {
 public:
  std::optional<QString> ChooseFolder(QWidget* parent, const QString& instruction) override;
  QStringList OpenFiles(QWidget* parent, const QString& title, const QString& filter, bool multiple,
                        const QString& folder = {}) override;
  std::optional<QString> SaveFile(QWidget* parent, const QString& filter, const QString& defaultSuffix) override;
};

}  // namespace tersify::ui
