// The generated statement texts, line for line, and the value each column
// contributes to an insert or update.
#include <gtest/gtest.h>

#include <stdexcept>

#include "oracle/dataset/dml_statements.h"
#include "oracle/dataset/statement_queries.h"
#include "oracle/session/oracle_query.h"
#include "runtime/exception.h"

namespace kvell {
namespace {

TEST(WhereClause, names_key_fields_with_numbered_variables_and_nulls) {
  EXPECT_EQ(KeyWhereClause({{"ID", false}, {"CODE", true}}), "where ID = :kvell__key1\r\nand CODE is null");
  EXPECT_EQ(KeyWhereClause({{"A", true}, {"B", false}, {"C", false}}),
            "where A is null\r\nand B = :kvell__key1\r\nand C = :kvell__key2");
  EXPECT_EQ(std::string(dml_text::RowIdWhereClause), "where rowid = :kvell__rowid");
}

TEST(UpdateStatement, sets_the_given_columns_and_returns_values) {
  ReturningPart returning;
  returning.Add("rowid", "kvell__rowid");
  EXPECT_EQ(UpdateStatement("EMP", {{"SAL", ":v6"}, {"COMM", "null"}}, dml_text::RowIdWhereClause, returning),
            "update EMP\r\n"
            "set SAL = :v6, COMM = null\r\n"
            "where rowid = :kvell__rowid\r\n"
            "returning rowid into :kvell__rowid");
  EXPECT_EQ(UpdateStatement(TableReference("PEOPLE", true), {{ColumnReference("ADDR.CITY", true), ":v3"}},
                            KeyWhereClause({{"ID", false}}), {}),
            "update PEOPLE t\r\nset t.ADDR.CITY = :v3\r\nwhere ID = :kvell__key1");
}

TEST(InsertStatement, lists_columns_and_values_on_their_own_lines) {
  ReturningPart returning;
  returning.Add("DOC", "v4");
  returning.Add("rowid", "kvell__rowid");
  EXPECT_EQ(InsertStatement("DOCS", {{"ID", "docs_seq.nextval"}, {"DOC", "empty_clob()"}}, returning),
            "insert into DOCS\r\n"
            "  (ID, DOC)\r\n"
            "values\r\n"
            "  (docs_seq.nextval, empty_clob())\r\n"
            "returning DOC, rowid into :v4, :kvell__rowid");
}

TEST(DeleteAndLockStatements, read_as_the_server_expects) {
  EXPECT_EQ(DeleteStatement("EMP", dml_text::RowIdWhereClause), "delete from EMP\r\nwhere rowid = :kvell__rowid");
  EXPECT_EQ(SimpleRefreshStatement("EMP", false), "select * from EMP where rowid = :kvell__rowid");
  EXPECT_EQ(SimpleRefreshStatement("EMP", true), "select * from EMP where rowid = :kvell__rowid\r\nfor update nowait");
  EXPECT_EQ(SequenceStatement("emp_seq"), "select emp_seq.nextval from dual");
  EXPECT_EQ(RowIdLookupStatement("T", {{"ID", false}, {"CODE", true}}),
            "select rowid from T where\r\nID = :ID\r\nand CODE is null");
}

TEST(AllFieldsRefresh, adds_the_row_test_to_an_existing_condition) {
  EXPECT_EQ(AllFieldsRefreshStatement("select e.*, d.dname, e.rowid from emp e, dept d\r\n"
                                      "where d.deptno = e.deptno\r\norder by e.ename",
                                      "e", ""),
            "select e.*, d.dname, e.rowid from emp e, dept d\r\n"
            "where (d.deptno = e.deptno)\r\n"
            "and\r\n"
            "(e.rowid = :kvell__rowid)");
}

TEST(AllFieldsRefresh, stands_alone_without_a_condition_and_locks_the_first_field) {
  EXPECT_EQ(AllFieldsRefreshStatement("select emp.*, emp.rowid from emp /* END_REFRESH */ order by 1", "EMP",
                                      "EMPNO"),
            "select emp.*, emp.rowid from emp\r\n"
            "where EMP.rowid = :kvell__rowid\r\n"
            "for update of EMP.EMPNO nowait");
  EXPECT_EQ(AllFieldsRefreshStatement("select deptno, max(sal) m from emp group by deptno", "EMP", ""),
            "select deptno, max(sal) m from emp group by deptno\r\nhaving EMP.rowid = :kvell__rowid");
}

ColumnValueInput null_insert(int type_code) {
  ColumnValueInput input;
  input.TypeCode = type_code;
  input.Insert = true;
  input.Variable = "v2";
  return input;
}

TEST(ColumnValue, fills_a_null_insert_from_the_server_side) {
  ColumnValueInput input = null_insert(12);
  input.DefaultExpression = "sysdate";
  input.ServerSequence = "s";
  EXPECT_EQ(ColumnValueExpression(input).Expression, "sysdate");
  EXPECT_TRUE(ColumnValueExpression(input).ServerSide);
  input.DefaultExpression.clear();
  EXPECT_EQ(ColumnValueExpression(input).Expression, "s.nextval");
  input.ServerSequence.clear();
  EXPECT_EQ(ColumnValueExpression(input).Expression, "null");
  EXPECT_FALSE(ColumnValueExpression(input).ServerSide);
}

TEST(ColumnValue, writes_empty_lobs_and_objects_only_when_the_session_asks) {
  ColumnValueInput lob = null_insert(113);
  EXPECT_EQ(ColumnValueExpression(lob).Expression, "null");
  lob.NullLOBIsEmpty = true;
  EXPECT_EQ(ColumnValueExpression(lob).Expression, "empty_blob()");
  EXPECT_TRUE(ColumnValueExpression(lob).ServerSide);
  lob.Insert = false;
  EXPECT_EQ(ColumnValueExpression(lob).Expression, "empty_blob()");
  lob.Xml = true;
  lob.TypeCode = 112;
  EXPECT_EQ(ColumnValueExpression(lob).Expression, "null");

  ColumnValueInput object = null_insert(108);
  object.ObjectTypeName = "ADDRESS_T";
  object.AttributeNullValues = {"null", "null"};
  EXPECT_EQ(ColumnValueExpression(object).Expression, "null");
  object.NullObjectIsEmpty = true;
  EXPECT_EQ(ColumnValueExpression(object).Expression, "ADDRESS_T(null, null)");
  EXPECT_TRUE(ColumnValueExpression(object).ServerSide) << "takes part in the insert";
  object.IsNull = false;
  object.AttributeValues = {":v3", "null"};
  const ColumnValue whole = ColumnValueExpression(object);
  EXPECT_EQ(whole.Expression, "ADDRESS_T(:v3, null)");
  EXPECT_EQ(whole.Binding, ValueBinding::None) << "the attributes bind their own variables";
}

TEST(ColumnValue, binds_values_lobs_and_xml) {
  ColumnValueInput input = null_insert(5);
  input.IsNull = false;
  EXPECT_EQ(ColumnValueExpression(input).Expression, ":v2");
  EXPECT_EQ(ColumnValueExpression(input).Binding, ValueBinding::Value);
  input.TypeCode = 112;
  input.Xml = true;
  EXPECT_EQ(ColumnValueExpression(input).Expression, "sys.xmltype.createxml(:v2)");
  input.Xml = false;
  EXPECT_EQ(ColumnValueExpression(input).Expression, "empty_clob()");
  EXPECT_EQ(ColumnValueExpression(input).Binding, ValueBinding::ReturnedLOB);
  input.TemporaryLOBs = true;
  EXPECT_EQ(ColumnValueExpression(input).Expression, ":v2");
  EXPECT_EQ(ColumnValueExpression(input).Binding, ValueBinding::TemporaryLOB);
  input.TypeCode = 114;
  EXPECT_EQ(ColumnValueExpression(input).Binding, ValueBinding::Value);
}

// A post declares the rowid for its where clause and again for the returning
// part, then reads the returned value at the position the declaration gave.
TEST(StatementBinds, a_name_declared_again_in_any_case_keeps_its_first_position) {
  StatementBinds binds;
  EXPECT_EQ(binds.Declare("v2", 4), 0);
  EXPECT_EQ(binds.Declare("kvell__rowid", 5), 1);
  EXPECT_EQ(binds.Declare("KVELL__ROWID", 3), 1);
  EXPECT_EQ(binds.Position("Kvell__RowId"), 1);
  EXPECT_EQ(binds.Position("v3"), -1);
  EXPECT_THROW(binds.Set("v3", Variant(1)), Exception);
  binds.Clear();
  EXPECT_EQ(binds.Declare("kvell__rowid", 5), 0);
}

// Binds are cleared and declared again at every post; the query must follow
// what they hold now, never what they held the last time.
TEST(StatementBinds, a_statement_bound_again_takes_only_the_names_types_and_values_declared_since_the_clear) {
  const std::string text = "select :a, :b from dual";
  TStatementQueries queries;
  StatementBinds binds;
  binds.Set(binds.Declare("a", 5), Variant("old"));
  binds.Set(binds.Declare("b", 3), Variant(7));
  TOracleQuery& query = queries.Bind(text, binds, true);
  ASSERT_EQ(query.VariableCount(), 2);
  EXPECT_EQ(query.GetVariable(1).AsInteger(), 7);

  binds.Clear();
  EXPECT_EQ(binds.Position("a"), -1) << "a cleared name is not declared";
  EXPECT_THROW(binds.Set(0, Variant(1)), std::out_of_range);
  EXPECT_EQ(binds.Declare("a", 5), 0);
  EXPECT_EQ(&queries.Bind(text, binds, true), &query);
  ASSERT_EQ(query.VariableCount(), 1) << "b was not declared again";
  const Variant unset = query.GetVariable(0);
  EXPECT_TRUE(unset.IsNull() || unset.IsEmpty()) << "the old value stays behind: " << unset.AsString();

  binds.Clear();
  binds.Set(binds.Declare("a", 3), Variant(4));
  queries.Bind(text, binds, true);
  ASSERT_EQ(query.VariableCount(), 1);
  EXPECT_EQ(query.VariableType(0), 3) << "a declared again with another type";
  EXPECT_EQ(query.GetVariable(0).AsInteger(), 4);

  // Other binds declared alike, then not alike, on the same query.
  StatementBinds other;
  other.Set(other.Declare("a", 3), Variant(5));
  queries.Bind(text, other, true);
  EXPECT_EQ(query.GetVariable(0).AsInteger(), 5);
  other.Clear();
  other.Declare("a", 5);
  other.Declare("b", 5);
  queries.Bind(text, other, true);
  ASSERT_EQ(query.VariableCount(), 2);
  EXPECT_EQ(query.VariableType(0), 5);
  binds.Clear();
  binds.Set(binds.Declare("a", 3), Variant(6));
  queries.Bind(text, binds, true);
  ASSERT_EQ(query.VariableCount(), 1) << "the first binds again, after the other ones";
  EXPECT_EQ(query.VariableType(0), 3);
  EXPECT_EQ(query.GetVariable(0).AsInteger(), 6);
}

}  // namespace
}  // namespace kvell
