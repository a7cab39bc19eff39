// Array DML binds read straight from the client's arrays: every plainly bound external type at
// unaligned strides, NULL by indicator and by empty text, and arrays bound anew between executions.
#include <cstdint>

#include "oci_test_support.h"

namespace ociemu::testing {
namespace {

class ArrayBindTest : public OciTest {
 protected:
  void SetUp() override {
    OciTest::SetUp();
    must_run("CREATE TABLE T (I1 NUMBER, I2 NUMBER, I4 NUMBER, I8 NUMBER, R NUMBER, C VARCHAR2(10), Z VARCHAR2(10), "
             "L VARCHAR2(10))");
  }

  OCIBind* bind(OCIStmt* stmt, ub4 position, void* value, sb4 size, ub2 dty, void* indicator = nullptr,
                ub2* length = nullptr) {
    OCIBind* handle = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIBindByPos(stmt, &handle, err, position, value, size, dty, indicator, length, nullptr, 0,
                                        nullptr, OCI_DEFAULT));
    return handle;
  }

  std::vector<std::string> rows() {
    return column_texts("SELECT I1 || '|' || I2 || '|' || I4 || '|' || I8 || '|' || R || '|' || C || '|' || Z || '|' || "
                        "L FROM T ORDER BY I4");
  }
};

#pragma pack(push, 1)
struct PackedRow {
  char pad;  // puts every member below at an odd address
  int8_t i1;
  int16_t i2;
  int32_t i4;
  int64_t i8;
  double r;
  char c[6];  // SQLT_CHR without lengths: all six bytes
  char z[6];  // SQLT_STR without lengths: up to the terminator, or all six
  sb2 z_indicator;
  char l[6];  // SQLT_CHR with lengths
  ub2 l_length;
  sb2 l_indicator;
};
#pragma pack(pop)

TEST_F(ArrayBindTest, every_plainly_bound_kind_arrives_whole_at_unaligned_strides) {
  PackedRow packed[4] = {
      {0, -5, -300, 1, int64_t{1} << 40, 2.5, {'a', 'b', 'c', 'd', 'e', 'f'}, "xy", 0, "hello", 5, 0},
      {0, 127, 32767, 2, -1, -0.125, {'g', 'h', 'i', 'j', 'k', 'l'}, "gone", -1, "xx", 0, 0},
      {0, -128, -32768, 3, INT64_MAX, 12345.75, {'m', 'n', 'o', 'p', 'q', 'r'}, "", 7, {'a', 'b', 'c', 'd', 'e', 'f'}, 3, 0},
      {0, 0, 0, 4, INT64_MIN, 0, {'s', 't', 'u', 'v', 'w', 'x'}, {'u', 'v', 'w', 'x', 'y', 'z'}, 0, "kept", 4, -1},
  };
  OCIStmt* stmt = prepare("INSERT INTO T VALUES (:1, :2, :3, :4, :5, :6, :7, :8)");
  PackedRow& first = packed[0];
  OCIBind* binds[] = {
      bind(stmt, 1, &first.i1, 1, SQLT_INT),
      bind(stmt, 2, &first.i2, 2, SQLT_INT),
      bind(stmt, 3, &first.i4, 4, SQLT_INT),
      bind(stmt, 4, &first.i8, 8, SQLT_INT),
      bind(stmt, 5, &first.r, 8, SQLT_FLT),
      bind(stmt, 6, first.c, 6, SQLT_CHR),
      bind(stmt, 7, first.z, 6, SQLT_STR, &first.z_indicator),
      bind(stmt, 8, first.l, 6, SQLT_CHR, &first.l_indicator, &first.l_length),
  };
  for (OCIBind* b : binds) {
    ASSERT_EQ(OCI_SUCCESS, OCIBindArrayOfStruct(b, err, sizeof(PackedRow), sizeof(PackedRow), sizeof(PackedRow), 0));
  }
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 4, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  // Only -1 marks NULL; an empty text is NULL too (row 2's Z, row 1's L).
  EXPECT_EQ((std::vector<std::string>{"-5|-300|1|1099511627776|2.5|abcdef|xy|hello",
                                      "127|32767|2|-1|-.125|ghijkl||",
                                      "-128|-32768|3|9223372036854775807|12345.75|mnopqr||abc",
                                      "0|0|4|-9223372036854775808|0|stuvwx|uvwxyz|"}),
            rows());
}

TEST_F(ArrayBindTest, each_execute_reads_the_arrays_bound_at_that_time) {
  OCIStmt* stmt = prepare("INSERT INTO T (I4, C) VALUES (:1, :2)");
  int first_ids[2] = {1, 2}, second_ids[2] = {3, 4};
  char names[2][4] = {"ab", "cd"};
  ub2 name_lengths[2] = {2, 2};
  bind(stmt, 1, first_ids, sizeof(int), SQLT_INT);
  bind(stmt, 2, names, sizeof names[0], SQLT_CHR, nullptr, name_lengths);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 2, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  // Bound again by the same position: a new array, and a double where an integer was.
  double second_ids_as_reals[2] = {second_ids[0] + 0.5, second_ids[1] + 0.5};
  bind(stmt, 1, second_ids_as_reals, sizeof(double), SQLT_FLT);
  name_lengths[1] = 1;
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 2, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  // Some rows from the middle of the arrays.
  bind(stmt, 1, first_ids, sizeof(int), SQLT_INT);
  first_ids[1] = 5;
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 1, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ((std::vector<std::string>{"1|ab", "2|cd", "3.5|ab", "4.5|c", "5|c"}),
            column_texts("SELECT I4 || '|' || C FROM T ORDER BY I4"));
}

}  // namespace
}  // namespace ociemu::testing
