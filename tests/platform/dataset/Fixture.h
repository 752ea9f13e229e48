#pragma once
// A small staff table shared by the data set tests.
#include <string>
#include <vector>

#include "sw/dataset/ClientDataSet.h"

namespace sw::testing {

// ID, Code, Name, OrgCode, Qty, Amount (currency), Born (date), Active (boolean); five rows.
inline void FillStaff(TClientDataSet& ds) {
  ds.FieldDefs().clear();
  ds.AddFieldDef("ID", TFieldType::ftInteger, 0, true);
  ds.AddFieldDef("Code", TFieldType::ftString, 10);
  ds.AddFieldDef("Name", TFieldType::ftString, 20);
  ds.AddFieldDef("OrgCode", TFieldType::ftString, 4);
  ds.AddFieldDef("Qty", TFieldType::ftFloat);
  ds.AddFieldDef("Amount", TFieldType::ftCurrency);
  ds.AddFieldDef("Born", TFieldType::ftDate);
  ds.AddFieldDef("Active", TFieldType::ftBoolean);
  ds.CreateDataSet();
  const std::vector<std::vector<Variant>> rows = {
      {std::int32_t{1}, "u01", "张三", "01", 3.0, Currency::FromUnits(100),
       Variant::Date(EncodeDate(1990, 1, 2)), true},
      {std::int32_t{2}, "U02", "李四", "01", 7.5, Currency::FromUnits(250),
       Variant::Date(EncodeDate(1985, 6, 7)), false},
      {std::int32_t{3}, "u03", "王五", "02", 5.0, Currency::FromUnits(80),
       Variant::Date(EncodeDate(1999, 3, 4)), true},
      {std::int32_t{4}, "A04", "赵六", "02", 12.0, Currency::FromUnits(250), Variant::Null(), true},
      {std::int32_t{5}, "b05", "O'Hara", "01", 0.0, Currency::FromUnits(10),
       Variant::Date(EncodeDate(1970, 1, 1)), false},
  };
  for (const auto& r : rows) ds.AppendRecord(r);
  ds.MergeChangeLog();
  ds.First();
}

// The values of one field over the visible records, in order, as texts.
inline std::vector<std::string> Column(TClientDataSet& ds, const char* field) {
  std::vector<std::string> out;
  TBookmark b = ds.GetBookmark();
  for (ds.First(); !ds.Eof(); ds.Next()) out.push_back(ds.FieldByName(field).AsString());
  if (ds.BookmarkValid(b)) ds.GotoBookmark(b);
  return out;
}

using Strings = std::vector<std::string>;

}  // namespace sw::testing
