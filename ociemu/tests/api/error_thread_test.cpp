// Threads of one OCI_THREADED environment failing at the same time: every message read back is
// one whole message, also when the threads share an error handle or a session, and a statement a
// thread leaves open halfway through its rows disturbs no one.
#include <algorithm>
#include <thread>

#include "oci_test_support.h"

namespace ociemu::testing {
namespace {

constexpr const char* kDivide = "declare x number; begin x := 1 / 0; end;";
constexpr const char* kRaise = "begin raise_application_error(-20001, 'second thread'); end;";
constexpr int kRounds = 150;

class ErrorThreadTest : public OciTest {
 protected:
  OCIError* new_error_handle() {
    OCIError* handle = nullptr;
    OCIHandleAlloc(env, reinterpret_cast<void**>(&handle), OCI_HTYPE_ERROR, 0, nullptr);
    return handle;
  }

  // Runs sql, which must fail, and answers the first record as OCIErrorGet gives it (up to a NUL).
  std::string failure(OCISvcCtx* on, OCIError* errors, const std::string& sql) {
    OCIStmt* stmt = nullptr;
    OCIHandleAlloc(env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
    OCIStmtPrepare(stmt, errors, text(sql), len(sql), OCI_NTV_SYNTAX, OCI_DEFAULT);
    const sword rc = OCIStmtExecute(on, stmt, errors, 1, 0, nullptr, nullptr, OCI_DEFAULT);
    char message[1024] = {};
    sb4 code = 0;
    OCIErrorGet(errors, 1, nullptr, &code, reinterpret_cast<OraText*>(message), sizeof message, OCI_HTYPE_ERROR);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return rc == OCI_ERROR ? std::string(message) : "succeeded";
  }

  // Each round's message that is neither of `expected`, from `rounds` failures of sql.
  std::vector<std::string> stray_messages(OCISvcCtx* on, OCIError* errors, const std::string& sql,
                                          const std::vector<std::string>& expected) {
    std::vector<std::string> stray;
    for (int round = 0; round < kRounds; ++round) {
      std::string message = failure(on, errors, sql);
      if (std::find(expected.begin(), expected.end(), message) == expected.end()) stray.push_back(std::move(message));
    }
    return stray;
  }
};

TEST_F(ErrorThreadTest, threads_failing_at_once_read_whole_messages_on_own_and_shared_error_handles) {
  OCISvcCtx* second = logon("SCOTT", "tiger");
  ASSERT_NE(nullptr, second);
  const std::string divided = failure(svc, err, kDivide), raised = failure(second, err, kRaise);
  ASSERT_EQ(0u, divided.find("ORA-01476: divisor is equal to zero\nORA-06512: at line 1")) << divided;
  ASSERT_EQ(0u, raised.find("ORA-20001: second thread\nORA-06512: at line 1")) << raised;

  OCIError* own = new_error_handle();
  std::vector<std::string> first_stray, second_stray;
  std::thread other([&] { second_stray = stray_messages(second, own, kRaise, {raised}); });
  first_stray = stray_messages(svc, err, kDivide, {divided});
  other.join();
  EXPECT_EQ(std::vector<std::string>{}, first_stray);
  EXPECT_EQ(std::vector<std::string>{}, second_stray);

  // Sharing one error handle, a thread may read the other's message, or none when the other's
  // next call has just cleared the records, but never a torn one.
  other = std::thread([&] { second_stray = stray_messages(second, err, kRaise, {raised, divided, ""}); });
  first_stray = stray_messages(svc, err, kDivide, {divided, raised, ""});
  other.join();
  EXPECT_EQ(std::vector<std::string>{}, first_stray);
  EXPECT_EQ(std::vector<std::string>{}, second_stray);
  OCIHandleFree(own, OCI_HTYPE_ERROR);
  OCILogoff(second, err);
}

TEST_F(ErrorThreadTest, a_statement_abandoned_halfway_leaves_its_session_usable_by_another_thread) {
  const std::string divided = failure(svc, err, kDivide);
  std::thread abandoning([&] {
    OCIError* errors = new_error_handle();
    OCIStmt* stmt = nullptr;
    OCIHandleAlloc(env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
    const std::string sql = "SELECT level FROM dual CONNECT BY level <= 500";
    OCIStmtPrepare(stmt, errors, text(sql), len(sql), OCI_NTV_SYNTAX, OCI_DEFAULT);
    int value = 0;
    OCIDefine* define = nullptr;
    OCIDefineByPos(stmt, &define, errors, 1, &value, sizeof value, SQLT_INT, nullptr, nullptr, nullptr, OCI_DEFAULT);
    for (int round = 0; round < 20; ++round) {
      OCIStmtExecute(svc, stmt, errors, 1, 0, nullptr, nullptr, OCI_DEFAULT);  // each execute leaves rows unread
    }
    // Neither the statement nor its error handle is freed: the environment reclaims them.
  });
  OCIError* errors = new_error_handle();
  const std::vector<std::string> stray = stray_messages(svc, errors, kDivide, {divided});
  abandoning.join();
  EXPECT_EQ(std::vector<std::string>{}, stray);
  EXPECT_EQ("500", single_text("SELECT count(*) FROM (SELECT level FROM dual CONNECT BY level <= 500)"));
  OCIHandleFree(errors, OCI_HTYPE_ERROR);
}

}  // namespace
}  // namespace ociemu::testing
