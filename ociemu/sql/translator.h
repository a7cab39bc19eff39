// The translator's internals: one Translator per translate() call walks the
// token list of an Oracle statement and writes the SQLite statements. Queries
// and expressions live in translator.cpp and expressions.cpp, DDL in ddl.cpp.
//
// Thread-safe: no; each instance is used by one call.
#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <map>
#include <optional>
#include <string>
#include <initializer_list>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "ociemu/sql/catalogue.h"
#include "ociemu/sql/dialect.h"
#include "ociemu/sql/lexer.h"
#include "ociemu/sql/messages.h"
#include "ociemu/sql/types.h"
#include "ociemu/sql/updatable_view.h"

namespace ociemu::sql {

// What the translator knows of an expression's Oracle type, for describe hints.
// Intervals are numbers in SQLite (months, days); their types tell how they describe and add.
enum class ValueType { Unknown, Number, Text, Date, Timestamp, TimestampTz, Rowid, Bfile, IntervalYM, IntervalDS, Clob, Blob };

struct Expression {
  std::string text;
  ValueType type = ValueType::Unknown;
  bool plain_column = false;  // a column reference SQLite names by itself
  std::string declared = {};  // a value of a named type: its column declaration (object_column_declaration)
  std::string column_declaration{};  // a plain column's declaration ("NUMBER(7,2)"), when known
  bool not_null = false;             // a plain column that can hold no NULL (NOT NULL or primary key)
  int char_bytes = 0;  // a CHAR value of this many bytes (string literals and their concatenations); 0 otherwise
};

// Whether a NUMBER value may be in the exact form, so that SQLite's own order and arithmetic
// would misread it: not for a literal or a column narrow enough for a REAL or INTEGER.
bool may_hold_exact(const Expression& value);
// OCIEMU_NUMBER_KEY(sql): a text whose byte order is the numbers' order.
std::string order_key(const std::string& sql);

// The rows of TABLE(collection) in a FROM clause: one per element.
struct CollectionSource {
  std::optional<TypeAttribute> element;  // unknown for an untyped bound collection
  std::vector<TypeAttribute> attributes;  // object elements: their attributes, the columns
  int64_t parent_object_id = 0;  // the table holding a nested table column; 0 when no stored one
};

// A table or view named in a FROM clause (or the target of DML).
struct TableRef {
  std::string alias;        // name the statement uses for it (upper case)
  SchemaObject object;      // empty owner for subqueries and WITH names
  bool resolved = false;    // object is a catalogue table or view
  std::shared_ptr<const CollectionSource> collection;  // TABLE(...): the elements' columns
  // Column name -> declared type, loaded on first use.
  mutable std::optional<std::unordered_map<std::string, std::string>> column_types;
  mutable std::optional<std::vector<std::string>> stored_columns;  // SQLite's names, loaded on first use
  // A DML target named through a view: object is the base table, column names are the view's.
  std::shared_ptr<const UpdatableView> view;
  // A view in FROM whose source carries its base table's ROWID (kViewRowidColumn): that table.
  std::optional<SchemaObject> rowid_base;
};

// The column a view's source carries its rows' ROWID in, when the statement reads it.
inline constexpr const char* kViewRowidColumn = "OCIEMU$ROWID";

struct Scope {
  std::vector<TableRef> tables;
  const Scope* parent = nullptr;
  std::vector<std::string> with_names;  // WITH query names visible here

  const TableRef* find_alias(std::string_view alias) const;
  bool is_with_name(std::string_view name) const;
};

class Translator {
 public:
  Translator(std::string_view sql, sqlite3* db, SessionContext& session, NameResolver* resolver = nullptr);
  Translation run();
  // Tokenizes the text and pairs its parentheses (run's first step).
  void load_tokens();

  // ---- shared by the parts (translator.cpp) ----
  // Indexes past the end read the End token, so look-ahead never leaves the list.
  const Token& token(int index) const {
    return tokens_[static_cast<size_t>(std::clamp(index, 0, end_index()))];
  }
  int end_index() const { return static_cast<int>(tokens_.size()) - 1; }
  int matching(int open_index) const;  // index of the ')' closing the '(' at open_index
  int case_end(int case_index, int end) const;  // index of the END closing the CASE at case_index; end when none
  bool word_at(int index, std::string_view word) const { return token(index).is_word(word); }
  // Oracle's error code at the token's offset, its text from the message table.
  [[noreturn]] void fail(int code, int token_index) const { fail(code, {}, token_index); }
  [[noreturn]] void fail(int code, MessageArgs args, int token_index) const;
  [[noreturn]] void fail_not_ended(int token_index) const;
  // Where the first unquoted bind named by a reserved word starts; -1 when none (or in PL/SQL).
  int first_reserved_placeholder_offset(bool plsql) const;
  void disable_constraint_sql(const Constraint& c, int token_index, std::vector<std::string>& out) const;
  void enable_constraint_sql(const Constraint& c, std::vector<std::string>& out) const;
  void expect_word(int& index, std::string_view word) const;
  // Reads [owner.]name; returns the index after it.
  int read_object_name(int index, std::string& owner, std::string& name) const;
  std::string identifier(int index) const;  // Word or QuotedName text; fails otherwise
  SchemaObject resolve_table(int name_index, const std::string& owner, const std::string& name) const;
  std::string placeholder(const Token& token);

  // ---- queries and DML (translator.cpp) ----
  std::string query(int begin, int end, const Scope* parent);
  std::string select_part(int begin, int end, const Scope* parent, bool top_level);
  // CURSOR(select ...) at `open` (its '('): a value packing the sub-query's rows, correlated
  // with the enclosing row; the sub-query's columns go to shape.
  std::string cursor_expression(int open, const Scope& scope, CursorShape& shape);
  void translate_select();
  void translate_insert();
  // Whether the VALUES items of tokens begin..end are each a bind, a literal or NULL.
  bool only_binds_and_literals(int begin, int end) const;
  // INSERT ALL and INSERT FIRST: one SQLite INSERT per INTO clause over the source query, each
  // taking the rows its WHEN conditions let through (insert_all.cpp).
  void translate_multitable_insert();
  // The table of INSERT INTO table [alias] [(columns)], read from i (left after it).
  struct InsertTarget {
    TableRef table;
    std::vector<std::string> columns;  // the named columns, else all
    std::string head;                  // "INSERT INTO t [AS a] [(columns)]" (no columns when triggered)
    bool triggered = false;            // the table has triggers: rows go through triggered_insert
    std::shared_ptr<const UpdatableView> view;  // named through a view; columns are the base table's
  };
  InsertTarget insert_target(int& i);
  void see_base_table(InsertTarget& target) const;
  // A VALUES row's items (named for triggered_insert when the table has triggers).
  std::string insert_row_values(const InsertTarget& target, const std::vector<std::string>& values) const;
  // INSERT of the rows a SQLite query yields, columns in target order.
  std::string insert_rows(const InsertTarget& target, std::string source, int at) const;
  void translate_update();
  void translate_delete();
  // ---- DML through a view (view_dml.cpp) ----
  // A DML target naming a view becomes its base table seen through the view's columns;
  // ORA-01732 when rows cannot be written through it, ORA-42399 when it is read-only.
  void write_through_view(TableRef& table, int name_index) const;
  // A DML target written as a sub-query, (SELECT ...) at open, the same way; returns the index after it.
  int write_through_subquery(TableRef& table, int open) const;
  // The condition keeping UPDATE and DELETE to the rows the view shows; empty when it shows all.
  std::string view_rows_condition(const TableRef& table) const;
  // value, failing with ORA-01402 unless the changed row (new_row: "value AS column" for every base
  // column) stays visible through a WITH CHECK OPTION view; value itself for any other target.
  std::string checked_by_view(const UpdatableView* view, const std::string& value, const std::string& new_row) const;
  // The last SET assignment with checked_by_view applied; nullopt when nothing is checked.
  std::optional<std::pair<std::string, std::string>> view_checked_assignment(
      const TableRef& table, const std::vector<std::pair<std::string, std::string>>& sets) const;
  // An INSERT's rows from a query (or a VALUES row as one) with checked_by_view applied.
  std::string view_checked_rows(const InsertTarget& target, const std::string& source) const;
  // WHERE ... of UPDATE and DELETE from tokens begin..end, kept to the rows a view target shows.
  std::string dml_where(int begin, int end, const Scope& scope);
  // FROM naming a view whose ROWID the statement reads: a source that carries it, else `text` unchanged.
  std::string view_source_with_rowid(TableRef& table, const std::string& text) const;
  UpdatableView written_table(const UpdatableView& view, int after_name) const;
  std::optional<std::vector<std::string>> written_view_columns(const UpdatableView& view, int after) const;
  // A view column's base column name; ORA-00904 for none, ORA-01733 for an expression, ORA-01779
  // for a column of a join view's table that is not the one written.
  std::string view_base_column(const TableRef& table, const std::string& column) const;
  // A view column the view computes, read for the row the statement is at; nullopt for any other.
  std::optional<Expression> view_computed_column(const TableRef& table, const std::string& name) const;
  // ---- MERGE (merge.cpp) ----
  struct MergeParts {
    InsertTarget target;     // columns: the insert's, as stored; triggered: the target has triggers
    std::string source_sql;  // the source with its alias
    int on_open = 0;         // the ON condition's '('
    std::string on;
    std::vector<std::pair<std::string, std::string>> sets;  // stored column, value
    std::string update_where, delete_where, insert_where;
    std::vector<std::string> insert_values;
    bool matched = false, not_matched = false;
  };
  void translate_merge();
  void merge_matched_clause(int& i, int end, const Scope& both, MergeParts& merge);
  void merge_not_matched_clause(int& i, int end, const Scope& target_only, const Scope& source_only,
                                MergeParts& merge);
  // One statement: UPDATE ... FROM, INSERT ... SELECT, or both as INSERT ... ON CONFLICT over the key ON matches.
  std::string merge_statement(const MergeParts& merge);
  // Several statements, for what one cannot do: update, insert, then delete among the updated rows.
  void merge_in_steps(const MergeParts& merge);
  // The target's unique key that ON compares for equality, as an ON CONFLICT target; nullopt for none.
  std::optional<std::string> merge_key(int begin, int end, const TableRef& target);
  // DML through TABLE(sub-query) (collection_dml.cpp): the statement restated as an
  // UPDATE of the parent rows, or nullopt for any other DML; then its translation.
  std::optional<std::string> collection_dml_text() const;
  void translate_collection_dml(const std::string& text);

  // ---- expressions (expressions.cpp) ----
  // Rewrites a token range of expressions, keywords and sub-queries.
  std::string rewrite(int begin, int end, const Scope& scope);
  // Parses one arithmetic expression at index; returns the index after it.
  int expression(int index, int end, const Scope& scope, Expression& result, int min_precedence = 1);
  bool starts_operand(int index) const;
  // After an expression: a comparison or BETWEEN with it, converting text compared with dates.
  int comparison(int index, int end, const Scope& scope, Expression& left);
  int quantified_comparison(int index, int end, const Scope& scope, Expression& left);
  std::string original_text(int begin, int end) const;
  struct SelectShape {
    bool one_column = false;  // the select list is one item, no star
    bool one_row = false;     // that item is an aggregate over the whole, ungrouped query
  };
  int first_select(int begin, int end) const;
  SelectShape select_shape(int begin, int end) const;
  std::string scalar_subquery(int open, int close, const Scope& scope);
  std::string heading_text(int begin, int end) const;  // a computed column's name

  // ---- DDL and the rest (ddl.cpp) ----
  void translate_create();
  void create_user(int i);
  void create_directory(int i, bool or_replace);
  void create_sequence(int i);
  void create_synonym(int i, bool or_replace, bool is_public);
  void create_view(int i, bool or_replace);
  void create_index(int i, bool unique);
  void create_table(int i);
  void create_table_as_select(int as, const std::string& owner, const std::string& name,
                              const std::vector<std::string>& column_names);
  void translate_drop();
  void create_type(int i, bool or_replace);  // types.cpp
  void drop_type(int i);
  void create_object_table(int i, const std::string& owner, const std::string& name);
  // The '(' of VALUES (type(...)) spanning begin..end when the table is an object table of that type, else -1.
  int object_row_constructor(const TableRef& table, int begin, int end) const;
  // Constructors, XMLTYPE(...) and SYS.XMLTYPE.CREATEXML(...), x.GETCLOBVAL(): false when parts name none.
  bool object_call(const std::vector<std::string>& parts, int open, const Scope& scope, Expression& result);
  // REF(alias), VALUE(alias) and DEREF(ref) (object_refs.cpp): false when parts name none of them.
  bool ref_call(const std::vector<std::string>& parts, int open, const Scope& scope, Expression& result);
  // The stored object that the REF value `ref` (SQL text) of type OWNER.NAME names, or NULL.
  std::string deref_sql(const std::string& owner, const std::string& name, const std::string& ref) const;
  // ref IS [NOT] DANGLING after `ref` at index: the index after it (index when there is none).
  int dangling_test(int index, Expression& ref) const;
  int json_test(int index, Expression& value) const;  // value IS [NOT] JSON [STRICT | LAX]
  // The declaration of a column of a named type, or empty.
  std::string named_declaration(const Scope& scope, const std::string& qualifier, const std::string& column) const;
  // alias.column.attribute[.attribute...] of an object column; nullopt when parts name none.
  std::optional<Expression> attribute_reference(const std::vector<std::string>& parts, const Scope& scope) const;
  struct AttributePath {
    const TableRef* table;
    std::string column;        // the object column
    std::string path;          // JSON path of the attribute in the stored value ("$[1][0]")
    TypeAttribute attribute;   // the attribute the path ends at
    bool through_ref = false;  // the column is a REF: the attributes are its target's
    std::string type_owner, type_name;  // the column's type
  };
  std::optional<AttributePath> attribute_path(const std::vector<std::string>& parts, const Scope& scope) const;
  // SET alias.column.attribute = value (tokens begin..end, '=' at equals): the column and its new value,
  // nullopt when the target is no object attribute.
  std::optional<std::pair<std::string, std::string>> attribute_assignment(int begin, int equals, int end,
                                                                          const Scope& scope);
  void translate_alter();
  void alter_table();
  void translate_truncate();
  void translate_other_ddl(int function_code);
  // ---- user triggers (trigger_ddl.cpp) ----
  void drop_trigger(int i);
  void alter_trigger();
  // INSERT and UPDATE of a table with triggers: every new row passes the BEFORE row triggers.
  std::string triggered_insert(const std::string& head, const TableRef& table, const std::vector<std::string>& targets,
                               const std::string& source, int at) const;
  std::string triggered_update(const TableRef& table, const std::vector<std::pair<std::string, std::string>>& sets,
                               const std::string& where) const;

  std::string_view sql_;
  sqlite3* db_;
  SessionContext& session_;
  std::vector<Token> tokens_;
  std::vector<int> match_;  // for each '(' its ')' and back
  Translation out_;
  int reserved_bind_offset_ = -1;  // see first_reserved_placeholder_offset
  std::vector<std::string> placeholder_names_;  // distinct names by SQLite index - 1
  std::string lock_alias_;     // FOR UPDATE OF alias.column
  bool in_returning_ = false;  // SQLite's RETURNING takes no table qualifiers
  bool in_compound_ = false;   // a part of UNION/INTERSECT/MINUS, whose ORDER BY names result columns
  std::string column_prefix_;  // "NEW." while writing trigger conditions
  const std::vector<std::string>* prefix_columns_ = nullptr;  // SQLite's names of the columns column_prefix_ reads
  int top_query_begin_ = 0;    // where the statement's outermost query starts
  NameResolver* resolver_ = nullptr;  // PL/SQL's names, when translating for a block
  // The last LOB attribute reference read (t.col.attr) and its text: a select item of
  // exactly that text names the LOB's place in its row.
  mutable std::optional<std::pair<std::string, Translation::LobAttribute>> last_lob_attribute_;
  CursorShape* cursor_sink_ = nullptr;  // takes the select list of the next query part (a CURSOR's)
  // While a hierarchical query part is translated: what LEVEL reads, and the alias PRIOR columns
  // come from (the parent row, in the CONNECT BY condition only).
  std::string level_sql_;
  int analytic_end_ = 0;  // after a window function read with its OVER clause: the token after it
  std::string prior_alias_;
  bool outer_join_marks_allowed_ = false;  // while WHERE terms that may mark columns with (+) are written

 private:
  int primary(int index, int end, const Scope& scope, Expression& result);
  int identifier_chain(int index, int end, const Scope& scope, Expression& result);
  int special_form(int index, int end, const Scope& scope, Expression& result, bool& handled);
  // value AT TIME ZONE zone / AT LOCAL after a primary, if there.
  int at_time_zone(int index, int end, const Scope& scope, Expression& value);
  std::string cast_to_number(const std::string& type, int open, int close, const std::string& number) const;
  std::string cast_to_text(const std::string& type, int open, int close, const std::string& text) const;
  int interval_literal(int index, Expression& result);
  Expression column_reference(const std::vector<std::string>& parts, const std::vector<bool>& quoted, int index,
                              const Scope& scope);
  ValueType function_type(const std::string& name, const std::vector<Expression>& arguments) const;
  // The table of the scope a column reference names, when known.
  const TableRef* column_table(const Scope& scope, const std::string& qualifier, const std::string& column) const;
  bool column_not_null(const TableRef& table, const std::string& column) const;
  std::optional<std::string> column_declaration(const Scope& scope, const std::string& qualifier,
                                                const std::string& column) const;
  // One select-list item of a CURSOR's query, or the columns of its star item.
  void add_cursor_columns(CursorShape& shape, int begin, int end, const std::string& alias, const Expression& value,
                          const Scope& scope) const;
  bool names_column(const Scope& scope, const std::string& qualifier, const std::string& column) const;
  bool only_known_tables(const Scope& scope) const;
  bool rowid_comparison(int& index, int end, const Scope& scope, std::string& sql);
  const TableRef* rowid_table(const Scope& scope, const std::string& qualifier, int index) const;
  // wrap, when given, rewrites the text of argument k (simple argument lists only).
  using ArgumentWrap = std::function<std::string(size_t k, const std::string& text)>;
  std::string function_call(const std::string& name, int open, const Scope& scope, Expression& result,
                            const ArgumentWrap& wrap = {});
  std::string stored_function_call(const std::string& key, int open, const Scope& scope, Expression& result);
  // The FROM clause's text; `parts`, when given, gets each table's text alone and whether any
  // table is joined with JOIN rather than a comma.
  struct FromParts {
    std::vector<std::string> tables;
    bool ansi_joins = false;
  };
  std::string from_clause(int begin, int end, Scope& scope, FromParts* parts = nullptr);
  // ---- Oracle's (+) outer joins (outer_join_marks.cpp) ----
  // When the WHERE at begin..end marks columns with (+): from_sql becomes the FROM with each table
  // so marked LEFT JOINed on the WHERE terms that mark it; returns the first tokens of those terms.
  std::vector<int> outer_join_marks(int begin, int end, const Scope& scope, const FromParts& from, std::string& from_sql);
  bool marks_outer_join(int index) const {
    return token(index).is_op("(") && token(index + 1).is_op("+") && token(index + 2).is_op(")");
  }
  // The AND terms of the condition at begin..end (not BETWEEN's); nullopt with an OR at its top level.
  std::optional<std::vector<std::pair<int, int>>> top_level_conjuncts(int begin, int end) const;
  // ---- TABLE(collection) in FROM (table_collections.cpp) ----
  // The source text for TABLE( at open; fills table.collection. Returns the index after ')'.
  int collection_source(int open, const Scope& scope, TableRef& table, std::string& text);
  // A column of a TABLE() source that parts name (COLUMN_VALUE or an element attribute), if any.
  std::optional<Expression> collection_column(const std::vector<std::string>& parts, const Scope& scope) const;
  // ROWID of a TABLE() source over a stored nested table; nullopt for any other.
  std::optional<Expression> collection_rowid(const TableRef& table) const;
  // A select-list * or alias.* over a FROM clause with TABLE() sources, spelled out; nullopt when there is none.
  std::optional<std::string> collection_star(int begin, int end, const Scope& scope, bool top_level);
  std::optional<TypeInfo> subquery_type(int begin, int end, int64_t* parent_object_id = nullptr) const;
  std::function<std::optional<std::string>(const TableRef&, const std::string&)> declared_of() const;
  // The terms starting at `moved` are left out (they went into the FROM).
  std::string where_condition(int begin, int end, const Scope& scope, std::string& limit,
                              const std::vector<int>& moved = {});
  std::string row_limiting_clause(int begin, int end, const Scope& scope, const std::string& rownum_limit);
  // GROUP BY, HAVING and ORDER BY; items of ORDER BY that may be exact numbers sort by their order key.
  // GROUP BY ... ORDER BY ...; exact_aliases maps select-list aliases of values that may be
  // exact numbers to their expressions, which an ORDER BY naming the alias sorts by key.
  // DUMP(expr[, fmt[, start[, length]]]) with the internal type of expr (dump_function.cpp).
  std::string dump_call(int open, const Scope& scope, Expression& result);
  // The OVER (...) clause at `at`, when there is one, joined to the call before it; the index after.
  int window_clause(int at, const Scope& scope, Expression& call);
  // LISTAGG(...) [WITHIN GROUP (ORDER BY ...)] as the ordering aggregate OCIEMU_LISTAGG (listagg.cpp).
  std::string listagg_call(int open, const Scope& scope, Expression& result);
  // JSON_OBJECT(...) in each form Oracle takes (json_object.cpp).
  std::string json_object_call(int open, const Scope& scope, Expression& result);
  std::string json_object_member(int begin, int end, const Scope& scope);
  bool column_holds_json(int begin, int end, const Scope& scope) const;
  std::string closing_clauses(int begin, int end, const Scope& scope,
                              const std::map<std::string, std::string>& exact_aliases);
  // The ORDER BY (at order) of a compound query: over the combined rows, by number keys and with
  // Oracle's NULL placement; nullopt where the result columns cannot be named.
  std::optional<std::string> compound_order(const std::string& with_sql, const std::string& compound, int order,
                                            int end, const Scope& scope);
  // START WITH / CONNECT BY [NOCYCLE] / ORDER SIBLINGS BY of a query part (connect_by.cpp).
  struct Hierarchy {
    int start_begin = -1, start_end = -1;      // START WITH condition tokens, if any
    int connect_begin = -1, connect_end = -1;  // CONNECT BY condition tokens
    int siblings_begin = -1, siblings_end = -1;  // ORDER SIBLINGS BY terms, if any
    bool nocycle = false;
    int end = 0;  // the token after the clauses
  };
  // The clauses from `at` (START or CONNECT) on; nullopt when there are none.
  std::optional<Hierarchy> hierarchy_clauses(int at, int end) const;
  // The FROM source made hierarchical: the rows of the tree in depth-first order, each with its
  // LEVEL, under the table's alias.
  std::string hierarchical_source(const Hierarchy& hierarchy, const std::string& from_sql, const Scope& scope);
  // The table's columns spelled out under its alias, for '*' over a hierarchical source.
  std::string hierarchy_star(const Scope& scope) const;
  void returning_clause(int begin, int end, const Scope& scope, std::string& sql);
  std::string returned_column(const Scope& scope, const std::string& column) const;
  // values_scope: what names in the values may read (nothing: a name is the program's variable).
  std::vector<std::string> insert_values(int begin, int end, const Scope& scope, const std::vector<std::string>& targets,
                                         const Scope* values_scope = nullptr);
  // The SQLite declared type of a column, loaded once per table and call.
  std::optional<std::string> declared_type(const TableRef& table, const std::string& column) const;
  // The SQLite name of the column Oracle calls `column` (they differ where names differ only by case).
  std::string stored_column(const TableRef& table, const std::string& column) const;
  const TableRef* view_target(const Scope& scope, const std::string& qualifier) const;
  std::string stored_as(const TableRef& table, const std::string& column, const Expression& value) const;
  // value_sql as a CHAR(n) column created blank-padded stores it (padded); otherwise unchanged.
  std::string padded_for(const TableRef& table, const std::string& column, const std::string& value_sql) const;
  bool any_blank_padded(const TableRef& table, const std::vector<std::string>& columns) const;
  // (a, b) = (subquery) [begin, end) as one assignment per column, each taking its column of the row.
  std::vector<std::pair<std::string, std::string>> row_assignment(int begin, int equals, int end, const Scope& scope);
  bool has_lob_column(const TableRef& table) const;
  // The declared CLOB/BLOB type of a column reference [begin, end) to one of scope's own tables.
  std::optional<OracleType> plain_lob_column(int begin, int end, const Scope& scope, std::string& table,
                                             std::string& column) const;
  void dispatch();
};

bool is_clause_keyword(std::string_view word);
std::optional<OracleType> hint_for(ValueType type);
// How a computed select-list value describes: CHAR(n) for a literal, else by its value type.
std::optional<OracleType> hint_for(const Expression& value);
// What an attribute's stored values are, for describe hints (types.cpp).
ValueType value_type_of(const TypeAttribute& attribute);

// The first of `words` in [begin, end) outside parentheses, or `end`.
int find_top_level(const Translator& t, int begin, int end, std::initializer_list<std::string_view> words);

}  // namespace ociemu::sql
