// Field text of the entity: display and input by data type, the input path with its checks, and look-ups
// (plain, article search, secondary bar codes) against canned statement results.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "sw/common/MessageSink.h"
#include "sw/core/Error.h"
#include "sw/data/sysBaseBL.h"
#include "sw/dataset/Packet.h"

namespace sw {
namespace {

// An entity whose statements are answered from a table of canned results: the first rule whose key occurs
// in the statement answers it; statements without a rule return an empty packet of one column.
class CannedEntity : public TSysClassEntity {
 public:
  CannedEntity() : TSysClassEntity(3001) {}

  bool OpenClientDataSet(TClientDataSet& target, const std::string& sql) override {
    statements.push_back(sql);
    for (const auto& [key, packet] : answers)
      if (sql.find(key) != std::string::npos) {
        target.SetData(packet);
        return true;
      }
    PacketWriter w;
    w.AddField("Nothing", TFieldType::ftString, 10);
    target.SetData(w.FinishVariant());
    return true;
  }

  std::vector<std::pair<std::string, Variant>> answers;
  std::vector<std::string> statements;
};

Variant TextRows(const std::vector<std::string>& fields, const std::vector<std::vector<std::string>>& rows) {
  PacketWriter w;
  for (const std::string& f : fields) w.AddField(f, TFieldType::ftString, 40);
  for (const auto& row : rows) {
    for (const std::string& v : row) w.AddText(v);
    w.EndRow();
  }
  return w.FinishVariant();
}

struct PropSpec {
  const char* field;
  const char* caption;
  int dataType;
  int editKind;
  TFieldType storage;
};

// One property per display rule; every column is bound to its description once the packet loads.
class FieldTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TSysClassDesc& d = entity.ClassDesc();
    d.Rec().TableName = "tTest";
    d.Rec().ClassCaption = "测试";
    const std::vector<PropSpec> specs = {
        {"Flag", "启用", 1, 1, TFieldType::ftString},     {"Amount", "金额", 13, 0, TFieldType::ftFloat},
        {"Day", "日期", 23, 0, TFieldType::ftString},     {"Code", "编码", 1, 0, TFieldType::ftString},
        {"Active", "有效", 22, 0, TFieldType::ftString},  {"Price", "单价", 13, 0, TFieldType::ftFloat},
        {"Kind", "类型", 1, 1, TFieldType::ftString},     {"Qty", "数量", 11, 0, TFieldType::ftInteger},
        {"Stamp", "时间", 21, 0, TFieldType::ftDateTime}, {"Fmt", "格式", 1, 0, TFieldType::ftString},
        {"Org", "组织", 1, 3, TFieldType::ftString},      {"OrgType", "组织类型", 1, 4, TFieldType::ftString},
        {"OrgTel", "电话", 1, 4, TFieldType::ftString},   {"Plu", "商品", 1, 2, TFieldType::ftString},
        {"At", "时刻", 24, 0, TFieldType::ftString},      {"Big", "编号", 16, 0, TFieldType::ftLargeint},
    };
    PacketWriter w;
    int id = 0;
    for (const PropSpec& s : specs) {
      TSysPropDesc& p = d.AddProp();
      p.PropId = ++id;
      p.FieldName = s.field;
      p.Caption = s.caption;
      p.DataType = static_cast<std::uint8_t>(s.dataType);
      p.EditKind = static_cast<std::uint8_t>(s.editKind);
      p.TableName = "tTest";
      w.AddField(s.field, s.storage, s.storage == TFieldType::ftString ? 40 : 0);
    }
    w.AddField("Org$", TFieldType::ftString, 40);
    w.AddField("Plu$", TFieldType::ftString, 40);
    Prop("Flag").RefId = 1;
    Prop("Amount").Decimals = 2;
    Prop("Amount").ZeroAsBlank = 1;
    Prop("Day").Required = 1;
    Prop("Code").MaxLength = 3;
    Prop("Price").DisplayFormat = "@Fmt@";
    Prop("Price").Decimals = 2;
    Prop("Kind").RefId = 2;
    Prop("Kind").EnumList = {"1-普通", "2-管理员"};
    Prop("Qty").ZeroAsBlank = 1;
    TSysPropDesc& org = Prop("Org");
    org.RefTable = "tOrg";
    org.RefKeyField = "OrgCode";
    org.RefKeyType = 1;
    org.RefNameField = "OrgName";
    TSysPropDesc& type = Prop("OrgType");
    type.RefId = org.PropId;
    type.RefKeyField = "OrgType";
    TSysPropDesc& tel = Prop("OrgTel");
    tel.RefId = org.PropId;
    tel.RefKeyField = "Tel";
    TSysPropDesc& plu = Prop("Plu");
    plu.RefTable = "TSKUPLU";
    plu.RefMode = 2;
    plu.RefKeyField = "PluCode";
    plu.RefNameField = "PluName";
    ASSERT_TRUE(entity.SetClassData(w.FinishVariant()));
    entity.Append();
  }

  TSysPropDesc& Prop(const char* field) { return *entity.ClassDesc().FindByFieldName(field); }
  TField& Field(const char* name) { return entity.FieldByName(name); }

  CannedEntity entity;
  RecordingMessageSink sink;
  ScopedMessageSink scoped{sink};
};

TEST_F(FieldTextTest, DisplayTextByDataTypeAndFormat) {
  struct Case {
    const char* field;
    Variant value;
    const char* fmt;  // value of the Fmt column, read by the formula format of Price
    const char* shown;
  };
  const std::vector<Case> cases = {
      {"Flag", Variant("1"), "", "是"},
      {"Flag", Variant("0"), "", "否"},
      {"Amount", Variant(0.0), "", ""},
      {"Amount", Variant(3.14159), "", "3.14"},
      {"Amount", Variant(-2.5), "", "-2.50"},
      {"Active", Variant("Y"), "", "1"},
      {"Active", Variant("n"), "", "0"},
      {"Active", Variant::Null(), "", "0"},
      {"Qty", Variant(std::int32_t{0}), "", ""},
      {"Qty", Variant(std::int32_t{7}), "", "7"},
      {"Stamp", Variant::Date(EncodeDateTime(2009, 2, 3, 4, 5, 6)), "", "2009-02-03 04:05:06"},
      {"Day", Variant("2009-2-3"), "", "2009-02-03"},
      {"At", Variant("4:05:06"), "", "04:05:06"},
      {"Price", Variant(2.0), "#0.000", "2.000"},
      {"Price", Variant(2.0), "", "2.00"},  // the formula gives no text: the decimals rule
      {"Big", Variant(std::int64_t{1234567}), "", "1234567"},
      {"Day", Variant("no date"), "", ""},  // a value that cannot be shown shows nothing
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " " + c.shown);
    Field(c.field).SetValue(c.value);
    Field("Fmt").SetValue(std::string(c.fmt).empty() ? Variant::Null() : Variant(c.fmt));
    EXPECT_EQ(entity.DisplayText(Prop(c.field)), c.shown);
    // An enumeration field shows its list entry instead (the next test).
    if (Prop(c.field).EditKind != ekEnum) {
      EXPECT_EQ(Field(c.field).DisplayText(), c.shown);
    }
  }
}

TEST_F(FieldTextTest, EnumerationAndLookupShowCodeAndName) {
  Field("Kind").SetValue(Variant("2"));
  EXPECT_EQ(Field("Kind").DisplayText(), "2-管理员");
  EXPECT_EQ(Field("Kind").Text(), "2");
  Field("Org").SetValue(Variant("01"));
  Field("Org$").SetValue(Variant("总部"));
  EXPECT_EQ(Field("Org").DisplayText(), "01-总部");
}

TEST_F(FieldTextTest, DefaultValueShowsWhileInsertingWithoutQuotePairs) {
  struct Case {
    const char* defaultValue;
    const char* shown;
  };
  const std::vector<Case> cases = {{"'abc'", "abc"}, {"‘abc’", "abc"}, {"‘abc‘", "abc"},
                                   {"’abc’", "abc"}, {"abc", "abc"},   {"'a'b'", "a'b"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.defaultValue);
    Prop("Code").DefaultValue = c.defaultValue;
    EXPECT_EQ(Field("Code").Text(), c.shown);
    EXPECT_EQ(Field("Code").DisplayText(), c.shown);
  }
}

TEST_F(FieldTextTest, InputStoresByDataType) {
  struct Case {
    const char* field;
    const char* typed;
    const char* stored;
  };
  const std::vector<Case> cases = {
      {"Flag", "真", "1"},
      {"Flag", "是", "1"},
      {"Flag", "", "0"},
      {"Flag", "N", "0"},
      {"Amount", "1.239.5", "1.23"},
      {"Amount", "1.23", "1.23"},
      {"Amount", "-0.019", "-0.01"},
      {"Amount", "", "0"},
      {"Code", "编码长文本", "编码长"},
      {"Day", "2009-2-3", "2009-02-03"},
      {"Day", "2009-02-30", "1900-01-01"},
      {"At", "7:08:09", "07:08:09"},
      {"Kind", "2-管理员", "2"},
      {"Active", "y", "1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " " + c.typed);
    Field(c.field).Clear();
    Field(c.field).SetText(c.typed);
    EXPECT_EQ(Field(c.field).AsString(), c.stored);
  }
}

TEST_F(FieldTextTest, InvalidDateOnFilledFieldChangesNothing) {
  Field("Day").SetText("2009-02-03");
  Field("Day").SetText("2009-02-30");
  EXPECT_EQ(Field("Day").AsString(), "2009-02-03");
}

TEST_F(FieldTextTest, RefusedInputKeepsTypedTextAndOldValue) {
  // A required empty value: the message names the caption, the field keeps its value and the typed text
  // shows again while inserting.
  Prop("Code").Required = 1;
  EXPECT_THROW(Field("Code").SetText("  "), Abort);
  EXPECT_TRUE(Field("Code").IsNull());
  ASSERT_EQ(sink.Boxes().size(), 1u);
  EXPECT_EQ(sink.Boxes()[0].text, "属性\"编码\"的值不能为空！");
  EXPECT_EQ(entity.ErrorText, "属性\"编码\"的值不能为空！");
  EXPECT_EQ(Field("Code").Text(), "  ");

  // A number that is none.
  EXPECT_THROW(Field("Amount").SetText("abc"), Abort);
  EXPECT_TRUE(Field("Amount").IsNull());
  EXPECT_EQ(Prop("Amount").BadText, "abc");

  // A code that must exist in its enumeration.
  Prop("Kind").MustExist = 1;
  EXPECT_THROW(Field("Kind").SetText("9"), Abort);
  EXPECT_EQ(sink.Boxes().back().text,
            "您录入的项目“类型”的值“9”不存在或不符合限制条件，请检查。\r具体限制条件请参阅软件使用说明书。");
  Field("Kind").SetText("1");
  EXPECT_EQ(Field("Kind").AsString(), "1");
}

TEST_F(FieldTextTest, CheckAtPostFillsErrorTextOnly) {
  Prop("Code").Required = 1;
  EXPECT_FALSE(entity.CheckValue(Prop("Code"), "", false, Variant()));
  EXPECT_EQ(entity.ErrorText, "属性\"编码\"的值不能为空！");
  EXPECT_TRUE(sink.Boxes().empty());
  Prop("Code").AutoKind = 1;  // filled by the server
  EXPECT_TRUE(entity.CheckValue(Prop("Code"), "", false, Variant()));
}

TEST_F(FieldTextTest, LookupFillsNameAndDependents) {
  entity.answers = {
      {"FROM tOrg", TextRows({"OrgCode", "OrgName", "OrgType", "Tel"}, {{"0'1", "总部", "H", "110"}})}};
  Field("Org").SetText("0'1-whatever");
  ASSERT_FALSE(entity.statements.empty());
  EXPECT_EQ(entity.statements.back(), " SELECT * FROM tOrg WHERE OrgCode='0''1'");
  EXPECT_EQ(Field("Org").AsString(), "0'1");
  EXPECT_EQ(Field("Org$").AsString(), "总部");
  EXPECT_EQ(Field("OrgType").AsString(), "H");
  EXPECT_EQ(Field("OrgTel").AsString(), "110");

  // Emptying the code empties the name and the dependents.
  Field("Org").SetText("");
  EXPECT_TRUE(Field("Org$").IsNull());
  EXPECT_TRUE(Field("OrgType").IsNull());
  EXPECT_TRUE(Field("OrgTel").IsNull());

  // With query kind 0 the typed code stays without name.
  entity.ClassDesc().SetQueryKind(0);
  entity.statements.clear();
  Field("Org").SetText("02");
  EXPECT_TRUE(entity.statements.empty());
  EXPECT_EQ(Field("Org").AsString(), "02");
  EXPECT_TRUE(Field("Org$").IsNull());
}

TEST_F(FieldTextTest, LookupOfNumericKeyRefusesText) {
  Prop("Org").RefKeyType = 11;
  TClientDataSet rows;
  std::string name, key;
  EXPECT_FALSE(entity.LookupQuery(rows, Prop("Org"), true, "1 OR 1=1", name, key));
  EXPECT_TRUE(entity.statements.empty());
  EXPECT_TRUE(entity.LookupQuery(rows, Prop("Org"), true, "12", name, key));
  EXPECT_EQ(entity.statements.back(), " SELECT * FROM tOrg WHERE OrgCode=12");
}

TEST_F(FieldTextTest, ArticleSearchByCodeBarCodeAndSecondaryBarCode) {
  TSysPropDesc& plu = Prop("Plu");
  TClientDataSet rows;
  std::string name, key;

  // Found by its bar code in the article table: the PluCode of the row whose BarCode matches.
  entity.answers = {{"FROM TSKUPLU WHERE (PluCode=",
                     TextRows({"PluCode", "BarCode", "CargoNo"}, {{"A1", "X", "C"}, {"B2", "690", "D"}})}};
  std::string typed = "690";
  EXPECT_TRUE(entity.ExistsInLookup(plu, typed));
  EXPECT_EQ(typed, "B2");
  EXPECT_EQ(entity.statements.back(),
            " SELECT PluCode,BarCode,CargoNo FROM TSKUPLU WHERE (PluCode='690' Or CargoNo='690' Or "
            "BarCode='690') and IsActive='1' ");

  // The condition translation finds article codes the same way.
  std::string article;
  EXPECT_TRUE(entity.FindArticleCode("690", article));
  EXPECT_EQ(article, "B2");

  // Found only by a secondary bar code: resolved through tSkuMulBar, key field "BarCode".
  entity.answers = {{"FROM tSkuMulBar", TextRows({"PluID"}, {{"42"}})},
                    {"WHERE PluID =42", TextRows({"PluCode"}, {{"P42"}})}};
  entity.statements.clear();
  EXPECT_TRUE(entity.LookupQuery(rows, plu, true, "9'9", name, key));
  EXPECT_EQ(name, "P42");
  EXPECT_EQ(key, "BarCode");
  ASSERT_EQ(entity.statements.size(), 3u);
  EXPECT_EQ(entity.statements[1],
            " SELECT PluID FROM tSkuMulBar WHERE BarCode='9''9' AND EXISTS(SELECT 1 FROM TSKUPLU WHERE "
            "PluID=tSkuMulBar.PluID and IsActive='1' )");
  EXPECT_EQ(entity.statements[2], " SELECT PluCode FROM TSKUPLU WHERE PluID =42");

  // Found nowhere: not found, and an empty result with the right columns.
  entity.answers.clear();
  typed = "nothing";
  EXPECT_FALSE(entity.ExistsInLookup(plu, typed));
  EXPECT_EQ(entity.statements.back(), " SELECT PluCode FROM TSKUPLU WHERE 1=2");
  EXPECT_FALSE(entity.FindArticleCode("nothing", article));
}

TEST_F(FieldTextTest, PickListOfLookupListsCodeAndName) {
  entity.answers = {{"SELECT OrgCode,OrgName FROM tOrg",
                     TextRows({"OrgCode", "OrgName"}, {{"01", "总部"}, {"02 ", "分店"}})}};
  std::vector<std::string> list, codes;
  entity.GetPickList(Prop("Org"), list, &codes);
  EXPECT_EQ(list, (std::vector<std::string>{"01-总部", "02-分店"}));
  EXPECT_EQ(codes, (std::vector<std::string>{"01", "02"}));
  entity.GetPickList(Prop("Kind"), list, &codes);
  EXPECT_EQ(codes, (std::vector<std::string>{"1", "2"}));
}

TEST_F(FieldTextTest, ExpressionTextRunsAfterInput) {
  Prop("Code").ExpText = "Fmt = \"set by \" + Code";
  Field("Code").SetText("ab");
  EXPECT_EQ(Field("Fmt").AsString(), "set by ab");
}

}  // namespace
}  // namespace sw
