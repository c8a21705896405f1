// The date-time picker of the main window's filter: a date and time edited
// field by field, with the keys of the platform's own picker.  Tab and
// Shift+Tab leave the picker for the next and previous control; Left and
// Right move from field to field inside it (stopping at either end); typing
// and Up/Down change the chosen field.
#pragma once

#include <QDateTimeEdit>

namespace travik {

class DatePicker : public QDateTimeEdit {
  Q_OBJECT

 public:
  explicit DatePicker(QWidget* parent = nullptr);

 protected:
  bool focusNextPrevChild(bool next) override;
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace travik
