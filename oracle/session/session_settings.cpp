// Session settings by alter session statements, the detections that run a
// query of their own, and the mappings that depend on the session.
#include <algorithm>
#include <array>

#include "oracle/binding/entry_tables.h"
#include "oracle/session/oracle_query.h"
#include "oracle/session/oci_constants.h"
#include "oracle/session/oracle_session.h"
#include "runtime/str_convert.h"

namespace kvell {
namespace {

constexpr const char* kSQLTraceStatement = "alter session set sql_trace = ";
constexpr const char* kIsolationLevelStatement = "alter session set isolation_level = ";
constexpr const char* kOptimizerStatement = "alter session set optimizer_";
constexpr const char* kOptimizerModeStatement = "alter session set optimizer_mode = ";
constexpr const char* kOptimizerGoals[] = {"", "choose", "first_rows", "all_rows", "rule"};
constexpr const char* kVerifyStatement = "select 'x' from dual";
constexpr const char* kBytesPerCharacterStatement =
    "select length(chr(2000000000)) l4, length(chr(2000000)) l3,  length(chr(20000)) l2 from dual";
constexpr const char* kDateFormatLine = "select to_char(to_date('10-%d-1999 10:10:10', 'dd-mm-yyyy hh24:mi:ss')) from dual";
constexpr const char* kSessionIdStatement = "select to_char(userenv('SESSIONID')) from dual";
constexpr int kDefaultDateFormatLength = 40;
constexpr int kErrorTextSize = 2001;
constexpr int kMaxStringBytesOCI8 = 4000;
constexpr int kMaxStringBytesOCI7 = 2000;
constexpr int kMaxOpenCursors = 1000;
constexpr int kTableOrViewDoesNotExist = 942;

std::string date_format_probe() {
  std::string sql;
  for (int month = 1; month <= 12; ++month) {
    std::string line = kDateFormatLine;
    line.replace(line.find("%d"), 2, IntToStr(month));
    if (month > 1) sql += "\r\nunion all\r\n";
    sql += line;
  }
  return sql;
}

}  // namespace

void TOracleSession::SetSQLTrace(TSQLTraceOption value) {
  if (Connected() && value != stUnchanged)
    ExecuteInternal(kSQLTraceStatement + std::string(value == stTrue ? "true" : "false"), true);
  sql_trace_ = value;
}

void TOracleSession::SetIsolationLevel(TIsolationLevelOption value) {
  if (Connected() && value != ilUnchanged)
    ExecuteInternal(kIsolationLevelStatement + std::string(value == ilReadCommitted ? "read committed" : "serializable"),
                    true);
  isolation_level_ = value;
}

void TOracleSession::SetOptimizerGoal(TOptimizerGoalOption value) {
  if (Connected() && value != ogUnchanged) {
    const std::string goal = kOptimizerGoals[value];
    try {
      ExecuteInternal(kOptimizerStatement + std::string(oci8_mode_ ? "mode" : "goal") + " = " + goal, true);
    } catch (const EOracleError&) {
      ExecuteInternal(kOptimizerModeStatement + goal, true);
    }
  }
  optimizer_goal_ = value;
}

void TOracleSession::SetAutoCommitMode(bool value) {
  if (Connected() && !oci8_mode_) {
    SessionCall call(*this);
    Check(value ? ocon(lda_) : ocof(lda_));
  }
  auto_commit_ = value;
}

namespace {

// Loads `sql` into `query` (closing what it held) and executes it; a select has its first rows.
void run_query(TOracleQuery& query, const std::string& sql) {
  query.SQL().SetText(sql);
  query.Execute();
}

// A query of the session's own, for a detection that must not disturb InternalQuery.
std::unique_ptr<TOracleQuery> probe_query(TOracleSession& session, const std::string& name) {
  auto query = std::make_unique<TOracleQuery>();
  query->SetName(name);
  query->SetSession(&session);
  return query;
}

}  // namespace

TOracleQuery& TOracleSession::InternalQuery() {
  if (!internal_query_) internal_query_ = probe_query(*this, "Query");
  return *internal_query_;
}

void TOracleSession::ExecuteInternal(const std::string& sql, bool busy_cursor) {
  WaitCursor busy(busy_cursor ? Cursor : crDefault);
  run_query(InternalQuery(), sql);
}

int TOracleSession::VerifyConnection(bool reconnect) {
  auto log_on_again = [&] {
    try {
      LogOn();
      return 2;
    } catch (const std::exception&) {
      return 1;
    }
  };
  if (!Connected()) return reconnect ? log_on_again() : 1;
  try {
    run_query(*probe_query(*this, "VerifyQuery"), kVerifyStatement);
    return 0;
  } catch (const EOracleError& error) {
    if (error.ErrorCode == kMaxOpenCursors || error.ErrorCode == kTableOrViewDoesNotExist) return 0;
  }
  try {
    LogOff();
  } catch (...) {
    // The connection is gone; what ending it reports does not matter.
  }
  return reconnect ? log_on_again() : 1;
}

int TOracleSession::ResolvedBytesPerCharacter() {
  if (detected_bytes_per_character_ != 0) return detected_bytes_per_character_;
  int value = 1;
  if (bytes_per_character_option_ != bcAutoDetect || !Connected()) {
    value = bytes_per_character_option_ == bcAutoDetect ? 1 : static_cast<int>(bytes_per_character_option_);
  } else {
    try {
      auto probe = probe_query(*this, "BytesPerCharacterQuery");
      run_query(*probe, kBytesPerCharacterStatement);
      if (!probe->Eof()) {
        value = StrToIntDef(probe->FieldText(0), 0);
        if (value == 1) value = StrToIntDef(probe->FieldText(1), 0);
        if (value == 1) value = StrToIntDef(probe->FieldText(2), 0);
      }
    } catch (...) {
      value = 1;
    }
  }
  if (value == 0) value = 1;
  if (Connected()) detected_bytes_per_character_ = value;
  return value;
}

int TOracleSession::MaxStringChars() {
  return (oci8_mode_ ? kMaxStringBytesOCI8 : kMaxStringBytesOCI7) / ResolvedBytesPerCharacter();
}

int TOracleSession::DateFormatLength() {
  if (date_format_length_ >= 0) return date_format_length_;
  int longest = 0;
  if (Connected()) {
    try {
      auto probe = probe_query(*this, "DateFormatLengthQuery");
      for (run_query(*probe, date_format_probe()); !probe->Eof(); probe->Next()) {
        longest = std::max(longest, static_cast<int>(probe->FieldText(0).size()));
      }
    } catch (...) {
      // The default length below serves.
    }
  }
  if (longest <= 0) longest = kDefaultDateFormatLength;
  // Only a connected session's answer is kept: a default cached before the
  // logon would outlive it, since a logon does not forget this value.
  if (Connected()) date_format_length_ = longest;
  return longest;
}

std::string TOracleSession::SessionAudsid() {
  if (session_audsid_.empty() && Connected()) {
    ExecuteInternal(kSessionIdStatement, false);
    TOracleQuery& query = InternalQuery();
    if (!query.Eof()) session_audsid_ = query.FieldText(0);
    query.CloseCursor();
  }
  return session_audsid_;
}

std::string TOracleSession::ErrorMessageText(int error_code) {
  // Clients from release 10 on no longer carry the version 7 entries.
  if (!OCI7Available) return {};
  std::array<char, kErrorTextSize> buffer{};
  SessionCall call(*this);
  Lda_Def blank{};
  oerhms(oci8_mode_ ? &blank : lda_, static_cast<sb2>(error_code), reinterpret_cast<OraText*>(buffer.data()),
         static_cast<sword>(buffer.size()));
  return std::string(buffer.data());
}

NumberColumnMapping TOracleSession::MapNumberColumn(int precision, int scale, bool as_string) const {
  const int float_precision = preferences_->FloatPrecision() == 0 ? INT32_MAX : preferences_->FloatPrecision();
  int integer_precision = preferences_->IntegerPrecision();
  if (integer_precision == 0) integer_precision = odbc_bridge_ ? 10 : 9;
  const bool float_column = scale == -127;
  if (float_column) {
    scale = 1;
    precision = 38;
  }
  if (precision == 0 && scale == 0) precision = 38;
  if (scale <= 0 && integer_precision >= precision && !as_string) return {3, 4};
  if (float_precision >= precision && !as_string) return {4, 8};
  return {5, precision + (scale <= 0 ? 2 : 3) + (float_column ? 132 : 0)};
}

OCITypeCode TOracleSession::DescribeTypeCode(OCIType* type) {
  SessionCall call(*this);
  void* made = nullptr;
  CheckWithoutErrorHandle(OCIHandleAlloc(env_, &made, OCI_HTYPE_DESCRIBE, 0, nullptr), "OCIHandleAlloc");
  auto* describe = static_cast<OCIDescribe*>(made);
  struct FreeDescribe {
    OCIDescribe* handle;
    ~FreeDescribe() { OCIHandleFree(handle, OCI_HTYPE_DESCRIBE); }
  } free_describe{describe};
  Check(OCIDescribeAny(svc_, ErrorHandle(), type, 0, OCI_OTYPE_PTR, 1, OCI_PTYPE_TYPE, describe));
  OCIParam* param = nullptr;
  Check(OCIAttrGet(describe, OCI_HTYPE_DESCRIBE, &param, nullptr, OCI_ATTR_PARAM, ErrorHandle()));
  OCITypeCode code = 0;
  Check(OCIAttrGet(param, OCI_DTYPE_PARAM, &code, nullptr, OCI_ATTR_TYPECODE, ErrorHandle()));
  return code;
}

}  // namespace kvell
