// TOracleTimestamp: one OCI datetime descriptor (TIMESTAMP, WITH TIME ZONE
// or WITH LOCAL TIME ZONE) read and written as a date-time value, for
// timestamp columns, bind variables and object attributes.
// Thread-safe: no; used from one thread at a time.
#pragma once

#include <string>

#include "oracle/binding/oci_types.h"
#include "oracle/session/complex_value.h"
#include "oracle/session/lob_locator.h"
#include "oracle/session/session_client.h"
#include "runtime/datetime.h"

namespace kvell {

class TOracleSession;

constexpr int otTimestamp = 187;
constexpr int otTimestampTZ = 188;
constexpr int otTimestampLTZ = 232;

constexpr const char* kTimestampNotConnected = "Can only create TOracleTimestamp instance if Session is connected";
constexpr const char* kTimestampInvalidHandle = "TOracleTimestamp: Invalid handle";

// The descriptor type of a timestamp kind (68, 69, 70).
ub4 TimestampDescriptorType(int timestamp_type);

class TOracleTimestamp : public TComplexValue, public TSessionClient {
 public:
  TOracleTimestamp(TOracleSession* session, int timestamp_type);
  ~TOracleTimestamp() override;
  TOracleTimestamp(const TOracleTimestamp&) = delete;
  TOracleTimestamp& operator=(const TOracleTimestamp&) = delete;

  // 0 when null; milliseconds are the finest unit kept.
  TDateTime AsDateTime();
  // 0 with the session's ZeroDateIsNull makes the timestamp null.
  void SetAsDateTime(TDateTime value);
  void SetNull();
  bool IsNull() const { return is_null_; }
  // A fetch or OUT bind filled the descriptor; the holders already know.
  void SetReceivedNull(bool is_null) { is_null_ = is_null; }
  // Takes an outside descriptor (freeing an owned one first).
  void AttachDescriptor(OCIDateTime* descriptor, int timestamp_type, bool owns, bool is_null);

  OCIDateTime* Descriptor() const { return descriptor_; }
  OCIDateTime** DescriptorAddress() { return &descriptor_; }
  int TimestampType() const { return timestamp_type_; }
  TOracleSession* Session() const { return session_; }
  void SetNullIndicator(sb2* indicator) { null_indicator_ = indicator; }
  void SetOwner(TAttributeOwner* owner, std::string attribute_name);

  // TComplexValue
  ComplexKind Kind() const override { return ComplexKind::Timestamp; }
  std::string ClassName() const override { return "TOracleTimestamp"; }
  bool IsNullValue() const override { return is_null_; }

  // TSessionClient
  void SessionDestroyed() override { session_ = nullptr; }

 private:
  void check(sword status);
  void free_owned();
  void changed();

  TOracleSession* session_;            // not owned
  OCIDateTime* descriptor_ = nullptr;  // owned when owns_descriptor_
  OCIError* error_ = nullptr;          // owned
  int timestamp_type_;                 // 187, 188 or 232
  bool owns_descriptor_ = true;
  bool is_null_ = true;
  TAttributeOwner* owner_ = nullptr;   // not owned
  std::string attribute_name_;
  sb2* null_indicator_ = nullptr;      // not owned
};

}  // namespace kvell
