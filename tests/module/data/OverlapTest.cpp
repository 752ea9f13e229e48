// The overlap check: typed values whose combination of overlap fields is already loaded are refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sw/common/MessageSink.h"
#include "sw/core/Error.h"
#include "sw/data/UsysBaseOverlapBl.h"
#include "sw/dataset/Packet.h"

namespace sw {
namespace {

class OverlapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TSysClassDesc& d = entity.ClassDesc();
    d.Rec().TableName = "tLine";
    PacketWriter w;
    int id = 0;
    for (const char* f : {"A", "B", "C"}) {
      TSysPropDesc& p = d.AddProp();
      p.PropId = ++id;
      p.FieldName = f;
      p.Caption = f;
      p.DataType = 1;
      w.AddField(f, TFieldType::ftString, 10);
    }
    for (const char* a : {"1", "2"}) {
      w.AddText(a);
      w.AddText("x");
      w.AddText("c");
      w.EndRow();
    }
    ASSERT_TRUE(entity.SetClassData(w.FinishVariant()));
    entity.SetOverlapFields("A;B");
    entity.CheckOverlap = true;
    entity.BuildKeyList();
  }
  // Types `text` into field A of the row whose A is `row`; true when accepted.
  bool Type(const char* row, const char* text) {
    EXPECT_TRUE(entity.Locate("A", Variant(row)));
    entity.Edit();
    try {
      entity.FieldByName("A").SetText(text);
    } catch (const Abort&) {
      entity.Cancel();
      return false;
    }
    entity.Post();
    return true;
  }

  TSysMasterDetailOverlap entity{7001};
  RecordingMessageSink sink;
  ScopedMessageSink scoped{sink};
};

TEST_F(OverlapTest, RepeatedCombinationRefused) {
  EXPECT_EQ(entity.KeyList(), (std::vector<std::string>{"1;x", "2;x"}));
  EXPECT_FALSE(Type("1", "2"));
  ASSERT_EQ(sink.Boxes().size(), 1u);
  EXPECT_EQ(sink.Boxes()[0].text, "数据重复！请修改后再保存！");
  EXPECT_EQ(entity.FieldByName("A").AsString(), "1");

  EXPECT_TRUE(Type("1", "3"));
  EXPECT_EQ(entity.KeyList(), (std::vector<std::string>{"3;x", "2;x"}));
  EXPECT_TRUE(Type("3", "3")) << "the same value again is not checked";
  EXPECT_EQ(sink.Boxes().size(), 1u);
}

TEST_F(OverlapTest, DeletedCombinationFreeAtOnce) {
  ASSERT_TRUE(entity.Locate("A", Variant("2")));
  entity.Delete();
  EXPECT_EQ(entity.KeyList(), (std::vector<std::string>{"1;x"}));
  EXPECT_TRUE(Type("1", "2"));
  EXPECT_EQ(entity.KeyList(), (std::vector<std::string>{"2;x"}));

  // An inserted row adds its key.
  entity.Append();
  entity.FieldByName("A").SetText("5");
  entity.FieldByName("B").SetText("x");
  entity.Post();
  EXPECT_EQ(entity.KeyList(), (std::vector<std::string>{"2;x", "5;x"}));
}

TEST_F(OverlapTest, CheckOffChecksNothing) {
  entity.CheckOverlap = false;
  EXPECT_TRUE(Type("1", "2"));
  EXPECT_EQ(entity.KeyList(), (std::vector<std::string>{"1;x", "2;x"})) << "not kept while off";
  EXPECT_TRUE(sink.Boxes().empty());
}

}  // namespace
}  // namespace sw
