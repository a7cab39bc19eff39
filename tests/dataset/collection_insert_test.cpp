// The block that creates empty collections before an insert through a
// TABLE(...) or THE(...) expression, compared line for line.
#include <gtest/gtest.h>

#include "oracle/dataset/collection_insert.h"

namespace kvell {
namespace {

TEST(CollectionInsert, reads_the_inner_select_of_the_expression) {
  const CollectionTarget target =
      SplitCollectionExpression("TABLE(select c.items, nvl(c.tags, t_tags()) from customers c where c.id = :id)");
  EXPECT_EQ(target.Columns, (std::vector<std::string>{"c.items", "nvl(c.tags, t_tags())"}));
  EXPECT_EQ(target.Table, "customers c");
  EXPECT_EQ(target.Condition, "c.id = :id");
  const CollectionTarget the = SplitCollectionExpression("the (SELECT Lines FROM orders WHERE (id = 1) AND x = 'a)')");
  EXPECT_EQ(the.Columns, (std::vector<std::string>{"Lines"}));
  EXPECT_EQ(the.Table, "orders");
  EXPECT_EQ(the.Condition, "(id = 1) AND x = 'a)'");
  EXPECT_TRUE(SplitCollectionExpression("EMP").Columns.empty());
  EXPECT_TRUE(SplitCollectionExpression("TABLES(select a from b)").Columns.empty());
}

TEST(CollectionInsert, gives_each_null_collection_its_empty_value_first) {
  const CollectionTarget target = SplitCollectionExpression("TABLE(select c.items from customers c where c.id = :id)");
  EXPECT_EQ(CollectionInsertBlock(target, {"SCOTT.T_ITEMS()"}),
            "begin\r\n"
            "  update customers c\r\n"
            "  set c.items = SCOTT.T_ITEMS()\r\n"
            "  where c.items is null\r\n"
            "  and (c.id = :id);\r\n"
            "end;");
  const CollectionTarget whole = SplitCollectionExpression("TABLE(select items from customers)");
  EXPECT_EQ(CollectionInsertBlock(whole, {"T_ITEMS()"}),
            "begin\r\n"
            "  update customers\r\n"
            "  set items = T_ITEMS()\r\n"
            "  where items is null;\r\n"
            "end;");
}

}  // namespace
}  // namespace kvell
