// Interval literals and their arithmetic, the time-zone functions and
// AT TIME ZONE in SQL, and BFILENAME typed as a BFILE, through the C entries.
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "ociemu/tests/api/oci_test_support.h"

namespace ociemu::testing {
namespace {

class ZoneIntervalSqlTest : public OciTest {
 protected:
  void SetUp() override {
    OciTest::SetUp();
    must_run("ALTER SESSION SET TIME_ZONE = '+02:00'");
    must_run("ALTER SESSION SET NLS_TIMESTAMP_FORMAT = 'YYYY-MM-DD HH24:MI:SS.FF3'");
    must_run("ALTER SESSION SET NLS_TIMESTAMP_TZ_FORMAT = 'YYYY-MM-DD HH24:MI:SS.FF3 TZH:TZM'");
    must_run("ALTER SESSION SET NLS_DATE_FORMAT = 'YYYY-MM-DD HH24:MI:SS'");
  }

  // The select list's first column type as describe reports it.
  ub2 described_type(const std::string& sql) {
    OCIStmt* stmt = prepare(sql);
    EXPECT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY)) << last_error();
    void* param = nullptr;
    ub2 code = 0;
    EXPECT_EQ(OCI_SUCCESS, OCIParamGet(stmt, OCI_HTYPE_STMT, err, &param, 1));
    OCIAttrGet(param, OCI_DTYPE_PARAM, &code, nullptr, OCI_ATTR_DATA_TYPE, err);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return code;
  }

  // The Oracle error code a query fails with (0 when it runs).
  int failure(const std::string& sql) { return run(sql) == OCI_SUCCESS ? 0 : last_code(); }
};

TEST_F(ZoneIntervalSqlTest, interval_literals_describe_read_and_refuse_what_does_not_fit) {
  EXPECT_EQ(189, described_type("SELECT INTERVAL '1-2' YEAR TO MONTH FROM dual"));
  EXPECT_EQ(190, described_type("SELECT INTERVAL '4:30' HOUR TO MINUTE FROM dual"));
  EXPECT_EQ("+01-02", single_text("SELECT INTERVAL '1-2' YEAR TO MONTH FROM dual"));
  EXPECT_EQ("-00-07", single_text("SELECT INTERVAL '-0-7' YEAR TO MONTH FROM dual"));
  EXPECT_EQ("+03-00", single_text("SELECT INTERVAL '3' YEAR FROM dual"));
  EXPECT_EQ("+00 04:30:00.000000", single_text("SELECT INTERVAL '4:30' HOUR TO MINUTE FROM dual"));
  EXPECT_EQ("+01 00:00:30.500000", single_text("SELECT INTERVAL '1440:30.5' MINUTE TO SECOND FROM dual"));
  EXPECT_EQ("-01 02:00:00.000000", single_text("SELECT INTERVAL '-1 02:00:00' DAY TO SECOND FROM dual"));
  EXPECT_EQ(1867, failure("SELECT INTERVAL '1-12' YEAR TO MONTH FROM dual"));
  EXPECT_EQ(1867, failure("SELECT INTERVAL '1 24:00:00' DAY TO SECOND FROM dual"));
  EXPECT_EQ(1867, failure("SELECT INTERVAL '1:2' YEAR TO MONTH FROM dual"));
  EXPECT_EQ(1867, failure("SELECT INTERVAL '1-2' MONTH TO YEAR FROM dual"));
  EXPECT_EQ(1873, failure("SELECT INTERVAL '999999999 00:00:00' DAY TO SECOND FROM dual"));
}

TEST_F(ZoneIntervalSqlTest, a_timestamp_literal_with_a_zone_keeps_its_fraction_and_zone) {
  EXPECT_EQ(188, described_type("SELECT TIMESTAMP '2024-06-01 12:00:00.125 -05:00' FROM dual"));
  EXPECT_EQ("2024-06-01 12:00:00.125 -05:00", single_text("SELECT TIMESTAMP '2024-06-01 12:00:00.125 -05:00' FROM dual"));
  EXPECT_EQ("2024-06-01 17:00:00.000",
            single_text("SELECT SYS_EXTRACT_UTC(TIMESTAMP '2024-06-01 12:00:00 -05:00') FROM dual"));
  EXPECT_EQ(187, described_type("SELECT TIMESTAMP '2024-06-01 12:00:00.5' FROM dual"));
}

TEST_F(ZoneIntervalSqlTest, to_date_reads_elements_in_the_models_order_and_fractions_to_nine_digits) {
  EXPECT_EQ("2024-05-17", single_text("SELECT TO_CHAR(TO_DATE('2024-17-05', 'YYYY-DD-MM'), 'YYYY-MM-DD') FROM dual"));
  // Text that also reads as a date of the stored form still goes by the model.
  EXPECT_EQ("2015-11-01", single_text("SELECT TO_CHAR(TO_DATE('2015-01-11', 'YYYY-DD-MM'), 'YYYY-MM-DD') FROM dual"));
  EXPECT_EQ("2015-11-01", single_text("SELECT TO_CHAR(TO_TIMESTAMP('2015-01-11', 'YYYY-DD-MM'), 'YYYY-MM-DD') FROM dual"));
  EXPECT_EQ("2024-05-17 13:45:00",
            single_text("SELECT TO_DATE('45 13 17.05.2024', 'MI HH24 DD.MM.YYYY') FROM dual"));
  EXPECT_EQ("123456789", single_text("SELECT TO_CHAR(TO_TIMESTAMP('2024-05-17 10:11:12.123456789', "
                                     "'YYYY-MM-DD HH24:MI:SS.FF9'), 'FF9') FROM dual"));
  EXPECT_EQ("10:11:12.5", single_text("SELECT TO_CHAR(TO_TIMESTAMP('2024-05-17 10:11:12.5', "
                                      "'YYYY-MM-DD HH24:MI:SS.FF1'), 'HH24:MI:SS.FF1') FROM dual"));
  EXPECT_EQ("12.12", single_text("SELECT TO_CHAR(TO_TIMESTAMP('10:11:12.123', 'HH24:MI:SS.FF3'), 'SS.FF2') FROM dual"));
}

TEST_F(ZoneIntervalSqlTest, datetimes_add_year_to_month_intervals_as_months) {
  EXPECT_EQ("2025-02-15 00:00:00", single_text("SELECT DATE '2024-01-15' + INTERVAL '1-1' YEAR TO MONTH FROM dual"));
  EXPECT_EQ("2022-03-10 10:00:00.250",
            single_text("SELECT TIMESTAMP '2024-03-10 10:00:00.250' - INTERVAL '2' YEAR FROM dual"));
  EXPECT_EQ("2023-12-15 00:00:00", single_text("SELECT INTERVAL '-1' MONTH + DATE '2024-01-15' FROM dual"));
  EXPECT_EQ("2024-01-02 22:00:00", single_text("SELECT DATE '2024-01-04' + INTERVAL '-1 02:00:00' DAY TO SECOND FROM dual"));
  // A YEAR TO MONTH column adds months too.
  must_run("CREATE TABLE terms (ym INTERVAL YEAR TO MONTH)");
  must_run("INSERT INTO terms VALUES (INTERVAL '2-3' YEAR TO MONTH)");
  EXPECT_EQ("2026-04-15 00:00:00", single_text("SELECT DATE '2024-01-15' + ym FROM terms"));
  // Unlike ADD_MONTHS, interval arithmetic does not move to the month's last day.
  EXPECT_EQ(1839, failure("SELECT DATE '2024-01-31' + INTERVAL '1' MONTH FROM dual"));
}

TEST_F(ZoneIntervalSqlTest, zone_functions_attach_shift_and_extract) {
  EXPECT_EQ(188, described_type("SELECT FROM_TZ(TIMESTAMP '2024-06-01 12:00:00', '-05:00') FROM dual"));
  EXPECT_EQ(187, described_type("SELECT SYS_EXTRACT_UTC(SYSTIMESTAMP) FROM dual"));
  EXPECT_EQ("2024-06-01 12:00:00.000 -05:00",
            single_text("SELECT FROM_TZ(TIMESTAMP '2024-06-01 12:00:00', '-05:00') FROM dual"));
  EXPECT_EQ("2024-06-01 17:00:00.000",
            single_text("SELECT SYS_EXTRACT_UTC(FROM_TZ(TIMESTAMP '2024-06-01 12:00:00', '-05:00')) FROM dual"));
  EXPECT_EQ("2024-06-02 02:30:00.000 +09:30",
            single_text("SELECT FROM_TZ(TIMESTAMP '2024-06-01 12:00:00', '-05:00') AT TIME ZONE '+09:30' FROM dual"));
  EXPECT_EQ("2024-06-01 19:00:00.000 +02:00",
            single_text("SELECT FROM_TZ(TIMESTAMP '2024-06-01 12:00:00', '-05:00') AT LOCAL FROM dual"));
  EXPECT_EQ("2024-06-01 15:00:00.000 +00:00",
            single_text("SELECT FROM_TZ(TIMESTAMP '2024-06-01 12:00:00', '-03:00') AT TIME ZONE DBTIMEZONE FROM dual"));
  // A timestamp without a zone is taken in the session's zone.
  EXPECT_EQ("2024-06-01 10:00:00.000", single_text("SELECT SYS_EXTRACT_UTC(TIMESTAMP '2024-06-01 12:00:00') FROM dual"));
  EXPECT_EQ(1882, failure("SELECT FROM_TZ(TIMESTAMP '2024-06-01 12:00:00', 'Mars/Olympus') FROM dual"));
  EXPECT_EQ(1857, failure("SELECT FROM_TZ(TIMESTAMP '2024-06-01 12:00:00', '+x') FROM dual"));
  EXPECT_EQ(1874, failure("SELECT TIMESTAMP '2024-06-01 12:00:00' AT TIME ZONE '+16:00' FROM dual"));
}

TEST_F(ZoneIntervalSqlTest, to_timestamp_tz_reads_offsets_and_regions_or_takes_the_session_zone) {
  EXPECT_EQ("2024-06-01 09:00:00.000",
            single_text("SELECT SYS_EXTRACT_UTC(TO_TIMESTAMP_TZ('2024-06-01 12:00:00 +03:00', "
                        "'YYYY-MM-DD HH24:MI:SS TZH:TZM')) FROM dual"));
  EXPECT_EQ("2024-06-01 12:00:00.000 +00:00",
            single_text("SELECT TO_TIMESTAMP_TZ('2024-06-01 12:00:00 UTC', 'YYYY-MM-DD HH24:MI:SS TZR') FROM dual"));
  EXPECT_EQ("2024-06-01 12:00:00.000 +02:00",
            single_text("SELECT TO_TIMESTAMP_TZ('2024-06-01 12:00:00', 'YYYY-MM-DD HH24:MI:SS') FROM dual"));
  EXPECT_EQ("2024-06-01 12:00:00.500 -04:30",
            single_text("SELECT TO_TIMESTAMP_TZ('2024-06-01 12:00:00.500 -04:30') FROM dual"));
  EXPECT_EQ(1882, failure("SELECT TO_TIMESTAMP_TZ('2024-06-01 12:00 Europe/Paris', 'YYYY-MM-DD HH24:MI TZR') FROM dual"));
}

TEST_F(ZoneIntervalSqlTest, bfilename_in_a_select_list_is_a_bfile_that_defines_into_a_file_locator) {
  auto folder = std::filesystem::path(database).parent_path() / ("dual_files_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "f.txt", std::ios::binary) << "from dual";
  must_run("CREATE OR REPLACE DIRECTORY DIR AS '" + folder.string() + "'");
  EXPECT_EQ(114, described_type("SELECT bfilename('DIR', 'f.txt') FROM dual"));

  void* file = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIDescriptorAlloc(env, &file, OCI_DTYPE_FILE, 0, nullptr));
  auto* locator = static_cast<OCILobLocator*>(file);
  OCIStmt* stmt = prepare("SELECT bfilename('DIR', 'f.txt') FROM dual");
  OCIDefine* define = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIDefineByPos(stmt, &define, err, 1, &locator, sizeof locator, SQLT_BFILE, nullptr, nullptr,
                                        nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  ASSERT_EQ(OCI_SUCCESS, OCILobFileOpen(svc, err, locator, OCI_FILE_READONLY)) << last_error();
  char buffer[32] = {0};
  ub4 amount = 0;
  EXPECT_EQ(OCI_SUCCESS, OCILobRead(svc, err, locator, &amount, 1, buffer, sizeof buffer, nullptr, nullptr, 0, 0))
      << last_error();
  EXPECT_EQ("from dual", std::string(buffer, amount));
  OCILobFileClose(svc, err, locator);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  OCIDescriptorFree(file, OCI_DTYPE_FILE);
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace ociemu::testing
