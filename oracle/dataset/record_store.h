// TRecordDataList: the open dataset's records in memory. Records live in
// pages (one allocation each: a header of capacity, records used and size
// in bytes, then capacity records), so fetching does not allocate per row;
// the record list orders them, the filtered list holds those that pass the
// filter. A new page holds half the records held so far, at least
// ReadBuffer + 1. In unidirectional mode the whole store is released
// whenever a new page is needed and the offset grows by the records
// released, so record numbers (list index + offset) keep counting. Large
// pages a store releases are kept for the next store's pages of the same
// size (up to 1 GiB in the process, lazily freed).
// Thread-safe: no; owned by one dataset (the kept pages are shared safely).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace kvell {

class TRecordDataList {
 public:
  // Raised (by the caller's function) for a record number below the offset.
  using BelowOffsetError = std::function<void(int number)>;

  // `record_size` bytes per record (header, data and calculated parts).
  TRecordDataList(int record_size, int read_buffer, bool unidirectional, BelowOffsetError below_offset);
  ~TRecordDataList();
  TRecordDataList(const TRecordDataList&) = delete;
  TRecordDataList& operator=(const TRecordDataList&) = delete;

  int RecordSize() const { return record_size_; }
  bool Unidirectional() const { return unidirectional_; }

  // The next free, zero-filled slot of the last page, adding a page first
  // when it is full (in unidirectional mode, after releasing every record).
  // The slot is taken only by Append; until then the next call returns it again.
  uint8_t* FreeSlot();
  // Appends the record in the slot FreeSlot returned last.
  void Append(uint8_t* record);
  // Takes the slot FreeSlot returned last for a record placed before record
  // number `before` (appended when `before` lies past the end); with
  // `before_filtered` >= 0 it also enters the filtered list before that
  // filtered number.
  void Insert(uint8_t* record, int before, int before_filtered);

  // Records in the record list, and the numbers discarded before them.
  int Count() const { return static_cast<int>(records_.size()); }
  int Offset() const { return offset_; }
  // Record numbers run from Offset() to Offset() + Count() - 1.
  int RecordLimit() const { return offset_ + Count(); }
  // The record of `number`; below the offset the caller's error is raised.
  uint8_t* Record(int number) const;
  // List position + offset of the record with `id`, or -1.
  int NumberOfId(int32_t id) const;

  // The filtered list, numbered from FilteredOffset().
  int FilteredCount() const { return static_cast<int>(filtered_.size()); }
  int FilteredOffset() const { return filtered_offset_; }
  uint8_t* FilteredRecord(int number) const;
  int FilteredNumberOfId(int32_t id) const;
  // Adds a record that passed the filter; a record already in the list (at
  // any position but the first) raises the duplicate-record exception.
  void AddFiltered(uint8_t* record);
  void ClearFiltered() { filtered_.clear(); }

  // Removes the record from both lists and releases what it owns; its page
  // space is not reused.
  void Delete(int number);
  // Releases every record and page; numbering starts again at 0.
  void Clear();

  // Bytes held in pages, for the memory benchmark.
  int64_t PageBytes() const;
  int PageCount() const { return static_cast<int>(pages_.size()); }
  // The smallest RecordId still held: records of smaller ids were released.
  int32_t FirstHeldId() const { return first_held_id_; }

 private:
  struct PageHeader {
    int32_t Capacity;
    int32_t Used;
    int64_t Bytes;  // 64 bits: a page of a very large result can pass 2 GiB, and its release depends on this
  };
  static constexpr int kPageHeaderSize = 16;  // keeps the records after it aligned
  static_assert(sizeof(PageHeader) <= kPageHeaderSize);

  void add_page();
  static void release_page(uint8_t* page);
  void release_all();
  uint8_t* slot(uint8_t* page, int index) const;
  [[noreturn]] void below_offset(int number) const;

  int record_size_;
  int stride_;  // record_size_ rounded up to keep the header's pointers aligned
  int read_buffer_;
  bool unidirectional_;
  BelowOffsetError below_offset_;
  std::vector<uint8_t*> pages_;     // owned
  std::vector<uint8_t*> records_;   // in dataset order
  std::vector<uint8_t*> filtered_;  // records that pass the filter, in order
  int offset_ = 0;
  int filtered_offset_ = 0;
  int32_t first_held_id_ = 0;
  // In the last page, when it is a fresh mapping: the first slot never handed
  // out (the kernel zeroed it, so FreeSlot need not); null otherwise.
  uint8_t* zeroed_from_ = nullptr;
};

}  // namespace kvell
