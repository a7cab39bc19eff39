// The client object cache entries: type descriptors by name, new instances
// (objects, collections, REFs, strings, raws and LOB locator slots), pins,
// null structures and marks, and the REF entries.
#include <cstring>

#include "ociemu/api/entry.h"
#include "ociemu/api/lob_store.h"
#include "ociemu/api/object_cache.h"
#include "ociemu/api/object_codes.h"
#include "ociemu/api/object_describe.h"
#include "ociemu/api/object_refs.h"
#include "ociemu/api/session.h"
#include "ociemu/api/text_case.h"
#include "ociemu/sql/programs.h"

using namespace ociemu;

namespace {

constexpr int kInvalidArgument = 21560;
constexpr int kNotAnObjectAddress = 21710;
constexpr int kObjectGone = 21700;
constexpr int kObjectNotFound = 4043;

std::string text_of(const oratext* text, ub4 length) {
  return text == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(text), length);
}

ObjectCache& cache_of(const void* envhp) {
  ObjectCache* cache = object_cache(envhp);
  if (cache == nullptr) fail(kInvalidArgument, {"env"});
  return *cache;
}

Instance& instance_at(ObjectCache& cache, const void* p) {
  Instance* instance = cache.find_instance(p);
  if (instance == nullptr) fail(kNotAnObjectAddress);
  return *instance;
}

// The slot that a path of attribute names (an embedded object's attributes after its name) reaches.
const SlotLayout& slot_by_names(const TypeDescriptor& type, const oratext** names, const ub4* lengths, ub4 count) {
  if (names == nullptr || lengths == nullptr || count == 0) fail(kInvalidArgument, {"names"});
  std::string path;
  for (ub4 k = 0; k < count; ++k) path += (k ? "." : "") + upper(text_of(names[k], lengths[k]));
  for (const SlotLayout& slot : type.slots) {
    if (slot.path == path) return slot;
  }
  fail(kInvalidArgument, {"names"});
}

// A REF's bytes for its hex form: kind, then the NUL-separated names and the object identifier.
std::string ref_bytes(const ClientRef& ref) {
  std::string bytes(1, static_cast<char>(ref.kind));
  bytes += ref.owner + '\0' + ref.name + '\0' + ref.oid;
  return bytes;
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

extern "C" {

sword OCITypeByName(OCIEnv* envhp, OCIError* errhp, const OCISvcCtx* svchp, const oratext* schema_name, ub4 s_length,
                    const oratext* type_name, ub4 t_length, const oratext*, ub4, OCIDuration, OCITypeGetOpt,
                    OCIType** tdo) {
  OCIEMU_ERRORS(errhp);
  if (live<Environment>(envhp) == nullptr || live<ServiceContext>(svchp) == nullptr || tdo == nullptr) {
    return OCI_INVALID_HANDLE;
  }
  return guarded("OCITypeByName", errors, [&] {
    SessionCallLock call(svchp);
    sqlite3* db = service_database(svchp);
    Session& session = live<ServiceContext>(svchp)->live_session();
    // Without a schema, a qualified type name ("SYS.XMLTYPE", "PKG.REC_T") names its own.
    std::vector<std::string> parts;
    if (const std::string owner = upper(text_of(schema_name, s_length)); !owner.empty()) parts.push_back(owner);
    const std::string name = upper(text_of(type_name, t_length));
    for (size_t start = 0;;) {
      const size_t dot = name.find('.', start);
      parts.push_back(name.substr(start, dot - start));
      if (dot == std::string::npos) break;
      start = dot + 1;
    }
    const TypeDescriptor& type = named_type(cache_of(envhp), db, session.context, parts);
    *tdo = reinterpret_cast<OCIType*>(const_cast<TypeDescriptor*>(&type));
    return OCI_SUCCESS;
  });
}

// "OWNER.NAME" or "NAME", as OCITypeByName takes a qualified name without a schema.
sword OCITypeByFullName(OCIEnv* envhp, OCIError* errhp, const OCISvcCtx* svchp, const oratext* full_type_name,
                        ub4 full_type_name_length, const oratext* version_name, ub4 version_name_length,
                        OCIDuration pin_duration, OCITypeGetOpt get_option, OCIType** tdo) {
  return OCITypeByName(envhp, errhp, svchp, nullptr, 0, full_type_name, full_type_name_length, version_name,
                       version_name_length, pin_duration, get_option, tdo);
}

sword OCIObjectNew(OCIEnv* envhp, OCIError* errhp, const OCISvcCtx*, OCITypeCode typecode, OCIType* tdo, void* table,
                   OCIDuration, boolean, void** instance) {
  OCIEMU_ERRORS(errhp);
  auto* env = live<Environment>(envhp);
  if (env == nullptr || instance == nullptr) return OCI_INVALID_HANDLE;
  return guarded("OCIObjectNew", errors, [&]() -> sword {
    ObjectCache& cache = cache_of(envhp);
    switch (typecode) {
      case OCI_TYPECODE_CLOB:
      case OCI_TYPECODE_BLOB: *instance = env->make<LobLocator>(OCI_DTYPE_LOB, env); return OCI_SUCCESS;
      case OCI_TYPECODE_BFILE: *instance = env->make<LobLocator>(OCI_DTYPE_FILE, env); return OCI_SUCCESS;
      case kTypecodeRef: *instance = cache.new_ref(); return OCI_SUCCESS;
      case kTypecodeVarchar2:
      case kTypecodeChar:
      case 1: *instance = cache.new_string(); return OCI_SUCCESS;
      case kTypecodeRaw: *instance = cache.new_raw(); return OCI_SUCCESS;
      default: break;
    }
    const TypeDescriptor* type = cache.find_type(tdo);
    if (type == nullptr) fail(kInvalidArgument, {"tdo"});
    const PinnedTable* pinned = nullptr;
    if (table != nullptr) {
      pinned = cache.find_table(table);
      if (pinned == nullptr) fail(kInvalidArgument, {"table"});
    }
    Instance& made = cache.new_instance(*type, pinned);
    // Not atomically null (a client that constructs an object and sets nothing stores an object, not a NULL);
    // its attributes are NULL until set, and a new collection is empty.
    made.nulls[0] = kIndicatorNotNull;
    *instance = made.address();
    return OCI_SUCCESS;
  });
}

sword OCIObjectFree(OCIEnv* envhp, OCIError* errhp, void* instance, ub2) {
  OCIEMU_ERRORS(errhp);
  return guarded("OCIObjectFree", errors, [&]() -> sword {
    if (LobLocator* locator = live_locator(instance)) {
      locator->env()->destroy(locator);
      return OCI_SUCCESS;
    }
    ObjectCache* cache = object_cache(envhp);
    if (cache == nullptr || (!cache->free_value(instance) && !cache->is_null_structure(instance))) {
      fail(kNotAnObjectAddress);
    }
    return OCI_SUCCESS;
  });
}

// The attribute's value address (its slot: an OCINumber, an OCIString* ...), indicator and type.
sword OCIObjectGetAttr(OCIEnv* envhp, OCIError* errhp, void* instance, void* null_struct, OCIType*,
                       const oratext** names, const ub4* lengths, ub4 name_count, const ub4*, ub4,
                       OCIInd* attr_null_status, void** attr_null_struct, void** attr_value, OCIType** attr_tdo) {
  OCIEMU_ERRORS(errhp);
  return guarded("OCIObjectGetAttr", errors, [&] {
    Instance& object = instance_at(cache_of(envhp), instance);
    const SlotLayout& slot = slot_by_names(*object.type, names, lengths, name_count);
    OCIInd* nulls = null_struct ? static_cast<OCIInd*>(null_struct) : object.nulls.get();
    OCIInd* indicator = nulls + slot.indicator_offset / sizeof(OCIInd);
    if (attr_null_status) *attr_null_status = *indicator;
    if (attr_null_struct) *attr_null_struct = slot.kind == SlotLayout::Kind::Embedded ? indicator : nullptr;
    if (attr_value) *attr_value = object.bytes() + slot.value_offset;
    if (attr_tdo) *attr_tdo = reinterpret_cast<OCIType*>(const_cast<TypeDescriptor*>(slot.named));
    return OCI_SUCCESS;
  });
}

sword OCIObjectCopy(OCIEnv* envhp, OCIError* errhp, const OCISvcCtx*, void* source, void* null_source, void* target,
                    void* null_target, OCIType* tdo, OCIDuration, ub1 option) {
  OCIEMU_ERRORS(errhp);
  return guarded("OCIObjectCopy", errors, [&] {
    ObjectCache& cache = cache_of(envhp);
    const Instance& from = instance_at(cache, source);
    Instance& to = instance_at(cache, target);
    // The null structures are the instances' own, as OCIObjectGetInd gives them: nothing else is written.
    if ((null_source != nullptr && null_source != from.nulls.get()) ||
        (null_target != nullptr && null_target != to.nulls.get())) {
      fail(kInvalidArgument, {"null_struct"});
    }
    if (from.type != to.type || (tdo != nullptr && cache.find_type(tdo) != from.type)) fail(kInvalidArgument, {"tdo"});
    cache.copy_onto(from, to, (option & OCI_OBJECTCOPY_NOREF) == 0);
    return OCI_SUCCESS;
  });
}

// Copies the value (given as OCICollAppend takes elements) into the attribute and sets its indicator.
sword OCIObjectSetAttr(OCIEnv* envhp, OCIError* errhp, void* instance, void* null_struct, OCIType*,
                       const oratext** names, const ub4* lengths, ub4 name_count, const ub4*, ub4, OCIInd null_status,
                       const void* attr_null_struct, const void* attr_value) {
  OCIEMU_ERRORS(errhp);
  return guarded("OCIObjectSetAttr", errors, [&] {
    ObjectCache& cache = cache_of(envhp);
    Instance& object = instance_at(cache, instance);
    const SlotLayout& slot = slot_by_names(*object.type, names, lengths, name_count);
    OCIInd* nulls = null_struct ? static_cast<OCIInd*>(null_struct) : object.nulls.get();
    OCIInd* indicator = nulls + slot.indicator_offset / sizeof(OCIInd);
    if (null_status == kIndicatorNotNull) cache.assign_slot(slot, object.bytes() + slot.value_offset, attr_value);
    if (slot.kind == SlotLayout::Kind::Embedded && attr_null_struct != nullptr) {
      std::memcpy(indicator, attr_null_struct, slot.named->null_count * sizeof(OCIInd));
    }
    *indicator = null_status;
    if (null_status == kIndicatorNotNull) nulls[0] = kIndicatorNotNull;  // a set attribute makes the object non-null
    return OCI_SUCCESS;
  });
}

sword OCIObjectGetInd(OCIEnv* envhp, OCIError* errhp, void* instance, void** null_struct) {
  OCIEMU_ERRORS(errhp);
  return guarded("OCIObjectGetInd", errors, [&] {
    if (null_struct == nullptr) fail(kInvalidArgument, {"null_struct"});
    *null_struct = instance_at(cache_of(envhp), instance).nulls.get();
    return OCI_SUCCESS;
  });
}

sword OCIObjectPin(OCIEnv* envhp, OCIError* errhp, OCIRef* object_ref, OCIComplexObject*, OCIPinOpt pin_option,
                   OCIDuration, OCILockOpt lock_option, void** object) {
  OCIEMU_ERRORS(errhp);
  return guarded("OCIObjectPin", errors, [&] {
    ObjectCache& cache = cache_of(envhp);
    ClientRef* ref = cache.find_ref(object_ref);
    if (ref == nullptr || object == nullptr) fail(kInvalidArgument, {"object_ref"});
    if (ref->kind == ClientRef::Kind::Object) {
      *object = pin_object_ref(cache, *ref, pin_option, lock_option);
      return OCI_SUCCESS;
    }
    if (ref->kind != ClientRef::Kind::Type || ref->type == nullptr) fail(kObjectGone);
    *object = const_cast<TypeDescriptor*>(ref->type);
    return OCI_SUCCESS;
  });
}

sword OCIObjectUnpin(OCIEnv* envhp, OCIError* errhp, void* object) {
  OCIEMU_ERRORS(errhp);
  return guarded("OCIObjectUnpin", errors, [&] {
    ObjectCache& cache = cache_of(envhp);
    if (cache.find_type(object) != nullptr || cache.find_table(object) != nullptr) return OCI_SUCCESS;
    Instance& instance = instance_at(cache, object);
    if (instance.pins > 0) --instance.pins;
    return OCI_SUCCESS;
  });
}

sword OCIObjectPinTable(OCIEnv* envhp, OCIError* errhp, const OCISvcCtx* svchp, const oratext* schema_name,
                        ub4 s_n_length, const oratext* object_name, ub4 o_n_length, const OCIRef*, OCIDuration,
                        void** object) {
  OCIEMU_ERRORS(errhp);
  if (live<ServiceContext>(svchp) == nullptr || object == nullptr) return OCI_INVALID_HANDLE;
  return guarded("OCIObjectPinTable", errors, [&] {
    SessionCallLock call(svchp);
    sqlite3* db = service_database(svchp);
    Session& session = live<ServiceContext>(svchp)->live_session();
    std::string owner = upper(text_of(schema_name, s_n_length));
    const std::string name = upper(text_of(object_name, o_n_length));
    if (owner.empty()) owner = sql::session_schema(session.context);
    std::optional<sql::ObjectTableInfo> table = sql::find_object_table(db, owner, name);
    if (!table) fail(kObjectNotFound, {owner + "." + name});
    ObjectCache& cache = cache_of(envhp);
    const TypeDescriptor& type = cache.type(db, table->type_owner, table->type_name);
    *object = cache.pin_table(owner, name, &type);
    return OCI_SUCCESS;
  });
}

sword OCIObjectMarkUpdate(OCIEnv* envhp, OCIError* errhp, void* object) {
  OCIEMU_ERRORS(errhp);
  return guarded("OCIObjectMarkUpdate", errors, [&] {
    instance_at(cache_of(envhp), object).dirty = true;
    return OCI_SUCCESS;
  });
}

sword OCIObjectUnmark(OCIEnv* envhp, OCIError* errhp, void* object) {
  OCIEMU_ERRORS(errhp);
  return guarded("OCIObjectUnmark", errors, [&] {
    instance_at(cache_of(envhp), object).dirty = false;
    return OCI_SUCCESS;
  });
}

sword OCIObjectIsDirty(OCIEnv* envhp, OCIError* errhp, void* object, boolean* dirty) {
  OCIEMU_ERRORS(errhp);
  return guarded("OCIObjectIsDirty", errors, [&] {
    if (dirty == nullptr) fail(kInvalidArgument, {"dirty"});
    *dirty = instance_at(cache_of(envhp), object).dirty ? 1 : 0;
    return OCI_SUCCESS;
  });
}

// Transient instances have nowhere to go; a persistent one is written by its table's flush.
sword OCIObjectFlush(OCIEnv* envhp, OCIError* errhp, void* object) {
  OCIEMU_ERRORS(errhp);
  return guarded("OCIObjectFlush", errors, [&] {
    Instance& instance = instance_at(cache_of(envhp), object);
    instance.dirty = false;
    return OCI_SUCCESS;
  });
}

sword OCIObjectGetTypeRef(OCIEnv* envhp, OCIError* errhp, void* instance, OCIRef* type_ref) {
  OCIEMU_ERRORS(errhp);
  return guarded("OCIObjectGetTypeRef", errors, [&] {
    ObjectCache& cache = cache_of(envhp);
    const Instance& object = instance_at(cache, instance);
    ClientRef* ref = cache.find_ref(type_ref);
    if (ref == nullptr) fail(kInvalidArgument, {"type_ref"});
    *ref = ClientRef{ClientRef::Kind::Type, object.type->info.owner, object.type->cache_name(), {}, object.type};
    return OCI_SUCCESS;
  });
}

sword OCIRefAssign(OCIEnv* envhp, OCIError* errhp, const OCIRef* source, OCIRef** target) {
  OCIEMU_ERRORS(errhp);
  return guarded("OCIRefAssign", errors, [&] {
    ObjectCache& cache = cache_of(envhp);
    ClientRef* from = cache.find_ref(source);
    if (from == nullptr) fail(kInvalidArgument, {"source"});
    if (target == nullptr) fail(kInvalidArgument, {"target"});
    ClientRef* to = *target == nullptr ? cache.new_ref() : cache.find_ref(*target);
    if (to == nullptr) fail(kInvalidArgument, {"target"});
    if (to != from) *to = *from;
    *target = reinterpret_cast<OCIRef*>(to);
    return OCI_SUCCESS;
  });
}

void OCIRefClear(OCIEnv* envhp, OCIRef* ref) {
  ObjectCache* cache = object_cache(envhp);
  if (ClientRef* found = cache ? cache->find_ref(ref) : nullptr) *found = ClientRef{};
}

boolean OCIRefIsNull(OCIEnv* envhp, const OCIRef* ref) {
  ObjectCache* cache = object_cache(envhp);
  const ClientRef* found = cache ? cache->find_ref(ref) : nullptr;
  return found == nullptr || found->kind == ClientRef::Kind::Null;
}

boolean OCIRefIsEqual(OCIEnv* envhp, const OCIRef* x, const OCIRef* y) {
  ObjectCache* cache = object_cache(envhp);
  const ClientRef* a = cache ? cache->find_ref(x) : nullptr;
  const ClientRef* b = cache ? cache->find_ref(y) : nullptr;
  const bool null_a = a == nullptr || a->kind == ClientRef::Kind::Null;
  const bool null_b = b == nullptr || b->kind == ClientRef::Kind::Null;
  if (null_a || null_b) return null_a && null_b;
  return ref_bytes(*a) == ref_bytes(*b);
}

ub4 OCIRefHexSize(OCIEnv* envhp, const OCIRef* ref) {
  ObjectCache* cache = object_cache(envhp);
  const ClientRef* found = cache ? cache->find_ref(ref) : nullptr;
  if (found == nullptr || found->kind == ClientRef::Kind::Null) return 0;
  return static_cast<ub4>(2 * ref_bytes(*found).size());
}

sword OCIRefToHex(OCIEnv* envhp, OCIError* errhp, const OCIRef* ref, oratext* hex, ub4* hex_length) {
  OCIEMU_ERRORS(errhp);
  return guarded("OCIRefToHex", errors, [&] {
    ClientRef* found = cache_of(envhp).find_ref(ref);
    if (found == nullptr) fail(kInvalidArgument, {"ref"});
    if (hex_length == nullptr) fail(kInvalidArgument, {"hex_length"});
    const std::string bytes = found->kind == ClientRef::Kind::Null ? std::string() : ref_bytes(*found);
    if (hex == nullptr || *hex_length < 2 * bytes.size()) fail(kInvalidArgument, {"hex_length"});
    for (size_t i = 0; i < bytes.size(); ++i) {
      const auto byte = static_cast<unsigned char>(bytes[i]);
      hex[2 * i] = static_cast<oratext>(kHexDigits[byte >> 4]);
      hex[2 * i + 1] = static_cast<oratext>(kHexDigits[byte & 15]);
    }
    *hex_length = static_cast<ub4>(2 * bytes.size());
    return OCI_SUCCESS;
  });
}

sword OCIRefFromHex(OCIEnv* envhp, OCIError* errhp, const OCISvcCtx* svchp, const oratext* hex, ub4 length,
                    OCIRef** ref) {
  OCIEMU_ERRORS(errhp);
  return guarded("OCIRefFromHex", errors, [&] {
    if (live<ServiceContext>(svchp) == nullptr) fail(kInvalidArgument, {"svc"});
    if (ref == nullptr || (hex == nullptr && length > 0) || length % 2 != 0) fail(kInvalidArgument, {"hex"});
    std::string bytes;
    for (ub4 i = 0; i < length; i += 2) {
      const int high = hex_value(static_cast<char>(hex[i])), low = hex_value(static_cast<char>(hex[i + 1]));
      if (high < 0 || low < 0) fail(kInvalidArgument, {"hex"});
      bytes += static_cast<char>(high * 16 + low);
    }
    ClientRef parsed;
    if (!bytes.empty()) {
      const size_t first = bytes.find('\0', 1), second = first == std::string::npos ? first : bytes.find('\0', first + 1);
      const auto kind = static_cast<ClientRef::Kind>(bytes[0]);
      if (second == std::string::npos || (kind != ClientRef::Kind::Type && kind != ClientRef::Kind::Object)) {
        fail(kInvalidArgument, {"hex"});
      }
      parsed.kind = kind;
      parsed.owner = bytes.substr(1, first - 1);
      parsed.name = bytes.substr(first + 1, second - first - 1);
      parsed.oid = bytes.substr(second + 1);
    }
    ObjectCache& cache = cache_of(envhp);
    if (parsed.kind == ClientRef::Kind::Type) {
      SessionCallLock call(svchp);
      parsed.type = &cache.type(service_database(svchp), parsed.owner, parsed.name);
    }
    if (parsed.kind == ClientRef::Kind::Object) parsed.session = live<ServiceContext>(svchp)->session;
    ClientRef* to = *ref == nullptr ? cache.new_ref() : cache.find_ref(*ref);
    if (to == nullptr) fail(kInvalidArgument, {"ref"});
    *to = parsed;
    *ref = reinterpret_cast<OCIRef*>(to);
    return OCI_SUCCESS;
  });
}

}  // extern "C"
