// Modal messages to the user. MessageBox is the seam tests replace; the
// program shows QtMessageBox, or StderrMessageBox when nobody can answer.
#pragma once

#include <QString>
#include <string>

namespace kestra {

class MessageBox {
 public:
  virtual ~MessageBox() = default;
  // Returns once the user has acknowledged the text.
  virtual void Show(const std::string& text) = 0;
};

// A modal box with an OK button, titled with the application's name.
// Thread safety: window-system thread only.
class QtMessageBox : public MessageBox {
 public:
  void Show(const std::string& text) override;
};

// Writes the text to standard error, for unattended runs.
class StderrMessageBox : public MessageBox {
 public:
  void Show(const std::string& text) override;
};

// The text as a message box shows it: a CR, alone or before an LF, breaks the line.
QString DisplayText(const std::string& text);

}  // namespace kestra
