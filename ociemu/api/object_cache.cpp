#include "ociemu/api/object_cache.h"

#include <algorithm>

#include <cstring>

#include "ociemu/api/entry.h"
#include "ociemu/api/lob_store.h"
#include "ociemu/api/object_codes.h"
#include "ociemu/api/session.h"
#include "ociemu/plsql/package_types.h"

namespace ociemu {
namespace {

constexpr size_t kNumberSize = sizeof(OCINumber);  // 22
constexpr size_t kDateSize = sizeof(OCIDate);      // 8
constexpr int kObjectNotFound = 4043;
constexpr int kNotConnected = 3114;

size_t round_up(size_t offset, size_t to) { return (offset + to - 1) / to * to; }

// Built-in values held in the slot itself; the rest are reached through a pointer.
SlotLayout::Kind builtin_kind(int type_code) {
  switch (type_code) {
    case 2: return SlotLayout::Kind::Number;
    case 12: return SlotLayout::Kind::Date;
    case kTypecodeBoolean: return SlotLayout::Kind::Boolean;
    default: return SlotLayout::Kind::Pointer;
  }
}

SlotLayout::Kind kind_of(const sql::TypeAttribute& attribute, const TypeDescriptor* named) {
  if (attribute.is_ref) return SlotLayout::Kind::Pointer;
  if (attribute.is_named()) {
    return named == nullptr || named->by_pointer() ? SlotLayout::Kind::Pointer : SlotLayout::Kind::Embedded;
  }
  if (!attribute.builtin) return SlotLayout::Kind::Pointer;
  return builtin_kind(attribute.builtin->type_code);
}

struct LayoutState {
  size_t pointer_size = 0;
  size_t offset = 0;
  size_t indicator = 0;
  LayoutResult result;
};

void lay_out_into(const sql::TypeInfo& type, const std::string& prefix, LayoutState& state,
                  const std::function<const TypeDescriptor*(const sql::TypeAttribute&)>& lookup) {
  for (const sql::TypeAttribute& attribute : type.attributes) {
    const TypeDescriptor* named = attribute.is_named() && !attribute.is_ref ? lookup(attribute) : nullptr;
    SlotLayout slot;
    slot.path = prefix + attribute.name;
    slot.kind = kind_of(attribute, named);
    slot.attribute = &attribute;
    slot.named = named;
    state.indicator += sizeof(OCIInd);
    slot.indicator_offset = state.indicator;
    const size_t size = slot_size(slot.kind, state.pointer_size);
    // By kind, not size: an 8-byte DATE beside 8-byte pointers stays unaligned.
    if (slot.kind == SlotLayout::Kind::Boolean) state.offset = round_up(state.offset, sizeof(boolean));
    if (slot.kind == SlotLayout::Kind::Pointer || slot.kind == SlotLayout::Kind::Embedded) {
      const size_t aligned = round_up(state.offset, state.pointer_size);
      // Embedded objects that start where this slot did start where it now does.
      for (auto it = state.result.slots.rbegin(); it != state.result.slots.rend(); ++it) {
        if (it->kind != SlotLayout::Kind::Embedded || it->value_offset != state.offset) break;
        it->value_offset = aligned;
      }
      state.offset = aligned;
    }
    slot.value_offset = state.offset;
    state.offset += size;
    state.result.slots.push_back(slot);
    if (slot.kind == SlotLayout::Kind::Embedded) lay_out_into(named->info, slot.path + ".", state, lookup);
  }
}

// OWNER.NAME from the type catalogue, or a package's type when the name is "PACKAGE.NAME".
std::optional<sql::TypeInfo> catalogue_type(sqlite3* db, const std::string& owner, const std::string& name) {
  const size_t dot = name.find('.');
  if (dot == std::string::npos) return sql::find_type(db, owner, name);
  return plsql::find_package_type(db, owner, name.substr(0, dot), name.substr(dot + 1));
}

void destroy_locator(Environment* env, void* p) {
  if (LobLocator* locator = live_locator(p)) env->destroy(locator);
}

bool is_lob_code(int code) { return code >= kClobType && code <= kBfileType; }

// An empty locator for a LOB attribute or element of the given type code.
LobLocator* new_locator(Environment* env, const sql::OracleType& type) {
  auto* locator = env->make<LobLocator>(type.type_code == kBfileType ? OCI_DTYPE_FILE : OCI_DTYPE_LOB, env);
  locator->lob_type = type.type_code;
  locator->charset_form = static_cast<uint8_t>(type.type_code == kClobType ? type.charset_form : 0);
  return locator;
}

}  // namespace

size_t slot_size(SlotLayout::Kind kind, size_t pointer_size) {
  switch (kind) {
    case SlotLayout::Kind::Number: return kNumberSize;
    case SlotLayout::Kind::Date: return kDateSize;
    case SlotLayout::Kind::Boolean: return sizeof(boolean);
    case SlotLayout::Kind::Embedded: return 0;
    default: return pointer_size;
  }
}

LayoutResult lay_out(const sql::TypeInfo& type, size_t pointer_size,
                     const std::function<const TypeDescriptor*(const sql::TypeAttribute&)>& lookup) {
  LayoutState state;
  state.pointer_size = pointer_size;
  if (!type.is_collection() && type.kind != sql::TypeKind::Opaque) lay_out_into(type, "", state, lookup);
  state.result.instance_size = round_up(std::max<size_t>(state.offset, 1), pointer_size);
  state.result.null_count = 1 + state.indicator / sizeof(OCIInd);
  return std::move(state.result);
}

uint16_t TypeDescriptor::typecode() const {
  if (info.is_collection()) return kTypecodeNamedCollection;
  if (info.kind == sql::TypeKind::Opaque) return kTypecodeOpaque;
  return info.package.empty() ? kTypecodeObject : kTypecodeRecord;
}

std::optional<size_t> ClientColl::position(sb4 index) const {
  if (keyed()) {
    auto found = std::lower_bound(keys.begin(), keys.end(), index);
    if (found == keys.end() || *found != index) return std::nullopt;
    return static_cast<size_t>(found - keys.begin());
  }
  if (index < 0 || static_cast<size_t>(index) >= elements.size() || deleted[static_cast<size_t>(index)]) {
    return std::nullopt;
  }
  return static_cast<size_t>(index);
}

// The values the slots point to are all in the maps; only built-in collection elements live outside them.
ObjectCache::~ObjectCache() {
  for (auto& [key, coll] : colls_) {
    if (coll->type->element != nullptr && !coll->type->element->by_pointer()) continue;
    for (void* element : coll->elements) ::operator delete(element);
  }
}

const TypeDescriptor& ObjectCache::type(sqlite3* db, const std::string& owner, const std::string& name) {
  std::lock_guard lock(mutex_);
  const std::string key = owner + "." + name;
  if (auto found = types_.find(key); found != types_.end()) return *found->second;
  std::optional<sql::TypeInfo> info = catalogue_type(db, owner, name);
  if (!info) fail(kObjectNotFound, {key});
  auto made = std::make_unique<TypeDescriptor>();
  made->info = std::move(*info);
  auto lookup = [&](const sql::TypeAttribute& attribute) -> const TypeDescriptor* {
    return &type(db, attribute.type_owner, attribute.type_name);
  };
  if (made->info.is_collection()) {
    const sql::TypeAttribute& element = made->info.attributes.at(0);
    if (element.is_named() && !element.is_ref) made->element = lookup(element);
  }
  LayoutResult layout = lay_out(made->info, sizeof(void*), lookup);
  made->slots = std::move(layout.slots);
  made->instance_size = layout.instance_size;
  made->null_count = layout.null_count;
  const TypeDescriptor& result = *made;
  type_index_[made.get()] = made.get();
  types_.emplace(key, std::move(made));
  return result;
}

const TypeDescriptor* ObjectCache::find_type(const void* tdo) const {
  std::lock_guard lock(mutex_);
  auto found = type_index_.find(tdo);
  return found == type_index_.end() ? nullptr : found->second;
}

Instance& ObjectCache::new_instance(const TypeDescriptor& type, const PinnedTable* table) {
  auto instance = std::make_unique<Instance>();
  instance->type = &type;
  const size_t words = (type.instance_size + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t);
  instance->value = std::make_unique<std::max_align_t[]>(std::max<size_t>(words, 1));
  std::memset(instance->value.get(), 0, std::max<size_t>(words, 1) * sizeof(std::max_align_t));
  instance->nulls = std::make_unique<OCIInd[]>(type.null_count);
  for (size_t i = 0; i < type.null_count; ++i) instance->nulls[i] = kIndicatorNull;
  instance->table = table;
  instance->is_new = true;
  if (type.info.is_collection()) {
    instance->coll = new_coll(type);
  } else {
    fill_slots(type, instance->bytes());
  }
  Instance& result = *instance;
  std::lock_guard lock(mutex_);
  by_nulls_[instance->nulls.get()] = instance.get();
  instances_.emplace(instance->address(), std::move(instance));
  return result;
}

Instance* ObjectCache::find_instance(const void* address) const {
  std::lock_guard lock(mutex_);
  auto found = instances_.find(address);
  return found == instances_.end() ? nullptr : found->second.get();
}

Instance* ObjectCache::find_persistent(const PinnedTable* table, const std::string& oid) const {
  std::lock_guard lock(mutex_);
  for (const auto& [address, instance] : instances_) {
    if (instance->table == table && instance->oid == oid && !instance->deleted) return instance.get();
  }
  return nullptr;
}

Instance* ObjectCache::instance_by_nulls(const void* nulls) const {
  std::lock_guard lock(mutex_);
  auto found = by_nulls_.find(nulls);
  return found == by_nulls_.end() ? nullptr : found->second;
}

void ObjectCache::free_instance(const void* address) {
  std::unique_ptr<Instance> doomed;
  {
    std::lock_guard lock(mutex_);
    auto found = instances_.find(address);
    if (found == instances_.end()) return;
    doomed = std::move(found->second);
    instances_.erase(found);
    by_nulls_.erase(doomed->nulls.get());
    freed_nulls_[freed_nulls_next_++ % freed_nulls_.size()] = doomed->nulls.get();
  }
  if (doomed->coll != nullptr) {
    release_value(doomed->coll);
  } else {
    release_slots(*doomed->type, doomed->bytes());
  }
}

namespace {

template <class T, class Map>
T* make_in(std::recursive_mutex& mutex, Map& map) {
  auto made = std::make_unique<T>();
  T* raw = made.get();
  std::lock_guard lock(mutex);
  map.emplace(raw, std::move(made));
  return raw;
}

template <class Map>
auto find_in(std::recursive_mutex& mutex, const Map& map, const void* p) -> decltype(map.begin()->second.get()) {
  std::lock_guard lock(mutex);
  auto found = map.find(p);
  return found == map.end() ? nullptr : found->second.get();
}

}  // namespace

ClientString* ObjectCache::new_string() { return make_in<ClientString>(mutex_, strings_); }
ClientString* ObjectCache::find_string(const void* p) const { return find_in(mutex_, strings_, p); }
ClientString* ObjectCache::new_raw() { return make_in<ClientString>(mutex_, raws_); }
ClientString* ObjectCache::find_raw(const void* p) const { return find_in(mutex_, raws_, p); }
ClientRef* ObjectCache::new_ref() { return make_in<ClientRef>(mutex_, refs_); }
ClientRef* ObjectCache::find_ref(const void* p) const { return find_in(mutex_, refs_, p); }
ClientColl* ObjectCache::find_coll(const void* p) const { return find_in(mutex_, colls_, p); }
PinnedTable* ObjectCache::find_table(const void* p) const { return find_in(mutex_, tables_, p); }

ClientColl* ObjectCache::new_coll(const TypeDescriptor& type) {
  ClientColl* coll = make_in<ClientColl>(mutex_, colls_);
  coll->type = &type;
  return coll;
}

PinnedTable* ObjectCache::pin_table(const std::string& owner, const std::string& name, const TypeDescriptor* type) {
  std::lock_guard lock(mutex_);
  for (auto& [key, table] : tables_) {
    if (table->owner == owner && table->name == name) return table.get();
  }
  PinnedTable* table = make_in<PinnedTable>(mutex_, tables_);
  table->owner = owner;
  table->name = name;
  table->type = type;
  return table;
}

bool ObjectCache::is_null_structure(const void* p) const {
  std::lock_guard lock(mutex_);
  return by_nulls_.count(p) != 0 || std::find(freed_nulls_.begin(), freed_nulls_.end(), p) != freed_nulls_.end();
}

bool ObjectCache::free_value(const void* p) {
  if (p == nullptr) return false;
  std::lock_guard lock(mutex_);
  if (instances_.count(p)) {
    free_instance(p);
    return true;
  }
  if (!strings_.count(p) && !raws_.count(p) && !refs_.count(p) && !colls_.count(p) && !tables_.count(p)) return false;
  release_value(const_cast<void*>(p));
  return true;
}

void ObjectCache::release_value(void* p) {
  if (p == nullptr) return;
  std::unique_ptr<ClientColl> coll;
  {
    std::lock_guard lock(mutex_);
    strings_.erase(p);
    raws_.erase(p);
    refs_.erase(p);
    tables_.erase(p);
    auto found = colls_.find(p);
    if (found != colls_.end()) {
      coll = std::move(found->second);
      colls_.erase(found);
    }
  }
  if (coll != nullptr) trim_elements(*coll, 0);
}

void ObjectCache::fill_slots(const TypeDescriptor& type, char* base) {
  for (const SlotLayout& slot : type.slots) {
    if (slot.kind != SlotLayout::Kind::Pointer) continue;
    void* value = nullptr;
    if (slot.attribute->is_ref) {
      value = new_ref();
    } else if (slot.named && slot.named->info.is_collection()) {
      value = new_coll(*slot.named);
    } else if (slot.attribute->builtin) {
      const int code = slot.attribute->builtin->type_code;
      if (code == 1 || code == 96 || code == 8) value = new_string();
      if (code == 23 || code == 24) value = new_raw();
      if (is_lob_code(code)) value = new_locator(env_, *slot.attribute->builtin);
    }
    std::memcpy(base + slot.value_offset, &value, sizeof value);
  }
}

void ObjectCache::release_slots(const TypeDescriptor& type, char* base) {
  if (type.info.is_collection()) {
    // A collection's element slot: the value sits at base itself.
    const sql::TypeAttribute& element = type.info.attributes.at(0);
    if (element.builtin && builtin_kind(element.builtin->type_code) != SlotLayout::Kind::Pointer) return;
    void* value = nullptr;
    std::memcpy(&value, base, sizeof value);
    if (element.builtin && element.builtin->type_code >= 112 && element.builtin->type_code <= 114) {
      destroy_locator(env_, value);
    } else if (DateTimeDescriptor* datetime = live_datetime(value)) {
      env_->destroy(datetime);
    } else {
      release_value(value);
    }
    return;
  }
  for (const SlotLayout& slot : type.slots) {
    if (slot.kind != SlotLayout::Kind::Pointer) continue;
    void* value = nullptr;
    std::memcpy(&value, base + slot.value_offset, sizeof value);
    if (value == nullptr) continue;
    if (slot.named && !slot.attribute->is_ref && !slot.named->info.is_collection()) {
      free_instance(value);  // non-final and opaque attributes point to instances of their own
    } else if (LobLocator* locator = live_locator(value)) {
      env_->destroy(locator);
    } else if (DateTimeDescriptor* datetime = live_datetime(value)) {
      env_->destroy(datetime);
    } else {
      release_value(value);
    }
  }
}

ObjectCache* object_cache(const void* env_handle) {
  auto* env = live<Environment>(env_handle);
  if (env == nullptr) return nullptr;
  std::call_once(env->objects_once, [env] { env->objects = std::make_unique<ObjectCache>(env); });
  return env->objects.get();
}

sqlite3* service_database(const OCISvcCtx* svchp) {
  auto* svc = live<ServiceContext>(svchp);
  if (svc == nullptr) fail(kNotConnected);
  return svc->live_session().connection->db();
}

}  // namespace ociemu

namespace ociemu {
namespace {

bool inline_builtin(const sql::TypeAttribute& attribute) {
  return attribute.builtin && builtin_kind(attribute.builtin->type_code) != SlotLayout::Kind::Pointer;
}

}  // namespace

void ObjectCache::copy_slots_into(const TypeDescriptor& type, const char* from, char* to) {
  for (const SlotLayout& slot : type.slots) {
    const size_t size = slot_size(slot.kind, sizeof(void*));
    if (slot.kind != SlotLayout::Kind::Pointer) {
      std::memcpy(to + slot.value_offset, from + slot.value_offset, size);
      continue;
    }
    void* source = nullptr;
    std::memcpy(&source, from + slot.value_offset, sizeof source);
    void* target = nullptr;
    std::memcpy(&target, to + slot.value_offset, sizeof target);
    copy_value(source, target);
  }
}

void ObjectCache::copy_value(const void* source, void* target) {
  if (source == nullptr || target == nullptr) return;
  if (const ClientString* s = find_string(source); s && find_string(target)) find_string(target)->bytes = s->bytes;
  if (const ClientString* r = find_raw(source); r && find_raw(target)) find_raw(target)->bytes = r->bytes;
  if (const ClientRef* ref = find_ref(source); ref && find_ref(target)) *find_ref(target) = *ref;
  if (const LobLocator* locator = live_locator(source)) {
    if (LobLocator* into = live_locator(target)) into->copy_from(*locator);
  }
  if (const ClientColl* coll = find_coll(source); coll && find_coll(target)) {
    ClientColl& into = *find_coll(target);
    trim_elements(into, 0);
    for (size_t i = 0; i < coll->elements.size(); ++i) append_element(into, element_argument(*coll, i), coll->indicators[i]);
    into.keys = coll->keys;
  }
}

void ObjectCache::assign_slot(const SlotLayout& slot, char* at, const void* value) {
  if (value == nullptr) return;
  if (slot.kind == SlotLayout::Kind::Embedded) {
    const Instance* source = find_instance(value);
    if (source == nullptr) fail(21710);
    copy_slots_into(*slot.named, source->bytes(), at);
    return;
  }
  if (slot.kind != SlotLayout::Kind::Pointer) {
    std::memcpy(at, value, slot_size(slot.kind, sizeof(void*)));
    return;
  }
  void* target = nullptr;
  std::memcpy(&target, at, sizeof target);
  copy_value(value, target);
}

const void* ObjectCache::element_argument(const ClientColl& coll, size_t index) const {
  const sql::TypeAttribute& element = coll.type->info.attributes.at(0);
  if (coll.type->element != nullptr || inline_builtin(element)) return coll.elements[index];
  void* value = nullptr;
  std::memcpy(&value, coll.elements[index], sizeof value);
  return value;
}

Instance& ObjectCache::copy_instance(const Instance& source) {
  Instance& copy = new_instance(*source.type, source.table);
  copy_onto(source, copy, true);
  return copy;
}

void ObjectCache::copy_onto(const Instance& source, Instance& target, bool keep_refs) {
  // A collection copied onto itself would be emptied before it is read.
  if (&source == &target) return;
  std::memcpy(target.nulls.get(), source.nulls.get(), source.type->null_count * sizeof(OCIInd));
  if (source.coll != nullptr) {
    copy_value(source.coll, target.coll);
  } else {
    copy_slots_into(*source.type, source.bytes(), target.bytes());
  }
  if (!keep_refs) null_refs(target);
}

void ObjectCache::null_refs(Instance& instance) {
  if (instance.coll != nullptr) {
    for (size_t i = 0; i < instance.coll->elements.size(); ++i) {
      if (ClientRef* ref = find_ref(element_argument(*instance.coll, i))) *ref = ClientRef{};
    }
    return;
  }
  for (const SlotLayout& slot : instance.type->slots) {
    if (slot.kind != SlotLayout::Kind::Pointer) continue;
    void* value = nullptr;
    std::memcpy(&value, instance.bytes() + slot.value_offset, sizeof value);
    ClientRef* ref = find_ref(value);
    if (ref == nullptr) continue;
    *ref = ClientRef{};
    instance.nulls[slot.indicator_offset / sizeof(OCIInd)] = OCI_IND_NULL;
  }
}

void ObjectCache::append_element(ClientColl& coll, const void* elem, const void* elemind) {
  const TypeDescriptor& type = *coll.type;
  const sql::TypeAttribute& element = type.info.attributes.at(0);
  if (type.element != nullptr && !type.element->by_pointer()) {
    const Instance* source = find_instance(elem);
    if (source == nullptr) fail(21710);
    Instance& copy = copy_instance(*source);
    if (elemind != nullptr) std::memcpy(copy.nulls.get(), elemind, type.element->null_count * sizeof(OCIInd));
    coll.elements.push_back(copy.address());
    coll.indicators.push_back(copy.nulls.get());
  } else {
    const SlotLayout::Kind kind = element.builtin ? builtin_kind(element.builtin->type_code) : SlotLayout::Kind::Pointer;
    const size_t size = slot_size(kind, sizeof(void*));
    void* slot = ::operator new(size);
    std::memset(slot, 0, size);
    if (kind != SlotLayout::Kind::Pointer) {
      if (elem != nullptr) std::memcpy(slot, elem, size);
    } else {
      void* value = nullptr;
      const int code = element.builtin ? element.builtin->type_code : 0;
      if (element.is_ref) {
        value = new_ref();
      } else if (code == 23 || code == 24) {
        value = new_raw();
      } else if (code == 1 || code == 96 || code == 8) {
        value = new_string();
      } else if (is_lob_code(code)) {
        value = new_locator(env_, *element.builtin);
      }
      copy_value(elem, value);
      std::memcpy(slot, &value, sizeof value);
    }
    coll.elements.push_back(slot);
    auto indicator = std::make_unique<OCIInd>(elemind ? *static_cast<const OCIInd*>(elemind) : kIndicatorNotNull);
    coll.indicators.push_back(indicator.get());
    coll.scalar_indicators.push_back(std::move(indicator));
  }
  coll.deleted.push_back(false);
}

void ObjectCache::trim_elements(ClientColl& coll, size_t keep) {
  while (coll.elements.size() > keep) {
    void* last = coll.elements.back();
    if (coll.type->element != nullptr && !coll.type->element->by_pointer()) {
      free_instance(last);
    } else {
      release_slots(*coll.type, static_cast<char*>(last));
      ::operator delete(last);
      coll.scalar_indicators.pop_back();
    }
    coll.elements.pop_back();
    coll.indicators.pop_back();
    coll.deleted.pop_back();
  }
  if (coll.keys.size() > keep) coll.keys.resize(keep);
}

namespace {

// Moves the element at `from` to `to`, the elements between shifting by one.
void move_element(ClientColl& coll, size_t from, size_t to) {
  auto move = [from, to](auto& items) {
    const auto first = items.begin() + static_cast<std::ptrdiff_t>(std::min(from, to));
    const auto last = items.begin() + static_cast<std::ptrdiff_t>(std::max(from, to)) + 1;
    if (from < to) {
      std::rotate(first, first + 1, last);
    } else {
      std::rotate(first, last - 1, last);
    }
  };
  move(coll.elements);
  move(coll.indicators);
  move(coll.deleted);
  // Scalar elements own their indicators in step with the elements; object elements own none.
  if (coll.scalar_indicators.size() == coll.elements.size()) move(coll.scalar_indicators);
}

}  // namespace

void ObjectCache::assign_keyed(ClientColl& coll, sb4 index, const void* elem, const void* elemind) {
  const auto at = static_cast<size_t>(std::lower_bound(coll.keys.begin(), coll.keys.end(), index) - coll.keys.begin());
  const bool replaces = at < coll.keys.size() && coll.keys[at] == index;
  append_element(coll, elem, elemind);
  move_element(coll, coll.elements.size() - 1, at);
  coll.keys.insert(coll.keys.begin() + static_cast<std::ptrdiff_t>(at), index);
  if (replaces) erase_keyed(coll, at + 1);  // the old element, now after the new one
}

void ObjectCache::erase_keyed(ClientColl& coll, size_t position) {
  move_element(coll, position, coll.elements.size() - 1);
  std::vector<sb4> keys = std::move(coll.keys);
  trim_elements(coll, coll.elements.size() - 1);
  keys.erase(keys.begin() + static_cast<std::ptrdiff_t>(position));
  coll.keys = std::move(keys);
}

}  // namespace ociemu
