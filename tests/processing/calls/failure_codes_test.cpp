#include "processing/calls/failure_codes.h"

#include <gtest/gtest.h>

#include "processing/calls/call_ids.h"

namespace travik {
namespace {

TEST(FailureCodes, ExitCodesPadStageAndReasonToFourDigits) {
  EXPECT_EQ(failureExitCode(Stage::WakeUp, Reason::CorvaneSerialUndefined), "E00020014");
  EXPECT_EQ(failureExitCode(Stage::AddRecipients, Reason::Unknown), "E00290999");
  EXPECT_EQ(failureExitCode(5, 7), "E00050007");
  EXPECT_EQ(failureExitCode(12345, 1), "E123450001");
}

TEST(FailureCodes, TextsTravelWithTheirNumbers) {
  EXPECT_EQ(stageText(Stage::LineSync), "Line Sync");
  EXPECT_EQ(stageText(Stage::AdminRecordingRecdConfirmation), "Admin Recording Recd Confirmation");
  EXPECT_EQ(stageText(Stage::FailureAfterOutboundMessageRejection), "Failure after outbound message rejection");
  EXPECT_EQ(stageText(Stage::VoiceNamePostRecord), "Voice Name Post-Record");
  EXPECT_EQ(stageText(static_cast<Stage>(15)), "");
  EXPECT_EQ(reasonText(Reason::TargetNodeNotConfigured), "Target Corvane Node not configured; or invalid DTMFs");
  EXPECT_EQ(reasonText(Reason::InterdigitTimeout), "Exceeded Interdigit Timeout");
  EXPECT_EQ(reasonText(static_cast<Reason>(2)), "");
}

TEST(CallIds, KeyOfTheStartingEvent) {
  EXPECT_EQ(callKey(DateTime(2004, 12, 31, 23, 59, 59), 45, 2, 7), "12312004.235959.045.002.007");
  EXPECT_EQ(callKey(DateTime(2024, 3, 1, 0, 5, 9), 0, 1, 0), "03012024.000509.000.001.000");
  // Longer numbers keep all their digits.
  EXPECT_EQ(callKey(DateTime(2024, 3, 1, 13, 0, 0), 999, 1234, 99), "03012024.130000.999.1234.099");
  EXPECT_EQ(zeroPadded(-5, 3), "-005");
}

}  // namespace
}  // namespace travik
