// The updating and select table names read from SQL text, and the split of a
// select where a row condition goes.
#include <gtest/gtest.h>

#include "oracle/dataset/query_text_split.h"
#include "oracle/dataset/table_name_scan.h"

namespace kvell {
namespace {

TEST(UpdatingTableName, is_the_upper_cased_name_after_from) {
  EXPECT_EQ(ScanUpdatingTableName("select e.*, e.rowid from emp e where sal > 0"), "EMP");
  EXPECT_EQ(ScanUpdatingTableName("select * from scott.\"Emp\""), "SCOTT.EMP");
  EXPECT_EQ(ScanUpdatingTableName("select *\r\nfrom\r\n  dept\r\norder by 1"), "DEPT");
  EXPECT_EQ(ScanUpdatingTableName("select * from(select * from emp)"), "EMP");
  EXPECT_EQ(ScanUpdatingTableName("select sysdate"), "");
}

TEST(UpdatingTableName, ignores_comments_and_literals) {
  EXPECT_EQ(ScanUpdatingTableName("select /* from dept */ * -- from bonus\r\n from emp"), "EMP");
  EXPECT_EQ(ScanUpdatingTableName("select 'from dept' x from emp"), "EMP");
  EXPECT_EQ(ScanUpdatingTableName("select * from/*x*/emp"), "EMP");
}

TEST(UpdatingTableName, takes_the_innermost_from_clause_of_an_inline_view) {
  EXPECT_EQ(ScanUpdatingTableName("select * from (select ename, sal from emp) a where a.sal > 1"), "EMP");
  EXPECT_EQ(ScanUpdatingTableName("select * from ( ( select * from scott.emp ) ) v"), "SCOTT.EMP");
}

TEST(UpdatingTableName, keeps_a_collection_expression_as_written) {
  EXPECT_EQ(ScanUpdatingTableName("select * from table(select d.Members from teams d where d.id = :id) x"),
            "TABLE(select d.Members from teams d where d.id = :id)");
  EXPECT_EQ(ScanUpdatingTableName("select * from THE (select c.items from c) "), "THE(select c.items from c)");
}

TEST(UpdatingTableName, normalises_a_given_name) {
  EXPECT_EQ(NormalizeTableName("scott.\"emp\""), "SCOTT.EMP");
}

TEST(SelectTableName, is_the_alias_after_the_table) {
  EXPECT_EQ(ScanSelectTableName("select e.*, e.rowid from emp e where sal > 0", "EMP"), "e");
  EXPECT_EQ(ScanSelectTableName("select * from scott.emp x, dept d", "SCOTT.EMP"), "x");
  EXPECT_EQ(ScanSelectTableName("select * from dept d, emp e where d.deptno = e.deptno", "EMP"), "e");
  EXPECT_EQ(ScanSelectTableName("select * from (select * from emp) a where a.sal > 1", "EMP"), "a");
}

TEST(SelectTableName, is_the_table_without_an_alias) {
  EXPECT_EQ(ScanSelectTableName("select * from emp", "EMP"), "EMP");
  EXPECT_EQ(ScanSelectTableName("select * from emp where sal > 0", "EMP"), "EMP");
  EXPECT_EQ(ScanSelectTableName("select * from emp\r\norder by ename", "EMP"), "EMP");
  EXPECT_EQ(ScanSelectTableName("select * from emp, dept", "EMP"), "EMP");
  EXPECT_EQ(ScanSelectTableName("select * from emp for update", "EMP"), "EMP");
  EXPECT_EQ(ScanSelectTableName("select * from emp union select * from emp", "EMP"), "EMP");
  EXPECT_EQ(ScanSelectTableName("select * from dept", "EMP"), "EMP");
}

TEST(SelectTableName, finds_a_quoted_or_qualified_table) {
  EXPECT_EQ(ScanSelectTableName("select * from \"EMP\" z", "EMP"), "z");
  EXPECT_EQ(ScanSelectTableName("select * from scott.emp q", "EMP"), "q");
}

TEST(QueryTextSplit, cuts_at_the_top_level_where_and_order) {
  const QueryTextParts parts =
      SplitQueryText("select * from emp e\r\nwhere e.deptno in (select deptno from dept where loc = 'X')\r\n"
                     "order by ename");
  EXPECT_EQ(parts.Select, "select * from emp e");
  EXPECT_EQ(parts.Keyword, "where");
  EXPECT_EQ(parts.Condition, "e.deptno in (select deptno from dept where loc = 'X')");
  EXPECT_EQ(parts.Tail, "order by ename");
}

TEST(QueryTextSplit, uses_having_for_a_grouped_query) {
  const QueryTextParts parts =
      SplitQueryText("select deptno, count(*) from emp group by deptno having count(*) > 1");
  EXPECT_EQ(parts.Select, "select deptno, count(*) from emp group by deptno");
  EXPECT_EQ(parts.Keyword, "having");
  EXPECT_EQ(parts.Condition, "count(*) > 1");
  EXPECT_EQ(parts.Tail, "");
}

TEST(QueryTextSplit, leaves_the_condition_empty_without_a_where) {
  const QueryTextParts parts = SplitQueryText("select * from (select * from emp where sal > 0) for update");
  EXPECT_EQ(parts.Select, "select * from (select * from emp where sal > 0)");
  EXPECT_EQ(parts.Condition, "");
  EXPECT_EQ(parts.Tail, "for update");
  EXPECT_EQ(SplitQueryText("select 'where' from emp -- where\r\n").Condition, "");
}

TEST(QueryTextSplit, cuts_at_the_end_refresh_marker) {
  EXPECT_EQ(CutAtEndRefresh("select * from emp  \r\n/* end_refresh */ union select * from emp"),
            "select * from emp");
  EXPECT_EQ(CutAtEndRefresh("select * from emp"), "select * from emp");
}

}  // namespace
}  // namespace kvell
