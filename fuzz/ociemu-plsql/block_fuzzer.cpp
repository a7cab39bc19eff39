// Feeds arbitrary text as a PL/SQL block through prepare, bind and execute of
// the emulator's entries; any crash, hang or sanitizer report is a fault.
// Texts with loops are skipped: a block may legitimately never end. A CREATE
// of a procedure, function or trigger is run too, followed by DML on the
// fuzz table so that triggers fire; the programs are dropped again after it.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/ociemu_fuzz_session.h"

namespace {

std::string upper(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
  return text;
}

sword run(OciemuFuzzSession& app, const std::string& sql) {
  OCIStmt* stmt = nullptr;
  OCIHandleAlloc(app.env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
  OCIStmtPrepare(stmt, app.err, reinterpret_cast<const OraText*>(sql.data()), static_cast<ub4>(sql.size()),
                 OCI_NTV_SYNTAX, OCI_DEFAULT);
  sword rc = OCIStmtExecute(app.svc, stmt, app.err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  return rc;
}

// Names of the stored programs and triggers the inputs left behind, as "TYPE NAME".
std::vector<std::string> stored_programs(OciemuFuzzSession& app) {
  const std::string sql =
      "select object_type || ' ' || object_name from user_objects where object_type in ('PROCEDURE', 'FUNCTION', "
      "'TRIGGER')";
  std::vector<std::string> names;
  OCIStmt* stmt = nullptr;
  OCIHandleAlloc(app.env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
  OCIStmtPrepare(stmt, app.err, reinterpret_cast<const OraText*>(sql.data()), static_cast<ub4>(sql.size()),
                 OCI_NTV_SYNTAX, OCI_DEFAULT);
  char name[300];
  sb2 indicator = 0;
  OCIDefine* define = nullptr;
  OCIDefineByPos(stmt, &define, app.err, 1, name, sizeof name, SQLT_STR, &indicator, nullptr, nullptr, OCI_DEFAULT);
  if (OCIStmtExecute(app.svc, stmt, app.err, 0, 0, nullptr, nullptr, OCI_DEFAULT) == OCI_SUCCESS) {
    while (OCIStmtFetch2(stmt, app.err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT) == OCI_SUCCESS) names.emplace_back(name);
  }
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  return names;
}

// After a CREATE: rows in, changed and out of the fuzz table and EMP, then the programs go.
void exercise_and_drop(OciemuFuzzSession& app) {
  for (const char* sql : {"insert into fz (id, name, amount) values (1, 'a', 2)",
                          "insert into fz (name) select ename from emp where rownum <= 2",
                          "update fz set amount = amount + 1, name = upper(name)", "delete from fz",
                          "update emp set sal = sal where deptno = 10", "begin insert into fz (id) values (9); end;"}) {
    run(app, sql);
  }
  OCITransRollback(app.svc, app.err, OCI_DEFAULT);
  for (const std::string& program : stored_programs(app)) run(app, "drop " + program);
}

void run_block(OciemuFuzzSession& app, OCIStmt* stmt) {
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static OciemuFuzzSession app("ociemu_plsql_fuzz.db");
  static const bool table_made =
      run(app, "create table fz (id number(6) primary key, name varchar2(20), amount number(8,2) default 0)") ==
      OCI_SUCCESS;
  (void)table_made;
  const std::string text = upper(data, size);
  if (text.find("LOOP") != std::string::npos) return 0;
  OCIStmt* stmt = nullptr;
  OCIHandleAlloc(app.env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
  OCIStmtPrepare(stmt, app.err, data, static_cast<ub4>(size), OCI_NTV_SYNTAX, OCI_DEFAULT);
  ub2 type = 0;
  OCIAttrGet(stmt, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, app.err);
  if (type == OCI_STMT_BEGIN || type == OCI_STMT_DECLARE) {
    run_block(app, stmt);
  } else if (type == OCI_STMT_CREATE && text.find(" TABLE") == std::string::npos &&
             (text.find("TRIGGER") != std::string::npos || text.find("PROCEDURE") != std::string::npos ||
              text.find("FUNCTION") != std::string::npos)) {
    OCIStmtExecute(app.svc, stmt, app.err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
    exercise_and_drop(app);
  }
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  return 0;
}
