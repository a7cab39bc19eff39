// What the call interface adds to the dialect's statements: warnings at
// logon, RETURNING values in out binds, rowids round-tripping through binds,
// dates as text in the session's format, and constraint errors as records.
#include "oci_test_support.h"

namespace ociemu::testing {
namespace {

using DialectPathTest = OciTest;

TEST_F(DialectPathTest, the_grace_period_warns_and_an_expired_password_must_be_changed_at_logon) {
  must_run("CREATE USER ALICE IDENTIFIED BY Secret1");
  must_run("ALTER USER ALICE PASSWORD GRACE 3");
  OCISvcCtx* alice = nullptr;
  std::string user = "ALICE", password = "Secret1";
  EXPECT_EQ(OCI_SUCCESS_WITH_INFO, OCILogon(env, err, &alice, text(user), len(user), text(password), len(password),
                                            text(database), len(database)));
  EXPECT_EQ(28002, last_code());
  EXPECT_EQ("ORA-28002: the password will expire within 3 days\n", last_error());
  ASSERT_NE(nullptr, alice);
  EXPECT_EQ("ALICE", single_text("SELECT USER FROM DUAL", alice));

  must_run("ALTER USER ALICE PASSWORD EXPIRE");
  EXPECT_EQ(nullptr, logon("ALICE", "Secret1"));
  EXPECT_EQ(28001, last_code());

  // The way back in: change the password while logging on.
  OCIServer* server = nullptr;
  OCISvcCtx* context = nullptr;
  OCISession* session = nullptr;
  OCIHandleAlloc(env, reinterpret_cast<void**>(&server), OCI_HTYPE_SERVER, 0, nullptr);
  OCIHandleAlloc(env, reinterpret_cast<void**>(&context), OCI_HTYPE_SVCCTX, 0, nullptr);
  OCIHandleAlloc(env, reinterpret_cast<void**>(&session), OCI_HTYPE_SESSION, 0, nullptr);
  ASSERT_EQ(OCI_SUCCESS, OCIServerAttach(server, err, text(database), static_cast<sb4>(database.size()), 0));
  OCIAttrSet(context, OCI_HTYPE_SVCCTX, server, 0, OCI_ATTR_SERVER, err);
  OCIAttrSet(context, OCI_HTYPE_SVCCTX, session, 0, OCI_ATTR_SESSION, err);
  std::string fresh = "Secret2";
  ASSERT_EQ(OCI_SUCCESS, OCIPasswordChange(context, err, text(user), len(user), text(password), len(password),
                                           text(fresh), len(fresh), OCI_AUTH)) << last_error();
  EXPECT_EQ("ALICE", single_text("SELECT USER FROM DUAL", context));
  EXPECT_NE(nullptr, logon("ALICE", "Secret2"));
}

TEST_F(DialectPathTest, returning_into_fills_the_out_binds_of_every_iteration) {
  must_run("CREATE SEQUENCE IDS START WITH 100");
  must_run("CREATE TABLE R (ID NUMBER PRIMARY KEY, NAME VARCHAR2(10))");
  OCIStmt* stmt = prepare("INSERT INTO R VALUES (IDS.NEXTVAL, :NAME) RETURNING ID, UPPER(NAME) INTO :ID, :UPPER_NAME");
  char names[3][10] = {"ann", "bob", "cy"};
  int ids[3] = {};
  char upper_names[3][11] = {};
  sb2 upper_indicators[3] = {};
  OCIBind* binds[3] = {};
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &binds[0], err, text(":NAME"), 5, names, 10, SQLT_STR, nullptr, nullptr,
                                       nullptr, 0, nullptr, 0));
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &binds[1], err, text(":ID"), 3, ids, sizeof(int), SQLT_INT, nullptr,
                                       nullptr, nullptr, 0, nullptr, 0));
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &binds[2], err, text(":UPPER_NAME"), 11, upper_names, 11, SQLT_STR,
                                       upper_indicators, nullptr, nullptr, 0, nullptr, 0));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 3, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  EXPECT_EQ(100, ids[0]);
  EXPECT_EQ(102, ids[2]);
  EXPECT_STREQ("BOB", upper_names[1]);
  ub4 returned = 0;
  OCIAttrGet(binds[1], OCI_HTYPE_BIND, &returned, nullptr, OCI_ATTR_ROWS_RETURNED, err);
  EXPECT_EQ(3u, returned);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(DialectPathTest, a_rowid_after_dml_finds_its_row_again_after_an_update) {
  must_run("CREATE TABLE W (ID NUMBER, NAME VARCHAR2(10))");
  must_run("INSERT INTO W VALUES (1, 'one')");
  OCIStmt* insert = prepare("INSERT INTO W VALUES (2, 'two')");
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, insert, err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
  OCIRowid* rowid = nullptr;
  OCIDescriptorAlloc(env, reinterpret_cast<void**>(&rowid), OCI_DTYPE_ROWID, 0, nullptr);
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(insert, OCI_HTYPE_STMT, rowid, nullptr, OCI_ATTR_ROWID, err));
  OCIHandleFree(insert, OCI_HTYPE_STMT);
  must_run("UPDATE W SET NAME = 'TWO' WHERE ID = 2");

  OCIStmt* query = prepare("SELECT NAME, ROWID FROM W WHERE ROWID = :R");
  OCIBind* bind = nullptr;
  OCIBindByPos(query, &bind, err, 1, &rowid, sizeof rowid, SQLT_RDD, nullptr, nullptr, nullptr, 0, nullptr, 0);
  char name[11] = {}, rowid_text[19] = {};
  OCIDefine* defines[2] = {};
  OCIDefineByPos(query, &defines[0], err, 1, name, sizeof name, SQLT_STR, nullptr, nullptr, nullptr, 0);
  OCIDefineByPos(query, &defines[1], err, 2, rowid_text, sizeof rowid_text, SQLT_STR, nullptr, nullptr, nullptr, 0);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, query, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  EXPECT_STREQ("TWO", name);
  EXPECT_EQ(18u, std::strlen(rowid_text));
  OCIHandleFree(query, OCI_HTYPE_STMT);
  OCIDescriptorFree(rowid, OCI_DTYPE_ROWID);
}

TEST_F(DialectPathTest, dates_fetch_as_text_in_the_session_format) {
  EXPECT_EQ("17-DEC-80", single_text("SELECT HIREDATE FROM EMP WHERE EMPNO = 7369"));
  must_run("ALTER SESSION SET NLS_DATE_FORMAT = 'YYYY-MM-DD HH24:MI:SS'");
  EXPECT_EQ("1980-12-17 00:00:00", single_text("SELECT HIREDATE FROM EMP WHERE EMPNO = 7369"));
  EXPECT_EQ("1980-12-18 00:00:00", single_text("SELECT HIREDATE + 1 FROM EMP WHERE EMPNO = 7369"));
}

TEST_F(DialectPathTest, timestamps_bind_and_fetch_through_datetime_descriptors) {
  must_run("CREATE TABLE TS (T TIMESTAMP)");
  OCIDateTime* in = nullptr;
  OCIDateTime* out = nullptr;
  OCIDescriptorAlloc(env, reinterpret_cast<void**>(&in), OCI_DTYPE_TIMESTAMP, 0, nullptr);
  OCIDescriptorAlloc(env, reinterpret_cast<void**>(&out), OCI_DTYPE_TIMESTAMP, 0, nullptr);
  ASSERT_EQ(OCI_SUCCESS, OCIDateTimeConstruct(env, err, in, 2024, 2, 29, 13, 14, 15, 123456000, nullptr, 0));
  OCIStmt* insert = prepare("INSERT INTO TS VALUES (:T)");
  OCIBind* bind = nullptr;
  OCIBindByPos(insert, &bind, err, 1, &in, sizeof in, SQLT_TIMESTAMP, nullptr, nullptr, nullptr, 0, nullptr, 0);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, insert, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  OCIHandleFree(insert, OCI_HTYPE_STMT);
  OCIStmt* query = prepare("SELECT T FROM TS");
  OCIDefine* define = nullptr;
  OCIDefineByPos(query, &define, err, 1, &out, sizeof out, SQLT_TIMESTAMP, nullptr, nullptr, nullptr, 0);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, query, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  sb2 year = 0;
  ub1 month = 0, day = 0, hour = 0, minute = 0, second = 0;
  ub4 fraction = 0;
  OCIDateTimeGetDate(env, err, out, &year, &month, &day);
  OCIDateTimeGetTime(env, err, out, &hour, &minute, &second, &fraction);
  EXPECT_EQ(2024, year);
  EXPECT_EQ(29, day);
  EXPECT_EQ(15, second);
  EXPECT_EQ(123456000u, fraction);
  OCIHandleFree(query, OCI_HTYPE_STMT);
}

TEST_F(DialectPathTest, constraint_violations_carry_their_owner_and_name) {
  must_run("CREATE TABLE K (ID NUMBER CONSTRAINT K_PK PRIMARY KEY, N NUMBER CONSTRAINT K_POSITIVE CHECK (N > 0))");
  must_run("INSERT INTO K VALUES (1, 1)");
  EXPECT_EQ(OCI_ERROR, run("INSERT INTO K VALUES (1, 2)"));
  EXPECT_EQ("ORA-00001: unique constraint (SCOTT.K_PK) violated\n", last_error());
  EXPECT_EQ(OCI_ERROR, run("INSERT INTO K VALUES (2, -1)"));
  EXPECT_EQ("ORA-02290: check constraint (SCOTT.K_POSITIVE) violated\n", last_error());
  EXPECT_EQ(OCI_ERROR, run("INSERT INTO EMP (EMPNO, DEPTNO) VALUES (1, 99)"));
  EXPECT_EQ(2291, last_code());
}

TEST_F(DialectPathTest, administrative_logons_need_the_privilege) {
  OCIServer* server = nullptr;
  OCISvcCtx* context = nullptr;
  OCISession* session = nullptr;
  OCIHandleAlloc(env, reinterpret_cast<void**>(&server), OCI_HTYPE_SERVER, 0, nullptr);
  OCIHandleAlloc(env, reinterpret_cast<void**>(&context), OCI_HTYPE_SVCCTX, 0, nullptr);
  OCIHandleAlloc(env, reinterpret_cast<void**>(&session), OCI_HTYPE_SESSION, 0, nullptr);
  ASSERT_EQ(OCI_SUCCESS, OCIServerAttach(server, err, text(database), static_cast<sb4>(database.size()), 0));
  OCIAttrSet(context, OCI_HTYPE_SVCCTX, server, 0, OCI_ATTR_SERVER, err);
  auto begin = [&](std::string user, std::string password, ub4 mode) {
    OCIAttrSet(session, OCI_HTYPE_SESSION, user.data(), len(user), OCI_ATTR_USERNAME, err);
    OCIAttrSet(session, OCI_HTYPE_SESSION, password.data(), len(password), OCI_ATTR_PASSWORD, err);
    return OCISessionBegin(context, err, session, OCI_CRED_RDBMS, mode);
  };
  for (ub4 mode : {ub4(OCI_SYSDBA), ub4(OCI_SYSOPER)}) {
    EXPECT_EQ(OCI_ERROR, begin("SCOTT", "tiger", mode));
    EXPECT_EQ("ORA-01031: insufficient privileges\n", last_error());
  }
  // A wrong password is reported as such, before any privilege.
  EXPECT_EQ(OCI_ERROR, begin("SCOTT", "wrong", OCI_SYSDBA));
  EXPECT_EQ(1017, last_code());
  ASSERT_EQ(OCI_SUCCESS, begin("sys", "CHANGE_ON_INSTALL", OCI_SYSDBA)) << last_error();
  EXPECT_EQ("SYS", single_text("SELECT USER FROM DUAL", context));
  OCISessionEnd(context, err, session, OCI_DEFAULT);
  ASSERT_EQ(OCI_SUCCESS, begin("SYS", "CHANGE_ON_INSTALL", OCI_SYSOPER)) << last_error();
  EXPECT_EQ("PUBLIC", single_text("SELECT USER FROM DUAL", context));
  OCISessionEnd(context, err, session, OCI_DEFAULT);
}

}  // namespace
}  // namespace ociemu::testing
