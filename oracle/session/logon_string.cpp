// Splitting and composing logon strings.
#include "oracle/session/logon_string.h"

#include "runtime/ansi_case.h"

namespace kvell {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string trimmed(const std::string& text) {
  size_t first = 0, last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
  return text.substr(first, last - first);
}

// Position of " AS " (tabs count as blanks, any case), or npos.
size_t find_role_separator(const std::string& text) {
  for (size_t i = 0; i + 4 <= text.size(); ++i) {
    if (is_blank(text[i]) && (text[i + 1] == 'a' || text[i + 1] == 'A') &&
        (text[i + 2] == 's' || text[i + 2] == 'S') && is_blank(text[i + 3]))
      return i;
  }
  return std::string::npos;
}

}  // namespace

bool SplitLogonString(const std::string& text, LogonParts& parts) {
  parts = LogonParts{};
  std::string rest = text;
  size_t role_at = find_role_separator(rest);
  if (role_at != std::string::npos) {
    parts.Role = AnsiUpperCase(trimmed(rest.substr(role_at + 4)));
    rest = trimmed(rest.substr(0, role_at));
  }
  enum { kUser, kPassword, kDatabase } part = kUser;
  bool quoted = false;
  for (char c : rest) {
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && c == '/' && part == kUser) {
      part = kPassword;
      continue;
    } else if (!quoted && c == '@' && part != kDatabase) {
      part = kDatabase;
      continue;
    }
    (part == kUser ? parts.Username : part == kPassword ? parts.Password : parts.Database) += c;
  }
  return !parts.Password.empty() || !parts.Database.empty() || !parts.Role.empty();
}

TConnectAsOption ConnectAsFromRole(const std::string& role) {
  if (AnsiSameText(role, "SYSDBA")) return caSYSDBA;
  if (AnsiSameText(role, "SYSOPER")) return caSYSOPER;
  return caNormal;
}

std::string ComposeLogonString(const std::string& username, const std::string& password,
                               const std::string& database, TConnectAsOption connect_as) {
  std::string result = username;
  if (!password.empty()) result += "/" + password;
  if (!database.empty()) result += "@" + database;
  if (connect_as == caSYSDBA) result += " as SYSDBA";
  if (connect_as == caSYSOPER) result += " as SYSOPER";
  return result;
}

}  // namespace kvell
