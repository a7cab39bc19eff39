#include "runtime/registry.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <utility>

#include "runtime/environment.h"
#include "runtime/ansi_case.h"

namespace kvell {

struct MemoryRegistry::Node {
  std::string name;
  std::vector<std::pair<std::string, std::string>> values;
  std::vector<std::unique_ptr<Node>> children;

  Node* child(std::string_view wanted) const {
    for (const auto& node : children)
      if (AnsiSameText(node->name, wanted)) return node.get();
    return nullptr;
  }
};

namespace {

// The non-empty parts of a "\"-separated key path.
std::vector<std::string_view> key_parts(std::string_view key) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (start <= key.size()) {
    size_t end = key.find('\\', start);
    if (end == std::string_view::npos) end = key.size();
    if (end > start) parts.push_back(key.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

}  // namespace

MemoryRegistry::MemoryRegistry() : local_machine_(std::make_unique<Node>()), current_user_(std::make_unique<Node>()) {}
MemoryRegistry::~MemoryRegistry() = default;
MemoryRegistry::MemoryRegistry(MemoryRegistry&&) noexcept = default;
MemoryRegistry& MemoryRegistry::operator=(MemoryRegistry&&) noexcept = default;

MemoryRegistry::Node* MemoryRegistry::find(RegistryRoot root, std::string_view key) const {
  Node* node = root == RegistryRoot::LocalMachine ? local_machine_.get() : current_user_.get();
  for (std::string_view part : key_parts(key)) {
    node = node->child(part);
    if (!node) return nullptr;
  }
  return node;
}

MemoryRegistry::Node* MemoryRegistry::create(RegistryRoot root, std::string_view key) {
  Node* node = root == RegistryRoot::LocalMachine ? local_machine_.get() : current_user_.get();
  for (std::string_view part : key_parts(key)) {
    Node* next = node->child(part);
    if (!next) {
      node->children.push_back(std::make_unique<Node>());
      next = node->children.back().get();
      next->name = part;
    }
    node = next;
  }
  return node;
}

void MemoryRegistry::CreateKey(RegistryRoot root, std::string_view key) { create(root, key); }

void MemoryRegistry::DeleteKey(RegistryRoot root, std::string_view key) {
  std::vector<std::string_view> parts = key_parts(key);
  if (parts.empty()) return;
  std::string parent;
  for (size_t i = 0; i + 1 < parts.size(); ++i) parent.append(parts[i]).append("\\");
  Node* node = find(root, parent);
  if (!node) return;
  std::erase_if(node->children, [&](const auto& child) { return AnsiSameText(child->name, parts.back()); });
}

void MemoryRegistry::SetValue(RegistryRoot root, std::string_view key, std::string_view name,
                              std::string_view value) {
  Node* node = create(root, key);
  for (auto& [existing, text] : node->values)
    if (AnsiSameText(existing, name)) {
      text = value;
      return;
    }
  node->values.emplace_back(name, value);
}

void MemoryRegistry::DeleteValue(RegistryRoot root, std::string_view key, std::string_view name) {
  if (Node* node = find(root, key))
    std::erase_if(node->values, [&](const auto& value) { return AnsiSameText(value.first, name); });
}

bool MemoryRegistry::KeyExists(RegistryRoot root, std::string_view key) const { return find(root, key) != nullptr; }

std::optional<std::string> MemoryRegistry::ReadValue(RegistryRoot root, std::string_view key,
                                                     std::string_view name) const {
  if (const Node* node = find(root, key))
    for (const auto& [existing, text] : node->values)
      if (AnsiSameText(existing, name)) return text;
  return std::nullopt;
}

std::vector<std::string> MemoryRegistry::SubKeys(RegistryRoot root, std::string_view key) const {
  std::vector<std::string> names;
  if (const Node* node = find(root, key))
    for (const auto& child : node->children) names.push_back(child->name);
  return names;
}

std::string DefaultRegistryPath() {
  std::string path = ProcessEnvironment().Get("KVELL_REGISTRY");
  if (!path.empty()) return path;
  std::string home = ProcessEnvironment().Get("HOME");
  if (!home.empty()) {
    std::string user_file = home + "/.config/kvell/registry.reg";
    struct stat info{};
    if (::stat(user_file.c_str(), &info) == 0) return user_file;
  }
  return "/etc/kvell/registry.reg";
}

MemoryRegistry LoadRegFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return MemoryRegistry();
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  return ParseRegText(text);
}

const Registry& ProcessRegistry() {
  // Never destroyed: the layer's exit step (FreeOCI) still runs through it.
  static const MemoryRegistry* registry = new MemoryRegistry(LoadRegFile(DefaultRegistryPath()));
  return *registry;
}

}  // namespace kvell
