// TfrmReplaceDlg: asks what to do with a file that already exists during a run.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>

#include "i18n/interaction.h"

class QLabel;
class QPushButton;

namespace tersify::ui {

class TfrmReplaceDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmReplaceDlg(QWidget* parent = nullptr);

  // Fills the two file lines and runs the dialog modally. Empty when the
  // window was closed without one of the answer buttons.
  std::optional<OverwriteChoice> Ask(const OverwriteQuestion& question);
  // Fills the two file lines without showing the dialog.
  void Fill(const OverwriteQuestion& question);

  // Opening a shown file in the browser or the external editor; set by the main window.
  std::function<void(const std::string& path)> viewInBrowser;
  std::function<void(const std::string& path)> sendToEditor;

  QPushButton* button(OverwriteChoice choice) const;

 private:
  void Answer(OverwriteChoice choice);

  QLabel* labToFile_;
  QLabel* labToFileInfo_;
  QLabel* label2_;
  QLabel* labFromFile_;
  QLabel* labFromFileInfo_;
  QPushButton* buttons_[7];
  std::string upperPath_;
  std::string lowerPath_;
  std::optional<OverwriteChoice> answer_;
};

}  // namespace tersify::ui
