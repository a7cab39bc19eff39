#include "oracle/dataset/record_values.h"

#include <cstring>
#include <string>

#include "db/field.h"

namespace kvell {

Variant SlotValue(const uint8_t* record, const TOracleFieldInfo& info) {
  if (!info.Field || info.DataOffset < 0) return Null();
  if (SlotIsNull(record, info)) return Null();
  switch (info.Field->DataType()) {
    case ftSmallint: return Variant(static_cast<int32_t>(SlotNumber<int16_t>(record, info)));
    case ftInteger: return Variant(SlotNumber<int32_t>(record, info));
    case ftFloat: return Variant(SlotNumber<double>(record, info));
    case ftDateTime: return Variant::FromDateTime(NativeToDateTime(ftDateTime, SlotNumber<double>(record, info)));
    default: break;
  }
  return Variant(std::string(SlotText(record, info)));
}

std::string_view SlotText(const uint8_t* record, const TOracleFieldInfo& info) {
  const auto* text = reinterpret_cast<const char*>(DataArea(record) + info.DataOffset + 1);
  return std::string_view(text, strnlen(text, static_cast<size_t>(info.Field->DataSize())));
}

bool SlotsIdentical(const uint8_t* record, const uint8_t* other, const TOracleFieldInfo& info) {
  if (!info.Field || info.DataOffset < 0) return true;
  const uint8_t* slot = DataArea(record) + info.DataOffset;
  const uint8_t* other_slot = DataArea(other) + info.DataOffset;
  if (slot[0] != 0 || other_slot[0] != 0) return slot[0] != 0 && other_slot[0] != 0;
  switch (info.Field->DataType()) {
    case ftSmallint: return std::memcmp(slot + 1, other_slot + 1, sizeof(int16_t)) == 0;
    case ftInteger: return std::memcmp(slot + 1, other_slot + 1, sizeof(int32_t)) == 0;
    case ftFloat:
    case ftDateTime: return std::memcmp(slot + 1, other_slot + 1, sizeof(double)) == 0;
    default: break;
  }
  return SlotText(record, info) == SlotText(other, info);
}

bool IsTextBlob(const TOracleFieldInfo& info) {
  return info.Field && (info.Field->DataType() == ftMemo || info.Field->DataType() == ftOraClob);
}

Variant BlobValue(const TOracleBlob* blob, const TOracleFieldInfo& info) {
  if (!blob || blob->Size == 0) return Null();
  const std::string_view bytes = blob->Bytes();
  if (IsTextBlob(info)) return Variant(std::string(bytes));
  return Variant::FromBytes(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

std::unique_ptr<TBlobList> CopyBlobList(const TBlobList& blobs) {
  auto copy = std::make_unique<TBlobList>(blobs.Count());
  for (int i = 0; i < blobs.Count(); ++i)
    if (const TOracleBlob* blob = blobs.Find(i)) copy->Get(i).Assign(blob->Bytes());
  return copy;
}

void RecordCopyDeleter::operator()(uint8_t* record) const {
  ReleaseRecordData(record);
  delete[] record;
}

void CopyRecordInto(uint8_t* target, const uint8_t* source, int record_size) {
  ReleaseRecordData(target);
  std::memcpy(target, source, static_cast<size_t>(record_size));
  ClearRecordReferences(target);
  StoreRowId(target, RecordRowId(source));
  if (const TBlobList* blobs = Header(source).Blobs) Header(target).Blobs = CopyBlobList(*blobs).release();
}

RecordCopy CopyRecord(const uint8_t* source, int record_size) {
  RecordCopy copy(new uint8_t[static_cast<size_t>(record_size)]());
  CopyRecordInto(copy.get(), source, record_size);
  return copy;
}

}  // namespace kvell
