// CREATE TYPE, DROP TYPE and the type catalogue behind them.
#include "ociemu/sql/types.h"

#include <sqlite3.h>

#include "ociemu/sql/catalogue.h"
#include "ociemu/sql/ddl.h"
#include "ociemu/sql/errors.h"
#include "ociemu/sql/object_refs.h"
#include "ociemu/sql/sqlite_query.h"
#include "ociemu/sql/translator.h"

namespace ociemu::sql {
namespace {

constexpr const char* kTypeCatalogueSql = R"sql(
CREATE TABLE IF NOT EXISTS "OCIEMU$TYPES"(
  OWNER TEXT NOT NULL, NAME TEXT NOT NULL, KIND TEXT NOT NULL, FINAL INTEGER NOT NULL,
  UPPER_BOUND INTEGER, SUPERTYPE_OWNER TEXT, SUPERTYPE_NAME TEXT, PRIMARY KEY(OWNER, NAME));
CREATE TABLE IF NOT EXISTS "OCIEMU$TYPE_ATTRS"(
  OWNER TEXT NOT NULL, TYPE_NAME TEXT NOT NULL, ATTR_NO INTEGER NOT NULL, ATTR_NAME TEXT,
  DECLARED TEXT NOT NULL, PRIMARY KEY(OWNER, TYPE_NAME, ATTR_NO));
CREATE TABLE IF NOT EXISTS "OCIEMU$OBJECT_TABLES"(
  OWNER TEXT NOT NULL, NAME TEXT NOT NULL, TYPE_OWNER TEXT NOT NULL, TYPE_NAME TEXT NOT NULL,
  PRIMARY KEY(OWNER, NAME));
)sql";

// Declared types of named-type columns: "NTY$OWNER$NAME" and "REF$OWNER$NAME"
// read as one SQLite type name, so sqlite3_column_decltype hands them back whole.
constexpr std::string_view kObjectPrefix = "NTY$";
constexpr std::string_view kRefPrefix = "REF$";

// Oracle's error for a type that has dependents (ORA-02303).
constexpr int kTypeHasDependents = 2303;
constexpr int kInvalidDatatype = 902;

TypeKind kind_of(const std::string& text) {
  if (text == "VARRAY") return TypeKind::Varray;
  if (text == "TABLE") return TypeKind::Table;
  return TypeKind::Object;
}

TypeAttribute attribute_from(std::string name, const std::string& declared) {
  TypeAttribute attribute;
  attribute.name = std::move(name);
  if (auto named = parse_object_column_declaration(declared)) {
    attribute.type_owner = named->owner;
    attribute.type_name = named->name;
    attribute.is_ref = named->is_ref;
  } else {
    attribute.declared = declared;
    attribute.builtin = parse_declared_type(declared.c_str());
  }
  return attribute;
}

TypeInfo xml_type() {
  TypeInfo type;
  type.owner = std::string(kXmlTypeOwner);
  type.name = std::string(kXmlTypeName);
  type.kind = TypeKind::Opaque;
  type.is_final = false;
  type.object_id = 1;
  return type;
}

std::optional<TypeInfo> load_type(sqlite3* db, std::string_view owner, std::string_view name, int depth) {
  if (owner == kXmlTypeOwner && name == kXmlTypeName) return xml_type();
  Query row(db,
            "SELECT t.KIND, t.FINAL, t.UPPER_BOUND, t.SUPERTYPE_OWNER, t.SUPERTYPE_NAME, o.OBJECT_ID "
            "FROM \"OCIEMU$TYPES\" t JOIN \"OCIEMU$OBJECTS\" o ON o.OWNER = t.OWNER AND o.NAME = t.NAME "
            "WHERE t.OWNER = ?1 AND t.NAME = ?2");
  row.bind(1, owner).bind(2, name);
  if (!row.step()) return std::nullopt;
  TypeInfo type;
  type.owner = std::string(owner);
  type.name = std::string(name);
  type.kind = kind_of(row.text(0));
  type.is_final = row.integer(1) != 0;
  type.upper_bound = row.integer(2);
  type.object_id = row.integer(5);
  // A subtype carries its supertype's attributes first; a cycle cannot be declared, the depth only guards.
  if (!row.is_null(4) && depth < 32) {
    if (auto super = load_type(db, row.text(3), row.text(4), depth + 1)) type.attributes = super->attributes;
  }
  Query attributes(db, "SELECT ATTR_NAME, DECLARED FROM \"OCIEMU$TYPE_ATTRS\" WHERE OWNER = ?1 AND TYPE_NAME = ?2 "
                       "ORDER BY ATTR_NO");
  attributes.bind(1, owner).bind(2, name);
  while (attributes.step()) type.attributes.push_back(attribute_from(attributes.text(0), attributes.text(1)));
  return type;
}

// Whether a type is used by another type's attribute, a table column or an object table.
bool has_dependents(sqlite3* db, const std::string& owner, const std::string& name) {
  const std::string object = object_column_declaration(owner, name, false);
  const std::string ref = object_column_declaration(owner, name, true);
  Query uses(db,
             "SELECT 1 FROM \"OCIEMU$TYPE_ATTRS\" WHERE DECLARED IN (?1, ?2) AND NOT (OWNER = ?3 AND TYPE_NAME = ?4) "
             "UNION ALL SELECT 1 FROM \"OCIEMU$TYPES\" WHERE SUPERTYPE_OWNER = ?3 AND SUPERTYPE_NAME = ?4 "
             "UNION ALL SELECT 1 FROM \"OCIEMU$OBJECT_TABLES\" WHERE TYPE_OWNER = ?3 AND TYPE_NAME = ?4 "
             "UNION ALL SELECT 1 FROM \"OCIEMU$OBJECTS\" o JOIN pragma_table_info(coalesce(o.STORAGE, o.OWNER || '.' || o.NAME)) c "
             "WHERE o.TYPE = 'TABLE' AND c.type IN (?1, ?2)");
  uses.bind(1, object).bind(2, ref).bind(3, owner).bind(4, name);
  return uses.step();
}

std::string type_key_sql(const std::string& owner, const std::string& name, const char* name_column) {
  return std::string(" WHERE OWNER = ") + quote_literal(owner) + " AND " + name_column + " = " + quote_literal(name);
}

void drop_type_rows(const std::string& owner, const std::string& name, std::vector<std::string>& out) {
  out.push_back("DELETE FROM \"OCIEMU$TYPE_ATTRS\"" + type_key_sql(owner, name, "TYPE_NAME"));
  out.push_back("DELETE FROM \"OCIEMU$TYPES\"" + type_key_sql(owner, name, "NAME"));
}

bool is_method_start(const Translator& t, int i) {
  for (const char* word : {"MEMBER", "STATIC", "MAP", "ORDER", "CONSTRUCTOR", "OVERRIDING", "FINAL", "NOT"}) {
    if (t.word_at(i, word)) return true;
  }
  return false;
}

}  // namespace

void install_type_catalogue(sqlite3* db) { execute(db, kTypeCatalogueSql); }

std::optional<ObjectTableInfo> find_object_table(sqlite3* db, std::string_view owner, std::string_view name) {
  Query row(db, "SELECT TYPE_OWNER, TYPE_NAME FROM \"OCIEMU$OBJECT_TABLES\" WHERE OWNER = ?1 AND NAME = ?2");
  row.bind(1, owner).bind(2, name);
  if (!row.step()) return std::nullopt;
  return ObjectTableInfo{std::string(owner), std::string(name), row.text(0), row.text(1)};
}

std::optional<TypeInfo> find_type(sqlite3* db, std::string_view owner, std::string_view name) {
  return load_type(db, owner, name, 0);
}

namespace {

bool holds_lob(sqlite3* db, std::string_view owner, std::string_view name, int depth) {
  std::optional<TypeInfo> type = depth < 32 ? find_type(db, owner, name) : std::nullopt;
  if (!type) return false;
  for (const TypeAttribute& attribute : type->attributes) {
    if (attribute.builtin && attribute.builtin->type_code >= 112 && attribute.builtin->type_code <= 114) return true;
    if (attribute.is_named() && !attribute.is_ref && holds_lob(db, attribute.type_owner, attribute.type_name, depth + 1)) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool type_holds_lob(sqlite3* db, std::string_view owner, std::string_view name) {
  return holds_lob(db, owner, name, 0);
}

std::optional<TypeInfo> resolve_type(sqlite3* db, const SessionContext& session, std::string_view owner,
                                     std::string_view name) {
  if (!owner.empty()) return find_type(db, owner, name);
  if (auto own = find_type(db, default_schema(session), name)) return own;
  return find_type(db, kXmlTypeOwner, name);
}

std::string object_column_declaration(std::string_view owner, std::string_view name, bool is_ref) {
  return std::string(is_ref ? kRefPrefix : kObjectPrefix) + std::string(owner) + "$" + std::string(name);
}

std::optional<NamedColumnType> parse_object_column_declaration(std::string_view declared) {
  const bool is_ref = declared.substr(0, kRefPrefix.size()) == kRefPrefix;
  if (!is_ref && declared.substr(0, kObjectPrefix.size()) != kObjectPrefix) return std::nullopt;
  std::string_view rest = declared.substr(kObjectPrefix.size());
  const size_t split = rest.find('$');
  if (split == std::string_view::npos) return std::nullopt;
  return NamedColumnType{std::string(rest.substr(0, split)), std::string(rest.substr(split + 1)), is_ref};
}

// A named type where a column or attribute type is expected: [REF] [owner.]name.
std::string named_type_declaration(const Translator& t, int& i) {
  const bool is_ref = t.word_at(i, "REF");
  if (is_ref) ++i;
  const int name_index = i;
  std::string owner, name;
  if (t.token(i).kind != TokenKind::Word && t.token(i).kind != TokenKind::QuotedName) t.fail(kInvalidDatatype, i);
  i = t.read_object_name(i, owner, name);
  std::optional<TypeInfo> type = resolve_type(t.db_, t.session_, owner, name);
  if (!type) t.fail(kInvalidDatatype, name_index);
  return object_column_declaration(type->owner, type->name, is_ref);
}

void Translator::create_type(int i, bool or_replace) {
  out_.kind = StatementKind::Create;
  out_.sql_function_code = 77;
  std::string owner, name;
  const int name_index = i;
  i = read_object_name(i, owner, name);
  owner = owner.empty() ? default_schema(session_) : owner;
  if (word_at(i, "FORCE")) ++i;
  if (auto existing = find_object(db_, owner, name)) {
    if (!or_replace || existing->type != "TYPE") fail(955, name_index);
    if (has_dependents(db_, owner, name)) fail(kTypeHasDependents, name_index);
    drop_type_rows(owner, name, out_.sqlite_sql);
  } else {
    out_.sqlite_sql.push_back(register_object_sql(owner, name, "TYPE"));
  }
  std::string kind = "OBJECT", super_owner, super_name;
  int64_t bound = 0;
  if (word_at(i, "UNDER")) {
    const int super_index = i + 1;
    i = read_object_name(i + 1, super_owner, super_name);
    std::optional<TypeInfo> super = resolve_type(db_, session_, super_owner, super_name);
    // Only a NOT FINAL object type can have subtypes.
    if (!super || super->kind != TypeKind::Object || super->is_final) fail(kInvalidDatatype, super_index);
    super_owner = super->owner;
    super_name = super->name;
  } else {
    if (!word_at(i, "AS") && !word_at(i, "IS")) fail(905, i);
    ++i;
    if (word_at(i, "VARRAY") || (word_at(i, "VARYING") && word_at(i + 1, "ARRAY"))) {
      kind = "VARRAY";
      i += word_at(i, "VARRAY") ? 1 : 2;
      if (!token(i).is_op("(") || token(i + 1).kind != TokenKind::Number) fail(906, i);
      bound = std::stoll(token(i + 1).text);
      i = matching(i) + 1;
    } else if (word_at(i, "TABLE")) {
      kind = "TABLE";
      ++i;
    } else if (!word_at(i++, "OBJECT")) {
      fail(kInvalidDatatype, i - 1);
    }
  }
  std::vector<std::pair<std::string, std::string>> attributes;  // name, declaration
  if (kind != "OBJECT") {
    if (!word_at(i, "OF")) fail(905, i);
    ++i;
    attributes.emplace_back("", read_type(*this, i));
  } else {
    if (!token(i).is_op("(")) fail(906, i);
    const int close = matching(i);
    ++i;
    while (i < close && !is_method_start(*this, i)) {
      const int attribute_index = i;
      std::string attribute = identifier(i++);
      for (const auto& other : attributes) {
        if (other.first == attribute) fail(957, attribute_index);
      }
      attributes.emplace_back(std::move(attribute), read_type(*this, i));
      if (token(i).is_op(",")) ++i;
    }
    i = close + 1;
  }
  bool final = true;
  while (i < end_index() && !token(i).is_op(";") && !token(i).is_op("/")) {
    if (word_at(i, "NOT") && word_at(i + 1, "FINAL")) final = false;
    ++i;
  }
  out_.sqlite_sql.push_back(
      "INSERT INTO \"OCIEMU$TYPES\" VALUES (" + quote_literal(owner) + ", " + quote_literal(name) + ", " +
      quote_literal(kind) + ", " + (final ? "1" : "0") + ", " + std::to_string(bound) + ", " +
      (super_name.empty() ? "NULL, NULL" : quote_literal(super_owner) + ", " + quote_literal(super_name)) + ")");
  for (size_t a = 0; a < attributes.size(); ++a) {
    out_.sqlite_sql.push_back("INSERT INTO \"OCIEMU$TYPE_ATTRS\" VALUES (" + quote_literal(owner) + ", " +
                              quote_literal(name) + ", " + std::to_string(a + 1) + ", " +
                              quote_literal(attributes[a].first) + ", " + quote_literal(attributes[a].second) + ")");
  }
}

void Translator::drop_type(int i) {
  out_.sql_function_code = 78;
  if (word_at(i, "BODY")) return;  // no type bodies are kept
  std::string owner, name;
  const int name_index = i;
  i = read_object_name(i, owner, name);
  owner = owner.empty() ? default_schema(session_) : owner;
  auto object = find_object(db_, owner, name);
  if (!object || object->type != "TYPE") fail(4043, {name}, name_index);
  const bool force = word_at(i, "FORCE") || word_at(i, "VALIDATE");
  if (!force && has_dependents(db_, owner, name)) fail(kTypeHasDependents, name_index);
  drop_type_rows(owner, name, out_.sqlite_sql);
  out_.sqlite_sql.push_back("DELETE FROM \"OCIEMU$OBJECTS\"" + type_key_sql(owner, name, "NAME"));
}

void drop_type_catalogue_sql(const std::string& owner, const std::string& name, std::vector<std::string>& out) {
  drop_type_rows(owner, name, out);
}

}  // namespace ociemu::sql

namespace ociemu::sql {
namespace {

// Attributes whose values JSON cannot hold as bytes: kept as hex digits.
bool is_raw(const TypeAttribute& attribute) {
  return attribute.builtin &&
         (attribute.builtin->type_code == 23 || attribute.builtin->type_code == 24 || attribute.builtin->type_code == 113);
}

bool is_xml_type(const std::optional<TypeInfo>& type) {
  return type && type->owner == kXmlTypeOwner && type->name == kXmlTypeName;
}

}  // namespace

ValueType value_type_of(const TypeAttribute& attribute) {
  if (!attribute.builtin) return ValueType::Unknown;
  switch (attribute.builtin->type_code) {
    case 2: return ValueType::Number;
    case 12: return ValueType::Date;
    case 1:
    case 96: return ValueType::Text;
    case 180: return ValueType::Timestamp;
    case 112: return ValueType::Clob;
    case 113: return ValueType::Blob;
    case 114: return ValueType::Bfile;
    default: return ValueType::Unknown;
  }
}

// An object table keeps one column per attribute of its type; its rows' object identifiers live beside it.
void Translator::create_object_table(int i, const std::string& owner, const std::string& name) {
  const int type_index = i;
  std::string type_owner, type_name;
  read_object_name(i, type_owner, type_name);
  std::optional<TypeInfo> type = resolve_type(db_, session_, type_owner, type_name);
  if (!type || type->kind != TypeKind::Object) fail(kInvalidDatatype, type_index);
  // Object identifiers name their table by its plain SQLite name, so object tables keep it.
  if (new_sqlite_name(db_, owner, name) != owner + "." + name) fail(955, type_index - 1);
  std::string sql = "CREATE TABLE " + quote_name(owner + "." + name) + " (";
  for (size_t a = 0; a < type->attributes.size(); ++a) {
    const TypeAttribute& attribute = type->attributes[a];
    const std::string declared = attribute.is_named()
                                     ? object_column_declaration(attribute.type_owner, attribute.type_name, attribute.is_ref)
                                     : attribute.declared;
    sql += (a ? ", " : "") + quote_name(attribute.name) + " " + declared;
  }
  out_.sqlite_sql.push_back(sql + ")");
  out_.sqlite_sql.push_back(register_object_sql(owner, name, "TABLE"));
  out_.sqlite_sql.push_back("INSERT INTO \"OCIEMU$OBJECT_TABLES\" VALUES (" + quote_literal(owner) + ", " +
                            quote_literal(name) + ", " + quote_literal(type->owner) + ", " +
                            quote_literal(type->name) + ")");
  for (std::string& statement : object_identifier_sql(owner, name)) out_.sqlite_sql.push_back(std::move(statement));
}

int Translator::object_row_constructor(const TableRef& table, int begin, int end) const {
  std::optional<ObjectTableInfo> info = find_object_table(db_, table.object.owner, table.object.name);
  if (!info || begin >= end) return -1;
  const bool qualified = token(begin + 1).is_op(".");
  const int open = qualified ? begin + 3 : begin + 1;
  if (open >= end || !token(open).is_op("(") || matching(open) != end - 1) return -1;
  for (int k = begin; k < open; k += 2) {
    if (token(k).kind != TokenKind::Word && token(k).kind != TokenKind::QuotedName) return -1;
  }
  if (identifier(open - 1) != info->type_name || (qualified && identifier(begin) != info->type_owner)) return -1;
  return open;
}

bool Translator::object_call(const std::vector<std::string>& parts, int open, const Scope& scope, Expression& result) {
  if (ref_call(parts, open, scope, result)) return true;
  const size_t n = parts.size();
  const std::string& last = parts.back();
  // x.GETCLOBVAL() and x.GETSTRINGVAL(): XMLType values are stored as their text.
  if (n >= 2 && (last == "GETCLOBVAL" || last == "GETSTRINGVAL") && token(open + 1).is_op(")")) {
    std::vector<std::string> column(parts.begin(), parts.end() - 1);
    result = column_reference(column, std::vector<bool>(column.size(), false), open - 1, scope);
    result.plain_column = false;
    result.type = ValueType::Text;
    return true;
  }
  if (n == 3 && parts[0] == kXmlTypeOwner && parts[1] == kXmlTypeName && last == "CREATEXML") {
    result.text = function_call("", open, scope, result);
    result.type = ValueType::Text;
    return true;
  }
  if (n > 2) return false;
  std::optional<TypeInfo> type = resolve_type(db_, session_, n == 2 ? parts[0] : "", last);
  if (!type) return false;
  if (is_xml_type(type)) {
    result.text = function_call("", open, scope, result);
    result.type = ValueType::Text;
    return true;
  }
  // Objects and collections are stored as JSON arrays of their attributes or elements; JSON has no
  // bytes, so RAW and BLOB values are kept as their hex text.
  auto keep_raw_as_hex = [&type](size_t k, const std::string& argument) {
    const TypeAttribute* attribute = type->is_collection() ? &type->attributes.at(0)
                                     : k < type->attributes.size() ? &type->attributes[k]
                                                                    : nullptr;
    if (attribute == nullptr || !is_raw(*attribute)) return argument;
    return "(CASE WHEN typeof(" + argument + ") = 'blob' THEN hex(" + argument + ") ELSE " + argument + " END)";
  };
  result.text = function_call("json_array", open, scope, result, keep_raw_as_hex);
  result.type = ValueType::Unknown;
  result.plain_column = false;
  result.declared = object_column_declaration(type->owner, type->name, false);  // fetched as an instance
  return true;
}

std::optional<Translator::AttributePath> Translator::attribute_path(const std::vector<std::string>& parts,
                                                                    const Scope& scope) const {
  const TableRef* table = scope.find_alias(parts[0]);
  if (table == nullptr) return std::nullopt;
  std::optional<std::string> declared = declared_type(*table, parts[1]);
  std::optional<NamedColumnType> named = declared ? parse_object_column_declaration(*declared) : std::nullopt;
  if (!named) return std::nullopt;
  std::optional<TypeInfo> type = find_type(db_, named->owner, named->name);
  AttributePath found{table, parts[1], "$", {}, named->is_ref, named->owner, named->name};
  for (size_t k = 2; k < parts.size(); ++k) {
    if (!type || type->kind != TypeKind::Object) fail(904, {in_quotes(parts[k])}, 0);
    size_t index = 0;
    while (index < type->attributes.size() && type->attributes[index].name != parts[k]) ++index;
    if (index == type->attributes.size()) fail(904, {in_quotes(parts[k])}, 0);
    found.attribute = type->attributes[index];
    found.path += "[" + std::to_string(index) + "]";
    type = found.attribute.is_named() && !found.attribute.is_ref
               ? find_type(db_, found.attribute.type_owner, found.attribute.type_name)
               : std::nullopt;
  }
  return found;
}

std::optional<Expression> Translator::attribute_reference(const std::vector<std::string>& parts,
                                                          const Scope& scope) const {
  std::optional<AttributePath> found = attribute_path(parts, scope);
  if (!found) return std::nullopt;
  const ValueType value_type = value_type_of(found->attribute);
  // Through a REF the attributes are those of the row it names.
  std::string column = quote_name(found->table->alias) + "." + quote_name(found->column);
  if (found->through_ref) column = deref_sql(found->type_owner, found->type_name, column);
  Expression result{"json_extract(" + column + ", " + quote_literal(found->path) + ")", value_type, false};
  if (value_type == ValueType::Blob) {
    result.text = "(CASE WHEN " + result.text + " = '' THEN x'' ELSE HEXTORAW(" + result.text + ") END)";
  }
  if (!found->through_ref && (value_type == ValueType::Clob || value_type == ValueType::Blob)) {
    last_lob_attribute_.emplace(result.text,
                                Translation::LobAttribute{0, found->table->object.sqlite_name(), found->column, found->path});
  }
  return result;
}

std::optional<std::pair<std::string, std::string>> Translator::attribute_assignment(int begin, int equals, int end,
                                                                                      const Scope& scope) {
  std::vector<std::string> parts;
  for (int k = begin; k < equals; k += 2) {
    const TokenKind kind = token(k).kind;
    if (kind != TokenKind::Word && kind != TokenKind::QuotedName) return std::nullopt;
    if (k + 1 < equals && !token(k + 1).is_op(".")) return std::nullopt;
    parts.push_back(token(k).text);
  }
  if (parts.size() < 3) return std::nullopt;
  std::optional<AttributePath> found = attribute_path(parts, scope);
  if (!found) return std::nullopt;
  if (found->through_ref) fail(904, {in_quotes(parts.back())}, begin);  // a REF's target is not updated through it
  std::string value = rewrite(equals + 1, end, scope);
  // Stored as the constructor stores attributes: bytes as hex text, embedded objects as JSON.
  if (is_raw(found->attribute)) {
    value = "(CASE WHEN typeof(" + value + ") = 'blob' THEN hex(" + value + ") ELSE " + value + " END)";
  } else if (found->attribute.is_named() && !found->attribute.is_ref &&
             !(found->attribute.type_owner == kXmlTypeOwner && found->attribute.type_name == kXmlTypeName)) {
    value = "json(" + value + ")";
  }
  const std::string column = quote_name(found->column);
  return std::make_pair(found->column, "json_set(" + column + ", " + quote_literal(found->path) + ", " + value + ")");
}

}  // namespace ociemu::sql
