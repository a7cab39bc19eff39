// One logged-on SCOTT session on a fresh database file, shared by the fuzz
// targets that drive the emulator's entries. Thread-safe: no.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include "ociemu/api/oci.h"

struct OciemuFuzzSession {
  OCIEnv* env = nullptr;
  OCIError* err = nullptr;
  OCISvcCtx* svc = nullptr;

  // `file_name` names the database under the temporary directory; it starts empty.
  explicit OciemuFuzzSession(const char* file_name) {
    std::string path = (std::filesystem::temp_directory_path() / file_name).string();
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix);
    OCIEnvCreate(&env, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
    OCIHandleAlloc(env, reinterpret_cast<void**>(&err), OCI_HTYPE_ERROR, 0, nullptr);
    const std::string user = "SCOTT", password = "tiger";
    if (OCILogon(env, err, &svc, reinterpret_cast<const OraText*>(user.c_str()), static_cast<ub4>(user.size()),
                 reinterpret_cast<const OraText*>(password.c_str()), static_cast<ub4>(password.size()),
                 reinterpret_cast<const OraText*>(path.c_str()), static_cast<ub4>(path.size())) != OCI_SUCCESS) {
      std::abort();
    }
  }
};
