#include "oracle/dataset/record_store.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <utility>

#include <sys/mman.h>

#include "oracle/dataset/dataset_messages.h"
#include "oracle/dataset/record_buffer.h"
#include "runtime/exception.h"

namespace kvell {

TRecordDataList::TRecordDataList(int record_size, int read_buffer, bool unidirectional,
                                 BelowOffsetError below_offset)
    : record_size_(record_size),
      stride_((record_size + 7) & ~7),
      read_buffer_(std::max(read_buffer, 1)),
      unidirectional_(unidirectional),
      below_offset_(std::move(below_offset)) {}

TRecordDataList::~TRecordDataList() { release_all(); }

namespace {

// Pages this large are mapped on their own, and kept for reuse when released.
// No huge pages: faulting them in fresh cost more than it saved (a first
// open of a million rows took about a third of a second longer).
constexpr size_t kMappedPageBytes = size_t{4} << 20;
// Mapped lengths are rounded up to this, so nearly equal pages can share kept mappings.
constexpr size_t kMappingGranule = size_t{2} << 20;

size_t mapped_length(size_t bytes) { return (bytes + kMappingGranule - 1) & ~(kMappingGranule - 1); }

// Mapped record pages a store released, kept for the next store that needs
// a page of the same size (a reopened or refreshed result has the same
// page sizes): a fresh mapping costs a fault and the kernel's zeroing per
// page, many times what reusing one costs. The kept pages are lazily freed,
// so the system takes them back under memory pressure.
class KeptPages {
 public:
  static KeptPages& Instance() {
    static auto* kept = new KeptPages;  // never destroyed: stores may outlive static destruction
    return *kept;
  }

  void* Take(size_t length) {
    std::lock_guard lock(mutex_);
    for (auto page = pages_.begin(); page != pages_.end(); ++page) {
      if (page->second != length) continue;
      void* start = page->first;
      bytes_ -= length;
      pages_.erase(page);
      return start;
    }
    return nullptr;
  }

  void Keep(void* start, size_t length) {
    madvise(start, length, MADV_FREE);
    std::lock_guard lock(mutex_);
    pages_.emplace_back(start, length);
    bytes_ += length;
    while (bytes_ > kMaxBytes) {  // the oldest go first
      munmap(pages_.front().first, pages_.front().second);
      bytes_ -= pages_.front().second;
      pages_.pop_front();
    }
  }

 private:
  static constexpr size_t kMaxBytes = size_t{1} << 30;
  std::mutex mutex_;
  std::deque<std::pair<void*, size_t>> pages_;
  size_t bytes_ = 0;
};

struct AllocatedPage {
  uint8_t* start;
  bool zeroed;  // a fresh mapping: the kernel has cleared it
};

AllocatedPage map_page(size_t length) {
  if (void* kept = KeptPages::Instance().Take(length)) return {static_cast<uint8_t*>(kept), false};
  void* mapped = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  return {static_cast<uint8_t*>(mapped), true};
}

AllocatedPage allocate_page(size_t bytes) {
  if (bytes >= kMappedPageBytes) return map_page(mapped_length(bytes));
  auto* page = static_cast<uint8_t*>(std::malloc(bytes));
  if (!page) throw std::bad_alloc();
  return {page, false};
}

}  // namespace

void TRecordDataList::release_page(uint8_t* page) {
  const auto bytes = static_cast<size_t>(reinterpret_cast<const PageHeader*>(page)->Bytes);
  if (bytes < kMappedPageBytes) std::free(page);
  else KeptPages::Instance().Keep(page, mapped_length(bytes));
}

uint8_t* TRecordDataList::slot(uint8_t* page, int index) const {
  return page + kPageHeaderSize + static_cast<size_t>(index) * static_cast<size_t>(stride_);
}

void TRecordDataList::add_page() {
  if (unidirectional_ && !pages_.empty()) {
    const int released = Count();
    const int filtered = FilteredCount();
    release_all();
    offset_ += released;
    filtered_offset_ += filtered;
  }
  const int capacity = std::max(Count() / 2, read_buffer_ + 1);
  const size_t bytes = kPageHeaderSize + static_cast<size_t>(capacity) * static_cast<size_t>(stride_);
  const AllocatedPage allocated = allocate_page(bytes);
  uint8_t* page = allocated.start;
  // Slots of a fresh mapping are zero until first handed out; others are cleared then.
  zeroed_from_ = allocated.zeroed ? slot(page, 0) : nullptr;
  auto& header = *reinterpret_cast<PageHeader*>(page);
  header.Capacity = capacity;
  header.Used = 0;
  header.Bytes = static_cast<int64_t>(bytes);
  pages_.push_back(page);
}

uint8_t* TRecordDataList::FreeSlot() {
  if (pages_.empty()) add_page();
  auto* header = reinterpret_cast<PageHeader*>(pages_.back());
  if (header->Used == header->Capacity) {
    add_page();
    header = reinterpret_cast<PageHeader*>(pages_.back());
  }
  uint8_t* free = slot(pages_.back(), header->Used);
  if (zeroed_from_ && free >= zeroed_from_) {
    // Handed out again before it was taken, it may have been written to: cleared then.
    zeroed_from_ = free + stride_;
  } else {
    // Cleared here, while the fill that follows finds it in the cache, rather than page by page.
    std::memset(free, 0, static_cast<size_t>(record_size_));
  }
  return free;
}

void TRecordDataList::Append(uint8_t* record) {
  auto* header = reinterpret_cast<PageHeader*>(pages_.back());
  ++header->Used;
  records_.push_back(record);
}

void TRecordDataList::Insert(uint8_t* record, int before, int before_filtered) {
  ++reinterpret_cast<PageHeader*>(pages_.back())->Used;
  const auto at = static_cast<size_t>(std::clamp(before - offset_, 0, Count()));
  records_.insert(records_.begin() + static_cast<std::ptrdiff_t>(at), record);
  if (before_filtered < 0) return;
  const auto filtered_at = static_cast<size_t>(std::clamp(before_filtered - filtered_offset_, 0, FilteredCount()));
  filtered_.insert(filtered_.begin() + static_cast<std::ptrdiff_t>(filtered_at), record);
}

void TRecordDataList::below_offset(int number) const {
  if (below_offset_) below_offset_(number);
  throw Exception(dataset_messages::NotInUnidirectionalMode("", number));
}

uint8_t* TRecordDataList::Record(int number) const {
  if (number < offset_) below_offset(number);
  return records_.at(static_cast<size_t>(number - offset_));
}

uint8_t* TRecordDataList::FilteredRecord(int number) const {
  if (number < filtered_offset_) below_offset(number);
  return filtered_.at(static_cast<size_t>(number - filtered_offset_));
}

// The common case first: an unfiltered store without deletions holds id at id - 1.
static int position_of_id(const std::vector<uint8_t*>& list, int offset, int32_t id) {
  const int64_t guess = static_cast<int64_t>(id) - 1 - offset;
  if (guess >= 0 && guess < static_cast<int64_t>(list.size()) &&
      Header(list[static_cast<size_t>(guess)]).RecordId == id)
    return static_cast<int>(guess) + offset;
  for (size_t i = 0; i < list.size(); ++i)
    if (Header(list[i]).RecordId == id) return static_cast<int>(i) + offset;
  return -1;
}

int TRecordDataList::NumberOfId(int32_t id) const { return position_of_id(records_, offset_, id); }

int TRecordDataList::FilteredNumberOfId(int32_t id) const {
  return position_of_id(filtered_, filtered_offset_, id);
}

void TRecordDataList::AddFiltered(uint8_t* record) {
  // Records arrive in dataset order, so a duplicate can only be the last one;
  // a search of the whole list would make filtering quadratic.
  if (!filtered_.empty() && filtered_.back() == record) {
    if (filtered_.size() > 1)
      throw Exception(dataset_messages::DuplicateInFilteredList(static_cast<int>(filtered_.size()) - 1));
    return;
  }
  filtered_.push_back(record);
}

void TRecordDataList::Delete(int number) {
  uint8_t* record = Record(number);
  ReleaseRecordData(record);
  records_.erase(records_.begin() + (number - offset_));
  filtered_.erase(std::remove(filtered_.begin(), filtered_.end(), record), filtered_.end());
}

void TRecordDataList::release_all() {
  for (uint8_t* record : records_) {
    first_held_id_ = std::max(first_held_id_, Header(record).RecordId + 1);
    ReleaseRecordData(record);
  }
  records_.clear();
  filtered_.clear();
  for (uint8_t* page : pages_) release_page(page);
  pages_.clear();
  zeroed_from_ = nullptr;
}

void TRecordDataList::Clear() {
  release_all();
  offset_ = 0;
  filtered_offset_ = 0;
  first_held_id_ = 0;
}

int64_t TRecordDataList::PageBytes() const {
  int64_t total = 0;
  for (uint8_t* page : pages_) total += reinterpret_cast<const PageHeader*>(page)->Bytes;
  return total;
}

}  // namespace kvell
