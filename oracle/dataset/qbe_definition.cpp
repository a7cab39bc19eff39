#include "oracle/dataset/qbe_definition.h"

#include <cstdint>

#include "db/field_defs.h"
#include "runtime/ansi_case.h"
#include "runtime/exception.h"

namespace kvell {
namespace {

constexpr int32_t kStoredVersion = 4;

int32_t read_int(TStream& stream) {
  uint8_t bytes[4];
  stream.ReadBuffer(bytes, 4);
  return static_cast<int32_t>(static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                              static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24);
}

void write_int(TStream& stream, int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  const uint8_t bytes[4] = {static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
                            static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 24)};
  stream.WriteBuffer(bytes, 4);
}

bool read_flag(TStream& stream) {
  uint8_t byte = 0;
  stream.ReadBuffer(&byte, 1);
  return byte != 0;
}

void write_flag(TStream& stream, bool value) {
  const uint8_t byte = value ? 1 : 0;
  stream.WriteBuffer(&byte, 1);
}

}  // namespace

bool TQBEField::CannotSearch(TFieldType type) {
  switch (type) {
    case ftBlob:
    case ftMemo:
    case ftGraphic:
    case ftFmtMemo:
    case ftTypedBinary:
    case ftOraBlob:
    case ftOraClob: return true;
    default: return false;
  }
}

void TQBEDefinition::Assign(const TQBEDefinition& source) {
  if (&source == this) return;
  SaveQBEValues = source.SaveQBEValues;
  AllowFileWildCards = source.AllowFileWildCards;
  AllowOperators = source.AllowOperators;
  QBEFontColor = source.QBEFontColor;
  QBEBackgroundColor = source.QBEBackgroundColor;
  fields_ = source.fields_;
}

TQBEField* TQBEDefinition::Find(const std::string& field_name) {
  for (TQBEField& field : fields_)
    if (AnsiSameText(field.FieldName, field_name)) return &field;
  return nullptr;
}

void TQBEDefinition::Refresh(const TFieldDefs& defs) {
  std::erase_if(fields_, [&](const TQBEField& field) { return defs.IndexOf(field.FieldName) < 0; });
  for (int i = 0; i < defs.Count(); ++i) {
    const TFieldDef& def = defs[i];
    TQBEField* field = Find(def.Name);
    if (!field) field = &fields_.emplace_back(def.Name);
    field->SetDataType(def.DataType);
  }
}

void TQBEDefinition::WriteFieldDefs(TStream& stream) const {
  write_int(stream, kStoredVersion);
  write_int(stream, static_cast<int32_t>(fields_.size()));
  for (const TQBEField& field : fields_) {
    write_int(stream, static_cast<int32_t>(field.FieldName.size()));
    stream.WriteBuffer(field.FieldName.data(), static_cast<int64_t>(field.FieldName.size()));
    write_flag(stream, field.Enabled());
    write_flag(stream, field.PartialMatch);
    write_flag(stream, field.CaseInsensitive);
    write_flag(stream, field.DateWithoutTime);
    write_flag(stream, field.MatchAnywhere);
    write_flag(stream, field.SoundsLike);
  }
}

void TQBEDefinition::ReadFieldDefs(TStream& stream) {
  fields_.clear();
  const int32_t version = read_int(stream);
  if (version > kStoredVersion) throw Exception(kInvalidQBEVersion);
  const int32_t count = read_int(stream);
  for (int32_t i = 0; i < count; ++i) {
    const int32_t length = read_int(stream);
    // A length beyond what is left is a damaged form, not a reason to allocate.
    if (length < 0 || length > stream.Size() - stream.Position()) throw EStreamError("Stream read error");
    TQBEField field(std::string(static_cast<size_t>(length), '\0'));
    stream.ReadBuffer(field.FieldName.data(), length);
    field.SetEnabled(read_flag(stream));
    field.PartialMatch = read_flag(stream);
    field.CaseInsensitive = read_flag(stream);
    if (version >= 2) field.DateWithoutTime = read_flag(stream);
    if (version >= 3) field.MatchAnywhere = read_flag(stream);
    if (version >= 4) field.SoundsLike = read_flag(stream);
    fields_.push_back(std::move(field));
  }
}

}  // namespace kvell
