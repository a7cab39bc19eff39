// The runtime's exception tree. Every failure the layer raises derives from
// kvell::Exception, whose Message is the text shown to users; subclasses let
// callers catch by kind (conversion, variant, input/output, arithmetic).
#pragma once

#include <exception>
#include <string>

namespace kvell {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : Message(std::move(message)) {}
  const char* what() const noexcept override { return Message.c_str(); }

  std::string Message;
};

class EConvertError : public Exception {
  using Exception::Exception;
};

class EVariantError : public Exception {
  using Exception::Exception;
};

// An input/output failure after a file was opened (read, write or close).
class EInOutError : public Exception {
 public:
  EInOutError(std::string message, int error_code)
      : Exception(std::move(message)), ErrorCode(error_code) {}
  int ErrorCode;  // errno at the failure
};

// The arithmetic exceptions; C++ does not raise these, so callers check and throw.
class EMathError : public Exception {
  using Exception::Exception;
};

class EDivByZero : public EMathError {
 public:
  EDivByZero() : EMathError("Division by zero") {}
};

class EZeroDivide : public EMathError {
 public:
  EZeroDivide() : EMathError("Floating point division by zero") {}
};

class EInvalidOp : public EMathError {
 public:
  EInvalidOp() : EMathError("Invalid floating point operation") {}
};

}  // namespace kvell
