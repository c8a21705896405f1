#include "processing/calls/call_module.h"

namespace travik {

namespace {

const std::string kNoWord;

}  // namespace

CallModule::CallModule(Program& program) : program(program) {
  records.reportAbsentRow = [this](const HandledError& error, std::string_view procedure) {
    reportCallError(*this, error, procedure);
  };
}

std::string_view currentData(const CallModule& module) {
  if (module.events.bof() || module.events.eof()) return {};
  return module.events.current().data;
}

void beginLineTransaction(CallModule& module) {
  if (module.transaction) return;
  module.transaction.emplace(module.program.db);
}

void commitLineTransaction(CallModule& module) {
  if (!module.transaction) return;
  // Whatever happens the transaction is over afterwards; an uncommitted one rolls back.
  try {
    module.records.flushPending();
    module.transaction->commit();
  } catch (...) {
    module.transaction.reset();
    throw;
  }
  module.transaction.reset();
}

void abandonLine(CallModule& module) {
  module.lineAbandoned = true;
  module.transaction.reset();
  module.records.discardLine();
  module.events.abandon();
}

void reportCallError(CallModule& module, const HandledError& error, std::string_view procedure) {
  if (module.lineAbandoned) return;
  if (module.transaction && module.records.writeFailed()) abandonLine(module);
  handleError(module.program, error, procedure);
  if (module.pauseFailure) {
    const HandledError failure = std::move(*module.pauseFailure);
    module.pauseFailure.reset();
    handleError(module.program, failure, procedure);
  }
}

void splitInto(std::vector<std::string>& words, std::string_view text, char separator) {
  // An empty text has no words at all, not one empty word.
  if (text.empty()) {
    words.clear();
    return;
  }
  std::size_t count = 0;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find(separator, start);
    const std::string_view word =
        text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (count < words.size())
      words[count].assign(word);
    else
      words.emplace_back(word);
    ++count;
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  words.resize(count);
}

void split(CallModule& module) { splitInto(module.eventWords, currentData(module), ' '); }

void splitAtQuote(CallModule& module) { splitInto(module.eventWords, currentData(module), '"'); }

const std::string& eventWord(CallModule& module, std::size_t index, std::string_view procedure) {
  if (index < module.eventWords.size()) return module.eventWords[index];
  reportCallError(module, HandledError(error_number::kSubscriptOutOfRange, "Subscript out of range"), procedure);
  return kNoWord;
}

const std::string* wordAt(CallModule& module, std::size_t index, std::string_view procedure) {
  if (index < module.eventWords.size()) return &module.eventWords[index];
  eventWord(module, index, procedure);  // reports the missing word
  return nullptr;
}

}  // namespace travik
