// Editing through a dataset over DEPT: a new department inserted, its
// location updated, a row that another session holds locked reported and
// then edited once the lock is gone, and the new department deleted again.
// Then cached updates over EMP: raises and a new employee kept in the
// dataset, unseen by the other session, until they are applied together.
// Usage: dataset_editing [database]
#include <cstdio>
#include <string>

#include "oracle/dataset/oracle_dataset.h"
#include "oracle/session/oracle_error.h"
#include "oracle/session/oracle_query.h"
#include "oracle/session/oracle_session.h"

namespace {

std::string ask(kvell::TOracleSession& session, const std::string& sql) {
  kvell::TOracleQuery query;
  query.SetSession(&session);
  query.SQL().SetText(sql);
  query.Execute();
  return query.FieldText(0);
}

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
    const std::string departments = ask(colleague, "select count(*) from dept where deptno in (10, 50)");
    std::printf("departments 10 and 50 now: %s, location of 10: %s\n", departments.c_str(),
                ask(colleague, "select loc from dept where deptno = 10").c_str());

    TOracleDataSet emp;
    emp.SetSession(&session);
    emp.SetSQLText("select rowid, empno, ename, sal from emp where deptno = 10 order by empno");
    emp.SetCachedUpdates(true);  // changes stay in the dataset until applied
    emp.Open();
    for (emp.First(); !emp.Eof(); emp.Next()) {
      emp.Edit();
      emp.FieldByName("SAL")->SetAsFloat(emp.FieldByName("SAL")->AsFloat() + 100);
      emp.Post();
    }
    emp.Append();
    emp.FieldByName("EMPNO")->SetAsInteger(7999);
    emp.FieldByName("ENAME")->SetAsString("NOVAK");
    emp.FieldByName("SAL")->SetAsFloat(2000);
    emp.Post();
    const std::string payroll = "select count(*) || ' earn ' || sum(sal) from emp where deptno = 10 or empno = 7999";
    std::printf("%d changes pending; the other session still sees %s\n", emp.ChangeLog().Count(),
                ask(colleague, payroll).c_str());
    emp.ApplyUpdates();  // one savepoint for all, then committed (CommitOnPost)
    const std::string applied = ask(colleague, payroll);
    std::printf("cached updates applied: %s\n", applied.c_str());
    return departments == "1" && applied == "4 earn 11050" ? 0 : 1;
  } catch (const EOracleError& e) {
    std::fprintf(stderr, "Oracle error %d: %s\n", e.ErrorCode, e.Message.c_str());
  } catch (const Exception& e) {
    std::fprintf(stderr, "%s\n", e.Message.c_str());
  }
  return 1;
}
