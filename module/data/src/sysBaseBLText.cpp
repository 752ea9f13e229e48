// Field text of the entity: how bound fields show their values, how typed text is checked and stored, how a
// typed code is looked up in the referenced table and fills the name and the dependent columns, and the
// expression text that runs after a value changed.
#include <cmath>
#include <exception>
#include <string>

#include "sw/core/CodePage.h"
#include "sw/core/DateTime.h"
#include "sw/core/Error.h"
#include "sw/core/Format.h"
#include "sw/core/Text.h"
#include "sw/data/DataObjItem.h"
#include "sw/data/sysBaseBL.h"
#include "sw/expr/SysExpression.h"

namespace sw {

namespace {

// The yes/no enumeration: edit kind 1 over enumeration type 1.
bool IsYesNo(const TSysPropDesc& prop) {
  return prop.EditKind == ekEnum && prop.RefId == 1;
}

bool IsLookupKind(const TSysPropDesc& prop) {
  return prop.EditKind >= ekLookup2 && prop.EditKind <= ekDependent;
}

bool IsTextStorage(TFieldType type) {
  return type == TFieldType::ftString || type == TFieldType::ftWideString;
}

bool IsDateTimeStorage(TFieldType type) {
  return type == TFieldType::ftDate || type == TFieldType::ftTime || type == TFieldType::ftDateTime;
}

bool Inserting(const TField& field) {
  return field.DataSet().State() == TDataSetState::dsInsert;
}

// True when `text` is not empty and occurs within `letters` (the truth letters of yes/no input).
bool TrueText(std::string_view text, std::string_view letters) {
  return !text.empty() && letters.find(text) != std::string_view::npos;
}

// The code of an enumeration entry "code-name": the part before the first "-".
std::string EntryCode(const std::string& entry) {
  return entry.substr(0, entry.find('-'));
}

const std::string* FindEntry(const TSysPropDesc& prop, std::string_view code) {
  for (const std::string& entry : prop.EnumList)
    if (EntryCode(entry) == code) return &entry;
  return nullptr;
}

// The first `count` characters of a UTF-8 text.
std::string FirstChars(const std::string& text, std::size_t count) {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < text.size(); ++i)
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && chars++ == count) return text.substr(0, i);
  return text;
}

double NumberOf(std::string_view text) {
  const auto value = TryStrToFloat(Trim(text));
  if (!value) throw Error("\"" + std::string(text) + "\" is not a number");
  return *value;
}

// A typed number cut before a second ".", truncated (not rounded) to `decimals` places. Plain decimal texts
// are cut digit by digit, so that 1.23 stays 1.23 instead of becoming 1.22 through binary arithmetic.
double TruncatedNumber(std::string text, int decimals) {
  text = Trim(text);
  const std::size_t first = text.find('.');
  if (first != std::string::npos) text = text.substr(0, text.find('.', first + 1));
  double value = NumberOf(text);
  if (decimals < 0) decimals = 0;
  if (text.find_first_of("eE") == std::string::npos) {
    if (first != std::string::npos && text.size() - first - 1 > static_cast<std::size_t>(decimals))
      text.erase(decimals == 0 ? first : first + 1 + decimals);
    return text.empty() || text == "-" || text == "+" ? 0.0 : NumberOf(text);
  }
  const double scale = std::pow(10.0, decimals);
  return std::trunc(value * scale) / scale;
}

// The date-time of a value text, or of the field itself when the text is its own value.
TDateTime DateTimeOf(const TField& field, const std::string& value, bool fromField) {
  if (fromField && IsDateTimeStorage(field.DataType())) return field.AsDateTime();
  const auto dt = TryStrToDateTime(value);
  if (!dt) throw Error("\"" + value + "\" is not a date");
  return *dt;
}

// Restores a member text when leaving a scope.
class TextRestore {
 public:
  explicit TextRestore(std::string& text) : text_(text), saved_(text) {}
  ~TextRestore() { text_ = std::move(saved_); }
  TextRestore(const TextRestore&) = delete;
  TextRestore& operator=(const TextRestore&) = delete;

 private:
  std::string& text_;
  std::string saved_;
};

// Notifications held back while a typed text is processed.
class NotificationsHeld {
 public:
  explicit NotificationsHeld(TClientDataSet& dataSet) : dataSet_(dataSet) { dataSet_.DisableControls(); }
  ~NotificationsHeld() { dataSet_.EnableControls(); }
  NotificationsHeld(const NotificationsHeld&) = delete;
  NotificationsHeld& operator=(const NotificationsHeld&) = delete;

 private:
  TClientDataSet& dataSet_;
};

bool IsArticleTable(std::string_view table) {
  return SameText(table, "TSKUPLU") || SameText(table, "VproDscPluAndPluPak");
}

// A key read back from the database that goes into a statement unquoted must be a whole number.
std::string NumericKey(const std::string& text) {
  const auto n = TryStrToInt64(Trim(text));
  if (!n) throw Error("\"" + text + "\" is not an article number");
  return IntToStr(*n);
}

}  // namespace

// ---- Display ----

std::string TSysClassEntity::FormatOf(TSysPropDesc& prop) {
  const std::string& format = prop.DisplayFormat;
  if (format.size() < 3 || format.front() != '@' || format.back() != '@') return format;
  TSysExpression expression;
  AddEntity(expression, this);
  Variant value;
  if (!expression.Evaluate(value, std::string_view(format).substr(1, format.size() - 2), false)) return "";
  return value.IsText() ? value.ToString() : "";
}

std::string TSysClassEntity::DisplayText(TSysPropDesc& prop) {
  if (prop.Field == nullptr) return "";
  TField& field = *prop.Field;
  try {
    const bool fromField = !(Inserting(field) && field.IsNull() && !prop.DefaultValue.empty());
    const std::string v = fromField ? Trim(field.AsString()) : prop.DefaultValue;
    const int type = prop.DataType;
    if (v.empty()) return type == 22 ? "0" : "";
    if (prop.EditKind != ekPlain) {
      if (IsYesNo(prop)) return type == 22 ? v : (v == "1" ? "是" : "否");
      if (prop.NameField != nullptr) return Trim(field.AsString()) + "-" + Trim(prop.NameField->AsString());
    }
    if (type == 22) {
      if (!IsTextStorage(field.DataType())) return v;
      return TrueText(v, "yYtT1") ? "1" : "0";
    }
    const TDataTypeClass cls = DataTypeClass(type);
    const std::string f = FormatOf(prop);
    if (!f.empty()) {
      const bool percent = f.find('%') != std::string::npos;
      switch (cls) {
        case TDataTypeClass::Text:
          return Format(f, {Variant(v)});
        case TDataTypeClass::Integer: {
          const auto n = static_cast<std::int64_t>(NumberOf(v));
          return percent ? Format(f, {Variant(n)}) : FormatFloat(f, static_cast<double>(n));
        }
        case TDataTypeClass::Decimal: {
          const Currency c = Currency::FromDouble(NumberOf(v));
          return percent ? Format(f, {Variant(c)}) : FormatFloat(f, c.ToDouble());
        }
        case TDataTypeClass::Int64: {
          const auto n = TryStrToInt64(v);
          if (percent) return Format(f, {Variant(n ? *n : static_cast<std::int64_t>(NumberOf(v)))});
          return FormatFloat(f, Currency::FromDouble(NumberOf(v)).ToDouble());
        }
        case TDataTypeClass::DateTime:
        case TDataTypeClass::Date:
        case TDataTypeClass::Time:
        case TDataTypeClass::DateTimeBare:
          return FormatDateTime(f, DateTimeOf(field, v, fromField));
        default:
          return v;
      }
    }
    const bool zeroBlank = prop.ZeroAsBlank != 0 && (v == "0" || std::fabs(NumberOf(v)) < 0.000001);
    switch (type) {
      case 11:
      case 12:
      case 15:
      case 20:
        return zeroBlank ? "" : v;
      case 16:
        return FormatFloat("###############", Currency::FromDouble(NumberOf(v)).ToDouble());
      case 21:
        return FormatDateTime("YYY-MM-DD HH:NN:SS", DateTimeOf(field, v, fromField));
      case 23:
        return FormatDateTime("YYYY-MM-DD", DateTimeOf(field, v, fromField));
      case 24:
        return FormatDateTime("HH:NN:SS", DateTimeOf(field, v, fromField));
      case 13:
      case 14:
      case 17:
      case 18:
      case 19: {
        if (zeroBlank) return "";
        const int d = prop.Decimals > 10 ? 10 : prop.Decimals;
        return FormatFloat(d > 0 ? std::string("#0.0000000000").substr(0, d + 3) : "#0", NumberOf(v));
      }
      default:
        return v;
    }
  } catch (...) {
    return "";
  }
}

// ---- Storing typed text ----

void TSysClassEntity::SetText(TSysPropDesc& prop, const std::string& text) {
  if (prop.Field == nullptr) throw Error("Property \"" + prop.Caption + "\" has no field");
  TField& field = *prop.Field;
  const int type = prop.DataType;
  if (IsYesNo(prop)) {
    field.SetAsString(TrueText(text, "是真TtYy1") ? "1" : "0");
  } else if (type == 22) {
    if (!IsTextStorage(field.DataType()))
      field.SetAsString(text);
    else
      field.SetAsInteger(TrueText(text, "是真TtYy1") ? 1 : 0);
  } else if (type >= 1 && type <= 10) {
    field.SetAsString(prop.MaxLength > 0 ? FirstChars(text, static_cast<std::size_t>(prop.MaxLength)) : text);
  } else if (type >= 11 && type <= 20) {
    field.SetAsString(Trim(text).empty() ? "0" : FloatToStr(TruncatedNumber(text, prop.Decimals)));
  } else if (type == 23 || type == 24) {
    const auto value = type == 23 ? TryStrToDate(Trim(text)) : TryStrToTime(Trim(text));
    if (value)
      field.SetAsString(FormatDateTime(type == 23 ? "YYYY-MM-DD" : "HH:NN:SS", *value));
    else if (prop.Required != 0 && field.IsNull())
      field.SetAsString(type == 23 ? "1900-01-01" : "00:00:00");
  } else {
    field.SetAsString(text);
  }
}

// ---- Text handlers of bound fields ----

void TSysClassEntity::FieldGetText(TField& field, std::string& text, bool displayText) {
  TSysPropDesc* prop = PropOfField(field);
  if (prop == nullptr) {
    text = Trim(field.AsString());
    return;
  }
  const bool insertingNull = Inserting(field) && field.IsNull();
  if (!displayText && Inserting(field) && (field.IsNull() || field.AsString() == "*") &&
      !prop->BadText.empty()) {
    text = prop->BadText;
    return;
  }
  prop->BadText.clear();
  std::string defaultText;
  const bool hasDefault = insertingNull && DefaultValueText(*prop, defaultText);
  if (displayText || prop->DataType == 22) {
    if (prop->EditKind != ekEnum || prop->DataType == 22) {
      text = hasDefault ? defaultText : DisplayText(*prop);
    } else {
      text = hasDefault ? defaultText : Trim(field.AsString());
      if (const std::string* entry = FindEntry(*prop, text)) text = *entry;
    }
    return;
  }
  text = hasDefault ? defaultText : Trim(field.AsString());
}

void TSysClassEntity::FieldSetText(TField& field, const std::string& text) {
  if (RawMode) return;
  TSysPropDesc* prop = PropOfField(field);
  if (prop == nullptr) {
    field.SetAsString(text);
    NotifyChange();
    return;
  }
  try {
    NotificationsHeld disabled(*this);
    const std::string trimmed = Trim(text);
    std::string code = trimmed;
    if (prop->EditKind == ekEnum || (IsLookupKind(*prop) && !prop->RefNameField.empty())) {
      const std::size_t dash = trimmed.find('-');
      if (dash != std::string::npos) code = Trim(trimmed.substr(0, dash));
    }
    if (IsYesNo(*prop)) code = trimmed.substr(0, trimmed.empty() ? 0 : 1);
    SetPropText(*prop, code);
    NotifyChange();
  } catch (...) {
    prop->BadText = text;
    throw Abort();
  }
}

bool TSysClassEntity::DefaultValueText(TSysPropDesc& prop, std::string& text) {
  if (Trim(prop.DefaultValue).empty()) return false;
  text = prop.DefaultValue;
  const auto strip = [&text](std::string_view open, std::string_view close) {
    if (text.size() >= open.size() + close.size() && text.starts_with(open) && text.ends_with(close))
      text = text.substr(open.size(), text.size() - open.size() - close.size());
  };
  strip("'", "'");
  strip("‘", "’");
  strip("‘", "‘");
  strip("’", "’");
  return true;
}

// ---- Input ----

void TSysClassEntity::SetPropText(TSysPropDesc& prop, const std::string& text) {
  if (prop.Field == nullptr) throw Error("Property \"" + prop.Caption + "\" has no field");
  TField& field = *prop.Field;
  std::string defaultText;
  DefaultValueText(prop, defaultText);
  const bool inserting = Inserting(field);
  const Variant old = inserting ? Variant(defaultText) : field.OldValue();
  DoPropChanging(prop, text, field.IsNull() || inserting ? Variant(defaultText) : field.OldValue());
  if (!CheckValue(prop, text, true, old)) throw Abort();

  if (Trim(text).empty()) {
    if (IsDateTimeStorage(field.DataType()))
      field.SetAsDateTime(1.0);
    else
      SetText(prop, "");
    if (IsLookupKind(prop)) {
      std::string key;
      ApplyLookup(nullptr, prop, key, "", "");
    }
  } else if (!IsLookupKind(prop)) {
    SetText(prop, text);
  } else {
    field.SetAsString(text);
    std::string key;
    if (prop.AllowAll != 0 && text == "*") {
      ApplyLookup(nullptr, prop, key, "", "");
    } else if (ClassDesc().QueryKind() != 0) {
      TClientDataSet lookup;
      std::string nameText, keyField;
      LookupQuery(lookup, prop, false, text, nameText, keyField);
      ApplyLookup(&lookup, prop, key, text, keyField);
      DoLookupDone(lookup, prop);
    }
  }
  PropValueSet(prop);
}

bool TSysClassEntity::CheckValue(TSysPropDesc& prop, const std::string& text, bool interactive,
                                 const Variant& oldValue) {
  if (Trim(text).empty()) {
    if (prop.Required == 0) return true;
    if (prop.AutoKind == 0) {
      ErrorText = "属性\"" + prop.Caption + "\"的值不能为空！";
      if (interactive) ShowMessage(ErrorText);
      return false;
    }
  }
  if (interactive && prop.EditKind >= ekEnum && prop.EditKind <= ekDependent) {
    std::string code = text;
    if ((prop.AllowAll != 0 && text == "*") || prop.MustExist == 0 || ExistsInLookup(prop, code))
      return CheckPropValue(prop, code, oldValue);
    ErrorText = "您录入的项目“" + prop.Caption + "”的值“" + text + "”不存在或不符合限制条件，请检查。" +
                "\r" + "具体限制条件请参阅软件使用说明书。";
    ShowMessage(ErrorText);
    return false;
  }
  return CheckPropValue(prop, text, oldValue);
}

bool TSysClassEntity::ExistsInLookup(TSysPropDesc& prop, std::string& text) {
  std::string value = text;
  if (prop.EditKind == ekDependent && prop.RefMode != 0 && prop.NameProp != 0) {
    const std::size_t dash = value.find('-');
    if (dash != std::string::npos && dash > 0) value.erase(dash);
  }
  if (prop.EditKind == ekEnum) return FindEntry(prop, value) != nullptr;
  TClientDataSet lookup;
  std::string nameText, keyField;
  if (!LookupQuery(lookup, prop, true, value, nameText, keyField)) return false;
  if (!nameText.empty()) {
    if (nameText == "*") return false;
    text = nameText;
    return true;
  }
  return lookup.Active() && !lookup.IsEmpty();
}

// ---- Look-ups ----

bool TSysClassEntity::LookupQuery(TClientDataSet& target, TSysPropDesc& prop, bool wantCodes,
                                  const std::string& value, std::string& nameText, std::string& keyField) {
  nameText.clear();
  keyField.clear();
  try {
    std::string c = LookupCondition(prop);
    if (!Trim(c).empty()) {
      TextRestore restore(TranslatedWhere);
      TranslateWhere(c);
      c = Trim(TranslatedWhere).empty() ? "" : " AND (" + TranslatedWhere + ")";
    }
    const std::string v = value;
    if (IsLookupKind(prop) && prop.RefMode == 2 && IsArticleTable(prop.RefTable) && !Trim(v).empty()) {
      nameText = "*";
      std::string select = wantCodes ? "PluCode,BarCode,CargoNo" : "*";
      // A numeric key is compared only with a whole number: a database with strict types refuses to
      // compare it with a cargo number such as "HH-003".
      const bool keyComparable = IsQuotedDataType(prop.RefKeyType) || TryStrToInt64(Trim(v)).has_value();
      const std::string matches =
          "(" + (keyComparable ? prop.RefKeyField + "=" + QuotedStr(v) + " Or " : "") +
          "CargoNo=" + QuotedStr(v) + " Or BarCode=" + QuotedStr(v) + ") and IsActive='1' ";
      std::string pluId;
      if (SameText(prop.TableName, "tOrdCgBody") && SameText(prop.RefTable, "TSKUPLU") && !c.empty()) {
        if (OpenClientDataSet(target, " SELECT PluId FROM " + prop.RefTable + " WHERE " + matches) &&
            target.RecordCount() == 1) {
          target.First();
          pluId = NumericKey(target.Fields(0).AsString());
        }
      }
      bool ran = OpenClientDataSet(
          target, pluId.empty() ? " SELECT " + select + " FROM " + prop.RefTable + " WHERE " + matches + c
                                : " SELECT " + select + " FROM " + prop.RefTable + " WHERE PluId=" + pluId +
                                      " and IsActive='1' " + c);
      if (ran && !target.IsEmpty()) {
        const std::string wanted = Trim(v);
        for (const char* column : {"PluCode", "BarCode", "CargoNo"}) {
          TField* match = target.FindField(column);
          if (match == nullptr) continue;
          for (target.First(); !target.Eof(); target.Next())
            if (SameText(Trim(match->AsString()), wanted)) {
              nameText = Trim(target.FieldByName("PluCode").AsString());
              return true;
            }
        }
        target.First();
        return true;
      }
      select = wantCodes ? "PluCode" : "*";
      bool found = false;
      try {
        found = OpenClientDataSet(target, " SELECT PluID FROM tSkuMulBar WHERE BarCode=" + QuotedStr(v) +
                                              " AND EXISTS(SELECT 1 FROM " + prop.RefTable +
                                              " WHERE PluID=tSkuMulBar.PluID and IsActive='1' " + c + ")") &&
                !target.IsEmpty();
      } catch (...) {
        found = false;
      }
      if (!found)
        return OpenClientDataSet(target, " SELECT " + select + " FROM " + prop.RefTable + " WHERE 1=2");
      target.First();
      keyField = "BarCode";
      const std::string id = NumericKey(target.Fields(0).AsString());
      ran = OpenClientDataSet(target, " SELECT " + select + " FROM TSKUPLU WHERE PluID =" + id);
      if (ran && !target.IsEmpty()) {
        target.First();
        nameText = Trim(target.FieldByName("PluCode").AsString());
      }
      return ran;
    }
    const bool blank = Trim(v).empty();
    const bool keyed =
        (prop.EditKind == ekLookup3 || prop.EditKind == ekDependent) && !prop.RefKeyField.empty();
    if (!(keyed || (prop.EditKind == ekLookup2 && !blank))) return false;
    if (!blank) {
      // A key of a numeric type goes into the statement bare, so it must be a number.
      if (!IsQuotedDataType(prop.RefKeyType) && !TryStrToFloat(Trim(v))) return false;
      return OpenClientDataSet(target, " SELECT * FROM " + prop.RefTable + " WHERE " + prop.RefKeyField +
                                           "=" + Literal(prop.RefKeyType, v) + c);
    }
    const std::string list =
        prop.RefNameField.empty() ? prop.RefKeyField : prop.RefKeyField + "," + prop.RefNameField;
    return OpenClientDataSet(target, Trim(c).empty()
                                         ? "SELECT " + list + " FROM " + prop.RefTable
                                         : "SELECT " + list + " FROM " + prop.RefTable + " WHERE 0=0" + c);
  } catch (...) {
    return false;
  }
}

bool TSysClassEntity::FindArticleCode(const std::string& value, std::string& pluCode) {
  // The article search of the first property that looks articles up finds PLUs, bar codes and cargo numbers.
  for (const auto& prop : classDesc_->Props()) {
    if (!IsLookupKind(*prop) || prop->RefMode != 2 || !IsArticleTable(prop->RefTable)) continue;
    TClientDataSet found;
    std::string nameText, keyField;
    if (!LookupQuery(found, *prop, true, value, nameText, keyField) || nameText.empty() || nameText == "*")
      return false;
    pluCode = nameText;
    return true;
  }
  return false;
}

void TSysClassEntity::ApplyLookup(TClientDataSet* lookup, TSysPropDesc& prop, std::string& keyText,
                                  const std::string& value, const std::string& keyField) {
  keyText.clear();
  TSysClassDesc& desc = ClassDesc();
  const int count = desc.PropCount();
  const auto setField = [this](const std::string& name, const std::string& text) {
    if (TField* f = FindField(name)) f->SetAsString(text);
  };
  TSysPropDesc* p = &prop;
  if (lookup != nullptr && lookup->Active() && !lookup->IsEmpty()) {
    if (p->EditKind == ekDependent && p->RefId >= 1 && p->RefId <= count) {
      TSysPropDesc* control = desc.Prop(p->RefId);
      if (TField* key = lookup->FindField(control->RefKeyField)) {
        keyText = key->AsString();
        setField(control->FieldName, keyText);
      }
      p = control;
    }
    TField* key = lookup->FindField(p->RefKeyField);
    if (key != nullptr && FindField(p->FieldName) != nullptr) setField(p->FieldName, key->AsString());
    TField* name = lookup->FindField(p->RefNameField);
    if (name != nullptr && FindField(p->FieldName + "$") != nullptr)
      setField(p->FieldName + "$", name->AsString());
    for (const auto& b : desc.Props()) {
      if (b->EditKind != ekDependent || b->RefId != p->PropId) continue;
      TField* k = lookup->FindField(b->RefKeyField);
      if (k == nullptr || b->RefKeyField.empty()) continue;
      TField* n = b->RefNameField.empty() ? nullptr : lookup->FindField(b->RefNameField);
      if (n != nullptr) {
        if (FindField(b->FieldName + "$") != nullptr) {
          setField(b->FieldName + "$", Trim(n->AsString()));
          setField(b->FieldName, Trim(k->AsString()));
        } else if (b->ShowCodeName != 0) {
          setField(b->FieldName, Trim(k->AsString()) + "-" + Trim(n->AsString()));
        }
      } else if (!keyField.empty() && SameText(keyField, b->RefKeyField)) {
        setField(b->FieldName, value);
      } else {
        setField(b->FieldName, Trim(k->AsString()));
      }
    }
    return;
  }
  const auto allRule = [&value](const TSysPropDesc& q) {
    return q.DefaultValue == "*" && q.Required != 0 && q.AllowAll != 0 && value == "*";
  };
  if (p->EditKind == ekDependent && p->RefId >= 1 && p->RefId <= count) {
    TSysPropDesc* control = desc.Prop(p->RefId);
    if (control->Field != nullptr) {
      if (allRule(*control))
        control->Field->SetAsString("*");
      else
        control->Field->Clear();
    }
    p = control;
  }
  if (TField* name = FindField(p->FieldName + "$")) name->Clear();
  for (const auto& b : desc.Props()) {
    if (b.get() == &prop || b->EditKind != ekDependent || b->RefId != p->PropId || b->Field == nullptr)
      continue;
    if (allRule(*b))
      b->Field->SetAsString("*");
    else if (!b->Field->IsNull())
      b->Field->Clear();
  }
}

void TSysClassEntity::GetPickList(TSysPropDesc& prop, std::vector<std::string>& list,
                                  std::vector<std::string>* codes) {
  if (prop.EditKind == ekEnum) {
    list = prop.EnumList;
    if (codes == nullptr) return;
    codes->clear();
    for (const std::string& entry : list) codes->push_back(EntryCode(entry));
    return;
  }
  if ((prop.EditKind != ekLookup3 && prop.EditKind != ekDependent) || Trim(prop.RefKeyField).empty()) return;
  TClientDataSet lookup;
  std::string nameText, keyField;
  if (!LookupQuery(lookup, prop, false, "", nameText, keyField) || !lookup.Active()) return;
  list.clear();
  if (codes != nullptr) codes->clear();
  for (lookup.First(); !lookup.Eof(); lookup.Next()) {
    const std::string first = Trim(lookup.Fields(0).AsString());
    list.push_back(lookup.FieldCount() == 1 ? first : first + "-" + Trim(lookup.Fields(1).AsString()));
    if (codes != nullptr) codes->push_back(first);
  }
}

void TSysClassEntity::PropValueSet(TSysPropDesc& prop) {
  if (!prop.ExpText.empty()) {
    TSysExpression expression;
    AddEntity(expression, this);
    expression.Execute(prop.ExpText, true);
  }
  DoPropChanged(prop);
}

}  // namespace sw
