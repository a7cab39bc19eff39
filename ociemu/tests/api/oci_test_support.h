// A fixture for tests that talk to the emulator through its C entries: a
// fresh database file per test, one logged-on service context, and small
// helpers that run SQL and read the error record.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "ociemu/api/oci.h"
#include "ociemu/tests/process_directory.h"

namespace ociemu::testing {

inline const std::filesystem::path& process_database_directory() {
  static const ProcessDirectory directory("ociemu_api_");
  return directory.path();
}

inline std::string fresh_database_path(const std::string& name) {
  auto path = process_database_directory() / (name + ".db");
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path.string() + suffix);
  return path.string();
}

// One application: an environment, an error handle and helpers around them.
class OciTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(OCI_SUCCESS, OCIEnvCreate(&env, OCI_THREADED, nullptr, nullptr, nullptr, nullptr, 0, nullptr));
    ASSERT_EQ(OCI_SUCCESS, OCIHandleAlloc(env, reinterpret_cast<void**>(&err), OCI_HTYPE_ERROR, 0, nullptr));
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    database = fresh_database_path(std::string(info->test_suite_name()) + "_" + info->name());
    svc = logon("SCOTT", "tiger");
    ASSERT_NE(nullptr, svc) << last_error();
  }

  void TearDown() override {
    if (env) OCIHandleFree(env, OCI_HTYPE_ENV);
  }

  OCISvcCtx* logon(const std::string& user, const std::string& password) {
    OCISvcCtx* result = nullptr;
    sword rc = OCILogon(env, err, &result, text(user), len(user), text(password), len(password), text(database),
                        len(database));
    return rc == OCI_SUCCESS || rc == OCI_SUCCESS_WITH_INFO ? result : nullptr;
  }

  static const OraText* text(const std::string& s) { return reinterpret_cast<const OraText*>(s.c_str()); }
  static ub4 len(const std::string& s) { return static_cast<ub4>(s.size()); }

  int last_code() {
    sb4 code = 0;
    OraText buffer[1024];
    if (OCIErrorGet(err, 1, nullptr, &code, buffer, sizeof buffer, OCI_HTYPE_ERROR) != OCI_SUCCESS) return 0;
    return code;
  }

  std::string last_error() {
    sb4 code = 0;
    OraText buffer[1024] = {0};
    if (OCIErrorGet(err, 1, nullptr, &code, buffer, sizeof buffer, OCI_HTYPE_ERROR) != OCI_SUCCESS) return "";
    return reinterpret_cast<char*>(buffer);
  }

  OCIStmt* prepare(const std::string& sql) {
    OCIStmt* stmt = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIHandleAlloc(env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr));
    EXPECT_EQ(OCI_SUCCESS, OCIStmtPrepare(stmt, err, text(sql), len(sql), OCI_NTV_SYNTAX, OCI_DEFAULT));
    return stmt;
  }

  // Runs one statement without binds on a session; returns the OCI status.
  sword run(const std::string& sql, OCISvcCtx* on = nullptr, ub4 mode = OCI_DEFAULT) {
    OCIStmt* stmt = prepare(sql);
    ub2 type = 0;
    OCIAttrGet(stmt, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, err);
    sword rc = OCIStmtExecute(on ? on : svc, stmt, err, type == OCI_STMT_SELECT ? 0 : 1, 0, nullptr, nullptr, mode);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return rc;
  }

  void must_run(const std::string& sql, OCISvcCtx* on = nullptr) {
    ASSERT_EQ(OCI_SUCCESS, run(sql, on)) << sql << ": " << last_error();
  }

  // The first column of every row as text (NULL as "<null>").
  std::vector<std::string> column_texts(const std::string& sql, OCISvcCtx* on = nullptr) {
    std::vector<std::string> out;
    OCIStmt* stmt = prepare(sql);
    char value[4001];
    sb2 indicator = 0;
    OCIDefine* define = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIStmtExecute(on ? on : svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
    EXPECT_EQ(OCI_SUCCESS, OCIDefineByPos(stmt, &define, err, 1, value, sizeof value, SQLT_STR, &indicator, nullptr,
                                          nullptr, OCI_DEFAULT));
    sword rc;
    while ((rc = OCIStmtFetch2(stmt, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT)) == OCI_SUCCESS) {
      out.push_back(indicator == -1 ? "<null>" : value);
    }
    EXPECT_EQ(OCI_NO_DATA, rc) << last_error();
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return out;
  }

  // The type descriptor of a user type of the session's schema.
  OCIType* type_by_name(const std::string& name) {
    OCIType* tdo = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCITypeByName(env, err, svc, nullptr, 0, text(name), len(name), nullptr, 0,
                                         OCI_DURATION_SESSION, OCI_TYPEGET_HEADER, &tdo))
        << last_error();
    return tdo;
  }

  // An attribute's value address and its indicator (a top-level attribute of an instance).
  void* attribute(void* instance, const std::string& name, OCIInd* indicator = nullptr) {
    const OraText* names[] = {text(name)};
    const ub4 lengths[] = {len(name)};
    OCIInd status = OCI_IND_NULL;
    void* value = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIObjectGetAttr(env, err, instance, nullptr, nullptr, names, lengths, 1, nullptr, 0, &status,
                                            nullptr, &value, nullptr))
        << last_error();
    if (indicator) *indicator = status;
    return value;
  }

  void set_attribute(void* instance, const std::string& name, const void* value) {
    const OraText* names[] = {text(name)};
    const ub4 lengths[] = {len(name)};
    EXPECT_EQ(OCI_SUCCESS, OCIObjectSetAttr(env, err, instance, nullptr, nullptr, names, lengths, 1, nullptr, 0,
                                            OCI_IND_NOTNULL, nullptr, value))
        << last_error();
  }

  ub4 row_count(OCIStmt* stmt) {
    ub4 rows = 0;
    EXPECT_EQ(OCI_SUCCESS, OCIAttrGet(stmt, OCI_HTYPE_STMT, &rows, nullptr, OCI_ATTR_ROW_COUNT, err));
    return rows;
  }

  std::string single_text(const std::string& sql, OCISvcCtx* on = nullptr) {
    auto rows = column_texts(sql, on);
    return rows.empty() ? "<no rows>" : rows.front();
  }

  // The row an executed DML statement names (OCI_ATTR_ROWID) as rowid text; empty when it names none.
  std::string rowid_after_dml(OCIStmt* stmt) {
    OCIRowid* rowid = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIDescriptorAlloc(env, reinterpret_cast<void**>(&rowid), OCI_DTYPE_ROWID, 0, nullptr));
    ub4 size = 0;
    EXPECT_EQ(OCI_SUCCESS, OCIAttrGet(stmt, OCI_HTYPE_STMT, rowid, &size, OCI_ATTR_ROWID, err)) << last_error();
    OraText buffer[32];
    ub2 length = sizeof buffer;
    std::string named;
    if (size != 0 && OCIRowidToChar(rowid, buffer, &length, err) == OCI_SUCCESS) {
      named.assign(reinterpret_cast<char*>(buffer), length);
    }
    OCIDescriptorFree(rowid, OCI_DTYPE_ROWID);
    return named;
  }

  // The type descriptor of a named type (object types need an environment in object mode).
  OCIType* named_type(const std::string& name) {
    OCIType* tdo = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCITypeByName(env, err, svc, nullptr, 0, text(name), len(name), nullptr, 0,
                                         OCI_DURATION_SESSION, OCI_TYPEGET_HEADER, &tdo))
        << last_error();
    return tdo;
  }

  // The top parameter of OCIDescribeAny of a type by name (or, with pointer, by REF or descriptor).
  OCIParam* describe(const std::string& name, OCIDescribe*& handle, ub1 pointer_type = OCI_OTYPE_NAME,
                     void* pointer = nullptr) {
    EXPECT_EQ(OCI_SUCCESS, OCIHandleAlloc(env, reinterpret_cast<void**>(&handle), OCI_HTYPE_DESCRIBE, 0, nullptr));
    void* object = pointer ? pointer : const_cast<OraText*>(text(name));
    sword rc = OCIDescribeAny(svc, err, object, pointer ? 0 : len(name), pointer_type, OCI_DEFAULT, OCI_PTYPE_TYPE,
                              handle);
    EXPECT_EQ(OCI_SUCCESS, rc) << name << ": " << last_error();
    OCIParam* param = nullptr;
    if (rc == OCI_SUCCESS) {
      EXPECT_EQ(OCI_SUCCESS, OCIAttrGet(handle, OCI_HTYPE_DESCRIBE, &param, nullptr, OCI_ATTR_PARAM, err));
    }
    return param;
  }

  template <class T>
  T attr(void* param, ub4 attribute) {
    T value{};
    EXPECT_EQ(OCI_SUCCESS, OCIAttrGet(param, OCI_DTYPE_PARAM, &value, nullptr, attribute, err)) << last_error();
    return value;
  }

  std::string text_attr(void* param, ub4 attribute) {
    OraText* value = nullptr;
    ub4 size = 0;
    EXPECT_EQ(OCI_SUCCESS, OCIAttrGet(param, OCI_DTYPE_PARAM, &value, &size, attribute, err)) << last_error();
    return value ? std::string(reinterpret_cast<char*>(value), size) : "";
  }

  OCIEnv* env = nullptr;
  OCIError* err = nullptr;
  OCISvcCtx* svc = nullptr;
  std::string database;
};

}  // namespace ociemu::testing
