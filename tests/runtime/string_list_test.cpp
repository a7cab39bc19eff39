#include "runtime/string_list.h"

#include <gtest/gtest.h>

#include "runtime/exception.h"

namespace kvell {
namespace {

TEST(StringListTest, text_joins_with_crlf_and_splits_any_line_break) {
  TStringList list;
  int changes = 0;
  list.OnChange = [&] { ++changes; };
  list.SetText("select *\r\nfrom dept\nwhere x = 1\rorder by 1");
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(list.Text(), "select *\r\nfrom dept\r\nwhere x = 1\r\norder by 1\r\n");
  EXPECT_EQ(changes, 1);
  list.Add("NAME=Smith");
  EXPECT_EQ(list.Values("name"), "Smith");
  EXPECT_EQ(list.IndexOf("FROM DEPT"), 1);
  EXPECT_THROW(list.Delete(9), Exception);
  list.Clear();
  EXPECT_EQ(list.Text(), "");
}

TEST(StringListTest, comma_text_quotes_items_that_need_it) {
  TStringList list;
  list.Add("a");
  list.Add("b c");
  list.Add("say \"hi\"");
  EXPECT_EQ(list.CommaText(), "a,\"b c\",\"say \"\"hi\"\"\"");
}

}  // namespace
}  // namespace kvell
