// Arbitrary text stored in an object column, fetched into a client instance and
// bound back: reading it may fail with an Oracle error but never crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/ociemu_fuzz_session.h"

namespace {

constexpr const char* kSetup[] = {
    "CREATE TYPE fz_inner_t AS OBJECT (s VARCHAR2(40), r RAW(16))",
    "CREATE TYPE fz_list_t AS VARRAY(8) OF NUMBER",
    "CREATE TYPE fz_inners_t AS TABLE OF fz_inner_t",
    "CREATE TYPE fz_texts_t AS TABLE OF CLOB",
    "CREATE TABLE fz_targets OF fz_inner_t",
    "INSERT INTO fz_targets VALUES ('a', NULL)",
    "CREATE TYPE fz_t AS OBJECT (n NUMBER, d DATE, i fz_inner_t, l fz_list_t, t fz_inners_t, x SYS.XMLTYPE, "
    "c CLOB, b BLOB, ct fz_texts_t, rf REF fz_inner_t)",
    "CREATE TABLE fz_rows (o fz_t)",
};

struct Fixture {
  OciemuFuzzSession session{"ociemu_object_text_fuzz.db"};
  OCIType* type = nullptr;

  Fixture() {
    for (const char* sql : kSetup) {
      if (run(sql) != OCI_SUCCESS) std::abort();
    }
    const std::string name = "FZ_T";
    if (OCITypeByName(session.env, session.err, session.svc, nullptr, 0, text(name), size(name), nullptr, 0,
                      OCI_DURATION_SESSION, OCI_TYPEGET_HEADER, &type) != OCI_SUCCESS) {
      std::abort();
    }
  }

  static const OraText* text(const std::string& s) { return reinterpret_cast<const OraText*>(s.data()); }
  static ub4 size(const std::string& s) { return static_cast<ub4>(s.size()); }

  OCIStmt* prepare(const std::string& sql) {
    OCIStmt* stmt = nullptr;
    OCIHandleAlloc(session.env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
    OCIStmtPrepare(stmt, session.err, text(sql), size(sql), OCI_NTV_SYNTAX, OCI_DEFAULT);
    return stmt;
  }

  // Runs sql with `stored` bound as plain text to its only placeholder, when given.
  sword run(const std::string& sql, const std::string* stored = nullptr) {
    OCIStmt* stmt = prepare(sql);
    OCIBind* bind = nullptr;
    if (stored) {
      OCIBindByPos(stmt, &bind, session.err, 1, const_cast<char*>(stored->data()), static_cast<sb4>(stored->size()),
                   SQLT_CHR, nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
    }
    const sword status = OCIStmtExecute(session.svc, stmt, session.err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return status;
  }

  // Fetches the stored row into an instance and stores that instance again.
  void round_trip() {
    void* instance = nullptr;
    void* nulls = nullptr;
    OCIStmt* stmt = prepare("SELECT o FROM fz_rows");
    OCIDefine* define = nullptr;
    const bool fetched =
        OCIStmtExecute(session.svc, stmt, session.err, 0, 0, nullptr, nullptr, OCI_DEFAULT) == OCI_SUCCESS &&
        OCIDefineByPos(stmt, &define, session.err, 1, nullptr, 0, SQLT_NTY, nullptr, nullptr, nullptr, OCI_DEFAULT) ==
            OCI_SUCCESS &&
        OCIDefineObject(define, session.err, type, &instance, nullptr, &nulls, nullptr) == OCI_SUCCESS &&
        OCIStmtFetch2(stmt, session.err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT) == OCI_SUCCESS;
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    if (fetched && instance != nullptr) {
      stmt = prepare("INSERT INTO fz_rows VALUES (:o)");
      OCIBind* bind = nullptr;
      OCIBindByPos(stmt, &bind, session.err, 1, nullptr, 0, SQLT_NTY, nullptr, nullptr, nullptr, 0, nullptr,
                   OCI_DEFAULT);
      OCIBindObject(bind, session.err, type, &instance, nullptr, &nulls, nullptr);
      OCIStmtExecute(session.svc, stmt, session.err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
      OCIHandleFree(stmt, OCI_HTYPE_STMT);
    }
    if (instance != nullptr) OCIObjectFree(session.env, session.err, instance, 0);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Fixture fixture;
  const std::string stored(reinterpret_cast<const char*>(data), size);
  fixture.run("DELETE FROM fz_rows");
  if (fixture.run("INSERT INTO fz_rows VALUES (:s)", &stored) != OCI_SUCCESS) return 0;
  fixture.round_trip();
  return 0;
}
