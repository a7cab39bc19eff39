// Preference values and their effect on the session's datasets.
#include "oracle/session/session_preferences.h"

#include "oracle/session/oracle_session.h"
#include "runtime/ansi_case.h"

namespace kvell {

int DefaultMaxStringFieldSize(const TOracleSession* session) {
  if (session == nullptr) return 0;
  const auto* info = dynamic_cast<const TParentClassInfo*>(session->Owner());
  if (info == nullptr) return 0;
  return AnsiUpperCase(info->ParentClassName()).find("REMOTEDATAMODULE") != std::string::npos ? 255 : 0;
}

TSessionPreferences::TSessionPreferences(TOracleSession* session)
    : session_(session), max_string_field_size_(DefaultMaxStringFieldSize(session)) {}

void TSessionPreferences::Assign(const TSessionPreferences& source) {
  SetFloatPrecision(source.FloatPrecision());
  SetIntegerPrecision(source.IntegerPrecision());
  SetSmallIntPrecision(source.SmallIntPrecision());
  SetUseOCI7(source.UseOCI7());
  ConvertCRLF = source.ConvertCRLF;
  TrimStringFields = source.TrimStringFields;
  SetMaxStringFieldSize(source.MaxStringFieldSize());
  ZeroDateIsNull = source.ZeroDateIsNull;
  NullLOBIsEmpty = source.NullLOBIsEmpty;
  NullObjectIsEmpty = source.NullObjectIsEmpty;
  TemporaryLOB = source.TemporaryLOB;
  SetTimestampAsString(source.TimestampAsString());
}

void TSessionPreferences::set_reopening(int& field, int value) {
  if (field == value) return;
  field = value;
  reopen_datasets();
}

void TSessionPreferences::SetFloatPrecision(int value) { set_reopening(float_precision_, value); }
void TSessionPreferences::SetIntegerPrecision(int value) { set_reopening(integer_precision_, value); }
void TSessionPreferences::SetSmallIntPrecision(int value) { set_reopening(small_int_precision_, value); }
void TSessionPreferences::SetMaxStringFieldSize(int value) { set_reopening(max_string_field_size_, value); }

void TSessionPreferences::SetTimestampAsString(bool value) {
  if (timestamp_as_string_ == value) return;
  timestamp_as_string_ = value;
  reopen_datasets();
}

void TSessionPreferences::SetUseOCI7(bool value) {
  if (value == use_oci7_) return;
  if (session_ && session_->Connected()) throw Exception(kUseOCI7WhileConnected);
  use_oci7_ = value;
}

void TSessionPreferences::reopen_datasets() {
  if (session_) session_->ReopenDataSetsForPreferences();
}

}  // namespace kvell
