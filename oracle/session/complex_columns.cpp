// The LOB and timestamp columns of a select and the binding of complex variables.
#include <memory>
#include <string>
#include <vector>

#include "oracle/binding/entry_tables.h"
#include "oracle/binding/oci_entries.h"
#include "oracle/session/complex_binds.h"
#include "oracle/session/field_data.h"
#include "oracle/session/lob_locator.h"
#include "oracle/session/oci_constants.h"
#include "oracle/session/oracle_reference.h"
#include "oracle/session/oracle_session.h"
#include "oracle/session/oracle_timestamp.h"
#include "runtime/date_text.h"
#include "oracle/session/variables.h"

namespace kvell {

namespace {

// One LOB descriptor per row of the fetch array, and one locator that
// presents the current row.
class LOBColumn : public TComplexColumn {
 public:
  LOBColumn(TOracleSession& session, TFieldData& field)
      : session_(session),
        field_(field),
        descriptor_type_(field.InternalType == otBFile ? OCI_DTYPE_FILE : OCI_DTYPE_LOB),
        object_(std::make_unique<TLOBLocator>(
            &session, field.InternalType == otCLOB && field.CharsetForm == SQLCS_NCHAR ? otNCLOB : field.InternalType)) {
    object_->SetName(field.Name);
  }

  ~LOBColumn() override {
    object_->Attach(nullptr, nullptr);
    for (OCILobLocator* locator : locators_) {
      if (locator) OCIDescriptorFree(locator, descriptor_type_);
    }
    if (error_) OCIHandleFree(error_, OCI_HTYPE_ERROR);
  }
  LOBColumn(const LOBColumn&) = delete;
  LOBColumn& operator=(const LOBColumn&) = delete;

  void Define(OCIStmt* statement, OCIError* error, ub4 position) override {
    session_.CheckWithoutErrorHandle(
        OCIHandleAlloc(session_.EnvironmentHandle(), reinterpret_cast<void**>(&error_), OCI_HTYPE_ERROR, 0, nullptr),
        "OCIHandleAlloc");
    locators_.assign(static_cast<size_t>(field_.Rows), nullptr);
    for (OCILobLocator*& locator : locators_) {
      session_.CheckWithoutErrorHandle(OCIDescriptorAlloc(session_.EnvironmentHandle(),
                                                          reinterpret_cast<void**>(&locator), descriptor_type_, 0,
                                                          nullptr),
                                       "OCIDescriptorAlloc");
    }
    session_.Check(OCIDefineByPos(statement, &field_.Define, error, position, locators_.data(),
                                  static_cast<sb4>(sizeof(OCILobLocator*)), static_cast<ub2>(field_.InternalType),
                                  field_.Indicators.data(), nullptr, nullptr, OCI_DEFAULT));
  }

  void LoadRow(int row) override {
    object_->Attach(&locators_.at(static_cast<size_t>(row)), &field_.Indicators.at(static_cast<size_t>(row)));
  }

  // Temporary LOBs the previous array received (from functions returning
  // LOBs) would otherwise live until the session ends.
  void BeforeFetch() override {
    object_->Attach(nullptr, nullptr);
    if (!OCI81Available || !error_) return;
    for (OCILobLocator* locator : locators_) {
      boolean temporary = 0;
      if (OCILobIsTemporary(session_.EnvironmentHandle(), error_, locator, &temporary) == OCI_SUCCESS && temporary) {
        OCILobFreeTemporary(session_.ServiceContext(), error_, locator);
      }
    }
  }

  bool IsNull(int row) const override { return field_.Indicators.at(static_cast<size_t>(row)) != 0; }

  Variant Value(int) const override {
    if (object_->Size() == 0) return null_value();
    if (field_.InternalType == otCLOB) return Variant(object_->AsString());
    return Variant::FromBytes(bytes());
  }

  std::string Text(int) const override {
    if (field_.InternalType == otCLOB) return object_->AsString();
    object_->Seek(0, soBeginning);
    std::string text(static_cast<size_t>(object_->Size()), '\0');
    text.resize(static_cast<size_t>(object_->Read(text.data(), static_cast<int64_t>(text.size()))));
    return text;
  }

  TComplexValue* ColumnObject() override { return object_.get(); }

 private:
  Variant null_value() const {
    return session_.NullValue == nvNull ? Null() : Unassigned();
  }
  std::vector<uint8_t> bytes() const {
    object_->Seek(0, soBeginning);
    std::vector<uint8_t> data(static_cast<size_t>(object_->Size()));
    data.resize(static_cast<size_t>(object_->Read(data.data(), static_cast<int64_t>(data.size()))));
    return data;
  }

  TOracleSession& session_;
  TFieldData& field_;
  ub4 descriptor_type_;
  std::vector<OCILobLocator*> locators_;  // owned descriptors, one per row
  OCIError* error_ = nullptr;             // owned; for freeing temporaries
  std::unique_ptr<TLOBLocator> object_;   // mutable state behind const reads
};

// One datetime descriptor per row, presented by one timestamp.
class TimestampColumn : public TComplexColumn {
 public:
  TimestampColumn(TOracleSession& session, TFieldData& field)
      : session_(session),
        field_(field),
        descriptor_type_(TimestampDescriptorType(field.InternalType)),
        object_(std::make_unique<TOracleTimestamp>(&session, field.InternalType)) {}

  ~TimestampColumn() override {
    object_->AttachDescriptor(nullptr, field_.InternalType, false, true);
    for (OCIDateTime* descriptor : descriptors_) {
      if (descriptor) OCIDescriptorFree(descriptor, descriptor_type_);
    }
  }
  TimestampColumn(const TimestampColumn&) = delete;
  TimestampColumn& operator=(const TimestampColumn&) = delete;

  void Define(OCIStmt* statement, OCIError* error, ub4 position) override {
    descriptors_.assign(static_cast<size_t>(field_.Rows), nullptr);
    for (OCIDateTime*& descriptor : descriptors_) {
      session_.CheckWithoutErrorHandle(OCIDescriptorAlloc(session_.EnvironmentHandle(),
                                                          reinterpret_cast<void**>(&descriptor), descriptor_type_, 0,
                                                          nullptr),
                                       "OCIDescriptorAlloc");
    }
    session_.Check(OCIDefineByPos(statement, &field_.Define, error, position, descriptors_.data(),
                                  static_cast<sb4>(sizeof(OCIDateTime*)), static_cast<ub2>(field_.InternalType),
                                  field_.Indicators.data(), nullptr, nullptr, OCI_DEFAULT));
  }

  void LoadRow(int row) override {
    object_->AttachDescriptor(descriptors_.at(static_cast<size_t>(row)), field_.InternalType, false, IsNull(row));
  }
  void BeforeFetch() override {}
  bool IsNull(int row) const override { return field_.Indicators.at(static_cast<size_t>(row)) != 0; }
  Variant Value(int) const override { return Variant::FromDateTime(object_->AsDateTime()); }
  std::string Text(int) const override { return FormatDateTime("ddddd tt", object_->AsDateTime()); }
  TComplexValue* ColumnObject() override { return object_.get(); }

 private:
  TOracleSession& session_;
  TFieldData& field_;
  ub4 descriptor_type_;
  std::vector<OCIDateTime*> descriptors_;     // owned, one per row
  std::unique_ptr<TOracleTimestamp> object_;  // mutable state behind const reads
};

// One statement handle per row for a CURSOR(select ...) column; the column reads as null.
class CursorColumn : public TComplexColumn {
 public:
  CursorColumn(TOracleSession& session, TFieldData& field) : session_(session), field_(field) {}

  ~CursorColumn() override {
    for (OCIStmt* handle : handles_) {
      if (handle) OCIHandleFree(handle, OCI_HTYPE_STMT);
    }
  }
  CursorColumn(const CursorColumn&) = delete;
  CursorColumn& operator=(const CursorColumn&) = delete;

  void Define(OCIStmt* statement, OCIError* error, ub4 position) override {
    handles_.assign(static_cast<size_t>(field_.Rows), nullptr);
    for (OCIStmt*& handle : handles_) {
      session_.CheckWithoutErrorHandle(
          OCIHandleAlloc(session_.EnvironmentHandle(), reinterpret_cast<void**>(&handle), OCI_HTYPE_STMT, 0, nullptr),
          "OCIHandleAlloc");
    }
    session_.Check(OCIDefineByPos(statement, &field_.Define, error, position, handles_.data(),
                                  static_cast<sb4>(sizeof(OCIStmt*)), static_cast<ub2>(field_.InternalType),
                                  field_.Indicators.data(), nullptr, nullptr, OCI_DEFAULT));
  }

  void LoadRow(int) override {}
  void BeforeFetch() override {}
  bool IsNull(int row) const override { return field_.Indicators.at(static_cast<size_t>(row)) == -1; }
  Variant Value(int) const override { return session_.NullValue == nvNull ? Null() : Unassigned(); }
  std::string Text(int) const override { throw Exception("Cannot convert field " + field_.Name + " to a String"); }
  TComplexValue* ColumnObject() override { return nullptr; }

 private:
  TOracleSession& session_;
  TFieldData& field_;
  std::vector<OCIStmt*> handles_;  // owned, one per row
};

ComplexBind bind_timestamp(TOracleSession& session, TVariableData& variable) {
  RequireNet9Session(&session, "A Timestamp variable");
  auto* timestamp = dynamic_cast<TOracleTimestamp*>(variable.Object());
  if (!timestamp) {
    auto made = std::make_unique<TOracleTimestamp>(&session, variable.Type());
    if (!variable.IsNull(0)) made->SetAsDateTime(variable.DateTimeValue());
    timestamp = made.get();
    variable.SetBindTimestamp(std::move(made));
  }
  variable.SetIndicator(0, static_cast<int16_t>(timestamp->IsNull() ? -1 : 0));
  ComplexBind bind;
  bind.Value = timestamp->DescriptorAddress();
  bind.Size = static_cast<sb4>(sizeof(OCIDateTime*));
  return bind;
}

}  // namespace

ComplexBind PrepareComplexBind(TOracleSession& session, TVariableData& variable) {
  if (IsTimestampVariableType(variable.Type())) return bind_timestamp(session, variable);
  if (variable.Type() == vartype::Object || variable.Type() == vartype::Reference) {
    return PrepareObjectBind(session, variable);
  }
  RequireOCI8Session(&session, "A LOB Locator variable");
  auto* locator = dynamic_cast<TLOBLocator*>(variable.Object());
  if (!locator) throw Exception("LOB variable " + variable.Name() + " cannot be nil");
  variable.SetIndicator(0, static_cast<int16_t>(locator->IsNull() ? -1 : 0));
  ComplexBind bind;
  bind.Value = locator->LocatorRef();
  bind.Size = static_cast<sb4>(sizeof(OCILobLocator*));
  bind.CharsetForm = locator->NCLOB() ? SQLCS_NCHAR : 0;
  return bind;
}

void RegisterBuiltInComplexColumns() {
  const ComplexColumnFactory lob = [](TOracleSession& session, TFieldData& field) -> std::unique_ptr<TComplexColumn> {
    return std::make_unique<LOBColumn>(session, field);
  };
  for (int type : {otCLOB, otBLOB, otBFile}) RegisterComplexColumn(type, lob);
  const ComplexColumnFactory timestamp = [](TOracleSession& session,
                                            TFieldData& field) -> std::unique_ptr<TComplexColumn> {
    return std::make_unique<TimestampColumn>(session, field);
  };
  for (int type : {otTimestamp, otTimestampTZ, otTimestampLTZ}) RegisterComplexColumn(type, timestamp);
  RegisterComplexColumn(vartype::Cursor, [](TOracleSession& session, TFieldData& field) -> std::unique_ptr<TComplexColumn> {
    return std::make_unique<CursorColumn>(session, field);
  });
  RegisterObjectColumns();
}

void ReconcileComplexBinds(TVariables& variables) {
  for (int i = 0; i < variables.Count(); ++i) {
    TVariableData& v = variables[i];
    if (!v.IsComplex() || v.IsPLSQLTable()) continue;
    if (auto* timestamp = dynamic_cast<TOracleTimestamp*>(v.BindTimestamp()); timestamp && !v.Object()) {
      // The client wrote the OUT value's indicator; the descriptor holds the rest.
      timestamp->SetReceivedNull(v.IsNull(0));
      v.SetDateTimeValue(v.IsNull(0) ? 0 : timestamp->AsDateTime());
      v.SetBindTimestamp(nullptr);
      continue;
    }
    if (!v.IsNull(0)) continue;
    // A null OUT value may leave the previous value in the locator or REF;
    // the holder reads null from its own state, so the indicator can say
    // "attached" again.
    if (auto* locator = dynamic_cast<TLOBLocator*>(v.Object())) {
      locator->Clear();
      v.SetIndicator(0, 0);
    } else if (ReconcileNullReference(v.Object())) {
      v.SetIndicator(0, 0);
    }
  }
}

}  // namespace kvell
