// Controls as the console's windows create them: each carries its design
// name as its object name, so tests and the windows find it by that name.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QComboBox;
class QGroupBox;
class QLabel;
class QObject;
class QPushButton;
class QTimer;
class QWidget;

namespace travik {

template <class Widget>
Widget* named(Widget* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QLabel* makeLabel(QWidget* parent, const char* name, const char* caption);
QPushButton* makeButton(QWidget* parent, const char* name, const char* caption);
QGroupBox* makeFrame(QWidget* parent, const char* name, const char* caption);
// An editable box offering the presets, none of them chosen; typed text is
// not added to the list.
QComboBox* makeComboBox(QWidget* parent, const char* name, const QStringList& presets);
// A timer with its interval, not yet started.
QTimer* makeTimer(QObject* parent, const char* name, int intervalMs);
// Escape, while the button's window is the active one, does what a click of
// the window's Close button does, through the same handler: the focus moves to
// the button first, as the mouse would move it, so that a box that stores its
// value on losing the focus stores it before the window closes.
void closeOnEscape(QPushButton& closeButton);
// Escape, while the window is the active one, runs `close` (for a window
// without a Close button).
void closeOnEscape(QWidget& window, std::function<void()> close);

}  // namespace travik
