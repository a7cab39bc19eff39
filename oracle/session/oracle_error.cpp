// Oracle error texts into exceptions, the MTS texts and the warning list.
#include "oracle/session/oracle_error.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "oracle/binding/oci_entries.h"
#include "oracle/kvell_init.h"
#include "oracle/session/oci_constants.h"
#include "oracle/session/oracle_session.h"
#include "runtime/debugger.h"
#include "runtime/registry.h"
#include "runtime/str_convert.h"

namespace kvell {
namespace {

constexpr std::pair<int, const char*> kMTSErrorTexts[] = {
    {1001, "no MTXDM.DLL available"},    {1002, "failure to create dispen"},  {1003, "exceeded max sessions"},
    {1004, "invalid OCI Svc ctx"},       {1005, "can't create new dbiden"},   {2001, "unable to alloc a server"},
    {3001, "invalid server object"},     {3002, "failed attach to Oracle"},   {3003, "failed detach from db"},
    {3004, "failed to start trans."},    {3005, "OCI set attrib failed"},     {3006, "conn to Oracle broken"},
    {3007, "not attached to Oracle"},    {3008, "alrdy attached to Oracle"},  {4001, "invalid session object"},
    {4002, "failed logon to Oracle"},    {4003, "failed logoff from db"},     {4004, "no transaction beneath"},
    {4005, "already logged on to db"},   {4006, "not logged on to Oracle"},   {5001, "RPC context is invalid"},
    {5002, "generic communic. error"},   {5003, "endpoint already connect"},  {5004, "endpoint not connected"},
    {5005, "protocol violation"},        {5006, "timeout accepting conn."},   {5007, "invalid RPC opcode"},
    {5008, "mismatched incarnation#"},   {5009, "client connect timeout"},    {5010, "synch. send timeout"},
    {5011, "synch. receive timedout"},   {5012, "connection reset by peer"},  {6001, "invalid args to function"},
    {6002, "an object was invalid"},     {6003, "illegal operation"},         {6004, "memory allocation error"},
    {6005, "synchr. object error"},      {6006, "no Oracle Proxy server"},    {6007, "session already enlisted"},
    {6008, "session is not enlisted"},   {6009, "illeg on manuenlst sess"},   {6010, "illeg on autoenlst sess"},
    {6011, "error detaching trans."},    {6012, "OCI handle alloc error"},    {6013, "OCI handle dealloc error"},
    {6014, "error exporting trans."},
};

bool is_warning_code(int code) {
  const auto& codes = WarningCodes();
  return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// The error number alone, for the warning test before the text is read.
int peek_error_code(const OracleErrorSource& source, bool oci8) {
  if (!oci8) return source.Code;
  sb4 code = 0;
  std::array<OraText, 512> scratch{};
  if (source.Handle)
    OCIErrorGet(source.Handle, 1, nullptr, &code, scratch.data(), static_cast<ub4>(scratch.size()), OCI_HTYPE_ERROR);
  return code;
}

}  // namespace

std::string MTSErrorText(int error_code) {
  for (const auto& [number, text] : kMTSErrorTexts)
    if (number == error_code) return text;
  return {};
}

EOracleMTSError::EOracleMTSError(int error_code, const std::string& function_name)
    : Exception(error_code == 0 ? function_name
                               : "MTS error " + IntToStr(error_code) + ": " + MTSErrorText(error_code) +
                                     "\r\nin function " + function_name),
      ErrorCode(error_code) {}

std::string CutOracleMessage(const char* text) {
  size_t length = ::strnlen(text, kOracleErrorBufferSize);
  if (length <= kOracleErrorMessageLimit) return std::string(text, length);
  size_t cut = kOracleErrorMessageLimit;
  // Step back over continuation bytes so that no character is split.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return std::string(text, cut);
}

OracleErrorReport ReadOracleError(TOracleSession* session, const OracleErrorSource& source) {
  const bool oci8 = session == nullptr || session->OCI8Mode();
  const bool warning = !WarningCodes().empty() && is_warning_code(peek_error_code(source, oci8));
  std::array<char, kOracleErrorBufferSize> buffer{};
  int code = source.Code;
  if (oci8) {
    sb4 fetched = 0;
    if (source.Handle)
      OCIErrorGet(source.Handle, 1, nullptr, &fetched, reinterpret_cast<OraText*>(buffer.data()),
                  static_cast<ub4>(buffer.size()), OCI_HTYPE_ERROR);
    code = fetched;
  } else {
    oerhms(session->LogonDataArea(), static_cast<sb2>(code), reinterpret_cast<OraText*>(buffer.data()),
           static_cast<sword>(buffer.size()));
  }
  return {CutOracleMessage(buffer.data()), code, warning};
}

void RaiseOracleError(TOracleSession* session, const OracleErrorSource& source, TComponent* sender) {
  OracleErrorReport report = ReadOracleError(session, source);
  if (report.Warning) throw EOracleWarning(std::move(report.Message), report.ErrorCode, sender, session);
  throw EOracleError(std::move(report.Message), report.ErrorCode, sender, session);
}

std::vector<int>& WarningCodes() {
  return KvellSlot(ProcessObject::WarningCodes).Get<std::vector<int>>([] {
    auto codes = std::make_unique<std::vector<int>>();
    if (DebuggerPresent()) *codes = ReadWarningCodes(ProcessRegistry());
    return codes;
  });
}

std::vector<int> ReadWarningCodes(const Registry& registry) {
  std::vector<int> codes;
  for (int index = 1;; ++index) {
    auto value = registry.ReadValue(RegistryRoot::CurrentUser, kWarningCodesKey, IntToStr(index));
    if (!value) break;
    if (!value->empty() && value->front() == '*') continue;
    if (auto code = TryStrToInt(*value)) codes.push_back(*code);
  }
  return codes;
}

}  // namespace kvell
