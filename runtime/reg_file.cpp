// The ".reg" text reader behind ParseRegText. Outside input: every malformed
// line is passed over, never trusted.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/registry.h"
#include "runtime/ansi_case.h"
#include "runtime/utf8.h"

namespace kvell {
namespace {

// UTF-16LE bytes to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string utf16le_to_utf8(std::string_view bytes) {
  std::string out;
  size_t count = bytes.size() / 2;
  auto unit = [&](size_t i) {
    return static_cast<uint32_t>(static_cast<uint8_t>(bytes[2 * i]) | (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
  };
  for (size_t i = 0; i < count; ++i) {
    uint32_t code = unit(i);
    if (code >= 0xD800 && code < 0xDC00 && i + 1 < count && unit(i + 1) >= 0xDC00 && unit(i + 1) < 0xE000) {
      code = 0x10000 + ((code - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
      ++i;
    } else if (code >= 0xD800 && code < 0xE000) {
      code = 0xFFFD;
    }
    AppendUtf8(out, code);
  }
  return out;
}

std::string decode_file_text(std::string_view text) {
  if (text.starts_with("\xFF\xFE")) return utf16le_to_utf8(text.substr(2));
  if (text.starts_with("\xEF\xBB\xBF")) return std::string(text.substr(3));
  return std::string(text);
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

// A quoted text with \\ and \" escapes at the start of `text`; advances past it.
std::optional<std::string> take_quoted(std::string_view& text) {
  if (text.empty() || text.front() != '"') return std::nullopt;
  std::string value;
  for (size_t i = 1; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\\' && i + 1 < text.size()) {
      value += text[++i];
    } else if (c == '"') {
      text.remove_prefix(i + 1);
      return value;
    } else {
      value += c;
    }
  }
  return std::nullopt;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "4f,00,2a" (blanks and line joins allowed) to bytes.
std::optional<std::string> hex_bytes(std::string_view text) {
  std::string bytes;
  int high = -1;
  for (char c : text) {
    if (c == ',' || c == ' ' || c == '\t' || c == '\\' || c == '\r' || c == '\n') {
      if (high >= 0) return std::nullopt;
      continue;
    }
    int digit = hex_digit(c);
    if (digit < 0) return std::nullopt;
    if (high < 0) {
      high = digit;
    } else {
      bytes += static_cast<char>(high * 16 + digit);
      high = -1;
    }
  }
  if (high >= 0) return std::nullopt;
  return bytes;
}

uint64_t little_endian(std::string_view bytes) {
  uint64_t value = 0;
  for (size_t i = bytes.size(); i-- > 0;) value = (value << 8) | static_cast<uint8_t>(bytes[i]);
  return value;
}

std::string without_trailing_nuls(std::string text) {
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

// The value of `data` (what follows "=") as this registry holds it.
std::optional<std::string> decode_data(std::string_view data, bool unicode_file) {
  std::string_view rest = data;
  if (auto text = take_quoted(rest)) return trim(rest).empty() ? text : std::nullopt;
  if (data.starts_with("dword:")) {
    std::string_view digits = data.substr(6);
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    uint32_t value = 0;
    for (char c : digits) {
      int digit = hex_digit(c);
      if (digit < 0) return std::nullopt;
      value = value * 16 + static_cast<uint32_t>(digit);
    }
    return std::to_string(value);
  }
  if (!data.starts_with("hex")) return std::nullopt;
  size_t colon = data.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  std::string type = AnsiUpperCase(data.substr(3, colon - 3));
  auto bytes = hex_bytes(data.substr(colon + 1));
  if (!bytes) return std::nullopt;
  if (type == "(B)" && bytes->size() == 8) return std::to_string(little_endian(*bytes));
  if (type == "(4)" && bytes->size() == 4) return std::to_string(little_endian(*bytes));
  if (type == "(1)" || type == "(2)" || type == "(7)")
    return without_trailing_nuls(unicode_file ? utf16le_to_utf8(*bytes) : *bytes);
  return bytes;
}

// The host's registry nests keys at most this deep; deeper sections are
// passed over so that no file can make the key tree arbitrarily deep.
constexpr long kMaxKeyDepth = 512;

class RegTextReader {
 public:
  explicit RegTextReader(MemoryRegistry& registry) : registry_(registry) {}

  void Read(const std::string& text) {
    unicode_ = text.find("Windows Registry Editor Version 5") != std::string::npos;
    size_t start = 0;
    std::string pending;
    while (start <= text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string_view line = trim(std::string_view(text).substr(start, end - start));
      start = end + 1;
      pending += pending.empty() ? line : trim(line);
      if (continues(pending)) {
        pending.pop_back();
        continue;
      }
      ReadLine(pending);
      pending.clear();
    }
  }

 private:
  // A hex value's bytes run on over lines that end in "\".
  static bool continues(std::string_view line) {
    return !line.empty() && line.back() == '\\' && line.find("=hex") != std::string_view::npos;
  }

  void ReadLine(std::string_view line) {
    if (line.empty() || line.front() == ';') return;
    if (line.front() == '[') return ReadSection(line);
    if (in_section_) ReadValue(line);
  }

  void ReadSection(std::string_view line) {
    in_section_ = false;
    size_t close = line.rfind(']');
    if (close == std::string_view::npos) return;
    std::string_view path = line.substr(1, close - 1);
    bool deleting = path.starts_with("-");
    if (deleting) path.remove_prefix(1);
    size_t slash = path.find('\\');
    std::string root_name = AnsiUpperCase(path.substr(0, slash));
    if (root_name == "HKEY_LOCAL_MACHINE" || root_name == "HKLM") {
      root_ = RegistryRoot::LocalMachine;
    } else if (root_name == "HKEY_CURRENT_USER" || root_name == "HKCU") {
      root_ = RegistryRoot::CurrentUser;
    } else {
      return;
    }
    key_ = slash == std::string_view::npos ? std::string() : std::string(path.substr(slash + 1));
    if (std::count(key_.begin(), key_.end(), '\\') >= kMaxKeyDepth) return;
    if (deleting) {
      registry_.DeleteKey(root_, key_);
      return;
    }
    registry_.CreateKey(root_, key_);
    in_section_ = true;
  }

  void ReadValue(std::string_view line) {
    std::string name;
    if (line.starts_with("@")) {
      line.remove_prefix(1);
    } else if (auto quoted = take_quoted(line)) {
      name = *quoted;
    } else {
      return;
    }
    line = trim(line);
    if (!line.starts_with("=")) return;
    std::string_view data = trim(line.substr(1));
    if (data == "-") return registry_.DeleteValue(root_, key_, name);
    if (auto value = decode_data(data, unicode_)) registry_.SetValue(root_, key_, name, *value);
  }

  MemoryRegistry& registry_;
  bool unicode_ = true;
  bool in_section_ = false;
  RegistryRoot root_ = RegistryRoot::LocalMachine;
  std::string key_;
};

}  // namespace

MemoryRegistry ParseRegText(std::string_view text) {
  MemoryRegistry registry;
  RegTextReader(registry).Read(decode_file_text(text));
  return registry;
}

}  // namespace kvell
