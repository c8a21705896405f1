#include "processing/calls/call_records.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <utility>
#include <vector>

#include "processing/calls/call_ids.h"
#include "processing/calls/call_module.h"

namespace travik {

namespace {

// Stamps bound as text without a copy live here until the statement has run.
using StampText = std::array<char, 32>;

void bindValue(db::Statement& s, int index, const DateTime& value, StampText& text) {
  s.bindStatic(index, value.toStored(text));
}
void bindValue(db::Statement& s, int index, const std::optional<DateTime>& value, StampText& text) {
  if (value)
    s.bindStatic(index, value->toStored(text));
  else
    s.bindNull(index);
}
void bindValue(db::Statement& s, int index, const std::string& value, StampText&) { s.bindStatic(index, value); }
void bindValue(db::Statement& s, int index, const std::optional<std::string>& value, StampText&) {
  s.bindStatic(index, value);
}
void bindValue(db::Statement& s, int index, bool value, StampText&) { s.bind(index, value); }
void bindValue(db::Statement& s, int index, std::int32_t value, StampText&) {
  s.bind(index, static_cast<std::int64_t>(value));
}
void bindValue(db::Statement& s, int index, const std::optional<std::int32_t>& value, StampText&) {
  s.bind(index, value ? std::optional<std::int64_t>(*value) : std::nullopt);
}

// A column of a saved table.  Its place in its table's list is its place in
// the insert and its parameter number everywhere, so a column cannot bind to
// another's place.  `group`: the indexes it is part of, as group bits; an
// update leaves out the key columns whose group did not change since the
// row's last write, so SQLite need not rewrite those index entries.  Columns
// outside every index (group 0) are always written.
template <class Row>
struct Column {
  std::string_view name;
  unsigned group;
  void (*bind)(db::Statement&, int index, const Row&, StampText&);
  bool (*same)(const Row&, const Row&);
  void (*keep)(const Row& from, Row& to);
};

template <class>
struct MemberOf;
template <class R, class T>
struct MemberOf<T R::*> {
  using Row = R;
};

// The column `name` holding the field `Field`.
template <auto Field>
constexpr Column<typename MemberOf<decltype(Field)>::Row> column(std::string_view name, unsigned group = 0) {
  using Row = typename MemberOf<decltype(Field)>::Row;
  return {name, group,
          [](db::Statement& s, int index, const Row& row, StampText& text) { bindValue(s, index, row.*Field, text); },
          [](const Row& a, const Row& b) { return a.*Field == b.*Field; },
          [](const Row& from, Row& to) { to.*Field = from.*Field; }};
}

// A counter column of calls.
template <CallCounter Counter>
constexpr Column<CallRow> counter(std::string_view name) {
  return {name, 0,
          [](db::Statement& s, int index, const CallRow& row, StampText& text) {
            bindValue(s, index, row.counters[Counter], text);
          },
          [](const CallRow& a, const CallRow& b) { return a.counters[Counter] == b.counters[Counter]; },
          [](const CallRow& from, CallRow& to) { to.counters[Counter] = from.counters[Counter]; }};
}

// calls: callsByLine and callsByBegin, callsOpen, callsById, callsByNode.
constexpr unsigned kBeginGroup = 1, kEndGroup = 2, kIdGroup = 4, kNodeGroup = 8;
// tasks and recipients: tasksByCall, recipientsByCall.
constexpr unsigned kCallTaskGroup = 1;

constexpr std::array kCallHeadColumns{
    column<&CallRow::timestampbegin>("timestampbegin", kBeginGroup),
    column<&CallRow::timestampend>("timestampend", kEndGroup),
    column<&CallRow::callid>("callid", kIdGroup),
    column<&CallRow::inbound>("inbound"),
    column<&CallRow::line>("line", kBeginGroup),
    column<&CallRow::durationInSeconds>("durationInSeconds"),
    column<&CallRow::exitcode>("exitcode"),
    column<&CallRow::corvaneserialnumber>("corvaneserialnumber"),
    column<&CallRow::octelserialnumber>("octelserialnumber", kNodeGroup),
    column<&CallRow::protocollevel>("protocollevel"),
};

// The counter columns, one per counter in the order of the list.
template <std::size_t... I>
constexpr std::array<Column<CallRow>, sizeof...(I)> counterColumns(std::index_sequence<I...>) {
  return {counter<static_cast<CallCounter>(I)>(kCallCounterNames[I])...};
}

template <class T, std::size_t N, std::size_t M>
constexpr std::array<T, N + M> concatenated(const std::array<T, N>& first, const std::array<T, M>& second) {
  std::array<T, N + M> all{};
  for (std::size_t i = 0; i < N; ++i) all[i] = first[i];
  for (std::size_t i = 0; i < M; ++i) all[N + i] = second[i];
  return all;
}

constexpr auto kCallColumns =
    concatenated(kCallHeadColumns, counterColumns(std::make_index_sequence<kCallCounterCount>{}));

constexpr std::array kTaskColumns{
    column<&TaskRow::callid>("callid", kCallTaskGroup),
    column<&TaskRow::taskid>("taskid", kCallTaskGroup),
    column<&TaskRow::timestampbegin>("timestampbegin"),
    column<&TaskRow::timestampend>("timestampend"),
    column<&TaskRow::durationInSeconds>("durationInSeconds"),
    column<&TaskRow::tasktype>("tasktype"),
    column<&TaskRow::fax>("fax"),
    column<&TaskRow::sender>("sender"),
    column<&TaskRow::numberofrecipients>("numberofrecipients"),
    column<&TaskRow::namerequestfor>("namerequestfor"),
    column<&TaskRow::textnamereceived>("textnamereceived"),
    column<&TaskRow::recordingreceived>("recordingreceived"),
    column<&TaskRow::textnamesent>("textnamesent"),
    column<&TaskRow::recordingsent>("recordingsent"),
};

constexpr std::array kRecipientColumns{
    column<&RecipientRow::callid>("callid", kCallTaskGroup),
    column<&RecipientRow::taskid>("taskid", kCallTaskGroup),
    column<&RecipientRow::recipient>("recipient"),
    column<&RecipientRow::octelserialnumber>("octelserialnumber"),
    column<&RecipientRow::corvaneserialnumber>("corvaneserialnumber"),
    column<&RecipientRow::rejected>("rejected"),
    column<&RecipientRow::recipientinfo>("recipientinfo"),
};

constexpr std::array kErrorColumns{
    column<&ErrorRow::callid>("callid"),
    column<&ErrorRow::timestamperror>("timestamperror"),
    column<&ErrorRow::state>("state"),
    column<&ErrorRow::statetext>("statetext"),
    column<&ErrorRow::reason>("reason"),
    column<&ErrorRow::reasontext>("reasontext"),
    column<&ErrorRow::exitcode>("exitcode"),
    column<&ErrorRow::expecteddigits>("expecteddigits"),
    column<&ErrorRow::receiveddigits>("receiveddigits"),
    column<&ErrorRow::expectednumberdigits>("expectednumberdigits"),
    column<&ErrorRow::receivednumberdigits>("receivednumberdigits"),
    column<&ErrorRow::previousstatedata>("previousstatedata"),
};

// Each saved row type's table and columns.
template <class Row>
struct Table;
template <>
struct Table<CallRow> {
  static constexpr std::string_view name = "calls";
  static constexpr const auto& columns = kCallColumns;
};
template <>
struct Table<TaskRow> {
  static constexpr std::string_view name = "tasks";
  static constexpr const auto& columns = kTaskColumns;
};
template <>
struct Table<RecipientRow> {
  static constexpr std::string_view name = "recipients";
  static constexpr const auto& columns = kRecipientColumns;
};
template <>
struct Table<ErrorRow> {
  static constexpr std::string_view name = "errors";
  static constexpr const auto& columns = kErrorColumns;
};

// The number of update variants: one per combination of groups.
template <class Row>
constexpr unsigned updateVariants() {
  unsigned groups = 0;
  for (const auto& column : Table<Row>::columns) groups |= column.group;
  return groups + 1;
}

template <class Row>
constexpr int parameterOfRowid() {
  return static_cast<int>(Table<Row>::columns.size()) + 1;
}

// "insert into <table> (a, b ...) values (?1, ?2 ...)"
template <class Row>
std::string insertStatement() {
  std::string names, values;
  for (std::size_t i = 0; i < Table<Row>::columns.size(); ++i) {
    if (i > 0) {
      names += ", ";
      values += ", ";
    }
    names += Table<Row>::columns[i].name;
    values += "?" + std::to_string(i + 1);
  }
  return "insert into " + std::string(Table<Row>::name) + " (" + names + ") values (" + values + ")";
}

// The columns `which` selects, each as "<name><separator>?<its number>",
// joined by `joint`.
template <class Row, class Which>
std::string columnList(std::string_view separator, std::string_view joint, Which which) {
  std::string text;
  for (std::size_t i = 0; i < Table<Row>::columns.size(); ++i) {
    if (!which(Table<Row>::columns[i])) continue;
    if (!text.empty()) text += joint;
    text += std::string(Table<Row>::columns[i].name) + std::string(separator) + "?" + std::to_string(i + 1);
  }
  return text;
}

// "update <table> set a = ?1, c = ?3 ... where rowid = ?<N+1>": every column
// outside the indexes and the key columns of the groups in `changed`.  The
// parameters keep their numbers, so one bind serves every variant.
template <class Row>
std::string updateStatement(unsigned changed) {
  return "update " + std::string(Table<Row>::name) + " set " +
         columnList<Row>(" = ", ", ", [&](const Column<Row>& c) { return c.group == 0 || (c.group & changed) != 0; }) +
         " where rowid = ?" + std::to_string(parameterOfRowid<Row>());
}

// "select count(*) from <table> where rowid = ?<N+1> and a is ?1 ...": the
// row at rowid holds the bound values in the columns `which` selects.
template <class Row, class Which>
std::string checkStatement(Which which) {
  return "select count(*) from " + std::string(Table<Row>::name) + " where rowid = ?" +
         std::to_string(parameterOfRowid<Row>()) + " and " + columnList<Row>(" is ", " and ", which);
}

// Binds every column of `row`; the stamps must outlive the statement's run.
template <class Row>
void bindRow(db::Statement& s, const Row& row, std::array<StampText, Table<Row>::columns.size()>& stamps) {
  // Unrolled, so each column's bind is a direct call.
  [&]<std::size_t... I>(std::index_sequence<I...>) {
    (Table<Row>::columns[I].bind(s, static_cast<int>(I) + 1, row, stamps[I]), ...);
  }
  (std::make_index_sequence<Table<Row>::columns.size()>());
}

// The groups of key columns whose values differ from the row's last write.
template <class Row>
unsigned changedGroups(const Row& row, const Row& saved) {
  unsigned changed = 0;
  for (const Column<Row>& c : Table<Row>::columns)
    if (c.group != 0 && (changed & c.group) == 0 && !c.same(row, saved)) changed |= c.group;
  return changed;
}

// What a write put into the key columns.
template <class Row>
void keepKeys(const Row& row, Row& saved) {
  for (const Column<Row>& c : Table<Row>::columns)
    if (c.group != 0) c.keep(row, saved);
}

// Only after a failed save can a row still wait for its insert when the next
// row of its table starts; it is tried once more (that failure was reported
// where it happened).
template <class Write>
void tryOnce(Write&& write) noexcept {
  guardWith(std::forward<Write>(write), ignoreFailure);
}

// Runs one write of the line, noting its failure.
template <class Write>
void tracked(LineWrites& line, Write&& write) {
  try {
    write();
  } catch (...) {
    line.failed = true;
    throw;
  }
}

std::int32_t secondsBetween(const DateTime& begin, const DateTime& end) {
  const std::int64_t seconds = begin.secondsUntil(end);
  if (seconds > std::numeric_limits<std::int32_t>::max() || seconds < std::numeric_limits<std::int32_t>::min())
    throw HandledError(error_number::kOverflow, "Overflow");
  return static_cast<std::int32_t>(seconds);
}

}  // namespace

// ---- one pending row ----

template <class Row>
void PendingRow<Row>::prepare(db::Connection& connection, LineWrites& line) {
  line_ = &line;
  insert_ = connection.prepare(insertStatement<Row>());
  updates_.clear();
  for (unsigned changed = 0; changed < updateVariants<Row>(); ++changed)
    updates_.push_back(connection.prepare(updateStatement<Row>(changed)));
}

template <class Row>
void PendingRow<Row>::finalize() noexcept {
  insert_ = db::Statement();
  updates_.clear();
  checkRow_ = db::Statement();
  checkKeys_ = db::Statement();
  forget();
}

template <class Row>
Row& PendingRow<Row>::start(std::uint64_t owner) {
  if (exists() && pending_) tryOnce([&] { write(waiting_); });
  row_ = Row();
  rowid_ = 0;
  changed_ = true;
  pending_ = false;
  ++number_;
  owner_ = owner;
  return row_;
}

template <class Row>
void PendingRow<Row>::save() {
  if (!exists()) return;
  // Inside a transaction a first save only marks the row, a copy of it as it
  // is now waiting for the insert.  Without one every save is written at once.
  if (rowid_ == 0 && !pending_ && line_->connection && line_->connection->inTransaction()) {
    if (changed_) {
      waiting_ = row_;
      pending_ = true;
      changed_ = false;
    }
    return;
  }
  if (pending_ || changed_) write(row_);
}

template <class Row>
void PendingRow<Row>::writeWaitingRow() {
  // The row is as it waited: the save that marked it came just before.
  if (exists() && pending_) write(row_);
}

template <class Row>
void PendingRow<Row>::flush() {
  if (exists() && pending_) write(waiting_);
}

template <class Row>
void PendingRow<Row>::forget() {
  row_ = Row();
  rowid_ = 0;
  changed_ = pending_ = false;
  number_ = owner_ = 0;
}

template <class Row>
void PendingRow<Row>::write(const Row& values) {
  if (line_->discarding) return;
  tracked(*line_, [&] {
    std::array<StampText, Table<Row>::columns.size()> stamps;
    if (rowid_ == 0) {
      insert_.reset();
      bindRow(insert_, values, stamps);
      insert_.run();
      rowid_ = insert_.lastInsertRowid();
    } else {
      db::Statement& update = updates_[changedGroups(values, savedKeys_)];
      update.reset();
      bindRow(update, values, stamps);
      update.bind(parameterOfRowid<Row>(), rowid_);
      update.run();
    }
    keepKeys(values, savedKeys_);
  });
  pending_ = false;
  // Written as it waited: changes made since are still to be saved.
  if (&values == &row_) changed_ = false;
}

template <class Row>
std::string PendingRow<Row>::inconsistency() {
  const std::string table(Table<Row>::name);
  if (!exists()) {
    if (rowid_ != 0 || pending_) return table + ": a row that is gone keeps its place";
    return {};
  }
  if (pending_ && rowid_ != 0) return table + ": a waiting row is in its table already";
  if (rowid_ == 0 && !pending_ && !changed_) return table + ": a new row is neither changed nor waiting";
  if (pending_ && !line_->discarding && !(line_->connection && line_->connection->inTransaction()))
    return table + ": a row waits outside a transaction";
  if (rowid_ == 0 || line_->discarding || !line_->connection) return {};
  // What the table holds: the whole row when unchanged since its last write,
  // else at least the key columns as that write left them.
  db::Statement& check = changed_ ? checkKeys_ : checkRow_;
  if (!check.valid())
    check = line_->connection->prepare(changed_ ? checkStatement<Row>([](const Column<Row>& c) { return c.group != 0; })
                                                : checkStatement<Row>([](const Column<Row>&) { return true; }));
  std::array<StampText, Table<Row>::columns.size()> stamps;
  check.reset();
  bindRow(check, changed_ ? savedKeys_ : row_, stamps);
  check.bind(parameterOfRowid<Row>(), rowid_);
  const bool held = check.step() && check.getInt(0) == 1;
  check.reset();
  if (!held)
    return table + ": row " + std::to_string(rowid_) +
           (changed_ ? " does not hold the keys its last write left" : " does not hold what its last save wrote");
  return {};
}

template class PendingRow<CallRow>;
template class PendingRow<TaskRow>;
template class PendingRow<RecipientRow>;

// ---- the current rows ----

void CallRecords::prepare(db::Connection& connection) {
  line_.connection = &connection;
  lastCall_ = connection.prepare(
      "select timestampend from calls where line = ?1 and timestampend is not null "
      "order by timestampbegin desc, rowid desc limit 1");
  calls_.prepare(connection, line_);
  tasks_.prepare(connection, line_);
  recipients_.prepare(connection, line_);
  insertError_ = connection.prepare(insertStatement<ErrorRow>());
}

void CallRecords::finalize() noexcept {
  lastCall_ = db::Statement();
  insertError_ = db::Statement();
  calls_.finalize();
  tasks_.finalize();
  recipients_.finalize();
  line_.connection = nullptr;
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

namespace {

const HandledError kNoCurrentRecord(error_number::kNoCurrentRecord,
                                    "Either BOF or EOF is True, or the current record has been deleted. "
                                    "Requested operation requires a current record.");

}  // namespace

TaskRow& CallRecords::task(std::string_view procedure) {
  if (hasTask()) return tasks_.edit();
  if (reportAbsentRow) reportAbsentRow(kNoCurrentRecord, procedure);
  scratchTask_ = TaskRow();
  return scratchTask_;
}

RecipientRow& CallRecords::recipient(std::string_view procedure) {
  if (hasRecipient()) return recipients_.edit();
  if (reportAbsentRow) reportAbsentRow(kNoCurrentRecord, procedure);
  scratchRecipient_ = RecipientRow();
  return scratchRecipient_;
}

void CallRecords::savePending() {
  calls_.save();
  tasks_.save();
  recipients_.save();
  // A first save just made waits no longer.
  calls_.writeWaitingRow();
  tasks_.writeWaitingRow();
  recipients_.writeWaitingRow();
  afterSave();
}

void CallRecords::flushPending() {
  calls_.flush();
  tasks_.flush();
  recipients_.flush();
  afterSave();
}

void CallRecords::forgetRows() {
  calls_.forget();
  tasks_.forget();
  recipients_.forget();
}

void CallRecords::discardLine() {
  forgetRows();
  line_.discarding = true;
}

void CallRecords::addError(const ErrorRow& row) {
  if (line_.discarding) return;
  std::array<StampText, kErrorColumns.size()> stamps;
  insertError_.reset();
  bindRow(insertError_, row, stamps);
  tracked(line_, [&] { insertError_.run(); });
}

bool CallRecords::consistent(std::string* why) {
  std::string broken = calls_.inconsistency();
  if (broken.empty()) broken = tasks_.inconsistency();
  if (broken.empty()) broken = recipients_.inconsistency();
  if (broken.empty() && (tasks_.owner() > calls_.number() || recipients_.owner() > tasks_.number()))
    broken = "a row belongs to one that has not started";
  if (broken.empty() && hasTask() && tasks_.row().callid != calls_.row().callid)
    broken = "tasks: the current task is not of the current call";
  if (broken.empty() && hasRecipient() &&
      (recipients_.row().callid != tasks_.row().callid || recipients_.row().taskid != tasks_.row().taskid))
    broken = "recipients: the current recipient is not of the current task";
  if (why) *why = broken;
  return broken.empty();
}

void CallRecords::abortWhenInconsistent() {
  std::string why;
  if (consistent(&why)) return;
  std::fprintf(stderr, "call records inconsistent after a save: %s\n", why.c_str());
  std::abort();
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
  records.task(procedure).tasktype = "Voice Message";
  CallRow& call = records.call();
  call.counters[kMsgSendAttempt] += 1;
  call.counters[kNumberRecipientsSent] += 1;
  split(module);
  if (const std::string* sender = wordAt(module, senderWord, procedure))
    records.task(procedure).sender = mailboxOf(module, *sender);
  const bool added = addRecipientFromWord(module, wordAt(module, recipientWord, procedure), true);
  if (refused && added) records.recipient(procedure).rejected = true;
}

void markLastRecipient(CallModule& module, std::string_view info, std::string_view procedure) {
  guardCall(module, procedure, [&] { module.records.saveTask(); });
  if (module.records.hasRecipient()) module.records.recipient(procedure).recipientinfo = std::string(info);
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
    const std::string callid = records.currentCall().callid;
    TaskRow& task = records.newTask();
    task.callid = callid;
    task.taskid = callKey(event.timestamp, event.milliseconds, event.sequence, event.line);
    task.timestampbegin = event.timestamp;
  });
}

void endTask(CallModule& module, bool complete) {
  constexpr std::string_view kProcedure = "endTask()";
  CallRecords& records = module.records;
  if (!records.hasTask()) return;
  guardCall(module, kProcedure, [&] {
    TaskRow& task = records.task(kProcedure);
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
    const CallRow& call = records.currentCall();
    const std::string taskid = records.currentTask()->taskid;
    RecipientRow& row = records.newRecipient();
    row.callid = call.callid;
    row.taskid = taskid;
    row.recipient = std::string(recipient);
    if (call.inbound)
      row.corvaneserialnumber = call.corvaneserialnumber;
    else
      row.octelserialnumber = call.octelserialnumber;
    row.recipientinfo = module.pendingRecipientInfo;
    records.task(kProcedure).numberofrecipients += 1;
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
    error.callid = records.currentCall().callid;
    error.timestamperror = module.events.current().timestamp;
    records.addError(error);
  });
  endCall(module, error.exitcode, kProcedure);
}

void sendMsg(CallModule& module) { messageTask(module, 4, 7, false, "sendMsg()"); }

void couldNotSend(CallModule& module) { messageTask(module, 6, 9, true, "couldNotSend()"); }

void startInboundAdminTask(CallModule& module, std::string_view taskType) {
  constexpr std::string_view kProcedure = "startInboundAdminTask()";
  startTask(module);
  CallRecords& records = module.records;
  records.task(kProcedure).tasktype = std::string(taskType);
  records.call().counters[kAdminNameRequestsRecd] += 1;
  split(module);
  records.task(kProcedure).namerequestfor = module.eventWords.size() > 5 ? module.eventWords[5] : std::string("[null]");
}

void clearCallStats(CallModule& module) {
  CallRow& call = module.records.call();
  call.corvaneserialnumber = kUnknownSerial;
  call.octelserialnumber = kUnknownSerial;
  call.counters.fill(0);
  module.pendingRecipientInfo.clear();
}

}  // namespace travik
