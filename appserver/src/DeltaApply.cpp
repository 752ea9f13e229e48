#include "sw/appserver/DeltaApply.h"

#include "sw/core/Error.h"
#include "sw/core/Format.h"
#include "sw/core/Text.h"
#include "sw/dataset/Packet.h"

namespace sw::appserver {
namespace {

struct Column {
  const TSysPropDesc* prop;
  int field;  // index in the delta
  std::string name;
};

void AddMatch(std::string& where, std::vector<Variant>& params, const std::string& name, const Variant& v) {
  if (!where.empty()) where += " AND ";
  if (v.IsBlank()) {
    where += name + " IS NULL";
  } else {
    where += name + " = ?";
    params.push_back(v);
  }
}

}  // namespace

Variant StoredValue(const Variant& v, int dataType) {
  if (v.IsBlank()) return Variant::Null();
  switch (dataType) {
    case 21:
    case 27:
      if (v.Type() == VarType::Date || v.IsNumeric())
        return Variant(FormatDateTime("yyyy-mm-dd hh:nn:ss", v.ToDateTime()));
      return Variant(Trim(v.ToString()));
    case 23:
      if (v.Type() == VarType::Date || v.IsNumeric()) {
        return Variant(FormatDateTime("yyyy-mm-dd", v.ToDateTime()) + " 00:00:00");
      }
      return Variant(Trim(v.ToString()));
    case 24:
      if (v.Type() == VarType::Date || v.IsNumeric())
        return Variant(FormatDateTime("hh:nn:ss", v.ToDateTime()));
      return Variant(Trim(v.ToString()));
    case 22:
      if (v.Type() == VarType::Boolean) return Variant(v.ToBool() ? "1" : "0");
      return Variant(v.ToString());
    default:
      return v;
  }
}

std::size_t ApplyDelta(DbConnection& db, const ClassDef& cls, const Variant& delta, const NextIdFn& nextId) {
  if (!IsSqlName(cls.rec.TableName)) throw Error("@表名称不合法: " + cls.rec.TableName);
  std::unique_ptr<DeltaReader> reader;
  try {
    reader = std::make_unique<DeltaReader>(delta);
  } catch (const Error& e) {
    throw Error(std::string("@修改数据包格式错误: ") + e.what());
  }
  std::vector<Column> cols;
  for (const auto& p : cls.props) {
    if (!cls.IsOwnColumn(p)) continue;
    const int f = reader->FieldIndex(Trim(p.FieldName));
    if (f < 0) continue;
    if (!IsSqlName(Trim(p.FieldName))) throw Error("@字段名称不合法: " + p.FieldName);
    cols.push_back({&p, f, Trim(p.FieldName)});
  }
  std::vector<const Column*> keys;
  for (const auto& c : cols) {
    if (c.prop->IsKey) keys.push_back(&c);
  }
  const std::string& table = cls.rec.TableName;
  // Deletes first, then changes, then inserts (each in delta order): a row deleted and another added with
  // its key, or a key changed and the old key given to a new row, then saves as the user sees it.
  for (const TUpdateKind pass : {TUpdateKind::ukDelete, TUpdateKind::ukModify, TUpdateKind::ukInsert}) {
    for (std::size_t i = 0; i < reader->Count(); ++i) {
      const TUpdateKind kind = reader->Kind(i);
      if (kind != pass) continue;
      std::vector<Variant> params;
      std::string sql;
      if (kind == TUpdateKind::ukInsert) {
        std::string names, marks;
        for (const auto& c : cols) {
          Variant v = StoredValue(reader->NewValue(i, c.field), c.prop->DataType);
          if (v.IsBlank() && c.prop->IsKey && c.prop->AutoKind == 1) {
            v = Variant(nextId(cls.rec.ClassID, c.prop->PropId));
          }
          if (v.IsBlank()) continue;
          names += (names.empty() ? "" : ", ") + c.name;
          marks += marks.empty() ? "?" : ", ?";
          params.push_back(std::move(v));
        }
        if (names.empty()) throw Error("@新增记录没有任何数据。");
        sql = "INSERT INTO " + table + " (" + names + ") VALUES (" + marks + ")";
      } else {
        if (keys.empty()) throw Error("@类 " + IntToStr(cls.rec.ClassID) + " 没有关键字段，不能修改或删除。");
        std::string where;
        std::vector<Variant> whereParams;
        for (const Column* k : keys) {
          const Variant old = StoredValue(reader->OldValue(i, k->field), k->prop->DataType);
          if (old.IsBlank()) throw Error("@修改数据包缺少关键字段 " + k->name + " 的原值。");
          AddMatch(where, whereParams, k->name, old);
        }
        if (kind == TUpdateKind::ukModify) {
          std::string sets;
          for (const auto& c : cols) {
            if (!reader->Changed(i, c.field)) continue;
            sets += (sets.empty() ? "" : ", ") + c.name + " = ?";
            params.push_back(StoredValue(reader->NewValue(i, c.field), c.prop->DataType));
            if (!c.prop->IsKey) {
              AddMatch(where, whereParams, c.name,
                       StoredValue(reader->OldValue(i, c.field), c.prop->DataType));
            }
          }
          if (sets.empty()) continue;
          sql = "UPDATE " + table + " SET " + sets + " WHERE " + where;
        } else {
          sql = "DELETE FROM " + table + " WHERE " + where;
        }
        params.insert(params.end(), whereParams.begin(), whereParams.end());
      }
      DbResult r;
      try {
        r = db.Execute(sql, params);
      } catch (const Error& e) {
        throw Error(std::string("@数据保存错误: ") + e.what());
      }
      if (kind != TUpdateKind::ukInsert && r.affected == 0) throw Error(kConflictMessage);
    }
  }
  return reader->Count();
}

}  // namespace sw::appserver
