#include "oracle/binding/client_platform.h"

namespace kvell {

const ClientNaming& ClientNaming::Windows() {
  static const ClientNaming naming{"oci.dll", "ora*.dll", VersionScheme::DecimalFraction, "bin", '\\', "\\:", ';',
                                   "PATH", "Path", "oramts.dll", false, true};
  return naming;
}

const ClientNaming& ClientNaming::Linux() {
  static const ClientNaming naming{"libclntsh.so", "libclntsh.so.*", VersionScheme::NumericSuffix, "lib", '/', "/",
                                   ':', "LD_LIBRARY_PATH", "LD_LIBRARY_PATH", "liboramts.so", true, false};
  return naming;
}

ClientPlatform SystemClientPlatform() {
  static SystemFileSystem* files = new SystemFileSystem;  // never destroyed, as the other seams
  return {&ProcessRegistry(), &ProcessEnvironment(), files, &ProcessCommandLine(), &ProcessLibraries(),
          &ClientNaming::Linux()};
}

namespace {

ClientPlatform& current_platform() {
  static ClientPlatform platform = SystemClientPlatform();
  return platform;
}

}  // namespace

const ClientPlatform& OCIPlatform() { return current_platform(); }

void SetOCIPlatform(const ClientPlatform& platform) { current_platform() = platform; }

}  // namespace kvell
