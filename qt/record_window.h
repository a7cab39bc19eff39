// The rows a table model shows, read from a dataset without moving it: a
// window of consecutive rows with their display texts and bookmarks, plus
// anchors (bookmarks of every few hundredth row) that let a read start near
// any row instead of at the first record.
// Thread-safe: no; used on the dataset's thread.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "db/dataset.h"
#include "qt/field_values.h"

namespace kvell {

class RecordWindow {
 public:
  struct Row {
    TBookmark bookmark;
    std::vector<DisplayCell> cells;  // per column
  };

  // Rows between anchors; a read walks at most this far before its first row.
  static constexpr int kAnchorSpacing = 256;
  // Rows held; a view's visible rows fit many times over.
  static constexpr int kCapacity = 512;

  void SetColumns(std::vector<TField*> columns) { columns_ = std::move(columns); Forget(); }
  const std::vector<TField*>& Columns() const { return columns_; }
  // Forgets rows and anchors (the dataset's rows changed in unknown ways).
  void Forget();
  // Reads the held rows again (the same records; values may differ) and
  // returns the rows whose values changed; {-1} when other records came.
  std::vector<int> Reload(TDataSet& dataset, int known_rows);

  const Row* Find(int row) const;
  // The held row with this bookmark, or -1.
  int RowOf(const TBookmark& bookmark) const;
  // Reads a window holding `row` (< known_rows) from the dataset, which must
  // be browsing; nullptr when the dataset has fewer rows than expected.
  const Row* Load(TDataSet& dataset, int row, int known_rows);
  // Counts up to `more` rows past the `known_rows` already counted (this may
  // make the dataset fetch); returns how many there were.
  int Extend(TDataSet& dataset, int known_rows, int more);

  // The active record's values, as a row (no bookmark while inserting).
  Row ReadActive(const TDataSet& dataset) const;
  // Keep the window and anchors in step with a row added, removed or re-read.
  void InsertRow(int row, Row values);
  void RemoveRow(int row, bool was_last);
  void UpdateRow(int row, Row values);
  void SetTail(TBookmark bookmark) { tail_ = std::move(bookmark); }

 private:
  void read_cells(Row& row) const;
  // Reads rows [first, end) into the window, walking from row start (whose
  // bookmark is from; empty: the first record).
  void load_range(TDataSet& dataset, int first, int end, int start, const TBookmark& from);
  void load_from_anchor(TDataSet& dataset, int first, int end);
  void shift_anchors(int from_row, int by);
  // The nearest anchor at or before row: its row (-1: before the first record) and bookmark.
  std::pair<int, TBookmark> anchor_before(int row) const;

  std::vector<TField*> columns_;
  std::vector<Row> rows_;
  int first_ = 0;  // row number of rows_[0]
  std::map<int, TBookmark> anchors_;
  TBookmark tail_;  // the last counted row's bookmark
  mutable std::string text_;  // a cell's text on its way to the window
};

}  // namespace kvell
