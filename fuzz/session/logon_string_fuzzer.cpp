// SplitLogonString on arbitrary text: no crash, parts only from the input,
// and composing plain parts splits back into the same parts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "oracle/session/logon_string.h"

namespace {

bool plain(const std::string& part) {
  for (char c : part)
    if (c == '"' || c == '/' || c == '@' || static_cast<unsigned char>(c) <= ' ') return false;
  return true;
}

void check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  kvell::LogonParts parts;
  const bool found = kvell::SplitLogonString(text, parts);
  check(parts.Username.size() + parts.Password.size() + parts.Database.size() + parts.Role.size() <= text.size());
  check(found == (!parts.Password.empty() || !parts.Database.empty() || !parts.Role.empty()));
  const kvell::TConnectAsOption role = kvell::ConnectAsFromRole(parts.Role);
  if (plain(parts.Username) && plain(parts.Password) && plain(parts.Database) && !parts.Username.empty()) {
    kvell::LogonParts again;
    kvell::SplitLogonString(kvell::ComposeLogonString(parts.Username, parts.Password, parts.Database, role), again);
    check(again.Username == parts.Username && again.Password == parts.Password && again.Database == parts.Database);
  }
  return 0;
}
