#include "sw/appserver/ClassQuery.h"

#include <algorithm>
#include <cctype>

#include "sw/appserver/Schema.h"
#include "sw/common/PacketZip.h"
#include "sw/core/DateTime.h"
#include "sw/core/Error.h"
#include "sw/core/Text.h"
#include "sw/dataset/Packet.h"

namespace sw::appserver {
namespace {

std::string CheckedName(std::string_view name, std::string_view what) {
  const std::string n = Trim(name);
  if (!IsSqlName(n)) throw Error("@" + std::string(what) + "名称不合法: " + std::string(name));
  return n;
}

// A date, date-time or time read as text ("yyyy-mm-dd hh:nn:ss", a date alone, a time alone); null when it
// is none of them.
void AddDateText(PacketWriter& w, std::string_view text) {
  const std::string t = Trim(text);
  if (const auto d = TryStrToDateTime(t)) {
    w.AddDateTime(*d);
  } else if (const auto time = TryStrToTime(t)) {
    w.AddDateTime(*time);
  } else {
    w.AddNull();
  }
}

void AddValue(PacketWriter& w, TFieldType type, const Variant& v) {
  if (v.IsBlank()) {
    w.AddNull();
    return;
  }
  switch (type) {
    case TFieldType::ftInteger:
    case TFieldType::ftLargeint:
    case TFieldType::ftSmallint:
      if (v.IsNumeric()) {
        w.AddInt(v.ToInt64());
      } else if (const auto i = TryStrToInt64(v.ToString())) {
        w.AddInt(*i);
      } else if (const auto f = TryStrToFloat(v.ToString())) {
        w.AddInt(static_cast<std::int64_t>(*f));
      } else {
        w.AddNull();
      }
      return;
    case TFieldType::ftFloat:
      if (v.IsNumeric()) {
        w.AddFloat(v.ToDouble());
      } else if (const auto f = TryStrToFloat(v.ToString())) {
        w.AddFloat(*f);
      } else {
        w.AddNull();
      }
      return;
    case TFieldType::ftDate:
    case TFieldType::ftTime:
    case TFieldType::ftDateTime:
      if (v.IsNumeric()) {
        w.AddDateTime(v.ToDouble());
      } else {
        AddDateText(w, v.ToString());
      }
      return;
    case TFieldType::ftBoolean:
      w.AddBool(v.Type() == VarType::Boolean ? v.ToBool() : v.ToString() == "1");
      return;
    case TFieldType::ftBlob:
      if (v.IsBytes()) {
        w.AddText(v.BytesAsString());
      } else {
        w.AddText(v.ToString());
      }
      return;
    default:
      w.AddText(v.IsBytes() ? v.BytesAsString() : v.ToString());
      return;
  }
}

// Whether `condition` names one of `names` as a word outside its quoted texts (case-insensitive).
bool NamesAnyOf(std::string_view condition, const std::vector<std::string>& names) {
  const auto isWordByte = [](char ch) {
    const auto u = static_cast<unsigned char>(ch);
    return std::isalnum(u) != 0 || ch == '_' || ch == '$' || u >= 0x80;
  };
  std::size_t i = 0;
  while (i < condition.size()) {
    const char ch = condition[i];
    if (ch == '\'') {
      // A quoted text; '' inside it is a quote, which this loop reads as the end and a new start.
      const std::size_t end = condition.find('\'', i + 1);
      i = end == std::string_view::npos ? condition.size() : end + 1;
    } else if (isWordByte(ch)) {
      std::size_t end = i;
      while (end < condition.size() && isWordByte(condition[end])) ++end;
      const std::string_view word = condition.substr(i, end - i);
      for (const auto& name : names)
        if (SameText(word, name)) return true;
      i = end;
    } else {
      ++i;
    }
  }
  return false;
}

// Adds the condition of the statement: on the derived table when it names a computed column.
void AddCondition(SelectPlan& plan, std::string_view condition) {
  const std::string cond = Trim(condition);
  if (cond.empty()) return;
  if (!plan.derivedSelect.empty() && NamesAnyOf(cond, plan.computedNames)) {
    plan.select = plan.derivedSelect;
  }
  plan.derivedSelect.clear();  // one condition per plan: it is now part of the statement
  plan.select += " WHERE " + cond;
}

// A value read in place. The pairs a large search is made of (numbers into number fields, texts into text
// and date fields) go straight into the packet; every other pair takes the variant conversions above, which
// give these pairs the same result.
void AddValue(PacketWriter& w, TFieldType type, const DbValue& v) {
  switch (type) {
    case TFieldType::ftInteger:
    case TFieldType::ftLargeint:
    case TFieldType::ftSmallint:
      if (v.type == DbColumnType::Integer) {
        w.AddInt(v.integer);
        return;
      }
      break;
    case TFieldType::ftFloat:
      if (v.type == DbColumnType::Float) {
        w.AddFloat(v.real);
        return;
      }
      break;
    case TFieldType::ftDate:
    case TFieldType::ftTime:
    case TFieldType::ftDateTime:
      if (v.type == DbColumnType::Text) {
        AddDateText(w, v.bytes);
        return;
      }
      break;
    case TFieldType::ftBoolean:
      break;
    default:
      if (v.type == DbColumnType::Text || v.type == DbColumnType::Blob) {
        w.AddText(v.bytes);
        return;
      }
      break;
  }
  if (v.type == DbColumnType::Null) {
    w.AddNull();
  } else {
    AddValue(w, type, v.ToVariant());
  }
}

}  // namespace

TFieldType FieldTypeOf(int dataType) {
  if (dataType == 11 || dataType == 12 || dataType == 15) return TFieldType::ftInteger;
  if (dataType == 16 || dataType == 25) return TFieldType::ftLargeint;
  if (dataType == 13 || dataType == 14 || (dataType >= 17 && dataType <= 20)) return TFieldType::ftFloat;
  if (dataType == 21 || dataType == 27) return TFieldType::ftDateTime;
  if (dataType == 23) return TFieldType::ftDate;
  if (dataType == 24) return TFieldType::ftTime;
  return TFieldType::ftString;
}

SelectPlan BuildClassSelect(const ClassDef& cls, std::string_view fieldList, std::string_view where) {
  const std::string table = CheckedName(cls.rec.TableName, "表");
  std::vector<const TSysPropDesc*> chosen;
  const auto names = SplitNames(fieldList, ',');
  if (names.empty()) {
    for (const auto& p : cls.props) chosen.push_back(&p);
  } else {
    for (const auto& n : names) {
      const TSysPropDesc* p = cls.FindField(n);
      if (p == nullptr) throw Error("@类 " + IntToStr(cls.rec.ClassID) + " 没有字段 " + n + "。");
      chosen.push_back(p);
    }
  }
  if (chosen.empty()) throw Error("@类 " + IntToStr(cls.rec.ClassID) + " 没有属性。");

  SelectPlan plan;
  std::string list;   // the columns read straight from the FROM
  std::string inner;  // the computed columns of the derived table
  std::string outer;  // the columns read from the derived table
  auto add = [&](const std::string& expr, const std::string& name, TFieldType type, int size, int dataType,
                 bool computed) {
    for (const auto& f : plan.fields) {
      if (SameText(f.Name, name)) return;  // a field listed twice travels once
    }
    if (!list.empty()) list += ", ";
    if (!outer.empty()) outer += ", ";
    if (computed) {
      list += expr + " AS " + name;
      inner += ", " + expr + " AS " + name;
      outer += table + "." + name;
      plan.computedNames.push_back(name);
    } else {
      list += expr;
      outer += expr;
    }
    TFieldDef def;
    def.Name = name;
    def.DataType = type;
    def.Size = type == TFieldType::ftString ? size : 0;
    plan.fields.push_back(def);
    plan.dataTypes.push_back(dataType);
  };
  for (const TSysPropDesc* p : chosen) {
    const std::string field = CheckedName(p->FieldName, "字段");
    const int size = p->DataType == 22 ? 1 : (p->MaxLength > 0 ? p->MaxLength : 255);
    if (cls.IsOwnColumn(*p)) {
      add(table + "." + field, field, FieldTypeOf(p->DataType), size, p->DataType, false);
    } else if (const TSysPropDesc* c = p->EditKind == 4 ? cls.FindPropId(p->RefId) : nullptr;
               c != nullptr && !c->RefTable.empty() && cls.IsOwnColumn(*c)) {
      const std::string expr = "(SELECT MAX(R." + field + ") FROM " + CheckedName(c->RefTable, "表") +
                               " R WHERE R." + CheckedName(c->RefKeyField, "字段") + " = " + table + "." +
                               CheckedName(c->FieldName, "字段") + ")";
      add(expr, field, FieldTypeOf(p->DataType), size, p->DataType, true);
    } else {
      add("NULL", field, FieldTypeOf(p->DataType), size, p->DataType, false);
    }
  }
  for (const TSysPropDesc* p : chosen) {
    if ((p->EditKind != 2 && p->EditKind != 3) || p->NameProp < 0 || !cls.IsOwnColumn(*p)) continue;
    if (p->RefTable.empty() || p->RefKeyField.empty() || p->RefNameField.empty()) continue;
    const std::string name = CheckedName(p->FieldName, "字段") + "$";
    if (cls.FindField(name) != nullptr) continue;
    const std::string expr =
        "(SELECT MAX(R." + CheckedName(p->RefNameField, "字段") + ") FROM " + CheckedName(p->RefTable, "表") +
        " R WHERE R." + CheckedName(p->RefKeyField, "字段") + " = " + table + "." + Trim(p->FieldName) + ")";
    add(expr, name, TFieldType::ftString, 60, 1, true);
  }
  const std::string from = Trim(cls.rec.FromText).empty() ? table : Trim(cls.rec.FromText);
  plan.select = "SELECT " + list + " FROM " + from;
  if (!plan.computedNames.empty()) {
    // The same columns as a derived table named like the class table, so that a condition (and the order)
    // can name the computed columns as well as every column of the table.
    plan.derivedSelect =
        "SELECT " + outer + " FROM (SELECT " + table + ".*" + inner + " FROM " + from + ") " + table;
  }
  AddCondition(plan, where);
  if (!Trim(cls.rec.IndexFields).empty()) {
    for (const auto& part : SplitNames(cls.rec.IndexFields, ',')) {
      // "Field", "Field DESC" or "Field ASC"
      const auto words = SplitNames(part, ' ');
      if (words.empty() || words.size() > 2 || !IsSqlName(words[0]) ||
          (words.size() == 2 && !SameText(words[1], "DESC") && !SameText(words[1], "ASC"))) {
        throw Error("@排序字段不合法: " + cls.rec.IndexFields);
      }
    }
    plan.orderBy = " ORDER BY " + cls.rec.IndexFields;
  }
  return plan;
}

void ApplyReadCondition(const ClassDef& cls, std::string_view condition, SelectPlan& plan) {
  const std::string cond = Trim(condition);
  const auto keys = cls.Keys();
  const auto values = Split(cond, ';');
  const bool looksLikeValues =
      !cond.empty() && !keys.empty() && values.size() == keys.size() &&
      cond.find_first_of("=<>()") == std::string::npos && FindText(cond, " in ") == std::string::npos &&
      FindText(cond, " like ") == std::string::npos && FindText(cond, " is ") == std::string::npos &&
      FindText(cond, " between ") == std::string::npos;
  std::string where;
  if (looksLikeValues) {
    const std::string table = CheckedName(cls.rec.TableName, "表");
    for (std::size_t i = 0; i < keys.size(); ++i) {
      if (i) where += " AND ";
      where += table + "." + CheckedName(keys[i]->FieldName, "字段") + " = ?";
      plan.params.push_back(Variant(Trim(values[i])));
    }
  } else {
    where = cond;
  }
  AddCondition(plan, where);
}

Variant RunClassSelect(DbConnection& db, const SelectPlan& plan, std::size_t maxRows, std::int64_t& total,
                       std::size_t& rows, bool zip) {
  std::string sql = plan.select + plan.orderBy;
  if (maxRows > 0) sql += " LIMIT " + IntToStr(static_cast<std::int64_t>(maxRows) + 1);
  PacketWriter w(plan.fields);
  std::size_t seen = 0;
  db.ExecuteEach(sql, plan.params, [&](const std::vector<DbColumn>&, std::span<const DbValue> row) {
    if (maxRows > 0 && seen >= maxRows) {
      ++seen;
      return;
    }
    if (row.size() < plan.fields.size()) throw Error("@查询返回的列少于类的字段。");
    for (std::size_t c = 0; c < plan.fields.size(); ++c) AddValue(w, plan.fields[c].DataType, row[c]);
    w.EndRow();
    ++seen;
  });
  rows = std::min(seen, maxRows > 0 ? maxRows : seen);
  total = static_cast<std::int64_t>(seen);
  if (maxRows > 0 && seen > maxRows) {
    const auto count = db.Execute("SELECT COUNT(*) FROM (" + plan.select + ") C", plan.params);
    total = count.rows.at(0).at(0).ToInt64();
  }
  if (!zip) return w.FinishVariant();
  PacketCompressor z;
  w.FinishTo([&](std::span<const std::uint8_t> piece) { z.Add(piece); });
  return z.Finish();
}

Variant PacketFromResult(const DbResult& result) {
  std::vector<TFieldDef> fields;
  for (std::size_t c = 0; c < result.columns.size(); ++c) {
    TFieldDef def;
    std::string name = CanonicalColumnName(result.columns[c].name);
    if (name.empty()) name = "Column" + IntToStr(c + 1);
    std::string unique = name;
    for (int k = 2;; ++k) {
      const bool taken = std::any_of(fields.begin(), fields.end(),
                                     [&](const TFieldDef& f) { return SameText(f.Name, unique); });
      if (!taken) break;
      unique = name + "_" + IntToStr(k);
    }
    def.Name = unique;
    switch (result.columns[c].type) {
      case DbColumnType::Integer:
        def.DataType = TFieldType::ftLargeint;
        break;
      case DbColumnType::Float:
        def.DataType = TFieldType::ftFloat;
        break;
      case DbColumnType::Boolean:
        def.DataType = TFieldType::ftBoolean;
        break;
      case DbColumnType::Blob:
        def.DataType = TFieldType::ftBlob;
        break;
      default:
        def.DataType = TFieldType::ftString;
        def.Size = 255;
        break;
    }
    fields.push_back(def);
  }
  PacketWriter w(fields);
  for (const auto& row : result.rows) {
    for (std::size_t c = 0; c < fields.size(); ++c) AddValue(w, fields[c].DataType, row[c]);
    w.EndRow();
  }
  return w.FinishVariant();
}

}  // namespace sw::appserver
