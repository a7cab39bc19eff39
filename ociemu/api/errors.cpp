#include "ociemu/api/errors.h"

namespace ociemu {

void fail(int code, MessageArgs args) { sql::throw_oracle(code, args); }

}  // namespace ociemu
