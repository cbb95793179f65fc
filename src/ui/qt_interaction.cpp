#include "ui/qt_interaction.h"

#include <QApplication>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>

#include "ui/replace_dialog.h"
#include "ui/text.h"
#include "ui/widgets.h"

namespace tersify::ui {
namespace {

QMessageBox::Icon IconOf(MessageKind kind) {
  switch (kind) {
    case MessageKind::Warning:
      return QMessageBox::Warning;
    case MessageKind::Error:
      return QMessageBox::Critical;
    case MessageKind::Information:
      return QMessageBox::Information;
    case MessageKind::Confirmation:
      return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

QString TitleOf(MessageKind kind) {
  switch (kind) {
    case MessageKind::Warning:
      return QStringLiteral("Warning");
    case MessageKind::Error:
      return QStringLiteral("Error");
    case MessageKind::Information:
      return QStringLiteral("Information");
    case MessageKind::Confirmation:
      return QStringLiteral("Confirm");
  }
  return {};
}

// Line breaks of the texts are CR or CR LF; Qt's boxes break at LF.
QString BoxText(const std::string& text) {
  QString s = ToQ(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  s.replace(QChar('\r'), QChar('\n'));
  return s;
}

}  // namespace

QtInteraction::AskingWindow::AskingWindow(QtInteraction* user, QWidget* window) : user_(user) {
  if (user_) user_->asking_.emplace_back(window);
}

QtInteraction::AskingWindow::~AskingWindow() {
  if (user_) user_->asking_.pop_back();
}

QWidget* QtInteraction::Owner() const {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  for (auto it = asking_.rbegin(); it != asking_.rend(); ++it)
    if (*it && (*it)->isVisible()) return *it;
  QWidget* active = QApplication::activeWindow();
  if (active && active->isVisible() && !qobject_cast<QMenu*>(active)) return active;
  return parent_;
}

void QtInteraction::EndNameBox() {
  if (!dialogUnderNameBox_) return;
  dialogUnderNameBox_ = false;
  if (replaceDialog_) replaceDialog_->hide();
}

void QtInteraction::MessageBox(const std::string& text, MessageKind kind) {
  EndNameBox();
  QMessageBox box(IconOf(kind), TitleOf(kind), BoxText(text), QMessageBox::Ok, Owner());
  box.setObjectName("messageBox");
  box.exec();
}

Answer QtInteraction::Question(const std::string& text, MessageKind kind, QuestionButtons buttons) {
  EndNameBox();
  QMessageBox::StandardButtons set;
  switch (buttons) {
    case QuestionButtons::YesNo:
      set = QMessageBox::Yes | QMessageBox::No;
      break;
    case QuestionButtons::OkCancel:
      set = QMessageBox::Ok | QMessageBox::Cancel;
      break;
    case QuestionButtons::YesYesToAll:
      set = QMessageBox::Yes | QMessageBox::YesToAll;
      break;
  }
  QMessageBox box(IconOf(kind), TitleOf(kind), BoxText(text), set, Owner());
  box.setObjectName("questionBox");
  switch (box.exec()) {
    case QMessageBox::Yes:
      return Answer::Yes;
    case QMessageBox::YesToAll:
      return Answer::YesToAll;
    case QMessageBox::Ok:
      return Answer::Ok;
    case QMessageBox::Cancel:
      return Answer::Cancel;
    case QMessageBox::No:
      return Answer::No;
    default:
      // Closed by the window system: the answer that does nothing.
      return buttons == QuestionButtons::OkCancel ? Answer::Cancel
             : buttons == QuestionButtons::YesNo  ? Answer::No
                                                  : Answer::Yes;
  }
}

std::optional<OverwriteChoice> QtInteraction::AskOverwrite(const OverwriteQuestion& question) {
  dialogUnderNameBox_ = false;
  if (!replaceDialog_) return std::nullopt;
  // Above the window that runs: the results window when it is open.
  QWidget* owner = Owner();
  if (owner != replaceDialog_ && owner != replaceDialog_->parentWidget())
    replaceDialog_->setParent(owner, replaceDialog_->windowFlags());
  std::optional<OverwriteChoice> choice = replaceDialog_->Ask(question);
  if (choice == OverwriteChoice::NewName || choice == OverwriteChoice::Rename) {
    dialogUnderNameBox_ = true;
    replaceDialog_->show();
  }
  return choice;
}

std::optional<std::string> QtInteraction::InputBox(const std::string& title, const std::string& prompt,
                                                   const std::string& value) {
  if (dialogUnderNameBox_ && replaceDialog_ && !replaceDialog_->isVisible()) replaceDialog_->show();
  QInputDialog box(dialogUnderNameBox_ && replaceDialog_ ? replaceDialog_ : Owner());
  box.setObjectName("inputBox");
  box.setWindowTitle(OneLine(ToQ(title)));
  box.setLabelText(BoxText(prompt));
  box.setTextValue(ToQ(value));
  if (box.exec() != QDialog::Accepted) return std::nullopt;
  // A name was given: the dialog goes (a name that is taken brings both back).
  if (dialogUnderNameBox_ && replaceDialog_) replaceDialog_->hide();
  return FromQ(box.textValue());
}

void QtInteraction::ProcessPendingEvents() {
  EndNameBox();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace tersify::ui
