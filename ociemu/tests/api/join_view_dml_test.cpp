// DML through a view that joins tables: it writes the one key-preserved table whose columns
// it names, sees the other tables' columns only to read them, and refuses what Oracle refuses
// with ORA-01779, ORA-01776 and ORA-01752, changing nothing.
#include "ociemu/tests/api/oci_test_support.h"

namespace ociemu::testing {
namespace {

class JoinViewDmlTest : public OciTest {
 protected:
  void SetUp() override {
    OciTest::SetUp();
    must_run("CREATE TABLE units (unit NUMBER PRIMARY KEY, title VARCHAR2(10))");
    must_run("CREATE TABLE staff (id NUMBER PRIMARY KEY, name VARCHAR2(10), unit NUMBER, pay NUMBER)");
    must_run("CREATE TABLE badges (holder NUMBER, badge VARCHAR2(5))");
    must_run("CREATE UNIQUE INDEX badges_holder ON badges (holder)");
    must_run("INSERT INTO units VALUES (10, 'OPS')");
    must_run("INSERT INTO units VALUES (20, 'LAB')");
    must_run("INSERT INTO staff VALUES (1, 'ANA', 10, 500)");
    must_run("INSERT INTO staff VALUES (2, 'BOR', 20, 700)");
    must_run("INSERT INTO staff VALUES (3, 'CENE', NULL, 900)");  // in no unit: not in the join
    must_run("INSERT INTO badges VALUES (1, 'B1')");
    must_run("INSERT INTO badges VALUES (2, 'B2')");
    must_run("CREATE VIEW staff_units AS SELECT s.id, s.name, s.pay, s.unit, u.title FROM staff s, units u "
             "WHERE s.unit = u.unit");
    must_run("CREATE VIEW staff_badges AS SELECT s.id, s.name, b.badge FROM staff s JOIN badges b ON b.holder = s.id");
  }

  std::vector<std::string> staff() {
    return column_texts("SELECT id || ':' || name || ':' || unit || ':' || pay FROM staff ORDER BY id");
  }
  // Writing through the views never reaches UNITS, which no view keeps keys of.
  void expect_units_untouched() {
    EXPECT_EQ((std::vector<std::string>{"10:OPS", "20:LAB"}),
              column_texts("SELECT unit || ':' || title FROM units ORDER BY unit"));
  }

  int error_of(const std::string& sql) { return run(sql) == OCI_SUCCESS ? 0 : last_code(); }
};

TEST_F(JoinViewDmlTest, update_writes_the_key_preserved_table_for_the_rows_the_join_shows) {
  must_run("UPDATE staff_units SET pay = pay + 1");
  must_run("UPDATE staff_units v SET v.name = lower(name) || v.title WHERE title = 'LAB'");
  EXPECT_EQ((std::vector<std::string>{"1:ANA:10:501", "2:borLAB:20:701", "3:CENE::900"}), staff());
  expect_units_untouched();
  // The ANSI form, and the unit moving to another department, whose title the view then shows.
  must_run("CREATE VIEW ansi AS SELECT s.id, s.unit, u.title FROM staff s INNER JOIN units u ON s.unit = u.unit");
  must_run("UPDATE ansi SET unit = 20 WHERE id = 1");
  EXPECT_EQ("LAB", single_text("SELECT title FROM ansi WHERE id = 1"));
}

TEST_F(JoinViewDmlTest, insert_and_delete_reach_only_the_key_preserved_table) {
  must_run("INSERT INTO staff_units (id, name, unit) VALUES (4, 'DUŠA', 20)");
  must_run("DELETE FROM staff_units WHERE title = 'OPS'");
  EXPECT_EQ((std::vector<std::string>{"2:BOR:20:700", "3:CENE::900", "4:DUŠA:20:"}), staff());
  expect_units_untouched();
  must_run("DELETE staff_units");
  EXPECT_EQ((std::vector<std::string>{"3:CENE::900"}), staff()) << "the row outside the join stays";
}

TEST_F(JoinViewDmlTest, columns_of_a_table_that_is_not_key_preserved_are_never_written) {
  EXPECT_EQ(1779, error_of("UPDATE staff_units SET title = 'X'"));
  EXPECT_EQ(1779, error_of("UPDATE staff_units SET pay = 0, title = 'X' WHERE id = 1"));
  EXPECT_EQ(1779, error_of("INSERT INTO staff_units (id, title) VALUES (5, 'X')"));
  EXPECT_EQ(1779, error_of("INSERT INTO staff_units VALUES (5, 'X', 1, 10, 'X')"));
  // Both tables are key-preserved one to one: either can be written, not both at once.
  EXPECT_EQ(1776, error_of("UPDATE staff_badges SET name = 'X', badge = 'Y'"));
  EXPECT_EQ(1776, error_of("INSERT INTO staff_badges VALUES (5, 'X', 'Y')"));
  must_run("UPDATE staff_badges SET badge = 'NEW' WHERE id = 2");
  EXPECT_EQ("NEW", single_text("SELECT badge FROM badges WHERE holder = 2"));
  EXPECT_EQ((std::vector<std::string>{"1:ANA:10:500", "2:BOR:20:700", "3:CENE::900"}), staff());
  expect_units_untouched();
}

TEST_F(JoinViewDmlTest, delete_needs_exactly_one_key_preserved_table) {
  // Joined on columns that are no key of either table: neither is preserved.
  must_run("CREATE VIEW by_name AS SELECT s.id, u.title FROM staff s, units u WHERE s.name = u.title");
  EXPECT_EQ(1752, error_of("DELETE FROM by_name"));
  EXPECT_EQ(1779, error_of("UPDATE by_name SET id = 0"));
  EXPECT_EQ(1445, error_of("SELECT rowid FROM by_name"));
  EXPECT_EQ(1752, error_of("DELETE FROM staff_badges WHERE id = 1")) << "two key-preserved tables";
  // A key equated only under an OR does not preserve the other side.
  must_run("CREATE VIEW either AS SELECT s.id FROM staff s, units u WHERE s.unit = u.unit OR s.id = 1");
  EXPECT_EQ(1752, error_of("DELETE FROM either"));
  // A full outer join is not written through at all.
  must_run("CREATE VIEW full_join AS SELECT s.id, u.title FROM staff s FULL JOIN units u ON s.unit = u.unit");
  EXPECT_EQ(1732, error_of("DELETE FROM full_join"));
  EXPECT_EQ(3u, staff().size());
}

TEST_F(JoinViewDmlTest, an_outer_join_writes_its_preserved_side_for_every_row_it_shows) {
  // CENE, in no unit, shows with a null title: the outer join reaches rows the inner join leaves out.
  must_run("CREATE VIEW all_staff AS SELECT s.id, s.name, s.pay, u.title FROM staff s LEFT OUTER JOIN units u "
           "ON s.unit = u.unit");
  must_run("CREATE VIEW all_staff_right AS SELECT s.id, s.name, u.title FROM units u RIGHT JOIN staff s "
           "ON u.unit = s.unit WHERE u.title IS NULL OR u.title <> 'LAB'");
  must_run("UPDATE all_staff SET pay = pay + 1");
  must_run("UPDATE all_staff_right SET name = lower(name)");
  EXPECT_EQ((std::vector<std::string>{"1:ana:10:501", "2:BOR:20:701", "3:cene::901"}), staff());
  EXPECT_EQ("-", single_text("SELECT nvl(title, '-') FROM all_staff WHERE id = 3"));
  must_run("DELETE FROM all_staff WHERE title IS NULL");
  must_run("INSERT INTO all_staff (id, name) VALUES (4, 'DAN')");
  EXPECT_EQ((std::vector<std::string>{"1:ana:10:501", "2:BOR:20:701", "4:DAN::"}), staff());
  EXPECT_EQ(single_text("SELECT rowid FROM staff WHERE id = 4"), single_text("SELECT rowid FROM all_staff WHERE id = 4"));
  // The side that may show as nulls keeps no keys, whichever way it is joined.
  EXPECT_EQ(1779, error_of("UPDATE all_staff SET title = 'X'"));
  EXPECT_EQ(1779, error_of("UPDATE all_staff_right SET title = 'X'"));
  must_run("CREATE VIEW units_staff AS SELECT u.unit, u.title, s.name FROM units u LEFT JOIN staff s ON s.unit = u.unit");
  EXPECT_EQ(1779, error_of("UPDATE units_staff SET name = 'X'"));
  EXPECT_EQ(1779, error_of("UPDATE units_staff SET title = 'X'")) << "a unit shows once for each of its staff";
  EXPECT_EQ(1752, error_of("DELETE FROM units_staff"));
  expect_units_untouched();
}

TEST_F(JoinViewDmlTest, returning_through_an_outer_join_reads_nulls_where_no_row_joins) {
  must_run("CREATE VIEW all_staff AS SELECT s.id, s.pay, u.title FROM staff s LEFT JOIN units u ON s.unit = u.unit "
           "WITH CHECK OPTION");
  OCIStmt* stmt = prepare("UPDATE all_staff SET pay = 5 WHERE id = :i RETURNING nvl(title, '-'), pay INTO :t, :p");
  int id = 0;
  char title[16] = {}, pay[16] = {};
  OCIBind* bind = nullptr;
  OCIBindByName(stmt, &bind, err, text(":i"), 2, &id, sizeof id, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0);
  OCIBindByName(stmt, &bind, err, text(":t"), 2, title, sizeof title, SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr, 0);
  OCIBindByName(stmt, &bind, err, text(":p"), 2, pay, sizeof pay, SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr, 0);
  std::vector<std::string> returned;
  for (int each : {3, 1}) {
    id = each;
    const sword rc = OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
    ASSERT_EQ(OCI_SUCCESS, rc) << last_error();
    returned.push_back(std::string(title) + " " + pay);
  }
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ((std::vector<std::string>{"- 5", "OPS 5"}), returned);
  // Every staff row stays in the view, matched or not, so the check lets both through.
  EXPECT_EQ((std::vector<std::string>{"1:ANA:10:5", "2:BOR:20:700", "3:CENE::5"}), staff());
}

TEST_F(JoinViewDmlTest, an_inline_join_view_updates_one_table_from_another) {
  must_run("CREATE TABLE raises (unit NUMBER PRIMARY KEY, amount NUMBER)");
  must_run("INSERT INTO raises VALUES (10, 50)");
  must_run("UPDATE (SELECT s.pay, r.amount FROM staff s, raises r WHERE s.unit = r.unit) SET pay = pay + amount");
  EXPECT_EQ((std::vector<std::string>{"1:ANA:10:550", "2:BOR:20:700", "3:CENE::900"}), staff());
  must_run("CREATE TABLE loose (unit NUMBER, amount NUMBER)");  // no key: a staff row could meet many
  EXPECT_EQ(1779, error_of("UPDATE (SELECT s.pay, l.amount FROM staff s, loose l WHERE s.unit = l.unit) "
                           "SET pay = amount"));
}

TEST_F(JoinViewDmlTest, rowid_and_returning_read_the_written_row_through_the_whole_join) {
  const std::string rowid = single_text("SELECT rowid FROM staff WHERE id = 2");
  EXPECT_EQ(rowid, single_text("SELECT rowid FROM staff_units WHERE id = 2"));
  OCIStmt* stmt = prepare("UPDATE staff_units SET pay = 1 WHERE rowid = :r RETURNING title, pay, rowid INTO :t, :p, :i");
  char title[16] = {}, pay[16] = {}, returned_rowid[32] = {};
  OCIBind* bind = nullptr;
  OCIBindByName(stmt, &bind, err, text(":r"), 2, const_cast<char*>(rowid.c_str()), static_cast<sb4>(rowid.size() + 1),
                SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr, 0);
  OCIBindByName(stmt, &bind, err, text(":t"), 2, title, sizeof title, SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr, 0);
  OCIBindByName(stmt, &bind, err, text(":p"), 2, pay, sizeof pay, SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr, 0);
  OCIBindByName(stmt, &bind, err, text(":i"), 2, returned_rowid, sizeof returned_rowid, SQLT_STR, nullptr, nullptr,
                nullptr, 0, nullptr, 0);
  const sword rc = OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  ASSERT_EQ(OCI_SUCCESS, rc) << last_error();
  EXPECT_EQ("LAB 1", std::string(title) + " " + pay);
  EXPECT_EQ(rowid, returned_rowid);
}

TEST_F(JoinViewDmlTest, with_check_option_keeps_a_changed_row_in_the_join) {
  must_run("CREATE VIEW checked AS SELECT s.id, s.unit, u.title FROM staff s, units u WHERE s.unit = u.unit "
           "AND u.title = 'OPS' WITH CHECK OPTION");
  EXPECT_EQ(1402, error_of("UPDATE checked SET unit = 20"));
  EXPECT_EQ(1402, error_of("INSERT INTO checked (id, unit) VALUES (7, 99)"));
  must_run("INSERT INTO checked (id, unit) VALUES (7, 10)");
  EXPECT_EQ((std::vector<std::string>{"1:ANA:10:500", "2:BOR:20:700", "3:CENE::900", "7::10:"}), staff());
}

}  // namespace
}  // namespace ociemu::testing
