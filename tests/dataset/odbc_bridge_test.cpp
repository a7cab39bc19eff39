// A session whose database name holds "ODBC:" is an ODBC bridge session. On
// ociemu the name is an alias of the test's database, so the bridge's own
// dictionary queries run as written: names resolved by the three queries,
// key fields from the dictionary at open (refused without a key), an
// insert's rowid found again by its key, system-named constraints loaded,
// and the bridge's violation text.
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "oracle/dataset/dml_messages.h"
#include "oracle/dataset/table_info.h"
#include "tests/dataset/dataset_fixture.h"

namespace kvell::testing {
namespace {

class OdbcBridgeTest : public DataSetTest {
 protected:
  void SetUp() override {
    DataSetTest::SetUp();
    Exec("create table br_dept (deptno number(2) constraint pk_br_dept primary key, "
         "dname varchar2(14) unique)");
    Exec("create table br_log (text varchar2(20))");
    Exec("create synonym br_dept_s for br_dept");
    Exec("insert into br_dept values (10, 'ACCOUNTING')");
    Exec("insert into br_dept values (20, 'RESEARCH')");
    session->Commit();
    aliases_ = database_ + ".aliases";
    std::ofstream(aliases_) << "ODBC:KVELL = " << database_ << "\n";
    const char* previous = std::getenv("OCIEMU_ALIASES");
    previous_aliases_ = previous ? previous : "";
    setenv("OCIEMU_ALIASES", aliases_.c_str(), 1);
    bridge = MakeSession();
    bridge->SetLogonDatabase("ODBC:KVELL");
    bridge->LogOn();
  }
  void TearDown() override {
    dataset.reset();
    bridge.reset();
    if (previous_aliases_.empty()) unsetenv("OCIEMU_ALIASES");
    else setenv("OCIEMU_ALIASES", previous_aliases_.c_str(), 1);
    std::filesystem::remove(aliases_);
    DataSetTest::TearDown();
  }
  InspectableDataSet& OnBridge(const std::string& sql) {
    dataset = MakeDataSet(sql);
    dataset->SetSession(bridge.get());
    return *dataset;
  }

  std::unique_ptr<TOracleSession> bridge;
  std::unique_ptr<InspectableDataSet> dataset;

 private:
  std::string aliases_;
  std::string previous_aliases_;
};
INSTANTIATE_TEST_SUITE_P(Interfaces, OdbcBridgeTest, ::testing::Values(Interface::OCI8), InterfaceName);

TEST_P(OdbcBridgeTest, the_session_is_a_bridge_and_names_resolve_through_its_queries) {
  ASSERT_TRUE(bridge->ODBCBridge());
  InspectableDataSet& data = OnBridge("select rowid, d.* from br_dept d");
  for (const char* name : {"br_dept", "br_dept_s"}) {
    data.SetUpdatingTable(name);
    TOracleTableInfo& info = data.TableInfo();
    EXPECT_EQ(info.Owner(), "SCOTT") << name;
    EXPECT_EQ(info.TableName(), "BR_DEPT") << name;
  }
}

TEST_P(OdbcBridgeTest, an_insert_finds_its_rowid_by_the_dictionarys_key) {
  InspectableDataSet& data = OnBridge("select rowid, d.* from br_dept d order by deptno");
  data.Open();
  data.Append();
  data.FieldByName("DEPTNO")->SetAsInteger(30);
  data.FieldByName("DNAME")->SetAsString("SALES");
  data.Post();
  ASSERT_NE(data.DMLQuery(), nullptr);
  EXPECT_EQ(data.DMLQuery()->SQL().Text(), "select rowid from BR_DEPT where\r\nDEPTNO = :DEPTNO\r\n");
  // The rowid found is the row's own: an update through it reaches the row.
  data.Edit();
  data.FieldByName("DNAME")->SetAsString("SALES EAST");
  data.Post();
  EXPECT_EQ(QueryValue(*session, "select dname from br_dept where deptno = 30"), "SALES EAST");
}

TEST_P(OdbcBridgeTest, opening_without_any_key_is_refused) {
  InspectableDataSet& data = OnBridge("select rowid, l.* from br_log l");
  EXPECT_EQ(MessageOf([&] { data.Open(); }), dml_messages::NoKeyColumns);
  // Without a rowid in the select list nothing is looked up.
  InspectableDataSet& plain = OnBridge("select l.* from br_log l");
  plain.Open();
  EXPECT_TRUE(plain.Active());
}

TEST_P(OdbcBridgeTest, system_named_constraints_are_checked_with_the_bridges_message) {
  InspectableDataSet& data = OnBridge("select rowid, d.* from br_dept d order by deptno");
  data.OracleDictionary.EnforceConstraints = true;
  data.Open();
  bool system_named = false;
  for (const TOracleConstraintInfo& constraint : data.TableInfo().Constraints())
    system_named = system_named || constraint.Name.rfind("SYS_C", 0) == 0;
  EXPECT_TRUE(system_named) << "the unique key on DNAME has a system name";
  data.Append();
  const std::string message = MessageOf([&] { data.FieldByName("DNAME")->SetAsString("RESEARCH"); });
  EXPECT_EQ(message, bridge->ErrorMessageText(30021) + "[POL-3220] duplicate keys in unique/primary index");
}

}  // namespace
}  // namespace kvell::testing
