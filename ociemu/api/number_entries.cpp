// OCINumber helpers over the NUMBER byte format.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "ociemu/api/entry.h"

using namespace ociemu;

namespace {

void store(const std::string& decimal, OCINumber* number) {
  std::vector<ub1> bytes = encode_number(decimal);
  std::memset(number->OCINumberPart, 0, sizeof number->OCINumberPart);
  number->OCINumberPart[0] = static_cast<ub1>(bytes.size());
  std::memcpy(number->OCINumberPart + 1, bytes.data(), bytes.size());
}

std::string load(const OCINumber* number) {
  ub1 length = number->OCINumberPart[0];
  if (length == 0 || length > 21) fail(1722);
  return decode_number(number->OCINumberPart + 1, length);
}

ErrorHandle* errors_of(OCIError* errhp) { return live<ErrorHandle>(errhp); }

}  // namespace

extern "C" {

sword OCINumberFromInt(OCIError* errhp, const void* inum, uword inum_length, uword inum_s_flag, OCINumber* number) {
  return guarded("OCINumberFromInt", errors_of(errhp), [&] {
    if (!inum || !number) fail(1722);
    std::string text;
    if (inum_s_flag == 2) {
      int64_t value = 0;
      switch (inum_length) {
        case 1: value = *static_cast<const int8_t*>(inum); break;
        case 2: { int16_t v; std::memcpy(&v, inum, 2); value = v; break; }
        case 4: { int32_t v; std::memcpy(&v, inum, 4); value = v; break; }
        case 8: std::memcpy(&value, inum, 8); break;
        default: fail(1722);
      }
      text = std::to_string(value);
    } else {
      uint64_t value = 0;
      switch (inum_length) {
        case 1: value = *static_cast<const uint8_t*>(inum); break;
        case 2: { uint16_t v; std::memcpy(&v, inum, 2); value = v; break; }
        case 4: { uint32_t v; std::memcpy(&v, inum, 4); value = v; break; }
        case 8: std::memcpy(&value, inum, 8); break;
        default: fail(1722);
      }
      text = std::to_string(value);
    }
    store(text, number);
    return OCI_SUCCESS;
  });
}

sword OCINumberToInt(OCIError* errhp, const OCINumber* number, uword rsl_length, uword rsl_flag, void* rsl) {
  return guarded("OCINumberToInt", errors_of(errhp), [&] {
    if (!number || !rsl) fail(1722);
    long double value = std::round(std::strtold(load(number).c_str(), nullptr));
    long double low = rsl_flag == 2 ? -std::ldexp(1.0L, int(rsl_length * 8 - 1)) : 0;
    long double high = rsl_flag == 2 ? std::ldexp(1.0L, int(rsl_length * 8 - 1)) - 1 : std::ldexp(1.0L, int(rsl_length * 8)) - 1;
    if (value < low || value > high) fail(1455);
    switch (rsl_length) {
      case 1: { int8_t v = static_cast<int8_t>(value); std::memcpy(rsl, &v, 1); break; }
      case 2: { int16_t v = static_cast<int16_t>(value); std::memcpy(rsl, &v, 2); break; }
      case 4: { int32_t v = static_cast<int32_t>(static_cast<int64_t>(value)); std::memcpy(rsl, &v, 4); break; }
      case 8: {
        if (rsl_flag == 2) {
          int64_t v = static_cast<int64_t>(value);
          std::memcpy(rsl, &v, 8);
        } else {
          uint64_t v = static_cast<uint64_t>(value);
          std::memcpy(rsl, &v, 8);
        }
        break;
      }
      default: fail(1722);
    }
    return OCI_SUCCESS;
  });
}

sword OCINumberFromReal(OCIError* errhp, const void* rnum, uword rnum_length, OCINumber* number) {
  return guarded("OCINumberFromReal", errors_of(errhp), [&] {
    if (!rnum || !number) fail(1722);
    long double value = rnum_length == sizeof(float) ? *static_cast<const float*>(rnum)
                        : rnum_length == sizeof(double) ? *static_cast<const double*>(rnum)
                                                        : *static_cast<const long double*>(rnum);
    char text[64];
    std::snprintf(text, sizeof text, "%.*Lg", rnum_length == sizeof(float) ? 7 : 15, value);
    store(text, number);
    return OCI_SUCCESS;
  });
}

sword OCINumberToReal(OCIError* errhp, const OCINumber* number, uword rsl_length, void* rsl) {
  return guarded("OCINumberToReal", errors_of(errhp), [&] {
    if (!number || !rsl) fail(1722);
    std::string text = load(number);
    if (rsl_length == sizeof(float)) {
      float v = std::strtof(text.c_str(), nullptr);
      std::memcpy(rsl, &v, sizeof v);
    } else if (rsl_length == sizeof(double)) {
      double v = std::strtod(text.c_str(), nullptr);
      std::memcpy(rsl, &v, sizeof v);
    } else {
      long double v = std::strtold(text.c_str(), nullptr);
      std::memcpy(rsl, &v, sizeof v);
    }
    return OCI_SUCCESS;
  });
}

// Format models are not interpreted: the number is written as Oracle shows it by default.
sword OCINumberToText(OCIError* errhp, const OCINumber* number, const oratext*, ub4, const oratext*, ub4,
                      ub4* buf_size, oratext* buf) {
  return guarded("OCINumberToText", errors_of(errhp), [&] {
    if (!number || !buf_size || !buf) fail(1722);
    std::string text = load(number);
    if (text.size() > *buf_size) fail(22065);
    std::memcpy(buf, text.data(), text.size());
    *buf_size = static_cast<ub4>(text.size());
    return OCI_SUCCESS;
  });
}

sword OCINumberFromText(OCIError* errhp, const oratext* str, ub4 str_length, const oratext*, ub4, const oratext*, ub4,
                        OCINumber* number) {
  return guarded("OCINumberFromText", errors_of(errhp), [&] {
    if (!str || !number) fail(1722);
    std::string text(reinterpret_cast<const char*>(str), str_length);
    char* end = nullptr;
    std::strtod(text.c_str(), &end);
    while (end && *end == ' ') ++end;
    if (text.empty() || !end || *end) fail(1722);
    store(text, number);
    return OCI_SUCCESS;
  });
}

}  // extern "C"
