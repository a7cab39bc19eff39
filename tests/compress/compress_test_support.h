// Helpers shared by the compression tests: building streams from bytes and
// deterministic sample inputs.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "oracle/compress/oracle_compress.h"

namespace kvell::testing {

using Bytes = std::vector<uint8_t>;

inline Bytes bytes_of(const std::string& text) { return Bytes(text.begin(), text.end()); }

inline void fill(TMemoryStream& stream, const Bytes& bytes) {
  stream.Clear();
  if (!bytes.empty()) stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  stream.SetPosition(0);
}

inline Bytes contents(TMemoryStream& stream) { return stream.Bytes(); }

inline Bytes compress(const Bytes& input) {
  TMemoryStream in, out;
  fill(in, input);
  CompressStream(in, out);
  return contents(out);
}

inline Bytes decompress(const Bytes& compressed) {
  TMemoryStream in, out;
  fill(in, compressed);
  DecompressStream(in, out);
  return contents(out);
}

inline Bytes random_bytes(size_t size, uint32_t seed) {
  std::mt19937 engine(seed);
  Bytes bytes(size);
  for (auto& byte : bytes) byte = static_cast<uint8_t>(engine());
  return bytes;
}

// Words drawn from a small vocabulary: repetitive, like real text.
inline Bytes sample_text(size_t size, uint32_t seed) {
  static const char* const words[] = {"SELECT ", "FROM ", "WHERE ", "kartica ", "zeton ", "stanje ",
                                      "the ", "value ", "of ", "record ", "\r\n", "12345 ", "ORDER BY "};
  std::mt19937 engine(seed);
  std::string text;
  while (text.size() < size) text += words[engine() % std::size(words)];
  text.resize(size);
  return bytes_of(text);
}

}  // namespace kvell::testing
