// kvell-browse's master/detail pair on the demo database: DEPT's rows above,
// below them the employees of the department chosen, each grid with its
// navigator. Choosing a department in the grid or with its navigator
// requeries the employees.
// Thread-safe: no; window-system thread only.
#pragma once

#include <QWidget>

#include "db/data_source.h"
#include "oracle/dataset/oracle_dataset.h"
#include "oracle/session/oracle_session.h"
#include "qt/dataset_table_model.h"

class QTableView;

namespace kvell {

class MasterDetailPane : public QWidget {
  Q_OBJECT

 public:
  explicit MasterDetailPane(TOracleSession& session, QWidget* parent = nullptr);
  ~MasterDetailPane() override;

  // Opens both queries; a failure is reported through the hooks, false then.
  bool Open();
  void Close();
  bool IsOpen() const { return dept_.Active(); }

  TDataSetTableModel& MasterModel() { return dept_model_; }
  TDataSetTableModel& DetailModel() { return emp_model_; }

 private:
  QTableView* add_grid(TDataSetTableModel& model, TDataSource& source, const QString& name);

  TOracleDataSet dept_;
  TOracleDataSet emp_;
  TDataSource dept_source_{nullptr};
  TDataSource emp_source_{nullptr};
  TDataSetTableModel dept_model_;
  TDataSetTableModel emp_model_;
};

}  // namespace kvell
