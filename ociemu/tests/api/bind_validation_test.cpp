// Statements Oracle refuses for what is bound into them: reserved words as bind
// names (ORA-01745) and numbers stored into DATE or TIMESTAMP columns (ORA-00932,
// no row changed). Both reach the client only at execute, as Oracle parses there.
#include "ociemu/tests/api/oci_test_support.h"

namespace ociemu::testing {
namespace {

class BindValidationTest : public OciTest {
 protected:
  // Executes `sql` with one integer bound by `name`; returns the OCI status.
  sword run_with_integer(const std::string& sql, const std::string& name, int value) {
    OCIStmt* stmt = prepare(sql);
    OCIBind* bind = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &bind, err, text(name), static_cast<sb4>(name.size()), &value,
                                         sizeof value, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT))
        << last_error();
    ub2 type = 0;
    OCIAttrGet(stmt, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, err);
    sword rc = OCIStmtExecute(svc, stmt, err, type == OCI_STMT_SELECT ? 0 : 1, 0, nullptr, nullptr, OCI_DEFAULT);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return rc;
  }
};

TEST_F(BindValidationTest, reserved_words_and_pseudo_columns_are_refused_as_bind_names_at_execute) {
  must_run("create table items (id number, label varchar2(10))");
  for (const auto& [sql, name] : std::vector<std::pair<std::string, std::string>>{
           {"select :ROWID from dual", ":ROWID"},
           {"select :uid from dual", ":uid"},
           {"insert into items (id) values (:size)", ":size"},
           {"update items set id = :mode where id = 1", ":mode"},
       }) {
    EXPECT_EQ(OCI_ERROR, run_with_integer(sql, name, 1)) << sql;
    EXPECT_EQ(1745, last_code()) << sql;
    EXPECT_EQ("ORA-01745: invalid host/bind variable name\n", last_error()) << sql;
  }
  EXPECT_EQ("0", single_text("select count(*) from items"));
}

TEST_F(BindValidationTest, names_that_only_contain_a_reserved_word_or_are_quoted_bind_as_usual) {
  EXPECT_EQ(OCI_SUCCESS, run_with_integer("select :rowid_value from dual", ":rowid_value", 1)) << last_error();
  EXPECT_EQ(OCI_SUCCESS, run_with_integer("select :sizes from dual", ":sizes", 1)) << last_error();
  EXPECT_EQ(OCI_SUCCESS, run_with_integer("select :\"ROWID\" from dual", ":\"ROWID\"", 1)) << last_error();
}

TEST_F(BindValidationTest, a_plsql_block_takes_reserved_words_as_bind_names_also_inside_its_sql) {
  must_run("create or replace procedure twice (a in number, b out number) as begin b := a * 2; end;");
  OCIStmt* stmt = prepare("begin twice(:in, :out); select :out + 1 into :out from dual; end;");
  int in = 20, out = 0;
  OCIBind* bind = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &bind, err, text(":in"), 3, &in, sizeof in, SQLT_INT, nullptr, nullptr,
                                       nullptr, 0, nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &bind, err, text(":out"), 4, &out, sizeof out, SQLT_INT, nullptr, nullptr,
                                       nullptr, 0, nullptr, OCI_DEFAULT));
  EXPECT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  EXPECT_EQ(41, out);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(BindValidationTest, a_number_into_a_date_or_timestamp_column_fails_and_stores_nothing) {
  must_run("create table stamps (id number, d date, ts timestamp, tz timestamp with time zone)");
  for (const std::string column : {"d", "ts", "tz"}) {
    EXPECT_EQ(OCI_ERROR, run_with_integer("insert into stamps (id, " + column + ") values (1, :v)", ":v", 23)) << column;
    EXPECT_EQ(932, last_code()) << column;
    EXPECT_EQ(OCI_ERROR, run("insert into stamps (id, " + column + ") values (2, 5)")) << column;
    EXPECT_EQ(932, last_code()) << column;
  }
  EXPECT_EQ("0", single_text("select count(*) from stamps"));
  EXPECT_EQ(OCI_ERROR, run_with_integer("insert into stamps (id, tz) values (3, :v)", ":v", 0));
  EXPECT_EQ("ORA-00932: inconsistent datatypes: expected TIMESTAMP WITH TIME ZONE got NUMBER\n", last_error());

  must_run("insert into stamps values (4, sysdate, systimestamp, systimestamp)");
  EXPECT_EQ(OCI_ERROR, run_with_integer("update stamps set ts = :v where id = 4", ":v", 7));
  EXPECT_EQ(932, last_code());
  EXPECT_EQ("1", single_text("select count(*) from stamps where id = 4 and ts is not null"));
}

TEST_F(BindValidationTest, text_and_datetime_values_still_convert_into_datetime_columns) {
  must_run("create table stamps (id number, d date, ts timestamp, tz timestamp with time zone)");
  must_run("insert into stamps values (1, '23-OCT-03', '23-OCT-03 11.50.30.123 AM', sysdate)");
  must_run("insert into stamps select 2, d + 1, ts, tz from stamps where id = 1");
  EXPECT_EQ("2003-10-24", single_text("select to_char(d, 'YYYY-MM-DD') from stamps where id = 2"));
  EXPECT_EQ("11:50:30.123", single_text("select to_char(ts, 'HH24:MI:SS.FF3') from stamps where id = 2"));
}

}  // namespace
}  // namespace ociemu::testing
