// TDataSetWriter: the framework's edit, post, delete and cancel steps - when
// rows are locked and compared, which statement runs, how the rowid of a
// new row is found, and how the record store takes the result.
#include <cstring>

#include "oracle/dataset/collection_insert.h"
#include "oracle/dataset/dataset_dictionary.h"
#include "oracle/dataset/dataset_messages.h"
#include "oracle/dataset/dataset_writer.h"
#include "oracle/dataset/dml_messages.h"
#include "oracle/dataset/oracle_dataset.h"
#include "oracle/dataset/record_values.h"
#include "oracle/dataset/value_compare.h"
#include "oracle/session/lob_locator.h"
#include "oracle/session/oracle_error.h"
#include "oracle/session/oracle_session.h"
#include "runtime/text_trim.h"

namespace kvell {


// ---- edit ----

void TDataSetWriter::Edit() {
  const TLockingModeOptions mode = dataset_.LockingMode;
  const bool before_edit = (dataset_.RefreshOptions & roBeforeEdit) != 0;
  const bool compares = mode == lmLockImmediate || mode == lmCheckImmediate;
  uint8_t* stored = dataset_.StoredRecordOf(dataset_.ActiveBuffer());
  if (!stored || !((compares && !dataset_.HasLogEntry(stored)) || before_edit)) return;
  const bool all_fields = (dataset_.RefreshOptions & roAllFields) != 0;
  LockCheckRefresh(mode == lmLockImmediate, compares && !before_edit, before_edit, all_fields, stored);
  if (before_edit) {
    // The edit starts from what the server holds now.
    std::memcpy(DataArea(dataset_.ActiveBuffer()), DataArea(stored), static_cast<size_t>(dataset_.data_size_));
  }
}

// ---- post ----

void TDataSetWriter::Post(bool inserting) {
  uint8_t* stored = inserting ? nullptr : dataset_.StoredRecordOf(dataset_.ActiveBuffer());
  if (!inserting && !stored) DatabaseError(dataset_messages::NoRecords);
  const TSequenceField& sequence = dataset_.SequenceField;
  if (inserting && sequence.InUse() && sequence.ApplyMoment == amOnPost) ApplySequence();
  // Nothing reaches the server until the apply: constraints are checked now, while the record is at hand.
  if (dataset_.CachedUpdates()) dataset_.dictionary_->CheckRecord();
  // Kept for their room from post to post; nothing in them outlives the post.
  std::vector<PostedColumn>& columns = post_columns_;
  const ClearedOnExit cleared_columns{columns};
  posted_columns(inserting, stored, columns);
  std::string& rowid = post_rowid_;
  rowid.clear();
  bool sent = false;
  if (columns.empty() || dataset_.CachedUpdates()) {
    if (columns.empty() && !inserting && dataset_.LockingMode == lmLockImmediate && !dataset_.CachedUpdates())
      commit();
    if (stored) rowid = RecordRowId(stored);
  } else {
    execute_post(inserting, stored, columns, rowid);
    sent = true;
  }
  RecordCopy old_values;
  if (!inserting && logging()) old_values = CopyRecord(stored, dataset_.record_size_);
  uint8_t* record = inserting ? store_insert(rowid) : stored;
  if (!inserting) store_update(stored, rowid);
  dataset_.LogChange(inserting ? 'I' : 'U', record, old_values.get());
  if (sent && needs_refresh_after(inserting))
    LockCheckRefresh(false, false, true, (dataset_.RefreshOptions & roAllFields) != 0, record);
}

bool TDataSetWriter::needs_refresh_after(bool inserting) const {
  if (!inserting) return (dataset_.RefreshOptions & roAfterUpdate) != 0;
  if (dataset_.RefreshOptions & roAfterInsert) return true;
  const TSequenceField& sequence = dataset_.SequenceField;
  if (sequence.InUse() && sequence.ApplyMoment == amOnServer) return true;
  for (TField* field : dataset_.Fields())
    if (!field->DefaultExpression.empty()) return true;
  return false;
}

// Runs the statement of a post inside the savepoint; `rowid` takes the rowid of the row.
void TDataSetWriter::execute_post(bool inserting, const uint8_t* stored, std::vector<PostedColumn>& columns,
                                  std::string& rowid) {
  const char action = inserting ? 'I' : 'U';
  const TLockingModeOptions mode = dataset_.LockingMode;
  if (stored) rowid.assign(RecordRowId(stored)); else rowid.clear();
  try {
    if (!inserting && (mode == lmCheckImmediate || mode == lmLockDelayed)) {
      LockCheckRefresh(true, true, false, (dataset_.RefreshOptions & roAllFields) != 0,
                       const_cast<uint8_t*>(stored));
    } else {
      set_savepoint();
    }
    if (dataset_.OnApplyRecord) {
      std::string new_rowid = rowid;
      if (dataset_.FireApplyRecord(action, new_rowid)) {
        if (inserting) rowid = new_rowid;
        commit();
        return;
      }
    }
    const std::string& table = UpdatingTableName();
    const bool alias = has_object_columns();
    // Kept for their room from post to post; no value outlives the post.
    StatementBinds& binds = post_binds_;
    binds.Clear();
    const ClearedOnExit cleared_binds{binds};
    ReturningPart& returning = post_returning_;
    returning.Clear();
    bind_columns(binds, columns, returning);
    const bool returns_rowid = dataset_.Session()->OCI8Mode() && IsBlank(dataset_.UniqueFields);
    int rowid_position = -1;
    if (returns_rowid) {
      rowid_position = binds.Declare(dml_text::RowIdVariable, 5);
      returning.Add("rowid", dml_text::RowIdVariable);
    }
    std::string insert_text;
    if (inserting) {
      create_empty_collections(table);
      insert_text = InsertStatement(TableReference(table, alias), assignments(columns, alias), returning);
    }
    const std::string& text =
        inserting ? insert_text : update_text(table, alias, columns, where_clause(binds, stored), returning);
    bind_table_variables(binds, table);
    TOracleQuery& query = run(text, binds);
    if (!inserting && query.RowsProcessed() == 0)
      raise_translated(0, dml_messages::RecordDeleted, action);
    if (inserting && (dataset_.Session()->ODBCBridge() || !IsBlank(dataset_.UniqueFields)))
      rowid = lookup_rowid(post_source_ ? post_source_ : dataset_.ActiveBuffer());
    else if (returns_rowid)
      take_returned_rowid(query, rowid_position, rowid);
    else if (inserting)
      rowid = query.RowId();
    write_returned_lobs();
    free_locators();
    close_query_by_rule();
    commit();
  } catch (const EOracleError& error) {
    rollback_to_savepoint_quietly();
    free_locators();
    raise_translated(error, action);
  } catch (...) {
    rollback_to_savepoint_quietly();
    free_locators();
    throw;
  }
}

// An update's row keeps its rowid but for row movement: the text is read in
// place and copied only when it differs.
void TDataSetWriter::take_returned_rowid(const TOracleQuery& query, int variable, std::string& rowid) {
  std::string_view returned;
  if (!query.VariablePlainText(variable, returned)) {
    rowid = query.GetVariable(variable).AsString();
  } else if (returned != rowid) {
    rowid.assign(returned);
  }
}

namespace {

const std::string& assigned_name(const TOracleFieldInfo& info) {
  return info.Kind == fiAttribute ? info.FieldName : info.ColumnName;
}

}  // namespace

std::vector<Assignment> TDataSetWriter::assignments(const std::vector<PostedColumn>& columns, bool alias) {
  std::vector<Assignment> assigned;
  assigned.reserve(columns.size());
  for (const PostedColumn& column : columns)
    assigned.push_back({ColumnReference(assigned_name(*column.Info), alias), column.Expression.Expression});
  return assigned;
}

bool TDataSetWriter::KeptUpdate::MadeFrom(const std::string& table, bool alias,
                                          const std::vector<PostedColumn>& columns, const std::string& where,
                                          const ReturningPart& returning) const {
  if (Text.empty() || Alias != alias || Table != table || Where != where || Columns.size() != columns.size() ||
      Returning.Columns != returning.Columns || Returning.Variables != returning.Variables)
    return false;
  for (size_t i = 0; i < columns.size(); ++i)
    if (Columns[i].first != assigned_name(*columns[i].Info) || Columns[i].second != columns[i].Expression.Expression)
      return false;
  return true;
}

const std::string& TDataSetWriter::update_text(const std::string& table, bool alias,
                                               const std::vector<PostedColumn>& columns, const std::string& where,
                                               const ReturningPart& returning) {
  if (kept_update_.MadeFrom(table, alias, columns, where, returning)) return kept_update_.Text;
  KeptUpdate made{table, alias, {}, where, returning,
                  UpdateStatement(TableReference(table, alias), assignments(columns, alias), where, returning)};
  for (const PostedColumn& column : columns)
    made.Columns.emplace_back(assigned_name(*column.Info), column.Expression.Expression);
  kept_update_ = std::move(made);
  return kept_update_.Text;
}

// An element can only go into a collection that exists: Oracle raises
// ORA-22908 for a null one, so the selected rows' null collections are given
// their empty value first.
void TDataSetWriter::create_empty_collections(const std::string& table) {
  if (!collection_block_) collection_block_ = collection_insert_block(table);
  if (collection_block_->empty()) return;
  StatementBinds binds;
  bind_table_variables(binds, *collection_block_);
  run(*collection_block_, binds);
}

// The block for a collection expression, each column's empty value named by
// the type the inner select describes; empty for any other table. A column
// of no named type is left to the insert, which the server then refuses.
std::string TDataSetWriter::collection_insert_block(const std::string& table) {
  const CollectionTarget target = SplitCollectionExpression(table);
  if (target.Columns.empty()) return "";
  std::string select = "select ";
  for (size_t i = 0; i < target.Columns.size(); ++i) select += (i ? ", " : "") + target.Columns[i];
  select += " from " + target.Table;
  if (!target.Condition.empty()) select += " where " + target.Condition;
  StatementBinds binds;
  bind_table_variables(binds, select);
  TOracleQuery& query = statement_queries_.Bind(select, binds, false);
  configure(query, false);
  query.Describe();
  CollectionTarget typed = target;
  typed.Columns.clear();
  std::vector<std::string> empty_values;
  for (int i = 0; i < query.ColumnCount() && i < static_cast<int>(target.Columns.size()); ++i) {
    const std::string& type = query.Column(i).TypeName;
    if (type.empty()) continue;
    typed.Columns.push_back(target.Columns[static_cast<size_t>(i)]);
    empty_values.push_back(type + "()");
  }
  return typed.Columns.empty() ? "" : CollectionInsertBlock(typed, empty_values);
}

std::string TDataSetWriter::lookup_rowid(const uint8_t* record) {
  const std::vector<KeyTerm> terms = key_terms(record, true);
  StatementBinds binds;
  for (const KeyTerm& term : terms) {
    if (term.IsNull) continue;
    const TOracleFieldInfo& info = *dataset_.field_infos_.Find(term.FieldName);
    binds.Declare(term.FieldName, info.OracleType == 4 ? 4 : info.OracleType == 3 ? 3 : 5);
    binds.Set(term.FieldName, record_value(record, info));
  }
  const std::string table = UpdatingTableName();
  bind_table_variables(binds, table);
  TOracleQuery& query = run(RowIdLookupStatement(table, terms), binds);
  if (query.Eof()) DatabaseError(dml_messages::RowIdNotFound);
  const std::string rowid = query.FieldText(0);
  query.Next();
  if (!query.Eof()) DatabaseError(dml_messages::RowIdNotUnique);
  close_query_by_rule();
  return rowid;
}

void TDataSetWriter::ApplySequence() {
  const TSequenceField& sequence = dataset_.SequenceField;
  if (!sequence.InUse()) return;
  TField* field = dataset_.FindField(sequence.Field);
  if (!field || !field->IsNull()) return;
  TOracleQuery& query = run(SequenceStatement(sequence.Sequence), StatementBinds());
  const Variant value = query.FieldValue(0);
  close_query_by_rule();
  field->SetAsVariant(value);
}

// ---- storing the result ----

void TDataSetWriter::copy_modified_blobs(uint8_t* record) {
  if (dataset_.blob_count_ == 0) return;
  const TOracleFieldInfoList& infos = dataset_.field_infos_;
  for (int i = 1; i < infos.Count(); ++i) {
    const TOracleFieldInfo& info = infos[i];
    if (!info.Field || !info.Field->IsBlob() || !static_cast<TBlobField*>(info.Field)->Modified) continue;
    RecordHeader& header = Header(record);
    const TOracleBlob* edited = edit_blobs_ ? edit_blobs_->Find(info.BlobIndex) : nullptr;
    if (!edited || edited->Size == 0) {
      if (header.Blobs) header.Blobs->Clear(info.BlobIndex);
      continue;
    }
    if (!header.Blobs) header.Blobs = new TBlobList(dataset_.blob_count_);
    header.Blobs->Get(info.BlobIndex).Assign(edited->Bytes());
  }
}

void TDataSetWriter::store_update(uint8_t* stored, const std::string& rowid) {
  std::memcpy(DataArea(stored), DataArea(dataset_.ActiveBuffer()), static_cast<size_t>(dataset_.data_size_));
  copy_modified_blobs(stored);
  if (rowid != RecordRowId(stored)) StoreRowId(stored, rowid);
}

uint8_t* TDataSetWriter::store_insert(const std::string& rowid) {
  TRecordBuffer buffer = dataset_.ActiveBuffer();
  uint8_t* record = dataset_.store_->FreeSlot();
  std::memcpy(record, buffer, static_cast<size_t>(dataset_.record_size_));
  ClearRecordReferences(record);
  RecordHeader& header = Header(record);
  header.RecordId = ++dataset_.last_record_id_;
  header.BookmarkFlag = bfCurrent;
  StoreRowId(record, rowid);
  copy_modified_blobs(record);
  dataset_.InsertStoredRecord(record, buffer);
  return record;
}

// ---- delete ----

void TDataSetWriter::Delete() {
  uint8_t* stored = dataset_.StoredRecordOf(dataset_.ActiveBuffer());
  if (!stored) DatabaseError(dataset_messages::NoRecords);
  const TLockingModeOptions mode = dataset_.LockingMode;
  const bool all_fields = (dataset_.RefreshOptions & roAllFields) != 0;
  if (!dataset_.CachedUpdates()) {
    send_delete(stored);
  } else if ((mode == lmLockImmediate || mode == lmCheckImmediate) && !dataset_.HasLogEntry(stored)) {
    LockCheckRefresh(mode == lmLockImmediate, true, false, all_fields, stored);
  }
  dataset_.LogChange('D', stored, stored);
  dataset_.RemoveStoredRecord(stored);
}

// Deletes the row of `record` on the server, locked and compared first unless
// LockingMode is lmNone.
void TDataSetWriter::send_delete(uint8_t* record) {
  const TLockingModeOptions mode = dataset_.LockingMode;
  try {
    if (mode != lmNone) LockCheckRefresh(true, true, false, (dataset_.RefreshOptions & roAllFields) != 0, record);
    std::string rowid(RecordRowId(record));
    if (!dataset_.FireApplyRecord('D', rowid)) {
      if (rowid.empty()) raise_without_rowid(dml_messages::DeleteAction);
      const std::string table = UpdatingTableName();
      StatementBinds binds;
      const std::string where = where_clause(binds, record);
      bind_table_variables(binds, table);
      TOracleQuery& query = run(DeleteStatement(table, where), binds);
      if (query.RowsProcessed() == 0) raise_translated(0, dml_messages::RecordDeleted, 'D');
      close_query_by_rule();
    }
    commit();
  } catch (const EOracleError& error) {
    if (mode != lmNone) rollback_to_savepoint_quietly();
    raise_translated(error, 'D');
  } catch (...) {
    if (mode != lmNone) rollback_to_savepoint_quietly();
    throw;
  }
}

// ---- cancel ----

void TDataSetWriter::Cancel(bool cancelling_edit) {
  if (dataset_.LockingMode != lmLockImmediate || dataset_.CachedUpdates() || !cancelling_edit) return;
  try {
    rollback_for_cancel();
  } catch (const Exception& error) {
    DatabaseError(error.Message);
  }
}

}  // namespace kvell
