#include "DbValues.h"

#include "sw/core/Format.h"
#include "sw/core/Text.h"

namespace sw::appserver {

std::string DbParamText(const Variant& v) {
  switch (v.Type()) {
    case VarType::Date:
      return FormatDateTime("yyyy-mm-dd hh:nn:ss", v.ToDateTime());
    case VarType::Boolean:
      return v.ToBool() ? "1" : "0";
    case VarType::Int16:
    case VarType::Int32:
    case VarType::Int64:
      return IntToStr(v.ToInt64());
    case VarType::Double:
      return FloatToStr(v.ToDouble());
    case VarType::Currency:
      return v.ToCurrency().ToString();
    default:
      return v.ToString();
  }
}

}  // namespace sw::appserver
