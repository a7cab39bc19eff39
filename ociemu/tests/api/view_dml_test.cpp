// INSERT, UPDATE and DELETE through a view of one table: rows land in the table under
// the view's column names, only the rows the view shows are touched, and views that
// cannot take DML refuse it without changing anything.
#include "ociemu/tests/api/oci_test_support.h"

namespace ociemu::testing {
namespace {

class ViewDmlTest : public OciTest {
 protected:
  void SetUp() override {
    OciTest::SetUp();
    must_run("CREATE TABLE staff (id NUMBER PRIMARY KEY, name VARCHAR2(10), dept NUMBER, pay NUMBER DEFAULT 100)");
    must_run("INSERT INTO staff VALUES (1, 'ANA', 10, 500)");
    must_run("INSERT INTO staff VALUES (2, 'BOR', 20, 700)");
    must_run("INSERT INTO staff VALUES (3, 'CENE', 10, 900)");
    must_run("CREATE VIEW dept10 AS SELECT id, name who, pay FROM staff s WHERE s.dept = 10");
  }

  std::vector<std::string> rows() {
    return column_texts("SELECT id || ':' || name || ':' || dept || ':' || pay FROM staff ORDER BY id");
  }

  // Runs sql and answers the Oracle error number, 0 when it succeeded.
  int error_of(const std::string& sql) { return run(sql) == OCI_SUCCESS ? 0 : last_code(); }
};

TEST_F(ViewDmlTest, update_and_delete_reach_only_the_rows_the_view_shows_under_its_column_names) {
  must_run("UPDATE dept10 SET who = lower(who), pay = pay + 1");
  must_run("UPDATE dept10 v SET v.pay = 0 WHERE v.who = 'cene'");
  EXPECT_EQ((std::vector<std::string>{"1:ana:10:501", "2:BOR:20:700", "3:cene:10:0"}), rows());
  must_run("DELETE FROM dept10 WHERE pay < 100 OR id = 2");  // id 2 is not shown: the OR must not reach it
  must_run("DELETE dept10 WHERE id = 2");
  EXPECT_EQ((std::vector<std::string>{"1:ana:10:501", "2:BOR:20:700"}), rows());
}

TEST_F(ViewDmlTest, insert_names_view_columns_and_leaves_the_rest_to_their_defaults) {
  must_run("CREATE VIEW names AS SELECT id, name FROM staff");
  must_run("INSERT INTO names VALUES (4, 'DUŠA')");
  must_run("INSERT INTO dept10 (id, who) SELECT 5, 'EVA' FROM dual");
  EXPECT_EQ((std::vector<std::string>{"1:ANA:10:500", "2:BOR:20:700", "3:CENE:10:900", "4:DUŠA::100", "5:EVA::100"}),
            rows());
  // Synonyms name the view as well as the view names the table.
  must_run("CREATE SYNONYM team FOR dept10");
  must_run("UPDATE team SET pay = 1 WHERE who = 'ANA'");
  EXPECT_EQ("1", single_text("SELECT pay FROM staff WHERE id = 1"));
}

TEST_F(ViewDmlTest, columns_the_view_does_not_show_or_computes_cannot_be_written) {
  must_run("CREATE VIEW yearly AS SELECT id, pay * 12 yearly_pay FROM staff");
  EXPECT_EQ(904, error_of("UPDATE dept10 SET dept = 20"));
  EXPECT_EQ(904, error_of("DELETE FROM dept10 WHERE name = 'ANA'")) << "the base name is hidden by the view's";
  EXPECT_EQ(1733, error_of("UPDATE yearly SET yearly_pay = 0"));
  EXPECT_EQ(1733, error_of("INSERT INTO yearly VALUES (9, 0)"));
  EXPECT_EQ(0, error_of("INSERT INTO yearly (id) VALUES (9)"));
  EXPECT_EQ(0, error_of("DELETE FROM yearly WHERE id = 9"));
  EXPECT_EQ((std::vector<std::string>{"1:ANA:10:500", "2:BOR:20:700", "3:CENE:10:900"}), rows());
}

TEST_F(ViewDmlTest, computed_columns_are_read_for_the_row_at_hand_but_never_written) {
  must_run("CREATE VIEW yearly AS SELECT id, s.pay * 12 yearly_pay, name FROM staff s");
  must_run("UPDATE yearly SET name = 'RICH' WHERE yearly_pay > 10000");
  must_run("UPDATE yearly v SET name = name || v.yearly_pay WHERE id = 2");
  must_run("DELETE FROM yearly y WHERE y.yearly_pay < 7000");
  EXPECT_EQ((std::vector<std::string>{"2:BOR8400:20:700", "3:RICH:10:900"}), rows());
  EXPECT_EQ(1733, error_of("UPDATE yearly SET yearly_pay = 0 WHERE yearly_pay > 0"));
}

TEST_F(ViewDmlTest, returning_gives_a_computed_column_of_the_row_as_changed_or_deleted) {
  must_run("CREATE VIEW yearly AS SELECT id, name, s.pay * 12 yearly_pay, name || '/' || s.dept tag FROM staff s");
  const auto returned = [&](const std::string& dml) {
    OCIStmt* stmt = prepare(dml + " RETURNING yearly_pay, tag INTO :p, :t");
    char pay[32] = {}, tag[32] = {};
    OCIBind* bind = nullptr;
    OCIBindByName(stmt, &bind, err, text(":p"), 2, pay, sizeof pay, SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr, 0);
    OCIBindByName(stmt, &bind, err, text(":t"), 2, tag, sizeof tag, SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr, 0);
    const sword rc = OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return rc == OCI_SUCCESS ? std::string(pay) + " " + tag : last_error();
  };
  EXPECT_EQ("6000 ANNA/10", returned("UPDATE yearly SET name = 'ANNA' WHERE yearly_pay = 6000"));
  EXPECT_EQ("1200 DAN/", returned("INSERT INTO yearly (id, name) VALUES (4, 'DAN')"));
  EXPECT_EQ("8400 BOR/20", returned("DELETE FROM yearly v WHERE v.id = 2"));
  EXPECT_EQ((std::vector<std::string>{"1:ANNA:10:500", "3:CENE:10:900", "4:DAN::100"}), rows());
}

TEST_F(ViewDmlTest, a_view_over_an_updatable_view_writes_through_both_to_the_rows_both_show) {
  must_run("CREATE VIEW dept10_rich AS SELECT id, who person, pay FROM dept10 WHERE pay > 600");
  must_run("UPDATE dept10_rich SET person = 'RICH', pay = pay + 1");
  must_run("DELETE FROM dept10_rich WHERE id IN (1, 2)");  // 1 is not rich, 2 is not in dept 10
  must_run("INSERT INTO dept10_rich (id, person) VALUES (4, 'DAN')");
  must_run("CREATE VIEW yearly AS SELECT id, pay * 12 yearly_pay FROM staff");
  must_run("CREATE VIEW over_yearly AS SELECT y.id, y.yearly_pay FROM yearly y");
  must_run("DELETE FROM over_yearly WHERE yearly_pay = 8400");
  EXPECT_EQ((std::vector<std::string>{"1:ANA:10:500", "3:RICH:10:901", "4:DAN::100"}), rows());
  EXPECT_EQ(904, error_of("UPDATE dept10_rich SET who = 'X'")) << "the inner view's name is hidden by the outer's";
  EXPECT_EQ(1733, error_of("UPDATE over_yearly SET yearly_pay = 0"));
}

TEST_F(ViewDmlTest, a_view_over_a_view_keeps_the_inner_views_restrictions) {
  must_run("CREATE VIEW frozen AS SELECT id, name FROM staff WITH READ ONLY");
  must_run("CREATE VIEW over_frozen AS SELECT id FROM frozen");
  must_run("CREATE VIEW depts AS SELECT DISTINCT dept FROM staff");
  must_run("CREATE VIEW over_depts AS SELECT dept FROM depts");
  must_run("CREATE VIEW checked10 AS SELECT id, dept FROM staff WHERE dept = 10 WITH CHECK OPTION");
  must_run("CREATE VIEW over_checked AS SELECT id, dept FROM checked10 WHERE id < 3");
  EXPECT_EQ(42399, error_of("DELETE FROM over_frozen"));
  EXPECT_EQ(1732, error_of("DELETE FROM over_depts"));
  EXPECT_EQ(1402, error_of("UPDATE over_checked SET dept = 20 WHERE id = 1"));
  EXPECT_EQ(1402, error_of("INSERT INTO over_checked VALUES (5, 30)"));
  EXPECT_EQ(0, error_of("INSERT INTO over_checked VALUES (5, 10)")) << "the outer view checks nothing of its own";
  EXPECT_EQ((std::vector<std::string>{"1:ANA:10:500", "2:BOR:20:700", "3:CENE:10:900", "5::10:100"}), rows());
}

TEST_F(ViewDmlTest, views_that_are_not_one_tables_rows_refuse_dml) {
  must_run("CREATE VIEW totals AS SELECT dept, SUM(pay) total FROM staff GROUP BY dept");
  must_run("CREATE VIEW depts AS SELECT DISTINCT dept FROM staff");
  must_run("CREATE VIEW joined AS SELECT s.id, d.dname FROM staff s FULL OUTER JOIN dept d ON s.dept = d.deptno");
  must_run("CREATE VIEW firsts AS SELECT id, name FROM staff WHERE ROWNUM < 3");
  must_run("CREATE VIEW both_halves AS SELECT id FROM staff WHERE id < 2 UNION SELECT id FROM staff WHERE id > 2");
  for (const char* view : {"totals", "depts", "joined", "firsts", "both_halves"}) {
    EXPECT_EQ(1732, error_of(std::string("DELETE FROM ") + view)) << view;
  }
  must_run("CREATE VIEW frozen AS SELECT id, name FROM staff WITH READ ONLY");
  EXPECT_EQ(42399, error_of("UPDATE frozen SET name = 'X'"));
  EXPECT_EQ(42399, error_of("INSERT INTO frozen VALUES (7, 'X')"));
  EXPECT_EQ(42399, error_of("DELETE FROM frozen"));
  EXPECT_EQ("SELECT id, name FROM staff ", single_text("SELECT text FROM user_views WHERE view_name = 'FROZEN'"));
  EXPECT_EQ((std::vector<std::string>{"1:ANA:10:500", "2:BOR:20:700", "3:CENE:10:900"}), rows());
}

TEST_F(ViewDmlTest, with_check_option_refuses_rows_that_would_leave_the_view) {
  must_run("CREATE OR REPLACE VIEW dept10 AS SELECT id, name, dept, pay FROM staff WHERE dept = 10 WITH CHECK OPTION");
  EXPECT_EQ(1402, error_of("UPDATE dept10 SET dept = 20 WHERE id = 1"));
  EXPECT_EQ(1402, error_of("INSERT INTO dept10 VALUES (8, 'X', 30, 1)"));
  EXPECT_EQ(1402, error_of("INSERT INTO dept10 (id, name) VALUES (8, 'X')"));
  EXPECT_EQ(1402, error_of("INSERT INTO dept10 SELECT 8, 'X', deptno, 1 FROM dept WHERE deptno <= 20"));
  EXPECT_EQ((std::vector<std::string>{"1:ANA:10:500", "2:BOR:20:700", "3:CENE:10:900"}), rows());
  must_run("UPDATE dept10 SET pay = pay * 2, dept = 10");
  must_run("INSERT INTO dept10 VALUES (8, 'X', 10, 1)");
  must_run("INSERT INTO dept10 SELECT 9, 'Y', deptno, 2 FROM dept WHERE deptno = 10");
  EXPECT_EQ((std::vector<std::string>{"1:ANA:10:1000", "2:BOR:20:700", "3:CENE:10:1800", "8:X:10:1", "9:Y:10:2"}),
            rows());
  // A checked INSERT takes each value once and sees the columns it leaves out at their defaults.
  must_run("CREATE SEQUENCE ids START WITH 20");
  must_run("CREATE OR REPLACE VIEW rich AS SELECT id, name FROM staff WHERE pay >= 100 WITH CHECK OPTION");
  must_run("INSERT INTO rich VALUES (ids.NEXTVAL, 'Z')");
  EXPECT_EQ("20", single_text("SELECT ids.CURRVAL FROM dual"));
  EXPECT_EQ("20:Z::100", single_text("SELECT id || ':' || name || ':' || dept || ':' || pay FROM staff WHERE name = 'Z'"));
  // Replaced without the option, the view stops checking.
  must_run("CREATE OR REPLACE VIEW dept10 AS SELECT id, name, dept, pay FROM staff WHERE dept = 10");
  EXPECT_EQ(0, error_of("UPDATE dept10 SET dept = 30 WHERE id = 8"));
}

TEST_F(ViewDmlTest, a_subquery_in_the_tables_place_is_written_through_as_a_view) {
  must_run("DELETE FROM (SELECT * FROM staff WHERE dept = 10) WHERE pay > 600");
  must_run("UPDATE (SELECT id, name who FROM staff s WHERE s.dept = 20) v SET who = 'B' WHERE v.id = 2");
  must_run("INSERT INTO (SELECT id, name FROM staff) VALUES (4, 'D')");
  EXPECT_EQ((std::vector<std::string>{"1:ANA:10:500", "2:B:20:700", "4:D::100"}), rows());
  EXPECT_EQ(1402, error_of("INSERT INTO (SELECT id, dept FROM staff WHERE dept = 10 WITH CHECK OPTION) VALUES (5, 20)"));
  EXPECT_EQ(0, error_of("INSERT INTO (SELECT id, dept FROM staff WHERE dept = 10 WITH CHECK OPTION) VALUES (5, 10)"));
  EXPECT_EQ(42399, error_of("DELETE FROM (SELECT id FROM staff WITH READ ONLY)"));
  EXPECT_EQ(1732, error_of("DELETE FROM (SELECT DISTINCT dept FROM staff)"));
  EXPECT_EQ(1733, error_of("UPDATE (SELECT id, pay * 12 yearly FROM staff) SET yearly = 0"));
  EXPECT_EQ((std::vector<std::string>{"1:ANA:10:500", "2:B:20:700", "4:D::100", "5::10:100"}), rows());
}

TEST_F(ViewDmlTest, a_views_rowid_is_its_base_tables_and_finds_the_row_again) {
  const std::string rowid = single_text("SELECT rowid FROM staff WHERE id = 3");
  EXPECT_EQ(rowid, single_text("SELECT v.rowid FROM dept10 v WHERE v.id = 3"));
  EXPECT_EQ("CENE", single_text("SELECT who FROM dept10 WHERE rowid = '" + rowid + "'"));
  must_run("UPDATE dept10 SET pay = 5 WHERE rowid = '" + rowid + "'");
  EXPECT_EQ("5", single_text("SELECT pay FROM staff WHERE id = 3"));
  // The carried rowid stays out of the view's own columns.
  OCIStmt* stmt = prepare("SELECT v.*, v.rowid FROM dept10 v");
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY)) << last_error();
  ub4 columns = 0;
  OCIAttrGet(stmt, OCI_HTYPE_STMT, &columns, nullptr, OCI_ATTR_PARAM_COUNT, err);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ(4u, columns);
  must_run("CREATE VIEW joined AS SELECT s.id, d.dname FROM staff s, dept d WHERE s.dept = d.deptno");
  EXPECT_EQ(rowid, single_text("SELECT rowid FROM joined WHERE id = 3")) << "the key-preserved table's";
}

TEST_F(ViewDmlTest, a_row_locked_through_the_view_is_the_tables_row) {
  must_run("COMMIT");
  OCISvcCtx* other = logon("SCOTT", "tiger");
  ASSERT_NE(nullptr, other);
  must_run("SELECT v.rowid, v.who FROM dept10 v WHERE v.id = 1 FOR UPDATE NOWAIT");
  EXPECT_EQ(OCI_ERROR, run("SELECT id FROM staff WHERE id = 1 FOR UPDATE NOWAIT", other));
  EXPECT_EQ(54, last_code());
  EXPECT_EQ(OCI_SUCCESS, run("SELECT id FROM staff WHERE id = 3 FOR UPDATE NOWAIT", other)) << last_error();
  EXPECT_EQ(OCI_SUCCESS, OCITransRollback(other, err, OCI_DEFAULT));
  EXPECT_EQ(OCI_SUCCESS, OCITransRollback(svc, err, OCI_DEFAULT));
  OCILogoff(other, err);
}

}  // namespace
}  // namespace ociemu::testing
