#include "oracle/compress/oracle_compress.h"

#include <cstdint>
#include <limits>
#include <memory>

#include "runtime/critical_section.h"
#include "oracle/compress/adaptive_huffman.h"
#include "oracle/compress/bit_io.h"
#include "oracle/compress/match_finder.h"
#include "oracle/compress/position_code.h"
#include "oracle/kvell_init.h"

namespace kvell {

namespace {

using namespace compress;

constexpr int kHeaderSize = 4;
constexpr int kFirstMatchSymbol = 256 - kLiteralThreshold - 1;  // symbol = this + match length

TOracleCriticalSection& compressor_lock() {
  return KvellSlot(ProcessObject::CompressorLock).Get<TOracleCriticalSection>();
}

void write_length(std::vector<uint8_t>& bytes, size_t at, int32_t length) {
  const auto value = static_cast<uint32_t>(length);
  for (int i = 0; i < kHeaderSize; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

int32_t read_length(TMemoryStream& input) {
  uint8_t raw[kHeaderSize];
  input.ReadBuffer(raw, kHeaderSize);
  uint32_t value = 0;
  for (int i = kHeaderSize - 1; i >= 0; --i) value = (value << 8) | raw[i];
  return static_cast<int32_t>(value);
}

class Encoder {
 public:
  Encoder(const uint8_t* input, size_t input_size, std::vector<uint8_t>& output, size_t at)
      : input_(input), input_end_(input + input_size), bits_(output, at) {}

  // Returns the output position after the last code byte.
  size_t Run() {
    if (input_ == input_end_) return bits_.Position();
    FillLookAhead();
    do {
      int match_length = std::min(window_.MatchLength(), look_ahead_);
      if (match_length <= kLiteralThreshold) {
        match_length = 1;
        PutSymbol(window_.At(r_));
      } else {
        PutSymbol(kFirstMatchSymbol + match_length);
        PutPosition(window_.MatchPosition());
      }
      Slide(match_length);
    } while (look_ahead_ > 0);
    bits_.Flush();
    return bits_.Position();
  }

 private:
  // Reads the first bytes and indexes the blank strings before them, which
  // a leading run can then match.
  void FillLookAhead() {
    while (look_ahead_ < kLongestMatch && input_ != input_end_) window_.Store(r_ + look_ahead_++, *input_++);
    for (int i = 1; i <= kLongestMatch; ++i) window_.Insert(r_ - i);
    window_.Insert(r_);
  }

  // Moves past count coded bytes, refilling the look-ahead while input lasts.
  void Slide(int count) {
    int i = 0;
    for (; i < count && input_ != input_end_; ++i) {
      window_.Delete(s_);
      window_.Store(s_, *input_++);
      Advance();
      window_.Insert(r_);
    }
    for (; i < count; ++i) {
      window_.Delete(s_);
      Advance();
      if (--look_ahead_ > 0) window_.Insert(r_);
    }
  }

  void Advance() {
    s_ = (s_ + 1) & (kRingSize - 1);
    r_ = (r_ + 1) & (kRingSize - 1);
  }

  void PutSymbol(int symbol) {
    const SymbolCode code = tree_.CodeOf(symbol);
    bits_.Put(code.length, code.bits);
    tree_.Update(symbol);
  }

  void PutPosition(int position) {
    const int upper = position >> 6;
    bits_.Put(kPositionCode.code_length[upper], uint32_t{kPositionCode.code[upper]} << 24);
    bits_.Put(6, static_cast<uint32_t>(position & 63) << 26);
  }

  const uint8_t* input_;
  const uint8_t* const input_end_;
  BitWriter bits_;
  AdaptiveHuffmanTree tree_;
  MatchFinder window_;
  int r_ = kRingStart;  // ring position of the next byte to code
  int s_ = 0;           // ring position the next input byte replaces
  int look_ahead_ = 0;  // bytes at r_ not yet coded
};

class Decoder {
 public:
  Decoder(const uint8_t* code, size_t code_size, uint8_t* output, size_t size)
      : bits_(code, code_size), output_(output), size_(size) {
    std::fill(ring_.begin(), ring_.begin() + kRingStart, kRingFill);
  }

  // Returns the number of bytes produced: the full size unless the code ran out.
  size_t Run() {
    while (count_ < size_) {
      const int symbol = tree_.DecodeSymbol([this] { return bits_.GetBit(); });
      if (bits_.Exhausted()) break;
      tree_.Update(symbol);
      if (symbol < 256) {
        Emit(static_cast<uint8_t>(symbol));
        continue;
      }
      const int start = (r_ - GetPosition() - 1) & (kRingSize - 1);
      if (bits_.Exhausted()) break;
      // A damaged stream may ask for more than was recorded; never write past it.
      const int length = symbol - kFirstMatchSymbol;
      for (int k = 0; k < length && count_ < size_; ++k) Emit(ring_[(start + k) & (kRingSize - 1)]);
    }
    return count_;
  }

  size_t CodeBytesFetched() const { return bits_.BytesFetched(); }

 private:
  int GetPosition() {
    int byte = bits_.GetByte();
    const int upper = kPositionCode.upper_of_byte[byte];
    for (int extra = kPositionCode.length_of_byte[byte] - 2; extra > 0; --extra)
      byte = (byte << 1) + bits_.GetBit();
    return (upper << 6) | (byte & 63);
  }

  void Emit(uint8_t byte) {
    output_[count_++] = byte;
    ring_[r_] = byte;
    r_ = (r_ + 1) & (kRingSize - 1);
  }

  BitReader bits_;
  uint8_t* output_;
  size_t size_;          // bytes recorded in the header
  size_t count_ = 0;     // bytes produced so far
  int r_ = kRingStart;   // ring position of the next byte produced
  AdaptiveHuffmanTree tree_;
  std::array<uint8_t, kRingSize> ring_{};
};

int32_t checked_input_size(TMemoryStream& input) {
  const int64_t size = std::max<int64_t>(0, input.Size() - input.Position());
  if (size > std::numeric_limits<int32_t>::max())
    throw ECompressionError("Input of " + std::to_string(size) + " bytes is too large to compress");
  return static_cast<int32_t>(size);
}

// The coder reads the input's buffer while the output's grows, so one stream
// cannot be both.
void check_streams(TMemoryStream& input, TMemoryStream& output) {
  if (&input == &output) throw EStreamError("Input and output must be different streams");
  if (input.Position() < 0 || output.Position() < 0) throw EStreamError("Invalid stream position");
}

// Every code is at least one bit and yields at most one longest match.
std::string truncated_message(int64_t produced, int32_t recorded) {
  return "Invalid compressed data: the code stream ends after " + std::to_string(produced) + " of " +
         std::to_string(recorded) + " bytes";
}

void check_recorded_size(int32_t size, int64_t code_bytes) {
  if (size < 0)
    throw ECompressionError("Invalid compressed data: negative length " + std::to_string(size));
  if (size > code_bytes * 8 * kLongestMatch)
    throw ECompressionError("Invalid compressed data: length " + std::to_string(size) +
                            " cannot come from " + std::to_string(code_bytes) + " code bytes");
}

}  // namespace

void CompressStream(TMemoryStream& Input, TMemoryStream& Output) {
  OracleLockGuard guard(compressor_lock());
  check_streams(Input, Output);
  const int32_t size = checked_input_size(Input);
  const int64_t start = Output.Position();
  Output.SetSize(start + kHeaderSize + size);
  write_length(Output.Bytes(), static_cast<size_t>(start), size);

  // The working state (some 33 KB) is made per call, on the heap.
  const uint8_t* data = size > 0 ? Input.Memory() + Input.Position() : nullptr;
  auto encoder = std::make_unique<Encoder>(data, static_cast<size_t>(size),
                                           Output.Bytes(), static_cast<size_t>(start + kHeaderSize));
  const auto end = static_cast<int64_t>(encoder->Run());
  Input.Seek(0, soEnd);
  Output.SetSize(end);
  Output.SetPosition(end);
}

void DecompressStream(TMemoryStream& Input, TMemoryStream& Output) {
  OracleLockGuard guard(compressor_lock());
  check_streams(Input, Output);
  const int32_t size = read_length(Input);
  const int64_t code_start = Input.Position();
  const int64_t code_bytes = Input.Size() - code_start;
  check_recorded_size(size, code_bytes);
  const int64_t start = Output.Position();
  Output.SetSize(start + size);

  auto decoder = std::make_unique<Decoder>(Input.Memory() + code_start, static_cast<size_t>(code_bytes),
                                           Output.Memory() + start, static_cast<size_t>(size));
  const auto produced = static_cast<int64_t>(decoder->Run());
  Input.SetPosition(code_start + static_cast<int64_t>(decoder->CodeBytesFetched()));
  if (produced < size) {
    // A prefix would read as a shorter, wrong value: the caller gets nothing.
    Output.SetSize(start);
    Output.SetPosition(start);
    throw ECompressionError(truncated_message(produced, size));
  }
  Output.SetPosition(start + produced);
}

}  // namespace kvell
