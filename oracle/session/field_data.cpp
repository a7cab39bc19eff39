#include "oracle/session/field_data.h"

#include <bit>
#include <cstring>
#include <map>
#include <mutex>

#include "oracle/session/complex_binds.h"

namespace kvell {

namespace {

constexpr size_t kFirstPieceSize = 4096;
constexpr size_t kLargestPieceSize = 32768;

struct ComplexColumnRegistry {
  std::mutex mutex;
  std::map<int, ComplexColumnFactory> makers;
};

ComplexColumnRegistry& registry() {
  static ComplexColumnRegistry instance;
  return instance;
}

constexpr uint64_t kLowBits = 0x0101010101010101ull;
constexpr uint64_t kHighBits = 0x8080808080808080ull;

// High bit of each byte lane equal to `byte`. A lane above a true match may
// be flagged falsely (borrow), never one below it, so the lowest flag is exact.
uint64_t lanes_equal(uint64_t word, uint8_t byte) {
  const uint64_t x = word ^ (kLowBits * byte);
  return (x - kLowBits) & ~x & kHighBits;
}

bool is_line_break(uint8_t c) { return c == '\n' || c == '\r'; }

TRowText scan_bytes(const uint8_t* bytes, size_t from, size_t size, bool line_break) {
  for (size_t i = from; i < size; ++i) {
    if (bytes[i] == 0) return {std::string_view(reinterpret_cast<const char*>(bytes), i), line_break};
    line_break = line_break || is_line_break(bytes[i]);
  }
  return {std::string_view(reinterpret_cast<const char*>(bytes), size), line_break};
}

}  // namespace

TRowText ScanRowText(const uint8_t* bytes, size_t size) {
  if constexpr (std::endian::native != std::endian::little) return scan_bytes(bytes, 0, size, false);
  bool line_break = false;
  size_t i = 0;
  for (; i + sizeof(uint64_t) <= size; i += sizeof(uint64_t)) {
    uint64_t word;
    std::memcpy(&word, bytes + i, sizeof word);
    const uint64_t breaks = lanes_equal(word, '\n') | lanes_equal(word, '\r');
    const uint64_t zeros = lanes_equal(word, 0);
    if (zeros != 0) {
      const int lane_bit = std::countr_zero(zeros);  // the high bit of the first NUL lane
      const uint64_t before = (uint64_t{1} << lane_bit) - 1;
      const size_t length = i + static_cast<size_t>(lane_bit / 8);
      return {std::string_view(reinterpret_cast<const char*>(bytes), length), line_break || (breaks & before) != 0};
    }
    line_break = line_break || breaks != 0;
  }
  return scan_bytes(bytes, i, size, line_break);
}

void RegisterComplexColumn(int internal_type, ComplexColumnFactory factory) {
  std::lock_guard lock(registry().mutex);
  registry().makers[internal_type] = std::move(factory);
}

const ComplexColumnFactory* FindComplexColumn(int internal_type) {
  static const bool built_ins_registered = (RegisterBuiltInComplexColumns(), true);
  (void)built_ins_registered;
  std::lock_guard lock(registry().mutex);
  auto found = registry().makers.find(internal_type);
  return found == registry().makers.end() ? nullptr : &found->second;
}

void TFieldData::Allocate(int rows, bool with_return_codes) {
  Rows = rows;
  const auto count = static_cast<size_t>(rows);
  Buffer.assign(count * static_cast<size_t>(DefineSize), 0);
  Indicators.assign(count, 0);
  ReturnLengths.assign(count, 0);
  ReturnCodes.assign(with_return_codes ? count : 0, 0);
  Pieces.clear();
}

size_t TFieldData::LongLength() const {
  size_t total = 0;
  for (const auto& piece : Pieces) total += piece->Filled;
  return total;
}

std::string TFieldData::LongBytes() const {
  std::string bytes;
  bytes.reserve(LongLength());
  for (const auto& piece : Pieces) bytes.append(reinterpret_cast<const char*>(piece->Buffer.data()), piece->Filled);
  return bytes;
}

TLongPiece& TFieldData::NextPiece() {
  size_t size = kFirstPieceSize;
  if (!Pieces.empty()) {
    const size_t previous = Pieces.back()->Buffer.size();
    size = previous < kLargestPieceSize ? previous * 2 : previous;
  }
  auto piece = std::make_unique<TLongPiece>();
  piece->Buffer.assign(size, 0);
  piece->Filled = static_cast<ub4>(size);
  Pieces.push_back(std::move(piece));
  return *Pieces.back();
}

}  // namespace kvell
