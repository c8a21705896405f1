#include "processing/call_records.h"

#include <array>
#include <limits>
#include <vector>

#include "processing/call_ids.h"
#include "processing/call_module.h"

namespace travik {

namespace {

// A column of a saved table, and the indexes it is part of as a group bit:
// an update leaves out the key columns whose group did not change since the
// row's last save, so SQLite need not rewrite those index entries.  Columns
// outside every index (group 0) are always written.
struct Column {
  std::string_view name;
  unsigned group;
};

// calls: callsByLine and callsByBegin, callsOpen, callsById, callsByNode.
constexpr unsigned kBeginGroup = 1, kEndGroup = 2, kIdGroup = 4, kNodeGroup = 8;
constexpr unsigned kCallGroups = 16;
constexpr std::array<Column, 21> kCallColumns{{
    {"timestampbegin", kBeginGroup},
    {"timestampend", kEndGroup},
    {"callid", kIdGroup},
    {"inbound", 0},
    {"line", kBeginGroup},
    {"durationInSeconds", 0},
    {"exitcode", 0},
    {"corvaneserialnumber", 0},
    {"octelserialnumber", kNodeGroup},
    {"protocollevel", 0},
    {"msgsendattempt", 0},
    {"msgsendsuccess", 0},
    {"msgreceiveattempt", 0},
    {"msgreceivesuccess", 0},
    {"numberrecipientssent", 0},
    {"adminnamesrequested", 0},
    {"textnamesreceived", 0},
    {"voicenamesreceived", 0},
    {"adminnamerequestsrecd", 0},
    {"textnamessent", 0},
    {"voicenamessent", 0},
}};
// tasks and recipients: tasksByCall, recipientsByCall.
constexpr unsigned kCallTaskGroup = 1;
constexpr unsigned kTaskGroups = 2;
constexpr std::array<Column, 14> kTaskColumns{{
    {"callid", kCallTaskGroup},
    {"taskid", kCallTaskGroup},
    {"timestampbegin", 0},
    {"timestampend", 0},
    {"durationInSeconds", 0},
    {"tasktype", 0},
    {"fax", 0},
    {"sender", 0},
    {"numberofrecipients", 0},
    {"namerequestfor", 0},
    {"textnamereceived", 0},
    {"recordingreceived", 0},
    {"textnamesent", 0},
    {"recordingsent", 0},
}};
constexpr std::array<Column, 7> kRecipientColumns{{
    {"callid", kCallTaskGroup},
    {"taskid", kCallTaskGroup},
    {"recipient", 0},
    {"octelserialnumber", 0},
    {"corvaneserialnumber", 0},
    {"rejected", 0},
    {"recipientinfo", 0},
}};
constexpr std::array<Column, 12> kErrorColumns{{
    {"callid", 0},
    {"timestamperror", 0},
    {"state", 0},
    {"statetext", 0},
    {"reason", 0},
    {"reasontext", 0},
    {"exitcode", 0},
    {"expecteddigits", 0},
    {"receiveddigits", 0},
    {"expectednumberdigits", 0},
    {"receivednumberdigits", 0},
    {"previousstatedata", 0},
}};

// "insert into <table> (a, b ...) values (?1, ?2 ...)"
template <std::size_t N>
std::string insertStatement(std::string_view table, const std::array<Column, N>& columns) {
  std::string names, values;
  for (std::size_t i = 0; i < N; ++i) {
    if (i > 0) {
      names += ", ";
      values += ", ";
    }
    names += columns[i].name;
    values += "?" + std::to_string(i + 1);
  }
  return "insert into " + std::string(table) + " (" + names + ") values (" + values + ")";
}

// "update <table> set a = ?1, c = ?3 ... where rowid = ?<N+1>": every column
// outside the indexes and the key columns of the groups in `changed`.  The
// parameters keep their numbers, so one bind function serves every variant.
template <std::size_t N>
std::string updateStatement(std::string_view table, const std::array<Column, N>& columns, unsigned changed) {
  std::string sql = "update " + std::string(table) + " set ";
  bool first = true;
  for (std::size_t i = 0; i < N; ++i) {
    if (columns[i].group != 0 && (columns[i].group & changed) == 0) continue;
    if (!first) sql += ", ";
    first = false;
    sql += std::string(columns[i].name) + " = ?" + std::to_string(i + 1);
  }
  sql += " where rowid = ?" + std::to_string(N + 1);
  return sql;
}

// Stamps bound as text without a copy live here until the statement has run.
using StampText = std::array<char, 32>;
struct StampTexts {
  StampText begin, end;
};

void bindDate(db::Statement& statement, int index, const std::optional<DateTime>& value, StampText& text) {
  if (value)
    statement.bindStatic(index, value->toStored(text));
  else
    statement.bindNull(index);
}

void bindCall(db::Statement& s, const CallRow& row, StampTexts& stamps) {
  s.bindStatic(1, row.timestampbegin.toStored(stamps.begin));
  bindDate(s, 2, row.timestampend, stamps.end);
  s.bindStatic(3, row.callid).bind(4, row.inbound).bind(5, row.line);
  s.bind(6, row.durationInSeconds ? std::optional<std::int64_t>(*row.durationInSeconds) : std::nullopt);
  s.bindStatic(7, row.exitcode)
      .bindStatic(8, row.corvaneserialnumber)
      .bindStatic(9, row.octelserialnumber)
      .bindStatic(10, row.protocollevel);
  for (std::size_t i = 0; i < kCallCounterCount; ++i)
    s.bind(11 + static_cast<int>(i), static_cast<std::int64_t>(row.counters[i]));
}

void bindTask(db::Statement& s, const TaskRow& row, StampTexts& stamps) {
  s.bindStatic(1, row.callid).bindStatic(2, row.taskid).bindStatic(3, row.timestampbegin.toStored(stamps.begin));
  bindDate(s, 4, row.timestampend, stamps.end);
  s.bind(5, row.durationInSeconds ? std::optional<std::int64_t>(*row.durationInSeconds) : std::nullopt);
  s.bindStatic(6, row.tasktype)
      .bind(7, row.fax)
      .bindStatic(8, row.sender)
      .bind(9, static_cast<std::int64_t>(row.numberofrecipients));
  s.bindStatic(10, row.namerequestfor).bindStatic(11, row.textnamereceived).bind(12, row.recordingreceived);
  s.bindStatic(13, row.textnamesent).bind(14, row.recordingsent);
}

void bindRecipient(db::Statement& s, const RecipientRow& row, StampTexts&) {
  s.bindStatic(1, row.callid)
      .bindStatic(2, row.taskid)
      .bindStatic(3, row.recipient)
      .bindStatic(4, row.octelserialnumber);
  s.bindStatic(5, row.corvaneserialnumber).bind(6, row.rejected).bindStatic(7, row.recipientinfo);
}

// The groups of key columns whose values differ from the row's last save.
unsigned changedGroups(const CallRow& row, const CallRow& saved) {
  unsigned changed = 0;
  if (row.timestampbegin != saved.timestampbegin || row.line != saved.line) changed |= kBeginGroup;
  if (row.timestampend != saved.timestampend) changed |= kEndGroup;
  if (row.callid != saved.callid) changed |= kIdGroup;
  if (row.octelserialnumber != saved.octelserialnumber) changed |= kNodeGroup;
  return changed;
}
template <class Row>
unsigned changedGroups(const Row& row, const Row& saved) {
  return row.callid != saved.callid || row.taskid != saved.taskid ? kCallTaskGroup : 0;
}

// What the last save wrote into the key columns.
void rememberKeys(const CallRow& row, CallRow& saved) {
  saved.timestampbegin = row.timestampbegin;
  saved.line = row.line;
  saved.timestampend = row.timestampend;
  saved.callid = row.callid;
  saved.octelserialnumber = row.octelserialnumber;
}
template <class Row>
void rememberKeys(const Row& row, Row& saved) {
  saved.callid = row.callid;
  saved.taskid = row.taskid;
}

// Adds the row (its first write) or writes it over the earlier one.
template <class Row, class Bind>
void saveRow(db::Statement& insert, std::vector<db::Statement>& updates, int columnCount, const Row& row,
             Row& savedKeys, std::int64_t& rowid, Bind bind) {
  StampTexts stamps;
  if (rowid == 0) {
    insert.reset();
    bind(insert, row, stamps);
    insert.run();
    rowid = insert.lastInsertRowid();
  } else {
    db::Statement& update = updates[changedGroups(row, savedKeys)];
    update.reset();
    bind(update, row, stamps);
    update.bind(columnCount + 1, rowid);
    update.run();
  }
  rememberKeys(row, savedKeys);
}

template <std::size_t N>
std::vector<db::Statement> prepareUpdates(db::Connection& connection, std::string_view table,
                                          const std::array<Column, N>& columns, unsigned variants) {
  std::vector<db::Statement> updates;
  for (unsigned changed = 0; changed < variants; ++changed)
    updates.push_back(connection.prepare(updateStatement(table, columns, changed)));
  return updates;
}

std::int32_t secondsBetween(const DateTime& begin, const DateTime& end) {
  const std::int64_t seconds = begin.secondsUntil(end);
  if (seconds > std::numeric_limits<std::int32_t>::max() || seconds < std::numeric_limits<std::int32_t>::min())
    throw HandledError(error_number::kOverflow, "Overflow");
  return static_cast<std::int32_t>(seconds);
}

}  // namespace

void CallRecords::prepare(db::Connection& connection) {
  connection_ = &connection;
  lastCall_ = connection.prepare(
      "select timestampend from calls where line = ?1 and timestampend is not null "
      "order by timestampbegin desc, rowid desc limit 1");
  insertCall_ = connection.prepare(insertStatement("calls", kCallColumns));
  updateCall_ = prepareUpdates(connection, "calls", kCallColumns, kCallGroups);
  insertTask_ = connection.prepare(insertStatement("tasks", kTaskColumns));
  updateTask_ = prepareUpdates(connection, "tasks", kTaskColumns, kTaskGroups);
  insertRecipient_ = connection.prepare(insertStatement("recipients", kRecipientColumns));
  updateRecipient_ = prepareUpdates(connection, "recipients", kRecipientColumns, kTaskGroups);
  insertError_ = connection.prepare(insertStatement("errors", kErrorColumns));
}

void CallRecords::finalize() noexcept {
  for (db::Statement* statement : {&lastCall_, &insertCall_, &insertTask_, &insertRecipient_, &insertError_})
    *statement = db::Statement();
  connection_ = nullptr;
  for (std::vector<db::Statement>* updates : {&updateCall_, &updateTask_, &updateRecipient_}) updates->clear();
  forgetRows();
}

std::optional<DateTime> CallRecords::lastCallEnd(int line) {
  lastCall_.reset();
  lastCall_.bind(1, line);
  if (!lastCall_.step()) {
    lastCall_.reset();
    return std::nullopt;
  }
  const std::string text = lastCall_.getText(0);
  lastCall_.reset();
  const std::optional<DateTime> end = DateTime::parseStored(text);
  if (!end) throw HandledError(error_number::kTypeMismatch, "Type mismatch");
  return end;
}

CallRow& CallRecords::call() {
  callSaved_.changed = true;
  return call_;
}

TaskRow& CallRecords::task() {
  if (!hasTask()) {
    scratchTask_ = TaskRow();
    return scratchTask_;
  }
  taskSaved_.changed = true;
  return task_;
}

RecipientRow& CallRecords::recipient() {
  if (!hasRecipient()) {
    scratchRecipient_ = RecipientRow();
    return scratchRecipient_;
  }
  recipientSaved_.changed = true;
  return recipient_;
}

namespace {

// Only after a failed save can a row still wait for its insert when the next
// row of its table starts; it is tried once more (that failure was reported
// where it happened).
template <class Write>
void tryOnce(Write&& write) noexcept {
  guardWith(std::forward<Write>(write), ignoreFailure);
}

}  // namespace

CallRow& CallRecords::newCall() {
  if (callNumber_ != 0 && callSaved_.pending) tryOnce([&] { writeCall(waitingCall_); });
  call_ = CallRow();
  callSaved_ = Saved{0, true};
  ++callNumber_;
  return call_;
}

TaskRow& CallRecords::newTask() {
  if (taskNumber_ != 0 && taskSaved_.pending) tryOnce([&] { writeTask(waitingTask_); });
  task_ = TaskRow();
  taskSaved_ = Saved{0, true};
  ++taskNumber_;
  taskCall_ = callNumber_;
  return task_;
}

RecipientRow& CallRecords::newRecipient() {
  if (recipientTask_ != 0 && recipientSaved_.pending) tryOnce([&] { writeRecipient(waitingRecipient_); });
  recipient_ = RecipientRow();
  recipientSaved_ = Saved{0, true};
  recipientTask_ = taskNumber_;
  return recipient_;
}

template <class Row>
bool CallRecords::firstSaveWaits(Saved& saved, const Row& row, Row& waiting) {
  // Without a transaction every save is written at once.
  if (saved.rowid != 0 || saved.pending || !connection_ || !connection_->inTransaction()) return false;
  if (saved.changed) {
    waiting = row;
    saved.pending = true;
    saved.changed = false;
  }
  return true;
}

void CallRecords::writeCall(const CallRow& values) {
  if (discarding_) return;
  tracked([&] {
    saveRow(insertCall_, updateCall_, kCallColumns.size(), values, savedCallKeys_, callSaved_.rowid, bindCall);
  });
  callSaved_.pending = false;
  // Written as it waited: changes made since are still to be saved.
  if (&values == &call_) callSaved_.changed = false;
}

void CallRecords::writeTask(const TaskRow& values) {
  if (discarding_) return;
  tracked([&] {
    saveRow(insertTask_, updateTask_, kTaskColumns.size(), values, savedTaskKeys_, taskSaved_.rowid, bindTask);
  });
  taskSaved_.pending = false;
  if (&values == &task_) taskSaved_.changed = false;
}

void CallRecords::writeRecipient(const RecipientRow& values) {
  if (discarding_) return;
  tracked([&] {
    saveRow(insertRecipient_, updateRecipient_, kRecipientColumns.size(), values, savedRecipientKeys_,
            recipientSaved_.rowid, bindRecipient);
  });
  recipientSaved_.pending = false;
  if (&values == &recipient_) recipientSaved_.changed = false;
}

void CallRecords::saveCall() {
  if (callNumber_ == 0 || firstSaveWaits(callSaved_, call_, waitingCall_)) return;
  if (callSaved_.pending || callSaved_.changed) writeCall(call_);
}

void CallRecords::saveTask() {
  if (taskNumber_ == 0 || firstSaveWaits(taskSaved_, task_, waitingTask_)) return;
  if (taskSaved_.pending || taskSaved_.changed) writeTask(task_);
}

void CallRecords::saveRecipient() {
  if (recipientTask_ == 0 || firstSaveWaits(recipientSaved_, recipient_, waitingRecipient_)) return;
  if (recipientSaved_.pending || recipientSaved_.changed) writeRecipient(recipient_);
}

void CallRecords::savePending() {
  saveCall();
  saveTask();
  saveRecipient();
  // A first save just made waits no longer; the row is as it waited.
  if (callNumber_ != 0 && callSaved_.pending) writeCall(call_);
  if (taskNumber_ != 0 && taskSaved_.pending) writeTask(task_);
  if (recipientTask_ != 0 && recipientSaved_.pending) writeRecipient(recipient_);
}

void CallRecords::flushPending() {
  if (callNumber_ != 0 && callSaved_.pending) writeCall(waitingCall_);
  if (taskNumber_ != 0 && taskSaved_.pending) writeTask(waitingTask_);
  if (recipientTask_ != 0 && recipientSaved_.pending) writeRecipient(waitingRecipient_);
}

void CallRecords::forgetRows() {
  call_ = CallRow();
  task_ = TaskRow();
  recipient_ = RecipientRow();
  callSaved_ = taskSaved_ = recipientSaved_ = Saved{};
  callNumber_ = taskNumber_ = taskCall_ = recipientTask_ = 0;
}

void CallRecords::discardLine() {
  forgetRows();
  discarding_ = true;
}

void CallRecords::addError(const ErrorRow& row) {
  if (discarding_) return;
  StampText stamp;
  insertError_.reset();
  insertError_.bindStatic(1, row.callid)
      .bindStatic(2, row.timestamperror.toStored(stamp))
      .bind(3, row.state)
      .bindStatic(4, row.statetext);
  insertError_.bind(5, row.reason).bindStatic(6, row.reasontext).bindStatic(7, row.exitcode);
  insertError_.bindStatic(8, row.expecteddigits).bindStatic(9, row.receiveddigits);
  insertError_.bind(10, static_cast<std::int64_t>(row.expectednumberdigits));
  insertError_.bind(11, static_cast<std::int64_t>(row.receivednumberdigits)).bindStatic(12, row.previousstatedata);
  tracked([&] { insertError_.run(); });
}

// ---- the writers ----

namespace {

void endCall(CallModule& module, std::string_view exitcode, std::string_view procedure) {
  guardCall(module, procedure, [&] {
    CallRow& call = module.records.call();
    call.timestampend = module.events.current().timestamp;
    call.durationInSeconds = secondsBetween(call.timestampbegin, *call.timestampend);
    call.exitcode = std::string(exitcode);
  });
  guardCall(module, procedure, [&] { module.records.saveCall(); });
}

// Element 0 of a word split at "@": the mailbox ("" for an empty word).
std::string mailboxOf(CallModule& module, const std::string& word) {
  splitInto(module.mailboxParts, word, '@');
  return module.mailboxParts.empty() ? std::string() : module.mailboxParts[0];
}

void messageTask(CallModule& module, std::size_t senderWord, std::size_t recipientWord, bool refused,
                 std::string_view procedure) {
  startTask(module);
  CallRecords& records = module.records;
  records.task().tasktype = "Voice Message";
  CallRow& call = records.call();
  call.counters[kMsgSendAttempt] += 1;
  call.counters[kNumberRecipientsSent] += 1;
  split(module);
  if (const std::string* sender = wordAt(module, senderWord, procedure))
    records.task().sender = mailboxOf(module, *sender);
  const bool added = addRecipientFromWord(module, wordAt(module, recipientWord, procedure), true);
  if (refused && added) records.recipient().rejected = true;
}

void markLastRecipient(CallModule& module, std::string_view info, std::string_view procedure) {
  guardCall(module, procedure, [&] { module.records.saveTask(); });
  if (module.records.hasRecipient()) module.records.recipient().recipientinfo = std::string(info);
  module.pendingRecipientInfo.clear();
}

}  // namespace

void callEnd(CallModule& module) { endCall(module, kExitOk, "callEnd()"); }

void callEndNoMessages(CallModule& module) { endCall(module, kExitOkNoInit, "callEndNoMessages()"); }

void startTask(CallModule& module) {
  constexpr std::string_view kProcedure = "startTask()";
  CallRecords& records = module.records;
  // The task started before it reaches the table before the new one begins.
  guardCall(module, kProcedure, [&] {
    records.saveTask();
    records.saveRecipient();
  });
  guardCall(module, kProcedure, [&] {
    const EventRow& event = module.events.current();
    const std::string callid = records.call().callid;
    TaskRow& task = records.newTask();
    task.callid = callid;
    task.taskid = callKey(event.timestamp, event.milliseconds, event.sequence, event.line);
    task.timestampbegin = event.timestamp;
  });
  module.aliasResponseNo = false;
}

void endTask(CallModule& module, bool complete) {
  constexpr std::string_view kProcedure = "endTask()";
  CallRecords& records = module.records;
  if (!records.hasTask()) return;
  guardCall(module, kProcedure, [&] {
    TaskRow& task = records.task();
    task.timestampend = module.events.current().timestamp;
    task.durationInSeconds = secondsBetween(task.timestampbegin, *task.timestampend);
    if (!complete) task.tasktype = task.tasktype.value_or("") + " [Incomplete]";
  });
  guardCall(module, kProcedure, [&] { records.saveTask(); });
}

void addRecipient(CallModule& module, std::string_view recipient) {
  constexpr std::string_view kProcedure = "addRecipient()";
  CallRecords& records = module.records;
  guardCall(module, kProcedure, [&] { records.saveTask(); });
  if (records.hasTask()) {
    guardCall(module, kProcedure, [&] { records.saveRecipient(); });
    const CallRow& call = records.call();
    const std::string taskid = records.task().taskid;
    RecipientRow& row = records.newRecipient();
    row.callid = call.callid;
    row.taskid = taskid;
    row.recipient = std::string(recipient);
    if (call.inbound)
      row.corvaneserialnumber = call.corvaneserialnumber;
    else
      row.octelserialnumber = call.octelserialnumber;
    row.recipientinfo = module.pendingRecipientInfo;
    records.task().numberofrecipients += 1;
  }
  module.pendingRecipientInfo.clear();
}

bool addRecipientFromWord(CallModule& module, const std::string* word, bool mailboxPart) {
  if (!word) {
    module.pendingRecipientInfo.clear();
    return false;
  }
  addRecipient(module, mailboxPart ? mailboxOf(module, *word) : *word);
  return module.records.hasTask();
}

void incompleteMessageRecipient(CallModule& module) {
  markLastRecipient(module, "Message transmission unsuccessful", "incompleteMessageRecipient()");
}

void incompleteRecipientNameInfo(CallModule& module) {
  markLastRecipient(module, "Protocol error during recipient name confirmation", "incompleteRecipientNameInfo()");
}

void callAbend(CallModule& module, Stage stage, Reason reason, std::string_view expecteddigits,
               std::string_view receiveddigits, std::int32_t expectednumberdigits, std::int32_t receivednumberdigits) {
  constexpr std::string_view kProcedure = "callAbend()";
  CallRecords& records = module.records;
  ErrorRow error;
  error.state = static_cast<int>(stage);
  error.statetext = std::string(stageText(stage));
  error.reason = static_cast<int>(reason);
  error.reasontext = std::string(reasonText(reason));
  error.exitcode = failureExitCode(error.state, error.reason);
  error.expecteddigits = std::string(expecteddigits);
  error.receiveddigits = std::string(receiveddigits);
  error.expectednumberdigits = expectednumberdigits;
  error.receivednumberdigits = receivednumberdigits;
  error.previousstatedata = module.previousStateData;
  guardCall(module, kProcedure, [&] {
    error.callid = records.call().callid;
    error.timestamperror = module.events.current().timestamp;
    records.addError(error);
  });
  endCall(module, error.exitcode, kProcedure);
}

void sendMsg(CallModule& module) { messageTask(module, 4, 7, false, "sendMsg()"); }

void couldNotSend(CallModule& module) { messageTask(module, 6, 9, true, "couldNotSend()"); }

void startInboundAdminTask(CallModule& module, std::string_view taskType) {
  startTask(module);
  CallRecords& records = module.records;
  records.task().tasktype = std::string(taskType);
  records.call().counters[kAdminNameRequestsRecd] += 1;
  split(module);
  records.task().namerequestfor = module.eventWords.size() > 5 ? module.eventWords[5] : std::string("[null]");
}

void clearCallStats(CallModule& module) {
  CallRow& call = module.records.call();
  call.corvaneserialnumber = kUnknownSerial;
  call.octelserialnumber = kUnknownSerial;
  call.counters.fill(0);
  module.pendingRecipientInfo.clear();
}

}  // namespace travik
