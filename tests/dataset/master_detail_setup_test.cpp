// Automatic master/detail configuration at design time on ociemu: the
// foreign key read from the dictionary, the detail's rewritten SQL running
// as a real detail, a detail over a nested-table column chosen through the
// user-interface hook, and every refusal.
#include <string>
#include <vector>

#include "oracle/dataset/dataset_messages.h"
#include "oracle/dataset/master_detail_setup.h"
#include "oracle/ui/default_user_interface.h"
#include "tests/dataset/dataset_fixture.h"

namespace kvell::testing {
namespace {

TEST(MasterDetailSetupText, the_key_condition_replaces_the_where_clause_up_to_order_by) {
  EXPECT_EQ(WithKeyCondition("select * from emp\r\nwhere sal > 0 and (a = ')')\r\norder by ename\r\n", {"DEPTNO"}),
            "select * from emp\r\nwhere deptno = :deptno\r\norder by ename\r\n");
  EXPECT_EQ(WithKeyCondition("select * from emp\r\norder by ename\r\n", {"DEPTNO", "LOC"}),
            "select * from emp\r\nwhere deptno = :deptno and loc = :loc\r\norder by ename\r\n");
  EXPECT_EQ(WithKeyCondition("select * from emp where x in (select y from z where w = 1)", {"DEPTNO"}),
            "select * from emp where deptno = :deptno\r\n");
  EXPECT_EQ(WithKeyCondition("select * from emp", {"DEPTNO"}), "select * from emp\r\nwhere deptno = :deptno\r\n");
}

class MasterDetailSetupTest : public DataSetTest {
 protected:
  void SetUp() override {
    DataSetTest::SetUp();
    Exec("create table mds_dept (deptno number(2) constraint pk_mds_dept primary key, dname varchar2(14))");
    Exec("create table mds_emp (empno number(4) constraint pk_mds_emp primary key, ename varchar2(10), "
         "deptno number(2) constraint fk_mds_emp_dept references mds_dept)");
    Exec("create table mds_move (id number, from_dept number(2) constraint fk_mds_from references mds_dept, "
         "to_dept number(2) constraint fk_mds_to references mds_dept)");
    Exec("create table mds_free (id number)");
    Exec("insert into mds_dept values (10, 'ACCOUNTING')");
    Exec("insert into mds_dept values (20, 'RESEARCH')");
    Exec("insert into mds_emp values (7782, 'CLARK', 10)");
    Exec("insert into mds_emp values (7369, 'SMITH', 20)");
    Exec("insert into mds_emp values (7902, 'FORD', 20)");
    session->Commit();
    ui().SetConfirmPolicy([this](const std::string& message, TConfirmButtons buttons) {
      asked.push_back(message);
      EXPECT_EQ(buttons, TConfirmButtons{cbYes | cbNo});
      return answer;
    });
    master = MakeDataSet("select rowid, d.* from mds_dept d order by deptno");
    master->SetName("Dept");
  }
  void TearDown() override {
    ui().SetConfirmPolicy({});
    ui().SetCollectionColumnPolicy({});
    detail.reset();
    master.reset();
    DataSetTest::TearDown();
  }
  static DefaultUserInterface& ui() { return *InstalledDefaultUserInterface(); }

  // A detail being designed, linked to the master.
  void Design(const std::string& sql) {
    detail = MakeDataSet(sql);
    detail->SetName("Detail");
    detail->SetDesigning(true);
    detail->SetMaster(master.get());
  }
  std::string Refusal(const std::string& sql) {
    return MessageOf([&] { Design(sql); });
  }

  std::unique_ptr<InspectableDataSet> master, detail;
  std::vector<std::string> asked;
  int answer = mrYes;
};
KVELL_DATASET_INTERFACES(MasterDetailSetupTest);

TEST_P(MasterDetailSetupTest, the_foreign_key_links_the_detail_and_rewrites_its_where_clause) {
  Design("select rowid, e.* from mds_emp e\r\nwhere ename like 'X%'\r\norder by empno\r\n");
  ASSERT_EQ(asked, std::vector<std::string>{dataset_messages::AutoMasterDetailConfirm});
  EXPECT_EQ(detail->MasterFields, "DEPTNO");
  EXPECT_EQ(detail->DetailFields, "DEPTNO");
  EXPECT_EQ(detail->SQL().Text(), "select rowid, e.* from mds_emp e\r\nwhere deptno = :deptno\r\norder by empno\r\n");
  ASSERT_EQ(detail->VariableCount(), 1);
  EXPECT_EQ(detail->VariableName(0), ":DEPTNO");
  EXPECT_EQ(detail->VariableType(0), 3);

  // The configured pair works as a master and detail at run time.
  detail->SetDesigning(false);
  master->Open();
  detail->Open();
  EXPECT_EQ(Column(*detail, "ENAME"), (std::vector<std::string>{"CLARK"}));
  master->Next();
  EXPECT_EQ(Column(*detail, "ENAME"), (std::vector<std::string>{"SMITH", "FORD"}));
}

TEST_P(MasterDetailSetupTest, without_consent_only_the_field_lists_are_set) {
  answer = mrNo;
  Design("select rowid, e.* from mds_emp e where ename like 'X%'");
  detail->DeclareVariable("kept", 5);
  EXPECT_EQ(detail->MasterFields, "DEPTNO");
  EXPECT_EQ(detail->DetailFields, "DEPTNO");
  EXPECT_EQ(detail->SQL().Text(), "select rowid, e.* from mds_emp e where ename like 'X%'\r\n");
  EXPECT_EQ(detail->VariableIndex("kept"), 0);
}

TEST_P(MasterDetailSetupTest, each_refusal_names_what_is_missing) {
  EXPECT_EQ(Refusal("select * from mds_free"), dataset_messages::AutoMasterDetailNoForeignKey);
  EXPECT_EQ(Refusal("select * from mds_move"), dataset_messages::AutoMasterDetailSeveralForeignKeys);
  EXPECT_TRUE(asked.empty()) << "nothing is asked before a single foreign key is found";
  EXPECT_EQ(detail->Master(), master.get()) << "the master stays set";
  EXPECT_TRUE(detail->MasterFields.empty());

  EXPECT_EQ(Refusal(""), dataset_messages::AutoMasterDetailNeedsDetailSQL);
  master->SetSQLText("");
  EXPECT_EQ(Refusal("select * from mds_emp"), dataset_messages::AutoMasterDetailNeedsMasterSQL);
  session->LogOff();
  EXPECT_EQ(Refusal("select * from mds_emp"), dataset_messages::AutoMasterDetailNeedsSession);
}

TEST_P(MasterDetailSetupTest, a_detail_being_loaded_or_run_is_left_as_written) {
  detail = MakeDataSet("select * from mds_free");
  detail->SetMaster(master.get());
  detail->SetMaster(nullptr);
  detail->SetDesigning(true);
  detail->BeginLoading();
  detail->SetMaster(master.get());
  EXPECT_TRUE(asked.empty());
  EXPECT_EQ(detail->SQL().Text(), "select * from mds_free\r\n");
}

class CollectionDetailTest : public MasterDetailSetupTest {
 protected:
  void SetUp() override {
    MasterDetailSetupTest::SetUp();
    if (OCI7()) GTEST_SKIP() << "objects need OCI8";
    Exec("create type mds_tags_t as table of varchar2(10)");
    Exec("create type mds_part_t as object (name varchar2(20), qty number)");
    Exec("create type mds_parts_t as table of mds_part_t");
    Exec("create table mds_kit (id number(4) constraint pk_mds_kit primary key, tags mds_tags_t, parts mds_parts_t) "
         "nested table tags store as mds_kit_tags nested table parts store as mds_kit_parts");
    Exec("insert into mds_kit values (1, mds_tags_t('red'), "
         "mds_parts_t(mds_part_t('bolt', 10), mds_part_t('nut', 4)))");
    Exec("insert into mds_kit values (2, mds_tags_t(), mds_parts_t(mds_part_t('gear', 2)))");
    session->Commit();
    master->SetSQLText("select rowid, k.* from mds_kit k order by id");
  }
};
KVELL_DATASET_INTERFACES(CollectionDetailTest);

TEST_P(CollectionDetailTest, the_chosen_collection_column_becomes_the_detail_query) {
  std::vector<std::string> offered;
  ui().SetCollectionColumnPolicy([&](const std::vector<std::string>& columns) {
    offered = columns;
    return TCollectionColumnChoice{true, 1, false};
  });
  Design("");
  EXPECT_EQ(offered, (std::vector<std::string>{"TAGS", "PARTS"}));
  EXPECT_TRUE(asked.empty()) << "the form's OK is the consent";
  EXPECT_EQ(detail->SQL().Text(), CollectionDetailQuery("MDS_KIT", "PARTS", {"ID"}, false));
  EXPECT_EQ(detail->SQL().Text(),
            "select t.*, t.rowid\r\n"
            "from table(select m.parts from MDS_KIT m\r\n"
            "           where m.id = :id) t\r\n");
  EXPECT_EQ(detail->MasterFields, "ID");
  EXPECT_EQ(detail->DetailFields, "ID");
  EXPECT_FALSE(detail->ReadOnly);
}

TEST_P(CollectionDetailTest, a_read_only_detail_runs_and_the_default_takes_the_first_column_and_cancel_nothing) {
  ui().SetCollectionColumnPolicy(
      [](const std::vector<std::string>&) { return TCollectionColumnChoice{true, 1, true}; });
  Design("");
  EXPECT_EQ(detail->SQL().Text(), CollectionDetailQuery("MDS_KIT", "PARTS", {"ID"}, true));
  EXPECT_EQ(detail->SQL().Text(),
            "select t.*\r\n"
            "from table(select m.parts from MDS_KIT m\r\n"
            "           where m.id = :id) t\r\n");
  EXPECT_TRUE(detail->ReadOnly);
  detail->SetDesigning(false);
  master->Open();
  detail->Open();
  EXPECT_EQ(Column(*detail, "NAME"), (std::vector<std::string>{"bolt", "nut"}));
  master->Next();
  EXPECT_EQ(Column(*detail, "NAME"), (std::vector<std::string>{"gear"}));

  ui().SetCollectionColumnPolicy({});
  Design("");
  EXPECT_EQ(detail->SQL().Text(), CollectionDetailQuery("MDS_KIT", "TAGS", {"ID"}, true));

  ui().SetCollectionColumnPolicy([](const std::vector<std::string>&) { return TCollectionColumnChoice{}; });
  Design("select * from mds_emp");
  EXPECT_EQ(detail->SQL().Text(), "select * from mds_emp\r\n");
  EXPECT_TRUE(detail->MasterFields.empty());
}

}  // namespace
}  // namespace kvell::testing
