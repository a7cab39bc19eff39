// TDataSetTableModel: a QAbstractTableModel over a TDataSource, so that
// QTableView, QSortFilterProxyModel and QDataWidgetMapper show and edit a
// dataset. Columns are the visible fields; rows are counted on demand
// (canFetchMore/fetchMore) and read without moving the dataset; edits go
// through the dataset, and its data events become the narrowest signals.
// Thread-safe: no; the window-system thread, which must own the dataset.
#pragma once

#include <QAbstractTableModel>
#include <memory>

#include "db/data_source.h"
#include "qt/record_window.h"

namespace kvell {

class TDataSetTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // Rows counted per fetchMore().
  static constexpr int kFetchRows = 256;
  // The cell's value typed (numbers, QDateTime) where EditRole holds the
  // text that Qt's editors keep exactly; a sort role for number and date columns.
  static constexpr int ValueRole = Qt::UserRole;

  explicit TDataSetTableModel(TDataSource* source = nullptr, QObject* parent = nullptr);
  ~TDataSetTableModel() override;

  TDataSource* DataSource() const;
  void SetDataSource(TDataSource* source);
  TDataSet* DataSet() const;
  TField* Field(int column) const;
  // Row of the dataset's active record, or -1.
  int ActiveRow() const { return active_row_; }
  // Makes row the dataset's active record (posting a pending edit first).
  void MoveToRow(int row);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  bool insertRows(int row, int count, const QModelIndex& parent = {}) override;
  bool removeRows(int row, int count, const QModelIndex& parent = {}) override;
  bool canFetchMore(const QModelIndex& parent = {}) const override;
  void fetchMore(const QModelIndex& parent = {}) override;
  // Posts the dataset's pending edit (a new record only once something was
  // entered into it, a search form never); revert() cancels it.
  bool submit() override;
  void revert() override;

 signals:
  // The dataset's active record is now at row (-1: none).
  void activeRowChanged(int row);

 private:
  class Link;
  friend class Link;
  // What the next return to browse mode settles.
  enum class Pending { None, Edit, Insert, Delete };

  bool browsing() const;
  bool editable(const TField& field) const;
  const RecordWindow::Row* row_values(int row) const;
  // The field of column read on row's record through value_of.
  QVariant cell_value(int row, int column, QVariant (*value_of)(const TField&)) const;
  int active_row_of_dataset() const;
  // The dataset's record count, -1 when it cannot tell.
  int held_records() const;
  // The active record's number, -1 when the dataset has none.
  int record_number() const;
  struct FilterState {
    std::string text;
    bool on = false;
    TFilterOptions options;
    bool operator==(const FilterState&) const = default;
  };
  static FilterState filter_of(TDataSet* dataset);
  void emit_row_changed(int row);
  // Runs a dataset operation; an error is reported through the hooks.
  template <class Operation>
  bool guarded(Operation&& operation);

  // Data events.
  void rebuild();
  void state_changed();
  void record_changed(TField* field);
  // Reads the active record into row and signals the cells that changed.
  void reread_row(int row);
  using Cells = std::vector<DisplayCell>;
  // Signals the cells of row that differ between before and now (all of
  // them without before).
  void signal_changed_cells(int row, const Cells* before, const Cells& now);
  void dataset_changed();
  void scrolled();
  // Finds the active record among the rows, counting rows up to it.
  void locate_active_record();
  // Re-reads the rows held and signals those that changed; false when the
  // rows were no longer there and the model was rebuilt.
  bool reload_window();
  void settle_insert();
  void remove_row(int row);
  bool looks_deleted(int row) const;
  void begin_insert(int row);

  std::unique_ptr<Link> link_;
  mutable RecordWindow window_;
  int row_count_ = 0;
  bool exhausted_ = false;
  int active_row_ = -1;
  TDataSetState state_ = dsInactive;
  Pending pending_ = Pending::None;
  int pending_row_ = -1;
  TBookmark before_insert_;  // active record when an insert began
  int append_row_hint_ = -1; // row our own insertRows asked for
  TBookmark active_bookmark_;
  int held_ = 0;              // the dataset's record count when last in step
  FilterState filter_;        // the filter the rows were counted with
  bool moving_ = false;       // MoveToRow is navigating
  bool fetching_ = false;     // fetchMore is announcing rows
  // Rows from `from` on are `by` away in the window (while a row comes or goes).
  struct Shift {
    int from = 0;
    int by = 0;
  } shift_;
};

}  // namespace kvell
