#include "processing/calls/call_ids.h"

#include "processing/calls/failure_codes.h"

namespace travik {

std::string callKey(const DateTime& timestamp, long long milliseconds, long long sequence, long long line) {
  std::string key = timestamp.toMMDDYYYY();
  key += '.';
  key += timestamp.toHHMMSS();
  key += '.';
  key += zeroPadded(milliseconds, 3);
  key += '.';
  key += zeroPadded(sequence, 3);
  key += '.';
  key += zeroPadded(line, 3);
  return key;
}

}  // namespace travik
