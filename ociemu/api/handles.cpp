#include "ociemu/api/handles.h"

#include "ociemu/api/object_cache.h"
#include "ociemu/api/process_state.h"
#include "ociemu/sql/dialect.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <shared_mutex>
#include <unordered_set>

namespace ociemu {
namespace {

struct LiveHandle {
  uint32_t type;
  Handle* handle;
};

struct Registry {
  std::shared_mutex mutex;
  std::unordered_map<const void*, LiveHandle> live;  // application's pointer -> handle
  // Moves on whenever a pointer stops naming a handle; a lookup remembered
  // under an older value may be stale.
  std::atomic<uint64_t> retirements{0};
};

// Every entry checks its handles, most calls the same few again: each thread
// remembers its recent answers, valid until any handle is retired.
struct RememberedLookup {
  const void* pointer = nullptr;
  Handle* handle = nullptr;
  uint32_t type = 0;
  uint64_t retirements = 0;
};
// A program with a few open statements uses some dozens of handles at once;
// a table much larger than that keeps two of them from sharing a slot, where
// each would push the other out and every call would take the registry lock.
constexpr unsigned kRememberedBits = 8;
thread_local std::array<RememberedLookup, size_t{1} << kRememberedBits> remembered;

RememberedLookup& remembered_slot(const void* p) {
  // Handles are heap objects of a few sizes: their low address bits repeat,
  // so the slot comes from all bits of the address (Fibonacci hashing).
  const uint64_t mixed = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p)) * 0x9E3779B97F4A7C15ull;
  return remembered[static_cast<size_t>(mixed >> (64 - kRememberedBits))];
}

// Released after all other process state, whose release may still free handles.
Registry& registry() { return process_state<Registry, ReleaseRank::kReleasedLast>(); }

}  // namespace

Handle::Handle(uint32_t type, Environment* env) : type_(type), env_(env), address_(this) {
  auto& r = registry();
  std::unique_lock lock(r.mutex);
  r.live[this] = LiveHandle{type, this};
}

Handle::~Handle() {
  auto& r = registry();
  std::unique_lock lock(r.mutex);
  r.live.erase(address_);
  r.retirements.fetch_add(1, std::memory_order_release);
}

void Handle::publish_at(void* inner) {
  auto& r = registry();
  std::unique_lock lock(r.mutex);
  r.live.erase(address_);
  r.retirements.fetch_add(1, std::memory_order_release);
  address_ = inner;
  r.live[inner] = LiveHandle{type_, this};
}

void RowidDescriptor::assign(std::string rowid_text) {
  text_ = std::move(rowid_text);
  std::fill(std::begin(bytes), std::end(bytes), static_cast<unsigned char>(0));
  sql::RowidParts parts;
  if (!sql::rowid_parts(text_, parts)) return;
  auto put = [this](size_t at, uint32_t value, size_t count) {
    for (size_t i = 0; i < count; ++i) bytes[at + i] = static_cast<unsigned char>(value >> (8 * (count - 1 - i)));
  };
  bytes[0] = 1;
  put(1, parts.object, 4);
  put(5, parts.file, 2);
  put(7, parts.block, 4);
  put(11, parts.row, 2);
}

Handle* find_live(const void* p, uint32_t type) {
  if (p == nullptr) return nullptr;
  auto& r = registry();
  // Read before the lookup: a retirement after it makes the remembered answer stale.
  const uint64_t retirements = r.retirements.load(std::memory_order_acquire);
  RememberedLookup& slot = remembered_slot(p);
  if (slot.pointer == p && slot.type == type && slot.retirements == retirements) return slot.handle;
  std::shared_lock lock(r.mutex);
  auto found = r.live.find(p);
  if (found == r.live.end() || found->second.type != type) return nullptr;
  slot = {p, found->second.handle, type, retirements};
  return found->second.handle;
}

bool is_live(const void* p) {
  auto& r = registry();
  std::shared_lock lock(r.mutex);
  return r.live.count(p) != 0;
}

Environment::Environment(uint32_t environment_mode) : Handle(kType, this), mode(environment_mode) {}

Environment::~Environment() {
  // Children may free siblings while going; take them out first so that
  // destroy() sees them as already gone.
  std::unordered_map<Handle*, std::unique_ptr<Handle>> doomed;
  {
    std::lock_guard lock(mutex);
    doomed.swap(children);
  }
  // Statements first: they hold prepared statements on the sessions' connections.
  for (auto it = doomed.begin(); it != doomed.end();) {
    if (it->first->type() == OCI_HTYPE_STMT) {
      it = doomed.erase(it);
    } else {
      ++it;
    }
  }
  doomed.clear();
}

void Environment::destroy(Handle* child) {
  std::unique_ptr<Handle> doomed;
  {
    std::lock_guard lock(mutex);
    auto found = children.find(child);
    if (found == children.end()) return;
    doomed = std::move(found->second);
    children.erase(found);
  }
}

DateTimeDescriptor* live_datetime(const void* p) {
  for (uint32_t type : {OCI_DTYPE_DATE, OCI_DTYPE_TIMESTAMP, OCI_DTYPE_TIMESTAMP_TZ, OCI_DTYPE_TIMESTAMP_LTZ}) {
    if (Handle* handle = find_live(p, type)) return static_cast<DateTimeDescriptor*>(handle);
  }
  return nullptr;
}

bool is_handle_type(uint32_t type) {
  return (type >= OCI_HTYPE_ERROR && type <= OCI_HTYPE_DIRPATH_STREAM) || type == OCI_HTYPE_CPOOL ||
         type == OCI_HTYPE_SPOOL;
}

IntervalDescriptor* live_interval(const void* p) {
  for (uint32_t type : {OCI_DTYPE_INTERVAL_YM, OCI_DTYPE_INTERVAL_DS}) {
    if (Handle* handle = find_live(p, type)) return static_cast<IntervalDescriptor*>(handle);
  }
  return nullptr;
}

bool is_descriptor_type(uint32_t type) { return type >= OCI_DTYPE_LOB && type <= OCI_DTYPE_TIMESTAMP_LTZ; }

}  // namespace ociemu
