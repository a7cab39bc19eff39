// Reads arbitrary bytes as a stored "Data" property of query variables, then
// reads every variable back, writes the store and reads that again. Errors
// the layer raises are expected; anything else is a finding, and so is a
// rewritten store that does not read back equal.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "oracle/session/variables.h"
#include "runtime/exception.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kvell;
  TMemoryStream input;
  input.WriteBuffer(data, static_cast<int64_t>(size));
  input.SetPosition(0);
  TVariables vars;
  try {
    vars.ReadData(input);
  } catch (const Exception&) {
    return 0;
  }
  for (int i = 0; i < vars.Count(); ++i) {
    try {
      vars.GetVariable(i);
      vars.VariableDisplayText(i);
    } catch (const Exception&) {
    }
  }
  TMemoryStream output;
  vars.WriteData(output);
  output.SetPosition(0);
  TVariables again;
  again.ReadData(output);
  if (again.ShouldWriteData(&vars)) std::abort();
  return 0;
}
