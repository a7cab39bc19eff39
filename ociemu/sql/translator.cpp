#include "ociemu/sql/translator.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <utility>

#include "ociemu/sql/cursor_rows.h"
#include "ociemu/sql/ddl.h"
#include "ociemu/sql/errors.h"
#include "ociemu/sql/exact_number.h"
#include "ociemu/sql/functions.h"
#include "ociemu/sql/schema_text.h"
#include "ociemu/sql/sqlite_query.h"
#include "ociemu/sql/triggers.h"

namespace ociemu::sql {

// ---- scope --------------------------------------------------------------------------------

const TableRef* Scope::find_alias(std::string_view alias) const {
  for (const Scope* scope = this; scope; scope = scope->parent) {
    for (const TableRef& table : scope->tables) {
      if (table.alias == alias) return &table;
    }
  }
  return nullptr;
}

bool Scope::is_with_name(std::string_view name) const {
  for (const Scope* scope = this; scope; scope = scope->parent) {
    if (std::find(scope->with_names.begin(), scope->with_names.end(), name) != scope->with_names.end()) return true;
  }
  return false;
}

// ---- basics -------------------------------------------------------------------------------

namespace {
// A NUMBER literal past NUMBER's range. Oracle refuses it as it reads the text, before any
// syntax error after it ("1.0e126.0" is ORA-01426, not ORA-00933).
bool overflows_number(const Token& t) {
  if (t.kind != TokenKind::Number || t.length != static_cast<int>(t.text.size())) return false;  // 1e200d: BINARY_DOUBLE
  const size_t exponent = t.text.find_first_of("eE");
  if (exponent != std::string::npos && t.text.find('-', exponent) != std::string::npos) return false;  // reads as 0
  return !Decimal::parse(t.text);
}
}  // namespace

Translator::Translator(std::string_view sql, sqlite3* db, SessionContext& session, NameResolver* resolver)
    : sql_(sql), db_(db), session_(session), resolver_(resolver) {}

int Translator::matching(int open_index) const { return match_[static_cast<size_t>(open_index)]; }

void Translator::fail(int code, MessageArgs args, int token_index) const {
  int index = std::clamp(token_index, 0, end_index());
  throw_oracle(code, args, token(index).offset);
}

void Translator::fail_not_ended(int token_index) const { fail(933, token_index); }

int Translator::first_reserved_placeholder_offset(bool plsql) const {
  if (plsql) return -1;
  for (int i = 0; i < end_index(); ++i) {
    const Token& t = token(i);
    if (t.kind != TokenKind::Placeholder || !is_reserved_bind_name(t.text)) continue;
    const size_t after_colon = static_cast<size_t>(t.offset) + 1;
    if (after_colon < sql_.size() && sql_[after_colon] == '"') continue;  // quoted names may be anything
    return t.offset;
  }
  return -1;
}

void Translator::expect_word(int& index, std::string_view word) const {
  if (!word_at(index, word)) {
    if (word == "INTO") fail(925, index);
    if (word == "SET") fail(971, index);
    if (word == "AS") fail(905, index);
    fail(905, index);
  }
  ++index;
}

std::string Translator::identifier(int index) const {
  const Token& t = token(index);
  if (t.kind == TokenKind::QuotedName) return t.text;
  if (t.kind == TokenKind::Word && !is_reserved_word(t.text)) return t.text;
  if (t.kind == TokenKind::End) fail(921, index);
  fail(903, index);
}

int Translator::read_object_name(int index, std::string& owner, std::string& name) const {
  name = identifier(index++);
  owner.clear();
  if (token(index).is_op(".")) {
    owner = name;
    name = identifier(index + 1);
    index += 2;
  }
  return index;
}

SchemaObject Translator::resolve_table(int name_index, const std::string& owner, const std::string& name) const {
  auto object = resolve_object(db_, session_, owner, name);
  if (!object || (object->type != "TABLE" && object->type != "VIEW"))
    fail(942, name_index);
  return *object;
}

std::string Translator::placeholder(const Token& t) {
  auto found = std::find(placeholder_names_.begin(), placeholder_names_.end(), t.text);
  int index = static_cast<int>(found - placeholder_names_.begin()) + 1;
  if (found == placeholder_names_.end()) placeholder_names_.push_back(t.text);
  out_.placeholders.push_back(Placeholder{t.text, index});
  return "?" + std::to_string(index);
}

// ---- driver -------------------------------------------------------------------------------

Translation Translator::run() {
  load_tokens();
  dispatch();
  out_.reserved_bind_offset = reserved_bind_offset_;
  return std::move(out_);
}

void Translator::load_tokens() {
  tokens_ = tokenize(sql_);
  match_.assign(tokens_.size(), -1);
  std::vector<int> open;
  for (int i = 0; i < end_index(); ++i) {
    if (token(i).is_op("(")) {
      open.push_back(i);
    } else if (token(i).is_op(")")) {
      if (open.empty()) fail_not_ended(i);
      match_[static_cast<size_t>(open.back())] = i;
      match_[static_cast<size_t>(i)] = open.back();
      open.pop_back();
    }
  }
  if (tokens_.size() == 1) fail(900, 0);
  bool plsql = word_at(0, "BEGIN") || word_at(0, "DECLARE") ||
               (word_at(0, "CREATE") && (std::any_of(tokens_.begin(), tokens_.begin() + std::min(6, end_index()),
                                                     [](const Token& t) {
                                                       return t.is_word("PROCEDURE") || t.is_word("FUNCTION") ||
                                                              t.is_word("PACKAGE") || t.is_word("TRIGGER") ||
                                                              t.is_word("TYPE");
                                                     })));
  if (!plsql) {
    for (int i = 0; i < end_index(); ++i) {
      if (overflows_number(token(i))) fail(1426, i);
    }
    if (!open.empty()) fail(907, end_index());
    for (int i = 0; i < end_index(); ++i) {
      if (token(i).is_op(";")) fail(911, i);
    }
  }
  reserved_bind_offset_ = first_reserved_placeholder_offset(plsql);
}

namespace {
struct Kind {
  StatementKind kind;
  int function_code;
  int statement_type;
};
}  // namespace

void Translator::dispatch() {
  auto set = [&](Kind k) {
    out_.kind = k.kind;
    out_.sql_function_code = k.function_code;
    out_.statement_type = k.statement_type;
  };
  const Token& first = token(0);
  if (first.is_word("SELECT") || first.is_word("WITH") || (first.is_op("(") && word_at(1, "SELECT"))) {
    set({StatementKind::Select, 4, 1});
    return translate_select();
  }
  if (first.is_word("INSERT") || first.is_word("UPDATE") || first.is_word("DELETE")) {
    if (first.is_word("INSERT")) set({StatementKind::Insert, 3, 4});
    if (first.is_word("UPDATE")) set({StatementKind::Update, 5, 2});
    if (first.is_word("DELETE")) set({StatementKind::Delete, 9, 3});
    if (auto restated = collection_dml_text()) return translate_collection_dml(*restated);
  }
  if (first.is_word("INSERT")) return set({StatementKind::Insert, 3, 4}), translate_insert();
  if (first.is_word("UPDATE")) return set({StatementKind::Update, 5, 2}), translate_update();
  if (first.is_word("DELETE")) return set({StatementKind::Delete, 9, 3}), translate_delete();
  if (first.is_word("MERGE")) {
    return set({StatementKind::Merge, 189, 16}), translate_merge();
  }
  if (first.is_word("CREATE")) return translate_create();
  if (first.is_word("DROP")) return translate_drop();
  if (first.is_word("ALTER")) return translate_alter();
  if (first.is_word("TRUNCATE")) return translate_truncate();
  if (first.is_word("BEGIN")) return set({StatementKind::PlsqlBlock, 34, 8});
  if (first.is_word("DECLARE")) return set({StatementKind::PlsqlBlock, 34, 9});
  if (first.is_word("CALL")) return set({StatementKind::Other, 170, 10});
  if (first.is_word("COMMIT")) return set({StatementKind::Commit, 54, 21});
  if (first.is_word("ROLLBACK")) {
    int i = 1;
    if (word_at(i, "WORK")) ++i;
    if (word_at(i, "TO")) {
      ++i;
      if (word_at(i, "SAVEPOINT")) ++i;
      out_.savepoint = identifier(i);
      if (token(i + 1).kind != TokenKind::End) fail_not_ended(i + 1);
      return set({StatementKind::RollbackToSavepoint, 55, 17});
    }
    if (token(i).kind != TokenKind::End) fail_not_ended(i);
    return set({StatementKind::Rollback, 55, 17});
  }
  if (first.is_word("SAVEPOINT")) {
    out_.savepoint = identifier(1);
    if (token(2).kind != TokenKind::End) fail_not_ended(2);
    return set({StatementKind::Savepoint, 56, 0});
  }
  if (first.is_word("SET") && word_at(1, "TRANSACTION")) return set({StatementKind::SetTransaction, 33, 0});
  if (first.is_word("SET") && word_at(1, "ROLE")) return set({StatementKind::Other, 2, 0});
  if (first.is_word("LOCK") && word_at(1, "TABLE")) {
    std::string owner, name;
    int i = read_object_name(2, owner, name);
    out_.locked_table = resolve_table(2, owner, name).sqlite_name();
    for (; i < end_index(); ++i) out_.nowait = out_.nowait || word_at(i, "NOWAIT");
    return set({StatementKind::Lock, 35, 0});
  }
  if (first.is_word("EXPLAIN")) return set({StatementKind::Explain, 27, 15});
  if (first.is_word("GRANT")) return translate_other_ddl(28);
  if (first.is_word("REVOKE")) return translate_other_ddl(29);
  if (first.is_word("COMMENT")) return translate_other_ddl(38);
  if (first.is_word("AUDIT")) return translate_other_ddl(39);
  if (first.is_word("NOAUDIT")) return translate_other_ddl(40);
  if (first.is_word("ANALYZE")) return translate_other_ddl(62);
  if (first.is_word("RENAME")) return translate_other_ddl(37);
  if (first.is_word("PURGE")) {
    // Nothing is ever in a recycle bin here, but the option must still be one Oracle knows.
    const bool known = word_at(1, "TABLE") || word_at(1, "INDEX") || word_at(1, "TABLESPACE") ||
                       word_at(1, "RECYCLEBIN") || word_at(1, "DBA_RECYCLEBIN");
    if (!known) fail(38302, 1);
    return translate_other_ddl(0);
  }
  fail(900, 0);
}

// ---- queries ------------------------------------------------------------------------------

void Translator::translate_select() {
  int end = end_index();
  // FOR UPDATE [OF ...] [NOWAIT | WAIT n | SKIP LOCKED] at the outer level.
  for (int i = 0; i < end_index(); ++i) {
    if (token(i).is_op("(")) {
      i = matching(i);
      continue;
    }
    if (!(word_at(i, "FOR") && word_at(i + 1, "UPDATE"))) continue;
    end = i;
    out_.for_update = true;
    int j = i + 2;
    if (word_at(j, "OF")) {
      ++j;
      // The first OF column names the table to lock: alias.column or column.
      std::string first = identifier(j);
      if (token(j + 1).is_op(".")) lock_alias_ = first;
      while (j < end_index() && !word_at(j, "NOWAIT") && !word_at(j, "WAIT") && !word_at(j, "SKIP")) ++j;
    }
    if (word_at(j, "NOWAIT")) {
      out_.nowait = true;
      ++j;
    } else if (word_at(j, "WAIT") && token(j + 1).kind == TokenKind::Number) {
      j += 2;
    } else if (word_at(j, "SKIP") && word_at(j + 1, "LOCKED")) {
      j += 2;
    }
    if (j != end_index()) fail_not_ended(j);
    break;
  }
  out_.sqlite_sql.push_back(query(0, end, nullptr));
}

std::string Translator::query(int begin, int end, const Scope* parent) {
  const bool top_level = parent == nullptr && begin == top_query_begin_;
  CursorShape* sink = std::exchange(cursor_sink_, nullptr);  // not for the WITH queries
  std::string sql;
  auto with_scope = std::make_unique<Scope>();
  with_scope->parent = parent;
  int i = begin;
  if (word_at(i, "WITH")) {
    sql += "WITH ";
    ++i;
    while (true) {
      std::string name = identifier(i++);
      with_scope->with_names.push_back(name);
      sql += quote_name(name);
      if (token(i).is_op("(")) {
        sql += "(" + rewrite(i + 1, matching(i), *with_scope) + ")";
        i = matching(i) + 1;
      }
      expect_word(i, "AS");
      if (!token(i).is_op("(")) fail(906, i);
      sql += " AS (" + query(i + 1, matching(i), with_scope.get()) + ")";
      i = matching(i) + 1;
      if (!token(i).is_op(",")) break;
      sql += ", ";
      ++i;
    }
    sql += " ";
  }
  auto part = [&](int b, int e, bool only_part) {
    if (b >= e) fail(928, b);
    struct Restore {
      bool& flag;
      bool saved;
      ~Restore() { flag = saved; }
    } restore{in_compound_, std::exchange(in_compound_, !only_part)};
    cursor_sink_ = std::exchange(sink, nullptr);  // the first part names a CURSOR's columns
    if (token(b).is_op("(")) {
      int close = matching(b);
      std::string inner = "SELECT * FROM (" + query(b + 1, close, with_scope.get()) + ")";
      return close + 1 < e ? inner + " " + rewrite(close + 1, e, *with_scope) : inner;
    }
    return select_part(b, e, with_scope.get(), top_level && only_part);
  };
  const std::string with_sql = std::exchange(sql, std::string());
  int part_start = i;
  bool compound = false;
  for (int j = i; j < end; ++j) {
    if (token(j).is_op("(")) {
      j = matching(j);
      continue;
    }
    bool set_operator = word_at(j, "UNION") || word_at(j, "INTERSECT") || word_at(j, "MINUS") || word_at(j, "EXCEPT");
    if (!set_operator) continue;
    sql += part(part_start, j, false);
    compound = true;
    if (word_at(j, "UNION") && word_at(j + 1, "ALL")) {
      sql += " UNION ALL ";
      ++j;
    } else {
      sql += word_at(j, "MINUS") ? " EXCEPT " : " " + token(j).text + " ";
    }
    part_start = j + 1;
  }
  const int order = compound ? find_top_level(*this, part_start, end, {"ORDER"}) : end;
  if (order < end && word_at(order + 1, "BY") && find_top_level(*this, order, end, {"OFFSET", "FETCH"}) == end) {
    const std::string combined = sql + part(part_start, order, false);
    if (auto ordered = compound_order(with_sql, combined, order, end, *with_scope)) return *ordered;
  }
  sql += part(part_start, end, !compound);
  return with_sql + sql;
}

std::optional<std::string> Translator::compound_order(const std::string& with_sql, const std::string& compound,
                                                      int order, int end, const Scope& scope) {
  const std::string rows = with_sql + "SELECT * FROM (" + compound + ")";
  std::vector<std::string> names;
  {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, rows.c_str(), static_cast<int>(rows.size()), &stmt, nullptr) != SQLITE_OK) {
      sqlite3_finalize(stmt);
      return std::nullopt;
    }
    for (int c = 0; c < sqlite3_column_count(stmt); ++c) names.emplace_back(sqlite3_column_name(stmt, c));
    sqlite3_finalize(stmt);
  }
  // SQLite renames a repeated heading in a sub-query ("A:1"), which would change what the client sees.
  for (const std::string& name : names) {
    if (name.find(':') != std::string::npos) return std::nullopt;
  }
  std::string sql = rows + " ORDER BY";
  for (int item = order + 2; item < end;) {
    int item_end = item;
    while (item_end < end && !token(item_end).is_op(",")) {
      item_end = token(item_end).is_op("(") ? matching(item_end) + 1 : item_end + 1;
    }
    std::string name;
    const Token& first = token(item);
    if (first.kind == TokenKind::Number) {
      const long position = std::strtol(first.text.c_str(), nullptr, 10);
      if (position < 1 || position > static_cast<long>(names.size())) fail(1785, item);
      name = names[static_cast<size_t>(position - 1)];
    } else if (first.kind == TokenKind::Word || first.kind == TokenKind::QuotedName) {
      name = identifier(item);
    } else {
      fail(1785, item);
    }
    if (item + 1 < item_end && !word_at(item + 1, "ASC") && !word_at(item + 1, "DESC") && !word_at(item + 1, "NULLS"))
      fail(1785, item);
    sql += std::string(" ") + kStoredNumberKeyFunction + "(" + quote_name(name) + ")";
    if (item + 1 < item_end) sql += " " + rewrite(item + 1, item_end, scope);
    if (find_top_level(*this, item + 1, item_end, {"NULLS"}) == item_end) {
      sql += find_top_level(*this, item + 1, item_end, {"DESC"}) == item_end ? " NULLS LAST" : " NULLS FIRST";
    }
    if (item_end < end) sql += ",";
    item = item_end + 1;
  }
  return sql;
}

namespace {
bool ends_operand(const Token& t) {
  switch (t.kind) {
    case TokenKind::Number:
    case TokenKind::String:
    case TokenKind::NationalString:
    case TokenKind::Placeholder:
    case TokenKind::QuotedName:
      return true;
    case TokenKind::Word:
      return t.text == "END" || !is_clause_keyword(t.text) || t.text == "NULL";
    default:
      return t.is_op(")") || t.is_op("*");
  }
}

constexpr int kCursorTypeCode = 116;  // SQLT_RSET
OracleType cursor_column_type() { return OracleType{kCursorTypeCode, 8, 0, 0, 0, 1, "REF CURSOR"}; }

bool is_star_item(const std::vector<Token>& tokens, int begin, int end) {
  return tokens[static_cast<size_t>(end - 1)].is_op("*") && (end - begin == 1 || tokens[static_cast<size_t>(end - 2)].is_op("."));
}
}  // namespace

std::string Translator::cursor_expression(int open, const Scope& scope, CursorShape& shape) {
  int close = matching(open);
  if (!word_at(open + 1, "SELECT") && !word_at(open + 1, "WITH")) fail(928, open + 1);
  cursor_sink_ = &shape;
  std::string inner = query(open + 1, close, &scope);
  cursor_sink_ = nullptr;
  if (shape.columns.empty()) fail(936, open + 1);
  std::string names;
  for (size_t k = 1; k <= shape.columns.size(); ++k) names += (k > 1 ? ", C" : "C") + std::to_string(k);
  // A scalar sub-query packing every row: SQLite correlates it with the enclosing row.
  return "(WITH OCIEMU_CURSOR(" + names + ") AS (" + inner + ") SELECT " + std::string(kCursorRowsFunction) + "(" +
         names + ") FROM OCIEMU_CURSOR)";
}

void Translator::add_cursor_columns(CursorShape& shape, int begin, int end, const std::string& alias,
                                    const Expression& value, const Scope& scope) const {
  auto declared = [](const std::string& text) -> std::optional<OracleType> {
    return text.empty() ? std::nullopt : parse_declared_type(text.c_str());
  };
  if (is_star_item(tokens_, begin, end)) {
    std::vector<const TableRef*> tables;
    if (end - begin == 1) {
      for (const TableRef& table : scope.tables) tables.push_back(&table);
    } else if (const TableRef* table = scope.find_alias(identifier(end - 3))) {
      tables.push_back(table);
    }
    for (const TableRef* table : tables) {
      for (const std::string& column : table_columns(db_, table->resolved ? table->object.sqlite_name() : table->alias)) {
        shape.columns.push_back({column, declared(declared_type(*table, column).value_or("")), nullptr});
      }
    }
    return;
  }
  std::string name = !alias.empty() ? alias : value.plain_column ? identifier(end - 1) : heading_text(begin, end);
  std::optional<OracleType> type = value.plain_column        ? declared(value.column_declaration)
                                   : !value.declared.empty() ? declared(value.declared)
                                                             : hint_for(value);
  shape.columns.push_back({name, type, nullptr});
}

int find_top_level(const Translator& t, int begin, int end, std::initializer_list<std::string_view> words) {
  for (int i = begin; i < end; ++i) {
    if (t.token(i).is_op("(")) {
      i = t.matching(i);
      continue;
    }
    for (std::string_view word : words) {
      if (t.word_at(i, word)) return i;
    }
  }
  return end;
}

std::string Translator::select_part(int begin, int end, const Scope* parent, bool top_level) {
  CursorShape* sink = std::exchange(cursor_sink_, nullptr);
  // A query inside a WHERE term answers for its own (+) marks.
  const bool enclosing_marks_allowed = std::exchange(outer_join_marks_allowed_, false);
  int i = begin;
  if (!word_at(i, "SELECT")) fail(928, i);
  ++i;
  std::string sql = "SELECT ";
  bool distinct = false;
  if (word_at(i, "DISTINCT") || word_at(i, "UNIQUE")) {
    sql += "DISTINCT ";
    distinct = true;
    ++i;
  } else if (word_at(i, "ALL")) {
    ++i;
  }
  int from = -1;
  for (int j = i; j < end; ++j) {
    if (token(j).is_op("(")) {
      j = matching(j);
    } else if (word_at(j, "FROM")) {
      from = j;
      break;
    }
  }
  if (from < 0) fail(923, end);
  if (from == i) fail(936, from);
  int clause = end;
  bool grouped = false;
  for (int j = from + 1; j < end; ++j) {
    if (token(j).is_op("(")) {
      j = matching(j);
      continue;
    }
    const Token& t = token(j);
    if (t.is_word("WHERE") || t.is_word("GROUP") || t.is_word("HAVING") || t.is_word("ORDER") ||
        t.is_word("CONNECT") || t.is_word("START") || t.is_word("FETCH") || t.is_word("OFFSET") ||
        t.is_word("WINDOW") || t.is_word("MODEL")) {
      clause = j;
      break;
    }
  }
  for (int j = clause; j < end; ++j) grouped = grouped || word_at(j, "GROUP");

  Scope scope;
  scope.parent = parent;
  FromParts from_parts;
  std::string from_sql = from_clause(from + 1, clause, scope, &from_parts);
  int where_end = clause;
  if (word_at(clause, "WHERE")) {
    where_end = clause + 1;
    while (where_end < end && !word_at(where_end, "GROUP") && !word_at(where_end, "HAVING") &&
           !word_at(where_end, "ORDER") && !word_at(where_end, "CONNECT") && !word_at(where_end, "START") &&
           !word_at(where_end, "OFFSET") && !word_at(where_end, "FETCH")) {
      where_end = token(where_end).is_op("(") ? matching(where_end) + 1 : where_end + 1;
    }
  }
  const std::vector<int> joined_terms =
      where_end > clause ? outer_join_marks(clause + 1, where_end, scope, from_parts, from_sql) : std::vector<int>{};
  const int hierarchy_at = find_top_level(*this, clause, end, {"START", "CONNECT"});
  const std::optional<Hierarchy> hierarchy = hierarchy_clauses(hierarchy_at, end);
  if (hierarchy && (scope.tables.size() != 1 || scope.tables.front().collection || out_.for_update))
    fail(3001, hierarchy_at);
  const std::string outer_level = std::exchange(
      level_sql_, hierarchy ? quote_name(scope.tables.front().alias) + ".\"OCIEMU$LEVEL\"" : std::string());

  // The select list, item by item, so that expressions get Oracle's column headings.
  std::map<std::string, std::string> exact_aliases;
  int item_start = i;
  bool first_item = true;
  for (int j = i; j <= from; ++j) {
    if (j < from && token(j).is_op("(")) {
      j = matching(j);
      continue;
    }
    if (j < from && !token(j).is_op(",")) continue;
    if (j == item_start) fail(936, j);
    if (!first_item) sql += ", ";
    first_item = false;
    int expression_end = j;
    std::string alias;
    // INTERVAL '3' YEAR, x AT LOCAL, x AT TIME ZONE DBTIMEZONE end in a word that is no alias.
    auto ends_datetime_qualifier = [&](int at) {
      return (token(at - 2).kind == TokenKind::String && word_at(at - 3, "INTERVAL")) || word_at(at - 2, "AT") ||
             word_at(at - 2, "ZONE");
    };
    const Token& last = token(j - 1);
    if (j - item_start >= 2 && (last.kind == TokenKind::QuotedName ||
                                (last.kind == TokenKind::Word && !is_clause_keyword(last.text)))) {
      const Token& before = token(j - 2);
      if (before.is_word("AS")) {
        alias = last.text;
        expression_end = j - 2;
      } else if (ends_operand(before) && !before.is_op("*") && !ends_datetime_qualifier(j)) {
        alias = last.text;
        expression_end = j - 1;
      }
    }
    if (auto spelled = is_star_item(tokens_, item_start, expression_end)
                           ? collection_star(item_start, expression_end, scope, top_level)
                           : std::nullopt) {
      sql += *spelled;
    } else if (is_star_item(tokens_, item_start, expression_end)) {
      std::string star = hierarchy ? hierarchy_star(scope) : rewrite(item_start, expression_end, scope);
      sql += star;
      if (top_level) {
        size_t columns = 0;
        if (expression_end - item_start == 1) {
          for (const TableRef& table : scope.tables) columns += table_columns(db_, table.resolved ? table.object.sqlite_name() : table.alias).size();
        } else if (const TableRef* table = scope.find_alias(identifier(expression_end - 3))) {
          columns = table_columns(db_, table->resolved ? table->object.sqlite_name() : table->alias).size();
        }
        out_.select_types.resize(out_.select_types.size() + columns);
      }
      if (sink) add_cursor_columns(*sink, item_start, expression_end, alias, {}, scope);
    } else if (word_at(item_start, "CURSOR") && token(item_start + 1).is_op("(") &&
               matching(item_start + 1) == expression_end - 1) {
      auto shape = std::make_shared<CursorShape>();
      sql += cursor_expression(item_start + 1, scope, *shape);
      std::string heading = alias.empty() ? heading_text(item_start, expression_end) : alias;
      sql += " AS " + quote_name(heading);
      if (top_level) {
        out_.select_types.push_back(cursor_column_type());
        out_.cursor_columns.resize(out_.select_types.size());
        out_.cursor_columns.back() = std::move(shape);
      } else if (sink) {
        sink->columns.push_back({heading, cursor_column_type(), std::move(shape)});
      }
    } else {
      Expression value;
      int consumed = starts_operand(item_start) ? expression(item_start, expression_end, scope, value) : item_start;
      if (consumed != expression_end) {
        value.text = rewrite(item_start, expression_end, scope);
        value.type = ValueType::Unknown;
        value.plain_column = false;
        value.char_bytes = 0;
      }
      std::string lob_table, lob_column;
      const bool may_defer = top_level && value.plain_column && out_.kind == StatementKind::Select && !distinct &&
                             !grouped && !out_.for_update && resolver_ == nullptr;
      std::optional<OracleType> lob = may_defer ? plain_lob_column(item_start, expression_end, scope, lob_table, lob_column)
                                                : std::nullopt;
      if (lob) {
        const std::string name = identifier(expression_end - 1);
        out_.deferred_lobs.push_back({static_cast<int>(out_.select_types.size()), lob_table, lob_column});
        sql += "typeof(" + value.text + ") AS " + quote_name(alias.empty() ? name : alias);
        out_.select_types.push_back(lob);
        last_lob_attribute_.reset();
        item_start = j + 1;
        continue;
      }
      sql += value.text;
      if (!alias.empty() && may_hold_exact(value)) exact_aliases.emplace(alias, value.text);
      if (!alias.empty()) {
        sql += " AS " + quote_name(alias);
      } else if (value.type == ValueType::Rowid && expression_end - item_start <= 3 &&
                 word_at(expression_end - 1, "ROWID")) {
        sql += " AS \"ROWID\"";  // alias.ROWID is headed ROWID, as a qualified column is by its name
      } else if (!value.plain_column) {
        sql += " AS " + quote_name(heading_text(item_start, expression_end));
      }
      // Plain columns describe from their declaration; hints are for computed values.
      if (top_level && last_lob_attribute_ && consumed == expression_end && last_lob_attribute_->first == value.text) {
        last_lob_attribute_->second.select_index = static_cast<int>(out_.select_types.size());
        out_.lob_attributes.push_back(last_lob_attribute_->second);
      }
      last_lob_attribute_.reset();
      if (top_level) {
        out_.select_types.push_back(value.plain_column        ? std::nullopt
                                    : !value.declared.empty() ? parse_declared_type(value.declared.c_str())
                                                              : hint_for(value));
      }
      if (sink) add_cursor_columns(*sink, item_start, expression_end, alias, value, scope);
    }
    item_start = j + 1;
  }
  if (top_level && out_.for_update && !distinct && !grouped) {
    const TableRef* locked = lock_alias_.empty() ? nullptr : scope.find_alias(lock_alias_);
    if (!locked) {
      for (const TableRef& table : scope.tables) {
        if (table.resolved) {
          locked = &table;
          break;
        }
      }
    }
    if (locked && locked->rowid_base) {
      // A row of a view is its base table's row.
      out_.locked_table = locked->rowid_base->sqlite_name();
      sql += ", OCIEMU_ROWID_ROW(" + quote_name(locked->alias) + "." + quote_name(kViewRowidColumn) + ", " +
             std::to_string(locked->rowid_base->object_id) + ")";
      out_.lock_rowid_column = static_cast<int>(out_.select_types.size()) + 1;
    } else if (locked) {
      out_.locked_table = locked->object.sqlite_name();
      if (locked->object.type == "TABLE") {
        sql += ", " + quote_name(locked->alias) + ".rowid";
        out_.lock_rowid_column = static_cast<int>(out_.select_types.size()) + 1;
      }
    }
  }
  if (top_level && out_.kind == StatementKind::Select && !distinct && !grouped && !hierarchy) {
    int next = static_cast<int>(out_.select_types.size()) + (out_.lock_rowid_column > 0 ? 2 : 1);
    for (const TableRef& table : scope.tables) {
      if (!table.resolved || table.object.type != "TABLE" || !has_lob_column(table)) continue;
      sql += ", " + quote_name(table.alias) + ".rowid";
      out_.lob_rowids.push_back({table.object.sqlite_name(), next++});
    }
  }
  sql += " FROM " + (hierarchy ? hierarchical_source(*hierarchy, from_sql, scope) : from_sql);
  std::string limit;
  if (word_at(clause, "WHERE")) {
    std::string condition = where_condition(clause + 1, where_end, scope, limit, joined_terms);
    outer_join_marks_allowed_ = false;
    if (!condition.empty()) sql += " WHERE " + condition;
    clause = where_end;
  }
  if (hierarchy) clause = hierarchy->end;
  const int row_limit = find_top_level(*this, clause, end, {"OFFSET", "FETCH"});
  if (clause < row_limit) sql += " " + closing_clauses(clause, row_limit, scope, exact_aliases);
  if (row_limit < end) sql += " " + row_limiting_clause(row_limit, end, scope, limit);
  if (row_limit == end && !limit.empty()) sql += " LIMIT " + limit;
  level_sql_ = outer_level;
  outer_join_marks_allowed_ = enclosing_marks_allowed;
  return sql;
}

std::string Translator::closing_clauses(int begin, int end, const Scope& scope,
                                       const std::map<std::string, std::string>& exact_aliases) {
  const int order = find_top_level(*this, begin, end, {"ORDER"});
  if (order == end || in_compound_ || !word_at(order + 1, "BY")) return rewrite(begin, end, scope);
  std::string sql = order > begin ? rewrite(begin, order, scope) + " ORDER BY" : "ORDER BY";
  for (int item = order + 2; item < end;) {
    int item_end = item;
    while (item_end < end && !token(item_end).is_op(",")) {
      item_end = token(item_end).is_op("(") ? matching(item_end) + 1 : item_end + 1;
    }
    int rest = item;
    Expression value;
    const bool bare_name = (token(item).kind == TokenKind::Word || token(item).kind == TokenKind::QuotedName) &&
                           (item + 1 == item_end || word_at(item + 1, "ASC") || word_at(item + 1, "DESC") ||
                            word_at(item + 1, "NULLS"));
    // A bare name is the alias before it is a column, as in Oracle.
    if (auto aliased = bare_name ? exact_aliases.find(token(item).text) : exact_aliases.end();
        aliased != exact_aliases.end()) {
      sql += " " + order_key(aliased->second);
      rest = item + 1;
    } else if (starts_operand(item)) {
      rest = expression(item, item_end, scope, value);
      sql += " " + (may_hold_exact(value) ? order_key(value.text) : value.text);
    }
    if (rest < item_end) sql += " " + rewrite(rest, item_end, scope);
    // Oracle sorts NULL above every value; a column without NULLs keeps its index order.
    if (!value.not_null && find_top_level(*this, rest, item_end, {"NULLS"}) == item_end) {
      sql += find_top_level(*this, rest, item_end, {"DESC"}) == item_end ? " NULLS LAST" : " NULLS FIRST";
    }
    if (item_end < end) sql += ",";
    item = item_end + 1;
  }
  return sql;
}

// [OFFSET n ROW[S]] [FETCH FIRST|NEXT [n] ROW[S] ONLY] as SQLite's LIMIT and OFFSET; a ROWNUM
// limit of the WHERE clause, counted before the offset, caps the rows as well.
std::string Translator::row_limiting_clause(int begin, int end, const Scope& scope, const std::string& rownum_limit) {
  std::string offset = "0", count = "-1";
  auto read_count = [&](int at, int stop, std::string& into) {
    Expression value;
    int next = expression(at, stop, scope, value);
    into = "CAST(" + value.text + " AS INTEGER)";  // Oracle drops a fraction
    return next;
  };
  auto expect_rows = [&](int at) {
    if (!word_at(at, "ROW") && !word_at(at, "ROWS")) fail_not_ended(at);
    return at + 1;
  };
  int i = begin;
  if (word_at(i, "OFFSET")) i = expect_rows(read_count(i + 1, end, offset));
  if (word_at(i, "FETCH")) {
    if (!word_at(i + 1, "FIRST") && !word_at(i + 1, "NEXT")) fail_not_ended(i + 1);
    i += 2;
    count = "1";
    if (!word_at(i, "ROW") && !word_at(i, "ROWS")) i = read_count(i, end, count);
    if (word_at(i, "PERCENT")) fail(3001, i);
    i = expect_rows(i);
    if (word_at(i, "WITH") && word_at(i + 1, "TIES")) fail(3001, i);
    expect_word(i, "ONLY");
  }
  if (i != end) fail_not_ended(i);
  // Oracle returns no rows for a negative count or offset; SQLite would take them as "no limit".
  std::string rows = "max(" + count + ", 0)";
  if (count == "-1") rows = "-1";
  if (!rownum_limit.empty()) {
    std::string left = "max((" + rownum_limit + ") - max(" + offset + ", 0), 0)";
    rows = count == "-1" ? left : "min(" + rows + ", " + left + ")";
  }
  return "LIMIT " + rows + " OFFSET max(" + offset + ", 0)";
}

int Translator::case_end(int case_index, int end) const {
  int depth = 0;
  for (int i = case_index + 1; i < end; ++i) {
    if (token(i).is_op("(")) {
      i = matching(i);
    } else if (word_at(i, "CASE")) {
      ++depth;
    } else if (word_at(i, "END") && depth-- == 0) {
      return i;
    }
  }
  return end;
}

std::optional<std::vector<std::pair<int, int>>> Translator::top_level_conjuncts(int begin, int end) const {
  std::vector<std::pair<int, int>> conjuncts;
  int start = begin;
  bool between = false;
  for (int i = begin; i < end; ++i) {
    if (token(i).is_op("(")) {
      i = matching(i);
      continue;
    }
    if (word_at(i, "CASE")) {  // its ANDs and ORs are its own
      i = case_end(i, end);
      continue;
    }
    if (word_at(i, "OR")) return std::nullopt;
    if (word_at(i, "BETWEEN")) between = true;
    if (!word_at(i, "AND")) continue;
    if (between) {
      between = false;
      continue;
    }
    conjuncts.emplace_back(start, i);
    start = i + 1;
  }
  conjuncts.emplace_back(start, end);
  return conjuncts;
}

std::string Translator::where_condition(int begin, int end, const Scope& scope, std::string& limit,
                                        const std::vector<int>& moved) {
  if (begin >= end) fail(936, end);
  // With a top-level OR the condition stays whole.
  const auto conjuncts = top_level_conjuncts(begin, end);
  if (!conjuncts) return rewrite(begin, end, scope);
  std::string sql;
  for (auto [first, last] : *conjuncts) {
    if (std::find(moved.begin(), moved.end(), first) != moved.end()) continue;
    // ROWNUM <= n, ROWNUM < n and ROWNUM = 1 become a LIMIT.
    bool rownum = word_at(first, "ROWNUM") && last - first >= 3 &&
                  (token(first + 1).is_op("<=") || token(first + 1).is_op("<") || token(first + 1).is_op("="));
    if (rownum && limit.empty()) {
      Expression bound;
      if (expression(first + 2, last, scope, bound) == last) {
        const std::string& op = token(first + 1).text;
        limit = op == "<=" ? bound.text : op == "<" ? "(" + bound.text + ") - 1" : "CASE WHEN (" + bound.text + ") = 1 THEN 1 ELSE 0 END";
        continue;
      }
    }
    if (first >= last) fail(936, last);
    if (!sql.empty()) sql += " AND ";
    sql += rewrite(first, last, scope);
  }
  return sql;
}

std::string Translator::from_clause(int begin, int end, Scope& scope, FromParts* parts) {
  // Tables first, so that ON conditions can see every table of the clause.
  struct Piece {
    std::string text;
    int condition_begin = -1, condition_end = -1;
  };
  std::vector<Piece> pieces;
  bool expect_table = true;
  int i = begin;
  auto read_alias = [&](int& index, const std::string& fallback) {
    const Token& t = token(index);
    if (index < end && (t.kind == TokenKind::QuotedName || (t.kind == TokenKind::Word && !is_clause_keyword(t.text)))) {
      ++index;
      return t.text;
    }
    return fallback;
  };
  while (i < end) {
    const Token& t = token(i);
    if (expect_table) {
      TableRef table;
      std::string text;
      if (t.is_op("(")) {
        int close = matching(i);
        text = "(" + query(i + 1, close, scope.parent) + ")";
        i = close + 1;
        table.alias = read_alias(i, "");
      } else if (t.is_word("TABLE") && token(i + 1).is_op("(")) {
        i = collection_source(i + 1, scope, table, text);
        table.alias = read_alias(i, "OCIEMU$TABLE" + std::to_string(scope.tables.size() + 1));
      } else {
        std::string owner, name;
        int next = read_object_name(i, owner, name);
        if (token(next).is_op("@")) fail(2019, next);
        if (owner.empty() && scope.is_with_name(name)) {
          text = quote_name(name);
        } else {
          table.object = resolve_table(i, owner, name);
          table.resolved = true;
          text = quote_name(table.object.sqlite_name());
        }
        i = next;
        table.alias = read_alias(i, name);
        text = view_source_with_rowid(table, text);
      }
      if (!table.alias.empty()) text += " AS " + quote_name(table.alias);
      if (parts) parts->tables.push_back(text);
      pieces.push_back({text});
      scope.tables.push_back(std::move(table));
      expect_table = false;
      continue;
    }
    if (t.is_op(",")) {
      pieces.push_back({","});
      expect_table = true;
      ++i;
    } else if (t.is_word("JOIN")) {
      pieces.push_back({"JOIN"});
      expect_table = true;
      ++i;
    } else if (t.is_word("ON")) {
      int condition_end = i + 1;
      while (condition_end < end) {
        const Token& c = token(condition_end);
        if (c.is_op("(")) {
          condition_end = matching(condition_end) + 1;
          continue;
        }
        if (c.is_op(",") || c.is_word("JOIN") || c.is_word("INNER") || c.is_word("LEFT") || c.is_word("RIGHT") ||
            c.is_word("FULL") || c.is_word("CROSS") || c.is_word("NATURAL"))
          break;
        ++condition_end;
      }
      pieces.push_back({"ON", i + 1, condition_end});
      i = condition_end;
    } else if (t.is_word("USING") && token(i + 1).is_op("(")) {
      int close = matching(i + 1);
      pieces.push_back({"USING (" + original_text(i + 2, close) + ")"});
      i = close + 1;
    } else if (t.kind == TokenKind::Word &&
               (t.text == "INNER" || t.text == "LEFT" || t.text == "RIGHT" || t.text == "FULL" || t.text == "OUTER" ||
                t.text == "CROSS" || t.text == "NATURAL")) {
      pieces.push_back({t.text});
      ++i;
    } else {
      fail_not_ended(i);
    }
  }
  if (pieces.empty()) fail(903, begin);
  if (parts) parts->ansi_joins = pieces.size() != 2 * parts->tables.size() - 1;
  std::string sql;
  for (const Piece& piece : pieces) {
    if (!sql.empty() && piece.text != ",") sql += " ";
    sql += piece.text;
    if (piece.condition_begin >= 0) sql += " " + rewrite(piece.condition_begin, piece.condition_end, scope);
  }
  return sql;
}

// ---- DML ----------------------------------------------------------------------------------

namespace {
// ORA-00907 at a list where one expression belongs, "(a, b)" or "(a,)": a parenthesis that is no call.
void refuse_parenthesized_lists(const Translator& t, int begin, int end) {
  for (int j = begin; j < end; ++j) {
    if (!t.token(j).is_op("(")) continue;
    const Token& before = t.token(j - 1);
    if (j > begin && (before.kind != TokenKind::Operator || before.is_op(")"))) continue;  // f(a, b)
    for (int k = j + 1; k < t.matching(j); ++k) {
      if (t.token(k).is_op("(")) k = t.matching(k);
      if (t.token(k).is_op(",")) t.fail(907, k);
    }
  }
}
}  // namespace

// The stored column a RETURNING item names; empty for an expression, a view's computed column included.
std::string Translator::returned_column(const Scope& scope, const std::string& column) const {
  if (column.empty() || scope.tables.empty()) return column;
  const TableRef& target = scope.tables[0];
  // A view's ROWID is its base table's, which the expression reads like any pseudo-column.
  if (target.view && (column == "ROWID" || target.view->base_column(column).value_or("-").empty())) return {};
  return stored_column(target, column);
}

void Translator::returning_clause(int begin, int end, const Scope& scope, std::string& sql) {
  if (begin >= end) return;
  int into = find_top_level(*this, begin + 1, end, {"INTO"});
  if (into >= end) fail(925, end);
  if (into == begin + 1) fail(936, into);
  refuse_parenthesized_lists(*this, begin + 1, into);
  in_returning_ = true;
  sql += " RETURNING " + rewrite(begin + 1, into, scope);
  in_returning_ = false;
  int item_start = begin + 1;
  for (int j = item_start; j <= into; ++j) {
    if (j < into && token(j).is_op("(")) {
      j = matching(j);
      continue;
    }
    if (j < into && !token(j).is_op(",")) continue;
    if (j == item_start) fail(936, j);
    const Token& first = token(item_start);
    bool plain = j - item_start == 1 && (first.kind == TokenKind::QuotedName ||
                                          (first.kind == TokenKind::Word && !is_reserved_word(first.text)));
    bool qualified = j - item_start == 3 && token(item_start + 1).is_op(".");
    const std::string column = plain ? identifier(item_start) : qualified ? identifier(item_start + 2) : "";
    out_.returning_columns.push_back(returned_column(scope, column));
    item_start = j + 1;
  }
  out_.dml_table = scope.tables.empty() ? std::string() : scope.tables[0].object.sqlite_name();
  sql += ", rowid";
  out_.returning_rowid_column = static_cast<int>(out_.returning_columns.size()) + 1;
  for (int i = into + 1; i < end; ++i) {
    const Token& t = token(i);
    if (t.kind == TokenKind::Placeholder) {
      out_.returning_into.push_back(t.text);
      // Out-only: no SQLite parameter carries it.
      out_.placeholders.push_back(Placeholder{t.text, 0});
    } else if (!t.is_op(",")) {
      fail_not_ended(i);
    }
  }
}

std::string Translator::stored_as(const TableRef& table, const std::string& column, const Expression& value) const {
  // Oracle converts a value to the column's type on the way in: text to DATE
  // by the session's format, numbers rounded to the column's scale, hex text to RAW.
  auto declared = declared_type(table, column);
  auto type = declared ? parse_declared_type(declared->c_str()) : std::nullopt;
  if (!type || value.text == "NULL") return value.text;
  switch (type->type_code) {
    case 96:
      return padded_for(table, column, value.text);
    case 12:
      if (value.type == ValueType::Date) return value.text;
      [[fallthrough]];
    case 180:
    case 181:
    case 231:
      return "OCIEMU_DATETIME(" + value.text + ", " + std::to_string(type->type_code) + ", " +
             std::to_string(type->scale) + ")";
    case 23:
    case 24:
      return "OCIEMU_RAW(" + value.text + ")";
    case 2:
      // Binds and text pass OCIEMU_NUMBER, which keeps all the digits SQLite's affinity would lose.
      if (type->scale == -127 && value.type == ValueType::Number) return value.text;
      return "OCIEMU_NUMBER(" + value.text + ", " + std::to_string(type->scale) + ")";
    default:
      return value.text;
  }
}

std::string Translator::padded_for(const TableRef& table, const std::string& column, const std::string& value_sql) const {
  auto declared = declared_type(table, column);
  auto padding = declared ? blank_padding(*declared) : std::nullopt;
  if (!padding) return value_sql;
  // Columns of files made before padding existed keep their unpadded values and plain comparison.
  const char* collation = nullptr;
  if (sqlite3_table_column_metadata(db_, "main", table.object.sqlite_name().c_str(),
                                    stored_column(table, column).c_str(), nullptr, &collation, nullptr, nullptr,
                                    nullptr) != SQLITE_OK ||
      collation == nullptr || std::string_view(collation) != kBlankPaddedCollation) {
    return value_sql;
  }
  return blank_padded(value_sql, *padding);
}

bool Translator::any_blank_padded(const TableRef& table, const std::vector<std::string>& columns) const {
  return std::any_of(columns.begin(), columns.end(),
                     [&](const std::string& column) { return padded_for(table, column, "") != ""; });
}

std::vector<std::pair<std::string, std::string>> Translator::row_assignment(int begin, int equals, int end,
                                                                           const Scope& scope) {
  std::vector<std::string> columns;
  for (int k = begin; k < equals; ++k) {
    const Token& t = token(k);
    if (t.is_op("(") || t.is_op(")") || t.is_op(",") || t.is_op(".") || token(k + 1).is_op(".")) continue;
    columns.push_back(identifier(k));
  }
  // SQLite names a CTE's columns, so each assignment picks its own from the correlated row.
  const std::string row = rewrite(equals + 1, end, scope);
  std::string names;
  for (size_t k = 0; k < columns.size(); ++k) names += (k ? ", " : "") + quote_name(std::to_string(k + 1));
  std::vector<std::pair<std::string, std::string>> sets;
  for (size_t k = 0; k < columns.size(); ++k) {
    const std::string value = "(WITH \"OCIEMU$M\"(" + names + ") AS " + row + " SELECT " +
                              quote_name(std::to_string(k + 1)) + " FROM \"OCIEMU$M\")";
    sets.emplace_back(columns[k], padded_for(scope.tables[0], columns[k], value));
  }
  return sets;
}

std::vector<std::string> Translator::insert_values(int begin, int end, const Scope& scope,
                                                  const std::vector<std::string>& targets, const Scope* values_scope) {
  std::vector<std::string> values;
  size_t index = 0;
  int start = begin;
  for (int j = begin; j <= end; ++j) {
    if (j < end && token(j).is_op("(")) {
      j = matching(j);
      continue;
    }
    if (j < end && !token(j).is_op(",")) continue;
    if (index >= targets.size()) fail(913, start);
    // The target's columns are not in scope here: a name in VALUES is the program's variable.
    const Scope no_columns;
    const Scope& names = values_scope ? *values_scope : no_columns;
    Expression value;
    if (!starts_operand(start) || expression(start, j, names, value) != j) {
      value.text = rewrite(start, j, names);
      value.type = ValueType::Unknown;
    }
    values.push_back(stored_as(scope.tables[0], targets[index], value));
    ++index;
    start = j + 1;
  }
  if (index < targets.size()) fail(947, end);
  return values;
}

namespace {
// The object a DML statement names at i, or the sub-query it writes through; i is left after it.
void read_dml_object(Translator& t, int& i, TableRef& table) {
  if (t.token(i).is_op("(") && t.word_at(i + 1, "SELECT")) {
    i = t.write_through_subquery(table, i);
    return;
  }
  std::string owner, name;
  int name_index = i;
  i = t.read_object_name(i, owner, name);
  table.object = t.resolve_table(name_index, owner, name);
  table.resolved = true;
  table.alias = name;
  t.write_through_view(table, name_index);
}

}  // namespace

Translator::InsertTarget Translator::insert_target(int& i) {
  InsertTarget target;
  read_dml_object(*this, i, target.table);
  target.head = "INSERT INTO " + quote_name(target.table.object.sqlite_name());
  target.triggered = table_has_triggers(db_, target.table.object.owner, target.table.object.name);
  const Token& maybe_alias = token(i);
  if ((maybe_alias.kind == TokenKind::Word && !is_clause_keyword(maybe_alias.text) && maybe_alias.text != "VALUES") ||
      maybe_alias.kind == TokenKind::QuotedName) {
    target.table.alias = maybe_alias.text;
    target.head += " AS " + quote_name(target.table.alias);
    ++i;
  }
  if (token(i).is_op("(") && !word_at(i + 1, "SELECT") && !word_at(i + 1, "WITH")) {
    int close = matching(i);
    std::string columns;
    for (int j = i + 1; j < close; ++j) {
      if (token(j).is_op(",")) continue;
      if (token(j + 1).is_op(".")) continue;  // alias.column: keep the column
      if (token(j).is_op(".")) continue;
      if (token(j).is_word("ROWID")) fail(1747, j);  // a pseudocolumn takes no value
      if (!columns.empty()) columns += ", ";
      target.columns.push_back(identifier(j));
      columns += quote_name(stored_column(target.table, target.columns.back()));
    }
    if (!target.triggered) target.head += " (" + columns + ")";
    i = close + 1;
  } else if (target.table.view) {
    // The view's columns, not the table's: the others take their defaults.
    std::string columns;
    for (const ViewColumn& column : target.table.view->columns) {
      target.columns.push_back(column.name);
      columns += (columns.empty() ? "" : ", ") + quote_name(stored_column(target.table, column.name));
    }
    if (!target.triggered) target.head += " (" + columns + ")";
  } else {
    target.columns = table_columns(db_, target.table.object.sqlite_name());
  }
  if (target.table.view) see_base_table(target);
  return target;
}

// From here on the rows go to the base table under its own column names.
void Translator::see_base_table(InsertTarget& target) const {
  for (std::string& column : target.columns) column = stored_column(target.table, column);
  target.view = std::move(target.table.view);
  target.table.view.reset();
  target.table.column_types.reset();
}

std::string Translator::insert_row_values(const InsertTarget& target, const std::vector<std::string>& values) const {
  std::string row;
  for (size_t k = 0; k < values.size(); ++k) {
    row += (k ? ", " : "") + values[k] + (target.triggered ? " AS " + quote_name(std::to_string(k + 1)) : "");
  }
  return row;
}

std::string Translator::insert_rows(const InsertTarget& target, std::string source, int at) const {
  const TableRef& table = target.table;
  const std::vector<std::string>& targets = target.columns;
  if (target.triggered) {
    std::string names;
    for (size_t k = 0; k < targets.size(); ++k) names += (k ? ", " : "") + quote_name(std::to_string(k + 1));
    source = "WITH \"OCIEMU$Q\"(" + names + ") AS (" + source + ") SELECT * FROM \"OCIEMU$Q\"";
    return triggered_insert(target.head, table, targets, source, at);
  }
  if (any_blank_padded(table, targets)) {
    // The query's row through a named CTE, so that each CHAR value can be padded.
    std::string names, padded;
    for (size_t k = 0; k < targets.size(); ++k) {
      const std::string item = quote_name(std::to_string(k + 1));
      names += (k ? ", " : "") + item;
      padded += (k ? ", " : "") + padded_for(table, targets[k], item);
    }
    source = "WITH \"OCIEMU$Q\"(" + names + ") AS (" + source + ") SELECT " + padded + " FROM \"OCIEMU$Q\"";
  }
  return target.head + " " + source;
}

// Items that give the same values however many rows one statement inserts: nothing
// evaluated per row (sequences, sub-queries, functions) that inserting could change.
bool Translator::only_binds_and_literals(int begin, int end) const {
  for (int j = begin; j < end; ++j) {
    const Token& t = token(j);
    const bool signed_number = (t.is_op("-") || t.is_op("+")) && token(j + 1).kind == TokenKind::Number;
    if (signed_number) ++j;
    const bool literal = signed_number || t.kind == TokenKind::Placeholder || t.kind == TokenKind::Number ||
                         t.kind == TokenKind::String || t.kind == TokenKind::NationalString || t.is_word("NULL");
    if (!literal || (j + 1 < end && !token(j + 1).is_op(","))) return false;
    ++j;  // the comma
  }
  return true;
}

namespace {

// Walks SQL text: text(from, to) for each stretch between parameters, parameter(n) for each ?n.
template <class Text, class Parameter>
void scan_parameters(const std::string& sql, Text&& text, Parameter&& parameter) {
  size_t from = 0, at = 0;
  while (at < sql.size()) {
    if (sql[at] == '\'' || sql[at] == '"') {
      at = skip_quoted(sql, at);
      continue;
    }
    size_t digits = at + 1;
    while (sql[at] == '?' && digits < sql.size() && std::isdigit(static_cast<unsigned char>(sql[digits]))) ++digits;
    if (digits == at + 1) {
      ++at;
      continue;
    }
    text(from, at);
    parameter(std::stoi(sql.substr(at + 1, digits - at - 1)));
    from = at = digits;
  }
  text(from, sql.size());
}

// Whether the parameters are ?1, ?2, ... ?count, each once and in order.
bool parameters_in_order(const std::string& sql, int count) {
  int expected = 1;
  bool in_order = true;
  scan_parameters(sql, [](size_t, size_t) {}, [&](int n) { in_order = in_order && n == expected++; });
  return in_order && expected == count + 1;
}

}  // namespace

// Parameters in order go as plain "?": SQLite looks every numbered one up in a list as long
// as the statement's parameters, which makes preparing many rows slow.
std::string rows_insert(const Translation& insert, int parameters, int rows) {
  const std::string& row = insert.repeatable_insert_row;
  const bool numbered = !parameters_in_order(row, parameters);
  std::string sql = insert.repeatable_insert_head + " VALUES ";
  sql.reserve(sql.size() + static_cast<size_t>(rows) * (row.size() + 8));
  for (int k = 0; k < rows; ++k) {
    sql += k ? ", (" : "(";
    scan_parameters(
        row, [&](size_t from, size_t to) { sql.append(row, from, to - from); },
        [&](int n) { sql += numbered ? "?" + std::to_string(n + k * parameters) : "?"; });
    sql += ')';
  }
  return sql;
}

void Translator::translate_insert() {
  if (word_at(1, "ALL") || word_at(1, "FIRST")) return translate_multitable_insert();
  int i = 1;
  expect_word(i, "INTO");
  const InsertTarget target = insert_target(i);
  const TableRef& table = target.table;
  Scope scope;
  scope.tables.push_back(table);
  std::string sql;
  int returning = find_top_level(*this, i, end_index(), {"RETURNING", "RETURN"});
  if (word_at(i, "VALUES")) {
    if (!token(i + 1).is_op("(")) fail(906, i + 1);
    int close = matching(i + 1);
    // Into an object table, VALUES (type(a, b)) gives the attribute columns a and b.
    const int constructor = object_row_constructor(table, i + 2, close);
    std::vector<std::string> values = constructor < 0 ? insert_values(i + 2, close, scope, target.columns)
                                                       : insert_values(constructor + 1, close - 1, scope, target.columns);
    if (close + 1 != returning) fail_not_ended(close + 1);
    if (target.view && target.view->checks_changes()) {
      std::string row;
      for (const std::string& value : values) row += (row.empty() ? "" : ", ") + value;
      sql = insert_rows(target, view_checked_rows(target, "SELECT " + row), i);
    } else {
      const std::string row = insert_row_values(target, values);
      sql = target.triggered ? triggered_insert(target.head, table, target.columns, "SELECT " + row, i)
                             : target.head + " VALUES (" + row + ")";
      if (!target.triggered && constructor < 0 && returning == end_index() && only_binds_and_literals(i + 2, close)) {
        out_.repeatable_insert_head = target.head;
        out_.repeatable_insert_row = row;
      }
    }
  } else if (word_at(i, "SELECT") || word_at(i, "WITH") || token(i).is_op("(")) {
    sql = insert_rows(target, view_checked_rows(target, query(i, returning, nullptr)), i);
  } else {
    fail(926, i);
  }
  // RETURNING names the view's columns, as the statement's own column list does.
  scope.tables[0].view = target.view;
  returning_clause(returning, end_index(), scope, sql);
  out_.sqlite_sql.push_back(std::move(sql));
}

namespace {
void read_dml_target(Translator& t, int& i, TableRef& table, std::string& sql) {
  read_dml_object(t, i, table);
  const Token& maybe_alias = t.token(i);
  if (maybe_alias.kind == TokenKind::QuotedName ||
      (maybe_alias.kind == TokenKind::Word && !is_clause_keyword(maybe_alias.text))) {
    table.alias = maybe_alias.text;
    ++i;
  }
  sql += quote_name(table.object.sqlite_name()) + " AS " + quote_name(table.alias);
}
}  // namespace

void Translator::translate_update() {
  int i = 1;
  Scope scope;
  TableRef table;
  std::string sql = "UPDATE ";
  read_dml_target(*this, i, table, sql);
  scope.tables.push_back(table);
  expect_word(i, "SET");
  const bool triggered = table_has_triggers(db_, table.object.owner, table.object.name);
  int set_end = find_top_level(*this, i, end_index(), {"WHERE", "RETURNING", "RETURN"});
  sql += " SET ";
  std::vector<std::pair<std::string, std::string>> sets;  // for tables with triggers
  bool single_columns = true;
  // Assignments: SQLite takes no alias on the assigned columns.
  int start = i;
  for (int j = i; j <= set_end; ++j) {
    if (j < set_end && token(j).is_op("(")) {
      j = matching(j);
      continue;
    }
    if (j < set_end && !token(j).is_op(",")) continue;
    int equals = start;
    while (equals < j && !token(equals).is_op("=")) {
      equals = token(equals).is_op("(") ? matching(equals) + 1 : equals + 1;
    }
    if (equals >= j) fail(927, j);
    if (auto attribute = attribute_assignment(start, equals, j, scope)) {
      sql += (start != i ? ", " : "") + quote_name(attribute->first) + " = " + attribute->second;
      sets.push_back(std::move(*attribute));
      start = j + 1;
      continue;
    }
    std::string targets;
    for (int k = start; k < equals; ++k) {
      const Token& t = token(k);
      if (t.is_word("ROWID")) fail(1747, k);  // a pseudocolumn is never assigned
      if (t.is_op("(") || t.is_op(")") || t.is_op(",")) {
        targets += t.text;
      } else if (!t.is_op(".") && !token(k + 1).is_op(".")) {
        targets += quote_name(stored_column(scope.tables[0], identifier(k)));
      }
    }
    if (start != i) sql += ", ";
    const bool row_subquery = equals - start > 1 && token(equals + 1).is_op("(") && word_at(equals + 2, "SELECT") &&
                              matching(equals + 1) == j - 1;
    if (row_subquery) {
      auto split = row_assignment(start, equals, j, scope);
      std::vector<std::string> columns;
      for (const auto& set : split) columns.push_back(set.first);
      if (triggered || any_blank_padded(scope.tables[0], columns)) {
        for (size_t k = 0; k < split.size(); ++k) sql += (k ? ", " : "") + quote_name(split[k].first) + " = " + split[k].second;
        sets.insert(sets.end(), split.begin(), split.end());
        start = j + 1;
        continue;
      }
    }
    std::string value;
    if (equals - start == 1 && starts_operand(equals + 1)) {
      Expression assigned;
      if (expression(equals + 1, j, scope, assigned) == j) value = stored_as(scope.tables[0], identifier(start), assigned);
    }
    if (value.empty()) {
      value = rewrite(equals + 1, j, scope);
      if (equals - start == 1) value = padded_for(scope.tables[0], identifier(start), value);
    }
    sql += targets + " = " + value;
    if (equals - start == 1) {
      sets.emplace_back(stored_column(scope.tables[0], identifier(start)), value);
    } else {
      single_columns = false;
    }
    start = j + 1;
  }
  int returning = find_top_level(*this, set_end, end_index(), {"RETURNING", "RETURN"});
  std::string where = dml_where(set_end, returning, scope);
  if (auto checked = view_checked_assignment(scope.tables[0], sets)) {
    sql += ", " + quote_name(checked->first) + " = " + checked->second;
    sets.back() = std::move(*checked);
  }
  if (triggered) {
    if (!single_columns) fail(3001, i);
    sql = triggered_update(table, sets, where);
  } else if (!where.empty()) {
    sql += " " + where;
  }
  returning_clause(returning, end_index(), scope, sql);
  out_.sqlite_sql.push_back(std::move(sql));
}

// WHERE ... of UPDATE and DELETE (tokens begin..end, empty when there are none), limited to
// the rows a view target shows.
std::string Translator::dml_where(int begin, int end, const Scope& scope) {
  const std::string shown = view_rows_condition(scope.tables[0]);
  if (shown.empty()) return begin < end ? rewrite(begin, end, scope) : std::string();
  return "WHERE " + shown + (begin < end ? " AND (" + rewrite(begin + 1, end, scope) + ")" : "");
}

void Translator::translate_delete() {
  int i = 1;
  if (word_at(i, "FROM")) ++i;
  Scope scope;
  TableRef table;
  std::string sql = "DELETE FROM ";
  read_dml_target(*this, i, table, sql);
  scope.tables.push_back(table);
  int returning = find_top_level(*this, i, end_index(), {"RETURNING", "RETURN"});
  if (i < returning && !word_at(i, "WHERE")) fail_not_ended(i);
  const std::string where = dml_where(i, returning, scope);
  // Without a WHERE SQLite empties the table in one step and skips the update hook, which the
  // other sessions' row locks, the LOB bookkeeping and the statement's rowid all rely on.
  sql += " " + (where.empty() ? std::string("WHERE 1") : where);
  returning_clause(returning, end_index(), scope, sql);
  out_.sqlite_sql.push_back(std::move(sql));
}

// ---- entry point --------------------------------------------------------------------------

Translation translate(std::string_view oracle_sql, sqlite3* db, SessionContext& session, NameResolver* resolver) {
  return Translator(oracle_sql, db, session, resolver).run();
}

}  // namespace ociemu::sql
