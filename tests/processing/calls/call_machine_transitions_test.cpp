// The transition lists at the top of the two states headers, checked against
// the state tables and against the code of the steps: a transition a step
// makes that its list lacks, a listed one no step makes, a name that is no
// state, or a state nothing leads to fails here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "processing/calls/inbound_call_machine_states.h"
#include "processing/calls/outbound_call_machine_states.h"

namespace travik {
namespace {

struct Transition {
  std::string from;
  std::string to;  // a state, or END
  std::string by;  // the function that makes it
};

// One machine as the check sees it: its header text, the text of its
// sources, its table's state names (the starting state first).
struct Machine {
  std::string header;
  std::vector<std::string> sources;
  std::vector<std::string> states;
};

std::string readSource(const std::string& relative) {
  std::ifstream in(std::string(TRAVIK_SOURCE_DIR) + "/" + relative);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

template <class Call, std::size_t N>
std::vector<std::string> tableNames(const StateRow<Call> (&table)[N]) {
  std::vector<std::string> names;
  for (const StateRow<Call>& row : table) names.emplace_back(row.name);
  return names;
}

Machine inboundMachine() {
  return {readSource("processing/calls/inbound_call_machine_states.h"),
          {readSource("processing/calls/inbound_call_machine.cpp"),
           readSource("processing/calls/inbound_call_machine_admin.cpp")},
          tableNames(inbound::kStates)};
}

Machine outboundMachine() {
  return {readSource("processing/calls/outbound_call_machine_states.h"),
          {readSource("processing/calls/outbound_call_machine.cpp"),
           readSource("processing/calls/outbound_call_machine_delivery.cpp"),
           readSource("processing/calls/outbound_call_machine_recipients.cpp")},
          tableNames(outbound::kStates)};
}

bool isNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// The name that starts at `at` in `text`.
std::string nameAt(const std::string& text, std::size_t at) {
  std::size_t end = at;
  while (end < text.size() && isNameChar(text[end])) ++end;
  return text.substr(at, end - at);
}

bool isStateName(const std::string& word) {
  return !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
    return std::isupper(static_cast<unsigned char>(c)) || std::isdigit(static_cast<unsigned char>(c)) || c == '_';
  });
}

// The rows of the header's opening comment: "FROM -> TO  on what [helper]".
std::vector<Transition> listedTransitions(const std::string& header) {
  std::vector<Transition> transitions;
  std::istringstream lines(header);
  std::string line;
  while (std::getline(lines, line) && line.rfind("#pragma", 0) != 0) {
    std::istringstream words(line);
    std::string slashes, from, arrow, to;
    if (!(words >> slashes >> from >> arrow >> to) || slashes != "//" || arrow != "->") continue;
    if (!isStateName(from) || !isStateName(to)) continue;
    std::string by = from;
    const std::size_t open = line.rfind('[');
    if (!line.empty() && line.back() == ']' && open != std::string::npos) by = nameAt(line, open + 1);
    transitions.push_back({from, to, by});
  }
  return transitions;
}

// The bodies of the functions that return a State, by name: from a line
// "State NAME(" to the next line that closes a block at the left margin.
std::map<std::string, std::string> stateFunctions(const std::vector<std::string>& sources) {
  const std::string opening = "State ";
  std::map<std::string, std::string> bodies;
  for (const std::string& source : sources) {
    std::istringstream lines(source);
    std::string line;
    std::string* body = nullptr;
    while (std::getline(lines, line)) {
      if (line.rfind(opening, 0) == 0) {
        const std::string name = nameAt(line, opening.size());
        if (!name.empty() && line.compare(opening.size() + name.size(), 1, "(") == 0) body = &bodies[name];
      }
      if (!body) continue;
      *body += line + "\n";
      if (line.rfind('}', 0) == 0) body = nullptr;
    }
  }
  return bodies;
}

// The states a body returns, Leave aside.
std::set<std::string> statesReturned(const std::string& body) {
  const std::string prefix = "State::";
  std::set<std::string> states;
  for (std::size_t at = body.find(prefix); at != std::string::npos; at = body.find(prefix, at + 1)) {
    const std::string state = nameAt(body, at + prefix.size());
    if (state != "Leave") states.insert(state);
  }
  return states;
}

bool calls(const std::string& body, const std::string& function) {
  return body.find(function + "(") != std::string::npos;
}

// Every way the list and the machine disagree, one text each.
std::vector<std::string> disagreements(const Machine& machine) {
  std::vector<std::string> found;
  const std::vector<Transition> listed = listedTransitions(machine.header);
  const std::map<std::string, std::string> bodies = stateFunctions(machine.sources);
  const std::set<std::string> states(machine.states.begin(), machine.states.end());
  auto isListed = [&](const std::string& from, const std::string& to, const std::string& by) {
    for (const Transition& t : listed)
      if (t.from == from && t.to == to && t.by == by) return true;
    return false;
  };
  if (listed.empty()) found.push_back("no transitions listed");

  // Each listed transition names states of the table and is made by the function named.
  for (const Transition& t : listed) {
    const std::string row = t.from + " -> " + t.to + " [" + t.by + "]";
    if (!states.count(t.from)) found.push_back(row + ": " + t.from + " is no state");
    if (t.to != "END" && !states.count(t.to)) found.push_back(row + ": " + t.to + " is no state");
    const auto by = bodies.find(t.by);
    const auto from = bodies.find(t.from);
    if (by == bodies.end() || from == bodies.end()) {
      found.push_back(row + ": no such function");
      continue;
    }
    if (t.by != t.from && !calls(from->second, t.by)) found.push_back(row + ": " + t.from + " does not call " + t.by);
    const bool made = t.to == "END" ? calls(by->second, "callEnd") || calls(by->second, "callEndNoMessages")
                                    : statesReturned(by->second).count(t.to) > 0;
    if (!made) found.push_back(row + ": not made by " + t.by);
  }

  // Each transition the code makes is listed.  An event a state ignores
  // returns the state itself: those need no row.
  for (const std::string& state : machine.states) {
    const auto body = bodies.find(state);
    if (body == bodies.end()) {
      found.push_back(state + ": no step function");
      continue;
    }
    for (const std::string& to : statesReturned(body->second))
      if (to != state && !isListed(state, to, state)) found.push_back(state + " -> " + to + ": not listed");
    if ((calls(body->second, "callEnd") || calls(body->second, "callEndNoMessages")) && !isListed(state, "END", state))
      found.push_back(state + " -> END: not listed");
    for (const auto& [helper, helperBody] : bodies) {
      if (states.count(helper) || !calls(body->second, helper)) continue;
      for (const std::string& to : statesReturned(helperBody))
        if (!isListed(state, to, helper)) found.push_back(state + " -> " + to + " [" + helper + "]: not listed");
    }
  }

  // Every state but the first is reached from another, and every state leads on.
  for (std::size_t i = 0; i < machine.states.size(); ++i) {
    const std::string& state = machine.states[i];
    bool reached = i == 0;
    bool leads = false;
    for (const Transition& t : listed) {
      reached = reached || (t.to == state && t.from != state);
      leads = leads || (t.from == state && t.to != state);
    }
    if (!reached) found.push_back(state + ": no transition leads to it");
    if (!leads) found.push_back(state + ": no transition leaves it");
  }
  return found;
}

std::string joined(const std::vector<std::string>& texts) {
  std::string all;
  for (const std::string& text : texts) all += text + "\n";
  return all;
}

TEST(CallMachineTransitions, TheInboundListMatchesTheTableAndTheSteps) {
  const Machine machine = inboundMachine();
  ASSERT_EQ(machine.states.size(), 25u);
  EXPECT_EQ(disagreements(machine), std::vector<std::string>{}) << joined(disagreements(machine));
}

TEST(CallMachineTransitions, TheOutboundListMatchesTheTableAndTheSteps) {
  const Machine machine = outboundMachine();
  ASSERT_EQ(machine.states.size(), 30u);
  EXPECT_EQ(disagreements(machine), std::vector<std::string>{}) << joined(disagreements(machine));
}

// The check itself: each kind of drift between list and code is caught.
TEST(CallMachineTransitions, DriftBetweenListAndCodeIsFound) {
  auto replaced = [](std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
  };
  const Machine real = outboundMachine();

  Machine rowMissing = real;
  rowMissing.header = replaced(real.header, "//   SENDING_MESSAGE                   -> AUDIO_PLAY_COMPLETE", "//");
  EXPECT_EQ(disagreements(rowMissing), std::vector<std::string>{"SENDING_MESSAGE -> AUDIO_PLAY_COMPLETE: not listed"});

  Machine rowNotMade = real;
  rowNotMade.header = replaced(real.header, "-> RECEIVED_EIGHT                    Received8",
                               "-> RECEIVED_EIGHT Received8\n"
                               "//   RECEIVED_EIGHT -> SENDING_MESSAGE x");
  EXPECT_EQ(disagreements(rowNotMade),
            std::vector<std::string>{"RECEIVED_EIGHT -> SENDING_MESSAGE [RECEIVED_EIGHT]: not made by RECEIVED_EIGHT"});

  Machine helperMissing = real;
  helperMissing.header = replaced(real.header, "PlayingLong: 36 [nextMessageHeader]", "PlayingLong: 36");
  const std::vector<std::string> found = disagreements(helperMissing);
  EXPECT_NE(std::find(found.begin(), found.end(),
                      "COULD_NOT_SEND_MESSAGE -> WAIT_FOR_MESSAGE_HEADER_RESPONSE [nextMessageHeader]: not listed"),
            found.end())
      << joined(found);

  Machine unreachable = real;
  unreachable.header = replaced(real.header, "//   COULD_NOT_SEND_MESSAGE            -> MESSAGE_NOT_DELIVERED", "//");
  unreachable.sources[1] = replaced(real.sources[1], "return State::MESSAGE_NOT_DELIVERED;", "return State::Leave;");
  EXPECT_EQ(disagreements(unreachable), std::vector<std::string>{"MESSAGE_NOT_DELIVERED: no transition leads to it"});

  Machine endMissing = real;
  endMissing.header = replaced(real.header, "//   COMPLETED_RETRIEVING_NAMES        -> END", "//");
  EXPECT_EQ(disagreements(endMissing),
            (std::vector<std::string>{"COMPLETED_RETRIEVING_NAMES -> END: not listed",
                                      "COMPLETED_RETRIEVING_NAMES: no transition leaves it"}));
}

}  // namespace
}  // namespace travik
