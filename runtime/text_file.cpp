#include "runtime/text_file.h"

#include <cerrno>
#include <cstring>

#include "runtime/exception.h"

namespace kvell {
namespace {

[[noreturn]] void raise_io_error(int error_code) {
  throw EInOutError("I/O error " + std::to_string(error_code) + ": " + std::strerror(error_code),
                    error_code);
}

}  // namespace

TextFileReader::TextFileReader(const std::string& path) : path_(path) {
  file_ = std::fopen(path.c_str(), "rb");
}

TextFileReader::~TextFileReader() {
  if (file_) std::fclose(file_);
}

bool TextFileReader::ReadLine(std::string& line) {
  line.clear();
  if (!file_) return false;
  bool read_any = false;
  for (;;) {
    int c = std::getc(file_);
    if (c == EOF) {
      if (std::ferror(file_)) raise_io_error(errno ? errno : EIO);
      break;
    }
    read_any = true;
    if (c == '\n') break;
    line.push_back(static_cast<char>(c));
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return read_any;
}

void TextFileReader::Close() {
  if (!file_) return;
  std::FILE* file = file_;
  file_ = nullptr;
  if (std::fclose(file) != 0) raise_io_error(errno ? errno : EIO);
}

}  // namespace kvell
