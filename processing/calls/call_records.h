// Call records: the rows a rebuilt call leaves in calls, tasks, recipients
// and errors, and the writers through which the call machines make them.
//
// Life of a current row (one each of calls, tasks and recipients, all kept by
// PendingRow below; "changed" means assigned through write access since the
// row's last save):
//
//   state    event                           written                      next state
//   none     start                           -                            new (changed)
//   new      save, no transaction open       insert of the row            stored
//   new      save, in the line's transaction -  (a copy waits, as saved)  waiting
//   waiting  save                            insert of the row as it is   stored
//   waiting  start of the next row, flush    insert of the waiting copy   stored (changed if assigned since)
//   stored   write access                    -                            stored, changed
//   stored   save, when changed              update (see below)           stored
//   any      forget, discard                 -                            none
//
// The machines never touch the database.  They assign fields of the current
// rows through write access (call(), task(), recipient()) and call the
// writers, which save those rows at the points the call's life gives: a call
// row when the line walk opens it and when it ends, a task row when its
// first recipient is added and when it ends, an errors row at once.  Reads go
// through the const accessors (currentCall() ...) and change nothing.
//
// Most rows are saved twice a few events apart and so reach their table with
// one insert instead of an insert and an update: the first save only marks
// them.  Nothing reads these tables between a line's saves and its commit,
// and rows keep their insertion order, since a waiting row goes in before the
// next row of its table.  An update rewrites the index key columns only when
// they changed, so SQLite need not rewrite those index entries.
//
// Rows belong together by number: a task belongs to the call current at its
// start, a recipient to the task.  Writing to the task or recipient while the
// current call or task has none is a reported error (a write that went into
// a row of an earlier call would corrupt it); the write itself goes nowhere.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db.h"
#include "processing/calls/failure_codes.h"
#include "processing/runtime/call_counters.h"
#include "processing/runtime/handled_error.h"
#include "processing/text/date_time.h"

namespace travik {

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

// What the rows of the line being walked share.
struct LineWrites {
  db::Connection* connection = nullptr;
  bool discarding = false;  // the line's transaction is gone: nothing is written until startLine
  bool failed = false;      // a write of the line failed
};

// One current row and the statements that bring it to its table (its columns
// are listed once, in call_records.cpp); implements the life-cycle above.
template <class Row>
class PendingRow {
 public:
  void prepare(db::Connection& connection, LineWrites& line);
  void finalize() noexcept;

  bool exists() const { return number_ != 0; }
  // Rows of a table are numbered from 1 as they start; owner: the number of
  // the row this one belongs to.
  std::uint64_t number() const { return number_; }
  std::uint64_t owner() const { return owner_; }
  const Row& row() const { return row_; }
  Row& edit() {
    changed_ = true;
    return row_;
  }

  // A new row belonging to `owner`.  A row still waiting goes in first (only
  // after a failed save can one still wait here; it is tried once more).
  Row& start(std::uint64_t owner);
  // Saves the row when it changed since its last save (the first save inside
  // a transaction only marks it).
  void save();
  // Inserts a row that waits since this save, as it is now.
  void writeWaitingRow();
  // Inserts a waiting row as it was saved.
  void flush();
  void forget();
  // "" when the row keeps the life-cycle's invariants (and its table holds
  // what its saves wrote), else the first one it breaks.
  std::string inconsistency();

 private:
  // Adds or updates the row from `values` (the row itself or its waiting copy).
  void write(const Row& values);

  Row row_;
  Row waiting_;             // the row as its first save left it, until its insert
  Row savedKeys_;           // the index key columns as the last write left them (other fields unused)
  std::int64_t rowid_ = 0;  // 0 until the row is added
  bool changed_ = false;    // assigned since the last save
  bool pending_ = false;    // saved once, waiting for its insert
  std::uint64_t number_ = 0, owner_ = 0;
  LineWrites* line_ = nullptr;
  db::Statement insert_;
  // Updates come in variants by the index keys they rewrite: only those that changed.
  std::vector<db::Statement> updates_;
  // The consistency checks, prepared when first asked for (tests only).
  db::Statement checkRow_, checkKeys_;
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

  // Read access; marks nothing.  The task and recipient are null while the
  // current call has no task or the current task no recipient.
  const CallRow& currentCall() const { return calls_.row(); }
  const TaskRow* currentTask() const { return hasTask() ? &tasks_.row() : nullptr; }
  const RecipientRow* currentRecipient() const { return hasRecipient() ? &recipients_.row() : nullptr; }
  bool hasCall() const { return calls_.exists(); }
  bool hasTask() const { return calls_.exists() && tasks_.owner() == calls_.number(); }
  bool hasRecipient() const { return hasTask() && recipients_.owner() == tasks_.number(); }
  // The current call has its end.
  bool callEnded() const { return hasCall() && calls_.row().timestampend.has_value(); }

  // Write access: marks the row changed, to be written with its next save.
  CallRow& call() { return calls_.edit(); }
  // The task started last, when the current call started it.  Without one,
  // the write is reported (reportAbsentRow) under `procedure`, the one making
  // it (a state's name, a writer's), and goes into a scratch row.
  TaskRow& task(std::string_view procedure);
  // The recipient added last, when the current task added it; likewise.
  RecipientRow& recipient(std::string_view procedure);
  // Reports a write to an absent task or recipient under `procedure`.
  std::function<void(const HandledError&, std::string_view procedure)> reportAbsentRow;

  // Starts a new call row (the pending one is saved first; a row still
  // waiting for its insert goes in first).
  CallRow& newCall() { return calls_.start(0); }
  // Starts a new task row of the current call (likewise).
  TaskRow& newTask() { return tasks_.start(calls_.number()); }
  // Starts a new recipient row of the current task (likewise).
  RecipientRow& newRecipient() { return recipients_.start(tasks_.number()); }

  // Saves a row when it changed since its last save (the first save only
  // marks it: see above).
  void saveCall() {
    calls_.save();
    afterSave();
  }
  void saveTask() {
    tasks_.save();
    afterSave();
  }
  void saveRecipient() {
    recipients_.save();
    afterSave();
  }
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
  void startLine() { line_.discarding = line_.failed = false; }
  // A write of the line failed: what the line's transaction holds is not the line.
  bool writeFailed() const { return line_.failed; }
  // Adds an errors row at once.
  void addError(const ErrorRow& row);

  // The invariants of the rows: each keeps the life-cycle, its table holds
  // what its saves wrote, and the task and recipient of the current call
  // belong to it.  For the tests, after every save; `why` gets the first
  // broken one.
  bool consistent(std::string* why = nullptr);
  // For the tests: every save checks consistent(), and a broken invariant
  // ends the program at once with what broke (the walk would count it as a
  // handled error and go on).
  void checkEverySave(bool on) { checkEverySave_ = on; }

 private:
  LineWrites line_;
  PendingRow<CallRow> calls_;
  PendingRow<TaskRow> tasks_;
  PendingRow<RecipientRow> recipients_;
  bool checkEverySave_ = false;
  void afterSave() {
    if (checkEverySave_) abortWhenInconsistent();
  }
  void abortWhenInconsistent();
  TaskRow scratchTask_;
  RecipientRow scratchRecipient_;
  db::Statement lastCall_;
  db::Statement insertError_;
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
