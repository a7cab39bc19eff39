// TDataSet: the record-buffer dataset base. It keeps a ring of record
// buffers around the active record, drives navigation, editing, bookmarks,
// calculated and lookup fields, filters and data events, and leaves the
// cursor itself to descendants through the protected virtual protocol
// (GetRecord, Internal*, field data, bookmarks, buffers).
// Thread-safe: no; a dataset is used from one thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "db/db_types.h"
#include "db/field.h"
#include "db/field_defs.h"
#include "db/params.h"
#include "db/provider_support.h"
#include "runtime/component.h"
#include "runtime/stream.h"
#include "runtime/variant.h"

namespace kvell {

class TDataSource;
class TDataLink;

// The dataset base (see the file comment); TOracleDataSet derives from it.
class TDataSet : public TComponent, public IProviderSupport {
 public:
  using TDataSetNotifyEvent = std::function<void(TDataSet*)>;
  using TDataSetErrorEvent = std::function<void(TDataSet*, EDatabaseError&, TDataAction&)>;
  using TFilterRecordEvent = std::function<void(TDataSet*, bool& accept)>;

  explicit TDataSet(TComponent* owner);
  ~TDataSet() override;

  // Opening and closing.
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  bool Active() const { return state_ != dsInactive && state_ != dsOpening; }
  virtual void SetActive(bool value);
  TDataSetState State() const { return state_; }
  bool Modified() const { return modified_; }
  bool DefaultFields() const { return default_fields_; }

  // Navigation.
  void First();
  void Last();
  void Next() { MoveBy(1); }
  void Prior() { MoveBy(-1); }
  // Moves distance records (negative: backwards); returns how far it moved.
  int MoveBy(int distance);
  bool Eof() const { return eof_; }
  bool Bof() const { return bof_; }
  bool IsEmpty() const { return active_record_ >= record_count_; }
  // Not const: reading the number may move the cursor to the active record,
  // and counting may fetch and cache rows.
  virtual int RecNo() { return -1; }
  virtual void SetRecNo(int) {}
  virtual int RecordCount() { return -1; }

  // Editing.
  void Edit();
  void Insert();
  void Append();
  virtual void Post();
  virtual void Cancel();
  void Delete();
  // True while the current record is a search form whose values are applied
  // to a query rather than posted; controls then leave it open.
  virtual bool EditsSearchForm() const { return false; }
  void CheckBrowseMode();
  void Refresh();
  // Asks data links to write their pending edits into the fields.
  void UpdateRecord();
  // Inserts a record holding values (by field position) in one step.
  void InsertRecord(const std::vector<Variant>& values) { add_record(values, false); }
  void AppendRecord(const std::vector<Variant>& values) { add_record(values, true); }
  bool CanModify() const { return GetCanModify(); }
  virtual TUpdateStatus UpdateStatus() const;

  // Reads records in order without moving the active record: from the one
  // `from` marks (empty: the first record), up to `count` of them, each
  // readable through the fields while `visit` runs; `visit` returns false to
  // stop. Sends no data or scroll events, so views can read rows they show.
  // Browse state only. Returns how many records were visited.
  int VisitRecords(const TBookmark& from, int count, const std::function<bool()>& visit);
  // The same walk for counting: only the records `wanted` asks for (by their
  // place in the walk, from 0) are read into the fields and visited; the
  // others are passed over without being copied. Returns how many records
  // were passed over or visited.
  int SkimRecords(const TBookmark& from, int count, const std::function<bool(int)>& wanted,
                  const std::function<bool()>& visit);

  // Bookmarks.
  TBookmark GetBookmark() const;
  // GetBookmark into out, reusing its storage (empty when none is available).
  void ReadBookmark(TBookmark& out) const;
  void GotoBookmark(const TBookmark& bookmark);
  void FreeBookmark(TBookmark& bookmark) { bookmark.clear(); }
  virtual bool BookmarkValid(const TBookmark& bookmark) const { (void)bookmark; return false; }
  virtual int CompareBookmarks(const TBookmark& first, const TBookmark& second) const;
  bool BookmarkAvailable() const;
  int BookmarkSize() const { return bookmark_size_; }

  // Search.
  virtual bool Locate(const std::string& key_fields, const Variant& key_values,
                      TLocateOptions options);
  virtual Variant Lookup(const std::string& key_fields, const Variant& key_values,
                         const std::string& result_fields);

  // Filtering.
  const std::string& Filter() const { return filter_text_; }
  virtual void SetFilterText(const std::string& text) { filter_text_ = text; }
  bool Filtered() const { return filtered_; }
  virtual void SetFiltered(bool value) { filtered_ = value; }
  TFilterOptions FilterOptions() const { return filter_options_; }
  virtual void SetFilterOptions(TFilterOptions options) { filter_options_ = options; }

  // Fields.
  TFields& Fields() { return fields_; }
  const TFields& Fields() const { return fields_; }
  TFieldDefs& FieldDefs() { return field_defs_; }
  int FieldCount() const { return fields_.Count(); }
  TField* FindField(const std::string& name) const { return fields_.FindField(name); }
  TField* FieldByName(const std::string& name) const { return fields_.FieldByName(name); }
  // Fields named by a ';'-separated list; EDatabaseError for a missing one.
  std::vector<TField*> GetFieldList(const std::string& field_names) const;
  // One name: the field's value; several: a variant array of their values.
  Variant FieldValues(const std::string& field_names) const;
  void SetFieldValues(const std::string& field_names, const Variant& values);
  // Assigns values to the fields by position; an unassigned value skips a field.
  void SetFields(const std::vector<Variant>& values);
  bool AutoCalcFields = true;
  // Makes the field definitions current without opening.
  void InitFieldDefs();

  // Data events and controls.
  void DisableControls();
  void EnableControls();
  bool ControlsDisabled() const { return disable_count_ != 0; }
  virtual void DataEvent(TDataEvent event, intptr_t info);
  int BufferCount() const { return buffer_count_; }
  int BlockReadSize() const { return block_read_size_; }
  virtual void SetBlockReadSize(int value);

  // Field data protocol; buffer nullptr asks or writes only the null state.
  // SetFieldData must refuse a ReadOnly data field outside dsSetKey with
  // EDatabaseError "Field '%s' cannot be modified" (db_messages::FieldReadOnly);
  // the framework does not check it for the descendant.
  virtual bool GetFieldData(TField* field, void* buffer);
  // The value GetFieldData would copy, in place; by default nothing is kept.
  virtual TFieldBytes PeekFieldData(TField* field) { (void)field; return {}; }
  virtual void SetFieldData(TField* field, const void* buffer);
  virtual std::unique_ptr<TStream> CreateBlobStream(TField* field, TBlobStreamMode mode);
  // Drops the field's blob working copy; called when an edit or an added
  // record ends, after which the field is no longer Modified.
  virtual void CloseBlob(TField* field) { (void)field; }
  // A field's value with the dataset briefly in state (old, new, current value).
  Variant GetStateFieldValue(TDataSetState state, TField* field);
  void SetStateFieldValue(TDataSetState state, TField* field, const Variant& value);

  TRecordBuffer ActiveBuffer() const { return buffers_.empty() ? nullptr : buffers_[active_record_]; }
  TRecordBuffer CalcBuffer() const { return calc_buffer_; }
  int CalcFieldsSize() const { return calc_fields_size_; }

  // Events.
  TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
  TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
  TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
  TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
  TDataSetNotifyEvent BeforeRefresh, AfterRefresh;
  TDataSetNotifyEvent OnNewRecord, OnCalcFields;
  TDataSetErrorEvent OnPostError, OnEditError, OnDeleteError;
  TFilterRecordEvent OnFilterRecord;

  // Provider support with the framework's defaults; datasets that serve
  // providers override them.
  void PSStartTransaction() override {}
  void PSEndTransaction(bool) override {}
  bool PSInTransaction() override { return false; }
  void PSReset() override {}
  void PSSetCommandText(const std::string&) override {}
  void PSExecute() override;
  TParams* PSGetParams() override { return nullptr; }
  void PSSetParams(const TParams& params) override;
  std::string PSGetQuoteChar() override { return "\""; }
  std::string PSGetTableName() override { return ""; }
  // The fields flagged pfInKey, ';'-separated.
  std::string PSGetKeyFields() override;
  TIndexDefs PSGetIndexDefs(TIndexOptions) override { return {}; }
  std::optional<TIndexDef> PSGetDefaultOrder() override { return std::nullopt; }
  bool PSIsSQLBased() override { return false; }
  bool PSIsSQLSupported() override { return false; }
  int PSExecuteStatement(const std::string& sql, TParams* params, TDataSet** result_set) override;

 protected:
  // Component hooks.
  void Loaded() override;
  void Dismantle() override;

  // Buffers. The framework owns the ring: it obtains every buffer from
  // AllocRecordBuffer and hands each back to FreeRecordBuffer exactly once
  // (on close, or when fewer buffers are needed); a descendant never frees
  // a ring buffer itself. Buffers still held when TDataSet's own destructor
  // runs are released with delete[], so AllocRecordBuffer allocates with
  // new uint8_t[]; the most-derived destructor calls BeforeDestruction so
  // that closing, and FreeRecordBuffer, run while the descendant exists.
  virtual TRecordBuffer AllocRecordBuffer() = 0;
  virtual void FreeRecordBuffer(TRecordBuffer& buffer) = 0;
  virtual void GetBookmarkData(TRecordBuffer buffer, void* data) const = 0;
  virtual void SetBookmarkData(TRecordBuffer buffer, const void* data) = 0;
  virtual TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) const = 0;
  virtual void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) = 0;
  // Bytes of the data fields' part of a record.
  virtual int GetRecordSize() const = 0;
  virtual TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool do_check) = 0;
  // Moves the cursor as GetRecord does to a record nobody will read. This
  // default fills scratch; datasets that can move without copying override it.
  virtual TGetResult SkipRecord(TRecordBuffer scratch, TGetMode mode) { return GetRecord(scratch, mode, false); }

  // Cursor.
  virtual void InternalOpen() = 0;
  virtual void InternalClose() = 0;
  virtual bool IsCursorOpen() const = 0;
  virtual void InternalInitFieldDefs() = 0;
  virtual void InternalHandleException();
  virtual void InternalFirst() = 0;
  virtual void InternalLast() = 0;
  virtual void InternalGotoBookmark(const void* bookmark) = 0;
  virtual void InternalSetToRecord(TRecordBuffer buffer) = 0;
  virtual void InternalInitRecord(TRecordBuffer buffer) = 0;
  // Prepares a buffer for a new record: InternalInitRecord, the calculated
  // part cleared, the bookmark flag bfInserted.
  virtual void InitRecord(TRecordBuffer buffer);
  virtual void InternalAddRecord(TRecordBuffer buffer, bool append) = 0;
  virtual void InternalInsert() {}
  virtual void InternalEdit() {}
  virtual void InternalPost();
  virtual void InternalCancel() {}
  virtual void InternalDelete() = 0;
  virtual void InternalRefresh() {}
  virtual bool GetCanModify() const { return true; }

  // Calculated fields.
  virtual void ClearCalcFields(TRecordBuffer buffer) { (void)buffer; }
  virtual void CalculateFields(TRecordBuffer buffer);
  void GetCalcFields(TRecordBuffer buffer);

  // Notifications around each operation.
  virtual void DoBeforeOpen() { fire(BeforeOpen); }
  virtual void DoAfterOpen() { fire(AfterOpen); }
  virtual void DoBeforeClose() { fire(BeforeClose); }
  virtual void DoAfterClose() { fire(AfterClose); }
  virtual void DoBeforeInsert() { fire(BeforeInsert); }
  virtual void DoAfterInsert() { fire(AfterInsert); }
  virtual void DoBeforeEdit() { fire(BeforeEdit); }
  virtual void DoAfterEdit() { fire(AfterEdit); }
  virtual void DoBeforePost() { fire(BeforePost); }
  virtual void DoAfterPost() { fire(AfterPost); }
  virtual void DoBeforeCancel() { fire(BeforeCancel); }
  virtual void DoAfterCancel() { fire(AfterCancel); }
  virtual void DoBeforeDelete() { fire(BeforeDelete); }
  virtual void DoAfterDelete() { fire(AfterDelete); }
  virtual void DoBeforeScroll() { fire(BeforeScroll); }
  virtual void DoAfterScroll() { fire(AfterScroll); }
  virtual void DoBeforeRefresh() { fire(BeforeRefresh); }
  virtual void DoAfterRefresh() { fire(AfterRefresh); }
  virtual void DoOnNewRecord() { fire(OnNewRecord); }
  virtual void DoOnCalcFields() { fire(OnCalcFields); }

  // State handling.
  void SetState(TDataSetState value);
  // Enters a temporary state (data events are held back) and returns the old one.
  TDataSetState SetTempState(TDataSetState value);
  void RestoreState(TDataSetState value);
  void SetModified(bool value) { modified_ = value; }
  // Closes every field's edit buffers (blob working copies, Modified marks).
  void FreeFieldBuffers();
  void CheckActive() const;
  void CheckInactive() const;
  void CheckCanModify() const;
  // Raises the framework's "Field '%s' must have a value" for an empty required field.
  void CheckRequiredFields();
  bool IsUniDirectional() const { return unidirectional_; }
  void SetUniDirectional(bool value) { unidirectional_ = value; }
  void SetBookmarkSize(int size) { bookmark_size_ = size; }

  // Record buffer ring.
  void Resync(TResyncMode mode);
  void UpdateCursorPos();
  void CursorPosChanged() { current_record_ = -1; }
  void ClearBuffers();
  int ActiveRecordIndex() const { return active_record_; }
  int BufferRecordCount() const { return record_count_; }
  TRecordBuffer Buffer(int index) const { return buffers_[index]; }

  // Fields.
  void CreateFields();
  void DestroyFields() { fields_.Clear(); }
  // Binding sets field numbers and calculated-field offsets (or clears them).
  void BindFields(bool binding);
  bool HasCalcFields() const {
    return calc_fields_size_ > 0 || has_lookup_fields_ || has_internal_calc_fields_;
  }

 private:
  friend class TField;
  friend class TFields;
  friend class TDataSource;
  friend class TDataLink;

  template <class Event>
  void fire(const Event& event) {
    if (event) event(this);
  }
  void open_cursor();
  void close_cursor();
  void set_buffer_count(int value);
  void set_buffer_list_size(int value);
  void update_buffer_count();
  void set_current_record(int index);
  void move_buffer(int from, int to);
  void activate_buffers();
  bool get_next_record();
  bool get_prior_record();
  int get_next_records();
  int get_prior_records();
  void begin_insert_append();
  void end_insert_append();
  void add_record(const std::vector<Variant>& values, bool append);
  void end_add_record();
  void check_operation(void (TDataSet::*operation)(), const TDataSetErrorEvent& error_event);
  void update_calc_fields();
  void notify_sources(TDataEvent event, intptr_t info);
  void add_data_source(TDataSource* source);
  // VisitRecords and SkimRecords; a null wanted reads every record.
  int walk_records(const TBookmark& from, int count, const std::function<bool(int)>* wanted,
                   const std::function<bool()>& visit);
  void remove_data_source(TDataSource* source);

  TFields fields_;
  TFieldDefs field_defs_;
  std::vector<TDataSource*> data_sources_;
  std::vector<TRecordBuffer> buffers_;  // buffer_count_ + 1; the last is scratch
  TRecordBuffer calc_buffer_ = nullptr;  // the buffer whose calculated fields are computed
  TDataSetState state_ = dsInactive;
  TDataSetState disable_state_ = dsInactive;
  TDataEvent enable_event_ = deDataSetChange;
  int buffer_count_ = 0;
  int record_count_ = 0;    // buffers holding records
  int active_record_ = 0;   // index of the active buffer
  int current_record_ = -1; // buffer the cursor is on, -1 when unknown
  int disable_count_ = 0;
  int calc_fields_size_ = 0;
  int bookmark_size_ = 0;
  int block_read_size_ = 0;
  bool has_lookup_fields_ = false;
  bool has_internal_calc_fields_ = false;
  bool bof_ = true;
  bool eof_ = true;
  bool modified_ = false;
  std::vector<bool> temp_modified_;  // modified_ saved by each open SetTempState
  bool default_fields_ = false;
  bool internal_open_complete_ = false;
  bool streamed_active_ = false;
  bool unidirectional_ = false;
  std::string filter_text_;
  bool filtered_ = false;
  TFilterOptions filter_options_;
};

}  // namespace kvell
