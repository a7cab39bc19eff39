// A PL/SQL block that returns values in OUT variables and opens a cursor
// variable, which a second query then fetches.
// Usage: plsql_out_and_cursor [database]
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

    TOracleQuery block, employees;
    block.SetSession(&session);
    employees.SetSession(&session);
    block.SQL().SetText(
        "begin\n"
        "  select count(*), max(sal) into :headcount, :top_salary from emp where deptno = :deptno;\n"
        "  open :staff for select ename, job from emp where deptno = :deptno order by ename;\n"
        "end;");
    block.DeclareVariable("headcount", 3);   // integer, OUT
    block.DeclareVariable("top_salary", 4);  // float, OUT
    block.DeclareVariable("deptno", 3);      // integer, IN
    block.DeclareVariable("staff", 116);     // cursor variable
    block.SetVariable("deptno", 20);
    block.SetComplexVariable("staff", &employees);  // the query that receives the cursor
    block.Execute();
    std::printf("department 20: %d employees, top salary %.2f\n", block.GetVariable("headcount").AsInteger(),
                block.GetVariable("top_salary").AsDouble());
    employees.Execute();  // fetches from the cursor the block opened
    int rows = 0;
    for (; !employees.Eof(); employees.Next(), ++rows) {
      std::printf("  %-10s %s\n", employees.FieldText(0).c_str(), employees.FieldText(1).c_str());
    }
    return rows == block.GetVariable("headcount").AsInteger() ? 0 : 1;
  } catch (const EOracleError& e) {
    std::fprintf(stderr, "Oracle error %d: %s\n", e.ErrorCode, e.Message.c_str());
  } catch (const Exception& e) {
    std::fprintf(stderr, "%s\n", e.Message.c_str());
  }
  return 1;
}
