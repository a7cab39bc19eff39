#include "qt/dataset_table_model.h"

#include <QTimer>
#include <algorithm>

#include "db/dataset.h"
#include "oracle/ui/ui_hooks.h"
#include "qt/field_values.h"

namespace kvell {

// Forwards the data events of the source to the model.
class TDataSetTableModel::Link final : public TDataLink {
 public:
  explicit Link(TDataSetTableModel& model) : model_(model) {}

 protected:
  void ActiveChanged() override { model_.rebuild(); }
  void EditingChanged() override { model_.state_changed(); }
  void DataSetChanged() override { model_.dataset_changed(); }
  void DataSetScrolled(int) override { model_.scrolled(); }
  void LayoutChanged() override { model_.rebuild(); }
  void RecordChanged(TField* field) override { model_.record_changed(field); }

 private:
  TDataSetTableModel& model_;
};

TDataSetTableModel::TDataSetTableModel(TDataSource* source, QObject* parent)
    : QAbstractTableModel(parent), link_(std::make_unique<Link>(*this)) {
  SetDataSource(source);
}

TDataSetTableModel::~TDataSetTableModel() { link_->SetDataSource(nullptr); }

TDataSource* TDataSetTableModel::DataSource() const { return link_->DataSource(); }

void TDataSetTableModel::SetDataSource(TDataSource* source) {
  link_->SetDataSource(source);
  rebuild();
}

TDataSet* TDataSetTableModel::DataSet() const { return link_->Active() ? link_->DataSet() : nullptr; }

TField* TDataSetTableModel::Field(int column) const {
  const auto& columns = window_.Columns();
  return column >= 0 && column < static_cast<int>(columns.size()) ? columns[static_cast<size_t>(column)] : nullptr;
}

bool TDataSetTableModel::browsing() const {
  TDataSet* dataset = DataSet();
  return dataset && dataset->State() == dsBrowse;
}

template <class Operation>
bool TDataSetTableModel::guarded(Operation&& operation) {
  try {
    operation();
    return true;
  } catch (...) {
    HandleApplicationException(this);
    return false;
  }
}

// ---- reading ----

int TDataSetTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : row_count_; }

int TDataSetTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(window_.Columns().size());
}

const RecordWindow::Row* TDataSetTableModel::row_values(int row) const {
  // While a row is being added or removed the window already holds the new
  // rows, and views still ask by the old numbers.
  int known_rows = row_count_;
  if (shift_.by != 0 && row >= shift_.from) {
    if (shift_.by < 0 && row == shift_.from) return nullptr;  // the record is gone
    row += shift_.by;
    known_rows += shift_.by;
  }
  if (const RecordWindow::Row* found = window_.Find(row)) return found;
  if (!browsing()) return nullptr;
  try {
    return window_.Load(*DataSet(), row, known_rows);
  } catch (...) {
    // The rows changed under the window in a way no event told: start over.
    auto* self = const_cast<TDataSetTableModel*>(this);
    QTimer::singleShot(0, self, [self] { self->rebuild(); });
    return nullptr;
  }
}

QVariant TDataSetTableModel::cell_value(int row, int column, QVariant (*value_of)(const TField&)) const {
  TField* field = Field(column);
  if (row == active_row_) return value_of(*field);
  const RecordWindow::Row* values = row_values(row);
  if (!values || !browsing()) return {};
  QVariant value;
  DataSet()->VisitRecords(values->bookmark, 1, [&] {
    value = value_of(*field);
    return false;
  });
  return value;
}

QVariant TDataSetTableModel::data(const QModelIndex& index, int role) const {
  const int columns = static_cast<int>(window_.Columns().size());  // not through the virtual columnCount
  if (!index.isValid() || index.row() >= row_count_ || index.column() >= columns) return {};
  switch (role) {
    case Qt::DisplayRole: {
      // Views ask this of every cell: the row is compared first, since only the active one can be live.
      const bool live = index.row() == active_row_ && DataSet() && IsEditState(DataSet()->State());
      if (live) return DisplayValue(*Field(index.column()));
      const RecordWindow::Row* values = row_values(index.row());
      return values ? values->cells[static_cast<size_t>(index.column())].Value() : QVariant();
    }
    case Qt::EditRole:
      return cell_value(index.row(), index.column(), EditValue);
    case ValueRole:
      return cell_value(index.row(), index.column(), TypedValue);
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(AlignmentOf(Field(index.column())->DataType()));
    default:
      return {};
  }
}

QVariant TDataSetTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
  if (orientation == Qt::Vertical) return section + 1;
  TField* field = Field(section);
  return field ? QVariant(QString::fromStdString(field->DisplayLabel())) : QVariant();
}

bool TDataSetTableModel::editable(const TField& field) const {
  TDataSet* dataset = DataSet();
  if (!dataset || !dataset->CanModify() || field.ReadOnly || field.FieldKind() != fkData) return false;
  return !field.IsBlob() || dynamic_cast<const TMemoField*>(&field) != nullptr;
}

Qt::ItemFlags TDataSetTableModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
  if (TField* field = Field(index.column()); field && editable(*field)) flags |= Qt::ItemIsEditable;
  return flags;
}

bool TDataSetTableModel::canFetchMore(const QModelIndex& parent) const {
  return !parent.isValid() && !exhausted_ && browsing();
}

void TDataSetTableModel::fetchMore(const QModelIndex& parent) {
  // Views and testers may ask again while the new rows are being announced.
  if (!canFetchMore(parent) || fetching_) return;
  fetching_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{fetching_};
  int more = 0;
  if (!guarded([&] { more = window_.Extend(*DataSet(), row_count_, kFetchRows); })) exhausted_ = true;
  if (more < kFetchRows) exhausted_ = true;
  if (more > 0) {
    beginInsertRows({}, row_count_, row_count_ + more - 1);
    row_count_ += more;
    endInsertRows();
  }
  held_ = held_records();
}

// ---- editing ----

void TDataSetTableModel::MoveToRow(int row) {
  TDataSet* dataset = DataSet();
  if (!dataset || row == active_row_ || row < 0 || row >= row_count_) return;
  moving_ = true;
  try {
    const int rows_before = row_count_;
    const int inserted_at = pending_ == Pending::Insert ? pending_row_ : -1;
    dataset->CheckBrowseMode();
    // A blank new record above the target was cancelled and its row is gone.
    if (row_count_ < rows_before && inserted_at >= 0 && inserted_at < row) --row;
    if (record_number() > 0) {
      dataset->SetRecNo(row + 1);
    } else if (const RecordWindow::Row* values = row_values(row)) {
      dataset->GotoBookmark(values->bookmark);
    }
  } catch (...) {
    moving_ = false;
    throw;
  }
  moving_ = false;
  scrolled();
}

bool TDataSetTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || (role != Qt::EditRole && role != Qt::DisplayRole)) return false;
  TField* field = Field(index.column());
  if (!field || !editable(*field)) return false;
  // Delegates write back editors nobody changed; that needs no edit and no lock.
  if (value == cell_value(index.row(), index.column(), EditValue)) return true;
  TDataSet* dataset = DataSet();
  // A pending edit of this row (the navigator's) stays open; otherwise the
  // value is one whole edit.
  bool already_editing = IsEditState(dataset->State()) && index.row() == active_row_;
  bool done = guarded([&] {
    if (!already_editing) {
      MoveToRow(index.row());
      dataset->Edit();
    }
    AssignEditValue(*field, value);
    if (!already_editing) dataset->Post();
  });
  if (!done && !already_editing && IsEditState(dataset->State())) guarded([&] { dataset->Cancel(); });
  return done;
}

bool TDataSetTableModel::insertRows(int row, int count, const QModelIndex& parent) {
  TDataSet* dataset = DataSet();
  if (parent.isValid() || count != 1 || row < 0 || row > row_count_ || !dataset) return false;
  bool done = guarded([&] {
    if (row < row_count_) {
      MoveToRow(row);
      dataset->Insert();
    } else {
      append_row_hint_ = row;
      dataset->Append();
    }
  });
  append_row_hint_ = -1;
  return done && dataset->State() == dsInsert;
}

bool TDataSetTableModel::removeRows(int row, int count, const QModelIndex& parent) {
  TDataSet* dataset = DataSet();
  if (parent.isValid() || count < 1 || row < 0 || row + count > row_count_ || !dataset) return false;
  for (int i = 0; i < count; ++i) {
    bool done = guarded([&] {
      if (dataset->State() == dsInsert && row == active_row_) {
        dataset->Cancel();  // the new record only leaves the view
        return;
      }
      MoveToRow(row);
      pending_ = Pending::Delete;
      pending_row_ = row;
      dataset->Delete();
    });
    if (pending_ == Pending::Delete) pending_ = Pending::None;  // the delete failed
    if (!done) return false;
  }
  return true;
}

bool TDataSetTableModel::submit() {
  TDataSet* dataset = DataSet();
  if (!dataset || !IsEditState(dataset->State())) return true;
  // Views submit whenever the current row changes, also when it moves onto
  // a record just inserted: one with nothing entered yet stays open.
  if (dataset->State() == dsInsert && !dataset->Modified()) return true;
  if (dataset->EditsSearchForm()) return true;  // examples are applied, never posted
  return guarded([&] { dataset->Post(); });
}

void TDataSetTableModel::revert() {
  TDataSet* dataset = DataSet();
  if (dataset && IsEditState(dataset->State())) guarded([&] { dataset->Cancel(); });
}

// ---- data events ----

int TDataSetTableModel::held_records() const {
  TDataSet* dataset = DataSet();
  if (!dataset) return 0;
  try {
    return dataset->RecordCount();
  } catch (const EDatabaseError&) {
    return -1;  // a dataset that cannot count yet
  }
}

int TDataSetTableModel::record_number() const {
  try {
    return DataSet()->RecNo();
  } catch (const EDatabaseError&) {
    return -1;
  }
}

TDataSetTableModel::FilterState TDataSetTableModel::filter_of(TDataSet* dataset) {
  if (!dataset) return {};
  return {dataset->Filter(), dataset->Filtered(), dataset->FilterOptions()};
}

int TDataSetTableModel::active_row_of_dataset() const {
  TDataSet* dataset = DataSet();
  if (!dataset || dataset->IsEmpty()) return -1;
  if (int number = record_number(); number > 0) return number - 1;
  // Without record numbers: where the window holds the active record.
  TBookmark active = dataset->GetBookmark();
  if (active.empty()) return -1;
  if (const RecordWindow::Row* row = window_.Find(active_row_); row && row->bookmark == active) return active_row_;
  return window_.RowOf(active);
}

void TDataSetTableModel::emit_row_changed(int row) {
  if (row < 0 || row >= row_count_ || columnCount() == 0) return;
  emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void TDataSetTableModel::rebuild() {
  beginResetModel();
  TDataSet* dataset = DataSet();
  std::vector<TField*> columns;
  if (dataset)
    for (TField* field : dataset->Fields())
      if (field->Visible) columns.push_back(field);
  window_.SetColumns(std::move(columns));
  row_count_ = 0;
  exhausted_ = !dataset;
  pending_ = Pending::None;
  state_ = dataset ? dataset->State() : dsInactive;
  filter_ = filter_of(dataset);
  active_row_ = -1;
  held_ = 0;
  if (browsing()) {
    // The rows the dataset already holds, and one more to learn whether
    // there are others.
    int held = held_records();
    int first = held >= 0 ? held : kFetchRows;
    guarded([&] { row_count_ = window_.Extend(*dataset, 0, first + 1); });
    exhausted_ = row_count_ <= first;
    held_ = held;
  }
  endResetModel();
  scrolled();
}

void TDataSetTableModel::begin_insert(int row) {
  pending_ = Pending::Insert;
  pending_row_ = std::clamp(row, 0, row_count_);
  before_insert_ = active_bookmark_;
  window_.InsertRow(pending_row_, window_.ReadActive(*DataSet()));
  active_row_ = -1;  // the new record is not among the rows until they are told
  shift_ = {pending_row_, 1};
  beginInsertRows({}, pending_row_, pending_row_);
  shift_ = {};
  ++row_count_;
  endInsertRows();
  active_row_ = pending_row_;
  emit activeRowChanged(active_row_);
}

void TDataSetTableModel::state_changed() {
  TDataSet* dataset = DataSet();
  TDataSetState was = state_;
  state_ = dataset ? dataset->State() : dsInactive;
  if (was != dsBrowse) return;
  if (state_ == dsInsert) {
    begin_insert(append_row_hint_ >= 0 ? append_row_hint_ : std::max(active_row_, 0));
  } else if (state_ == dsEdit) {
    pending_ = Pending::Edit;
    pending_row_ = active_row_;
  }
}

void TDataSetTableModel::record_changed(TField* field) {
  TDataSet* dataset = DataSet();
  if (!dataset || active_row_ < 0) return;
  if (!IsEditState(dataset->State())) {
    reread_row(active_row_);
    return;
  }
  // While editing, the window keeps the stored values; the cells read live.
  if (!field) {
    const RecordWindow::Row* held = window_.Find(active_row_);
    signal_changed_cells(active_row_, held ? &held->cells : nullptr, window_.ReadActive(*dataset).cells);
    return;
  }
  const auto& columns = window_.Columns();
  auto column = std::find(columns.begin(), columns.end(), field);
  if (column == columns.end()) return;  // a hidden field
  QModelIndex cell = index(active_row_, static_cast<int>(column - columns.begin()));
  emit dataChanged(cell, cell);
}

void TDataSetTableModel::signal_changed_cells(int row, const Cells* before, const Cells& now) {
  if (!before) return emit_row_changed(row);
  // Only the cells that changed, so that mapped editors keep what the user
  // typed into the others.
  for (size_t column = 0; column < now.size(); ++column) {
    if (column < before->size() && (*before)[column] == now[column]) continue;
    QModelIndex cell = index(row, static_cast<int>(column));
    emit dataChanged(cell, cell);
  }
}

void TDataSetTableModel::reread_row(int row) {
  RecordWindow::Row now = window_.ReadActive(*DataSet());
  const RecordWindow::Row* held = window_.Find(row);
  if (!held) return emit_row_changed(row);
  Cells before = held->cells;
  window_.UpdateRow(row, std::move(now));
  signal_changed_cells(row, &before, window_.Find(row)->cells);
}

void TDataSetTableModel::settle_insert() {
  TDataSet* dataset = DataSet();
  int row = pending_row_;
  if (dataset->GetBookmark() == before_insert_) {  // cancelled
    remove_row(row);
    return;
  }
  if (int landed = active_row_of_dataset(); landed >= 0 && landed != row) {
    rebuild();  // the new record went somewhere else among the rows
    return;
  }
  if (row == row_count_ - 1) window_.SetTail(dataset->GetBookmark());
  reread_row(row);
}

void TDataSetTableModel::remove_row(int row) {
  window_.RemoveRow(row, row == row_count_ - 1);
  shift_ = {row, -1};
  beginRemoveRows({}, row, row);
  shift_ = {};
  --row_count_;
  endRemoveRows();
}

bool TDataSetTableModel::looks_deleted(int row) const {
  TDataSet* dataset = DataSet();
  if (row < 0 || row >= row_count_ || active_bookmark_.empty() || dataset->BookmarkValid(active_bookmark_))
    return false;
  // A delete leaves the dataset on the record after the deleted one, or
  // before it when the last went; a requery leaves it anywhere.
  TBookmark now = dataset->GetBookmark();
  const RecordWindow::Row* after = window_.Find(row + 1);
  const RecordWindow::Row* before = window_.Find(row - 1);
  return now.empty() || (after && after->bookmark == now) || (before && before->bookmark == now);
}

void TDataSetTableModel::dataset_changed() {
  TDataSet* dataset = DataSet();
  if (!dataset) return;
  if (IsEditState(dataset->State())) {
    emit_row_changed(active_row_);
    return;
  }
  Pending pending = std::exchange(pending_, Pending::None);
  int held = held_records();
  switch (pending) {
    case Pending::Edit:
      reread_row(pending_row_);
      break;
    case Pending::Insert:
      settle_insert();
      break;
    case Pending::Delete:
      remove_row(pending_row_);
      break;
    case Pending::None:
      if (moving_) break;
      if (filter_of(dataset) != filter_) {
        rebuild();
        return;
      }
      if ((held < 0 || held == held_ - 1) && looks_deleted(active_row_)) {
        remove_row(active_row_);
      } else if (held == held_) {
        // Navigation, or values changed in place (a refresh): the same rows.
        if (!reload_window()) return;
      } else if (!(held > held_ && !exhausted_)) {  // more fetched rows are found by fetchMore
        rebuild();
        return;
      }
      break;
  }
  held_ = held;
  scrolled();
}

bool TDataSetTableModel::reload_window() {
  std::vector<int> changed;
  try {
    changed = window_.Reload(*DataSet(), row_count_);
  } catch (...) {
    changed = {-1};
  }
  if (!changed.empty() && changed.front() < 0) {
    rebuild();  // other records than before (a requery): nothing to report
    return false;
  }
  for (int row : changed) emit_row_changed(row);
  return true;
}

void TDataSetTableModel::scrolled() {
  const int was = active_row_;
  locate_active_record();
  if (active_row_ != was) emit activeRowChanged(active_row_);
}

void TDataSetTableModel::locate_active_record() {
  TDataSet* dataset = DataSet();
  if (!dataset) {
    active_row_ = -1;
    active_bookmark_.clear();
    return;
  }
  active_row_ = active_row_of_dataset();
  active_bookmark_ = dataset->GetBookmark();
  // A jump past the counted rows (Last) makes them known up to it.
  if (active_row_ >= row_count_ && browsing()) {
    int more = 0;
    guarded([&] { more = window_.Extend(*dataset, row_count_, active_row_ + 1 - row_count_); });
    if (more > 0) {
      beginInsertRows({}, row_count_, row_count_ + more - 1);
      row_count_ += more;
      endInsertRows();
    }
  }
}

}  // namespace kvell
