// In the test programs a programming error of our own code is not a handled
// error to be counted: it passes every guard and fails the test that meets it.
#include "processing/runtime/handled_error.h"

namespace {

const bool kEscaping = [] {
  travik::setProgrammingErrorsEscape(true);
  return true;
}();

}  // namespace
