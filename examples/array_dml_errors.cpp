// Array DML: ten rows inserted by one execution, one of which breaks the
// primary key. OnArrayError reports that row and lets the others go in.
// Usage: array_dml_errors [database]
#include <cstdio>

#include "oracle/session/oracle_error.h"
#include "oracle/session/oracle_query.h"
#include "oracle/session/oracle_session.h"

int main(int argc, char** argv) {
  using namespace kvell;
  try {
    TOracleSession session;
    session.SetLogonUsername("scott");
    session.SetLogonPassword("tiger");
    if (argc > 1) session.SetLogonDatabase(argv[1]);
    session.LogOn();

    TOracleQuery query;
    query.SetSession(&session);
    query.SQL().SetText("create table parts (id number(5) primary key, name varchar2(20))");
    query.Execute();

    query.SQL().SetText("insert into parts (id, name) values (:id, :name)");
    query.DeclareVariable("id", 3);    // integer
    query.DeclareVariable("name", 5);  // string
    query.SetVariable("id", VarArrayOf({1, 2, 3, 2, 5, 6, 7, 8, 9, 10}));  // the 4th repeats id 2
    query.SetVariable("name", VarArrayOf({"bolt", "nut", "gear", "spring", "axle", "cam", "pin", "rod", "cog", "hub"}));
    int failures = 0;
    query.OnArrayError = [&](TOracleQuery*, int index, int error_code, const std::string& message, bool& go_on) {
      std::printf("row %d failed (error %d): %s", index, error_code, message.c_str());
      ++failures;
      go_on = true;  // keep inserting the rows after it
    };
    const int inserted = query.ExecuteArray(0, 10);
    session.Commit();
    std::printf("%d rows inserted, %d refused\n", inserted, failures);
    return inserted == 9 && failures == 1 ? 0 : 1;
  } catch (const EOracleError& e) {
    std::fprintf(stderr, "Oracle error %d: %s\n", e.ErrorCode, e.Message.c_str());
  } catch (const Exception& e) {
    std::fprintf(stderr, "%s\n", e.Message.c_str());
  }
  return 1;
}
