// Bit-level input and output of the code stream, most significant bit of
// each byte first, working straight on byte buffers so the coder pays no
// call per byte. Thread-safe: no; one per coding run.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kvell::compress {

// Appends bits at write_position of a byte vector, growing it as needed.
// A plain MSB-first accumulator: for codes of up to 16 bits it writes the
// same bytes as a 16-bit buffer would, and it also takes longer ones.
class BitWriter {
 public:
  BitWriter(std::vector<uint8_t>& bytes, size_t write_position)
      : bytes_(bytes), position_(write_position) {}
  BitWriter(const BitWriter&) = delete;
  BitWriter& operator=(const BitWriter&) = delete;

  // Writes the top `length` bits (at most 32) of left_aligned.
  void Put(int length, uint32_t left_aligned) {
    pending_ |= static_cast<uint64_t>(left_aligned) << (32 - pending_bits_);
    pending_bits_ += length;
    while (pending_bits_ >= 8) {
      EmitByte(static_cast<uint8_t>(pending_ >> 56));
      pending_ <<= 8;
      pending_bits_ -= 8;
    }
  }

  // Pads the last byte with zero bits and writes it.
  void Flush() {
    if (pending_bits_ > 0) EmitByte(static_cast<uint8_t>(pending_ >> 56));
    pending_ = 0;
    pending_bits_ = 0;
  }

  // Where the next byte goes.
  size_t Position() const { return position_; }

 private:
  void EmitByte(uint8_t byte) {
    if (position_ >= bytes_.size()) bytes_.resize(std::max(2 * bytes_.size(), position_ + 64));
    bytes_[position_++] = byte;
  }

  std::vector<uint8_t>& bytes_;
  size_t position_;
  uint64_t pending_ = 0;  // unwritten bits, first one in bit 63
  int pending_bits_ = 0;  // 0..7 between calls
};

// Reads bits the way the 1988 decoder does: a 16-bit buffer topped up a byte
// at a time while it holds 8 bits or fewer, so it fetches up to two bytes
// past the last one it needs. Bytes past the end read as zero; Exhausted()
// tells when a bit was taken that the input never held.
class BitReader {
 public:
  BitReader(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}
  BitReader(const BitReader&) = delete;
  BitReader& operator=(const BitReader&) = delete;

  int GetBit() {
    Fill();
    const int bit = buffer_ >> 15;
    buffer_ = static_cast<uint16_t>(buffer_ << 1);
    --buffer_bits_;
    ++bits_taken_;
    return bit;
  }

  int GetByte() {
    Fill();
    const int byte = buffer_ >> 8;
    buffer_ = static_cast<uint16_t>(buffer_ << 8);
    buffer_bits_ -= 8;
    bits_taken_ += 8;
    return byte;
  }

  // True once more bits were taken than the input holds.
  bool Exhausted() const { return bits_taken_ > 8 * size_; }
  // Input bytes fetched so far (never beyond the end).
  size_t BytesFetched() const { return next_ < size_ ? next_ : size_; }

 private:
  void Fill() {
    while (buffer_bits_ <= 8) {
      const unsigned byte = next_ < size_ ? bytes_[next_] : 0u;
      ++next_;
      buffer_ = static_cast<uint16_t>(buffer_ | (byte << (8 - buffer_bits_)));
      buffer_bits_ += 8;
    }
  }

  const uint8_t* bytes_;
  size_t size_;
  size_t next_ = 0;        // index of the next byte to fetch
  uint64_t bits_taken_ = 0;
  uint16_t buffer_ = 0;    // unread bits, next one in bit 15
  int buffer_bits_ = 0;
};

}  // namespace kvell::compress
