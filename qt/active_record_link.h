// Keeps a view's current row and the dataset under its TDataSetTableModel on
// one record: choosing a row moves the dataset there (so that details follow
// and the navigator acts on it), and the dataset's own moves become the
// view's current row.
// Thread-safe: no; window-system thread only.
#pragma once

class QAbstractItemView;

namespace kvell {

class TDataSetTableModel;

// Links view (already showing model) for as long as both exist. A move the
// dataset refuses (a pending edit that cannot post) is reported once through
// the user-interface hooks and the view goes back to the dataset's record.
void FollowActiveRecord(QAbstractItemView& view, TDataSetTableModel& model);

}  // namespace kvell
