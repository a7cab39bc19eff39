// Feeds arbitrary text as a PL/SQL block through prepare, bind and execute of
// the emulator's entries; any crash, hang or sanitizer report is a fault.
// Texts with loops are skipped: a block may legitimately never end.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>

#include "fuzz/ociemu_fuzz_session.h"

namespace {

bool has_loop(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
  return text.find("LOOP") != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static OciemuFuzzSession app("ociemu_plsql_fuzz.db");
  if (has_loop(data, size)) return 0;
  OCIStmt* stmt = nullptr;
  OCIHandleAlloc(app.env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
  OCIStmtPrepare(stmt, app.err, data, static_cast<ub4>(size), OCI_NTV_SYNTAX, OCI_DEFAULT);
  ub2 type = 0;
  OCIAttrGet(stmt, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, app.err);
  if (type == OCI_STMT_BEGIN || type == OCI_STMT_DECLARE) {
    // Whatever of :n, :s, :t and :c the text names is bound; a table bind holds four
    // numbers, :c is a cursor variable whose rows are then fetched.
    long long n = 7;
    char s[64] = "text";
    ub2 s_length = 4;
    int t[4] = {1, 2, 3, 4};
    ub4 t_used = 2;
    OCIStmt* cursor = nullptr;
    OCIHandleAlloc(app.env, reinterpret_cast<void**>(&cursor), OCI_HTYPE_STMT, 0, nullptr);
    OCIBind* binds[4] = {};
    OCIBindByName(stmt, &binds[0], app.err, reinterpret_cast<const OraText*>(":n"), 2, &n, sizeof n, SQLT_INT, nullptr,
                  nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
    OCIBindByName(stmt, &binds[1], app.err, reinterpret_cast<const OraText*>(":s"), 2, s, sizeof s, SQLT_CHR, nullptr,
                  &s_length, nullptr, 0, nullptr, OCI_DEFAULT);
    OCIBindByName(stmt, &binds[2], app.err, reinterpret_cast<const OraText*>(":t"), 2, t, sizeof(int), SQLT_INT, nullptr,
                  nullptr, nullptr, 4, &t_used, OCI_DEFAULT);
    OCIBindByName(stmt, &binds[3], app.err, reinterpret_cast<const OraText*>(":c"), 2, &cursor, 0, SQLT_RSET, nullptr,
                  nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
    if (OCIStmtExecute(app.svc, stmt, app.err, 1, 0, nullptr, nullptr, OCI_DEFAULT) == OCI_SUCCESS) {
      char column[64];
      sb2 indicator = 0;
      OCIDefine* define = nullptr;
      OCIDefineByPos(cursor, &define, app.err, 1, column, sizeof column, SQLT_STR, &indicator, nullptr, nullptr,
                     OCI_DEFAULT);
      while (OCIStmtFetch2(cursor, app.err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT) == OCI_SUCCESS) {
      }
    }
    OCIHandleFree(cursor, OCI_HTYPE_STMT);
    OCITransRollback(app.svc, app.err, OCI_DEFAULT);
  }
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  return 0;
}
