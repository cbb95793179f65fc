#include "ui/widgets.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QLayout>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTextDocument>
#include <QToolButton>
#include <QWidget>

namespace tersify::ui {

void SetHint(QObject* component, const QString& hint) {
  if (auto* w = qobject_cast<QWidget*>(component)) {
    w->setToolTip(hint);
    w->setStatusTip(hint);
  } else if (auto* a = qobject_cast<QAction*>(component)) {
    a->setToolTip(hint);
    a->setStatusTip(hint);
  }
}

QString HintOf(const QObject* component) {
  if (auto* w = qobject_cast<const QWidget*>(component)) return w->toolTip();
  if (auto* a = qobject_cast<const QAction*>(component)) return a->statusTip();
  return {};
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int left, int top, int width) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setGeometry(left, top, width > 0 ? width : 300, label->sizeHint().height());
  return label;
}

QToolButton* MakeToolButton(QWidget* parent, const char* name, const QString& hint, int left, int top) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setAutoRaise(true);
  button->setGeometry(left, top, 23, 22);
  SetHint(button, hint);
  return button;
}

QString EditorText(const QPlainTextEdit* editor) {
  QString text = editor->document()->toRawText();
  text.replace(QChar::ParagraphSeparator, QChar('\n'));
  return text;
}

QString OneLine(const QString& text) {
  if (!text.contains('\r') && !text.contains('\n')) return text;
  QStringList lines = text.split(QRegularExpression("\\r\\n|\\r|\\n"), Qt::SkipEmptyParts);
  for (QString& line : lines) line = line.trimmed();
  lines.removeAll(QString());
  return lines.join(' ');
}

void WidenToTexts(QWidget* window) {
  int right = 0, bottom = 0;
  for (QWidget* w : window->findChildren<QWidget*>()) {
    auto* label = qobject_cast<QLabel*>(w);
    auto* button = qobject_cast<QAbstractButton*>(w);
    if ((!label && !button) || w->window() != window) continue;
    if (w->parentWidget() && w->parentWidget()->layout()) continue;
    const QString text = label ? label->text() : button->text();
    QRect g = w->geometry();
    const int need = w->sizeHint().width();
    if (!text.isEmpty() && need > g.width()) {
      if (label && (label->alignment() & Qt::AlignRight) && g.right() - need >= 4)
        g.setLeft(g.right() + 1 - need);
      else
        g.setWidth(need);
      w->setGeometry(g);
    }
    const QPoint corner = w->mapTo(window, QPoint(w->width(), w->height()));
    right = std::max(right, corner.x());
    bottom = std::max(bottom, corner.y());
  }
  const QSize needed(std::max(window->width(), right + 8), std::max(window->height(), bottom + 8));
  if (needed == window->size()) return;
  if (window->minimumSize() == window->maximumSize())
    window->setFixedSize(needed);
  else
    window->resize(needed);
}

void MakeBold(QLabel* label) {
  QFont f = label->font();
  f.setBold(true);
  label->setFont(f);
}

}  // namespace tersify::ui
