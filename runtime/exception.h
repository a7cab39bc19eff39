// The runtime's exception tree. Every failure the layer raises derives from
// kvell::Exception, whose Message is the text shown to users; subclasses let
// callers catch by kind (conversion, variant, input/output, arithmetic).
#pragma once

#include <exception>
#include <string>

namespace kvell {

// The base of every exception the layer raises; Message is the text for the user.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : Message(std::move(message)) {}
  const char* what() const noexcept override { return Message.c_str(); }

  std::string Message;
};

// A text that does not convert to the number or date asked for.
class EConvertError : public Exception {
  using Exception::Exception;
};

// A Variant that cannot be converted to the type asked for.
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

// Integer division by zero.
class EDivByZero : public EMathError {
 public:
  EDivByZero() : EMathError("Division by zero") {}
};

// Floating-point division by zero.
class EZeroDivide : public EMathError {
 public:
  EZeroDivide() : EMathError("Floating point division by zero") {}
};

// A floating-point operation without a defined result.
class EInvalidOp : public EMathError {
 public:
  EInvalidOp() : EMathError("Invalid floating point operation") {}
};

}  // namespace kvell
