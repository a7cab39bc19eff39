// Execute modes that change what an execute does: OCI_PARSE_ONLY and
// OCI_DESCRIBE_ONLY run nothing, OCI_BATCH_ERRORS runs every row of array DML
// and keeps each failing row's error for OCIParamGet on the error handle.
#include <array>

#include "ociemu/tests/api/oci_test_support.h"

namespace ociemu::testing {
namespace {

class ExecuteModeTest : public OciTest {
 protected:
  void SetUp() override {
    OciTest::SetUp();
    must_run("CREATE TABLE t (id NUMBER PRIMARY KEY, name VARCHAR2(10) NOT NULL)");
  }

  sword execute(OCIStmt* stmt, ub4 iters, ub4 mode, ub4 row_offset = 0) {
    return OCIStmtExecute(svc, stmt, err, iters, row_offset, nullptr, nullptr, mode);
  }

  // An array insert of ids and names; a name of "" binds NULL.
  OCIStmt* array_insert(std::vector<int>& ids, std::vector<std::array<char, 10>>& names, std::vector<sb2>& nulls) {
    OCIStmt* stmt = prepare("INSERT INTO t VALUES (:id, :name)");
    OCIBind* id_bind = nullptr;
    OCIBind* name_bind = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &id_bind, err, text(":id"), 3, ids.data(), sizeof(int), SQLT_INT,
                                         nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
    for (size_t i = 0; i < names.size(); ++i) nulls.push_back(names[i][0] == 0 ? -1 : 0);
    EXPECT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &name_bind, err, text(":name"), 5, names.data(), 10, SQLT_STR,
                                         nulls.data(), nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
    return stmt;
  }

  ub4 dml_errors(OCIStmt* stmt) {
    ub4 count = 99;
    EXPECT_EQ(OCI_SUCCESS, OCIAttrGet(stmt, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_NUM_DML_ERRORS, err));
    return count;
  }

  // The row offset and the error code of the pos-th batch error, read as a client does.
  std::pair<ub4, sb4> row_error(ub4 pos, OCIError* into) {
    void* handle = into;
    EXPECT_EQ(OCI_SUCCESS, OCIParamGet(err, OCI_HTYPE_ERROR, err, &handle, pos)) << last_error();
    EXPECT_EQ(static_cast<void*>(into), handle) << "the client's own handle is filled";
    ub4 offset = 0;
    EXPECT_EQ(OCI_SUCCESS, OCIAttrGet(into, OCI_HTYPE_ERROR, &offset, nullptr, OCI_ATTR_DML_ROW_OFFSET, err));
    sb4 code = 0;
    OraText message[512];
    EXPECT_EQ(OCI_SUCCESS, OCIErrorGet(into, 1, nullptr, &code, message, sizeof message, OCI_HTYPE_ERROR));
    return {offset, code};
  }
};

TEST_F(ExecuteModeTest, parse_and_describe_only_run_no_dml_and_need_no_binds) {
  for (ub4 mode : {OCI_PARSE_ONLY, OCI_DESCRIBE_ONLY}) {
    for (const char* sql : {"INSERT INTO t VALUES (:id, :name)", "UPDATE t SET name = :n", "DELETE FROM t",
                            "begin insert into t values (7, 'block'); end;"}) {
      OCIStmt* stmt = prepare(sql);
      EXPECT_EQ(OCI_SUCCESS, execute(stmt, 1, mode)) << sql << ": " << last_error();
      OCIHandleFree(stmt, OCI_HTYPE_STMT);
    }
  }
  must_run("INSERT INTO t VALUES (1, 'kept')");
  OCIStmt* stmt = prepare("DELETE FROM t");
  ASSERT_EQ(OCI_SUCCESS, execute(stmt, 1, OCI_PARSE_ONLY));
  EXPECT_EQ("1", single_text("SELECT COUNT(*) FROM t"));
  // The parsed statement then runs as usual.
  ASSERT_EQ(OCI_SUCCESS, execute(stmt, 1, OCI_DEFAULT)) << last_error();
  EXPECT_EQ(1u, row_count(stmt));
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ("0", single_text("SELECT COUNT(*) FROM t"));
}

TEST_F(ExecuteModeTest, describing_a_select_draws_no_sequence_number) {
  must_run("CREATE SEQUENCE s");
  OCIStmt* stmt = prepare("SELECT s.NEXTVAL, s.NEXTVAL + 0 n FROM DUAL");
  ASSERT_EQ(OCI_SUCCESS, execute(stmt, 1, OCI_DESCRIBE_ONLY)) << last_error();
  ub4 columns = 0;
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(stmt, OCI_HTYPE_STMT, &columns, nullptr, OCI_ATTR_PARAM_COUNT, err));
  EXPECT_EQ(2u, columns);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ("1", single_text("SELECT s.NEXTVAL FROM DUAL"));
}

TEST_F(ExecuteModeTest, parse_only_reports_what_parsing_finds) {
  OCIStmt* stmt = prepare("INSERT INTO no_such_table VALUES (1)");
  EXPECT_EQ(OCI_ERROR, execute(stmt, 1, OCI_PARSE_ONLY));
  EXPECT_EQ(942, last_code());
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  stmt = prepare("begin undeclared_variable := 1; end;");
  EXPECT_EQ(OCI_ERROR, execute(stmt, 1, OCI_PARSE_ONLY));
  EXPECT_EQ(6550, last_code());
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(ExecuteModeTest, batch_errors_run_every_row_and_keep_each_failure) {
  std::vector<int> ids{1, 1, 2, 3, 2};
  std::vector<std::array<char, 10>> names{{"a"}, {"dup"}, {"b"}, {""}, {"dup2"}};
  std::vector<sb2> nulls;
  OCIStmt* stmt = array_insert(ids, names, nulls);
  ASSERT_EQ(OCI_SUCCESS_WITH_INFO, execute(stmt, 5, OCI_BATCH_ERRORS));
  EXPECT_EQ(24381, last_code());
  EXPECT_EQ(2u, row_count(stmt));
  ASSERT_EQ(3u, dml_errors(stmt));

  OCIError* row_errors = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIHandleAlloc(env, reinterpret_cast<void**>(&row_errors), OCI_HTYPE_ERROR, 0, nullptr));
  EXPECT_EQ(std::make_pair(ub4{1}, sb4{1}), row_error(0, row_errors));
  EXPECT_EQ(std::make_pair(ub4{3}, sb4{1400}), row_error(1, row_errors));
  EXPECT_EQ(std::make_pair(ub4{4}, sb4{1}), row_error(2, row_errors));
  void* beyond = row_errors;
  EXPECT_EQ(OCI_ERROR, OCIParamGet(err, OCI_HTYPE_ERROR, err, &beyond, 3));
  EXPECT_EQ((std::vector<std::string>{"a", "b"}), column_texts("SELECT name FROM t ORDER BY id"));

  // The next execute starts without errors; a failing row no longer stops the rows after it.
  ids = {10, 11, 12, 13, 14};
  names = {{"x"}, {""}, {"y"}, {"z"}, {"w"}};
  for (size_t i = 0; i < names.size(); ++i) nulls[i] = names[i][0] == 0 ? -1 : 0;
  ASSERT_EQ(OCI_SUCCESS_WITH_INFO, execute(stmt, 4, OCI_BATCH_ERRORS, 1));
  ASSERT_EQ(1u, dml_errors(stmt));
  EXPECT_EQ(std::make_pair(ub4{1}, sb4{1400}), row_error(0, row_errors));
  EXPECT_EQ("5", single_text("SELECT COUNT(*) FROM t"));
  ids = {20, 21, 22, 23, 24};
  names = {{"p"}, {"q"}, {"r"}, {"s"}, {"t"}};
  for (auto& flag : nulls) flag = 0;
  ASSERT_EQ(OCI_SUCCESS, execute(stmt, 5, OCI_BATCH_ERRORS)) << last_error();
  EXPECT_EQ(0u, dml_errors(stmt));
  OCIHandleFree(row_errors, OCI_HTYPE_ERROR);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(ExecuteModeTest, without_batch_errors_the_first_failing_row_ends_the_execute) {
  std::vector<int> ids{1, 1, 2};
  std::vector<std::array<char, 10>> names{{"a"}, {"dup"}, {"b"}};
  std::vector<sb2> nulls;
  OCIStmt* stmt = array_insert(ids, names, nulls);
  ASSERT_EQ(OCI_ERROR, execute(stmt, 3, OCI_DEFAULT));
  EXPECT_EQ(1, last_code());
  EXPECT_EQ(1u, row_count(stmt));
  EXPECT_EQ(0u, dml_errors(stmt));
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ("1", single_text("SELECT COUNT(*) FROM t"));
}

}  // namespace
}  // namespace ociemu::testing
