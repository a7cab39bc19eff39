// A query with a bind variable, fetched in arrays of rows: the employees of
// one department from the demo schema, read by column name and index.
// Usage: query_with_binds [database]   (the client is found through ORACLE_HOME)
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
    query.SetReadBuffer(5);  // rows per round trip
    query.SQL().SetText("select empno, ename, sal, hiredate from emp where deptno = :deptno order by empno");
    query.DeclareVariable("deptno", 3);  // 3: integer
    query.SetVariable("deptno", 30);
    query.Execute();
    int rows = 0;
    for (; !query.Eof(); query.Next(), ++rows) {
      std::printf("%5d %-10s %8.2f %s\n", query.FieldInteger(0), query.FieldText(query.FieldIndex("ENAME")).c_str(),
                  query.FieldFloat(2), query.FieldText(3).c_str());
    }
    std::printf("%d employees in department 30\n", rows);
    return rows > 0 ? 0 : 1;
  } catch (const EOracleError& e) {
    std::fprintf(stderr, "Oracle error %d: %s\n", e.ErrorCode, e.Message.c_str());
  } catch (const Exception& e) {
    std::fprintf(stderr, "%s\n", e.Message.c_str());
  }
  return 1;
}
