// DML through the call interface on tables with triggers, and RETURNING INTO
// through out-bind callbacks, which learn each iteration's row count first.
#include <cstdio>
#include <vector>

#include "oci_test_support.h"

namespace ociemu::testing {
namespace {

class TriggeredDmlTest : public OciTest {
 protected:
  void SetUp() override {
    OciTest::SetUp();
    must_run("CREATE TABLE T (ID NUMBER PRIMARY KEY, NAME VARCHAR2(10))");
    must_run("CREATE SEQUENCE T_IDS START WITH 500");
  }

  // Array insert of names; ids are left to the trigger.
  sword insert_names(const std::vector<std::string>& values, ub4* processed) {
    OCIStmt* stmt = prepare("INSERT INTO T (NAME) VALUES (:NAME)");
    std::vector<char> names(values.size() * 10);
    std::vector<ub2> lengths(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
      std::snprintf(&names[i * 10], 10, "%s", values[i].c_str());
      lengths[i] = static_cast<ub2>(values[i].size());
    }
    OCIBind* bind = nullptr;
    OCIBindByName(stmt, &bind, err, text(":NAME"), 5, names.data(), 10, SQLT_CHR, nullptr, lengths.data(), nullptr, 0,
                  nullptr, OCI_DEFAULT);
    sword rc = OCIStmtExecute(svc, stmt, err, static_cast<ub4>(values.size()), 0, nullptr, nullptr, OCI_DEFAULT);
    OCIAttrGet(stmt, OCI_HTYPE_STMT, processed, nullptr, OCI_ATTR_ROW_COUNT, err);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return rc;
  }
};

TEST_F(TriggeredDmlTest, array_inserts_fire_per_row_and_a_failing_row_is_the_error_offset) {
  must_run("create trigger t_id before insert on t for each row begin\n"
           "  if :new.name = 'bad' then raise_application_error(-20007, 'no ' || :new.name); end if;\n"
           "  :new.id := t_ids.nextval;\nend;");
  ub4 processed = 0;
  ASSERT_EQ(OCI_SUCCESS, insert_names({"a", "b", "c"}, &processed)) << last_error();
  EXPECT_EQ(3u, processed);
  EXPECT_EQ(OCI_ERROR, insert_names({"d", "e", "bad", "f"}, &processed));
  EXPECT_EQ(20007, last_code());
  EXPECT_EQ(2u, processed);
  ub4 offset = 0;
  OCIAttrGet(err, OCI_HTYPE_ERROR, &offset, nullptr, OCI_ATTR_DML_ROW_OFFSET, err);
  EXPECT_EQ(2u, offset);
  EXPECT_EQ("500 a,501 b,502 c,503 d,504 e",
            [&] {
              std::string out;
              for (const auto& row : column_texts("SELECT ID || ' ' || NAME FROM T ORDER BY ID")) out += (out.empty() ? "" : ",") + row;
              return out;
            }());
}

TEST_F(TriggeredDmlTest, the_rowid_after_dml_is_the_statements_row_not_the_triggers) {
  must_run("CREATE TABLE LOG (WHAT VARCHAR2(20))");
  must_run("create trigger t_log after insert on t for each row begin insert into log values (:new.name); end;");
  OCIStmt* insert = prepare("INSERT INTO T VALUES (1, 'mine')");
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, insert, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  OCIRowid* rowid = nullptr;
  OCIDescriptorAlloc(env, reinterpret_cast<void**>(&rowid), OCI_DTYPE_ROWID, 0, nullptr);
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(insert, OCI_HTYPE_STMT, rowid, nullptr, OCI_ATTR_ROWID, err));
  OCIHandleFree(insert, OCI_HTYPE_STMT);
  OCIStmt* query = prepare("SELECT NAME FROM T WHERE ROWID = :R");
  OCIBind* bind = nullptr;
  OCIBindByPos(query, &bind, err, 1, &rowid, sizeof rowid, SQLT_RDD, nullptr, nullptr, nullptr, 0, nullptr, 0);
  char name[11] = {};
  OCIDefine* define = nullptr;
  OCIDefineByPos(query, &define, err, 1, name, sizeof name, SQLT_STR, nullptr, nullptr, nullptr, 0);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, query, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  EXPECT_STREQ("mine", name);
  OCIHandleFree(query, OCI_HTYPE_STMT);
  OCIDescriptorFree(rowid, OCI_DTYPE_ROWID);
  EXPECT_EQ("mine", single_text("SELECT WHAT FROM LOG"));
}

// An out-bind callback as a client that sizes its buffers from the first call of each iteration.
struct Returned {
  OCIError* errors = nullptr;
  std::vector<ub4> counts_at_first_call;
  int slot = 0;
  ub4 length = sizeof(int);
  sb2 indicator = 0;
  ub2 code = 0;
};

sb4 no_input(void*, OCIBind*, ub4, ub4, void** buffer, ub4* length, ub1* piece, void** indicator) {
  static sb2 null_indicator = -1;
  *buffer = nullptr;
  *length = 0;
  *piece = OCI_ONE_PIECE;
  *indicator = &null_indicator;
  return OCI_CONTINUE;
}

sb4 take_output(void* context, OCIBind* bind, ub4, ub4 index, void** buffer, ub4** length, ub1* piece,
                void** indicator, ub2** code) {
  auto& out = *static_cast<Returned*>(context);
  if (index == 0) {
    ub4 rows = 0;
    OCIAttrGet(bind, OCI_HTYPE_BIND, &rows, nullptr, OCI_ATTR_ROWS_RETURNED, out.errors);
    out.counts_at_first_call.push_back(rows);
  }
  *buffer = &out.slot;
  *length = &out.length;
  *piece = OCI_ONE_PIECE;
  *indicator = &out.indicator;
  *code = &out.code;
  return OCI_CONTINUE;
}

TEST_F(TriggeredDmlTest, the_first_out_callback_of_an_iteration_knows_how_many_rows_it_returns) {
  must_run("INSERT INTO T VALUES (1, 'x')");
  must_run("INSERT INTO T VALUES (2, 'x')");
  must_run("INSERT INTO T VALUES (3, 'y')");
  OCIStmt* stmt = prepare("UPDATE T SET NAME = 'z' WHERE NAME = :OLD_NAME RETURNING ID INTO :ID");
  char names[2][2] = {"x", "y"};
  OCIBind* in = nullptr;
  OCIBind* out = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &in, err, text(":OLD_NAME"), 9, names, 2, SQLT_STR, nullptr, nullptr,
                                       nullptr, 0, nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &out, err, text(":ID"), 3, nullptr, sizeof(int), SQLT_INT, nullptr,
                                       nullptr, nullptr, 0, nullptr, OCI_DATA_AT_EXEC));
  Returned returned;
  returned.errors = err;
  ASSERT_EQ(OCI_SUCCESS, OCIBindDynamic(out, err, nullptr, no_input, &returned, take_output));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 2, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ((std::vector<ub4>{2, 1}), returned.counts_at_first_call);
  EXPECT_EQ("3", single_text("SELECT COUNT(*) FROM T WHERE NAME = 'z'"));
}

}  // namespace
}  // namespace ociemu::testing
