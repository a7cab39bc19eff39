// Session time zones, zoned timestamp columns and the datetime and interval
// descriptor entries, driven through the C entries on real tables.
#include "ociemu/tests/api/oci_test_support.h"

namespace ociemu::testing {
namespace {

class DateTimeTest : public OciTest {
 protected:
  void SetUp() override {
    OciTest::SetUp();
    ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(svc, OCI_HTYPE_SVCCTX, &session, nullptr, OCI_ATTR_SESSION, err));
    must_run("ALTER SESSION SET NLS_TIMESTAMP_FORMAT = 'YYYY-MM-DD HH24:MI:SS.FF3'");
    must_run("ALTER SESSION SET NLS_TIMESTAMP_TZ_FORMAT = 'YYYY-MM-DD HH24:MI:SS.FF3 TZH:TZM'");
  }

  void TearDown() override {
    for (auto& [descriptor, type] : descriptors) OCIDescriptorFree(descriptor, type);
    OciTest::TearDown();
  }

  template <class T>
  T* descriptor(ub4 type) {
    void* made = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIDescriptorAlloc(env, &made, type, 0, nullptr));
    descriptors.emplace_back(made, type);
    return static_cast<T*>(made);
  }

  OCIDateTime* construct(ub4 type, sb2 year, ub1 month, ub1 day, ub1 hour, ub1 minute, const char* zone) {
    auto* dt = descriptor<OCIDateTime>(type);
    std::string z = zone ? zone : "";
    EXPECT_EQ(OCI_SUCCESS, OCIDateTimeConstruct(session, err, dt, year, month, day, hour, minute, 0, 0,
                                                zone ? const_cast<OraText*>(text(z)) : nullptr, z.size()))
        << last_error();
    return dt;
  }

  std::string as_text(OCIDateTime* dt, const std::string& model) {
    OraText buffer[100];
    ub4 size = sizeof buffer;
    EXPECT_EQ(OCI_SUCCESS, OCIDateTimeToText(session, err, dt, text(model), static_cast<ub1>(model.size()), 3,
                                             nullptr, 0, &size, buffer))
        << last_error();
    return std::string(reinterpret_cast<char*>(buffer), size);
  }

  std::string interval_text(OCIInterval* interval, ub1 leading, ub1 fraction) {
    OraText buffer[64];
    size_t length = 0;
    EXPECT_EQ(OCI_SUCCESS, OCIIntervalToText(session, err, interval, leading, fraction, buffer, sizeof buffer, &length))
        << last_error();
    return std::string(reinterpret_cast<char*>(buffer), length);
  }

  // Executes a statement with one descriptor bound by position.
  void run_with(const std::string& sql, void* value, ub2 dty) {
    OCIStmt* stmt = prepare(sql);
    OCIBind* bind = nullptr;
    ASSERT_EQ(OCI_SUCCESS, OCIBindByPos(stmt, &bind, err, 1, &value, sizeof value, dty, nullptr, nullptr, nullptr,
                                        0, nullptr, OCI_DEFAULT));
    EXPECT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
  }

  // Fetches the single row's first column into a descriptor.
  void fetch_into(const std::string& sql, void* value, ub2 dty) {
    OCIStmt* stmt = prepare(sql);
    OCIDefine* define = nullptr;
    sb2 indicator = 0;
    ASSERT_EQ(OCI_SUCCESS, OCIDefineByPos(stmt, &define, err, 1, &value, sizeof value, dty, &indicator, nullptr,
                                          nullptr, OCI_DEFAULT));
    EXPECT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
    EXPECT_EQ(0, indicator);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
  }

  OCISession* session = nullptr;
  std::vector<std::pair<void*, ub4>> descriptors;
};

TEST_F(DateTimeTest, SessionTimeZoneIsSetAndValidated) {
  must_run("ALTER SESSION SET TIME_ZONE = '+05:30'");
  EXPECT_EQ("+05:30", single_text("SELECT SESSIONTIMEZONE FROM DUAL"));
  EXPECT_EQ("+00:00", single_text("SELECT DBTIMEZONE FROM DUAL"));
  must_run("ALTER SESSION SET TIME_ZONE = '-8:00'");
  EXPECT_EQ("-08:00", single_text("SELECT SESSIONTIMEZONE FROM DUAL"));
  must_run("ALTER SESSION SET TIME_ZONE = DBTIMEZONE");
  EXPECT_EQ("+00:00", single_text("SELECT SESSIONTIMEZONE FROM DUAL"));
  EXPECT_EQ("+00:00", single_text("SELECT TO_CHAR(CURRENT_TIMESTAMP, 'TZH:TZM') FROM DUAL"));

  const std::pair<const char*, int> rejected[] = {
      {"'Mars/Olympus'", 1882}, {"'+16:00'", 1874}, {"'+05:75'", 1875}, {"'5:00'", 1857}, {"'+05:3x'", 1857}};
  for (const auto& [zone, code] : rejected) {
    EXPECT_EQ(OCI_ERROR, run(std::string("ALTER SESSION SET TIME_ZONE = ") + zone)) << zone;
    EXPECT_EQ(code, last_code()) << zone;
  }
  // A rejected setting leaves the zone as it was.
  EXPECT_EQ("+00:00", single_text("SELECT SESSIONTIMEZONE FROM DUAL"));
}

TEST_F(DateTimeTest, ZonedColumnsKeepTheOffsetAndLocalColumnsFollowTheSession) {
  must_run("CREATE TABLE events (tz TIMESTAMP(6) WITH TIME ZONE, ltz TIMESTAMP WITH LOCAL TIME ZONE)");
  OCIDateTime* value = construct(OCI_DTYPE_TIMESTAMP_TZ, 2024, 1, 15, 10, 0, "-03:00");
  OCIStmt* stmt = prepare("INSERT INTO events VALUES (:1, :1)");
  OCIBind* bind = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIBindByPos(stmt, &bind, err, 1, &value, sizeof value, SQLT_TIMESTAMP_TZ, nullptr, nullptr,
                                      nullptr, 0, nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  OCIHandleFree(stmt, OCI_HTYPE_STMT);

  must_run("ALTER SESSION SET TIME_ZONE = '+02:00'");
  EXPECT_EQ("2024-01-15 10:00:00.000 -03:00", single_text("SELECT tz FROM events"));
  EXPECT_EQ("2024-01-15 15:00:00.000", single_text("SELECT ltz FROM events"));
  must_run("ALTER SESSION SET TIME_ZONE = '-10:00'");
  EXPECT_EQ("2024-01-15 03:00:00.000", single_text("SELECT ltz FROM events"));  // the same instant, seen elsewhere

  auto* local = descriptor<OCIDateTime>(OCI_DTYPE_TIMESTAMP_LTZ);
  fetch_into("SELECT ltz FROM events", local, SQLT_TIMESTAMP_LTZ);
  ub1 hour = 0, minute = 0, second = 0;
  ub4 fraction = 1;
  ASSERT_EQ(OCI_SUCCESS, OCIDateTimeGetTime(session, err, local, &hour, &minute, &second, &fraction));
  EXPECT_EQ(3, hour);
  EXPECT_EQ(0u, fraction);
  sb2 year = 0;
  ub1 month = 0, day = 0;
  ASSERT_EQ(OCI_SUCCESS, OCIDateTimeGetDate(session, err, local, &year, &month, &day));
  EXPECT_EQ(15, day);

  auto* zoned = descriptor<OCIDateTime>(OCI_DTYPE_TIMESTAMP_TZ);
  fetch_into("SELECT tz FROM events", zoned, SQLT_TIMESTAMP_TZ);
  sb1 zone_hour = 0, zone_minute = 0;
  ASSERT_EQ(OCI_SUCCESS, OCIDateTimeGetTimeZoneOffset(session, err, zoned, &zone_hour, &zone_minute));
  EXPECT_EQ(-3, zone_hour);
  EXPECT_EQ(0, zone_minute);
  sword order = 2;
  ASSERT_EQ(OCI_SUCCESS, OCIDateTimeCompare(session, err, zoned, local, &order));
  EXPECT_EQ(0, order);

  // A plain timestamp put into a zoned column takes the session's zone.
  must_run("DELETE FROM events");
  OCIDateTime* plain = construct(OCI_DTYPE_TIMESTAMP, 2024, 6, 1, 8, 30, nullptr);
  run_with("INSERT INTO events (tz) VALUES (:1)", plain, SQLT_TIMESTAMP);
  fetch_into("SELECT tz FROM events", zoned, SQLT_TIMESTAMP_TZ);
  EXPECT_EQ("2024-06-01 08:30 -10:00", as_text(zoned, "YYYY-MM-DD HH24:MI TZH:TZM"));
}

TEST_F(DateTimeTest, DescriptorEntriesWorkOnInstants) {
  must_run("ALTER SESSION SET TIME_ZONE = '+01:00'");
  OCIDateTime* defaulted = construct(OCI_DTYPE_TIMESTAMP_TZ, 2023, 12, 31, 23, 30, nullptr);
  EXPECT_EQ("2023-12-31 23:30 +01:00", as_text(defaulted, "YYYY-MM-DD HH24:MI TZH:TZM"));
  OCIDateTime* india = construct(OCI_DTYPE_TIMESTAMP_TZ, 2024, 1, 1, 4, 0, "+05:30");
  OraText name[16];
  ub4 name_length = sizeof name;
  ASSERT_EQ(OCI_SUCCESS, OCIDateTimeGetTimeZoneName(session, err, india, name, &name_length));
  EXPECT_EQ("+05:30", std::string(reinterpret_cast<char*>(name), name_length));
  sb1 zone_hour = 0, zone_minute = 0;
  ASSERT_EQ(OCI_SUCCESS, OCIDateTimeGetTimeZoneOffset(session, err, india, &zone_hour, &zone_minute));
  EXPECT_EQ(5, zone_hour);
  EXPECT_EQ(30, zone_minute);

  // 23:30 at +01:00 is 22:30 UTC; 04:00 at +05:30 is 22:30 UTC the day before it by the calendar.
  sword order = 2;
  ASSERT_EQ(OCI_SUCCESS, OCIDateTimeCompare(session, err, defaulted, india, &order));
  EXPECT_EQ(0, order);
  OCIDateTime* later = construct(OCI_DTYPE_TIMESTAMP_TZ, 2024, 1, 1, 4, 1, "+05:30");
  ASSERT_EQ(OCI_SUCCESS, OCIDateTimeCompare(session, err, defaulted, later, &order));
  EXPECT_EQ(-1, order);

  // Converting to a local-zone or plain kind shows the instant in the session's zone.
  auto* local = descriptor<OCIDateTime>(OCI_DTYPE_TIMESTAMP_LTZ);
  ASSERT_EQ(OCI_SUCCESS, OCIDateTimeConvert(session, err, india, local)) << last_error();
  EXPECT_EQ("2023-12-31 23:30", as_text(local, "YYYY-MM-DD HH24:MI"));
  auto* plain = descriptor<OCIDateTime>(OCI_DTYPE_TIMESTAMP);
  ASSERT_EQ(OCI_SUCCESS, OCIDateTimeConvert(session, err, india, plain)) << last_error();
  EXPECT_EQ("2023-12-31 23:30", as_text(plain, "YYYY-MM-DD HH24:MI"));
  EXPECT_EQ(OCI_ERROR, OCIDateTimeGetTimeZoneOffset(session, err, plain, &zone_hour, &zone_minute));

  auto* parsed = descriptor<OCIDateTime>(OCI_DTYPE_TIMESTAMP_TZ);
  const std::string input = "2024-02-29 12:00:00 -04:30", model = "YYYY-MM-DD HH24:MI:SS TZH:TZM";
  ASSERT_EQ(OCI_SUCCESS, OCIDateTimeFromText(session, err, text(input), input.size(), text(model),
                                             static_cast<ub1>(model.size()), nullptr, 0, parsed))
      << last_error();
  ASSERT_EQ(OCI_SUCCESS, OCIDateTimeGetTimeZoneOffset(session, err, parsed, &zone_hour, &zone_minute));
  EXPECT_EQ(-4, zone_hour);
  EXPECT_EQ(-30, zone_minute);

  auto* bad = descriptor<OCIDateTime>(OCI_DTYPE_TIMESTAMP_TZ);
  EXPECT_EQ(OCI_ERROR, OCIDateTimeConstruct(session, err, bad, 2023, 2, 29, 0, 0, 0, 0, nullptr, 0));
  EXPECT_EQ(1847, last_code());
  std::string zone = "+15:60";
  EXPECT_EQ(OCI_ERROR, OCIDateTimeConstruct(session, err, bad, 2024, 1, 1, 0, 0, 0, 0, const_cast<OraText*>(text(zone)),
                                            zone.size()));
  EXPECT_EQ(1875, last_code());

  auto* now = descriptor<OCIDateTime>(OCI_DTYPE_TIMESTAMP_TZ);
  ASSERT_EQ(OCI_SUCCESS, OCIDateTimeSysTimeStamp(session, err, now));
  ASSERT_EQ(OCI_SUCCESS, OCIDateTimeCompare(session, err, india, now, &order));
  EXPECT_EQ(-1, order);
}

TEST_F(DateTimeTest, IntervalPartsTextAndComparison) {
  auto* ds = descriptor<OCIInterval>(OCI_DTYPE_INTERVAL_DS);
  ASSERT_EQ(OCI_SUCCESS, OCIIntervalSetDaySecond(session, err, 1, 2, 3, 4, 500000000, ds));
  EXPECT_EQ("+01 02:03:04.500000", interval_text(ds, 2, 6));
  EXPECT_EQ("+000000001 02:03:04", interval_text(ds, 9, 0));

  const std::string negative = "-3 04:05:06.25";
  ASSERT_EQ(OCI_SUCCESS, OCIIntervalFromText(session, err, text(negative), negative.size(), ds)) << last_error();
  sb4 day = 0, hour = 0, minute = 0, second = 0, fraction = 0;
  ASSERT_EQ(OCI_SUCCESS, OCIIntervalGetDaySecond(session, err, &day, &hour, &minute, &second, &fraction, ds));
  EXPECT_EQ(-3, day);
  EXPECT_EQ(-4, hour);
  EXPECT_EQ(-5, minute);
  EXPECT_EQ(-6, second);
  EXPECT_EQ(-250000000, fraction);
  EXPECT_EQ("-03 04:05:06.250", interval_text(ds, 2, 3));

  auto* ym = descriptor<OCIInterval>(OCI_DTYPE_INTERVAL_YM);
  const std::string years = "+2-11";
  ASSERT_EQ(OCI_SUCCESS, OCIIntervalFromText(session, err, text(years), years.size(), ym));
  sb4 year = 0, month = 0;
  ASSERT_EQ(OCI_SUCCESS, OCIIntervalGetYearMonth(session, err, &year, &month, ym));
  EXPECT_EQ(2, year);
  EXPECT_EQ(11, month);
  for (const std::string bad : {"2-12", "2", "+-1-1", "1-1x"}) {
    EXPECT_EQ(OCI_ERROR, OCIIntervalFromText(session, err, text(bad), bad.size(), ym)) << bad;
    EXPECT_EQ(1867, last_code()) << bad;
  }
  EXPECT_EQ(OCI_ERROR, OCIIntervalSetYearMonth(session, err, 1, -2, ym));  // mixed signs
  EXPECT_EQ(OCI_ERROR, OCIIntervalGetDaySecond(session, err, &day, nullptr, nullptr, nullptr, nullptr, ym));

  auto* copy = descriptor<OCIInterval>(OCI_DTYPE_INTERVAL_YM);
  ASSERT_EQ(OCI_SUCCESS, OCIIntervalAssign(session, err, ym, copy));
  sword order = 2;
  ASSERT_EQ(OCI_SUCCESS, OCIIntervalCompare(session, err, ym, copy, &order));
  EXPECT_EQ(0, order);
  ASSERT_EQ(OCI_SUCCESS, OCIIntervalSetYearMonth(session, err, 3, 0, copy));
  ASSERT_EQ(OCI_SUCCESS, OCIIntervalCompare(session, err, ym, copy, &order));
  EXPECT_EQ(-1, order);
  EXPECT_EQ(OCI_ERROR, OCIIntervalCompare(session, err, ym, ds, &order));  // different kinds
}

TEST_F(DateTimeTest, IntervalColumnsBindFetchAndAddToDates) {
  must_run("CREATE TABLE spans (d INTERVAL DAY(3) TO SECOND(6), ym INTERVAL YEAR TO MONTH)");
  auto* ds = descriptor<OCIInterval>(OCI_DTYPE_INTERVAL_DS);
  ASSERT_EQ(OCI_SUCCESS, OCIIntervalSetDaySecond(session, err, 2, 12, 0, 0, 0, ds));
  run_with("INSERT INTO spans (d) VALUES (:1)", ds, SQLT_INTERVAL_DS);
  EXPECT_EQ("2024-01-03 12:00", single_text("SELECT TO_CHAR(DATE '2024-01-01' + d, 'YYYY-MM-DD HH24:MI') FROM spans"));

  auto* back = descriptor<OCIInterval>(OCI_DTYPE_INTERVAL_DS);
  fetch_into("SELECT d FROM spans", back, SQLT_INTERVAL_DS);
  EXPECT_EQ("+02 12:00:00.000000", interval_text(back, 2, 6));
  must_run("UPDATE spans SET d = INTERVAL '1 06:30:00' DAY TO SECOND");
  fetch_into("SELECT d FROM spans", back, SQLT_INTERVAL_DS);
  EXPECT_EQ("+01 06:30:00", interval_text(back, 2, 0));

  auto* ym = descriptor<OCIInterval>(OCI_DTYPE_INTERVAL_YM);
  ASSERT_EQ(OCI_SUCCESS, OCIIntervalSetYearMonth(session, err, -1, -5, ym));
  run_with("UPDATE spans SET ym = :1", ym, SQLT_INTERVAL_YM);
  auto* ym_back = descriptor<OCIInterval>(OCI_DTYPE_INTERVAL_YM);
  fetch_into("SELECT ym FROM spans", ym_back, SQLT_INTERVAL_YM);
  EXPECT_EQ("-01-05", interval_text(ym_back, 2, 0));
}

}  // namespace
}  // namespace ociemu::testing
