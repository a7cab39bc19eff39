#include "oracle/session/oracle_reference.h"

#include <atomic>

#include "oracle/binding/oci_entries.h"
#include "oracle/session/oci_constants.h"
#include "oracle/session/oracle_error.h"
#include "oracle/session/oracle_session.h"
#include "runtime/exception.h"

namespace kvell {

namespace {

constexpr const char* kMonitorPrefix = "OracleReference";
constexpr const char* kCreateReport = "Reference.Create";
std::atomic<int> next_reference_id{1};

}  // namespace

TOracleReference::TOracleReference(TOracleSession* session, std::string name, int owner_id, std::string type_name,
                                   const OCIRef* type_ref)
    : session_(session), ref_ref_(&ref_), type_name_(std::move(type_name)),
      monitor_(NewMonitorData(next_reference_id, kMonitorPrefix, owner_id, std::move(name))) {
  if (!session_) throw Exception(kObjectNotLoggedOn);
  session_->AttachClient(skReference, this);
  const auto report = [this] {
    return type_name_.empty() ? std::string(kCreateReport) : kCreateReport + ("('" + type_name_ + "')");
  };
  try {
    Monitored(monitor_, report, [&] { create(type_ref); });
  } catch (...) {
    destroy();
    throw;
  }
}

void TOracleReference::create(const OCIRef* type_ref) {
  if (!session_->Connected()) throw Exception(kObjectNotLoggedOn);
  OCIEnv* env = session_->EnvironmentHandle();
  check(OCIHandleAlloc(env, reinterpret_cast<void**>(&error_), OCI_HTYPE_ERROR, 0, nullptr));
  check(OCIObjectNew(env, error_, session_->ServiceContext(), static_cast<OCITypeCode>(otReference), nullptr,
                     nullptr, OCI_DURATION_SESSION, 1, reinterpret_cast<void**>(&ref_)));
  const StatusCheck checked = [this](sword status) { check(status); };
  if (type_ref) {
    type_ = PinTypeByRef(*session_, error_, type_ref, checked);
  } else if (!type_name_.empty()) {
    type_ = PinTypeByName(*session_, error_, type_name_, checked);
  }
}

TOracleReference::~TOracleReference() { destroy(); }

void TOracleReference::destroy() {
  if (session_ && session_->Connected()) {
    OCIEnv* env = session_->EnvironmentHandle();
    if (ref_) OCIObjectFree(env, error_, ref_, 0);
    type_.Release(env, error_);
  }
  ref_ = nullptr;
  ref_ref_ = &ref_;
  if (error_) OCIHandleFree(error_, OCI_HTYPE_ERROR);
  error_ = nullptr;
  if (session_) session_->DetachClient(skReference, this);
  session_ = nullptr;
  MonitorLifeEnd(monitor_);
}

void TOracleReference::check(sword status) const { CheckObjectCall(session_, error_, status); }

bool TOracleReference::IsNull() const {
  if (null_indicator_ && *null_indicator_ != 0) return true;
  if (!*ref_ref_ || !session_) return true;
  return OCIRefIsNull(session_->EnvironmentHandle(), *ref_ref_) != 0;
}

void TOracleReference::Clear() {
  if (!session_) throw Exception(kObjectNotLoggedOn);
  if (*ref_ref_) OCIRefClear(session_->EnvironmentHandle(), *ref_ref_);
  if (null_indicator_) {
    const bool null = !*ref_ref_ || OCIRefIsNull(session_->EnvironmentHandle(), *ref_ref_) != 0;
    *null_indicator_ = static_cast<sb2>(null ? -1 : 0);
  }
  if (owner_) owner_->AttributeChanged(attribute_name_);
}

std::string TOracleReference::AsHex() const {
  if (!session_ || !*ref_ref_) return {};
  OCIEnv* env = session_->EnvironmentHandle();
  ub4 size = OCIRefHexSize(env, *ref_ref_);
  std::string hex(size, '\0');
  check(OCIRefToHex(env, error_, *ref_ref_, reinterpret_cast<oratext*>(hex.data()), &size));
  hex.resize(std::min<size_t>(size, hex.size()));
  return hex;
}

void TOracleReference::Attach(OCIRef** slot, sb2* indicator) {
  ref_ref_ = slot ? slot : &ref_;
  null_indicator_ = indicator;
}

void TOracleReference::SetOwner(TAttributeOwner* owner, std::string attribute_name) {
  owner_ = owner;
  attribute_name_ = std::move(attribute_name);
}

bool ReconcileNullReference(TComplexValue* object) {
  auto* reference = dynamic_cast<TOracleReference*>(object);
  if (!reference) return false;
  reference->Clear();
  return true;
}

}  // namespace kvell
