// Master/detail over DEPT -> EMP -> SKILL: linking and its refusals, detail
// variables from the master, re-querying on master moves (and not when the
// master stays on its record), details of details, a closing master.
#include <string>
#include <vector>

#include "oracle/dataset/dataset_messages.h"
#include "tests/dataset/dataset_fixture.h"

namespace kvell::testing {
namespace {

class MasterDetailTest : public DataSetTest {
 protected:
  void SetUp() override {
    DataSetTest::SetUp();
    Exec("create table skill (empno number(4), skill varchar2(20))");
    Exec("insert into skill values (7782, 'BUDGETS')");
    Exec("insert into skill values (7839, 'GOLF')");
    Exec("insert into skill values (7839, 'SPEECHES')");
    Exec("insert into skill values (7369, 'FILING')");
    dept = OpenDataSet("select rowid, deptno, dname from dept order by deptno");
    emp = MakeDataSet("select rowid, empno, ename, deptno from emp where deptno = :dno order by empno");
    emp->SetName("Emp");
    emp->DeclareVariable("dno", 3);
    emp->MasterFields = "DEPTNO";
    emp->DetailFields = "DNO";
    emp->BeforeQuery = [this](TOracleDataSet*) { ++emp_queries; };
    emp->SetMaster(dept.get());
  }
  void TearDown() override {
    skill.reset();
    emp.reset();
    dept.reset();
    DataSetTest::TearDown();
  }
  void MakeSkill() {
    skill = MakeDataSet("select rowid, empno, skill from skill where empno = :empno order by skill");
    skill->SetName("Skill");
    skill->DeclareVariable("empno", 3);
    skill->MasterFields = "EMPNO";  // the variable is named as the master field
    skill->SetMaster(emp.get());
    skill->Open();
  }

  std::unique_ptr<InspectableDataSet> dept, emp, skill;
  int emp_queries = 0;
};
KVELL_DATASET_INTERFACES(MasterDetailTest);

TEST_P(MasterDetailTest, scrolling_the_master_requeries_the_detail_for_each_record) {
  emp->Open();
  EXPECT_EQ(Column(*emp, "ENAME"), (std::vector<std::string>{"CLARK", "KING", "MILLER"}));
  EXPECT_EQ(emp->GetVariable("dno").AsInteger(), 10);
  dept->Next();
  EXPECT_EQ(Column(*emp, "ENAME"), (std::vector<std::string>{"SMITH", "JONES", "SCOTT", "ADAMS", "FORD"}));
  dept->Last();
  EXPECT_TRUE(emp->IsEmpty()) << "OPERATIONS has no employees";
  dept->Prior();
  EXPECT_EQ(emp->RecordCount(), 6);
  EXPECT_EQ(emp_queries, 4);
}

TEST_P(MasterDetailTest, a_detail_is_not_requeried_while_the_master_stays_on_its_record) {
  emp->Open();
  const int after_open = emp_queries;
  dept->First();                 // already there: a data-set change, same record
  dept->Locate("DEPTNO", 10, 0);  // found where it stands
  EXPECT_EQ(emp_queries, after_open);
  dept->Refresh();  // a new execution: the rows read before belong to no record now
  EXPECT_EQ(emp_queries, after_open + 1);
  EXPECT_EQ(Column(*emp, "ENAME").size(), 3u);
}

TEST_P(MasterDetailTest, details_of_details_follow_both_levels) {
  emp->Open();
  MakeSkill();
  EXPECT_EQ(Column(*skill, "SKILL"), std::vector<std::string>{"BUDGETS"}) << "CLARK, first of ACCOUNTING";
  emp->Next();
  EXPECT_EQ(Column(*skill, "SKILL"), (std::vector<std::string>{"GOLF", "SPEECHES"}));
  emp->Next();
  EXPECT_TRUE(skill->IsEmpty());
  dept->Next();  // RESEARCH: SMITH first
  EXPECT_EQ(emp->FieldByName("ENAME")->AsString(), "SMITH");
  EXPECT_EQ(Column(*skill, "SKILL"), std::vector<std::string>{"FILING"});
  dept->Last();
  EXPECT_TRUE(emp->IsEmpty());
  EXPECT_TRUE(skill->IsEmpty()) << "no employee, no skills";
  EXPECT_TRUE(VarIsClear(skill->GetVariable("empno")));
}

TEST_P(MasterDetailTest, a_detail_opened_before_its_master_waits_empty_and_follows_the_master) {
  dept->Close();
  emp->Open();
  EXPECT_TRUE(emp->IsEmpty());
  EXPECT_EQ(emp_queries, 0) << "nothing to query without a master record";
  EXPECT_FALSE(emp->CanModify()) << "no master record to belong to";
  dept->Open();
  EXPECT_EQ(Column(*emp, "ENAME").size(), 3u);
  EXPECT_TRUE(emp->CanModify());
  dept->Close();
  EXPECT_TRUE(emp->Active());
  EXPECT_TRUE(emp->IsEmpty()) << "a closing master empties its details";
}

TEST_P(MasterDetailTest, a_circular_chain_of_masters_is_refused) {
  EXPECT_EQ(MessageOf([&] { dept->SetMaster(emp.get()); }), dataset_messages::CircularMasterDetail);
  EXPECT_EQ(MessageOf([&] { dept->SetMaster(dept.get()); }), dataset_messages::CircularMasterDetail);
  MakeSkill();
  EXPECT_EQ(MessageOf([&] { dept->SetMaster(skill.get()); }), dataset_messages::CircularMasterDetail);
  EXPECT_EQ(dept->Master(), nullptr);
  EXPECT_TRUE(dept->Active()) << "a refused master leaves the dataset as it was";
}

TEST_P(MasterDetailTest, a_new_master_closes_the_detail_and_unlinks_the_old_one) {
  emp->Open();
  auto other = OpenDataSet("select deptno from dept where deptno = 30");
  emp->SetMaster(other.get());
  EXPECT_FALSE(emp->Active());
  emp->Open();
  EXPECT_EQ(Column(*emp, "ENAME").size(), 6u);
  const int queries = emp_queries;
  dept->Next();
  EXPECT_EQ(emp_queries, queries) << "the old master no longer drives it";
  other.reset();
  EXPECT_EQ(emp->Master(), nullptr) << "a destroyed master unlinks its details";
  emp->SetMaster(dept.get());
  dept.reset();
  EXPECT_EQ(emp->Master(), nullptr);
}

TEST_P(MasterDetailTest, a_fixed_character_master_value_keeps_its_blanks_for_the_detail_variable) {
  Exec("create table codes (code char(4), name varchar2(10))");
  Exec("insert into codes values ('AB', 'first')");
  auto codes = OpenDataSet("select code from codes");
  auto names = MakeDataSet("select name from codes where code = :code");
  names->DeclareVariable("code", 5);
  names->MasterFields = "CODE";
  names->SetMaster(codes.get());
  names->Open();
  EXPECT_EQ(names->GetVariable("code").AsString(), "AB  ");
  EXPECT_EQ(Column(*names, "NAME"), std::vector<std::string>{"first"});
  names->Close();
  names->DeclareVariable("code", 97);
  names->Open();
  EXPECT_EQ(names->GetVariable("code").AsString(), "AB");
}

TEST_P(MasterDetailTest, an_undeclared_detail_variable_is_reported) {
  emp->DetailFields = "NODEPT";
  EXPECT_NE(MessageOf([&] { emp->Open(); }), "<no exception>");
  EXPECT_FALSE(emp->Active());
}

}  // namespace
}  // namespace kvell::testing
