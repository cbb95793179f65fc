// The user interaction of the desktop program: real message boxes, the
// overwrite dialog and a one-line input box.
#pragma once

#include "i18n/interaction.h"

class QWidget;

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

 private:
  QWidget* parent_;
  TfrmReplaceDlg* replaceDialog_;
};

}  // namespace tersify::ui
