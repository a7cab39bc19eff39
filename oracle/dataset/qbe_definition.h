// TQBEDefinition and TQBEField: the query-by-example options of a dataset and
// one entry of search switches per field definition, with the binary stored
// form "QBEFieldDefs" (versions 1 to 4 read, version 4 written). The example
// values a search leaves are kept in the entries between two searches.
// Thread-safe: no; as its dataset.
#pragma once

#include <string>
#include <vector>

#include "db/db_types.h"
#include "runtime/stream.h"
#include "runtime/variant.h"

namespace kvell {

class TFieldDefs;

inline constexpr const char* kInvalidQBEVersion = "Invalid version of QBEDefinition";

class TQBEField {
 public:
  explicit TQBEField(std::string field_name = {}) : FieldName(std::move(field_name)) {}

  std::string FieldName;
  bool PartialMatch = false;
  bool MatchAnywhere = false;
  bool SoundsLike = false;
  bool CaseInsensitive = false;
  bool DateWithoutTime = false;
  std::string EnteredText;  // the text typed while operators are allowed
  Variant SavedValue;       // the last search's example, unassigned when none

  bool Enabled() const { return enabled_ && !CannotSearch(data_type_); }
  // Entries of blob, memo, graphic and LOB fields stay disabled.
  void SetEnabled(bool value) { enabled_ = value; }
  TFieldType DataType() const { return data_type_; }
  void SetDataType(TFieldType type) { data_type_ = type; }
  static bool CannotSearch(TFieldType type);

 private:
  bool enabled_ = true;
  TFieldType data_type_ = ftUnknown;
};

class TQBEDefinition {
 public:
  static constexpr int kDefaultColor = 536870911;  // the framework's "default colour"

  TQBEDefinition() = default;
  TQBEDefinition(const TQBEDefinition&) = delete;
  TQBEDefinition& operator=(const TQBEDefinition&) = delete;
  // Copies the options and every entry.
  void Assign(const TQBEDefinition& source);

  bool SaveQBEValues = true;
  bool AllowFileWildCards = true;
  bool AllowOperators = false;
  int QBEFontColor = kDefaultColor;
  int QBEBackgroundColor = kDefaultColor;

  int Count() const { return static_cast<int>(fields_.size()); }
  TQBEField& Field(int index) { return fields_[static_cast<size_t>(index)]; }
  // The entry of a field name, compared without case; null when none.
  TQBEField* Find(const std::string& field_name);
  // New definitions get an enabled entry, vanished ones lose theirs.
  void Refresh(const TFieldDefs& defs);

  // "QBEFieldDefs": stored when there are entries.
  bool StoresFieldDefs() const { return !fields_.empty(); }
  void WriteFieldDefs(TStream& stream) const;
  // Clears the entries first; a version above 4 raises kInvalidQBEVersion.
  void ReadFieldDefs(TStream& stream);

 private:
  std::vector<TQBEField> fields_;
};

}  // namespace kvell
