#include "db/field_defs.h"

#include <strings.h>

#include "db/dataset.h"
#include "db/field.h"

namespace kvell {

TField* TFieldDef::CreateField(TComponent* owner, TDataSet* dataset) const {
  TField* field = CreateFieldOfType(owner, DataType);
  try {
    field->SetFieldName(Name);
    if (Size > 0 && !field->IsBlob()) field->SetSize(Size);
    field->Required = Required;
    if (InternalCalcField) field->SetFieldKind(fkInternalCalc);
    field->SetDataSet(dataset);
  } catch (...) {
    delete field;
    throw;
  }
  return field;
}

TFieldDef& TFieldDefs::Add(const std::string& name, TFieldType type, int size, bool required) {
  if (IndexOf(name) >= 0) DatabaseErrorFmt(db_messages::DuplicateFieldName, {name});
  auto def = std::make_unique<TFieldDef>();
  def->Name = name;
  def->DataType = type;
  def->Size = size;
  def->Required = required;
  def->FieldNo = Count() + 1;
  items_.push_back(std::move(def));
  return *items_.back();
}

int TFieldDefs::IndexOf(const std::string& name) const {
  for (int i = 0; i < Count(); ++i)
    if (strcasecmp(items_[i]->Name.c_str(), name.c_str()) == 0) return i;
  return -1;
}

const TFieldDef& TFieldDefs::Find(const std::string& name) const {
  int index = IndexOf(name);
  if (index < 0) DatabaseErrorFmt(db_messages::FieldNotFound, {name});
  return *items_[index];
}

int TFields::IndexOf(const TField* field) const {
  for (int i = 0; i < Count(); ++i)
    if (list_[i] == field) return i;
  return -1;
}

TField* TFields::FindField(const std::string& name) const {
  for (TField* field : list_)
    if (strcasecmp(field->FieldName().c_str(), name.c_str()) == 0) return field;
  return nullptr;
}

TField* TFields::FieldByName(const std::string& name) const {
  TField* field = FindField(name);
  if (!field) DatabaseErrorFmt(db_messages::FieldNotFound, {name});
  return field;
}

void TFields::Clear() {
  while (!list_.empty()) {
    TField* field = list_.back();
    list_.pop_back();
    field->dataset_ = nullptr;
    delete field;
  }
}

void TFields::add(TField* field) {
  list_.push_back(field);
  changed();
}

void TFields::remove(TField* field) {
  int index = IndexOf(field);
  if (index >= 0) list_.erase(list_.begin() + index);
  changed();
}

// Lets a dataset follow fields added or removed while it is being designed.
void TFields::changed() {
  if (dataset_ && !dataset_->HasState(csDestroying)) dataset_->DataEvent(deFieldListChange, 0);
}

std::vector<std::string> SplitFieldNames(const std::string& names) {
  std::vector<std::string> result;
  size_t start = 0;
  while (start <= names.size()) {
    size_t end = names.find(';', start);
    if (end == std::string::npos) end = names.size();
    std::string name = names.substr(start, end - start);
    size_t first = name.find_first_not_of(' ');
    if (first != std::string::npos) result.push_back(name.substr(first, name.find_last_not_of(' ') - first + 1));
    start = end + 1;
  }
  return result;
}

}  // namespace kvell
