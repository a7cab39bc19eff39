#include "runtime/stream.h"

#include <algorithm>
#include <cstring>

namespace kvell {

void TStream::SetSize(int64_t) { throw EStreamError("Stream does not support SetSize"); }

int64_t TStream::Size() {
  int64_t position = Seek(0, soCurrent);
  int64_t size = Seek(0, soEnd);
  Seek(position, soBeginning);
  return size;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EStreamError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EStreamError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  constexpr int64_t chunk = 64 * 1024;
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min(count, chunk)));
  int64_t remaining = count;
  while (remaining > 0) {
    int64_t n = std::min(remaining, chunk);
    source.ReadBuffer(buffer.data(), n);
    WriteBuffer(buffer.data(), n);
    remaining -= n;
  }
  return count;
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  int64_t available = Size() - position_;
  if (count <= 0 || available <= 0) return 0;
  int64_t n = std::min(count, available);
  std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0 || position_ < 0) return 0;
  int64_t end = position_ + count;
  if (end > Size()) data_.resize(static_cast<size_t>(end));
  std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
  position_ = end;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, int origin) {
  switch (origin) {
    case soBeginning: position_ = offset; break;
    case soCurrent: position_ += offset; break;
    case soEnd: position_ = Size() + offset; break;
    default: throw EStreamError("Invalid stream seek origin");
  }
  return position_;
}

void TMemoryStream::SetSize(int64_t new_size) {
  if (new_size < 0) throw EStreamError("Invalid stream size");
  data_.resize(static_cast<size_t>(new_size));
  if (position_ > new_size) position_ = new_size;
}

void TMemoryStream::Clear() {
  data_.clear();
  position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& source) {
  source.SetPosition(0);
  int64_t size = source.Size();
  SetSize(size);
  position_ = 0;
  if (size > 0) source.ReadBuffer(data_.data(), size);
}

void TMemoryStream::SaveToStream(TStream& target) {
  if (!data_.empty()) target.WriteBuffer(data_.data(), Size());
}

}  // namespace kvell
