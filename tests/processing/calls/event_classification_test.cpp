#include "processing/calls/event_classification.h"

#include <gtest/gtest.h>

#include <string>

namespace travik {
namespace {

struct Example {
  const char* data;
  int code;
};

// One text per rule, in the rules' order, with the code it must give.
TEST(EventClassification, EveryRuleGivesItsCode) {
  const Example examples[] = {
      {"Read Name from DB. Name for mailbox 1234 is \"Ann\"", 1},
      {"Playing Spoken Name for mailbox 1234", 2},
      {"Retrieving Name for mailbox 1234", 3},
      {"Receive text name for mailbox 55 \"Bob\"", 75},
      {"Recording Spoken Name for mailbox 55", 84},
      {"LineMonitor thread is running on line 3", 65},
      {"Waiting for LineMonitor thread to terminate", 65},
      {"PlayEvent signaled", 65},
      {"Port is locked by another process", 65},
      {"status BT_STATUS_ALERT seen", 65},
      {"Alert Status: 4", 65},
      {"Octel response status: 3", 66},
      {"Added Recepient mailbox 4321", 4},
      {"Begin Mailbox Update", 5},
      {"Call established from Serial # 1 to 2", 6},
      {"Call Out Completed.", 7},
      {"Call Out Process Initiated for Node 000123", 8},
      {"Call received from Serial # 1", 9},
      {"Call Received.", 10},
      {"Call Status = Answer", 11},
      {"Completed delivering Messages", 12},
      {"Completed Retrieving Names", 13},
      {"Could not retrieve Name for mailbox 77", 14},
      {"Decrypts with invalid Protocol Level = 3", 15},
      {"Encountered communication problems with this Node", 16},
      {"End Mailbox Update", 17},
      {"Incoming Call Completed.", 18},
      {"Initial handshake failed. Received either bad data or nothing", 19},
      {"Message Delivered", 20},
      {"Message Saved", 21},
      {"Name for mailbox 12", 22},
      {"Name Recording complete for mailbox 55", 23},
      {"New Message from mailbox 1@2 to 3@4", 24},
      {"No messages to deliver", 25},
      {"No names to retrieve", 26},
      {"Playing #", 28},
      {"Playing 1.sph", 29},
      {"Playing 7", 30},
      {"Playing 8", 31},
      {"Playing 9", 32},
      {"Playing BD", 33},
      {"Playing CDD", 34},
      {"Playing chime", 35},
      {"Playing completed", 36},
      {"Playing Voice", 38},
      {"Playing C:\\prompts\\x.vox", 37},
      {"Processing Name Request for mailbox 9", 39},
      {"Processing Pending Callout to Node 000123", 40},
      {"Processing messages from node: 1 2", 68},
      {"Protocol Level = 4", 41},
      {"Received", 42},
      {"Received #", 43},
      {"Received ##", 43},
      {"Received 7", 45},
      {"Received 8", 46},
      {"Received 9", 47},
      {"Received CDD", 49},
      {"Received BD", 48},
      {"Received BD after sending CDD - terminating call.", 67},
      {"Received CD", 50},
      {"Caller 123 that is not configured on Varnel. This call will be abandoned", 51},
      {"Received 123456789012345678", 44},
      {"Receiving Fax", 52},
      {"Receiving Fax complete", 54},
      {"Receiving Fax C:\\fax\\in.tif", 53},
      {"Recording completed", 55},
      {"Recording Voice", 57},
      {"Recording C:\\msg\\1.vox", 56},
      {"Sending Fax", 58},
      {"Sending Fax completed", 60},
      {"Sending Fax C:\\fax\\01.tif", 59},
      {"Sending Message from mailbox 1@2 to 3@4", 61},
      {"Could NOT send Message", 62},
      {"Message NOT Delivered", 63},
      {"Could NOT send to Recepient mailbox 5", 64},
      {"Processing Name Push for mailbox 5", 70},
      {"Accept Name Push for mailbox 5", 71},
      {"Reject Name Push for mailbox 5", 72},
      {"Receive alias response for mailbox 5 x=no", 73},
      // Codes 74, 80 and 85 are never given: their phrases contain "name for
      // mailbox", whose rule is tried first.
      {"Send admin response to accept text name for mailbox 5", 22},
      {"Update mailbox name and set status = Retrieved for mailbox 5", 78},
      {"Receive # and update status=Retrieved for mailbox 5", 79},
      {"Mailbox exists. Delete spokename for mailbox 5", 22},
      {"Send admin response with nFlag 1", 81},
      {"Receive admin response with nFlag=1", 82},
      {"Name Push with text name only for mailbox 5", 83},
      {"Name Push with Spoken Name for mailbox 5", 22},
      {"Begin Adding Mailbox", 76},
      {"End Adding Mailbox", 77},
  };
  for (const auto& example : examples) EXPECT_EQ(classifyEvent(example.data), example.code) << example.data;
}

TEST(EventClassification, LetterCaseIgnoredButNothingTrimmed) {
  EXPECT_EQ(classifyEvent("call received."), 10);
  EXPECT_EQ(classifyEvent("CALL RECEIVED."), 10);
  EXPECT_EQ(classifyEvent("Call Received. "), 999);
  EXPECT_EQ(classifyEvent("received ##"), 43);
  EXPECT_EQ(classifyEvent(""), 999);
  EXPECT_EQ(classifyEvent("anything else"), 999);
}

TEST(EventClassification, EarlierRulesWin) {
  EXPECT_EQ(classifyEvent("Receive text name for mailbox 55"), 75);
  EXPECT_EQ(classifyEvent("Read Name from DB. Name for mailbox 55"), 1);
  EXPECT_EQ(classifyEvent("Recording Spoken Name for mailbox 55"), 84);
  EXPECT_EQ(classifyEvent("Name Recording complete for mailbox 55"), 23);
  EXPECT_EQ(classifyEvent("Decrypts with invalid Protocol Level = 3"), 15);
  // "Call Status =" is tested before "Received ..." texts that contain it.
  EXPECT_EQ(classifyEvent("Received Call Status = Busy"), 11);
}

TEST(EventClassification, SubTestsEndTheClassification) {
  EXPECT_EQ(classifyEvent("Sending Fax now"), 999);
  EXPECT_EQ(classifyEvent("Receiving Fax now"), 999);
  EXPECT_EQ(classifyEvent("Recording something"), 999);
  EXPECT_EQ(classifyEvent("Playing hello world"), 27);  // 19 characters
  EXPECT_EQ(classifyEvent("Playing abcd"), 999);        // 12 characters
  EXPECT_EQ(classifyEvent("Playing abcde"), 27);        // 13 characters
  EXPECT_EQ(classifyEvent("Processing messages from node: 55 Done"), 69);
  EXPECT_EQ(classifyEvent("Processing messages from node: 55 done"), 69);
  EXPECT_EQ(classifyEvent("Processing messages from node: 55"), 68);
  EXPECT_EQ(classifyEvent("Received 3"), 44);
  EXPECT_EQ(classifyEvent("Received " + std::string(14, '5')), 44);
  EXPECT_EQ(classifyEvent("Received "), 999);    // nine characters
  EXPECT_EQ(classifyEvent("Receivedx12"), 999);  // no blank after "Received"
}

TEST(EventClassification, LengthsCountCharacters) {
  // "Playing " + four two-byte characters is 12 characters but 16 bytes.
  EXPECT_EQ(classifyEvent("Playing \xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"), 999);
  EXPECT_EQ(textLength("\xC3\xA9t\xC3\xA9"), 3u);
}

TEST(EventClassification, OctelResponseTexts) {
  EXPECT_EQ(setOctelResponseString(0), "");
  EXPECT_EQ(setOctelResponseString(1), "Mailbox does not exist");
  EXPECT_EQ(setOctelResponseString(17), "Port does not support fax");
  EXPECT_EQ(setOctelResponseString(19), "Port does not support fax");
  EXPECT_EQ(setOctelResponseString(26), "Destination does not support fax");
  EXPECT_EQ(setOctelResponseString(27), "");
  EXPECT_EQ(setOctelResponseString(-1), "");
}

}  // namespace
}  // namespace travik
