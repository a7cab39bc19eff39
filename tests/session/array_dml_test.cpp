// Failing array DML on ociemu: every kind of failing row (constraint,
// trigger error, value too large) is raised or handed to OnArrayError, and
// the rows processed are the rows the server really changed, through both
// interfaces and with LOB and object binds.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "oracle/session/lob_locator.h"
#include "oracle/session/oracle_error.h"
#include "oracle/session/oracle_object.h"
#include "oracle/session/oracle_query.h"
#include "oracle/session/oracle_session.h"
#include "session_fixture.h"

namespace kvell::testing {
namespace {

constexpr int kUniqueViolated = 1;
constexpr int kValueTooLarge = 12899;
constexpr int kPrecisionExceeded = 1438;
constexpr int kTriggerError = 20007;

struct ArrayFailure {
  int index;
  int code;
};

class ArrayDmlTest : public ConnectedQueryTest<SessionInterfaceTest> {
 protected:
  // Collects every failing element and lets the array go on.
  void CollectFailures() {
    failures.clear();
    query->OnArrayError = [this](TOracleQuery*, int index, int code, const std::string& message, bool& go_on) {
      EXPECT_NE(message.find("ORA-"), std::string::npos) << message;
      failures.push_back({index, code});
      go_on = true;
    };
  }
  void Insert(const std::string& text, const std::vector<Variant>& ids, const std::vector<Variant>& names) {
    query->DeleteVariables();
    query->DeclareVariable("id", 3);
    query->DeclareVariable("name", 5);
    query->SetVariable("id", Variant::FromArray(ids));
    query->SetVariable("name", Variant::FromArray(names));
    query->SQL().SetText(text);
  }
  int Count(const std::string& table) {
    TOracleQuery count;
    count.SetSession(session.get());
    count.SQL().SetText("select count(*) from " + table);
    count.Execute();
    return count.FieldInteger(0);
  }
  bool Oci8() const { return GetParam() == Interface::OCI8; }

  std::vector<ArrayFailure> failures;
};

TEST_P(ArrayDmlTest, a_trigger_error_and_a_too_large_value_are_reported_per_row) {
  Exec("create table names (id number(5) primary key, name varchar2(3))");
  Exec("create trigger names_check before insert on names for each row begin\n"
       "  if :new.name = 'bad' then raise_application_error(-20007, 'no ' || :new.name); end if;\n"
       "end;");
  Exec("create table plain (id number(5) primary key, name varchar2(3))");
  Insert("insert into names values (:id, :name)", {1, 2, 3, 4, 5}, {"a", "bad", "c", "e", "bad"});
  CollectFailures();
  EXPECT_EQ(query->ExecuteArray(0, 5), 3);
  ASSERT_EQ(failures.size(), 2u);
  EXPECT_EQ(failures[0].index, 1);
  EXPECT_EQ(failures[0].code, kTriggerError);
  EXPECT_EQ(failures[1].index, 4);
  EXPECT_EQ(failures[1].code, kTriggerError);
  EXPECT_EQ(Count("names"), 3);

  Insert("insert into plain values (:id, :name)", {1, 2, 3}, {"a", "dddd", "c"});
  CollectFailures();
  EXPECT_EQ(query->ExecuteArray(0, 3), 2);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].index, 1);
  EXPECT_EQ(failures[0].code, kValueTooLarge);
  EXPECT_EQ(Count("plain"), 2);
}

TEST_P(ArrayDmlTest, without_a_handler_the_failure_raises_and_the_rows_before_it_stay) {
  Exec("create table nums (id number(5) primary key, n number(2))");
  query->DeclareVariable("id", 3);
  query->DeclareVariable("n", 3);
  query->SetVariable("id", VarArrayOf({1, 2, 3, 4}));
  query->SetVariable("n", VarArrayOf({10, 20, 300, 40}));
  query->SQL().SetText("insert into nums values (:id, :n)");
  EXPECT_EQ(OracleErrorCodeOf([&] { query->Execute(); }), kPrecisionExceeded) << "an out-of-precision value was accepted";
  EXPECT_EQ(query->RowsProcessed(), 2);
  EXPECT_EQ(Count("nums"), 2);

  // A range stops at its failure and says how far it got.
  query->SetVariable("id", VarArrayOf({5, 6, 7, 1, 8}));
  query->SetVariable("n", VarArrayOf({1, 2, 3, 4, 5}));
  EXPECT_EQ(query->ExecuteArray(1, 4), 2);
  EXPECT_EQ(Count("nums"), 4);
}

TEST_P(ArrayDmlTest, a_handler_that_stops_ends_the_array_at_its_row) {
  Exec("create table uniq (id number(5) primary key)");
  Exec("insert into uniq values (3)");
  query->DeclareVariable("id", 3);
  query->SetVariable("id", VarArrayOf({1, 2, 3, 4, 5}));
  query->SQL().SetText("insert into uniq values (:id)");
  std::vector<int> seen;
  query->OnArrayError = [&](TOracleQuery*, int index, int code, const std::string&, bool& go_on) {
    seen.push_back(index);
    EXPECT_EQ(code, kUniqueViolated);
    go_on = false;
  };
  EXPECT_EQ(query->ExecuteArray(0, 5), 2);
  EXPECT_EQ(seen, std::vector<int>{2});
  EXPECT_EQ(Count("uniq"), 3);
}

TEST_P(ArrayDmlTest, a_block_run_for_each_element_reports_the_element_that_failed) {
  Exec("create table uniq (id number(5) primary key)");
  query->DeclareVariable("id", 3);
  query->SetVariable("id", VarArrayOf({1, 2, 3, 2, 5}));
  query->SQL().SetText("begin insert into uniq values (:id); end;");
  CollectFailures();
  EXPECT_EQ(query->ExecuteArray(0, 5), 4) << "every run that passed counts once";
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].index, 3);
  EXPECT_EQ(failures[0].code, kUniqueViolated);
  EXPECT_EQ(Count("uniq"), 4);
}

INSTANTIATE_TEST_SUITE_P(Interfaces, ArrayDmlTest, ::testing::Values(Interface::OCI8, Interface::ForceOCI7),
                         InterfaceName);

// LOB and object binds exist through the version 8 interface only, and only
// it names the failing element of an array.
class Oci8DmlTest : public ConnectedQueryTest<SessionTest> {
 protected:
  int Count(const std::string& table) {
    TOracleQuery count;
    count.SetSession(session.get());
    count.SQL().SetText("select count(*) from " + table);
    count.Execute();
    return count.FieldInteger(0);
  }
};

TEST_F(Oci8DmlTest, a_failing_insert_with_a_lob_bind_raises) {
  Exec("create table docs (id number(5) primary key, body clob)");
  Exec("insert into docs values (1, 'first')");
  std::unique_ptr<TLOBLocator> body(TLOBLocator::CreateTemporary(session.get(), otCLOB, true));
  body->Write("second", 6);
  query->DeclareVariable("id", 3);
  query->DeclareVariable("body", otCLOB);
  query->SetVariable("id", 1);
  query->SetComplexVariable("body", body.get());
  query->SQL().SetText("insert into docs values (:id, :body)");
  EXPECT_EQ(OracleErrorCodeOf([&] { query->Execute(); }), kUniqueViolated) << "the duplicate was accepted";
  EXPECT_EQ(query->RowsProcessed(), 0);
  query->SetVariable("id", 2);
  query->Execute();
  EXPECT_EQ(query->RowsProcessed(), 1);
  query->DeleteVariables();
  Exec("select body from docs where id = 2");
  EXPECT_EQ(query->FieldText(0), "second");
}

TEST_F(Oci8DmlTest, object_binds_and_object_table_arrays_report_their_failures) {
  Exec("create type t_point as object (x number, y number)");
  Exec("create table pt_tab of t_point");
  Exec("create trigger pt_check before insert on pt_tab for each row begin\n"
       "  if :new.x < 0 then raise_application_error(-20007, 'negative x'); end if;\n"
       "end;");
  Exec("create table pts (id number(5) primary key, p t_point)");
  Exec("insert into pts values (1, t_point(-1, 2))");
  Exec("select p from pts");
  TOracleQuery insert;
  insert.SetSession(session.get());
  insert.DeclareVariable("p", otObject);
  insert.SetComplexVariable("p", query->FieldObject(0));
  insert.SQL().SetText("insert into pts values (1, :p)");
  EXPECT_EQ(OracleErrorCodeOf([&] { insert.Execute(); }), kUniqueViolated) << "the duplicate was accepted";
  EXPECT_EQ(insert.RowsProcessed(), 0);
  EXPECT_EQ(Count("pts"), 1);

  query->DeleteVariables();
  query->DeclareVariable("x", 3);
  query->DeclareVariable("y", 3);
  query->SetVariable("x", VarArrayOf({1, -2, 3, -4}));
  query->SetVariable("y", VarArrayOf({1, 2, 3, 4}));
  query->SQL().SetText("insert into pt_tab values (t_point(:x, :y))");
  std::vector<int> failed;
  query->OnArrayError = [&](TOracleQuery*, int index, int code, const std::string&, bool&) {
    failed.push_back(index);
    EXPECT_EQ(code, kTriggerError);
  };
  EXPECT_EQ(query->ExecuteArray(0, 4), 2);
  EXPECT_EQ(failed, (std::vector<int>{1, 3}));
  EXPECT_EQ(Count("pt_tab"), 2);

  query->OnArrayError = nullptr;
  query->SetVariable("x", VarArrayOf({5, -6}));
  query->SetVariable("y", VarArrayOf({5, 6}));
  EXPECT_EQ(OracleErrorCodeOf([&] { query->Execute(); }), kTriggerError) << "a failed object-table array insert passed";
  EXPECT_EQ(query->RowsProcessed(), 1);
  EXPECT_EQ(Count("pt_tab"), 3);
}

TEST_F(Oci8DmlTest, an_array_update_counts_the_rows_changed_and_the_client_names_the_failing_element) {
  Exec("create table names (id number(5), name varchar2(3))");
  Exec("insert into names values (1, 'a')");
  Exec("insert into names values (1, 'b')");
  Exec("insert into names values (2, 'c')");
  Exec("insert into names values (3, 'd')");
  query->DeclareVariable("id", 3);
  query->DeclareVariable("name", 5);
  query->SetVariable("id", VarArrayOf({1, 2, 3, 9}));
  query->SetVariable("name", VarArrayOf({"x", "long", "z", "w"}));
  query->SQL().SetText("update names set name = :name where id = :id");
  std::vector<int> failed;
  query->OnArrayError = [&](TOracleQuery*, int index, int code, const std::string&, bool&) {
    failed.push_back(index);
    EXPECT_EQ(code, kValueTooLarge);
  };
  // Element 0 changes two rows, 1 fails, 2 changes one, 3 none.
  EXPECT_EQ(query->ExecuteArray(0, 4), 3);
  EXPECT_EQ(failed, std::vector<int>{1});
  query->DeleteVariables();
  Exec("select name from names order by id, name");
  std::string names;
  for (; !query->Eof(); query->Next()) names += query->FieldText(0);
  EXPECT_EQ(names, "xxcz");
}

}  // namespace
}  // namespace kvell::testing
