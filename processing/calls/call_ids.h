// Keys of rebuilt calls and tasks.
//
// A call or task is keyed by the event at which it starts: its date as
// month, day and four-digit year, its time as hours (00-23), minutes and
// seconds, then its milliseconds, sequence and line, each padded with zeros
// to at least three digits (a longer number keeps all its digits):
// "12312004.235959.045.002.007".  The parser numbers events of one instant
// apart by their sequence, so no two events share a key.
#pragma once

#include <string>

#include "processing/text/date_time.h"

namespace travik {

std::string callKey(const DateTime& timestamp, long long milliseconds, long long sequence, long long line);

}  // namespace travik
