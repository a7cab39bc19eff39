// Entries for INTERVAL YEAR TO MONTH and DAY TO SECOND descriptors.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ociemu/api/entry.h"

using namespace ociemu;

namespace {

constexpr int64_t kNanosPerSecond = 1000000000;
constexpr int64_t kSecondsPerDay = 86400;

IntervalDescriptor& interval(const void* p, uint32_t kind) {
  IntervalDescriptor* value = live_interval(p);
  if (value == nullptr || (kind != 0 && value->type() != kind)) fail(1891);
  return *value;
}

// Oracle's interval text: '+YY-MM' or '+DD HH:MI:SS.FFFFFF', leading field padded to lfprec digits.
std::string interval_text(const IntervalDescriptor& value, int leading_digits, int fraction_digits) {
  char buffer[96];
  if (value.type() == OCI_DTYPE_INTERVAL_YM) {
    int64_t months = std::llabs(value.months);
    std::snprintf(buffer, sizeof buffer, "%c%0*lld-%02lld", value.months < 0 ? '-' : '+', leading_digits,
                  static_cast<long long>(months / 12), static_cast<long long>(months % 12));
    return buffer;
  }
  int64_t nanos = std::llabs(value.nanos);
  int64_t seconds = nanos / kNanosPerSecond;
  int length = std::snprintf(buffer, sizeof buffer, "%c%0*lld %02lld:%02lld:%02lld", value.nanos < 0 ? '-' : '+',
                             leading_digits, static_cast<long long>(seconds / kSecondsPerDay),
                             static_cast<long long>(seconds / 3600 % 24), static_cast<long long>(seconds / 60 % 60),
                             static_cast<long long>(seconds % 60));
  if (fraction_digits > 0) {
    char fraction[16];
    std::snprintf(fraction, sizeof fraction, "%09lld", static_cast<long long>(nanos % kNanosPerSecond));
    std::snprintf(buffer + length, sizeof buffer - static_cast<size_t>(length), ".%.*s", fraction_digits, fraction);
  }
  return buffer;
}

// Reads unsigned digits at text[pos]; false when there are none.
bool read_number(const std::string& text, size_t& pos, int64_t& out, size_t max_digits = 18) {
  size_t start = pos;
  out = 0;
  while (pos < text.size() && pos - start < max_digits && text[pos] >= '0' && text[pos] <= '9') {
    out = out * 10 + (text[pos++] - '0');
  }
  return pos > start;
}

bool parse_year_month(const std::string& text, size_t pos, int64_t sign, int64_t& months) {
  int64_t years = 0, month = 0;
  if (!read_number(text, pos, years, 9) || pos >= text.size() || text[pos++] != '-' ||
      !read_number(text, pos, month, 2) || pos != text.size() || month > 11)
    return false;
  months = sign * (years * 12 + month);
  return true;
}

bool parse_day_second(const std::string& text, size_t pos, int64_t sign, int64_t& nanos) {
  int64_t days = 0, hours = 0, minutes = 0, seconds = 0, fraction = 0;
  if (!read_number(text, pos, days, 9) || pos >= text.size() || text[pos++] != ' ' ||
      !read_number(text, pos, hours, 2) || pos >= text.size() || text[pos++] != ':' ||
      !read_number(text, pos, minutes, 2) || pos >= text.size() || text[pos++] != ':' ||
      !read_number(text, pos, seconds, 2) || hours > 23 || minutes > 59 || seconds > 59)
    return false;
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    int64_t scale = kNanosPerSecond / 10;
    size_t start = pos;
    while (pos < text.size() && pos - start < 9 && text[pos] >= '0' && text[pos] <= '9') {
      fraction += (text[pos++] - '0') * scale;
      scale /= 10;
    }
    if (pos == start) return false;
  }
  if (pos != text.size()) return false;
  nanos = sign * (((days * 24 + hours) * 60 + minutes) * 60 + seconds) * kNanosPerSecond + sign * fraction;
  return true;
}

}  // namespace

extern "C" {

sword OCIIntervalGetYearMonth(void*, OCIError* err, sb4* yr, sb4* mnth, const OCIInterval* value) {
  return guarded("OCIIntervalGetYearMonth", live<ErrorHandle>(err), [&] {
    const IntervalDescriptor& ym = interval(value, OCI_DTYPE_INTERVAL_YM);
    if (yr) *yr = static_cast<sb4>(ym.months / 12);
    if (mnth) *mnth = static_cast<sb4>(ym.months % 12);
    return OCI_SUCCESS;
  });
}

sword OCIIntervalSetYearMonth(void*, OCIError* err, sb4 yr, sb4 mnth, OCIInterval* result) {
  return guarded("OCIIntervalSetYearMonth", live<ErrorHandle>(err), [&] {
    IntervalDescriptor& ym = interval(result, OCI_DTYPE_INTERVAL_YM);
    // Mixed signs would name two different lengths; Oracle rejects them.
    if ((yr < 0 && mnth > 0) || (yr > 0 && mnth < 0) || mnth > 11 || mnth < -11) fail(1867);
    ym.months = static_cast<int64_t>(yr) * 12 + mnth;
    return OCI_SUCCESS;
  });
}

sword OCIIntervalGetDaySecond(void*, OCIError* err, sb4* dy, sb4* hr, sb4* mm, sb4* ss, sb4* fsec,
                              const OCIInterval* value) {
  return guarded("OCIIntervalGetDaySecond", live<ErrorHandle>(err), [&] {
    const IntervalDescriptor& ds = interval(value, OCI_DTYPE_INTERVAL_DS);
    int64_t seconds = ds.nanos / kNanosPerSecond;  // truncates toward zero: every part keeps the sign
    if (dy) *dy = static_cast<sb4>(seconds / kSecondsPerDay);
    if (hr) *hr = static_cast<sb4>(seconds / 3600 % 24);
    if (mm) *mm = static_cast<sb4>(seconds / 60 % 60);
    if (ss) *ss = static_cast<sb4>(seconds % 60);
    if (fsec) *fsec = static_cast<sb4>(ds.nanos % kNanosPerSecond);
    return OCI_SUCCESS;
  });
}

sword OCIIntervalSetDaySecond(void*, OCIError* err, sb4 dy, sb4 hr, sb4 mm, sb4 ss, sb4 fsec, OCIInterval* result) {
  return guarded("OCIIntervalSetDaySecond", live<ErrorHandle>(err), [&] {
    IntervalDescriptor& ds = interval(result, OCI_DTYPE_INTERVAL_DS);
    if (hr > 23 || hr < -23 || mm > 59 || mm < -59 || ss > 59 || ss < -59 || fsec > 999999999 || fsec < -999999999)
      fail(1867);
    int64_t seconds = ((static_cast<int64_t>(dy) * 24 + hr) * 60 + mm) * 60 + ss;
    ds.nanos = seconds * kNanosPerSecond + fsec;
    return OCI_SUCCESS;
  });
}

sword OCIIntervalToText(void*, OCIError* err, const OCIInterval* value, ub1 lfprec, ub1 fsprec, OraText* buffer,
                        size_t buflen, size_t* resultlen) {
  return guarded("OCIIntervalToText", live<ErrorHandle>(err), [&] {
    const IntervalDescriptor& source = interval(value, 0);
    std::string text = interval_text(source, lfprec > 9 ? 9 : lfprec, fsprec > 9 ? 9 : fsprec);
    if (buffer == nullptr || text.size() > buflen) fail(1877);
    std::memcpy(buffer, text.data(), text.size());
    if (resultlen) *resultlen = text.size();
    return OCI_SUCCESS;
  });
}

sword OCIIntervalFromText(void*, OCIError* err, const OraText* inpstring, size_t str_len, OCIInterval* result) {
  return guarded("OCIIntervalFromText", live<ErrorHandle>(err), [&] {
    IntervalDescriptor& target = interval(result, 0);
    std::string text = inpstring ? std::string(reinterpret_cast<const char*>(inpstring), str_len) : std::string();
    size_t begin = text.find_first_not_of(' '), end = text.find_last_not_of(' ');
    text = begin == std::string::npos ? std::string() : text.substr(begin, end - begin + 1);
    size_t pos = 0;
    int64_t sign = 1;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) sign = text[pos++] == '-' ? -1 : 1;
    bool parsed = target.type() == OCI_DTYPE_INTERVAL_YM ? parse_year_month(text, pos, sign, target.months)
                                                         : parse_day_second(text, pos, sign, target.nanos);
    if (!parsed) fail(1867);
    return OCI_SUCCESS;
  });
}

sword OCIIntervalAssign(void*, OCIError* err, const OCIInterval* ininter, OCIInterval* outinter) {
  return guarded("OCIIntervalAssign", live<ErrorHandle>(err), [&] {
    const IntervalDescriptor& source = interval(ininter, 0);
    IntervalDescriptor& target = interval(outinter, source.type());
    target.months = source.months;
    target.nanos = source.nanos;
    return OCI_SUCCESS;
  });
}

sword OCIIntervalCompare(void*, OCIError* err, OCIInterval* inter1, OCIInterval* inter2, sword* result) {
  return guarded("OCIIntervalCompare", live<ErrorHandle>(err), [&] {
    const IntervalDescriptor& a = interval(inter1, 0);
    const IntervalDescriptor& b = interval(inter2, a.type());
    if (result == nullptr) fail(1891);
    int64_t x = a.type() == OCI_DTYPE_INTERVAL_YM ? a.months : a.nanos;
    int64_t y = a.type() == OCI_DTYPE_INTERVAL_YM ? b.months : b.nanos;
    *result = x < y ? -1 : x > y ? 1 : 0;
    return OCI_SUCCESS;
  });
}

}  // extern "C"
