// Cursor variables: a block's OPEN :c FOR hands its query's rows to the
// statement handle (SQLT_RSET) or OCI7 cursor data area (type 102) bound as :c,
// and a fetched CURSOR(select ...) column hands its rows to the handle defined for the row.
#include <sqlite3.h>

#include "ociemu/api/errors.h"
#include "ociemu/api/statement.h"
#include "ociemu/sql/cursor_rows.h"

namespace ociemu {
namespace {

constexpr int kInvalidCursor = 1001;
constexpr int kInconsistentTypes = 932;
constexpr std::string_view kCursorTypeName = "CURSER";  // Oracle's own spelling in ORA-00932
constexpr std::string_view kOtherType = "CHAR";

StoredCell stored_cell(sql::PackedValue&& value) {
  StoredCell cell;
  switch (value.kind) {
    case SQLITE_INTEGER:
      cell.kind = Cell::Integer;
      cell.integer = value.integer;
      break;
    case SQLITE_FLOAT:
      cell.kind = Cell::Real;
      cell.real = value.real;
      break;
    case SQLITE_TEXT:
    case SQLITE_BLOB:
      // As a fetched column: an empty value is NULL to Oracle.
      cell.empty = value.bytes.empty();
      cell.kind = cell.empty ? Cell::Null : value.kind == SQLITE_TEXT ? Cell::Text : Cell::Blob;
      cell.bytes = std::move(value.bytes);
      break;
    default:
      break;
  }
  return cell;
}

}  // namespace

void Statement::open_cursor_bind(Bind& bound, uint32_t row, sqlite3_stmt* stmt, const std::vector<std::string>& names,
                                 const std::vector<std::optional<sql::OracleType>>& types) {
  const ElementArrays& arrays = bound.arrays;
  if (arrays.dty != SQLT_RSET && arrays.dty != SQLT_CUR) fail(kInconsistentTypes);
  if (arrays.values == nullptr) fail(kInvalidCursor);
  Statement* target = nullptr;
  if (arrays.dty == SQLT_RSET) {
    // The element is the application's OCIStmt* variable.
    target = live<Statement>(*static_cast<void**>(arrays.value_at(row)));
  } else {
    // The element is the cursor data area itself.
    target = cursor_variable_area(arrays.value_at(row), *this);
  }
  if (target == nullptr || target == this) fail(kInvalidCursor);
  Session* owner = session();
  if (owner == nullptr) fail(kInvalidCursor);
  target->adopt_result(*owner, connection_, stmt, names, types);
  if (sb2* indicator = arrays.indicator_at(row)) *indicator = 0;
}

bool Statement::query_open() const {
  return cursor_ != Cursor::Closed && translation_.kind == sql::StatementKind::Select;
}

bool Statement::next_cells(std::vector<Cell>& row) {
  if (!query_open()) fail(kInvalidCursor);
  if (cursor_ == Cursor::Exhausted || cursor_ == Cursor::Drained) return false;
  if (client_prefetched_ > 0 && !materialized_) {
    materialize();
    client_prefetched_ = static_cast<uint32_t>(std::min<size_t>(client_prefetched_, rows_.size()));
    row_count += client_prefetched_;
    prefetched_held_ = true;
  }
  if (client_prefetched_ > 0) return take_row_behind_held(row);
  if (!advance()) {
    cursor_ = Cursor::Drained;
    return false;
  }
  ++row_count;
  row.resize(columns_.size());
  for (uint32_t i = 0; i < columns_.size(); ++i) row[i] = cell(i);
  return true;
}

bool Statement::take_row_behind_held(std::vector<Cell>& row) {
  const size_t at = next_row_ + client_prefetched_;
  if (at >= rows_.size()) return false;  // not drained: the client still holds rows
  block_row_ = std::move(rows_[at]);
  rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(at));
  ++row_count;
  row.resize(columns_.size());
  for (uint32_t i = 0; i < columns_.size(); ++i) {
    const Cell value = block_row_[i].view();
    row[i] = columns_[i].deferred ? deferred_cell(i, value, false) : value;
  }
  return true;
}

void Statement::close_for_block() {
  close_cursor();
  closed_by_block_ = true;
}

void Statement::hand_rows_to(Statement& target) {
  Session* owner = session();
  if (owner == nullptr || &target == this) fail(kInvalidCursor);
  std::vector<std::vector<StoredCell>> rows;
  std::vector<Cell> row;
  while (next_cells(row)) {
    std::vector<StoredCell>& stored = rows.emplace_back();
    for (const Cell& value : row) stored.push_back(StoredCell::from(value));
  }
  std::vector<ColumnInfo> columns = columns_;
  for (ColumnInfo& column : columns) {
    column.deferred = false;  // the values were read out of their rows above
    column.rowid_column = -1;
  }
  target.adopt_rows(*owner, connection_, std::move(columns), std::move(rows));
}

void Statement::add_implicit_result(Session& session, sqlite3_stmt* stmt, const std::vector<std::string>& names,
                                    const std::vector<std::optional<sql::OracleType>>& types) {
  Statement* result = env()->make<Statement>(env());
  implicit_results_.push_back(result);
  result->adopt_result(session, connection_, stmt, names, types);
}

void Statement::add_implicit_result_from(Statement& passed) {
  Statement* result = env()->make<Statement>(env());
  implicit_results_.push_back(result);
  passed.hand_rows_to(*result);
  passed.close_for_block();  // the block gave the cursor away: the client's own handle is closed
}

Statement* Statement::next_implicit_result() {
  while (next_implicit_ < implicit_results_.size()) {
    Statement* result = live<Statement>(implicit_results_[next_implicit_++]);
    if (result) return result;  // unless the client freed it
  }
  return nullptr;
}

void Statement::free_implicit_results() {
  for (Statement* result : implicit_results_) env()->destroy(result);
  implicit_results_.clear();
  next_implicit_ = 0;
}

void Statement::adopt_result(Session& session, std::shared_ptr<Connection> connection, sqlite3_stmt* stmt,
                             const std::vector<std::string>& names,
                             const std::vector<std::optional<sql::OracleType>>& types) {
  std::vector<std::vector<StoredCell>> rows;
  auto width = static_cast<int>(names.size());
  for (int rc = sqlite3_step(stmt); rc != SQLITE_DONE; rc = sqlite3_step(stmt)) {
    if (rc != SQLITE_ROW) throw OracleException{sql::map_sqlite_error(connection->db(), rc)};
    std::vector<StoredCell>& stored = rows.emplace_back();
    stored.reserve(names.size());
    for (int i = 0; i < width; ++i) stored.push_back(StoredCell::from(cell_at(stmt, i)));
  }
  std::vector<ColumnInfo> columns(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    columns[i].name = names[i];
    columns[i].type.type_code = 0;
    if (i < types.size() && types[i]) columns[i].type = *types[i];
  }
  adopt_rows(session, std::move(connection), std::move(columns), std::move(rows));
}

void Statement::adopt_rows(Session& session, std::shared_ptr<Connection> connection, std::vector<ColumnInfo> columns,
                           std::vector<std::vector<StoredCell>> rows) {
  finalize();
  text.clear();
  statement_type = OCI_STMT_SELECT;
  sql_function_code = 0;
  session_ = &session;
  generation_ = session.generation;
  connection_ = std::move(connection);
  translation_ = sql::Translation{};
  translation_.kind = sql::StatementKind::Select;
  translated_ = true;
  placeholders_.clear();
  binds_.clear();
  params_.clear();
  defines_.clear();  // a reopened cursor's handle defines its new columns afresh
  unopened_ = false;
  for (size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].type.type_code != 0) continue;
    columns[i].type = rows.empty() ? inferred_type(Cell{}) : inferred_type(rows.front()[i].view());
  }
  columns_ = std::move(columns);
  rows_ = std::move(rows);
  materialized_ = true;
  scrollable_ = false;
  pending_row_ = false;
  next_row_ = current_row_ = 0;
  row_count = rows_fetched = 0;
  current_position = 0;
  cursor_ = Cursor::Open;
  adopted_ = true;
}

void Statement::place_cursor(const ElementArrays& arrays, uint32_t slot, const Cell& value, const ColumnInfo& column) {
  if (!column.cursor || (arrays.dty != SQLT_RSET && arrays.dty != SQLT_CUR)) {
    fail(kInconsistentTypes, {std::string(column.cursor ? kOtherType : kCursorTypeName),
                              std::string(column.cursor ? kCursorTypeName : kOtherType)});
  }
  if (arrays.values == nullptr) fail(kInvalidCursor);
  Statement* target = arrays.dty == SQLT_RSET ? live<Statement>(*static_cast<void**>(arrays.value_at(slot)))
                                              : cursor_variable_area(arrays.value_at(slot), *this);
  Session* owner = session();
  if (target == nullptr || target == this || owner == nullptr) fail(kInvalidCursor);
  const std::vector<sql::CursorShape::Column>& shape = column.cursor->columns;
  std::string_view packed = value.kind == Cell::Blob ? std::string_view(value.data, value.size) : std::string_view();
  std::vector<std::vector<StoredCell>> rows;
  for (auto& unpacked : sql::unpack_cursor_rows(packed, shape.size())) {
    std::vector<StoredCell>& row = rows.emplace_back();
    row.reserve(unpacked.size());
    for (sql::PackedValue& item : unpacked) row.push_back(stored_cell(std::move(item)));
  }
  std::vector<ColumnInfo> columns(shape.size());
  for (size_t i = 0; i < shape.size(); ++i) {
    columns[i].name = shape[i].name;
    columns[i].type.type_code = 0;
    if (shape[i].type) columns[i].type = *shape[i].type;
    columns[i].cursor = shape[i].cursor;
  }
  target->adopt_rows(*owner, connection_, std::move(columns), std::move(rows));
  if (sb2* indicator = arrays.indicator_at(slot)) *indicator = 0;
  arrays.set_length(slot, 0);
  if (ub2* code = arrays.code_at(slot)) *code = 0;
}

// A cursor variable a block never opened, handed to this handle: a query that was never
// executed, whose columns the client cannot ask for (ORA-24338, as Oracle's handle answers).
void Statement::hand_over_unopened() {
  close_cursor();
  columns_.clear();
  defines_.clear();
  statement_type = OCI_STMT_SELECT;
  unopened_ = true;
}

}  // namespace ociemu
