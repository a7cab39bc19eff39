// One session per thread under OCI_THREADED, all on one database file.
#include <future>
#include <thread>

#include "oci_test_support.h"

namespace ociemu::testing {
namespace {

using ThreadTest = OciTest;

TEST_F(ThreadTest, sessions_in_parallel_threads_each_commit_their_own_rows) {
  must_run("CREATE TABLE P (T NUMBER, I NUMBER)");
  constexpr int kThreads = 4, kRows = 50;
  std::vector<std::thread> threads;
  std::vector<int> failures(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      OCIError* thread_err = nullptr;
      OCISvcCtx* thread_svc = nullptr;
      OCIHandleAlloc(env, reinterpret_cast<void**>(&thread_err), OCI_HTYPE_ERROR, 0, nullptr);
      std::string user = "SCOTT", password = "tiger";
      if (OCILogon(env, thread_err, &thread_svc, text(user), len(user), text(password), len(password),
                   text(database), len(database)) != OCI_SUCCESS) {
        ++failures[size_t(t)];
        return;
      }
      OCIStmt* stmt = nullptr;
      OCIHandleAlloc(env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
      std::string sql = "INSERT INTO P VALUES (:T, :I)";
      OCIStmtPrepare(stmt, thread_err, text(sql), len(sql), OCI_NTV_SYNTAX, OCI_DEFAULT);
      int thread_number = t, row = 0;
      OCIBind* binds[2] = {};
      OCIBindByPos(stmt, &binds[0], thread_err, 1, &thread_number, sizeof(int), SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0);
      OCIBindByPos(stmt, &binds[1], thread_err, 2, &row, sizeof(int), SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0);
      for (row = 0; row < kRows; ++row) {
        if (OCIStmtExecute(thread_svc, stmt, thread_err, 1, 0, nullptr, nullptr, OCI_COMMIT_ON_SUCCESS) != OCI_SUCCESS) {
          ++failures[size_t(t)];
        }
      }
      OCIHandleFree(stmt, OCI_HTYPE_STMT);
      OCILogoff(thread_svc, thread_err);
      OCIHandleFree(thread_err, OCI_HTYPE_ERROR);
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(std::vector<int>(kThreads, 0), failures);
  EXPECT_EQ(std::to_string(kThreads * kRows), single_text("SELECT COUNT(*) FROM P"));
  EXPECT_EQ(std::to_string(kThreads), single_text("SELECT COUNT(DISTINCT T) FROM P"));
}

// The layer's fault tests kill a session from a test thread while a query
// thread is using it; the kill must be seen, once, without a data race.
TEST_F(ThreadTest, a_session_killed_from_another_thread_fails_its_next_call_with_03113_then_03114) {
  OCISvcCtx* victim = logon("SCOTT", "tiger");
  ASSERT_NE(nullptr, victim);
  std::promise<void> first_call_done;
  std::vector<sb4> codes;
  std::thread worker([&] {
    OCIError* thread_err = nullptr;
    OCIStmt* stmt = nullptr;
    OCIHandleAlloc(env, reinterpret_cast<void**>(&thread_err), OCI_HTYPE_ERROR, 0, nullptr);
    OCIHandleAlloc(env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
    std::string sql = "SELECT COUNT(*) FROM DEPT";
    OCIStmtPrepare(stmt, thread_err, text(sql), len(sql), OCI_NTV_SYNTAX, OCI_DEFAULT);
    bool signalled = false;
    while (codes.size() < 2) {
      if (OCIStmtExecute(victim, stmt, thread_err, 0, 0, nullptr, nullptr, OCI_DEFAULT) != OCI_SUCCESS) {
        sb4 code = 0;
        OraText message[512];
        OCIErrorGet(thread_err, 1, nullptr, &code, message, sizeof message, OCI_HTYPE_ERROR);
        codes.push_back(code);
      }
      if (!signalled) first_call_done.set_value();
      signalled = true;
    }
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    OCIHandleFree(thread_err, OCI_HTYPE_ERROR);
  });
  first_call_done.get_future().wait();
  EXPECT_EQ(0, ociemu_kill_session(victim));
  worker.join();
  EXPECT_EQ((std::vector<sb4>{3113, 3114}), codes);
  EXPECT_EQ("4", single_text("SELECT COUNT(*) FROM DEPT")) << "other sessions keep working";
}

}  // namespace
}  // namespace ociemu::testing
