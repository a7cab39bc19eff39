#include "qt/active_record_link.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <QSignalBlocker>
#include <algorithm>

#include "db/dataset.h"
#include "oracle/ui/ui_hooks.h"
#include "qt/dataset_table_model.h"

namespace kvell {
namespace {

void show_active_row(QAbstractItemView& view, TDataSetTableModel& model, int row) {
  if (row < 0 || view.currentIndex().row() == row) return;
  const int column = std::max(view.currentIndex().column(), 0);
  view.selectionModel()->setCurrentIndex(model.index(row, column),
                                         QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

// Back to the dataset's record without the view submitting again: the
// failure has been shown once.
void return_to_active_row(QAbstractItemView& view, TDataSetTableModel& model) {
  {
    QSignalBlocker quiet(view.selectionModel());
    show_active_row(view, model, model.ActiveRow());
  }
  view.viewport()->update();
}

// Changes the view could not post (it submits as its current row changes)
// keep the dataset where it is; anything else moves it.
bool changes_left_pending(TDataSetTableModel& model) {
  TDataSet* dataset = model.DataSet();
  return dataset && IsEditState(dataset->State()) && dataset->Modified();
}

}  // namespace

void FollowActiveRecord(QAbstractItemView& view, TDataSetTableModel& model) {
  QObject::connect(view.selectionModel(), &QItemSelectionModel::currentRowChanged, &model,
                   [&view, &model](const QModelIndex& current) {
                     if (!current.isValid() || current.row() == model.ActiveRow()) return;
                     if (changes_left_pending(model)) return return_to_active_row(view, model);
                     try {
                       model.MoveToRow(current.row());
                     } catch (...) {
                       HandleApplicationException(&model);
                       return return_to_active_row(view, model);
                     }
                     show_active_row(view, model, model.ActiveRow());
                   });
  QObject::connect(&model, &TDataSetTableModel::activeRowChanged, &view,
                   [&view, &model](int row) { show_active_row(view, model, row); });
  show_active_row(view, model, model.ActiveRow());
}

}  // namespace kvell
