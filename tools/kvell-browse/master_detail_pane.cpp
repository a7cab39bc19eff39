#include "master_detail_pane.h"

#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

#include "data_grid.h"
#include "oracle/ui/ui_hooks.h"
#include "qt/dataset_navigator.h"

namespace kvell {
namespace {

constexpr int kIntegerVariable = 3;

}  // namespace

MasterDetailPane::MasterDetailPane(TOracleSession& session, QWidget* parent)
    : QWidget(parent), dept_model_(&dept_source_), emp_model_(&emp_source_) {
  setObjectName(QStringLiteral("MasterDetail"));
  dept_.SetName("Dept");
  dept_.SetSession(&session);
  dept_.SetSQLText("select rowid, deptno, dname, loc from dept order by deptno");
  emp_.SetName("Emp");
  emp_.SetSession(&session);
  emp_.SetSQLText(
      "select rowid, empno, ename, job, mgr, hiredate, sal, comm, deptno from emp\n"
      "where deptno = :deptno order by empno");
  emp_.DeclareVariable("deptno", kIntegerVariable);
  emp_.MasterFields = "DEPTNO";
  emp_.DetailFields = "DEPTNO";
  emp_.SetMaster(&dept_);
  dept_source_.SetDataSet(&dept_);
  emp_source_.SetDataSet(&emp_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Departments"), this));
  layout->addWidget(add_grid(dept_model_, dept_source_, QStringLiteral("DeptGrid")), 1);
  layout->addWidget(new QLabel(QStringLiteral("Employees of the department"), this));
  layout->addWidget(add_grid(emp_model_, emp_source_, QStringLiteral("EmpGrid")), 2);
}

MasterDetailPane::~MasterDetailPane() { Close(); }

QTableView* MasterDetailPane::add_grid(TDataSetTableModel& model, TDataSource& source, const QString& name) {
  auto* navigator = new TDataSetNavigator(&source, this);
  navigator->setObjectName(name + QStringLiteral("Navigator"));
  layout()->addWidget(navigator);
  auto* grid = MakeDataGrid(model, source, name, this);
  return grid;
}

bool MasterDetailPane::Open() {
  try {
    dept_.Open();
    emp_.Open();
  } catch (...) {
    HandleApplicationException(this);
    return false;
  }
  return true;
}

void MasterDetailPane::Close() {
  emp_.Close();
  dept_.Close();
}

}  // namespace kvell
