// Numbers beyond a double's reach in ORDER BY (aliases, set operations), windowed MIN and MAX,
// and division, each compared with the order and digits Oracle gives.
#include <gtest/gtest.h>

#include "ociemu/tests/sql/database_fixture.h"

namespace ociemu::sql {
namespace {

using testing::Database;
using Column = std::vector<std::string>;

class ExactOrder : public ::testing::Test {
 protected:
  void SetUp() override {
    database.execute("create table n (id number, v number)");
    // Neighbours that a double confuses, lengths that a text order confuses, signs and a NULL.
    const char* values[] = {"12345678901234567890123456789012345671", "12345678901234567890123456789012345670",
                            "null", "5", "100000000000000000000", "99999999999999999999",
                            "-100000000000000000000", "-99999999999999999999"};
    int id = 1;
    for (const char* v : values) database.execute("insert into n values (" + std::to_string(id++) + ", " + v + ")");
  }
  Column column(std::string_view sql, size_t index = 0) {
    Column values;
    for (const auto& row : database.query(sql)) values.push_back(row.at(index));
    return values;
  }
  Database database;
};

const Column kAscendingIds = {"7", "8", "4", "6", "5", "2", "1", "3"};
const Column kDescendingIds = {"3", "1", "2", "5", "6", "4", "8", "7"};

TEST_F(ExactOrder, an_alias_in_order_by_sorts_numbers_exactly_with_nulls_last_ascending) {
  EXPECT_EQ(column("select v x, id from n order by x", 1), kAscendingIds);
  EXPECT_EQ(column("select v x, id from n order by x desc", 1), kDescendingIds);
  EXPECT_EQ(column("select v + 0 x, id from n order by x nulls first", 1),
            (Column{"3", "7", "8", "4", "6", "5", "2", "1"}));
  // The alias wins over a column of the same name, as in Oracle.
  EXPECT_EQ(column("select -v id, id k from n order by id", 1), (Column{"1", "2", "5", "6", "4", "8", "7", "3"}));
}

TEST_F(ExactOrder, set_operations_order_their_rows_exactly_with_oracles_null_placement) {
  EXPECT_EQ(column("select v, id from n union all select 42, 0 from dual where 1 = 0 order by 1", 1), kAscendingIds);
  EXPECT_EQ(column("select v, id from n union select v, id from n order by v desc", 1), kDescendingIds);
  EXPECT_EQ(column("select v a, id from n minus select 5, 4 from dual order by a nulls first, 2", 1),
            (Column{"3", "7", "8", "6", "5", "2", "1"}));
  EXPECT_EQ(column("select id, v from n intersect select id, v from n order by 2 desc nulls last", 0),
            (Column{"1", "2", "5", "6", "4", "8", "7", "3"}));
  // Text columns keep their own order: '10' before '9'.
  EXPECT_EQ(column("select '9' from dual union select '10' from dual order by 1"), (Column{"10", "9"}));
  EXPECT_EQ(database.error("select v from n union select v from n order by v + 1").code, 1785);
  EXPECT_EQ(database.error("select v from n union select v from n order by 3").code, 1785);
}

TEST_F(ExactOrder, windowed_min_and_max_compare_exact_numbers) {
  EXPECT_EQ(column("select min(v) over () from n where id = 1"), (Column{"12345678901234567890123456789012345671"}));
  EXPECT_EQ(column("select max(v) over (partition by mod(id, 2)) from n order by id"),
            (Column{"12345678901234567890123456789012345671", "12345678901234567890123456789012345670",
                    "12345678901234567890123456789012345671", "12345678901234567890123456789012345670",
                    "12345678901234567890123456789012345671", "12345678901234567890123456789012345670",
                    "12345678901234567890123456789012345671", "12345678901234567890123456789012345670"}));
  EXPECT_EQ(column("select to_char(min(v) over (order by id rows between 1 preceding and current row)) from n order by id"),
            (Column{"12345678901234567890123456789012345671", "12345678901234567890123456789012345670",
                    "12345678901234567890123456789012345670", "5", "5", "99999999999999999999",
                    "-100000000000000000000", "-100000000000000000000"}));
  EXPECT_EQ(database.value("select to_char(max(v) over () - 1) from n where id = 8"), "-100000000000000000000");
}

TEST_F(ExactOrder, division_keeps_twenty_base_hundred_digits) {
  // A leading base-100 digit of two decimal digits leaves forty, of one digit thirty-nine.
  EXPECT_EQ(database.query("select 1/3, 2/3, 100/3, 10/3, -1/7 from dual").at(0),
            (std::vector<std::string>{".3333333333333333333333333333333333333333",
                                      ".6666666666666666666666666666666666666667",
                                      "33.33333333333333333333333333333333333333",
                                      "3.33333333333333333333333333333333333333",
                                      "-.1428571428571428571428571428571428571429"}));
  EXPECT_EQ(database.value("select v / 7 from n where id = 1"), "1763668414462081127160493827001763667.29");
  EXPECT_EQ(database.value("select 1/36028797018963968 from dual"), "2.77555756156289135105907917022705078125E-17");
  EXPECT_EQ(database.value("select 10/4 from dual"), "2.5");
  // As text (TO_CHAR, ||) an exact number shows its digits, not the bytes it is kept in.
  EXPECT_EQ(database.value("select to_char(1/3) || '|' || v from n where id = 2"),
            ".3333333333333333333333333333333333333333|12345678901234567890123456789012345670");
  EXPECT_EQ(database.value("select 99999999999999999999999999999999999999 / 99999999999999999999999999999999999999 from dual"), "1");
  EXPECT_EQ(database.value("select count(*) from dual where 1/3 < .33333333333333333333333333333333333334"), "1");
  EXPECT_EQ(database.error("select 1/0 from dual").code, 1476);
  EXPECT_EQ(database.error("select 1/'x' from dual").code, 1722);
}

}  // namespace
}  // namespace ociemu::sql
