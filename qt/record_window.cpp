#include "qt/record_window.h"

#include <algorithm>

namespace kvell {

void RecordWindow::Forget() {
  rows_.clear();
  first_ = 0;
  anchors_.clear();
  tail_.clear();
}

const RecordWindow::Row* RecordWindow::Find(int row) const {
  int index = row - first_;
  if (index < 0 || index >= static_cast<int>(rows_.size())) return nullptr;
  return &rows_[static_cast<size_t>(index)];
}

int RecordWindow::RowOf(const TBookmark& bookmark) const {
  for (size_t i = 0; i < rows_.size(); ++i)
    if (rows_[i].bookmark == bookmark) return first_ + static_cast<int>(i);
  return -1;
}

std::pair<int, TBookmark> RecordWindow::anchor_before(int row) const {
  auto after = anchors_.upper_bound(row);
  if (after == anchors_.begin()) return {-1, {}};
  --after;
  return *after;
}

void RecordWindow::read_cells(Row& row) const {
  row.cells.resize(columns_.size());
  for (size_t i = 0; i < columns_.size(); ++i) ReadDisplayCell(*columns_[i], text_, row.cells[i]);
}

const RecordWindow::Row* RecordWindow::Load(TDataSet& dataset, int row, int known_rows) {
  const int end_of_window = first_ + static_cast<int>(rows_.size());
  if (row == end_of_window && row > 0 && !rows_.back().bookmark.empty()) {
    // Reading on past the window (a view scrolling down): start at its last row.
    TBookmark last = rows_.back().bookmark;
    load_range(dataset, row, std::min(known_rows, row + kCapacity), row - 1, last);
  } else {
    const int first = std::max(0, row - kCapacity / 4);
    load_from_anchor(dataset, first, std::min(known_rows, first + kCapacity));
  }
  return Find(row);
}

void RecordWindow::load_from_anchor(TDataSet& dataset, int first, int end) {
  auto [anchor_row, from] = anchor_before(first);
  load_range(dataset, first, end, std::max(anchor_row, 0), from);
}

void RecordWindow::load_range(TDataSet& dataset, int first, int end, int start, const TBookmark& from) {
  int index = start;
  rows_.resize(static_cast<size_t>(std::max(0, end - first)));
  first_ = first;
  int visited = dataset.VisitRecords(from, end - start, [&] {
    if (index % kAnchorSpacing == 0) anchors_.try_emplace(index, dataset.GetBookmark());
    if (index >= first) {
      Row& target = rows_[static_cast<size_t>(index - first)];
      dataset.ReadBookmark(target.bookmark);
      read_cells(target);
    }
    ++index;
    return true;
  });
  if (start + visited < end) rows_.resize(static_cast<size_t>(std::max(0, start + visited - first)));
}

std::vector<int> RecordWindow::Reload(TDataSet& dataset, int known_rows) {
  std::vector<int> changed;
  if (rows_.empty()) return changed;
  std::vector<Row> old = std::move(rows_);
  const int first = first_;
  load_from_anchor(dataset, first, std::min(known_rows, first + static_cast<int>(old.size())));
  for (size_t i = 0; i < old.size(); ++i) {
    const Row* now = Find(first + static_cast<int>(i));
    if (!now || now->bookmark != old[i].bookmark) return {-1};
    if (now->cells != old[i].cells) changed.push_back(first + static_cast<int>(i));
  }
  return changed;
}

int RecordWindow::Extend(TDataSet& dataset, int known_rows, int more) {
  // Start at the last counted row when its bookmark is known, else at the
  // nearest anchor (or the first record) and walk over what was counted.
  int start = 0;
  TBookmark from;
  if (known_rows > 0 && !tail_.empty()) {
    start = known_rows - 1;
    from = tail_;
  } else if (known_rows > 0) {
    auto [anchor_row, bookmark] = anchor_before(known_rows - 1);
    start = std::max(anchor_row, 0);
    from = std::move(bookmark);
  }
  // Only anchors and the last row are read; the rows between are counted
  // without being copied.
  const int last = known_rows + more - 1;
  int index = start;
  auto wanted = [&](int walked) {
    index = start + walked;
    return index % kAnchorSpacing == 0 || index == last;
  };
  bool reached_last = false;
  int visited = dataset.SkimRecords(from, last + 1 - start, wanted, [&] {
    if (index % kAnchorSpacing == 0) anchors_.try_emplace(index, dataset.GetBookmark());
    if (index == last) {
      tail_ = dataset.GetBookmark();
      reached_last = true;
    }
    return true;
  });
  // Past the last record nothing follows to count; a later count starts at an anchor.
  if (!reached_last) tail_.clear();
  return std::max(0, start + visited - known_rows);
}

RecordWindow::Row RecordWindow::ReadActive(const TDataSet& dataset) const {
  Row row;
  row.bookmark = dataset.GetBookmark();
  read_cells(row);
  return row;
}

void RecordWindow::shift_anchors(int from_row, int by) {
  std::map<int, TBookmark> shifted;
  for (auto& [row, bookmark] : anchors_) {
    if (by < 0 && row == from_row) continue;  // its record is gone
    shifted.emplace(row >= from_row ? row + by : row, std::move(bookmark));
  }
  anchors_ = std::move(shifted);
}

void RecordWindow::InsertRow(int row, Row values) {
  shift_anchors(row, 1);
  int index = row - first_;
  if (index < 0) {
    ++first_;
  } else if (index <= static_cast<int>(rows_.size())) {
    rows_.insert(rows_.begin() + index, std::move(values));
    if (static_cast<int>(rows_.size()) > kCapacity) rows_.pop_back();
  }
}

void RecordWindow::RemoveRow(int row, bool was_last) {
  shift_anchors(row, -1);
  if (was_last) tail_.clear();
  int index = row - first_;
  if (index < 0)
    --first_;
  else if (index < static_cast<int>(rows_.size()))
    rows_.erase(rows_.begin() + index);
}

void RecordWindow::UpdateRow(int row, Row values) {
  int index = row - first_;
  if (index >= 0 && index < static_cast<int>(rows_.size())) rows_[static_cast<size_t>(index)] = std::move(values);
}

}  // namespace kvell
