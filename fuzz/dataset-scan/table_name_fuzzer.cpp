// Reads the updating and select table names, the where/order split, the
// ORDER BY list and the one-row re-read from arbitrary SQL text. The masked
// copy keeps the text's length, the split parts come from the text, and every
// scan ends.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "oracle/dataset/dml_statements.h"
#include "oracle/dataset/order_by_scan.h"
#include "oracle/dataset/query_text_split.h"
#include "oracle/dataset/sql_text_mask.h"
#include "oracle/dataset/table_name_scan.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kvell;
  const std::string text(reinterpret_cast<const char*>(data), size);
  require(MaskSqlText(text).size() == text.size());
  const std::string updating = ScanUpdatingTableName(text);
  const std::string select_table = ScanSelectTableName(text, updating);
  require(updating.empty() || !select_table.empty());
  const QueryTextParts parts = SplitQueryText(text);
  require(parts.Select.size() + parts.Condition.size() + parts.Tail.size() <= text.size());
  require(text.find(parts.Select) == 0);
  require(text.find(parts.Condition) != std::string::npos && text.find(parts.Tail) != std::string::npos);
  require(CutAtEndRefresh(text).size() <= text.size());
  AllFieldsRefreshStatement(text, select_table, "F");
  for (const OrderByItem& item : ScanOrderBy(text)) require(!item.Column.empty() && item.Column.size() <= text.size());
  return 0;
}
