#include "oracle/filter/literals.h"

#include "runtime/date_text.h"
#include "runtime/float_text.h"
#include "runtime/str_convert.h"

namespace kvell {

TDateTime TStringLiteral::AsDate() const { return StrToDateTime(Value); }

std::string TFloatLiteral::AsString() const { return FloatToStr(Value); }

std::string TIntegerLiteral::AsString() const { return IntToStr(Value); }

std::string TBooleanLiteral::AsString() const { return std::string(BooleanTexts[Value]); }

}  // namespace kvell
