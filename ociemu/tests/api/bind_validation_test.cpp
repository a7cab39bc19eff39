// Statements Oracle refuses for what is bound into them: reserved words as bind
// names (ORA-01745) and numbers stored into DATE or TIMESTAMP columns (ORA-00932,
// no row changed). Both reach the client only at execute, as Oracle parses there.
#include <cstring>

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

TEST_F(BindValidationTest, a_quoted_name_keeps_its_case_whether_the_client_passes_the_colon_or_not) {
  EXPECT_EQ(OCI_SUCCESS, run_with_integer("select :\"test\" from dual", "\"test\"", 1)) << last_error();
  EXPECT_EQ(OCI_SUCCESS, run_with_integer("select :\"test\" from dual", ":\"test\"", 1)) << last_error();
  OCIStmt* stmt = prepare("select :\"test\" from dual");
  OCIBind* bind = nullptr;
  int value = 1;
  EXPECT_EQ(OCI_ERROR, OCIBindByName(stmt, &bind, err, text("\"TEST\""), 6, &value, sizeof value, SQLT_INT, nullptr,
                                     nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
  EXPECT_EQ(1036, last_code());
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(BindValidationTest, ddl_has_no_binds_to_report_or_take) {
  for (const std::string sql : {"create table nodb_foo (:b number)", "alter session set :b = 'UTC'",
                                "create or replace trigger emp_stamp before insert on emp for each row "
                                "begin :new.hiredate := sysdate; end;"}) {
    OCIStmt* stmt = prepare(sql);
    sb4 found = -1;
    OraText* names[2] = {};
    ub1 lengths[2] = {}, indicator_lengths[2] = {}, duplicates[2] = {};
    OraText* indicators[2] = {};
    OCIBind* handles[2] = {};
    EXPECT_EQ(OCI_NO_DATA, OCIStmtGetBindInfo(stmt, err, 2, 1, &found, names, lengths, indicators, indicator_lengths,
                                              duplicates, handles)) << sql;
    EXPECT_EQ(0, found) << sql;
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
  }
  OCIStmt* stmt = prepare("create table nodb_foo (:b number)");
  OCIBind* bind = nullptr;
  int value = 1;
  EXPECT_EQ(OCI_ERROR, OCIBindByName(stmt, &bind, err, text(":b"), 2, &value, sizeof value, SQLT_INT, nullptr, nullptr,
                                     nullptr, 0, nullptr, OCI_DEFAULT));
  EXPECT_EQ(1036, last_code());
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(BindValidationTest, a_block_text_longer_than_a_character_out_bind_fails_with_value_error) {
  auto run_into = [&](const std::string& value, char* buffer, sb4 size, ub4 max_chars) {
    OCIStmt* stmt = prepare("begin :o := '" + value + "'; end;");
    OCIBind* bind = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &bind, err, text(":o"), 2, buffer, size, SQLT_CHR, nullptr, nullptr,
                                         nullptr, 0, nullptr, OCI_DEFAULT));
    if (max_chars) {
      EXPECT_EQ(OCI_SUCCESS, OCIAttrSet(bind, OCI_HTYPE_BIND, &max_chars, sizeof max_chars, OCI_ATTR_MAXCHAR_SIZE, err));
    }
    sword rc = OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return rc;
  };
  char buffer[16] = {};
  EXPECT_EQ(OCI_SUCCESS, run_into("exactly8", buffer, 8, 0)) << last_error();
  EXPECT_EQ(0, std::memcmp(buffer, "exactly8", 8));
  EXPECT_EQ(OCI_ERROR, run_into("nine char", buffer, 8, 0));
  EXPECT_EQ(6502, last_code());
  EXPECT_EQ(0, last_error().find("ORA-06502: PL/SQL: numeric or value error: character string buffer too small"));
  EXPECT_EQ(OCI_ERROR, run_into("abc", buffer, 16, 2)) << "the client allows two characters";
  EXPECT_EQ(6502, last_code());
  EXPECT_EQ(OCI_SUCCESS, run_into("\xC3\xA9\xC3\xA9", buffer, 16, 2)) << "two characters in four bytes fit";

  // A CLOB selected into a character bind is held to the same size.
  must_run("CREATE TABLE notes (id NUMBER, body CLOB)");
  must_run("INSERT INTO notes VALUES (1, 'abcdefghijklmnopqrstuvwxyz')");
  OCIStmt* stmt = prepare("begin select body into :o from notes where id = 1; end;");
  OCIBind* bind = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &bind, err, text(":o"), 2, buffer, 5, SQLT_CHR, nullptr, nullptr,
                                       nullptr, 0, nullptr, OCI_DEFAULT));
  EXPECT_EQ(OCI_ERROR, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
  EXPECT_EQ(6502, last_code());
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
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
