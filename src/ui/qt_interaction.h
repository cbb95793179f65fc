// The user interaction of the desktop program: real message boxes, the
// overwrite dialog and a one-line input box.
#pragma once

#include <QPointer>
#include <QWidget>
#include <vector>

#include "i18n/interaction.h"

namespace tersify::ui {

class TfrmReplaceDlg;

class QtInteraction : public UserInteraction {
 public:
  QtInteraction(QWidget* parent, TfrmReplaceDlg* replaceDialog) : parent_(parent), replaceDialog_(replaceDialog) {}

  void MessageBox(const std::string& text, MessageKind kind) override;
  Answer Question(const std::string& text, MessageKind kind, QuestionButtons buttons) override;
  std::optional<OverwriteChoice> AskOverwrite(const OverwriteQuestion& question) override;
  std::optional<std::string> InputBox(const std::string& title, const std::string& prompt,
                                      const std::string& value) override;
  void ProcessPendingEvents() override;

  void SetReplaceDialog(TfrmReplaceDlg* dialog) { replaceDialog_ = dialog; }

  // The window that asks while a scope lives: its boxes are owned by it and
  // stay above it.
  class AskingWindow {
   public:
    AskingWindow(QtInteraction* user, QWidget* window);
    ~AskingWindow();
    AskingWindow(const AskingWindow&) = delete;
    AskingWindow& operator=(const AskingWindow&) = delete;

   private:
    QtInteraction* user_;
  };

  // The owner of the next box: an open modal dialog, else the window that
  // asks, else the active window, else the main window.
  QWidget* Owner() const;

 private:
  QWidget* parent_;
  std::vector<QPointer<QWidget>> asking_;
  // After "New name" or "Rename" the overwrite dialog stays on screen under
  // the name box, until the run goes on.
  bool dialogUnderNameBox_ = false;
  void EndNameBox();
  TfrmReplaceDlg* replaceDialog_;
};

}  // namespace tersify::ui
