#include "processing/calls/failure_codes.h"

namespace travik {

std::string_view stageText(Stage stage) {
  switch (stage) {
    case Stage::Dialing: return "Dialing";
    case Stage::WakeUp: return "Wake-up";
    case Stage::WakeUpResponse: return "Wake-up Response";
    case Stage::LineSync: return "Line Sync";
    case Stage::LineSyncResponse: return "Line Sync Response";
    case Stage::SessionHeader: return "Session Header";
    case Stage::SessionHeaderResponse: return "Session Header Response";
    case Stage::MessageHeader: return "Message Header";
    case Stage::MessageHeaderResponse: return "Message Header Response";
    case Stage::AdditionalRecipientHeader: return "Additional Recipient Header";
    case Stage::AdditionalRecipientHeaderResponse: return "Additional Recipient Header Response";
    case Stage::TextNameConfirmation: return "Text Name Confirmation";
    case Stage::AudioTransmission: return "Audio Transmission";
    case Stage::AudioTerminator: return "Audio Terminator";
    case Stage::FaxTransmission: return "Fax Transmission";
    case Stage::SaveRequest: return "Save Request";
    case Stage::SaveResponse: return "Save Response";
    case Stage::MessageResponse: return "Message Response";
    case Stage::AdminRequest: return "Admin Request";
    case Stage::AliasMailboxResponse: return "Alias Mailbox Response";
    case Stage::AdminResponse: return "Admin Response";
    case Stage::AdminRecordingRecdConfirmation: return "Admin Recording Recd Confirmation";
    case Stage::TextNameResponse: return "Text Name Response";
    case Stage::TextNameTransmission: return "Text Name Transmission";
    case Stage::Recording: return "Recording";
    case Stage::RecordingVoiceName: return "Recording Voice Name";
    case Stage::Playing: return "Playing";
    case Stage::AddRecipients: return "Add Recipients";
    case Stage::CallOutProcessInitiated: return "Call Out Process Initiated";
    case Stage::FailureAfterOutboundMessageRejection: return "Failure after outbound message rejection";
    case Stage::RequestForVoiceName: return "Request For Voice Name";
    case Stage::ReceiveAdminPush: return "Receive Admin Push";
    case Stage::EvaluateAliasResponse: return "Evaluate Alias Response";
    case Stage::UpdatePushedTextName: return "Update Pushed Text Name";
    case Stage::VoiceNamePostRecord: return "Voice Name Post-Record";
  }
  return "";
}

std::string_view reasonText(Reason reason) {
  switch (reason) {
    case Reason::LineError: return "Line Error";
    case Reason::Busy: return "Busy";
    case Reason::RingNoAnswer: return "Ring No Answer";
    case Reason::ExpectedDataNotReceived: return "Expected Data Not Received";
    case Reason::DtmfLongerThanExpected: return "Received DTMF String Longer Than Expected";
    case Reason::DtmfShorterThanExpected: return "Received DTMF String Shorter Than Expected";
    case Reason::InvalidData: return "Received Invalid Data";
    case Reason::NoEndOfFax: return "No End-of-Fax Received";
    case Reason::AdminNamePushRejected: return "Varnel Rejected Admin Name Push";
    case Reason::CallingSerialNotConfigured: return "Calling ser# not configured as Octel Node";
    case Reason::TargetNodeNotConfigured: return "Target Corvane Node not configured; or invalid DTMFs";
    case Reason::CorvaneSerialUndefined: return "Corvane ser# undefined on Octel";
    case Reason::BdAfterCdd: return "Received BD after CDD";
    case Reason::InterdigitTimeout: return "Exceeded Interdigit Timeout";
    case Reason::OutOfService: return "Phone Number Out of Service";
    case Reason::Unknown: return "Unknown";
  }
  return "";
}

std::string zeroPadded(long long value, int width) {
  const bool negative = value < 0;
  // Through unsigned arithmetic so the most negative number does not overflow.
  unsigned long long magnitude =
      negative ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
  std::string digits = std::to_string(magnitude);
  if (static_cast<int>(digits.size()) < width) digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
  return negative ? "-" + digits : digits;
}

std::string failureExitCode(int stage, int reason) { return "E" + zeroPadded(stage, 4) + zeroPadded(reason, 4); }

}  // namespace travik
