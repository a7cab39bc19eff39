// The Oracle client binding in one include: the client's C types and entry
// variables, the availability flags, the search settings and log, loading
// and unloading, and the process-wide lock.
#pragma once

#include "oracle/binding/client_loader.h"
#include "oracle/binding/client_location.h"
#include "oracle/binding/client_platform.h"
#include "oracle/binding/critical_section.h"
#include "oracle/binding/entry_tables.h"
#include "oracle/binding/oci_entries.h"
#include "oracle/binding/oci_types.h"
