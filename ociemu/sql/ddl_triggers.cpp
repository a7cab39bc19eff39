#include <string>

#include "ociemu/sql/ddl.h"
#include "ociemu/sql/errors.h"
#include "ociemu/sql/exact_number.h"
#include "ociemu/sql/functions.h"
#include "ociemu/sql/sqlite_query.h"

namespace ociemu::sql {
namespace {

std::string trigger_name(const Constraint& c, const char* suffix) { return quote_name(c.owner + "." + c.name + "#" + suffix); }

std::string raise(int code, MessageArgs args) {
  return "SELECT RAISE(ABORT, " + quote_literal(full_message(code, message_text(code, args))) + ")";
}

// "A" = NEW."C1" AND "B" = NEW."C2"
std::string key_match(const std::vector<std::string>& left, const std::string& right_prefix,
                      const std::vector<std::string>& right) {
  std::string sql;
  for (size_t i = 0; i < left.size() && i < right.size(); ++i) {
    if (i) sql += " AND ";
    sql += quote_name(left[i]) + " = " + right_prefix + quote_name(right[i]);
  }
  return sql;
}

std::string all_not_null(const std::string& prefix, const std::vector<std::string>& columns) {
  std::string sql;
  for (size_t i = 0; i < columns.size(); ++i) sql += (i ? " AND " : "") + prefix + quote_name(columns[i]) + " IS NOT NULL";
  return sql;
}

std::string any_changed(const std::vector<std::string>& columns) {
  std::string sql;
  for (size_t i = 0; i < columns.size(); ++i)
    sql += (i ? " OR " : "") + std::string("OLD.") + quote_name(columns[i]) + " IS NOT NEW." + quote_name(columns[i]);
  return sql;
}

std::string column_list(const std::vector<std::string>& columns) {
  std::string sql;
  for (size_t i = 0; i < columns.size(); ++i) sql += (i ? ", " : "") + quote_name(columns[i]);
  return sql;
}

bool counts_characters(const OracleType& type) {
  return type.data_size > type.char_size || type.charset_form == 2;
}

}  // namespace

std::optional<BlankPadding> blank_padding(const std::string& declared_type) {
  auto type = parse_declared_type(declared_type.c_str());
  if (!type || type->type_code != 96 || type->char_size <= 0) return std::nullopt;
  return BlankPadding{type->char_size, counts_characters(*type)};
}

std::string blank_padded(const std::string& value_sql, const BlankPadding& padding) {
  return std::string(kBlankPadFunction) + "(" + value_sql + ", " + std::to_string(padding.size) + ", " +
         (padding.in_characters ? "1" : "0") + ")";
}

std::vector<std::string> constraint_trigger_names(const Constraint& c) {
  if (c.type == 'R') {
    return {trigger_name(c, "CHILD_INSERT"), trigger_name(c, "CHILD_UPDATE"), trigger_name(c, "PARENT_DELETE"),
            trigger_name(c, "PARENT_UPDATE")};
  }
  if (c.type == 'C') return {trigger_name(c, "INSERT"), trigger_name(c, "UPDATE")};
  return {};
}

std::vector<std::string> foreign_key_triggers(const Constraint& key, const std::string& child_table,
                                              const std::string& parent_table,
                                              const std::vector<std::string>& parent_columns) {
  const std::string child = quote_name(child_table), parent = quote_name(parent_table);
  const std::string missing_parent = " WHERE NOT EXISTS (SELECT 1 FROM " + parent + " WHERE " +
                                     key_match(parent_columns, "NEW.", key.columns) + ")";
  const std::string parent_missing_error =
      raise(2291, {key.owner, key.name}) + missing_parent;
  std::vector<std::string> sql;
  sql.push_back("CREATE TRIGGER " + trigger_name(key, "CHILD_INSERT") + " BEFORE INSERT ON " + child +
                " FOR EACH ROW WHEN " + all_not_null("NEW.", key.columns) + " BEGIN " + parent_missing_error +
                "; END");
  sql.push_back("CREATE TRIGGER " + trigger_name(key, "CHILD_UPDATE") + " BEFORE UPDATE OF " +
                column_list(key.columns) + " ON " + child + " FOR EACH ROW WHEN " +
                all_not_null("NEW.", key.columns) + " BEGIN " + parent_missing_error + "; END");
  const std::string children = key_match(key.columns, "OLD.", parent_columns);
  std::string on_delete;
  if (key.delete_rule == "CASCADE") {
    on_delete = "DELETE FROM " + child + " WHERE " + children;
  } else if (key.delete_rule == "SET NULL") {
    std::string assignments;
    for (size_t i = 0; i < key.columns.size(); ++i) assignments += (i ? ", " : "") + quote_name(key.columns[i]) + " = NULL";
    on_delete = "UPDATE " + child + " SET " + assignments + " WHERE " + children;
  } else {
    on_delete = raise(2292, {key.owner, key.name}) +
                " WHERE EXISTS (SELECT 1 FROM " + child + " WHERE " + children + ")";
  }
  sql.push_back("CREATE TRIGGER " + trigger_name(key, "PARENT_DELETE") + " BEFORE DELETE ON " + parent +
                " FOR EACH ROW BEGIN " + on_delete + "; END");
  sql.push_back("CREATE TRIGGER " + trigger_name(key, "PARENT_UPDATE") + " BEFORE UPDATE OF " +
                column_list(parent_columns) + " ON " + parent + " FOR EACH ROW WHEN " + any_changed(parent_columns) +
                " BEGIN " + raise(2292, {key.owner, key.name}) +
                " WHERE EXISTS (SELECT 1 FROM " + child + " WHERE " + children + "); END");
  return sql;
}

std::vector<std::string> check_triggers(const Constraint& check, const std::string& table,
                                        const std::string& new_row_condition) {
  // Oracle rejects a row only when the condition is false, not when it is unknown.
  const std::string body = " FOR EACH ROW WHEN NOT (" + new_row_condition + ") BEGIN " +
                           raise(2290, {check.owner, check.name}) + "; END";
  return {"CREATE TRIGGER " + trigger_name(check, "INSERT") + " BEFORE INSERT ON " + quote_name(table) + body,
          "CREATE TRIGGER " + trigger_name(check, "UPDATE") + " BEFORE UPDATE ON " + quote_name(table) + body};
}

std::string column_checks(const ColumnDefinition& column, const std::string& owner, const std::string& table) {
  auto type = parse_declared_type(column.declared_type.c_str());
  if (!type) return "";
  const std::string name = quote_name(column.stored());
  std::string sql;
  if (type->type_code == 2 || type->type_code == 100 || type->type_code == 101) {
    // Not "IN (...)": SQLite builds an ephemeral table for an IN list on every row a CHECK tests.
    // NUMBER also takes the exact form of values a REAL would change.
    // Each check opens with plain comparisons that only numbers in range pass, so the common row
    // costs no function call; anything else falls through to the full test. A number sorts below
    // any text or blob, '' included.
    const std::string exact = type->type_code == 2 ? " OR " + std::string(kIsExactNumberFunction) + "(" + name + ")" : "";
    sql += " CONSTRAINT \"#01722\" CHECK (" + name + " < '' OR typeof(" + name + ") <> 'text' AND (typeof(" + name +
           ") <> 'blob'" + exact + "))";
    if (type->precision > 0 && type->type_code == 2 && type->scale != -127) {
      // Values that round to 10^(p-s) or more do not fit.
      const std::string limit = "(1e" + std::to_string(type->precision - type->scale) + " - 0.5 * 1e" +
                                std::to_string(-type->scale) + ")";
      sql += " CONSTRAINT \"#01438\" CHECK (" + name + " > -" + limit + " AND " + name + " < " + limit +
             " OR CASE WHEN typeof(" + name + ") = 'blob' THEN " + kExactFitsFunction + "(" + name + ", " +
             std::to_string(type->precision - type->scale) + ") ELSE abs(" + name + ") < " + limit + " END)";
    }
  }
  const bool sized = type->type_code == 1 || type->type_code == 96 || type->type_code == 23;
  if (sized && (type->type_code == 23 ? type->data_size : type->char_size) > 0) {
    bool in_characters = counts_characters(*type);
    sql += " CHECK (OCIEMU_CHECK_LENGTH(" + name + ", " + std::to_string(type->type_code == 23 ? type->data_size : type->char_size) +
           ", " + (in_characters ? "1" : "0") + ", " + quote_literal(owner) + ", " + quote_literal(table) + ", " +
           quote_literal(column.name) + "))";
  }
  return sql;
}

}  // namespace ociemu::sql
