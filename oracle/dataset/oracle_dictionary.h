// TOracleDictionary: the switches of what a dataset takes from the data
// dictionary (client-side constraint checks, the message table, column
// defaults, field kinds, sizes, ranges and formats). Three of them act on
// the dataset at once: DisplayFormats reopens an active dataset, and
// RequiredFields and CharacterSize send it a property-change event.
// Thread-safe: no; as its dataset.
#pragma once

#include "runtime/string_list.h"

namespace kvell {

class TDataSet;

class TOracleDictionary {
 public:
  explicit TOracleDictionary(TDataSet* owner = nullptr) : owner_(owner) {}
  TOracleDictionary(const TOracleDictionary&) = delete;
  TOracleDictionary& operator=(const TOracleDictionary&) = delete;
  // Copies every property; the owner stays.
  void Assign(const TOracleDictionary& source);

  bool EnforceConstraints = false;
  TStringList DisabledConstraints;  // names of constraints never checked
  bool UseMessageTable = false;
  bool DefaultValues = false;
  bool DynamicDefaults = false;  // evaluate the defaults for every new record
  bool FieldKinds = false;
  bool RangeValues = false;

  bool DisplayFormats() const { return display_formats_; }
  void SetDisplayFormats(bool value);
  bool RequiredFields() const { return required_fields_; }
  void SetRequiredFields(bool value);
  bool CharacterSize() const { return character_size_; }
  void SetCharacterSize(bool value);

  bool IsDisabled(const std::string& constraint_name) const;

 private:
  void property_changed();

  TDataSet* owner_;
  bool display_formats_ = false;
  bool required_fields_ = true;
  bool character_size_ = false;
};

}  // namespace kvell
