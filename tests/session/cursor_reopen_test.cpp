// A block run again that reopens its cursor variable into the same receiving
// query: the query describes and defines the new cursor before fetching.
#include "session_fixture.h"

namespace kvell::testing {
namespace {

class CursorReopenTest : public ConnectedQueryTest<SessionInterfaceTest> {};
INSTANTIATE_TEST_SUITE_P(Interfaces, CursorReopenTest, ::testing::Values(Interface::OCI8, Interface::ForceOCI7),
                         InterfaceName);

TEST_P(CursorReopenTest, a_reopened_cursor_variable_is_fetched_with_its_own_select_list) {
  TOracleQuery staff;
  staff.SetSession(session.get());
  query->SQL().SetText(
      "begin\n"
      "  if :wide = 1 then open :c for select ename, job from emp where deptno = 10 order by ename;\n"
      "  else open :c for select dname from dept order by deptno; end if;\n"
      "end;");
  query->DeclareVariable("wide", 3);
  query->DeclareVariable("c", 116);
  query->SetComplexVariable("c", &staff);
  query->SetVariable("wide", 1);
  query->Execute();
  staff.Execute();
  ASSERT_EQ(staff.ColumnCount(), 2);
  EXPECT_EQ(staff.FieldText(1), "MANAGER");
  query->SetVariable("wide", 0);
  query->Execute();
  staff.Execute();
  ASSERT_EQ(staff.ColumnCount(), 1);
  std::vector<std::string> names;
  for (; !staff.Eof(); staff.Next()) names.push_back(staff.FieldText(0));
  EXPECT_EQ(names, (std::vector<std::string>{"ACCOUNTING", "RESEARCH", "SALES", "OPERATIONS"}));
}

}  // namespace
}  // namespace kvell::testing
