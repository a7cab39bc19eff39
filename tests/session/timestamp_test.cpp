// TOracleTimestamp on ociemu: creation refusal, millisecond round trips
// through the descriptor, the zero date, timestamp columns of every kind and
// timestamp bind variables in both directions.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "oracle/session/oracle_query.h"
#include "oracle/session/oracle_session.h"
#include "oracle/session/oracle_timestamp.h"
#include "runtime/datetime.h"
#include "session_fixture.h"

namespace kvell::testing {
namespace {

int milliseconds_of(TDateTime value) {
  int hour = 0, minute = 0, second = 0, milli = 0;
  DecodeTime(value, hour, minute, second, milli);
  return milli;
}

class TimestampTest : public ConnectedQueryTest<SessionTest> {
 protected:

  // 2026-12-09 10:20:30.123, a value whose milliseconds a float rounding slip changes.
  const TDateTime moment = EncodeDate(2026, 12, 9) + EncodeTime(10, 20, 30, 123);};

TEST_F(TimestampTest, needs_a_connected_session_and_starts_null) {
  TOracleSession offline;
  try {
    TOracleTimestamp refused(&offline, otTimestamp);
    FAIL() << "created on an unconnected session";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, kTimestampNotConnected);
  }
  EXPECT_EQ(offline.Clients(skTimestamp).Count(), 0);
  TOracleTimestamp stamp(session.get(), otTimestampTZ);
  EXPECT_EQ(session->Clients(skTimestamp).Count(), 1);
  EXPECT_TRUE(stamp.IsNull());
  EXPECT_EQ(stamp.AsDateTime(), 0);
}

TEST_F(TimestampTest, the_descriptor_keeps_milliseconds_and_the_zero_date_follows_the_preference) {
  for (int kind : {otTimestamp, otTimestampTZ, otTimestampLTZ}) {
    TOracleTimestamp stamp(session.get(), kind);
    sb2 indicator = -1;
    stamp.SetNullIndicator(&indicator);
    stamp.SetAsDateTime(moment);
    EXPECT_FALSE(stamp.IsNull());
    EXPECT_EQ(indicator, 0);
    EXPECT_EQ(milliseconds_of(stamp.AsDateTime()), 123) << kind;
    EXPECT_NEAR(stamp.AsDateTime(), moment, 1e-9) << kind;
    stamp.SetAsDateTime(0);
    EXPECT_TRUE(stamp.IsNull()) << "ZeroDateIsNull is on by default";
    EXPECT_EQ(indicator, -1);
  }
  session->Preferences().ZeroDateIsNull = false;
  TOracleTimestamp zero(session.get(), otTimestamp);
  zero.SetAsDateTime(0);
  EXPECT_FALSE(zero.IsNull());
  EXPECT_EQ(zero.AsDateTime(), 0);
  zero.SetNull();
  EXPECT_TRUE(zero.IsNull());
}

TEST_F(TimestampTest, time_zone_timestamps_round_trip_through_binds_and_columns) {
  Exec("create table events (id number(9), t timestamp(3), tz timestamp(3) with time zone)");
  query->DeclareVariable("t", otTimestamp);
  query->DeclareVariable("tz", otTimestampTZ);
  query->SetVariable("t", Variant::FromDateTime(moment));
  query->SetVariable("tz", Variant::FromDateTime(moment + 1));
  Exec("insert into events values (1, :t, :tz)");
  query->SetVariable("t", Variant());
  query->SetVariable("tz", Variant());
  Exec("insert into events values (2, :t, :tz)");
  query->DeleteVariables();

  Exec("select t, tz from events order by id");
  EXPECT_NEAR(query->FieldValue(0).AsDateTime(), moment, 1e-9);
  EXPECT_EQ(milliseconds_of(query->FieldDate(1)), 123);
  EXPECT_NEAR(query->FieldDate(1), moment + 1, 1e-9);
  query->Next();
  EXPECT_TRUE(query->FieldIsNull(0));
  EXPECT_TRUE(query->FieldIsNull(1));
  EXPECT_EQ(query->FieldDate(1), 0);
}

TEST_F(TimestampTest, an_attached_timestamp_is_bound_as_it_is) {
  Exec("create table events (t timestamp(3) with time zone)");
  TOracleTimestamp stamp(session.get(), otTimestampTZ);
  stamp.SetAsDateTime(moment);
  query->DeclareVariable("t", otTimestampTZ);
  query->SetComplexVariable("t", &stamp);
  Exec("insert into events values (:t)");
  query->DeleteVariables();
  Exec("select t from events");
  EXPECT_NEAR(query->FieldDate(0), moment, 1e-9);
}

}  // namespace
}  // namespace kvell::testing
