// Small helpers for building the windows' controls with their names and hints.
#pragma once

#include <QString>

class QLabel;
class QPlainTextEdit;
class QToolButton;
class QWidget;
class QObject;

namespace tersify::ui {

// A hint shows as tool tip and in the main window's status bar.
void SetHint(QObject* component, const QString& hint);
QString HintOf(const QObject* component);

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int left, int top, int width = -1);
QToolButton* MakeToolButton(QWidget* parent, const char* name, const QString& hint, int left, int top);

// The editor's text exactly as typed, with LF line breaks: no-break spaces
// stay (the plain-text form would turn them into blanks).
QString EditorText(const QPlainTextEdit* editor);

// A text for a place that holds one line (a window title): its lines joined
// with a blank.
QString OneLine(const QString& text);

// For a window whose controls sit at fixed places: every label and button
// grows to the width its text needs (right-aligned ones to the left), and the
// window grows to hold them.
void WidenToTexts(QWidget* window);

// Marks a label bold.
void MakeBold(QLabel* label);

}  // namespace tersify::ui
