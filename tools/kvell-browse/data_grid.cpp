#include "data_grid.h"

#include <QHeaderView>
#include <QTableView>

#include "qt/active_record_link.h"
#include "qt/data_controls.h"
#include "qt/dataset_table_model.h"

namespace kvell {

QTableView* MakeDataGrid(TDataSetTableModel& model, TDataSource& source, const QString& name, QWidget* parent) {
  auto* grid = new QTableView(parent);
  grid->setObjectName(name);
  grid->setModel(&model);
  grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
  FollowActiveRecord(*grid, model);
  RegisterDataControl(grid, &source);
  return grid;
}

}  // namespace kvell
