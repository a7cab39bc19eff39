// Feeds arbitrary bytes to the ".reg" reader and reads back every key it
// made: malformed files must be passed over, never crash or hang it.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "runtime/registry.h"

namespace {

void walk(const kvell::Registry& registry, kvell::RegistryRoot root, const std::string& key, int depth) {
  if (depth > 64) return;
  for (const std::string& child : registry.SubKeys(root, key)) {
    std::string path = key.empty() ? child : key + "\\" + child;
    (void)registry.ReadValue(root, path, "");
    walk(registry, root, path, depth + 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kvell::MemoryRegistry registry =
      kvell::ParseRegText(std::string_view(reinterpret_cast<const char*>(data), size));
  walk(registry, kvell::RegistryRoot::LocalMachine, "", 0);
  walk(registry, kvell::RegistryRoot::CurrentUser, "", 0);
  return 0;
}
