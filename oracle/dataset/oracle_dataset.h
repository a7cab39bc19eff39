// TOracleDataSet: the rows of one query as a navigable, record-buffered
// dataset. It owns a TOracleQuery named "MainQuery" (SQL, variables, fetch
// size), executes it once to describe and fetch, copies each fetched row into
// a record of its TRecordDataList so that it can scroll back over rows the
// server cursor has passed, filters records with filter expressions and
// OnFilterRecord, and decompresses binary values stored compressed.
//
// Searching, counting, record numbers and master/detail are here too, and
// writing changes back: at once, or kept in a change log (CachedUpdates, a
// provider transaction) until applied or cancelled. In query-by-example mode
// the current record is a search form whose values become conditions.
// Thread-safe: no; a dataset is used from one thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/data_source.h"
#include "db/dataset.h"
#include "oracle/dataset/blob_compression.h"
#include "oracle/dataset/change_log.h"
#include "oracle/dataset/dataset_options.h"
#include "oracle/dataset/field_info.h"
#include "oracle/dataset/oracle_dictionary.h"
#include "oracle/dataset/qbe_definition.h"
#include "oracle/dataset/record_buffer.h"
#include "oracle/dataset/record_search.h"
#include "oracle/dataset/record_store.h"
#include "oracle/filter/expression.h"
#include "oracle/session/oracle_query.h"
#include "oracle/session/session_client.h"
#include "runtime/stream.h"

namespace kvell {

class TOracleSession;
class TOracleDataSet;
class TDataSetWriter;
class TDataSetDictionary;
class TDataSetQBE;
class TOracleTableInfo;
class TLOBLocator;

using TOracleDataSetEvent = std::function<void(TOracleDataSet* Sender)>;
using TTranslateMessageEvent = std::function<void(TOracleDataSet* Sender, int ErrorCode,
                                                  const std::string& ConstraintName, char Action, std::string& Msg)>;
using TApplyRecordEvent =
    std::function<void(TOracleDataSet* Sender, char Action, bool& Applied, std::string& NewRowId)>;
using TCancelQBEEvent = std::function<void(TOracleDataSet* Sender, bool& Requery)>;
using TAfterFetchRecordEvent =
    std::function<void(TOracleDataSet* Sender, bool FilterAccept, TAfterFetchRecordAction& Action)>;
using TCompressionEvent =
    std::function<void(TOracleDataSet* Sender, TField* Field, TMemoryStream& InStream, TMemoryStream& OutStream)>;

class TOracleDataSet : public TDataSet, public TSessionClient {
 public:
  explicit TOracleDataSet(TComponent* owner = nullptr);
  ~TOracleDataSet() override;

  // ---- properties held by the main query ----
  const TStringList& SQL() const { return main_query_->SQL(); }
  // Forgets the cached table names, sends a property change and reopens an
  // active dataset.
  void SetSQL(const TStringList& lines);
  void SetSQLText(const std::string& text);
  int ReadBuffer() const { return main_query_->ReadBuffer(); }
  void SetReadBuffer(int rows) { main_query_->SetReadBuffer(rows); }
  bool Optimize() const { return main_query_->Optimize; }
  void SetOptimize(bool value) { main_query_->Optimize = value; }
  bool Debug() const { return main_query_->Debug; }
  void SetDebug(bool value) { main_query_->Debug = value; }
  TVariables& Variables() { return main_query_->Variables(); }
  bool StringFieldsOnly() const { return main_query_->StringFieldsOnly(); }
  void SetStringFieldsOnly(bool value);
  TCursor Cursor() const { return main_query_->Cursor; }
  void SetCursor(TCursor value) { main_query_->Cursor = value; }
  TOracleSession* Session() const { return session_; }
  virtual void SetSession(TOracleSession* session);
  TOracleQuery& MainQuery() const { return *main_query_; }

  // ---- published sub-objects and plain properties ----
  TSequenceField SequenceField;
  TOracleDictionary OracleDictionary{this};
  TQBEDefinition QBEDefinition;
  std::string UniqueFields;
  std::string MasterFields;
  std::string DetailFields;
  bool ReadOnly = false;
  TLockingModeOptions LockingMode = lmCheckImmediate;
  bool QueryAllRecords = true;
  bool CountAllRecords = false;
  TRefreshOptions RefreshOptions = 0;
  bool CommitOnPost = true;
  bool DesignActivation = false;
  bool Detachable = false;
  bool CompressBLOBs = false;
  TOracleProviderOptions ProviderOptions = 0;

  bool CachedUpdates() const { return cached_updates_; }
  // Turning it off while changes are pending is refused: they would never
  // reach the server.
  void SetCachedUpdates(bool value);
  TOracleDataSet* Master() const { return master_; }
  // Closes the dataset and links it to `master` (or unlinks it); a chain of
  // masters that leads back to this dataset is refused. At design time the
  // link is then configured from the dictionary: the foreign key from this
  // dataset's table to the master's, or a query over a collection column
  // of the master chosen by the user (EDatabaseError when neither can be
  // found; the master stays set).
  void SetMaster(TOracleDataSet* master);
  bool Unidirectional() const { return unidirectional_; }
  // Only while closed.
  void SetUnidirectional(bool value);
  const std::string& UpdatingTable() const { return updating_table_; }
  void SetUpdatingTable(const std::string& value);
  bool QBEMode() const { return qbe_mode_; }
  bool EditsSearchForm() const override { return qbe_mode_; }
  // Closed: only remembered, and opening enters the mode. Open: true enters
  // the mode (its current record becomes the search form), false cancels it.
  void SetQBEMode(bool value);
  // Stores the example values, adds their conditions to the SQL, leaves the
  // mode and executes the query; then AfterQBE.
  void ApplyQBE();
  // Active with no session, or a session that is not connected.
  bool Detached() const;

  // ---- events, in declaration order ----
  TTranslateMessageEvent OnTranslateMessage;
  TOracleDataSetEvent BeforeQuery, AfterQuery;
  TOracleDataSetEvent BeforeQBE, AfterQBE;
  TCancelQBEEvent OnCancelQBE;
  TApplyRecordEvent OnApplyRecord;
  TAfterFetchRecordEvent AfterFetchRecord;
  TOracleDataSetEvent AfterRefreshRecord;
  TCompressionEvent OnCompressBLOB, OnDecompressBLOB;

  // ---- variables of the main query ----
  void DeclareVariable(const std::string& name, int type) {
    main_query_->DeclareVariable(name, type);
    provider_params_.reset();
  }
  void SetVariable(const std::string& name, const Variant& value) { main_query_->SetVariable(name, value); }
  Variant GetVariable(const std::string& name) const { return main_query_->GetVariable(name); }
  void SetComplexVariable(const std::string& name, TComplexValue* object) {
    main_query_->SetComplexVariable(name, object);
  }
  void DeleteVariables() {
    main_query_->DeleteVariables();
    provider_params_.reset();
  }
  int VariableCount() const { return main_query_->VariableCount(); }
  std::string VariableName(int index) const { return main_query_->VariableName(index); }
  int VariableType(int index) const { return main_query_->VariableType(index); }
  int VariableIndex(const std::string& name) const { return main_query_->VariableIndex(name); }

  // ---- framework overrides of the public interface ----
  void SetActive(bool value) override;
  void SetFilterText(const std::string& text) override;
  void SetFiltered(bool value) override;
  void SetFilterOptions(TFilterOptions options) override;
  void SetBlockReadSize(int value) override;
  void DataEvent(TDataEvent event, intptr_t info) override;
  bool GetFieldData(TField* field, void* buffer) override;
  TFieldBytes PeekFieldData(TField* field) override;
  void SetFieldData(TField* field, const void* buffer) override;
  std::unique_ptr<TStream> CreateBlobStream(TField* field, TBlobStreamMode mode) override;
  void CloseBlob(TField* field) override;
  bool BookmarkValid(const TBookmark& bookmark) const override;
  int CompareBookmarks(const TBookmark& first, const TBookmark& second) const override;
  TUpdateStatus UpdateStatus() const override;
  void Post() override;
  int RecordCount() override;
  int RecNo() override;
  void SetRecNo(int value) override;
  bool Locate(const std::string& key_fields, const Variant& key_values, TLocateOptions options) override;
  Variant Lookup(const std::string& key_fields, const Variant& key_values,
                 const std::string& result_fields) override;

  // Finds the next record whose fields (';'-separated; "ROWID" for the row's
  // rowid) hold the values (a variant array for several) as the option bits
  // say, fetching rows not yet held when stepping forward past them; goes to
  // it unless srDontMove.
  bool SearchRecord(const std::string& field_names, const Variant& values, TSearchRecordOptions options);

  // ---- cached updates ----
  // Sends the logged changes in the order they were made, inside one
  // savepoint: when one fails the server is rolled back to it, the records
  // and the log stay as they were, and the error is raised. Then the session
  // commits as after a post (CommitOnPost, no MTS transaction, no
  // AutoCommitMode), the log is forgotten and rows are re-read as posts
  // would re-read them.
  void ApplyUpdates();
  // Undoes every logged change in the records, newest first, and forgets
  // the log; ends a provider transaction's logging.
  void CancelUpdates();
  // Forgets the log; its inserts and deletes count as posted.
  void CommitUpdates();
  bool UpdatesPending() const;
  const TChangeLog& ChangeLog() const { return change_log_; }

  // ---- the provider-support interface ----
  // A provider transaction logs changes (CommitOnPost goes off) until it
  // ends: committed, the session commits and the log is forgotten; rolled
  // back, the session rolls back and the changes are undone in the records.
  // With opNoCommit the session is left alone and the log is forgotten.
  void PSStartTransaction() override;
  void PSEndTransaction(bool commit) override;
  bool PSInTransaction() override;
  void PSReset() override;
  void PSSetCommandText(const std::string& command_text) override;
  void PSExecute() override;
  // The variables as parameters.
  TParams* PSGetParams() override;
  // Sets the variables of the parameters' names; a parameter without a
  // variable is refused before any is set.
  void PSSetParams(const TParams& params) override;
  std::string PSGetQuoteChar() override;
  std::string PSGetTableName() override;
  // Fields flagged pfInKey, else the UniqueFields.
  std::string PSGetKeyFields() override;
  // The key (ixPrimary, ixUnique) and the SQL's ORDER BY ("DEFAULT_ORDER").
  TIndexDefs PSGetIndexDefs(TIndexOptions options) override;
  std::optional<TIndexDef> PSGetDefaultOrder() override;
  bool PSIsSQLBased() override;
  bool PSIsSQLSupported() override;
  // Runs `sql` on the session, each "?" standing for the next parameter;
  // returns the rows processed. For a query, `result_set` receives an open
  // dataset over it, owned by the caller.
  int PSExecuteStatement(const std::string& sql, TParams* params, TDataSet** result_set) override;

  // Whether the record being filtered passes OnFilterRecord and the filter text.
  virtual bool EvaluateFilter();
  // OnApplyRecord's Applied; false without a handler.
  virtual bool FireApplyRecord(char action, std::string& rowid);
  virtual std::string GetSelectTableName();
  virtual std::string GetUpdatingTableName();

  // The message an error of a generated statement is raised with: cut before
  // an application error's back-trace, replaced from the session's message
  // table, then handed to OnTranslateMessage. `action` is I, U, D, L, C or R.
  std::string TranslateMessage(char action, int code, const std::string& text);
  // The session's dictionary entry for the updating table ("Session undefined" without a session).
  TOracleTableInfo& TableInfo();
  // The columns of the updating table's first primary or unique key from the
  // dictionary; empty when there is none or, with `require_fields`, when one
  // of them is not a field of this dataset.
  std::vector<std::string> DictionaryKeyColumns(bool require_fields);

  // Whether rows come from a cursor variable through "CursorQuery".
  bool FetchesFromCursor() const;
  // The statement query of generated statements ("DMLQuery"), null before its first use.
  TOracleQuery* DMLQuery() const;
  // Statements the dataset sent to write back, lock and re-read since it opened.
  int64_t StatementsSent() const;

  // Running totals of compressed binary values since the last open.
  const TBlobCompressionTotals& CompressionTotals() const { return compression_totals_; }

  // TSessionClient.
  void SessionLoggingOff() override;
  void SessionLoggedOff() override;
  void SessionDestroyed() override;
  void ReopenForPreferences() override;
  std::string ClientName() const override { return Name(); }

 protected:
  // Makes the main query; the dataset owns what it returns.
  virtual std::unique_ptr<TOracleQuery> CreateMainQuery();

  // ---- framework protocol ----
  void Loaded() override;
  TRecordBuffer AllocRecordBuffer() override;
  void FreeRecordBuffer(TRecordBuffer& buffer) override;
  void GetBookmarkData(TRecordBuffer buffer, void* data) const override;
  void SetBookmarkData(TRecordBuffer buffer, const void* data) override;
  TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) const override;
  void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) override;
  int GetRecordSize() const override { return data_size_; }
  TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool do_check) override;
  TGetResult SkipRecord(TRecordBuffer scratch, TGetMode mode) override;
  void InternalOpen() override;
  void InternalClose() override;
  bool IsCursorOpen() const override { return store_ != nullptr; }
  void InternalInitFieldDefs() override;
  void InternalHandleException() override;
  void InternalFirst() override { current_ = -1; }
  void InternalLast() override;
  void InternalGotoBookmark(const void* bookmark) override;
  void InternalSetToRecord(TRecordBuffer buffer) override;
  void InternalInitRecord(TRecordBuffer buffer) override;
  void InternalAddRecord(TRecordBuffer buffer, bool append) override;
  void InternalEdit() override;
  void InternalPost() override;
  void InternalCancel() override;
  void InternalDelete() override;
  void InternalRefresh() override;
  bool GetCanModify() const override;
  void ClearCalcFields(TRecordBuffer buffer) override;
  void CalculateFields(TRecordBuffer buffer) override;
  void DoBeforeInsert() override;
  void DoOnNewRecord() override;
  void DoAfterInsert() override;
  void DoBeforeScroll() override;

  // ---- state for the dataset's later parts ----
  // The query rows are fetched from: the main query, "CursorQuery" for a
  // cursor variable, or an attached external query.
  TOracleQuery* FetchQuery() const { return fetch_query_; }
  // Set by a part that supplies rows from a query of its own.
  TOracleQuery* external_fetch_query_ = nullptr;
  TRecordDataList* RecordStore() const { return store_.get(); }
  TOracleFieldInfoList& FieldInfos() { return field_infos_; }
  // Select-list position of the rowid column, -1 without one.
  int RowIdColumn() const { return rowid_column_; }
  // Record number of the current record in the visible list; -1 before the
  // first, VisibleCount() after the last.
  int current_ = -1;
  int32_t last_record_id_ = 0;  // RecordIds of this execution run from 1
  bool opening_ = false;
  // Records currently visible: the filtered list while Filtered, else all.
  bool UseFilteredList() const { return Filtered(); }
  int VisibleCount() const;
  uint8_t* VisibleRecord(int number) const;
  // Visible number of the record with `id`; -1 when not found.
  int VisibleNumberOfId(int32_t id) const;
  // The stored record a buffer copied, or nullptr (not stored, or released).
  // A buffer's blob-list and long-rowid pointers are copies that die with the
  // stored record: read them through the stored record.
  uint8_t* StoredRecordOf(TRecordBuffer buffer) const;
  // The blob value of `info` in a stored record or a buffer, or nullptr.
  const TOracleBlob* BlobOf(const uint8_t* record, const TOracleFieldInfo& info) const;
  // Releases every record; RecordIds restart at 1.
  void ReleaseRecords();
  // The executing step of open, refresh and re-query.
  void ExecuteQuery();
  // Fetches until a visible record is added; false when none is.
  bool FetchRecord();
  // No further row will be fetched (the query is exhausted, or stopped).
  bool FetchExhausted() const { return fetch_exhausted_; }
  void FetchAll();
  // Runs the filter on a stored record.
  bool RecordPassesFilter(uint8_t* record);
  void RebuildFilteredList();
  // The record the fields read and write in the current state, or nullptr.
  uint8_t* RecordForState(const TField* field) const;
  uint8_t* OldValuesRecord() const;
  // Binary values: the stored form to write, and the value of stored bytes.
  std::string CompressedValue(TField* field, std::string_view value);
  std::string DecompressedValue(TField* field, std::string_view stored) const;
  [[noreturn]] void NotAvailableYet(const std::string& operation) const;

 private:
  class FilterScope;
  class ColumnNode;
  friend class TDataSetWriter;  // writing back is this dataset's own work, kept in its own files
  friend class TDataSetDictionary;
  friend class TDataSetQBE;

  // Write-back hooks (dataset_write_back.cpp).
  TDataSetWriter& writer() const { return *writer_; }
  // The change log (cached_updates.cpp).
  bool LogsChanges() const { return cached_updates_ || provider_logging_; }
  bool HasLogEntry(const uint8_t* record) const;
  // Logs a change while cached updates or a provider transaction log them;
  // `old_values` is the record as it was before an update or delete.
  void LogChange(char action, uint8_t* record, const uint8_t* old_values);
  uint8_t* place_cached_insert();
  // Whether a logged insert with `values` belongs under the master's current record.
  bool belongs_to_master_record(const uint8_t* values) const;
  bool made_under(const uint8_t* values, const uint8_t* master_values) const;
  Variant key_value(const std::string& field_name, const uint8_t* values) const;
  void drop_detail_inserts_under(const uint8_t* master_values);
  void drop_inserts_under(const uint8_t* master_values);
  TChangeLogItem* logged_change_of_row() const;
  void undo_change(TChangeLogItem& entry);
  // Gives a stored record the values of a copy, keeping its identity.
  void restore_record(uint8_t* record, const uint8_t* values);
  void refuse_refresh_over_cached_details() const;
  // Provider support (dataset_provider.cpp).
  std::vector<std::string> key_field_names() const;
  std::optional<TIndexDef> default_order();
  const TField* order_field(const std::string& column) const;
  void write_provider_lobs();
  void free_provider_lobs();
  // Enters a posted new record at the place of the insert `buffer` stands for.
  void InsertStoredRecord(uint8_t* record, TRecordBuffer buffer);
  void RemoveStoredRecord(uint8_t* record);
  // The blob value a field reads in the current state.
  const TOracleBlob* BlobForState(const uint8_t* record, TField* field, const TOracleFieldInfo& info) const;

  // Field definitions (dataset_open.cpp).
  void choose_fetch_query(bool executing);
  void ensure_cursor_query(const std::string& variable);
  void find_rowid_column();
  void describe_columns();
  void describe_object_column(int column, const TOracleFieldInfo& parent_info);
  void add_field_definitions();
  void bind_descriptors();
  void compute_layout();
  void create_store();
  void fire_before_query();
  void fire_after_query();
  void fetch_all_under_wait_cursor();
  void free_secondary_queries();
  void parse_filter();
  // The filtered list made again from the records held, without moving.
  void refilter_records();
  // Searching (dataset_search.cpp).
  struct SearchTerm;
  std::vector<SearchTerm> search_terms(const std::string& field_names, const Variant& values,
                                       TSearchRecordOptions options);
  // Visible number of the record found, -1 when none is.
  int find_record(const std::string& field_names, const Variant& values, TSearchRecordOptions options);
  int search_start(TSearchRecordOptions options);
  bool search_matches(uint8_t* record, const std::vector<SearchTerm>& terms, bool calculate);
  bool term_matches(const uint8_t* record, const SearchTerm& term) const;
  void go_to_record(int number);
  // Fetching (dataset_fetch.cpp).
  void fill_record(uint8_t* record);
  // How a column reaches its slot: chosen once per execution from the field
  // and define types, so that each row skips the per-cell checks.
  enum class FillCopy : uint8_t { General, Integer, Smallint, Float, DateTime, Text };
  struct FillStep {
    const TOracleFieldInfo* info;
    FillCopy copy;
  };
  void plan_fill();
  bool copy_cell(uint8_t* record, const FillStep& step);
  void fill_field(uint8_t* record, const TOracleFieldInfo& info);
  void store_value(uint8_t* record, const TOracleFieldInfo& info, const Variant& value);
  void store_blob(uint8_t* record, const TOracleFieldInfo& info, const Variant& value);
  void store_text(uint8_t* slot, const TField& field, std::string_view text);
  bool after_fetch_record(uint8_t* record, bool visible);
  enum class FetchOutcome { Visible, Hidden, Stopped };
  FetchOutcome settle_fetched_record(uint8_t* record);
  Variant attribute_value(const TOracleFieldInfo& info) const;
  void report_below_offset(int number) const;
  // GetRecord's cursor step: current_ moves (fetching as needed), no record is copied.
  TGetResult move_cursor(TGetMode mode, bool do_check);
  uint8_t* calc_area(TRecordBuffer buffer) const { return buffer + kRecordHeaderSize + data_size_; }
  // Counting (record_count.cpp).
  void forget_server_count();
  int cached_change_balance() const;
  int query_server_count();
  // The server's count of rows the example being entered selects.
  int query_by_example_count();
  // Master/detail (master_detail.cpp).
  void unregister_detail(TOracleDataSet* detail);
  void release_master_links();
  // The RecordId of the current record while browsing or editing, else -1.
  int32_t current_record_id() const;
  // The master's current RecordId, -1 without a master.
  int32_t master_record_id() const;
  // A detail whose master has no current record: closed, empty, inserting
  // or in query-by-example mode.
  bool waits_for_master() const;
  void set_detail_variables();
  Variant detail_value(const std::string& field_name, int variable_type) const;
  void stay_empty_for_master();
  void follow_master();
  void mark_details_stale();
  void refresh_details();
  void update_detail_variables();
  void post_editing_details();
  void notify_details();
  void posted_insert();
  // Automatic configuration at design time (master_detail_setup.cpp).
  void configure_master_detail();
  std::vector<std::string> collection_columns();
  void link_by_foreign_key();
  void link_to_collection(const std::vector<std::string>& collections);
  std::vector<std::string> constraint_columns(const std::string& owner, const std::string& constraint);
  // New records (new_record.cpp).
  void check_master_fields();
  void copy_master_values();

  std::unique_ptr<TOracleQuery> main_query_;
  std::unique_ptr<TOracleQuery> cursor_query_;  // "CursorQuery"
  TOracleQuery* fetch_query_ = nullptr;
  TOracleSession* session_ = nullptr;
  TOracleDataSet* master_ = nullptr;
  TDataSource internal_source_{nullptr};  // points at this dataset; details link to it
  TOracleFieldInfoList field_infos_;
  std::vector<FillStep> fill_plan_;  // per data field; empty until the first row of an execution
  bool fill_planned_ = false;
  std::unique_ptr<TRecordDataList> store_;
  TExpressionPtr filter_expression_;
  uint8_t* filter_record_ = nullptr;  // the record under the filter
  uint8_t* event_record_ = nullptr;   // the record AfterFetchRecord is told of
  bool fetch_paused_ = false;         // AfterFetchRecord paused the last fetch
  TBlobCompressionTotals compression_totals_;
  std::string updating_table_;
  std::string cached_updating_table_;
  int rowid_column_ = -1;
  int data_size_ = 0;    // data fields' part of a record
  int record_size_ = 0;  // header + data + calculated parts
  int blob_count_ = 0;
  bool unidirectional_ = false;
  bool remembered_active_ = false;  // Active streamed in or set without a session at design time
  bool before_query_fired_ = false;
  bool executed_for_describe_ = false;  // the field-definition pass executed the query
  bool fetch_exhausted_ = true;        // no further record will be added by fetching
  bool rows_exhausted_ = true;         // the fetching query has no further row
  bool first_fetched_row_pending_ = false;  // the execution's own row is not taken yet
  std::string cursor_variable_;       // the main query's variable bound to "CursorQuery"
  std::unique_ptr<TDataSetWriter> writer_;
  std::unique_ptr<TDataSetDictionary> dictionary_;
  std::unique_ptr<TDataSetQBE> qbe_;
  bool qbe_mode_ = false;
  bool cached_updates_ = false;
  bool provider_logging_ = false;     // a provider transaction logs changes
  TChangeLog change_log_;
  std::unique_ptr<TParams> provider_params_;  // the variables as a provider's parameters
  // LOB parameters: a locator bound to the variable, and the bytes it receives after execution.
  struct ProviderLob {
    std::string Variable;
    std::unique_ptr<TLOBLocator> Locator;
    std::string Bytes;
  };
  std::vector<ProviderLob> provider_lobs_;
  // While a logged change is applied, fields read the entry's values.
  const uint8_t* applying_record_ = nullptr;
  const uint8_t* applying_old_values_ = nullptr;
  // Counting: the server's count of this execution, and posted changes since.
  std::optional<int> server_count_;
  int posted_inserts_ = 0;
  int posted_deletes_ = 0;
  // Master/detail.
  std::vector<TOracleDataSet*> details_;
  TMasterDataLink master_link_{this};
  std::optional<int32_t> master_record_seen_;  // the master's RecordId the rows were read for
  bool details_stale_ = false;                 // some detail must re-query
  bool posting_ = false;
  bool filling_new_record_ = false;  // the dataset fills a new record itself
};

}  // namespace kvell
