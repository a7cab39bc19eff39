// A program that uses the layer the way an application does (loads the
// client given as argv[1], compresses a value, fills the pool and warning
// slots) and returns from main. It prints what the module's exit step does,
// then, from an exit handler that runs after it, what is left.
#include <cstdio>
#include <cstdlib>

#include "oracle/binding/client_loader.h"
#include "oracle/binding/client_platform.h"
#include "oracle/compress/oracle_compress.h"
#include "oracle/kvell_init.h"
#include "runtime/dynamic_library.h"

namespace {

using namespace kvell;

// The process's loader, saying when the client library is freed.
class TellingLibraries final : public DynamicLibraries {
 public:
  LibraryHandle Load(const std::string& path) override { return system_.Load(path); }
  void* Symbol(LibraryHandle library, const char* name) override { return system_.Symbol(library, name); }
  void Free(LibraryHandle library) override {
    std::printf("free client library: logon history held=%d\n",
                KvellSlot(ProcessObject::LogonHistory).Filled());
    system_.Free(library);
  }
  std::string LastError() const override { return system_.LastError(); }

 private:
  SystemLibraries system_;
};

// Stands in for the objects later layers keep in their slots.
struct ProbePool {
  ~ProbePool() {
    std::printf("release default session pool: compressor lock held=%d warning codes held=%d client loaded=%d\n",
                KvellSlot(ProcessObject::CompressorLock).Filled(),
                KvellSlot(ProcessObject::WarningCodes).Filled(), OCILoaded());
  }
};
struct ProbeWarnings {
  ~ProbeWarnings() {
    std::printf("release warning codes: compressor lock held=%d\n",
                KvellSlot(ProcessObject::CompressorLock).Filled());
  }
};

// Registered before the module starts, so it runs after the module's exit step.
void after_exit() {
  int held = 0, refilled = 0;
  for (int i = 0; i < kProcessObjectCount; ++i) {
    const ProcessSlot& slot = KvellSlot(static_cast<ProcessObject>(i));
    held += slot.Filled();
    refilled += slot.Fills() > 1;
  }
  std::printf("after exit: client loaded=%d slots held=%d refilled=%d\n", OCILoaded(), held, refilled);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  static TellingLibraries* libraries = new TellingLibraries;  // must outlive the exit step
  ClientPlatform platform = SystemClientPlatform();
  platform.libraries = libraries;
  SetOCIPlatform(platform);
  std::atexit(after_exit);

  KvellStartUp();
  OCIDLL = argv[1];
  InitOCI();
  std::printf("loaded: %d\n", OCILoaded());
  TMemoryStream input, output;
  input.WriteBuffer("compressed under the lock", 25);
  input.SetPosition(0);
  CompressStream(input, output);
  KvellSlot(ProcessObject::DefaultSessionPool).Get<ProbePool>();
  KvellSlot(ProcessObject::WarningCodes).Get<ProbeWarnings>();
  return 0;
}
