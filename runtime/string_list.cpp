#include "runtime/string_list.h"

#include <strings.h>

#include "runtime/exception.h"

namespace kvell {
namespace {

void check_index(int index, int count) {
  if (index < 0 || index >= count)
    throw Exception("List index out of bounds (" + std::to_string(index) + ")");
}

}  // namespace

const std::string& TStringList::operator[](int index) const {
  check_index(index, Count());
  return items_[index];
}

void TStringList::Put(int index, std::string value) {
  check_index(index, Count());
  items_[index] = std::move(value);
  changed();
}

int TStringList::Add(std::string value) {
  items_.push_back(std::move(value));
  changed();
  return Count() - 1;
}

void TStringList::Insert(int index, std::string value) {
  if (index < 0 || index > Count()) check_index(index, Count());
  items_.insert(items_.begin() + index, std::move(value));
  changed();
}

void TStringList::Delete(int index) {
  check_index(index, Count());
  items_.erase(items_.begin() + index);
  changed();
}

void TStringList::Clear() {
  if (items_.empty()) return;
  items_.clear();
  changed();
}

void TStringList::Assign(const TStringList& source) {
  items_ = source.items_;
  changed();
}

int TStringList::IndexOf(const std::string& value) const {
  for (int i = 0; i < Count(); ++i)
    if (strcasecmp(items_[i].c_str(), value.c_str()) == 0) return i;
  return -1;
}

std::string TStringList::Text() const {
  std::string text;
  for (const auto& line : items_) text += line + "\r\n";
  return text;
}

void TStringList::SetText(const std::string& text) {
  items_.clear();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      items_.push_back(text.substr(start));
      break;
    }
    items_.push_back(text.substr(start, end - start));
    start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
  }
  changed();
}

std::string TStringList::CommaText() const {
  std::string text;
  for (const auto& line : items_) {
    if (!text.empty()) text += ',';
    bool quote = line.empty() || line.find_first_of(" ,\"") != std::string::npos;
    if (!quote) {
      text += line;
      continue;
    }
    text += '"';
    for (char c : line) text += c == '"' ? std::string("\"\"") : std::string(1, c);
    text += '"';
  }
  return text;
}

std::string TStringList::Names(int index) const {
  const std::string& line = (*this)[index];
  size_t eq = line.find('=');
  return eq == std::string::npos ? std::string() : line.substr(0, eq);
}

int TStringList::IndexOfName(const std::string& name) const {
  for (int i = 0; i < Count(); ++i) {
    size_t eq = items_[i].find('=');
    if (eq != std::string::npos && strcasecmp(items_[i].substr(0, eq).c_str(), name.c_str()) == 0)
      return i;
  }
  return -1;
}

std::string TStringList::Values(const std::string& name) const {
  int index = IndexOfName(name);
  return index < 0 ? std::string() : items_[index].substr(items_[index].find('=') + 1);
}

void TStringList::changed() {
  if (OnChange) OnChange();
}

}  // namespace kvell
