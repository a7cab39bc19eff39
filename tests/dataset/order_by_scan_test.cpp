// The ORDER BY list read from SQL text for a dataset's default order.
#include <gtest/gtest.h>

#include "oracle/dataset/order_by_scan.h"

namespace kvell {
namespace {

std::string describe(std::string_view sql) {
  std::string text;
  for (const OrderByItem& item : ScanOrderBy(sql)) {
    if (!text.empty()) text += ",";
    text += item.Column + (item.Descending ? " desc" : "") + (item.CaseInsensitive ? " nocase" : "");
  }
  return text;
}

TEST(OrderByList, reads_names_positions_directions_and_upper) {
  EXPECT_EQ(describe("select * from emp order by ename"), "ENAME");
  EXPECT_EQ(describe("select * from emp e\r\nORDER  BY e.deptno DESC, Upper( e.\"Ename\" ) asc, 3"),
            "DEPTNO desc,Ename nocase,3");
  EXPECT_EQ(describe("select * from emp order by sal desc nulls last, empno for update nowait"), "SAL desc,EMPNO");
}

TEST(OrderByList, takes_only_the_statements_own_top_level_list) {
  EXPECT_EQ(describe("select * from emp"), "");
  EXPECT_EQ(describe("select * from (select * from emp order by sal) v"), "");
  EXPECT_EQ(describe("select 'order by x' t from emp -- order by y\r\n"), "");
  EXPECT_EQ(describe("select * from (select * from emp order by sal) order by /* by */ ename"), "ENAME");
  EXPECT_EQ(describe("select * from emp order ename"), "");
}

TEST(OrderByList, ends_at_the_first_item_that_is_not_a_plain_column) {
  EXPECT_EQ(describe("select * from emp order by deptno, sal + comm, ename"), "DEPTNO");
  EXPECT_EQ(describe("select * from emp order by upper(ename) || 'x'"), "");
  EXPECT_EQ(describe("select * from emp order by decode(deptno, 10, 0, 1)"), "");
  EXPECT_EQ(describe("select * from emp order by"), "");
}

}  // namespace
}  // namespace kvell
