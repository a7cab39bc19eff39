// The character sets ociemu reports: text is AL32UTF8 in the database and at
// the client, national text AL16UTF16.
#pragma once

#include <cstdint>

namespace ociemu {

constexpr uint16_t kDatabaseCharsetId = 873;   // AL32UTF8
constexpr uint16_t kNationalCharsetId = 2000;  // AL16UTF16
constexpr int kMaxBytesPerChar = 4;

}  // namespace ociemu
