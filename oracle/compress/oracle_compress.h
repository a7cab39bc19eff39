// Compression of memory streams with sliding-window matching and adaptive
// Huffman coding (the 1988 scheme: 4096-byte window, matches of 3 to 60
// bytes). Format: the uncompressed length as a 32-bit little-endian signed
// integer, then the code bit stream, most significant bit first.
#pragma once

#include <string>

#include "runtime/stream.h"

namespace kvell {

// Raised for compressed data that cannot be decoded (a negative length, one
// that the code bytes present could never produce, or code that ends before
// the recorded length is reached) or for an input too long for the 32-bit
// length.
class ECompressionError : public EStreamError {
 public:
  explicit ECompressionError(std::string message) : EStreamError(std::move(message)) {}
};

// Compresses Input from its position to its end into Output at Output's
// position; Output then ends right after the last code byte, and both
// streams stand at their ends. An empty input gives the length 0 alone.
// Thread-safe: yes; calls are serialised by the compressor's lock.
void CompressStream(TMemoryStream& Input, TMemoryStream& Output);

// Decodes the compressed data at Input's position into Output at Output's
// position, producing exactly the recorded number of bytes. Code bytes that
// run out early raise ECompressionError with both sizes, and Output then ends
// at its starting position. Thread-safe: yes; calls are serialised by the
// compressor's lock.
void DecompressStream(TMemoryStream& Input, TMemoryStream& Output);

}  // namespace kvell
