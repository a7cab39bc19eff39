// Object identifiers, REF(alias), VALUE(alias), DEREF(ref) and REF navigation.
#include "ociemu/sql/object_refs.h"

#include <sqlite3.h>

#include "ociemu/sql/errors.h"
#include "ociemu/sql/sqlite_query.h"
#include "ociemu/sql/translator.h"

namespace ociemu::sql {
namespace {

constexpr std::string_view kIdentifierTable = "\"OCIEMU$OIDS\"";
constexpr const char* kIdentifierTableSql =
    "CREATE TABLE IF NOT EXISTS \"OCIEMU$OIDS\"(OID TEXT PRIMARY KEY, TAB TEXT NOT NULL, RID INTEGER NOT NULL, "
    "UNIQUE(TAB, RID))";
constexpr std::string_view kNewIdentifier = "upper(hex(randomblob(16)))";
constexpr size_t kOidDigits = 32;
constexpr int kInvalidIdentifier = 904;
constexpr int kInconsistentDatatypes = 932;

std::string trigger_name(const std::string& table, char event) {
  return quote_name("OCIEMU$OID#" + table + "#" + event);
}

bool is_hex(std::string_view text) {
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

// Attributes a stored object keeps as hex text: JSON holds no bytes.
bool is_bytes(const TypeAttribute& attribute) {
  const int code = attribute.builtin ? attribute.builtin->type_code : 0;
  return code == 23 || code == 24 || code == 113;
}

// The identifier of the row at `rowid_sql` of `table`, as the SQL of a scalar sub-query.
std::string identifier_of_row(const std::string& table, const std::string& rowid_sql) {
  return "(SELECT OID FROM " + std::string(kIdentifierTable) + " WHERE TAB = " + quote_literal(table) +
         " AND RID = " + rowid_sql + ")";
}

// The rowid of the row of `table` whose REF is `ref_sql`, as a scalar sub-query.
std::string row_of_identifier(const std::string& table, const std::string& ref_sql) {
  return "(SELECT RID FROM " + std::string(kIdentifierTable) + " WHERE OID = substr(" + ref_sql + ", -" +
         std::to_string(kOidDigits) + ") AND TAB = " + quote_literal(table) + ")";
}

std::vector<ObjectTableInfo> tables_of_type(sqlite3* db, const std::string& owner, const std::string& name) {
  Query rows(db, "SELECT OWNER, NAME FROM \"OCIEMU$OBJECT_TABLES\" WHERE TYPE_OWNER = ?1 AND TYPE_NAME = ?2 "
                 "ORDER BY OWNER, NAME");
  rows.bind(1, owner).bind(2, name);
  std::vector<ObjectTableInfo> tables;
  while (rows.step()) tables.push_back(ObjectTableInfo{rows.text(0), rows.text(1), owner, name});
  return tables;
}

}  // namespace

std::string stored_ref_text(const StoredRef& ref) { return ref.sqlite_table() + ":" + ref.oid; }

std::optional<StoredRef> parse_stored_ref(std::string_view text) {
  if (text.size() < kOidDigits + 4 || text[text.size() - kOidDigits - 1] != ':') return std::nullopt;
  const std::string_view oid = text.substr(text.size() - kOidDigits);
  const std::string_view table = text.substr(0, text.size() - kOidDigits - 1);
  const size_t dot = table.find('.');
  if (dot == std::string_view::npos || dot == 0 || dot + 1 == table.size() || !is_hex(oid)) return std::nullopt;
  return StoredRef{std::string(table.substr(0, dot)), std::string(table.substr(dot + 1)), std::string(oid)};
}

std::vector<std::string> object_identifier_sql(const std::string& owner, const std::string& name) {
  const std::string table = owner + "." + name;
  const std::string quoted = quote_name(table), literal = quote_literal(table);
  return {
      "CREATE TRIGGER " + trigger_name(table, 'I') + " AFTER INSERT ON " + quoted + " BEGIN INSERT OR REPLACE INTO " +
          std::string(kIdentifierTable) + " VALUES (" + std::string(kNewIdentifier) + ", " + literal +
          ", new.rowid); END",
      "CREATE TRIGGER " + trigger_name(table, 'D') + " AFTER DELETE ON " + quoted + " BEGIN DELETE FROM " +
          std::string(kIdentifierTable) + " WHERE TAB = " + literal + " AND RID = old.rowid; END",
      "INSERT OR IGNORE INTO " + std::string(kIdentifierTable) + " SELECT " + std::string(kNewIdentifier) + ", " +
          literal + ", rowid FROM " + quoted,
  };
}

std::vector<std::string> drop_object_identifier_sql(const std::string& owner, const std::string& name) {
  return {"DELETE FROM " + std::string(kIdentifierTable) + " WHERE TAB = " + quote_literal(owner + "." + name),
          "DELETE FROM \"OCIEMU$OBJECT_TABLES\" WHERE OWNER = " + quote_literal(owner) +
              " AND NAME = " + quote_literal(name)};
}

namespace {

// Object tables without identifiers: all of them while the identifier table is missing.
std::vector<std::pair<std::string, std::string>> tables_without_identifiers(sqlite3* db) {
  Query missing(db,
                "SELECT t.OWNER, t.NAME FROM \"OCIEMU$OBJECT_TABLES\" t WHERE NOT EXISTS (SELECT 1 FROM sqlite_schema "
                "s WHERE s.type = 'trigger' AND s.name = 'OCIEMU$OID#' || t.OWNER || '.' || t.NAME || '#I')");
  std::vector<std::pair<std::string, std::string>> tables;
  while (missing.step()) tables.emplace_back(missing.text(0), missing.text(1));
  return tables;
}

bool has_table(sqlite3* db, std::string_view name) {
  Query found(db, "SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = ?1");
  found.bind(1, name);
  return found.step();
}

}  // namespace

// Runs at every logon; writes only for a database made before identifiers existed.
void install_object_identifiers(sqlite3* db) {
  if (!has_table(db, "OCIEMU$OBJECT_TABLES")) return;
  if (has_table(db, "OCIEMU$OIDS") && tables_without_identifiers(db).empty()) return;
  execute(db, "BEGIN IMMEDIATE");
  try {
    execute(db, kIdentifierTableSql);
    // Another logon may have done it meanwhile: ask again inside the write transaction.
    for (const auto& [owner, name] : tables_without_identifiers(db)) {
      for (const std::string& statement : object_identifier_sql(owner, name)) execute(db, statement);
    }
    execute(db, "COMMIT");
  } catch (...) {
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

std::string object_row_json(const TypeInfo& type, const std::string& alias) {
  std::string sql = "json_array(";
  for (size_t a = 0; a < type.attributes.size(); ++a) {
    const TypeAttribute& attribute = type.attributes[a];
    const std::string column = quote_name(alias) + "." + quote_name(attribute.name);
    sql += a ? ", " : "";
    if (is_bytes(attribute)) {
      sql += "CASE WHEN typeof(" + column + ") = 'blob' THEN hex(" + column + ") ELSE " + column + " END";
    } else if (attribute.is_named() && !attribute.is_ref &&
               !(attribute.type_owner == kXmlTypeOwner && attribute.type_name == kXmlTypeName)) {
      sql += "json(" + column + ")";  // embedded objects and collections are stored as JSON text
    } else {
      sql += column;
    }
  }
  return sql + ")";
}

std::optional<DereferencedRow> dereference(sqlite3* db, const StoredRef& ref) {
  std::optional<ObjectTableInfo> table = find_object_table(db, ref.owner, ref.table);
  if (!table) return std::nullopt;
  std::optional<TypeInfo> type = find_type(db, table->type_owner, table->type_name);
  if (!type) return std::nullopt;
  const std::string alias = "OCIEMU$ROW";
  Query row(db, "SELECT " + object_row_json(*type, alias) + ", " + quote_name(alias) + ".rowid FROM " +
                    quote_name(ref.sqlite_table()) + " AS " + quote_name(alias) + " WHERE " + quote_name(alias) +
                    ".rowid = (SELECT RID FROM " + std::string(kIdentifierTable) + " WHERE OID = ?1 AND TAB = ?2)");
  row.bind(1, ref.oid).bind(2, ref.sqlite_table());
  if (!row.step()) return std::nullopt;
  return DereferencedRow{row.text(0), row.integer(1)};
}

// REF(alias) and VALUE(alias) of an object table's row, DEREF(ref).
bool Translator::ref_call(const std::vector<std::string>& parts, int open, const Scope& scope, Expression& result) {
  if (parts.size() != 1 || (parts[0] != "REF" && parts[0] != "VALUE" && parts[0] != "DEREF")) return false;
  const int close = matching(open);
  if (parts[0] == "DEREF") {
    Expression argument;
    if (!starts_operand(open + 1) || expression(open + 1, close, scope, argument) != close) fail(936, open + 1);
    std::optional<NamedColumnType> named = parse_object_column_declaration(argument.declared);
    if (!named || !named->is_ref) fail(kInconsistentDatatypes, {"REF", "-"}, open + 1);
    result = {deref_sql(named->owner, named->name, argument.text), ValueType::Unknown, false};
    result.declared = object_column_declaration(named->owner, named->name, false);
    return true;
  }
  const Token& name = token(open + 1);
  const TableRef* table = close == open + 2 && (name.kind == TokenKind::Word || name.kind == TokenKind::QuotedName)
                              ? scope.find_alias(name.text)
                              : nullptr;
  if (table == nullptr) fail(kInvalidIdentifier, {in_quotes(name.text)}, open + 1);
  std::optional<ObjectTableInfo> object_table =
      table->resolved ? find_object_table(db_, table->object.owner, table->object.name) : std::nullopt;
  if (!object_table) fail(kInvalidIdentifier, {in_quotes(name.text)}, open + 1);
  const std::string sqlite_table = table->object.sqlite_name();
  if (parts[0] == "REF") {
    const std::string rowid = in_returning_ ? "rowid" : quote_name(table->alias) + ".rowid";
    result = {"(" + quote_literal(sqlite_table + ":") + " || " + identifier_of_row(sqlite_table, rowid) + ")",
              ValueType::Unknown, false};
    result.declared = object_column_declaration(object_table->type_owner, object_table->type_name, true);
    return true;
  }
  std::optional<TypeInfo> type = find_type(db_, object_table->type_owner, object_table->type_name);
  if (!type) fail(kInvalidIdentifier, {in_quotes(name.text)}, open + 1);
  result = {object_row_json(*type, table->alias), ValueType::Unknown, false};
  result.declared = object_column_declaration(type->owner, type->name, false);
  return true;
}

// The stored object a REF of type OWNER.NAME names, searched in every object table of that type.
std::string Translator::deref_sql(const std::string& owner, const std::string& name, const std::string& ref) const {
  std::optional<TypeInfo> type = find_type(db_, owner, name);
  std::vector<ObjectTableInfo> tables = type ? tables_of_type(db_, owner, name) : std::vector<ObjectTableInfo>{};
  if (tables.empty()) return "NULL";
  const std::string alias = "OCIEMU$DEREF";
  std::string sql = "(";
  for (size_t k = 0; k < tables.size(); ++k) {
    const std::string table = tables[k].owner + "." + tables[k].name;
    sql += (k ? " UNION ALL " : "") + std::string("SELECT ") + object_row_json(*type, alias) + " FROM " +
           quote_name(table) + " AS " + quote_name(alias) + " WHERE " + quote_name(alias) +
           ".rowid = " + row_of_identifier(table, ref);
  }
  return sql + ")";
}

// A REF dangles when it is not null and its identifier names no row (any more).
int Translator::dangling_test(int index, Expression& ref) const {
  const bool negated = word_at(index + 1, "NOT");
  if (!word_at(index, "IS") || !word_at(index + (negated ? 2 : 1), "DANGLING")) return index;
  const std::string exists = "EXISTS (SELECT 1 FROM " + std::string(kIdentifierTable) + " WHERE OID = substr(" +
                             ref.text + ", -" + std::to_string(kOidDigits) + "))";
  ref.text = "(" + ref.text + " IS NOT NULL AND " + (negated ? "" : "NOT ") + exists + ")";
  ref.type = ValueType::Unknown;
  ref.plain_column = false;
  ref.declared.clear();
  return index + (negated ? 3 : 2);
}

std::string Translator::named_declaration(const Scope& scope, const std::string& qualifier,
                                          const std::string& column) const {
  auto named = [&](const TableRef& table) -> std::optional<std::string> {
    std::optional<std::string> declared = declared_type(table, column);
    if (!declared) return std::nullopt;
    return parse_object_column_declaration(*declared) ? *declared : std::string();
  };
  if (!qualifier.empty()) {
    const TableRef* table = scope.find_alias(qualifier);
    return table ? named(*table).value_or("") : "";
  }
  for (const Scope* level = &scope; level; level = level->parent) {
    for (const TableRef& table : level->tables) {
      if (auto found = named(table)) return *found;
    }
  }
  return "";
}

}  // namespace ociemu::sql
