// REF values between stored text and the client's OCIRef, SQLT_REF defines and
// binds, and pins of object table rows through their REFs.
#include "ociemu/api/object_refs.h"

#include <cstring>

#include "ociemu/api/entry.h"
#include "ociemu/api/session.h"
#include "ociemu/api/statement.h"
#include "ociemu/sql/object_refs.h"

namespace ociemu {
namespace {

constexpr int kInconsistentTypes = 932;
constexpr int kInvalidArgument = 21560;
constexpr int kObjectGone = 21700;
constexpr int kNotLoggedOn = 1012;
constexpr int kPinLatest = 5;        // OCI_PIN_LATEST
constexpr int kLockExclusive = 2;    // OCI_LOCK_X
constexpr int kLockNoWait = 3;       // OCI_LOCK_X_NOWAIT

// Where element i of a REF define or bind keeps its OCIRef pointer: the OCIDefineObject /
// OCIBindObject array when given, else the element buffer itself.
void** ref_slot(const ElementArrays& a, const ObjectArrays& objects, uint32_t i) {
  if (objects.values != nullptr) return objects.values + i;
  if (a.values == nullptr) fail(kInvalidArgument, {"valuep"});
  return static_cast<void**>(a.value_at(i));
}

ClientRef& slot_ref(ObjectCache& cache, void** slot) {
  ClientRef* ref = *slot == nullptr ? nullptr : cache.find_ref(*slot);
  if (ref == nullptr) {
    if (*slot != nullptr) fail(kInvalidArgument, {"OCIRef"});
    ref = cache.new_ref();
    *slot = ref;
  }
  return *ref;
}

// Places a value into element `slot` of a REF define or OUT bind.
void place_into(const ElementArrays& a, const ObjectArrays& objects, Environment* env, const void* session,
                uint32_t slot, const Cell& value) {
  ObjectCache& cache = *object_cache(env);
  ClientRef& ref = slot_ref(cache, ref_slot(a, objects, slot));
  const bool text = value.kind == Cell::Text && value.size > 0;
  if (text) {
    read_object_ref(std::string_view(value.data, value.size), session, ref);
  } else {
    ref = ClientRef{};
  }
  if (!text && value.kind != Cell::Null) fail(kInconsistentTypes, {"REF", "-"});
  const bool null = ref.kind == ClientRef::Kind::Null;
  if (sb2* indicator = a.indicator_at(slot)) *indicator = null ? -1 : 0;
  a.set_length(slot, null ? 0 : static_cast<uint32_t>(sizeof(void*)));
  if (ub2* code = a.code_at(slot)) *code = null ? 1405 : 0;
}

}  // namespace

std::optional<std::string> object_ref_text(const ClientRef& ref) {
  switch (ref.kind) {
    case ClientRef::Kind::Null: return std::nullopt;
    case ClientRef::Kind::Object: return sql::stored_ref_text(sql::StoredRef{ref.owner, ref.name, ref.oid});
    default: fail(kInconsistentTypes, {"REF", "a type's REF"});
  }
}

void read_object_ref(std::string_view stored, const void* session, ClientRef& ref) {
  std::optional<sql::StoredRef> parsed = sql::parse_stored_ref(stored);
  if (!parsed) {
    ref = ClientRef{};
    return;
  }
  ref = ClientRef{ClientRef::Kind::Object, parsed->owner, parsed->table, parsed->oid, nullptr, session};
}

void place_ref(const Define& define, uint32_t slot, const Cell& value) {
  place_into(define.arrays, define.objects, define.env(), define.statement->session(), slot, value);
}

void place_ref_out(const Bind& bound, uint32_t slot, const Cell& value) {
  place_into(bound.arrays, bound.objects, bound.env(), bound.statement->session(), slot, value);
}

std::optional<std::string> bound_ref_text(const Bind& bound, uint32_t row) {
  const sb2* indicator = bound.arrays.indicator_at(row);
  if (indicator && *indicator == -1) return std::nullopt;
  void** slot = ref_slot(bound.arrays, bound.objects, row);
  if (*slot == nullptr) return std::nullopt;
  const ClientRef* ref = object_cache(bound.env())->find_ref(*slot);
  if (ref == nullptr) fail(kInvalidArgument, {"OCIRef"});
  return object_ref_text(*ref);
}

void* pin_object_ref(ObjectCache& cache, const ClientRef& ref, int pin_option, int lock_option) {
  Session* session = live<Session>(ref.session);
  if (session == nullptr) fail(kNotLoggedOn);
  SessionCallLock call(session);
  session->check_alive();
  sqlite3* db = session->connection->db();
  const sql::StoredRef stored{ref.owner, ref.name, ref.oid};
  std::optional<sql::DereferencedRow> row = sql::dereference(db, stored);
  std::optional<sql::ObjectTableInfo> table = row ? sql::find_object_table(db, ref.owner, ref.name) : std::nullopt;
  if (!row || !table) fail(kObjectGone);
  if (lock_option == kLockExclusive || lock_option == kLockNoWait) {
    session->lock_rows(stored.sqlite_table(), {row->rowid}, lock_option == kLockNoWait);
  }
  const TypeDescriptor& type = cache.type(db, table->type_owner, table->type_name);
  const PinnedTable* pinned = cache.pin_table(ref.owner, ref.name, &type);
  Instance* instance = cache.find_persistent(pinned, ref.oid);
  const bool fresh = instance == nullptr;
  if (fresh) {
    instance = &cache.new_instance(type, pinned);
    instance->oid = ref.oid;
    instance->session = ref.session;
  }
  // A pinned copy the application changed stays as it is unless the latest is asked for.
  if (fresh || pin_option == kPinLatest || !instance->dirty) fill_instance(cache, *instance, row->object, session);
  ++instance->pins;
  return instance->address();
}

}  // namespace ociemu

using namespace ociemu;

extern "C" {

sword OCIObjectGetObjectRef(OCIEnv* envhp, OCIError* errhp, void* object, OCIRef* object_ref) {
  OCIEMU_ERRORS(errhp);
  return guarded("OCIObjectGetObjectRef", errors, [&] {
    ObjectCache* cache = object_cache(envhp);
    Instance* instance = cache ? cache->find_instance(object) : nullptr;
    ClientRef* ref = cache ? cache->find_ref(object_ref) : nullptr;
    if (instance == nullptr) fail(21710);
    if (ref == nullptr) fail(kInvalidArgument, {"object_ref"});
    // Transient objects, and persistent ones not yet written, have no identity.
    if (instance->table == nullptr || instance->oid.empty()) fail(kObjectGone);
    *ref = ClientRef{ClientRef::Kind::Object, instance->table->owner, instance->table->name, instance->oid, nullptr,
                     instance->session};
    return OCI_SUCCESS;
  });
}

}  // extern "C"
