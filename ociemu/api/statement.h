// Statements with their binds, defines and select-list parameters: prepare,
// execute (queries, array DML, DDL, transaction control), array and
// scrollable fetch, describe, RETURNING ... INTO and piecewise LONG fetch.
#pragma once

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ociemu/api/convert.h"
#include "ociemu/api/handles.h"
#include "ociemu/api/session.h"
#include "ociemu/sql/dialect.h"

namespace ociemu::plsql {
struct Unit;
}

namespace ociemu {

class Statement;
struct TypeDescriptor;

// Element addressing shared by binds and defines: base pointers and byte strides.
struct ElementArrays {
  void* values = nullptr;
  int32_t value_size = 0;   // bytes of one element
  uint16_t dty = 0;         // external type
  void* indicators = nullptr;  // sb2 per element
  ub2* lengths = nullptr;      // ub2 per element (actual length in, returned length out)
  ub2* codes = nullptr;        // ub2 column return code per element
  uint32_t value_skip = 0, indicator_skip = sizeof(sb2), length_skip = sizeof(ub2), code_skip = sizeof(ub2);

  void* value_at(uint32_t i) const { return static_cast<char*>(values) + size_t{i} * value_skip; }
  sb2* indicator_at(uint32_t i) const {
    return indicators ? reinterpret_cast<sb2*>(static_cast<char*>(indicators) + size_t{i} * indicator_skip) : nullptr;
  }
  ub2* length_at(uint32_t i) const {
    return lengths ? reinterpret_cast<ub2*>(reinterpret_cast<char*>(lengths) + size_t{i} * length_skip) : nullptr;
  }
  // The *2 entries pass 4-byte lengths instead.
  ub4* wide_lengths = nullptr;
  bool has_length(uint32_t i) const { return length_at(i) || wide_length_at(i); }
  // Element slots go through memcpy: a client's strides need not keep them aligned.
  uint32_t length(uint32_t i) const {
    if (ub4* wide = wide_length_at(i)) return load(wide);
    return length_at(i) ? load(length_at(i)) : 0;
  }
  void set_length(uint32_t i, uint32_t value) const {
    if (ub4* wide = wide_length_at(i)) store(wide, value);
    if (ub2* narrow = length_at(i)) store(narrow, static_cast<ub2>(std::min<uint32_t>(value, 65535)));
  }
  void set_indicator(uint32_t i, sb2 value) const {
    if (sb2* indicator = indicator_at(i)) store(indicator, value);
  }
  void set_code(uint32_t i, ub2 value) const {
    if (ub2* code = code_at(i)) store(code, value);
  }
  template <typename T>
  static T load(const T* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
  }
  template <typename T>
  static void store(T* at, T value) {
    std::memcpy(at, &value, sizeof value);
  }
  ub4* wide_length_at(uint32_t i) const {
    return wide_lengths ? reinterpret_cast<ub4*>(reinterpret_cast<char*>(wide_lengths) + size_t{i} * sizeof(ub4))
                        : nullptr;
  }
  ub2* code_at(uint32_t i) const {
    return codes ? reinterpret_cast<ub2*>(reinterpret_cast<char*>(codes) + size_t{i} * code_skip) : nullptr;
  }
};

// OCIBindObject / OCIDefineObject: the type and, per element, the instance and null structure pointers.
struct ObjectArrays {
  const TypeDescriptor* type = nullptr;
  void** values = nullptr;  // instance pointer of element i at values[i]
  void** nulls = nullptr;   // null structure pointer of element i at nulls[i], or none
};

struct Bind : Handle {
  static constexpr uint32_t kType = OCI_HTYPE_BIND;
  Bind(Environment* env, Statement* owner) : Handle(kType, env), statement(owner) {}
  Statement* statement;
  std::string name;       // upper case without the colon; empty when bound by position
  uint32_t position = 0;  // 1-based, when bound by position
  uint64_t made = 0;      // when last bound: of the binds covering a placeholder, the newest is in use
  ElementArrays arrays;
  uint32_t mode = 0;
  void* in_context = nullptr;
  OCICallbackInBind in_callback = nullptr;
  void* out_context = nullptr;
  OCICallbackOutBind out_callback = nullptr;
  uint32_t rows_returned = 0;
  // PL/SQL index-by table binds: room for elements (0 = a scalar bind) and
  // the application's count of elements in use, read on input and written back.
  uint32_t max_elements = 0;
  uint32_t max_chars = 0;     // OCI_ATTR_MAXCHAR_SIZE: characters the client's buffer takes; 0 = its bytes decide
  ub4* current_elements = nullptr;
  ObjectArrays objects;  // SQLT_NTY binds (OCIBindObject)
};

struct Define : Handle {
  static constexpr uint32_t kType = OCI_HTYPE_DEFINE;
  Define(Environment* env, Statement* owner) : Handle(kType, env), statement(owner) {}
  Statement* statement;
  uint32_t position = 0;
  ElementArrays arrays;
  uint32_t mode = 0;
  void* callback_context = nullptr;
  OCICallbackDefine callback = nullptr;
  ObjectArrays objects;  // SQLT_NTY defines (OCIDefineObject)
};

struct ClientRef;

// A define's element arrays as one fetch call places cells straight into them: byte strides,
// with every array the client left out pointing at a sink of the statement with stride 0, so
// that placing a cell writes its indicator and lengths without testing for them. The wide
// lengths and codes, which few clients ask for, are written only when one of them is given.
struct DirectTarget {
  char* values = nullptr;
  size_t value_skip = 0;
  uint32_t value_size = 0;  // bytes of one element
  char* indicators = nullptr;  // sb2
  size_t indicator_skip = 0;
  char* lengths = nullptr;  // ub2
  size_t length_skip = 0;
  char* wide_lengths = nullptr;  // ub4
  size_t wide_length_skip = 0;
  char* codes = nullptr;  // ub2
  size_t code_skip = 0;
  bool wide_lengths_or_codes = false;  // the client gave one of those two arrays
};

// Where the writes for arrays a client did not define go; never read.
struct DirectSinks {
  sb2 indicator = 0;
  ub2 length = 0;
  ub4 wide_length = 0;
  ub2 code = 0;
};

// How a fetch moves a defined column's values when no conversion is needed, chosen once per
// fetch call, so that each such cell costs a storage-class test and a copy into the client's
// buffer. A cell the general conversions must place is left to them, untouched.
enum class DirectKind : uint8_t {
  None, Int8, Int16, Int32, Int64, Real, TerminatedText, Text, Date, OciDate,
  NumberTerminatedText, NumberText, VarNum, Number  // a NUMBER column's integers and exact values too
};

struct PlannedDefine {
  Define* define = nullptr;
  int column = 0;  // 0-based; may lie beyond the columns, which the general path refuses
  DirectKind direct = DirectKind::None;  // None: every cell goes the general way
  DirectTarget target;
};

// How a bind's elements reach SQLite when they need no conversion, chosen once per execute
// (see direct_bind.h); None: every element goes the general way.
enum class DirectBindKind : uint8_t { None, Int8, Int16, Int32, Int64, Real, TerminatedText, Text };

struct PlannedBind {
  Bind* bound = nullptr;
  int index = 0;  // SQLite parameter index
  DirectBindKind kind = DirectBindKind::None;
  const char* values = nullptr;
  size_t value_skip = 0;
  uint32_t value_size = 0;
  const char* indicators = nullptr;  // sb2; a sink of 0 with stride 0 when the client gave none
  size_t indicator_skip = 0;
  const char* lengths = nullptr;  // ub2, or none: the element's size (or terminator) decides
  size_t length_skip = 0;
};

// Where one OUT value of a bind goes: the element's own slots, or what its out-callback handed over.
struct OutSlot {
  void* target = nullptr;  // the element; from a callback, a descriptor type's descriptor itself
  int32_t size = 0;        // bytes at target
  sb2* indicator = nullptr;
  ub2* code = nullptr;
  ub4* callback_length = nullptr;  // the callback's length slot (in: capacity, out: bytes written)
  bool from_callback = false;
};

// One IN value an in-callback handed over at execution.
struct InPiece {
  void* buffer = nullptr;  // for descriptor and locator types, the descriptor itself
  ub4 length = 0;
  sb2* indicator = nullptr;
};

struct ColumnInfo {
  std::string name;
  sql::OracleType type;
  bool nullable = true;
  // Where a LOB column's values live: SQLite table and column, and the
  // 0-based hidden result column with that table's rowid (-1: none).
  std::string origin_table, origin_column;
  std::string origin_path;  // a LOB attribute of an object column: its JSON path there
  int rowid_column = -1;
  bool deferred = false;  // the result column holds typeof(value): the value stays in its row
  std::shared_ptr<const sql::CursorShape> cursor;  // a CURSOR(select ...) column's rows
};

// Select-list parameter descriptor handed out by OCIParamGet; owned by its statement.
struct Param : Handle {
  static constexpr uint32_t kType = OCI_DTYPE_PARAM;
  Param(Environment* env, ColumnInfo info, sqlite3* database)
      : Handle(kType, env), column(std::move(info)), db(database) {}
  ~Param() override;
  ColumnInfo column;
  sqlite3* db;                 // the statement's connection, for the column's type
  ClientRef* type_ref = nullptr;  // object columns' OCI_ATTR_REF_TDO, made on first read
};

// Thread-safe: no.
class Statement : public Handle {
 public:
  static constexpr uint32_t kType = OCI_HTYPE_STMT;
  explicit Statement(Environment* env);
  ~Statement() override;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  void prepare(std::string_view text);
  Bind* bind(uint32_t position, std::string_view name, const ElementArrays& arrays, uint32_t mode);
  Define* define(uint32_t position, const ElementArrays& arrays, uint32_t mode);

  // Returns OCI_SUCCESS, OCI_SUCCESS_WITH_INFO or OCI_NO_DATA (records the warning in errors).
  sword execute(Session& session, ErrorHandle* errors, uint32_t iters, uint32_t row_offset, uint32_t mode);
  sword fetch(ErrorHandle* errors, uint32_t rows, uint16_t orientation, int32_t offset);
  // Bytes [offset, offset+size) of column `position` of the current row (version 7 oflng).
  std::string current_value_bytes(uint32_t position);
  // Closes the cursor but keeps the translation, binds and defines (statement cache).
  void close_cursor();

  // Element `row` of a bind as parameter `index` of stmt (iteration for data-at-exec callbacks);
  // a LOB locator passes the value it names.
  void bind_element(Bind& bound, sqlite3_stmt* stmt, int index, uint32_t row, uint32_t iteration);
  InPiece in_piece(Bind& bound, uint32_t iteration);
  void bind_locator(sqlite3_stmt* stmt, int index, const ElementArrays& arrays, uint32_t row);
  // Writes an out value into element `slot` of a bind (callbacks, indicator, length, return code).
  // Writes an OUT value into element `slot`; `index` is the row's place among the rows
  // a DML statement returned (counted by the bind itself when not given).
  void place_out(Bind& bound, const Cell& value, const sql::OracleType& type, uint32_t slot, uint32_t iteration,
                 std::optional<uint32_t> index = std::nullopt);
  // The slots for OUT value `index` of element `slot`, asking the bind's out-callback when it has one.
  OutSlot out_slot(Bind& bound, uint32_t slot, uint32_t iteration, std::optional<uint32_t> index);
  // The bind a block's placeholder name reaches: by name, or by the position of its first occurrence.
  Bind* bind_for_name(const std::string& name);
  // The bind in use for placeholder occurrence `occurrence` (0-based, text order), or nullptr.
  Bind* bind_at(size_t occurrence) const;

  // OPEN :c FOR in a block run by this statement: the cursor bind's handle (an
  // OCI8 statement or an OCI7 cursor area) takes the rows of stmt.
  void open_cursor_bind(Bind& bound, uint32_t row, sqlite3_stmt* stmt, const std::vector<std::string>& names,
                        const std::vector<std::optional<sql::OracleType>>& types);
  // Makes this handle an open query over every row stmt yields from here on, as
  // if it had executed it; OCIStmtExecute on it then only fetches.
  void adopt_result(Session& session, std::shared_ptr<Connection> connection, sqlite3_stmt* stmt,
                    const std::vector<std::string>& names, const std::vector<std::optional<sql::OracleType>>& types);
  // DBMS_SQL.RETURN_RESULT in a block run by this statement: a new statement
  // handle takes the rows of stmt, handed out in turn by next_implicit_result().
  void add_implicit_result(Session& session, sqlite3_stmt* stmt, const std::vector<std::string>& names,
                           const std::vector<std::optional<sql::OracleType>>& types);
  // The same for a cursor the client passed into the block: its remaining rows.
  void add_implicit_result_from(Statement& passed);
  Statement* next_implicit_result();
  ub4 implicit_result_count() const { return static_cast<ub4>(implicit_results_.size()); }
  // Frees the results of the last execution (the library owns them, as Oracle's does).
  void free_implicit_results();
  // The same over rows already read: `columns` name and type them (an unknown
  // type code 0 is inferred from the first row).
  void adopt_rows(Session& session, std::shared_ptr<Connection> connection, std::vector<ColumnInfo> columns,
                  std::vector<std::vector<StoredCell>> rows);

  // A block reading this handle as a cursor the client passed in: whether its
  // query is open, its next row (false at the end; the cells last until the next
  // call), closing it, and its remaining rows handed to another handle.
  bool query_open() const;
  bool next_cells(std::vector<Cell>& row);
  // The server's next row behind the rows the client holds, taken out of the client's list.
  bool take_row_behind_held(std::vector<Cell>& row);
  void close_for_block();  // the client's next fetch then finds the cursor invalid (ORA-01001)
  void hand_rows_to(Statement& target);

  Param* param(uint32_t position);
  uint32_t column_count() const { return static_cast<uint32_t>(columns_.size()); }
  bool unopened() const { return unopened_; }
  void hand_over_unopened();
  const std::vector<ColumnInfo>& columns() const { return columns_; }
  const std::vector<std::string>& placeholder_names() const { return placeholders_; }
  Session* session() const { return live<Session>(session_); }

  std::string text;
  std::string sql_id;  // OCI_ATTR_SQL_ID, filled when asked for
  uint16_t statement_type = 0;
  uint16_t sql_function_code = 0;
  uint64_t row_count = 0;
  std::vector<ub8> row_counts;  // rows each iteration of the last array DML changed (OCI_ATTR_DML_ROW_COUNT_ARRAY)
  uint32_t rows_fetched = 0;
  uint16_t parse_error_offset = 0;
  uint32_t dml_row_offset = 0;
  std::vector<RowError> row_errors;  // OCI_BATCH_ERRORS: the rows of the last execute that failed
  std::string rowid_text;
  int64_t current_position = 0;  // scrollable cursors: 1-based current row
  std::string cache_key;         // set while handed out by OCIStmtPrepare2
  bool from_prepare2 = false;
  uint32_t prefetch_rows = 1;
  bool prefetch_set = false;  // by the application: only then do executed queries hold rows back on the client

 private:
  // Drained: a block read the last row; the client's next fetch is told there are no more.
  enum class Cursor { Closed, Open, Drained, Exhausted };

  void ensure_translated(Session& session);
  void finalize();
  void run_statements(size_t count);
  // A DDL translation's statements; a table that cannot be dropped while a cursor of this
  // connection reads is recycled (Connection::recycle_table).
  void run_ddl_statements();
  // The statements ahead of the main DML statement (INSERT ALL's other tables), with the row's
  // binds; returns the rows they changed.
  uint64_t run_bound_statements(uint32_t row, uint32_t iteration);
  // Whether a bind covers an occurrence: by name, or by position (a block counts each name once).
  bool covers(const Bind& bound, size_t occurrence) const;
  // Frees the binds that newer binds replaced at every placeholder they covered.
  void drop_replaced_binds();
  // Maps placeholders to binds and plans how each bind's elements are passed.
  void map_parameters(bool require_all);
  void plan_binds();
  // Element `row` of every bind into stmt, parameter n as n + shift.
  void bind_row(sqlite3_stmt* stmt, int shift, uint32_t row, uint32_t iteration);
  void describe(bool may_peek);
  // describe() unless the kept description still holds.
  void describe_execution(Session& session, bool may_peek);
  // Whether every column's type is known without reading a row.
  bool column_types_declared() const;
  sword execute_query(Session& session, ErrorHandle* errors, uint32_t iters, uint32_t mode);
  sword execute_dml(Session& session, uint32_t iters, uint32_t row_offset, bool batch_errors);
  bool try_dml(Session& session, uint32_t iters, uint32_t row_offset, bool batch_errors);
  // One iteration of DML for bind row `row`; returns the rows its RETURNING clause gave.
  uint32_t run_dml_row(uint32_t row, uint32_t iteration);
  uint32_t run_dml_row_once(uint32_t row, uint32_t iteration);
  // The same, and a failing row is undone and recorded instead of ending the execute.
  uint32_t run_dml_row_keeping_errors(uint32_t row, uint32_t iteration);
  // How many of the remaining iterations one statement inserts at once; 1: one at a time.
  uint32_t rows_at_once(uint32_t remaining) const;
  // Inserts bind rows [first, first + rows) in one statement; false, with nothing changed,
  // when any of them fails, so that running them one at a time tells which and how.
  bool insert_rows_at_once(uint32_t first, uint32_t iteration, uint32_t rows);
  sqlite3_stmt* rows_insert_statement(uint32_t rows);
  // OCI_PARSE_ONLY: translates (and compiles a block) without running anything.
  void parse_only(Session& session);
  void execute_other(Session& session);
  sword execute_plsql(Session& session, uint32_t iters, uint32_t row_offset);
  void compile_block(Session& session);  // once per schema generation
  sword execute_create_program(Session& session, ErrorHandle* errors);
  void lock_selected_rows(Session& session);
  void materialize();
  // The next row of the cursor, or of the rows held; false at the end.
  bool advance();
  Cell cell(uint32_t column) const;
  // A deferred LOB column: its value loaded from the row, or (marker_only) a value without bytes.
  Cell deferred_cell(uint32_t column, const Cell& marker, bool marker_only) const;
  // The defines of the coming fetch call and how each is placed; clears fetch_truncated_.
  void plan_fetch();
  DirectKind direct_placement(const Define& define, uint32_t column) const;
  // Inlined into the two fetch loops, its only callers: a call per row costs as much as a cell.
  // A truncated cell sets fetch_truncated_, kept out of the row loop's registers.
  [[gnu::always_inline]] inline void place_row(size_t slot);
  // One column of the current row through the conversions; returns whether it was truncated.
  bool place_column(Define& define, uint32_t column, uint32_t slot);
  void place_piecewise(Define& define, const Cell& value, const ColumnInfo& column, uint32_t slot);
  // A CURSOR column: the define's statement handle (or OCI7 cursor area) of `slot` takes the packed rows.
  void place_cursor(const ElementArrays& arrays, uint32_t slot, const Cell& value, const ColumnInfo& column);
  // The bind of RETURNING ... INTO target `item` (0-based), or nullptr.
  Bind* returning_bind(size_t item) const;
  std::vector<StoredCell> returned_cells() const;
  void place_returning(uint32_t row, const std::vector<std::vector<StoredCell>>& returned);
  // An OUT LOB: a locator in the bind's element, or in the descriptor its callback hands over.
  void place_locator_out(Bind& bound, uint32_t slot, uint32_t iteration, std::optional<uint32_t> index,
                         const Cell& value, const ColumnInfo& column, std::optional<int64_t> rowid);
  void place_object_out(Bind& bound, uint32_t slot, uint32_t iteration, std::optional<uint32_t> index,
                        const Cell& value);
  // LOB locators: the define array's locator for a fetched LOB column, and IN locator binds.
  void place_locator(const ElementArrays& arrays, uint32_t slot, const Cell& value, const ColumnInfo& column,
                     std::optional<int64_t> rowid);
  void locate_origin(ColumnInfo& column, int index);
  ColumnInfo returned_column(size_t item, const sql::OracleType& type) const;
  std::optional<int64_t> returned_rowid(const std::vector<StoredCell>& row) const;
  sword scroll_fetch(ErrorHandle* errors, uint32_t rows, uint16_t orientation, int32_t offset);
  [[noreturn]] void fail_sqlite(int rc, bool at_prepare = false);

  Session* session_ = nullptr;
  uint64_t generation_ = 0;
  int64_t data_version_ = 0;  // the session's data version when translated
  std::shared_ptr<Connection> connection_;
  bool translated_ = false;
  sql::Translation translation_;
  sqlite3_stmt* main_ = nullptr;  // the last translated statement (queries, DML)
  std::vector<std::string> placeholders_;  // occurrences in text order, upper case
  std::vector<uint32_t> distinct_positions_;  // by occurrence: 1-based position of its name among distinct names
  bool block_positions_ = false;           // PL/SQL: a bind position counts distinct names, not occurrences
  uint64_t binds_made_ = 0;
  std::vector<Bind*> parameter_binds_;     // by SQLite parameter index
  std::vector<PlannedBind> bind_plan_;     // the binds main_ takes, in parameter order
  bool binds_call_back_ = false;           // some bind's elements come from a data-at-exec callback
  // The repeatable insert prepared for several rows at once, by row count (null: it cannot be).
  struct RowsInsert {
    uint32_t rows = 0;
    sqlite3_stmt* statement = nullptr;
  };
  std::vector<RowsInsert> rows_inserts_;
  uint64_t rows_run_ = 0;  // iterations executed since the translation
  std::vector<std::unique_ptr<Bind>> binds_;
  std::vector<std::unique_ptr<Define>> defines_;  // by position - 1, null when not defined
  std::vector<PlannedDefine> fetch_plan_;
  bool fetch_truncated_ = false;  // a cell of the current fetch call did not fit its element
  DirectSinks direct_sinks_;
  std::vector<ColumnInfo> columns_;
  std::vector<std::unique_ptr<Param>> params_;
  // The columns described at an execution, kept for the next ones while they
  // cannot differ: no type was guessed from a row's value, the session ran no
  // DDL, and SQLite did not prepare the statement again for a schema that
  // another connection changed.
  struct KeptDescription {
    uint64_t generation = 0;
    const sqlite3_stmt* statement = nullptr;
    int reprepares = 0;
  };
  std::optional<KeptDescription> kept_description_;
  bool types_guessed_ = false;
  Cursor cursor_ = Cursor::Closed;
  bool pending_row_ = false;  // the query's first row was stepped at execute and not delivered yet
  // Rows Oracle's client would hold, prefetched with the execute and not fetched by the
  // application yet: the server's cursor is past them, so a block reading it never sees them,
  // while the application's next fetch still gets them.
  uint32_t client_prefetched_ = 0;
  // A block read past the prefetched rows: the rows are materialized, those the block took are
  // gone from rows_, and row_count already counts the held ones (as the server's cursor did).
  bool prefetched_held_ = false;
  std::vector<StoredCell> block_row_;  // the row a block took from behind the held ones; next_cells views it
  bool materialized_ = false;
  bool scrollable_ = false;
  std::vector<std::vector<StoredCell>> rows_;
  mutable std::vector<std::string> deferred_values_;  // by column: the value deferred_cell loaded last
  size_t next_row_ = 0;  // materialized, non-scrollable
  size_t current_row_ = 0;
  bool truncated_ = false;
  std::unique_ptr<plsql::Unit> plsql_unit_;  // the compiled block, for plsql_generation_
  uint64_t plsql_generation_ = 0;
  bool adopted_ = false;  // rows handed over by a block's OPEN :c FOR, not a query of its own
  bool closed_by_block_ = false;  // a block closed the cursor the client passed in
  bool unopened_ = false;         // a block handed over a cursor variable it never opened
  std::vector<Statement*> implicit_results_;  // children of the environment, in return order
  size_t next_implicit_ = 0;  // the next one OCIStmtGetNextResult hands out
};

// Where a fetched object's stored text lives, so that its LOB attributes name their row
// (a computed object has no table: its LOBs become temporary values of the instance).
struct ObjectOrigin {
  Session* session = nullptr;
  std::string table, column;  // SQLite names
  std::optional<int64_t> rowid;
};

// SQLT_NTY elements: the instance of fetched row `slot` (made or reused) filled from a stored value,
// and the stored text of bound element `row` (nullopt for a null object; LOB attributes by content).
void place_object(const ObjectArrays& objects, Environment* env, uint32_t slot, const Cell& value,
                  const ObjectOrigin& origin);
std::optional<std::string> bound_object_text(const Bind& bound, uint32_t row, Session& session);

// SQLT_CLOB, SQLT_BLOB, SQLT_BFILE, SQLT_CFILE: the element is an OCILobLocator*.
bool is_locator_type(uint16_t dty);
// Locators, ROWID, datetime and interval descriptors: the element is a pointer to a descriptor.
bool is_descriptor_type(uint16_t dty);
// The type a column of unknown declaration reads as, from a value of it.
sql::OracleType inferred_type(const Cell& cell);
// The statement behind an OCI7 cursor data area, or nullptr.
Statement* cursor_area_statement(const void* area);
// The statement of an OCI7 cursor variable's area bound into `opener`; an area never
// opened becomes a cursor of the opener's logon. Null when neither applies.
Statement* cursor_variable_area(void* area, const Statement& opener);
bool sql_name_equal(std::string_view a, std::string_view b);

// Statement type (OCI_STMT_*) of SQL text from its first keyword.
uint16_t classify_statement(std::string_view text);
// Placeholder occurrences (":name", ":1") in text order, upper case, outside literals and comments.
std::vector<std::string> scan_placeholders(std::string_view text);
// The name a bind keys by: without its colon, upper case unless quoted (then without the quotes).
std::string bind_key(std::string_view name);

// Adds a diagnostic record (replacing earlier ones).
void record_error(ErrorHandle* errors, int code, const std::string& message);

// Defined here, inline, because the fetch loop calls it once per row.
inline bool Statement::advance() {
  if (materialized_) {
    if (next_row_ >= rows_.size()) return false;
    current_row_ = next_row_++;
    return true;
  }
  if (pending_row_) {
    pending_row_ = false;
    return true;
  }
  const int rc = sqlite3_step(main_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  fail_sqlite(rc);
}

}  // namespace ociemu
