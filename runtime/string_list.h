// An ordered list of strings as the host runtime has it: Text joins the lines
// with CR LF (and splits on CR LF, LF or CR), name=value pairs, and a change
// notification that owners use to react to edits.
// Thread-safe: no.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kvell {

// Ordered lines of text with CR LF joined Text and name=value access.
class TStringList {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  const std::string& operator[](int index) const;
  const std::string& Strings(int index) const { return (*this)[index]; }
  void Put(int index, std::string value);

  int Add(std::string value);
  void Insert(int index, std::string value);
  void Delete(int index);
  void Clear();
  void Assign(const TStringList& source);
  // Position of the first line equal to value (without case), or -1.
  int IndexOf(const std::string& value) const;

  // Every line followed by CR LF.
  std::string Text() const;
  void SetText(const std::string& text);
  std::string CommaText() const;

  // "name=value" lines.
  std::string Names(int index) const;
  std::string Values(const std::string& name) const;
  int IndexOfName(const std::string& name) const;

  // Called after every change; owners hook it.
  std::function<void()> OnChange;

  bool operator==(const TStringList& other) const { return items_ == other.items_; }

 private:
  void changed();

  std::vector<std::string> items_;
};

}  // namespace kvell
