// kvell-browse's window: log on, open a SQL text as a TOracleDataSet in a
// grid with the navigator, filter it on the client (errors in the status
// bar) or query it by example, and watch the fetch with a Cancel button; a
// second tab holds the DEPT/EMP master/detail pair of the demo database.
// Thread-safe: no; window-system thread only.
#pragma once

#include <QMainWindow>
#include <memory>
#include <string>

#include "db/data_source.h"
#include "oracle/dataset/oracle_dataset.h"
#include "oracle/session/oracle_session.h"
#include "qt/dataset_navigator.h"
#include "qt/dataset_table_model.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class QTabWidget;

namespace kvell {

class MasterDetailPane;

struct BrowseLogon {
  std::string username = "scott";
  std::string password = "tiger";
  std::string database;  // empty: the client's default database
};

class BrowseWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit BrowseWindow(QWidget* parent = nullptr);
  ~BrowseWindow() override;

  void SetLogon(const BrowseLogon& logon);
  void SetSQL(const std::string& sql);
  // Each reports its failure through the user-interface hooks and returns false.
  bool LogOn();
  bool OpenQuery();
  // Applies a filter text (empty: none); a bad text is shown in the status bar.
  bool ApplyFilter(const std::string& text);
  // Query by example: on, the grid's new row takes the examples; applying
  // requeries with them. A refusal is reported through the hooks; false then.
  bool SetQueryByExample(bool on);
  bool ApplyQueryByExample();
  // Shows the master/detail tab, opening its queries when they are not open.
  bool ShowMasterDetail();

  TOracleDataSet& DataSet() { return dataset_; }
  TDataSetTableModel& Model() { return model_; }
  QTableView& Grid() { return *grid_; }
  MasterDetailPane& MasterDetail() { return *master_detail_; }

 private:
  void build_logon_bar(QWidget* parent);
  void fetch_progress(TAfterFetchRecordAction& action);
  void set_fetching(bool fetching);
  QWidget* build_query_tab(QWidget* parent);
  void show_qbe_mode();

  TOracleSession session_;
  TOracleDataSet dataset_;
  TDataSource source_{nullptr};
  TDataSetTableModel model_;
  QComboBox* username_ = nullptr;
  QLineEdit* password_ = nullptr;
  QLineEdit* database_ = nullptr;
  QPlainTextEdit* sql_ = nullptr;
  QLineEdit* filter_ = nullptr;
  QPushButton* qbe_ = nullptr;
  QPushButton* apply_qbe_ = nullptr;
  QTableView* grid_ = nullptr;
  TDataSetNavigator* navigator_ = nullptr;
  QLabel* progress_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QWidget* controls_ = nullptr;
  QWidget* logon_bar_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  MasterDetailPane* master_detail_ = nullptr;
  int fetched_ = 0;
  bool cancel_requested_ = false;
  bool fetching_ = false;  // OpenQuery is fetching
};

}  // namespace kvell
