// The version 7 interface: logon and cursor data areas mapped onto the
// same sessions and statements as the version 8 entries.
#pragma once

#include "ociemu/api/oci.h"

namespace ociemu {

struct Session;

// The session behind a logon data area, or nullptr.
Session* oci7_session(Lda_Def* lda);

}  // namespace ociemu
