// The system event log: syslog(3) in the programs, memory in tests.
//
// An entry carries the message text of its id and the text the caller passed
// (empty at most call sites); a sink delivers both under a source name.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace travik::platform {

enum class EventKind { Information = 1, Warning = 2, Error = 3 };

class EventLogSink {
 public:
  virtual ~EventLogSink() = default;
  virtual void registerSource(const std::string& source) = 0;
  virtual void write(const std::string& source, EventKind kind, int eventId, const std::string& idText,
                     const std::string& passedText) = 0;
  virtual void releaseSource() = 0;
};

// Writes to syslog under an identifier without blanks (journald ends an
// identifier at the first blank, and `journalctl -t` could not find one with
// a blank); the source name opens the message.  Kinds map to
// LOG_INFO/LOG_WARNING/LOG_ERR.
class SyslogEventLog : public EventLogSink {
 public:
  explicit SyslogEventLog(std::string identifier) : ident_(std::move(identifier)) {}
  void registerSource(const std::string& source) override;
  void write(const std::string& source, EventKind kind, int eventId, const std::string& idText,
             const std::string& passedText) override;
  void releaseSource() override;

 private:
  std::string ident_;  // openlog keeps the pointer, so the text must outlive it
  bool open_ = false;
};

// Keeps entries in memory so tests can read them.
class MemoryEventLog : public EventLogSink {
 public:
  struct Entry {
    std::string source;
    EventKind kind;
    int eventId;
    std::string idText;
    std::string text;  // the passed text
  };
  void registerSource(const std::string& source) override { registered = source; }
  void write(const std::string& source, EventKind kind, int eventId, const std::string& idText,
             const std::string& passedText) override {
    entries.push_back({source, kind, eventId, idText, passedText});
  }
  void releaseSource() override { released = true; }

  std::vector<Entry> entries;
  std::string registered;
  bool released = false;
};

}  // namespace travik::platform
