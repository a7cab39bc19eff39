// INSERT ALL and INSERT FIRST: every INTO clause its rows, under the WHEN conditions that hold.
#include <gtest/gtest.h>

#include "ociemu/tests/sql/database_fixture.h"

namespace ociemu::sql {
namespace {

using testing::Database;
using testing::Row;

class InsertAll : public ::testing::Test {
 protected:
  void SetUp() override {
    database.execute("create table low (empno number, ename varchar2(10), note char(4))");
    database.execute("create table high (empno number, sal number(7,2))");
  }
  std::vector<Row> rows(const char* table) {
    return database.query(std::string("select * from ") + table + " order by 1, 2");
  }
  Database database;
};

TEST_F(InsertAll, unconditional_clauses_each_take_every_row_with_binds) {
  database.execute("insert all into low (empno, ename) values (:1, :2) into low values (:3, 'B', :4) "
                   "into high values (:1 + 1, 12.5) select * from dual",
                   {"1", "A", "2", "x"});
  EXPECT_EQ(rows("low"), (std::vector<Row>{{"1", "A", "<null>"}, {"2", "B", "x   "}}));
  EXPECT_EQ(rows("high"), (std::vector<Row>{{"2", "12.5"}}));
  // Without VALUES a clause takes the source's columns in order.
  database.execute("insert all into high into high (sal, empno) values (empno, sal) "
                   "select empno, sal from emp where ename in ('KING', 'FORD')");
  EXPECT_EQ(database.value("select count(*) || ':' || sum(empno) from high"), "5:23743");
}

TEST_F(InsertAll, when_clauses_pick_rows_all_matching_or_only_the_first) {
  const char* routed = " when sal >= 3000 then into high values (empno, sal) "
                       "when sal >= 2000 then into low (empno, ename) values (empno, ename) "
                       "else into low values (empno, ename, 'else') "
                       "select empno, ename, sal from emp where deptno = :1";
  database.execute(std::string("insert all") + routed, {"10"});
  // KING (5000) meets both conditions; CLARK (2450) the second; MILLER (1300) neither.
  EXPECT_EQ(rows("high"), (std::vector<Row>{{"7839", "5000"}}));
  EXPECT_EQ(rows("low"), (std::vector<Row>{{"7782", "CLARK", "<null>"}, {"7839", "KING", "<null>"},
                                           {"7934", "MILLER", "else"}}));
  database.execute("delete from high");
  database.execute("delete from low");
  database.execute(std::string("insert first") + routed, {"10"});
  EXPECT_EQ(rows("high"), (std::vector<Row>{{"7839", "5000"}}));
  EXPECT_EQ(rows("low"), (std::vector<Row>{{"7782", "CLARK", "<null>"}, {"7934", "MILLER", "else"}}));
  // A condition that is NULL holds for no row, so ELSE takes it.
  database.execute("insert first when comm > 0 then into high values (empno, comm) else into low (empno) "
                   "values (empno) select empno, comm from emp where ename = 'KING'");
  EXPECT_EQ(database.value("select count(*) from low where empno = 7839") + database.value("select count(*) from high"), "11");
}

TEST_F(InsertAll, refuses_what_oracle_refuses) {
  EXPECT_EQ(database.error("insert first into high values (1, 2) select * from dual").code, 905);
  EXPECT_EQ(database.error("insert all into high values (1, 2)").code, 928);
  EXPECT_EQ(database.error("insert all into high values (1) select * from dual").code, 947);
  EXPECT_EQ(database.error("insert all into nothing values (1) select * from dual").code, 942);
  EXPECT_EQ(database.error("insert all else into high values (1, 2) select * from dual").code, 925);
}

}  // namespace
}  // namespace ociemu::sql
