// Input as a person gives it: a click at a point of the screen goes to whatever widget is shown
// there, and keys go to the widget that has the focus, so a covered control or a lost focus
// shows in the test.
#pragma once

#include <QPoint>
#include <QString>

class QWidget;

namespace quiblo::test {

// Clicks the left button at `global` (screen coordinates) on the widget found there by
// hit-testing the shown windows; returns that widget (nullptr: nothing there, nothing clicked).
QWidget* clickAt(QPoint global);
// The point `local` of `widget` in screen coordinates.
QPoint onScreen(const QWidget* widget, QPoint local);
// Presses and releases `key` on the widget that has the keyboard focus (or the active window);
// returns the widget that received it.
QWidget* pressKey(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// A readable name of a widget for failure messages: its object name and class.
QString describe(const QWidget* widget);

}  // namespace quiblo::test
