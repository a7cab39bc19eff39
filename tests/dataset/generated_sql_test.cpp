// The generated statement texts run on ociemu as the dataset runs them: rows
// locked, compared and re-read by rowid from two sessions, returning parts,
// the savepoint, and the rowid lookup after a keyed insert.
#include <gtest/gtest.h>

#include <memory>

#include "oracle/dataset/dml_statements.h"
#include "oracle/session/lob_locator.h"
#include "oracle/session/oracle_error.h"
#include "tests/session/session_fixture.h"

namespace kvell {
namespace {

using testing::Interface;

class GeneratedSqlTest : public testing::SessionInterfaceTest {
 protected:
  void SetUp() override {
    SessionInterfaceTest::SetUp();
    first = MakeSession();
    first->LogOn();
    second = MakeSession();
    second->LogOn();
  }
  void TearDown() override {
    first.reset();
    second.reset();
    SessionInterfaceTest::TearDown();
  }

  static std::unique_ptr<TOracleQuery> QueryOn(TOracleSession& session, const std::string& text) {
    auto query = std::make_unique<TOracleQuery>();
    query->SetSession(&session);
    query->SQL().SetText(text);
    return query;
  }
  std::string RowIdOf(int empno) {
    return QueryValue(*first, "select rowid from emp where empno = " + std::to_string(empno));
  }
  // Runs the lock select for `rowid` on `session`; the Oracle error code, 0 when locked.
  static int LockRow(TOracleSession& session, const std::string& rowid) {
    auto lock = QueryOn(session, SimpleRefreshStatement("EMP", true));
    lock->DeclareVariable(dml_text::RowIdVariable, 5);
    lock->SetVariable(dml_text::RowIdVariable, rowid);
    return testing::OracleErrorCodeOf([&] { lock->Execute(); });
  }

  std::unique_ptr<TOracleSession> first, second;
};

TEST_P(GeneratedSqlTest, a_row_locked_by_another_session_fails_at_once_with_error_54) {
  const std::string rowid = RowIdOf(7369);
  EXPECT_EQ(LockRow(*second, rowid), 0);
  EXPECT_EQ(LockRow(*first, rowid), 54);
  EXPECT_EQ(LockRow(*first, RowIdOf(7499)), 0) << "another row stays free";
  second->Rollback();
  EXPECT_EQ(LockRow(*first, rowid), 0);
}

TEST_P(GeneratedSqlTest, the_all_fields_re_read_locks_through_the_alias) {
  const std::string text = AllFieldsRefreshStatement(
      "select e.*, d.dname, e.rowid from emp e, dept d where d.deptno = e.deptno order by e.ename", "e", "EMPNO");
  auto refresh = QueryOn(*first, text);
  refresh->DeclareVariable(dml_text::RowIdVariable, 5);
  refresh->SetVariable(dml_text::RowIdVariable, RowIdOf(7788));
  refresh->Execute();
  ASSERT_FALSE(refresh->Eof());
  EXPECT_EQ(refresh->FieldText(refresh->FieldIndex("ENAME")), "SCOTT");
  EXPECT_EQ(refresh->FieldText(refresh->FieldIndex("DNAME")), "RESEARCH");
  refresh->Next();
  EXPECT_TRUE(refresh->Eof());
  EXPECT_EQ(LockRow(*second, RowIdOf(7788)), 54);
}

TEST_P(GeneratedSqlTest, an_update_by_key_and_the_rowid_lookup_find_the_same_row) {
  Run(*first, "create table t (id number(6), code varchar2(10), name varchar2(20))");
  Run(*first, "insert into t values (1, null, 'a')");
  auto update = QueryOn(*first, UpdateStatement("T", {{"NAME", ":v3"}},
                                                KeyWhereClause({{"ID", false}, {"CODE", true}}), {}));
  update->DeclareVariable("v3", 5);
  update->DeclareVariable(KeyVariableName(1), 3);
  update->SetVariable("v3", "b");
  update->SetVariable(KeyVariableName(1), 1);
  update->Execute();
  EXPECT_EQ(update->RowsProcessed(), 1);
  auto lookup = QueryOn(*first, RowIdLookupStatement("T", {{"ID", false}, {"CODE", true}}));
  lookup->DeclareVariable("ID", 3);
  lookup->SetVariable("ID", 1);
  lookup->Execute();
  ASSERT_FALSE(lookup->Eof());
  EXPECT_EQ(lookup->FieldText(0), QueryValue(*first, "select rowid from t where name = 'b'"));
}

TEST_P(GeneratedSqlTest, a_deleted_row_processes_nothing) {
  const std::string rowid = RowIdOf(7900);
  Run(*second, "delete from emp where empno = 7900");
  second->Commit();
  auto remove = QueryOn(*first, DeleteStatement("EMP", dml_text::RowIdWhereClause));
  remove->DeclareVariable(dml_text::RowIdVariable, 5);
  remove->SetVariable(dml_text::RowIdVariable, rowid);
  remove->Execute();
  EXPECT_EQ(remove->RowsProcessed(), 0);
  auto check = QueryOn(*first, SimpleRefreshStatement("EMP", false));
  check->DeclareVariable(dml_text::RowIdVariable, 5);
  check->SetVariable(dml_text::RowIdVariable, rowid);
  check->Execute();
  EXPECT_TRUE(check->Eof());
}

INSTANTIATE_TEST_SUITE_P(Interfaces, GeneratedSqlTest, ::testing::Values(Interface::OCI8, Interface::ForceOCI7),
                         testing::InterfaceName);

class GeneratedSqlOCI8Test : public GeneratedSqlTest {};

TEST_P(GeneratedSqlOCI8Test, an_insert_returns_its_rowid_and_an_empty_lob_to_write_into) {
  Run(*first, "create table docs (id number(6), doc clob)");
  ReturningPart returning;
  returning.Add("DOC", "v2");
  returning.Add("rowid", dml_text::RowIdVariable);
  auto insert = QueryOn(*first, InsertStatement("DOCS", {{"ID", ":v1"}, {"DOC", "empty_clob()"}}, returning));
  insert->DeclareVariable("v1", 3);
  insert->SetVariable("v1", 5);
  insert->DeclareVariable("v2", 112);
  insert->DeclareVariable(dml_text::RowIdVariable, 5);
  TLOBLocator locator(first.get(), 112);
  insert->SetComplexVariable("v2", &locator);
  insert->Execute();
  locator.Write("hello", 5);
  const std::string rowid = insert->GetVariable(dml_text::RowIdVariable).AsString();
  EXPECT_EQ(rowid, QueryValue(*first, "select rowid from docs where id = 5"));
  first->Commit();
  EXPECT_EQ(QueryValue(*second, "select doc from docs where id = 5"), "hello");
}

TEST_P(GeneratedSqlOCI8Test, rolling_back_to_the_savepoint_keeps_earlier_work_and_drops_later) {
  Run(*first, "create table t (id number(6))");
  Run(*first, "insert into t values (1)");
  Run(*first, dml_text::Savepoint);
  Run(*first, "insert into t values (2)");
  Run(*first, dml_text::RollbackToSavepoint);
  first->Commit();
  EXPECT_EQ(QueryValue(*second, "select count(*) from t"), "1");
}

INSTANTIATE_TEST_SUITE_P(Interfaces, GeneratedSqlOCI8Test, ::testing::Values(Interface::OCI8),
                         testing::InterfaceName);

}  // namespace
}  // namespace kvell
