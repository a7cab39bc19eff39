// The stored "Data" form of a variable store: 32-bit little-endian integers,
// version 3 written, versions 1 to 3 read.
#include <algorithm>
#include <cstring>

#include "oracle/session/variables.h"
#include "runtime/exception.h"

namespace kvell {

namespace {

constexpr int32_t kDataVersion = 3;
constexpr const char* kInvalidVersion = "Invalid version of Query variables";
constexpr const char* kCorruptData = "Invalid Query variables data";
// A stored PL/SQL table larger than this is taken as a damaged stream rather than allocated.
constexpr int64_t kMaxStoredTableBytes = 64 * 1024 * 1024;

void write_int(TStream& stream, int32_t value) {
  uint8_t bytes[4];
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i));
  stream.WriteBuffer(bytes, 4);
}

int32_t read_int(TStream& stream) {
  uint8_t bytes[4];
  stream.ReadBuffer(bytes, 4);
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(bytes[i]) << (8 * i);
  return static_cast<int32_t>(value);
}

// A stored length: not negative and not past the end of the stream.
int32_t read_length(TStream& stream) {
  const int32_t length = read_int(stream);
  if (length < 0 || length > stream.Size() - stream.Position()) throw EStreamError("Stream read error");
  return length;
}

// The bytes stored for element 0: empty when null.
std::vector<uint8_t> stored_value(const TVariableData& v) {
  if (v.IsNull(0) || v.Buffer() == nullptr) return {};
  const uint8_t* element = v.Buffer();
  size_t length = static_cast<size_t>(v.ElementSize());
  if (IsTextVariableType(v.Type())) {
    const void* end = std::memchr(element, 0, length);
    length = end ? static_cast<size_t>(static_cast<const uint8_t*>(end) - element) + 1 : length;
  }
  return std::vector<uint8_t>(element, element + length);
}

}  // namespace

void TVariables::WriteData(TStream& stream) const {
  write_int(stream, kDataVersion);
  write_int(stream, Count());
  for (const auto& v : items_) {
    write_int(stream, static_cast<int32_t>(v->name_.size()));
    stream.WriteBuffer(v->name_.data(), static_cast<int64_t>(v->name_.size()));
    write_int(stream, v->type_);
    const std::vector<uint8_t> value = stored_value(*v);
    write_int(stream, static_cast<int32_t>(value.size()));
    if (!value.empty()) stream.WriteBuffer(value.data(), static_cast<int64_t>(value.size()));
    write_int(stream, v->plsql_table_ ? 1 : 0);
    if (v->plsql_table_) {
      write_int(stream, v->TableSize());
      write_int(stream, v->StringSize());
    }
  }
}

void TVariables::read_value(TStream& stream, TVariableData& v) {
  const int32_t length = read_length(stream);
  if (length == 0) return;
  if (v.complex_) {  // complex variables hold objects, never stored bytes
    stream.Seek(length, soCurrent);
    return;
  }
  if (v.buffer_.empty()) {
    v.buffer_.assign(static_cast<size_t>(length), 0);
    v.element_size_ = length;
    // The stored bytes of a LONG include its terminator, which is no part of the value.
    v.data_length_ = static_cast<uint32_t>(v.type_ == 8 ? length - 1 : length);
  }
  // A stored value longer than the element would overrun it; the rest is skipped.
  const int32_t fits = std::min(length, v.element_size_);
  stream.ReadBuffer(v.buffer_.data(), fits);
  if (length > fits) stream.Seek(length - fits, soCurrent);
  if (IsTextVariableType(v.type_) && !std::memchr(v.buffer_.data(), 0, v.ElementBytes())) {
    v.buffer_[v.ElementBytes() - 1] = 0;
  }
  v.SetIndicator(0, 0);
}

void TVariables::ReadData(TStream& stream) {
  const int32_t version = read_int(stream);
  if (version > kDataVersion) throw Exception(kInvalidVersion);
  TVariables scratch(host_);
  const int32_t count = read_int(stream);
  for (int32_t i = 0; i < count; ++i) {
    std::string name(static_cast<size_t>(read_length(stream)), '\0');
    stream.ReadBuffer(name.data(), static_cast<int64_t>(name.size()));
    const int32_t type = read_int(stream);
    scratch.DeclareVariable(name, type);
    // A repeated name replaces the earlier variable in its place, which need not be the last.
    TVariableData& v = *scratch.items_[static_cast<size_t>(scratch.VariableIndex(name))];
    if (version >= 2) scratch.read_value(stream, v);
    if (version >= 3 && read_int(stream) == 1) {
      const int32_t table_size = read_int(stream);
      const int32_t string_size = read_int(stream);
      if (int64_t{table_size} * (int64_t{std::max(string_size, 0)} + 8) > kMaxStoredTableBytes) {
        throw Exception(kCorruptData);
      }
      scratch.DeclarePLSQLTable(v.name_, table_size, string_size);
    }
  }
  items_ = std::move(scratch.items_);
  changed();
}

bool TVariables::same_data(const TVariables& other) const {
  if (Count() != other.Count()) return false;
  for (int i = 0; i < Count(); ++i) {
    const TVariableData& a = (*this)[i];
    const TVariableData& b = other[i];
    if (a.name_ != b.name_ || a.type_ != b.type_ || a.IsNull(0) != b.IsNull(0) ||
        a.plsql_table_ != b.plsql_table_) {
      return false;
    }
    if (a.plsql_table_ && (a.element_count_ != b.element_count_ || a.element_size_ != b.element_size_)) return false;
    if (stored_value(a) != stored_value(b)) return false;
  }
  return true;
}

bool TVariables::ShouldWriteData(const TVariables* ancestor) const {
  if (!ancestor) return Count() > 0;
  return !same_data(*ancestor);
}

}  // namespace kvell
