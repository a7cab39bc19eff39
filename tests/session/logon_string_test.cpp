// Splitting and composing logon strings.
#include <gtest/gtest.h>

#include "oracle/session/logon_string.h"
#include "oracle/session/oracle_session.h"

namespace kvell {
namespace {

LogonParts split(const std::string& text, bool* found = nullptr) {
  LogonParts parts;
  bool result = SplitLogonString(text, parts);
  if (found) *found = result;
  return parts;
}

TEST(SplitLogonString, keeps_the_parts_case_and_reads_the_role_without_case) {
  bool found = false;
  LogonParts parts = split("Scott/Tiger@Orcl as sysdba", &found);
  EXPECT_TRUE(found);
  EXPECT_EQ("Scott", parts.Username);
  EXPECT_EQ("Tiger", parts.Password);
  EXPECT_EQ("Orcl", parts.Database);
  EXPECT_EQ("SYSDBA", parts.Role);
  EXPECT_EQ(caSYSDBA, ConnectAsFromRole(parts.Role));
}

TEST(SplitLogonString, a_tab_counts_as_a_blank_around_as) {
  LogonParts parts = split("scott/tiger\tAS\tsysoper ");
  EXPECT_EQ("tiger", parts.Password);
  EXPECT_EQ("SYSOPER", parts.Role);
  EXPECT_EQ(caSYSOPER, ConnectAsFromRole(parts.Role));
  EXPECT_EQ(caNormal, ConnectAsFromRole("NORMAL"));
}

TEST(SplitLogonString, an_at_sign_ends_the_password_unless_quoted) {
  LogonParts plain = split("scott/ti@ger@db");
  EXPECT_EQ("ti", plain.Password);
  EXPECT_EQ("ger@db", plain.Database);
  LogonParts quoted = split("scott/\"ti@ger\"@db");
  EXPECT_EQ("\"ti@ger\"", quoted.Password);
  EXPECT_EQ("db", quoted.Database);
}

TEST(SplitLogonString, a_slash_after_the_at_sign_belongs_to_the_database) {
  LogonParts parts = split("scott@/tmp/data.db");
  EXPECT_EQ("scott", parts.Username);
  EXPECT_EQ("", parts.Password);
  EXPECT_EQ("/tmp/data.db", parts.Database);
}

TEST(SplitLogonString, a_bare_user_name_has_no_parts) {
  bool found = true;
  LogonParts parts = split("scott", &found);
  EXPECT_FALSE(found);
  EXPECT_EQ("scott", parts.Username);
  split("", &found);
  EXPECT_FALSE(found);
}

TEST(ComposeLogonString, builds_the_string_from_the_properties_when_the_username_has_no_parts) {
  TOracleSession session;
  session.SetLogonUsername("scott");
  session.SetLogonDatabase("orcl");
  session.ConnectAs = caSYSOPER;
  EXPECT_EQ("scott@orcl as SYSOPER", session.ComposeLogonString());
  session.SetLogonPassword("tiger");
  session.ConnectAs = caNormal;
  EXPECT_EQ("scott/tiger@orcl", session.ComposeLogonString());
}

TEST(ComposeLogonString, moves_the_parts_of_a_whole_logon_string_into_the_properties) {
  TOracleSession session;
  session.SetLogonUsername("sys/secret@orcl as sysdba");
  EXPECT_EQ("sys/secret@orcl as sysdba", session.ComposeLogonString());
  EXPECT_EQ("sys", session.LogonUsername());
  EXPECT_EQ("secret", session.LogonPassword());
  EXPECT_EQ("orcl", session.LogonDatabase());
  EXPECT_EQ(caSYSDBA, session.ConnectAs);
}

TEST(ODBCBridge, is_detected_in_the_database_or_the_username) {
  TOracleSession session;
  EXPECT_FALSE(session.ODBCBridge());
  session.SetLogonDatabase("odbc:accounts");
  EXPECT_TRUE(session.ODBCBridge());
  session.SetLogonDatabase("orcl");
  EXPECT_FALSE(session.ODBCBridge());
  session.SetLogonUsername("scott/tiger@ODBC:x");
  EXPECT_TRUE(session.ODBCBridge());
}

}  // namespace
}  // namespace kvell
