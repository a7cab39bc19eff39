// The client object cache of one environment: type descriptors (OCIType), the
// instances and null structures of object types laid out in client memory,
// and the opaque values their slots point to (OCIString, OCIRaw, OCIRef,
// OCIColl). The application holds raw pointers into it; every entry checks a
// pointer against the cache before it touches what it names.
#pragma once

#include <cstddef>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "ociemu/api/oci.h"
#include "ociemu/sql/types.h"

struct sqlite3;

namespace ociemu {

struct Environment;
struct TypeDescriptor;

// Where one attribute of a flattened type lives, by the layout rule: value offset
// in the instance and indicator offset in the null structure, both in bytes.
struct SlotLayout {
  enum class Kind : uint8_t { Number, Date, Boolean, Embedded, Pointer };
  std::string path;  // dotted for attributes of embedded objects (ADDRESS.CITY)
  Kind kind = Kind::Pointer;
  size_t value_offset = 0;
  size_t indicator_offset = 0;
  const sql::TypeAttribute* attribute = nullptr;  // in the owning type's TypeInfo
  const TypeDescriptor* named = nullptr;          // the attribute's type when named (not REFs)
};

// Value size of a slot kind with pointers of pointer_size bytes.
size_t slot_size(SlotLayout::Kind kind, size_t pointer_size);

// OCIType: a type with its attributes resolved and its layout computed.
// Thread-safe: immutable once built.
struct TypeDescriptor {
  sql::TypeInfo info;
  std::vector<SlotLayout> slots;  // flattened, in catalogue order
  size_t instance_size = 0;       // bytes of an instance
  size_t null_count = 1;          // 16-bit indicators, the object's own first
  const TypeDescriptor* element = nullptr;  // collections: the element's type when named

  uint16_t typecode() const;  // OCI_TYPECODE_OBJECT, _NAMEDCOLLECTION or _OPAQUE
  std::string qualified() const { return info.qualified(); }
  // The name the cache knows it by under its owner: NAME, or PACKAGE.NAME for a package's type.
  std::string cache_name() const { return info.package.empty() ? info.name : info.package + "." + info.name; }
  // True when an attribute of this type is reached through a pointer (rule 5).
  bool by_pointer() const { return info.is_collection() || !info.is_final || info.kind == sql::TypeKind::Opaque; }
};

// Lays out `type`'s flattened attributes with pointers of pointer_size bytes.
// `lookup` gives the descriptor of a named attribute type (nullptr for REFs).
struct LayoutResult {
  std::vector<SlotLayout> slots;
  size_t instance_size = 0;
  size_t null_count = 1;
};
LayoutResult lay_out(const sql::TypeInfo& type, size_t pointer_size,
                     const std::function<const TypeDescriptor*(const sql::TypeAttribute&)>& lookup);

// OCIString / OCIRaw: a length and the bytes, NUL-terminated for OCIStringPtr.
struct ClientString {
  std::string bytes;
};

// OCIRef: null, a type's REF, or an object table row's REF.
struct ClientRef {
  enum class Kind : uint8_t { Null, Type, Object };
  Kind kind = Kind::Null;
  std::string owner, name;  // Type: the type; Object: the object table
  std::string oid;          // Object: the row's object identifier (32 hex digits)
  const TypeDescriptor* type = nullptr;  // Type: the descriptor it pins
  const void* session = nullptr;         // Object: the Session handle it came through, which pins use
};

// OCIColl: elements laid out like slots of their type, each with its indicator.
struct ClientColl {
  const TypeDescriptor* type = nullptr;  // the collection type
  std::vector<void*> elements;           // value addresses (instances for object elements)
  std::vector<OCIInd*> indicators;       // per element (the null structure for objects)
  std::vector<std::unique_ptr<OCIInd>> scalar_indicators;  // owned indicators of built-in elements
  std::vector<bool> deleted;             // nested tables: OCITableDelete leaves holes
  std::vector<sb4> keys;                 // index-by tables: each element's index, ascending

  bool keyed() const { return type->info.kind == sql::TypeKind::IndexTable; }
  // The position of the live element at `index` (a key of an index-by table, else a position), or none.
  std::optional<size_t> position(sb4 index) const;
};

// A pinned object table (OCIObjectPinTable).
struct PinnedTable {
  std::string owner, name;
  const TypeDescriptor* type = nullptr;
};

// An instance of an object type (or a collection value made by OCIObjectNew).
struct Instance {
  const TypeDescriptor* type = nullptr;
  std::unique_ptr<std::max_align_t[]> value;  // instance_size bytes, aligned for pointers
  std::unique_ptr<OCIInd[]> nulls;            // null_count indicators
  const PinnedTable* table = nullptr;         // persistent objects: their table
  std::string oid;                            // persistent objects: their row
  const void* session = nullptr;              // objects pinned by REF: the Session handle they came through
  ClientColl* coll = nullptr;                 // collection types: the instance is the collection
  std::string document;                       // SYS.XMLTYPE: the XML text
  bool is_new = false, dirty = false, deleted = false;
  int pins = 0;

  void* address() const { return coll ? static_cast<void*>(coll) : static_cast<void*>(value.get()); }
  char* bytes() const { return reinterpret_cast<char*>(value.get()); }
};

// Thread-safe: yes (one lock over the maps; what a pointer names is used by one thread at a time).
class ObjectCache {
 public:
  explicit ObjectCache(Environment* env) : env_(env) {}
  ~ObjectCache();
  ObjectCache(const ObjectCache&) = delete;
  ObjectCache& operator=(const ObjectCache&) = delete;

  // The descriptor of OWNER.NAME from the catalogue behind db, built on first use (ORA-04043 when unknown).
  const TypeDescriptor& type(sqlite3* db, const std::string& owner, const std::string& name);
  const TypeDescriptor* find_type(const void* tdo) const;

  // A new instance with every attribute null and its pointer slots filled with empty values.
  Instance& new_instance(const TypeDescriptor& type, const PinnedTable* table);
  Instance* find_instance(const void* address) const;
  // The instance pinned for row `oid` of `table`, or nullptr.
  Instance* find_persistent(const PinnedTable* table, const std::string& oid) const;
  // The instance whose null structure starts at nulls, or nullptr.
  Instance* instance_by_nulls(const void* nulls) const;
  void free_instance(const void* address);

  ClientString* new_string();
  ClientString* find_string(const void* p) const;
  ClientString* new_raw();
  ClientString* find_raw(const void* p) const;
  ClientRef* new_ref();
  ClientRef* find_ref(const void* p) const;
  ClientColl* new_coll(const TypeDescriptor& type);
  ClientColl* find_coll(const void* p) const;
  PinnedTable* pin_table(const std::string& owner, const std::string& name, const TypeDescriptor* type);
  PinnedTable* find_table(const void* p) const;
  // Frees any one cache value (string, raw, REF, collection, instance); false when p is none.
  bool free_value(const void* p);
  // True when p is the null structure of a live instance or of one freed lately: clients free
  // null structures after their objects, which the instance's own release already covers.
  bool is_null_structure(const void* p) const;

  // Frees what a slot of `type` at `base` owns (strings, REFs, collections, locators...).
  void release_slots(const TypeDescriptor& type, char* base);
  // Fills the pointer slots of a fresh instance of `type` at `base`.
  void fill_slots(const TypeDescriptor& type, char* base);
  // A deep copy of an instance (strings, raws, REFs and collections copied; LOB and
  // datetime slots left empty), with its null structure.
  Instance& copy_instance(const Instance& source);
  // The same copy onto target, another instance of source's type; without keep_refs the
  // target's REFs are made null instead of copied.
  void copy_onto(const Instance& source, Instance& target, bool keep_refs);
  // Appends a copy of a collection element given as the client passes it: a pointer
  // to an inline value (NUMBER, DATE), the value pointer itself (strings, raws,
  // REFs) or an instance (objects).
  void append_element(ClientColl& coll, const void* elem, const void* elemind);
  // Frees the elements past the first `keep`.
  void trim_elements(ClientColl& coll, size_t keep);
  // Index-by tables: sets the element at key `index` (a new one where there is none) and frees
  // the one at a key.
  void assign_keyed(ClientColl& coll, sb4 index, const void* elem, const void* elemind);
  void erase_keyed(ClientColl& coll, size_t position);
  // Copies a value given as OCIObjectSetAttr takes it (as for append_element) into slot at `at`.
  void assign_slot(const SlotLayout& slot, char* at, const void* value);

  Environment* env() const { return env_; }

 private:
  void release_value(void* p);
  void copy_slots_into(const TypeDescriptor& type, const char* from, char* to);
  void copy_value(const void* source, void* target);
  void null_refs(Instance& instance);
  // What append_element takes for element `index` of coll.
  const void* element_argument(const ClientColl& coll, size_t index) const;

  Environment* env_;
  mutable std::recursive_mutex mutex_;
  std::map<std::string, std::unique_ptr<TypeDescriptor>> types_;  // by OWNER.NAME
  std::unordered_map<const void*, const TypeDescriptor*> type_index_;
  std::unordered_map<const void*, std::unique_ptr<Instance>> instances_;  // by value address
  std::unordered_map<const void*, Instance*> by_nulls_;
  std::array<const void*, 64> freed_nulls_{};  // the null structures of the instances freed last, by address only
  size_t freed_nulls_next_ = 0;
  std::unordered_map<const void*, std::unique_ptr<ClientString>> strings_, raws_;
  std::unordered_map<const void*, std::unique_ptr<ClientRef>> refs_;
  std::unordered_map<const void*, std::unique_ptr<ClientColl>> colls_;
  std::unordered_map<const void*, std::unique_ptr<PinnedTable>> tables_;
};

// The cache of the environment behind env (created on first use); nullptr for a bad handle.
ObjectCache* object_cache(const void* env);

// The sqlite connection of a service context's live session (ORA-03114 and the like otherwise).
sqlite3* service_database(const OCISvcCtx* svchp);

}  // namespace ociemu
