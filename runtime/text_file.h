// Line-by-line reading of 8-bit text files. A line ends at LF, optionally
// preceded by CR; the last line need not end at all. Failing to open is
// reported to the caller; a failure after opening raises EInOutError.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace kvell {

class TextFileReader {
 public:
  // Opens the file; IsOpen() tells whether that worked.
  explicit TextFileReader(const std::string& path);
  ~TextFileReader();
  TextFileReader(const TextFileReader&) = delete;
  TextFileReader& operator=(const TextFileReader&) = delete;

  bool IsOpen() const { return file_ != nullptr; }

  // Reads the next line without its ending. False at the end of the file.
  // Raises EInOutError when the read fails.
  bool ReadLine(std::string& line);

  // Closes the file; raises EInOutError when closing fails. Idempotent.
  void Close();

 private:
  std::string path_;
  std::FILE* file_ = nullptr;
};

}  // namespace kvell
