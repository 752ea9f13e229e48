#pragma once
// TDataSetItem: a data item over a plain client data set (not owned). Its members are the data set's fields;
// a formula reads and writes them in the current record. Named "DataSet" when added with AddDataSet.
#include <string>
#include <string_view>

#include "sw/dataset/ClientDataSet.h"
#include "sw/expr/SysExpression.h"

namespace sw {

class TDataSetItem : public TDataItem {
 public:
  // `componentName` names the data set in the messages ("数据对象\"" + name + "\"没有打开!!").
  TDataSetItem(TSysExpression& owner, TClientDataSet& dataSet, std::string_view componentName,
               std::string_view itemName = "DataSet");

  bool FindMember(std::string_view name) override;
  void GetMemberValue(std::string_view name, Variant& value) override;
  void SetMemberValue(std::string_view name, const Variant& value) override;
  bool IsOpen() const override { return dataSet_.Active(); }

  TClientDataSet& DataSet() const { return dataSet_; }

  // The value a field of that kind reads as when its data set has no records (while skipping), and when it
  // holds null.
  static Variant EmptyValueOfNoRecords(TFieldType type);
  static Variant EmptyValueOfNull(TFieldType type);

 private:
  bool HasNoRecords() const;

  TClientDataSet& dataSet_;
  std::string componentName_;
};

}  // namespace sw
