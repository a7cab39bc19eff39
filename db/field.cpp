#include "db/field.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <strings.h>
#include <vector>

#include "db/dataset.h"
#include "db/display_format.h"
#include "runtime/date_text.h"
#include "runtime/float_text.h"
#include "runtime/str_convert.h"

namespace kvell {
namespace {

// Days from 1 January 0001 to 30 December 1899.
constexpr int64_t DateDelta = 693594;

double parse_float(const std::string& text) { return StrToFloat(text); }
TDateTime parse_date_time(const std::string& text) { return StrToDateTime(text); }
std::string float_text(double value) { return FloatToStr(value); }

constexpr const char* kValueTooLong = "Value too long for field '%s' (length %s, size %s)";

}  // namespace

// ---- TField ----

TField::TField(TComponent* owner, TFieldType type) : TComponent(owner), data_type_(type) {}

TField::~TField() {
  BeforeDestruction();
  if (dataset_) dataset_->fields_.remove(this);
}

void TField::SetDataSet(TDataSet* dataset) {
  if (dataset == dataset_) return;
  if (dataset) {
    dataset->CheckInactive();
    if (!field_name_.empty() && dataset->FindField(field_name_))
      DatabaseErrorFmt(db_messages::DuplicateFieldName, {field_name_});
  }
  if (dataset_) {
    dataset_->CheckInactive();
    dataset_->fields_.remove(this);
  }
  dataset_ = dataset;
  if (dataset_) dataset_->fields_.add(this);
}

void TField::SetFieldName(const std::string& name) {
  if (dataset_) {
    dataset_->CheckInactive();
    TField* other = dataset_->FindField(name);
    if (other && other != this) DatabaseErrorFmt(db_messages::DuplicateFieldName, {name});
  }
  field_name_ = name;
}

void TField::SetFieldKind(TFieldKind kind) {
  if (dataset_) dataset_->CheckInactive();
  field_kind_ = kind;
}

void TField::SetSize(int size) {
  if (dataset_) dataset_->CheckInactive();
  size_ = size;
}

int TField::Index() const { return dataset_ ? dataset_->fields_.IndexOf(this) : -1; }

bool TField::IsValidChar(char c) const {
  return ValidChars.empty() || ValidChars.find(c) != std::string::npos;
}

bool TField::GetData(void* buffer) const {
  if (!dataset_) DatabaseErrorFmt(db_messages::DataSetMissing, {DisplayName()});
  if (validating_) {
    if (value_buffer_ && buffer) std::memcpy(buffer, value_buffer_, DataSize());
    return value_buffer_ != nullptr;
  }
  return dataset_->GetFieldData(const_cast<TField*>(this), buffer);
}

TFieldBytes TField::PeekData() const {
  if (!dataset_) DatabaseErrorFmt(db_messages::DataSetMissing, {DisplayName()});
  if (validating_) return {true, value_buffer_};
  return dataset_->PeekFieldData(const_cast<TField*>(this));
}

void TField::SetData(const void* buffer) {
  if (!dataset_) DatabaseErrorFmt(db_messages::DataSetMissing, {DisplayName()});
  value_buffer_ = buffer;
  dataset_->SetFieldData(this, buffer);
}

// Grids read every cell: reading in place saves a copy per cell.
const void* TField::ReadBytes(void* scratch) const {
  if (const TFieldBytes bytes = PeekData(); bytes.kept) return bytes.data;
  return GetData(scratch) ? scratch : nullptr;
}

bool TField::IsNull() const { return !dataset_ || !GetData(nullptr); }

void TField::Clear() {
  if (IsBlob()) SetAsString("");  // an empty blob value is null
  else SetData(nullptr);
}

bool TField::CanModify() const {
  if (field_no_ <= 0 || !dataset_) return false;
  return !ReadOnly && dataset_->CanModify();
}

void TField::Validate(const void* buffer) {
  if (!OnValidate) return;
  value_buffer_ = buffer;
  validating_ = true;
  try {
    OnValidate(this);
  } catch (...) {
    validating_ = false;
    throw;
  }
  validating_ = false;
}

void TField::Change() {
  if (OnChange) OnChange(this);
}

void TField::FocusControl() {
  if (dataset_ && dataset_->Active()) dataset_->DataEvent(deFocusControl, reinterpret_cast<intptr_t>(this));
}

void TField::CalcLookupValue() {
  if (!LookupDataSet || !LookupDataSet->Active() || !dataset_) return;
  SetAsVariant(LookupDataSet->Lookup(LookupKeyFields, dataset_->FieldValues(KeyFields),
                                     LookupResultField));
}

Variant TField::state_value(TDataSetState state) const {
  if (!dataset_) DatabaseErrorFmt(db_messages::DataSetMissing, {DisplayName()});
  return dataset_->GetStateFieldValue(state, const_cast<TField*>(this));
}

Variant TField::OldValue() const { return state_value(dsOldValue); }
Variant TField::NewValue() const { return state_value(dsNewValue); }
Variant TField::CurValue() const { return state_value(dsCurValue); }

void TField::SetNewValue(const Variant& value) {
  if (!dataset_) DatabaseErrorFmt(db_messages::DataSetMissing, {DisplayName()});
  dataset_->SetStateFieldValue(dsNewValue, this, value);
}

std::string TField::Text() const {
  std::string text;
  if (OnGetText) OnGetText(const_cast<TField*>(this), text, false);
  else WriteText(text, false);
  return text;
}

std::string TField::DisplayText() const {
  std::string text;
  ReadDisplayText(text);
  return text;
}

bool TField::ReadDisplayText(std::string& out) const {
  if (!OnGetText) return WriteText(out, true);
  out.clear();
  OnGetText(const_cast<TField*>(this), out, true);
  return !IsNull();
}

std::string TField::GetText(bool display_text) const {
  std::string text;
  WriteText(text, display_text);
  return text;
}

bool TField::WriteText(std::string& out, bool display_text) const {
  (void)display_text;
  out = AsString();
  return !IsNull();
}

void TField::SetText(const std::string& text) {
  if (OnSetText) OnSetText(this, text);
  else SetAsString(text);
}

void TField::AccessError(const char* type_name) const {
  DatabaseErrorFmt(db_messages::FieldAccessError, {DisplayName(), type_name});
}

void TField::RangeError(const std::string& value, const std::string& min, const std::string& max) const {
  DatabaseErrorFmt(db_messages::FieldRangeError, {value, DisplayName(), min, max});
}

void TField::SetAsVariant(const Variant& value) {
  if (VarIsClear(value)) Clear();
  else AccessError("Variant");
}
std::string TField::AsString() const { AccessError("String"); }
void TField::SetAsString(const std::string&) { AccessError("String"); }
int32_t TField::AsInteger() const { AccessError("Integer"); }
void TField::SetAsInteger(int32_t) { AccessError("Integer"); }
double TField::AsFloat() const { AccessError("Float"); }
void TField::SetAsFloat(double) { AccessError("Float"); }
TDateTime TField::AsDateTime() const { AccessError("DateTime"); }
void TField::SetAsDateTime(TDateTime) { AccessError("DateTime"); }
bool TField::AsBoolean() const { AccessError("Boolean"); }
void TField::SetAsBoolean(bool) { AccessError("Boolean"); }

// ---- TStringField ----

TStringField::TStringField(TComponent* owner, TFieldType type) : TField(owner, type) { SetSize(20); }

// Grids read every cell through here: the text is read where the dataset
// keeps it, else through a stack buffer (short values need no heap).
bool TStringField::read_text(std::string& out) const {
  const auto size = static_cast<size_t>(DataSize());
  if (const TFieldBytes bytes = PeekData(); bytes.kept) {
    const auto* text = static_cast<const char*>(bytes.data);
    out.clear();  // clear and append: assign's aliasing checks cost more than the copy
    if (text) out.append(text, ::strnlen(text, size));
    return text != nullptr;
  }
  std::array<char, 256> small;  // GetData writes the whole value
  std::vector<char> large;
  char* buffer = small.data();
  if (size > small.size()) {
    large.assign(size, '\0');
    buffer = large.data();
  }
  if (!GetData(buffer)) {
    out.clear();
    return false;
  }
  out.assign(buffer, ::strnlen(buffer, size));
  return true;
}

std::string TStringField::AsString() const {
  std::string text;
  read_text(text);
  return text;
}

bool TStringField::WriteText(std::string& out, bool display_text) const {
  (void)display_text;
  return read_text(out);
}

void TStringField::SetAsString(const std::string& value) {
  // Cutting the text would store something else than was given; only the
  // blanks a fixed-length field pads with anyway may go.
  size_t length = value.size();
  if (FixedChar()) length = std::max<size_t>(value.find_last_not_of(' ') + 1, std::min<size_t>(length, Size()));
  if (length > static_cast<size_t>(Size()))
    DatabaseErrorFmt(kValueTooLong,
                     {FieldName(), std::to_string(value.size()), std::to_string(Size())});
  std::vector<char> buffer(DataSize(), '\0');
  std::memcpy(buffer.data(), value.data(), length);
  SetData(buffer.data());
}

Variant TStringField::AsVariant() const {
  if (IsNull()) return Null();
  return AsString();
}

void TStringField::SetAsVariant(const Variant& value) {
  if (VarIsClear(value)) Clear();
  else SetAsString(value.AsString());
}

int32_t TStringField::AsInteger() const { return StrToInt(AsString()); }
void TStringField::SetAsInteger(int32_t value) { SetAsString(IntToStr(value)); }
double TStringField::AsFloat() const { return parse_float(AsString()); }
void TStringField::SetAsFloat(double value) { SetAsString(float_text(value)); }
TDateTime TStringField::AsDateTime() const { return parse_date_time(AsString()); }
void TStringField::SetAsDateTime(TDateTime value) { SetAsString(DateTimeToStr(value)); }

bool TStringField::AsBoolean() const {
  std::string text = AsString();
  return !text.empty() && std::strchr("TtYy", text[0]) != nullptr;
}

void TStringField::SetAsBoolean(bool value) { SetAsString(value ? "T" : "F"); }

// ---- numeric fields ----

std::string TNumericField::format_number(double value, bool display_text) const {
  const std::string& pattern = display_text || EditFormat.empty() ? DisplayFormat : EditFormat;
  return pattern.empty() ? std::string() : format_float_pattern(pattern, value);
}

TIntegerField::TIntegerField(TComponent* owner, TFieldType type) : TNumericField(owner, type) {}

int TIntegerField::DataSize() const {
  switch (DataType()) {
    case ftSmallint:
    case ftWord: return 2;
    case ftLargeint: return 8;
    default: return 4;
  }
}

void TIntegerField::type_range(int64_t& min, int64_t& max) const {
  switch (DataType()) {
    case ftSmallint: min = INT16_MIN; max = INT16_MAX; break;
    case ftWord: min = 0; max = UINT16_MAX; break;
    case ftLargeint: min = INT64_MIN; max = INT64_MAX; break;
    default: min = INT32_MIN; max = INT32_MAX; break;
  }
  if (MinValue != 0 || MaxValue != 0) {
    min = MinValue;
    max = MaxValue;
  }
}

bool TIntegerField::read(int64_t& value) const {
  unsigned char scratch[8];
  const void* bytes = ReadBytes(scratch);
  if (!bytes) return false;
  switch (DataType()) {
    case ftSmallint: { int16_t v; std::memcpy(&v, bytes, 2); value = v; break; }
    case ftWord: { uint16_t v; std::memcpy(&v, bytes, 2); value = v; break; }
    case ftLargeint: { int64_t v; std::memcpy(&v, bytes, 8); value = v; break; }
    default: { int32_t v; std::memcpy(&v, bytes, 4); value = v; break; }
  }
  return true;
}

void TIntegerField::set_large(int64_t value) {
  int64_t min, max;
  type_range(min, max);
  if (value < min || value > max) RangeError(IntToStr(value), IntToStr(min), IntToStr(max));
  unsigned char buffer[8] = {};
  switch (DataType()) {
    case ftSmallint: { int16_t v = static_cast<int16_t>(value); std::memcpy(buffer, &v, 2); break; }
    case ftWord: { uint16_t v = static_cast<uint16_t>(value); std::memcpy(buffer, &v, 2); break; }
    case ftLargeint: std::memcpy(buffer, &value, 8); break;
    default: { int32_t v = static_cast<int32_t>(value); std::memcpy(buffer, &v, 4); break; }
  }
  SetData(buffer);
}

int64_t TIntegerField::AsLargeInt() const {
  int64_t value = 0;
  return read(value) ? value : 0;
}

int32_t TIntegerField::AsInteger() const { return static_cast<int32_t>(AsLargeInt()); }
void TIntegerField::SetAsInteger(int32_t value) { set_large(value); }
void TIntegerField::SetAsFloat(double value) { set_large(static_cast<int64_t>(std::nearbyint(value))); }

Variant TIntegerField::AsVariant() const {
  int64_t value;
  if (!read(value)) return Null();
  if (DataType() == ftLargeint) return Variant(value);
  return Variant(static_cast<int32_t>(value));
}

std::string TIntegerField::AsString() const {
  int64_t value;
  return read(value) ? IntToStr(value) : std::string();
}

void TIntegerField::SetAsString(const std::string& value) {
  if (value.empty()) {
    Clear();
    return;
  }
  if (DataType() != ftLargeint) {
    set_large(StrToInt(value));
    return;
  }
  try {
    set_large(Variant(value).AsInt64());
  } catch (const EVariantError&) {
    throw EConvertError("'" + value + "' is not a valid integer value");
  }
}

void TIntegerField::SetAsVariant(const Variant& value) {
  if (VarIsClear(value)) Clear();
  else set_large(value.AsInt64());
}

bool TIntegerField::WriteText(std::string& out, bool display_text) const {
  int64_t value;
  out.clear();
  if (!read(value)) return false;
  if (DisplayFormat.empty() && EditFormat.empty()) {
    char digits[24];
    const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, static_cast<size_t>(end - digits));  // by length: the iterator form goes through replace
    return true;
  }
  out = format_number(static_cast<double>(value), display_text);
  if (out.empty()) out = IntToStr(value);
  return true;
}

TFloatField::TFloatField(TComponent* owner, TFieldType type) : TNumericField(owner, type) {}

double TFloatField::AsFloat() const {
  double value = 0;
  return GetData(&value) ? value : 0;
}

int32_t TFloatField::AsInteger() const {
  double value = AsFloat();
  if (!(std::fabs(value) <= INT32_MAX)) AccessError("Integer");
  return static_cast<int32_t>(std::nearbyint(value));
}

void TFloatField::SetAsFloat(double value) {
  if (!std::isfinite(value)) throw EConvertError("Invalid floating point value");
  if ((MinValue != 0 || MaxValue != 0) && (value < MinValue || value > MaxValue))
    RangeError(float_text(value), float_text(MinValue), float_text(MaxValue));
  SetData(&value);
}

Variant TFloatField::AsVariant() const {
  double value;
  if (!GetData(&value)) return Null();
  return value;
}

std::string TFloatField::AsString() const {
  double value;
  return GetData(&value) ? float_text(value) : std::string();
}

void TFloatField::SetAsString(const std::string& value) {
  if (value.empty()) Clear();
  else SetAsFloat(parse_float(value));
}

void TFloatField::SetAsVariant(const Variant& value) {
  if (VarIsClear(value)) Clear();
  else SetAsFloat(value.AsDouble());
}

bool TFloatField::WriteText(std::string& out, bool display_text) const {
  double value;
  out.clear();
  unsigned char scratch[sizeof value];
  const void* bytes = ReadBytes(scratch);
  if (!bytes) return false;
  std::memcpy(&value, bytes, sizeof value);
  if (DisplayFormat.empty() && EditFormat.empty()) {
    char text[kFloatTextSize];
    out.append(text, FloatToChars(value, text));
    return true;
  }
  out = format_number(value, display_text);
  if (out.empty()) out = float_text(value);
  return true;
}

// ---- TBooleanField ----

TBooleanField::TBooleanField(TComponent* owner) : TField(owner, ftBoolean) {}

std::string TBooleanField::display_value(bool value) const {
  size_t split = DisplayValues.find(';');
  if (split == std::string::npos) return value ? DisplayValues : std::string();
  return value ? DisplayValues.substr(0, split) : DisplayValues.substr(split + 1);
}

bool TBooleanField::AsBoolean() const {
  uint16_t value = 0;
  return GetData(&value) && value != 0;
}

void TBooleanField::SetAsBoolean(bool value) {
  uint16_t native = value ? 1 : 0;
  SetData(&native);
}

Variant TBooleanField::AsVariant() const {
  uint16_t value;
  if (!GetData(&value)) return Null();
  return value != 0;
}

std::string TBooleanField::AsString() const {
  uint16_t value;
  return GetData(&value) ? display_value(value != 0) : std::string();
}

void TBooleanField::SetAsString(const std::string& value) {
  if (value.empty()) {
    Clear();
    return;
  }
  // A prefix of either display value will do, the false one first.
  for (bool candidate : {false, true}) {
    std::string text = display_value(candidate).substr(0, value.size());
    if (strcasecmp(text.c_str(), value.c_str()) == 0) {
      SetAsBoolean(candidate);
      return;
    }
  }
  DatabaseError("'" + value + "' is not a valid boolean value");
}

void TBooleanField::SetAsVariant(const Variant& value) {
  if (VarIsClear(value)) Clear();
  else SetAsBoolean(value.AsBoolean());
}

// ---- date-time fields ----

double DateTimeToNative(TFieldType type, TDateTime value) {
  int64_t total = std::llround(value * MSecsPerDay);
  int64_t days = total / static_cast<int64_t>(MSecsPerDay) + DateDelta;
  int64_t msecs = std::llabs(total) % static_cast<int64_t>(MSecsPerDay);
  switch (type) {
    case ftDate: return static_cast<double>(days);
    case ftTime: return static_cast<double>(msecs);
    default: return static_cast<double>(days) * MSecsPerDay + static_cast<double>(msecs);
  }
}

double DayAndTimeToNative(TDayAndTime value) {
  return static_cast<double>((value.Days + DateDelta) * static_cast<int64_t>(MSecsPerDay) + value.MSecs);
}

TDateTime NativeToDateTime(TFieldType type, double native) {
  double days, msecs;
  switch (type) {
    case ftDate: days = native; msecs = 0; break;
    case ftTime: days = DateDelta; msecs = native; break;
    default:
      days = std::floor(native / MSecsPerDay);
      msecs = native - days * MSecsPerDay;
      break;
  }
  double date = days - DateDelta;
  return date < 0 ? date - msecs / MSecsPerDay : date + msecs / MSecsPerDay;
}

TDateTimeField::TDateTimeField(TComponent* owner, TFieldType type) : TField(owner, type) {}

int TDateTimeField::DataSize() const { return DataType() == ftDateTime ? 8 : 4; }

namespace {

// ftDateTime's native milliseconds as days and time, in integers: the same
// split as through a TDateTime, without its floating-point steps.
// Stored values are whole milliseconds: for them a cast is exact and cheaper than llround.
int64_t whole_milliseconds(double native) {
  if (std::fabs(native) < 0x1p52) {
    const auto whole = static_cast<int64_t>(native);
    if (static_cast<double>(whole) == native) return whole;
  }
  return std::llround(native);
}

TDayAndTime split_native(double native) {
  constexpr auto per_day = static_cast<int64_t>(MSecsPerDay);
  const int64_t total = whole_milliseconds(native);
  int64_t days = total / per_day;
  int64_t msecs = total % per_day;
  if (msecs < 0) {
    msecs += per_day;
    --days;
  }
  return {days - DateDelta, msecs};
}

}  // namespace

bool TDateTimeField::read_native(double& native) const {
  unsigned char scratch[8];
  const void* bytes = ReadBytes(scratch);
  if (!bytes) return false;
  if (DataType() == ftDateTime) {
    std::memcpy(&native, bytes, 8);
  } else {
    int32_t small;
    std::memcpy(&small, bytes, 4);
    native = small;
  }
  return true;
}

TDateTime TDateTimeField::AsDateTime() const {
  double native = 0;
  return read_native(native) ? NativeToDateTime(DataType(), native) : 0;
}

void TDateTimeField::SetAsDateTime(TDateTime value) {
  double native = DateTimeToNative(DataType(), value);
  if (DataType() == ftDateTime) {
    SetData(&native);
    return;
  }
  int32_t small = static_cast<int32_t>(native);
  SetData(&small);
}

Variant TDateTimeField::AsVariant() const {
  if (IsNull()) return Null();
  return Variant::FromDateTime(AsDateTime());
}

void TDateTimeField::SetAsString(const std::string& value) {
  if (value.empty()) Clear();
  else SetAsDateTime(parse_date_time(value));
}

void TDateTimeField::SetAsVariant(const Variant& value) {
  if (VarIsClear(value)) Clear();
  else SetAsDateTime(value.AsDateTime());
}

bool TDateTimeField::WriteText(std::string& out, bool display_text) const {
  out.clear();
  double native;
  if (!DataSet() || !read_native(native)) return false;  // a field without a dataset shows as null
  std::string_view pattern = display_text ? std::string_view(DisplayFormat) : std::string_view();
  if (pattern.empty()) pattern = DataType() == ftDate ? "ddddd" : DataType() == ftTime ? "tt" : "c";
  if (DataType() == ftDateTime) AppendDateTime(out, pattern, split_native(native));
  else AppendDateTime(out, pattern, NativeToDateTime(DataType(), native));
  return true;
}

// ---- blob fields ----

TBlobField::TBlobField(TComponent* owner, TFieldType type) : TField(owner, type) {}

void TBlobField::FreeBuffers() {
  if (DataSet()) DataSet()->CloseBlob(this);
  Modified = false;
}

int64_t TBlobField::BlobSize() const {
  auto stream = DataSet()->CreateBlobStream(const_cast<TBlobField*>(this), bmRead);
  return stream->Size();
}

void TBlobField::LoadFromStream(TStream& stream) {
  auto blob = DataSet()->CreateBlobStream(this, bmWrite);
  stream.SetPosition(0);
  blob->CopyFrom(stream, 0);
}

void TBlobField::SaveToStream(TStream& stream) const {
  auto blob = DataSet()->CreateBlobStream(const_cast<TBlobField*>(this), bmRead);
  if (blob->Size() > 0) stream.CopyFrom(*blob, 0);
}

std::string TBlobField::AsString() const {
  if (!DataSet()) DatabaseErrorFmt(db_messages::DataSetMissing, {DisplayName()});
  auto blob = DataSet()->CreateBlobStream(const_cast<TBlobField*>(this), bmRead);
  std::string text(static_cast<size_t>(blob->Size()), '\0');
  text.resize(static_cast<size_t>(blob->Read(text.data(), static_cast<int64_t>(text.size()))));
  return text;
}

void TBlobField::SetAsString(const std::string& value) {
  if (!DataSet()) DatabaseErrorFmt(db_messages::DataSetMissing, {DisplayName()});
  auto blob = DataSet()->CreateBlobStream(this, bmWrite);
  blob->WriteBuffer(value.data(), static_cast<int64_t>(value.size()));
}

Variant TBlobField::AsVariant() const {
  if (IsNull()) return Null();
  std::string bytes = AsString();
  return Variant::FromBytes(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

void TBlobField::SetAsVariant(const Variant& value) {
  if (VarIsClear(value)) Clear();
  else if (value.IsBytes()) {
    std::vector<uint8_t> bytes = value.AsBytes();
    SetAsString(std::string(bytes.begin(), bytes.end()));
  } else {
    SetAsString(value.AsString());
  }
}

bool TBlobField::WriteText(std::string& out, bool display_text) const {
  const bool has_value = !IsNull();
  if (!display_text) {
    out = AsString();
    return has_value;
  }
  out = std::string("(") + FieldTypeName(DataType()) + ")";
  if (has_value)
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return has_value;
}

Variant TMemoField::AsVariant() const {
  if (IsNull()) return Null();
  return AsString();
}

TField* CreateFieldOfType(TComponent* owner, TFieldType type) {
  switch (type) {
    case ftString:
    case ftFixedChar:
    case ftWideString: return new TStringField(owner, type);
    case ftSmallint: return new TSmallintField(owner);
    case ftInteger:
    case ftAutoInc: return new TIntegerField(owner, ftInteger);
    case ftWord: return new TWordField(owner);
    case ftLargeint: return new TLargeintField(owner);
    case ftBoolean: return new TBooleanField(owner);
    case ftFloat: return new TFloatField(owner);
    case ftCurrency: return new TCurrencyField(owner);
    case ftBCD: return new TBCDField(owner);
    case ftDate: return new TDateField(owner);
    case ftTime: return new TTimeField(owner);
    case ftDateTime: return new TDateTimeField(owner);
    case ftMemo:
    case ftFmtMemo:
    case ftOraClob: return new TMemoField(owner, type);
    case ftBlob:
    case ftGraphic:
    case ftTypedBinary:
    case ftOraBlob: return new TBlobField(owner, type);
    default: DatabaseError(std::string("Field type ") + FieldTypeName(type) + " is not supported");
  }
}

}  // namespace kvell
