// What the emulator's benchmarks share: a logged-on application on a fresh database file.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "ociemu/api/oci.h"

namespace ociemu::bench {

struct Connection {
  OCIEnv* env = nullptr;
  OCIError* err = nullptr;
  OCISvcCtx* svc = nullptr;
  std::string path;

  explicit Connection(const std::string& database) : path(database) {
    OCIEnvCreate(&env, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
    OCIHandleAlloc(env, reinterpret_cast<void**>(&err), OCI_HTYPE_ERROR, 0, nullptr);
    std::string user = "SCOTT", password = "tiger";
    if (OCILogon(env, err, &svc, reinterpret_cast<const OraText*>(user.c_str()), 5,
                 reinterpret_cast<const OraText*>(password.c_str()), 5,
                 reinterpret_cast<const OraText*>(path.c_str()), static_cast<ub4>(path.size())) != OCI_SUCCESS) {
      std::fprintf(stderr, "logon failed: %s\n", error().c_str());
      std::abort();
    }
  }
  ~Connection() {
    OCILogoff(svc, err);
    OCIHandleFree(env, OCI_HTYPE_ENV);
  }
  std::string error() {
    OraText text[512] = {0};
    sb4 code = 0;
    OCIErrorGet(err, 1, nullptr, &code, text, sizeof text, OCI_HTYPE_ERROR);
    return reinterpret_cast<char*>(text);
  }
  OCIStmt* prepare(const std::string& sql) {
    OCIStmt* stmt = nullptr;
    OCIHandleAlloc(env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
    OCIStmtPrepare(stmt, err, reinterpret_cast<const OraText*>(sql.c_str()), static_cast<ub4>(sql.size()),
                   OCI_NTV_SYNTAX, OCI_DEFAULT);
    return stmt;
  }
  void check(sword rc, const char* what) {
    if (rc != OCI_SUCCESS && rc != OCI_NO_DATA) {
      std::fprintf(stderr, "%s failed: %s\n", what, error().c_str());
      std::abort();
    }
  }
};

inline std::string bench_database(const char* name) {
  auto path = std::filesystem::temp_directory_path() / name;
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path.string() + suffix);
  return path.string();
}

}  // namespace ociemu::bench
