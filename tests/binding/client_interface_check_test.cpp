// The binding and ociemu each carry a copy of the client's C interface. These
// checks hold them together: every entry the binding binds must have the same
// function type as ociemu's prototype, the version 7 data area must have one
// layout, and the built libociemu.so must export every entry. The binding's
// headers come first, before ociemu's macros can rewrite its constants.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <type_traits>
#include <vector>

#include "oracle/binding/oci_entries.h"
#include "oracle/binding/oci_types.h"

#include "ociemu/api/oci.h"
#include "ociemu/api/test_hooks.h"

// Names the binding's parameter lists use that ociemu spells otherwise or
// leaves out; each maps onto ociemu's own type, so a mismatch still shows.
using OCIMallocHook = OCIMallocCallback;
using OCIReallocHook = OCIReallocCallback;
using OCIFreeHook = OCIFreeCallback;
using OCICacheFlushGet = OCIRef* (*)(void* context, ub1* last);

// Expanded at global scope, so the unqualified type names in each parameter
// list resolve to ociemu's declarations, not the binding's.
#define KVELL_CHECK_ENTRY(name, result, parameters)                               \
  static_assert(std::is_same_v<decltype(&::name), result(*) parameters>,          \
                "ociemu's " #name " differs from the binding's argument list");
KVELL_CLIENT_ENTRIES(KVELL_CHECK_ENTRY)
#undef KVELL_CHECK_ENTRY

static_assert(sizeof(::Cda_Def) == sizeof(kvell::Cda_Def), "one size of the version 7 data area");
static_assert(sizeof(::Lda_Def) == sizeof(kvell::Lda_Def), "one size of the version 7 logon area");
#define KVELL_SAME_OFFSET(field) \
  static_assert(offsetof(::cda_def, field) == offsetof(kvell::cda_def, field), "data area field " #field)
KVELL_SAME_OFFSET(ft);
KVELL_SAME_OFFSET(rpc);
KVELL_SAME_OFFSET(peo);
KVELL_SAME_OFFSET(fc);
KVELL_SAME_OFFSET(rc);
KVELL_SAME_OFFSET(wrn);
KVELL_SAME_OFFSET(rid);
KVELL_SAME_OFFSET(ose);
KVELL_SAME_OFFSET(chk);
KVELL_SAME_OFFSET(rcsp);
KVELL_SAME_OFFSET(rcs9);
#undef KVELL_SAME_OFFSET

namespace {

std::vector<std::string> binding_entry_names() {
  std::vector<std::string> names;
#define KVELL_ENTRY_NAME(name, result, parameters) names.emplace_back(#name);
  KVELL_CLIENT_ENTRIES(KVELL_ENTRY_NAME)
#undef KVELL_ENTRY_NAME
  return names;
}

TEST(ClientInterfaceCheck, the_emulator_exports_every_entry_the_binding_binds_and_its_test_hooks) {
  void* library = dlopen(OCIEMU_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(nullptr, library) << dlerror();
  std::vector<std::string> missing;
  for (const auto& name : binding_entry_names()) {
    if (dlsym(library, name.c_str()) == nullptr) missing.push_back(name);
  }
  for (const char* hook : {"ociemu_kill_session", "ociemu_fail_next", "ociemu_report_oracle7"}) {
    if (dlsym(library, hook) == nullptr) missing.emplace_back(hook);
  }
  EXPECT_EQ(std::vector<std::string>{}, missing);
  dlclose(library);
}

}  // namespace
