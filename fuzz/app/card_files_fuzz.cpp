// Feeds arbitrary bytes to both data file parsers through a real file, as
// the reader tools would leave them.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/card_files.h"

namespace {

const std::string& scratch_path() {
  static const std::string path = "/tmp/kestra-fuzz-" + std::to_string(::getpid()) + ".dat";
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(scratch_path().c_str(), "wb");
  if (!file) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);

  kestra::CardState state;
  kestra::ParseCardFile(scratch_path(), state);
  kestra::ParseTokenFile(scratch_path(), state);
  // Fields are cut to their columns whatever the line holds.
  if (state.ValidFrom.size() > 10 || state.ValidTo.size() > 10) std::abort();
  return 0;
}
