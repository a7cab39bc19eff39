// Reads arbitrary bytes as a stored query-by-example definition. A damaged
// form raises a stream error or the version message and never reads past
// the input; what was read writes back as version 4 and reads the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "oracle/dataset/qbe_definition.h"
#include "runtime/exception.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kvell;
  TMemoryStream input;
  input.WriteBuffer(data, static_cast<int64_t>(size));
  input.SetPosition(0);
  TQBEDefinition definition;
  try {
    definition.ReadFieldDefs(input);
  } catch (const Exception&) {
    return 0;
  }
  TMemoryStream written;
  definition.WriteFieldDefs(written);
  written.SetPosition(0);
  TQBEDefinition again;
  again.ReadFieldDefs(written);
  require(again.Count() == definition.Count());
  for (int i = 0; i < again.Count(); ++i) {
    require(again.Field(i).FieldName == definition.Field(i).FieldName);
    require(again.Field(i).SoundsLike == definition.Field(i).SoundsLike);
  }
  return 0;
}
