// The blocks a data layer sends word for word: a check constraint tested
// against a stored row, and column defaults evaluated into binds.
#include "plsql_test_support.h"

namespace ociemu::testing {
namespace {

class LayerBlocksTest : public PlsqlTest {
 protected:
  std::string rowid_of(int empno) {
    return single_text("SELECT ROWID FROM EMP WHERE EMPNO = " + std::to_string(empno));
  }
};

TEST_F(LayerBlocksTest, the_check_constraint_block_reports_2290_or_0) {
  const std::string block =
      "begin\r\n"
      "  select sal into :sal from emp where rowid = :kvell__rowid;\r\n"
      "  if not (:sal > :comm) then\r\n"
      "    :error := 2290;\r\n"
      "  else\r\n"
      "    :error := 0;\r\n"
      "  end if;\r\n"
      "exception\r\n"
      "  when others then :error := 0;\r\n"
      "end;";
  struct Case {
    int empno;
    long long comm;
    long long error;
  };
  // KING earns 5000.
  for (Case c : {Case{7839, 100, 0}, Case{7839, 6000, 2290}}) {
    std::vector<Var> vars{number(":sal"), string(":kvell__rowid", rowid_of(c.empno)), number(":comm", c.comm),
                          number(":error", -1)};
    ASSERT_EQ(OCI_SUCCESS, execute(block, vars)) << last_error();
    EXPECT_EQ(5000, vars[0].integer);
    EXPECT_EQ(c.error, vars[3].integer) << c.comm;
  }
  // A row that has gone answers 0 through the handler.
  std::vector<Var> vars{number(":sal"), string(":kvell__rowid", rowid_of(7839)), number(":comm", 1), number(":error", -1)};
  must_run("DELETE FROM EMP WHERE EMPNO = 7839");
  ASSERT_EQ(OCI_SUCCESS, execute(block, vars)) << last_error();
  EXPECT_EQ(0, vars[3].integer);
}

TEST_F(LayerBlocksTest, the_defaults_block_evaluates_default_texts_into_typed_binds) {
  must_run("ALTER SESSION SET NLS_DATE_FORMAT = 'YYYY-MM-DD'");
  const std::string block =
      "begin\r\n"
      "  :HIREDATE := trunc(sysdate);\r\n"
      "  :COMM := 10 * 2;\r\n"
      "  :JOB := 'CLERK';\r\n"
      "  :NOTHING := null;\r\n"
      "end;";
  std::vector<Var> vars{string(":HIREDATE"), number(":COMM"), string(":JOB"), string(":NOTHING", "x")};
  ASSERT_EQ(OCI_SUCCESS, execute(block, vars)) << last_error();
  EXPECT_EQ(single_text("SELECT TO_CHAR(SYSDATE, 'YYYY-MM-DD') FROM DUAL"), vars[0].text);
  EXPECT_EQ(20, vars[1].integer);
  EXPECT_EQ("CLERK", vars[2].text);
  EXPECT_TRUE(vars[3].null);
}

}  // namespace
}  // namespace ociemu::testing
