// The table model over TOracleDataSet on ociemu, under Qt's model tester:
// EMP browsed, its rows fetched on demand, filtered, and refreshed after
// another session changed them.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QTableView>
#include <QTest>

#include "oracle/dataset/oracle_dataset.h"
#include "qt/dataset_table_model.h"
#include "qt/qt_user_interface.h"
#include "tests/qt/qt_test_support.h"
#include "tests/session/session_fixture.h"

namespace kvell {
namespace {

class OracleModelTest : public testing::SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    qt_test::EnsureApplication();
    hooks = InstallQtUserInterface([this](const std::exception& error) { reported.emplace_back(error.what()); });
    session = MakeSession();
    session->LogOn();
    emp.SetSession(session.get());
    emp.SetSQLText("select empno, ename, job, sal, comm from emp order by empno");
    source.SetDataSet(&emp);
  }
  void TearDown() override {
    tester.reset();
    model.reset();
    emp.Close();
    session.reset();
    hooks.reset();
    SessionTest::TearDown();
  }

  void Watch() {
    model = std::make_unique<TDataSetTableModel>(&source);
    tester = std::make_unique<QAbstractItemModelTester>(model.get(), QAbstractItemModelTester::FailureReportingMode::Fatal);
  }
  void Exec(const std::string& sql) { Run(*session, sql); }
  int Column(const char* name) const {
    for (int column = 0; column < model->columnCount(); ++column)
      if (model->Field(column)->FieldName() == name) return column;
    return -1;
  }
  QString Cell(int row, const char* field) const { return model->index(row, Column(field)).data().toString(); }
  QStringList Names() const {
    QStringList names;
    for (int row = 0; row < model->rowCount(); ++row) names << Cell(row, "ENAME");
    return names;
  }

  std::unique_ptr<ScopedUserInterface> hooks;
  std::vector<std::string> reported;
  std::unique_ptr<TOracleSession> session;
  TOracleDataSet emp;
  TDataSource source{nullptr};
  std::unique_ptr<TDataSetTableModel> model;
  std::unique_ptr<QAbstractItemModelTester> tester;
};

TEST_F(OracleModelTest, emp_is_browsed_with_its_columns_and_null_commissions_as_empty_cells) {
  emp.Open();
  Watch();
  ASSERT_EQ(14, model->rowCount());
  EXPECT_EQ("EMPNO", model->headerData(0, Qt::Horizontal).toString());
  EXPECT_EQ("SMITH", Cell(0, "ENAME"));
  EXPECT_EQ("MILLER", Cell(13, "ENAME"));
  EXPECT_EQ("800", Cell(0, "SAL"));
  EXPECT_FALSE(model->index(0, Column("COMM")).data().isValid()) << "SMITH has no commission";
  EXPECT_EQ("300", Cell(1, "COMM"));
  EXPECT_EQ(Qt::AlignRight, model->index(0, Column("SAL")).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
                                Qt::AlignHorizontal_Mask);
  EXPECT_EQ(7369, model->index(0, 0).data(Qt::EditRole).toInt());
  EXPECT_EQ(7369, emp.FieldByName("EMPNO")->AsInteger()) << "reading rows leaves the dataset where it was";
}

TEST_F(OracleModelTest, rows_are_fetched_on_demand_when_not_all_records_are_queried) {
  Exec("create table many (n number(10), label varchar2(20))");
  Exec("insert into many select rownum, 'row ' || rownum from emp a, emp b, emp c");  // 14^3 rows
  emp.QueryAllRecords = false;
  emp.SetReadBuffer(25);
  emp.SetSQLText("select n, label from many order by n");
  emp.Open();
  Watch();
  EXPECT_LT(model->rowCount(), 2744);
  QTableView view;
  view.setModel(model.get());
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  view.scrollToBottom();  // the view asks for more as it reaches the end
  while (model->canFetchMore()) model->fetchMore();
  EXPECT_EQ(2744, model->rowCount());
  EXPECT_EQ("row 2744", model->index(2743, 1).data().toString());
  EXPECT_EQ("row 7", model->index(6, 1).data().toString());
}

TEST_F(OracleModelTest, a_filter_narrows_the_rows_and_a_refresh_shows_another_sessions_change) {
  emp.Open();
  Watch();
  emp.SetFilterText("JOB = 'SALES*'");
  emp.SetFiltered(true);
  EXPECT_EQ(QStringList({"ALLEN", "WARD", "MARTIN", "TURNER"}), Names());

  auto other = MakeSession();
  other->LogOn();
  Run(*other, "update emp set sal = 1999 where ename = 'WARD'");
  other->Commit();
  EXPECT_EQ("1250", Cell(1, "SAL"));
  emp.Refresh();
  EXPECT_EQ(QStringList({"ALLEN", "WARD", "MARTIN", "TURNER"}), Names());
  EXPECT_EQ("1999", Cell(1, "SAL"));
  EXPECT_TRUE(reported.empty());
}

}  // namespace
}  // namespace kvell
