// Cursor variables: a block's OPEN :c FOR hands its query's rows to the
// statement handle (SQLT_RSET) or OCI7 cursor data area (type 102) bound as :c.
#include <sqlite3.h>

#include "ociemu/api/errors.h"
#include "ociemu/api/statement.h"

namespace ociemu {
namespace {

constexpr int kInvalidCursor = 1001;
constexpr int kInconsistentTypes = 932;

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

void Statement::adopt_result(Session& session, std::shared_ptr<Connection> connection, sqlite3_stmt* stmt,
                             const std::vector<std::string>& names,
                             const std::vector<std::optional<sql::OracleType>>& types) {
  finalize();
  std::vector<std::vector<StoredCell>> rows;
  auto width = static_cast<int>(names.size());
  for (int rc = sqlite3_step(stmt); rc != SQLITE_DONE; rc = sqlite3_step(stmt)) {
    if (rc != SQLITE_ROW) throw OracleException{sql::map_sqlite_error(connection->db(), rc)};
    std::vector<StoredCell>& stored = rows.emplace_back();
    stored.reserve(names.size());
    for (int i = 0; i < width; ++i) stored.push_back(StoredCell::from(cell_at(stmt, i)));
  }
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
  columns_.clear();
  defines_.clear();  // a reopened cursor variable's area defines its new columns afresh
  for (size_t i = 0; i < names.size(); ++i) {
    ColumnInfo column;
    column.name = names[i];
    column.type = i < types.size() && types[i] ? *types[i]
                  : rows.empty()               ? inferred_type(Cell{})
                                               : inferred_type(rows.front()[i].view());
    columns_.push_back(std::move(column));
  }
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

}  // namespace ociemu
