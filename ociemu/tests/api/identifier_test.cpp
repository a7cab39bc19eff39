// Names as Oracle resolves them: pseudocolumns are not assignable.
#include "ociemu/tests/api/oci_test_support.h"

namespace ociemu::testing {
namespace {

class IdentifierTest : public OciTest {};

TEST_F(IdentifierTest, assigning_rowid_is_refused_as_oracle_refuses_it) {
  must_run("CREATE TABLE t (id NUMBER)");
  must_run("INSERT INTO t VALUES (1)");
  EXPECT_EQ(OCI_ERROR, run("UPDATE t SET ROWID = 'AAAAAAAAAAAAAAAAAA' WHERE id = 1"));
  EXPECT_EQ(1747, last_code());
  EXPECT_EQ(OCI_ERROR, run("UPDATE t SET id = 2, rowid = NULL"));
  EXPECT_EQ(1747, last_code());
  EXPECT_EQ("1", single_text("SELECT id FROM t"));
}

}  // namespace
}  // namespace ociemu::testing
