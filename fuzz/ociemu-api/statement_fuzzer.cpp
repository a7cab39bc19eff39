// Feeds arbitrary statement text through prepare, bind listing, describe and
// execute of the emulator's entries; any crash or sanitizer report is a fault.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "ociemu/api/oci.h"

namespace {

struct Application {
  OCIEnv* env = nullptr;
  OCIError* err = nullptr;
  OCISvcCtx* svc = nullptr;

  Application() {
    std::string path = (std::filesystem::temp_directory_path() / "ociemu_api_fuzz.db").string();
    std::filesystem::remove(path);
    OCIEnvCreate(&env, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
    OCIHandleAlloc(env, reinterpret_cast<void**>(&err), OCI_HTYPE_ERROR, 0, nullptr);
    const std::string user = "SCOTT", password = "tiger";
    if (OCILogon(env, err, &svc, reinterpret_cast<const OraText*>(user.c_str()), 5,
                 reinterpret_cast<const OraText*>(password.c_str()), 5, reinterpret_cast<const OraText*>(path.c_str()),
                 static_cast<ub4>(path.size())) != OCI_SUCCESS) {
      std::abort();
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Application app;
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
