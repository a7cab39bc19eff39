// SQLite failures mapped to Oracle errors, with parse offsets in the original text.
#include <gtest/gtest.h>

#include <ctime>

#include "ociemu/tests/sql/database_fixture.h"

namespace ociemu::sql {
namespace {

using testing::Database;

OracleError prepare_error(Database& database, std::string_view oracle_sql) {
  Translation t = translate(oracle_sql, database.db, database.session);
  sqlite3_stmt* statement = nullptr;
  int rc = sqlite3_prepare_v2(database.db, t.sqlite_sql.at(0).c_str(), -1, &statement, nullptr);
  sqlite3_finalize(statement);
  return rc == SQLITE_OK ? OracleError{} : map_sqlite_error(database.db, rc, oracle_sql);
}

TEST(ErrorMapping, points_at_the_unknown_name_in_the_original_text) {
  Database database;
  OracleError unknown = prepare_error(database, "select empno,\n  bogus from emp");
  EXPECT_EQ(unknown.code, 904);
  EXPECT_EQ(unknown.message, "\"BOGUS\": invalid identifier");
  EXPECT_EQ(unknown.parse_offset, 16);
  EXPECT_EQ(prepare_error(database, "select e.nothing from emp e").parse_offset, 9);
}

TEST(ErrorMapping, recovers_oracle_errors_raised_inside_functions_and_triggers) {
  Database database;
  EXPECT_EQ(database.error("select to_number('1x') from dual").message, "invalid number");
  OracleError trigger = database.error("insert into emp (empno, deptno) values (1, 77)");
  EXPECT_EQ(trigger.code, 2291);
  EXPECT_EQ(trigger.message, "integrity constraint (SCOTT.FK_DEPTNO) violated - parent key not found");
}

TEST(ErrorMapping, maps_result_codes_without_a_connection) {
  EXPECT_EQ(map_sqlite_error(nullptr, SQLITE_BUSY).code, 54);
  EXPECT_EQ(map_sqlite_error(nullptr, SQLITE_INTERRUPT).code, 1013);
  EXPECT_EQ(map_sqlite_error(nullptr, SQLITE_NOMEM).code, 4030);
}

TEST(ErrorMapping, two_digit_years_follow_the_rr_window) {
  // RR: in the first half of a century, 00-49 is this century and 50-99 the last; in the second half, 00-49 the next.
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const int current = local.tm_year + 1900;
  const int middle = current / 100 * 100 + (current % 100 < 50 ? 0 : 100);
  for (const char* text : {"01-JAN-00", "01-JAN-49", "01-JAN-50", "01-JAN-99"}) {
    int year = std::stoi(parse_datetime(text, "DD-MON-RR").substr(0, 4));
    EXPECT_EQ(year % 100, std::stoi(std::string(text).substr(7))) << text;
    EXPECT_GE(year, middle - 50) << text;
    EXPECT_LT(year, middle + 50) << text;
  }
}

TEST(ErrorMapping, an_unknown_nls_language_is_refused_and_a_known_one_taken) {
  Database database;
  EXPECT_EQ(database.error("alter session set nls_language = 'KLINGON'").code, 12705);
  EXPECT_EQ(database.error("alter session set nls_language = klingon nls_territory = 'AMERICA'").code, 12705);
  EXPECT_EQ(database.error("alter session set nls_language = 'Latin American Spanish'").code, 0);
  EXPECT_EQ(database.error("alter session set nls_language = german").code, 0);
}

TEST(ErrorMapping, dropping_a_child_table_releases_its_parent) {
  Database database;
  database.execute("create table child (d number(2) constraint fk_child references dept)");
  database.execute("insert into child values (40)");
  EXPECT_EQ(database.error("delete from dept where deptno = 40").code, 2292);
  database.execute("drop table child");
  EXPECT_EQ(database.error("delete from dept where deptno = 40").code, 0);
}

}  // namespace
}  // namespace ociemu::sql
