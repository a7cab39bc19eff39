// Environments, handles, logon paths, errors, version banners and test hooks.
#include "oci_test_support.h"

namespace ociemu::testing {
namespace {

class ConnectTest : public OciTest {
 protected:
  // The handles of a logon made handle by handle, the server attached to this test's database.
  struct SessionHandles {
    OCIServer* server = nullptr;
    OCISvcCtx* context = nullptr;
    OCISession* session = nullptr;
  };

  SessionHandles attach_handles() {
    SessionHandles made;
    EXPECT_EQ(OCI_SUCCESS, OCIHandleAlloc(env, reinterpret_cast<void**>(&made.server), OCI_HTYPE_SERVER, 0, nullptr));
    EXPECT_EQ(OCI_SUCCESS, OCIHandleAlloc(env, reinterpret_cast<void**>(&made.context), OCI_HTYPE_SVCCTX, 0, nullptr));
    EXPECT_EQ(OCI_SUCCESS, OCIHandleAlloc(env, reinterpret_cast<void**>(&made.session), OCI_HTYPE_SESSION, 0, nullptr));
    EXPECT_EQ(OCI_SUCCESS,
              OCIServerAttach(made.server, err, text(database), static_cast<sb4>(database.size()), OCI_DEFAULT));
    return made;
  }
};

TEST_F(ConnectTest, a_wrong_password_is_refused_with_ora_01017_and_no_service_context) {
  EXPECT_EQ(nullptr, logon("SCOTT", "LION"));
  EXPECT_EQ(1017, last_code());
  EXPECT_EQ("ORA-01017: invalid username/password; logon denied\n", last_error());
}

TEST_F(ConnectTest, an_unknown_alias_fails_with_ora_12154) {
  ::unsetenv("OCIEMU_ALIASES");
  database = "NOSUCHALIAS";
  EXPECT_EQ(nullptr, logon("SCOTT", "tiger"));
  EXPECT_EQ(12154, last_code());
}

TEST_F(ConnectTest, an_alias_file_names_the_database) {
  std::string aliases = database + ".aliases";
  {
    FILE* file = std::fopen(aliases.c_str(), "w");
    ASSERT_NE(nullptr, file);
    std::fprintf(file, "# test aliases\nOTHER = /nowhere.db\nTESTDB = %s\n", database.c_str());
    std::fclose(file);
  }
  ::setenv("OCIEMU_ALIASES", aliases.c_str(), 1);
  database = "testdb";
  OCISvcCtx* second = logon("scott", "tiger");
  ::unsetenv("OCIEMU_ALIASES");
  ASSERT_NE(nullptr, second) << last_error();
  EXPECT_EQ("SMITH", single_text("SELECT ENAME FROM EMP WHERE EMPNO = 7369", second));
}

TEST_F(ConnectTest, the_handle_by_handle_logon_path_reads_credentials_from_the_session_attributes) {
  auto [server, context, session] = attach_handles();
  ub4 status = 99;
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(server, OCI_HTYPE_SERVER, &status, nullptr, OCI_ATTR_SERVER_STATUS, err));
  EXPECT_EQ(OCI_SERVER_NORMAL, status);
  ASSERT_EQ(OCI_SUCCESS, OCIAttrSet(context, OCI_HTYPE_SVCCTX, server, 0, OCI_ATTR_SERVER, err));
  std::string user = "SCOTT", wrong = "TIGER", right = "tiger";
  OCIAttrSet(session, OCI_HTYPE_SESSION, const_cast<char*>(user.c_str()), len(user), OCI_ATTR_USERNAME, err);
  OCIAttrSet(session, OCI_HTYPE_SESSION, const_cast<char*>(wrong.c_str()), len(wrong), OCI_ATTR_PASSWORD, err);
  EXPECT_EQ(OCI_ERROR, OCISessionBegin(context, err, session, OCI_CRED_RDBMS, OCI_DEFAULT)) << "passwords are case-sensitive";
  OCIAttrSet(session, OCI_HTYPE_SESSION, const_cast<char*>(right.c_str()), len(right), OCI_ATTR_PASSWORD, err);
  ASSERT_EQ(OCI_SUCCESS, OCISessionBegin(context, err, session, OCI_CRED_RDBMS, OCI_DEFAULT)) << last_error();
  OCISession* attached = nullptr;
  OCIAttrGet(context, OCI_HTYPE_SVCCTX, &attached, nullptr, OCI_ATTR_SESSION, err);
  EXPECT_EQ(session, attached);
  EXPECT_EQ("10", single_text("SELECT MIN(DEPTNO) FROM DEPT", context));
  EXPECT_EQ(OCI_SUCCESS, OCISessionEnd(context, err, session, OCI_DEFAULT));
  EXPECT_EQ(OCI_ERROR, run("SELECT 1 FROM DEPT", context));
  EXPECT_EQ(1012, last_code());
  EXPECT_EQ(OCI_SUCCESS, OCIServerDetach(server, err, OCI_DEFAULT));
}

TEST_F(ConnectTest, what_the_application_says_of_itself_reaches_sys_context_and_reads_back) {
  OCISession* session = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(svc, OCI_HTYPE_SVCCTX, &session, nullptr, OCI_ATTR_SESSION, err));
  auto user_env = [&](const std::string& item) {
    return single_text("SELECT sys_context('USERENV', '" + item + "') FROM dual");
  };
  for (const char* item : {"MODULE", "ACTION", "CLIENT_INFO", "CLIENT_IDENTIFIER", "PROXY_USER", "CLOUD_SERVICE"})
    EXPECT_EQ("<null>", user_env(item)) << item;
  const std::pair<ub4, std::string> settings[] = {{OCI_ATTR_MODULE, "billing"}, {OCI_ATTR_ACTION, "month end"},
                                                  {OCI_ATTR_CLIENT_INFO, "desk 4"},
                                                  {OCI_ATTR_CLIENT_IDENTIFIER, "alice"}};
  for (const auto& [attribute, value] : settings) {
    ASSERT_EQ(OCI_SUCCESS, OCIAttrSet(session, OCI_HTYPE_SESSION, const_cast<char*>(value.c_str()), len(value),
                                      attribute, err));
  }
  EXPECT_EQ("billing/month end/desk 4/alice",
            single_text("SELECT sys_context('USERENV', 'MODULE') || '/' || sys_context('userenv', 'action') || '/' || "
                        "sys_context('USERENV', 'CLIENT_INFO') || '/' || sys_context('USERENV', 'CLIENT_IDENTIFIER') "
                        "FROM dual"));
  OraText* read = nullptr;
  ub4 size = 0;
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(session, OCI_HTYPE_SESSION, &read, &size, OCI_ATTR_MODULE, err));
  EXPECT_EQ("billing", std::string(reinterpret_cast<char*>(read), size));
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(session, OCI_HTYPE_SESSION, &read, &size, OCI_ATTR_CURRENT_SCHEMA, err));
  EXPECT_EQ("", std::string(reinterpret_cast<char*>(read), size)) << "empty until set";
  std::string schema = "sys";
  ASSERT_EQ(OCI_SUCCESS, OCIAttrSet(session, OCI_HTYPE_SESSION, const_cast<char*>(schema.c_str()), len(schema),
                                    OCI_ATTR_CURRENT_SCHEMA, err));
  EXPECT_EQ(OCI_ERROR, run("SELECT * FROM emp")) << "names resolve in the new schema";
  EXPECT_EQ(942, last_code());
  EXPECT_EQ("SYS", user_env("CURRENT_SCHEMA"));
  schema = "nobody_here";
  ASSERT_EQ(OCI_SUCCESS, OCIAttrSet(session, OCI_HTYPE_SESSION, const_cast<char*>(schema.c_str()), len(schema),
                                    OCI_ATTR_CURRENT_SCHEMA, err));
  EXPECT_EQ(OCI_ERROR, run("SELECT 1 FROM dual")) << "the next call brings the unknown schema to the server";
  EXPECT_EQ(1435, last_code());
  EXPECT_EQ("SYS", user_env("CURRENT_SCHEMA")) << "the schema before stays in force";
  must_run("ALTER SESSION SET CURRENT_SCHEMA = scott");
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(session, OCI_HTYPE_SESSION, &read, &size, OCI_ATTR_CURRENT_SCHEMA, err));
  EXPECT_EQ("SCOTT", std::string(reinterpret_cast<char*>(read), size)) << "the statement's schema reads back";
  ub4 cursors = 0;
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(session, OCI_HTYPE_SESSION, &cursors, nullptr, OCI_ATTR_MAX_OPEN_CURSORS, err));
  EXPECT_GT(cursors, 0u);
  ub4 timeout = 2500, timeout_read = 0;
  ASSERT_EQ(OCI_SUCCESS, OCIAttrSet(svc, OCI_HTYPE_SVCCTX, &timeout, 0, OCI_ATTR_CALL_TIMEOUT, err));
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(svc, OCI_HTYPE_SVCCTX, &timeout_read, nullptr, OCI_ATTR_CALL_TIMEOUT, err));
  EXPECT_EQ(2500u, timeout_read);
  OCIServer* server = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(svc, OCI_HTYPE_SVCCTX, &server, nullptr, OCI_ATTR_SERVER, err));
  for (ub4 attribute : {OCI_ATTR_DBNAME, OCI_ATTR_INSTNAME, OCI_ATTR_SERVICENAME}) {
    ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(server, OCI_HTYPE_SERVER, &read, &size, attribute, err)) << attribute;
    EXPECT_EQ(user_env("DB_NAME"), std::string(reinterpret_cast<char*>(read), size)) << attribute;
  }
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(server, OCI_HTYPE_SERVER, &read, &size, OCI_ATTR_DBDOMAIN, err));
  EXPECT_EQ(0u, size);
  EXPECT_EQ("<null>", user_env("DB_DOMAIN"));
}

TEST_F(ConnectTest, freed_and_foreign_handles_are_reported_as_invalid) {
  OCIStmt* stmt = prepare("SELECT 1 FROM DEPT");
  ASSERT_EQ(OCI_SUCCESS, OCIHandleFree(stmt, OCI_HTYPE_STMT));
  EXPECT_EQ(OCI_INVALID_HANDLE, OCIHandleFree(stmt, OCI_HTYPE_STMT));
  EXPECT_EQ(OCI_INVALID_HANDLE, OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DEFAULT));
  EXPECT_EQ(OCI_INVALID_HANDLE, OCIStmtExecute(svc, reinterpret_cast<OCIStmt*>(err), err, 0, 0, nullptr, nullptr, 0));
  int not_a_handle = 0;
  EXPECT_EQ(OCI_INVALID_HANDLE, OCIHandleAlloc(&not_a_handle, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr));
  EXPECT_EQ(OCI_INVALID_HANDLE, OCIErrorGet(svc, 1, nullptr, nullptr, nullptr, 0, OCI_HTYPE_ERROR));
}

TEST_F(ConnectTest, error_records_end_with_no_data_and_a_fresh_call_clears_them) {
  EXPECT_EQ(OCI_ERROR, run("SELECT * FROM NO_SUCH_TABLE"));
  sb4 code = 0;
  OraText buffer[64];
  EXPECT_EQ(OCI_SUCCESS, OCIErrorGet(err, 1, nullptr, &code, buffer, sizeof buffer, OCI_HTYPE_ERROR));
  EXPECT_EQ(942, code);
  EXPECT_EQ(OCI_NO_DATA, OCIErrorGet(err, 2, nullptr, &code, buffer, sizeof buffer, OCI_HTYPE_ERROR));
  OraText tiny[8];
  EXPECT_EQ(OCI_SUCCESS, OCIErrorGet(err, 1, nullptr, &code, tiny, sizeof tiny, OCI_HTYPE_ERROR));
  EXPECT_STREQ("ORA-009", reinterpret_cast<char*>(tiny)) << "cut to the buffer and terminated";
  must_run("SELECT 1 FROM DEPT");
  EXPECT_EQ(OCI_NO_DATA, OCIErrorGet(err, 1, nullptr, &code, buffer, sizeof buffer, OCI_HTYPE_ERROR));
}

TEST_F(ConnectTest, the_server_banner_is_19c_unless_the_hook_asks_for_oracle_7) {
  OraText banner[256];
  ASSERT_EQ(OCI_SUCCESS, OCIServerVersion(svc, err, banner, sizeof banner, OCI_HTYPE_SVCCTX));
  EXPECT_NE(nullptr, std::strstr(reinterpret_cast<char*>(banner), "19c"));
  ociemu_report_oracle7(1);
  ASSERT_EQ(OCI_SUCCESS, OCIServerVersion(svc, err, banner, sizeof banner, OCI_HTYPE_SVCCTX));
  ociemu_report_oracle7(0);
  EXPECT_EQ(0, std::strncmp(reinterpret_cast<char*>(banner), "Oracle7", 7));
}

TEST_F(ConnectTest, a_killed_session_fails_with_03113_then_03114_and_loses_its_work) {
  OCISvcCtx* other = logon("SCOTT", "tiger");
  ASSERT_NE(nullptr, other);
  must_run("INSERT INTO DEPT VALUES (50, 'LOST', 'NOWHERE')");
  ASSERT_EQ(0, ociemu_kill_session(svc));
  EXPECT_EQ(OCI_ERROR, run("SELECT 1 FROM DEPT"));
  EXPECT_EQ(3113, last_code());
  EXPECT_EQ(OCI_ERROR, OCITransCommit(svc, err, OCI_DEFAULT));
  EXPECT_EQ(3114, last_code());
  EXPECT_EQ("0", single_text("SELECT COUNT(*) FROM DEPT WHERE DEPTNO = 50", other));
  EXPECT_EQ(-1, ociemu_kill_session(err));
}

TEST_F(ConnectTest, ending_a_killed_session_reports_the_lost_connection_and_a_new_session_can_begin) {
  auto [server, context, session] = attach_handles();
  ASSERT_EQ(OCI_SUCCESS, OCIAttrSet(context, OCI_HTYPE_SVCCTX, server, 0, OCI_ATTR_SERVER, err));
  std::string user = "SCOTT", password = "tiger";
  OCIAttrSet(session, OCI_HTYPE_SESSION, const_cast<char*>(user.c_str()), len(user), OCI_ATTR_USERNAME, err);
  OCIAttrSet(session, OCI_HTYPE_SESSION, const_cast<char*>(password.c_str()), len(password), OCI_ATTR_PASSWORD, err);
  ASSERT_EQ(OCI_SUCCESS, OCISessionBegin(context, err, session, OCI_CRED_RDBMS, OCI_DEFAULT)) << last_error();
  must_run("INSERT INTO DEPT VALUES (60, 'LOST', 'NOWHERE')", context);
  ASSERT_EQ(0, ociemu_kill_session(context));
  EXPECT_EQ(OCI_ERROR, OCISessionEnd(context, err, session, OCI_DEFAULT));
  EXPECT_EQ(3113, last_code());
  EXPECT_EQ("0", single_text("SELECT COUNT(*) FROM DEPT WHERE DEPTNO = 60"));
  ASSERT_EQ(OCI_SUCCESS, OCISessionBegin(context, err, session, OCI_CRED_RDBMS, OCI_DEFAULT)) << last_error();
  EXPECT_EQ("10", single_text("SELECT MIN(DEPTNO) FROM DEPT", context));
  EXPECT_EQ(OCI_SUCCESS, OCISessionEnd(context, err, session, OCI_DEFAULT));
  EXPECT_EQ(OCI_SUCCESS, OCIServerDetach(server, err, OCI_DEFAULT));
  for (auto [handle, type] : {std::pair<void*, ub4>{session, OCI_HTYPE_SESSION}, {context, OCI_HTYPE_SVCCTX},
                              {server, OCI_HTYPE_SERVER}}) {
    EXPECT_EQ(OCI_SUCCESS, OCIHandleFree(handle, type));
  }
}

TEST_F(ConnectTest, an_injected_failure_hits_the_next_call_of_that_entry_only) {
  ociemu_fail_next("OCIStmtExecute", 3135);
  EXPECT_EQ(OCI_ERROR, run("SELECT 1 FROM DEPT"));
  EXPECT_EQ(3135, last_code());
  EXPECT_EQ(OCI_SUCCESS, run("SELECT 1 FROM DEPT"));
  ociemu_fail_next("OCITransCommit", 1);
  ociemu_fail_next(nullptr, 0);
  EXPECT_EQ(OCI_SUCCESS, OCITransCommit(svc, err, OCI_DEFAULT));
}

TEST_F(ConnectTest, entries_left_for_later_answer_ora_03001_through_the_error_handle) {
  EXPECT_EQ(OCI_ERROR, OCIDirPathAbort(nullptr, err));
  EXPECT_EQ(3001, last_code());
  EXPECT_EQ(OCI_ERROR, OCIDirPathAbort(nullptr, err));
  EXPECT_EQ(3001, last_code());
}

TEST_F(ConnectTest, a_password_change_takes_effect_for_the_next_logon) {
  std::string user = "SCOTT", old_password = "tiger", new_password = "PANTHER";
  ASSERT_EQ(OCI_SUCCESS, OCIPasswordChange(svc, err, text(user), len(user), text(old_password), len(old_password),
                                           text(new_password), len(new_password), OCI_DEFAULT)) << last_error();
  EXPECT_EQ(nullptr, logon("SCOTT", "tiger"));
  EXPECT_NE(nullptr, logon("SCOTT", "PANTHER"));
}

}  // namespace
}  // namespace ociemu::testing
