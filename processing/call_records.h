// Call records: the rows a rebuilt call leaves in calls, tasks, recipients
// and errors, and the writers through which the call machines make them.
//
// The machines never touch the database.  They assign fields of the current
// rows held here (the call being rebuilt, the task started last, the
// recipient added last) and call the writers, which save those rows at the
// points the call's life gives: a call row when the line walk opens it and
// when it ends, a task row when its first recipient is added and when it ends,
// an errors row at once.  A change made after a row's last save waits for the
// next one; adding the next row of a table saves the pending one first, and
// the line walk saves whatever is still pending at the end of each line.
//
// Inside a transaction a row's first save only marks it: the row goes into
// its table with its next save, before the next row of its table, or before
// the transaction commits, whichever comes first.  Most rows are saved twice a
// few events apart (a call when it opens and when it ends, a task when its
// first recipient is added and when it ends) and so reach their table with
// one insert instead of an insert and an update.  Nothing reads these tables
// between a line's saves and its commit, and rows keep their insertion order.
//
// A writer only ever changes rows of the call being rebuilt: the task and
// recipient accessors hand out a scratch row (whose writes go nowhere) while
// the current call has no task or the current task no recipient.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db.h"
#include "processing/date_time.h"
#include "processing/failure_codes.h"

namespace travik {

// The eleven counters of a call, in the order of their columns.
enum CallCounter : std::size_t {
  kMsgSendAttempt,
  kMsgSendSuccess,
  kMsgReceiveAttempt,
  kMsgReceiveSuccess,
  kNumberRecipientsSent,
  kAdminNamesRequested,
  kTextNamesReceived,
  kVoiceNamesReceived,
  kAdminNameRequestsRecd,
  kTextNamesSent,
  kVoiceNamesSent,
  kCallCounterCount,
};

// One row of calls.
struct CallRow {
  DateTime timestampbegin;                                 // the opening event's time
  std::optional<DateTime> timestampend;                    // empty while the call is open
  std::string callid;                                      // key of the opening event
  bool inbound = false;                                    // received (true) or placed (false) by the gateway
  int line = 0;                                            // the gateway line
  std::optional<std::int32_t> durationInSeconds;           // whole seconds from begin to end
  std::optional<std::string> exitcode;                     // "OK", "OK (NO INIT)" or "E" + stage + reason
  std::optional<std::string> corvaneserialnumber;          // "Unknown" until seen
  std::optional<std::string> octelserialnumber;            // "Unknown" until seen
  std::optional<std::string> protocollevel;                // as reported during the call
  std::array<std::int32_t, kCallCounterCount> counters{};  // indexed by CallCounter
};

// One row of tasks.
struct TaskRow {
  std::string callid;                             // the call
  std::string taskid;                             // key of the event that started the task
  DateTime timestampbegin;                        // the starting event's time
  std::optional<DateTime> timestampend;           // the ending event's time
  std::optional<std::int32_t> durationInSeconds;  // whole seconds from begin to end
  std::optional<std::string> tasktype;            // "Voice Message", ... [+ " [Incomplete]"]
  bool fax = false;                               // the message was a fax
  std::optional<std::string> sender;              // the sender's mailbox
  std::int32_t numberofrecipients = 0;            // recipients added to the task
  std::optional<std::string> namerequestfor;      // mailbox asked about, or "[null]"
  std::optional<std::string> textnamereceived;    // name as quoted in the event
  bool recordingreceived = false;                 // a spoken name was received
  std::optional<std::string> textnamesent;        // name as quoted in the event
  bool recordingsent = false;                     // a spoken name was sent
};

// One row of recipients.
struct RecipientRow {
  std::string callid;                              // the call
  std::string taskid;                              // the task
  std::string recipient;                           // the mailbox
  std::optional<std::string> octelserialnumber;    // outbound calls only
  std::optional<std::string> corvaneserialnumber;  // inbound calls only
  bool rejected = false;                           // the message was refused for this mailbox
  std::string recipientinfo;                       // outcome text; "" when nothing went wrong
};

// One row of errors.
struct ErrorRow {
  std::string callid;          // the call
  DateTime timestamperror;     // the event at which the stage failed
  int state = 0;               // stage number
  std::string statetext;       // stage text
  int reason = 0;              // reason code
  std::string reasontext;      // reason text
  std::string exitcode;        // "E" + stage + reason
  std::string expecteddigits;  // awaited tone or digits, or ""
  std::string receiveddigits;  // received tone, or ""
  std::int32_t expectednumberdigits = 0;
  std::int32_t receivednumberdigits = 0;
  std::string previousstatedata;  // the text of the event before the failing one
};

// The current rows and the statements that save them, for one processing run.
class CallRecords {
 public:
  // Prepares every statement; once per run.
  void prepare(db::Connection& connection);
  // Drops the statements (before the database closes); pending rows are dropped too.
  void finalize() noexcept;

  // The end of the line's last finished call by timestampbegin, then
  // insertion order.  No finished call on the line: nullopt.
  std::optional<DateTime> lastCallEnd(int line);

  // The call being rebuilt.  Using it marks the row changed.
  CallRow& call();
  bool hasCall() const { return callNumber_ != 0; }
  // The task started last, when the current call started it; else a scratch row.
  TaskRow& task();
  bool hasTask() const { return callNumber_ != 0 && taskCall_ == callNumber_; }
  // The recipient added last, when the current task added it; else a scratch row.
  RecipientRow& recipient();
  bool hasRecipient() const { return hasTask() && recipientTask_ == taskNumber_; }

  // Starts a new call row (the pending one is saved first; a row still
  // waiting for its insert goes in first).
  CallRow& newCall();
  // Starts a new task row of the current call (likewise).
  TaskRow& newTask();
  // Starts a new recipient row of the current task (likewise).
  RecipientRow& newRecipient();

  // Saves a row when it changed since its last save (the first save only
  // marks it: see above).
  void saveCall();
  void saveTask();
  void saveRecipient();
  // Saves every row with changes, first saves included: afterwards the
  // tables hold every current row.
  void savePending();
  // Inserts the rows whose first save still waits, as they were saved; before
  // every commit, so a commit holds what the saves made.
  void flushPending();
  // Forgets the current rows once the line's rows are all saved, so nothing
  // of an earlier line can be written again.
  void forgetRows();
  // The line's transaction is gone: its rows and their row ids are forgotten,
  // and nothing is written until the next line starts (startLine).
  void discardLine();
  void startLine() { discarding_ = writeFailed_ = false; }
  // A write of the line failed: what the line's transaction holds is not the line.
  bool writeFailed() const { return writeFailed_; }
  // The current call has its end.
  bool callEnded() const { return callNumber_ != 0 && call_.timestampend.has_value(); }
  // Adds an errors row at once.
  void addError(const ErrorRow& row);

 private:
  // How far a current row has reached its table.
  struct Saved {
    std::int64_t rowid = 0;  // 0 until the row is added
    bool changed = false;    // assigned since the last save
    bool pending = false;    // saved once, waiting for its insert
  };

  // True for a row's first save inside a transaction, which only marks the
  // row (a copy of it as it is now waits in `waiting`).
  template <class Row>
  bool firstSaveWaits(Saved& saved, const Row& row, Row& waiting);

  // Rows' first saves wait in copies, as they were saved, until their insert.
  CallRow waitingCall_;
  TaskRow waitingTask_;
  RecipientRow waitingRecipient_;

  // Adds or updates a table's current row from `values` (the row itself or
  // its waiting copy).
  void writeCall(const CallRow& values);
  void writeTask(const TaskRow& values);
  void writeRecipient(const RecipientRow& values);

  const db::Connection* connection_ = nullptr;
  db::Statement lastCall_;
  // Updates come in variants by the index keys they rewrite: only those that changed.
  db::Statement insertCall_;
  std::vector<db::Statement> updateCall_;
  db::Statement insertTask_;
  std::vector<db::Statement> updateTask_;
  db::Statement insertRecipient_;
  std::vector<db::Statement> updateRecipient_;
  db::Statement insertError_;

  CallRow call_;
  TaskRow task_;
  RecipientRow recipient_;
  Saved callSaved_, taskSaved_, recipientSaved_;
  // The index key columns of each row as its last save wrote them (other fields unused).
  CallRow savedCallKeys_;
  TaskRow savedTaskKeys_;
  RecipientRow savedRecipientKeys_;
  TaskRow scratchTask_;
  RecipientRow scratchRecipient_;
  // Rows belong together by number: each new call, task or recipient takes the next.
  std::uint64_t callNumber_ = 0, taskNumber_ = 0;
  std::uint64_t taskCall_ = 0, recipientTask_ = 0;
  bool discarding_ = false;
  bool writeFailed_ = false;
  // Runs one write of the line, noting its failure.
  template <class Write>
  void tracked(Write&& write) {
    try {
      write();
    } catch (...) {
      writeFailed_ = true;
      throw;
    }
  }
};

struct CallModule;

// The record writers of the call machines.  Each reports its own failures
// (the procedure names in the error report line are those in quotes) and goes
// on; none throws.

// "callEnd()": ends the call at the current event with exit code "OK"; saves it.
void callEnd(CallModule& module);
// "callEndNoMessages()": the same with "OK (NO INIT)".
void callEndNoMessages(CallModule& module);
// "startTask()": a new task of the call keyed by the current event; not saved
// yet.
void startTask(CallModule& module);
// "endTask()": ends the current task at the current event; an incomplete one
// gets " [Incomplete]" after its type; saves it.
void endTask(CallModule& module, bool complete);
// "addRecipient()": saves the task, adds a recipient row carrying
// pendingRecipientInfo and the call's serial of its side, counts it on the
// task; the recipient row is not saved yet.
void addRecipient(CallModule& module, std::string_view recipient);
// addRecipient for the mailbox in a word of the current event (the part
// before "@" when `mailboxPart`).  A missing word (nullptr, reported by
// wordAt) adds no recipient and drops the outcome text pending for it.
// True when a recipient row was added.
bool addRecipientFromWord(CallModule& module, const std::string* word, bool mailboxPart);
// "incompleteMessageRecipient()": saves the task, marks the last recipient
// "Message transmission unsuccessful".
void incompleteMessageRecipient(CallModule& module);
// "incompleteRecipientNameInfo()": saves the task, marks the last recipient
// "Protocol error during recipient name confirmation".
void incompleteRecipientNameInfo(CallModule& module);
// "callAbend()": adds the call's errors row (with previousStateData), ends the
// call at the current event with the failure exit code; saves it.  The
// machine returns to the line walk right after.
void callAbend(CallModule& module, Stage stage, Reason reason, std::string_view expecteddigits,
               std::string_view receiveddigits, std::int32_t expectednumberdigits, std::int32_t receivednumberdigits);
// "sendMsg()": a "Voice Message" task for a message being sent; counts
// msgsendattempt and numberrecipientssent; sender from word 4 and recipient
// from word 7 of the event (the part before "@").
void sendMsg(CallModule& module);
// "couldNotSend()": the same for a message the far side refused (words 6 and
// 9); the recipient is marked rejected.
void couldNotSend(CallModule& module);
// "startInboundAdminTask()": a task of `taskType` for an admin request
// received; counts adminnamerequestsrecd; namerequestfor from word 5, or
// "[null]" when the event has no sixth word.
void startInboundAdminTask(CallModule& module, std::string_view taskType);
// "clearCallStats()": the call's serials to "Unknown", its counters to 0,
// pendingRecipientInfo to ""; the first step of both machines.
void clearCallStats(CallModule& module);

}  // namespace travik
