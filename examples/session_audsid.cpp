// Logs on to the embedded database (or the database named on the command
// line) as the demo user and prints the server's id of the session.
// Run with ORACLE_HOME pointing at an Oracle home; the build's test home
// holds ociemu as its client library.
#include <cstdio>
#include <string>

#include "oracle/session/oracle_session.h"

int main(int argc, char* argv[]) {
  kvell::TOracleSession session;
  session.SetLogonUsername("scott");
  session.SetLogonPassword("tiger");
  session.SetLogonDatabase(argc > 1 ? argv[1] : "");
  try {
    session.LogOn();
    if (!session.LogonWarning().empty()) std::printf("%s\n", session.LogonWarning().c_str());
    std::printf("Logged on through %s; AUDSID %s\n", session.OCI8Mode() ? "OCI8" : "OCI7",
                session.SessionAudsid().c_str());
    session.LogOff();
  } catch (const kvell::EOracleError& error) {
    std::fprintf(stderr, "Oracle error %d: %s\n", error.ErrorCode, error.Message.c_str());
    return 1;
  } catch (const kvell::Exception& error) {
    std::fprintf(stderr, "%s\n", error.Message.c_str());
    return 1;
  }
  return 0;
}
