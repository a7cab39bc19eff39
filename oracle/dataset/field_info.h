// Column descriptors of a dataset: TOracleFieldInfoList holds one
// TOracleFieldInfo per select-list column (object columns expanded into
// their attributes), item 0 always the rowid entry. Each descriptor knows its
// unique field name, its Oracle type code and describe data, the field bound
// to it and the offset of its slot in the record data area.
// Thread-safe: no; owned by one dataset.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/db_types.h"

namespace kvell {

class TField;
class TQBEField;

enum TOracleFieldInfoKind {
  fiColumn = 0,           // a column with a field
  fiColumnWithoutField = 1,  // a column no field is bound to (set after binding)
  fiAttribute = 2,        // an attribute of an object column
  fiRowId = 3,            // the rowid entry, always item 0
};

struct TOracleFieldInfo {
  TOracleFieldInfoKind Kind = fiColumn;
  std::string FieldName;      // unique within the list, compared without case
  std::string ColumnName;     // the select-list name
  std::string AttributeName;  // fiAttribute: the attribute's name
  int OracleType = 0;         // external type code the query reports
  std::string TypeName;       // object and reference columns: schema.type
  bool IsXML = false;         // SYS.XMLTYPE: read through the object's text form
  int Size = 0;
  int Scale = 0;
  int Precision = 0;
  bool NotNull = false;
  int ColumnIndex = -1;       // position in the select list
  int AttributeIndex = -1;    // position of the attribute within its object
  bool ObjectIsCollection = false;
  TField* Field = nullptr;    // bound at open; not owned
  TQBEField* QBEEntry = nullptr;  // not owned
  int DataOffset = -1;        // of the null byte in the data area; -1 without a slot
  int BlobIndex = -1;         // entry in the record's blob list; -1 for non-blob fields
  int DataSize = 0;           // the field's DataSize at open: bytes after the null byte
  bool ReadOnly = false;
  bool Required = false;
  TOracleFieldInfo* Parent = nullptr;        // object column of an attribute
  std::vector<TOracleFieldInfo*> Children;   // attributes of an object column
};

class TOracleFieldInfoList {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  TOracleFieldInfo& operator[](int index) { return *items_.at(static_cast<size_t>(index)); }
  const TOracleFieldInfo& operator[](int index) const { return *items_.at(static_cast<size_t>(index)); }
  // Empties the list and adds the rowid entry (item 0).
  void Reset();
  // Adds a descriptor named after `base_name`, made unique by the "_1",
  // "_2", ... suffix rule; returns it.
  TOracleFieldInfo& Add(const std::string& base_name);
  // The descriptor whose field name is `name` (without case), or nullptr.
  TOracleFieldInfo* Find(const std::string& name);
  // The descriptor bound to `field`, or nullptr.
  TOracleFieldInfo* FindByField(const TField* field);
  // Links each object column to the descriptors named "<its name>.<part>"
  // where part holds no further ".".
  void LinkObjectAttributes();

  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  std::string unique_name(const std::string& base_name) const;

  std::vector<std::unique_ptr<TOracleFieldInfo>> items_;
};

// The field type a column of `oracle_type` maps to, ftUnknown for no field.
// `size` receives the definition's size. small_int_precision is the
// session's SmallIntPrecision (0 means 4; negative makes every integer
// column ftInteger); max_string_field_size its MaxStringFieldSize.
TFieldType FieldTypeOfColumn(const TOracleFieldInfo& info, int small_int_precision, int max_string_field_size,
                             int& size);

}  // namespace kvell
