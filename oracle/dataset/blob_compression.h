// Compressed binary values: the stored form of a value (the 8-byte
// signature followed by the compressed stream, or what an application's
// compression event produced) and the way back, with the running totals of
// bytes before and after compression. Thread-safe: yes for distinct totals.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "runtime/stream.h"

namespace kvell {

// Fills `out` with the result for the bytes of `in` (positioned at 0).
using TBlobCoder = std::function<void(TMemoryStream& in, TMemoryStream& out)>;

struct TBlobCompressionTotals {
  double BytesBefore = 0;  // of the values compressed
  double BytesAfter = 0;   // of their stored forms
};

// The stored form of `value` with compression on: through `compress` when
// given, else signature + compressed stream. An empty value, or an empty
// result, is stored unchanged. Every value compressed counts in `totals`.
std::string CompressBlobValue(std::string_view value, const TBlobCoder& compress, TBlobCompressionTotals& totals);

// The value of stored bytes: decompressed when they carry the signature
// (whatever the compression switch); otherwise, with compression on and a
// `decompress` event, what the event produced unless that is empty; else the
// bytes as they are.
std::string DecompressBlobValue(std::string_view stored, bool compress_blobs, const TBlobCoder& decompress);

}  // namespace kvell
