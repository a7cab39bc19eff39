#include "oracle/dataset/blob_stream.h"

#include <cstring>
#include <memory>

#include "db/field.h"
#include "oracle/dataset/oracle_dataset.h"
#include "oracle/ui/ui_hooks.h"

namespace kvell {

TOracleBlobStream::TOracleBlobStream(TOracleDataSet& dataset, TField* field, TBlobStreamMode mode,
                                     TOracleBlob* blob, bool opened, bool editing)
    : dataset_(dataset), field_(field), mode_(mode), blob_(blob), opened_(opened), editing_(editing) {
  if (opened_ && mode_ == bmWrite && blob_) {
    blob_->Data.reset();
    blob_->Size = 0;
    modified_ = editing_;
  }
}

TOracleBlobStream::~TOracleBlobStream() {
  if (!modified_) return;
  if (opened_)
    if (auto* blob_field = dynamic_cast<TBlobField*>(field_)) blob_field->Modified = true;
  try {
    dataset_.DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field_));
  } catch (...) {
    HandleApplicationException(&dataset_);
  }
}

int64_t TOracleBlobStream::Read(void* buffer, int64_t count) {
  if (!opened_ || !blob_ || position_ < 0 || position_ >= blob_->Size || count <= 0) return 0;
  count = std::min(count, blob_->Size - position_);
  std::memcpy(buffer, blob_->Data.get() + position_, static_cast<size_t>(count));
  position_ += count;
  return count;
}

void TOracleBlobStream::grow(int64_t size) {
  auto block = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(size));
  if (blob_->Size > 0) std::memcpy(block.get(), blob_->Data.get(), static_cast<size_t>(blob_->Size));
  // The gap between the old end and a write past it holds zeros rather than stale bytes.
  std::memset(block.get() + blob_->Size, 0, static_cast<size_t>(size - blob_->Size));
  blob_->Data = std::move(block);
}

int64_t TOracleBlobStream::Write(const void* buffer, int64_t count) {
  if (!opened_ || count <= 0) return 0;
  if (!blob_ || mode_ == bmRead) DatabaseError(db_messages::NotEditing);
  if (position_ < 0) return 0;
  const int64_t end = position_ + count;
  if (end > blob_->Size) grow(end);
  std::memcpy(blob_->Data.get() + position_, buffer, static_cast<size_t>(count));
  position_ = end;
  blob_->Size = std::max(blob_->Size, end);
  if (editing_) modified_ = true;
  return count;
}

int64_t TOracleBlobStream::Seek(int64_t offset, int origin) {
  switch (origin) {
    case soBeginning: position_ = offset; break;
    case soCurrent: position_ += offset; break;
    case soEnd: position_ = Size() + offset; break;
    default: break;
  }
  return position_;
}

}  // namespace kvell
