// When a dataset counts a field as changed: against the row on the server
// (the check before a post, the re-read after it) and against the field's old
// value (which columns an update writes). Nulls, empty and blank texts count
// as one; floats, dates and timestamps compare within their precision.
// Thread-safe: yes (pure functions).
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "db/db_types.h"
#include "runtime/variant.h"

namespace kvell {

// Gives the value of stored binary bytes: decompressed when they carry the
// dataset's compression header, else as they are.
using StoredBytesReader = std::function<std::vector<uint8_t>(const std::vector<uint8_t>&)>;

struct ComparedField {
  TFieldType FieldType = ftUnknown;
  int OracleType = 0;  // the column's type code
  int DataSize = 0;    // the field's slot size (text: characters + 1)
};

// Whether the field's value counts as null: null, unassigned, or empty; texts
// also when blank, binary values when they hold no bytes.
bool FieldValueIsNull(TFieldType type, const Variant& value);

// True when the server's value differs from the field's.
bool ServerValueDiffers(const ComparedField& field, const Variant& field_value, const Variant& server_value,
                        const StoredBytesReader& stored_bytes = {});

// The same verdicts on values read in place, neither side null: a float
// column against a float field, and a character column against a text field
// of slot size `data_size`.
bool ServerFloatDiffers(double field_value, double server_value);
bool ServerTextDiffers(int data_size, std::string_view field_value, std::string_view server_value);

// True when a non-blob field's new value differs from its old one; texts
// compare right-trimmed when `trim_strings`.
bool FieldValueChanged(TFieldType type, const Variant& old_value, const Variant& new_value, bool trim_strings);

}  // namespace kvell
