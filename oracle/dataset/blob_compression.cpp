#include "oracle/dataset/blob_compression.h"

#include "oracle/compress/oracle_compress.h"
#include "oracle/compress/stored_blob.h"

namespace kvell {
namespace {

void fill(TMemoryStream& stream, std::string_view bytes) {
  stream.Clear();
  if (!bytes.empty()) stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  stream.SetPosition(0);
}

}  // namespace

std::string CompressBlobValue(std::string_view value, const TBlobCoder& compress, TBlobCompressionTotals& totals) {
  if (value.empty()) return {};
  TMemoryStream in, out;
  fill(in, value);
  if (compress) {
    compress(in, out);
  } else {
    out.WriteBuffer(kCompressedBlobSignature.data(), static_cast<int64_t>(kCompressedBlobSignature.size()));
    CompressStream(in, out);
  }
  if (out.Size() == 0) return std::string(value);
  totals.BytesBefore += static_cast<double>(value.size());
  totals.BytesAfter += static_cast<double>(out.Size());
  return out.AsString();
}

std::string DecompressBlobValue(std::string_view stored, bool compress_blobs, const TBlobCoder& decompress) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(stored.data());
  const auto size = static_cast<int64_t>(stored.size());
  if (HasCompressedBlobSignature(bytes, size)) {
    TMemoryStream in, out;
    fill(in, stored.substr(kCompressedBlobSignature.size()));
    DecompressStream(in, out);
    return out.AsString();
  }
  if (!compress_blobs || !decompress || stored.empty()) return std::string(stored);
  TMemoryStream in, out;
  fill(in, stored);
  decompress(in, out);
  return out.Size() == 0 ? std::string(stored) : out.AsString();
}

}  // namespace kvell
