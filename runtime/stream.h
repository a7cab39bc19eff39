// Byte streams as the host runtime has them: TStream with a position and a
// size, and TMemoryStream holding its bytes in one growable buffer.
// Thread-safe: no; one stream is used by one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/exception.h"

namespace kvell {

// A read or write that moved fewer bytes than asked.
class EStreamError : public Exception {
  using Exception::Exception;
};

enum TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

// A byte stream with a position and a size.
class TStream {
 public:
  virtual ~TStream() = default;

  // Read/Write move up to count bytes and return how many moved.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Returns the new position. Origin as TSeekOrigin (0, 1, 2).
  virtual int64_t Seek(int64_t offset, int origin) = 0;
  virtual void SetSize(int64_t new_size);

  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t position) { Seek(position, soBeginning); }
  virtual int64_t Size();

  // Exactly count bytes or EStreamError ("Stream read error" / "Stream write error").
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);

  // Copies count bytes from source's position (all of source from its start
  // when count is 0); returns the number copied.
  int64_t CopyFrom(TStream& source, int64_t count);
};

// A stream over one growable buffer in memory.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  TMemoryStream(const TMemoryStream&) = delete;
  TMemoryStream& operator=(const TMemoryStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, int origin) override;
  void SetSize(int64_t new_size) override;
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }

  void Clear();
  void LoadFromStream(TStream& source);
  void SaveToStream(TStream& target);

  // Direct access to the bytes, for coders that must not pay a call per byte.
  uint8_t* Memory() { return data_.data(); }
  const uint8_t* Memory() const { return data_.data(); }
  std::vector<uint8_t>& Bytes() { return data_; }

  std::string AsString() const { return std::string(data_.begin(), data_.end()); }

 private:
  std::vector<uint8_t> data_;
  int64_t position_ = 0;  // may lie beyond the end; a write there fills the gap with zeros
};

}  // namespace kvell
