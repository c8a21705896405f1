#include "admin/widgets/key_codes.h"

#include <QKeyEvent>

namespace travik {

int keyAsciiOf(const QKeyEvent& event) {
  switch (event.key()) {
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab: return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Escape: return 27;
    default: break;
  }
  const int key = event.key();
  if ((event.modifiers() & Qt::ControlModifier) && key >= Qt::Key_A && key <= Qt::Key_Z) return key - Qt::Key_A + 1;
  const QString text = event.text();
  if (text.isEmpty()) return -1;
  const char16_t code = text.at(0).unicode();
  if (code < 32 && code != 8 && code != 9 && code != 10 && code != 13) return -1;
  return code;
}

}  // namespace travik
