// A dataset over EMP: opened, browsed both ways, filtered on the client,
// and a record found again through its bookmark.
// Usage: dataset_browse [database]
#include <cstdio>

#include "oracle/dataset/oracle_dataset.h"
#include "oracle/session/oracle_error.h"
#include "oracle/session/oracle_session.h"

int main(int argc, char** argv) {
  using namespace kvell;
  try {
    TOracleSession session;
    session.SetLogonUsername("scott");
    session.SetLogonPassword("tiger");
    if (argc > 1) session.SetLogonDatabase(argv[1]);
    session.LogOn();

    TOracleDataSet emp;
    emp.SetSession(&session);
    emp.SetSQLText("select rowid, empno, ename, job, sal from emp order by empno");
    emp.Open();  // executes once, fetches every row into memory

    int rows = 0;
    for (emp.First(); !emp.Eof(); emp.Next(), ++rows)
      std::printf("%5d %-10s %-10s %8.2f\n", emp.FieldByName("EMPNO")->AsInteger(),
                  emp.FieldByName("ENAME")->AsString().c_str(), emp.FieldByName("JOB")->AsString().c_str(),
                  emp.FieldByName("SAL")->AsFloat());

    emp.Last();  // backwards over rows the server cursor has passed
    std::printf("last: %s, first going back: ", emp.FieldByName("ENAME")->AsString().c_str());
    while (!emp.Bof()) emp.Prior();
    std::printf("%s\n", emp.FieldByName("ENAME")->AsString().c_str());

    emp.SetFilterText("(JOB = 'SALES*') AND (SAL >= 1250)");  // evaluated on the client
    emp.SetFiltered(true);
    int salesmen = 0;
    TBookmark richest;
    double top = 0;
    for (emp.First(); !emp.Eof(); emp.Next(), ++salesmen) {
      if (emp.FieldByName("SAL")->AsFloat() > top) {
        top = emp.FieldByName("SAL")->AsFloat();
        richest = emp.GetBookmark();
      }
    }
    emp.GotoBookmark(richest);
    std::printf("%d salesmen earn 1250 or more; the best paid is %s\n", salesmen,
                emp.FieldByName("ENAME")->AsString().c_str());
    return rows == 14 && salesmen == 4 ? 0 : 1;
  } catch (const EOracleError& e) {
    std::fprintf(stderr, "Oracle error %d: %s\n", e.ErrorCode, e.Message.c_str());
  } catch (const Exception& e) {
    std::fprintf(stderr, "%s\n", e.Message.c_str());
  }
  return 1;
}
