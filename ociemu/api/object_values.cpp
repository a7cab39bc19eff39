// The object datatype helpers: OCIString, OCIRaw, OCIColl/OCITable and OCIDate.
#include <algorithm>
#include <cstring>
#include <ctime>
#include <iterator>
#include <limits>
#include <optional>
#include <tuple>

#include "ociemu/api/entry.h"
#include "ociemu/api/object_cache.h"
#include "ociemu/api/object_codes.h"

using namespace ociemu;

namespace {

constexpr int kInvalidArgument = 21560;
constexpr int kSubscriptBeyondCount = 22165;
constexpr int kTrimTooFar = 22167;

ObjectCache& cache_of(const void* envhp) {
  ObjectCache* cache = object_cache(envhp);
  if (cache == nullptr) fail(kInvalidArgument, {"env"});
  return *cache;
}

// Assigns bytes to *target (a new value when null) held in strings or raws.
template <class Find, class Make>
void assign_bytes(const void* bytes, ub4 length, void** target, Find find, Make make) {
  if (target == nullptr) fail(kInvalidArgument, {"lhs"});
  ClientString* value = *target == nullptr ? make() : find(*target);
  if (value == nullptr) fail(kInvalidArgument, {"lhs"});
  value->bytes.assign(static_cast<const char*>(bytes), bytes == nullptr ? 0 : length);
  *target = value;
}

ClientColl& coll_at(ObjectCache& cache, const void* p) {
  ClientColl* coll = cache.find_coll(p);
  if (coll == nullptr) fail(kInvalidArgument, {"coll"});
  return *coll;
}

// Index-by tables are walked by key: the nearest key past `from` in the step's direction.
sword key_step(const ClientColl& coll, int64_t from, int step, sb4* found, boolean* exists) {
  const std::vector<sb4>& keys = coll.keys;
  std::optional<sb4> key;
  if (step > 0) {
    auto next = std::upper_bound(keys.begin(), keys.end(), from);
    if (next != keys.end()) key = *next;
  } else {
    auto next = std::lower_bound(keys.begin(), keys.end(), from);
    if (next != keys.begin()) key = *std::prev(next);
  }
  if (exists) *exists = key ? 1 : 0;
  if (key) *found = *key;
  if (!key && exists == nullptr) fail(kSubscriptBeyondCount);
  return OCI_SUCCESS;
}

// Nested tables are walked by index over the elements OCITableDelete left.
sword table_step(const char* entry, OCIEnv* envhp, OCIError* errhp, const OCITable* tbl, int64_t from, int step,
                 sb4* found, boolean* exists) {
  OCIEMU_ERRORS(errhp);
  return guarded(entry, errors, [&] {
    if (found == nullptr) fail(kInvalidArgument, {"index"});
    const ClientColl& coll = coll_at(cache_of(envhp), tbl);
    if (coll.keyed()) return key_step(coll, from, step, found, exists);
    const auto count = static_cast<int64_t>(coll.elements.size());
    int64_t at = from + step;
    if (step > 0 && at < 0) at = 0;
    if (step < 0 && at >= count) at = count - 1;
    while (at >= 0 && at < count && coll.deleted[static_cast<size_t>(at)]) at += step;
    const bool present = at >= 0 && at < count;
    if (exists) *exists = present ? 1 : 0;
    if (present) *found = static_cast<sb4>(at);
    if (!present && exists == nullptr) fail(kSubscriptBeyondCount);
    return OCI_SUCCESS;
  });
}

int compare_dates(const OCIDate& a, const OCIDate& b) {
  auto key = [](const OCIDate& d) {
    return std::make_tuple(d.OCIDateYYYY, d.OCIDateMM, d.OCIDateDD, d.OCIDateTime.OCITimeHH,
                           d.OCIDateTime.OCITimeMI, d.OCIDateTime.OCITimeSS);
  };
  return key(a) < key(b) ? -1 : key(b) < key(a) ? 1 : 0;
}

}  // namespace

extern "C" {

oratext* OCIStringPtr(OCIEnv* envhp, const OCIString* vs) {
  ObjectCache* cache = object_cache(envhp);
  ClientString* value = cache ? cache->find_string(vs) : nullptr;
  return value ? reinterpret_cast<oratext*>(value->bytes.data()) : nullptr;
}

ub4 OCIStringSize(OCIEnv* envhp, const OCIString* vs) {
  ObjectCache* cache = object_cache(envhp);
  ClientString* value = cache ? cache->find_string(vs) : nullptr;
  return value ? static_cast<ub4>(value->bytes.size()) : 0;
}

sword OCIStringAssignText(OCIEnv* envhp, OCIError* errhp, const oratext* rhs, ub4 rhs_len, OCIString** lhs) {
  OCIEMU_ERRORS(errhp);
  return guarded("OCIStringAssignText", errors, [&] {
    ObjectCache& cache = cache_of(envhp);
    assign_bytes(rhs, rhs_len, reinterpret_cast<void**>(lhs), [&](void* p) { return cache.find_string(p); },
                 [&] { return cache.new_string(); });
    return OCI_SUCCESS;
  });
}

sword OCIStringAssign(OCIEnv* envhp, OCIError* errhp, const OCIString* rhs, OCIString** lhs) {
  OCIEMU_ERRORS(errhp);
  return guarded("OCIStringAssign", errors, [&] {
    ObjectCache& cache = cache_of(envhp);
    ClientString* source = cache.find_string(rhs);
    if (source == nullptr) fail(kInvalidArgument, {"rhs"});
    const std::string bytes = source->bytes;
    assign_bytes(bytes.data(), static_cast<ub4>(bytes.size()), reinterpret_cast<void**>(lhs),
                 [&](void* p) { return cache.find_string(p); }, [&] { return cache.new_string(); });
    return OCI_SUCCESS;
  });
}

// A new size of 0 frees the string and leaves *str null, as the client does.
sword OCIStringResize(OCIEnv* envhp, OCIError* errhp, ub4 new_size, OCIString** str) {
  OCIEMU_ERRORS(errhp);
  return guarded("OCIStringResize", errors, [&] {
    ObjectCache& cache = cache_of(envhp);
    if (str == nullptr) fail(kInvalidArgument, {"str"});
    if (new_size == 0) {
      cache.free_value(*str);
      *str = nullptr;
      return OCI_SUCCESS;
    }
    ClientString* value = *str == nullptr ? cache.new_string() : cache.find_string(*str);
    if (value == nullptr) fail(kInvalidArgument, {"str"});
    value->bytes.reserve(new_size);
    *str = reinterpret_cast<OCIString*>(value);
    return OCI_SUCCESS;
  });
}

ub1* OCIRawPtr(OCIEnv* envhp, const OCIRaw* raw) {
  ObjectCache* cache = object_cache(envhp);
  ClientString* value = cache ? cache->find_raw(raw) : nullptr;
  return value ? reinterpret_cast<ub1*>(value->bytes.data()) : nullptr;
}

ub4 OCIRawSize(OCIEnv* envhp, const OCIRaw* raw) {
  ObjectCache* cache = object_cache(envhp);
  ClientString* value = cache ? cache->find_raw(raw) : nullptr;
  return value ? static_cast<ub4>(value->bytes.size()) : 0;
}

sword OCIRawAssignBytes(OCIEnv* envhp, OCIError* errhp, const ub1* rhs, ub4 rhs_len, OCIRaw** lhs) {
  OCIEMU_ERRORS(errhp);
  return guarded("OCIRawAssignBytes", errors, [&] {
    ObjectCache& cache = cache_of(envhp);
    assign_bytes(rhs, rhs_len, reinterpret_cast<void**>(lhs), [&](void* p) { return cache.find_raw(p); },
                 [&] { return cache.new_raw(); });
    return OCI_SUCCESS;
  });
}

sword OCIRawResize(OCIEnv* envhp, OCIError* errhp, ub4 new_size, OCIRaw** raw) {
  OCIEMU_ERRORS(errhp);
  return guarded("OCIRawResize", errors, [&] {
    ObjectCache& cache = cache_of(envhp);
    if (raw == nullptr) fail(kInvalidArgument, {"raw"});
    if (new_size == 0) {
      cache.free_value(*raw);
      *raw = nullptr;
      return OCI_SUCCESS;
    }
    ClientString* value = *raw == nullptr ? cache.new_raw() : cache.find_raw(*raw);
    if (value == nullptr) fail(kInvalidArgument, {"raw"});
    value->bytes.reserve(new_size);
    *raw = reinterpret_cast<OCIRaw*>(value);
    return OCI_SUCCESS;
  });
}

sword OCICollSize(OCIEnv* envhp, OCIError* errhp, const OCIColl* coll, sb4* size) {
  OCIEMU_ERRORS(errhp);
  return guarded("OCICollSize", errors, [&] {
    if (size == nullptr) fail(kInvalidArgument, {"size"});
    *size = static_cast<sb4>(coll_at(cache_of(envhp), coll).elements.size());
    return OCI_SUCCESS;
  });
}

sb4 OCICollMax(OCIEnv* envhp, const OCIColl* coll) {
  ObjectCache* cache = object_cache(envhp);
  ClientColl* found = cache ? cache->find_coll(coll) : nullptr;
  if (found == nullptr || found->type->info.kind != sql::TypeKind::Varray) return 0;
  return static_cast<sb4>(found->type->info.upper_bound);
}

sword OCICollGetElem(OCIEnv* envhp, OCIError* errhp, const OCIColl* coll, sb4 index, boolean* exists, void** elem,
                     void** elemind) {
  OCIEMU_ERRORS(errhp);
  return guarded("OCICollGetElem", errors, [&] {
    ClientColl& found = coll_at(cache_of(envhp), coll);
    if (exists == nullptr || elem == nullptr) fail(kInvalidArgument, {"elem"});
    const std::optional<size_t> at = found.position(index);
    *exists = at ? 1 : 0;
    *elem = at ? found.elements[*at] : nullptr;
    if (elemind) *elemind = at ? found.indicators[*at] : nullptr;
    return OCI_SUCCESS;
  });
}

sword OCICollAppend(OCIEnv* envhp, OCIError* errhp, const void* elem, const void* elemind, OCIColl* coll) {
  OCIEMU_ERRORS(errhp);
  return guarded("OCICollAppend", errors, [&] {
    ObjectCache& cache = cache_of(envhp);
    ClientColl& found = coll_at(cache, coll);
    const sql::TypeInfo& type = found.type->info;
    if (type.kind == sql::TypeKind::Varray && found.elements.size() >= static_cast<size_t>(type.upper_bound)) {
      fail(kSubscriptBeyondCount);
    }
    if (found.keyed()) {
      // After the last key; the first element of an empty table takes key 0.
      const sb4 key = found.keys.empty() ? 0 : found.keys.back() + 1;
      if (!found.keys.empty() && found.keys.back() == std::numeric_limits<sb4>::max()) fail(kSubscriptBeyondCount);
      cache.assign_keyed(found, key, elem, elemind);
      return OCI_SUCCESS;
    }
    cache.append_element(found, elem, elemind);
    return OCI_SUCCESS;
  });
}

sword OCICollAssignElem(OCIEnv* envhp, OCIError* errhp, sb4 index, const void* elem, const void* elemind,
                        OCIColl* coll) {
  OCIEMU_ERRORS(errhp);
  return guarded("OCICollAssignElem", errors, [&] {
    ObjectCache& cache = cache_of(envhp);
    ClientColl& found = coll_at(cache, coll);
    if (found.keyed()) {
      cache.assign_keyed(found, index, elem, elemind);
      return OCI_SUCCESS;
    }
    if (index < 0 || static_cast<size_t>(index) >= found.elements.size()) fail(kSubscriptBeyondCount);
    // The new value is made by an append to a scratch collection, then swapped in.
    ClientColl tail;
    tail.type = found.type;
    const size_t at = static_cast<size_t>(index);
    cache.append_element(tail, elem, elemind);
    std::swap(found.elements[at], tail.elements[0]);
    std::swap(found.indicators[at], tail.indicators[0]);
    if (!tail.scalar_indicators.empty()) {
      for (auto& owned : found.scalar_indicators) {
        if (owned.get() == tail.indicators[0]) std::swap(owned, tail.scalar_indicators[0]);
      }
    }
    found.deleted[at] = false;
    cache.trim_elements(tail, 0);
    return OCI_SUCCESS;
  });
}

sword OCICollTrim(OCIEnv* envhp, OCIError* errhp, sb4 trim_num, OCIColl* coll) {
  OCIEMU_ERRORS(errhp);
  return guarded("OCICollTrim", errors, [&] {
    ObjectCache& cache = cache_of(envhp);
    ClientColl& found = coll_at(cache, coll);
    if (trim_num < 0 || static_cast<size_t>(trim_num) > found.elements.size()) fail(kTrimTooFar);
    cache.trim_elements(found, found.elements.size() - static_cast<size_t>(trim_num));
    return OCI_SUCCESS;
  });
}

sword OCITableSize(OCIEnv* envhp, OCIError* errhp, const OCITable* tbl, sb4* size) {
  OCIEMU_ERRORS(errhp);
  return guarded("OCITableSize", errors, [&] {
    if (size == nullptr) fail(kInvalidArgument, {"size"});
    const ClientColl& found = coll_at(cache_of(envhp), tbl);
    *size = static_cast<sb4>(std::count(found.deleted.begin(), found.deleted.end(), false));
    return OCI_SUCCESS;
  });
}

sword OCITableExists(OCIEnv* envhp, OCIError* errhp, const OCITable* tbl, sb4 index, boolean* exists) {
  OCIEMU_ERRORS(errhp);
  return guarded("OCITableExists", errors, [&] {
    if (exists == nullptr) fail(kInvalidArgument, {"exists"});
    *exists = coll_at(cache_of(envhp), tbl).position(index) ? 1 : 0;
    return OCI_SUCCESS;
  });
}

sword OCITableFirst(OCIEnv* envhp, OCIError* errhp, const OCITable* tbl, sb4* index) {
  // From before the least key an index-by table can hold.
  return table_step("OCITableFirst", envhp, errhp, tbl, int64_t{std::numeric_limits<sb4>::min()} - 1, 1, index, nullptr);
}

sword OCITableLast(OCIEnv* envhp, OCIError* errhp, const OCITable* tbl, sb4* index) {
  return table_step("OCITableLast", envhp, errhp, tbl, int64_t{std::numeric_limits<sb4>::max()} + 1, -1, index, nullptr);
}

sword OCITableNext(OCIEnv* envhp, OCIError* errhp, sb4 index, const OCITable* tbl, sb4* next_index, boolean* exists) {
  return table_step("OCITableNext", envhp, errhp, tbl, index, 1, next_index, exists);
}

sword OCITablePrev(OCIEnv* envhp, OCIError* errhp, sb4 index, const OCITable* tbl, sb4* prev_index, boolean* exists) {
  return table_step("OCITablePrev", envhp, errhp, tbl, index, -1, prev_index, exists);
}

sword OCITableDelete(OCIEnv* envhp, OCIError* errhp, sb4 index, OCITable* tbl) {
  OCIEMU_ERRORS(errhp);
  return guarded("OCITableDelete", errors, [&] {
    ObjectCache& cache = cache_of(envhp);
    ClientColl& found = coll_at(cache, tbl);
    if (found.type->info.kind != sql::TypeKind::Table && !found.keyed()) fail(kInvalidArgument, {"tbl"});
    const std::optional<size_t> at = found.position(index);
    if (!at) fail(kSubscriptBeyondCount);
    if (found.keyed()) {
      cache.erase_keyed(found, *at);
    } else {
      found.deleted[*at] = true;
    }
    return OCI_SUCCESS;
  });
}

sword OCIDateAssign(OCIError* errhp, const OCIDate* from, OCIDate* to) {
  OCIEMU_ERRORS(errhp);
  return guarded("OCIDateAssign", errors, [&] {
    if (from == nullptr || to == nullptr) fail(kInvalidArgument, {"date"});
    *to = *from;
    return OCI_SUCCESS;
  });
}

sword OCIDateCompare(OCIError* errhp, const OCIDate* date1, const OCIDate* date2, sword* result) {
  OCIEMU_ERRORS(errhp);
  return guarded("OCIDateCompare", errors, [&] {
    if (date1 == nullptr || date2 == nullptr || result == nullptr) fail(kInvalidArgument, {"date"});
    *result = compare_dates(*date1, *date2);
    return OCI_SUCCESS;
  });
}

sword OCIDateSysDate(OCIError* errhp, OCIDate* sys_date) {
  OCIEMU_ERRORS(errhp);
  return guarded("OCIDateSysDate", errors, [&] {
    if (sys_date == nullptr) fail(kInvalidArgument, {"sys_date"});
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    sys_date->OCIDateYYYY = static_cast<sb2>(local.tm_year + 1900);
    sys_date->OCIDateMM = static_cast<ub1>(local.tm_mon + 1);
    sys_date->OCIDateDD = static_cast<ub1>(local.tm_mday);
    sys_date->OCIDateTime = OCITime{static_cast<ub1>(local.tm_hour), static_cast<ub1>(local.tm_min),
                                    static_cast<ub1>(local.tm_sec)};
    return OCI_SUCCESS;
  });
}

}  // extern "C"
