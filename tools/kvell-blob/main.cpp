// kvell-blob: compresses, decompresses, packs and unpacks binary values as
// the Oracle layer stores them, from standard input to standard output.
#include <cstdio>
#include <iostream>
#include <string_view>

#include "oracle/compress/oracle_compress.h"
#include "oracle/compress/stored_blob.h"

namespace {

constexpr const char* kUsage =
    "usage: kvell-blob compress|decompress|pack|unpack < input > output\n"
    "  compress    4-byte length followed by the compressed code stream\n"
    "  decompress  the reverse of compress\n"
    "  pack        the stored form of a binary value: the signature\n"
    "              91 00 A6 38 88 B7 CC 1B followed by the compressed stream\n"
    "  unpack      the reverse of pack; a value without the signature is\n"
    "              written through unchanged\n";

constexpr int kExitBadInput = 1;
constexpr int kExitUsage = 2;

void read_all(std::FILE* file, kvell::TMemoryStream& stream) {
  char buffer[64 * 1024];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) stream.WriteBuffer(buffer, static_cast<int64_t>(n));
  if (std::ferror(file)) throw kvell::EStreamError("cannot read standard input");
  stream.SetPosition(0);
}

void write_all(std::FILE* file, kvell::TMemoryStream& stream) {
  const auto size = static_cast<size_t>(stream.Size());
  if ((size > 0 && std::fwrite(stream.Memory(), 1, size, file) != size) || std::fflush(file) != 0)
    throw kvell::EStreamError("cannot write standard output");
}

void run(std::string_view command, kvell::TMemoryStream& input, kvell::TMemoryStream& output) {
  if (command == "compress") {
    kvell::CompressStream(input, output);
  } else if (command == "decompress") {
    kvell::DecompressStream(input, output);
  } else if (command == "pack") {
    kvell::PackBlob(input, output);
  } else if (kvell::HasCompressedBlobSignature(input.Memory(), input.Size())) {
    input.SetPosition(static_cast<int64_t>(kvell::kCompressedBlobSignature.size()));
    kvell::DecompressStream(input, output);
  } else {
    kvell::UnpackBlob(input, output);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view command = argc == 2 ? argv[1] : "";
  if (command != "compress" && command != "decompress" && command != "pack" && command != "unpack") {
    std::cerr << kUsage;
    return kExitUsage;
  }
  try {
    kvell::TMemoryStream input;
    kvell::TMemoryStream output;
    read_all(stdin, input);
    run(command, input, output);
    write_all(stdout, output);
    return 0;
  } catch (const std::exception& error) {
    std::cerr << "kvell-blob " << command << ": " << error.what() << "\n";
    return kExitBadInput;
  }
}
