// TOracleDataSet: fetching - one row of the fetching query copied into a new
// record of the store, its rowid and RecordId assigned, the filter run, and
// AfterFetchRecord asked whether to go on.
#include <algorithm>
#include <cstring>

#include "oracle/dataset/dataset_messages.h"
#include "oracle/dataset/oracle_dataset.h"
#include "oracle/dataset/record_values.h"
#include "oracle/session/oracle_date.h"
#include "oracle/session/oracle_object.h"
#include "oracle/session/oracle_session.h"
#include "oracle/ui/ui_hooks.h"
#include "runtime/text_trim.h"

namespace kvell {
namespace {

std::string blob_bytes(const Variant& value) {
  if (value.IsBytes()) {
    const std::vector<uint8_t> bytes = value.AsBytes();
    return std::string(bytes.begin(), bytes.end());
  }
  return value.AsString();
}

bool is_binary(TFieldType type) { return type == ftBlob || type == ftOraBlob; }

// Sets a slot's null indicator; the page was zero-filled, so a null must be written.
void set_null(uint8_t* slot) { slot[0] = 1; }

template <class T>
T read_as(const uint8_t* cell) {
  T value;
  std::memcpy(&value, cell, sizeof value);
  return value;
}

template <class T>
void put(uint8_t* slot, T value) {
  slot[0] = 0;
  std::memcpy(slot + 1, &value, sizeof value);
}

}  // namespace

bool TOracleDataSet::FetchRecord() {
  fetch_paused_ = false;
  if (QBEMode() || !store_ || !fetch_query_) return false;
  for (;;) {
    if (fetch_exhausted_) return false;
    if (uint8_t* placed = place_cached_insert()) {
      const FetchOutcome outcome = settle_fetched_record(placed);
      if (outcome == FetchOutcome::Hidden) continue;
      return outcome == FetchOutcome::Visible;
    }
    if (rows_exhausted_) {
      fetch_exhausted_ = true;
      return false;
    }
    // The row comes before the slot: in unidirectional mode a new slot may
    // release the records held, which must not happen when no row follows.
    if (first_fetched_row_pending_)
      first_fetched_row_pending_ = false;
    else
      fetch_query_->Next();
    if (fetch_query_->Eof()) {
      rows_exhausted_ = true;
      continue;
    }
    TChangeLogItem* logged = logged_change_of_row();
    if (logged && logged->Action == 'D') {
      // The row stays deleted; it still takes its RecordId.
      change_log_.Place(*logged, ++last_record_id_, store_->RecordLimit());
      continue;
    }
    uint8_t* record = store_->FreeSlot();
    Header(record).DataAreaSize = record_size_ - kRecordHeaderSize;
    try {
      if (logged) {
        CopyRecordInto(record, logged->NewValues.get(), record_size_);
      } else {
        fill_record(record);
        if (rowid_column_ >= 0) StoreRowId(record, fetch_query_->FieldText(rowid_column_));
      }
    } catch (...) {
      ReleaseRecordData(record);
      std::memset(record, 0, static_cast<size_t>(record_size_));
      throw;
    }
    store_->Append(record);
    Header(record).RecordId = ++last_record_id_;
    if (logged) change_log_.Place(*logged, last_record_id_, store_->NumberOfId(last_record_id_));
    const FetchOutcome outcome = settle_fetched_record(record);
    if (outcome != FetchOutcome::Hidden) return outcome == FetchOutcome::Visible;
  }
}

// Runs the filter and AfterFetchRecord on a record just added.
TOracleDataSet::FetchOutcome TOracleDataSet::settle_fetched_record(uint8_t* record) {
  const bool visible = !Filtered() || RecordPassesFilter(record);
  if (visible && Filtered()) store_->AddFiltered(record);
  // The details follow the first record once the fetch has made it current
  // (at the next data event), not now, while another record is current.
  if (visible && VisibleCount() == 1 && !details_.empty()) details_stale_ = true;
  if (AfterFetchRecord && !after_fetch_record(record, visible)) return FetchOutcome::Stopped;
  return visible ? FetchOutcome::Visible : FetchOutcome::Hidden;
}

void TOracleDataSet::FetchAll() {
  do {
    FetchRecord();
  } while (!fetch_exhausted_ && !fetch_paused_);
}

// Fires AfterFetchRecord with the new record as the one fields read; false
// when fetching is to stop for now (paused, or cancelled with every record
// released).
bool TOracleDataSet::after_fetch_record(uint8_t* record, bool visible) {
  TAfterFetchRecordAction action = afContinue;
  uint8_t* saved = event_record_;
  event_record_ = record;
  try {
    AfterFetchRecord(this, visible, action);
  } catch (...) {
    HandleApplicationException(this);
    action = afCancel;
  }
  event_record_ = saved;
  switch (action) {
    case afContinue: return true;
    case afPause: fetch_paused_ = true; return false;
    case afStop: fetch_exhausted_ = true; return true;
    case afCancel:
      fetch_exhausted_ = true;
      store_->Clear();
      current_ = -1;
      return false;
  }
  return true;
}

void TOracleDataSet::fill_record(uint8_t* record) {
  if (!fill_planned_) plan_fill();
  for (const FillStep& step : fill_plan_)
    if (step.copy == FillCopy::General || !copy_cell(record, step)) fill_field(record, *step.info);
}

// The copies fill_field would choose, decided once for all rows.
void TOracleDataSet::plan_fill() {
  fill_plan_.clear();
  for (int i = 1; i < field_infos_.Count(); ++i) {
    const TOracleFieldInfo& info = field_infos_[i];
    if (!info.Field || info.DataOffset < 0) continue;
    FillCopy copy = FillCopy::General;
    const TFieldType type = info.Field->DataType();
    if (info.Kind != fiAttribute) {
      switch (info.OracleType) {
        case 3: copy = type == ftSmallint ? FillCopy::Smallint : FillCopy::Integer; break;
        case 4: copy = FillCopy::Float; break;
        case 12: copy = FillCopy::DateTime; break;
        case 5: if (type == ftString || type == ftFixedChar) copy = FillCopy::Text; break;
        default: break;
      }
    }
    fill_plan_.push_back({&info, copy});
  }
  fill_planned_ = true;
}

// Copies one cell straight from the fetch buffers; false when the column is
// not defined as planned (a query executed again elsewhere) or the text
// needs fill_field's care.
bool TOracleDataSet::copy_cell(uint8_t* record, const FillStep& step) {
  const TOracleFieldInfo& info = *step.info;
  const TOracleQuery& query = *fetch_query_;
  if (info.ColumnIndex < 0 || info.ColumnIndex >= query.ColumnCount()) return false;
  const TFieldData& column = query.DefinedColumn(info.ColumnIndex);
  if (column.Complex || column.DefineType != info.OracleType) return false;
  const int row = query.CurrentRow();
  uint8_t* slot = DataArea(record) + info.DataOffset;
  if (column.Indicators[static_cast<size_t>(row)] == -1) {
    set_null(slot);
    return true;
  }
  const uint8_t* cell = column.Row(row);
  switch (step.copy) {
    case FillCopy::Integer: put(slot, read_as<int32_t>(cell)); return true;
    case FillCopy::Smallint: put(slot, static_cast<int16_t>(read_as<int32_t>(cell))); return true;
    case FillCopy::Float: put(slot, read_as<double>(cell)); return true;
    case FillCopy::DateTime: put(slot, DayAndTimeToNative(OracleDateToDayAndTime(cell))); return true;
    case FillCopy::Text: {
      const TRowText text = ScanRowText(cell, static_cast<size_t>(column.DefineSize));
      if (text.LineBreak) return false;  // whether line breaks are converted is the query's call
      store_text(slot, *info.Field, text.Text);
      return true;
    }
    case FillCopy::General: break;
  }
  return false;
}

void TOracleDataSet::fill_field(uint8_t* record, const TOracleFieldInfo& info) {
  TOracleQuery& query = *fetch_query_;
  const int column = info.ColumnIndex;
  uint8_t* slot = DataArea(record) + info.DataOffset;
  if (info.Kind == fiAttribute) {
    store_value(record, info, attribute_value(info));
    return;
  }
  if (query.FieldIsNull(column)) {
    set_null(slot);
    return;
  }
  switch (info.OracleType) {
    case 3:
      if (info.Field->DataType() == ftSmallint)
        put(slot, static_cast<int16_t>(query.FieldInteger(column)));
      else
        put(slot, query.FieldInteger(column));
      return;
    case 4: put(slot, query.FieldFloat(column)); return;
    case 12: put(slot, DateTimeToNative(ftDateTime, query.FieldDate(column))); return;
    default: break;
  }
  // Most columns are text: straight from the fetch buffer, not through a Variant.
  std::string_view text;
  const TFieldType type = info.Field->DataType();
  if ((type == ftString || type == ftFixedChar) && query.FieldPlainText(column, text)) {
    store_text(slot, *info.Field, text);
    return;
  }
  store_value(record, info, query.FieldValue(column));
}

Variant TOracleDataSet::attribute_value(const TOracleFieldInfo& info) const {
  auto* object = dynamic_cast<TOracleObject*>(fetch_query_->FieldObject(info.ColumnIndex));
  if (!object || object->IsNull()) return Variant::Null();
  TObjectAttribute* attribute = object->FindAttribute(info.AttributeName, false);
  if (!attribute || attribute->IsNull()) return Variant::Null();
  return attribute->Value();
}

void TOracleDataSet::store_value(uint8_t* record, const TOracleFieldInfo& info, const Variant& value) {
  uint8_t* slot = DataArea(record) + info.DataOffset;
  TField& field = *info.Field;
  if (field.IsBlob()) {
    store_blob(record, info, value);
    return;
  }
  if (value.IsEmpty() || value.IsNull()) {
    set_null(slot);
    return;
  }
  switch (field.DataType()) {
    case ftSmallint: put(slot, static_cast<int16_t>(value.AsInteger())); return;
    case ftInteger: put(slot, value.AsInteger()); return;
    case ftFloat: put(slot, value.AsDouble()); return;
    case ftDateTime: put(slot, DateTimeToNative(ftDateTime, value.AsDateTime())); return;
    case ftString:
    case ftFixedChar: break;
    default: DatabaseError(dataset_messages::UnexpectedDatatype + field.FieldName());
  }
  store_text(slot, field, value.AsString());
}

void TOracleDataSet::store_text(uint8_t* slot, const TField& field, std::string_view text) {
  if (session_ && session_->Preferences().TrimStringFields) text = TrimRight(text);
  if (text.empty()) {
    set_null(slot);
    return;
  }
  const size_t length = std::min(text.size(), static_cast<size_t>(field.Size()));
  slot[0] = 0;
  std::memcpy(slot + 1, text.data(), length);
  slot[1 + length] = '\0';
}

void TOracleDataSet::store_blob(uint8_t* record, const TOracleFieldInfo& info, const Variant& value) {
  uint8_t* slot = DataArea(record) + info.DataOffset;
  if (value.IsEmpty() || value.IsNull()) {
    set_null(slot);
    return;
  }
  std::string bytes = blob_bytes(value);
  if (is_binary(info.Field->DataType())) bytes = DecompressedValue(info.Field, bytes);
  if (bytes.empty()) {
    set_null(slot);
    return;
  }
  RecordHeader& header = Header(record);
  if (!header.Blobs) header.Blobs = new TBlobList(blob_count_);
  header.Blobs->Get(info.BlobIndex).Assign(bytes);
  slot[0] = 0;
}

// ---- compressed binary values ----

std::string TOracleDataSet::CompressedValue(TField* field, std::string_view value) {
  TBlobCoder coder;
  if (OnCompressBLOB)
    coder = [this, field](TMemoryStream& in, TMemoryStream& out) { OnCompressBLOB(this, field, in, out); };
  return CompressBlobValue(value, coder, compression_totals_);
}

std::string TOracleDataSet::DecompressedValue(TField* field, std::string_view stored) const {
  TBlobCoder coder;
  if (OnDecompressBLOB) {
    auto* self = const_cast<TOracleDataSet*>(this);
    coder = [self, field](TMemoryStream& in, TMemoryStream& out) { self->OnDecompressBLOB(self, field, in, out); };
  }
  return DecompressBlobValue(stored, CompressBLOBs, coder);
}

}  // namespace kvell
