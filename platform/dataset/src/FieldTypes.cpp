#include "sw/dataset/FieldTypes.h"

namespace sw {

const char* FieldTypeName(TFieldType t) {
  switch (t) {
    case TFieldType::ftUnknown:
      return "ftUnknown";
    case TFieldType::ftString:
      return "ftString";
    case TFieldType::ftWideString:
      return "ftWideString";
    case TFieldType::ftSmallint:
      return "ftSmallint";
    case TFieldType::ftInteger:
      return "ftInteger";
    case TFieldType::ftWord:
      return "ftWord";
    case TFieldType::ftLargeint:
      return "ftLargeint";
    case TFieldType::ftFloat:
      return "ftFloat";
    case TFieldType::ftCurrency:
      return "ftCurrency";
    case TFieldType::ftBCD:
      return "ftBCD";
    case TFieldType::ftBoolean:
      return "ftBoolean";
    case TFieldType::ftDate:
      return "ftDate";
    case TFieldType::ftTime:
      return "ftTime";
    case TFieldType::ftDateTime:
      return "ftDateTime";
    case TFieldType::ftBlob:
      return "ftBlob";
    case TFieldType::ftMemo:
      return "ftMemo";
    case TFieldType::ftFmtMemo:
      return "ftFmtMemo";
    case TFieldType::ftGraphic:
      return "ftGraphic";
  }
  return "ftUnknown";
}

bool IsValidFieldType(int code) {
  return code >= 1 && code <= kLastFieldType;
}

bool IsTextFieldType(TFieldType t) {
  return t == TFieldType::ftString || t == TFieldType::ftWideString || t == TFieldType::ftMemo ||
         t == TFieldType::ftFmtMemo;
}

bool IsBlobFieldType(TFieldType t) {
  return t == TFieldType::ftBlob || t == TFieldType::ftMemo || t == TFieldType::ftFmtMemo ||
         t == TFieldType::ftGraphic;
}

bool IsIntegerFieldType(TFieldType t) {
  return t == TFieldType::ftSmallint || t == TFieldType::ftInteger || t == TFieldType::ftWord ||
         t == TFieldType::ftLargeint;
}

bool IsNumericFieldType(TFieldType t) {
  return IsIntegerFieldType(t) || t == TFieldType::ftFloat || t == TFieldType::ftCurrency ||
         t == TFieldType::ftBCD;
}

bool IsDateTimeFieldType(TFieldType t) {
  return t == TFieldType::ftDate || t == TFieldType::ftTime || t == TFieldType::ftDateTime;
}

}  // namespace sw
