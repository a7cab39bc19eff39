// TDataSetWriter: locking, comparing and re-reading one row by its rowid,
// through a select of the updating table or of the dataset's own query.
#include <optional>
#include <string_view>

#include "oracle/dataset/dataset_writer.h"
#include "oracle/dataset/dml_messages.h"
#include "oracle/dataset/oracle_dataset.h"
#include "oracle/dataset/record_values.h"
#include "oracle/dataset/value_compare.h"
#include "oracle/session/oracle_error.h"
#include "oracle/session/oracle_session.h"

namespace kvell {

namespace {

bool is_binary_column(int type) { return type == 24 || type == 113; }

// The compare of the plain column types read in place, as the check runs twice
// a post; nullopt leaves the field to the compare of values.
std::optional<bool> slot_differs(const TOracleQuery& query, int column, const uint8_t* record,
                                 const TOracleFieldInfo& info) {
  const TFieldType type = info.Field->DataType();
  const int oracle_type = info.OracleType;
  if (!((oracle_type == 3 && type == ftInteger) || (oracle_type == 4 && type == ftFloat) ||
        (oracle_type == 5 && type == ftString)))
    return std::nullopt;
  const bool field_null = SlotIsNull(record, info);
  const bool server_null = query.FieldIsNull(column);
  if (field_null || server_null) return field_null && server_null ? std::optional<bool>(false) : std::nullopt;
  if (oracle_type == 3) return SlotNumber<int32_t>(record, info) != query.FieldInteger(column);
  if (oracle_type == 4) return ServerFloatDiffers(SlotNumber<double>(record, info), query.FieldFloat(column));
  std::string_view server;
  if (!query.FieldPlainText(column, server)) return std::nullopt;
  return ServerTextDiffers(info.Field->DataSize(), SlotText(record, info), server);
}

}  // namespace

const std::string& TDataSetWriter::lock_statement(bool lock, bool all_fields) {
  if (!all_fields) {
    // Sent twice a post under lmCheckImmediate: built once per table.
    const std::string& table = UpdatingTableName();
    KeptStatement& kept = simple_refresh_[lock ? 1 : 0];
    if (kept.Table != table || kept.Text.empty()) kept = {table, SimpleRefreshStatement(table, lock)};
    return kept.Text;
  }
  std::string lock_field;
  if (lock) {
    for (TField* field : dataset_.Fields())
      if (field->FieldKind() == fkData) {
        const TOracleFieldInfo* info = dataset_.field_infos_.FindByField(field);
        lock_field = info ? info->ColumnName : field->FieldName();
        break;
      }
    if (lock_field.empty()) throw Exception(dataset_.Name() + dml_messages::NoDataFields);
  }
  all_fields_refresh_ = AllFieldsRefreshStatement(dataset_.SQL().Text(), SelectTableName(), lock_field);
  return all_fields_refresh_;
}

// The handlers may take a step over, and may change the rowid.
void TDataSetWriter::fire_row_events(bool& lock, bool& check, bool& refresh, std::string& rowid) {
  if (refresh && dataset_.FireApplyRecord('R', rowid)) refresh = false;
  if (lock && dataset_.FireApplyRecord('L', rowid)) lock = check = false;
  if (check && dataset_.FireApplyRecord('C', rowid)) check = false;
}

void TDataSetWriter::LockCheckRefresh(bool lock, bool check, bool refresh, bool all_fields, uint8_t* record) {
  if (!record) record = dataset_.StoredRecordOf(dataset_.ActiveBuffer());
  std::string_view rowid = record ? RecordRowId(record) : std::string_view();
  std::string event_rowid;  // as the OnApplyRecord handlers leave it
  bool savepoint = false;
  try {
    if (lock) {
      set_savepoint();
      savepoint = true;
    }
    if (dataset_.OnApplyRecord) {
      event_rowid = rowid;
      fire_row_events(lock, check, refresh, event_rowid);
      rowid = event_rowid;
    }
    if (!lock && !check && !refresh) return;
    if (rowid.empty() || !record) raise_without_rowid(dml_messages::LockRefreshOrCheckAction);
    const std::string& text = lock_statement(lock, all_fields);
    // Twice a post: the binds keep their room from one row statement to the next.
    StatementBinds& binds = row_binds_;
    binds.Clear();
    const ClearedOnExit cleared{binds};  // the rowid view must not outlive the record
    binds.SetText(binds.Declare(dml_text::RowIdVariable, 5), rowid);
    bind_table_variables(binds, text);
    TOracleQuery& query = run(text, binds, dataset_.StringFieldsOnly());
    if ((lock || check) && query.Eof()) raise_translated(0, dml_messages::RecordDeleted, 'L');
    if (refresh && !query.Eof()) refresh_from(query, record);
    if (check && differs_from(query, record)) {
      if (lock) rollback_to_savepoint_quietly();
      raise_translated(0, dml_messages::RecordChanged, 'L');
    }
    close_query_by_rule();
  } catch (const EOracleError& error) {
    if (savepoint) rollback_to_savepoint_quietly();
    if (error.ErrorCode == dml_messages::ResourceBusyError)
      raise_translated(error.ErrorCode, dml_messages::RecordLocked, 'L');
    raise_translated(error, 'L');
  } catch (...) {
    if (savepoint) rollback_to_savepoint_quietly();
    throw;
  }
}

Variant TDataSetWriter::server_value(TOracleQuery& query, int column, const TOracleFieldInfo& info) const {
  if (query.FieldIsNull(column)) return Null();
  switch (info.OracleType) {
    case 12:
    case 187:
    case 188:
    case 232: return Variant::FromDateTime(query.FieldDate(column));
    default: return query.FieldValue(column);
  }
}

// The result column of the descriptor's column when it has the same type; -1 otherwise.
static int result_column(const TOracleQuery& query, const TOracleFieldInfo& info) {
  if (info.Kind == fiAttribute || !info.Field) return -1;
  const int column = query.FieldIndex(info.ColumnName);
  if (column < 0 || query.FieldType(column) != info.OracleType) return -1;
  return column;
}

// Found once per description of the query's columns: the check runs twice a post.
const std::vector<int>& TDataSetWriter::result_columns(const TOracleQuery& query) {
  const TOracleFieldInfoList& infos = dataset_.field_infos_;
  for (size_t k = 0; k < result_columns_.size(); ++k) {
    const ResultColumns& kept = result_columns_[k];
    if (kept.DescribeId != 0 && kept.DescribeId == query.DescribeId() && kept.ColumnCount == query.ColumnCount() &&
        kept.Columns.size() == static_cast<size_t>(infos.Count())) {
      older_result_columns_ = k == 0 ? 1 : 0;
      return kept.Columns;
    }
  }
  ResultColumns& made = result_columns_[static_cast<size_t>(older_result_columns_)];
  older_result_columns_ = 1 - older_result_columns_;
  made.DescribeId = query.DescribeId();
  made.ColumnCount = query.ColumnCount();
  made.Columns.assign(static_cast<size_t>(infos.Count()), -1);
  for (int i = 1; i < infos.Count(); ++i) made.Columns[static_cast<size_t>(i)] = result_column(query, infos[i]);
  return made.Columns;
}

void TDataSetWriter::forget_result_columns() { result_columns_ = {}; }

void TDataSetWriter::refresh_from(TOracleQuery& query, uint8_t* record) {
  TOracleFieldInfoList& infos = dataset_.field_infos_;
  const std::vector<int>& columns = result_columns(query);
  for (int i = 1; i < infos.Count(); ++i) {
    const TOracleFieldInfo& info = infos[i];
    if (info.DataOffset < 0 || (info.Field->FieldKind() != fkData && info.Field->FieldKind() != fkInternalCalc))
      continue;
    const int column = columns[static_cast<size_t>(i)];
    if (column < 0) continue;
    const Variant server = server_value(query, column, info);
    const ComparedField compared{info.Field->DataType(), info.OracleType, info.Field->DataSize()};
    if (ServerValueDiffers(compared, record_value(record, info), server)) write_stored_value(record, info, server);
  }
  if (dataset_.AfterRefreshRecord) dataset_.AfterRefreshRecord(&dataset_);
}

bool TDataSetWriter::differs_from(TOracleQuery& query, const uint8_t* record) {
  const TOracleFieldInfoList& infos = dataset_.field_infos_;
  const std::vector<int>& columns = result_columns(query);
  for (int i = 1; i < infos.Count(); ++i) {
    const TOracleFieldInfo& info = infos[i];
    if (info.DataOffset < 0 || info.Field->FieldKind() != fkData) continue;
    const int column = columns[static_cast<size_t>(i)];
    if (column < 0) continue;
    const std::optional<bool> differs = slot_differs(query, column, record, info);
    if (differs ? *differs : value_differs(query, column, record, info)) return true;
  }
  return false;
}

// The compare of values, for the types slot_differs leaves.
bool TDataSetWriter::value_differs(TOracleQuery& query, int column, const uint8_t* record,
                                   const TOracleFieldInfo& info) {
  const ComparedField compared{info.Field->DataType(), info.OracleType, info.Field->DataSize()};
  StoredBytesReader reader;
  if (is_binary_column(info.OracleType)) {
    reader = [this, &info](const std::vector<uint8_t>& stored) {
      const std::string value = dataset_.DecompressedValue(
          info.Field, std::string_view(reinterpret_cast<const char*>(stored.data()), stored.size()));
      return std::vector<uint8_t>(value.begin(), value.end());
    };
  }
  return ServerValueDiffers(compared, record_value(record, info), server_value(query, column, info), reader);
}

void TDataSetWriter::write_stored_value(uint8_t* record, const TOracleFieldInfo& info, const Variant& value) {
  if (info.Field->IsBlob() && (value.IsNull() || value.IsEmpty()) && Header(record).Blobs)
    Header(record).Blobs->Clear(info.BlobIndex);
  Variant stored = value;
  if (value.IsBytes() && !info.Field->IsBlob()) {
    const std::vector<uint8_t> bytes = value.AsBytes();
    stored = Variant(std::string(bytes.begin(), bytes.end()));
  }
  dataset_.store_value(record, info, stored);
}

}  // namespace kvell
