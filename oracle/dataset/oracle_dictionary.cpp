#include "oracle/dataset/oracle_dictionary.h"

#include "db/dataset.h"
#include "runtime/ansi_case.h"

namespace kvell {

void TOracleDictionary::Assign(const TOracleDictionary& source) {
  if (&source == this) return;
  EnforceConstraints = source.EnforceConstraints;
  DisabledConstraints.Assign(source.DisabledConstraints);
  UseMessageTable = source.UseMessageTable;
  DefaultValues = source.DefaultValues;
  DynamicDefaults = source.DynamicDefaults;
  FieldKinds = source.FieldKinds;
  RangeValues = source.RangeValues;
  SetDisplayFormats(source.display_formats_);
  SetRequiredFields(source.required_fields_);
  SetCharacterSize(source.character_size_);
}

void TOracleDictionary::SetDisplayFormats(bool value) {
  if (value == display_formats_) return;
  display_formats_ = value;
  if (owner_ && owner_->Active()) {
    owner_->Close();
    owner_->Open();
  }
}

void TOracleDictionary::SetRequiredFields(bool value) {
  if (value == required_fields_) return;
  required_fields_ = value;
  property_changed();
}

void TOracleDictionary::SetCharacterSize(bool value) {
  if (value == character_size_) return;
  character_size_ = value;
  property_changed();
}

void TOracleDictionary::property_changed() {
  if (owner_) owner_->DataEvent(dePropertyChange, 0);
}

bool TOracleDictionary::IsDisabled(const std::string& constraint_name) const {
  for (int i = 0; i < DisabledConstraints.Count(); ++i)
    if (AnsiSameText(DisabledConstraints[i], constraint_name)) return true;
  return false;
}

}  // namespace kvell
