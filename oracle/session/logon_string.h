// Logon strings of the form user/password@database as ROLE: splitting one
// into its parts and composing one from a session's logon properties.
#pragma once

#include <string>

namespace kvell {

enum TConnectAsOption { caNormal, caSYSDBA, caSYSOPER };

struct LogonParts {
  std::string Username;
  std::string Password;
  std::string Database;
  std::string Role;  // trimmed and upper-cased; empty without " as "
};

// Splits `text`; returns whether it had parts beyond a user name (a
// password, a database or a role). Double quotes toggle quoting and stay in
// the part; outside quotes the first "/" of the user part starts the
// password and the first "@" before the database part starts the database.
bool SplitLogonString(const std::string& text, LogonParts& parts);

// "SYSDBA" and "SYSOPER" without regard to case; anything else caNormal.
TConnectAsOption ConnectAsFromRole(const std::string& role);

// username [/password] [@database] [ as SYSDBA|SYSOPER]
std::string ComposeLogonString(const std::string& username, const std::string& password,
                               const std::string& database, TConnectAsOption connect_as);

}  // namespace kvell
