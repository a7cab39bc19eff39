// Result columns of a query: describe, the choice of define type and size,
// the defines of both interfaces with LONG pieces, and the accessors of the
// current row's values.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "oracle/binding/oracle_ci.h"
#include "oracle/session/oracle_date.h"
#include "oracle/session/oracle_error.h"
#include "oracle/session/oracle_query.h"
#include "oracle/session/oracle_session.h"
#include "oracle/session/oci_constants.h"
#include "oracle/session/sql_scan.h"
#include "runtime/ansi_case.h"
#include "runtime/date_text.h"
#include "runtime/exception.h"
#include "runtime/float_text.h"
#include "runtime/str_convert.h"

namespace kvell {


namespace {

constexpr size_t kMaxColumnName = 30;
constexpr int kOci7LongBuffer = 4096;
constexpr int kMaxLongPieceCall = 64000;
constexpr sb4 kLongDefineSize = 2147483647;

sb4 supply_long_piece(void* context, OCIDefine*, ub4, void** buffer, ub4** length, ub1*, void** indicator,
                      ub2** code) {
  auto& column = *static_cast<TFieldData*>(context);
  TLongPiece& piece = column.NextPiece();
  *buffer = piece.Buffer.data();
  *length = &piece.Filled;
  *indicator = &column.Indicators[0];
  *code = &column.ReturnCodes[0];
  return OCI_CONTINUE;
}

bool is_lob_type(int type) { return type == 112 || type == 113 || type == 114; }

std::string field_error(int index, const char* what) { return "Field " + IntToStr(index) + what; }

std::string conversion_error(const TFieldData& column, const char* target) {
  return "Cannot convert field " + column.Name + " to " + target;
}

}  // namespace

// ---- describe and define

void TOracleQuery::describe_and_define() {
  columns_.clear();
  row_array_size_ = read_buffer_;
  try {
    for (int position = 1;; ++position) {
      auto column = std::make_unique<TFieldData>();
      const bool found = session_->OCI8Mode() ? describe_column8(position, *column) : describe_column7(position, *column);
      if (!found) break;
      choose_define(*column);
      if (column->IsLong()) row_array_size_ = 1;
      columns_.push_back(std::move(column));
    }
  } catch (const EOracleError&) {
    columns_.clear();
    locate_parse_error();
    throw;
  }
  complex_columns_ = std::any_of(columns_.begin(), columns_.end(), [](const auto& column) { return column->Complex != nullptr; });
  static std::atomic<uint64_t> describes{0};
  describe_id_ = ++describes;
  for (size_t i = 0; i < columns_.size(); ++i) {
    TFieldData& column = *columns_[i];
    column.Allocate(row_array_size_, !session_->OCI8Mode() || column.IsLong());
    SessionCall call(*session_);
    if (column.Complex) {
      column.Complex->Define(statement_, error_, static_cast<ub4>(i + 1));
    } else {
      define_column(static_cast<int>(i + 1), column);
    }
  }
  described_ = true;
}

bool TOracleQuery::describe_column8(int position, TFieldData& column) {
  SessionCall call(*session_);
  ub4 count = 0;
  check8(OCIAttrGet(statement_, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, error_));
  if (static_cast<ub4>(position) > count) return false;
  void* param = nullptr;
  check8(OCIParamGet(statement_, OCI_HTYPE_STMT, error_, &param, static_cast<ub4>(position)));
  ub2 size = 0, type = 0, char_length = 0;
  sb2 precision = 0;
  sb1 scale = 0;
  ub1 nullable = 1, form = 1;
  OraText* name = nullptr;
  ub4 name_length = 0;
  check8(OCIAttrGet(param, OCI_DTYPE_PARAM, &size, nullptr, OCI_ATTR_DATA_SIZE, error_));
  check8(OCIAttrGet(param, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE, error_));
  if (OCIAttrGet(param, OCI_DTYPE_PARAM, &char_length, nullptr, OCI_ATTR_CHAR_SIZE, error2_) != OCI_SUCCESS) char_length = 0;
  if (OCIAttrGet(param, OCI_DTYPE_PARAM, &form, nullptr, OCI_ATTR_CHARSET_FORM, error2_) != OCI_SUCCESS) form = 1;
  check8(OCIAttrGet(param, OCI_DTYPE_PARAM, &name, &name_length, OCI_ATTR_NAME, error_));
  check8(OCIAttrGet(param, OCI_DTYPE_PARAM, &precision, nullptr, OCI_ATTR_PRECISION, error_));
  check8(OCIAttrGet(param, OCI_DTYPE_PARAM, &scale, nullptr, OCI_ATTR_SCALE, error_));
  check8(OCIAttrGet(param, OCI_DTYPE_PARAM, &nullable, nullptr, OCI_ATTR_IS_NULL, error_));
  column.DataSize = size;
  column.InternalType = type;
  column.CharLength = char_length;
  column.CharsetForm = form;
  column.Name.assign(reinterpret_cast<const char*>(name), std::min<size_t>(name_length, kMaxColumnName));
  column.Precision = precision;
  column.Scale = scale == -127 && precision == 0 ? 0 : scale;
  column.Nullable = nullable != 0;
  if (type == 108 || type == 110) {
    OraText* text = nullptr;
    ub4 length = 0;
    std::string type_name, schema;
    if (OCIAttrGet(param, OCI_DTYPE_PARAM, &text, &length, OCI_ATTR_TYPE_NAME, error_) == OCI_SUCCESS && text) {
      type_name.assign(reinterpret_cast<const char*>(text), length);
    }
    if (OCIAttrGet(param, OCI_DTYPE_PARAM, &text, &length, OCI_ATTR_SCHEMA_NAME, error_) == OCI_SUCCESS && text) {
      schema.assign(reinterpret_cast<const char*>(text), length);
    }
    column.TypeName = schema + "." + type_name;
    if (OCIAttrGet(param, OCI_DTYPE_PARAM, &column.TypeRef, nullptr, OCI_ATTR_REF_TDO, error2_) != OCI_SUCCESS) {
      column.TypeRef = nullptr;
    }
  }
  return true;
}

bool TOracleQuery::describe_column7(int position, TFieldData& column) {
  SessionCall call(*session_);
  sb4 size = 0, display_size = 0;
  sb2 type = 0, precision = 0, scale = 0, nullable = 1;
  sb1 name[64] = {};
  sb4 name_length = static_cast<sb4>(sizeof name);
  odescr(&cda_, position, &size, &type, name, &name_length, &display_size, &precision, &scale, &nullable);
  if (cda_.rc == kVariableNotInList) return false;
  check7(false);
  column.DataSize = size;
  column.InternalType = type;
  column.Name.assign(reinterpret_cast<const char*>(name),
                     std::min<size_t>(static_cast<size_t>(std::max(name_length, 0)), kMaxColumnName));
  column.Precision = precision;
  column.Scale = scale == -127 && precision == 0 ? 0 : scale;
  column.Nullable = nullable != 0;
  return true;
}

void TOracleQuery::choose_define(TFieldData& column) {
  const bool oci8 = session_->OCI8Mode();
  auto complex = [&](const char* feature, bool net9) {
    if (net9) {
      RequireNet9Session(session_, feature);
    } else {
      RequireOCI8Session(session_, feature);
    }
    column.DefineType = column.InternalType;
    column.DefineSize = 4;
    const ComplexColumnFactory* maker = FindComplexColumn(column.InternalType);
    if (!maker) throw Exception(std::string(feature) + " needs the LOB and object support, which this build lacks");
    column.Complex = (*maker)(*session_, column);
  };
  switch (column.InternalType) {
    case 2: {
      const NumberColumnMapping mapping = session_->MapNumberColumn(column.Precision, column.Scale, string_fields_only_);
      column.DefineType = mapping.ExternalType;
      column.DefineSize = mapping.BufferSize;
      break;
    }
    case 8:
    case 24:
      column.DefineType = column.InternalType;
      column.DefineSize = oci8 ? 0 : kOci7LongBuffer;
      break;
    case 11:
    case 104:
      column.DefineType = 5;
      column.DefineSize = std::max(column.DataSize + 1, 19);
      break;
    case 12:
      column.DefineType = string_fields_only_ ? 5 : 12;
      column.DefineSize = string_fields_only_ ? session_->DateFormatLength() + 1 : 7;
      break;
    case 23:
      column.DefineType = 5;
      column.DefineSize = column.DataSize * 2 + 1;
      break;
    case 106:
      column.DefineType = 5;
      column.DefineSize = 255;
      break;
    case 108: complex("A query with objects", false); break;
    case 110: complex("A query with references", false); break;
    case 112:
    case 113:
    case 114: complex("A query with LOB's", false); break;
    case 116: complex("A query with sub-queries", false); break;
    case 187:
    case 188:
    case 232:
      if (session_->Preferences().TimestampAsString()) {
        column.DefineType = 5;
        column.DefineSize = session_->ResolvedBytesPerCharacter() * 50;
      } else {
        complex("A query with timestamps", true);
      }
      break;
    case 189:
    case 190:
      column.DefineType = 5;
      column.DefineSize = session_->ResolvedBytesPerCharacter() * 20;
      break;
    default:
      column.DefineType = 5;
      column.DefineSize = column.DataSize + 1;
      break;
  }
}

void TOracleQuery::define_column(int position, TFieldData& column) {
  const ub2 type = static_cast<ub2>(column.InternalType == 106 ? 106 : column.DefineType);
  if (!session_->OCI8Mode()) {
    odefin(&cda_, position, column.Buffer.data(), column.DefineSize, type, -1, column.Indicators.data(), nullptr, -1,
           -1, column.ReturnLengths.data(), column.ReturnCodes.data());
    check7(false);
    return;
  }
  if (column.IsLong()) {
    check8(OCIDefineByPos(statement_, &column.Define, error_, static_cast<ub4>(position), nullptr, kLongDefineSize,
                          type, column.Indicators.data(), nullptr, column.ReturnCodes.data(), OCI_DYNAMIC_FETCH));
    check8(OCIDefineDynamic(column.Define, error_, &column, supply_long_piece));
    return;
  }
  check8(OCIDefineByPos(statement_, &column.Define, error_, static_cast<ub4>(position), column.Buffer.data(),
                        column.DefineSize, type, column.Indicators.data(), column.ReturnLengths.data(), nullptr,
                        OCI_DEFAULT));
}

void TOracleQuery::clear_long_pieces() {
  for (auto& column : columns_) column->Pieces.clear();
}

void TOracleQuery::prepare_next_array() {
  clear_long_pieces();
  for (auto& column : columns_) {
    if (column->Complex) column->Complex->BeforeFetch();
  }
}

void TOracleQuery::load_current_row() {
  if (!complex_columns_) return;  // the common case, asked on every row
  for (auto& column : columns_) {
    if (column->Complex) column->Complex->LoadRow(current_row_);
  }
}

// ---- access

const TFieldData& TOracleQuery::Column(int index) const {
  if (index < 0 || index >= ColumnCount()) throw Exception(field_error(index, " does not exist"));
  return *columns_[static_cast<size_t>(index)];
}

const TFieldData& TOracleQuery::current_column(int index) const {
  if (eof_) throw Exception(kBeyondEof);
  return Column(index);
}

int TOracleQuery::FieldSize(int index) const {
  const TFieldData& column = Column(index);
  return column.DefineType == 5 ? column.DefineSize - 1 : 0;
}

namespace {

// Two names that start with different ASCII letters, case aside, cannot fold
// to the same text; this spares the case folding for most columns looked past.
bool may_be_same_text(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return a.empty() == b.empty();
  const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
  if ((a[0] & 0x80) || (b[0] & 0x80)) return true;
  return upper(a[0]) == upper(b[0]);
}

}  // namespace

int TOracleQuery::FieldIndex(const std::string& name) const {
  // Names usually come spelled as described: the exact test spares the case folding.
  for (size_t i = 0; i < columns_.size(); ++i) {
    const std::string& column = columns_[i]->Name;
    if (column == name || (may_be_same_text(column, name) && AnsiSameText(column, name))) return static_cast<int>(i);
  }
  return -1;
}

bool TOracleQuery::FieldIsNull(int index) const {
  const TFieldData& column = current_column(index);
  if (column.Complex) return column.Complex->IsNull(current_row_);
  return column.Indicators[static_cast<size_t>(current_row_)] == -1;
}

Variant TOracleQuery::FieldValue(const std::string& name) const {
  const int index = FieldIndex(name);
  if (index < 0) throw Exception("Field " + name + " does not exist");
  return FieldValue(index);
}

namespace {

std::string_view row_text(const TFieldData& column, int row) {
  const auto* bytes = reinterpret_cast<const char*>(column.Row(row));
  const size_t size = static_cast<size_t>(column.DefineSize);
  const void* end = std::memchr(bytes, 0, size);
  return std::string_view(bytes, end ? static_cast<size_t>(static_cast<const char*>(end) - bytes) : size);
}

// One pass over the text; find_first_of would search the set once per character.
bool has_line_break(std::string_view text) {
  for (char c : text) {
    if (c == '\n' || c == '\r') return true;
  }
  return false;
}

int32_t row_integer(const TFieldData& column, int row) {
  int32_t value;
  std::memcpy(&value, column.Row(row), sizeof value);
  return value;
}

double row_float(const TFieldData& column, int row) {
  double value;
  std::memcpy(&value, column.Row(row), sizeof value);
  return value;
}

}  // namespace

std::string TOracleQuery::long_text_oci7(int index) const {
  const TFieldData& column = Column(index);
  const size_t first = column.ReturnLengths[0];
  std::string bytes(reinterpret_cast<const char*>(column.Buffer.data()), first);
  if (first < static_cast<size_t>(kOci7LongBuffer)) return bytes;
  auto& cda = const_cast<Cda_Def&>(cda_);
  size_t chunk = kOci7LongBuffer;
  for (;;) {
    std::string piece(chunk, '\0');
    ub4 got = 0;
    SessionCall call(*session_);
    oflng(&cda, index + 1, reinterpret_cast<ub1*>(piece.data()), static_cast<sb4>(chunk), column.DefineType, &got,
          static_cast<sb4>(bytes.size()));
    if (cda.rc != 0 && cda.rc != kColumnTruncated) const_cast<TOracleQuery*>(this)->raise_error();
    bytes.append(piece.data(), got);
    if (got < chunk) return bytes;
    chunk = std::min<size_t>(chunk * 2, 32768);
  }
}

Variant TOracleQuery::FieldValue(int index) const {
  if (eof_) throw Exception(kBeyondEof);
  // Called for every field of every row: the column without a call.
  if (index < 0 || index >= ColumnCount()) throw Exception(field_error(index, " does not exist"));
  const TFieldData& column = *columns_[static_cast<size_t>(index)];
  const int row = current_row_;
  if (column.Complex) {
    return column.Complex->IsNull(row) ? null_value() : column.Complex->Value(row);
  }
  if (column.Indicators[static_cast<size_t>(row)] == -1) return null_value();
  switch (column.DefineType) {
    case 3: return Variant(row_integer(column, row));
    case 4: return Variant(row_float(column, row));
    case 5: {
      const TRowText text = ScanRowText(column.Row(row), static_cast<size_t>(column.DefineSize));
      return text_value(text.Text, text.LineBreak);
    }
    case 12: return Variant::FromDateTime(OracleDateToDateTime(column.Row(row)));
    case 8: {
      const std::string text = session_->OCI8Mode() ? column.LongBytes() : long_text_oci7(index);
      return text_value(text, has_line_break(text));
    }
    case 24: {
      const std::string bytes = session_->OCI8Mode() ? column.LongBytes() : long_text_oci7(index);
      return Variant::FromBytes(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    }
    default: return null_value();
  }
}

Variant TOracleQuery::text_value(std::string_view text, bool line_break) const {
  if (line_break && (!session_ || session_->Preferences().ConvertCRLF)) return Variant(NormalizeLineBreaks(text));
  return Variant::FromText(text);
}

bool TOracleQuery::FieldPlainText(int index, std::string_view& text) const {
  if (eof_ || index < 0 || index >= ColumnCount()) return false;
  const TFieldData& column = *columns_[static_cast<size_t>(index)];
  if (column.Complex || column.DefineType != 5 || column.Indicators[static_cast<size_t>(current_row_)] == -1)
    return false;
  const TRowText row = ScanRowText(column.Row(current_row_), static_cast<size_t>(column.DefineSize));
  if (row.LineBreak && (!session_ || session_->Preferences().ConvertCRLF)) return false;
  text = row.Text;
  return true;
}

std::string TOracleQuery::FieldText(int index) const {
  const TFieldData& column = current_column(index);
  if (FieldIsNull(index)) return {};
  if (column.Complex) return column.Complex->Text(current_row_);
  switch (column.DefineType) {
    case 3: return IntToStr(row_integer(column, current_row_));
    case 4: return FloatToStr(row_float(column, current_row_));
    case 5:
    case 8: return VarToStr(FieldValue(index));
    case 12: {
      const TDateTime value = OracleDateToDateTime(column.Row(current_row_));
      return FormatDateTime(value == std::trunc(value) ? "ddddd" : "ddddd tt", value);
    }
    case 24: {
      const std::vector<uint8_t> bytes = FieldValue(index).AsBytes();
      return std::string(bytes.begin(), bytes.end());
    }
    default: throw Exception(conversion_error(column, "a String"));
  }
}

int32_t TOracleQuery::FieldInteger(int index) const {
  const TFieldData& column = current_column(index);
  if (FieldIsNull(index)) return 0;
  switch (column.DefineType) {
    case 3: return row_integer(column, current_row_);
    case 4: return static_cast<int32_t>(row_float(column, current_row_));
    case 5: return StrToInt(row_text(column, current_row_));
    case 12: return static_cast<int32_t>(OracleDateToDateTime(column.Row(current_row_)));
    default: throw Exception(conversion_error(column, "an Integer"));
  }
}

double TOracleQuery::FieldFloat(int index) const {
  const TFieldData& column = current_column(index);
  if (FieldIsNull(index)) return 0;
  switch (column.DefineType) {
    case 3: return row_integer(column, current_row_);
    case 4: return row_float(column, current_row_);
    case 5: return StrToFloat(row_text(column, current_row_));
    case 12: return OracleDateToDateTime(column.Row(current_row_));
    default: throw Exception(conversion_error(column, "a Float"));
  }
}

TDateTime TOracleQuery::FieldDate(int index) const {
  const TFieldData& column = current_column(index);
  if (FieldIsNull(index)) return 0;
  if (column.Complex && IsTimestampVariableType(column.InternalType)) return column.Complex->Value(current_row_).AsDateTime();
  switch (column.DefineType) {
    case 3: return row_integer(column, current_row_);
    case 4: return row_float(column, current_row_);
    case 5: return StrToDateTime(row_text(column, current_row_));
    case 12: return OracleDateToDateTime(column.Row(current_row_));
    default: throw Exception(conversion_error(column, "a Date"));
  }
}

int TOracleQuery::FieldLongPiece(int index, void* buffer, int size, int offset) const {
  const TFieldData& column = current_column(index);
  if (!column.IsLong()) throw Exception(field_error(index, " is not a Long"));
  if (size <= 0 || offset < 0) return 0;
  auto* target = static_cast<uint8_t*>(buffer);
  if (session_->OCI8Mode()) {
    size_t skip = static_cast<size_t>(offset), copied = 0;
    for (const auto& piece : column.Pieces) {
      if (skip >= piece->Filled) {
        skip -= piece->Filled;
        continue;
      }
      const size_t take = std::min<size_t>(piece->Filled - skip, static_cast<size_t>(size) - copied);
      std::memcpy(target + copied, piece->Buffer.data() + skip, take);
      copied += take;
      skip = 0;
      if (copied == static_cast<size_t>(size)) break;
    }
    return static_cast<int>(copied);
  }
  const int held = column.ReturnLengths[0];
  int copied = 0;
  if (offset < held) {
    copied = std::min(held - offset, size);
    std::memcpy(target, column.Buffer.data() + offset, static_cast<size_t>(copied));
  }
  if (copied < size && held == kOci7LongBuffer) {
    ub4 got = 0;
    auto& cda = const_cast<Cda_Def&>(cda_);
    SessionCall call(*session_);
    oflng(&cda, index + 1, target + copied, std::min(size - copied, kMaxLongPieceCall), column.DefineType, &got,
          offset + copied);
    if (cda.rc != 0 && cda.rc != kColumnTruncated) const_cast<TOracleQuery*>(this)->raise_error();
    copied += static_cast<int>(got);
  }
  return copied;
}

TComplexValue* TOracleQuery::FieldLOB(int index) const {
  const TFieldData& column = current_column(index);
  if (!is_lob_type(column.InternalType) || !column.Complex) throw Exception(field_error(index, " is not a LOB"));
  return column.Complex->ColumnObject();
}

TComplexValue* TOracleQuery::FieldObject(int index) const {
  const TFieldData& column = current_column(index);
  if (column.InternalType != 108 || !column.Complex) throw Exception(field_error(index, " is not an Object"));
  return column.Complex->ColumnObject();
}

TComplexValue* TOracleQuery::FieldReference(int index) const {
  const TFieldData& column = current_column(index);
  if (column.InternalType != 110 || !column.Complex) throw Exception(field_error(index, " is not a Reference"));
  return column.Complex->ColumnObject();
}

}  // namespace kvell
