// Pinning type descriptors by name or REF, and the addresses and variant
// values of object attributes.
#include <cstring>
#include <memory>

#include "oracle/binding/oci_entries.h"
#include "oracle/session/oci_constants.h"
#include "oracle/session/oracle_date.h"
#include "oracle/session/oracle_error.h"
#include "oracle/session/oracle_object.h"
#include "oracle/session/oracle_session.h"
#include "oracle/session/oracle_timestamp.h"
#include "oracle/session/session_preferences.h"
#include "oracle/session/sql_scan.h"
#include "runtime/ansi_case.h"
#include "runtime/datetime.h"
#include "runtime/exception.h"

namespace kvell {

namespace {

constexpr ub4 kTimestampTextSize = 151;
constexpr int kNumberDigits = 38;
constexpr int kNumberTextSize = 2 * kNumberDigits + 8;

// The text of an OCINumber through a number format model.
std::string number_text(OCIError* error, const OCINumber* number, const std::string& format,
                        const TOracleObject& owner) {
  char buffer[kNumberTextSize] = {};
  ub4 size = sizeof buffer;
  owner.Check(OCINumberToText(error, number, reinterpret_cast<const oratext*>(format.data()),
                              static_cast<ub4>(format.size()), nullptr, 0, &size, reinterpret_cast<oratext*>(buffer)));
  return std::string(buffer, std::min<size_t>(size, sizeof buffer));
}

int digit_count(const std::string& text) {
  int digits = 0;
  for (char c : text) digits += c >= '0' && c <= '9';
  return digits;
}

std::string hex_text(const ub1* bytes, ub4 size) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(size_t{size} * 2);
  for (ub4 i = 0; i < size; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0xF];
  }
  return text;
}

}  // namespace

DescribeHandle::DescribeHandle(OCIEnv* env) {
  void* made = nullptr;
  if (OCIHandleAlloc(env, &made, OCI_HTYPE_DESCRIBE, 0, nullptr) == OCI_SUCCESS) handle = static_cast<OCIDescribe*>(made);
}

DescribeHandle::~DescribeHandle() {
  if (handle) OCIHandleFree(handle, OCI_HTYPE_DESCRIBE);
}

void CheckObjectCall(TOracleSession* session, OCIError* error, sword status) {
  if (status == OCI_INVALID_HANDLE) throw Exception(kObjectInvalidHandle);
  if (status != OCI_ERROR) return;
  OracleErrorSource source;
  source.Handle = error;
  RaiseOracleError(session, source, nullptr);
}

void PinnedType::Release(OCIEnv* env, OCIError* error) {
  if (TDO) OCIObjectUnpin(env, error, TDO);
  if (TypeRef) OCIObjectFree(env, error, TypeRef, 0);
  TDO = nullptr;
  TypeRef = nullptr;
}

PinnedType PinTypeByRef(TOracleSession& session, OCIError* error, const OCIRef* type_ref, const StatusCheck& check) {
  PinnedType pinned;
  OCIEnv* env = session.EnvironmentHandle();
  try {
    check(OCIObjectNew(env, error, session.ServiceContext(), static_cast<OCITypeCode>(otReference), nullptr, nullptr,
                       OCI_DURATION_SESSION, 1, reinterpret_cast<void**>(&pinned.TypeRef)));
    check(OCIRefAssign(env, error, type_ref, &pinned.TypeRef));
    check(OCIObjectPin(env, error, pinned.TypeRef, nullptr, OCI_PIN_ANY, OCI_DURATION_SESSION,
                       OCI_LOCK_NONE, reinterpret_cast<void**>(&pinned.TDO)));
  } catch (...) {
    pinned.Release(env, error);
    throw;
  }
  return pinned;
}

PinnedType PinTypeByName(TOracleSession& session, OCIError* error, const std::string& name, const StatusCheck& check) {
  DescribeHandle describe(session.EnvironmentHandle());
  std::string upper = AnsiUpperCase(name);
  check(OCIDescribeAny(session.ServiceContext(), error, upper.data(), static_cast<ub4>(upper.size()), OCI_OTYPE_NAME, 0,
                       OCI_PTYPE_TYPE, describe.handle));
  OCIParam* param = nullptr;
  check(OCIAttrGet(describe.handle, OCI_HTYPE_DESCRIBE, &param, nullptr, OCI_ATTR_PARAM, error));
  OCIRef* type_ref = nullptr;
  check(OCIAttrGet(param, OCI_DTYPE_PARAM, &type_ref, nullptr, OCI_ATTR_REF_TDO, error));
  return PinTypeByRef(session, error, type_ref, check);
}

// ---- TObjectAttribute

TObjectAttribute::~TObjectAttribute() {
  TOracleSession* session = owner_->Session();
  if (TDORef && session) OCIObjectFree(session->EnvironmentHandle(), owner_->Error(), TDORef, 0);
}

bool TObjectAttribute::ByPointer() const {
  return IsCollection || (DataType == otObject && (NotFinal || TypeName == kXMLTypeName));
}

void* TObjectAttribute::ValueAddress() const {
  if (!owner_->Instance()) return nullptr;
  void* slot = static_cast<char*>(owner_->Instance()) + ValueOffset;
  return ByPointer() ? *static_cast<void**>(slot) : slot;
}

OCIInd* TObjectAttribute::IndicatorAddress() const {
  if (DataType == otObject && NotFinal && owner_->Session()) {
    void* value = ValueAddress();
    void* indicator = nullptr;
    if (value && OCIObjectGetInd(owner_->Session()->EnvironmentHandle(), owner_->Error(), value, &indicator) ==
                     OCI_SUCCESS) {
      return static_cast<OCIInd*>(indicator);
    }
    return nullptr;
  }
  if (!owner_->NullStruct()) return nullptr;
  return reinterpret_cast<OCIInd*>(reinterpret_cast<char*>(owner_->NullStruct()) + IndicatorOffset);
}

bool TObjectAttribute::IsNull() const {
  const OCIInd* indicator = IndicatorAddress();
  return indicator ? *indicator != 0 : owner_->Instance() == nullptr;
}

Variant TObjectAttribute::Value() const {
  TOracleSession* session = owner_->Session();
  if (!session) throw Exception(kObjectNotLoggedOn);
  const Variant null_value = session->NullValue == nvNull ? Null() : Unassigned();
  if (IsNull()) return null_value;
  void* address = ValueAddress();
  if (!address) return null_value;
  switch (DataType) {
    case 3:
    case 4: return number_value(address);
    case 5: return Variant(string_value(address));
    case 12: {
      const auto* date = static_cast<const ub1*>(address);
      sb2 year = 0;
      std::memcpy(&year, date, sizeof year);
      const TDateTime day = EncodeDate(year, date[2], date[3]);
      const TDateTime time = EncodeTime(date[4], date[5], date[6], 0);
      return Variant::FromDateTime(day >= 0 ? day + time : day - time);
    }
    case 23: {
      const auto* raw = *static_cast<OCIRaw**>(address);
      if (!raw) return null_value;
      OCIEnv* env = session->EnvironmentHandle();
      return Variant(hex_text(OCIRawPtr(env, raw), OCIRawSize(env, raw)));
    }
    case otObject:
    case otReference: return null_value;
    case otCLOB:
    case otBLOB:
    case otBFile: return lob_value(address);
    case otTimestamp:
    case otTimestampTZ:
    case otTimestampLTZ: return timestamp_value(address);
    default: throw Exception("Attribute type not supported (" + std::to_string(DataType) + ").");
  }
}

Variant TObjectAttribute::number_value(void* address) const {
  TOracleSession& session = *owner_->Session();
  const auto* number = static_cast<const OCINumber*>(address);
  const NumberColumnMapping mapping = session.MapNumberColumn(Precision, Scale, false);
  if (mapping.ExternalType == 3) {
    int32_t value = 0;
    owner_->Check(OCINumberToInt(owner_->Error(), number, sizeof value, OCI_NUMBER_SIGNED, &value));
    return Variant(value);
  }
  if (mapping.ExternalType == 4) {
    double value = 0;
    owner_->Check(OCINumberToReal(owner_->Error(), number, sizeof value, &value));
    return Variant(value);
  }
  std::string text = number_text(owner_->Error(), number, "FM" + std::string(kNumberDigits, '9'), *owner_);
  const int digits = digit_count(text);
  if (digits < kNumberDigits) {
    text = number_text(owner_->Error(), number,
                       "FM" + std::string(static_cast<size_t>(digits), '9') + "D" +
                           std::string(static_cast<size_t>(kNumberDigits - digits), '9'),
                       *owner_);
  }
  while (!text.empty() && (text.back() < '0' || text.back() > '9')) text.pop_back();
  return Variant(text);
}

std::string TObjectAttribute::string_value(void* address) const {
  TOracleSession& session = *owner_->Session();
  if (TimestampAsText) {
    char buffer[kTimestampTextSize] = {};
    ub4 size = kTimestampTextSize;
    owner_->Check(OCIDateTimeToText(session.EnvironmentHandle(), owner_->Error(), *static_cast<OCIDateTime**>(address),
                                    nullptr, 0, static_cast<ub1>(Scale), nullptr, 0, &size,
                                    reinterpret_cast<OraText*>(buffer)));
    return std::string(buffer, std::min<size_t>(size, kTimestampTextSize));
  }
  const auto* string = *static_cast<OCIString**>(address);
  const oratext* text = string ? OCIStringPtr(session.EnvironmentHandle(), string) : nullptr;
  std::string value = text ? std::string(reinterpret_cast<const char*>(text)) : std::string();
  return session.Preferences().ConvertCRLF ? NormalizeLineBreaks(value) : value;
}

Variant TObjectAttribute::lob_value(void* address) const {
  TOracleSession& session = *owner_->Session();
  TLOBLocator locator(&session, DataType);
  locator.SetName(Name);
  locator.Attach(static_cast<OCILobLocator**>(address), nullptr);
  const int64_t size = locator.Size();
  if (size == 0) return session.NullValue == nvNull ? Null() : Unassigned();
  if (DataType == otCLOB) return Variant(locator.ReadAsString(size));
  locator.Seek(0, soBeginning);
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  bytes.resize(static_cast<size_t>(locator.Read(bytes.data(), size)));
  return Variant::FromBytes(std::move(bytes));
}

Variant TObjectAttribute::timestamp_value(void* address) const {
  TOracleTimestamp timestamp(owner_->Session(), DataType);
  timestamp.AttachDescriptor(*static_cast<OCIDateTime**>(address), DataType, false, false);
  return Variant::FromDateTime(timestamp.AsDateTime());
}

}  // namespace kvell
