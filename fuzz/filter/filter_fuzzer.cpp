// Parses arbitrary text as a filter (the first byte picks the options) and
// reads the tree every way against a fixed record. Errors the layer raises
// are expected; anything else (a crash, a sanitizer report, another
// exception type, a hang) is a finding.
#include <cstddef>
#include <cstdint>
#include <string>

#include "oracle/filter/oracle_filter.h"
#include "runtime/datetime.h"
#include "tests/filter/record_columns.h"

namespace {

using namespace kvell;
using namespace kvell::testing;

const RecordTable& table() {
  static const Record record = {Text("SMITH"), Number(1500.5), Integer(10), Boolean(true),
                                Number(46364.25), Null(), Text("")};
  static RecordTable instance = [] {
    RecordTable t({{"NAME", etString}, {"SAL", etFloat}, {"DEPTNO", etInteger}, {"ACTIVE", etBoolean},
                   {"HIRED", etDate}, {"X", etInteger}, {"EMPTY", etString}});
    t.SetCurrent(record);
    return t;
  }();
  return instance;
}

template <typename Read>
void read_quietly(Read read) {
  try {
    read();
  } catch (const kvell::Exception&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  TFilterOptions options;
  if (data[0] & 1) options.Include(foCaseInsensitive);
  if (data[0] & 2) options.Include(foNoPartialCompare);
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  TExpressionPtr root;
  try {
    root = ParseFilterExpression(text, options, table().Resolver());
  } catch (const kvell::Exception&) {
    return 0;
  }
  if (!root) return 0;
  read_quietly([&] { root->AsBoolean(); });
  read_quietly([&] { root->AsString(); });
  read_quietly([&] { root->AsFloat(); });
  read_quietly([&] { root->AsInteger(); });
  read_quietly([&] { root->AsDate(); });
  read_quietly([&] { root->ExprType(); });
  root->IsNull();
  return 0;
}
