// REF values on the client side: between their stored text and OCIRef, in
// SQLT_REF defines and binds, and pinning the object table row a REF names.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ociemu/api/convert.h"
#include "ociemu/api/object_cache.h"

namespace ociemu {

struct Bind;
struct Define;
struct Session;

// The stored text of an object REF; nullopt for a null REF (a type's REF is no value: ORA-00932).
std::optional<std::string> object_ref_text(const ClientRef& ref);
// Makes ref the REF that stored text names (null for text that names none); session is the
// Session handle it came through.
void read_object_ref(std::string_view stored, const void* session, ClientRef& ref);

// SQLT_REF defines: the REF of fetched row `slot` (made when the slot is empty) from a stored value.
void place_ref(const Define& define, uint32_t slot, const Cell& value);
// SQLT_REF binds: the stored text of element `row`, nullopt for null.
std::optional<std::string> bound_ref_text(const Bind& bound, uint32_t row);
// OUT SQLT_REF binds: element `slot` from a value a block or RETURNING gives.
void place_ref_out(const Bind& bound, uint32_t slot, const Cell& value);

// OCIObjectPin through an object REF: the row's instance, pinned (ORA-21700 when the row is gone).
void* pin_object_ref(ObjectCache& cache, const ClientRef& ref, int pin_option, int lock_option);

// Fills a client instance from stored-object text (object_binds.cpp).
void fill_instance(ObjectCache& cache, Instance& instance, std::string_view stored, Session* session);

}  // namespace ociemu
