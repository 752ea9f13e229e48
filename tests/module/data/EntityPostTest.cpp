// Posting records of the entity without a server: checks of every property, defaults, the duplicate check
// and the upkeep of consecutive order numbers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sw/common/MessageSink.h"
#include "sw/core/Error.h"
#include "sw/data/sysBaseBL.h"
#include "sw/dataset/Packet.h"

namespace sw {
namespace {

// Class "单据" with a key, a code, a name and an order number; three saved records 1 A/甲, 2 B/乙, 3 C/丙.
class PostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TSysClassDesc& d = entity.ClassDesc();
    d.Rec().TableName = "tBill";
    struct P {
      const char* field;
      const char* caption;
      int type;
    };
    const std::vector<P> props = {
        {"Id", "序号", 11}, {"Code", "编码", 1}, {"Name", "名称", 1}, {"Ord", "顺序", 11}};
    int id = 0;
    for (const P& p : props) {
      TSysPropDesc& prop = d.AddProp();
      prop.PropId = ++id;
      prop.FieldName = p.field;
      prop.Caption = p.caption;
      prop.DataType = static_cast<std::uint8_t>(p.type);
    }
    Prop("Id").IsKey = 1;
    Prop("Ord").AutoOrder = 1;
    PacketWriter w;
    w.AddField("Id", TFieldType::ftInteger);
    w.AddField("Code", TFieldType::ftString, 10);
    w.AddField("Name", TFieldType::ftString, 10);
    w.AddField("Ord", TFieldType::ftInteger);
    const std::vector<std::pair<std::string, std::string>> rows = {{"A", "甲"}, {"B", "乙"}, {"C", "丙"}};
    std::int64_t n = 0;
    for (const auto& [code, name] : rows) {
      w.AddInt(++n);
      w.AddText(code);
      w.AddText(name);
      w.AddInt(n);
      w.EndRow();
    }
    ASSERT_TRUE(entity.SetClassData(w.FinishVariant()));
    entity.AutoSave = false;
  }

  TSysPropDesc& Prop(const char* field) { return *entity.ClassDesc().FindByFieldName(field); }
  void Add(std::int32_t id, const std::string& code, const std::string& name) {
    entity.Append();
    entity.FieldByName("Id").SetAsInteger(id);
    if (!code.empty()) entity.FieldByName("Code").SetAsString(code);
    if (!name.empty()) entity.FieldByName("Name").SetAsString(name);
    entity.Post();
  }
  // The order numbers by code, in code order.
  std::string Orders() {
    std::string text;
    entity.SetIndexFieldNames("Code");
    for (entity.First(); !entity.Eof(); entity.Next())
      text += entity.FieldByName("Code").AsString() + entity.FieldByName("Ord").AsString() + " ";
    return text;
  }

  TSysClassEntity entity{4001};
  RecordingMessageSink sink;
  ScopedMessageSink scoped{sink};
};

TEST_F(PostTest, FailingChecksGiveOneMessageAndKeepTheRecordInserting) {
  Prop("Code").Required = 1;
  Prop("Name").Required = 1;
  EXPECT_THROW(Add(4, "", ""), Abort);
  EXPECT_EQ(entity.State(), TDataSetState::dsInsert);
  EXPECT_TRUE(entity.Modified());
  ASSERT_EQ(sink.Boxes().size(), 1u);
  EXPECT_EQ(sink.Boxes()[0].text, "\r\n属性\"编码\"的值不能为空！\r\n属性\"名称\"的值不能为空！");

  // Corrected, the same record posts.
  entity.FieldByName("Code").SetAsString("D");
  entity.FieldByName("Name").SetAsString("丁");
  entity.Post();
  EXPECT_EQ(entity.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(entity.ChangeCount(), 1);

  // Without the check the same empty values post.
  entity.Append();
  entity.FieldByName("Id").SetAsInteger(9);
  entity.PostWithoutCheck(false);
  EXPECT_EQ(entity.State(), TDataSetState::dsBrowse);
  EXPECT_TRUE(entity.CheckOnPost);
}

TEST_F(PostTest, DefaultsFillEmptyFieldsAtPost) {
  Prop("Name").DefaultValue = "'无名'";
  Add(4, "D", "");
  EXPECT_EQ(entity.FieldByName("Name").AsString(), "无名");
  Add(5, "E", "有名");
  EXPECT_EQ(entity.FieldByName("Name").AsString(), "有名");
}

TEST_F(PostTest, DuplicateCheck) {
  entity.UniqueFields = {"Code", "Name"};
  struct Case {
    int uniqueCheck;
    int answer;  // to the question of check 2; 0: none asked
    bool posted;
    std::string message;  // the box shown (check 1) or asked (check 2)
  };
  const std::vector<Case> cases = {
      {1, 0, false, "属性\"编码,名称\"的数据重复!"},
      {2, id::kNo, true, "属性\"编码,名称\"的数据重复!\r\r需要修改吗？"},
      {2, id::kYes, false, "属性\"编码,名称\"的数据重复!\r\r需要修改吗？"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.uniqueCheck * 10 + c.answer);
    if (entity.State() != TDataSetState::dsBrowse) entity.TClientDataSet::Cancel();
    sink.Clear();
    entity.UniqueCheck = c.uniqueCheck;
    if (c.answer != 0) sink.Answer(c.answer);
    const int before = entity.ChangeCount();
    bool posted = true;
    try {
      Add(10, "B", "乙");
    } catch (const Abort&) {
      posted = false;
    }
    EXPECT_EQ(posted, c.posted);
    EXPECT_EQ(entity.ChangeCount(), before + (posted ? 1 : 0));
    ASSERT_FALSE(sink.Boxes().empty());
    EXPECT_EQ(sink.Boxes().back().text, c.message);
  }
}

TEST_F(PostTest, EditingWithoutChangingUniqueFieldsIsNoDuplicate) {
  entity.UniqueFields = {"Code"};
  entity.UniqueCheck = 1;
  entity.SetIndexFieldNames("Code");
  entity.First();
  entity.Edit();
  entity.FieldByName("Name").SetAsString("改");
  entity.Post();
  EXPECT_TRUE(sink.Boxes().empty());
  entity.Edit();
  entity.FieldByName("Code").SetAsString("C");
  EXPECT_THROW(entity.Post(), Abort);
  EXPECT_EQ(entity.State(), TDataSetState::dsEdit);
  entity.UniqueMessage = "编码已存在";
  sink.Clear();
  EXPECT_THROW(entity.Post(), Abort);
  ASSERT_EQ(sink.Boxes().size(), 1u);
  EXPECT_EQ(sink.Boxes()[0].text, "编码已存在");
}

TEST_F(PostTest, SelectModePostsWithoutChecks) {
  Prop("Code").Required = 1;
  Prop("Id").AutoKind = 1;  // would ask the server for a number
  entity.ClassDesc().SetSelectMode(1);
  Add(4, "", "");
  EXPECT_EQ(entity.State(), TDataSetState::dsBrowse);
  EXPECT_TRUE(sink.Boxes().empty());
}

TEST_F(PostTest, OrderNumbersStayConsecutive) {
  entity.AutoOrderEnabled = true;
  // A new record asking for place 2 moves the others down.
  entity.Append();
  entity.FieldByName("Id").SetAsInteger(4);
  entity.FieldByName("Code").SetAsString("D");
  entity.FieldByName("Ord").SetAsInteger(2);
  entity.Post();
  EXPECT_EQ(Orders(), "A1 B3 C4 D2 ");
  EXPECT_EQ(entity.FieldByName("Code").AsString(), "D") << "the cursor stays on the posted record";

  // A new record without a number goes last.
  entity.Append();
  entity.FieldByName("Id").SetAsInteger(5);
  entity.FieldByName("Code").SetAsString("E");
  entity.Post();
  EXPECT_EQ(Orders(), "A1 B3 C4 D2 E5 ");

  // An existing record moved to place 1.
  entity.Locate("Code", Variant("C"));
  entity.Edit();
  entity.FieldByName("Ord").SetAsInteger(1);
  entity.Post();
  EXPECT_EQ(Orders(), "A2 B4 C1 D3 E5 ");

  // A deleted record closes its gap.
  entity.Locate("Code", Variant("D"));
  entity.Delete();
  EXPECT_EQ(Orders(), "A2 B3 C1 E4 ");
}

}  // namespace
}  // namespace sw
