#include "db/db_types.h"

namespace kvell {

const char* FieldTypeName(TFieldType type) {
  static constexpr const char* names[] = {
      "Unknown", "String",  "SmallInt", "Integer", "Word",       "Boolean",    "Float",
      "Currency", "BCD",    "Date",     "Time",    "DateTime",   "Bytes",      "VarBytes",
      "AutoInc", "Blob",    "Memo",     "Graphic", "FmtMemo",    "ParadoxOle", "dBaseOle",
      "TypedBinary", "Cursor", "FixedChar", "WideString", "Largeint", "ADT", "Array",
      "Reference", "DataSet", "BLOB",   "CLOB",    "Variant",    "Interface",  "IDispatch",
      "Guid"};
  static_assert(sizeof names / sizeof names[0] == ftGuid + 1);
  return names[type];
}

bool IsBlobType(TFieldType type) {
  switch (type) {
    case ftBlob: case ftMemo: case ftGraphic: case ftFmtMemo: case ftParadoxOle:
    case ftDBaseOle: case ftTypedBinary: case ftOraBlob: case ftOraClob:
      return true;
    default:
      return false;
  }
}

std::string FormatMessage(const char* pattern, std::initializer_list<std::string> arguments) {
  std::string result;
  auto next = arguments.begin();
  for (const char* p = pattern; *p; ++p) {
    if (p[0] == '%' && p[1] == 's' && next != arguments.end()) {
      result += *next++;
      ++p;
    } else {
      result += *p;
    }
  }
  return result;
}

EAbort::EAbort() : Exception(db_messages::OperationAborted) {}

void DatabaseError(const std::string& message) { throw EDatabaseError(message); }

void DatabaseErrorFmt(const char* pattern, std::initializer_list<std::string> arguments) {
  throw EDatabaseError(FormatMessage(pattern, arguments));
}

}  // namespace kvell
