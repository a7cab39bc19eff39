// The stored form of a compressed binary value: an 8-byte signature that
// marks it, then the compressed stream. Values without the signature are
// stored as they are. Thread-safe: yes (the compressor serialises itself).
#pragma once

#include <array>
#include <cstdint>

#include "runtime/stream.h"

namespace kvell {

inline constexpr std::array<uint8_t, 8> kCompressedBlobSignature{0x91, 0x00, 0xA6, 0x38,
                                                                 0x88, 0xB7, 0xCC, 0x1B};

// True when the bytes are more than the signature alone and start with it.
bool HasCompressedBlobSignature(const uint8_t* data, int64_t size);

// Writes the signature and the compressed Value (from its start) to Stored
// at Stored's position. An empty Value writes nothing: it is stored as is.
void PackBlob(TMemoryStream& Value, TMemoryStream& Stored);

// Writes the value that Stored (from its start) holds to Value at Value's
// position: decompressed when it has the signature, else copied unchanged.
void UnpackBlob(TMemoryStream& Stored, TMemoryStream& Value);

}  // namespace kvell
