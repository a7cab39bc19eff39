// Feeds arbitrary statement text through prepare, bind listing, describe and
// execute of the emulator's entries; any crash or sanitizer report is a fault.
#include <cstdint>
#include <string>

#include "fuzz/ociemu_fuzz_session.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static OciemuFuzzSession app("ociemu_api_fuzz.db");
  OCIStmt* stmt = nullptr;
  OCIHandleAlloc(app.env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
  OCIStmtPrepare(stmt, app.err, data, static_cast<ub4>(size), OCI_NTV_SYNTAX, OCI_DEFAULT);
  OraText* names[8];
  ub1 lengths[8], indicator_lengths[8], duplicates[8];
  OraText* indicator_names[8];
  OCIBind* binds[8];
  sb4 found = 0;
  OCIStmtGetBindInfo(stmt, app.err, 8, 1, &found, names, lengths, indicator_names, indicator_lengths, duplicates, binds);
  ub2 type = 0;
  OCIAttrGet(stmt, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, app.err);
  // Describe only: queries are parsed and described, nothing is changed.
  if (type == OCI_STMT_SELECT) OCIStmtExecute(app.svc, stmt, app.err, 0, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  return 0;
}
