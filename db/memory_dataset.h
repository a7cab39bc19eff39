// TMemoryDataSet: a dataset whose records live in memory, in the order they
// were inserted. It implements the whole record-buffer protocol (buffers,
// bookmarks, field data, blob streams, filters, Locate/Lookup, record
// numbers) and is the framework's reference descendant.
// Thread-safe: no; used from one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/dataset.h"
#include "db/filter_predicate.h"

namespace kvell {

class TMemoryDataSet : public TDataSet {
 public:
  explicit TMemoryDataSet(TComponent* owner);
  ~TMemoryDataSet() override;

  // Builds filter texts into predicates; without one a filter text is refused.
  TFilterCompiler FilterCompiler;
  bool ReadOnly = false;

  int RecordCount() override;
  int RecNo() override;
  void SetRecNo(int value) override;
  bool BookmarkValid(const TBookmark& bookmark) const override;
  int CompareBookmarks(const TBookmark& first, const TBookmark& second) const override;
  bool Locate(const std::string& key_fields, const Variant& key_values,
              TLocateOptions options) override;
  Variant Lookup(const std::string& key_fields, const Variant& key_values,
                 const std::string& result_fields) override;
  void SetFilterText(const std::string& text) override;
  void SetFiltered(bool value) override;
  void SetFilterOptions(TFilterOptions options) override;

  bool GetFieldData(TField* field, void* buffer) override;
  void SetFieldData(TField* field, const void* buffer) override;
  std::unique_ptr<TStream> CreateBlobStream(TField* field, TBlobStreamMode mode) override;
  void CloseBlob(TField* field) override;

  // Record in the filter state, for predicates that need more than fields.
  bool IsFiltering() const { return State() == dsFilter; }

 protected:
  TRecordBuffer AllocRecordBuffer() override;
  void FreeRecordBuffer(TRecordBuffer& buffer) override;
  void GetBookmarkData(TRecordBuffer buffer, void* data) const override;
  void SetBookmarkData(TRecordBuffer buffer, const void* data) override;
  TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) const override;
  void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) override;
  int GetRecordSize() const override { return record_size_; }
  TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool do_check) override;

  void InternalOpen() override;
  void InternalClose() override;
  bool IsCursorOpen() const override { return open_; }
  void InternalInitFieldDefs() override;
  void InternalFirst() override { current_ = -1; }
  void InternalLast() override { current_ = static_cast<int>(visible_.size()); }
  void InternalGotoBookmark(const void* bookmark) override;
  void InternalSetToRecord(TRecordBuffer buffer) override;
  void InternalInitRecord(TRecordBuffer buffer) override;
  void InternalAddRecord(TRecordBuffer buffer, bool append) override;
  void InternalInsert() override { reset_edit_blobs(); }
  void InternalEdit() override { reset_edit_blobs(); }
  void InternalPost() override;
  void InternalCancel() override { reset_edit_blobs(); }
  void InternalDelete() override;
  bool GetCanModify() const override { return !ReadOnly; }
  void ClearCalcFields(TRecordBuffer buffer) override;

 private:
  class BlobStream;
  class RecordScope;
  struct Record {
    int32_t id;                      // also the bookmark
    std::vector<uint8_t> data;       // per data field: null byte, then the native value
    std::vector<std::string> blobs;  // per blob field; empty means null
  };
  struct Slot {
    int offset = -1;  // of the null byte in the data area; -1 for blobs
    int blob = -1;    // index among blob values
  };

  void compute_layout();
  Slot slot_of(const TField* field) const;
  uint8_t* data_area(TRecordBuffer buffer) const;
  uint8_t* calc_area(TRecordBuffer buffer) const;
  // Data area the fields read and write in the current state, or nullptr.
  const uint8_t* read_area(const TField* field);
  const std::string* read_blob(const TField* field);
  Record* record_of(TRecordBuffer buffer) const;
  int visible_index(int32_t id) const;
  int record_index(int32_t id) const;
  bool accepts(Record* record);
  void rebuild_visible();
  void store(TRecordBuffer buffer, Record& record);
  void insert_record(TRecordBuffer buffer, bool append);
  void reset_edit_blobs();
  void compile_filter();
  // Whether the record in scope holds values in fields.
  bool record_matches(const std::vector<TField*>& fields, const Variant& values,
                      TLocateOptions options);
  int find_record(const std::string& key_fields, const Variant& key_values, TLocateOptions options);

  std::vector<std::unique_ptr<Record>> records_;
  std::vector<Record*> visible_;  // records that pass the filter, in order
  std::unordered_map<int32_t, Record*> by_id_;
  std::vector<Slot> slots_;       // by field number - 1
  std::vector<std::string> edit_blobs_;  // working copy while editing
  std::unique_ptr<TFilterPredicate> predicate_;
  Record* filter_record_ = nullptr;  // the record under the filter or a search
  int blob_count_ = 0;
  int record_size_ = 0;
  int current_ = -1;
  int32_t next_id_ = 0;
  bool open_ = false;
};

}  // namespace kvell
