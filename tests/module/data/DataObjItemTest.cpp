// TDataObjItem: formulas over the properties of an entity and of its masters.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sw/common/MessageSink.h"
#include "sw/data/DataObjItem.h"
#include "sw/dataset/Packet.h"

namespace sw {
namespace {

// An entity whose master is set by the test.
class LinkedEntity : public TSysClassEntity {
 public:
  using TSysClassEntity::TSysClassEntity;
  TSysClassEntity* MasterEntity() const override { return master; }
  TSysClassEntity* master = nullptr;
};

struct Col {
  const char* field;
  const char* caption;
  TFieldType type;
};

// Describes the entity's class with one property per column and loads the rows (texts converted by kind).
void Load(TSysClassEntity& entity, const char* table, const char* caption, const std::vector<Col>& cols,
          const std::vector<std::vector<Variant>>& rows) {
  TSysClassDesc& d = entity.ClassDesc();
  d.Rec().TableName = table;
  d.Rec().ClassCaption = caption;
  PacketWriter w;
  int id = 0;
  for (const Col& c : cols) {
    TSysPropDesc& p = d.AddProp();
    p.PropId = ++id;
    p.FieldName = c.field;
    p.Caption = c.caption;
    p.DataType = 1;
    w.AddField(c.field, c.type, c.type == TFieldType::ftString ? 20 : 0);
  }
  for (const auto& row : rows) {
    for (const Variant& v : row) {
      if (v.IsNull())
        w.AddNull();
      else if (v.IsText())
        w.AddText(v.ToString());
      else if (v.Type() == VarType::Boolean)
        w.AddBool(v.ToBool());
      else
        w.AddInt(v.ToInt64());
    }
    w.EndRow();
  }
  ASSERT_TRUE(entity.SetClassData(w.FinishVariant()));
}

class DataObjItemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Load(head, "tHead", "单据",
         {{"BillNo", "单号", TFieldType::ftString}, {"Note", "备注", TFieldType::ftString}},
         {{Variant("B01"), Variant("头")}});
    Load(body, "tBody", "明细",
         {{"Code", "编码", TFieldType::ftString},
          {"Qty", "数量", TFieldType::ftInteger},
          {"Ok", "有效", TFieldType::ftBoolean},
          {"Note", "说明", TFieldType::ftString}},
         {{Variant("P1"), Variant(std::int64_t{3}), Variant::Null(), Variant("甲")}});
    body.master = &head;
    head.LocalOnly = body.LocalOnly = true;  // no server behind these entities
  }
  std::string Eval(TSysExpression& e, const std::string& text) {
    Variant v;
    if (!e.Evaluate(v, text)) return "error:" + e.LastError();
    return v.ToString();
  }

  LinkedEntity head{5001}, body{5002};
  RecordingMessageSink sink;
  ScopedMessageSink scoped{sink};
};

TEST_F(DataObjItemTest, NamesByCaptionFieldNameAndQualifiedName) {
  TSysExpression e;
  TDataItem* item = AddEntity(e, &body);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->GetName(), "C5002");
  struct Case {
    const char* formula;
    const char* result;
  };
  const std::vector<Case> cases = {
      {"编码", "P1"},
      {"Code", "P1"},
      {"明细.编码", "P1"},
      {"tBody.编码", "P1"},
      {"TBODY.编码", "P1"},
      {"tBody.Code", "error:没有定义变量[tBody.Code]!!"},  // the own prefix tries captions only
      {"单据.单号", "B01"},                                // a master by class caption
      {"tHead.BillNo", "B01"},                             // a master by table name, then field name
      {"tHead.备注", "头"},
      {"Note", "甲"},  // the bare name is the entity's own
      {"tOther.编码", "error:没有定义变量[tOther.编码]!!"},
      {"没有", "error:没有定义变量[没有]!!"},
  };
  for (const Case& c : cases) EXPECT_EQ(Eval(e, c.formula), c.result) << c.formula;
}

TEST_F(DataObjItemTest, NullFieldsReadTheirDefaultText) {
  TSysExpression e;
  AddEntity(e, &body);
  struct Case {
    const char* field;
    const char* defaultValue;
    const char* formula;
    const char* result;
  };
  const std::vector<Case> cases = {
      {"Qty", "'5'", "数量 + 1", "6"},         {"Ok", "是", "IIF(有效 = 1, 1, 0)", "1"},
      {"Ok", "N", "IIF(有效 = 1, 1, 0)", "0"}, {"Ok", "", "IIF(有效 = 1, 1, 0)", "0"},
      {"Note", "'无'", "说明", "无"},
  };
  body.Edit();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.formula);
    body.FieldByName(c.field).Clear();
    body.ClassDesc().FindByFieldName(c.field)->DefaultValue = c.defaultValue;
    EXPECT_EQ(Eval(e, c.formula), c.result);
  }
  // A default text that is no number is a data error, not one of the language.
  body.FieldByName("Qty").Clear();
  body.ClassDesc().FindByFieldName("Qty")->DefaultValue = "x";
  Variant v;
  EXPECT_THROW(e.Evaluate(v, "数量"), Error);
}

TEST_F(DataObjItemTest, AssignmentsWriteBareNamesOnly) {
  TSysExpression e;
  AddEntity(e, &body);
  body.FieldByName("Note").SetReadOnly(true);
  EXPECT_TRUE(e.Execute("说明 = \"乙\", tBody.编码 = \"P9\""));
  EXPECT_EQ(body.FieldByName("Note").AsString(), "乙");
  EXPECT_FALSE(body.FieldByName("Note").ReadOnly());
  EXPECT_EQ(body.FieldByName("Code").AsString(), "P1");
  Variant v;
  ASSERT_TRUE(e.GetVariable("tBody.编码", v));
  EXPECT_EQ(v.ToString(), "P9");
}

TEST_F(DataObjItemTest, MessagesOfMissingAndClosedData) {
  TSysExpression e;
  AddEntity(e, &body);
  // No records.
  body.Delete();
  EXPECT_FALSE(e.Execute("数量 = 1"));
  EXPECT_EQ(e.LastError(), "数据对象类\"明细\"没有数据!!");
  EXPECT_EQ(Eval(e, "数量"), "error:数据对象类\"明细\"没有数据!!");
  EXPECT_EQ(Eval(e, "IIF(1 = 1, 7, 数量)"), "7");

  // A closed master reads 0 in a branch not taken; a closed own entity fails even there.
  head.Close();
  EXPECT_EQ(Eval(e, "IIF(1 = 1, 7, 单据.单号)"), "7");
  EXPECT_EQ(Eval(e, "单据.单号"), "error:数据对象类\"单据\"没有执行Search或Read!!");
  body.Close();
  EXPECT_EQ(Eval(e, "IIF(1 = 1, 7, 数量)"), "error:数据对象类\"明细\"没有执行Search或Read!!");
  EXPECT_FALSE(e.Execute("数量 = 1"));
  EXPECT_EQ(e.LastError(), "数据对象类\"明细\"没有执行Search或Read!!");

  // A closed entity is not added.
  TSysExpression other;
  EXPECT_EQ(AddEntity(other, &body), nullptr);
  EXPECT_EQ(AddEntity(other, nullptr), nullptr);
}

}  // namespace
}  // namespace sw
