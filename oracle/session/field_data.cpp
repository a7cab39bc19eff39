#include "oracle/session/field_data.h"

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

}  // namespace

// The C library's vectorised searches beat a word-at-a-time loop on row
// texts: one for the terminator, then one per line-break character.
TRowText ScanRowText(const uint8_t* bytes, size_t size) {
  const auto* text = reinterpret_cast<const char*>(bytes);
  if (size == 0) return {std::string_view(text, 0), false};  // the searches want a real pointer
  const size_t length = ::strnlen(text, size);
  const bool line_break = length > 0 && (std::memchr(text, '\n', length) || std::memchr(text, '\r', length));
  return {std::string_view(text, length), line_break};
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
