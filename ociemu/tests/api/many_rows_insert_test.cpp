// Array inserts of many rows, which SQLite takes several rows per statement, end exactly as
// inserting one row at a time would: values, row counts, the failing row and its error,
// batch errors, and the transaction they belong to.
#include <array>
#include <cstdio>
#include <cstring>

#include "oci_test_support.h"

namespace ociemu::testing {
namespace {

// Bind arrays for "INSERT INTO T VALUES (:id, :name, :amount, ...)", row i holding id first + i.
struct Rows {
  std::vector<int> ids;
  std::vector<std::array<char, 16>> names;
  std::vector<ub2> name_lengths;
  std::vector<std::array<char, 12>> amounts;  // text, so that a row can hold one that is no number

  Rows(int count, int first) {
    for (int i = 0; i < count; ++i) {
      ids.push_back(first + i);
      names.emplace_back();
      name_lengths.push_back(static_cast<ub2>(std::snprintf(names.back().data(), 16, "n%d", first + i)));
      amounts.emplace_back();
      std::snprintf(amounts.back().data(), 12, "%d.25", i % 1000);
    }
  }
  void set_name(size_t row, const char* name) {
    std::memcpy(names[row].data(), name, std::strlen(name));
    name_lengths[row] = static_cast<ub2>(std::strlen(name));
  }
  void set_amount(size_t row, const char* amount) { std::snprintf(amounts[row].data(), 12, "%s", amount); }
};

class ManyRowsInsertTest : public OciTest {
 protected:
  void SetUp() override {
    OciTest::SetUp();
    must_run("CREATE TABLE T (ID NUMBER(10) PRIMARY KEY, NAME VARCHAR2(12), AMOUNT NUMBER(6,2), NOTE VARCHAR2(10))");
  }

  sword execute(OCIStmt* stmt, Rows& rows, ub4 mode = OCI_DEFAULT) {
    OCIBind* binds[3] = {};
    EXPECT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &binds[0], err, text(":id"), 3, rows.ids.data(), sizeof(int), SQLT_INT,
                                         nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
    EXPECT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &binds[1], err, text(":name"), 5, rows.names.data(), 16, SQLT_CHR,
                                         nullptr, rows.name_lengths.data(), nullptr, 0, nullptr, OCI_DEFAULT));
    EXPECT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &binds[2], err, text(":amount"), 7, rows.amounts.data(), 12, SQLT_STR,
                                         nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
    return OCIStmtExecute(svc, stmt, err, static_cast<ub4>(rows.ids.size()), 0, nullptr, nullptr, mode);
  }

  ub4 error_offset(OCIError* from) {
    ub4 offset = 0;
    EXPECT_EQ(OCI_SUCCESS, OCIAttrGet(from, OCI_HTYPE_ERROR, &offset, nullptr, OCI_ATTR_DML_ROW_OFFSET, err));
    return offset;
  }

  std::string count(const std::string& where) { return single_text("SELECT COUNT(*) FROM T WHERE " + where); }
};

TEST_F(ManyRowsInsertTest, every_row_arrives_with_its_own_values_and_counts_once) {
  OCIStmt* stmt = prepare("INSERT INTO T VALUES (:id, :name, :amount, 'q?1''s')");
  Rows first(1000, 0), second(1000, 1000);
  ASSERT_EQ(OCI_SUCCESS, execute(stmt, first)) << last_error();
  EXPECT_EQ(1000u, row_count(stmt));
  ASSERT_EQ(OCI_SUCCESS, execute(stmt, second, OCI_RETURN_ROW_COUNT_ARRAY)) << last_error();
  ub8* counts = nullptr;
  ub4 count_size = 0;
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(stmt, OCI_HTYPE_STMT, &counts, &count_size, OCI_ATTR_DML_ROW_COUNT_ARRAY, err));
  EXPECT_EQ(std::vector<ub8>(1000, 1), std::vector<ub8>(counts, counts + count_size));
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ((std::vector<std::string>{"0|n0|.25|q?1's", "517|n517|517.25|q?1's", "1999|n1999|999.25|q?1's"}),
            column_texts("SELECT ID || '|' || NAME || '|' || AMOUNT || '|' || NOTE FROM T WHERE ID IN (0, 517, 1999) "
                         "ORDER BY ID"));
  EXPECT_EQ("2000", count("NAME = 'n' || ID AND AMOUNT = MOD(ID, 1000) + 0.25"));

  // A bind used twice gives each row its own value in both places.
  stmt = prepare("INSERT INTO T (ID, NAME, AMOUNT, NOTE) VALUES (:id, :name, :id, :amount)");
  for (int from : {5000, 6000}) {
    Rows rows(1000, from);
    ASSERT_EQ(OCI_SUCCESS, execute(stmt, rows)) << last_error();
  }
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ("2000", count("ID >= 5000 AND AMOUNT = ID AND NAME = 'n' || ID AND NOTE = MOD(ID, 1000) || '.25'"));

  // The rows stay part of the application's transaction.
  ASSERT_EQ(OCI_SUCCESS, OCITransRollback(svc, err, OCI_DEFAULT));
  EXPECT_EQ("0", count("1 = 1"));
}

TEST_F(ManyRowsInsertTest, a_failing_row_among_many_ends_the_execute_there_with_its_own_error) {
  struct Case {
    const char* what;
    void (*spoil)(Rows&);
    int code;
  };
  const Case cases[] = {
      {"duplicate key", [](Rows& r) { r.ids[700] = r.ids[3]; }, 1},
      {"text too long", [](Rows& r) { r.set_name(700, "fifteen chars!!"); }, 12899},
      {"number too large", [](Rows& r) { r.set_amount(700, "99999"); }, 1438},
      {"no number", [](Rows& r) { r.set_amount(700, "12x"); }, 1722},
  };
  for (const Case& c : cases) {
    must_run("DELETE FROM T");
    OCIStmt* stmt = prepare("INSERT INTO T VALUES (:id, :name, :amount, NULL)");
    Rows warm_up(1000, 100000), spoilt(1000, 0);
    ASSERT_EQ(OCI_SUCCESS, execute(stmt, warm_up)) << c.what << ": " << last_error();
    c.spoil(spoilt);
    EXPECT_EQ(OCI_ERROR, execute(stmt, spoilt)) << c.what;
    EXPECT_EQ(c.code, last_code()) << c.what;
    if (c.code == 12899) {
      EXPECT_EQ("ORA-12899: value too large for column \"SCOTT\".\"T\".\"NAME\" (actual: 15, maximum: 12)\n",
                last_error());
    }
    EXPECT_EQ(700u, row_count(stmt)) << c.what;
    EXPECT_EQ(700u, error_offset(err)) << c.what;
    EXPECT_EQ("700", count("ID < 100000")) << c.what;
    EXPECT_EQ("0", count("ID >= 700 AND ID < 100000")) << c.what;
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
  }
}

TEST_F(ManyRowsInsertTest, batch_errors_among_many_rows_keep_each_failure_and_every_other_row) {
  OCIStmt* stmt = prepare("INSERT INTO T VALUES (:id, :name, :amount, NULL)");
  Rows rows(1000, 0);
  rows.ids[3] = 2;
  rows.set_name(300, "fifteen chars!!");
  rows.set_amount(301, "12x");
  rows.set_amount(999, "99999");
  ASSERT_EQ(OCI_SUCCESS_WITH_INFO, execute(stmt, rows, OCI_BATCH_ERRORS));
  EXPECT_EQ(996u, row_count(stmt));
  ub4 errors = 0;
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(stmt, OCI_HTYPE_STMT, &errors, nullptr, OCI_ATTR_NUM_DML_ERRORS, err));
  ASSERT_EQ(4u, errors);
  OCIError* row_error = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIHandleAlloc(env, reinterpret_cast<void**>(&row_error), OCI_HTYPE_ERROR, 0, nullptr));
  std::vector<std::pair<ub4, sb4>> failures;
  for (ub4 i = 0; i < errors; ++i) {
    void* handle = row_error;
    ASSERT_EQ(OCI_SUCCESS, OCIParamGet(err, OCI_HTYPE_ERROR, err, &handle, i));
    sb4 code = 0;
    OraText message[512];
    OCIErrorGet(row_error, 1, nullptr, &code, message, sizeof message, OCI_HTYPE_ERROR);
    failures.emplace_back(error_offset(row_error), code);
  }
  OCIHandleFree(row_error, OCI_HTYPE_ERROR);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ((std::vector<std::pair<ub4, sb4>>{{3, 1}, {300, 12899}, {301, 1722}, {999, 1438}}), failures);
  EXPECT_EQ("996", count("1 = 1"));
  EXPECT_EQ("0", count("ID IN (300, 301, 999)"));
}

TEST_F(ManyRowsInsertTest, a_child_row_without_its_parent_fails_at_its_own_row) {
  must_run("CREATE TABLE P (ID NUMBER PRIMARY KEY)");
  must_run("CREATE TABLE C (ID NUMBER, P NUMBER CONSTRAINT C_P REFERENCES P (ID))");
  for (int id = 1; id <= 5; ++id) must_run("INSERT INTO P VALUES (" + std::to_string(id) + ")");
  std::vector<int> ids, parents;
  for (int i = 0; i < 1000; ++i) ids.push_back(i), parents.push_back(i % 5 + 1);
  parents[450] = 9;
  OCIStmt* stmt = prepare("INSERT INTO C VALUES (:1, :2)");
  OCIBind* binds[2] = {};
  OCIBindByPos(stmt, &binds[0], err, 1, ids.data(), sizeof(int), SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0);
  OCIBindByPos(stmt, &binds[1], err, 2, parents.data(), sizeof(int), SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0);
  EXPECT_EQ(OCI_ERROR, OCIStmtExecute(svc, stmt, err, 1000, 0, nullptr, nullptr, OCI_DEFAULT));
  EXPECT_EQ(2291, last_code());
  EXPECT_EQ(450u, error_offset(err));
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ("450 449", single_text("SELECT COUNT(*) || ' ' || MAX(ID) FROM C"));
}

}  // namespace
}  // namespace ociemu::testing
