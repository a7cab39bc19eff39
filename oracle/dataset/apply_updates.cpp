// TDataSetWriter: applying the change log - each cached change sent through
// the generated statements a post or delete would send, from the entry's own
// copies of the record, all inside one savepoint.
#include "oracle/dataset/change_log.h"
#include "oracle/dataset/dataset_writer.h"
#include "oracle/dataset/oracle_dataset.h"
#include "oracle/session/oracle_session.h"

namespace kvell {
namespace {

// Points the writer and the fields at a logged change while it is applied.
class ApplyingScope {
 public:
  ApplyingScope(const uint8_t*& source, const uint8_t*& fields_record, const uint8_t*& fields_old_values,
                const TChangeLogItem& entry)
      : source_(source), fields_record_(fields_record), fields_old_values_(fields_old_values) {
    source_ = entry.NewValues.get();
    fields_record_ = entry.NewValues ? entry.NewValues.get() : entry.OldValues.get();
    fields_old_values_ = entry.OldValues.get();
  }
  ~ApplyingScope() { source_ = fields_record_ = fields_old_values_ = nullptr; }
  ApplyingScope(const ApplyingScope&) = delete;
  ApplyingScope& operator=(const ApplyingScope&) = delete;

 private:
  const uint8_t*& source_;
  const uint8_t*& fields_record_;
  const uint8_t*& fields_old_values_;
};

std::string_view blob_bytes(const uint8_t* record, const TOracleFieldInfo& info) {
  const TBlobList* blobs = Header(record).Blobs;
  const TOracleBlob* blob = blobs ? blobs->Find(info.BlobIndex) : nullptr;
  return blob ? blob->Bytes() : std::string_view();
}

}  // namespace

bool TDataSetWriter::blob_changed(const uint8_t* stored, const TOracleFieldInfo& info) const {
  return blob_bytes(stored, info) != blob_bytes(post_source_, info);
}

TDataSetWriter::AppliedChange TDataSetWriter::apply_change(TChangeLogItem& entry) {
  ApplyingScope scope(post_source_, dataset_.applying_record_, dataset_.applying_old_values_, entry);
  uint8_t* old_values = entry.OldValues.get();
  if (entry.Action == 'D') {
    send_delete(old_values);
    return {&entry, std::string(entry.RowId()), true};
  }
  const bool inserting = entry.Action == 'I';
  std::vector<PostedColumn> columns;
  posted_columns(inserting, old_values, columns);
  if (columns.empty()) return {&entry, std::string(entry.RowId()), false};
  std::string rowid;
  execute_post(inserting, old_values, columns, rowid);
  return {&entry, std::move(rowid), true};
}

std::vector<int32_t> TDataSetWriter::ApplyLog(TChangeLog& log) {
  std::vector<AppliedChange> applied;
  // Statements inside keep from setting savepoints of their own or committing.
  struct ApplyingMark {
    bool& mark;
    explicit ApplyingMark(bool& flag) : mark(flag) { mark = true; }
    ~ApplyingMark() { mark = false; }
  } applying(applying_);
  try {
    set_savepoint_now();
    for (int i = 0; i < log.Count(); ++i)
      if (!log[i].NotCached) applied.push_back(apply_change(log[i]));
    commit_now();
  } catch (...) {
    TOracleSession* session = dataset_.Session();
    const bool undone = savepoints_allowed() || (dataset_.CommitOnPost && session && !session->AutoCommitMode());
    try {
      rollback_to_savepoint_now();
    } catch (...) {
      // the failure being reported matters more than this one
    }
    // Changes the server keeps (each committed as it ran) leave the log.
    if (!undone) finish_applied(log, applied);
    throw;
  }
  std::vector<int32_t> refreshed;
  for (const AppliedChange& change : applied) {
    const TChangeLogItem& entry = *change.Entry;
    const bool inserting = entry.Action == 'I';
    if (!entry.Placed || entry.Action == 'D') continue;
    const int number = dataset_.store_->NumberOfId(entry.RecordId);
    if (number < 0) continue;
    if (inserting) StoreRowId(dataset_.store_->Record(number), change.RowId);
    if (change.Sent && needs_refresh_after(inserting)) refreshed.push_back(entry.RecordId);
  }
  return refreshed;
}

void TDataSetWriter::finish_applied(TChangeLog& log, const std::vector<AppliedChange>& applied) {
  for (const AppliedChange& change : applied) {
    TChangeLogItem& entry = *change.Entry;
    const int number = entry.Placed ? dataset_.store_->NumberOfId(entry.RecordId) : -1;
    if (entry.Action == 'I' && number >= 0) StoreRowId(dataset_.store_->Record(number), change.RowId);
    if (entry.Action == 'I') ++dataset_.posted_inserts_;
    if (entry.Action == 'D') ++dataset_.posted_deletes_;
    log.Remove(entry);
  }
}

void TDataSetWriter::RefreshApplied(int32_t record_id) {
  const int number = dataset_.store_->NumberOfId(record_id);
  if (number < 0) return;
  LockCheckRefresh(false, false, true, (dataset_.RefreshOptions & roAllFields) != 0, dataset_.store_->Record(number));
}

}  // namespace kvell
