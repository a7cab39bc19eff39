// A QTableView linked to its dataset's record, over DEPT and EMP on ociemu as
// master and detail: choosing a department in the view requeries the
// employees, the dataset's own moves become the view's current row, and a
// move the dataset refuses leaves the view on the dataset's record.
#include <gtest/gtest.h>

#include <QTableView>
#include <QTest>

#include "oracle/dataset/oracle_dataset.h"
#include "qt/active_record_link.h"
#include "qt/dataset_table_model.h"
#include "tests/qt/oracle_qt_fixture.h"

namespace kvell {
namespace {

class ActiveRecordLinkTest : public qt_test::OracleQtTest {
 protected:
  void SetUp() override {
    OracleQtTest::SetUp();
    dept.SetSession(session.get());
    dept.SetSQLText("select rowid, deptno, dname from dept order by deptno");
    emp.SetSession(session.get());
    emp.SetSQLText("select rowid, empno, ename, deptno from emp where deptno = :deptno order by empno");
    emp.DeclareVariable("deptno", 3);  // integer
    emp.MasterFields = "DEPTNO";
    emp.DetailFields = "DEPTNO";
    emp.SetMaster(&dept);
    dept_source.SetDataSet(&dept);
    emp_source.SetDataSet(&emp);
    dept.Open();
    emp.Open();
    dept_model = std::make_unique<TDataSetTableModel>(&dept_source);
    emp_model = std::make_unique<TDataSetTableModel>(&emp_source);
    dept_view = std::make_unique<QTableView>();
    dept_view->setModel(dept_model.get());
    FollowActiveRecord(*dept_view, *dept_model);
    dept_view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dept_view.get()));
  }
  void TearDown() override {
    dept_view.reset();
    emp_model.reset();
    dept_model.reset();
    emp.Close();
    dept.Close();
    OracleQtTest::TearDown();
  }
  QStringList EmployeeNames() const {
    QStringList names;
    for (int row = 0; row < emp_model->rowCount(); ++row) names << emp_model->index(row, 1).data().toString();
    return names;
  }

  TOracleDataSet dept;
  TOracleDataSet emp;
  TDataSource dept_source{nullptr};
  TDataSource emp_source{nullptr};
  std::unique_ptr<TDataSetTableModel> dept_model;
  std::unique_ptr<TDataSetTableModel> emp_model;
  std::unique_ptr<QTableView> dept_view;
};

TEST_F(ActiveRecordLinkTest, choosing_a_department_in_the_view_requeries_its_employees) {
  EXPECT_EQ(0, dept_view->currentIndex().row()) << "the view starts on the dataset's record";
  EXPECT_EQ(QStringList({"CLARK", "KING", "MILLER"}), EmployeeNames());

  QTest::mouseClick(dept_view->viewport(), Qt::LeftButton, {},
                    dept_view->visualRect(dept_model->index(2, 1)).center());
  EXPECT_EQ(30, dept.FieldByName("DEPTNO")->AsInteger());
  EXPECT_EQ(QStringList({"ALLEN", "WARD", "MARTIN", "BLAKE", "TURNER", "JAMES"}), EmployeeNames());

  dept.Prior();  // a navigator's move
  EXPECT_EQ(1, dept_view->currentIndex().row());
  EXPECT_EQ(QStringList({"SMITH", "JONES", "SCOTT", "ADAMS", "FORD"}), EmployeeNames());
  EXPECT_TRUE(reported.empty());
}

TEST_F(ActiveRecordLinkTest, a_move_the_dataset_refuses_leaves_the_view_on_its_record) {
  dept.Edit();
  dept.FieldByName("DEPTNO")->SetAsInteger(20);  // taken, and 10 has employees
  dept_view->setCurrentIndex(dept_model->index(3, 1));
  ASSERT_EQ(1u, reported.size());
  EXPECT_EQ(0u, reported.front().find("ORA-")) << reported.front();
  EXPECT_EQ(dsEdit, dept.State());
  EXPECT_EQ(0, dept_view->currentIndex().row());
  dept.Cancel();
}

}  // namespace
}  // namespace kvell
