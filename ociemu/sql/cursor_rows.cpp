#include "ociemu/sql/cursor_rows.h"

#include <cstring>
#include <new>

#include "ociemu/sql/errors.h"

namespace ociemu::sql {
namespace {

constexpr int kInternalError = 600;
constexpr std::string_view kBadPacking = "cursor rows";

// Layout of one value: its SQLite type byte, then 8 bytes of integer or real,
// or a 4-byte length and the bytes of text and blobs; NULL has no payload.
template <typename T>
void append_raw(std::string& out, T value) {
  char bytes[sizeof(T)];
  std::memcpy(bytes, &value, sizeof(T));
  out.append(bytes, sizeof(T));
}

void append_value(std::string& out, sqlite3_value* value) {
  int kind = sqlite3_value_type(value);
  out.push_back(static_cast<char>(kind));
  switch (kind) {
    case SQLITE_INTEGER:
      append_raw<int64_t>(out, sqlite3_value_int64(value));
      break;
    case SQLITE_FLOAT:
      append_raw<double>(out, sqlite3_value_double(value));
      break;
    case SQLITE_TEXT:
    case SQLITE_BLOB: {
      const void* data = kind == SQLITE_TEXT ? static_cast<const void*>(sqlite3_value_text(value))
                                             : sqlite3_value_blob(value);
      auto size = static_cast<uint32_t>(sqlite3_value_bytes(value));
      append_raw<uint32_t>(out, size);
      if (size > 0) out.append(static_cast<const char*>(data), size);
      break;
    }
    default:
      break;
  }
}

class Reader {
 public:
  explicit Reader(std::string_view packed) : rest_(packed) {}
  bool done() const { return rest_.empty(); }

  PackedValue value() {
    PackedValue result;
    result.kind = static_cast<unsigned char>(take(1).front());
    switch (result.kind) {
      case SQLITE_INTEGER:
        result.integer = raw<int64_t>();
        break;
      case SQLITE_FLOAT:
        result.real = raw<double>();
        break;
      case SQLITE_TEXT:
      case SQLITE_BLOB:
        result.bytes = std::string(take(raw<uint32_t>()));
        break;
      case SQLITE_NULL:
        break;
      default:
        throw_oracle(kInternalError, {std::string(kBadPacking), std::to_string(result.kind)});
    }
    return result;
  }

 private:
  std::string_view take(size_t size) {
    if (size > rest_.size()) throw_oracle(kInternalError, {std::string(kBadPacking), std::to_string(size)});
    std::string_view piece = rest_.substr(0, size);
    rest_.remove_prefix(size);
    return piece;
  }
  template <typename T>
  T raw() {
    T value;
    std::memcpy(&value, take(sizeof(T)).data(), sizeof(T));
    return value;
  }

  std::string_view rest_;
};

// The aggregate's context holds a pointer to the text packed so far.
void cursor_rows_step(sqlite3_context* context, int count, sqlite3_value** args) {
  auto* slot = static_cast<std::string**>(sqlite3_aggregate_context(context, sizeof(std::string*)));
  if (slot == nullptr) {
    sqlite3_result_error_nomem(context);
    return;
  }
  try {
    if (*slot == nullptr) *slot = new std::string;
    for (int i = 0; i < count; ++i) append_value(**slot, args[i]);
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(context);
  }
}

void cursor_rows_final(sqlite3_context* context) {
  auto* slot = static_cast<std::string**>(sqlite3_aggregate_context(context, 0));
  std::string* packed = slot ? *slot : nullptr;
  if (packed == nullptr) {
    sqlite3_result_zeroblob(context, 0);
    return;
  }
  sqlite3_result_blob64(context, packed->data(), packed->size(), SQLITE_TRANSIENT);
  delete packed;
  *slot = nullptr;
}

}  // namespace

std::vector<std::vector<PackedValue>> unpack_cursor_rows(std::string_view packed, size_t width) {
  std::vector<std::vector<PackedValue>> rows;
  if (width == 0) return rows;
  Reader reader(packed);
  while (!reader.done()) {
    std::vector<PackedValue>& row = rows.emplace_back();
    row.reserve(width);
    for (size_t i = 0; i < width; ++i) row.push_back(reader.value());
  }
  return rows;
}

void register_cursor_rows(sqlite3* db) {
  sqlite3_create_function_v2(db, kCursorRowsFunction.data(), -1, SQLITE_UTF8, nullptr, nullptr, cursor_rows_step,
                             cursor_rows_final, nullptr);
}

}  // namespace ociemu::sql
