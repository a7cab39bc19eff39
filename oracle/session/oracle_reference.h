// TOracleReference: one REF value of a named object type, for reference
// columns, bind variables and REF attributes of objects.
// Thread-safe: no; used from one thread at a time. Joining and leaving the
// session's list of references is thread-safe.
#pragma once

#include <string>

#include "oracle/binding/oci_types.h"
#include "oracle/session/activity_monitor.h"
#include "oracle/session/complex_value.h"
#include "oracle/session/lob_locator.h"
#include "oracle/session/oracle_object.h"
#include "oracle/session/session_client.h"

namespace kvell {

class TOracleSession;

// One REF value of a named object type (see the file comment).
class TOracleReference : public TComplexValue, public TSessionClient {
 public:
  // The type is pinned through `type_ref` when given, else described by
  // `type_name`; with neither the REF is untyped.
  TOracleReference(TOracleSession* session, std::string name = {}, int owner_id = 0, std::string type_name = {},
                   const OCIRef* type_ref = nullptr);
  ~TOracleReference() override;
  TOracleReference(const TOracleReference&) = delete;
  TOracleReference& operator=(const TOracleReference&) = delete;

  bool IsNull() const;
  void Clear();
  // The REF's hexadecimal text.
  std::string AsHex() const;

  const std::string& TypeName() const { return type_name_; }
  OCIType* TDO() const { return type_.TDO; }
  // The REF in use: the own one, or a query buffer's or object attribute's slot.
  OCIRef** RefRef() const { return ref_ref_; }
  // A query or object points the reference at its slot and indicator.
  void Attach(OCIRef** slot, sb2* indicator);
  void SetOwner(TAttributeOwner* owner, std::string attribute_name);
  TOracleSession* Session() const { return session_; }
  // The identity reported to the activity monitor; the name defaults to
  // "OracleReference" followed by the id.
  const std::string& Name() const { return monitor_.Name; }
  int Id() const { return monitor_.Id; }
  int OwnerId() const { return monitor_.OwnerId; }

  // TComplexValue
  ComplexKind Kind() const override { return ComplexKind::Reference; }
  std::string ClassName() const override { return "TOracleReference"; }
  bool IsNullValue() const override { return IsNull(); }

  // TSessionClient
  void SessionDestroyed() override { session_ = nullptr; }
  std::string ClientName() const override { return monitor_.Name; }

 private:
  void check(sword status) const;
  void create(const OCIRef* type_ref);
  void destroy();

  TOracleSession* session_;     // not owned
  OCIError* error_ = nullptr;   // owned
  OCIRef* ref_ = nullptr;       // owned REF object
  OCIRef** ref_ref_;            // never null: &ref_ or an outside slot
  PinnedType type_;             // owned pin and REF
  std::string type_name_;
  TAttributeOwner* owner_ = nullptr;  // not owned
  std::string attribute_name_;
  sb2* null_indicator_ = nullptr;     // not owned
  TMonitorData monitor_;
};

// After an OUT bind: a reference that received a null is cleared; false
// when `object` is no reference.
bool ReconcileNullReference(TComplexValue* object);

}  // namespace kvell
