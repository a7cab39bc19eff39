#include <gtest/gtest.h>

#include "runtime/date_text.h"
#include "runtime/exception.h"
#include "runtime/format_settings.h"

namespace kvell {
namespace {

class DateText : public ::testing::Test {
 protected:
  void SetUp() override { ResetFormatSettings(); }
  void TearDown() override { ResetFormatSettings(); }

  // Tuesday 8 December 2026, 14:05:09.123
  const TDateTime afternoon = EncodeDate(2026, 12, 8) + EncodeTime(14, 5, 9, 123);
};

TEST_F(DateText, short_date_and_long_time_patterns) {
  EXPECT_EQ(FormatDateTime("ddddd", afternoon), "8.12.2026");
  EXPECT_EQ(FormatDateTime("ddddd tt", afternoon), "8.12.2026 14:05:09");
  EXPECT_EQ(FormatDateTime("t", afternoon), "14:05");
  EXPECT_EQ(DateTimeToStr(afternoon), "8.12.2026 14:05:09");
  EXPECT_EQ(DateTimeToStr(EncodeDate(2026, 1, 2)), "2.1.2026");
  EXPECT_EQ(FormatDateTime("c", EncodeDate(2026, 1, 2)), "2.1.2026");
  EXPECT_EQ(FormatDateTime("c", afternoon), "8.12.2026 14:05:09");
}

TEST_F(DateText, field_patterns_names_and_literals) {
  EXPECT_EQ(FormatDateTime("dd-mm-yyyy hh:nn:ss.zzz", afternoon), "08-12-2026 14:05:09.123");
  EXPECT_EQ(FormatDateTime("d/m/yy", afternoon), "8.12.26");
  EXPECT_EQ(FormatDateTime("hh:mm", afternoon), "14:05");  // minutes after an hour
  EXPECT_EQ(FormatDateTime("ddd dddd mmm mmmm", afternoon), "Tue Tuesday Dec December");
  EXPECT_EQ(FormatDateTime("h:nn am/pm", afternoon), "2:05 pm");
  EXPECT_EQ(FormatDateTime("h:nn A/P", EncodeTime(0, 30, 0, 0)), "12:30 A");
  EXPECT_EQ(FormatDateTime("hh ampm", afternoon), "02 PM");
  EXPECT_EQ(FormatDateTime("'day' d \"of\" m", afternoon), "day 8 of 12");
  EXPECT_EQ(FormatDateTime("yyyy", EncodeDate(5, 1, 1)), "0005");
  FormatSettings().DateSeparator = '/';
  FormatSettings().ShortDateFormat = "yyyy/mm/dd";
  EXPECT_EQ(FormatDateTime("ddddd", afternoon), "2026/12/08");
}

TEST_F(DateText, text_after_a_date_without_time_is_still_written) {
  EXPECT_EQ(FormatDateTime("c 'x'", EncodeDate(2026, 1, 2)), "2.1.2026 x");
  EXPECT_EQ(FormatDateTime("c 'x'", afternoon), "8.12.2026 14:05:09 x");
  EXPECT_EQ(FormatDateTime("[c]", afternoon), "[8.12.2026 14:05:09]");
}

// Patterns are read once and kept; what they were read under must not outlive a locale change.
TEST_F(DateText, a_pattern_used_before_follows_later_locale_changes) {
  ASSERT_EQ(FormatDateTime("c", afternoon), "8.12.2026 14:05:09");
  FormatSettings().ShortDateFormat = "yyyy-mm-dd";
  FormatSettings().LongTimeFormat = "hh.nn";
  EXPECT_EQ(FormatDateTime("c", afternoon), "2026-12-08 14.05");
  FormatSettings().LongDateFormat = "mmmm d";
  FormatSettings().LongMonthNames[11] = "Dezember";
  EXPECT_EQ(FormatDateTime("dddddd", afternoon), "Dezember 8");
  FormatSettings().ShortTimeFormat = "h/n";
  FormatSettings().DateSeparator = '-';
  FormatSettings().TimeAMString = "vm";
  EXPECT_EQ(FormatDateTime("t ampm", EncodeTime(9, 7, 0, 0)), "9-7 vm");
}

TEST_F(DateText, many_patterns_in_turn_keep_their_own_texts) {
  const std::pair<const char*, const char*> expected[] = {
      {"d", "8"}, {"dd", "08"}, {"m", "12"}, {"yy", "26"}, {"hh", "14"}, {"nn", "05"}, {"zzz", "123"}, {"h am/pm", "2 pm"}};
  for (int round = 0; round < 3; ++round)
    for (const auto& [pattern, text] : expected) EXPECT_EQ(FormatDateTime(pattern, afternoon), text) << pattern;
}

TEST_F(DateText, a_locale_format_naming_itself_does_not_recurse_forever) {
  FormatSettings().ShortDateFormat = "c";
  EXPECT_NO_THROW(FormatDateTime("c", afternoon));
}

TEST_F(DateText, values_outside_the_calendar_are_rejected) {
  EXPECT_THROW(FormatDateTime("ddddd", 1e300), EConvertError);
  EXPECT_THROW(FormatDateTime("ddddd", -1e7), EConvertError);
  EXPECT_THROW(DateTimeToStr(std::numeric_limits<double>::quiet_NaN()), EConvertError);
}

TEST_F(DateText, a_value_split_into_days_and_time_reads_as_the_value_itself) {
  const TDateTime values[] = {0,        afternoon, -1.25,     -0.25,      EncodeDate(1850, 6, 1) - 0.75,
                              -693593,  2958465.999988426, EncodeDate(2000, 2, 29), 36525.5, 1e-9};
  for (const TDateTime value : values) {
    std::string whole, split;
    AppendDateTime(whole, "dddd ddddd hh:nn:ss.zzz c", value);
    AppendDateTime(split, "dddd ddddd hh:nn:ss.zzz c", SplitDateTime(value));
    EXPECT_EQ(split, whole) << value;
  }
  std::string text;
  EXPECT_THROW(AppendDateTime(text, "c", TDayAndTime{-693593, 1}), EConvertError) << "before 1 January 0001";
  EXPECT_THROW(AppendDateTime(text, "c", TDayAndTime{2958466, 0}), EConvertError) << "after 9999";
  EXPECT_THROW(AppendDateTime(text, "c", TDayAndTime{0, 86400000}), EConvertError) << "a whole day is no time";
  EXPECT_THROW(AppendDateTime(text, "c", TDayAndTime{0, -1}), EConvertError);
  EXPECT_EQ(text, "");
}

TEST_F(DateText, reads_dates_times_and_both) {
  EXPECT_EQ(StrToDateTime("8.12.2026"), EncodeDate(2026, 12, 8));
  EXPECT_EQ(StrToDateTime(" 8 . 12 . 2026 "), EncodeDate(2026, 12, 8));
  EXPECT_DOUBLE_EQ(StrToDateTime("8.12.2026 14:05:09"), EncodeDate(2026, 12, 8) + EncodeTime(14, 5, 9, 0));
  EXPECT_DOUBLE_EQ(StrToDateTime("14:05"), EncodeTime(14, 5, 0, 0));
  EXPECT_DOUBLE_EQ(StrToDateTime("2:05:01.5 pm"), EncodeTime(14, 5, 1, 5));
  EXPECT_DOUBLE_EQ(StrToDateTime("12:00 AM"), 0);
  EXPECT_DOUBLE_EQ(StrToDateTime("1.1.1899 6:00"), EncodeDate(1899, 1, 1) - 0.25);
}

TEST_F(DateText, follows_the_locale_order_and_century_window) {
  FormatSettings().DateSeparator = '/';
  FormatSettings().ShortDateFormat = "m/d/yyyy";
  EXPECT_EQ(StrToDateTime("12/8/2026"), EncodeDate(2026, 12, 8));
  FormatSettings().ShortDateFormat = "yyyy/mm/dd";
  EXPECT_EQ(StrToDateTime("2026/12/08"), EncodeDate(2026, 12, 8));
  FormatSettings().TwoDigitYearCenturyWindow = 0;  // the current century
  int year, month, day;
  DecodeDate(Date(), year, month, day);
  EXPECT_EQ(StrToDateTime("26/12/08"), EncodeDate(year / 100 * 100 + 26, 12, 8));
  EXPECT_EQ(StrToDateTime("0026/12/08"), EncodeDate(26, 12, 8));
}

TEST_F(DateText, rejects_what_is_no_date_or_time) {
  for (const char* bad : {"", "abc", "32.1.2026", "8.12.2026 25:00", "8.12.2026 x", "8.", "29.2.2027", "1:60"})
    EXPECT_FALSE(TryStrToDateTime(bad)) << bad;
  try {
    StrToDateTime("soon");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message, "'soon' is not a valid date and time");
  }
}

}  // namespace
}  // namespace kvell
