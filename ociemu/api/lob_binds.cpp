// LOB locators in statements: a fetched or returned LOB column fills the
// application's locator, and an IN locator bind passes the LOB's value.
#include <sqlite3.h>

#include <cctype>

#include "ociemu/api/lob_store.h"
#include "ociemu/api/statement.h"

namespace ociemu {
namespace {

constexpr int kInvalidLocator = 22275;

LobLocator& element_locator(const ElementArrays& arrays, uint32_t index) {
  void* element = arrays.values ? arrays.value_at(index) : nullptr;
  LobLocator* locator = element ? live_locator(*static_cast<void**>(element)) : nullptr;
  if (locator == nullptr) fail(kInvalidLocator);
  return *locator;
}

int lob_type_of(uint16_t dty) {
  if (dty == SQLT_BLOB) return kBlobType;
  if (dty == SQLT_CLOB) return kClobType;
  return kBfileType;
}

}  // namespace

bool is_locator_type(uint16_t dty) {
  return dty == SQLT_CLOB || dty == SQLT_BLOB || dty == SQLT_BFILE || dty == SQLT_CFILE;
}

bool is_descriptor_type(uint16_t dty) {
  switch (dty) {
    case SQLT_RDD:
    case SQLT_DATE:
    case SQLT_TIMESTAMP:
    case SQLT_TIMESTAMP_TZ:
    case SQLT_TIMESTAMP_LTZ:
    case SQLT_INTERVAL_YM:
    case SQLT_INTERVAL_DS:
      return true;
    default:
      return is_locator_type(dty);
  }
}

bool sql_name_equal(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

void Statement::place_locator(const ElementArrays& arrays, uint32_t slot, const Cell& value, const ColumnInfo& column,
                              std::optional<int64_t> rowid) {
  LobLocator& locator = element_locator(arrays, slot);
  sb2* indicator = arrays.indicator_at(slot);
  ub2* length = arrays.length_at(slot);
  ub2* code = arrays.code_at(slot);
  locator.kind = LobLocator::Kind::None;
  locator.file_open = locator.open = false;
  locator.pristine = false;
  if (value.kind == Cell::Null && !value.empty) {
    if (indicator == nullptr) fail(1405);
    *indicator = -1;
    if (code) *code = 1405;
    return;
  }
  locator.lob_type = lob_type_of(arrays.dty);
  locator.charset_form = locator.lob_type == kClobType ? static_cast<uint8_t>(column.type.charset_form) : 0;
  locator.session_id = session_->id;
  std::string_view bytes(value.data, value.size);
  std::string rendered;
  if (value.kind == Cell::Integer || value.kind == Cell::Real) {
    rendered = render_text(value, column.type, session_->context);
    bytes = rendered;
  }
  if (locator.lob_type == kBfileType) {
    locator.kind = LobLocator::Kind::File;
    bfile_from_storage(bytes, locator);
  } else if (rowid && !column.origin_table.empty() && !column.origin_column.empty()) {
    locator.kind = LobLocator::Kind::Persistent;
    locator.table = column.origin_table;
    locator.column = column.origin_column;
    locator.path = column.origin_path;
    locator.rowid = *rowid;
    if (!column.deferred) session_->lobs.seed(locator, bytes);
  } else {
    // A computed value (TO_CLOB, a view's expression): Oracle hands out a temporary LOB.
    auto content = session_->lobs.create_temporary(locator.lob_type == kClobType);
    content->bytes.assign(bytes);
    locator.kind = LobLocator::Kind::Temporary;
    locator.temporary = content;
  }
  if (indicator) *indicator = 0;
  if (length) *length = static_cast<ub2>(sizeof(void*));
  if (code) *code = 0;
}

void Statement::place_locator_out(Bind& bound, uint32_t slot, uint32_t iteration, std::optional<uint32_t> index,
                                  const Cell& value, const ColumnInfo& column, std::optional<int64_t> rowid) {
  if (!bound.out_callback) return place_locator(bound.arrays, slot, value, column, rowid);
  // The callback hands over the client's locator itself (and its indicator and code slots).
  OutSlot out = out_slot(bound, slot, iteration, index);
  void* descriptor = out.target;
  ElementArrays given;
  given.values = &descriptor;
  given.value_size = sizeof descriptor;
  given.dty = bound.arrays.dty;
  given.indicators = out.indicator;
  given.codes = out.code;
  place_locator(given, 0, value, column, rowid);
  if (out.callback_length) *out.callback_length = sizeof descriptor;
}

Cell Statement::deferred_cell(uint32_t column, const Cell& marker, bool marker_only) const {
  // typeof() of the value: 'null' for NULL, else its storage class.
  if (marker.kind != Cell::Text || std::string_view(marker.data, marker.size) == "null") return Cell{};
  const ColumnInfo& info = columns_[column];
  Cell value;
  value.kind = std::string_view(marker.data, marker.size) == "blob" ? Cell::Blob : Cell::Text;
  if (marker_only || info.rowid_column < 0) return value;
  Cell rowid = cell(static_cast<uint32_t>(info.rowid_column));
  if (deferred_values_.size() < columns_.size()) deferred_values_.resize(columns_.size());
  std::string& kept = deferred_values_[column];
  int storage = read_row_value(connection_->db(), info.origin_table, info.origin_column, {}, rowid.integer, kept);
  if (storage < 0 || storage == SQLITE_NULL) return Cell{};
  value.kind = storage == SQLITE_BLOB ? Cell::Blob : Cell::Text;
  value.data = kept.data();
  value.size = kept.size();
  // '' reads as NULL, except as a LOB (EMPTY_CLOB()), as the fetch of any column.
  if (value.size == 0) value.kind = Cell::Null, value.empty = true;
  return value;
}

void Statement::bind_locator(sqlite3_stmt* stmt, int index, const ElementArrays& arrays, uint32_t row) {
  const sb2* indicator = arrays.indicator_at(row);
  LobLocator& locator = element_locator(arrays, row);
  if ((indicator && *indicator == -1) || !locator.initialized()) {
    sqlite3_bind_null(stmt, index);
    return;
  }
  if (locator.kind == LobLocator::Kind::File) {
    std::string storage = bfile_storage(locator.directory, locator.file_name);
    sqlite3_bind_text(stmt, index, storage.data(), static_cast<int>(storage.size()), SQLITE_TRANSIENT);
    return;
  }
  auto content = session_->lobs.content(*connection_, locator);
  int size = static_cast<int>(content->bytes.size());
  if (arrays.dty == SQLT_CLOB) {
    sqlite3_bind_text(stmt, index, content->bytes.data(), size, SQLITE_TRANSIENT);
  } else {
    sqlite3_bind_blob(stmt, index, content->bytes.data(), size, SQLITE_TRANSIENT);
  }
}

ColumnInfo Statement::returned_column(size_t item, const sql::OracleType& type) const {
  ColumnInfo column;
  column.type = type;
  column.origin_table = translation_.dml_table;
  if (item < translation_.returning_columns.size()) column.origin_column = translation_.returning_columns[item];
  return column;
}

std::optional<int64_t> Statement::returned_rowid(const std::vector<StoredCell>& row) const {
  int column = translation_.returning_rowid_column;
  if (column <= 0 || static_cast<size_t>(column) > row.size()) return std::nullopt;
  return row[static_cast<size_t>(column) - 1].integer;
}

}  // namespace ociemu
