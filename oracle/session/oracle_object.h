// TOracleObject: one client-side instance of a named object type (or
// collection type), transient or in an object table, with the catalogue of
// its attributes (TObjectAttribute) laid out as the client lays out the
// instance, attribute values read as variants, embedded objects offered as
// cached child objects and SYS.XMLTYPE values as TXMLType children whose XML
// text can be read.
// Thread-safe: no; an instance is used from one thread at a time. Joining and
// leaving the session's list of objects is thread-safe.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "oracle/binding/oci_types.h"
#include "oracle/session/activity_monitor.h"
#include "oracle/session/complex_value.h"
#include "oracle/session/lob_locator.h"
#include "oracle/session/object_layout.h"
#include "oracle/session/session_client.h"
#include "runtime/variant.h"

namespace kvell {

class TOracleSession;
class TOracleQuery;
class TOracleObject;

constexpr int otObject = 108;
constexpr int otReference = 110;
constexpr OCITypeCode kCollectionTypeCode = 122;
constexpr const char* kXMLTypeName = "SYS.XMLTYPE";

constexpr const char* kObjectInvalidHandle = "TOracleObject: Invalid handle";
constexpr const char* kObjectNotLoggedOn = "Not logged on";
constexpr const char* kObjectNoType = "You must supply an object type";

// The pinned type descriptor of a named type and the REF through which it
// was pinned. Both stay pinned and allocated until Release.
struct PinnedType {
  OCIRef* TypeRef = nullptr;  // owned REF object
  OCIType* TDO = nullptr;     // pinned through TypeRef
  void Release(OCIEnv* env, OCIError* error);
};

// A describe handle of its own, freed on scope exit; none when allocation failed.
struct DescribeHandle {
  explicit DescribeHandle(OCIEnv* env);
  ~DescribeHandle();
  DescribeHandle(const DescribeHandle&) = delete;
  DescribeHandle& operator=(const DescribeHandle&) = delete;
  OCIDescribe* handle = nullptr;
};

// The status check of objects and references: -2 raises the invalid-handle
// message, -1 the Oracle error from `error`.
void CheckObjectCall(TOracleSession* session, OCIError* error, sword status);

// Describes a type by name (upper-cased) and pins its descriptor; shared by
// objects and references. Throws through `check` on the first failing status.
using StatusCheck = std::function<void(sword)>;
PinnedType PinTypeByName(TOracleSession& session, OCIError* error, const std::string& name, const StatusCheck& check);
// A copy of `type_ref` and the descriptor pinned through it.
PinnedType PinTypeByRef(TOracleSession& session, OCIError* error, const OCIRef* type_ref, const StatusCheck& check);

// The description of one attribute of an object type: name, type, size and where its value lies in an instance.
class TObjectAttribute {
 public:
  explicit TObjectAttribute(TOracleObject* owner) : owner_(owner) {}
  ~TObjectAttribute();
  TObjectAttribute(const TObjectAttribute&) = delete;
  TObjectAttribute& operator=(const TObjectAttribute&) = delete;

  std::string Name;      // dotted path below embedded objects (ADDRESS.CITY); empty for a collection element
  int DataType = 0;      // external type code
  std::string TypeName;  // SCHEMA.TYPE for object and REF attributes
  int DataSize = 0;
  int Precision = 0;
  int Scale = 0;         // the fractional precision for timestamps and intervals
  OCIRef* TDORef = nullptr;  // owned copy of the attribute type's REF (object and REF attributes)
  OCITypeCode TypeCode = 0;  // object attributes: 108, or 122 for a collection
  int ValueOffset = 0;       // bytes into the owner's instance
  int IndicatorOffset = 0;   // bytes into the owner's null structure
  bool TimestampAsText = false;
  bool NotFinal = false;
  bool IsCollection = false;

  TOracleObject* Owner() const { return owner_; }
  // Stored in the instance, or for collections, non-final types and
  // SYS.XMLTYPE the instance the slot points to; none without an instance.
  void* ValueAddress() const;
  OCIInd* IndicatorAddress() const;
  // Reached through the slot's pointer rather than stored inline.
  bool ByPointer() const;
  bool IsNull() const;
  Variant Value() const;

 private:
  Variant number_value(void* address) const;
  Variant lob_value(void* address) const;
  Variant timestamp_value(void* address) const;
  std::string string_value(void* address) const;

  TOracleObject* owner_;  // not owned
};

// An instance of an Oracle object type, with its attributes by name or index.
class TOracleObject : public TComplexValue, public TSessionClient, public TAttributeOwner {
 public:
  TOracleObject(TOracleSession* session, const std::string& object_type, const std::string& table = {});
  TOracleObject(TOracleSession* session, const std::string& object_type, const std::string& table, int owner_id,
                std::string name);
  ~TOracleObject() override;
  TOracleObject(const TOracleObject&) = delete;
  TOracleObject& operator=(const TOracleObject&) = delete;

  bool IsNull() const;
  int AttributeCount();
  TObjectAttribute& Attribute(int index);
  // Case-insensitive; absent: "Unknown attribute: " + name when it must exist, else null.
  TObjectAttribute* FindAttribute(const std::string& name, bool must_exist);
  TOracleObject& ChildObject(const std::string& name);
  // The same child as a TXMLType; none when the attribute is not SYS.XMLTYPE.
  class TXMLType* XMLChild(const std::string& name);
  bool IsCollection();
  // The catalogue's offsets for another pointer size (the instance uses the host's).
  std::vector<LayoutSlot> LayoutFor(int pointer_size);
  void AttributeChanged(const std::string& path) override;
  void MarkUpdate(bool on);
  // The XML text of a SYS.XMLTYPE value; empty when null.
  std::string XMLText();

  const std::string& ObjectType() const { return object_type_; }
  OCITypeCode TypeCode() const { return type_code_; }
  OCIType* TDO() const { return type_.TDO; }
  void* Instance() const { return instance_; }
  void** InstanceAddress() { return &instance_; }
  OCIInd* NullStruct() const { return null_struct_; }
  void** NullStructAddress() { return reinterpret_cast<void**>(&null_struct_); }
  TOracleSession* Session() const { return session_; }
  OCIError* Error() const { return error_; }
  // The identity reported to the activity monitor; the name defaults to
  // "OracleObject" followed by the id.
  const std::string& Name() const { return monitor_.Name; }
  void SetName(std::string name) { monitor_.Name = std::move(name); }
  int Id() const { return monitor_.Id; }
  int OwnerId() const { return monitor_.OwnerId; }

  // A column hands the object a fetched instance that it does not own; the
  // catalogue stays and cached children follow the new instance.
  void AttachInstance(void* instance, OCIInd* null_struct);
  // Pins the type through a REF (a column's described type) in place of any other.
  void PinType(const OCIRef* type_ref);
  // Throws the status-check messages for a client call made on the object's behalf.
  void Check(sword status) const;

  // TComplexValue
  ComplexKind Kind() const override { return ComplexKind::Object; }
  std::string ClassName() const override { return "TOracleObject"; }
  bool IsNullValue() const override { return IsNull(); }

  // TSessionClient
  void SessionDestroyed() override { session_ = nullptr; }
  std::string ClientName() const override { return monitor_.Name; }

  // The base set-up only (session list and handles), for child and column
  // objects whose instance and type come from elsewhere.
  struct ChildTag {};
  TOracleObject(ChildTag, TOracleSession* session, std::string object_type);

 protected:
  virtual void build_catalogue();

 private:
  void base_setup();
  void create(const std::string& table);
  void destroy();
  void ensure_catalogue();
  void catalogue_type(OCIType* tdo, const std::string& prefix, bool top_level);
  void add_attribute(void* param, const std::string& prefix, bool element);
  void place_attributes();
  TOracleObject& child(const std::string& name);
  void follow_instance();
  OCIEnv* environment() const;

  TOracleSession* session_;          // not owned
  OCIError* error_ = nullptr;        // owned
  OCIDescribe* describe_ = nullptr;  // owned
  void* instance_ = nullptr;         // owned when owns_instance_
  OCIInd* null_struct_ = nullptr;    // the instance's null structure, or none
  PinnedType type_;                  // owned pin and REF
  std::string object_type_;
  bool owns_instance_ = true;
  void* table_ = nullptr;            // pinned object table, or none (transient)
  std::map<std::string, std::unique_ptr<TOracleObject>> children_;  // by upper-cased attribute name
  std::vector<std::unique_ptr<TObjectAttribute>> attributes_;
  bool catalogued_ = false;
  OCITypeCode type_code_ = 0;
  int start_ = 0;                    // a child's value offset in the root instance, for alignment
  TOracleObject* root_ = nullptr;    // the outermost object for a child, else none
  TOracleObject* parent_ = nullptr;  // a child's parent
  const TObjectAttribute* parent_attribute_ = nullptr;  // a child's attribute in its parent
  std::unique_ptr<TOracleQuery> query_;  // internal query "Query" for the XML text
  TMonitorData monitor_;
};

// A SYS.XMLTYPE value: an object whose XMLText is the point.
class TXMLType : public TOracleObject {
 public:
  using TOracleObject::TOracleObject;
  std::string ClassName() const override { return "TXMLType"; }

 protected:
  // The opaque type has no attributes to list.
  void build_catalogue() override {}
};

}  // namespace kvell
