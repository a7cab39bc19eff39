// TDataSetWriter: how a TOracleDataSet writes its changes back. It builds and
// runs the generated insert, update and delete statements through the
// dataset's "DMLQuery", locks, compares and re-reads rows, keeps the
// savepoint and commit rules, translates server errors into the dataset's
// messages, and holds the working copies of blob values being edited.
// It is part of the dataset: it reads the dataset's records and descriptors
// directly, and the dataset's framework steps call it.
// Thread-safe: no; as its dataset.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "oracle/dataset/dml_statements.h"
#include "oracle/dataset/field_info.h"
#include "oracle/dataset/record_buffer.h"
#include "oracle/dataset/statement_queries.h"
#include "runtime/variant.h"

namespace kvell {

class EOracleError;
class TChangeLog;
struct TChangeLogItem;
class TField;
class TLOBLocator;
class TOracleDataSet;
class TOracleQuery;

class TDataSetWriter {
 public:
  explicit TDataSetWriter(TOracleDataSet& dataset);
  ~TDataSetWriter();
  TDataSetWriter(const TDataSetWriter&) = delete;
  TDataSetWriter& operator=(const TDataSetWriter&) = delete;

  // ---- the framework's steps ----
  void Edit();
  // Posts the active buffer: an insert when `inserting`, else an update.
  void Post(bool inserting);
  void Delete();
  void Cancel(bool cancelling_edit);
  // After the dataset opened / before it closes.
  void Opened();
  void Closing();

  // ---- table names (cached until SQL or UpdatingTable changes, or close) ----
  const std::string& UpdatingTableName() { return table_names_known_ ? updating_table_ : find_table_names(); }
  std::string SelectTableName();
  void ForgetTableNames();

  // ---- rows on the server ----
  // Locks, compares and re-reads `record` (the current record when null).
  void LockCheckRefresh(bool lock, bool check, bool refresh, bool all_fields, uint8_t* record);
  void ApplySequence();

  // ---- cached updates ----
  // Sends the cached entries of the log, oldest first, inside one savepoint;
  // on a failure the server goes back to it and the error is raised. Then
  // commits as after a post and gives applied inserts their rowids. Returns
  // the RecordIds of the records to re-read once the log is forgotten.
  std::vector<int32_t> ApplyLog(TChangeLog& log);
  // Re-reads a record after its logged change was applied.
  void RefreshApplied(int32_t record_id);

  // ---- blob values being edited: one entry per blob field ----
  TOracleBlob* EditBlob(int blob_index);
  void ResetEditBlob(int blob_index);

  // Runs a dictionary statement in its statement query (Debug as given) without
  // making it the last generated statement; the query, for its results.
  TOracleQuery& RunDictionary(const std::string& text, const StatementBinds& binds, bool debug = false);
  void CloseByRule(TOracleQuery& query) const { close_by_rule(query); }

  // The statement query of the last generated statement; null before the first.
  TOracleQuery* DMLQuery() const { return statement_queries_.Last(); }
  // Statements sent to the server since the dataset opened.
  int64_t StatementsSent() const { return statements_sent_; }

 private:
  // What one posted column contributes.
  struct PostedColumn {
    const TOracleFieldInfo* Info;
    Variant Value;
    ColumnValue Expression;
    std::string Variable;                  // the value's variable, "v" + descriptor index
    std::vector<PostedColumn> Attributes;  // an object written whole: its attributes' values
  };

  // Runs `text` with `binds` in its statement query; the query, for its results.
  TOracleQuery& run(const std::string& text, const StatementBinds& binds, bool string_fields_only = false);
  TOracleQuery& execute(std::string_view text, const StatementBinds& binds, bool string_fields_only, bool remember);
  void configure(TOracleQuery& query, bool string_fields_only) const;
  const std::string& find_table_names();
  void close_by_rule(TOracleQuery& query) const;
  void close_query_by_rule();
  void execute_internal(const char* statement);

  bool logging() const;
  bool savepoints_allowed() const;
  void set_savepoint();
  void rollback_to_savepoint();
  void rollback_to_savepoint_quietly();
  void commit();
  void rollback_for_cancel();
  // The same, while the change log is on: for applying it.
  void set_savepoint_now();
  void rollback_to_savepoint_now();
  void commit_now();

  [[noreturn]] void raise_translated(int code, const std::string& text, char action) const;
  [[noreturn]] void raise_translated(const EOracleError& error, char action) const;
  [[noreturn]] void raise_without_rowid(const char* action_name) const;

  // Values.
  Variant edit_value(const TOracleFieldInfo& info) const;
  Variant record_value(const uint8_t* record, const TOracleFieldInfo& info) const;
  bool is_posted_column(const TOracleFieldInfo& info) const;
  bool column_changed(const uint8_t* stored, const TOracleFieldInfo& info) const;
  bool has_object_columns() const;
  bool timestamps_bindable() const;

  // Statements.
  // The columns a post writes, into `columns`.
  void posted_columns(bool inserting, const uint8_t* stored, std::vector<PostedColumn>& columns) const;
  void create_empty_collections(const std::string& table);
  std::string collection_insert_block(const std::string& table);
  bool written_whole(const TOracleFieldInfo& object, bool inserting, const uint8_t* stored) const;
  std::optional<PostedColumn> object_column(const TOracleFieldInfo& object, bool inserting,
                                            const uint8_t* stored) const;
  ColumnValue column_expression(const TOracleFieldInfo& info, const Variant& value, bool inserting,
                                const std::string& variable) const;
  const std::string& where_clause(StatementBinds& binds, const uint8_t* record);
  // The UniqueFields for a where clause; the key fields for a rowid lookup.
  std::vector<KeyTerm> key_terms(const uint8_t* record, bool for_lookup) const;
  void find_key_fields();
  void bind_columns(StatementBinds& binds, std::vector<PostedColumn>& columns, ReturningPart& returning);
  void bind_table_variables(StatementBinds& binds, const std::string& text) const;
  std::string lob_bytes(const PostedColumn& column);
  void write_returned_lobs();
  void free_locators();
  void execute_post(bool inserting, const uint8_t* stored, std::vector<PostedColumn>& columns, std::string& rowid);
  static void take_returned_rowid(const TOracleQuery& query, int variable, std::string& rowid);
  static std::vector<Assignment> assignments(const std::vector<PostedColumn>& columns, bool alias);
  const std::string& update_text(const std::string& table, bool alias, const std::vector<PostedColumn>& columns,
                                 const std::string& where, const ReturningPart& returning);
  std::string lookup_rowid(const uint8_t* record);
  bool needs_refresh_after(bool inserting) const;
  void send_delete(uint8_t* record);

  // Cached updates.
  struct AppliedChange {
    TChangeLogItem* Entry;
    std::string RowId;
    bool Sent;
  };
  AppliedChange apply_change(TChangeLogItem& entry);
  void finish_applied(TChangeLog& log, const std::vector<AppliedChange>& applied);
  bool blob_changed(const uint8_t* stored, const TOracleFieldInfo& info) const;

  // Storing what was posted.
  uint8_t* store_insert(const std::string& rowid);
  void store_update(uint8_t* stored, const std::string& rowid);
  void copy_modified_blobs(uint8_t* record);

  // Lock, check and refresh.
  const std::string& lock_statement(bool lock, bool all_fields);
  void refresh_from(TOracleQuery& query, uint8_t* record);
  bool differs_from(TOracleQuery& query, const uint8_t* record);
  [[gnu::noinline]] bool value_differs(TOracleQuery& query, int column, const uint8_t* record,
                                       const TOracleFieldInfo& info);
  [[gnu::noinline]] void fire_row_events(bool& lock, bool& check, bool& refresh, std::string& rowid);
  // Each descriptor's result column in the query's results (-1: none), by descriptor index.
  const std::vector<int>& result_columns(const TOracleQuery& query);
  void forget_result_columns();
  Variant server_value(TOracleQuery& query, int column, const TOracleFieldInfo& info) const;
  void write_stored_value(uint8_t* record, const TOracleFieldInfo& info, const Variant& value);

  TOracleDataSet& dataset_;
  TStatementQueries statement_queries_;
  std::unique_ptr<TBlobList> edit_blobs_;
  std::vector<std::unique_ptr<TLOBLocator>> locators_;  // bound for one statement
  // Locators the statement returns, with the bytes to write into each after it ran.
  std::vector<std::pair<TLOBLocator*, std::string>> returned_lobs_;
  // The record a logged change posts from, instead of the edit buffer.
  const uint8_t* post_source_ = nullptr;
  bool applying_ = false;  // the change log is being applied
  std::string updating_table_;
  std::string select_table_;
  std::vector<std::string> key_fields_;  // found at open; see find_key_fields()
  bool table_names_known_ = false;
  std::optional<std::string> collection_block_;  // empty when the table is no collection expression
  // The simple refresh statement without and with the lock, for the table it was made for.
  struct KeptStatement {
    std::string Table;
    std::string Text;
  };
  std::array<KeptStatement, 2> simple_refresh_;
  std::string all_fields_refresh_;  // the last refresh statement of every field
  StatementBinds row_binds_;       // of the lock, check or refresh statement being sent; empty between
  StatementBinds post_binds_;      // of the post being sent; empty between posts
  ReturningPart post_returning_;   // of the post being sent
  std::string key_where_;          // the last where clause by UniqueFields
  std::vector<PostedColumn> post_columns_;  // of the post being sent; empty between posts
  std::string post_rowid_;                  // of the post being sent
  // Empties a post's columns or a row statement's binds however it ends.
  template <class Held>
  struct ClearedOnExit {
    // A constructor, not an aggregate: clang before 17 deduces no aggregate's template arguments.
    explicit ClearedOnExit(Held& kept) : Kept(kept) {}
    ClearedOnExit(const ClearedOnExit&) = delete;
    ClearedOnExit& operator=(const ClearedOnExit&) = delete;
    ~ClearedOnExit() {
      if constexpr (requires { Kept.Clear(); }) Kept.Clear(); else Kept.clear();
    }
    Held& Kept;
  };
  // Result columns of the two row statements a post alternates between, each
  // for the description of the columns it was found in.
  struct ResultColumns {
    uint64_t DescribeId = 0;  // the query's DescribeId(); 0: nothing found yet
    int ColumnCount = -1;
    std::vector<int> Columns;
  };
  std::array<ResultColumns, 2> result_columns_;
  int older_result_columns_ = 0;  // the entry the next new description replaces
  // The last update text and everything it was made from: edit after edit
  // usually writes the same columns the same way.
  struct KeptUpdate {
    std::string Table;
    bool Alias = false;
    std::vector<std::pair<std::string, std::string>> Columns;  // names as assigned, and value expressions
    std::string Where;
    ReturningPart Returning;
    std::string Text;
    bool MadeFrom(const std::string& table, bool alias, const std::vector<PostedColumn>& columns,
                  const std::string& where, const ReturningPart& returning) const;
  };
  KeptUpdate kept_update_;
  int64_t statements_sent_ = 0;
};

}  // namespace kvell
