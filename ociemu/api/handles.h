// Handles and descriptors of the call interface. Every object handed to the
// application derives from Handle and is listed in a process-wide registry,
// so that an entry can tell a live handle of the right type from a stale or
// foreign pointer (OCI_INVALID_HANDLE) without touching freed memory.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "ociemu/api/errors.h"
#include "ociemu/api/oci.h"

namespace ociemu {

struct Environment;
class ObjectCache;

// Thread-safe: registration is; a handle itself is used by one thread at a time.
class Handle {
 public:
  Handle(uint32_t type, Environment* env);
  virtual ~Handle();
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  uint32_t type() const { return type_; }
  Environment* env() const { return env_; }
  // The pointer the application holds: the object itself unless it published an inner address.
  void* address() const { return address_; }

 protected:
  // Registers `inner` (a part of this object) as the application's pointer instead of the object.
  void publish_at(void* inner);

 private:
  uint32_t type_;  // OCI_HTYPE_* or OCI_DTYPE_*
  Environment* env_;
  void* address_;  // the registry key
};

// The live handle at p if it has the given type, else nullptr.
Handle* find_live(const void* p, uint32_t type);
bool is_live(const void* p);

template <class T>
T* live(const void* p) {
  return static_cast<T*>(find_live(p, T::kType));
}

// Owns the handles and descriptors allocated under it.
// Thread-safe: yes (the child registry is locked; OCI_THREADED applications may share it).
struct Environment : Handle {
  static constexpr uint32_t kType = OCI_HTYPE_ENV;
  explicit Environment(uint32_t mode);
  ~Environment() override;

  template <class T, class... Args>
  T* make(Args&&... args) {
    auto child = std::make_unique<T>(std::forward<Args>(args)...);
    T* raw = child.get();
    std::lock_guard lock(mutex);
    children.emplace(raw, std::move(child));
    return raw;
  }
  // Frees a child; a no-op for a pointer this environment does not own (any more).
  void destroy(Handle* child);

  uint32_t mode;
  ErrorRecords records;  // for OCIErrorGet on the environment
  // The client object cache (object_cache.h), made on first use; it outlives the children.
  std::unique_ptr<ObjectCache> objects;
  std::once_flag objects_once;

 private:
  std::mutex mutex;
  std::unordered_map<Handle*, std::unique_ptr<Handle>> children;
};

// The error of one row of array DML run in OCI_BATCH_ERRORS mode.
struct RowError {
  ErrorRecord record;
  uint32_t row = 0;  // the row's offset in the bind arrays
};

// Thread-safe: yes; threads may fail through one error handle at once (each then reads a whole
// record, not necessarily its own).
struct ErrorHandle : Handle {
  static constexpr uint32_t kType = OCI_HTYPE_ERROR;
  explicit ErrorHandle(Environment* env) : Handle(kType, env) {}
  ErrorRecords records;
  std::atomic<uint32_t> dml_row_offset{0};

  // The failed rows of the last batch-errors execute through this handle, for OCIParamGet.
  void set_row_errors(std::vector<RowError> rows) {
    std::lock_guard lock(row_errors_mutex_);
    row_errors_ = std::move(rows);
  }
  std::optional<RowError> row_error(size_t index) const {
    std::lock_guard lock(row_errors_mutex_);
    if (index >= row_errors_.size()) return std::nullopt;
    return row_errors_[index];
  }

 private:
  mutable std::mutex row_errors_mutex_;
  std::vector<RowError> row_errors_;
};

// A handle type the emulator only allocates and frees (describe, trans, pool, direct path...).
struct PlainHandle : Handle {
  PlainHandle(uint32_t type, Environment* env) : Handle(type, env) {}
};

// ROWID descriptor. The application's pointer addresses `bytes`, which hold the
// rowid as clients decode it: a kind byte (1, physical; 0 when none), then the data
// object number (4 bytes), relative file (2), block (4) and row (2), big-endian.
struct RowidDescriptor : Handle {
  static constexpr uint32_t kType = OCI_DTYPE_ROWID;
  static constexpr size_t kBytes = 13;
  explicit RowidDescriptor(Environment* env) : Handle(kType, env) { publish_at(bytes); }
  // Takes an 18-character extended rowid text (or empty for none) and lays out its bytes.
  void assign(std::string rowid_text);
  const std::string& text() const { return text_; }

  unsigned char bytes[kBytes] = {};

 private:
  std::string text_;  // 18-character extended rowid, empty when none
};

// DATE/TIMESTAMP[/TZ/LTZ] descriptor.
struct DateTimeDescriptor : Handle {
  DateTimeDescriptor(uint32_t type, Environment* env) : Handle(type, env) {}
  int year = 1, month = 1, day = 1, hour = 0, minute = 0, second = 0;
  uint32_t nanos = 0;
  int tz_minutes = 0;  // offset from UTC for the TZ kinds
};

// INTERVAL YEAR TO MONTH (62) or DAY TO SECOND (63) descriptor; a value is its total
// length in the kind's units, so that comparison and sign are plain arithmetic.
struct IntervalDescriptor : Handle {
  IntervalDescriptor(uint32_t type, Environment* env) : Handle(type, env) {}
  int64_t months = 0;   // YEAR TO MONTH
  int64_t nanos = 0;    // DAY TO SECOND, in nanoseconds
};

// An interval descriptor of either kind, or nullptr.
IntervalDescriptor* live_interval(const void* p);

// LOB/BFILE locators and the other descriptors part two fills in.
struct PlainDescriptor : Handle {
  PlainDescriptor(uint32_t type, Environment* env) : Handle(type, env) {}
};

// Any of the four datetime descriptor kinds, or nullptr.
DateTimeDescriptor* live_datetime(const void* p);

bool is_handle_type(uint32_t type);
bool is_descriptor_type(uint32_t type);

}  // namespace ociemu
