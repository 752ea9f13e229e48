// The entity as a data item of the formula language: property look-up by caption, field name and qualified
// name along the master chain, values of the current record with default texts for null fields, and
// assignments.
#include "sw/data/DataObjItem.h"

#include <memory>

#include "sw/core/DateTime.h"
#include "sw/core/Error.h"
#include "sw/core/Text.h"

namespace sw {

namespace {

bool NamesEntity(const TSysClassEntity& entity, std::string_view prefix) {
  const TSysClassDescRec& rec = entity.ClassDesc().Rec();
  return SameText(prefix, rec.TableName) || SameText(prefix, rec.ClassCaption);
}

bool NoRecords(const TClientDataSet& dataSet) {
  return dataSet.IsEmpty() && dataSet.State() != TDataSetState::dsInsert;
}

std::string NoProperty(std::string_view name) {
  return "没有名称为[" + std::string(name) + "]数据对象的属性!!";
}

// The value a null field reads as: the property's default text converted by the field's kind, or the empty
// value of that kind without one. A default text that does not convert raises sw::Error (a data error, not
// one of the language).
Variant NullFieldValue(TSysClassEntity& entity, TSysPropDesc& prop, const TField& field) {
  std::string text;
  if (!entity.DefaultValueText(prop, text)) return TDataSetItem::EmptyValueOfNull(field.DataType());
  const auto fail = [&]() -> Variant {
    throw Error("'" + text + "' is not a valid value of " + prop.FieldName);
  };
  switch (field.DataType()) {
    case TFieldType::ftString:
    case TFieldType::ftWideString:
    case TFieldType::ftMemo:
    case TFieldType::ftFmtMemo:
      return Variant(text);
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftWord:
    case TFieldType::ftLargeint: {
      const auto n = TryStrToInt64(Trim(text));
      if (!n || *n < INT32_MIN || *n > INT32_MAX) return fail();
      return Variant(static_cast<std::int32_t>(*n));
    }
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
    case TFieldType::ftBCD: {
      const auto d = TryStrToFloat(Trim(text));
      if (!d) return fail();
      return Variant(Currency::FromDouble(*d));
    }
    case TFieldType::ftBoolean:
      return Variant(!text.empty() && std::string_view("1YyTt是真").find(text) != std::string_view::npos);
    case TFieldType::ftDate:
    case TFieldType::ftTime:
    case TFieldType::ftDateTime: {
      const auto dt = field.DataType() == TFieldType::ftDate   ? TryStrToDate(Trim(text))
                      : field.DataType() == TFieldType::ftTime ? TryStrToTime(Trim(text))
                                                               : TryStrToDateTime(Trim(text));
      if (!dt) return fail();
      return Variant::Date(*dt);
    }
    default:
      return Variant::Null();
  }
}

}  // namespace

TDataObjItem::TDataObjItem(TSysExpression& owner, TSysClassEntity& entity)
    : TDataSetItem(owner, entity, entity.ClassDesc().Rec().ClassCaption, "C" + IntToStr(entity.ClassID())),
      entity_(entity) {}

TSysPropDesc* TDataObjItem::FindProp(std::string_view name) const {
  const std::size_t dot = name.find('.');
  if (dot == std::string_view::npos) {
    const TSysClassDesc& desc = entity_.ClassDesc();
    TSysPropDesc* prop = desc.FindByCaption(name);
    return prop != nullptr ? prop : desc.FindByFieldName(name);
  }
  const std::string_view prefix = name.substr(0, dot);
  const std::string_view member = name.substr(dot + 1);
  if (NamesEntity(entity_, prefix)) return entity_.ClassDesc().FindByCaption(member);
  for (TSysClassEntity* e = entity_.MasterEntity(); e != nullptr; e = e->MasterEntity()) {
    if (!NamesEntity(*e, prefix)) continue;
    TSysPropDesc* prop = e->ClassDesc().FindByCaption(member);
    return prop != nullptr ? prop : e->ClassDesc().FindByFieldName(member);
  }
  return nullptr;
}

bool TDataObjItem::FindMember(std::string_view name) {
  return FindProp(name) != nullptr;
}

void TDataObjItem::GetMemberValue(std::string_view name, Variant& value) {
  const bool skipping = Owner().Skipping();
  TSysPropDesc* prop = FindProp(name);
  if (prop == nullptr) {
    if (!skipping) Owner().RaiseError(NoProperty(name));
    value = Variant(std::int32_t{0});
    return;
  }
  // The entity holding the property: this one or a master. A closed entity has unbound fields, so its state
  // is asked before the field.
  TSysClassEntity* holder = prop->ClassDesc != nullptr ? prop->ClassDesc->Owner() : nullptr;
  if (holder == nullptr) holder = &entity_;
  if (!holder->Active()) {
    if (skipping && holder != &entity_) {
      value = Variant(std::int32_t{0});
      return;
    }
    Owner().RaiseError("数据对象类\"" + holder->ClassDesc().Rec().ClassCaption + "\"没有执行Search或Read!!");
  }
  if (prop->Field == nullptr) Owner().RaiseError(NoProperty(name));
  TField& field = *prop->Field;
  if (NoRecords(field.DataSet())) {
    if (!skipping)
      Owner().RaiseError("数据对象类\"" + entity_.ClassDesc().Rec().ClassCaption + "\"没有数据!!");
    value = EmptyValueOfNoRecords(field.DataType());
    return;
  }
  if (field.IsNull()) {
    value = NullFieldValue(*holder, *prop, field);
    return;
  }
  value = field.Value();
  if (field.DataType() == TFieldType::ftWideString) value = Variant(value.ToString());
}

void TDataObjItem::SetMemberValue(std::string_view name, const Variant& value) {
  TSysPropDesc* prop = FindProp(name);
  TSysClassEntity* holder =
      prop != nullptr && prop->ClassDesc != nullptr ? prop->ClassDesc->Owner() : nullptr;
  if (holder == nullptr) holder = &entity_;
  const std::string& caption = entity_.ClassDesc().Rec().ClassCaption;
  if (prop == nullptr || (prop->Field == nullptr && holder->Active())) Owner().RaiseError(NoProperty(name));
  if (Owner().Skipping()) return;
  if (!holder->Active()) Owner().RaiseError("数据对象类\"" + caption + "\"没有执行Search或Read!!");
  TField& field = *prop->Field;
  TClientDataSet& dataSet = field.DataSet();
  if (NoRecords(dataSet)) Owner().RaiseError("数据对象类\"" + caption + "\"没有数据!!");
  // A failure to enter edit state, to clear the read-only flag or to assign leaves the property as it was.
  try {
    const TDataSetState state = dataSet.State();
    if (state != TDataSetState::dsEdit && state != TDataSetState::dsInsert) dataSet.Edit();
    field.SetReadOnly(false);
    field.SetValue(value);
  } catch (...) {
    // silently not assigned
  }
}

TDataItem* AddEntity(TSysExpression& expression, TSysClassEntity* entity) {
  if (entity == nullptr || !entity->Active()) return nullptr;
  return expression.AddDataItem(std::make_unique<TDataObjItem>(expression, *entity));
}

}  // namespace sw
