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

class TableParameterTest : public TableBindsTest {
 protected:
  void SetUp() override {
    TableBindsTest::SetUp();
    ASSERT_EQ("", failure(R"(create or replace package arrays as
  type numbers_t is table of number index by binary_integer;
  type names_t is table of varchar2(20) index by binary_integer;
  procedure total(a numbers_t, s out number);
  procedure joined(a names_t, s out varchar2);
  procedure doubled(a in out numbers_t);
  function summed(a numbers_t) return number;
end;)"));
    ASSERT_EQ("", failure(R"(create or replace package body arrays as
  procedure total(a numbers_t, s out number) is
  begin
    s := 0;
    for i in 1 .. a.count loop s := s + a(i); end loop;
  end;
  procedure joined(a names_t, s out varchar2) is
  begin
    for i in 1 .. a.count loop s := s || a(i); end loop;
  end;
  procedure doubled(a in out numbers_t) is
  begin
    for i in 1 .. a.count loop a(i) := a(i) * 2; end loop;
    a(a.count + 1) := -1;
  end;
  function summed(a numbers_t) return number is
    s number := 0;
  begin
    for i in 1 .. a.count loop s := s + a(i); end loop;
    return s;
  end;
end;)"));
  }

  // Runs `block` with :a bound as a host array of ints (or of strings) and :s as an OUT number or string.
  std::string run_with_array(const std::string& block, ub2 dty, std::vector<int>& numbers, ub4& used, char* out,
                             sb4 out_size, ub2 out_dty) {
    OCIStmt* stmt = prepare(block);
    OCIBind* binds[2] = {};
    char names[4][8] = {"a", "b", "c", ""};
    const bool text_array = dty == SQLT_STR;
    OCIBindByName(stmt, &binds[0], err, text(":a"), 2, text_array ? static_cast<void*>(names) : numbers.data(),
                  text_array ? 8 : sizeof(int), dty, nullptr, nullptr, nullptr, static_cast<ub4>(numbers.size()), &used,
                  OCI_DEFAULT);
    if (out) OCIBindByName(stmt, &binds[1], err, text(":s"), 2, out, out_size, out_dty, nullptr, nullptr, nullptr, 0,
                           nullptr, OCI_DEFAULT);
    sword rc = OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return rc == OCI_SUCCESS ? std::string() : last_error();
  }
};

TEST_F(TableParameterTest, host_arrays_pass_to_index_by_table_parameters_in_and_back) {
  std::vector<int> numbers{1, 2, 3, 4, 0, 0};
  ub4 used = 5;
  numbers[4] = 5;
  int sum = 0;
  EXPECT_EQ("", run_with_array("begin arrays.total(:a, :s); end;", SQLT_INT, numbers, used,
                               reinterpret_cast<char*>(&sum), sizeof sum, SQLT_INT));
  EXPECT_EQ(15, sum);
  used = 0;
  EXPECT_EQ("", run_with_array("begin arrays.total(:a, :s); end;", SQLT_INT, numbers, used,
                               reinterpret_cast<char*>(&sum), sizeof sum, SQLT_INT));
  EXPECT_EQ(0, sum) << "an empty array is an empty table";

  char joined[16] = {};
  ub4 names_used = 3;
  EXPECT_EQ("", run_with_array("begin arrays.joined(:a, :s); end;", SQLT_STR, numbers, names_used, joined,
                               sizeof joined, SQLT_STR));
  EXPECT_STREQ("abc", joined);

  used = 3;
  EXPECT_EQ("", run_with_array("begin arrays.doubled(:a); end;", SQLT_INT, numbers, used, nullptr, 0, 0));
  EXPECT_EQ((std::vector<int>{2, 4, 6, -1, 5, 0}), numbers);
  EXPECT_EQ(4u, used) << "the table's count comes back";
}

TEST_F(TableParameterTest, host_arrays_pass_to_functions_called_in_expressions) {
  std::vector<int> numbers{1, 2, 3};
  ub4 used = 3;
  int sum = 0;
  EXPECT_EQ("", run_with_array("begin :s := arrays.summed(:a); end;", SQLT_INT, numbers, used,
                               reinterpret_cast<char*>(&sum), sizeof sum, SQLT_INT));
  EXPECT_EQ(6, sum);
  EXPECT_EQ("", run_with_array("begin :s := 100 + arrays.summed(:a); end;", SQLT_INT, numbers, used,
                               reinterpret_cast<char*>(&sum), sizeof sum, SQLT_INT));
  EXPECT_EQ(106, sum);
}

TEST_F(TableParameterTest, an_array_of_the_wrong_kind_is_refused_and_table_variables_pass_too) {
  std::vector<int> numbers{1, 2, 3};
  ub4 used = 3;
  char out[16] = {};
  EXPECT_NE(std::string::npos, run_with_array("begin arrays.total(:a, :s); end;", SQLT_STR, numbers, used, out,
                                              sizeof out, SQLT_STR)
                                   .find("PLS-00418: array bind type must match PL/SQL table row type"));
  EXPECT_NE(std::string::npos, run_with_array("begin arrays.joined(:a, :s); end;", SQLT_INT, numbers, used, out,
                                              sizeof out, SQLT_STR)
                                   .find("PLS-00418"));
  EXPECT_EQ("5", result_text(R"(declare
  t arrays.numbers_t;
  s number;
begin
  t(1) := 1; t(2) := 2;
  arrays.doubled(t);
  arrays.total(t, s);
  :r := to_char(s);
end;)")) << "2 + 4 and the -1 doubled appends";
}

// A procedure's OUT parameter given a bind of a type that cannot take its value: PLS-00306, as Oracle
// reports when it compiles the call; text binds take anything.
TEST_F(TableBindsTest, out_parameters_refuse_binds_of_types_that_cannot_take_their_values) {
  ASSERT_EQ("", failure("create or replace procedure stamp(at out timestamp with time zone, n out number) is "
                        "begin at := systimestamp; n := 7; end;"));
  auto call_with = [&](ub2 at_dty, void* at, sb4 at_size) {
    OCIStmt* stmt = prepare("begin\n  null; stamp(:at, :n);\nend;");
    OCIBind* binds[2] = {};
    int n = 0;
    OCIBindByName(stmt, &binds[0], err, text(":at"), 3, at, at_size, at_dty, nullptr, nullptr, nullptr, 0, nullptr,
                  OCI_DEFAULT);
    OCIBindByName(stmt, &binds[1], err, text(":n"), 2, &n, sizeof n, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr,
                  OCI_DEFAULT);
    sword rc = OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return rc == OCI_SUCCESS ? std::string() : last_error();
  };
  double number = 0;
  EXPECT_NE(std::string::npos,
            call_with(SQLT_BDOUBLE, &number, sizeof number)
                .find("line 2, column 9:\nPLS-00306: wrong number or types of arguments in call to 'STAMP'"))
      << "the call's own place in the block";
  OCILobLocator* lob = nullptr;
  OCIDescriptorAlloc(env, reinterpret_cast<void**>(&lob), OCI_DTYPE_LOB, 0, nullptr);
  EXPECT_EQ(0u, call_with(SQLT_CLOB, &lob, sizeof lob).find("ORA-06550"));
  OCIDescriptorFree(lob, OCI_DTYPE_LOB);
  char text_value[64] = {};
  EXPECT_EQ("", call_with(SQLT_STR, text_value, sizeof text_value));
  EXPECT_NE('\0', text_value[0]);
  OCIDateTime* at = nullptr;
  OCIDescriptorAlloc(env, reinterpret_cast<void**>(&at), OCI_DTYPE_TIMESTAMP_TZ, 0, nullptr);
  EXPECT_EQ("", call_with(SQLT_TIMESTAMP_TZ, &at, sizeof at));
  OCIDescriptorFree(at, OCI_DTYPE_TIMESTAMP_TZ);
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
