// CREATE, DROP, ALTER and the other DDL: SQLite schema changes plus the
// catalogue rows that keep Oracle's names, constraints and types.
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>

#include "ociemu/sql/datetime_value.h"
#include "ociemu/sql/ddl.h"
#include "ociemu/sql/functions.h"
#include "ociemu/sql/errors.h"
#include "ociemu/sql/object_refs.h"
#include "ociemu/sql/schema_text.h"
#include "ociemu/sql/sqlite_query.h"
#include "ociemu/sql/stored_names.h"
#include "ociemu/sql/translator.h"
#include "ociemu/sql/triggers.h"
#include "ociemu/sql/updatable_view.h"

namespace ociemu::sql {
namespace {


struct PendingConstraint {
  Constraint constraint;
  int condition_begin = -1, condition_end = -1;  // CHECK condition tokens
  std::string referenced_owner, referenced_table;  // REFERENCES target as written
  std::vector<std::string> referenced_columns;
  int reference_index = 0;                         // token for error offsets
};

std::string size_suffix(const Translator& t, int& i, const char* name, bool required, int default_size) {
  if (!t.token(i).is_op("(")) {
    if (required) t.fail(906, i);
    return default_size > 0 ? std::string(name) + "(" + std::to_string(default_size) + ")" : name;
  }
  int close = t.matching(i);
  if (t.token(i + 1).kind != TokenKind::Number) t.fail(910, i + 1);
  std::string size = t.token(i + 1).text;
  if (t.word_at(i + 2, "CHAR") || t.word_at(i + 2, "BYTE")) {
    if (i + 3 != close) t.fail(907, i + 3);
  } else if (i + 2 != close) {
    t.fail(907, i + 2);
  }
  // SQLite takes only numbers between a type's parentheses: length semantics in
  // characters are spelled as a word of the type's name.
  const bool characters = t.word_at(i + 2, "CHAR");
  i = close + 1;
  return std::string(name) + (characters ? " CHAR" : "") + "(" + size + ")";
}

std::string number_suffix(const Translator& t, int& i, const char* name) {
  if (!t.token(i).is_op("(")) return name;
  int close = t.matching(i);
  std::string text = std::string(name) + "(";
  for (int j = i + 1; j < close; ++j) text += t.token(j).text;
  i = close + 1;
  return text + ")";
}

}  // namespace

// Reads an Oracle column type at i; returns the normalised declaration.
std::string read_type(const Translator& t, int& i) {
  const Token& word = t.token(i);
  if (word.kind != TokenKind::Word) t.fail(902, i);
  const std::string name = word.text;
  ++i;
  if (name == "VARCHAR2" || name == "VARCHAR") return size_suffix(t, i, "VARCHAR2", true, 0);
  if (name == "NVARCHAR2") return size_suffix(t, i, "NVARCHAR2", true, 0);
  if (name == "CHAR" || name == "CHARACTER") return size_suffix(t, i, "CHAR", false, 1);
  if (name == "NCHAR") return size_suffix(t, i, "NCHAR", false, 1);
  if (name == "RAW") return size_suffix(t, i, "RAW", true, 0);
  if (name == "UROWID") return size_suffix(t, i, "UROWID", false, 4000);
  if (name == "NUMBER") return number_suffix(t, i, "NUMBER");
  if (name == "NUMERIC" || name == "DECIMAL" || name == "DEC") {
    std::string declared = number_suffix(t, i, "NUMBER");
    return declared == "NUMBER" ? "NUMBER(38)" : declared;
  }
  // INTEGER becomes NUMBER(38): a column declared exactly INTEGER would turn
  // into SQLite's rowid alias and break rowid stability.
  if (name == "INTEGER" || name == "INT" || name == "SMALLINT") return "NUMBER(38)";
  if (name == "FLOAT") return number_suffix(t, i, "FLOAT");
  if (name == "REAL") return "FLOAT(63)";
  if (name == "DOUBLE" && t.word_at(i, "PRECISION")) return ++i, "FLOAT(126)";
  if (name == "BINARY_FLOAT" || name == "BINARY_DOUBLE" || name == "DATE" || name == "CLOB" || name == "NCLOB" ||
      name == "BLOB" || name == "BFILE" || name == "ROWID")
    return name;
  if (name == "LONG") {
    if (t.word_at(i, "RAW")) return ++i, "LONG RAW";
    // "LONG VARCHAR" keeps SQLite's text affinity, so '007' stays text.
    return "LONG VARCHAR";
  }
  // SQLite takes a type's parenthesised numbers only at its end ("TIMESTAMP WITH TIME ZONE(3)") and no TO inside.
  if (name == "TIMESTAMP") {
    std::string digits = "(6)";
    if (t.token(i).is_op("(")) digits = number_suffix(t, i, "");
    if (t.word_at(i, "WITH") && t.word_at(i + 1, "TIME") && t.word_at(i + 2, "ZONE")) {
      i += 3;
      return "TIMESTAMP WITH TIME ZONE" + digits;
    }
    if (t.word_at(i, "WITH") && t.word_at(i + 1, "LOCAL") && t.word_at(i + 2, "TIME") && t.word_at(i + 3, "ZONE")) {
      i += 4;
      return "TIMESTAMP WITH LOCAL TIME ZONE" + digits;
    }
    return "TIMESTAMP" + digits;
  }
  if (name == "INTERVAL") {
    if (t.word_at(i, "YEAR")) {
      ++i;
      std::string digits = number_suffix(t, i, "");
      if (!t.word_at(i, "TO") || !t.word_at(i + 1, "MONTH")) t.fail(902, i);
      i += 2;
      return "INTERVAL_YEAR_TO_MONTH" + (digits.empty() ? std::string("(2)") : digits);
    }
    if (t.word_at(i, "DAY")) {
      ++i;
      std::string leading = number_suffix(t, i, "");
      if (!t.word_at(i, "TO") || !t.word_at(i + 1, "SECOND")) t.fail(902, i);
      i += 2;
      std::string fraction = number_suffix(t, i, "");
      auto inside = [](const std::string& d, const char* fallback) { return d.empty() ? std::string(fallback) : d.substr(1, d.size() - 2); };
      return "INTERVAL_DAY_TO_SECOND(" + inside(leading, "2") + "," + inside(fraction, "6") + ")";
    }
  }
  --i;
  return named_type_declaration(t, i);
}

namespace {

bool is_constraint_start(const Translator& t, int i) {
  return t.word_at(i, "CONSTRAINT") || t.word_at(i, "PRIMARY") || t.word_at(i, "UNIQUE") || t.word_at(i, "CHECK") ||
         t.word_at(i, "FOREIGN") || t.word_at(i, "NOT") || t.word_at(i, "NULL") || t.word_at(i, "REFERENCES");
}

// Skips constraint states: ENABLE, NOVALIDATE, DEFERRABLE, USING INDEX ...
int skip_constraint_state(const Translator& t, int i, int end) {
  while (i < end) {
    if (t.word_at(i, "ENABLE") || t.word_at(i, "DISABLE") || t.word_at(i, "VALIDATE") || t.word_at(i, "NOVALIDATE") ||
        t.word_at(i, "RELY") || t.word_at(i, "NORELY") || t.word_at(i, "DEFERRABLE") || t.word_at(i, "IMMEDIATE") ||
        t.word_at(i, "DEFERRED") || t.word_at(i, "INITIALLY") || (t.word_at(i, "NOT") && t.word_at(i + 1, "DEFERRABLE"))) {
      ++i;
    } else if (t.word_at(i, "USING") && t.word_at(i + 1, "INDEX")) {
      i += 2;
      while (i < end && !t.token(i).is_op(",") && !is_constraint_start(t, i)) i = t.token(i).is_op("(") ? t.matching(i) + 1 : i + 1;
    } else {
      break;
    }
  }
  return i;
}

std::vector<std::string> read_column_list(const Translator& t, int& i) {
  if (!t.token(i).is_op("(")) t.fail(906, i);
  int close = t.matching(i);
  std::vector<std::string> columns;
  for (int j = i + 1; j < close; ++j) {
    if (t.token(j).is_op(",")) continue;
    columns.push_back(t.identifier(j));
    if (t.word_at(j + 1, "ASC") || t.word_at(j + 1, "DESC")) ++j;
  }
  i = close + 1;
  return columns;
}

// Parses one constraint clause (after an optional CONSTRAINT name) at i.
int read_constraint(const Translator& t, int i, int end, const std::string& column, PendingConstraint& pending) {
  Constraint& c = pending.constraint;
  if (t.word_at(i, "PRIMARY") && t.word_at(i + 1, "KEY")) {
    i += 2;
    c.type = 'P';
    c.columns = column.empty() ? read_column_list(t, i) : std::vector<std::string>{column};
  } else if (t.word_at(i, "UNIQUE")) {
    ++i;
    c.type = 'U';
    c.columns = column.empty() ? read_column_list(t, i) : std::vector<std::string>{column};
  } else if (t.word_at(i, "CHECK")) {
    ++i;
    if (!t.token(i).is_op("(")) t.fail(906, i);
    c.type = 'C';
    pending.condition_begin = i + 1;
    pending.condition_end = t.matching(i);
    c.search_condition = std::string(t.sql_.substr(static_cast<size_t>(t.token(i + 1).offset),
                                                   static_cast<size_t>(t.token(pending.condition_end).offset -
                                                                       t.token(i + 1).offset)));
    while (!c.search_condition.empty() && c.search_condition.back() == ' ') c.search_condition.pop_back();
    i = pending.condition_end + 1;
  } else if (t.word_at(i, "NOT") && t.word_at(i + 1, "NULL")) {
    i += 2;
    c.type = 'C';
    c.columns = {column};
    c.search_condition = "\"" + column + "\" IS NOT NULL";
  } else if (t.word_at(i, "FOREIGN") || t.word_at(i, "REFERENCES")) {
    c.type = 'R';
    if (t.word_at(i, "FOREIGN")) {
      if (!t.word_at(i + 1, "KEY")) t.fail(905, i + 1);
      i += 2;
      c.columns = read_column_list(t, i);
    } else {
      c.columns = {column};
    }
    if (!t.word_at(i, "REFERENCES")) t.fail(905, i);
    pending.reference_index = ++i;
    i = t.read_object_name(i, pending.referenced_owner, pending.referenced_table);
    if (t.token(i).is_op("(")) pending.referenced_columns = read_column_list(t, i);
    c.delete_rule = "NO ACTION";
    if (t.word_at(i, "ON") && t.word_at(i + 1, "DELETE")) {
      if (t.word_at(i + 2, "CASCADE")) {
        c.delete_rule = "CASCADE";
        i += 3;
      } else if (t.word_at(i + 2, "SET") && t.word_at(i + 3, "NULL")) {
        c.delete_rule = "SET NULL";
        i += 4;
      } else {
        t.fail(905, i + 2);
      }
    }
  } else {
    t.fail(907, i);
  }
  return skip_constraint_state(t, i, end);
}

// The DEFAULT expression at i (after the word): the column's default_sql and default_text.
int read_default(Translator& t, int i, int end, ColumnDefinition& column) {
  Expression value;
  Scope none;
  int next = t.expression(i, end, none, value);
  column.default_sql = "(" + value.text + ")";
  const size_t begin = static_cast<size_t>(t.token(i).offset);
  const size_t end_offset = static_cast<size_t>(t.token(next - 1).offset + t.token(next - 1).length);
  column.default_text = std::string(t.sql_.substr(begin, end_offset - begin));
  return next;
}

// A column's default as SQLite stores it: blank-padded for CHAR columns.
std::string stored_default(const ColumnDefinition& column) {
  auto padding = blank_padding(column.declared_type);
  return padding ? "(" + blank_padded(column.default_sql, *padding) + ")" : column.default_sql;
}

std::string sql_list(const std::vector<std::string>& columns) {
  std::string sql;
  for (size_t i = 0; i < columns.size(); ++i) sql += (i ? ", " : "") + quote_name(columns[i]);
  return sql;
}

}  // namespace

// ---- table definitions --------------------------------------------------------------------

namespace {

constexpr size_t kMaxTableColumns = 1000;

class TableBuilder {
 public:
  TableBuilder(Translator& t, std::string owner, std::string table, std::string storage)
      : t_(t), owner_(std::move(owner)), table_(std::move(table)), storage_(std::move(storage)) {
    Query query(t.db_,
                "SELECT coalesce(max(CAST(substr(NAME, 6) AS INTEGER)), 7000) FROM \"OCIEMU$CONSTRAINTS\" WHERE "
                "NAME GLOB 'SYS_C[0-9]*'");
    query.step();
    next_system_number_ = query.integer(0) + 1;
  }

  // Reads the relational properties between the parentheses of CREATE TABLE or ALTER TABLE ADD.
  void read_elements(int begin, int end) {
    int i = begin;
    while (i < end) {
      if (t_.word_at(i, "SCOPE") && t_.word_at(i + 1, "FOR") && t_.token(i + 2).is_op("(")) {
        i = read_scope(t_.matching(i + 2) + 1);
      } else if (is_constraint_start(t_, i) && !t_.word_at(i, "NOT") && !t_.word_at(i, "NULL")) {
        i = read_table_constraint(i, end);
      } else {
        i = read_column(i, end);
      }
      if (i < end) {
        if (!t_.token(i).is_op(",")) t_.fail(907, i);
        ++i;
      }
    }
  }

  int read_column(int i, int end) {
    ColumnDefinition column;
    int name_index = i;
    column.name = t_.identifier(i++);
    for (const auto& other : columns_) {
      if (other.name == column.name) t_.fail(957, name_index);
    }
    if (stored(column.name) != column.name || std::find(taken_.begin(), taken_.end(), column.name) != taken_.end())
      t_.fail(1430, name_index);
    column.stored_name = distinct_stored_name(column.name, taken_);
    taken_.push_back(column.stored_name);
    if (taken_.size() > kMaxTableColumns) t_.fail(1792, name_index);
    column.declared_type = read_type(t_, i);
    while (i < end && !t_.token(i).is_op(",")) {
      if (t_.word_at(i, "SORT")) {
        ++i;
      } else if (t_.word_at(i, "SCOPE")) {
        i = read_scope(i + 1);
      } else if (t_.word_at(i, "DEFAULT")) {
        i = read_default(t_, i + 1, end, column);
      } else if (t_.word_at(i, "NULL")) {
        ++i;
      } else {
        std::string name;
        if (t_.word_at(i, "CONSTRAINT")) {
          name = t_.identifier(i + 1);
          i += 2;
        }
        PendingConstraint pending;
        i = read_constraint(t_, i, end, column.name, pending);
        add(std::move(pending), name);
      }
    }
    columns_.push_back(std::move(column));
    return i;
  }

  // [SCOPE [FOR (column)]] IS [owner.]table: the table must be an object table. A scope only narrows
  // where a REF may point; DEREF finds its row by identifier, so it is checked and not kept.
  int read_scope(int i) {
    t_.expect_word(i, "IS");
    const int name_index = i;
    std::string owner, name;
    i = t_.read_object_name(i, owner, name);
    if (!find_object_table(t_.db_, owner.empty() ? default_schema(t_.session_) : owner, name)) t_.fail(942, name_index);
    return i;
  }

  int read_table_constraint(int i, int end) {
    std::string name;
    if (t_.word_at(i, "CONSTRAINT")) {
      name = t_.identifier(i + 1);
      i += 2;
    }
    PendingConstraint pending;
    i = read_constraint(t_, i, end, "", pending);
    add(std::move(pending), name);
    return i;
  }

  void add(PendingConstraint pending, const std::string& name) {
    Constraint& c = pending.constraint;
    c.owner = owner_;
    c.table = table_;
    if (name.empty()) {
      char generated[32];
      std::snprintf(generated, sizeof generated, "SYS_C%06lld", static_cast<long long>(next_system_number_++));
      c.name = generated;
    } else {
      c.name = name;
      for (const auto& other : constraints_) {
        if (other.constraint.name == name) t_.fail(2264, 0);
      }
      if (find_constraint(t_.db_, owner_, name)) t_.fail(2264, 0);
    }
    if (c.type == 'P') {
      for (const auto& other : constraints_) {
        if (other.constraint.type == 'P') t_.fail(2260, 0);
      }
      if (existing_primary_key_) t_.fail(2260, 0);
    }
    constraints_.push_back(std::move(pending));
  }

  // Columns that must not be NULL: declared NOT NULL or in the primary key.
  bool is_not_null(const std::string& column) const {
    for (const auto& pending : constraints_) {
      const Constraint& c = pending.constraint;
      bool not_null_check = c.type == 'C' && pending.condition_begin < 0;
      if ((c.type == 'P' || not_null_check) &&
          std::find(c.columns.begin(), c.columns.end(), column) != c.columns.end())
        return true;
    }
    return false;
  }

  std::string column_sql(const ColumnDefinition& column) const {
    std::string sql = quote_name(column.stored()) + " " + column.declared_type;
    if (blank_padding(column.declared_type)) sql += std::string(" COLLATE ") + kBlankPaddedCollation;
    if (!column.default_sql.empty()) sql += " DEFAULT " + stored_default(column);
    if (is_not_null(column.name)) sql += " NOT NULL";
    return sql + column_checks(column, owner_, table_);
  }

  std::string create_table_sql() const {
    std::string sql = "CREATE TABLE " + quote_name(sqlite_name()) + " (";
    for (size_t i = 0; i < columns_.size(); ++i) sql += (i ? ", " : "") + column_sql(columns_[i]);
    for (const auto& pending : constraints_) {
      const Constraint& c = pending.constraint;
      if (c.type != 'P' && c.type != 'U') continue;
      sql += ", CONSTRAINT " + quote_name(owner_ + "." + c.name) + (c.type == 'P' ? " PRIMARY KEY (" : " UNIQUE (") +
             stored_list(c.columns) + ")";
    }
    return sql + ")";
  }

  // Catalogue rows, triggers and (for ALTER TABLE) unique indexes for the constraints read.
  void constraint_sql(std::vector<std::string>& out, bool existing_table) {
    for (auto& pending : constraints_) {
      Constraint& c = pending.constraint;
      if (c.type == 'R') resolve_reference(pending, out);
      if (c.type == 'C' && pending.condition_begin >= 0) {
        c.columns = condition_columns(pending, existing_table);
        Scope none;
        t_.column_prefix_ = "NEW.";
        t_.prefix_columns_ = &taken_;
        std::string condition = t_.rewrite(pending.condition_begin, pending.condition_end, none);
        t_.column_prefix_.clear();
        t_.prefix_columns_ = nullptr;
        for (auto& trigger : check_triggers(c, sqlite_name(), condition)) out.push_back(std::move(trigger));
      }
      if (existing_table && (c.type == 'P' || c.type == 'U')) {
        out.push_back("CREATE UNIQUE INDEX " + quote_name(owner_ + "." + c.name) + " ON " + quote_name(sqlite_name()) +
                      " (" + stored_list(c.columns) + ")");
        if (c.type == 'P') add_not_null_triggers(c, out);
      }
      out.push_back(register_constraint_sql(c));
    }
  }

  void column_catalogue_sql(std::vector<std::string>& out) const {
    for (const auto& column : columns_) {
      if (column.default_text.empty()) continue;
      out.push_back("INSERT OR REPLACE INTO \"OCIEMU$COLUMNS\" VALUES (" + quote_literal(owner_) + ", " +
                    quote_literal(table_) + ", " + quote_literal(column.name) + ", " +
                    quote_literal(column.default_text) + ")");
    }
  }

  const std::string& sqlite_name() const { return storage_; }
  const std::vector<ColumnDefinition>& columns() const { return columns_; }
  // ALTER TABLE ADD: the table's columns as SQLite names them.
  void add_to_existing(std::vector<std::string> stored) { taken_ = std::move(stored); }
  std::string stored(const std::string& column) const { return stored_column_name(taken_, column); }
  std::string stored_list(const std::vector<std::string>& columns) const {
    std::vector<std::string> stored_names;
    for (const auto& column : columns) stored_names.push_back(stored(column));
    return sql_list(stored_names);
  }

  // The table's columns a CHECK condition names, in the order of their first mention.
  std::vector<std::string> condition_columns(const PendingConstraint& pending, bool existing_table) const {
    std::vector<std::string> known;
    if (existing_table) {
      for (const auto& column : table_columns(t_.db_, sqlite_name())) known.push_back(oracle_name(column));
    }
    for (const auto& column : columns_) known.push_back(column.name);
    std::vector<std::string> named;
    for (int k = pending.condition_begin; k < pending.condition_end; ++k) {
      const Token& token = t_.token(k);
      const bool name = token.kind == TokenKind::Word || token.kind == TokenKind::QuotedName;
      if (!name || t_.token(k + 1).is_op("(") || t_.token(k - 1).is_op(".")) continue;
      if (std::find(known.begin(), known.end(), token.text) == known.end()) continue;
      if (std::find(named.begin(), named.end(), token.text) == named.end()) named.push_back(token.text);
    }
    return named;
  }
  bool existing_primary_key_ = false;

 private:
  void resolve_reference(PendingConstraint& pending, std::vector<std::string>& out) {
    Constraint& c = pending.constraint;
    std::string parent_owner, parent_table, parent_storage = sqlite_name();
    std::vector<std::string> parent_columns = pending.referenced_columns;
    const bool self = (pending.referenced_owner.empty() || pending.referenced_owner == owner_) &&
                      pending.referenced_table == table_;
    std::vector<Constraint> keys;
    if (self) {
      parent_owner = owner_;
      parent_table = table_;
      for (const auto& other : constraints_) keys.push_back(other.constraint);
      for (const auto& other : table_constraints(t_.db_, owner_, table_)) keys.push_back(other);
    } else {
      SchemaObject parent = t_.resolve_table(pending.reference_index, pending.referenced_owner, pending.referenced_table);
      if (parent.type != "TABLE") t_.fail(942, pending.reference_index);
      parent_owner = parent.owner;
      parent_table = parent.name;
      parent_storage = parent.sqlite_name();
      keys = table_constraints(t_.db_, parent_owner, parent_table);
    }
    const Constraint* key = nullptr;
    for (const auto& candidate : keys) {
      bool usable = candidate.type == 'P' || candidate.type == 'U';
      if (usable && ((parent_columns.empty() && candidate.type == 'P') || candidate.columns == parent_columns)) {
        key = &candidate;
        break;
      }
    }
    if (!key || key->columns.size() != c.columns.size())
      t_.fail(2270, pending.reference_index);
    c.referenced_owner = key->owner;
    c.referenced_name = key->name;
    for (auto& trigger : foreign_key_triggers(c, sqlite_name(), parent_storage, key->columns))
      out.push_back(std::move(trigger));
  }

  void add_not_null_triggers(const Constraint& key, std::vector<std::string>& out) const {
    for (const auto& column : key.columns) {
      std::string message = full_message(1400, message_text(1400, {in_quotes(owner_) + "." + in_quotes(table_) + "." + in_quotes(column)}));
      for (const char* event : {"INSERT", "UPDATE"}) {
        out.push_back("CREATE TRIGGER " + quote_name(owner_ + "." + key.name + "#" + stored(column) + "#" + event) +
                      " BEFORE " + event + " ON " + quote_name(sqlite_name()) + " FOR EACH ROW WHEN NEW." +
                      quote_name(stored(column)) + " IS NULL BEGIN SELECT RAISE(ABORT, " + quote_literal(message) +
                      "); END");
      }
    }
  }

  Translator& t_;
  std::string owner_, table_, storage_;
  std::vector<ColumnDefinition> columns_;
  std::vector<PendingConstraint> constraints_;
  std::vector<std::string> taken_;  // SQLite's names of the table's columns, old and new
  int64_t next_system_number_ = 0;
};

std::string declaration_for(const std::optional<OracleType>& type) {
  if (!type) return "VARCHAR2(4000)";
  switch (type->type_code) {
    case 2:
      return "NUMBER";
    case 12:
      return "DATE";
    case 180:
      return "TIMESTAMP(6)";
    case 181:
      return "TIMESTAMP WITH TIME ZONE(6)";
    default:
      return "VARCHAR2(4000)";
  }
}

}  // namespace

// ---- CREATE -------------------------------------------------------------------------------

namespace {

std::string new_object_owner(Translator& t, const std::string& owner, int index) {
  std::string result = owner.empty() ? default_schema(t.session_) : owner;
  if (!user_exists(t.db_, result)) t.fail(1918, {result}, index);
  return result;
}

void require_new_name(Translator& t, const std::string& owner, const std::string& name, int index) {
  if (find_object(t.db_, owner, name)) t.fail(955, index);
}

std::string password_text(const Translator& t, int index) {
  const Token& password = t.token(index);
  if (password.kind == TokenKind::End) t.fail(988, index);
  // Passwords are case-sensitive: an unquoted one keeps its spelling.
  if (password.kind == TokenKind::QuotedName) return password.text;
  return std::string(t.sql_.substr(static_cast<size_t>(password.offset), static_cast<size_t>(password.length)));
}

void rename_table_sql(sqlite3* db, const SchemaObject& table, const std::string& new_name,
                      std::vector<std::string>& out) {
  const std::string storage = new_sqlite_name(db, table.owner, new_name);
  out.push_back("ALTER TABLE " + quote_name(table.sqlite_name()) + " RENAME TO " + quote_name(storage));
  const std::string key = " WHERE OWNER = " + quote_literal(table.owner) + " AND TABLE_NAME = " + quote_literal(table.name);
  for (const char* catalogue : {"OCIEMU$CONSTRAINTS", "OCIEMU$INDEXES", "OCIEMU$COLUMNS"}) {
    out.push_back("UPDATE \"" + std::string(catalogue) + "\" SET TABLE_NAME = " + quote_literal(new_name) + key);
  }
  const bool plain = storage == table.owner + "." + new_name;
  out.push_back("UPDATE \"OCIEMU$OBJECTS\" SET NAME = " + quote_literal(new_name) +
                ", STORAGE = " + (plain ? std::string("NULL") : quote_literal(storage)) + " WHERE OWNER = " +
                quote_literal(table.owner) + " AND NAME = " + quote_literal(table.name));
}

}  // namespace

void Translator::translate_other_ddl(int function_code) {
  out_.kind = StatementKind::OtherDdl;
  out_.sql_function_code = function_code;
  out_.statement_type = 0;
  if (function_code == 37) {  // RENAME old TO new
    std::string owner, name;
    int i = read_object_name(1, owner, name);
    SchemaObject object = resolve_table(1, owner, name);
    if (!word_at(i, "TO")) fail(946, i);
    std::string new_name = identifier(i + 1);
    require_new_name(*this, object.owner, new_name, i + 1);
    rename_table_sql(db_, object, new_name, out_.sqlite_sql);
  }
}

void Translator::create_user(int i) {
  std::string name;
  out_.sql_function_code = 19;
  name = identifier(i);
  if (user_exists(db_, name)) fail(1920, {name}, i);
  if (!word_at(i + 1, "IDENTIFIED") || !word_at(i + 2, "BY")) fail(1935, i + 1);
  std::string text = password_text(*this, i + 3);
  bool expired = false;
  for (int j = i + 4; j < end_index(); ++j) expired = expired || (word_at(j, "PASSWORD") && word_at(j + 1, "EXPIRE"));
  out_.sqlite_sql.push_back("INSERT INTO \"OCIEMU$USERS\"(NAME, PASSWORD, STATUS, CREATED) VALUES (" + quote_literal(name) +
                            ", " + quote_literal(text) + ", " + (expired ? "'EXPIRED'" : "'OPEN'") + ", datetime('now'))");
}

void Translator::create_directory(int i, bool or_replace) {
  std::string name;
  out_.sql_function_code = 157;
  name = identifier(i);
  if (!word_at(i + 1, "AS") || token(i + 2).kind != TokenKind::String) fail(905, i + 1);
  out_.sqlite_sql.push_back(std::string(or_replace ? "INSERT OR REPLACE" : "INSERT") +
                            " INTO \"OCIEMU$DIRECTORIES\" VALUES (" + quote_literal(name) + ", " +
                            quote_literal(token(i + 2).text) + ")");
}

void Translator::create_sequence(int i) {
  std::string owner, name;
  out_.sql_function_code = 13;
  int name_index = i;
  i = read_object_name(i, owner, name);
  owner = new_object_owner(*this, owner, name_index);
  require_new_name(*this, owner, name, name_index);
  int64_t increment = 1, start = 0, minimum = 0, maximum = 0;
  bool has_start = false, has_min = false, has_max = false, cycle = false;
  int64_t cache = 20;
  auto number = [&](int at) {
    bool negative = token(at).is_op("-");
    const Token& value = token(negative ? at + 1 : at);
    if (value.kind != TokenKind::Number) fail(2283, at);
    long long parsed = std::strtoll(value.text.c_str(), nullptr, 10);
    if (value.text.size() > 18) parsed = negative ? LLONG_MAX : LLONG_MAX;
    return std::pair<int64_t, int>{negative ? -parsed : parsed, negative ? at + 2 : at + 1};
  };
  while (i < end_index()) {
    if (word_at(i, "INCREMENT") && word_at(i + 1, "BY")) {
      std::tie(increment, i) = number(i + 2);
      if (increment == 0) fail(4002, i - 1);
    } else if (word_at(i, "START") && word_at(i + 1, "WITH")) {
      std::tie(start, i) = number(i + 2);
      has_start = true;
    } else if (word_at(i, "MINVALUE")) {
      std::tie(minimum, i) = number(i + 1);
      has_min = true;
    } else if (word_at(i, "MAXVALUE")) {
      std::tie(maximum, i) = number(i + 1);
      has_max = true;
    } else if (word_at(i, "CACHE")) {
      std::tie(cache, i) = number(i + 1);
    } else if (word_at(i, "CYCLE")) {
      cycle = true;
      ++i;
    } else if (word_at(i, "NOCYCLE") || word_at(i, "NOCACHE") || word_at(i, "ORDER") || word_at(i, "NOORDER") ||
               word_at(i, "NOMINVALUE") || word_at(i, "NOMAXVALUE") || word_at(i, "NOKEEP") || word_at(i, "NOSCALE")) {
      ++i;
    } else {
      fail(933, i);
    }
  }
  if (!has_min) minimum = increment > 0 ? 1 : LLONG_MIN + 1;
  if (!has_max) maximum = increment > 0 ? LLONG_MAX : -1;
  if (!has_start) start = increment > 0 ? minimum : maximum;
  if (minimum >= maximum) fail(4004, 0);
  if (start < minimum) fail(4006, 0);
  if (start > maximum) fail(4008, 0);
  out_.sqlite_sql.push_back("INSERT INTO \"OCIEMU$SEQUENCES\" VALUES (" + quote_literal(owner) + ", " +
                            quote_literal(name) + ", " + std::to_string(minimum) + ", " + std::to_string(maximum) +
                            ", " + std::to_string(increment) + ", " + (cycle ? "'Y'" : "'N'") + ", " +
                            std::to_string(cache) + ", " + std::to_string(start) + ")");
  out_.sqlite_sql.push_back(register_object_sql(owner, name, "SEQUENCE"));
}

void Translator::create_synonym(int i, bool or_replace, bool is_public) {
  std::string owner, name;
  out_.sql_function_code = 30;
  int name_index = i;
  i = read_object_name(i, owner, name);
  owner = is_public ? std::string(kPublic) : new_object_owner(*this, owner, name_index);
  if (auto existing = find_object(db_, owner, name)) {
    if (!or_replace || existing->type != "SYNONYM") fail(955, name_index);
    out_.sqlite_sql.push_back("DELETE FROM \"OCIEMU$SYNONYMS\" WHERE OWNER = " + quote_literal(owner) + " AND NAME = " +
                              quote_literal(name));
    out_.sqlite_sql.push_back("DELETE FROM \"OCIEMU$OBJECTS\" WHERE OWNER = " + quote_literal(owner) + " AND NAME = " +
                              quote_literal(name));
  }
  if (!word_at(i, "FOR")) fail(905, i);
  std::string target_owner, target;
  i = read_object_name(i + 1, target_owner, target);
  if (token(i).is_op("@")) fail(2019, i);
  if (i != end_index()) fail_not_ended(i);
  if (target_owner.empty()) target_owner = default_schema(session_);
  out_.sqlite_sql.push_back("INSERT INTO \"OCIEMU$SYNONYMS\" VALUES (" + quote_literal(owner) + ", " +
                            quote_literal(name) + ", " + quote_literal(target_owner) + ", " + quote_literal(target) + ")");
  out_.sqlite_sql.push_back(register_object_sql(owner, name, "SYNONYM"));
}

void Translator::create_view(int i, bool or_replace) {
  std::string owner, name;
  out_.sql_function_code = 10;
  int name_index = i;
  i = read_object_name(i, owner, name);
  owner = new_object_owner(*this, owner, name_index);
  auto existing = find_object(db_, owner, name);
  const std::string storage = existing ? existing->sqlite_name() : new_sqlite_name(db_, owner, name);
  std::string sqlite = quote_name(storage);
  if (existing) {
    if (!or_replace || existing->type != "VIEW") fail(955, name_index);
    out_.sqlite_sql.push_back("DROP VIEW " + sqlite);
    out_.sqlite_sql.push_back("DELETE FROM \"OCIEMU$OBJECTS\" WHERE OWNER = " + quote_literal(owner) + " AND NAME = " +
                              quote_literal(name));
  }
  std::string columns;
  if (token(i).is_op("(")) {
    columns = " (" + sql_list(read_column_list(*this, i)) + ")";
  }
  expect_word(i, "AS");
  int end = end_index();
  for (int j = i; j < end_index(); ++j) {
    if (token(j).is_op("(")) {
      j = matching(j);
    } else if (word_at(j, "WITH") && (word_at(j + 1, "READ") || word_at(j + 1, "CHECK"))) {
      end = j;
      break;
    }
  }
  top_query_begin_ = i;
  std::string select = query(i, end, nullptr);
  out_.select_types.clear();
  out_.sqlite_sql.push_back("CREATE VIEW " + sqlite + columns + " AS " + select);
  out_.sqlite_sql.push_back(register_object_sql(owner, name, "VIEW", storage));
  const auto text_begin = static_cast<size_t>(token(i).offset);
  const auto text_end = static_cast<size_t>(token(end).offset);
  const std::string key = quote_literal(owner) + ", " + quote_literal(name) + ", 'VIEW', ";
  out_.sqlite_sql.push_back("DELETE FROM \"OCIEMU$SOURCE\" WHERE OWNER = " + quote_literal(owner) +
                            " AND NAME = " + quote_literal(name) + " AND TYPE = 'VIEW'");
  out_.sqlite_sql.push_back("INSERT INTO \"OCIEMU$SOURCE\" VALUES (" + key + "1, " +
                            quote_literal(sql_.substr(text_begin, text_end - text_begin)) + ")");
  if (end != end_index()) {
    out_.sqlite_sql.push_back("INSERT INTO \"OCIEMU$SOURCE\" VALUES (" + key + std::to_string(kViewRestrictionLine) +
                              ", " + quote_literal(sql_.substr(text_end)) + ")");
  }
}

void Translator::create_index(int i, bool unique) {
  std::string owner, name;
  out_.sql_function_code = 20;
  int name_index = i;
  i = read_object_name(i, owner, name);
  if (!word_at(i, "ON")) fail(969, i);
  std::string table_owner, table_name;
  int table_index = i + 1;
  i = read_object_name(i + 1, table_owner, table_name);
  SchemaObject table = resolve_table(table_index, table_owner, table_name);
  if (table.type != "TABLE") fail(942, table_index);
  if (owner.empty()) owner = table.owner;
  Query existing(db_, "SELECT 1 FROM \"OCIEMU$INDEXES\" WHERE OWNER = ?1 AND NAME = ?2");
  existing.bind(1, owner).bind(2, name);
  if (existing.step()) fail(955, name_index);
  if (!token(i).is_op("(")) fail(906, i);
  int close = matching(i);
  std::vector<std::string> columns;
  bool plain = true;
  for (int j = i + 1; j < close; ++j) {
    if (token(j).is_op(",") || word_at(j, "ASC") || word_at(j, "DESC")) continue;
    if (token(j).kind == TokenKind::Word || token(j).kind == TokenKind::QuotedName) {
      columns.push_back(token(j).text);
    } else {
      plain = false;
    }
  }
  Scope none;
  std::string elements = rewrite(i + 1, close, none);
  out_.sqlite_sql.push_back(std::string(unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") +
                            quote_name(owner + "." + name) + " ON " + quote_name(table.sqlite_name()) + " (" +
                            elements + ")");
  out_.sqlite_sql.push_back("INSERT INTO \"OCIEMU$INDEXES\" VALUES (" + quote_literal(owner) + ", " + quote_literal(name) +
                            ", " + quote_literal(table.name) + ", " + quote_literal(plain ? join_columns(columns) : "") +
                            ", " + (unique ? "'UNIQUE'" : "'NONUNIQUE'") + ")");
}

void Translator::create_table(int i) {
  std::string owner, name;
  out_.sql_function_code = 1;
  int name_index = i;
  i = read_object_name(i, owner, name);
  owner = new_object_owner(*this, owner, name_index);
  require_new_name(*this, owner, name, name_index);
  if (word_at(i, "OF")) return create_object_table(i + 1, owner, name);
  const std::string storage = new_sqlite_name(db_, owner, name);
  TableBuilder builder(*this, owner, name, storage);
  std::vector<std::string> column_names;
  int as = word_at(i, "AS") ? i : -1;
  if (token(i).is_op("(")) {
    int close = matching(i);
    if (word_at(close + 1, "AS")) {
      for (int j = i + 1; j < close; ++j) {
        if (!token(j).is_op(",")) column_names.push_back(identifier(j));
      }
      as = close + 1;
    } else {
      builder.read_elements(i + 1, close);
      i = close + 1;
    }
  }
  if (as >= 0) return create_table_as_select(as, owner, name, column_names);
  // Storage clauses and ON COMMIT after the column list change nothing here.
  std::vector<std::string> statements{builder.create_table_sql(), register_object_sql(owner, name, "TABLE", storage)};
  builder.constraint_sql(statements, false);
  builder.column_catalogue_sql(statements);
  out_.sqlite_sql = std::move(statements);
}

// The new table's columns take the query's declared types, else the types its expressions imply.
void Translator::create_table_as_select(int as, const std::string& owner, const std::string& name,
                                        const std::vector<std::string>& column_names) {
  top_query_begin_ = as + 1;
  std::string select = query(as + 1, end_index(), nullptr);
  std::vector<std::optional<OracleType>> hints = std::move(out_.select_types);
  out_.select_types.clear();
  Query described(db_, select);
  sqlite3_stmt* statement = described.handle();
  const std::string storage = new_sqlite_name(db_, owner, name);
  std::string definition = "CREATE TABLE " + quote_name(storage) + " (";
  int count = sqlite3_column_count(statement);
  if (!column_names.empty() && static_cast<int>(column_names.size()) != count) fail(1730, as);
  if (static_cast<size_t>(count) > kMaxTableColumns) fail(1792, as);
  std::vector<std::string> names = column_names;
  for (int c = 0; column_names.empty() && c < count; ++c) names.push_back(oracle_name(sqlite3_column_name(statement, c)));
  const std::vector<std::string> stored = distinct_stored_names(names);
  for (int c = 0; c < count; ++c) {
    const char* declared = sqlite3_column_decltype(statement, c);
    std::optional<OracleType> hint = c < static_cast<int>(hints.size()) ? hints[static_cast<size_t>(c)] : std::nullopt;
    std::string type = declared && parse_declared_type(declared) ? declared : declaration_for(hint);
    definition += (c ? ", " : "") + quote_name(stored[static_cast<size_t>(c)]) + " " + type;
  }
  out_.sqlite_sql.push_back(definition + ")");
  out_.sqlite_sql.push_back("INSERT INTO " + quote_name(storage) + " " + select);
  out_.sqlite_sql.push_back(register_object_sql(owner, name, "TABLE", storage));
}

void Translator::translate_create() {
  out_.kind = StatementKind::Create;
  out_.statement_type = 5;
  int i = 1;
  bool or_replace = false, unique = false, is_public = false;
  if (word_at(i, "OR") && word_at(i + 1, "REPLACE")) {
    or_replace = true;
    i += 2;
  }
  if (word_at(i, "FORCE") || word_at(i, "NOFORCE")) ++i;
  if (word_at(i, "GLOBAL") && word_at(i + 1, "TEMPORARY")) i += 2;
  if (word_at(i, "UNIQUE") || word_at(i, "BITMAP")) unique = word_at(i++, "UNIQUE");
  if (word_at(i, "PUBLIC")) {
    is_public = true;
    ++i;
  }
  const std::string kind = token(i).kind == TokenKind::Word ? token(i).text : "";
  ++i;
  if (kind == "USER") return create_user(i);
  if (kind == "DIRECTORY") return create_directory(i, or_replace);
  if (kind == "SEQUENCE") return create_sequence(i);
  if (kind == "SYNONYM") return create_synonym(i, or_replace, is_public);
  if (kind == "VIEW") return create_view(i, or_replace);
  if (kind == "INDEX") return create_index(i, unique);
  if (kind == "TABLE") return create_table(i);
  if (kind == "TYPE" && !word_at(i, "BODY")) return create_type(i, or_replace);
  if (kind == "PROCEDURE" || kind == "FUNCTION" || kind == "PACKAGE" || kind == "TRIGGER" || kind == "TYPE") {
    out_.kind = StatementKind::PlsqlBlock;
    out_.sql_function_code = kind == "TYPE" ? 77 : kind == "PROCEDURE" ? 24 : kind == "FUNCTION" ? 91 : kind == "TRIGGER" ? 59
                             : word_at(i, "BODY") ? 97 : 94;
    return;
  }
  if (kind == "ROLE" || kind == "TABLESPACE" || kind == "PROFILE") {
    out_.kind = StatementKind::OtherDdl;
    return;
  }
  fail(901, 1);
}

// ---- DROP ---------------------------------------------------------------------------------

namespace {

void drop_constraint_sql(const Constraint& c, std::vector<std::string>& out) {
  for (const auto& trigger : constraint_trigger_names(c)) out.push_back("DROP TRIGGER IF EXISTS " + trigger);
  if (c.type == 'P') {
    for (const auto& column : c.columns) {
      for (const char* event : {"INSERT", "UPDATE"})
        out.push_back("DROP TRIGGER IF EXISTS " + quote_name(c.owner + "." + c.name + "#" + column + "#" + event));
    }
  }
  const std::string key = " WHERE OWNER = " + quote_literal(c.owner) + " AND NAME = " + quote_literal(c.name);
  out.push_back("DELETE FROM \"OCIEMU$DISABLED\"" + key);
  out.push_back("DELETE FROM \"OCIEMU$CONSTRAINTS\"" + key);
}

}  // namespace

// A disabled constraint keeps the SQL of the triggers and index that enforce it
// in "OCIEMU$DISABLED"; enabling runs it again (existing rows are not revalidated).
void Translator::disable_constraint_sql(const Constraint& c, int token_index, std::vector<std::string>& out) const {
  const std::string key = c.owner + "." + c.name;
  Query disabled(db_, "SELECT 1 FROM \"OCIEMU$DISABLED\" WHERE OWNER = ?1 AND NAME = ?2");
  disabled.bind(1, c.owner).bind(2, c.name);
  if (disabled.step()) return;
  Query objects(db_,
                "SELECT type, name, sql FROM sqlite_schema WHERE (type = 'trigger' AND substr(name, 1, length(?1) + 1) "
                "= ?1 || '#') OR (type = 'index' AND name = ?1 AND sql IS NOT NULL)");
  objects.bind(1, key);
  int seq = 0;
  while (objects.step()) {
    out.push_back("INSERT INTO \"OCIEMU$DISABLED\" VALUES (" + quote_literal(c.owner) + ", " + quote_literal(c.name) +
                  ", " + std::to_string(++seq) + ", " + quote_literal(objects.text(2)) + ")");
    out.push_back((objects.text(0) == "trigger" ? "DROP TRIGGER " : "DROP INDEX ") + quote_name(objects.text(1)));
  }
  // Keys declared inside CREATE TABLE and column NOT NULL live in SQLite's own table definition.
  if (seq == 0) fail(3001, token_index);
}

void Translator::enable_constraint_sql(const Constraint& c, std::vector<std::string>& out) const {
  Query saved(db_, "SELECT OBJECT_SQL FROM \"OCIEMU$DISABLED\" WHERE OWNER = ?1 AND NAME = ?2 ORDER BY SEQ");
  saved.bind(1, c.owner).bind(2, c.name);
  while (saved.step()) out.push_back(saved.text(0));
  out.push_back("DELETE FROM \"OCIEMU$DISABLED\" WHERE OWNER = " + quote_literal(c.owner) + " AND NAME = " +
                quote_literal(c.name));
}

namespace {

void drop_table_sql(sqlite3* db, const SchemaObject& table, bool cascade, const Translator& t, int index,
                    std::vector<std::string>& out) {
  for (const Constraint& foreign : referencing_constraints(db, table.owner, table.name)) {
    if (foreign.owner == table.owner && foreign.table == table.name) continue;
    if (!cascade) t.fail(2449, index);
    drop_constraint_sql(foreign, out);
  }
  for (const Constraint& own : table_constraints(db, table.owner, table.name)) {
    // Triggers on other tables (the parent side of our foreign keys) outlive the DROP TABLE.
    for (const auto& trigger : constraint_trigger_names(own)) out.push_back("DROP TRIGGER IF EXISTS " + trigger);
  }
  for (std::string& trigger : drop_table_triggers_sql(db, table.owner, table.name)) out.push_back(std::move(trigger));
  out.push_back("DROP TABLE " + quote_name(table.sqlite_name()));
  const std::string where = " WHERE OWNER = " + quote_literal(table.owner) + " AND TABLE_NAME = " + quote_literal(table.name);
  out.push_back("DELETE FROM \"OCIEMU$DISABLED\" WHERE OWNER = " + quote_literal(table.owner) +
                " AND NAME IN (SELECT NAME FROM \"OCIEMU$CONSTRAINTS\"" + where + ")");
  out.push_back("DELETE FROM \"OCIEMU$CONSTRAINTS\"" + where);
  out.push_back("DELETE FROM \"OCIEMU$INDEXES\"" + where);
  out.push_back("DELETE FROM \"OCIEMU$COLUMNS\"" + where);
  for (std::string& statement : drop_object_identifier_sql(table.owner, table.name)) out.push_back(std::move(statement));
  out.push_back("DELETE FROM \"OCIEMU$OBJECTS\" WHERE OWNER = " + quote_literal(table.owner) + " AND NAME = " +
                quote_literal(table.name));
}

void drop_object_sql(sqlite3* db, const SchemaObject& object, bool cascade, const Translator& t, int index,
                     std::vector<std::string>& out) {
  const std::string key = " WHERE OWNER = " + quote_literal(object.owner) + " AND NAME = " + quote_literal(object.name);
  if (object.type == "TABLE") return drop_table_sql(db, object, cascade, t, index, out);
  if (object.type == "VIEW") {
    out.push_back("DROP VIEW " + quote_name(object.sqlite_name()));
    out.push_back("DELETE FROM \"OCIEMU$SOURCE\"" + key);
  }
  if (object.type == "SEQUENCE") out.push_back("DELETE FROM \"OCIEMU$SEQUENCES\"" + key);
  if (object.type == "SYNONYM") out.push_back("DELETE FROM \"OCIEMU$SYNONYMS\"" + key);
  if (object.type == "TYPE") drop_type_catalogue_sql(object.owner, object.name, out);
  out.push_back("DELETE FROM \"OCIEMU$OBJECTS\"" + key);
}

}  // namespace

void Translator::translate_drop() {
  out_.kind = StatementKind::Drop;
  out_.statement_type = 6;
  int i = 1;
  bool is_public = false;
  if (word_at(i, "PUBLIC")) {
    is_public = true;
    ++i;
  }
  const std::string kind = token(i).kind == TokenKind::Word ? token(i).text : "";
  ++i;
  std::string owner, name;
  int name_index = i;
  if (kind == "USER") {
    out_.sql_function_code = 11;
    name = identifier(i);
    if (!user_exists(db_, name)) fail(1918, {name}, i);
    bool cascade = word_at(i + 1, "CASCADE");
    Query objects(db_, "SELECT NAME, TYPE, OBJECT_ID FROM \"OCIEMU$OBJECTS\" WHERE OWNER = ?1 ORDER BY TYPE = 'TABLE'");
    objects.bind(1, name);
    while (objects.step()) {
      if (!cascade) fail(1922, {name}, i);
      drop_object_sql(db_, SchemaObject{name, objects.text(0), objects.text(1), objects.integer(2)}, true, *this, i,
                      out_.sqlite_sql);
    }
    out_.sqlite_sql.push_back("DELETE FROM \"OCIEMU$USERS\" WHERE NAME = " + quote_literal(name));
    return;
  }
  if (kind == "DIRECTORY") {
    out_.sql_function_code = 158;
    out_.sqlite_sql.push_back("DELETE FROM \"OCIEMU$DIRECTORIES\" WHERE NAME = " + quote_literal(identifier(i)));
    return;
  }
  if (kind == "INDEX") {
    out_.sql_function_code = 21;
    i = read_object_name(i, owner, name);
    if (owner.empty()) owner = default_schema(session_);
    Query index(db_, "SELECT 1 FROM \"OCIEMU$INDEXES\" WHERE OWNER = ?1 AND NAME = ?2");
    index.bind(1, owner).bind(2, name);
    if (!index.step()) fail(1418, name_index);
    out_.sqlite_sql.push_back("DROP INDEX " + quote_name(owner + "." + name));
    out_.sqlite_sql.push_back("DELETE FROM \"OCIEMU$INDEXES\" WHERE OWNER = " + quote_literal(owner) + " AND NAME = " +
                              quote_literal(name));
    return;
  }
  if (kind == "TRIGGER") return drop_trigger(i);
  if (kind == "PROCEDURE" || kind == "FUNCTION" || kind == "PACKAGE") {
    // DROP PACKAGE BODY keeps the declaration.
    const bool body_only = kind == "PACKAGE" && word_at(i, "BODY");
    if (body_only) ++i;
    out_.sql_function_code = kind == "PROCEDURE" ? 25 : kind == "FUNCTION" ? 92 : body_only ? 98 : 95;
    i = read_object_name(i, owner, name);
    if (owner.empty()) owner = default_schema(session_);
    auto object = find_object(db_, owner, name);
    if (!object || object->type != kind) fail(4043, {name}, name_index);
    std::string key = " WHERE OWNER = " + quote_literal(owner) + " AND NAME = " + quote_literal(name);
    if (body_only) key += " AND TYPE = 'PACKAGE BODY'";
    for (const char* table : {"\"OCIEMU$OBJECTS\"", "\"OCIEMU$SOURCE\"", "\"OCIEMU$ERRORS\""}) {
      if (body_only && std::string_view(table) == "\"OCIEMU$OBJECTS\"") continue;
      out_.sqlite_sql.push_back(std::string("DELETE FROM ") + table + key);
    }
    return;
  }
  if (kind == "TYPE") return drop_type(i);
  if (kind != "TABLE" && kind != "VIEW" && kind != "SEQUENCE" && kind != "SYNONYM") {
    if (kind == "PROCEDURE" || kind == "FUNCTION" || kind == "PACKAGE" || kind == "TRIGGER" || kind == "TYPE" ||
        kind == "ROLE" || kind == "TABLESPACE") {
      out_.kind = StatementKind::OtherDdl;
      return;
    }
    fail(950, 1);
  }
  out_.sql_function_code = kind == "TABLE" ? 8 : kind == "VIEW" ? 7 : kind == "SEQUENCE" ? 16 : 31;
  i = read_object_name(i, owner, name);
  if (is_public) owner = std::string(kPublic);
  if (owner.empty()) owner = default_schema(session_);
  auto object = find_object(db_, owner, name);
  if (!object || object->type != kind) {
    if (kind == "SEQUENCE") fail(2289, name_index);
    if (kind == "SYNONYM")
      fail(is_public ? 1432 : 1434, name_index);
    fail(942, name_index);
  }
  bool cascade = word_at(i, "CASCADE");
  drop_object_sql(db_, *object, cascade, *this, name_index, out_.sqlite_sql);
}

// ---- ALTER --------------------------------------------------------------------------------

namespace {

// TIME_ZONE = '+hh:mi' | LOCAL | DBTIMEZONE.
int session_zone(const Translator& t, const Token& value, int index) {
  if (value.kind != TokenKind::String) {
    if (value.is_word("LOCAL")) return current_local_time().zone_minutes;
    if (value.is_word("DBTIMEZONE")) return kDatabaseZoneMinutes;
    t.fail(922, index);
  }
  ZoneParse zone = parse_time_zone(value.text);
  if (zone.error) t.fail(zone.error, index);
  return zone.minutes;
}

// The languages Oracle's NLS data knows; another name fails with ORA-12705.
bool is_nls_language(std::string name) {
  static constexpr std::string_view kLanguages[] = {
      "AMERICAN", "ARABIC", "BENGALI", "BRAZILIAN PORTUGUESE", "BULGARIAN", "CANADIAN FRENCH", "CATALAN", "CROATIAN",
      "CZECH", "DANISH", "DUTCH", "EGYPTIAN", "ENGLISH", "ESTONIAN", "FINNISH", "FRENCH", "GERMAN", "GERMAN DIN",
      "GREEK", "HEBREW", "HUNGARIAN", "ICELANDIC", "INDONESIAN", "ITALIAN", "JAPANESE", "KOREAN",
      "LATIN AMERICAN SPANISH", "LATVIAN", "LITHUANIAN", "MALAY", "MEXICAN SPANISH", "NORWEGIAN", "POLISH",
      "PORTUGUESE", "ROMANIAN", "RUSSIAN", "SIMPLIFIED CHINESE", "SLOVAK", "SLOVENIAN", "SPANISH", "SWEDISH", "THAI",
      "TRADITIONAL CHINESE", "TURKISH", "UKRAINIAN", "VIETNAMESE"};
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return std::find(std::begin(kLanguages), std::end(kLanguages), name) != std::end(kLanguages);
}

void alter_session(Translator& t) {
  int i = 2;
  if (!t.word_at(i, "SET")) {
    return;  // ALTER SESSION ENABLE/DISABLE/CLOSE ...: accepted
  }
  ++i;
  if (i >= t.end_index()) t.fail(922, i);
  while (i < t.end_index()) {
    std::string parameter = t.identifier(i);
    if (!t.token(i + 1).is_op("=")) t.fail(922, i + 1);
    const Token& value = t.token(i + 2);
    if (value.kind == TokenKind::End) t.fail(922, i + 2);
    if (parameter == "NLS_DATE_FORMAT") {
      format_datetime("2000-01-01 00:00:00", value.text);  // rejects an unknown model now
      t.session_.nls_date_format = value.text;
    } else if (parameter == "NLS_TIMESTAMP_FORMAT") {
      format_datetime("2000-01-01 00:00:00.000000000", value.text);
      t.session_.nls_timestamp_format = value.text;
    } else if (parameter == "NLS_TIMESTAMP_TZ_FORMAT") {
      format_datetime("2000-01-01 00:00:00.000000000 +00:00", value.text);
      t.session_.nls_timestamp_tz_format = value.text;
    } else if (parameter == "TIME_ZONE") {
      t.session_.time_zone_minutes = session_zone(t, value, i + 2);
    } else if (parameter == "NLS_LANGUAGE") {
      if (!is_nls_language(value.text)) t.fail(12705, i + 2);
    } else if (parameter == "CURRENT_SCHEMA") {
      if (!user_exists(t.db_, value.text)) t.fail(1435, i + 2);
      t.session_.current_schema = value.text;
    }
    // A value may be several words (ISOLATION_LEVEL = READ COMMITTED); the next setting starts at "name =".
    i += 3;
    while (i < t.end_index() && !t.token(i + 1).is_op("=")) ++i;
  }
}

void alter_user(Translator& t) {
  int i = 2;
  std::string name = t.identifier(i);
  if (!user_exists(t.db_, name)) t.fail(1918, {name}, i);
  const std::string where = " WHERE NAME = " + quote_literal(name);
  for (i = 3; i < t.end_index();) {
    if (t.word_at(i, "IDENTIFIED") && t.word_at(i + 1, "BY")) {
      std::string text = password_text(t, i + 2);
      t.out_.sqlite_sql.push_back("UPDATE \"OCIEMU$USERS\" SET PASSWORD = " + quote_literal(text) + ", STATUS = 'OPEN'" + where);
      i += 3;
    } else if (t.word_at(i, "PASSWORD") && t.word_at(i + 1, "EXPIRE")) {
      t.out_.sqlite_sql.push_back("UPDATE \"OCIEMU$USERS\" SET STATUS = 'EXPIRED'" + where);
      i += 2;
    } else if (t.word_at(i, "PASSWORD") && t.word_at(i + 1, "GRACE")) {
      // The emulator's own statement: logons succeed with ORA-28002 for n days' warning.
      std::string days = "7";
      i += 2;
      if (t.token(i).kind == TokenKind::Number) days = t.token(i++).text;
      t.out_.sqlite_sql.push_back("UPDATE \"OCIEMU$USERS\" SET STATUS = 'GRACE', GRACE_DAYS = " +
                                  std::to_string(std::strtol(days.c_str(), nullptr, 10)) + where);
    } else if (t.word_at(i, "ACCOUNT") && (t.word_at(i + 1, "LOCK") || t.word_at(i + 1, "UNLOCK"))) {
      i += 2;
    } else {
      ++i;  // DEFAULT TABLESPACE, QUOTA ...: accepted
    }
  }
}

}  // namespace

void Translator::translate_alter() {
  out_.kind = StatementKind::Alter;
  out_.statement_type = 7;
  if (word_at(1, "SESSION")) {
    out_.kind = StatementKind::AlterSession;
    out_.sql_function_code = 52;
    return alter_session(*this);
  }
  if (word_at(1, "SYSTEM")) {
    out_.sql_function_code = 32;
    return;
  }
  if (word_at(1, "USER")) {
    out_.sql_function_code = 53;
    return alter_user(*this);
  }
  if (word_at(1, "TRIGGER")) return alter_trigger();
  if (word_at(1, "INDEX")) {
    out_.sql_function_code = 41;
    return;
  }
  if (word_at(1, "SEQUENCE")) {
    out_.sql_function_code = 14;
    std::string owner, name;
    int i = read_object_name(2, owner, name);
    auto sequence = resolve_object(db_, session_, owner, name);
    if (!sequence || sequence->type != "SEQUENCE") fail(2289, 2);
    const std::string where =
        " WHERE OWNER = " + quote_literal(sequence->owner) + " AND NAME = " + quote_literal(sequence->name);
    for (; i < end_index(); ++i) {
      bool negative = token(i + 1).is_op("-") || token(i + 2).is_op("-");
      auto value_at = [&](int at) {
        int index = token(at).is_op("-") ? at + 1 : at;
        return (negative ? "-" : "") + token(index).text;
      };
      if (word_at(i, "INCREMENT") && word_at(i + 1, "BY")) {
        out_.sqlite_sql.push_back("UPDATE \"OCIEMU$SEQUENCES\" SET INCREMENT_BY = " + value_at(i + 2) + where);
      } else if (word_at(i, "MAXVALUE") && token(i + 1).kind != TokenKind::Word) {
        out_.sqlite_sql.push_back("UPDATE \"OCIEMU$SEQUENCES\" SET MAX_VALUE = " + value_at(i + 1) + where);
      } else if (word_at(i, "MINVALUE") && token(i + 1).kind != TokenKind::Word) {
        out_.sqlite_sql.push_back("UPDATE \"OCIEMU$SEQUENCES\" SET MIN_VALUE = " + value_at(i + 1) + where);
      } else if (word_at(i, "CYCLE") || word_at(i, "NOCYCLE")) {
        out_.sqlite_sql.push_back(std::string("UPDATE \"OCIEMU$SEQUENCES\" SET CYCLE_FLAG = ") +
                                  (word_at(i, "CYCLE") ? "'Y'" : "'N'") + where);
      } else if (word_at(i, "RESTART")) {
        out_.sqlite_sql.push_back("UPDATE \"OCIEMU$SEQUENCES\" SET NEXT_VALUE = CASE WHEN INCREMENT_BY > 0 THEN MIN_VALUE ELSE MAX_VALUE END" + where);
      }
    }
    return;
  }
  if (!word_at(1, "TABLE")) fail(940, 1);
  alter_table();
}

namespace {

std::optional<std::string> declared_column_type(sqlite3* db, const SchemaObject& table, const std::string& column) {
  Query info(db, "SELECT type FROM pragma_table_info(?1) WHERE name = ?2");
  info.bind(1, table.sqlite_name()).bind(2, stored_column_name(table_columns(db, table.sqlite_name()), column));
  if (!info.step()) return std::nullopt;
  return info.text(0);
}

// MODIFY (column DEFAULT expr, ...) or MODIFY column DEFAULT expr. SQLite has no ALTER COLUMN: the
// CREATE TABLE text in its schema takes the new default, and a DDL after it has every connection
// read the schema again.
void modify_columns(Translator& t, const SchemaObject& table, int i, std::vector<std::string>& out) {
  const bool listed = t.token(i).is_op("(");
  const int end = listed ? t.matching(i) : t.end_index();
  if (listed && end + 1 != t.end_index()) t.fail_not_ended(end + 1);
  std::vector<ColumnDefinition> changed;
  for (int k = listed ? i + 1 : i; k < end;) {
    ColumnDefinition column;
    const int name_index = k;
    column.name = t.identifier(k++);
    std::optional<std::string> declared = declared_column_type(t.db_, table, column.name);
    if (!declared) t.fail(904, {in_quotes(column.name)}, name_index);
    column.declared_type = *declared;
    column.stored_name = stored_column_name(table_columns(t.db_, table.sqlite_name()), column.name);
    if (!t.word_at(k, "DEFAULT")) t.fail(3001, k);  // types and nullability are not changed
    k = read_default(t, k + 1, end, column);
    if (k < end && !t.token(k).is_op(",")) t.fail(907, k);
    if (k < end) ++k;
    changed.push_back(std::move(column));
  }
  out.push_back("PRAGMA writable_schema = ON");
  for (const auto& column : changed) {
    out.push_back(std::string("UPDATE sqlite_schema SET sql = ") + kWithColumnDefaultFunction + "(sql, " +
                  quote_literal(column.stored()) + ", " + quote_literal(stored_default(column)) +
                  ") WHERE type = 'table' AND name = " + quote_literal(table.sqlite_name()));
  }
  out.push_back("PRAGMA writable_schema = RESET");
  out.push_back("CREATE TABLE \"OCIEMU$SCHEMA_CHANGE\"(X)");
  out.push_back("DROP TABLE \"OCIEMU$SCHEMA_CHANGE\"");
  for (const auto& column : changed) {
    out.push_back("INSERT OR REPLACE INTO \"OCIEMU$COLUMNS\" VALUES (" + quote_literal(table.owner) + ", " +
                  quote_literal(table.name) + ", " + quote_literal(column.name) + ", " +
                  quote_literal(column.default_text) + ")");
  }
}

}  // namespace

void Translator::alter_table() {
  out_.sql_function_code = 26;
  std::string owner, name;
  int i = read_object_name(2, owner, name);
  SchemaObject table = resolve_table(2, owner, name);
  if (table.type != "TABLE") fail(942, 2);
  const std::string sqlite = quote_name(table.sqlite_name());
  const std::string key = " WHERE OWNER = " + quote_literal(table.owner) + " AND TABLE_NAME = " + quote_literal(table.name);
  if (word_at(i, "ADD")) {
    TableBuilder builder(*this, table.owner, table.name, table.sqlite_name());
    builder.add_to_existing(table_columns(db_, table.sqlite_name()));
    for (const auto& existing : table_constraints(db_, table.owner, table.name))
      builder.existing_primary_key_ = builder.existing_primary_key_ || existing.type == 'P';
    if (token(i + 1).is_op("(")) {
      builder.read_elements(i + 2, matching(i + 1));
    } else {
      builder.read_elements(i + 1, end_index());
    }
    std::vector<std::string> after = table_columns(db_, table.sqlite_name());
    for (const auto& column : builder.columns()) {
      out_.sqlite_sql.push_back("ALTER TABLE " + sqlite + " ADD COLUMN " + builder.column_sql(column));
      after.push_back(column.stored());
    }
    if (table_has_triggers(db_, table.owner, table.name)) {
      for (std::string& hook : rebuild_hooks_sql(table.sqlite_name(), after)) out_.sqlite_sql.push_back(std::move(hook));
    }
    builder.constraint_sql(out_.sqlite_sql, true);
    builder.column_catalogue_sql(out_.sqlite_sql);
    return;
  }
  if ((word_at(i, "DISABLE") || word_at(i, "ENABLE")) && word_at(i + 1, "CONSTRAINT")) {
    const bool disable = word_at(i, "DISABLE");
    std::string constraint_name = identifier(i + 2);
    auto constraint = find_constraint(db_, table.owner, constraint_name);
    if (!constraint || constraint->table != table.name) fail(disable ? 2431 : 2430, {constraint_name}, i + 2);
    if (i + 3 < end_index() && !word_at(i + 3, "CASCADE") && !word_at(i + 3, "KEEP")) fail_not_ended(i + 3);
    if (disable) {
      disable_constraint_sql(*constraint, i, out_.sqlite_sql);
    } else {
      enable_constraint_sql(*constraint, out_.sqlite_sql);
    }
    return;
  }
  if (word_at(i, "DROP") && word_at(i + 1, "CONSTRAINT")) {
    std::string constraint_name = identifier(i + 2);
    auto constraint = find_constraint(db_, table.owner, constraint_name);
    if (!constraint || constraint->table != table.name)
      fail(2443, i + 2);
    if ((constraint->type == 'P' || constraint->type == 'U')) {
      Query index(db_, "SELECT 1 FROM sqlite_schema WHERE type = 'index' AND name = ?1");
      index.bind(1, table.owner + "." + constraint_name);
      if (!index.step()) fail(3001, i);
      out_.sqlite_sql.push_back("DROP INDEX " + quote_name(table.owner + "." + constraint_name));
    }
    drop_constraint_sql(*constraint, out_.sqlite_sql);
    return;
  }
  if (word_at(i, "DROP")) {
    std::vector<std::string> columns;
    int j = i + 1;
    if (word_at(j, "COLUMN")) {
      columns.push_back(identifier(j + 1));
    } else if (token(j).is_op("(")) {
      columns = read_column_list(*this, j);
    } else {
      fail(905, j);
    }
    // The row hooks name every column: they are set up again without the dropped ones.
    const bool hooked = table_has_triggers(db_, table.owner, table.name);
    std::vector<std::string> after = table_columns(db_, table.sqlite_name());
    if (hooked) {
      for (std::string& hook : drop_hooks_sql(table.sqlite_name())) out_.sqlite_sql.push_back(std::move(hook));
    }
    const std::vector<std::string> before = after;
    for (const auto& column : columns) {
      const std::string stored = stored_column_name(before, column);
      out_.sqlite_sql.push_back("ALTER TABLE " + sqlite + " DROP COLUMN " + quote_name(stored));
      out_.sqlite_sql.push_back("DELETE FROM \"OCIEMU$COLUMNS\"" + key + " AND COLUMN_NAME = " + quote_literal(column));
      std::erase(after, stored);
    }
    if (hooked) {
      for (std::string& hook : rebuild_hooks_sql(table.sqlite_name(), after)) out_.sqlite_sql.push_back(std::move(hook));
    }
    return;
  }
  if (word_at(i, "MODIFY")) {
    modify_columns(*this, table, i + 1, out_.sqlite_sql);
    return;
  }
  if (word_at(i, "RENAME") && word_at(i + 1, "COLUMN")) {
    std::string from = identifier(i + 2);
    if (!word_at(i + 3, "TO")) fail(946, i + 3);
    std::string to = identifier(i + 4);
    std::vector<std::string> others = table_columns(db_, table.sqlite_name());
    const std::string stored_from = stored_column_name(others, from);
    if (stored_column_name(others, to) != to || std::find(others.begin(), others.end(), to) != others.end())
      fail(957, i + 4);
    std::erase(others, stored_from);
    out_.sqlite_sql.push_back("ALTER TABLE " + sqlite + " RENAME COLUMN " + quote_name(stored_from) + " TO " +
                              quote_name(distinct_stored_name(to, others)));
    out_.sqlite_sql.push_back("UPDATE \"OCIEMU$COLUMNS\" SET COLUMN_NAME = " + quote_literal(to) + key +
                              " AND COLUMN_NAME = " + quote_literal(from));
    return;
  }
  if (word_at(i, "RENAME") && word_at(i + 1, "TO")) {
    std::string new_name = identifier(i + 2);
    require_new_name(*this, table.owner, new_name, i + 2);
    rename_table_sql(db_, table, new_name, out_.sqlite_sql);
    return;
  }
  if (word_at(i, "ENABLE") || word_at(i, "DISABLE") || word_at(i, "MOVE") || word_at(i, "LOGGING") ||
      word_at(i, "NOLOGGING") || word_at(i, "CACHE") || word_at(i, "NOCACHE"))
    return;
  fail(3001, i);
}

void Translator::translate_truncate() {
  out_.kind = StatementKind::OtherDdl;
  out_.sql_function_code = 85;
  out_.statement_type = 0;
  if (!word_at(1, "TABLE")) fail(3292, 1);
  std::string owner, name;
  read_object_name(2, owner, name);
  SchemaObject table = resolve_table(2, owner, name);
  for (const Constraint& foreign : referencing_constraints(db_, table.owner, table.name)) {
    if (foreign.owner != table.owner || foreign.table != table.name)
      fail(2266, 2);
  }
  out_.sqlite_sql.push_back("DELETE FROM " + quote_name(table.sqlite_name()));
}

}  // namespace ociemu::sql
