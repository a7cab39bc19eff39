// Field definitions: what a dataset's cursor offers (name, type, size,
// required), from which default fields are created; and TFields, the
// dataset's list of field objects with look-up by name without case.
// Thread-safe: no.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/db_types.h"

namespace kvell {

class TComponent;
class TDataSet;
class TField;

struct TFieldDef {
  std::string Name;
  TFieldType DataType = ftUnknown;
  int Size = 0;
  int Precision = 0;
  bool Required = false;
  bool InternalCalcField = false;
  int FieldNo = 0;  // 1-based position of the definition

  // A new field of the matching class, named and sized after this definition.
  TField* CreateField(TComponent* owner, TDataSet* dataset) const;
};

class TFieldDefs {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  TFieldDef& operator[](int index) { return *items_.at(index); }
  const TFieldDef& operator[](int index) const { return *items_.at(index); }
  TFieldDef& Add(const std::string& name, TFieldType type, int size = 0, bool required = false);
  void Clear() { items_.clear(); }
  // Position of the definition (without case), or -1.
  int IndexOf(const std::string& name) const;
  // EDatabaseError "Field '%s' not found" when absent.
  const TFieldDef& Find(const std::string& name) const;
  // Set when the list reflects the cursor; cleared by a property change.
  bool Updated = false;

 private:
  std::vector<std::unique_ptr<TFieldDef>> items_;
};

// The dataset's fields in order. The list frees its fields on Clear; a field
// that is freed otherwise removes itself.
class TFields {
 public:
  explicit TFields(TDataSet* dataset) : dataset_(dataset) {}
  ~TFields() { Clear(); }
  TFields(const TFields&) = delete;
  TFields& operator=(const TFields&) = delete;

  int Count() const { return static_cast<int>(list_.size()); }
  TField* operator[](int index) const { return list_.at(index); }
  int IndexOf(const TField* field) const;
  TField* FindField(const std::string& name) const;
  // EDatabaseError "Field '%s' not found" when absent.
  TField* FieldByName(const std::string& name) const;
  void Clear();

  auto begin() const { return list_.begin(); }
  auto end() const { return list_.end(); }

 private:
  friend class TField;
  void add(TField* field);
  void remove(TField* field);
  void changed();

  TDataSet* dataset_;
  std::vector<TField*> list_;
};

// Splits a ';'-separated name list, trimming blanks and dropping empty names.
std::vector<std::string> SplitFieldNames(const std::string& names);

}  // namespace kvell
