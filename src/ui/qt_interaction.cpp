#include "ui/qt_interaction.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

#include "ui/text.h"
#include "ui/replace_dialog.h"

namespace tersify::ui {
namespace {

QMessageBox::Icon IconOf(MessageKind kind) {
  switch (kind) {
    case MessageKind::Warning: return QMessageBox::Warning;
    case MessageKind::Error: return QMessageBox::Critical;
    case MessageKind::Information: return QMessageBox::Information;
    case MessageKind::Confirmation: return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

QString TitleOf(MessageKind kind) {
  switch (kind) {
    case MessageKind::Warning: return QStringLiteral("Warning");
    case MessageKind::Error: return QStringLiteral("Error");
    case MessageKind::Information: return QStringLiteral("Information");
    case MessageKind::Confirmation: return QStringLiteral("Confirm");
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

void QtInteraction::MessageBox(const std::string& text, MessageKind kind) {
  QMessageBox box(IconOf(kind), TitleOf(kind), BoxText(text), QMessageBox::Ok, parent_);
  box.setObjectName("messageBox");
  box.exec();
}

Answer QtInteraction::Question(const std::string& text, MessageKind kind, QuestionButtons buttons) {
  QMessageBox::StandardButtons set;
  switch (buttons) {
    case QuestionButtons::YesNo: set = QMessageBox::Yes | QMessageBox::No; break;
    case QuestionButtons::OkCancel: set = QMessageBox::Ok | QMessageBox::Cancel; break;
    case QuestionButtons::YesYesToAll: set = QMessageBox::Yes | QMessageBox::YesToAll; break;
  }
  QMessageBox box(IconOf(kind), TitleOf(kind), BoxText(text), set, parent_);
  box.setObjectName("questionBox");
  switch (box.exec()) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::YesToAll: return Answer::YesToAll;
    case QMessageBox::Ok: return Answer::Ok;
    case QMessageBox::Cancel: return Answer::Cancel;
    case QMessageBox::No: return Answer::No;
    default:
      // Closed by the window system: the answer that does nothing.
      return buttons == QuestionButtons::OkCancel ? Answer::Cancel
             : buttons == QuestionButtons::YesNo  ? Answer::No
                                                  : Answer::Yes;
  }
}

std::optional<OverwriteChoice> QtInteraction::AskOverwrite(const OverwriteQuestion& question) {
  if (!replaceDialog_) return std::nullopt;
  return replaceDialog_->Ask(question);
}

std::optional<std::string> QtInteraction::InputBox(const std::string& title, const std::string& prompt,
                                                   const std::string& value) {
  QInputDialog box(parent_);
  box.setObjectName("inputBox");
  box.setWindowTitle(ToQ(title));
  box.setLabelText(BoxText(prompt));
  box.setTextValue(ToQ(value));
  if (box.exec() != QDialog::Accepted) return std::nullopt;
  return FromQ(box.textValue());
}

void QtInteraction::ProcessPendingEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

}  // namespace tersify::ui
