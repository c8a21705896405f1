#include "admin/widgets/date_picker.h"

#include <QKeyEvent>

namespace travik {

DatePicker::DatePicker(QWidget* parent) : QDateTimeEdit(parent) {}

// Tab is the window's: the picker's own walk through its fields is left out.
bool DatePicker::focusNextPrevChild(bool next) { return QWidget::focusNextPrevChild(next); }

void DatePicker::keyPressEvent(QKeyEvent* event) {
  const bool left = event->key() == Qt::Key_Left;
  if ((left || event->key() == Qt::Key_Right) && event->modifiers() == Qt::NoModifier) {
    event->accept();
    const int section = currentSectionIndex() + (left ? -1 : 1);
    // The edit's own move to a field: it selects the field, as Tab did.
    if (section >= 0 && section < sectionCount()) QDateTimeEdit::focusNextPrevChild(!left);
    return;
  }
  QDateTimeEdit::keyPressEvent(event);
}

}  // namespace travik
