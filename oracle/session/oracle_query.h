// TOracleQuery: one SQL statement or PL/SQL block on a TOracleSession. It
// pastes substitution variables, parses (reusing the parsed statement with
// Optimize), binds the declared variables, executes once or for arrays of
// values, describes and defines the columns of a select, fetches rows in
// arrays of ReadBuffer rows and offers the current row's values.
// Thread-safe: no. One thread uses a query at a time; the execution routine
// may run on a background thread while the foreground leaves the query alone.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "oracle/binding/oci_types.h"
#include "oracle/session/complex_value.h"
#include "oracle/session/field_data.h"
#include "oracle/session/session_client.h"
#include "oracle/session/variables.h"
#include "oracle/ui/ui_hooks.h"
#include "runtime/component.h"
#include "runtime/string_list.h"

namespace kvell {

class TOracleSession;
class TOracleQuery;
class TQueryThread;

using TOracleQueryEvent = std::function<void(TOracleQuery* Sender)>;
using TArrayErrorEvent =
    std::function<void(TOracleQuery* Sender, int Index, int ErrorCode, const std::string& ErrorMessage, bool& Continue)>;
using TThreadErrorEvent = std::function<void(TOracleQuery* Sender, int ErrorCode, const std::string& ErrorMessage)>;

// Statement kinds: the version 7 SQL function codes.
constexpr int skInsert = 3;
constexpr int skSelect = 4;
constexpr int skUpdate = 5;
constexpr int skDelete = 9;
constexpr int skPLSQL = 34;
constexpr int skOther = -1;

// One SQL statement or PL/SQL block with its variables and its rows (see the file comment).
class TOracleQuery : public TComponent, public TSessionClient, public TComplexValue, private TVariablesHost {
 public:
  explicit TOracleQuery(TComponent* owner = nullptr);
  ~TOracleQuery() override;

  // Properties.
  TStringList& SQL() { return sql_; }
  void SetSQL(const TStringList& lines);
  TOracleSession* Session() const { return session_; }
  void SetSession(TOracleSession* session);
  int ReadBuffer() const { return read_buffer_; }
  void SetReadBuffer(int rows) { read_buffer_ = rows < 1 ? 1 : rows; }
  bool Optimize = true;
  bool Debug = false;
  TVariables& Variables() { return variables_; }
  const TVariables& Variables() const { return variables_; }
  void SetVariables(const TVariables& source) { variables_.Assign(source); }
  TCursor Cursor = crDefault;
  bool StringFieldsOnly() const { return string_fields_only_; }
  void SetStringFieldsOnly(bool value);
  bool Threaded = false;
  bool ThreadSynchronized = true;
  bool Scrollable = false;

  // Events.
  TOracleQueryEvent BeforeQuery;
  TOracleQueryEvent AfterQuery;
  TArrayErrorEvent OnArrayError;
  TOracleQueryEvent OnThreadExecuted;
  TOracleQueryEvent OnThreadRecord;
  TOracleQueryEvent OnThreadFinished;
  TThreadErrorEvent OnThreadError;

  // Variables (names compare upper-cased, ':' prepended when missing).
  void DeclareVariable(const std::string& name, int type) { variables_.DeclareVariable(name, type); }
  void DeclarePLSQLTable(const std::string& name, int table_size, int string_size) {
    variables_.DeclarePLSQLTable(name, table_size, string_size);
  }
  void DeleteVariable(const std::string& name) { variables_.DeleteVariable(name); }
  void DeleteVariables() { variables_.DeleteVariables(); }
  void SetVariable(const std::string& name, const Variant& value) { variables_.SetVariable(name, value); }
  void SetVariable(int index, const Variant& value) { variables_.SetVariable(index, value); }
  Variant GetVariable(const std::string& name) const { return variables_.GetVariable(name); }
  Variant GetVariable(int index) const { return variables_.GetVariable(index); }
  void SetVariableText(int index, std::string_view text) { variables_.SetVariableText(index, text); }
  bool VariablePlainText(int index, std::string_view& text) const { return variables_.VariablePlainText(index, text); }
  void SetComplexVariable(const std::string& name, TComplexValue* object) { variables_.SetComplexVariable(name, object); }
  int VariableCount() const { return variables_.Count(); }
  std::string VariableName(int index) const { return variables_.VariableName(index); }
  int VariableType(int index) const { return variables_.VariableType(index); }
  int VariableIndex(const std::string& name) const { return variables_.VariableIndex(name); }

  // Execution.
  void Execute();
  // Executes elements index .. index + count - 1 of the bound arrays; the rows processed.
  int ExecuteArray(int index, int count);
  void Describe();
  void Next();
  bool Eof() const { return eof_; }
  void CloseCursor();
  void ClearQuery();

  // The execution routine itself, as a query thread calls it.
  void RunExecution(bool describe_only, int row_offset, int iterations);

  // Snapshot of the last execute or fetch.
  int RowsProcessed() const { return rows_processed_; }
  const std::string& RowId() const { return row_id_; }
  int ErrorCode() const { return error_code_; }
  int WarningFlags() const { return warning_flags_; }
  int ErrorLine() const { return error_line_; }
  int ErrorPosition() const { return error_position_; }
  int StatementKind() const { return kind_; }
  bool CursorOpen() const { return cursor_open_; }
  int RowArraySize() const { return row_array_size_; }

  // Columns of the current row.
  int ColumnCount() const { return static_cast<int>(columns_.size()); }
  // Names the columns as last described: a new describe gives a new id, never
  // one another description in the process had, so callers can key what they
  // derive from the columns on it. 0 before the first describe.
  uint64_t DescribeId() const { return describe_id_; }
  const TFieldData& Column(int index) const;
  // For readers copying whole rows: a column's fetch buffers, unchecked
  // (the index must be below ColumnCount()), and the current row's index into them.
  const TFieldData& DefinedColumn(int index) const { return *columns_[static_cast<size_t>(index)]; }
  int CurrentRow() const { return current_row_; }
  std::string FieldName(int index) const { return Column(index).Name; }
  int FieldType(int index) const { return Column(index).DefineType; }
  int FieldInternalType(int index) const { return Column(index).InternalType; }
  int FieldPrecision(int index) const { return Column(index).Precision; }
  int FieldScale(int index) const { return Column(index).Scale; }
  int FieldSize(int index) const;
  bool FieldOptional(int index) const { return Column(index).Nullable; }
  int FieldIndex(const std::string& name) const;
  bool FieldIsNull(int index) const;
  Variant FieldValue(int index) const;
  Variant FieldValue(const std::string& name) const;
  std::string FieldText(int index) const;
  // A string column's text on the current row as FieldValue would give it,
  // without copying; false when that needs a conversion (or is null).
  bool FieldPlainText(int index, std::string_view& text) const;
  int32_t FieldInteger(int index) const;
  double FieldFloat(int index) const;
  TDateTime FieldDate(int index) const;
  // Copies up to size bytes of a LONG or LONG RAW value from offset; the bytes copied.
  int FieldLongPiece(int index, void* buffer, int size, int offset) const;
  TComplexValue* FieldLOB(int index) const;
  TComplexValue* FieldObject(int index) const;
  TComplexValue* FieldReference(int index) const;

  // Handles, for the classes that work on the query's statement.
  OCIStmt* StatementHandle() const { return statement_; }
  Cda_Def* CursorDataArea() { return &cda_; }

  // TComplexValue: the query is the target of cursor variables.
  ComplexKind Kind() const override { return ComplexKind::Query; }
  std::string ClassName() const override { return "TOracleQuery"; }

  // TSessionClient.
  void SessionLoggingOff() override { release_quietly(); }
  void SessionDestroyed() override { session_ = nullptr; }
  std::string ClientName() const override { return Name(); }

 private:
  friend class QueryStatement;
  friend class QueryColumns;
  friend class TQueryThread;  // runs the whole-array execution

  // TVariablesHost.
  bool HasSession() const override { return session_ != nullptr; }
  bool ConvertCRLF() const override;
  bool ZeroDateIsNull() const override;
  bool NullValueIsNull() const override;
  int MaxStringChars() const override;
  void VariablesChanged() override;
  bool IsOracleQuery() const override { return true; }

  TOracleSession& require_session() const;
  void refuse_while_thread_runs() const;
  void run_array(int index, int count, bool whole_array);
  void run_array_loop(int index, int count, bool whole_array);
  // Frees the cursor; the call handles too unless `keep_call_handles`.
  void close_cursor(bool keep_call_handles);
  void release_statement(bool keep_call_handles);
  // The statement cache makes every release and re-open cheap except for these:
  // they are no cursor resources, so they stay until the session logs off.
  bool keeps_call_handles() const;
  void free_call_handles();
  void fetch_rows();
  void load_current_row();

  // Execution (query_statement.cpp).
  int last_error_code8() const;
  [[noreturn]] void raise_error();
  void check8(sword status);
  void check_fetch8(sword status);
  void check7(bool fetching);
  void locate_parse_error();
  void open_cursor();
  void free_statement_handle();
  const std::string& statement_text();
  bool forces_parse() const;
  void parse();
  void prepare8(const std::string& text);
  void set_zero_prefetch(OCIStmt* statement, OCIError* error);
  int bind_variables();
  TOracleQuery* cursor_target(TVariableData& v);
  void bind_one(TVariableData& v);
  void execute_select(bool describe_only);
  void first_fetch();
  // Runs a fetch call and sets the rows in the array from `rows_came`. Rows
  // that came with a failing call are kept; its error waits for them to be read.
  void fetch_keeping_rows(const std::function<void()>& call, const std::function<int()>& rows_came);
  [[noreturn]] void raise_pending_fetch_error();
  ub4 row_count8();
  int failed_element8(int first, int end);
  void execute_other(bool describe_only, int row_offset, int iterations);
  void show_debug();

  // Columns (query_columns.cpp).
  void describe_and_define();
  bool describe_column8(int position, TFieldData& column);
  bool describe_column7(int position, TFieldData& column);
  void choose_define(TFieldData& column);
  void define_column(int position, TFieldData& column);
  void clear_long_pieces();
  void prepare_next_array();
  std::string long_text_oci7(int index) const;
  // Frees the cursor and the call handles, reporting nothing.
  void release_quietly();
  void fire_after_query();
  void take_snapshot();
  void apply_release_rule();
  const TFieldData& current_column(int index) const;
  Variant null_value() const;
  // A text column's value with the line-break rule; `line_break` says whether it holds a CR or LF.
  Variant text_value(std::string_view text, bool line_break) const;

  TStringList sql_;
  TOracleSession* session_ = nullptr;  // linked by free notification
  int read_buffer_ = 25;
  bool string_fields_only_ = false;
  TVariables variables_{this};

  // Client state.
  OCIStmt* statement_ = nullptr;
  OCIError* error_ = nullptr;   // for calls
  OCIError* error2_ = nullptr;  // for attribute reads
  OCIRowid* rowid_ = nullptr;
  Cda_Def cda_{};
  bool cursor_open_ = false;
  bool described_ = false;
  bool eof_ = true;
  int executing_ = 0;  // 0 idle, 1 executing, 2 fetching
  bool received_cursor_ = false;
  bool before_query_fired_ = false;

  std::string parsed_text_;  // cached for Optimize; empty = forgotten
  bool text_cached_ = false;
  // The text as last built from SQL and declarations. It outlives a release, so that a
  // statement re-prepared after each execution (the statement cache) is not rebuilt.
  std::string built_text_;
  bool text_built_ = false;
  int kind_ = 0;
  int last_array_size_ = 1;
  int row_array_size_ = 1;
  int rows_in_array_ = 0;
  int current_row_ = 0;
  int total_fetched_ = 0;  // rows the statement reported so far
  std::exception_ptr pending_fetch_error_;  // raised by Next once the array is read

  int rows_processed_ = 0;
  int rows_processed_total_ = 0;  // of the last array execution
  // Element index (into the bind arrays) whose execution failed, -1 when none.
  // Rows processed counts rows changed, so only for inserts does it name the element.
  int failed_element_ = -1;
  int error_code_ = 0;
  int warning_flags_ = 0;
  std::string row_id_;
  int error_line_ = 0;
  int error_position_ = 0;

  std::vector<std::unique_ptr<TFieldData>> columns_;
  bool complex_columns_ = false;  // some column of the last describe holds client objects
  uint64_t describe_id_ = 0;
  std::unique_ptr<TQueryThread> thread_;  // made by the first threaded Execute
};

// Text of a row id from its four parts: the 18-character extended form when
// the object number is set, else "block.row.file" in hexadecimal.
std::string RowIdText(uint32_t object, uint32_t file, uint32_t block, uint32_t row);
// The parts of a 13-byte extended row id (type byte, then big-endian parts).
std::string RowIdTextFromBytes(const uint8_t* bytes13);
// The parts of a row id descriptor of clients before 8.1: object, file, block and row as native 32-bit fields.
std::string RowIdTextFromFields(const uint32_t* fields4);

// 1-based line and column of a 0-based offset in text, lines split at LF.
void TextPosition(const std::string& text, int offset, int& line, int& column);

constexpr const char* kSessionUndefined = "Session undefined";
constexpr const char* kNotLoggedOn = "Not logged on";
constexpr const char* kThreadInProgress = "Query thread is still in progress";
constexpr const char* kUnequalArrays = "All arrays must be of equal size for Array DML";
constexpr const char* kBeyondEof = "You cannot access field data beyond Eof";

}  // namespace kvell
