// DATE values fetched into the date externals and as text: the stored form read at its fixed
// places, other stored texts (TIMESTAMP columns) read in full, and buffers too small refused.
#include "oci_test_support.h"

namespace ociemu::testing {
namespace {

class DateFetchTest : public OciTest {
 protected:
  void SetUp() override {
    OciTest::SetUp();
    must_run("CREATE TABLE D (N NUMBER, D DATE, T TIMESTAMP)");
    const char* values[] = {"0001-01-01 00:00:00", "2024-02-29 23:59:59", "9999-12-31 12:30:45"};
    for (int i = 0; i < 3; ++i) {
      must_run("INSERT INTO D VALUES (" + std::to_string(i) + ", TO_DATE('" + values[i] +
               "', 'YYYY-MM-DD HH24:MI:SS'), TO_TIMESTAMP('" + values[i] + ".75', 'YYYY-MM-DD HH24:MI:SS.FF'))");
    }
    must_run("INSERT INTO D VALUES (3, NULL, NULL)");
  }

  // Fetches every row of one column in one call; returns the status.
  sword fetch_all(const std::string& column, void* values, sb4 size, ub2 dty, sb2* indicators, ub4 skip) {
    OCIStmt* stmt = prepare("SELECT " + column + " FROM D ORDER BY N");
    OCIDefine* define = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIDefineByPos(stmt, &define, err, 1, values, size, dty, indicators, nullptr, nullptr, 0));
    EXPECT_EQ(OCI_SUCCESS, OCIDefineArrayOfStruct(define, err, skip, skip, 0, 0));
    const sword rc = OCIStmtExecute(svc, stmt, err, 4, 0, nullptr, nullptr, OCI_DEFAULT);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return rc;
  }
};

#pragma pack(push, 1)
struct PackedDate {
  char pad;
  ub1 bytes[7];
  sb2 indicator;
};
struct PackedOciDate {
  char pad;
  OCIDate date;
  sb2 indicator;
};
#pragma pack(pop)

using Bytes = std::vector<int>;

TEST_F(DateFetchTest, dates_and_timestamps_land_in_oracle_date_bytes_at_unaligned_strides) {
  const std::vector<Bytes> expected = {
      {100, 101, 1, 1, 1, 1, 1}, {120, 124, 2, 29, 24, 60, 60}, {199, 199, 12, 31, 13, 31, 46}};
  for (const char* column : {"D", "T"}) {
    PackedDate rows[4] = {};
    ASSERT_EQ(OCI_SUCCESS, fetch_all(column, rows[0].bytes, 7, SQLT_DAT, &rows[0].indicator, sizeof(PackedDate)))
        << column << ": " << last_error();
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(expected[i], Bytes(rows[i].bytes, rows[i].bytes + 7)) << column << " row " << i;
      EXPECT_EQ(0, rows[i].indicator);
    }
    EXPECT_EQ(-1, rows[3].indicator);
  }
}

TEST_F(DateFetchTest, dates_and_timestamps_land_in_ocidates_at_unaligned_strides) {
  const std::vector<Bytes> expected = {{1, 1, 1, 0, 0, 0}, {2024, 2, 29, 23, 59, 59}, {9999, 12, 31, 12, 30, 45}};
  for (const char* column : {"D", "T"}) {
    PackedOciDate rows[4] = {};
    ASSERT_EQ(OCI_SUCCESS,
              fetch_all(column, &rows[0].date, sizeof(OCIDate), SQLT_ODT, &rows[0].indicator, sizeof(PackedOciDate)))
        << column << ": " << last_error();
    for (size_t i = 0; i < 3; ++i) {
      const OCIDate d = rows[i].date;
      EXPECT_EQ(expected[i], (Bytes{d.OCIDateYYYY, d.OCIDateMM, d.OCIDateDD, d.OCIDateTime.OCITimeHH,
                                    d.OCIDateTime.OCITimeMI, d.OCIDateTime.OCITimeSS}))
          << column << " row " << i;
    }
    EXPECT_EQ(-1, rows[3].indicator);
  }
}

TEST_F(DateFetchTest, a_date_element_too_small_is_refused_not_overrun) {
  struct Guarded {
    ub1 element[7];
    ub1 guard = 0x5a;
  };
  Guarded rows[4];
  sb2 indicators[4] = {};
  EXPECT_EQ(OCI_ERROR, fetch_all("D", rows[0].element, 7, SQLT_ODT, indicators, sizeof(Guarded)));
  EXPECT_EQ(932, last_code());
  EXPECT_EQ(OCI_ERROR, fetch_all("D", rows[0].element, 6, SQLT_DAT, indicators, sizeof(Guarded)));
  EXPECT_EQ(932, last_code());
  for (const Guarded& row : rows) EXPECT_EQ(0x5a, row.guard);
}

TEST_F(DateFetchTest, dates_as_text_follow_the_session_format_as_it_changes) {
  const std::pair<const char*, const char*> formats[] = {{nullptr, "29-FEB-24"},
                                                         {"YYYY-MM-DD HH24:MI:SS", "2024-02-29 23:59:59"},
                                                         {"FMDD.MM.YYYY SSSSS J", "29.2.2024 86399 2460370"}};
  for (const auto& [format, expected] : formats) {
    if (format) must_run(std::string("ALTER SESSION SET NLS_DATE_FORMAT = '") + format + "'");
    EXPECT_EQ(expected, single_text("SELECT D FROM D WHERE N = 1")) << (format ? format : "the default format");
  }
  EXPECT_EQ("00005 05 0001", single_text("SELECT TO_CHAR(D + 5 / 86400, 'SSSSS SS YYYY') FROM D WHERE N = 0"));
}

}  // namespace
}  // namespace ociemu::testing
