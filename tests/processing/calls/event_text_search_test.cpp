// containsIgnoringCase searches in place; it must answer exactly as
// upper-casing both texts (ASCII letters only) and searching would.
#include <gtest/gtest.h>

#include <string>

#include "processing/calls/event_classification.h"

namespace travik {
namespace {

bool byCopies(std::string_view text, std::string_view phrase) {
  return upperCase(text).find(upperCase(phrase)) != std::string::npos;
}

TEST(EventTextSearch, AnswersAsUpperCasingBothTexts) {
  const char* texts[] = {
      "",     "BD", "Received bd", "xBdx", "B", "Receive ADMIN response with nFlag=No", "caf\xc3\xa9 BD",
      "\xe9", "ab", "=NO"};
  const char* phrases[] = {"", "BD", "bd", "=no", "Bdx", "\xe9", "\xc9", "abc", "received BD"};
  for (const char* text : texts)
    for (const char* phrase : phrases)
      EXPECT_EQ(containsIgnoringCase(text, phrase), byCopies(text, phrase)) << text << " / " << phrase;
}

}  // namespace
}  // namespace travik
