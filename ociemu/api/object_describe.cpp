#include "ociemu/api/object_describe.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <typeinfo>

#include "ociemu/api/entry.h"
#include "ociemu/api/nls.h"
#include "ociemu/api/object_codes.h"
#include "ociemu/api/session.h"
#include "ociemu/api/test_hooks.h"
#include "ociemu/plsql/package_types.h"
#include "ociemu/sql/programs.h"

namespace ociemu {
namespace {

constexpr int kObjectNotFound = 4043;
constexpr int kIllegalAttribute = 24315;
constexpr int kNoDescriptorAtPosition = 24334;

template <class T>
sword put(void* attributep, ub4* sizep, T value) {
  if (attributep == nullptr) fail(kIllegalAttribute);
  std::memcpy(attributep, &value, sizeof value);
  if (sizep) *sizep = sizeof value;
  return OCI_SUCCESS;
}

sword put_empty_text(void* attributep, ub4* sizep) {
  if (attributep == nullptr) fail(kIllegalAttribute);
  *static_cast<const OraText**>(attributep) = reinterpret_cast<const OraText*>("");
  if (sizep) *sizep = 0;
  return OCI_SUCCESS;
}

sword put_text(void* attributep, ub4* sizep, const std::string& text) {
  if (attributep == nullptr) fail(kIllegalAttribute);
  *static_cast<const OraText**>(attributep) = reinterpret_cast<const OraText*>(text.c_str());
  if (sizep) *sizep = static_cast<ub4>(text.size());
  return OCI_SUCCESS;
}

ub2 builtin_typecode(int internal) {
  switch (internal) {
    case 1: return kTypecodeVarchar2;
    case 23: return kTypecodeRaw;
    default: return builtin_data_type(internal);
  }
}

ub2 collection_typecode(sql::TypeKind kind) {
  switch (kind) {
    case sql::TypeKind::Varray: return kTypecodeVarray;
    case sql::TypeKind::IndexTable: return kTypecodeIndexTable;
    default: return kTypecodeTable;
  }
}

// The external type of a named attribute: a REF, a package's record, or an object or collection.
ub2 named_data_type(const sql::TypeAttribute& attribute, const TypeDescriptor* named) {
  if (attribute.is_ref) return SQLT_REF;
  return named && named->typecode() == kTypecodeRecord ? SQLT_REC : SQLT_NTY;
}

ub2 named_typecode(const sql::TypeAttribute& attribute, const TypeDescriptor* named) {
  if (attribute.is_ref) return kTypecodeRef;
  return named ? named->typecode() : kTypecodeObject;
}

std::unique_ptr<TypeParam> attribute_param(Environment* env, ObjectCache& cache, sqlite3* db, TypeParam::Role role,
                                           const TypeDescriptor& owner, const sql::TypeAttribute& attribute) {
  auto param = std::make_unique<TypeParam>(env, role, &owner);
  param->attribute = &attribute;
  if (attribute.is_named()) {
    param->named = &cache.type(db, attribute.type_owner, attribute.type_name);
    param->schema = param->named->info.owner;
    param->name = param->named->info.name;
  } else if (attribute.builtin) {
    param->name = attribute.builtin->type_name;
  }
  return param;
}

std::unique_ptr<TypeParam> type_param(Environment* env, ObjectCache& cache, sqlite3* db, const TypeDescriptor& type) {
  auto top = std::make_unique<TypeParam>(env, TypeParam::Role::Type, &type);
  top->schema = type.info.owner;
  top->name = type.info.name;
  auto list = std::make_unique<TypeParam>(env, TypeParam::Role::AttributeList, &type);
  if (type.info.is_collection()) {
    top->children.push_back(
        attribute_param(env, cache, db, TypeParam::Role::Element, type, type.info.attributes.at(0)));
  } else {
    for (const sql::TypeAttribute& attribute : type.info.attributes) {
      list->children.push_back(attribute_param(env, cache, db, TypeParam::Role::Attribute, type, attribute));
    }
  }
  top->children.insert(top->children.begin(), std::move(list));
  return top;
}

// The dotted parts of a name; quoted parts keep their case and dots, the others are upper-cased.
std::vector<std::string> split_name(std::string_view text) {
  std::vector<std::string> parts(1);
  bool quoted = false;
  for (char c : text) {
    if (c == '"') {
      quoted = !quoted;
    } else if (c == '.' && !quoted) {
      parts.emplace_back();
    } else {
      parts.back() += quoted ? c : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
  }
  return parts;
}

std::string joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : ".") + part;
  return text;
}

ClientRef* type_ref(ObjectCache& cache, TypeParam& param, const TypeDescriptor& type) {
  if (param.ref == nullptr) {
    param.ref = cache.new_ref();
    param.ref->kind = ClientRef::Kind::Type;
    param.ref->owner = type.info.owner;
    param.ref->name = type.cache_name();
    param.ref->type = &type;
  }
  return param.ref;
}

sword get_type_attribute(TypeParam& p, ObjectCache& cache, void* attributep, ub4* sizep, ub4 attribute) {
  const TypeDescriptor& type = *p.type;
  switch (attribute) {
    case kAttrParamType: return put<ub1>(attributep, sizep, kParamType);
    case OCI_ATTR_SCHEMA_NAME: return put_text(attributep, sizep, p.schema);
    case OCI_ATTR_NAME:
    case OCI_ATTR_TYPE_NAME: return put_text(attributep, sizep, p.name);
    case kAttrPackageName: return put_text(attributep, sizep, type.info.package);
    case kAttrRefTdo: return put<void*>(attributep, sizep, type_ref(cache, p, type));
    case kAttrTypecode: return put<ub2>(attributep, sizep, type.typecode());
    case kAttrCollectionTypecode:
      if (!type.info.is_collection()) fail(kIllegalAttribute);
      return put<ub2>(attributep, sizep, collection_typecode(type.info.kind));
    case kAttrCollectionElement:
      if (!type.info.is_collection()) fail(kIllegalAttribute);
      return put<void*>(attributep, sizep, p.children.at(1).get());
    case kAttrNumTypeAttrs:
      return put<ub2>(attributep, sizep, static_cast<ub2>(p.children.at(0)->children.size()));
    case kAttrListTypeAttrs: return put<void*>(attributep, sizep, p.children.at(0).get());
    case kAttrIsFinalType: return put<ub1>(attributep, sizep, type.info.is_final ? 1 : 0);
    case kAttrIsInstantiableType: return put<ub1>(attributep, sizep, 1);
    case kAttrIsPredefinedType: return put<ub1>(attributep, sizep, type.info.kind == sql::TypeKind::Opaque ? 1 : 0);
    case kAttrHasNestedTable: {
      bool nested = false;
      for (const auto& child : p.children.at(0)->children) nested |= child->named && child->named->info.kind == sql::TypeKind::Table;
      return put<ub1>(attributep, sizep, nested ? 1 : 0);
    }
    case kAttrObjectId: return put<ub4>(attributep, sizep, static_cast<ub4>(type.info.object_id));
    default: fail(kIllegalAttribute);
  }
}

sword get_attr_attribute(TypeParam& p, ObjectCache& cache, void* attributep, ub4* sizep, ub4 attribute) {
  const sql::TypeAttribute& a = *p.attribute;
  const sql::OracleType plain;
  const sql::OracleType& builtin = a.builtin ? *a.builtin : plain;
  const bool named = a.is_named();
  switch (attribute) {
    case kAttrParamType:
      return put<ub1>(attributep, sizep, p.role == TypeParam::Role::Element ? kParamTypeColl : kParamTypeAttr);
    case OCI_ATTR_NAME: return put_text(attributep, sizep, a.name);
    case OCI_ATTR_TYPE_NAME: return put_text(attributep, sizep, p.name);
    case OCI_ATTR_SCHEMA_NAME: return put_text(attributep, sizep, p.schema);
    case kAttrPackageName:
      return p.named ? put_text(attributep, sizep, p.named->info.package) : put_empty_text(attributep, sizep);
    case OCI_ATTR_DATA_TYPE:
      return put<ub2>(attributep, sizep, named ? named_data_type(a, p.named) : builtin_data_type(builtin.type_code));
    case OCI_ATTR_DATA_SIZE: return put<ub2>(attributep, sizep, static_cast<ub2>(named ? 0 : builtin.data_size));
    // Describes of schema objects give the precision in one byte.
    case OCI_ATTR_PRECISION: return put<ub1>(attributep, sizep, static_cast<ub1>(named ? 0 : builtin.precision));
    case OCI_ATTR_SCALE: return put<sb1>(attributep, sizep, static_cast<sb1>(named ? 0 : builtin.scale));
    case kAttrFsPrecision: return put<ub1>(attributep, sizep, static_cast<ub1>(named ? 0 : std::max(builtin.scale, 0)));
    case kAttrTypecode:
      return put<ub2>(attributep, sizep, named ? named_typecode(a, p.named) : builtin_typecode(builtin.type_code));
    case kAttrRefTdo:
      if (p.named == nullptr) return put<void*>(attributep, sizep, nullptr);
      return put<void*>(attributep, sizep, type_ref(cache, p, *p.named));
    case kAttrNumElems: return put<ub4>(attributep, sizep, static_cast<ub4>(p.type->info.upper_bound));
    case OCI_ATTR_CHARSET_FORM: return put<ub1>(attributep, sizep, static_cast<ub1>(builtin.charset_form));
    case OCI_ATTR_CHAR_USED: return put<ub1>(attributep, sizep, 0);
    case OCI_ATTR_CHAR_SIZE: return put<ub2>(attributep, sizep, static_cast<ub2>(named ? 0 : builtin.char_size));
    case OCI_ATTR_CHARSET_ID:
      return put<ub2>(attributep, sizep, builtin.charset_form == 2 ? kNationalCharsetId : kDatabaseCharsetId);
    default: fail(kIllegalAttribute);
  }
}

}  // namespace

const TypeDescriptor& named_type(ObjectCache& cache, sqlite3* db, const sql::SessionContext& session,
                                 const std::vector<std::string>& parts) {
  if (parts.size() <= 2) {
    const std::string owner = parts.size() == 2 ? parts[0] : std::string();
    std::optional<sql::TypeInfo> found = sql::resolve_type(db, session, owner, parts.back());
    if (found) return cache.type(db, found->owner, found->name);
  }
  // PACKAGE.TYPE in the session's schema, or OWNER.PACKAGE.TYPE
  if (parts.size() == 2 || parts.size() == 3) {
    const std::string owner = parts.size() == 3 ? parts[0] : sql::session_schema(session);
    const std::string package = parts[parts.size() - 2];
    if (plsql::find_package_type(db, owner, package, parts.back())) return cache.type(db, owner, package + "." + parts.back());
  }
  fail(kObjectNotFound, {joined(parts)});
}

ub2 builtin_data_type(int internal) {
  switch (internal) {
    case 180: return SQLT_TIMESTAMP;
    case 181: return SQLT_TIMESTAMP_TZ;
    case 231: return SQLT_TIMESTAMP_LTZ;
    case 182: return 189;
    case 183: return 190;
    default: return static_cast<ub2>(internal);
  }
}

TypeParam::~TypeParam() {
  if (ref != nullptr) object_cache(env())->free_value(ref);
}

Param::~Param() {
  if (type_ref != nullptr) object_cache(env())->free_value(type_ref);
}

sword get_column_type_ref(Param& param, void* attributep, ub4* sizep) {
  const sql::OracleType& type = param.column.type;
  const size_t dot = type.type_name.find('.');
  if (type.type_code != sql::kObjectColumnType || dot == std::string::npos) fail(kIllegalAttribute);
  if (param.type_ref == nullptr) {
    ObjectCache& cache = *object_cache(param.env());
    const TypeDescriptor& described = cache.type(param.db, type.type_name.substr(0, dot), type.type_name.substr(dot + 1));
    param.type_ref = cache.new_ref();
    param.type_ref->kind = ClientRef::Kind::Type;
    param.type_ref->owner = described.info.owner;
    param.type_ref->name = described.cache_name();
    param.type_ref->type = &described;
  }
  return put<void*>(attributep, sizep, param.type_ref);
}

// Both kinds of parameter share a handle type; TypeParam is final, so the exact type
// tells them apart for a fraction of a dynamic_cast.
TypeParam* as_type_param(Handle* handle) {
  return handle && typeid(*handle) == typeid(TypeParam) ? static_cast<TypeParam*>(handle) : nullptr;
}

TypeParam* live_type_param(const void* p) { return as_type_param(find_live(p, OCI_DTYPE_PARAM)); }

sword get_type_param_attribute(TypeParam& param, void* attributep, ub4* sizep, ub4 attribute) {
  ObjectCache* cache = object_cache(param.env());
  switch (param.role) {
    case TypeParam::Role::Type: return get_type_attribute(param, *cache, attributep, sizep, attribute);
    case TypeParam::Role::AttributeList:
      if (attribute == kAttrParamType) return put<ub1>(attributep, sizep, kParamList);
      if (attribute == kAttrListType) return put<ub2>(attributep, sizep, kListTypeAttrs);
      if (attribute == kAttrNumParams) return put<ub2>(attributep, sizep, static_cast<ub2>(param.children.size()));
      fail(kIllegalAttribute);
    default: return get_attr_attribute(param, *cache, attributep, sizep, attribute);
  }
}

sword get_describe_attribute(DescribeHandle& describe, void* attributep, ub4* sizep, ub4 attribute) {
  if (attribute != OCI_ATTR_PARAM || describe.top == nullptr) fail(kIllegalAttribute);
  return put<void*>(attributep, sizep, describe.top.get());
}

sword get_type_param(TypeParam& list, void** parmdpp, ub4 pos) {
  if (list.role != TypeParam::Role::AttributeList || pos == 0 || pos > list.children.size()) {
    fail(kNoDescriptorAtPosition);
  }
  *parmdpp = list.children[pos - 1].get();
  return OCI_SUCCESS;
}

}  // namespace ociemu

using namespace ociemu;

extern "C" {

sword OCIDescribeAny(OCISvcCtx* svchp, OCIError* errhp, void* objptr, ub4 objnm_len, ub1 objptr_typ, ub1,
                     ub1 objtyp, OCIDescribe* dschp) {
  OCIEMU_ERRORS(errhp);
  auto* describe = live<DescribeHandle>(dschp);
  if (describe == nullptr || live<ServiceContext>(svchp) == nullptr) return OCI_INVALID_HANDLE;
  return guarded("OCIDescribeAny", errors, [&]() -> sword {
    SessionCallLock call(svchp);
    if (objptr == nullptr) fail(21560, {"objptr"});
    if (objtyp != 0 && objtyp != kParamType) fail(3001);
    sqlite3* db = service_database(svchp);
    ObjectCache& cache = *object_cache(describe->env());
    const TypeDescriptor* type = nullptr;
    if (objptr_typ == kObjectPointerName) {
      const std::vector<std::string> parts = split_name(std::string_view(static_cast<const char*>(objptr), objnm_len));
      type = &named_type(cache, db, live<ServiceContext>(svchp)->live_session().context, parts);
    } else if (objptr_typ == kObjectPointerRef) {
      ClientRef* ref = cache.find_ref(objptr);
      if (ref == nullptr || ref->kind != ClientRef::Kind::Type) fail(21560, {"objptr"});
      type = &cache.type(db, ref->owner, ref->name);
    } else if (objptr_typ == kObjectPointerTdo) {
      type = cache.find_type(objptr);
      if (type == nullptr) fail(21560, {"objptr"});
    } else {
      fail(21560, {"objptr_typ"});
    }
    describe->top = type_param(describe->env(), cache, db, *type);
    return OCI_SUCCESS;
  });
}

}  // extern "C"

extern "C" {

int ociemu_type_layout(void* svchp, const char* type_name, unsigned pointer_size, ociemu_attribute_layout* out,
                       int capacity) {
  auto* svc = live<ServiceContext>(svchp);
  if (svc == nullptr || type_name == nullptr || (pointer_size != 4 && pointer_size != 8)) return -1;
  try {
    SessionCallLock call(svchp);
    sqlite3* db = service_database(static_cast<OCISvcCtx*>(svchp));
    ObjectCache& cache = *object_cache(svc->env());
    const TypeDescriptor& type = named_type(cache, db, svc->live_session().context, split_name(type_name));
    LayoutResult layout = lay_out(type.info, pointer_size, [&](const sql::TypeAttribute& attribute) {
      return &cache.type(db, attribute.type_owner, attribute.type_name);
    });
    for (size_t i = 0; i < layout.slots.size() && static_cast<int>(i) < capacity; ++i) {
      std::snprintf(out[i].name, sizeof out[i].name, "%s", layout.slots[i].path.c_str());
      out[i].value_offset = layout.slots[i].value_offset;
      out[i].indicator_offset = layout.slots[i].indicator_offset;
    }
    return static_cast<int>(layout.slots.size());
  } catch (...) {
    return -1;
  }
}

}  // extern "C"
