#include "sw/expr/DataSetItem.h"

#include <cmath>
#include <cstdint>
#include <exception>
#include <memory>

namespace sw {

TDataSetItem::TDataSetItem(TSysExpression& owner, TClientDataSet& dataSet, std::string_view componentName,
                           std::string_view itemName)
    : TDataItem(owner, itemName), dataSet_(dataSet), componentName_(componentName) {}

bool TDataSetItem::FindMember(std::string_view name) {
  return dataSet_.FindField(name) != nullptr;
}

// A record being inserted into an empty data set is a record.
bool TDataSetItem::HasNoRecords() const {
  return dataSet_.IsEmpty() && dataSet_.State() != TDataSetState::dsInsert;
}

namespace {

enum class EmptyKind { Text, Integer, Logical, Money, Date, Time, DateTime, Other };

EmptyKind EmptyKindOf(TFieldType type) {
  switch (type) {
    case TFieldType::ftString:
    case TFieldType::ftWideString:
    case TFieldType::ftMemo:
    case TFieldType::ftFmtMemo:
      return EmptyKind::Text;
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftWord:
    case TFieldType::ftLargeint:
      return EmptyKind::Integer;
    case TFieldType::ftBoolean:
      return EmptyKind::Logical;
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
    case TFieldType::ftBCD:
      return EmptyKind::Money;
    case TFieldType::ftDate:
      return EmptyKind::Date;
    case TFieldType::ftTime:
      return EmptyKind::Time;
    case TFieldType::ftDateTime:
      return EmptyKind::DateTime;
    default:
      return EmptyKind::Other;
  }
}

Variant EmptyValue(TFieldType type, bool ofNull) {
  switch (EmptyKindOf(type)) {
    case EmptyKind::Text:
      return Variant(std::string());
    case EmptyKind::Integer:
      return Variant(std::int32_t{0});
    case EmptyKind::Logical:
      return Variant(false);
    case EmptyKind::Money:
      return Variant(Currency{0});
    case EmptyKind::Date:
      return Variant::Date(Today());
    case EmptyKind::Time: {
      if (!ofNull) return Variant::Date(Today());
      const TDateTime now = Now();
      return Variant::Date(now - std::trunc(now));
    }
    case EmptyKind::DateTime:
      return Variant::Date(ofNull ? Now() : Today());
    case EmptyKind::Other:
      break;
  }
  return Variant::Null();
}

}  // namespace

Variant TDataSetItem::EmptyValueOfNoRecords(TFieldType type) {
  return EmptyValue(type, false);
}

Variant TDataSetItem::EmptyValueOfNull(TFieldType type) {
  return EmptyValue(type, true);
}

void TDataSetItem::GetMemberValue(std::string_view name, Variant& value) {
  TField* field = dataSet_.FindField(name);
  const bool skipping = Owner().Skipping();
  if (!field) {
    if (!skipping) Owner().RaiseError("没有名称为[" + std::string(name) + "]数据的字段!!");
    value = Variant(std::int32_t{0});
    return;
  }
  // The field is always one of this item's own data set, so a closed data set fails even while skipping.
  if (!dataSet_.Active()) Owner().RaiseError("数据对象\"" + componentName_ + "\"没有打开!!");
  if (HasNoRecords()) {
    if (!skipping) Owner().RaiseError("数据对象\"" + componentName_ + "\"没有数据!!");
    value = EmptyValueOfNoRecords(field->DataType());
    return;
  }
  value = field->IsNull() ? EmptyValueOfNull(field->DataType()) : field->Value();
}

void TDataSetItem::SetMemberValue(std::string_view name, const Variant& value) {
  TField* field = dataSet_.FindField(name);
  if (!field) Owner().RaiseError("没有名称为[" + std::string(name) + "]数据的字段!!");
  if (Owner().Skipping()) return;
  if (!dataSet_.Active()) Owner().RaiseError("数据对象\"" + componentName_ + "\"没有打开!!");
  if (HasNoRecords()) Owner().RaiseError("数据对象\"" + componentName_ + "\"没有数据!!");
  // A failure to enter edit state, to clear the read-only flag or to assign leaves the field as it was.
  try {
    const TDataSetState state = dataSet_.State();
    if (state != TDataSetState::dsEdit && state != TDataSetState::dsInsert) dataSet_.Edit();
    field->SetReadOnly(false);
    field->SetValue(value);
  } catch (const std::exception&) {
    // silently not assigned
  }
}

TDataItem* TSysExpression::AddDataSet(TClientDataSet* dataSet, std::string_view componentName) {
  if (!dataSet || !dataSet->Active()) return nullptr;
  return AddDataItem(std::make_unique<TDataSetItem>(*this, *dataSet, componentName));
}

}  // namespace sw
