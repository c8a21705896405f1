#include "platform/event_log.h"

#include <syslog.h>

namespace travik::platform {

void SyslogEventLog::registerSource(const std::string&) {
  if (open_) closelog();
  openlog(ident_.c_str(), LOG_PID, LOG_USER);
  open_ = true;
}

void SyslogEventLog::write(const std::string& source, EventKind kind, int eventId, const std::string& idText,
                           const std::string& passedText) {
  if (!open_) registerSource(source);
  const int priority = kind == EventKind::Error ? LOG_ERR : kind == EventKind::Warning ? LOG_WARNING : LOG_INFO;
  // syslog lines are single lines: the passed text's line breaks become " | ".
  std::string passed;
  for (char c : passedText) {
    if (c == '\r') continue;
    if (c == '\n')
      passed += " | ";
    else
      passed += c;
  }
  if (passed.empty())
    syslog(priority, "%s: [event %d] %s", source.c_str(), eventId, idText.c_str());
  else
    syslog(priority, "%s: [event %d] %s %s", source.c_str(), eventId, idText.c_str(), passed.c_str());
}

void SyslogEventLog::releaseSource() {
  if (open_) closelog();
  open_ = false;
}

}  // namespace travik::platform
