// Index-by table binds through the version 8 (maxarr_len/curelep) and
// version 7 (maxsiz/cursiz) interfaces.
#include <cstring>

#include "plsql_test_support.h"

namespace ociemu::testing {
namespace {

class TableBindsTest : public PlsqlTest {};

TEST_F(TableBindsTest, string_integer_float_and_date_tables_go_in_and_come_back) {
  OCIStmt* stmt = prepare(R"(
begin
  for i in 1 .. :n loop
    :names(i) := upper(:names(i)) || i;
    :numbers(i) := :numbers(i) * 10;
    :ratios(i) := :ratios(i) / 4;
    :days(i) := :days(i) + i;
  end loop;
  :names(:n + 1) := 'extra';
end;)");
  char names[4][16] = {"ab", "cd", "ef", ""};
  ub2 name_lengths[4] = {2, 2, 2, 0};
  ub4 names_used = 3;
  int numbers[4] = {1, 2, 3, 0};
  ub4 numbers_used = 3;
  double ratios[4] = {1, 2, 3, 0};
  ub4 ratios_used = 3;
  ub1 days[4][7] = {{120, 124, 1, 1, 1, 1, 1}, {120, 124, 2, 28, 1, 1, 1}, {120, 124, 12, 31, 1, 1, 1}, {}};
  ub4 days_used = 3;
  int n = 3;
  OCIBind* binds[5] = {};
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &binds[0], err, text(":names"), 6, names, 16, SQLT_STR, nullptr,
                                       name_lengths, nullptr, 4, &names_used, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &binds[1], err, text(":numbers"), 8, numbers, sizeof(int), SQLT_INT,
                                       nullptr, nullptr, nullptr, 4, &numbers_used, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &binds[2], err, text(":ratios"), 7, ratios, sizeof(double), SQLT_FLT,
                                       nullptr, nullptr, nullptr, 4, &ratios_used, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &binds[3], err, text(":days"), 5, days, 7, SQLT_DAT, nullptr, nullptr,
                                       nullptr, 4, &days_used, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &binds[4], err, text(":n"), 2, &n, sizeof n, SQLT_INT, nullptr, nullptr,
                                       nullptr, 0, nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  EXPECT_STREQ("AB1", names[0]);
  EXPECT_STREQ("EF3", names[2]);
  EXPECT_STREQ("extra", names[3]);
  EXPECT_EQ(4u, names_used);  // the element written past the count extends it
  EXPECT_EQ(30, numbers[2]);
  EXPECT_EQ(3u, numbers_used);
  EXPECT_DOUBLE_EQ(0.75, ratios[2]);
  EXPECT_EQ(2, days[0][3]);                 // 2024-01-01 + 1
  EXPECT_EQ(3, days[1][2]);                 // 2024-02-28 + 2 = 2024-03-01
  EXPECT_EQ(1, days[1][3]);
  EXPECT_EQ(125, days[2][1]);               // 2024-12-31 + 3 = 2025-01-03
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(TableBindsTest, reading_past_the_count_or_writing_past_the_room_fails) {
  int values[2] = {5, 6};
  ub4 used = 1;
  auto run = [&](const char* block) {
    OCIStmt* stmt = prepare(block);
    OCIBind* bind = nullptr;
    OCIBindByName(stmt, &bind, err, text(":t"), 2, values, sizeof(int), SQLT_INT, nullptr, nullptr, nullptr, 2, &used,
                  OCI_DEFAULT);
    sword rc = OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return rc == OCI_SUCCESS ? std::string() : last_error();
  };
  EXPECT_EQ(0u, run("declare x number; begin x := :t(2); end;").find("ORA-01403")) << run("declare x number; begin x := :t(2); end;");
  EXPECT_EQ(0u, run("begin :t(3) := 1; end;").find("ORA-06513"));
  EXPECT_EQ("", run("declare x number; begin x := :t(1); :t(2) := x + 1; end;"));
  EXPECT_EQ(6, values[1]);
  EXPECT_EQ(2u, used);
}

TEST_F(TableBindsTest, version_7_obndra_binds_tables_by_maxsiz_and_cursiz) {
  Lda_Def lda{};
  ub1 hda[512] = {};
  std::string uid = "scott/tiger@" + database;
  ASSERT_EQ(0, orlon(&lda, hda, reinterpret_cast<OraText*>(uid.data()), -1, nullptr, -1, 0)) << lda.rc;
  Cda_Def cda{};
  ASSERT_EQ(0, oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1));
  std::string block = "begin for i in 1..3 loop :t(i) := i * i; end loop; end;";
  ASSERT_EQ(0, oparse(&cda, reinterpret_cast<OraText*>(block.data()), -1, 0, 2));
  EXPECT_EQ(34, cda.ft);
  int squares[3] = {};
  ub4 count = 0;
  ASSERT_EQ(0, obndra(&cda, reinterpret_cast<OraText*>(const_cast<char*>(":t")), -1, reinterpret_cast<ub1*>(squares),
                      sizeof(int), SQLT_INT, -1, nullptr, nullptr, nullptr, 3, &count, nullptr, -1, -1));
  ASSERT_EQ(0, oexec(&cda)) << cda.rc;
  EXPECT_EQ(9, squares[2]);
  EXPECT_EQ(3u, count);
  oclose(&cda);
  ologof(&lda);
}

}  // namespace
}  // namespace ociemu::testing
