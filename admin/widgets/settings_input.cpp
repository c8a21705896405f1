#include "admin/widgets/settings_input.h"

#include <QKeyEvent>
#include <QKeySequence>
#include <QWidget>
#include <string>

#include "processing/runtime/application_parameters.h"
#include "processing/runtime/start_up.h"

namespace travik {

bool isNumericKey(int keyAscii) {
  return (keyAscii >= '0' && keyAscii <= '9') || (keyAscii >= 8 && keyAscii <= 10) || keyAscii == 13;
}

bool reachesKeyFilter(const QKeyEvent& event) {
  switch (event.key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Insert: return false;
    default: break;
  }
  for (const QKeySequence::StandardKey editing : {QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Paste,
                                                  QKeySequence::Undo, QKeySequence::Redo, QKeySequence::SelectAll})
    if (event.matches(editing)) return false;
  return true;
}

bool acceptInRange(Program& program, QWidget& box, std::string_view text, int lower, int upper) {
  // A pasted text that is no number is refused like a number out of range.
  const auto number = toWholeNumber(text);
  if (number && *number >= lower && *number <= upper) return true;
  program.host.messageBox(
      "Invalid value.  Please enter a value between " + std::to_string(lower) + " and " + std::to_string(upper),
      kApplicationTitle, MessageButtons::Ok, MessageIcon::Exclamation);
  box.setFocus(Qt::OtherFocusReason);
  return false;
}

}  // namespace travik
