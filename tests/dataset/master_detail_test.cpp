// Master/detail over DEPT -> EMP -> SKILL: linking and its refusals, detail
// variables from the master, re-querying on master moves (and not when the
// master stays on its record), details of details, a closing master, new
// detail records taking the master's key, and the order of posting.
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
    emp = MakeDataSet("select rowid, empno, ename, deptno from emp where deptno = :deptno order by empno");
    emp->SetName("Emp");
    emp->DeclareVariable("deptno", 3);
    emp->MasterFields = "DEPTNO";
    emp->DetailFields = "DEPTNO";
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
    skill->BeforeQuery = [this](TOracleDataSet*) { skill_queries_for.push_back(skill->GetVariable("empno").AsString()); };
    skill->SetMaster(emp.get());
    skill->Open();
  }

  std::unique_ptr<InspectableDataSet> dept, emp, skill;
  int emp_queries = 0;
  std::vector<std::string> skill_queries_for;  // the EMPNO each skill query was run for
};
KVELL_DATASET_INTERFACES(MasterDetailTest);

TEST_P(MasterDetailTest, scrolling_the_master_requeries_the_detail_for_each_record) {
  emp->Open();
  EXPECT_EQ(Column(*emp, "ENAME"), (std::vector<std::string>{"CLARK", "KING", "MILLER"}));
  EXPECT_EQ(emp->GetVariable("deptno").AsInteger(), 10);
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

// A middle level that re-queries tells its own details about its first record
// once it stands on it: the third level queries once per move of the top, for
// the first employee of the new department, never for a record not yet current.
TEST_P(MasterDetailTest, the_third_level_queries_once_for_the_first_record_of_the_middle) {
  for (const bool fetch_all : {true, false}) {
    SCOPED_TRACE(fetch_all ? "all rows fetched at execution" : "rows fetched on demand");
    dept->First();
    emp->Close();
    emp->QueryAllRecords = fetch_all;
    emp->Open();
    MakeSkill();
    skill_queries_for.clear();
    dept->Next();  // RESEARCH: SMITH first
    EXPECT_EQ(skill_queries_for, std::vector<std::string>{"7369"});
    EXPECT_EQ(Column(*skill, "SKILL"), std::vector<std::string>{"FILING"});
    dept->Last();  // OPERATIONS: nobody, so the skills wait empty without a query
    dept->Prior();  // SALES: ALLEN first
    EXPECT_EQ(skill_queries_for, (std::vector<std::string>{"7369", "7499"}));
    dept->Refresh();  // a new execution of every level, each once, back on ACCOUNTING
    EXPECT_EQ(skill_queries_for, (std::vector<std::string>{"7369", "7499", "7782"}));
    EXPECT_EQ(emp->FieldByName("ENAME")->AsString(), "CLARK");
  }
}

TEST_P(MasterDetailTest, the_chain_opened_from_the_bottom_queries_each_level_once_when_the_top_opens) {
  dept->Close();
  emp->Open();
  MakeSkill();
  EXPECT_TRUE(skill_queries_for.empty());
  dept->Open();
  EXPECT_EQ(emp_queries, 1);
  EXPECT_EQ(skill_queries_for, std::vector<std::string>{"7782"}) << "CLARK, first of ACCOUNTING";
  EXPECT_EQ(Column(*skill, "SKILL"), std::vector<std::string>{"BUDGETS"});
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

TEST_P(MasterDetailTest, a_new_detail_record_takes_the_masters_key) {
  emp->Open();
  dept->Locate("DEPTNO", 20, 0);
  emp->FieldByName("DEPTNO")->ReadOnly = true;  // the user's control may not change it; the dataset does
  emp->Append();
  EXPECT_EQ(emp->FieldByName("DEPTNO")->AsInteger(), 20);
  emp->FieldByName("EMPNO")->SetAsInteger(9100);
  emp->FieldByName("ENAME")->SetAsString("NEWBIE");
  emp->Post();
  EXPECT_EQ(QueryValue(*session, "select deptno from emp where empno = 9100"), "20");
  EXPECT_EQ(Column(*emp, "ENAME").size(), 6u);
}

TEST_P(MasterDetailTest, a_new_detail_record_needs_a_master_key) {
  emp->Open();
  dept->Append();
  EXPECT_EQ(MessageOf([&] { emp->Append(); }), "Field 'DEPTNO' must have a value");
  EXPECT_EQ(emp->State(), dsBrowse);
  dept->FieldByName("DEPTNO")->SetAsInteger(60);
  emp->Append();
  EXPECT_EQ(emp->FieldByName("DEPTNO")->AsInteger(), 60);
  emp->Cancel();
  dept->Cancel();
}

TEST_P(MasterDetailTest, a_master_insert_is_posted_before_the_detail_inserts_made_under_it) {
  emp->Open();
  dept->Append();
  EXPECT_TRUE(emp->IsEmpty()) << "a master on an unposted insert has no details yet";
  dept->FieldByName("DEPTNO")->SetAsInteger(50);
  dept->FieldByName("DNAME")->SetAsString("TRAINING");
  emp->Append();
  emp->FieldByName("EMPNO")->SetAsInteger(9200);
  emp->FieldByName("ENAME")->SetAsString("TUTOR");
  dept->Post();  // the detail's pending insert waits for the master's row
  EXPECT_EQ(QueryValue(*session, "select dname from dept where deptno = 50"), "TRAINING");
  EXPECT_EQ(QueryValue(*session, "select count(*) from emp where empno = 9200"), "0");
  EXPECT_EQ(emp->State(), dsInsert) << "the master's new record keeps the detail it has";
  emp->Post();
  EXPECT_EQ(QueryValue(*session, "select deptno from emp where empno = 9200"), "50");
  emp->Append();
  emp->FieldByName("EMPNO")->SetAsInteger(9201);
  dept->First();  // scrolling the master posts the detail first
  EXPECT_EQ(QueryValue(*session, "select deptno from emp where empno = 9201"), "50");
  dept->Last();
  EXPECT_EQ(dept->FieldByName("DEPTNO")->AsInteger(), 50);
  EXPECT_EQ(Column(*emp, "EMPNO"), (std::vector<std::string>{"9200", "9201"}));
}

TEST_P(MasterDetailTest, a_detail_being_edited_is_posted_before_the_master_scrolls) {
  emp->Open();
  MakeSkill();
  skill->Edit();
  skill->FieldByName("SKILL")->SetAsString("AUDITS");
  dept->Next();  // two levels down
  EXPECT_EQ(skill->State(), dsBrowse);
  EXPECT_EQ(QueryValue(*session, "select skill from skill where empno = 7782"), "AUDITS");
  emp->Edit();
  emp->FieldByName("ENAME")->SetAsString("SMYTHE");
  dept->Refresh();  // refreshing posts details too
  EXPECT_EQ(QueryValue(*session, "select ename from emp where empno = 7369"), "SMYTHE");
}

TEST_P(MasterDetailTest, counts_follow_posted_inserts_and_deletes) {
  emp->CountAllRecords = true;
  emp->Open();
  EXPECT_EQ(emp->RecordCount(), 3);
  emp->Append();
  emp->FieldByName("EMPNO")->SetAsInteger(9300);
  emp->Post();
  EXPECT_EQ(emp->RecordCount(), 4);
  emp->Locate("EMPNO", 7934, 0);
  emp->Delete();
  emp->Locate("EMPNO", 9300, 0);
  emp->Delete();
  EXPECT_EQ(emp->RecordCount(), 2);
  dept->Next();
  EXPECT_EQ(emp->RecordCount(), 5) << "a new execution counts again";
}

}  // namespace
}  // namespace kvell::testing
