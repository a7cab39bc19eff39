// Edits of the CREATE TABLE text SQLite keeps in its schema, for the column
// changes its own ALTER TABLE cannot make (a new DEFAULT). The text is written
// back under writable_schema; only parts that leave the stored rows' format
// alone are ever changed.
//
// Thread-safe: yes (pure functions); the SQL function runs on its connection's thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;

namespace ociemu::sql {

// One past the quote closing the quoted run at text[at] (', ", ` or [); doubled quotes stay inside.
size_t skip_quoted(std::string_view text, size_t at);

// The CREATE TABLE text with the column's DEFAULT clause replaced by "DEFAULT default_sql"
// (an expression in parentheses); nullopt when no column of that name is defined.
std::optional<std::string> with_column_default(std::string_view create_table_sql, std::string_view column,
                                               std::string_view default_sql);

// OCIEMU_WITH_COLUMN_DEFAULT(sql, column, default_sql): with_column_default in SQL, the
// text unchanged when the column is missing, so that a schema write never stores NULL.
inline constexpr const char* kWithColumnDefaultFunction = "OCIEMU_WITH_COLUMN_DEFAULT";
void register_schema_text_functions(sqlite3* db);

}  // namespace ociemu::sql
