// Arbitrary bytes as compressed data: decoding must raise a stream error or
// produce exactly the recorded length, never crash, hang or over-allocate.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "oracle/compress/oracle_compress.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kvell::TMemoryStream input, output;
  if (size > 0) input.WriteBuffer(data, static_cast<int64_t>(size));
  input.SetPosition(0);
  try {
    kvell::DecompressStream(input, output);
  } catch (const kvell::EStreamError&) {
    return 0;
  }
  int32_t recorded = 0;
  std::memcpy(&recorded, data, sizeof recorded);  // a length was read, so 4 bytes exist
  if (output.Size() != recorded || input.Position() > input.Size()) std::abort();
  return 0;
}
