#include "processing/text/date_time.h"

#include <gtest/gtest.h>

namespace travik {
namespace {

TEST(DateTime, TextFormsOfTheSystem) {
  const DateTime afternoon(2005, 4, 12, 14, 3, 59);
  EXPECT_EQ(afternoon.toStored(), "2005-04-12 14:03:59");
  EXPECT_EQ(afternoon.toGeneral(), "4/12/2005 2:03:59 PM");
  EXPECT_EQ(afternoon.toMMDDYYYY(), "04122005");
  EXPECT_EQ(afternoon.toHHMMSS(), "140359");
  EXPECT_EQ(afternoon.toFileStamp(), "050412_14_03_59");
  EXPECT_EQ(DateTime(2005, 4, 12, 0, 30, 0).toGeneral(), "4/12/2005 12:30:00 AM");
  EXPECT_EQ(DateTime(2005, 4, 12, 12, 0, 1).toGeneral(), "4/12/2005 12:00:01 PM");
  EXPECT_EQ(DateTime(2005, 4, 12).toGeneral(), "4/12/2005");
}

TEST(DateTime, ArithmeticCrossesMonthYearAndLeapDays) {
  EXPECT_EQ(DateTime(2024, 2, 28, 23, 30, 0).addMinutes(60), DateTime(2024, 2, 29, 0, 30, 0));
  EXPECT_EQ(DateTime(2023, 12, 31, 23, 59, 59).addSeconds(1), DateTime(2024, 1, 1, 0, 0, 0));
  EXPECT_EQ(DateTime(2024, 3, 1).addHours(-24), DateTime(2024, 2, 29));
  EXPECT_EQ(DateTime(2026, 3, 1, 23, 59, 0).dayBoundariesUntil(DateTime(2026, 3, 2, 0, 0, 30)), 1);
  EXPECT_EQ(DateTime(2026, 3, 1, 0, 0, 0).secondsUntil(DateTime(2026, 3, 1, 1, 0, 5)), 3605);
}

TEST(DateTime, ParsingAndValidation) {
  EXPECT_EQ(DateTime::parseStored("2026-12-09 04:48:37"), DateTime(2026, 12, 9, 4, 48, 37));
  EXPECT_EQ(DateTime::parseStored("2026-12-09"), DateTime(2026, 12, 9));
  EXPECT_FALSE(DateTime::parseStored("2026-02-30 00:00:00"));
  EXPECT_FALSE(DateTime::parseStored("2026-12-09 24:00:00"));
  EXPECT_FALSE(DateTime::parseStored("2026-12-09T04:48:37"));
  EXPECT_FALSE(DateTime::fromFields(2026, 13, 1, 0, 0, 0));
  EXPECT_TRUE(DateTime::fromFields(2024, 2, 29, 23, 59, 59));
  EXPECT_FALSE(DateTime::fromFields(2023, 2, 29, 0, 0, 0));
  // Stored text sorts as time does.
  EXPECT_LT(DateTime(2025, 12, 31, 23, 0, 0).toStored(), DateTime(2026, 1, 1, 0, 0, 0).toStored());
}

TEST(DateTime, LocalTimeRoundTrip) {
  const DateTime t(2026, 7, 4, 12, 34, 56);
  EXPECT_EQ(DateTime::fromTimeT(t.toTimeT()), t);
}

}  // namespace
}  // namespace travik
