// Translation of Oracle statements: kinds and codes, placeholders, queries
// over the demo schema and the errors Oracle gives for bad text.
#include <gtest/gtest.h>

#include "ociemu/tests/sql/database_fixture.h"

namespace ociemu::sql {
namespace {

using testing::Database;
using testing::Row;

class Translate : public ::testing::Test {
 protected:
  Translation translated(std::string_view sql) { return translate(sql, database.db, database.session); }
  Database database;
};

TEST_F(Translate, reports_statement_kind_function_code_and_type) {
  struct Case {
    const char* sql;
    StatementKind kind;
    int function_code;
    int statement_type;
  };
  const Case cases[] = {
      {"SELECT * FROM emp", StatementKind::Select, 4, 1},
      {"with x as (select 1 a from dual) select a from x", StatementKind::Select, 4, 1},
      {"INSERT INTO dept VALUES (50, 'X', 'Y')", StatementKind::Insert, 3, 4},
      {"update emp set sal = sal", StatementKind::Update, 5, 2},
      {"delete emp where 1 = 0", StatementKind::Delete, 9, 3},
      {"BEGIN NULL; END;", StatementKind::PlsqlBlock, 34, 8},
      {"DECLARE x NUMBER; BEGIN NULL; END;", StatementKind::PlsqlBlock, 34, 9},
      {"create table t (a number)", StatementKind::Create, 1, 5},
      {"drop table bonus", StatementKind::Drop, 8, 6},
      {"alter table bonus add (x number)", StatementKind::Alter, 26, 7},
      {"alter session set nls_language = 'AMERICAN'", StatementKind::AlterSession, 52, 7},
      {"COMMIT WORK", StatementKind::Commit, 54, 21},
      {"rollback", StatementKind::Rollback, 55, 17},
      {"savepoint a", StatementKind::Savepoint, 56, 0},
      {"rollback to savepoint a", StatementKind::RollbackToSavepoint, 55, 17},
      {"set transaction read only", StatementKind::SetTransaction, 33, 0},
      {"lock table emp in exclusive mode nowait", StatementKind::Lock, 35, 0},
      {"truncate table bonus", StatementKind::OtherDdl, 85, 0},
      {"grant select on emp to public", StatementKind::OtherDdl, 28, 0},
  };
  for (const Case& c : cases) {
    Translation t = translated(c.sql);
    EXPECT_EQ(t.kind, c.kind) << c.sql;
    EXPECT_EQ(t.sql_function_code, c.function_code) << c.sql;
    EXPECT_EQ(t.statement_type, c.statement_type) << c.sql;
  }
}

TEST_F(Translate, savepoint_and_lock_statements_carry_their_names) {
  EXPECT_EQ(translated("SAVEPOINT before_update").savepoint, "BEFORE_UPDATE");
  EXPECT_EQ(translated("ROLLBACK TO before_update").savepoint, "BEFORE_UPDATE");
  Translation lock = translated("LOCK TABLE emp IN EXCLUSIVE MODE NOWAIT");
  EXPECT_EQ(lock.locked_table, "SCOTT.EMP");
  EXPECT_TRUE(lock.nowait);
}

TEST_F(Translate, numbers_placeholders_once_per_name_in_text_order) {
  Translation t = translated("select * from emp where sal > :low and sal < :HIGH or comm = :low or empno = :1");
  ASSERT_EQ(t.placeholders.size(), 4u);
  EXPECT_EQ(t.placeholders[0].name, "LOW");
  EXPECT_EQ(t.placeholders[0].sqlite_index, 1);
  EXPECT_EQ(t.placeholders[1].name, "HIGH");
  EXPECT_EQ(t.placeholders[1].sqlite_index, 2);
  EXPECT_EQ(t.placeholders[2].sqlite_index, 1);
  EXPECT_EQ(t.placeholders[3].name, "1");
  EXPECT_EQ(t.placeholders[3].sqlite_index, 3);
}

TEST_F(Translate, leaves_placeholders_inside_literals_and_comments_alone) {
  Translation t = translated("select ':x' /* :y */ from dual -- :z");
  EXPECT_TRUE(t.placeholders.empty());
  EXPECT_EQ(database.value("select ':x' /* :y */ from dual -- :z"), ":x");
}

TEST_F(Translate, returning_into_names_out_placeholders_without_sqlite_parameters) {
  Translation t = translated("update emp set sal = :s where empno = :e returning sal, rowid into :new_sal, :rid");
  EXPECT_EQ(t.returning_into, (std::vector<std::string>{"NEW_SAL", "RID"}));
  ASSERT_EQ(t.placeholders.size(), 4u);
  EXPECT_EQ(t.placeholders[2].sqlite_index, 0);
  EXPECT_EQ(t.placeholders[3].sqlite_index, 0);
  std::vector<Row> rows = database.query("update emp set sal = :s where empno = :e returning sal, rowid into :a, :b",
                                         {"1234", "7369"});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "1234");
  EXPECT_EQ(database.value("select ename from emp where rowid = :r", {rows[0][1]}), "SMITH");
}

TEST_F(Translate, insert_returning_gives_the_new_rowid) {
  std::vector<Row> rows =
      database.query("INSERT INTO dept (deptno, dname) VALUES (50, 'NEW') RETURNING ROWID, deptno INTO :r, :d");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0].size(), 18u);
  EXPECT_EQ(rows[0][1], "50");
  EXPECT_EQ(database.value("SELECT dname FROM dept WHERE ROWID = :r", {rows[0][0]}), "NEW");
}

TEST_F(Translate, rowids_are_stable_across_updates_and_usable_in_where) {
  std::string rowid = database.value("select rowid from emp where empno = 7839");
  database.execute("update emp set sal = sal + 1, ename = 'KONG' where empno = 7839");
  EXPECT_EQ(database.value("select e.rowid from scott.emp e where empno = 7839"), rowid);
  EXPECT_EQ(database.value("select ename from emp where rowid = '" + rowid + "'"), "KONG");
  // A rowid of another table matches nothing; a malformed one is ORA-01410.
  std::string dept_rowid = database.value("select rowid from dept where deptno = 10");
  EXPECT_TRUE(database.query("select * from emp where rowid = :r", {dept_rowid}).empty());
  EXPECT_EQ(database.error("select * from emp where rowid = 'nonsense'").code, 1410);
}

TEST_F(Translate, for_update_reports_the_lock_and_a_hidden_rowid_column) {
  Translation t = translated("select empno, ename from emp where deptno = 10 for update of emp.sal nowait");
  EXPECT_TRUE(t.for_update);
  EXPECT_TRUE(t.nowait);
  EXPECT_EQ(t.locked_table, "SCOTT.EMP");
  EXPECT_EQ(t.lock_rowid_column, 3);
  Translation star = translated("select * from dept for update");
  EXPECT_FALSE(star.nowait);
  EXPECT_EQ(star.lock_rowid_column, 4);
  std::vector<Row> rows = database.query("select * from dept where deptno = 10 for update");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].size(), 4u);
}

TEST_F(Translate, for_update_of_a_joined_table_locks_that_table) {
  Translation t = translate("select e.ename, d.dname from emp e, dept d where e.deptno = d.deptno for update of d.loc wait 5",
                            database.db, database.session);
  EXPECT_EQ(t.locked_table, "SCOTT.DEPT");
  EXPECT_FALSE(t.nowait);
  EXPECT_EQ(t.lock_rowid_column, 3);
  Translation grouped = translate("select deptno, count(*) from emp group by deptno for update", database.db, database.session);
  EXPECT_EQ(grouped.lock_rowid_column, 0) << "no single row to lock";
  EXPECT_EQ(database.error("select * from emp for update nowait extra").code, 933);
}

TEST_F(Translate, sequences_feed_inserts_and_returning) {
  database.execute("create sequence dept_seq start with 60 increment by 10");
  std::vector<Row> rows =
      database.query("insert into dept (deptno, dname) values (dept_seq.nextval, 'NEW') returning deptno into :d");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "60");
  EXPECT_EQ(database.value("select dept_seq.currval from dual"), "60");
  EXPECT_EQ(database.value("select dname from dept where deptno = dept_seq.currval"), "NEW");
}

TEST_F(Translate, queries_the_demo_schema_with_oracle_syntax) {
  EXPECT_EQ(database.value("select count(*) from emp"), "14");
  EXPECT_EQ(database.value("select dname from scott.dept d, emp e where d.deptno = e.deptno and e.ename = 'KING'"),
            "ACCOUNTING");
  EXPECT_EQ(database.value("select count(*) from (select deptno from dept minus select deptno from emp)"), "1");
  EXPECT_EQ(database.value("select max(grade) from salgrade s join emp e on e.sal between s.losal and s.hisal"), "5");
  EXPECT_EQ(database.value("select \"ENAME\" from emp where empno = 7788"), "SCOTT");
  EXPECT_EQ(database.value("select scott.emp.ename from scott.emp where empno = 7788"), "SCOTT");
  EXPECT_EQ(database.value("select dummy from dual"), "X");
  EXPECT_EQ(database.value("select count(*) from emp where comm is null"), "10");
}

TEST_F(Translate, compares_with_any_and_all_of_a_list_or_sub_query) {
  const std::string dept30 = "(select sal from emp where deptno = 30)";
  const std::pair<std::string, std::string> cases[] = {
      {"select count(*) from emp where sal > all " + dept30, "4"},
      {"select count(*) from emp where sal > any " + dept30, "12"},
      {"select count(*) from emp where sal = some " + dept30, "6"},
      {"select count(*) from emp where sal <> all " + dept30, "8"},
      {"select count(*) from emp where sal = any (1250, 3000)", "4"},
      {"select count(*) from emp where sal < all (1000, 2000)", "2"},
      {"select count(*) from emp where sal ^= all (800, 5000)", "12"},
      {"select count(*) from emp where hiredate < any (date '1981-01-01', date '1980-06-01')", "1"},
      // Over no rows ALL holds and ANY does not.
      {"select count(*) from emp where sal > all (select sal from emp where deptno = 40)", "14"},
      {"select count(*) from emp where sal > any (select sal from emp where deptno = 40)", "0"},
      // Correlated, and as a value in the select list.
      {"select listagg(ename, ',') within group (order by ename) from emp e "
       "where sal >= all (select sal from emp x where x.deptno = e.deptno)",
       "BLAKE,FORD,KING,SCOTT"},
      {"select case when 3000 >= all (select sal from emp where deptno = 20) then 'top' end from dual", "top"},
      // COMM holds NULLs: a salary above every commission is not known to be above all of them.
      {"select count(*) from emp where sal > all (select comm from emp)", "0"},
      {"select count(*) from emp where not (sal > all (select comm from emp))", "6"},
      {"select count(*) from emp where sal > any (select comm from emp)", "14"},
      {"select count(*) from emp where not (sal < any (select comm from emp))", "0"},
      {"select count(*) from emp where not (sal <> all (select comm from emp))", "0"},
  };
  for (const auto& [sql, expected] : cases) EXPECT_EQ(database.value(sql), expected) << sql;
}

TEST_F(Translate, names_expression_columns_as_oracle_does) {
  sqlite3_stmt* statement = nullptr;
  Translation t = translated("select ename, sal * 2, nvl(comm, 0) bonus, count(*) over () \"Total\" from emp");
  ASSERT_EQ(sqlite3_prepare_v2(database.db, t.sqlite_sql[0].c_str(), -1, &statement, nullptr), SQLITE_OK);
  EXPECT_STREQ(sqlite3_column_name(statement, 0), "ENAME");
  EXPECT_STREQ(sqlite3_column_name(statement, 1), "SAL*2");
  EXPECT_STREQ(sqlite3_column_name(statement, 2), "BONUS");
  EXPECT_STREQ(sqlite3_column_name(statement, 3), "Total");
  sqlite3_finalize(statement);
}

TEST_F(Translate, hints_the_oracle_type_of_computed_columns) {
  Translation t = translated("select sysdate, hiredate + 1, sysdate - hiredate, to_char(sal), ename, sal + 1 from emp");
  ASSERT_EQ(t.select_types.size(), 6u);
  EXPECT_EQ(t.select_types[0]->type_code, 12);
  EXPECT_EQ(t.select_types[1]->type_code, 12);
  EXPECT_EQ(t.select_types[2]->type_code, 2);
  EXPECT_EQ(t.select_types[3]->type_code, 1);
  EXPECT_EQ(t.select_types[5]->type_code, 2);
  EXPECT_FALSE(t.select_types[4]) << "plain columns describe from their declaration";
}

TEST_F(Translate, treats_the_empty_string_as_null) {
  EXPECT_EQ(database.value("select nvl('', 'empty') from dual"), "empty");
  EXPECT_EQ(database.value("select count(*) from emp where '' is null"), "14");
  EXPECT_EQ(database.value("select 'a' || '' || null || 'b' from dual"), "ab");
  EXPECT_EQ(database.value("select '' || null from dual"), "<null>");
}

TEST_F(Translate, does_date_arithmetic_and_comparison) {
  EXPECT_EQ(database.value("select hiredate + 1 from emp where empno = 7839"), "1981-11-18 00:00:00");
  EXPECT_EQ(database.value("select hiredate - 1/24 from emp where empno = 7839"), "1981-11-16 23:00:00");
  EXPECT_EQ(database.value("select to_date('2024-03-01','YYYY-MM-DD') - date '2024-02-01' from dual"), "29");
  EXPECT_EQ(database.value("select count(*) from emp where hiredate > date '1982-01-01'"), "3");
  EXPECT_EQ(database.value("select count(*) from emp where hiredate < sysdate - 365"), "14");
  EXPECT_EQ(database.value("select date '2024-01-31' + interval '36' hour from dual"), "2024-02-01 12:00:00");
  EXPECT_EQ(database.value("select 7 / 2 from dual"), "3.5");
  EXPECT_EQ(database.value("select 2 + 3 * 4 - 1 from dual"), "13");
  EXPECT_EQ(database.value("select '2' + 1 from dual"), "3");
  EXPECT_EQ(database.error("select 'x' + 1 from dual").code, 1722);
  EXPECT_EQ(database.error("select 1 / 0 from dual").code, 1476);
}

TEST_F(Translate, alter_session_changes_the_date_format_of_the_session) {
  EXPECT_EQ(database.value("select to_char(hiredate) from emp where empno = 7839"), "17-NOV-81");
  database.execute("ALTER SESSION SET NLS_DATE_FORMAT = 'YYYY-MM-DD HH24:MI'");
  EXPECT_EQ(database.session.nls_date_format, "YYYY-MM-DD HH24:MI");
  EXPECT_EQ(database.value("select to_char(hiredate) from emp where empno = 7839"), "1981-11-17 00:00");
  EXPECT_EQ(database.value("select to_date('1999-12-31 23:59') from dual"), "1999-12-31 23:59:00");
  EXPECT_EQ(database.error("alter session set nls_date_format = 'QQQQ'").code, 1821);
  database.execute("alter session set nls_territory = 'GERMANY' nls_sort = binary");
  // Multi-word values, alone and followed by another setting.
  database.execute("ALTER SESSION SET ISOLATION_LEVEL = READ COMMITTED");
  database.execute("alter session set isolation_level = read committed nls_date_format = 'DD.MM.YYYY'");
  EXPECT_EQ(database.session.nls_date_format, "DD.MM.YYYY");
  database.execute("alter session set isolation_level = serializable");
  EXPECT_EQ(database.error("alter session set isolation_level =").code, 922);
}

TEST_F(Translate, rownum_limits_rows) {
  EXPECT_EQ(database.query("select ename from emp where rownum <= 3").size(), 3u);
  EXPECT_EQ(database.query("select ename from emp where deptno = 30 and rownum < 3").size(), 2u);
  EXPECT_EQ(database.value("select ename from (select ename from emp order by sal desc) where rownum = 1"), "KING");
  std::vector<Row> page = database.query(
      "select ename from (select a.*, rownum rn from (select ename from emp order by empno) a where rownum <= 6) "
      "where rn > 4");
  ASSERT_EQ(page.size(), 2u);
  EXPECT_EQ(page[0][0], "MARTIN");
}

TEST_F(Translate, rejects_bad_text_with_oracles_errors_and_offsets) {
  struct Case {
    const char* sql;
    int code;
    int offset;
  };
  const Case cases[] = {
      {"selec * from emp", 900, 0},
      {"select * from nosuch", 942, 14},
      {"select * from emp;", 911, 17},
      {"select 'abc from dual", 1756, 7},
      {"select * from emp where (sal > 1", 907, 32},
      {"select 1 dual", 923, 13},
      {"select seq_missing.nextval from dual", 2289, 7},
      {"SELECT ID FROM T WHERE ID = = 1", 942, 15},
      {"SELECT ename FROM emp WHERE sal = = 1", 936, 34},
  };
  for (const Case& c : cases) {
    OracleError error = database.error(c.sql);
    EXPECT_EQ(error.code, c.code) << c.sql;
    EXPECT_EQ(error.parse_offset, c.offset) << c.sql;
  }
  OracleError bad_column = database.error("select ename, salary from emp");
  EXPECT_EQ(bad_column.code, 904);
  EXPECT_EQ(bad_column.message, "\"SALARY\": invalid identifier");
  EXPECT_EQ(bad_column.parse_offset, 14);
}

TEST_F(Translate, survives_arbitrary_fragments) {
  const char* fragments[] = {"(", ")", "select", "select (", "select case", "select a.", "insert into",
                             "update emp set", "delete from", "create table", "create table t (", "drop",
                             "select * from emp where rowid =", "select date from dual", "select - from dual",
                             "select 1 from dual union", "alter session set", "create sequence s increment by",
                             "select ,*mp for update of", "select * from emp for update of"};
  for (const char* sql : fragments) {
    OracleError error = database.error(sql);
    EXPECT_NE(error.code, 0) << sql;
  }
}

}  // namespace
}  // namespace ociemu::sql
