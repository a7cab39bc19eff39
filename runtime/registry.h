// Read-only registry of keys and named text values, as the Oracle client
// layer expects to find its homes. On Linux it is a text file in the Windows
// ".reg" export format; tests fill an in-memory one. Key and value names
// compare without case.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvell {

enum class RegistryRoot { LocalMachine, CurrentUser };

class Registry {
 public:
  virtual ~Registry() = default;
  virtual bool KeyExists(RegistryRoot root, std::string_view key) const = 0;
  // Nothing when the key or the value is missing. "" names the default value.
  virtual std::optional<std::string> ReadValue(RegistryRoot root, std::string_view key,
                                               std::string_view name) const = 0;
  // Names of the direct subkeys, in the order they were created.
  virtual std::vector<std::string> SubKeys(RegistryRoot root, std::string_view key) const = 0;
};

// Keys are paths separated by "\"; creating a key creates its parents.
// Thread-safe: concurrent reads yes, writes need exclusive access.
class MemoryRegistry final : public Registry {
 public:
  MemoryRegistry();
  ~MemoryRegistry() override;
  MemoryRegistry(MemoryRegistry&&) noexcept;
  MemoryRegistry& operator=(MemoryRegistry&&) noexcept;

  void CreateKey(RegistryRoot root, std::string_view key);
  void DeleteKey(RegistryRoot root, std::string_view key);
  // Binary and number values are held as text too: the readers of this
  // registry never look at a value's type.
  void SetValue(RegistryRoot root, std::string_view key, std::string_view name, std::string_view value);
  void DeleteValue(RegistryRoot root, std::string_view key, std::string_view name);

  bool KeyExists(RegistryRoot root, std::string_view key) const override;
  std::optional<std::string> ReadValue(RegistryRoot root, std::string_view key,
                                       std::string_view name) const override;
  std::vector<std::string> SubKeys(RegistryRoot root, std::string_view key) const override;

 private:
  struct Node;
  Node* find(RegistryRoot root, std::string_view key) const;
  Node* create(RegistryRoot root, std::string_view key);

  std::unique_ptr<Node> local_machine_;
  std::unique_ptr<Node> current_user_;
};

// Reads ".reg" text (REGEDIT4 or version 5.00, UTF-8 or UTF-16LE with BOM).
// Sections of other roots and lines it does not understand are passed over.
MemoryRegistry ParseRegText(std::string_view text);

// The registry file's content; an unreadable file gives an empty registry.
MemoryRegistry LoadRegFile(const std::string& path);

// $KVELL_REGISTRY, else $HOME/.config/kvell/registry.reg if it exists, else
// /etc/kvell/registry.reg.
std::string DefaultRegistryPath();

// The process's registry, loaded once from DefaultRegistryPath().
const Registry& ProcessRegistry();

}  // namespace kvell
