// Describing object types: OCIDescribeAny by name, REF or type descriptor, and
// the parameter descriptors it hands out (the type, its attribute list, each
// attribute and a collection's element).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ociemu/api/handles.h"
#include "ociemu/api/object_cache.h"

namespace ociemu {

// The external data type the client reports for a built-in type's internal
// code: datetimes and intervals differ, every other code is the same.
ub2 builtin_data_type(int internal);

// Thread-safe: no; a describe handle and its parameters are used by one thread at a time.
struct TypeParam final : Handle {
  enum class Role : uint8_t { Type, AttributeList, Attribute, Element };
  TypeParam(Environment* env, Role param_role, const TypeDescriptor* described)
      : Handle(OCI_DTYPE_PARAM, env), role(param_role), type(described) {}
  ~TypeParam() override;

  Role role;
  const TypeDescriptor* type;                  // Type, AttributeList: the type; Attribute/Element: the owner
  const sql::TypeAttribute* attribute = nullptr;  // Attribute, Element
  const TypeDescriptor* named = nullptr;       // the attribute's type when named
  std::vector<std::unique_ptr<TypeParam>> children;  // the list's attributes, the type's list and element
  ClientRef* ref = nullptr;                    // OCI_ATTR_REF_TDO, made on first read
  std::string schema, name;                    // texts handed out by pointer
};

// The describe handle: OCIDescribeAny leaves its top parameter here.
struct DescribeHandle : Handle {
  static constexpr uint32_t kType = OCI_HTYPE_DESCRIBE;
  explicit DescribeHandle(Environment* env) : Handle(kType, env) {}
  std::unique_ptr<TypeParam> top;
};

// The type a client names by its dotted parts: [OWNER.]TYPE, then [OWNER.]PACKAGE.TYPE for a
// type a package's head declares (ORA-04043 when none matches).
const TypeDescriptor& named_type(ObjectCache& cache, sqlite3* db, const sql::SessionContext& session,
                                 const std::vector<std::string>& parts);

// The type parameter at p, or nullptr (a select-list parameter, or none).
TypeParam* live_type_param(const void* p);
// `handle` (of type OCI_DTYPE_PARAM, or nullptr) as a type parameter, or nullptr for a select-list one.
TypeParam* as_type_param(Handle* handle);

// OCIAttrGet on a type parameter and on a describe handle.
sword get_type_param_attribute(TypeParam& param, void* attributep, ub4* sizep, ub4 attribute);
sword get_describe_attribute(DescribeHandle& describe, void* attributep, ub4* sizep, ub4 attribute);
struct Param;

// OCI_ATTR_REF_TDO of a select-list parameter: the REF of an object column's type (ORA-24315 for others).
sword get_column_type_ref(Param& param, void* attributep, ub4* sizep);
// OCIParamGet on a type parameter: the pos-th (1-based) attribute of a list.
sword get_type_param(TypeParam& list, void** parmdpp, ub4 pos);

}  // namespace ociemu
