#include "oracle/session/oracle_object.h"

#include <atomic>

#include "oracle/binding/oci_entries.h"
#include "oracle/session/object_layout.h"
#include "oracle/session/oci_constants.h"
#include "oracle/session/oracle_error.h"
#include "oracle/session/oracle_query.h"
#include "oracle/session/oracle_session.h"
#include "oracle/session/session_preferences.h"
#include "runtime/ansi_case.h"
#include "runtime/exception.h"

namespace kvell {

namespace {

constexpr const char* kFeature = "A TOracleObject instance";
constexpr size_t kMaxAttributeName = 30;

constexpr const char* kXMLBlock =
    "declare\n"
    "  kvell_object sys.xmltype;\n"
    "  xmldata clob;\n"
    "begin\n"
    "  kvell_object := :kvell_object;\n"
    "  xmldata := kvell_object.getclobval();\n"
    "  sys.dbms_lob.trim(:xmldata, 0);\n"
    "  sys.dbms_lob.append(:xmldata, xmldata);\n"
    "end;";

constexpr const char* kMonitorPrefix = "OracleObject";
std::atomic<int> next_object_id{1};

std::string attr_text(void* param, ub4 attribute, OCIError* error) {
  OraText* text = nullptr;
  ub4 length = 0;
  if (OCIAttrGet(param, OCI_DTYPE_PARAM, &text, &length, attribute, error) != OCI_SUCCESS || !text) return {};
  return std::string(reinterpret_cast<const char*>(text), length);
}

// Client codes that read as text: VARCHAR2, VARCHAR, CHAR.
bool is_text_code(int code) { return code == 1 || code == 9 || code == 96; }
bool is_timestamp_code(int code) { return code == 187 || code == 188 || code == 232; }
bool is_interval_code(int code) { return code == 189 || code == 190; }

}  // namespace

// ---- set-up and destruction

TOracleObject::TOracleObject(TOracleSession* session, const std::string& object_type, const std::string& table)
    : TOracleObject(session, object_type, table, 0, {}) {}

TOracleObject::TOracleObject(TOracleSession* session, const std::string& object_type, const std::string& table,
                             int owner_id, std::string name)
    : session_(session), object_type_(object_type),
      monitor_(NewMonitorData(next_object_id, kMonitorPrefix, owner_id, std::move(name))) {
  const auto report = [&] { return "Object.Create('" + object_type + "', '" + table + "')"; };
  Monitored(monitor_, report, [&] {
    RequireOCI8Session(session, kFeature);
    base_setup();
    try {
      create(table);
    } catch (...) {
      destroy();
      throw;
    }
  });
}

TOracleObject::TOracleObject(ChildTag, TOracleSession* session, std::string object_type)
    : session_(session), object_type_(std::move(object_type)), monitor_(NewMonitorData(next_object_id, kMonitorPrefix)) {
  RequireOCI8Session(session, kFeature);
  owns_instance_ = false;
  base_setup();
}

TOracleObject::~TOracleObject() { destroy(); }

void TOracleObject::base_setup() {
  session_->AttachClient(skObject, this);
  try {
    if (!session_->Connected()) throw Exception(kObjectNotLoggedOn);
    Check(OCIHandleAlloc(environment(), reinterpret_cast<void**>(&error_), OCI_HTYPE_ERROR, 0, nullptr));
    Check(OCIHandleAlloc(environment(), reinterpret_cast<void**>(&describe_), OCI_HTYPE_DESCRIBE, 0, nullptr));
  } catch (...) {
    destroy();
    throw;
  }
}

void TOracleObject::create(const std::string& table) {
  if (object_type_.empty()) throw Exception(kObjectNoType);
  if (!table.empty()) {
    const std::string upper = AnsiUpperCase(table);
    const size_t dot = upper.find('.');
    const std::string schema = dot == std::string::npos ? std::string() : upper.substr(0, dot);
    const std::string name = dot == std::string::npos ? upper : upper.substr(dot + 1);
    Check(OCIObjectPinTable(environment(), error_, session_->ServiceContext(),
                            schema.empty() ? nullptr : reinterpret_cast<const oratext*>(schema.data()),
                            static_cast<ub4>(schema.size()), reinterpret_cast<const oratext*>(name.data()),
                            static_cast<ub4>(name.size()), nullptr, OCI_DURATION_SESSION, &table_));
  }
  type_ = PinTypeByName(*session_, error_, object_type_, [this](sword status) { Check(status); });
  type_code_ = session_->DescribeTypeCode(type_.TDO);
  Check(OCIObjectNew(environment(), error_, session_->ServiceContext(), type_code_, type_.TDO, table_,
                     OCI_DURATION_SESSION, table_ ? 0 : 1, &instance_));
  void* indicator = nullptr;
  if (OCIObjectGetInd(environment(), error_, instance_, &indicator) == OCI_SUCCESS && indicator) {
    null_struct_ = static_cast<OCIInd*>(indicator);
    *null_struct_ = -1;
  }
  build_catalogue();
}

void TOracleObject::destroy() {
  children_.clear();
  if (session_ && session_->Connected()) {
    OCIEnv* env = environment();
    if (owns_instance_ && instance_) {
      if (table_) {
        OCIObjectUnpin(env, error_, instance_);
      } else {
        OCIObjectFree(env, error_, instance_, 0);
      }
    }
    if (table_) OCIObjectFree(env, error_, table_, 0);
    type_.Release(env, error_);
  }
  instance_ = nullptr;
  table_ = nullptr;
  attributes_.clear();
  query_.reset();
  if (describe_) OCIHandleFree(describe_, OCI_HTYPE_DESCRIBE);
  if (error_) OCIHandleFree(error_, OCI_HTYPE_ERROR);
  describe_ = nullptr;
  error_ = nullptr;
  if (session_) session_->DetachClient(skObject, this);
  session_ = nullptr;
  MonitorLifeEnd(monitor_);
}

OCIEnv* TOracleObject::environment() const { return session_ ? session_->EnvironmentHandle() : nullptr; }

void TOracleObject::Check(sword status) const { CheckObjectCall(session_, error_, status); }

void TOracleObject::PinType(const OCIRef* type_ref) {
  type_.Release(environment(), error_);
  type_ = PinTypeByRef(*session_, error_, type_ref, [this](sword status) { Check(status); });
  type_code_ = session_->DescribeTypeCode(type_.TDO);
}

// ---- the catalogue

void TOracleObject::build_catalogue() {
  attributes_.clear();
  catalogue_type(type_.TDO, "", true);
  place_attributes();
  catalogued_ = true;
}

void TOracleObject::ensure_catalogue() {
  if (!catalogued_) build_catalogue();
}

void TOracleObject::catalogue_type(OCIType* tdo, const std::string& prefix, bool top_level) {
  DescribeHandle describe(environment());
  Check(OCIDescribeAny(session_->ServiceContext(), error_, tdo, 0, OCI_OTYPE_PTR, 0, OCI_PTYPE_TYPE,
                       describe.handle));
  void* param = nullptr;
  Check(OCIAttrGet(describe.handle, OCI_HTYPE_DESCRIBE, &param, nullptr, OCI_ATTR_PARAM, error_));
  if (top_level) {
    OCITypeCode code = 0;
    Check(OCIAttrGet(param, OCI_DTYPE_PARAM, &code, nullptr, OCI_ATTR_TYPECODE, error_));
    type_code_ = code;
    if (code == kCollectionTypeCode) {
      OCITypeCode collection_code = 0;
      Check(OCIAttrGet(param, OCI_DTYPE_PARAM, &collection_code, nullptr, OCI_ATTR_COLLECTION_TYPECODE, error_));
      void* element = nullptr;
      Check(OCIAttrGet(param, OCI_DTYPE_PARAM, &element, nullptr, OCI_ATTR_COLLECTION_ELEMENT, error_));
      add_attribute(element, prefix, true);
    }
  }
  ub2 count = 0;
  if (OCIAttrGet(param, OCI_DTYPE_PARAM, &count, nullptr, OCI_ATTR_NUM_TYPE_ATTRS, error_) != OCI_SUCCESS) return;
  void* list = nullptr;
  if (count > 0) Check(OCIAttrGet(param, OCI_DTYPE_PARAM, &list, nullptr, OCI_ATTR_LIST_TYPE_ATTRS, error_));
  for (ub4 i = 1; i <= count; ++i) {
    void* attribute = nullptr;
    Check(OCIParamGet(list, OCI_DTYPE_PARAM, error_, &attribute, i));
    add_attribute(attribute, prefix, false);
  }
}

void TOracleObject::add_attribute(void* param, const std::string& prefix, bool element) {
  auto owned = std::make_unique<TObjectAttribute>(this);
  TObjectAttribute& attribute = *owned;
  attributes_.push_back(std::move(owned));
  if (!element) attribute.Name = prefix + attr_text(param, OCI_ATTR_NAME, error_).substr(0, kMaxAttributeName);
  ub2 code = 0;
  Check(OCIAttrGet(param, OCI_DTYPE_PARAM, &code, nullptr, OCI_ATTR_DATA_TYPE, error_));
  ub2 size = 0;
  if (OCIAttrGet(param, OCI_DTYPE_PARAM, &size, nullptr, OCI_ATTR_DATA_SIZE, error_) == OCI_SUCCESS) {
    attribute.DataSize = size;
  }
  // The precision is one byte here and two on select lists; a zeroed wider
  // buffer reads either.
  ub2 precision = 0;
  sb1 scale = 0;
  int data_type = is_text_code(code) ? 5 : code;
  if (is_timestamp_code(code) || is_interval_code(code)) {
    OCIAttrGet(param, OCI_DTYPE_PARAM, &scale, nullptr, OCI_ATTR_SCALE, error_);
    attribute.Scale = scale;
    if (is_interval_code(code) || session_->Preferences().TimestampAsString()) {
      attribute.TimestampAsText = true;
      data_type = 5;
    }
  } else if (code == 2) {
    Check(OCIAttrGet(param, OCI_DTYPE_PARAM, &precision, nullptr, OCI_ATTR_PRECISION, error_));
    Check(OCIAttrGet(param, OCI_DTYPE_PARAM, &scale, nullptr, OCI_ATTR_SCALE, error_));
    attribute.Precision = precision;
    attribute.Scale = scale == -127 && precision == 0 ? 0 : scale;
    data_type = attribute.Scale > 0 || attribute.Precision > 9 || (attribute.Precision == 0 && attribute.Scale == 0)
                    ? 4
                    : 3;
  }
  attribute.DataType = data_type;
  if (code != otObject && code != otReference) return;
  attribute.TypeName = attr_text(param, OCI_ATTR_SCHEMA_NAME, error_) + "." + attr_text(param, OCI_ATTR_TYPE_NAME, error_);
  OCIRef* type_ref = nullptr;
  Check(OCIAttrGet(param, OCI_DTYPE_PARAM, &type_ref, nullptr, OCI_ATTR_REF_TDO, error_));
  Check(OCIObjectNew(environment(), error_, session_->ServiceContext(), static_cast<OCITypeCode>(otReference), nullptr,
                     nullptr, OCI_DURATION_SESSION, 1, reinterpret_cast<void**>(&attribute.TDORef)));
  Check(OCIRefAssign(environment(), error_, type_ref, &attribute.TDORef));
  if (code != otObject) return;
  PinnedType pinned = PinTypeByRef(*session_, error_, attribute.TDORef, [this](sword status) { Check(status); });
  try {
    DescribeHandle describe(environment());
    Check(OCIDescribeAny(session_->ServiceContext(), error_, pinned.TDO, 0, OCI_OTYPE_PTR, 0, OCI_PTYPE_TYPE,
                         describe.handle));
    void* type_param = nullptr;
    Check(OCIAttrGet(describe.handle, OCI_HTYPE_DESCRIBE, &type_param, nullptr, OCI_ATTR_PARAM, error_));
    ub1 final_type = 1;
    if (OCIAttrGet(type_param, OCI_DTYPE_PARAM, &final_type, nullptr, OCI_ATTR_IS_FINAL_TYPE, error_) == OCI_SUCCESS) {
      attribute.NotFinal = final_type == 0;
    }
    Check(OCIAttrGet(type_param, OCI_DTYPE_PARAM, &attribute.TypeCode, nullptr, OCI_ATTR_TYPECODE, error_));
    attribute.IsCollection = attribute.TypeCode == kCollectionTypeCode;
    // Only inline objects have their attributes in this instance.
    if (!attribute.ByPointer()) catalogue_type(pinned.TDO, attribute.Name + ".", false);
  } catch (...) {
    pinned.Release(environment(), error_);
    throw;
  }
  pinned.Release(environment(), error_);
}

// Offsets for the whole catalogue at once, embedded objects' attributes
// included; a child's values lie from its start in the root's instance,
// which fixes its alignment.
std::vector<LayoutSlot> TOracleObject::LayoutFor(int pointer_size) {
  ensure_catalogue();
  std::vector<LayoutInput> inputs;
  inputs.reserve(attributes_.size());
  for (const auto& attribute : attributes_) {
    inputs.push_back({attribute->DataType, attribute->DataType == otObject && !attribute->ByPointer()});
  }
  return ComputeObjectLayout(inputs, pointer_size, start_);
}

void TOracleObject::place_attributes() {
  catalogued_ = true;
  const std::vector<LayoutSlot> slots = LayoutFor(HostPointerSize());
  for (size_t i = 0; i < slots.size(); ++i) {
    attributes_[i]->ValueOffset = slots[i].ValueOffset - start_;
    attributes_[i]->IndicatorOffset = slots[i].IndicatorOffset;
  }
}

int TOracleObject::AttributeCount() {
  ensure_catalogue();
  return static_cast<int>(attributes_.size());
}

TObjectAttribute& TOracleObject::Attribute(int index) {
  ensure_catalogue();
  if (index < 0 || index >= static_cast<int>(attributes_.size())) {
    throw Exception("Attribute " + std::to_string(index) + " does not exist");
  }
  return *attributes_[static_cast<size_t>(index)];
}

TObjectAttribute* TOracleObject::FindAttribute(const std::string& name, bool must_exist) {
  ensure_catalogue();
  for (const auto& attribute : attributes_) {
    if (AnsiSameText(attribute->Name, name)) return attribute.get();
  }
  if (must_exist) throw Exception("Unknown attribute: " + name);
  return nullptr;
}

bool TOracleObject::IsCollection() {
  ensure_catalogue();
  return type_code_ == kCollectionTypeCode;
}

bool TOracleObject::IsNull() const { return null_struct_ ? *null_struct_ != 0 : instance_ == nullptr; }

// ---- children

TOracleObject& TOracleObject::ChildObject(const std::string& name) { return child(name); }

TXMLType* TOracleObject::XMLChild(const std::string& name) { return dynamic_cast<TXMLType*>(&child(name)); }

TOracleObject& TOracleObject::child(const std::string& name) {
  const std::string key = AnsiUpperCase(name);
  if (auto it = children_.find(key); it != children_.end()) return *it->second;
  TObjectAttribute& attribute = *FindAttribute(name, true);
  if (attribute.DataType != otObject) throw Exception("Attribute " + name + " is not an object");
  std::unique_ptr<TOracleObject> made;
  if (attribute.TypeName == kXMLTypeName) {
    made = std::make_unique<TXMLType>(ChildTag{}, session_, attribute.TypeName);
  } else {
    made = std::make_unique<TOracleObject>(ChildTag{}, session_, attribute.TypeName);
  }
  made->root_ = root_ ? root_ : this;
  made->parent_ = this;
  made->parent_attribute_ = &attribute;
  made->start_ = attribute.ByPointer() ? 0 : start_ + attribute.ValueOffset;
  made->follow_instance();
  made->type_ = PinTypeByRef(*session_, made->error_, attribute.TDORef, [&](sword status) { made->Check(status); });
  made->type_code_ = attribute.TypeCode;
  made->build_catalogue();
  TOracleObject& result = *made;
  children_.emplace(key, std::move(made));
  return result;
}

void TOracleObject::follow_instance() {
  if (parent_attribute_) {
    instance_ = parent_attribute_->ValueAddress();
    null_struct_ = parent_attribute_->IndicatorAddress();
  }
  for (auto& [key, made] : children_) made->follow_instance();
}

void TOracleObject::AttachInstance(void* instance, OCIInd* null_struct) {
  instance_ = instance;
  null_struct_ = null_struct;
  for (auto& [key, made] : children_) made->follow_instance();
}

// ---- changes

void TOracleObject::AttributeChanged(const std::string& path) {
  MarkUpdate(true);
  for (size_t dot = path.rfind('.'); dot != std::string::npos && dot > 0; dot = path.rfind('.', dot - 1)) {
    TObjectAttribute* holder = FindAttribute(path.substr(0, dot), false);
    if (OCIInd* indicator = holder ? holder->IndicatorAddress() : nullptr) *indicator = 0;
  }
  if (null_struct_) *null_struct_ = 0;
  // An inline child's own indicator lies in its parent's null structure,
  // and the parent is not null either once a part of it has a value.
  if (parent_ && parent_attribute_) parent_->AttributeChanged(parent_attribute_->Name);
}

void TOracleObject::MarkUpdate(bool on) {
  if (table_ && instance_ && session_) {
    Check(on ? OCIObjectMarkUpdate(environment(), error_, instance_) : OCIObjectUnmark(environment(), error_, instance_));
  }
  if (root_) root_->MarkUpdate(on);
}

// ---- XML

std::string TOracleObject::XMLText() {
  if (IsNull() || !session_) return {};
  std::unique_ptr<TLOBLocator> data(TLOBLocator::CreateTemporary(session_, otCLOB, true));
  data->SetName("XMLData");
  if (!query_) {
    query_ = std::make_unique<TOracleQuery>();
    query_->SetName("Query");
    query_->SetSession(session_);
  }
  query_->DeleteVariables();
  query_->DeclareVariable("kvell_object", otObject);
  query_->SetComplexVariable("kvell_object", this);
  query_->DeclareVariable("xmldata", otCLOB);
  query_->SetComplexVariable("xmldata", data.get());
  query_->SQL().SetText(kXMLBlock);
  try {
    query_->Execute();
  } catch (...) {
    query_->DeleteVariables();
    throw;
  }
  query_->CloseCursor();
  query_->DeleteVariables();
  return data->AsString();
}

}  // namespace kvell
