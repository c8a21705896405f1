// The trace-log parser: MVLOG trace lines into rows of Events.
#pragma once

#include <string>
#include <string_view>

#include "processing/date_time.h"

namespace travik {

// One parsed trace event.
struct CCallEvent {
  std::string strData;      // event text, at most 254 characters
  int intLine = 0;          // gateway line, 0 to 99
  long lngSequence = 0;     // 1 for the first event of a time and millisecond, then counting up
  int intMilliseconds = 0;  // 0 to 999
  DateTime dateTimeStamp;   // to the second
};

}  // namespace travik
