// Failure codes of a rebuilt call: the protocol stage at which it failed, the
// reason, and the exit codes stored in calls and errors.
//
// Each stage and each reason always travels with the same text, so both
// machines pass only the number and the text comes from the one table here.
// Only a failure's exit code begins with "E": the totals count a call as
// failed exactly by that letter.
#pragma once

#include <string>
#include <string_view>

namespace travik {

// errors.state / errors.statetext: the step of the exchange that failed.
enum class Stage : int {
  Dialing = 1,
  WakeUp = 2,
  WakeUpResponse = 3,
  LineSync = 4,
  LineSyncResponse = 5,
  SessionHeader = 6,
  SessionHeaderResponse = 7,
  MessageHeader = 8,
  MessageHeaderResponse = 9,
  AdditionalRecipientHeader = 10,
  AdditionalRecipientHeaderResponse = 11,
  TextNameConfirmation = 12,
  AudioTransmission = 13,
  AudioTerminator = 14,
  // 15 is not used.
  FaxTransmission = 16,
  SaveRequest = 17,
  SaveResponse = 18,
  MessageResponse = 19,
  AdminRequest = 20,
  AliasMailboxResponse = 21,
  AdminResponse = 22,
  AdminRecordingRecdConfirmation = 23,
  TextNameResponse = 24,
  TextNameTransmission = 25,
  Recording = 26,
  RecordingVoiceName = 27,
  Playing = 28,
  AddRecipients = 29,
  CallOutProcessInitiated = 30,
  FailureAfterOutboundMessageRejection = 31,
  RequestForVoiceName = 32,
  ReceiveAdminPush = 33,
  EvaluateAliasResponse = 34,
  UpdatePushedTextName = 35,
  VoiceNamePostRecord = 36,
};

// errors.reason / errors.reasontext: why the stage failed.
enum class Reason : int {
  LineError = 1,
  Busy = 3,
  RingNoAnswer = 4,
  ExpectedDataNotReceived = 5,
  DtmfLongerThanExpected = 6,
  DtmfShorterThanExpected = 7,
  InvalidData = 8,
  NoEndOfFax = 10,
  AdminNamePushRejected = 11,
  CallingSerialNotConfigured = 12,
  TargetNodeNotConfigured = 13,
  CorvaneSerialUndefined = 14,
  BdAfterCdd = 15,
  InterdigitTimeout = 16,
  OutOfService = 17,
  Unknown = 999,
};

// "Line Sync" for Stage::LineSync; "" for a number outside the table.
std::string_view stageText(Stage stage);
// "Exceeded Interdigit Timeout" for Reason::InterdigitTimeout; "" outside the table.
std::string_view reasonText(Reason reason);

inline constexpr std::string_view kExitOk = "OK";
inline constexpr std::string_view kExitOkNoInit = "OK (NO INIT)";

// "E" + stage + reason, each padded with zeros to four digits (a longer
// number keeps all its digits): stage 5, reason 7 give "E00050007".
std::string failureExitCode(int stage, int reason);
inline std::string failureExitCode(Stage stage, Reason reason) {
  return failureExitCode(static_cast<int>(stage), static_cast<int>(reason));
}

// A whole number padded on the left with zeros to at least `width` digits; a
// negative number keeps its sign in front ("-005").
std::string zeroPadded(long long value, int width);

}  // namespace travik
