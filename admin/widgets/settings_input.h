// Input rules shared by the numeric settings boxes of the main window and of
// the event-log notification window: which keys they take, how long their
// text may grow by typing, and the range check when the operator leaves one.
#pragma once

#include <QString>
#include <string_view>

class QKeyEvent;
class QWidget;

namespace travik {

class Program;

// Longest text a numeric box takes by typing.
inline constexpr int kNumericBoxMaximumLength = 7;

// The digits and the control codes backspace, tab, line feed and Enter.
bool isNumericKey(int keyAscii);
// False for the keys that move or edit rather than type: Tab and Shift+Tab,
// Delete, Backspace, the arrows, Home, End, the page keys, Insert and the
// clipboard, undo and select-all shortcuts.  They work in a numeric box as in
// any text box; only what is typed reaches the box's key handler.
bool reachesKeyFilter(const QKeyEvent& event);
// True once the box holds the longest text typing may produce.
inline bool reachedInputLimit(const QString& text) { return text.size() >= kNumericBoxMaximumLength; }
// The check on leaving a box: true when the text is a whole number from lower
// to upper.  Anything else, text that is no number included, is refused with
// "Invalid value.  Please enter a value between <lower> and <upper>" and the
// focus goes back into the box.
bool acceptInRange(Program& program, QWidget& box, std::string_view text, int lower, int upper);

}  // namespace travik
