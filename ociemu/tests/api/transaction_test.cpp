// Transactions across sessions on one database file: visibility, commit
// modes, savepoints, DDL and FOR UPDATE locks.
#include <thread>

#include "oci_test_support.h"

namespace ociemu::testing {
namespace {

class TransactionTest : public OciTest {
 protected:
  void SetUp() override {
    OciTest::SetUp();
    other = logon("SCOTT", "tiger");
    ASSERT_NE(nullptr, other) << last_error();
    must_run("CREATE TABLE A (N NUMBER)");
  }
  std::string count(OCISvcCtx* on) { return single_text("SELECT COUNT(*) FROM A", on); }

  // Runs DML with commit on success from any thread, with an error handle of its own.
  sword run_committed(OCISvcCtx* on, const std::string& sql) {
    OCIError* thread_err = nullptr;
    OCIHandleAlloc(env, reinterpret_cast<void**>(&thread_err), OCI_HTYPE_ERROR, 0, nullptr);
    OCIStmt* stmt = nullptr;
    OCIHandleAlloc(env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
    OCIStmtPrepare(stmt, thread_err, text(sql), len(sql), OCI_NTV_SYNTAX, OCI_DEFAULT);
    sword rc = OCIStmtExecute(on, stmt, thread_err, 1, 0, nullptr, nullptr, OCI_COMMIT_ON_SUCCESS);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    OCIHandleFree(thread_err, OCI_HTYPE_ERROR);
    return rc;
  }

  OCISvcCtx* other = nullptr;
};

TEST_F(TransactionTest, another_session_sees_committed_rows_only) {
  must_run("INSERT INTO A VALUES (1)");
  EXPECT_EQ("1", count(svc));
  EXPECT_EQ("0", count(other));
  ASSERT_EQ(OCI_SUCCESS, OCITransCommit(svc, err, OCI_DEFAULT));
  EXPECT_EQ("1", count(other));
  must_run("DELETE FROM A");
  ASSERT_EQ(OCI_SUCCESS, OCITransRollback(svc, err, OCI_DEFAULT));
  EXPECT_EQ("1", count(svc));
}

TEST_F(TransactionTest, commit_on_success_and_ddl_end_the_transaction) {
  ASSERT_EQ(OCI_SUCCESS, run("INSERT INTO A VALUES (1)", svc, OCI_COMMIT_ON_SUCCESS));
  EXPECT_EQ("1", count(other));
  must_run("INSERT INTO A VALUES (2)");
  must_run("CREATE TABLE B (X NUMBER)");
  EXPECT_EQ("2", count(other));
  ASSERT_EQ(OCI_SUCCESS, OCITransRollback(svc, err, OCI_DEFAULT));
  EXPECT_EQ("2", count(svc));
}

TEST_F(TransactionTest, rollback_to_a_savepoint_keeps_the_work_before_it) {
  must_run("INSERT INTO A VALUES (1)");
  must_run("SAVEPOINT FIRST_ROW");
  must_run("INSERT INTO A VALUES (2)");
  must_run("ROLLBACK TO SAVEPOINT FIRST_ROW");
  EXPECT_EQ("1", count(svc));
  must_run("COMMIT");
  EXPECT_EQ("1", count(other));
  EXPECT_EQ(OCI_ERROR, run("ROLLBACK TO SAVEPOINT NEVER_SET"));
  EXPECT_EQ(1086, last_code());
}

// Savepoint statements are kept prepared by name: reused across transactions
// and past the number kept, they still mark and undo the right work.
TEST_F(TransactionTest, savepoints_set_again_and_again_undo_what_came_after_them) {
  for (int round = 0; round < 3; ++round) {
    must_run("SAVEPOINT S");
    must_run("INSERT INTO A VALUES (1)");
    must_run("ROLLBACK TO SAVEPOINT S");
    must_run("COMMIT");
    EXPECT_EQ(OCI_ERROR, run("ROLLBACK TO SAVEPOINT S")) << "ended with its transaction";
    EXPECT_EQ(1086, last_code());
  }
  EXPECT_EQ("0", count(svc));
  for (int n = 1; n <= 12; ++n) {
    must_run("SAVEPOINT P" + std::to_string(n));
    must_run("INSERT INTO A VALUES (" + std::to_string(n) + ")");
  }
  must_run("ROLLBACK TO SAVEPOINT P11");
  EXPECT_EQ("10", count(svc));
  must_run("ROLLBACK TO SAVEPOINT P2");
  EXPECT_EQ("1", count(svc));
  must_run("ROLLBACK TO SAVEPOINT P1");
  EXPECT_EQ("0", count(svc));
  must_run("COMMIT");
}

// The texts that frame every statement (BEGIN, COMMIT, ROLLBACK, the statement's own
// savepoint) are kept prepared: run again across DDL and after a refused statement,
// each still ends or undoes exactly its own work.
TEST_F(TransactionTest, transactions_framed_again_and_again_across_ddl_and_refusals_keep_their_work) {
  ::setenv("OCIEMU_LOCK_TIMEOUT_MS", "0", 1);
  for (int round = 1; round <= 3; ++round) {
    const std::string value = std::to_string(round);
    must_run("INSERT INTO A VALUES (-1)");
    ASSERT_EQ(OCI_SUCCESS, OCITransRollback(svc, err, OCI_DEFAULT));
    must_run("INSERT INTO A VALUES (" + value + ")");
    ASSERT_EQ(OCI_SUCCESS, OCITransCommit(svc, err, OCI_DEFAULT));
    must_run("CREATE TABLE T" + value + " (X NUMBER)");
    must_run("DROP TABLE T" + value);
    must_run("SELECT N FROM A WHERE N = 1 FOR UPDATE", other);
    must_run("INSERT INTO A VALUES (100)");
    EXPECT_EQ(OCI_ERROR, run("UPDATE A SET N = N + 10")) << "row 1 is locked by the other session";
    EXPECT_EQ(54, last_code());
    EXPECT_EQ("1", single_text("SELECT COUNT(*) FROM A WHERE N > 10")) << "the refused update is undone, the insert kept";
    ASSERT_EQ(OCI_SUCCESS, OCITransRollback(other, err, OCI_DEFAULT));
    ASSERT_EQ(OCI_SUCCESS, OCITransRollback(svc, err, OCI_DEFAULT));
    EXPECT_EQ(value, count(other));
    EXPECT_EQ(value, single_text("SELECT MAX(N) FROM A", other));
  }
  ::unsetenv("OCIEMU_LOCK_TIMEOUT_MS");
}

TEST_F(TransactionTest, rollback_to_a_savepoint_releases_the_row_locks_taken_after_it) {
  for (const char* row : {"1", "2", "3", "4"}) must_run(std::string("INSERT INTO A VALUES (") + row + ")");
  must_run("COMMIT");
  must_run("SELECT N FROM A WHERE N = 1 FOR UPDATE");
  must_run("SAVEPOINT S");
  must_run("SELECT N FROM A WHERE N IN (1, 2) FOR UPDATE");  // 1 was locked before S and stays so
  must_run("UPDATE A SET N = 30 WHERE N = 3");
  must_run("SAVEPOINT T");
  must_run("SELECT N FROM A WHERE N = 4 FOR UPDATE");
  must_run("ROLLBACK TO SAVEPOINT S");
  auto other_locks = [&](const std::string& row) {
    sword rc = run("SELECT N FROM A WHERE N = " + row + " FOR UPDATE NOWAIT", other);
    OCITransRollback(other, err, OCI_DEFAULT);
    return rc == OCI_SUCCESS;
  };
  EXPECT_FALSE(other_locks("1")) << "locked before the savepoint";
  EXPECT_TRUE(other_locks("2")) << "locked after the savepoint";
  EXPECT_TRUE(other_locks("3")) << "changed after the savepoint, and the change undone";
  EXPECT_TRUE(other_locks("4")) << "locked after a later savepoint";
  EXPECT_EQ(OCI_ERROR, run("ROLLBACK TO SAVEPOINT T")) << "a later savepoint goes with the rollback";
  EXPECT_EQ(1086, last_code());
  // Setting a name again moves it; rolling back to it again keeps what came before it.
  must_run("SELECT N FROM A WHERE N = 2 FOR UPDATE");
  must_run("SAVEPOINT S");
  must_run("SELECT N FROM A WHERE N = 4 FOR UPDATE");
  must_run("ROLLBACK TO SAVEPOINT S");
  EXPECT_FALSE(other_locks("2"));
  EXPECT_TRUE(other_locks("4"));
  must_run("ROLLBACK");
  EXPECT_TRUE(other_locks("1"));
}

TEST_F(TransactionTest, ending_a_session_rolls_its_open_transaction_back) {
  must_run("INSERT INTO A VALUES (1)");
  ASSERT_EQ(OCI_SUCCESS, OCILogoff(svc, err));
  svc = nullptr;
  EXPECT_EQ("0", count(other));
  must_run("INSERT INTO A VALUES (2)", other);  // the write lock went with the session
  EXPECT_EQ("1", count(other));
}

TEST_F(TransactionTest, a_nowait_request_for_a_locked_row_fails_at_once_until_the_holder_commits) {
  must_run("INSERT INTO A VALUES (1)");
  must_run("COMMIT");
  must_run("SELECT N FROM A WHERE N = 1 FOR UPDATE");
  EXPECT_EQ(OCI_ERROR, run("SELECT N FROM A WHERE N = 1 FOR UPDATE NOWAIT", other));
  EXPECT_EQ(54, last_code());
  EXPECT_EQ("ORA-00054: resource busy and acquire with NOWAIT specified or timeout expired\n", last_error());
  must_run("SELECT N FROM A WHERE N = 1 FOR UPDATE NOWAIT") ;  // the holder may lock again
  ASSERT_EQ(OCI_SUCCESS, OCITransCommit(svc, err, OCI_DEFAULT));
  EXPECT_EQ(OCI_SUCCESS, run("SELECT N FROM A WHERE N = 1 FOR UPDATE NOWAIT", other)) << last_error();
  ::setenv("OCIEMU_LOCK_TIMEOUT_MS", "0", 1);
  EXPECT_EQ(OCI_ERROR, run("UPDATE A SET N = 2", svc)) << "rows locked by the other session";
  ::unsetenv("OCIEMU_LOCK_TIMEOUT_MS");
  EXPECT_EQ(54, last_code());
  ASSERT_EQ(OCI_SUCCESS, OCITransRollback(other, err, OCI_DEFAULT));
  EXPECT_EQ(OCI_SUCCESS, run("UPDATE A SET N = 2", svc)) << last_error();
}

TEST_F(TransactionTest, rows_changed_but_not_committed_refuse_another_sessions_nowait_lock) {
  must_run("INSERT INTO A VALUES (1)");
  must_run("INSERT INTO A VALUES (2)");
  must_run("INSERT INTO A VALUES (3)");
  must_run("COMMIT");
  must_run("UPDATE A SET N = 10 WHERE N = 1");
  must_run("DELETE FROM A WHERE N = 2");
  for (const char* sql : {"SELECT N FROM A WHERE N = 1 FOR UPDATE NOWAIT", "SELECT N FROM A WHERE N = 2 FOR UPDATE NOWAIT"}) {
    EXPECT_EQ(OCI_ERROR, run(sql, other)) << sql;
    EXPECT_EQ(54, last_code());
  }
  // An untouched row is free, and the changed ones are free once the change ends.
  EXPECT_EQ(OCI_SUCCESS, run("SELECT N FROM A WHERE N = 3 FOR UPDATE NOWAIT", other)) << last_error();
  ASSERT_EQ(OCI_SUCCESS, OCITransRollback(other, err, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCITransRollback(svc, err, OCI_DEFAULT));
  EXPECT_EQ(OCI_SUCCESS, run("SELECT N FROM A WHERE N = 1 FOR UPDATE NOWAIT", other)) << last_error();
  EXPECT_EQ(OCI_SUCCESS, run("SELECT N FROM A WHERE N = 2 FOR UPDATE NOWAIT", other)) << last_error();
}

// A DELETE without WHERE removes the rows one by one, so another session's row lock holds.
TEST_F(TransactionTest, a_delete_of_every_row_is_refused_a_row_another_session_locked) {
  must_run("INSERT INTO A VALUES (1)");
  must_run("INSERT INTO A VALUES (2)");
  must_run("COMMIT");
  must_run("SELECT N FROM A WHERE N = 2 FOR UPDATE", other);
  ::setenv("OCIEMU_LOCK_TIMEOUT_MS", "0", 1);
  EXPECT_EQ(OCI_ERROR, run("DELETE FROM A"));
  ::unsetenv("OCIEMU_LOCK_TIMEOUT_MS");
  EXPECT_EQ(54, last_code());
  EXPECT_EQ("2", count(svc)) << "the refused delete is undone";
  ASSERT_EQ(OCI_SUCCESS, OCITransRollback(other, err, OCI_DEFAULT));
  must_run("DELETE FROM A");
  EXPECT_EQ("0", count(svc));
}

TEST_F(TransactionTest, a_second_writer_on_another_table_waits_for_the_first_to_end) {
  must_run("CREATE TABLE B (X NUMBER)");
  must_run("INSERT INTO A VALUES (1)");
  sword second = OCI_ERROR;
  std::thread writer([&] { second = run_committed(other, "INSERT INTO B VALUES (2)"); });
  ASSERT_EQ(OCI_SUCCESS, OCITransCommit(svc, err, OCI_DEFAULT));
  writer.join();
  EXPECT_EQ(OCI_SUCCESS, second) << "the second writer waits rather than failing";
  EXPECT_EQ("2", single_text("SELECT X FROM B"));
  EXPECT_EQ("1", count(other));
}

TEST_F(TransactionTest, an_update_of_a_locked_row_waits_for_the_holder_and_then_applies) {
  must_run("INSERT INTO A VALUES (1)");
  must_run("COMMIT");
  must_run("SELECT N FROM A FOR UPDATE", other);
  sword waiting_result = OCI_ERROR;
  std::thread waiter([&] { waiting_result = run_committed(svc, "UPDATE A SET N = 5"); });
  must_run("UPDATE A SET N = 3", other);  // the holder can still change its rows
  ASSERT_EQ(OCI_SUCCESS, OCITransCommit(other, err, OCI_DEFAULT));
  waiter.join();
  EXPECT_EQ(OCI_SUCCESS, waiting_result);
  EXPECT_EQ("5", single_text("SELECT N FROM A", other));
}

}  // namespace
}  // namespace ociemu::testing
