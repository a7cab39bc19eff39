// TABLE(collection) in a FROM clause. Collections are stored as JSON arrays, so
// the source is SQLite's json_each over the collection's text; COLUMN_VALUE and
// the attributes of object elements read the element's value.
#include <algorithm>

#include "ociemu/sql/errors.h"
#include "ociemu/sql/sqlite_query.h"
#include "ociemu/sql/translator.h"

namespace ociemu::sql {
namespace {

constexpr std::string_view kColumnValue = "COLUMN_VALUE";

// The SQL value of stored JSON text `json` of an attribute: RAW and BLOB values are hex digits there.
Expression stored_value(const TypeAttribute* attribute, std::string json) {
  if (attribute == nullptr) return Expression{std::move(json), ValueType::Unknown, false};
  const int code = attribute->builtin ? attribute->builtin->type_code : 0;
  if (code == 23 || code == 24 || code == 113) {
    json = "(CASE WHEN " + json + " = '' THEN x'' ELSE HEXTORAW(" + json + ") END)";
  }
  return Expression{std::move(json), value_type_of(*attribute), false};
}

// The names of a chain a.b.c spanning [begin, end); empty when the tokens are something else.
std::vector<std::string> chain_parts(const Translator& t, int begin, int end) {
  std::vector<std::string> parts;
  for (int k = begin; k < end; k += 2) {
    const Token& part = t.token(k);
    if (part.kind != TokenKind::Word && part.kind != TokenKind::QuotedName) return {};
    parts.push_back(part.text);
    if (k + 1 < end && !t.token(k + 1).is_op(".")) return {};
  }
  return parts;
}

using DeclaredType = std::function<std::optional<std::string>(const TableRef&, const std::string&)>;

// The named type that alias.column[.attribute...] has.
std::optional<TypeInfo> chain_type(sqlite3* db, const std::vector<std::string>& parts, const Scope& scope,
                                   const DeclaredType& declared) {
  if (parts.size() < 2) return std::nullopt;
  const TableRef* table = scope.find_alias(parts[0]);
  std::optional<std::string> column = table ? declared(*table, parts[1]) : std::nullopt;
  std::optional<NamedColumnType> named = column ? parse_object_column_declaration(*column) : std::nullopt;
  if (!named || named->is_ref) return std::nullopt;
  std::optional<TypeInfo> type = find_type(db, named->owner, named->name);
  for (size_t k = 2; type && k < parts.size(); ++k) {
    const TypeAttribute* found = nullptr;
    for (const TypeAttribute& attribute : type->attributes) {
      if (attribute.name == parts[k]) found = &attribute;
    }
    if (found == nullptr || !found->is_named() || found->is_ref) return std::nullopt;
    type = find_type(db, found->type_owner, found->type_name);
  }
  return type;
}

const TableRef* collection_named(const Scope& scope, const std::string& alias) {
  const TableRef* table = scope.find_alias(alias);
  return table && table->collection ? table : nullptr;
}

// The column `name` of a TABLE() source, or nullopt when it has none.
std::optional<Expression> source_column(const TableRef& table, const std::string& name) {
  const std::string value = quote_name(table.alias) + ".value";
  const CollectionSource& source = *table.collection;
  if (source.attributes.empty()) {
    if (name != kColumnValue) return std::nullopt;
    return stored_value(source.element ? &*source.element : nullptr, value);
  }
  for (size_t k = 0; k < source.attributes.size(); ++k) {
    if (source.attributes[k].name != name) continue;
    return stored_value(&source.attributes[k], "json_extract(" + value + ", '$[" + std::to_string(k) + "]')");
  }
  return std::nullopt;
}

std::vector<std::string> source_column_names(const CollectionSource& source) {
  std::vector<std::string> names;
  for (const TypeAttribute& attribute : source.attributes) names.push_back(attribute.name);
  if (names.empty()) names.emplace_back(kColumnValue);
  return names;
}

}  // namespace

int Translator::collection_source(int open, const Scope& scope, TableRef& table, std::string& text) {
  const int close = matching(open);
  if (close == open + 1) fail(936, close);
  int begin = open + 1, end = close;
  std::optional<TypeInfo> type;
  int64_t parent_object_id = 0;
  // TABLE(CAST(expression AS type)) names the type of an untyped value such as a bind.
  if (word_at(begin, "CAST") && token(begin + 1).is_op("(") && matching(begin + 1) == close - 1) {
    int as = begin + 2;
    while (as < close - 1 && !word_at(as, "AS")) as = token(as).is_op("(") ? matching(as) + 1 : as + 1;
    if (as >= close - 1) fail(905, as);
    std::string owner, name;
    read_object_name(as + 1, owner, name);
    type = resolve_type(db_, session_, owner, name);
    if (!type) fail(902, as + 1);
    begin += 2;
    end = as;
  } else if (word_at(begin, "SELECT")) {
    type = subquery_type(begin, end, &parent_object_id);
  } else {
    const std::vector<std::string> parts = chain_parts(*this, begin, end);
    type = chain_type(db_, parts, scope, declared_of());
    const TableRef* named = parts.size() >= 2 ? scope.find_alias(parts[0]) : nullptr;
    if (!type && named && declared_type(*named, parts[1])) fail(22905, open);  // a column, but no collection
    if (parts.size() == 2 && named && named->resolved && named->object.type == "TABLE")
      parent_object_id = named->object.object_id;
  }
  if (type && !type->is_collection()) fail(22905, open);  // cannot access rows from a non-nested table item
  auto source = std::make_shared<CollectionSource>();
  // Only a nested table's elements are rows of a storage table; a VARRAY's are not.
  if (type && type->kind != TypeKind::Varray) source->parent_object_id = parent_object_id;
  if (type) {
    source->element = type->attributes.at(0);
    if (source->element->is_named() && !source->element->is_ref) {
      if (auto element = find_type(db_, source->element->type_owner, source->element->type_name);
          element && element->kind == TypeKind::Object) {
        source->attributes = element->attributes;
      }
    }
  }
  table.collection = std::move(source);
  text = word_at(begin, "SELECT") ? "json_each((" + query(begin, end, &scope) + "))"
                                  : "json_each(" + rewrite(begin, end, scope) + ")";
  return close + 1;
}

std::function<std::optional<std::string>(const TableRef&, const std::string&)> Translator::declared_of() const {
  return [this](const TableRef& table, const std::string& column) { return declared_type(table, column); };
}

// TABLE(SELECT [alias.]column FROM table [alias] ...): the column's collection type.
std::optional<TypeInfo> Translator::subquery_type(int begin, int end, int64_t* parent_object_id) const {
  int from = begin + 1;
  while (from < end && !word_at(from, "FROM")) from = token(from).is_op("(") ? matching(from) + 1 : from + 1;
  std::vector<std::string> item = chain_parts(*this, begin + 1, from);
  if (from >= end || item.empty() || item.size() > 2) return std::nullopt;
  std::string owner, name;
  int next = read_object_name(from + 1, owner, name);
  Scope inner;
  TableRef& table = inner.tables.emplace_back();
  table.object = resolve_table(from + 1, owner, name);
  table.resolved = true;
  const Token& alias = token(next);
  table.alias = next < end && (alias.kind == TokenKind::QuotedName ||
                               (alias.kind == TokenKind::Word && !is_clause_keyword(alias.text) && alias.text != "WHERE"))
                    ? alias.text
                    : name;
  if (item.size() == 1) item.insert(item.begin(), table.alias);
  if (parent_object_id && item.size() == 2 && table.object.type == "TABLE") *parent_object_id = table.object.object_id;
  return chain_type(db_, item, inner, declared_of());
}

// A nested table element's rowid names its parent's table, its place and its
// value: a rowid kept from before another element was deleted, or before the
// element itself changed, names no element instead of a wrong one.
std::optional<Expression> Translator::collection_rowid(const TableRef& table) const {
  if (!table.collection || table.collection->parent_object_id == 0) return std::nullopt;
  const std::string element = quote_name(table.alias);
  return Expression{"OCIEMU_ELEMENT_ROWID(" + std::to_string(table.collection->parent_object_id) + ", " + element +
                        ".key, " + element + ".value)",
                    ValueType::Rowid, false};
}

std::optional<Expression> Translator::collection_column(const std::vector<std::string>& parts,
                                                        const Scope& scope) const {
  if (parts.size() == 2) {
    const TableRef* table = collection_named(scope, parts[0]);
    if (table == nullptr) return std::nullopt;
    if (auto column = source_column(*table, parts[1])) return column;
    fail(904, {in_quotes(parts[0] + "." + parts[1])}, 0);
  }
  // An unqualified name is a TABLE() column when no table of the same level has such a column.
  for (const Scope* level = &scope; level; level = level->parent) {
    std::optional<Expression> found;
    bool other = false;
    for (const TableRef& table : level->tables) {
      if (table.collection) {
        if (!found) found = source_column(table, parts[0]);
      } else if (declared_type(table, parts[0])) {
        other = true;
      }
    }
    if (found && !other) return found;
    if (found || other) return std::nullopt;
  }
  return std::nullopt;
}

std::optional<std::string> Translator::collection_star(int begin, int end, const Scope& scope, bool top_level) {
  const TableRef* only = end - begin == 1 ? nullptr : scope.find_alias(identifier(end - 3));
  // Sources with columns of their own beyond the table's are spelled out.
  auto spelled = [](const TableRef& t) { return t.collection != nullptr || t.rowid_base.has_value(); };
  if (only ? !spelled(*only) : std::none_of(scope.tables.begin(), scope.tables.end(), spelled)) {
    return std::nullopt;
  }
  std::string sql;
  auto add = [&](const std::string& item, std::optional<OracleType> hint) {
    sql += (sql.empty() ? "" : ", ") + item;
    if (top_level) out_.select_types.push_back(std::move(hint));
  };
  for (const TableRef& table : scope.tables) {
    if (only != nullptr && &table != only) continue;
    if (!table.collection) {
      const auto columns = table_columns(db_, table.resolved ? table.object.sqlite_name() : table.alias);
      for (const std::string& column : columns) add(quote_name(table.alias) + "." + quote_name(column), std::nullopt);
      continue;
    }
    for (const std::string& name : source_column_names(*table.collection)) {
      const Expression column = *source_column(table, name);
      add(column.text + " AS " + quote_name(name), hint_for(column));
    }
  }
  return sql;
}

}  // namespace ociemu::sql
