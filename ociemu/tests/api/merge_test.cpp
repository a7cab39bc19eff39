// MERGE: matched rows updated, the rest inserted, in one call with one row count.
#include "ociemu/tests/api/oci_test_support.h"

namespace ociemu::testing {
namespace {

class MergeTest : public OciTest {
 protected:
  void SetUp() override {
    OciTest::SetUp();
    must_run("CREATE TABLE m (id NUMBER PRIMARY KEY, v VARCHAR2(10), n NUMBER)");
    must_run("INSERT INTO m VALUES (1, 'a', 10)");
  }

  std::vector<std::string> rows() { return column_texts("SELECT id || ':' || v || ':' || n FROM m ORDER BY id"); }

  // Runs a MERGE that binds :id and :v; returns its row count.
  ub4 merge_bound(const std::string& sql, int id, const std::string& v) {
    OCIStmt* stmt = prepare(sql);
    OCIBind* first = nullptr;
    OCIBind* second = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &first, err, text(":id"), 3, &id, sizeof id, SQLT_INT, nullptr, nullptr,
                                         nullptr, 0, nullptr, OCI_DEFAULT));
    EXPECT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &second, err, text(":v"), 2, const_cast<char*>(v.c_str()),
                                         static_cast<sb4>(v.size()), SQLT_CHR, nullptr, nullptr, nullptr, 0, nullptr,
                                         OCI_DEFAULT));
    EXPECT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
    ub4 count = 0;
    OCIAttrGet(stmt, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_ROW_COUNT, err);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return count;
  }
};

TEST_F(MergeTest, matched_rows_are_updated_and_the_others_inserted) {
  must_run("MERGE INTO m t USING (SELECT 1 id, 'x' v FROM dual UNION ALL SELECT 2, 'y' FROM dual) s "
           "ON (t.id = s.id) WHEN MATCHED THEN UPDATE SET t.v = s.v, n = n + 1 "
           "WHEN NOT MATCHED THEN INSERT (id, v, n) VALUES (s.id, s.v, 0)");
  EXPECT_EQ((std::vector<std::string>{"1:x:11", "2:y:0"}), rows());
}

TEST_F(MergeTest, one_clause_alone_and_a_condition_on_the_update) {
  must_run("MERGE INTO m USING dept d ON (m.id = d.deptno) WHEN NOT MATCHED THEN INSERT VALUES (d.deptno, d.dname, 0)");
  must_run("MERGE INTO m t USING dept d ON (t.id = d.deptno) "
           "WHEN MATCHED THEN UPDATE SET v = lower(d.loc) WHERE d.deptno > 20");
  EXPECT_EQ((std::vector<std::string>{"1:a:10", "10:ACCOUNTING:0", "20:RESEARCH:0", "30:chicago:0", "40:boston:0"}),
            rows());
}

TEST_F(MergeTest, binds_reach_every_use_of_the_source_and_the_row_count_counts_both_clauses) {
  const std::string upsert = "MERGE INTO m t USING (SELECT :id id, :v v FROM dual) s ON (t.id = s.id) "
                             "WHEN MATCHED THEN UPDATE SET v = s.v WHEN NOT MATCHED THEN INSERT (id, v) VALUES (s.id, s.v)";
  EXPECT_EQ(1u, merge_bound(upsert, 1, "one"));
  EXPECT_EQ(1u, merge_bound(upsert, 5, "five"));
  EXPECT_EQ((std::vector<std::string>{"1:one:10", "5:five:"}), rows());
}

TEST_F(MergeTest, a_target_row_that_several_source_rows_meet_fails_with_ora_30926_and_changes_nothing) {
  const std::string twice = "(SELECT 1 id, 'x' v FROM dual UNION ALL SELECT 1, 'y' FROM dual) s ON (t.id = s.id) ";
  EXPECT_EQ(OCI_ERROR, run("MERGE INTO m t USING " + twice + "WHEN MATCHED THEN UPDATE SET t.v = s.v"));
  EXPECT_EQ(30926, last_code());
  EXPECT_EQ(OCI_ERROR, run("MERGE INTO m t USING " + twice + "WHEN MATCHED THEN UPDATE SET t.v = s.v "
                           "WHEN NOT MATCHED THEN INSERT (id, v) VALUES (s.id, s.v)"));
  EXPECT_EQ(30926, last_code());
  EXPECT_EQ((std::vector<std::string>{"1:a:10"}), rows());
  // Source rows that meet different target rows, or none that the update's condition lets through, are fine.
  must_run("MERGE INTO m t USING " + twice + "WHEN MATCHED THEN UPDATE SET t.v = s.v WHERE s.v = 'z'");
  must_run("MERGE INTO m t USING (SELECT 1 id FROM dual UNION ALL SELECT 2 FROM dual) s ON (t.id = s.id) "
           "WHEN MATCHED THEN UPDATE SET n = n + 1 WHEN NOT MATCHED THEN INSERT (id, n) VALUES (s.id, 0)");
  EXPECT_EQ((std::vector<std::string>{"1:a:11", "2::0"}), rows());
}

TEST_F(MergeTest, a_condition_on_the_insert_holds_back_only_new_rows) {
  const std::string source = "MERGE INTO m t USING (SELECT deptno - 9 id, dname v FROM dept) s ON (t.id = s.id) ";
  must_run(source + "WHEN MATCHED THEN UPDATE SET n = 99 "
                    "WHEN NOT MATCHED THEN INSERT (id, v) VALUES (s.id, s.v) WHERE s.v LIKE '%CH%'");
  // Id 1 (ACCOUNTING) is updated though the condition refuses it; of the new rows only RESEARCH goes in.
  EXPECT_EQ((std::vector<std::string>{"1:a:99", "11:RESEARCH:"}), rows());
  must_run(source + "WHEN NOT MATCHED THEN INSERT (id, v) VALUES (s.id, s.v) WHERE s.id > 21");
  EXPECT_EQ((std::vector<std::string>{"1:a:99", "11:RESEARCH:", "31:OPERATIONS:"}), rows());
}

TEST_F(MergeTest, delete_where_removes_updated_rows_after_their_update_and_never_new_ones) {
  must_run("INSERT INTO m VALUES (2, 'b', 20)");
  must_run("INSERT INTO m VALUES (3, 'c', 30)");
  const std::string source = "MERGE INTO m t USING (SELECT 1 id FROM dual UNION ALL SELECT 2 FROM dual UNION ALL "
                             "SELECT 4 FROM dual) s ON (t.id = s.id) ";
  // DELETE sees the updated values (n = 21 for id 2); the inserted row 4 would also qualify.
  EXPECT_EQ(3u, merge_bound(source + "WHEN MATCHED THEN UPDATE SET n = n + 1 DELETE WHERE t.n > 20 OR :v = 'x' "
                                     "WHEN NOT MATCHED THEN INSERT (id, v, n) VALUES (s.id, 'new', 99 + :id)",
                            1, "y"))
      << "updated and inserted rows are counted, deleted ones were counted as updated";
  EXPECT_EQ((std::vector<std::string>{"1:a:11", "3:c:30", "4:new:100"}), rows());
  // Only rows the update's own condition let through can go.
  must_run(source + "WHEN MATCHED THEN UPDATE SET n = 0 WHERE s.id = 4 DELETE WHERE t.n = 0");
  EXPECT_EQ((std::vector<std::string>{"1:a:11", "3:c:30"}), rows());
}

TEST_F(MergeTest, an_on_condition_on_no_unique_key_works_until_a_target_row_is_met_twice) {
  must_run("INSERT INTO m VALUES (2, 'a', 20)");
  const std::string both = "WHEN MATCHED THEN UPDATE SET n = n + s.k WHEN NOT MATCHED THEN INSERT (id, v, n) "
                           "VALUES (s.k, s.v, 0)";
  must_run("MERGE INTO m t USING (SELECT 'a' v, 5 k FROM dual UNION ALL SELECT 'z', 9 FROM dual) s ON (t.v = s.v) " +
           both);
  EXPECT_EQ((std::vector<std::string>{"1:a:15", "2:a:25", "9:z:0"}), rows());
  EXPECT_EQ(OCI_ERROR, run("MERGE INTO m t USING (SELECT 'a' v, 1 k FROM dual UNION ALL SELECT 'a', 2 FROM dual "
                           "UNION ALL SELECT 'q', 7 FROM dual) s ON (t.v = s.v) " + both));
  EXPECT_EQ(30926, last_code());
  // The insert fails after the update has run: the update goes too.
  EXPECT_EQ(OCI_ERROR, run("MERGE INTO m t USING (SELECT 'a' v, 1 k FROM dual UNION ALL SELECT 'q', 1 FROM dual) s "
                           "ON (t.v = s.v) " + both));
  EXPECT_EQ(1, last_code());
  EXPECT_EQ((std::vector<std::string>{"1:a:15", "2:a:25", "9:z:0"}), rows()) << "nothing of the failed merges stays";
}

TEST_F(MergeTest, row_triggers_fire_for_the_rows_merge_updates_inserts_and_deletes) {
  must_run("CREATE TABLE merge_log (what VARCHAR2(40))");
  must_run("CREATE TRIGGER m_before BEFORE INSERT OR UPDATE ON m FOR EACH ROW BEGIN :new.v := upper(:new.v); END;");
  must_run("CREATE TRIGGER m_after AFTER INSERT OR UPDATE OR DELETE ON m FOR EACH ROW BEGIN\n"
           "  IF inserting THEN INSERT INTO merge_log VALUES ('I' || :new.id);\n"
           "  ELSIF updating THEN INSERT INTO merge_log VALUES ('U' || :new.id);\n"
           "  ELSE INSERT INTO merge_log VALUES ('D' || :old.id); END IF;\nEND;");
  must_run("INSERT INTO m VALUES (2, 'b', 20)");
  must_run("DELETE FROM merge_log");
  must_run("MERGE INTO m t USING (SELECT 1 id, 'x' v FROM dual UNION ALL SELECT 2, 'y' FROM dual UNION ALL "
           "SELECT 3, 'z' FROM dual) s ON (t.id = s.id) WHEN MATCHED THEN UPDATE SET t.v = s.v DELETE WHERE t.id = 2 "
           "WHEN NOT MATCHED THEN INSERT (id, v, n) VALUES (s.id, s.v, 0)");
  EXPECT_EQ((std::vector<std::string>{"1:X:10", "3:Z:0"}), rows());
  EXPECT_EQ((std::vector<std::string>{"D2", "I3", "U1", "U2"}), column_texts("SELECT what FROM merge_log ORDER BY what"));
}

TEST_F(MergeTest, what_cannot_be_merged_is_refused_and_changes_nothing) {
  EXPECT_EQ(OCI_ERROR, run("MERGE INTO m t USING dual ON (t.id = 1) WHEN MATCHED THEN UPDATE SET rowid = NULL"));
  EXPECT_EQ(1747, last_code());
  EXPECT_EQ(OCI_ERROR, run("MERGE INTO m t USING dual ON (t.id = 1) WHEN MATCHED THEN UPDATE SET n = 5 DELETE n = 5"));
  EXPECT_EQ(905, last_code());
  EXPECT_EQ((std::vector<std::string>{"1:a:10"}), rows());
}

}  // namespace
}  // namespace ociemu::testing
