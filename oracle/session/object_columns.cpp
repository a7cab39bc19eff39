// Object and reference columns of a select, and the binding of object and
// reference variables.
#include <memory>
#include <string>
#include <vector>

#include "oracle/binding/oci_entries.h"
#include "oracle/session/complex_binds.h"
#include "oracle/session/field_data.h"
#include "oracle/session/oci_constants.h"
#include "oracle/session/oracle_object.h"
#include "oracle/session/oracle_reference.h"
#include "oracle/session/oracle_session.h"
#include "oracle/session/variables.h"
#include "runtime/exception.h"

namespace kvell {

namespace {


Variant null_value(const TOracleSession& session) { return session.NullValue == nvNull ? Null() : Unassigned(); }

// Per row the instance and null structure the client allocates on fetch, and
// one object that presents the current row. The previous array's instances
// are freed before each further fetch.
class ObjectColumn : public TComplexColumn {
 public:
  ObjectColumn(TOracleSession& session, TFieldData& field) : session_(session), field_(field) {
    if (field.TypeName == kXMLTypeName) {
      object_ = std::make_unique<TXMLType>(TOracleObject::ChildTag{}, &session, field.TypeName);
    } else {
      object_ = std::make_unique<TOracleObject>(TOracleObject::ChildTag{}, &session, field.TypeName);
    }
    object_->SetName(field.Name);
    if (field.TypeRef) {
      object_->PinType(field.TypeRef);
    } else {
      PinnedType pinned = PinTypeByName(session, object_->Error(), field.TypeName,
                                        [this](sword status) { object_->Check(status); });
      object_->PinType(pinned.TypeRef);
      pinned.Release(session.EnvironmentHandle(), object_->Error());
    }
  }

  ~ObjectColumn() override {
    free_instances();
    object_.reset();
  }
  ObjectColumn(const ObjectColumn&) = delete;
  ObjectColumn& operator=(const ObjectColumn&) = delete;

  void Define(OCIStmt* statement, OCIError* error, ub4 position) override {
    instances_.assign(static_cast<size_t>(field_.Rows), nullptr);
    indicators_.assign(static_cast<size_t>(field_.Rows), nullptr);
    session_.Check(OCIDefineByPos(statement, &field_.Define, error, position, instances_.data(),
                                  static_cast<sb4>(sizeof(void*)), static_cast<ub2>(otObject),
                                  field_.Indicators.data(), nullptr, nullptr, OCI_DEFAULT));
    session_.Check(OCIDefineObject(field_.Define, error, object_->TDO(), instances_.data(), nullptr,
                                   indicators_.data(), nullptr));
  }

  void LoadRow(int row) override {
    const auto index = static_cast<size_t>(row);
    if (!instances_.at(index)) {
      OCIEnv* env = session_.EnvironmentHandle();
      object_->Check(OCIObjectNew(env, object_->Error(), session_.ServiceContext(), object_->TypeCode(),
                                  object_->TDO(), nullptr, OCI_DURATION_SESSION, 1, &instances_[index]));
      object_->Check(OCIObjectGetInd(env, object_->Error(), instances_[index], &indicators_[index]));
      if (indicators_[index]) *static_cast<OCIInd*>(indicators_[index]) = -1;
    }
    object_->AttachInstance(instances_[index], static_cast<OCIInd*>(indicators_[index]));
  }

  void BeforeFetch() override { free_instances(); }

  bool IsNull(int row) const override {
    const void* indicator = indicators_.at(static_cast<size_t>(row));
    return !indicator || *static_cast<const OCIInd*>(indicator) != 0;
  }

  Variant Value(int) const override {
    if (dynamic_cast<TXMLType*>(object_.get())) return Variant(object_->XMLText());
    return null_value(session_);
  }

  std::string Text(int) const override {
    if (dynamic_cast<TXMLType*>(object_.get())) return object_->XMLText();
    throw Exception("Cannot convert field " + field_.Name + " to a String");
  }

  TComplexValue* ColumnObject() override { return object_.get(); }

 private:
  void free_instances() {
    if (object_) object_->AttachInstance(nullptr, nullptr);
    for (size_t i = 0; i < instances_.size(); ++i) {
      if (instances_[i] && session_.Connected()) {
        OCIObjectFree(session_.EnvironmentHandle(), object_->Error(), instances_[i], 0);
      }
      instances_[i] = nullptr;
      indicators_[i] = nullptr;
    }
  }

  TOracleSession& session_;
  TFieldData& field_;
  std::vector<void*> instances_;   // owned once fetched, one per row
  std::vector<void*> indicators_;  // inside the instances
  std::unique_ptr<TOracleObject> object_;  // mutable state behind const reads
};

// Per row the REF the client fetches into, presented by one reference.
class ReferenceColumn : public TComplexColumn {
 public:
  ReferenceColumn(TOracleSession& session, TFieldData& field)
      : session_(session), field_(field), object_(std::make_unique<TOracleReference>(&session, field.Name)) {}

  ~ReferenceColumn() override { free_refs(); }
  ReferenceColumn(const ReferenceColumn&) = delete;
  ReferenceColumn& operator=(const ReferenceColumn&) = delete;

  void Define(OCIStmt* statement, OCIError* error, ub4 position) override {
    error_ = error;
    refs_.assign(static_cast<size_t>(field_.Rows), nullptr);
    session_.Check(OCIDefineByPos(statement, &field_.Define, error, position, refs_.data(),
                                  static_cast<sb4>(sizeof(OCIRef*)), static_cast<ub2>(otReference),
                                  field_.Indicators.data(), nullptr, nullptr, OCI_DEFAULT));
    session_.Check(OCIDefineObject(field_.Define, error, nullptr, reinterpret_cast<void**>(refs_.data()), nullptr,
                                   nullptr, nullptr));
  }

  void LoadRow(int row) override {
    const auto index = static_cast<size_t>(row);
    if (!refs_.at(index)) {
      session_.Check(OCIObjectNew(session_.EnvironmentHandle(), error_, session_.ServiceContext(),
                                  static_cast<OCITypeCode>(otReference), nullptr, nullptr, OCI_DURATION_SESSION, 1,
                                  reinterpret_cast<void**>(&refs_[index])));
    }
    sb2* indicator = &field_.Indicators.at(index);
    object_->Attach(&refs_[index], indicator);
    if (*indicator != 0) object_->Clear();
  }

  void BeforeFetch() override { free_refs(); }
  bool IsNull(int row) const override { return field_.Indicators.at(static_cast<size_t>(row)) != 0; }
  Variant Value(int) const override { return Variant(object_->AsHex()); }
  std::string Text(int) const override { return object_->AsHex(); }
  TComplexValue* ColumnObject() override { return object_.get(); }

 private:
  // REFs the client made for the previous array; freed so that a client
  // that allocates on every fetch leaks none.
  void free_refs() {
    object_->Attach(nullptr, nullptr);
    for (OCIRef*& ref : refs_) {
      if (ref && session_.Connected()) OCIObjectFree(session_.EnvironmentHandle(), error_, ref, 0);
      ref = nullptr;
    }
  }

  TOracleSession& session_;
  TFieldData& field_;
  OCIError* error_ = nullptr;  // the query's; for the per-row REFs
  std::vector<OCIRef*> refs_;  // owned, one per row
  std::unique_ptr<TOracleReference> object_;
};

}  // namespace

ComplexBind PrepareObjectBind(TOracleSession& session, TVariableData& variable) {
  ComplexBind bind;
  bind.Size = static_cast<sb4>(sizeof(void*));
  bind.BindObject = true;
  if (variable.Type() == otObject) {
    RequireOCI8Session(&session, "An object variable");
    auto* object = dynamic_cast<TOracleObject*>(variable.Object());
    if (!object) throw Exception("Object variable " + variable.Name() + " cannot be nil");
    bind.Value = object->InstanceAddress();
    bind.ObjectType = object->TDO();
    bind.Instance = object->InstanceAddress();
    bind.NullStruct = object->NullStructAddress();
    return bind;
  }
  RequireOCI8Session(&session, "A reference variable");
  auto* reference = dynamic_cast<TOracleReference*>(variable.Object());
  if (!reference) throw Exception("Reference variable " + variable.Name() + " cannot be nil");
  variable.SetIndicator(0, static_cast<int16_t>(reference->IsNull() ? -1 : 0));
  bind.Value = reference->RefRef();
  bind.ObjectType = reference->TDO();
  bind.Instance = reinterpret_cast<void**>(reference->RefRef());
  return bind;
}

void RegisterObjectColumns() {
  RegisterComplexColumn(otObject, [](TOracleSession& session, TFieldData& field) -> std::unique_ptr<TComplexColumn> {
    return std::make_unique<ObjectColumn>(session, field);
  });
  RegisterComplexColumn(otReference,
                        [](TOracleSession& session, TFieldData& field) -> std::unique_ptr<TComplexColumn> {
                          return std::make_unique<ReferenceColumn>(session, field);
                        });
}

}  // namespace kvell
