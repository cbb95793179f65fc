// Small helpers for building the windows' controls with their names and hints.
#pragma once

#include <QString>

class QLabel;
class QToolButton;
class QWidget;
class QObject;

namespace tersify::ui {

// A hint shows as tool tip and in the main window's status bar.
void SetHint(QObject* component, const QString& hint);
QString HintOf(const QObject* component);

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int left, int top, int width = -1);
QToolButton* MakeToolButton(QWidget* parent, const char* name, const QString& hint, int left, int top);

// Marks a label bold.
void MakeBold(QLabel* label);

}  // namespace tersify::ui
