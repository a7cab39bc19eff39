// Query forms beyond the basics: set operators, sub-queries, joins, CASE,
// window functions, literal forms and identifier rules.
#include <gtest/gtest.h>

#include "ociemu/sql/lexer.h"
#include "ociemu/tests/sql/database_fixture.h"

namespace ociemu::sql {
namespace {

using testing::Database;
using testing::Row;

class Queries : public ::testing::Test {
 protected:
  std::vector<std::string> column(std::string_view sql) {
    std::vector<std::string> values;
    for (const Row& row : database.query(sql)) values.push_back(row.at(0));
    return values;
  }
  Database database;
};

TEST_F(Queries, combine_with_set_operators) {
  EXPECT_EQ(column("select deptno from dept minus select deptno from emp"), (std::vector<std::string>{"40"}));
  EXPECT_EQ(column("select deptno from dept intersect select deptno from emp where job = 'PRESIDENT'"),
            (std::vector<std::string>{"10"}));
  EXPECT_EQ(database.value("select count(*) from (select job from emp union all select job from emp)"), "28");
  EXPECT_EQ(database.value("select count(*) from (select job from emp union select job from emp)"), "5");
  EXPECT_EQ(column("(select 1 from dual) union (select 2 from dual) order by 1 desc"),
            (std::vector<std::string>{"2", "1"}));
}

TEST_F(Queries, nest_sub_queries_with_correlation) {
  EXPECT_EQ(database.value("select ename from emp where sal = (select max(sal) from emp)"), "KING");
  EXPECT_EQ(database.value("select count(*) from emp e where sal > (select avg(sal) from emp where deptno = e.deptno)"),
            "6");
  EXPECT_EQ(database.value("select dname from dept d where not exists (select 1 from emp where deptno = d.deptno)"),
            "OPERATIONS");
  EXPECT_EQ(database.value("select count(*) from emp where deptno in (select deptno from dept where loc = 'DALLAS')"),
            "5");
  EXPECT_EQ(database.value("select max(n) from (select count(*) n from emp group by deptno having count(*) > 3)"),
            "6");
  EXPECT_EQ(database.value("with big as (select * from emp where sal > 2500), top as (select max(sal) m from big) "
                           "select ename from big, top where big.sal = top.m"),
            "KING");
}

TEST_F(Queries, join_in_ansi_syntax) {
  EXPECT_EQ(database.value("select count(*) from dept d left join emp e on e.deptno = d.deptno"), "15");
  EXPECT_EQ(database.value("select count(*) from emp e right outer join dept d on e.deptno = d.deptno where e.empno is null"),
            "1");
  EXPECT_EQ(database.value("select count(*) from emp join dept using (deptno) where loc = 'CHICAGO'"), "6");
  EXPECT_EQ(database.value("select count(*) from emp cross join dept"), "56");
  EXPECT_EQ(database.value("select m.ename from emp e inner join emp m on e.mgr = m.empno where e.ename = 'SMITH'"),
            "FORD");
}

TEST_F(Queries, join_outer_with_oracles_marks_as_with_left_join) {
  // OPERATIONS has no staff: it shows once, with nulls, on whichever side the marks stand.
  EXPECT_EQ(database.value("select count(*) from emp e, dept d where e.deptno(+) = d.deptno"), "15");
  EXPECT_EQ(database.value("select count(*) from dept d, emp e where d.deptno = e.deptno (+) and e.empno is null"),
            "1");
  // A marked filter belongs to the join; an unmarked one filters the joined rows.
  EXPECT_EQ(column("select d.dname || ':' || count(e.empno) from dept d, emp e where e.deptno(+) = d.deptno "
                   "and e.job(+) = 'CLERK' group by d.dname order by 1"),
            (std::vector<std::string>{"ACCOUNTING:1", "OPERATIONS:0", "RESEARCH:2", "SALES:1"}));
  EXPECT_EQ(database.value("select count(*) from dept d, emp e where e.deptno(+) = d.deptno and e.job = 'CLERK'"),
            "4");
  // A chain: each table joins after the tables its terms read, whatever order FROM names them in.
  EXPECT_EQ(column("select e.ename || ':' || nvl(m.ename, '-') || ':' || nvl(g.grade, 0) from salgrade g, emp m, "
                   "emp e where e.mgr = m.empno(+) and m.sal between g.losal(+) and g.hisal(+) and e.sal > 2900 "
                   "order by 1"),
            (std::vector<std::string>{"FORD:JONES:4", "JONES:KING:5", "KING:-:0", "SCOTT:JONES:4"}));
  // Unqualified marked columns, and a marked term over one table only, which filters as any other.
  EXPECT_EQ(database.value("select count(*) from emp, salgrade where sal between losal(+) and hisal(+) and grade(+) = 5"),
            "14");
  EXPECT_EQ(database.value("select count(*) from emp e where e.sal(+) > 2900"), "4");
  // A sub-query between marked terms marks only its own tables.
  EXPECT_EQ(database.value("select count(*) from emp e, dept d where d.deptno = e.deptno(+) "
                           "and d.deptno in (select deptno from dept where loc <> 'BOSTON') and e.job(+) = 'CLERK' "
                           "and d.loc(+) <> 'X'"),
            "4");
  EXPECT_EQ(database.error("select 1 from emp e, dept d where d.deptno = e.deptno(+) "
                           "and exists (select e2.sal(+) from emp e2)").code,
            30563);
}

TEST_F(Queries, refuse_outer_join_marks_where_oracle_does) {
  EXPECT_EQ(database.error("select 1 from emp e, dept d where e.deptno(+) = d.deptno(+)").code, 1468);
  EXPECT_EQ(database.error("select 1 from emp e, dept d where e.deptno(+) = d.deptno or e.sal > 1").code, 1719);
  EXPECT_EQ(database.error("select 1 from emp e, dept d where e.deptno(+) = d.deptno and d.loc(+) = e.job").code,
            1416);
  EXPECT_EQ(database.error("select 1 from emp e join dept d on e.deptno = d.deptno, salgrade g "
                           "where e.sal = g.losal(+)").code,
            25156);
  EXPECT_EQ(database.error("select e.sal(+) from emp e").code, 30563);
  EXPECT_EQ(database.error("select 1 from emp e where 1(+) = 1").code, 30563);
}

TEST_F(Queries, evaluate_case_and_window_functions) {
  EXPECT_EQ(database.value("select sum(case when sal > 2000 then 1 else 0 end) from emp"), "6");
  EXPECT_EQ(database.value("select case deptno when 10 then 'A' when 20 then 'B' else 'C' end from dept where deptno = 20"),
            "B");
  EXPECT_EQ(database.value("select ename from (select ename, rank() over (order by sal desc) r from emp) where r = 1"),
            "KING");
  EXPECT_EQ(column("select ename from emp where deptno = 10 order by comm nulls last, ename desc"),
            (std::vector<std::string>{"MILLER", "KING", "CLARK"}));
  EXPECT_EQ(database.value("select count(distinct job) from emp"), "5");
  // A CASE in WHERE keeps its own ANDs and ORs, beside the condition's.
  EXPECT_EQ(column("select ename from emp where case when deptno = 10 and sal > 2000 or job = 'CLERK' and sal < 900 "
                   "then 1 else 0 end = 1 and ename <> 'KING' order by ename"),
            (std::vector<std::string>{"CLARK", "SMITH"}));
}

TEST_F(Queries, read_literal_forms) {
  EXPECT_EQ(database.value("select q'[it's]' from dual"), "it's");
  EXPECT_EQ(database.value("select 'it''s' from dual"), "it's");
  EXPECT_EQ(database.value("select n'national' from dual"), "national");
  EXPECT_EQ(database.value("select 1e3 + .5 from dual"), "1000.5");
  EXPECT_EQ(database.value("select -(-3) * 2 from dual"), "6");
  EXPECT_EQ(database.value("select timestamp '2024-01-02 03:04:05' from dual"), "2024-01-02 03:04:05.000000000");
  EXPECT_EQ(database.error("select date '2024-13-01' from dual").code, 1843);
}

TEST_F(Queries, fold_unquoted_names_and_keep_quoted_ones) {
  database.execute("create table \"Mixed\" (\"lower\" number, upper_case number)");
  database.execute("insert into \"Mixed\" values (1, 2)");
  EXPECT_EQ(database.value("select \"lower\" + Upper_Case from \"Mixed\""), "3");
  EXPECT_EQ(database.error("select * from mixed").code, 942);
}

TEST_F(Queries, match_like_patterns_case_sensitively_with_escapes) {
  EXPECT_EQ(database.value("select count(*) from emp where ename like 'sm%'"), "0");
  EXPECT_EQ(column("select ename from emp where ename like 'SM%'"), (std::vector<std::string>{"SMITH"}));
  EXPECT_EQ(database.value("select count(*) from emp where ename like :1", {"s%"}), "0");
  EXPECT_EQ(database.value("select count(*) from emp where lower(ename) like 's%'"), "2");
  EXPECT_EQ(database.value("select count(*) from emp where ename not like '%a%'"), "14");
  EXPECT_EQ(database.value("select count(*) from dual where '\xc3\x84rger' like '\xc3\xa4%'"), "0");
  EXPECT_EQ(database.value("select count(*) from dual where '\xc3\x84rger' like '_rger'"), "1");
  EXPECT_EQ(database.value("select count(*) from dual where 'a_b' like 'a\\_b' escape '\\'"), "1");
  EXPECT_EQ(database.value("select count(*) from dual where 'axb' like 'a\\_b' escape '\\'"), "0");
  EXPECT_EQ(database.value("select count(*) from dual where '10%' like '10#%' escape '#'"), "1");
}

TEST_F(Queries, limit_rows_with_offset_and_fetch_clauses) {
  using Names = std::vector<std::string>;
  EXPECT_EQ(column("select ename from emp order by sal desc, ename fetch first 3 rows only"),
            (Names{"KING", "FORD", "SCOTT"}));
  EXPECT_EQ(column("select ename from emp order by sal desc, ename offset 1 row fetch next 2 rows only"),
            (Names{"FORD", "SCOTT"}));
  EXPECT_EQ(column("select ename from emp order by sal desc, ename offset 12 rows"), (Names{"JAMES", "SMITH"}));
  EXPECT_EQ(column("select ename from emp order by sal fetch first row only"), (Names{"SMITH"}));
  EXPECT_EQ(database.query("select ename from emp where deptno = 10 order by ename fetch first :n rows only", {"2.7"}),
            (std::vector<Row>{{"CLARK"}, {"KING"}}));
  EXPECT_EQ(column("select ename from emp fetch first -1 rows only"), Names{});
  EXPECT_EQ(database.value("select count(*) from (select 1 from emp offset 10 rows)"), "4");
  EXPECT_EQ(database.value("select count(*) from (select 1 from emp where rownum <= 5 offset 2 rows)"), "3");
  EXPECT_EQ(column("select ename from emp where deptno = 10 union all select dname from dept order by 1 "
                   "fetch first 2 rows only"),
            (Names{"ACCOUNTING", "CLARK"}));
  EXPECT_EQ(database.error("select ename from emp fetch first 2 rows").code, 905);
}

TEST_F(Queries, walk_hierarchies_depth_first_with_connect_by) {
  using Names = std::vector<std::string>;
  EXPECT_EQ(column("select level from dual connect by level <= 4"), (Names{"1", "2", "3", "4"}));
  EXPECT_EQ(column("select lpad(' ', level - 1) || ename from emp start with mgr is null "
                   "connect by prior empno = mgr order siblings by ename"),
            (Names{"KING", " BLAKE", "  ALLEN", "  JAMES", "  MARTIN", "  TURNER", "  WARD", " CLARK", "  MILLER",
                   " JONES", "  FORD", "   SMITH", "  SCOTT", "   ADAMS"}));
  EXPECT_EQ(column("select e.ename from emp e where level = 3 start with e.ename = 'JONES' "
                   "connect by mgr = prior e.empno order by 1"),
            (Names{"ADAMS", "SMITH"}));
  EXPECT_EQ(database.value("select count(*) from emp connect by prior empno = mgr start with ename = 'BLAKE'"), "6");
  EXPECT_EQ(database.value("select max(level) from emp start with mgr is null connect by prior empno = mgr"), "4");
  database.execute("update emp set mgr = 7369 where ename = 'KING'");  // KING under SMITH, under FORD, under JONES
  EXPECT_EQ(database.error("select ename from emp start with ename = 'KING' connect by prior empno = mgr").code, 1436);
  EXPECT_EQ(database.value("select count(*) from emp start with ename = 'KING' connect by nocycle prior empno = mgr"),
            "14");
  EXPECT_EQ(database.error("select level from dual").code, 1788);
}

TEST_F(Queries, modify_rows_with_oracle_dml_forms) {
  database.execute("delete emp where deptno = 30");
  EXPECT_EQ(database.value("select count(*) from scott.emp"), "8");
  database.execute("update scott.emp e set e.sal = e.sal * 2 where e.ename = 'KING'");
  EXPECT_EQ(database.value("select sal from emp where ename = 'KING'"), "10000");
  database.execute("update emp set (sal, comm) = (select 1, 2 from dual) where ename = 'FORD'");
  EXPECT_EQ(database.value("select sal + comm from emp where ename = 'FORD'"), "3");
  database.execute("insert into bonus select ename, job, sal, comm from emp where deptno = 10");
  EXPECT_EQ(database.value("select count(*) from bonus"), "3");
  EXPECT_EQ(database.error("update emp set salary = 1").code, 904);
  EXPECT_EQ(database.error("insert into nowhere values (1)").code, 942);
  EXPECT_EQ(database.error("insert emp values (1)").code, 925);
}

TEST(Lexer, keeps_offsets_and_spelling) {
  std::vector<Token> tokens = tokenize("select \"Quoted\", :Name, :\"q\" -- comment\n from /* x */ t");
  ASSERT_EQ(tokens.size(), 9u);
  EXPECT_EQ(tokens[0].text, "SELECT");
  EXPECT_EQ(tokens[1].kind, TokenKind::QuotedName);
  EXPECT_EQ(tokens[1].text, "Quoted");
  EXPECT_EQ(tokens[3].kind, TokenKind::Placeholder);
  EXPECT_EQ(tokens[3].text, "NAME");
  EXPECT_EQ(tokens[5].text, "q");
  EXPECT_EQ(tokens[6].text, "FROM");
  EXPECT_EQ(tokens[6].offset, 41);
  EXPECT_EQ(tokens.back().kind, TokenKind::End);
}

TEST(Lexer, reports_unterminated_text) {
  auto code = [](const char* sql) {
    try {
      tokenize(sql);
    } catch (const OracleException& e) {
      return e.error.code;
    }
    return 0;
  };
  EXPECT_EQ(code("select 'abc"), 1756);
  EXPECT_EQ(code("select q'[abc] from dual"), 1756);
  EXPECT_EQ(code("select \"abc"), 1740);
  EXPECT_EQ(code("select \"\" from dual"), 1741);
  EXPECT_EQ(code("select ? from dual"), 911);
  EXPECT_EQ(code("select 1 /* open comment"), 0);
}

}  // namespace
}  // namespace ociemu::sql
