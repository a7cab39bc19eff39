// Values of a record in the dataset's native layout read back as variants:
// the slot of a non-blob field (null byte, then the framework's native
// value) and a blob field's bytes, as text for character columns and as a
// byte array for binary ones. Also the deep copies of records that the
// change log keeps.
// Thread-safe: yes for distinct records.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "oracle/dataset/field_info.h"
#include "oracle/dataset/record_buffer.h"
#include "runtime/variant.h"

namespace kvell {

// The value in a non-blob field's slot; Null when the null byte is set.
Variant SlotValue(const uint8_t* record, const TOracleFieldInfo& info);

// A non-blob field's slot read in place: the null byte, then the native value.
inline bool SlotIsNull(const uint8_t* record, const TOracleFieldInfo& info) {
  return DataArea(record)[info.DataOffset] != 0;
}
template <class T>
T SlotNumber(const uint8_t* record, const TOracleFieldInfo& info) {
  T value;
  std::memcpy(&value, DataArea(record) + info.DataOffset + 1, sizeof value);
  return value;
}
// A text field's characters, up to its terminator; valid while the record is.
std::string_view SlotText(const uint8_t* record, const TOracleFieldInfo& info);

// True when the two records' slots of a non-blob field hold the same value
// byte for byte; false says nothing, the values may still compare equal.
bool SlotsIdentical(const uint8_t* record, const uint8_t* other, const TOracleFieldInfo& info);

// A blob field's value: Null for no entry or no bytes.
Variant BlobValue(const TOracleBlob* blob, const TOracleFieldInfo& info);
bool IsTextBlob(const TOracleFieldInfo& info);

// A copy of `blobs` whose entries own their bytes.
std::unique_ptr<TBlobList> CopyBlobList(const TBlobList& blobs);

// A record of `record_size` bytes copied from `source`, with its own blob
// list and long rowid, released with it.
struct RecordCopyDeleter {
  void operator()(uint8_t* record) const;
};
using RecordCopy = std::unique_ptr<uint8_t[], RecordCopyDeleter>;
RecordCopy CopyRecord(const uint8_t* source, int record_size);
// Makes `target` (a stored record, or a zero-filled slot) a copy of `source`
// with its own blob list and long rowid, releasing what it owned before.
void CopyRecordInto(uint8_t* target, const uint8_t* source, int record_size);

}  // namespace kvell
