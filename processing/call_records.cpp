#include "processing/call_records.h"

#include <limits>

#include "processing/call_ids.h"
#include "processing/call_module.h"

namespace travik {

namespace {

constexpr long kInvalidUseOfNull = 94;

constexpr std::string_view kCallColumns =
    "timestampbegin, timestampend, callid, inbound, line, durationInSeconds, exitcode, corvaneserialnumber, "
    "octelserialnumber, protocollevel, msgsendattempt, msgsendsuccess, msgreceiveattempt, msgreceivesuccess, "
    "numberrecipientssent, adminnamesrequested, textnamesreceived, voicenamesreceived, adminnamerequestsrecd, "
    "textnamessent, voicenamessent";
constexpr int kCallColumnCount = 21;
constexpr std::string_view kTaskColumns =
    "callid, taskid, timestampbegin, timestampend, durationInSeconds, tasktype, fax, sender, numberofrecipients, "
    "namerequestfor, textnamereceived, recordingreceived, textnamesent, recordingsent";
constexpr int kTaskColumnCount = 14;
constexpr std::string_view kRecipientColumns =
    "callid, taskid, recipient, octelserialnumber, corvaneserialnumber, rejected, recipientinfo";
constexpr int kRecipientColumnCount = 7;
constexpr std::string_view kErrorColumns =
    "callid, timestamperror, state, statetext, reason, reasontext, exitcode, expecteddigits, receiveddigits, "
    "expectednumberdigits, receivednumberdigits, previousstatedata";
constexpr int kErrorColumnCount = 12;

std::string placeholders(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += i == 0 ? "?" : ", ?";
  return text;
}

// "update <table> set a = ?1, b = ?2 ... where rowid = ?<n+1>"
std::string updateStatement(std::string_view table, std::string_view columns) {
  std::string sql = "update " + std::string(table) + " set ";
  int index = 1;
  std::size_t start = 0;
  while (start < columns.size()) {
    std::size_t end = columns.find(',', start);
    if (end == std::string_view::npos) end = columns.size();
    std::string_view column = columns.substr(start, end - start);
    while (!column.empty() && column.front() == ' ') column.remove_prefix(1);
    if (index > 1) sql += ", ";
    sql += std::string(column) + " = ?" + std::to_string(index++);
    start = end + 1;
  }
  sql += " where rowid = ?" + std::to_string(index);
  return sql;
}

void bindDate(db::Statement& statement, int index, const std::optional<DateTime>& value) {
  if (value)
    statement.bind(index, value->toStored());
  else
    statement.bindNull(index);
}

void bindCall(db::Statement& s, const CallRow& row) {
  s.bind(1, row.timestampbegin.toStored());
  bindDate(s, 2, row.timestampend);
  s.bind(3, row.callid).bind(4, row.inbound).bind(5, row.line);
  s.bind(6, row.durationInSeconds ? std::optional<std::int64_t>(*row.durationInSeconds) : std::nullopt);
  s.bind(7, row.exitcode).bind(8, row.corvaneserialnumber).bind(9, row.octelserialnumber).bind(10, row.protocollevel);
  for (std::size_t i = 0; i < kCallCounterCount; ++i)
    s.bind(11 + static_cast<int>(i), static_cast<std::int64_t>(row.counters[i]));
}

void bindTask(db::Statement& s, const TaskRow& row) {
  s.bind(1, row.callid).bind(2, row.taskid).bind(3, row.timestampbegin.toStored());
  bindDate(s, 4, row.timestampend);
  s.bind(5, row.durationInSeconds ? std::optional<std::int64_t>(*row.durationInSeconds) : std::nullopt);
  s.bind(6, row.tasktype)
      .bind(7, row.fax)
      .bind(8, row.sender)
      .bind(9, static_cast<std::int64_t>(row.numberofrecipients));
  s.bind(10, row.namerequestfor).bind(11, row.textnamereceived).bind(12, row.recordingreceived);
  s.bind(13, row.textnamesent).bind(14, row.recordingsent);
}

void bindRecipient(db::Statement& s, const RecipientRow& row) {
  s.bind(1, row.callid).bind(2, row.taskid).bind(3, row.recipient).bind(4, row.octelserialnumber);
  s.bind(5, row.corvaneserialnumber).bind(6, row.rejected).bind(7, row.recipientinfo);
}

// Adds the row (first save) or writes it over its earlier save.
template <class Row, class Bind>
void saveRow(db::Statement& insert, db::Statement& update, int columnCount, const Row& row, std::int64_t& rowid,
             Bind bind) {
  if (rowid == 0) {
    insert.reset();
    bind(insert, row);
    // Not "returning rowid": a RETURNING clause runs as a trigger, and every
    // statement with one opens a statement journal inside the line's transaction.
    insert.run();
    rowid = insert.lastInsertRowid();
  } else {
    update.reset();
    bind(update, row);
    update.bind(columnCount + 1, rowid);
    update.run();
  }
}

std::int32_t secondsBetween(const DateTime& begin, const DateTime& end) {
  const std::int64_t seconds = begin.secondsUntil(end);
  if (seconds > std::numeric_limits<std::int32_t>::max() || seconds < std::numeric_limits<std::int32_t>::min())
    throw HandledError(error_number::kOverflow, "Overflow");
  return static_cast<std::int32_t>(seconds);
}

}  // namespace

void CallRecords::prepare(db::Connection& connection) {
  lastCall_ = connection.prepare(
      "select timestampend from calls where line = ?1 order by timestampbegin desc, rowid desc limit 1");
  insertCall_ = connection.prepare("insert into calls (" + std::string(kCallColumns) + ") values (" +
                                   placeholders(kCallColumnCount) + ")");
  updateCall_ = connection.prepare(updateStatement("calls", kCallColumns));
  insertTask_ = connection.prepare("insert into tasks (" + std::string(kTaskColumns) + ") values (" +
                                   placeholders(kTaskColumnCount) + ")");
  updateTask_ = connection.prepare(updateStatement("tasks", kTaskColumns));
  insertRecipient_ = connection.prepare("insert into recipients (" + std::string(kRecipientColumns) + ") values (" +
                                        placeholders(kRecipientColumnCount) + ")");
  updateRecipient_ = connection.prepare(updateStatement("recipients", kRecipientColumns));
  insertError_ = connection.prepare("insert into errors (" + std::string(kErrorColumns) + ") values (" +
                                    placeholders(kErrorColumnCount) + ")");
}

void CallRecords::finalize() noexcept {
  for (db::Statement* statement : {&lastCall_, &insertCall_, &updateCall_, &insertTask_, &updateTask_,
                                   &insertRecipient_, &updateRecipient_, &insertError_})
    *statement = db::Statement();
  forgetRows();
}

std::optional<DateTime> CallRecords::lastCallEnd(int line) {
  lastCall_.reset();
  lastCall_.bind(1, line);
  if (!lastCall_.step()) {
    lastCall_.reset();
    return std::nullopt;
  }
  const bool open = lastCall_.isNull(0);
  const std::string text = open ? std::string() : lastCall_.getText(0);
  lastCall_.reset();
  if (open) throw HandledError(kInvalidUseOfNull, "Invalid use of Null");
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

CallRow& CallRecords::newCall() {
  call_ = CallRow();
  callSaved_ = Saved{0, true};
  ++callNumber_;
  return call_;
}

TaskRow& CallRecords::newTask() {
  task_ = TaskRow();
  taskSaved_ = Saved{0, true};
  ++taskNumber_;
  taskCall_ = callNumber_;
  return task_;
}

RecipientRow& CallRecords::newRecipient() {
  recipient_ = RecipientRow();
  recipientSaved_ = Saved{0, true};
  recipientTask_ = taskNumber_;
  return recipient_;
}

void CallRecords::saveCall() {
  if (!callSaved_.changed || callNumber_ == 0) return;
  saveRow(insertCall_, updateCall_, kCallColumnCount, call_, callSaved_.rowid, bindCall);
  callSaved_.changed = false;
}

void CallRecords::saveTask() {
  if (!taskSaved_.changed || taskNumber_ == 0) return;
  saveRow(insertTask_, updateTask_, kTaskColumnCount, task_, taskSaved_.rowid, bindTask);
  taskSaved_.changed = false;
}

void CallRecords::saveRecipient() {
  if (!recipientSaved_.changed || recipientTask_ == 0) return;
  saveRow(insertRecipient_, updateRecipient_, kRecipientColumnCount, recipient_, recipientSaved_.rowid, bindRecipient);
  recipientSaved_.changed = false;
}

void CallRecords::savePending() {
  saveCall();
  saveTask();
  saveRecipient();
}

void CallRecords::forgetRows() {
  call_ = CallRow();
  task_ = TaskRow();
  recipient_ = RecipientRow();
  callSaved_ = taskSaved_ = recipientSaved_ = Saved{};
  callNumber_ = taskNumber_ = taskCall_ = recipientTask_ = 0;
}

void CallRecords::addError(const ErrorRow& row) {
  insertError_.reset();
  insertError_.bind(1, row.callid).bind(2, row.timestamperror.toStored()).bind(3, row.state).bind(4, row.statetext);
  insertError_.bind(5, row.reason).bind(6, row.reasontext).bind(7, row.exitcode).bind(8, row.expecteddigits);
  insertError_.bind(9, row.receiveddigits).bind(10, static_cast<std::int64_t>(row.expectednumberdigits));
  insertError_.bind(11, static_cast<std::int64_t>(row.receivednumberdigits)).bind(12, row.previousstatedata);
  insertError_.run();
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
  records.task().sender = mailboxOf(module, eventWord(module, senderWord, procedure));
  addRecipient(module, mailboxOf(module, eventWord(module, recipientWord, procedure)));
  if (refused) records.recipient().rejected = true;
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
