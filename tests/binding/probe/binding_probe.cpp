// Loads the client library the way a program does, with the process's own
// parameters, environment and registry file, and says what happened:
// "loaded <path>" and exit 0, or the error message and exit 1.
#include <cstdio>

#include "oracle/binding/client_loader.h"
#include "runtime/exception.h"

int main() {
  try {
    kvell::InitOCI();
    std::printf("loaded %s\n", kvell::OCIDLL.c_str());
    kvell::FreeOCI();
    return 0;
  } catch (const kvell::Exception& error) {
    std::printf("%s\n", error.Message.c_str());
    return 1;
  }
}
