// The guard every exported entry runs its body in: injected test failures,
// the error handle's records, and the translation of every C++ failure into
// an OCI return code, so that no exception ever crosses into C.
#pragma once

#include <cstring>
#include <new>
#include <stdexcept>

#include "ociemu/api/errors.h"
#include "ociemu/api/handles.h"
#include "ociemu/api/statement.h"

namespace ociemu {

// The pending injected failure for an entry (consumed), or 0.
int take_injected_failure(const char* entry_name);

// Attribute calls leave the records of the previous call readable (fetch, then
// read the row count, then the error); every other call starts afresh.
template <class Body>
sword guarded(const char* entry_name, ErrorHandle* errors, Body&& body) noexcept {
  try {
    if (errors && std::strncmp(entry_name, "OCIAttr", 7) != 0) errors->records.clear();
    if (int code = take_injected_failure(entry_name)) {
      record_error(errors, code, message_text(code));
      return OCI_ERROR;
    }
    return body();
  } catch (const OracleException& e) {
    record_error(errors, e.error.code, e.error.message);
  } catch (const std::bad_alloc&) {
    record_error(errors, 4030, message_text(4030));
  } catch (const std::exception& e) {
    record_error(errors, 600, message_text(600, {"ociemu", e.what()}));
  } catch (...) {
    record_error(errors, 600, message_text(600, {"ociemu"}));
  }
  return OCI_ERROR;
}

// Resolves an error handle argument: nullptr stays nullptr, a bad pointer sets `bad`.
inline ErrorHandle* error_handle(void* errhp, bool& bad) {
  if (errhp == nullptr) return nullptr;
  ErrorHandle* errors = live<ErrorHandle>(errhp);
  bad = errors == nullptr;
  return errors;
}

// Opens an entry body: `errors` is the error handle argument, and a bad one answers OCI_INVALID_HANDLE.
#define OCIEMU_ERRORS(errhp)                             \
  bool bad_handle = false;                               \
  ErrorHandle* errors = error_handle(errhp, bad_handle); \
  if (bad_handle) return OCI_INVALID_HANDLE

// The standard answer of an entry the emulator does not implement.
sword unimplemented(const char* entry_name, void* errhp);

}  // namespace ociemu
