#include "admin/settings_input.h"

#include <QWidget>
#include <string>

#include "processing/application_parameters.h"
#include "processing/start_up.h"

namespace travik {

bool isNumericKey(int keyAscii) {
  return (keyAscii >= '0' && keyAscii <= '9') || (keyAscii >= 8 && keyAscii <= 10) || keyAscii == 13;
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
