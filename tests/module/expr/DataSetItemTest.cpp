// TDataSetItem: formulas over the fields of a plain client data set.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "ExprTestUtil.h"
#include "sw/expr/DataSetItem.h"

namespace sw {
namespace {

using testing::EvalText;
using testing::Matches;

class DataSetItemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ds.AddFieldDef("QTY", TFieldType::ftInteger);
    ds.AddFieldDef("NAME", TFieldType::ftString, 20);
    ds.AddFieldDef("PRICE", TFieldType::ftCurrency);
    ds.AddFieldDef("OK", TFieldType::ftBoolean);
    ds.AddFieldDef("DAY", TFieldType::ftDate);
    ds.AddFieldDef("PIC", TFieldType::ftBlob);
    ds.CreateDataSet();
  }
  TClientDataSet ds;
};

TEST_F(DataSetItemTest, ReadsFieldsOfTheCurrentRecordAndNullsAsEmptyValues) {
  ds.AppendRecord({Variant(std::int32_t{3}), Variant("张三"), Variant(Currency{25000}), Variant(true),
                   Variant::Date(45000)});
  ds.AppendRecord({});
  TSysExpression e;
  ASSERT_NE(e.AddDataSet(&ds, "cdsMain"), nullptr);
  ds.First();
  EXPECT_EQ(EvalText(e, "QTY * 2"), "int64:6");
  EXPECT_EQ(EvalText(e, "LEN(NAME)"), "int32:4");
  EXPECT_EQ(EvalText(e, "PRICE + 1"), "currency:3.5");
  EXPECT_EQ(EvalText(e, "IIF(OK = 1, \"yes\", \"no\")"), "text:yes");
  EXPECT_EQ(EvalText(e, "DTOC(DAY)"), "text:2023-03-15");
  EXPECT_EQ(EvalText(e, "qty"), "int32:3");  // field names ignore letter case
  ds.Next();
  EXPECT_EQ(EvalText(e, "QTY"), "int32:0");
  EXPECT_EQ(EvalText(e, "NAME"), "text:");
  EXPECT_EQ(EvalText(e, "PRICE"), "currency:0");
  EXPECT_EQ(EvalText(e, "IIF(OK = 0, 1, 2)"), "int64:1");
  EXPECT_EQ(EvalText(e, "DAY"), "date:" + FloatToStr(Today()));
  EXPECT_EQ(EvalText(e, "PIC"), "null:");
}

TEST_F(DataSetItemTest, EmptyAndClosedDataSets) {
  TSysExpression e;
  ASSERT_NE(e.AddDataSet(&ds, "cdsMain"), nullptr);
  EXPECT_TRUE(Matches(EvalText(e, "QTY + 1"), "!数据对象\"cdsMain\"没有数据!!"));
  EXPECT_EQ(EvalText(e, "IIF(1 = 1, 1, QTY)"), "int64:1");  // no error in the branch not taken
  EXPECT_FALSE(e.Execute("QTY = 1"));
  EXPECT_EQ(e.LastError(), "数据对象\"cdsMain\"没有数据!!");

  TClientDataSet closed;
  closed.AddFieldDef("X", TFieldType::ftInteger);
  TSysExpression other;
  EXPECT_EQ(other.AddDataSet(&closed), nullptr);
  EXPECT_EQ(other.AddDataSet(nullptr), nullptr);
  EXPECT_EQ(other.DefaultItem(), nullptr);
}

TEST_F(DataSetItemTest, AssignmentsEditTheRecordAndClearReadOnly) {
  ds.AppendRecord({Variant(std::int32_t{3}), Variant("张三")});
  ds.FieldByName("QTY").SetReadOnly(true);
  TSysExpression e;
  e.AddDataSet(&ds, "cdsMain");
  EXPECT_TRUE(e.Execute("QTY = QTY + 2, NAME = NAME + \"丰\","));
  EXPECT_EQ(ds.State(), TDataSetState::dsEdit);
  EXPECT_FALSE(ds.FieldByName("QTY").ReadOnly());
  EXPECT_EQ(ds.FieldByName("QTY").AsInteger(), 5);
  EXPECT_EQ(ds.FieldByName("NAME").AsString(), "张三丰");
  // A plain data set has no dotted members: the target is undefined.
  EXPECT_FALSE(e.Execute("DataSet.QTY = 1"));
  EXPECT_EQ(e.LastError(), "没有定义变量[DataSet.QTY]!!");
  EXPECT_EQ(ds.FieldByName("QTY").AsInteger(), 5);
}

TEST(DataSetItemValues, EmptyValuesByFieldKind) {
  struct Case {
    TFieldType type;
    const char* noRecords;
    const char* ofNull;
  };
  const std::string today = "date:" + FloatToStr(Today());
  const Case cases[] = {
      {TFieldType::ftString, "text:", "text:"},
      {TFieldType::ftWideString, "text:", "text:"},
      {TFieldType::ftMemo, "text:", "text:"},
      {TFieldType::ftSmallint, "int32:0", "int32:0"},
      {TFieldType::ftLargeint, "int32:0", "int32:0"},
      {TFieldType::ftBoolean, "boolean:False", "boolean:False"},
      {TFieldType::ftFloat, "currency:0", "currency:0"},
      {TFieldType::ftBCD, "currency:0", "currency:0"},
      {TFieldType::ftBlob, "null:", "null:"},
      {TFieldType::ftGraphic, "null:", "null:"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(testing::Render(TDataSetItem::EmptyValueOfNoRecords(c.type)), c.noRecords)
        << FieldTypeName(c.type);
    EXPECT_EQ(testing::Render(TDataSetItem::EmptyValueOfNull(c.type)), c.ofNull) << FieldTypeName(c.type);
  }
  EXPECT_EQ(testing::Render(TDataSetItem::EmptyValueOfNoRecords(TFieldType::ftDate)), today);
  EXPECT_EQ(testing::Render(TDataSetItem::EmptyValueOfNoRecords(TFieldType::ftTime)), today);
  EXPECT_EQ(testing::Render(TDataSetItem::EmptyValueOfNoRecords(TFieldType::ftDateTime)), today);
  EXPECT_EQ(testing::Render(TDataSetItem::EmptyValueOfNull(TFieldType::ftDate)), today);
  const double time = TDataSetItem::EmptyValueOfNull(TFieldType::ftTime).ToDouble();
  EXPECT_TRUE(time >= 0 && time < 1);
  EXPECT_GE(TDataSetItem::EmptyValueOfNull(TFieldType::ftDateTime).ToDouble(), Today());
}

}  // namespace
}  // namespace sw
