#include "ui/widgets.h"

#include <QAction>
#include <QLabel>
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

void MakeBold(QLabel* label) {
  QFont f = label->font();
  f.setBold(true);
  label->setFont(f);
}

}  // namespace tersify::ui
