#include "oracle/dataset/field_info.h"

#include <algorithm>

#include "runtime/ansi_case.h"

namespace kvell {

void TOracleFieldInfoList::Reset() {
  items_.clear();
  auto rowid = std::make_unique<TOracleFieldInfo>();
  rowid->Kind = fiRowId;
  rowid->FieldName = "ROWID";
  rowid->ColumnName = "ROWID";
  rowid->OracleType = 11;
  items_.push_back(std::move(rowid));
}

std::string TOracleFieldInfoList::unique_name(const std::string& base_name) const {
  auto taken = [this](const std::string& name) {
    // The rowid entry names no field, so it takes no name either.
    return std::any_of(items_.begin() + (items_.empty() ? 0 : 1), items_.end(),
                       [&](const auto& item) { return AnsiSameText(item->FieldName, name); });
  };
  if (!taken(base_name)) return base_name;
  for (int suffix = 1;; ++suffix) {
    std::string candidate = base_name + "_" + std::to_string(suffix);
    if (!taken(candidate)) return candidate;
  }
}

TOracleFieldInfo& TOracleFieldInfoList::Add(const std::string& base_name) {
  auto info = std::make_unique<TOracleFieldInfo>();
  info->FieldName = unique_name(base_name);
  items_.push_back(std::move(info));
  return *items_.back();
}

TOracleFieldInfo* TOracleFieldInfoList::Find(const std::string& name) {
  for (auto& item : items_)
    if (AnsiSameText(item->FieldName, name)) return item.get();
  return nullptr;
}

TOracleFieldInfo* TOracleFieldInfoList::FindByField(const TField* field) {
  for (auto& item : items_)
    if (item->Field == field) return item.get();
  return nullptr;
}

void TOracleFieldInfoList::LinkObjectAttributes() {
  for (auto& parent : items_) {
    if (parent->OracleType != 108 || parent->Kind == fiRowId) continue;
    parent->Children.clear();
    const std::string prefix = parent->FieldName + ".";
    for (auto& child : items_) {
      const std::string& name = child->FieldName;
      if (name.size() <= prefix.size() || !AnsiSameText(name.substr(0, prefix.size()), prefix)) continue;
      if (name.find('.', prefix.size()) != std::string::npos) continue;
      parent->Children.push_back(child.get());
      child->Parent = parent.get();
    }
  }
}

TFieldType FieldTypeOfColumn(const TOracleFieldInfo& info, int small_int_precision, int max_string_field_size,
                             int& size) {
  size = 0;
  if (info.IsXML) return ftOraClob;
  switch (info.OracleType) {
    case 3: {
      if (small_int_precision < 0) return ftInteger;
      const int limit = small_int_precision == 0 ? 4 : small_int_precision;
      return info.Precision > limit ? ftInteger : ftSmallint;
    }
    case 4: return ftFloat;
    case 5:
    case 96:
    case 97:
      if (max_string_field_size != 0 && max_string_field_size < info.Size) return ftMemo;
      size = std::max(info.Size, 1);
      return ftString;
    case 8: return ftMemo;
    case 12:
    case 187:
    case 188:
    case 232: return ftDateTime;
    case 24: return ftBlob;
    case 110: size = 256; return ftString;
    case 112: return ftOraClob;
    case 113:
    case 114: return ftOraBlob;
    default: return ftUnknown;
  }
}

}  // namespace kvell
