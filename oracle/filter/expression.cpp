#include "oracle/filter/expression.h"

#include "runtime/date_text.h"
#include "runtime/float_math.h"
#include "runtime/float_text.h"
#include "runtime/str_convert.h"

namespace kvell {
namespace {

std::string fill_in(std::string_view format, std::string_view value) {
  std::string message(format);
  size_t at = message.find('%');
  if (at != std::string::npos && at + 1 < message.size()) message.replace(at, 2, value);
  return message;
}

}  // namespace

void RaiseExpression(std::string_view format, std::string_view value) {
  throw EExpression(fill_in(format, value));
}

void RaiseExpression(std::string_view format, int value) {
  RaiseExpression(format, std::string_view(IntToStr(value)));
}

TExpressionOptions& CurrentExpressionOptions() {
  thread_local TExpressionOptions options;
  return options;
}

TExpression::TExpression()
    : CaseInsensitive(CurrentExpressionOptions().CaseInsensitive),
      PartialCompare(CurrentExpressionOptions().PartialCompare) {}

TExpression::~TExpression() = default;

void TExpression::RaiseCannotRead(std::string_view format) const {
  RaiseExpression(format, ExprTypeNames[ExprType()]);
}

TDateTime TExpression::AsDate() const {
  switch (ExprType()) {
    case etString: return StrToDateTime(AsString());
    case etFloat: return AsFloat();
    case etInteger: return AsInteger();
    default: RaiseCannotRead("Cannot read %s as Date");
  }
}

std::string TExpression::AsString() const {
  switch (ExprType()) {
    case etDate: return DateTimeToStr(AsDate());
    case etFloat: return FloatToStr(AsFloat());
    case etInteger: return IntToStr(AsInteger());
    case etBoolean: return std::string(BooleanTexts[AsBoolean()]);
    default: RaiseCannotRead("Cannot read %s as String");
  }
}

double TExpression::AsFloat() const {
  switch (ExprType()) {
    case etDate: return AsDate();
    case etInteger:
    case etBoolean: return AsInteger();
    default: RaiseCannotRead("Cannot read %s as Float");
  }
}

int32_t TExpression::AsInteger() const {
  switch (ExprType()) {
    case etDate: return static_cast<int32_t>(Trunc(AsDate()));
    case etBoolean: return AsBoolean() ? 1 : 0;
    default: RaiseCannotRead("Cannot read %s as integer");
  }
}

bool TExpression::AsBoolean() const { RaiseCannotRead("Cannot read %s as boolean"); }

bool TExpression::IsNull() const { return false; }

}  // namespace kvell
