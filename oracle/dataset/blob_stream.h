// TOracleBlobStream: the stream through which a dataset's long, long raw and
// LOB fields are read and written. It works on one TOracleBlob: the edited
// working copy while a field is written in an edit or insert, else the
// record's own value. Positions are not clamped: reading past the end gives
// nothing, writing past it grows the value. Destroying a stream that wrote
// marks its field modified and tells the dataset the field changed.
// Thread-safe: no; as its dataset.
#pragma once

#include <cstdint>

#include "db/db_types.h"
#include "oracle/dataset/record_buffer.h"
#include "runtime/stream.h"

namespace kvell {

class TField;
class TOracleDataSet;

class TOracleBlobStream : public TStream {
 public:
  // `blob` is the value worked on, or null (nothing to read; writes refused).
  // `editing` says that writes count as a change of the field.
  TOracleBlobStream(TOracleDataSet& dataset, TField* field, TBlobStreamMode mode, TOracleBlob* blob, bool opened,
                    bool editing);
  ~TOracleBlobStream() override;
  TOracleBlobStream(const TOracleBlobStream&) = delete;
  TOracleBlobStream& operator=(const TOracleBlobStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, int origin) override;
  int64_t Size() override { return blob_ ? blob_->Size : 0; }

  bool Modified() const { return modified_; }

 private:
  void grow(int64_t size);

  TOracleDataSet& dataset_;
  TField* field_;
  TBlobStreamMode mode_;
  TOracleBlob* blob_;
  int64_t position_ = 0;
  bool opened_;
  bool editing_;
  bool modified_ = false;
};

}  // namespace kvell
