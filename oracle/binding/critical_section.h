// TOracleCriticalSection lives in the runtime so that the compressor can use
// it without the binding; this path stays for the layer's existing users.
#pragma once

#include "runtime/critical_section.h"
