// TOracleQuery on ociemu through both interfaces: parsing and the Optimize
// cache, fetching in row arrays, array DML with per-row errors, binds,
// substitution, parse error positions, snapshots and a killed session.
#include <gtest/gtest.h>

#include "oracle/binding/oracle_ci.h"
#include "oracle/session/oracle_error.h"
#include "oracle/session/oracle_query.h"
#include "oracle/session/oracle_session.h"
#include "oracle/ui/default_user_interface.h"
#include "runtime/date_text.h"
#include "runtime/datetime.h"
#include "session_fixture.h"

namespace kvell::testing {
namespace {

// Counts the calls that reach the client for a few entries, by standing in
// for the binding's entry variables for one test.
struct CallCounter {
  static inline int prepares = 0;
  static inline int fetches = 0;
  static inline OCIStmtPrepare_t prepare8 = nullptr;
  static inline OCIStmtFetch2_t fetch2 = nullptr;
  static inline OCIStmtFetch_t fetch8 = nullptr;
  static inline oparse_t parse7 = nullptr;
  static inline ofen_t fen7 = nullptr;
  static inline oexfet_t exfet7 = nullptr;

  CallCounter() {
    prepares = fetches = 0;
    prepare8 = OCIStmtPrepare;
    fetch2 = OCIStmtFetch2;
    fetch8 = OCIStmtFetch;
    parse7 = oparse;
    fen7 = ofen;
    exfet7 = oexfet;
    if (prepare8) OCIStmtPrepare = [](OCIStmt* s, OCIError* e, const OraText* t, ub4 l, ub4 g, ub4 m) {
      ++prepares;
      return prepare8(s, e, t, l, g, m);
    };
    if (fetch2) OCIStmtFetch2 = [](OCIStmt* s, OCIError* e, ub4 n, ub2 o, sb4 f, ub4 m) {
      ++fetches;
      return fetch2(s, e, n, o, f, m);
    };
    if (fetch8) OCIStmtFetch = [](OCIStmt* s, OCIError* e, ub4 n, ub2 o, ub4 m) {
      ++fetches;
      return fetch8(s, e, n, o, m);
    };
    if (parse7) oparse = [](Cda_Def* c, OraText* t, sb4 l, sword d, ub4 g) {
      ++prepares;
      return parse7(c, t, l, d, g);
    };
    if (fen7) ofen = [](Cda_Def* c, sword n) {
      ++fetches;
      return fen7(c, n);
    };
    if (exfet7) oexfet = [](Cda_Def* c, ub4 n, sword x, sword y) {
      ++fetches;
      return exfet7(c, n, x, y);
    };
  }
  ~CallCounter() {
    OCIStmtPrepare = prepare8;
    OCIStmtFetch2 = fetch2;
    OCIStmtFetch = fetch8;
    oparse = parse7;
    ofen = fen7;
    oexfet = exfet7;
  }
};

class QueryTest : public ConnectedQueryTest<SessionInterfaceTest> {
 protected:
  void Sql(const std::string& text) {
    query->SQL().SetText(text);
  }
  void FillNumbers(int count) {
    Exec("create table numbers (n number(5), label varchar2(20))");
    query->DeclareVariable("n", 3);
    query->DeclareVariable("label", 5);
    std::vector<Variant> numbers(static_cast<size_t>(count)), labels(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
      numbers[static_cast<size_t>(i)] = Variant(i + 1);
      labels[static_cast<size_t>(i)] = Variant("row " + std::to_string(i + 1));
    }
    query->SetVariable("n", Variant::FromArray(std::move(numbers)));
    query->SetVariable("label", Variant::FromArray(std::move(labels)));
    Exec("insert into numbers values (:n, :label)");
    query->DeleteVariables();
    session->Commit();
  }
  bool Oci8() const { return GetParam() == Interface::OCI8; }
};

TEST_P(QueryTest, sixty_rows_come_in_three_arrays_and_eof_needs_no_further_fetch) {
  FillNumbers(60);
  CallCounter counter;
  query->SetReadBuffer(25);
  Exec("select n, label from numbers order by n");
  int rows = 0, last = 0;
  while (!query->Eof()) {
    ++rows;
    last = query->FieldInteger(0);
    query->Next();
  }
  EXPECT_EQ(rows, 60);
  EXPECT_EQ(last, 60);
  EXPECT_EQ(CallCounter::fetches, 3);
  EXPECT_EQ(query->RowsProcessed(), 60);
  EXPECT_EQ(query->RowArraySize(), 25);
}

TEST_P(QueryTest, optimize_parses_an_unchanged_text_once_but_every_time_with_a_long_variable) {
  FillNumbers(3);
  CallCounter counter;
  Sql("select count(*) from numbers where n > :n");
  query->DeclareVariable("n", 3);
  query->SetVariable("n", 1);
  query->Execute();
  EXPECT_EQ(query->FieldInteger(0), 2);
  query->SetVariable("n", 0);
  query->Execute();
  EXPECT_EQ(query->FieldInteger(0), 3);
  EXPECT_EQ(CallCounter::prepares, 1);

  query->Optimize = false;
  query->Execute();
  EXPECT_EQ(CallCounter::prepares, 2);

  query->Optimize = true;
  query->DeleteVariables();
  Exec("create table notes (body long)");
  CallCounter::prepares = 0;
  query->DeclareVariable("body", 8);
  query->SetVariable("body", "text");
  Sql("insert into notes values (:body)");
  query->Execute();
  query->Execute();
  EXPECT_EQ(CallCounter::prepares, Oci8() ? 2 : 1);  // version 7 keeps its parsed cursor
}

TEST_P(QueryTest, an_array_insert_with_a_failing_fourth_row_reports_it_and_goes_on) {
  Exec("create table uniq (id number(5) primary key)");
  query->DeclareVariable("id", 3);
  query->SetVariable("id", VarArrayOf({1, 2, 3, 1, 5, 6, 7, 8, 9, 10}));
  Sql("insert into uniq values (:id)");
  std::vector<int> failed;
  int code = 0;
  query->OnArrayError = [&](TOracleQuery*, int index, int error, const std::string&, bool& go_on) {
    failed.push_back(index);
    code = error;
    EXPECT_TRUE(go_on);
  };
  EXPECT_EQ(query->ExecuteArray(0, 10), 9);
  EXPECT_EQ(failed, std::vector<int>{3});
  EXPECT_EQ(code, 1);
  query->DeleteVariables();
  Exec("select count(*) from uniq");
  EXPECT_EQ(query->FieldInteger(0), 9);
}

TEST_P(QueryTest, without_a_handler_a_range_stops_at_the_failure_and_the_whole_array_raises) {
  Exec("create table uniq (id number(5) primary key)");
  query->DeclareVariable("id", 3);
  query->SetVariable("id", VarArrayOf({1, 2, 3, 1, 5}));
  Sql("insert into uniq values (:id)");
  EXPECT_EQ(query->ExecuteArray(0, 5), 3);
  try {
    query->SetVariable("id", VarArrayOf({11, 11}));
    query->Execute();
    FAIL() << "the duplicate was accepted";
  } catch (const EOracleError& e) {
    EXPECT_EQ(e.ErrorCode, 1);
    EXPECT_EQ(e.Sender, query.get());
  }
  query->SetVariable("id", VarArrayOf({20, 21, 22}));
  EXPECT_EQ(query->ExecuteArray(1, 2), 2);  // elements 1 and 2 only
  query->DeleteVariables();
  Exec("select count(*) from uniq where id >= 20");
  EXPECT_EQ(query->FieldInteger(0), 2);
}

TEST_P(QueryTest, arrays_of_unequal_size_are_refused) {
  FillNumbers(1);
  query->DeclareVariable("a", 3);
  query->DeclareVariable("b", 5);
  query->SetVariable("a", VarArrayOf({1, 2}));
  query->SetVariable("b", VarArrayOf({"x", "y", "z"}));
  Sql("insert into numbers values (:a, :b)");
  try {
    query->Execute();
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "All arrays must be of equal size for Array DML");
  }
}

TEST_P(QueryTest, before_and_after_query_fire_once_around_a_fetch_to_the_end) {
  FillNumbers(3);
  int before = 0, after = 0;
  query->BeforeQuery = [&](TOracleQuery*) { ++before; };
  query->AfterQuery = [&](TOracleQuery*) { ++after; };
  Exec("select n from numbers");
  EXPECT_EQ(after, 0);
  while (!query->Eof()) query->Next();
  query->Next();
  EXPECT_EQ(before, 1);
  EXPECT_EQ(after, 1);
  Exec("update numbers set n = n + 1");
  EXPECT_EQ(after, 2);
  EXPECT_EQ(query->RowsProcessed(), 3);
}

TEST_P(QueryTest, a_parse_error_gives_its_line_and_column) {
  Sql("select n\r\nfrom no_such_table");
  try {
    query->Execute();
    FAIL();
  } catch (const EOracleError& e) {
    EXPECT_EQ(e.ErrorCode, 942);
  }
  EXPECT_EQ(query->ErrorLine(), 2);
  EXPECT_EQ(query->ErrorPosition(), 6);
}

TEST_P(QueryTest, substitution_variables_are_pasted_before_parsing) {
  FillNumbers(4);
  query->DeclareVariable("tab", 1);
  query->DeclareVariable("min", 3);
  query->SetVariable("tab", "numbers");
  query->SetVariable("min", 2);
  Exec("select count(*) from :tab where n > :min");
  EXPECT_EQ(query->FieldInteger(0), 2);
  Exec("select /*+ rule */* from :tab where n > :min");
  EXPECT_EQ(query->FieldInteger(0), 3);
}

// Without Optimize the statement is released after each execution and prepared
// again: from the text as it is then, after a change of SQL or of a pasted value.
TEST_P(QueryTest, a_statement_released_after_each_execution_is_prepared_from_the_current_text) {
  FillNumbers(4);
  Exec("create table few (n number(5))");
  Exec("insert into few values (1)");
  query->Optimize = false;
  Exec("select count(*) from numbers where n > 1");
  EXPECT_EQ(query->FieldInteger(0), 3);
  Exec("select count(*) from numbers where n > 2");
  EXPECT_EQ(query->FieldInteger(0), 2);
  query->DeclareVariable("tab", 1);
  query->SetVariable("tab", "numbers");
  Exec("select count(*) from :tab");
  EXPECT_EQ(query->FieldInteger(0), 4);
  query->SetVariable("tab", "few");
  query->Execute();
  EXPECT_EQ(query->FieldInteger(0), 1);
  query->DeleteVariables();
  query->DeclareVariable("tab", 3);
  EXPECT_THROW(query->Execute(), EOracleError) << "the name is no longer replaced";
}

TEST_P(QueryTest, column_values_convert_and_refuse_beyond_eof) {
  Exec("create table kinds (i number(5), f number(12,2), s varchar2(10), d date, r raw(16), t date)");
  Exec("insert into kinds values (42, 1234.5, 'a' || chr(10) || 'b', to_date('2024-02-29 13:45:07', "
       "'yyyy-mm-dd hh24:mi:ss'), hextoraw('0A0B'), to_date('2024-03-01', 'yyyy-mm-dd'))");
  Exec("select * from kinds");
  ASSERT_EQ(query->ColumnCount(), 6);
  EXPECT_EQ(query->FieldValue("I").AsInteger(), 42);
  EXPECT_DOUBLE_EQ(query->FieldFloat(1), 1234.5);
  EXPECT_EQ(query->FieldInteger(1), 1234);
  EXPECT_EQ(query->FieldValue(2).AsString(), "a\r\nb");
  EXPECT_NEAR(query->FieldDate(3), EncodeDate(2024, 2, 29) + EncodeTime(13, 45, 7, 0), 1e-9);
  EXPECT_EQ(query->FieldText(4), "0A0B");
  EXPECT_EQ(query->FieldText(5), FormatDateTime("ddddd", EncodeDate(2024, 3, 1)));
  EXPECT_EQ(query->FieldText(3), FormatDateTime("ddddd tt", query->FieldDate(3)));
  EXPECT_EQ(query->FieldIndex("s"), 2);
  EXPECT_EQ(query->FieldIndex("nope"), -1);
  try {
    query->FieldValue("nope");
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "Field nope does not exist");
  }
  try {
    query->FieldLongPiece(0, nullptr, 0, 0);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "Field 0 is not a Long");
  }
  query->Next();
  ASSERT_TRUE(query->Eof());
  try {
    query->FieldValue(0);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "You cannot access field data beyond Eof");
  }
}

// Names are found case aside, also when only a letter outside ASCII folds to the one asked for.
TEST_P(QueryTest, field_names_are_found_case_aside) {
  Exec("select 1 as \"\xC4\xB1" "d\", 2 as \"Amount\", 3 as \"\xC3\xA9t\xC3\xA9\" from dual");
  EXPECT_EQ(query->FieldIndex("ID"), 0);
  EXPECT_EQ(query->FieldIndex("amount"), 1);
  EXPECT_EQ(query->FieldIndex("\xC3\x89T\xC3\x89"), 2);
  EXPECT_EQ(query->FieldIndex("mount"), -1);
}

TEST_P(QueryTest, text_fields_take_the_line_break_rule_wherever_the_break_falls) {
  Exec("create table notes (id number(5), t varchar2(30))");
  Exec("insert into notes values (1, 'abcdefghij' || chr(13) || 'k')");
  Exec("insert into notes values (2, 'abcdefghijklmnopqrstuvwxyz0123')");
  Exec("insert into notes values (3, chr(10))");
  Exec("select t from notes order by id");
  EXPECT_EQ(query->FieldValue(0).AsString(), "abcdefghij\r\nk");
  query->Next();
  EXPECT_EQ(query->FieldValue(0).AsString(), "abcdefghijklmnopqrstuvwxyz0123") << "a text filling its define";
  query->Next();
  EXPECT_EQ(query->FieldValue(0).AsString(), "\r\n");
  session->Preferences().ConvertCRLF = false;
  EXPECT_EQ(query->FieldValue(0).AsString(), "\n");
}

TEST_P(QueryTest, a_query_reused_for_columns_of_client_objects_reads_each_rows_own_value) {
  if (!Oci8()) GTEST_SKIP() << "LOB columns need the version 8 interface";
  Exec("create table docs (id number(5), body clob)");
  Exec("insert into docs values (1, 'first')");
  Exec("insert into docs values (2, 'second')");
  Exec("select id from docs order by id");
  EXPECT_EQ(query->FieldValue(0).AsInteger(), 1);
  Exec("select body from docs order by id");
  EXPECT_EQ(query->FieldValue(0).AsString(), "first");
  query->Next();
  EXPECT_EQ(query->FieldValue(0).AsString(), "second");
  Exec("select id from docs order by id");
  query->Next();
  EXPECT_EQ(query->FieldValue(0).AsInteger(), 2);
}

TEST_P(QueryTest, nulls_read_as_the_session_null_value) {
  Exec("create table gaps (a number(5), b varchar2(5))");
  Exec("insert into gaps values (null, null)");
  Exec("select a, b from gaps");
  EXPECT_TRUE(query->FieldIsNull(0));
  EXPECT_TRUE(query->FieldValue(0).IsEmpty());
  EXPECT_EQ(query->FieldText(1), "");
  EXPECT_EQ(query->FieldInteger(0), 0);
  session->NullValue = nvNull;
  EXPECT_TRUE(query->FieldValue(1).IsNull());
}

TEST_P(QueryTest, number_raw_and_date_columns_get_their_define_types_and_sizes) {
  Exec("create table shapes (a number(5), b number(12,2), c raw(16), d date)");
  Exec("insert into shapes values (1, 2.5, hextoraw('FF'), sysdate)");
  Exec("select * from shapes");
  EXPECT_EQ(query->Column(0).DefineType, 3);
  EXPECT_EQ(query->Column(0).DefineSize, 4);
  EXPECT_EQ(query->Column(1).DefineType, 4);
  EXPECT_EQ(query->Column(1).DefineSize, 8);
  EXPECT_EQ(query->Column(2).DefineType, 5);
  EXPECT_EQ(query->Column(2).DefineSize, 33);
  EXPECT_EQ(query->Column(3).DefineType, 12);
  EXPECT_EQ(query->Column(3).DefineSize, 7);
  query->SetStringFieldsOnly(true);
  Exec("select * from shapes");
  EXPECT_EQ(query->Column(0).DefineType, 5);
  EXPECT_EQ(query->Column(0).DefineSize, 7);
  EXPECT_EQ(query->Column(1).DefineSize, 15);
  EXPECT_EQ(query->Column(3).DefineType, 5);
  EXPECT_EQ(query->Column(3).DefineSize, session->DateFormatLength() + 1);
  EXPECT_EQ(query->FieldValue(1).AsString(), "2.5");
}

TEST_P(QueryTest, a_cursor_column_is_defined_with_statement_handles_and_reads_as_null) {
  Sql("select d.deptno, cursor(select ename from emp e where e.deptno = d.deptno) staff from dept d order by 1");
  if (!Oci8()) {
    EXPECT_NE(MessageOf([&] { query->Execute(); }).find("A query with sub-queries"), std::string::npos);
    return;
  }
  query->SetReadBuffer(3);  // the fourth department comes in a second array
  query->Execute();
  EXPECT_EQ(query->Column(1).InternalType, 116);
  EXPECT_EQ(query->Column(1).DefineType, 116);
  EXPECT_EQ(query->Column(1).DefineSize, 4);
  int rows = 0;
  for (; !query->Eof(); query->Next()) {
    ++rows;
    EXPECT_FALSE(query->FieldIsNull(1));
    EXPECT_TRUE(query->FieldValue("STAFF").IsEmpty());
    EXPECT_EQ(MessageOf([&] { query->FieldText(1); }), "Cannot convert field STAFF to a String");
  }
  EXPECT_EQ(rows, 4);
  session->NullValue = nvNull;
  query->Execute();
  EXPECT_TRUE(query->FieldValue(1).IsNull());
  EXPECT_EQ(query->FieldInteger(0), 10);
}

TEST_P(QueryTest, a_long_of_twenty_thousand_bytes_comes_in_growing_pieces) {
  Exec("create table notes (id number(5), body long)");
  const std::string body = [] {
    std::string text;
    for (int i = 0; i < 20000; ++i) text += static_cast<char>('a' + i % 26);
    return text;
  }();
  query->DeclareVariable("body", 8);
  query->SetVariable("body", body);
  Exec("insert into notes values (1, :body)");
  query->DeleteVariables();
  query->SetReadBuffer(25);
  Exec("select id, body from notes");
  EXPECT_EQ(query->RowArraySize(), 1);
  EXPECT_EQ(query->FieldValue(1).AsString(), body);
  if (Oci8()) {
    const auto& pieces = query->Column(1).Pieces;
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[0]->Buffer.size(), 4096u);
    EXPECT_EQ(pieces[1]->Buffer.size(), 8192u);
    EXPECT_EQ(pieces[2]->Buffer.size(), 16384u);
    EXPECT_EQ(pieces[2]->Filled, 20000u - 4096u - 8192u);
  }
  std::string middle(10000, '\0');
  EXPECT_EQ(query->FieldLongPiece(1, middle.data(), 10000, 5000), 10000);
  EXPECT_EQ(middle, body.substr(5000, 10000));
  std::string tail(500, '\0');
  EXPECT_EQ(query->FieldLongPiece(1, tail.data(), 500, 19800), 200);
  EXPECT_EQ(tail.substr(0, 200), body.substr(19800));
}

TEST_P(QueryTest, describe_defines_columns_without_fetching) {
  FillNumbers(2);
  Sql("select n, label from numbers");
  query->Describe();
  EXPECT_TRUE(query->Eof());
  ASSERT_EQ(query->ColumnCount(), 2);
  EXPECT_EQ(query->FieldName(1), "LABEL");
  EXPECT_EQ(query->FieldSize(1), 20);
  query->Execute();
  EXPECT_FALSE(query->Eof());
}

TEST_P(QueryTest, an_empty_text_is_sent_as_a_blank_and_fails_as_the_server_says) {
  Sql("");
  EXPECT_THROW(query->Execute(), EOracleError);
}

TEST_P(QueryTest, a_query_outlives_its_session_and_forgets_it) {
  auto other = MakeSession();
  other->LogOn();
  TOracleQuery survivor;
  survivor.SetSession(other.get());
  survivor.SQL().SetText("select ename from emp");
  survivor.Execute();
  other.reset();
  EXPECT_EQ(nullptr, survivor.Session());
  EXPECT_FALSE(survivor.CursorOpen());
}

TEST_P(QueryTest, queries_need_a_connected_session) {
  TOracleQuery lonely;
  lonely.SQL().SetText("select 1 from dual");
  try {
    lonely.Execute();
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "Session undefined");
  }
  session->LogOff();
  try {
    query->SQL().SetText("select 1 from dual");
    query->Execute();
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "Not logged on");
  }
}

TEST_P(QueryTest, a_killed_session_fails_the_fetch_and_the_query_works_after_reconnecting) {
  FillNumbers(30);
  query->SetReadBuffer(10);
  Exec("select n from numbers order by n");
  void* connection = Oci8() ? static_cast<void*>(session->ServiceContext()) : static_cast<void*>(session->LogonDataArea());
  ASSERT_EQ(EmulatorHooks::KillSession(connection), 0);
  for (int i = 0; i < 9; ++i) query->Next();
  try {
    query->Next();
    FAIL() << "the fetch on a killed session passed";
  } catch (const EOracleError& e) {
    EXPECT_EQ(e.ErrorCode, 3113);
  }
  EXPECT_TRUE(query->Eof());
  EXPECT_EQ(session->VerifyConnection(true), 2);
  Exec("select count(*) from numbers");
  EXPECT_EQ(query->FieldInteger(0), 30);
}

// The server stops at the row it cannot compute; the rows before it came with the failing call.
// (No order by: a sort would compute every row before the first one comes.)
TEST_P(QueryTest, a_fetch_that_fails_part_way_gives_the_rows_that_came_then_raises_its_error) {
  FillNumbers(10);
  bool after_query = false;
  query->AfterQuery = [&](TOracleQuery*) { after_query = true; };
  for (int read_buffer : {5, 2}) {
    SCOPED_TRACE(read_buffer);
    after_query = false;
    query->SetReadBuffer(read_buffer);
    Exec("select n, 12 / (4 - n) from numbers");
    std::vector<int> seen;
    const EOracleError error = OracleErrorOf([&] {
      for (; !query->Eof(); query->Next()) {
        seen.push_back(query->FieldInteger(0));
        EXPECT_EQ(12 / (4 - seen.back()), query->FieldInteger(1));
      }
    });
    EXPECT_EQ(error.ErrorCode, 1476);
    EXPECT_EQ(0u, error.Message.find("ORA-01476")) << error.Message;
    EXPECT_EQ((std::vector<int>{1, 2, 3}), seen);
    EXPECT_TRUE(query->Eof());
    EXPECT_TRUE(after_query);
  }
}

TEST_P(QueryTest, a_failing_further_fetch_raises_its_oracle_error_after_the_rows_before_it) {
  FillNumbers(6);
  query->SetReadBuffer(2);
  Exec("select n from numbers order by n");
  EXPECT_EQ(query->FieldInteger(0), 1);
  query->Next();
  EXPECT_EQ(query->FieldInteger(0), 2);
  EmulatorHooks::FailNext(Oci8() ? "OCIStmtFetch2" : "ofen", 1013);
  const EOracleError error = OracleErrorOf([&] { query->Next(); });
  EXPECT_EQ(error.ErrorCode, 1013);
  EXPECT_EQ(0u, error.Message.find("ORA-01013")) << error.Message;
  EXPECT_EQ(error.Sender, query.get());
  EXPECT_TRUE(query->Eof());
  Exec("select count(*) from numbers");
  EXPECT_EQ(query->FieldInteger(0), 6) << "the session goes on";
}

TEST_P(QueryTest, the_row_id_of_a_dml_statement_is_the_rowid_the_server_shows_for_that_row) {
  Exec("create table staff (id number(5), name varchar2(20))");
  Exec("insert into staff values (1, 'one')");
  const std::string first = query->RowId();
  Exec("insert into staff values (2, 'two')");
  const std::string second = query->RowId();
  ASSERT_EQ(first.size(), 18u);
  EXPECT_NE(first, second);
  Exec("update staff set name = 'uno' where id = 1");
  EXPECT_EQ(query->RowId(), first);
  Exec("select rowid, id from staff order by id");
  EXPECT_EQ(query->RowId(), first) << "a select leaves the row id of the last DML";
  EXPECT_EQ(query->FieldText(0), first);
  query->Next();
  EXPECT_EQ(query->FieldText(0), second);
  Exec("delete from staff where id = 2");
  EXPECT_EQ(query->RowId(), second);
}

TEST_P(QueryTest, debug_shows_the_text_and_each_variable_before_executing_but_not_before_describing) {
  std::vector<std::string> shown;
  InstalledDefaultUserInterface()->SetConfirmPolicy([&](const std::string& message, TConfirmButtons buttons) {
    shown.push_back(message);
    EXPECT_EQ(cbOK, buttons);
    return mrOk;
  });
  query->Debug = true;
  Sql("begin :r := :s || :n; end;");
  query->DeclareVariable("n", 3);
  query->DeclareVariable("s", 5);
  query->DeclareVariable("r", 5);
  query->SetVariable("n", Variant(5));
  query->SetVariable("s", Variant("abc"));
  query->Execute();
  InstalledDefaultUserInterface()->SetConfirmPolicy(nullptr);
  ASSERT_EQ(1u, shown.size());
  EXPECT_EQ(query->SQL().Text() + "\r:N = 5\r:S = abc\r:R = Null", shown[0]);
  EXPECT_EQ("abc5", query->GetVariable("r").AsString()) << "the box does not stop the execution";
  shown.clear();
  InstalledDefaultUserInterface()->SetConfirmPolicy([&](const std::string& message, TConfirmButtons) {
    shown.push_back(message);
    return mrOk;
  });
  query->DeleteVariables();
  Sql("select 1 from dual");
  query->Describe();
  EXPECT_TRUE(shown.empty());
  query->Debug = false;
  query->Execute();
  InstalledDefaultUserInterface()->SetConfirmPolicy(nullptr);
  EXPECT_TRUE(shown.empty());
}

constexpr ub2 kFetchFirst = 0x04;  // OCI_FETCH_FIRST, which the layer itself never asks for

TEST_P(QueryTest, a_scrollable_select_keeps_its_cursor_at_eof_and_can_go_back_to_the_first_row) {
  FillNumbers(60);
  query->Optimize = false;  // releases statements at Eof unless scrollable
  query->SetReadBuffer(25);
  Sql("select n from numbers order by n");
  auto fetch_all = [&] {
    int rows = 0;
    for (query->Execute(); !query->Eof(); query->Next()) EXPECT_EQ(++rows, query->FieldInteger(0));
    return rows;
  };
  EXPECT_EQ(60, fetch_all());
  EXPECT_FALSE(query->CursorOpen());
  query->Scrollable = true;
  EXPECT_EQ(60, fetch_all());
  EXPECT_TRUE(query->CursorOpen());
  if (Oci8()) {
    EXPECT_EQ(OCI_SUCCESS, OCIStmtFetch2(query->StatementHandle(), session->ErrorHandle(), 1, kFetchFirst, 0,
                                         OCI_DEFAULT))
        << "the statement was executed as scrollable";
  }
  EXPECT_EQ(60, fetch_all()) << "a kept scrollable cursor executes again from the start";
  query->CloseCursor();
  EXPECT_FALSE(query->CursorOpen());
}

INSTANTIATE_TEST_SUITE_P(Interfaces, QueryTest, ::testing::Values(Interface::OCI8, Interface::ForceOCI7),
                         InterfaceName);

TEST(RowIdText, both_text_forms) {
  EXPECT_EQ(RowIdText(0, 4, 0x1234, 2), "00001234.0002.0004");
  EXPECT_EQ(RowIdText(73, 4, 131, 0), "AAAABJAAEAAAACDAAA");
  const uint8_t bytes[13] = {1, 0, 0, 0, 73, 0, 4, 0, 0, 0, 131, 0, 1};
  EXPECT_EQ(RowIdTextFromBytes(bytes), "AAAABJAAEAAAACDAAB");
  const uint32_t fields[4] = {73, 4, 131, 1};
  EXPECT_EQ(RowIdTextFromFields(fields), "AAAABJAAEAAAACDAAB");
}

TEST(TextPosition, counts_lines_at_line_feeds) {
  int line = 0, column = 0;
  TextPosition("ab\ncd\nef", 7, line, column);
  EXPECT_EQ(line, 3);
  EXPECT_EQ(column, 2);
  TextPosition("abc", 0, line, column);
  EXPECT_EQ(line, 1);
  EXPECT_EQ(column, 1);
}

}  // namespace
}  // namespace kvell::testing
