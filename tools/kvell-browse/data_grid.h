// A grid as kvell-browse shows a dataset: a QTableView over the model whose
// current row follows the dataset's record, listed as a data-aware control.
#pragma once

#include <QString>

class QTableView;
class QWidget;

namespace kvell {

class TDataSetTableModel;
class TDataSource;

QTableView* MakeDataGrid(TDataSetTableModel& model, TDataSource& source, const QString& name, QWidget* parent);

}  // namespace kvell
