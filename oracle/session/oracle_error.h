// How a failed client call becomes an exception: EOracleError with the
// server's message, EOracleWarning for the numbers a developer listed as
// warnings, EOracleMTSError for the transaction-server library, and the
// process-wide warning list read at start-up under a debugger.
#pragma once

#include <string>
#include <vector>

#include "oracle/binding/oci_types.h"
#include "runtime/exception.h"

namespace kvell {

class Registry;
class TComponent;
class TOracleSession;

// A failed client call: the server's message and Oracle error number.
class EOracleError : public Exception {
 public:
  EOracleError(std::string message, int error_code, TComponent* sender, TOracleSession* session)
      : Exception(std::move(message)), ErrorCode(error_code), Sender(sender), Session(session) {}

  int ErrorCode;            // the Oracle error number, e.g. 942
  TComponent* Sender;       // on whose behalf the failing call ran: the session or a query
  TOracleSession* Session;  // may be null
};

// An error number the application listed as a warning.
class EOracleWarning : public EOracleError {
  using EOracleError::EOracleError;
};

// A failed call of the transaction-server library (liboramts.so).
class EOracleMTSError : public Exception {
 public:
  // "MTS error <n>: <text>\r\nin function <name>", or the function name alone for 0.
  EOracleMTSError(int error_code, const std::string& function_name);
  EOracleMTSError(std::string message, int error_code) : Exception(std::move(message)), ErrorCode(error_code) {}

  int ErrorCode;
};

// The transaction server's text for an error number; empty for unknown ones.
std::string MTSErrorText(int error_code);

constexpr size_t kOracleErrorBufferSize = 4001;  // bytes the client may write, terminator included
constexpr size_t kOracleErrorMessageLimit = 1023;

// Where the failure's text comes from: an OCI8 error handle, or a version 7
// return code read through the session's logon data area.
struct OracleErrorSource {
  OCIError* Handle = nullptr;  // OCI8 (also with no session)
  int Code = 0;                // OCI7
};

// What a failed call left: its text (cut to the limit), its number, and
// whether that number is listed in WarningCodes().
struct OracleErrorReport {
  std::string Message;
  int ErrorCode = 0;
  bool Warning = false;
};
OracleErrorReport ReadOracleError(TOracleSession* session, const OracleErrorSource& source);

// Raises EOracleWarning or EOracleError with ReadOracleError's report. It leaves the session's call lock
// alone: calls hold it through SessionCall, whose destructor releases it as
// the exception leaves the call, so a lock the caller did not take is never
// released here.
[[noreturn]] void RaiseOracleError(TOracleSession* session, const OracleErrorSource& source, TComponent* sender);

// The message as an exception carries it: cut to the limit, never inside a
// multi-byte character.
std::string CutOracleMessage(const char* text);

// Error numbers raised as EOracleWarning: the start-up module's slot, filled
// on first use from the registry when a debugger is attached, read-only
// afterwards (tests set it), so reading needs no lock.
std::vector<int>& WarningCodes();

constexpr const char* kWarningCodesKey = "SOFTWARE\\Zentavo\\Kvell\\Warnings";

// The values "1", "2", ... of the current user's warnings key, up to the
// first missing one; values starting with "*" and unparsable ones are passed over.
std::vector<int> ReadWarningCodes(const Registry& registry);

}  // namespace kvell
