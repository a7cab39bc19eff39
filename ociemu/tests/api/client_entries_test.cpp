// The entries general-purpose clients call beside the classic ones: version
// numbers, thread keys, context values and memory, descriptor arrays, the *2
// binds and defines with 4-byte lengths, and the attributes such clients read.
#include <cstring>
#include <thread>

#include "oci_test_support.h"

namespace ociemu::testing {
namespace {

using ClientEntriesTest = OciTest;

TEST_F(ClientEntriesTest, versions_report_release_19) {
  sword major = 0, minor = 0, update = -1, patch = -1, port = -1;
  OCIClientVersion(&major, &minor, &update, &patch, &port);
  EXPECT_EQ(19, major);
  EXPECT_EQ(3, minor);
  ub4 release = 0;
  OraText banner[512];
  ASSERT_EQ(OCI_SUCCESS, OCIServerRelease2(svc, err, banner, sizeof banner, OCI_HTYPE_SVCCTX, &release, 0));
  EXPECT_EQ(19u, release >> 24);
  EXPECT_EQ(3u, (release >> 16) & 0xFF);
  EXPECT_NE(nullptr, std::strstr(reinterpret_cast<char*>(banner), "19c"));
}

void count_destroyed(void* value) { ++*static_cast<int*>(value); }

TEST_F(ClientEntriesTest, thread_keys_hold_one_value_per_thread) {
  OCIThreadProcessInit();
  OCIThreadKey* key = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIThreadKeyInit(env, err, &key, count_destroyed));
  int mine = 0, destroyed = 0;
  ASSERT_EQ(OCI_SUCCESS, OCIThreadKeySet(env, err, key, &mine));
  void* other_seen = &mine;
  std::thread other([&] {
    OCIThreadKeyGet(env, err, key, &other_seen);
    OCIThreadKeySet(env, err, key, &destroyed);  // the destructor runs as this thread ends
  });
  other.join();
  EXPECT_EQ(nullptr, other_seen);
  EXPECT_EQ(1, destroyed);
  void* seen = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIThreadKeyGet(env, err, key, &seen));
  EXPECT_EQ(&mine, seen);
  ASSERT_EQ(OCI_SUCCESS, OCIThreadKeyDestroy(env, err, &key));
  EXPECT_EQ(nullptr, key);
}

TEST_F(ClientEntriesTest, context_values_and_memory_belong_to_a_handle) {
  ub1 key[] = {'k', '1'};
  int value = 7;
  void* read = &value;
  ASSERT_EQ(OCI_SUCCESS, OCIContextGetValue(env, err, key, sizeof key, &read));
  EXPECT_EQ(nullptr, read);
  ASSERT_EQ(OCI_SUCCESS, OCIContextSetValue(env, err, 10, key, sizeof key, &value));
  ASSERT_EQ(OCI_SUCCESS, OCIContextGetValue(env, err, key, sizeof key, &read));
  EXPECT_EQ(&value, read);
  ASSERT_EQ(OCI_SUCCESS, OCIContextGetValue(svc, err, key, sizeof key, &read));
  EXPECT_EQ(nullptr, read) << "another handle has its own values";

  void* memory = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIMemoryAlloc(env, err, &memory, 10, 64, OCI_MEMORY_CLEARED));
  ASSERT_NE(nullptr, memory);
  EXPECT_EQ(0, static_cast<char*>(memory)[63]);
  EXPECT_EQ(OCI_SUCCESS, OCIMemoryFree(env, err, memory));
  EXPECT_EQ(OCI_INVALID_HANDLE, OCIMemoryAlloc(&value, err, &memory, 10, 8, 0));
}

// Entries remember the handles they recently checked; freeing one must still
// be seen at once, by this thread and by another that used it before.
TEST_F(ClientEntriesTest, a_freed_handle_is_refused_right_after_use) {
  OCIStmt* stmt = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIHandleAlloc(env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr));
  const char* text = "select 1 from dual";
  ASSERT_EQ(OCI_SUCCESS, OCIStmtPrepare(stmt, err, reinterpret_cast<const OraText*>(text),
                                        static_cast<ub4>(std::strlen(text)), OCI_NTV_SYNTAX, OCI_DEFAULT));
  ub2 type = 0;
  auto statement_type = [&] { return OCIAttrGet(stmt, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, err); };
  sword seen_by_other = OCI_ERROR;
  std::thread other([&] { seen_by_other = statement_type(); });
  other.join();
  ASSERT_EQ(OCI_SUCCESS, seen_by_other);
  ASSERT_EQ(OCI_SUCCESS, statement_type());
  EXPECT_EQ(OCI_STMT_SELECT, type);
  ASSERT_EQ(OCI_SUCCESS, OCIHandleFree(stmt, OCI_HTYPE_STMT));
  EXPECT_EQ(OCI_INVALID_HANDLE, statement_type());
  std::thread again([&] { seen_by_other = statement_type(); });
  again.join();
  EXPECT_EQ(OCI_INVALID_HANDLE, seen_by_other);
  // The same address may come back as a handle of another type.
  OCIError* other_error = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIHandleAlloc(env, reinterpret_cast<void**>(&other_error), OCI_HTYPE_ERROR, 0, nullptr));
  EXPECT_EQ(OCI_INVALID_HANDLE, statement_type());
  OCIHandleFree(other_error, OCI_HTYPE_ERROR);
}

TEST_F(ClientEntriesTest, descriptor_arrays_are_allocated_and_freed_whole) {
  void* descriptors[3] = {};
  ASSERT_EQ(OCI_SUCCESS, OCIArrayDescriptorAlloc(env, descriptors, OCI_DTYPE_TIMESTAMP, 3, 0, nullptr));
  for (void* d : descriptors) EXPECT_NE(nullptr, d);
  OraText text[64];
  ub4 size = sizeof text;
  EXPECT_EQ(OCI_SUCCESS, OCIDateTimeToText(env, err, static_cast<OCIDateTime*>(descriptors[2]), nullptr, 0, 0,
                                           nullptr, 0, &size, text));
  ASSERT_EQ(OCI_SUCCESS, OCIArrayDescriptorFree(descriptors, OCI_DTYPE_TIMESTAMP));
  EXPECT_EQ(OCI_INVALID_HANDLE, OCIDescriptorFree(descriptors[1], OCI_DTYPE_TIMESTAMP)) << "already freed";
  EXPECT_EQ(OCI_INVALID_HANDLE, OCIArrayDescriptorFree(descriptors, OCI_DTYPE_TIMESTAMP));
}

TEST_F(ClientEntriesTest, binds_and_defines_with_four_byte_lengths) {
  must_run("CREATE TABLE L (S VARCHAR2(100))");
  OCIStmt* insert = prepare("INSERT INTO L VALUES (:S)");
  char in[] = "four-byte lengths, the rest ignored";
  ub4 in_length = 17;
  OCIBind* bind = nullptr;
  std::string name = ":S";
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName2(insert, &bind, err, text(name), sb4(name.size()), in, sizeof in, SQLT_CHR,
                                        nullptr, &in_length, nullptr, 0, nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, insert, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  ub1 in_progress = 0;
  OCISession* session = nullptr;
  OCIAttrGet(svc, OCI_HTYPE_SVCCTX, &session, nullptr, OCI_ATTR_SESSION, err);
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(session, OCI_HTYPE_SESSION, &in_progress, nullptr, OCI_ATTR_TRANSACTION_IN_PROGRESS, err));
  EXPECT_EQ(1, in_progress);
  OCIRowid* rowid = nullptr;
  OCIDescriptorAlloc(env, reinterpret_cast<void**>(&rowid), OCI_DTYPE_ROWID, 0, nullptr);
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(insert, OCI_HTYPE_STMT, rowid, nullptr, OCI_ATTR_ROWID, err));
  OraText rowid_text[32];
  ub2 rowid_length = 5;
  EXPECT_EQ(OCI_ERROR, OCIRowidToChar(rowid, rowid_text, &rowid_length, err)) << "too small a buffer";
  EXPECT_EQ(18, rowid_length);
  rowid_length = sizeof rowid_text;
  ASSERT_EQ(OCI_SUCCESS, OCIRowidToChar(rowid, rowid_text, &rowid_length, err));
  std::string rowid_string(reinterpret_cast<char*>(rowid_text), rowid_length);
  EXPECT_EQ("four-byte lengths", single_text("SELECT S FROM L WHERE ROWID = '" + rowid_string + "'"));
  must_run("COMMIT");
  OCIAttrGet(session, OCI_HTYPE_SESSION, &in_progress, nullptr, OCI_ATTR_TRANSACTION_IN_PROGRESS, err);
  EXPECT_EQ(0, in_progress);

  OCIStmt* query = prepare("SELECT S FROM L");
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, query, err, 0, 0, nullptr, nullptr, OCI_DEFAULT));
  char out[100];
  ub4 out_length = 0xFFFFFFFF;
  OCIDefine* define = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIDefineByPos2(query, &define, err, 1, out, sizeof out, SQLT_CHR, nullptr, &out_length,
                                         nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtFetch2(query, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT)) << last_error();
  EXPECT_EQ(17u, out_length);
  EXPECT_EQ("four-byte lengths", std::string(out, out_length));
  void* result = &out;
  ub4 result_type = 9;
  EXPECT_EQ(OCI_NO_DATA, OCIStmtGetNextResult(query, err, &result, &result_type, 0));
  EXPECT_EQ(nullptr, result);
  OCIDescriptorFree(rowid, OCI_DTYPE_ROWID);
  OCIHandleFree(insert, OCI_HTYPE_STMT);
  OCIHandleFree(query, OCI_HTYPE_STMT);
}

TEST_F(ClientEntriesTest, attributes_clients_read_about_statements_errors_and_columns) {
  OCIStmt* returning = prepare("UPDATE EMP SET SAL = SAL WHERE EMPNO = 0 RETURNING SAL INTO :S");
  OCIStmt* query = prepare("SELECT ENAME FROM EMP");
  ub1 flag = 9;
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(returning, OCI_HTYPE_STMT, &flag, nullptr, OCI_ATTR_STMT_IS_RETURNING, err));
  EXPECT_EQ(1, flag);
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(query, OCI_HTYPE_STMT, &flag, nullptr, OCI_ATTR_STMT_IS_RETURNING, err));
  EXPECT_EQ(0, flag);
  OraText* id = nullptr;
  ub4 id_length = 0;
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(query, OCI_HTYPE_STMT, &id, &id_length, OCI_ATTR_SQL_ID, err));
  EXPECT_EQ(13u, id_length);
  std::string first(reinterpret_cast<char*>(id), id_length);
  OCIAttrGet(returning, OCI_HTYPE_STMT, &id, &id_length, OCI_ATTR_SQL_ID, err);
  EXPECT_NE(first, std::string(reinterpret_cast<char*>(id), id_length));

  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, query, err, 0, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY));
  void* column = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIParamGet(query, OCI_HTYPE_STMT, err, &column, 1));
  ub2 type = 0;
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(column, OCI_HTYPE_DESCRIBE, &type, nullptr, OCI_ATTR_DATA_TYPE, err));
  EXPECT_EQ(SQLT_CHR, type);

  EXPECT_EQ(OCI_ERROR, run("SELECT * FROM NO_SUCH_TABLE"));
  flag = 9;
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(err, OCI_HTYPE_ERROR, &flag, nullptr, OCI_ATTR_ERROR_IS_RECOVERABLE, nullptr));
  EXPECT_EQ(0, flag);
  EXPECT_EQ(942, last_code()) << "reading the attribute keeps the error record";

  EXPECT_EQ(OCI_SUCCESS, OCIPing(svc, err, OCI_DEFAULT));
  ociemu_kill_session(svc);
  EXPECT_EQ(OCI_ERROR, OCIPing(svc, err, OCI_DEFAULT));
  EXPECT_EQ(3113, last_code());
  OCIHandleFree(returning, OCI_HTYPE_STMT);
  OCIHandleFree(query, OCI_HTYPE_STMT);
}

}  // namespace
}  // namespace ociemu::testing
