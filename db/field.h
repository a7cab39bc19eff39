// TField and its kinds: a named column of a dataset that reads and writes
// its value in the framework's native buffer format through the dataset's
// field-data protocol, converts it to and from text, integers, floats,
// date-times, Booleans and variants, and validates what is written.
// Thread-safe: no; a field belongs to its dataset's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "db/db_types.h"
#include "runtime/component.h"
#include "runtime/datetime.h"
#include "runtime/stream.h"
#include "runtime/variant.h"

namespace kvell {

class TDataSet;

// One column of a dataset's current record, read and written through the As* accessors.
class TField : public TComponent {
 public:
  TField(TComponent* owner, TFieldType type);
  ~TField() override;

  TDataSet* DataSet() const { return dataset_; }
  // Adds the field to the dataset's Fields (and removes it from its old one).
  void SetDataSet(TDataSet* dataset);
  const std::string& FieldName() const { return field_name_; }
  void SetFieldName(const std::string& name);
  TFieldType DataType() const { return data_type_; }
  TFieldKind FieldKind() const { return field_kind_; }
  void SetFieldKind(TFieldKind kind);
  bool Calculated() const { return field_kind_ == fkCalculated; }
  bool Lookup() const { return field_kind_ == fkLookup; }
  // 1-based position among the dataset's field definitions; 0 when not bound.
  int FieldNo() const { return field_no_; }
  int Index() const;
  int Size() const { return size_; }
  void SetSize(int size);
  // Bytes of the native value in a record buffer (0 for blobs).
  virtual int DataSize() const = 0;
  virtual bool IsBlob() const { return false; }
  // A text field (TStringField): its native value ends at a NUL, and an empty one is null.
  virtual bool IsText() const { return false; }
  // Slot of a calculated or lookup value in the calculated part of a buffer.
  int Offset() const { return offset_; }

  std::string DisplayLabel() const { return display_label_.empty() ? field_name_ : display_label_; }
  void SetDisplayLabel(const std::string& label) { display_label_ = label; }
  std::string DisplayName() const { return DisplayLabel(); }
  int DisplayWidth() const { return display_width_ > 0 ? display_width_ : DefaultDisplayWidth(); }
  void SetDisplayWidth(int width) { display_width_ = width; }

  bool Required = false;
  bool ReadOnly = false;
  bool Visible = true;
  std::string Origin;
  // How a provider uses the field in the statements it writes.
  TProviderFlags ProviderFlags = pfInUpdate | pfInWhere;
  std::string DefaultExpression;
  // Characters accepted by IsValidChar; empty accepts every character.
  std::string ValidChars;
  bool IsValidChar(char c) const;

  // Lookup definition (fkLookup fields).
  std::string KeyFields;
  TDataSet* LookupDataSet = nullptr;
  std::string LookupKeyFields;
  std::string LookupResultField;

  std::function<void(TField*)> OnChange;
  std::function<void(TField*)> OnValidate;
  std::function<void(TField*, std::string& text, bool display_text)> OnGetText;
  std::function<void(TField*, const std::string& text)> OnSetText;

  // Value access through the dataset, in whatever state the dataset is in.
  bool IsNull() const;
  void Clear();
  Variant Value() const { return AsVariant(); }
  void SetValue(const Variant& value) { SetAsVariant(value); }
  virtual Variant AsVariant() const = 0;
  virtual void SetAsVariant(const Variant& value);
  virtual std::string AsString() const;
  virtual void SetAsString(const std::string& value);
  virtual int32_t AsInteger() const;
  virtual void SetAsInteger(int32_t value);
  virtual int64_t AsLargeInt() const { return AsInteger(); }
  virtual double AsFloat() const;
  virtual void SetAsFloat(double value);
  virtual TDateTime AsDateTime() const;
  virtual void SetAsDateTime(TDateTime value);
  virtual bool AsBoolean() const;
  virtual void SetAsBoolean(bool value);

  // The text GetText gives, whatever OnGetText says.
  std::string OwnText(bool display_text) const { return GetText(display_text); }
  // Text for editing and for display; OnGetText/OnSetText take over.
  std::string Text() const;
  std::string DisplayText() const;
  // DisplayText into out, whose buffer is reused (grids read every cell so);
  // false when the value is null.
  bool ReadDisplayText(std::string& out) const;
  void SetText(const std::string& text);

  // The value in the old-, new- and current-value states of the dataset.
  Variant OldValue() const;
  Variant NewValue() const;
  Variant CurValue() const;
  void SetNewValue(const Variant& value);

  // Native buffer transfer; buffer nullptr asks only for the null state
  // (GetData) or writes a null (SetData).
  bool GetData(void* buffer) const;
  // The value's bytes in place, where the dataset keeps them (TFieldBytes).
  TFieldBytes PeekData() const;
  void SetData(const void* buffer);

  bool CanModify() const;
  // Fires OnValidate with the value about to be written visible to GetData.
  void Validate(const void* buffer);
  void Change();
  // Asks the data-aware controls to focus the control of this field.
  void FocusControl();
  // Computes a lookup field's value from LookupDataSet.
  void CalcLookupValue();
  // Releases what the field holds for the current edit; the dataset calls it
  // whenever an edit or an added record ends.
  virtual void FreeBuffers() {}

 protected:
  virtual int DefaultDisplayWidth() const { return 10; }
  std::string GetText(bool display_text) const;
  // Replaces out with the field's own text; false when the value is null.
  virtual bool WriteText(std::string& out, bool display_text) const;
  // The native value's DataSize() bytes, unaligned: where the dataset keeps
  // them, else copied into scratch; nullptr for a null value.
  const void* ReadBytes(void* scratch) const;

  [[noreturn]] void AccessError(const char* type_name) const;
  [[noreturn]] void RangeError(const std::string& value, const std::string& min,
                               const std::string& max) const;
  void SetDataType(TFieldType type) { data_type_ = type; }

 private:
  friend class TDataSet;
  friend class TFields;
  Variant state_value(TDataSetState state) const;

  TDataSet* dataset_ = nullptr;
  std::string field_name_;
  std::string display_label_;
  TFieldType data_type_;
  TFieldKind field_kind_ = fkData;
  int field_no_ = 0;
  int size_ = 0;
  int offset_ = 0;
  int display_width_ = 0;
  const void* value_buffer_ = nullptr;  // the value under validation
  bool validating_ = false;
};

// Text fields: the native value is NUL-terminated in Size + 1 bytes.
class TStringField : public TField {
 public:
  explicit TStringField(TComponent* owner, TFieldType type = ftString);
  ~TStringField() override { BeforeDestruction(); }
  int DataSize() const override { return Size() + 1; }
  bool IsText() const override { return true; }
  bool FixedChar() const { return DataType() == ftFixedChar; }

  int DefaultDisplayWidth() const override { return Size(); }
  Variant AsVariant() const override;
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
  int32_t AsInteger() const override;
  void SetAsInteger(int32_t value) override;
  double AsFloat() const override;
  void SetAsFloat(double value) override;
  TDateTime AsDateTime() const override;
  void SetAsDateTime(TDateTime value) override;
  bool AsBoolean() const override;
  void SetAsBoolean(bool value) override;
  void SetAsVariant(const Variant& value) override;
  bool WriteText(std::string& out, bool display_text) const override;

 private:
  // The stored text into out; false (out cleared) for a null value.
  bool read_text(std::string& out) const;
};

// Numbers; DisplayFormat and EditFormat are float patterns ("#,##0.00").
class TNumericField : public TField {
 public:
  using TField::TField;
  ~TNumericField() override { BeforeDestruction(); }
  std::string DisplayFormat;
  std::string EditFormat;

 protected:
  std::string format_number(double value, bool display_text) const;
};

// Whole numbers held as 2, 4 or 8 bytes; MinValue/MaxValue bound what may be
// written when either is non-zero.
class TIntegerField : public TNumericField {
 public:
  explicit TIntegerField(TComponent* owner, TFieldType type = ftInteger);
  ~TIntegerField() override { BeforeDestruction(); }
  int DataSize() const override;
  int64_t MinValue = 0;
  int64_t MaxValue = 0;

  int DefaultDisplayWidth() const override { return 11; }
  Variant AsVariant() const override;
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
  int32_t AsInteger() const override;
  void SetAsInteger(int32_t value) override;
  int64_t AsLargeInt() const override;
  double AsFloat() const override { return static_cast<double>(AsLargeInt()); }
  void SetAsFloat(double value) override;
  void SetAsVariant(const Variant& value) override;
  bool WriteText(std::string& out, bool display_text) const override;

 protected:
  void set_large(int64_t value);

 private:
  bool read(int64_t& value) const;
  void type_range(int64_t& min, int64_t& max) const;
};

class TSmallintField : public TIntegerField {
 public:
  explicit TSmallintField(TComponent* owner) : TIntegerField(owner, ftSmallint) {}
  ~TSmallintField() override { BeforeDestruction(); }
};

class TWordField : public TIntegerField {
 public:
  explicit TWordField(TComponent* owner) : TIntegerField(owner, ftWord) {}
  ~TWordField() override { BeforeDestruction(); }
};

class TLargeintField : public TIntegerField {
 public:
  explicit TLargeintField(TComponent* owner) : TIntegerField(owner, ftLargeint) {}
  ~TLargeintField() override { BeforeDestruction(); }
  void SetAsLargeIntValue(int64_t value) { set_large(value); }
};

// Floating values held as 8-byte doubles (also currency and BCD columns).
class TFloatField : public TNumericField {
 public:
  explicit TFloatField(TComponent* owner, TFieldType type = ftFloat);
  ~TFloatField() override { BeforeDestruction(); }
  int DataSize() const override { return sizeof(double); }
  double MinValue = 0;
  double MaxValue = 0;
  int Precision = 15;

  Variant AsVariant() const override;
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
  int32_t AsInteger() const override;
  void SetAsInteger(int32_t value) override { SetAsFloat(value); }
  double AsFloat() const override;
  void SetAsFloat(double value) override;
  void SetAsVariant(const Variant& value) override;
  bool WriteText(std::string& out, bool display_text) const override;
};

class TCurrencyField : public TFloatField {
 public:
  explicit TCurrencyField(TComponent* owner) : TFloatField(owner, ftCurrency) {}
  ~TCurrencyField() override { BeforeDestruction(); }
};

class TBCDField : public TFloatField {
 public:
  explicit TBCDField(TComponent* owner) : TFloatField(owner, ftBCD) {}
  ~TBCDField() override { BeforeDestruction(); }
};

// Held as a 2-byte Boolean; DisplayValues is "true text;false text".
class TBooleanField : public TField {
 public:
  explicit TBooleanField(TComponent* owner);
  ~TBooleanField() override { BeforeDestruction(); }
  int DataSize() const override { return sizeof(uint16_t); }
  std::string DisplayValues = "True;False";

  int DefaultDisplayWidth() const override { return 5; }
  Variant AsVariant() const override;
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
  bool AsBoolean() const override;
  void SetAsBoolean(bool value) override;
  int32_t AsInteger() const override { return AsBoolean() ? 1 : 0; }
  void SetAsVariant(const Variant& value) override;

 private:
  std::string display_value(bool value) const;
};

// Date-times in the framework's native forms: ftDateTime milliseconds since
// 1 January 0001 as a double; ftDate days since then and ftTime milliseconds
// of the day, each as a 4-byte integer.
class TDateTimeField : public TField {
 public:
  explicit TDateTimeField(TComponent* owner, TFieldType type = ftDateTime);
  ~TDateTimeField() override { BeforeDestruction(); }
  int DataSize() const override;
  std::string DisplayFormat;

  int DefaultDisplayWidth() const override { return 18; }
  Variant AsVariant() const override;
  std::string AsString() const override { return OwnText(false); }
  void SetAsString(const std::string& value) override;
  double AsFloat() const override { return AsDateTime(); }
  void SetAsFloat(double value) override { SetAsDateTime(value); }
  TDateTime AsDateTime() const override;
  void SetAsDateTime(TDateTime value) override;
  void SetAsVariant(const Variant& value) override;
  bool WriteText(std::string& out, bool display_text) const override;

 private:
  // The native value (see above), or false for a null: one read of the record.
  bool read_native(double& native) const;
};

class TDateField : public TDateTimeField {
 public:
  explicit TDateField(TComponent* owner) : TDateTimeField(owner, ftDate) {}
  ~TDateField() override { BeforeDestruction(); }
};

class TTimeField : public TDateTimeField {
 public:
  explicit TTimeField(TComponent* owner) : TDateTimeField(owner, ftTime) {}
  ~TTimeField() override { BeforeDestruction(); }
};

// Binary values read and written through the dataset's blob streams.
class TBlobField : public TField {
 public:
  explicit TBlobField(TComponent* owner, TFieldType type = ftBlob);
  ~TBlobField() override { BeforeDestruction(); }
  int DataSize() const override { return 0; }
  bool IsBlob() const override { return true; }
  // Set when a stream changed the value during the current edit.
  bool Modified = false;
  // Closes the field's blob through the dataset and clears Modified.
  void FreeBuffers() override;
  int64_t BlobSize() const;
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream) const;

  Variant AsVariant() const override;
  void SetAsVariant(const Variant& value) override;
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
  bool WriteText(std::string& out, bool display_text) const override;
};

// Text held as a blob (memos and character LOBs).
class TMemoField : public TBlobField {
 public:
  explicit TMemoField(TComponent* owner, TFieldType type = ftMemo) : TBlobField(owner, type) {}
  ~TMemoField() override { BeforeDestruction(); }

  Variant AsVariant() const override;
};

// Conversion between TDateTime and the native date-time forms above.
double DateTimeToNative(TFieldType type, TDateTime value);
TDateTime NativeToDateTime(TFieldType type, double native);
// An ftDateTime native value straight from days and milliseconds, as
// DateTimeToNative gives for the TDateTime they stand for.
double DayAndTimeToNative(TDayAndTime value);

// A new field of the class that holds values of type.
TField* CreateFieldOfType(TComponent* owner, TFieldType type);

}  // namespace kvell
