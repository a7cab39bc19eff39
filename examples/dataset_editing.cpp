// Editing through a dataset over DEPT: a new department inserted, its
// location updated, a row that another session holds locked reported and
// then edited once the lock is gone, and the new department deleted again.
// Usage: dataset_editing [database]
#include <cstdio>
#include <string>

#include "oracle/dataset/oracle_dataset.h"
#include "oracle/session/oracle_error.h"
#include "oracle/session/oracle_query.h"
#include "oracle/session/oracle_session.h"

namespace {

kvell::TOracleSession& log_on(kvell::TOracleSession& session, int argc, char** argv) {
  session.SetLogonUsername("scott");
  session.SetLogonPassword("tiger");
  if (argc > 1) session.SetLogonDatabase(argv[1]);
  session.LogOn();
  return session;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kvell;
  try {
    TOracleSession session, colleague;
    log_on(session, argc, argv);
    log_on(colleague, argc, argv);

    TOracleDataSet dept;
    dept.SetSession(&session);
    dept.SetSQLText("select rowid, deptno, dname, loc from dept order by deptno");
    dept.LockingMode = lmLockImmediate;  // lock the row as soon as editing starts
    dept.Open();

    dept.Append();  // posted as an insert, committed (CommitOnPost)
    dept.FieldByName("DEPTNO")->SetAsInteger(50);
    dept.FieldByName("DNAME")->SetAsString("SUPPORT");
    dept.Post();

    dept.Edit();  // an update of the changed column only
    dept.FieldByName("LOC")->SetAsString("LJUBLJANA");
    dept.Post();
    std::printf("inserted and updated: %d %s %s\n", dept.FieldByName("DEPTNO")->AsInteger(),
                dept.FieldByName("DNAME")->AsString().c_str(), dept.FieldByName("LOC")->AsString().c_str());

    TOracleQuery hold;  // another user holds department 10
    hold.SetSession(&colleague);
    hold.SQL().SetText("select * from dept where deptno = 10 for update");
    hold.Execute();
    dept.First();
    try {
      dept.Edit();
    } catch (const EDatabaseError& e) {
      std::printf("department 10: %s\n", e.Message.c_str());
      colleague.Rollback();  // the other user lets go
      dept.Edit();
    }
    dept.FieldByName("LOC")->SetAsString("NEW YORK CITY");
    dept.Post();

    dept.Last();
    dept.Delete();  // the new department goes again
    TOracleQuery count;
    count.SetSession(&colleague);
    count.SQL().SetText("select count(*), max(loc) from dept where deptno in (10, 50)");
    count.Execute();
    std::printf("departments 10 and 50 now: %s, location of 10: %s\n", count.FieldText(0).c_str(),
                count.FieldText(1).c_str());
    return count.FieldText(0) == "1" ? 0 : 1;
  } catch (const EOracleError& e) {
    std::fprintf(stderr, "Oracle error %d: %s\n", e.ErrorCode, e.Message.c_str());
  } catch (const Exception& e) {
    std::fprintf(stderr, "%s\n", e.Message.c_str());
  }
  return 1;
}
