#include "oracle/session/oracle_timestamp.h"

#include <algorithm>
#include <cmath>

#include "oracle/binding/oci_entries.h"
#include "oracle/session/oci_constants.h"
#include "oracle/session/oracle_error.h"
#include "oracle/session/oracle_session.h"
#include "oracle/session/session_preferences.h"

namespace kvell {

namespace {

constexpr ub4 kNanosPerMilli = 1000000;
constexpr int kLastMilli = 999;

}  // namespace

ub4 TimestampDescriptorType(int timestamp_type) {
  switch (timestamp_type) {
    case otTimestampTZ: return 69;
    case otTimestampLTZ: return 70;
    default: return 68;
  }
}

TOracleTimestamp::TOracleTimestamp(TOracleSession* session, int timestamp_type)
    : session_(session), timestamp_type_(timestamp_type) {
  if (!session_ || !session_->Connected()) throw Exception(kTimestampNotConnected);
  session_->AttachClient(skTimestamp, this);
  try {
    check(OCIHandleAlloc(session_->EnvironmentHandle(), reinterpret_cast<void**>(&error_), OCI_HTYPE_ERROR, 0,
                         nullptr));
    check(OCIDescriptorAlloc(session_->EnvironmentHandle(), reinterpret_cast<void**>(&descriptor_),
                             TimestampDescriptorType(timestamp_type_), 0, nullptr));
  } catch (...) {
    free_owned();
    if (error_) OCIHandleFree(error_, OCI_HTYPE_ERROR);
    session_->DetachClient(skTimestamp, this);
    throw;
  }
}

TOracleTimestamp::~TOracleTimestamp() {
  free_owned();
  if (error_) OCIHandleFree(error_, OCI_HTYPE_ERROR);
  if (session_) session_->DetachClient(skTimestamp, this);
}

// Each kind's descriptor is freed with its own type: the client keeps the
// type with the descriptor and refuses a mismatch.
void TOracleTimestamp::free_owned() {
  if (owns_descriptor_ && descriptor_) OCIDescriptorFree(descriptor_, TimestampDescriptorType(timestamp_type_));
  descriptor_ = nullptr;
}

void TOracleTimestamp::check(sword status) {
  if (status == OCI_INVALID_HANDLE) throw Exception(kTimestampInvalidHandle);
  if (status != OCI_ERROR) return;
  OracleErrorSource source;
  source.Handle = error_;
  RaiseOracleError(session_, source, nullptr);
}

void TOracleTimestamp::SetOwner(TAttributeOwner* owner, std::string attribute_name) {
  owner_ = owner;
  attribute_name_ = std::move(attribute_name);
}

TDateTime TOracleTimestamp::AsDateTime() {
  if (is_null_ || !descriptor_ || !session_) return 0;
  sb2 year = 0;
  ub1 month = 0, day = 0, hour = 0, minute = 0, second = 0;
  ub4 fraction = 0;
  check(OCIDateTimeGetDate(session_->EnvironmentHandle(), error_, descriptor_, &year, &month, &day));
  check(OCIDateTimeGetTime(session_->EnvironmentHandle(), error_, descriptor_, &hour, &minute, &second, &fraction));
  const int milli = std::min(static_cast<int>(std::lround(fraction / static_cast<double>(kNanosPerMilli))), kLastMilli);
  const TDateTime date = EncodeDate(year, month, day);
  const TDateTime time = EncodeTime(hour, minute, second, milli);
  return date >= 0 ? date + time : date - time;
}

void TOracleTimestamp::SetAsDateTime(TDateTime value) {
  if (value == 0 && session_ && session_->Preferences().ZeroDateIsNull) {
    SetNull();
    return;
  }
  if (!session_) throw Exception(kTimestampNotConnected);
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, milli = 0;
  DecodeDate(value, year, month, day);
  DecodeTime(value, hour, minute, second, milli);
  check(OCIDateTimeConstruct(session_->EnvironmentHandle(), error_, descriptor_, static_cast<sb2>(year),
                             static_cast<ub1>(month), static_cast<ub1>(day), static_cast<ub1>(hour),
                             static_cast<ub1>(minute), static_cast<ub1>(second),
                             static_cast<ub4>(milli) * kNanosPerMilli, nullptr, 0));
  is_null_ = false;
  changed();
}

void TOracleTimestamp::SetNull() {
  is_null_ = true;
  changed();
}

void TOracleTimestamp::changed() {
  if (null_indicator_) *null_indicator_ = static_cast<sb2>(is_null_ ? -1 : 0);
  if (owner_) owner_->AttributeChanged(attribute_name_);
}

void TOracleTimestamp::AttachDescriptor(OCIDateTime* descriptor, int timestamp_type, bool owns, bool is_null) {
  free_owned();
  descriptor_ = descriptor;
  timestamp_type_ = timestamp_type;
  owns_descriptor_ = owns;
  is_null_ = is_null;
}

}  // namespace kvell
