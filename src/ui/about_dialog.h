// TfrmAbout: the program's name and version.
#pragma once

#include <QDialog>

class QLabel;

namespace tersify::ui {

class TfrmAbout : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmAbout(QWidget* parent = nullptr);
  void SetVersion(const QString& version);
  QString version() const;

 private:
  QLabel* labVersionNumber_;
};

}  // namespace tersify::ui
