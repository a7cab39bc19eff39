// The navigator over a dataset in query-by-example mode on ociemu: only the
// buttons that work on a search form are enabled, and they do what they show.
#include <gtest/gtest.h>

#include <QAction>

#include "db/data_source.h"
#include "oracle/dataset/oracle_dataset.h"
#include "qt/dataset_navigator.h"
#include "tests/qt/oracle_qt_fixture.h"

namespace kvell::qt_test {
namespace {

using Nav = TDataSetNavigator;

class NavigatorQBETest : public OracleQtTest {
 protected:
  void SetUp() override {
    OracleQtTest::SetUp();
    emp = std::make_unique<TOracleDataSet>();
    emp->SetSession(session.get());
    emp->SetSQLText("select rowid, empno, ename, job from emp order by empno");
    emp->Open();
    source = std::make_unique<TDataSource>(nullptr);
    source->SetDataSet(emp.get());
  }
  void TearDown() override {
    source.reset();
    emp.reset();
    OracleQtTest::TearDown();
  }
  std::unique_ptr<TOracleDataSet> emp;
  std::unique_ptr<TDataSource> source;
};

TEST_F(NavigatorQBETest, a_search_form_can_only_be_cleared_and_started_again) {
  Nav navigator(source.get());
  ASSERT_EQ(QStringList({"Next", "Last", "Insert", "Delete", "Edit", "Refresh"}), EnabledButtons(navigator));

  emp->SetQBEMode(true);
  ASSERT_EQ(dsInsert, emp->State());
  EXPECT_EQ(QStringList({"Cancel"}), EnabledButtons(navigator));

  emp->FieldByName("JOB")->SetText("CLERK");
  navigator.Button(Nav::nbCancel)->trigger();
  EXPECT_EQ(dsBrowse, emp->State());
  EXPECT_TRUE(emp->QBEMode());
  EXPECT_EQ(QStringList({"Insert"}), EnabledButtons(navigator));

  navigator.Button(Nav::nbInsert)->trigger();
  EXPECT_EQ(dsInsert, emp->State());
  EXPECT_TRUE(emp->FieldByName("JOB")->IsNull()) << "the cleared example does not come back";
  emp->FieldByName("JOB")->SetText("ANALYST");
  emp->ApplyQBE();
  EXPECT_TRUE(reported.empty()) << reported.front();
  EXPECT_EQ(2, emp->RecordCount());
  const QStringList browsing = EnabledButtons(navigator);
  for (const char* name : {"Next", "Insert", "Delete", "Edit", "Refresh"}) EXPECT_TRUE(browsing.contains(name)) << name;
  EXPECT_FALSE(browsing.contains("Post"));
}

}  // namespace
}  // namespace kvell::qt_test
