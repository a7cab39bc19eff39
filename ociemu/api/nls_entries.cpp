// National-language entries: the one character set ociemu speaks (AL32UTF8,
// with AL16UTF16 as the national set), by id, by name and by its sizes.
#include <cstring>
#include <string_view>

#include "ociemu/api/entry.h"
#include "ociemu/api/nls.h"

using namespace ociemu;

namespace {

struct CharacterSet {
  ub2 id;
  std::string_view oracle_name;
  std::string_view iana_name;
};

// Names clients ask for; every one of them is stored and read as UTF-8 here.
constexpr CharacterSet kCharacterSets[] = {
    {kDatabaseCharsetId, "AL32UTF8", "UTF-8"}, {871, "UTF8", "UTF-8"},
    {kNationalCharsetId, "AL16UTF16", "UTF-16"}, {1, "US7ASCII", "US-ASCII"},
    {31, "WE8ISO8859P1", "ISO-8859-1"},
};

const CharacterSet* by_id(ub2 id) {
  for (const auto& set : kCharacterSets) {
    if (set.id == id) return &set;
  }
  return nullptr;
}

bool same_name(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

sword copy_out(OraText* buf, size_t buflen, std::string_view text) {
  if (buf == nullptr || buflen <= text.size()) return OCI_ERROR;
  std::memcpy(buf, text.data(), text.size());
  buf[text.size()] = 0;
  return OCI_SUCCESS;
}

}  // namespace

extern "C" {

sword OCINlsNumericInfoGet(void* envhp, OCIError* errhp, sb4* val, ub2 item) {
  OCIEMU_ERRORS(errhp);
  if (!live<Environment>(envhp) || val == nullptr) return OCI_INVALID_HANDLE;
  return guarded("OCINlsNumericInfoGet", errors, [&] {
    switch (item) {
      case OCI_NLS_CHARSET_MAXBYTESZ: *val = kMaxBytesPerChar; break;
      case OCI_NLS_CHARSET_FIXEDWIDTH: *val = 0; break;
      case OCI_NLS_CHARSET_ID: *val = kDatabaseCharsetId; break;
      case OCI_NLS_NCHARSET_ID: *val = kNationalCharsetId; break;
      default: fail(24315);
    }
    return OCI_SUCCESS;
  });
}

ub2 OCINlsCharSetNameToId(void* envhp, const OraText* name) {
  if (!live<Environment>(envhp) || name == nullptr) return 0;
  std::string_view wanted(reinterpret_cast<const char*>(name));
  for (const auto& set : kCharacterSets) {
    if (same_name(set.oracle_name, wanted)) return set.id;
  }
  return 0;
}

sword OCINlsCharSetIdToName(void* envhp, OraText* buf, size_t buflen, ub2 id) {
  if (!live<Environment>(envhp)) return OCI_INVALID_HANDLE;
  const CharacterSet* set = by_id(id);
  return set ? copy_out(buf, buflen, set->oracle_name) : OCI_ERROR;
}

sword OCINlsNameMap(void* envhp, OraText* buf, size_t buflen, const OraText* srcbuf, ub4 flag) {
  if (!live<Environment>(envhp) || srcbuf == nullptr) return OCI_INVALID_HANDLE;
  std::string_view source(reinterpret_cast<const char*>(srcbuf));
  for (const auto& set : kCharacterSets) {
    if (flag == OCI_NLS_CS_ORA_TO_IANA && same_name(set.oracle_name, source)) return copy_out(buf, buflen, set.iana_name);
    if (flag == OCI_NLS_CS_IANA_TO_ORA && same_name(set.iana_name, source)) return copy_out(buf, buflen, set.oracle_name);
  }
  return OCI_ERROR;
}

// The client's character set does not come from NLS_LANG here: it is always the database's.
sword OCINlsEnvironmentVariableGet(void* valp, size_t size, ub2 item, ub2, size_t* rsize) {
  if (valp == nullptr || size < sizeof(ub2)) return OCI_ERROR;
  ub2 id = 0;
  if (item == OCI_NLS_CHARSET_ID) id = kDatabaseCharsetId;
  else if (item == OCI_NLS_NCHARSET_ID) id = kNationalCharsetId;
  else return OCI_ERROR;
  std::memcpy(valp, &id, sizeof id);
  if (rsize) *rsize = sizeof id;
  return OCI_SUCCESS;
}

}  // extern "C"
