// Execute and the data items: assignment lists, targets, and names resolved through the default data item.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "ExprTestUtil.h"

namespace sw {
namespace {

using testing::EvalText;
using testing::MapDataItem;
using testing::Matches;

class ExecuteWithItem : public ::testing::Test {
 protected:
  void SetUp() override {
    auto owned = std::make_unique<MapDataItem>(e, "C1001");
    item = owned.get();
    item->members["QTY"] = Variant(std::int32_t{0});
    item->members["PRICE"] = Variant(0.0);
    item->members["ABS"] = Variant(std::int32_t{7});  // hides the function ABS
    item->members["数量"] = Variant(std::int32_t{3});
    item->members["NAME"] = Variant("张三");
    ASSERT_EQ(e.AddDataItem(std::move(owned)), item);
    e.AddVariable("V", Variant(std::int32_t{1}));
  }
  Variant Member(const std::string& key) const { return item->members.at(key); }
  TSysExpression e;
  MapDataItem* item = nullptr;
};

TEST_F(ExecuteWithItem, AssignmentLists) {
  struct Case {
    const char* text;
    bool ok;
    const char* error;
    std::int64_t qty;
    double price;
  };
  const Case cases[] = {
      {"QTY = 1, PRICE = QTY * 2,", true, "", 1, 2},  // a trailing comma is allowed
      {"QTY = 1 PRICE = 2", true, "", 1, 0},          // without a comma only the first is made
      {"QTY = 1; PRICE = 2", true, "", 1, 0},         // the rest is a comment
      {"QTY = 1, , PRICE = 2", true, "", 1, 0},       // an empty assignment ends the list
      {"QTY = 1 + PRICE = 2", true, "", 1, 0},        // the expression ends at "=", which is consumed
      {"QTY = 4, NOSUCH = 1", false, "没有定义变量[NOSUCH]!!", 4, 0},  // earlier ones stay made
      {"QTY 1", false, "缺少赋值符号\"=\"!", 0, 0},
      {"QTY = ", false, "语法错误!!", 0, 0},
      {"QTY = 2 +", false, "语法错误!!", 0, 0},
      {"", true, "", 0, 0},
      {"   ", true, "", 0, 0},
      {"+ QTY = 1", true, "", 0, 0},  // an operator first: nothing to do
      {"qty = 5", true, "", 5, 0},
      {"PRICE = IIF(QTY > 0, 1.5, 2.5)", true, "", 0, 2.5},
  };
  for (const Case& c : cases) {
    item->members["QTY"] = Variant(std::int64_t{0});
    item->members["PRICE"] = Variant(0.0);
    EXPECT_EQ(e.Execute(c.text), c.ok) << c.text;
    if (!c.ok) {
      EXPECT_EQ(e.LastError(), c.error) << c.text;
    }
    EXPECT_EQ(Member("QTY").ToInt64(), c.qty) << c.text;
    EXPECT_EQ(Member("PRICE").ToDouble(), c.price) << c.text;
  }
}

TEST_F(ExecuteWithItem, TargetsVariablesAndKeywords) {
  EXPECT_TRUE(e.Execute("V = V + 1"));
  Variant v;
  ASSERT_TRUE(e.GetVariable("V", v));
  EXPECT_EQ(v.ToInt64(), 2);

  EXPECT_FALSE(e.Execute("LEN = 1"));
  EXPECT_EQ(e.LastError(), "\"LEN\"是一个关键字不能作为内存变量使用!!");
  EXPECT_FALSE(e.Execute("len = 1"));
  EXPECT_EQ(e.LastError(), "\"len\"是一个关键字不能作为内存变量使用!!");

  // A member named like a function hides it, for reading and for assigning.
  EXPECT_EQ(EvalText(e, "ABS + 1"), "int64:8");
  EXPECT_TRUE(e.Execute("ABS = 3"));
  EXPECT_EQ(Member("ABS").ToInt64(), 3);
}

TEST_F(ExecuteWithItem, DottedTargetWithTablePrefixBecomesAVariable) {
  EXPECT_EQ(EvalText(e, "T.QTY + 1"), "int64:1");  // reads the member through the table prefix
  EXPECT_TRUE(e.Execute("T.QTY = 9"));
  EXPECT_EQ(Member("QTY").ToInt64(), 0);  // the property is unchanged
  Variant v;
  ASSERT_TRUE(e.GetVariable("T.QTY", v));
  EXPECT_EQ(v.ToInt64(), 9);
  // A second assignment reaches the same variable rather than a hidden copy.
  EXPECT_TRUE(e.Execute("T.QTY = 10"));
  ASSERT_TRUE(e.GetVariable("T.QTY", v));
  EXPECT_EQ(v.ToInt64(), 10);
  int count = 0;
  for (const auto& it : e.Items()) count += SameText(it->GetName(), "T.QTY") ? 1 : 0;
  EXPECT_EQ(count, 1);
  // The bare name assigns the property.
  EXPECT_TRUE(e.Execute("QTY = 11"));
  EXPECT_EQ(Member("QTY").ToInt64(), 11);
  EXPECT_EQ(item->writes["QTY"], 1);
}

TEST_F(ExecuteWithItem, TextCrossesTheItemAsUtf8AndCountsAsGbkInside) {
  EXPECT_EQ(EvalText(e, "LEN(NAME)"), "int32:4");
  EXPECT_EQ(EvalText(e, "NAME + \"先生\""), "text:张三先生");
  EXPECT_EQ(EvalText(e, "数量 * 2"), "int64:6");
  EXPECT_EQ(EvalText(e, "LEFT(NAME, 2)"), "text:张");
  EXPECT_TRUE(e.Execute("NAME = \"李四\", 数量 = LEN(NAME)"));
  EXPECT_EQ(Member("NAME"), Variant("李四"));
  EXPECT_EQ(Member("数量").ToInt64(), 4);
}

TEST_F(ExecuteWithItem, SkippedBranchTakesUnknownDottedNamesAsMembers) {
  EXPECT_EQ(EvalText(e, "IIF(1 = 1, 1, NOPE.X)"), "int64:1");
  EXPECT_EQ(EvalText(e, "IIF(1 = 2, NOPE.X, 1)"), "int64:1");
  EXPECT_TRUE(Matches(EvalText(e, "IIF(1 = 1, NOPE.X, 1)"), "!没有定义变量[NOPE.X]!!"));
  EXPECT_TRUE(Matches(EvalText(e, "T.NOPE"), "!没有定义变量[T.NOPE]!!"));
}

TEST_F(ExecuteWithItem, DataLayerFailuresPassThrough) {
  Variant v;
  EXPECT_THROW(e.Evaluate(v, "BOOM + 1"), Error);
  EXPECT_THROW(e.Execute("QTY = BOOM"), Error);
  EXPECT_EQ(EvalText(e, "QTY + 1"), "int64:1");  // still usable
}

TEST(DataItems, OnlyOpenItemsAreAddedAndTheFirstIsTheDefault) {
  TSysExpression e;
  EXPECT_EQ(e.AddDataItem(std::make_unique<testing::MapDataItem>(e, "C1", false)), nullptr);
  EXPECT_EQ(e.DefaultItem(), nullptr);
  auto* first = e.AddDataItem(std::make_unique<testing::MapDataItem>(e, "C2"));
  auto* second = e.AddDataItem(std::make_unique<testing::MapDataItem>(e, "C3"));
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(e.DefaultItem(), first);
  EXPECT_EQ(first->Index(), 20);  // after the twenty functions
  EXPECT_EQ(second->Index(), 21);
  EXPECT_EQ(e.FindItem("c3"), second);
}

TEST(Variables, AddVariableDoesNotCheckForAnExistingName) {
  TSysExpression e;
  e.AddVariable("V", Variant(std::int32_t{1}));
  e.AddVariable("v", Variant(std::int32_t{2}));
  EXPECT_EQ(EvalText(e, "V"), "int32:1");
  EXPECT_TRUE(e.Execute("V = 5"));
  EXPECT_EQ(EvalText(e, "v"), "int64:5");
}

TEST(Variables, DottedTargetWhosePrefixIsAVariableGetsNoNewVariable) {
  TSysExpression e;
  e.AddVariable("A", Variant(std::int32_t{1}));
  e.AddVariable("A.B", Variant(std::int32_t{2}));
  EXPECT_EQ(EvalText(e, "A.B"), "int32:2");
  EXPECT_TRUE(e.Execute("A.B = 3"));  // the target is the item named by the prefix, the variable A
  EXPECT_EQ(EvalText(e, "A"), "int64:3");
}

}  // namespace
}  // namespace sw
