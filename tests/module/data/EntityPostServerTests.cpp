// Posting and deleting with the automatic save against the scripted server: server numbers on insert, the
// save after each post, a refused save keeping the record in editing, and the "@" message of the server.
#include <gtest/gtest.h>

#include "EntityFixture.h"
#include "sw/core/Error.h"

namespace sw {
namespace {

using entitytest::EntityServerTest;
using entitytest::TextPacket;
using entitytest::UsersDescPacket;
using entitytest::UsersPacket;

class PostServerTest : public EntityServerTest {
 protected:
  void SetUp() override {
    EntityServerTest::SetUp();
    server.Reply("Icomm", rcGetClassDesc, UsersDescPacket());
    // The enumeration of the user type; no expression texts.
    server.Reply("Icomm", rcOpenSQL, TextPacket({"EnumValueID", "EnumValueName"}, {{"0", "普通用户"}}));
    server.Reply("Icomm", rcReadClassData, UsersPacket({{"001", "张三", 1.5}, {"002", "李四", 2}}));
    ASSERT_TRUE(entity.Init(lt_PRC));
    ASSERT_TRUE(entity.Read("", 1));
    server.ClearCalls();
  }
  TSysClassEntity entity{2002};
};

TEST_F(PostServerTest, InsertTakesServerNumberAndSavesAtOnce) {
  entity.ClassDesc().Prop(1)->AutoKind = 1;  // UserId, a large integer
  server.Reply("Icomm", rcGetNewID, Variant("7701"));
  server.Reply("Icomm", rcSaveClassData, Variant(std::int32_t{1}));
  entity.Append();
  entity.FieldByName("UserCode").SetAsString("003");
  entity.Post();
  EXPECT_EQ(entity.FieldByName("UserId").AsLargeInt(), 7701);
  const auto ids = server.CallsOf(rcGetNewID);
  ASSERT_EQ(ids.size(), 1u);
  EXPECT_EQ(ids[0].args[1].ToInt32(), 2002);
  EXPECT_EQ(ids[0].args[2].ToInt32(), 1);
  EXPECT_EQ(server.CountOf(rcSaveClassData), 1u);
  EXPECT_EQ(entity.ChangeCount(), 0);

  // An edit takes no number.
  entity.Edit();
  entity.FieldByName("UserName").SetAsString("王五");
  entity.Post();
  EXPECT_EQ(server.CountOf(rcGetNewID), 1u);
  EXPECT_EQ(server.CountOf(rcSaveClassData), 2u);
}

TEST_F(PostServerTest, RefusedSaveKeepsTheRecordInEditing) {
  struct Case {
    Variant reply;
    std::string shown;
  };
  const std::vector<Case> cases = {{Variant("@编码重复"), "编码重复"},
                                   {Variant(std::int32_t{0}), std::string(kSaveErrorShown)}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    sink.Clear();
    server.Reply("Icomm", rcSaveClassData, c.reply);
    entity.First();
    entity.Edit();
    entity.FieldByName("UserName").SetAsString("改名");
    EXPECT_THROW(entity.Post(), Abort);
    EXPECT_EQ(entity.State(), TDataSetState::dsEdit);
    EXPECT_TRUE(entity.Modified());
    EXPECT_EQ(entity.FieldByName("UserName").AsString(), "改名");
    ASSERT_EQ(sink.Boxes().size(), 1u);
    EXPECT_EQ(sink.Boxes()[0].text, c.shown);
    entity.Cancel();  // with AutoSave the unsaved change goes too
    EXPECT_EQ(entity.ChangeCount(), 0);
    EXPECT_EQ(entity.FieldByName("UserName").AsString(), "张三");
  }
}

TEST_F(PostServerTest, RefusedSaveAfterDeleteBringsTheRecordBack) {
  server.Reply("Icomm", rcSaveClassData, Variant(std::int32_t{0}));
  entity.First();
  entity.Delete();
  EXPECT_EQ(entity.RecordCount(), 2);
  EXPECT_EQ(entity.ChangeCount(), 0);

  server.Reply("Icomm", rcSaveClassData, Variant(std::int32_t{1}));
  entity.First();
  entity.Delete();
  EXPECT_EQ(entity.RecordCount(), 1);
  EXPECT_EQ(entity.ChangeCount(), 0);
}

TEST_F(PostServerTest, LocalOnlyAndSelectModeNeverCallTheServer) {
  entity.ClassDesc().Prop(1)->AutoKind = 1;
  server.Reply("Icomm", rcGetNewID, Variant("9"));
  for (int mode = 0; mode < 2; ++mode) {
    SCOPED_TRACE(mode);
    entity.LocalOnly = mode == 0;
    entity.ClassDesc().SetSelectMode(mode == 1 ? 1 : 0);
    entity.Append();
    entity.FieldByName("UserCode").SetAsString("00" + std::to_string(5 + mode));
    entity.Post();
    EXPECT_EQ(server.CountOf(rcSaveClassData), 0u);
  }
  EXPECT_EQ(server.CountOf(rcGetNewID), 1u) << "local entities still number their records";
}

}  // namespace
}  // namespace sw
