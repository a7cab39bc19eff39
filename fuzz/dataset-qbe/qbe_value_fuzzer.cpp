// Turns arbitrary text into query-by-example conditions for every field type
// and switch combination the first byte selects, and adds them to a select.
// Only a date that does not parse may raise; every result is bracketed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "oracle/dataset/qbe_condition.h"
#include "oracle/dataset/qbe_where.h"
#include "runtime/exception.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kvell;
  if (size == 0) return 0;
  const uint8_t switches = data[0];
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  QBEValueOptions options;
  options.AllowOperators = switches & 1;
  options.AllowFileWildCards = switches & 2;
  options.PartialMatch = switches & 4;
  options.MatchAnywhere = switches & 8;
  options.SoundsLike = switches & 16;
  options.CaseInsensitive = switches & 32;
  options.DateWithoutTime = switches & 64;
  for (TFieldType type : {ftString, ftInteger, ftFloat, ftDateTime, ftTime, ftMemo}) {
    std::string condition;
    try {
      condition = QBECondition("COL", text, type, options);
    } catch (const EConvertError&) {
      require(type == ftDateTime || type == ftTime);
      continue;
    }
    if (condition.empty()) continue;
    require(condition.front() == '(' || condition.rfind("not (", 0) == 0);
    require(IsModifiedForQBE(AddQBEConditions("select * from t order by 1", {condition})));
  }
  return 0;
}
