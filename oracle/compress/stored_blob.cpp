#include "oracle/compress/stored_blob.h"

#include <algorithm>

#include "oracle/compress/oracle_compress.h"

namespace kvell {

namespace {
constexpr auto kSignatureSize = static_cast<int64_t>(kCompressedBlobSignature.size());
}

bool HasCompressedBlobSignature(const uint8_t* data, int64_t size) {
  return size > kSignatureSize &&
         std::equal(kCompressedBlobSignature.begin(), kCompressedBlobSignature.end(), data);
}

void PackBlob(TMemoryStream& Value, TMemoryStream& Stored) {
  if (Value.Size() == 0) return;
  Stored.WriteBuffer(kCompressedBlobSignature.data(), kSignatureSize);
  Value.SetPosition(0);
  CompressStream(Value, Stored);
}

void UnpackBlob(TMemoryStream& Stored, TMemoryStream& Value) {
  if (HasCompressedBlobSignature(Stored.Memory(), Stored.Size())) {
    Stored.SetPosition(kSignatureSize);
    DecompressStream(Stored, Value);
  } else {
    Stored.SetPosition(0);
    if (Stored.Size() > 0) Value.WriteBuffer(Stored.Memory(), Stored.Size());
  }
}

}  // namespace kvell
