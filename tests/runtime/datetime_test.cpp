#include "runtime/datetime.h"

#include <gtest/gtest.h>

#include "runtime/exception.h"

namespace kvell {
namespace {

TEST(DateTime, counts_days_from_30_december_1899) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
  EXPECT_EQ(EncodeDate(2000, 1, 1), 36526.0);
  EXPECT_EQ(EncodeDate(1899, 12, 29), -1.0);
  EXPECT_EQ(EncodeDate(1, 1, 1), -693593.0);
}

TEST(DateTime, decodes_what_it_encodes_across_leap_years_and_centuries) {
  for (int year : {1, 1600, 1899, 1900, 2000, 2024, 9999})
    for (int month = 1; month <= 12; ++month)
      for (int day : {1, 28, DaysInMonth(year, month)}) {
        int y, m, d;
        DecodeDate(EncodeDate(year, month, day), y, m, d);
        ASSERT_EQ(y * 10000 + m * 100 + d, year * 10000 + month * 100 + day);
      }
}

TEST(DateTime, rejects_impossible_dates_and_times) {
  EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
  EXPECT_THROW(EncodeDate(2024, 13, 1), EConvertError);
  EXPECT_THROW(EncodeDate(0, 1, 1), EConvertError);
  EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
  EXPECT_NO_THROW(EncodeDate(2024, 2, 29));
}

TEST(DateTime, time_of_day_is_the_fraction_rounded_to_milliseconds) {
  TDateTime value = EncodeDate(2024, 3, 1) + EncodeTime(23, 59, 59, 999);
  int h, n, s, ms;
  DecodeTime(value, h, n, s, ms);
  EXPECT_EQ((std::vector<int>{h, n, s, ms}), (std::vector<int>{23, 59, 59, 999}));
  DecodeTime(-1.25, h, n, s, ms);  // before the epoch the fraction still counts forward in the day
  EXPECT_EQ(h, 6);
  EXPECT_EQ(DayOfWeek(EncodeDate(2024, 12, 8)), 1);  // a Sunday
  // A time a hair before midnight rounds into the next day, in both parts at once.
  int y, m, d;
  DecodeDateTime(EncodeDate(2024, 2, 29) + 0.9999999999, y, m, d, h, n, s, ms);
  EXPECT_EQ((std::vector<int>{y, m, d, h, n, s, ms}), (std::vector<int>{2024, 3, 1, 0, 0, 0, 0}));
  DecodeDateTime(-1.25, y, m, d, h, n, s, ms);
  EXPECT_EQ((std::vector<int>{y, m, d, h}), (std::vector<int>{1899, 12, 29, 6}));
}

}  // namespace
}  // namespace kvell
