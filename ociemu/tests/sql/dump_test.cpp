// DUMP shows Oracle's internal form of a value, whatever form SQLite keeps it in.
#include <gtest/gtest.h>

#include "ociemu/tests/sql/database_fixture.h"

namespace ociemu::sql {
namespace {

using testing::Database;

TEST(Dump, numbers_show_the_exponent_byte_and_base_hundred_digits) {
  Database database;
  EXPECT_EQ(database.value("select dump(123) from dual"), "Typ=2 Len=3: 194,2,24");
  EXPECT_EQ(database.value("select dump(12345678) from dual"), "Typ=2 Len=5: 196,13,35,57,79");
  EXPECT_EQ(database.value("select dump(-12345678) from dual"), "Typ=2 Len=6: 59,89,67,45,23,102");
  EXPECT_EQ(database.value("select dump(100, 16) from dual"), "Typ=2 Len=2: c2,2");
  EXPECT_EQ(database.value("select dump(0) || ' ' || dump(.5) || ' ' || dump(-.05) from dual"),
            "Typ=2 Len=1: 128 Typ=2 Len=2: 192,51 Typ=2 Len=3: 63,96,102");
  EXPECT_EQ(database.value("select dump(1.5e40) from dual"), "Typ=2 Len=3: 213,2,51");
  // Exact forms beyond a double: every digit, and all twenty mantissa bytes of 1/3 (no 102 mark
  // after a full negative mantissa).
  EXPECT_EQ(database.value("select dump(12345678901234567890123) from dual"),
            "Typ=2 Len=13: 204,2,24,46,68,90,2,24,46,68,90,2,24");
  std::string thirds = "Typ=2 Len=21: 192", negative_thirds = "Typ=2 Len=21: 63";
  for (int i = 0; i < 20; ++i) thirds += ",34", negative_thirds += ",68";
  EXPECT_EQ(database.value("select dump(1/3) from dual"), thirds);
  EXPECT_EQ(database.value("select dump(-1/3) from dual"), negative_thirds);
}

TEST(Dump, characters_dates_and_raw_by_their_own_type) {
  Database database;
  EXPECT_EQ(database.value("select dump('abc', 1016) from dual"), "Typ=96 Len=3 CharacterSet=AL32UTF8: 61,62,63");
  EXPECT_EQ(database.value("select dump(ename, 8, 3, 2) from emp where ename = 'SCOTT'"), "Typ=1 Len=5: 117,124");
  EXPECT_EQ(database.value("select dump(ename, 17, -2) from emp where ename = 'SCOTT'"), "Typ=1 Len=5: T,T");
  EXPECT_EQ(database.value("select dump(lower(ename)) from emp where ename = 'KING'"), "Typ=1 Len=4: 107,105,110,103");
  EXPECT_EQ(database.value("select dump(hiredate) from emp where ename = 'SMITH'"), "Typ=12 Len=7: 119,180,12,17,1,1,1");
  EXPECT_EQ(database.value("select dump(to_date('2020-01-02 03:04:05', 'YYYY-MM-DD HH24:MI:SS')) from dual"),
            "Typ=13 Len=8: 228,7,1,2,3,4,5,0");
  EXPECT_EQ(database.value("select dump(hextoraw('0AFF'), 16) from dual"), "Typ=23 Len=2: a,ff");
  EXPECT_EQ(database.value("select dump(sal) from emp where ename = 'KING'"), "Typ=2 Len=2: 194,51");
  EXPECT_EQ(database.value("select dump(comm) from emp where ename = 'KING'"), "NULL");
  EXPECT_EQ(database.value("select dump(:1) from dual", {"xy"}), "Typ=1 Len=2: 120,121");
  EXPECT_EQ(database.error("select dump() from dual").code, 938);
  EXPECT_EQ(database.error("select dump(1, 10, 1, 1, 1) from dual").code, 939);
}

}  // namespace
}  // namespace ociemu::sql
