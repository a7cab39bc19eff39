// INSERT, UPDATE and DELETE through TABLE(sub-query) or THE(sub-query): DML on
// the elements of a nested table. Collections are stored as JSON arrays in the
// parent's column, so each such statement is restated as an UPDATE of the parent
// rows the sub-query selects, rebuilding their arrays, and that is translated.
#include <sqlite3.h>

#include <algorithm>
#include <memory>

#include "ociemu/sql/errors.h"
#include "ociemu/sql/functions.h"
#include "ociemu/sql/messages.h"
#include "ociemu/sql/translator.h"
#include "ociemu/sql/types.h"

namespace ociemu::sql {
namespace {

constexpr int kNullTable = 22908;        // reference to NULL table value
constexpr int kVarrayDml = 25015;        // cannot perform DML on this nested table view column
constexpr int kNotSupported = 3001;
constexpr std::string_view kElementAlias = "OCIEMU$E";

// The parts of TABLE(SELECT item FROM table [alias] [WHERE condition]).
struct CollectionTarget {
  std::string item;        // the collection column as written (c.items)
  std::string qualified;   // the same, qualified by the table's alias or name
  std::string source;      // table [alias]
  std::string condition;   // without WHERE; empty when none
  TypeInfo collection;     // the collection's type
  std::vector<TypeAttribute> attributes;  // an object element's attributes; empty for scalars
};

// Splits a top-level comma list spanning [begin, end) into token ranges.
std::vector<std::pair<int, int>> comma_list(const Translator& t, int begin, int end) {
  std::vector<std::pair<int, int>> items;
  int start = begin;
  for (int i = begin; i < end; ++i) {
    if (t.token(i).is_op("(")) {
      i = t.matching(i);
    } else if (t.token(i).is_op(",")) {
      items.emplace_back(start, i);
      start = i + 1;
    }
  }
  if (start < end) items.emplace_back(start, end);
  return items;
}

// The statement's text of [begin, end), token by token.
std::string text_of_tokens(const Translator& t, int begin, int end) {
  std::string text;
  for (int i = begin; i < end; ++i) text += (i > begin ? " " : "") + t.original_text(i, i + 1);
  return text;
}

void sqlite_error(sqlite3_context* context, int code) {
  const std::string text = full_message(code, message_text(code));
  sqlite3_result_error(context, text.c_str(), static_cast<int>(text.size()));
}

// The elements of a stored array, without its brackets ("" for an empty one).
std::string_view array_body(std::string_view json) {
  const size_t open = json.find('['), close = json.rfind(']');
  if (open == std::string_view::npos || close == std::string_view::npos || close < open) return {};
  std::string_view body = json.substr(open + 1, close - open - 1);
  while (!body.empty() && (body.front() == ' ' || body.front() == '\n')) body.remove_prefix(1);
  return body;
}

void append_elements(std::string& out, std::string_view json) {
  std::string_view body = array_body(json);
  if (body.empty()) return;
  if (out.size() > 1) out += ',';
  out += body;
}

std::string_view text_of(sqlite3_value* value) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
  return text ? std::string_view(text, static_cast<size_t>(sqlite3_value_bytes(value))) : std::string_view();
}

// OCIEMU_COLLECTION_CONCAT(collection, more): the elements of both, in order; a NULL collection is ORA-22908.
void collection_concat(sqlite3_context* context, int, sqlite3_value** args) {
  if (sqlite3_value_type(args[0]) == SQLITE_NULL) return sqlite_error(context, kNullTable);
  std::string out = "[";
  append_elements(out, text_of(args[0]));
  if (sqlite3_value_type(args[1]) != SQLITE_NULL) append_elements(out, text_of(args[1]));
  out += ']';
  sqlite3_result_text(context, out.c_str(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

// OCIEMU_COLLECTION_EMPTY(collection): an empty array in place of a collection that exists.
void collection_empty(sqlite3_context* context, int, sqlite3_value** args) {
  if (sqlite3_value_type(args[0]) == SQLITE_NULL) return sqlite_error(context, kNullTable);
  sqlite3_result_text(context, "[]", 2, SQLITE_STATIC);
}

// OCIEMU_COLLECTION_AGG(array): the elements of every row's array, in row order.
void collection_agg_step(sqlite3_context* context, int, sqlite3_value** args) {
  auto** out = static_cast<std::string**>(sqlite3_aggregate_context(context, sizeof(std::string*)));
  if (out == nullptr) return sqlite3_result_error_nomem(context);
  try {
    if (*out == nullptr) *out = new std::string("[");
    if (sqlite3_value_type(args[0]) != SQLITE_NULL) append_elements(**out, text_of(args[0]));
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(context);
  }
}

void collection_agg_final(sqlite3_context* context) {
  auto** out = static_cast<std::string**>(sqlite3_aggregate_context(context, 0));
  if (out == nullptr || *out == nullptr) return sqlite3_result_text(context, "[]", 2, SQLITE_STATIC);
  std::string* kept = *out;
  *kept += ']';
  sqlite3_result_text(context, kept->c_str(), static_cast<int>(kept->size()), SQLITE_TRANSIENT);
  delete kept;
  *out = nullptr;
}

// The element an UPDATE or DELETE through TABLE(...) changed in the parent row
// being rebuilt, for its RETURNING; one per connection.
struct NotedElement {
  int64_t place = -1;      // of the first changed element
  int count = 0;           // elements changed in this parent row
  std::string collection;  // the parent row's collection before the change
};

NotedElement& noted(sqlite3_context* context) { return *static_cast<NotedElement*>(sqlite3_user_data(context)); }

// OCIEMU_FORGET_ELEMENT(collection): the collection; each parent row's rebuild starts with it.
void forget_element(sqlite3_context* context, int, sqlite3_value** args) {
  NotedElement& note = noted(context);
  note.place = -1;
  note.count = 0;
  try {
    note.collection.assign(text_of(args[0]));
  } catch (const std::bad_alloc&) {
    return sqlite3_result_error_nomem(context);
  }
  sqlite3_result_value(context, args[0]);
}

// OCIEMU_NOTE_ELEMENT(rowid): 1, counting the element and noting its place if none is noted yet.
void note_element(sqlite3_context* context, int, sqlite3_value** args) {
  NotedElement& note = noted(context);
  ++note.count;
  if (note.place < 0 && sqlite3_value_type(args[0]) != SQLITE_NULL) note.place = element_rowid_place(text_of(args[0]));
  sqlite3_result_int(context, 1);
}

// OCIEMU_NOTED_ELEMENT(): the noted place, NULL when none. One RETURNING row
// stands for one parent row, so a change of several of its elements, whose
// values Oracle would all return, is refused rather than half answered.
void noted_element(sqlite3_context* context, int, sqlite3_value**) {
  const NotedElement& note = noted(context);
  if (note.count > 1) return sqlite_error(context, kNotSupported);
  if (note.place < 0) return sqlite3_result_null(context);
  sqlite3_result_int64(context, note.place);
}

// OCIEMU_NOTED_COLLECTION(): the parent row's collection before the change.
void noted_collection(sqlite3_context* context, int, sqlite3_value**) {
  const std::string& text = noted(context).collection;
  sqlite3_result_text(context, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

using SqliteStatement = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)>;

// Selects `columns` of json_each(collection) at the element at place (the last
// one when place is negative); false, with the function's result set to NULL
// (or an error), when there is no such element.
bool step_to_element(sqlite3_context* context, const std::string& columns, sqlite3_value* collection,
                     sqlite3_value* place, SqliteStatement& statement) {
  if (sqlite3_value_type(collection) == SQLITE_NULL || sqlite3_value_type(place) == SQLITE_NULL) {
    sqlite3_result_null(context);
    return false;
  }
  const bool last = sqlite3_value_int64(place) < 0;
  const std::string sql = "SELECT " + columns + " FROM json_each(?1) " +
                          (last ? "ORDER BY key DESC LIMIT 1" : "WHERE key = ?2");
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(sqlite3_context_db_handle(context), sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
    sqlite3_finalize(raw);
    sqlite3_result_error(context, "collection element", -1);
    return false;
  }
  statement.reset(raw);
  sqlite3_bind_value(raw, 1, collection);
  if (!last) sqlite3_bind_value(raw, 2, place);
  if (sqlite3_step(raw) == SQLITE_ROW) return true;
  sqlite3_result_null(context);
  return false;
}

// OCIEMU_ELEMENT_ROWID_AT(object_id, collection, place): the rowid of the
// element at place (the last one when place is negative), as TABLE(...) reads
// it: the value comes from json_each, exactly as there.
void element_rowid_at(sqlite3_context* context, int, sqlite3_value** args) {
  SqliteStatement row(nullptr, sqlite3_finalize);
  if (!step_to_element(context, "key, value", args[1], args[2], row)) return;
  const std::string text = element_rowid_text(sqlite3_value_int64(args[0]), sqlite3_column_int64(row.get(), 0),
                                              sqlite3_column_value(row.get(), 1));
  sqlite3_result_text(context, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

// OCIEMU_ELEMENT_AT(collection, place): a collection of the one element at
// place (the last one when place is negative), as stored; NULL when there is none.
void element_at(sqlite3_context* context, int, sqlite3_value** args) {
  SqliteStatement row(nullptr, sqlite3_finalize);
  if (step_to_element(context, "json_array(value)", args[0], args[1], row))
    sqlite3_result_value(context, sqlite3_column_value(row.get(), 0));
}

}  // namespace

void register_collection_dml_functions(sqlite3* db) {
  constexpr int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
  sqlite3_create_function_v2(db, "OCIEMU_COLLECTION_CONCAT", 2, flags, nullptr, collection_concat, nullptr, nullptr,
                             nullptr);
  sqlite3_create_function_v2(db, "OCIEMU_COLLECTION_EMPTY", 1, flags, nullptr, collection_empty, nullptr, nullptr,
                             nullptr);
  sqlite3_create_function_v2(db, "OCIEMU_COLLECTION_AGG", 1, flags, nullptr, nullptr, collection_agg_step,
                             collection_agg_final, nullptr);
  sqlite3_create_function_v2(db, "OCIEMU_ELEMENT_ROWID_AT", 3, SQLITE_UTF8, nullptr, element_rowid_at, nullptr,
                             nullptr, nullptr);
  sqlite3_create_function_v2(db, "OCIEMU_ELEMENT_AT", 2, SQLITE_UTF8, nullptr, element_at, nullptr, nullptr, nullptr);
  // The noted place is state, so these are neither deterministic nor innocuous.
  auto* note = new NotedElement;
  sqlite3_create_function_v2(db, "OCIEMU_FORGET_ELEMENT", 1, SQLITE_UTF8, note, forget_element, nullptr, nullptr,
                             nullptr);
  sqlite3_create_function_v2(db, "OCIEMU_NOTED_ELEMENT", 0, SQLITE_UTF8, note, noted_element, nullptr, nullptr,
                             nullptr);
  sqlite3_create_function_v2(db, "OCIEMU_NOTED_COLLECTION", 0, SQLITE_UTF8, note, noted_collection, nullptr, nullptr,
                             nullptr);
  sqlite3_create_function_v2(db, "OCIEMU_NOTE_ELEMENT", 1, SQLITE_UTF8, note, note_element, nullptr, nullptr,
                             [](void* p) { delete static_cast<NotedElement*>(p); });
}

namespace {

// Reads TABLE(SELECT ...) whose '(' is at open; nullopt when it is no such expression.
std::optional<CollectionTarget> read_target(const Translator& t, int open) {
  if (!t.token(open).is_op("(") || !t.word_at(open + 1, "SELECT")) return std::nullopt;
  const int close = t.matching(open);
  const int from = find_top_level(t, open + 2, close, {"FROM"});
  if (from >= close) return std::nullopt;
  CollectionTarget target;
  target.item = text_of_tokens(t, open + 2, from);
  std::string owner, name;
  int next = t.read_object_name(from + 1, owner, name);
  const int where = find_top_level(t, next, close, {"WHERE"});
  std::string qualifier = name;
  if (next < where) qualifier = t.identifier(next);
  target.source = text_of_tokens(t, from + 1, where);
  if (where < close) target.condition = text_of_tokens(t, where + 1, close);
  target.qualified = from - (open + 2) == 1 ? qualifier + "." + target.item : target.item;
  return target;
}

void take_collection_type(const Translator& t, CollectionTarget& target, const std::optional<TypeInfo>& type, int open,
                          sqlite3* db) {
  if (!type || !type->is_collection()) t.fail(22905, open);
  if (type->kind == TypeKind::Varray) t.fail(kVarrayDml, open);
  target.collection = *type;
  const TypeAttribute& element = type->attributes.at(0);
  if (element.is_named() && !element.is_ref) {
    if (auto object = find_type(db, element.type_owner, element.type_name); object && object->kind == TypeKind::Object) {
      target.attributes = object->attributes;
    }
  }
}

std::string element_type_name(const CollectionTarget& target) {
  const TypeAttribute& element = target.collection.attributes.at(0);
  return element.type_owner + "." + element.type_name;
}

// The element as a one-element collection, from each attribute's value (or the scalar's).
std::string one_element(const CollectionTarget& target, const std::vector<std::string>& values) {
  std::string element;
  if (target.attributes.empty()) {
    element = values.at(0);
  } else {
    element = element_type_name(target) + "(";
    for (size_t k = 0; k < values.size(); ++k) element += (k ? ", " : "") + values[k];
    element += ")";
  }
  return target.collection.qualified() + "(" + element + ")";
}

// The element's own values, read through the collection's alias.
std::vector<std::string> current_values(const CollectionTarget& target) {
  std::vector<std::string> values;
  const std::string alias(kElementAlias);
  if (target.attributes.empty()) values.push_back(alias + ".COLUMN_VALUE");
  for (const TypeAttribute& attribute : target.attributes) values.push_back(alias + ".\"" + attribute.name + "\"");
  return values;
}

// Index of the attribute an assignment target names (x.attr, attr, COLUMN_VALUE); -1 when none.
int assigned_attribute(const Translator& t, const CollectionTarget& target, int begin, int end,
                       const std::string& alias) {
  if (end - begin == 3 && t.token(begin + 1).is_op(".") && t.identifier(begin) == alias) begin += 2;
  if (end - begin != 1) return -1;
  const std::string name = t.identifier(begin);
  if (target.attributes.empty()) return name == "COLUMN_VALUE" ? 0 : -1;
  for (size_t k = 0; k < target.attributes.size(); ++k) {
    if (target.attributes[k].name == name) return static_cast<int>(k);
  }
  return -1;
}

std::string parent_update(const CollectionTarget& target, const std::string& value, const std::string& extra) {
  std::string text = "UPDATE " + target.source + " SET " + target.item + " = " + value;
  std::string where = target.condition.empty() ? "" : "(" + target.condition + ")";
  if (!extra.empty()) where += (where.empty() ? "" : " AND ") + extra;
  return where.empty() ? text : text + " WHERE " + where;
}

// The rows matching the element condition, for the parents' rows processed (a NULL collection still fails).
std::string having_elements(const CollectionTarget& target, const std::string& condition) {
  if (condition.empty()) return "";
  return "(" + target.item + " IS NULL OR EXISTS (SELECT 1 FROM TABLE(" + target.qualified + ") " +
         std::string(kElementAlias) + " WHERE " + condition + "))";
}

std::string rebuilt(const CollectionTarget& target, const std::vector<std::string>& values, const std::string& filter,
                    bool noting = false) {
  const std::string collection = noting ? "OCIEMU_FORGET_ELEMENT(" + target.item + ")" : target.item;
  return "OCIEMU_COLLECTION_CONCAT(OCIEMU_COLLECTION_EMPTY(" + collection + "), (SELECT OCIEMU_COLLECTION_AGG(" +
         one_element(target, values) + ") FROM TABLE(" + target.qualified + ") " + std::string(kElementAlias) +
         (filter.empty() ? "" : " WHERE " + filter) + "))";
}

// The alias after TABLE(...) at index; the element alias is used when none is written.
std::string element_alias(const Translator& t, int& index) {
  const Token& word = t.token(index);
  if ((word.kind == TokenKind::Word && !is_clause_keyword(word.text) && word.text != "SET" && word.text != "WHERE" &&
       word.text != "VALUES") ||
      word.kind == TokenKind::QuotedName) {
    ++index;
    return word.text;
  }
  return std::string(kElementAlias);
}

// The text with the user's alias for the elements renamed to ours.
std::string with_element_alias(const Translator& t, int begin, int end, const std::string& alias) {
  std::string text;
  for (int i = begin; i < end; ++i) {
    const bool renamed = alias != kElementAlias && t.token(i).kind == TokenKind::Word && t.token(i).text == alias &&
                         t.token(i + 1).is_op(".") && !t.token(i - 1).is_op(".");
    text += renamed ? std::string(kElementAlias) : t.original_text(i, i + 1);
    text += ' ';
  }
  return text;
}

// INSERT INTO TABLE(...) [(attributes)] VALUES (...): the element appended to each selected parent's collection.
std::string collection_insert(const Translator& t, const CollectionTarget& target, int i, int end) {
  if (!t.token(i).is_op("(") && !t.word_at(i, "VALUES")) ++i;  // the elements' alias
  std::vector<std::string> columns;
  if (t.token(i).is_op("(")) {
    for (auto [begin, stop] : comma_list(t, i + 1, t.matching(i))) columns.push_back(t.identifier(begin));
    i = t.matching(i) + 1;
  }
  if (!t.word_at(i, "VALUES") || !t.token(i + 1).is_op("(")) t.fail(kNotSupported, i);
  const int close = t.matching(i + 1);
  if (close + 1 != end) t.fail_not_ended(close + 1);
  std::vector<std::string> given;
  for (auto [begin, stop] : comma_list(t, i + 2, close)) given.push_back(text_of_tokens(t, begin, stop));
  if (given.empty()) t.fail(936, close);
  std::vector<std::string> values;
  if (target.attributes.empty()) {
    if (given.size() != 1 || columns.size() > 1) t.fail(913, close);
    values = given;
  } else if (!columns.empty()) {
    if (columns.size() != given.size()) t.fail(columns.size() > given.size() ? 947 : 913, close);
    values.assign(target.attributes.size(), "NULL");
    for (size_t k = 0; k < columns.size(); ++k) {
      auto named = std::find_if(target.attributes.begin(), target.attributes.end(),
                                [&](const TypeAttribute& a) { return a.name == columns[k]; });
      if (named == target.attributes.end()) t.fail(904, {columns[k]}, i);
      values[static_cast<size_t>(named - target.attributes.begin())] = given[k];
    }
  } else if (given.size() == target.attributes.size() && given.size() > 1) {
    values = given;
  } else if (given.size() == 1) {
    // The whole element (a constructor, a bind of the type): the collection's constructor takes it as it is.
    return parent_update(target, "OCIEMU_COLLECTION_CONCAT(" + target.item + ", " + target.collection.qualified() +
                                     "(" + given[0] + "))",
                         "");
  } else {
    t.fail(given.size() > target.attributes.size() ? 913 : 947, close);
  }
  return parent_update(target, "OCIEMU_COLLECTION_CONCAT(" + target.item + ", " + one_element(target, values) + ")", "");
}

// Where RETURNING finds the changed element: a collection expression and the
// element's place in it (negative: the last one).
struct ReturnedElement {
  std::string collection;
  std::string place;
};

bool names_lob_attribute(const Translator& t, const CollectionTarget& target, int begin, int end,
                         const std::string& alias) {
  const int attribute = assigned_attribute(t, target, begin, end, alias);
  if (attribute < 0 || target.attributes.empty()) return false;
  const auto& builtin = target.attributes[static_cast<size_t>(attribute)].builtin;
  return builtin && (builtin->type_code == 112 || builtin->type_code == 113 || builtin->type_code == 114);
}

// One RETURNING item, read from the changed element: its rowid as TABLE(...)
// would read it, anything else evaluated over that one element.
std::string returned_item(const Translator& t, const CollectionTarget& target, int begin, int end,
                          const std::string& alias, int64_t parent_object_id, const ReturnedElement& element) {
  int item = begin;
  if (end - begin == 3 && t.token(begin + 1).is_op(".") && t.identifier(begin) == alias) item += 2;
  if (item + 1 == end && t.word_at(item, "ROWID")) {
    if (parent_object_id == 0) t.fail(1445, item);
    return "OCIEMU_ELEMENT_ROWID_AT(" + std::to_string(parent_object_id) + ", " + element.collection + ", " +
           element.place + ")";
  }
  // A locator returned here would name no stored element, so writes through it would be lost.
  if (names_lob_attribute(t, target, begin, end, alias)) t.fail(kNotSupported, begin);
  return "(SELECT " + with_element_alias(t, begin, end, alias) + "FROM TABLE(CAST(OCIEMU_ELEMENT_AT(" +
         element.collection + ", " + element.place + ") AS " + target.collection.qualified() + ")) " +
         std::string(kElementAlias) + ")";
}

// RETURNING items INTO targets from returning to the statement's end, or
// nothing: the values of the changed element (the one of each parent row).
std::string returned_items(const Translator& t, const CollectionTarget& target, int returning,
                           const std::string& alias, int64_t parent_object_id, const ReturnedElement& element) {
  const int end = t.end_index();
  if (returning >= end) return "";
  const int into = find_top_level(t, returning + 1, end, {"INTO"});
  if (into >= end) t.fail(925, end);
  std::string items;
  for (auto [begin, stop] : comma_list(t, returning + 1, into)) {
    items += (items.empty() ? "" : ", ") + returned_item(t, target, begin, stop, alias, parent_object_id, element);
  }
  return " RETURNING " + items + " INTO " + t.original_text(into + 1, end);
}

// The alias an INSERT gives the elements (INSERT INTO TABLE(...) p ...).
std::string inserted_alias(const Translator& t, int index) {
  if (t.token(index).is_op("(") || t.word_at(index, "VALUES")) return std::string(kElementAlias);
  return t.identifier(index);
}

}  // namespace

std::optional<std::string> Translator::collection_dml_text() const {
  int open = 0;
  if (word_at(0, "INSERT") && word_at(1, "INTO")) open = 3;
  if (word_at(0, "UPDATE")) open = 2;
  if (word_at(0, "DELETE")) open = word_at(1, "FROM") ? 3 : 2;
  if (open == 0 || !(word_at(open - 1, "TABLE") || word_at(open - 1, "THE"))) return std::nullopt;
  std::optional<CollectionTarget> target = read_target(*this, open);
  if (!target) return std::nullopt;
  int64_t parent_object_id = 0;
  take_collection_type(*this, *target, subquery_type(open + 1, matching(open), &parent_object_id), open, db_);
  int i = matching(open) + 1;
  const int end = find_top_level(*this, i, end_index(), {"RETURNING", "RETURN"});
  const bool returns = end < end_index();
  const ReturnedElement changed{target->item, "OCIEMU_NOTED_ELEMENT()"};
  if (word_at(0, "INSERT")) {
    return collection_insert(*this, *target, i, end) +
           returned_items(*this, *target, end, inserted_alias(*this, i), parent_object_id, {target->item, "-1"});
  }
  const std::string alias = element_alias(*this, i);
  if (word_at(0, "DELETE")) {
    if (i < end && !word_at(i, "WHERE")) fail_not_ended(i);
    std::string condition = i < end ? with_element_alias(*this, i + 1, end, alias) : "";
    if (condition.empty() && !returns) return parent_update(*target, "OCIEMU_COLLECTION_EMPTY(" + target->item + ")", "");
    if (condition.empty()) condition = "1 = 1";
    // A deleted element is gone from the rebuilt collection: RETURNING reads the one noted before.
    const std::string deleted = returns ? "(" + condition + ") AND OCIEMU_NOTE_ELEMENT(" +
                                              std::string(kElementAlias) + ".ROWID) = 1"
                                        : condition;
    return parent_update(*target,
                         rebuilt(*target, current_values(*target), "CASE WHEN " + deleted + " THEN 0 ELSE 1 END = 1",
                                 returns),
                         having_elements(*target, condition)) +
           returned_items(*this, *target, end, alias, parent_object_id,
                          {"OCIEMU_NOTED_COLLECTION()", "OCIEMU_NOTED_ELEMENT()"});
  }
  expect_word(i, "SET");
  const int where = find_top_level(*this, i, end, {"WHERE"});
  const std::string condition = where < end ? with_element_alias(*this, where + 1, end, alias) : "";
  std::vector<std::string> values = current_values(*target);
  const bool noting = returns;
  // The first assignment notes which element changed, for RETURNING.
  std::string noted_condition = condition;
  if (noting)
    noted_condition = (condition.empty() ? "" : "(" + condition + ") AND ") + "OCIEMU_NOTE_ELEMENT(" +
                      std::string(kElementAlias) + ".ROWID) = 1";
  for (auto [begin, stop] : comma_list(*this, i, where)) {
    int equals = begin;
    while (equals < stop && !token(equals).is_op("=")) ++equals;
    const int attribute = assigned_attribute(*this, *target, begin, equals, alias);
    if (equals >= stop) fail(927, equals);
    if (attribute < 0) fail(904, {text_of_tokens(*this, begin, equals)}, begin);
    const std::string value = with_element_alias(*this, equals + 1, stop, alias);
    const std::string& guard = begin == i ? noted_condition : condition;
    values[static_cast<size_t>(attribute)] =
        guard.empty() ? value
                      : "CASE WHEN " + guard + " THEN " + value + " ELSE " + values[static_cast<size_t>(attribute)] +
                            " END";
  }
  return parent_update(*target, rebuilt(*target, values, "", noting), having_elements(*target, condition)) +
         returned_items(*this, *target, end, alias, parent_object_id, changed);
}

void Translator::translate_collection_dml(const std::string& text) {
  Translation restated = Translator(text, db_, session_, resolver_).run();
  // Binds keep the positions they have in the statement as written.
  std::vector<Placeholder> placeholders;
  // RETURNING's targets are out-only, even when the statement also reads the same name.
  const int returning = find_top_level(*this, 0, end_index(), {"RETURNING", "RETURN"});
  for (const Token& t : tokens_) {
    if (t.kind != TokenKind::Placeholder) continue;
    if (&t - tokens_.data() > returning) {
      placeholders.push_back(Placeholder{t.text, 0});
      continue;
    }
    auto same = std::find_if(restated.placeholders.begin(), restated.placeholders.end(),
                             [&](const Placeholder& p) { return p.name == t.text; });
    placeholders.push_back(Placeholder{t.text, same == restated.placeholders.end() ? 0 : same->sqlite_index});
  }
  restated.placeholders = std::move(placeholders);
  restated.kind = out_.kind;
  restated.sql_function_code = out_.sql_function_code;
  restated.statement_type = out_.statement_type;
  out_ = std::move(restated);
}

}  // namespace ociemu::sql
