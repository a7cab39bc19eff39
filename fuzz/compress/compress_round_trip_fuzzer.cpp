// Arbitrary input must come back exactly from its compressed form.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "oracle/compress/oracle_compress.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kvell::TMemoryStream plain, compressed, restored;
  if (size > 0) plain.WriteBuffer(data, static_cast<int64_t>(size));
  plain.SetPosition(0);
  kvell::CompressStream(plain, compressed);
  compressed.SetPosition(0);
  kvell::DecompressStream(compressed, restored);
  if (restored.Size() != static_cast<int64_t>(size) ||
      (size > 0 && std::memcmp(restored.Memory(), data, size) != 0))
    std::abort();
  return 0;
}
