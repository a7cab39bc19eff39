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

TEST_F(MergeTest, what_cannot_be_merged_is_refused_and_changes_nothing) {
  // Matching on no unique key with both clauses, and DELETE WHERE, are not served.
  EXPECT_EQ(OCI_ERROR, run("MERGE INTO m t USING dual ON (t.v = 'a') WHEN MATCHED THEN UPDATE SET n = 5 "
                           "WHEN NOT MATCHED THEN INSERT (id) VALUES (9)"));
  EXPECT_EQ(3001, last_code());
  EXPECT_EQ(OCI_ERROR, run("MERGE INTO m t USING dual ON (t.id = 1) WHEN MATCHED THEN UPDATE SET n = 5 "
                           "DELETE WHERE n = 5"));
  EXPECT_EQ(3001, last_code());
  EXPECT_EQ(OCI_ERROR, run("MERGE INTO m t USING dual ON (t.id = 1) WHEN MATCHED THEN UPDATE SET rowid = NULL"));
  EXPECT_EQ(1747, last_code());
  EXPECT_EQ((std::vector<std::string>{"1:a:10"}), rows());
}

}  // namespace
}  // namespace ociemu::testing
