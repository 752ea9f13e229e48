// The entity against the scripted server: initialisation, searches with their statistics, packet loads with
// column rights, and the error reporting.
#include <gtest/gtest.h>

#include "EntityFixture.h"
#include "sw/core/DateTime.h"
#include "sw/core/Error.h"
#include "sw/core/Text.h"
#include "sw/hostvars/HostVars.h"

namespace sw {
namespace {

using entitytest::EntityServerTest;
using entitytest::TextPacket;
using entitytest::UsersDescPacket;
using entitytest::UsersPacket;
using testing::RecordedCall;

// Scripts the replies every entity test needs: the description, enumeration 2, the expression texts.
void ScriptDictionary(testing::TestServer& server, std::int32_t classId = 2002) {
  server.Reply("Icomm", rcGetClassDesc, UsersDescPacket(classId));
  server.On("Icomm", rcOpenSQL, [](const RecordedCall&, std::vector<Variant>& args) -> Variant {
    const std::string sql = args[1].ToString();
    if (FindText(sql, "tSysText") != std::string::npos)
      return TextPacket({"TextCode", "ExpText"}, {{"USR_NAME", "[备注]:=1"}});
    if (FindText(sql, "EnumValueID") != std::string::npos)
      return TextPacket({"EnumValueID", "EnumValueName"}, {{"0", "普通用户"}, {"1", "管理员"}});
    return Variant("unexpected statement: " + sql);
  });
}

// The header of a description as the server received it.
TSysClassDescRec SentHeader(const Variant& packet) {
  TSysClassDesc d;
  d.LoadFromVariant(packet, false);
  return d.Rec();
}

TEST_F(EntityServerTest, InitLoadsDescriptionEnumerationsTextsOrderAndIndex) {
  ScriptDictionary(server);
  TSysClassEntity e(2002);
  ASSERT_TRUE(e.Init(lt_PRC));
  const TSysClassDesc& d = e.ClassDesc();
  EXPECT_EQ(d.Rec().TableName, "tUsrUser");
  // Display orders 50, 20, 10, 40, 60, 30 rank the properties 5, 2, 1, 4, 6, 3.
  const std::vector<int> ranks = {4, 1, 0, 3, 5, 2};
  for (int n = 1; n <= 6; ++n) EXPECT_EQ(d.Prop(n)->DispIndex, ranks[n - 1]) << n;
  EXPECT_EQ(d.Prop(4)->EnumList, (std::vector<std::string>{"0-普通用户", "1-管理员"}));
  EXPECT_EQ(d.Prop(3)->ExpText, "[备注]:=1");
  EXPECT_EQ(d.Prop(5)->Condition, "OrgCode<>'0101'");
  EXPECT_EQ(d.Prop(5)->RefCondition, "IsActive='1' AND OrgType='O''1'");
  EXPECT_TRUE(e.ConditionsChanged);
  EXPECT_EQ(e.IndexFieldNames(), "UserCode;UserName");

  const auto sql = server.CallsOf(rcOpenSQL);
  ASSERT_EQ(sql.size(), 2u);
  EXPECT_EQ(
      sql[1].args[1].ToString(),
      "SELECT TextCode, ExpText FROM tSysText WHERE OrgCode='*' And FileType=3 And TextCode in ('USR_NAME')");
  const auto desc = server.CallsOf(rcGetClassDesc);
  ASSERT_EQ(desc.size(), 1u);
  EXPECT_EQ(desc[0].args[1].ToInt32(), 2002);
  EXPECT_EQ(desc[0].args[2].ToInt32(), lt_PRC);

  // Init again, with 0 or the same language, asks nothing; another language fetches the description again.
  EXPECT_TRUE(e.Init(0));
  EXPECT_TRUE(e.Init(lt_PRC));
  EXPECT_EQ(server.CountOf(rcGetClassDesc), 1u);
  EXPECT_TRUE(e.Init(lt_USA));
  ASSERT_EQ(server.CountOf(rcGetClassDesc), 2u);
  EXPECT_EQ(server.CallsOf(rcGetClassDesc)[1].args[2].ToInt32(), lt_USA);
  EXPECT_TRUE(sink.Boxes().empty());
}

TEST_F(EntityServerTest, InitTablesAndFixedWhere) {
  ScriptDictionary(server);
  server.Reply("Icomm", rcSearchClassData,
               Variant::Array({UsersPacket({{"001", "张三", 1.5}}), std::int32_t{57}}));
  struct Case {
    std::vector<std::string> tables;
    std::string fromText;
  };
  const std::vector<Case> cases = {
      {{}, ""},
      {{"tA"}, "tA tUsrUser"},
      {{"tA", "tB"}, "(SELECT * FROM tA UNION SELECT * FROM tB) tUsrUser"},
      {{"tA", "tB", "tC"}, "(SELECT * FROM tA UNION SELECT * FROM tB UNION SELECT * FROM tC) tUsrUser"},
  };
  for (const Case& c : cases) {
    TSysClassEntity e(2002);
    EXPECT_TRUE(e.InitTables(c.tables, lt_PRC));
    EXPECT_EQ(e.ClassDesc().FromText(), c.fromText);
  }

  TSysClassEntity e(2002);
  e.FixedWhere = "IsActive='0'";
  server.ClearCalls();
  ASSERT_TRUE(e.SearchWhere("[用户编码]='001'", "pass", 1, 2));
  ASSERT_TRUE(e.SearchWhere("", "", 1, 2));
  const auto calls = server.CallsOf(rcSearchClassData);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].args[0].ToString(), "@L-1");
  EXPECT_EQ(calls[0].args[2].ToString(), "");
  EXPECT_EQ(calls[0].args[3].ToString(), "pass");
  EXPECT_EQ(calls[0].args[4].ToString(), "( UserCode = '001' ) AND ( IsActive = '0' )");
  EXPECT_EQ(calls[1].args[4].ToString(), "IsActive = '0'");
  EXPECT_EQ(e.RecordTotal, 57);
  EXPECT_EQ(e.FieldByName("UserName").Text(), "张三");
}

TEST_F(EntityServerTest, SearchSendsExpandedDescriptionAndRestoresConditions) {
  ScriptDictionary(server);
  server.Reply("Icomm", rcSearchClassData, UsersPacket({{"001", "张三", 1.5}, {"002", "李四", 0}}));
  TSysClassEntity e(2002);
  ASSERT_TRUE(e.Init(lt_PRC));
  // A class whose conditions were not rewritten sends a header only, without the server's cache text.
  e.ConditionsChanged = false;
  ASSERT_TRUE(e.SearchWhere("", "", 1, 4));
  TSysClassDescRec sent = SentHeader(server.CallsOf(rcSearchClassData).back().args[1]);
  EXPECT_EQ(sent.FullDesc, 0);
  EXPECT_EQ(sent.QueryKind, 1);
  EXPECT_EQ(sent.SearchFlag, 4);
  EXPECT_EQ(sent.ServerCache, "");
  EXPECT_EQ(e.ClassDesc().ServerCache(), "cache-1");
  // Another field list, like another query kind, empties the server's cache text.
  ASSERT_TRUE(e.SearchFields("UserCode,UserName", "", "", 1, 4));
  EXPECT_EQ(server.CallsOf(rcSearchClassData).back().args[2].ToString(), "UserCode,UserName");
  EXPECT_EQ(e.ClassDesc().ServerCache(), "");
  EXPECT_EQ(e.RecordTotal, -1);
  EXPECT_EQ(e.RecNo(), 1);

  // A subclass that rewrites conditions makes the whole description travel; the originals come back.
  struct Expanding : TSysClassEntity {
    Expanding() : TSysClassEntity(2002) {}
    std::string ExpandCondition(const std::string& text, bool) override { return text + " AND 1=1"; }
  } x;
  ASSERT_TRUE(x.Init(lt_PRC));
  x.ConditionsChanged = false;
  ASSERT_TRUE(x.SearchWhere("", "", 1, 0));
  TSysClassDesc full;
  full.LoadFromVariant(server.CallsOf(rcSearchClassData).back().args[1], false);
  EXPECT_EQ(full.Rec().FullDesc, 1);
  ASSERT_EQ(full.PropCount(), 6);
  EXPECT_EQ(full.Prop(5)->Condition, "OrgCode<>'0101' AND 1=1");
  EXPECT_EQ(x.ClassDesc().Prop(5)->Condition, "OrgCode<>'0101'");
  EXPECT_EQ(x.ClassDesc().ServerCache(), "");
}

TEST_F(EntityServerTest, TimingModeStatistics) {
  ScriptDictionary(server);
  const Variant packet = UsersPacket({{"001", "张三", 1.5}});
  server.On("Icomm", rcSearchClassData, [packet](const RecordedCall&, std::vector<Variant>&) {
    std::vector<Variant> items = {packet};
    for (int i = 0; i < 5; ++i) items.push_back(Variant::Date(Now()));
    return Variant::Array(items, 0);
  });
  TSysClassEntity e(2002);
  ASSERT_TRUE(e.SearchFields("@TIME@", "", "", 1, 0));
  EXPECT_EQ(server.CallsOf(rcSearchClassData)[0].args[0].ToString(), "L-1");
  EXPECT_EQ(e.PacketSize, packet.AsBytes().High());
  EXPECT_EQ(e.RecordTotal, packet.AsBytes().High());
  for (double t : e.ServerTimes) EXPECT_GE(t, 0.0);
  EXPECT_LE(e.ServerTimes[5], e.ServerTimes[6]);
  EXPECT_LE(e.ServerTimes[6], e.ReplyTime);
  EXPECT_LE(e.ReplyTime, e.LoadTime);
  EXPECT_EQ(e.RecordCount(), 1);
}

TEST_F(EntityServerTest, ColumnRightsMaskAColumn) {
  ScriptDictionary(server);
  server.Reply("Icomm", rcReadClassData, UsersPacket({{"001", "张三", 1.5}, {"002", "李四", 2}}));
  auto rights = std::make_shared<TClientDataSet>();
  rights->AddFieldDef("ClassID", TFieldType::ftInteger);
  rights->AddFieldDef("PropId", TFieldType::ftInteger);
  rights->CreateDataSet();
  rights->AppendRecord({std::int32_t{2002}, std::int32_t{3}});
  rights->AppendRecord({std::int32_t{2001}, std::int32_t{2}});
  SetCdsList("ColRight", rights);

  TSysClassEntity e(2002);
  ASSERT_TRUE(e.Read("UserCode<>''", 1));
  for (e.First(); !e.Eof(); e.Next()) {
    EXPECT_EQ(e.FieldByName("UserName").Text(), "*");
    EXPECT_EQ(e.FieldByName("UserName").DisplayText(), "*");
    EXPECT_NE(e.FieldByName("UserCode").Text(), "*");  // class 2001's right does not apply here
  }
  EXPECT_EQ(server.CallsOf(rcReadClassData)[0].args[2].ToString(), "UserCode<>''");
  // Fields are bound to their properties both ways; a field without a property stays unbound.
  TSysPropDesc* name = e.ClassDesc().Prop(3);
  EXPECT_EQ(name->Field, &e.FieldByName("UserName"));
  EXPECT_EQ(PropOfField(e.FieldByName("UserName")), name);
  EXPECT_EQ(e.ClassDesc().Prop(4)->Field, nullptr);

  // Without rights for this class nothing is masked.
  rights->First();
  rights->Delete();
  ASSERT_TRUE(e.Read("", 1));
  EXPECT_EQ(e.FieldByName("UserName").Text(), "张三");
  SetCdsList("ColRight", nullptr);
}

TEST_F(EntityServerTest, NonPacketRepliesAreIgnored) {
  ScriptDictionary(server);
  server.Reply("Icomm", rcReadClassData, UsersPacket({{"001", "张三", 1.5}}));
  TSysClassEntity e(2002);
  ASSERT_TRUE(e.Read("", 1));
  EXPECT_FALSE(e.SetClassData(Variant(std::int32_t{5})));
  EXPECT_EQ(e.RecordCount(), 1);  // the data set keeps its content

  server.Reply("Icomm", rcGetClassDesc, Variant());
  TSysClassEntity blank(2003);
  EXPECT_FALSE(blank.Init(lt_PRC));
  EXPECT_TRUE(sink.Boxes().empty());
}

TEST_F(EntityServerTest, ServerErrorsAreLoggedAndShown) {
  ScriptDictionary(server);
  server.Reply("Icomm", rcSearchClassData, Variant("ORA-00942: 表不存在"));
  struct Case {
    std::int32_t classId;
    const char* source;  // nullptr: no log entry
    std::string_view message;
  };
  const std::vector<Case> cases = {
      {2002, "TSysClassEntity.Search", kEntityDataError},
      {1017, nullptr, kLogQuerySearchError},
  };
  for (const Case& c : cases) {
    server.Reply("Icomm", rcGetClassDesc, UsersDescPacket(c.classId));
    server.ClearCalls();
    sink.Clear();
    TSysClassEntity e(c.classId);
    EXPECT_FALSE(e.SearchWhere("", "", 1, 0));
    ASSERT_EQ(sink.Boxes().size(), 1u);
    EXPECT_EQ(sink.Boxes()[0].text, c.message);
    EXPECT_EQ(sink.Boxes()[0].kind, MessageKind::Information);
    EXPECT_EQ(sink.Boxes()[0].caption, "Norvik商业");
    const auto logs = server.CallsOf(rcWriteSysLog);
    if (c.source == nullptr) {
      EXPECT_TRUE(logs.empty());
      continue;
    }
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0].args[0].ToString(), "L-1");
    EXPECT_EQ(logs[0].args[1].ToString(), c.source);
    EXPECT_EQ(logs[0].args[2].ToString(), "ORA-00942: 表不存在");
  }
}

TEST_F(EntityServerTest, InitErrorsAreLoggedAndShown) {
  server.Reply("Icomm", rcGetClassDesc, Variant("类不存在"));
  struct Case {
    std::int32_t classId;
    bool logged;
    std::string_view message;
  };
  for (const Case& c : std::vector<Case>{{2002, true, kEntityDataError}, {1017, false, kLogQueryInitError}}) {
    server.ClearCalls();
    sink.Clear();
    TSysClassEntity e(c.classId);
    EXPECT_FALSE(e.Init(lt_PRC));
    ASSERT_EQ(sink.Boxes().size(), 1u);
    EXPECT_EQ(sink.Boxes()[0].text, c.message);
    const auto logs = server.CallsOf(rcWriteSysLog);
    ASSERT_EQ(logs.size(), c.logged ? 1u : 0u);
    if (c.logged) {
      EXPECT_EQ(logs[0].args[1].ToString(), "TSysClassEntity.Init");
      EXPECT_EQ(logs[0].args[2].ToString(), "类不存在\r\n\r\n数据类号为：2002初始化失败!");
      EXPECT_EQ(e.ErrorText, "类不存在\r\n\r\n数据类号为：2002初始化失败!");
    }
  }
}

TEST_F(EntityServerTest, MalformedPacketIsReported) {
  ScriptDictionary(server);
  server.Reply("Icomm", rcReadClassData, Variant::Bytes(std::string("not a packet")));
  TSysClassEntity e(2002);
  EXPECT_FALSE(e.Read("", 1));
  ASSERT_EQ(server.CountOf(rcWriteSysLog), 1u);
  EXPECT_EQ(server.CallsOf(rcWriteSysLog)[0].args[1].ToString(), "TSysClassEntity.SetClassData");
  ASSERT_EQ(sink.Boxes().size(), 1u);
  EXPECT_EQ(e.LoadDepth, 0);
}

TEST_F(EntityServerTest, RefConditionsAndExpansion) {
  ScriptDictionary(server);
  server.Reply("Icomm", rcReadClassData, UsersPacket({{"0'1", "张三", 1.5}}));
  TSysClassEntity e(2002);
  ASSERT_TRUE(e.Read("", 1));
  TSysPropDesc& org = *e.ClassDesc().Prop(5);
  org.RefCondition = "&CURRTABLE&.Code=[UserCode] AND Name=[用户名称] AND Amt>[金额]";
  EXPECT_EQ(e.ExpandRefCondition(org), "tOrgManage.Code='0''1' AND Name='张三' AND Amt>1.5");
  EXPECT_EQ(e.ExpandCondition("tUsrUser.UserCode=X AND TUSRUSER.USERNAME<>''", true),
            "'0''1'=X AND '张三'<>''");
  EXPECT_EQ(e.ExpandCondition("tUsrUser.UserCode=X", false), "tUsrUser.UserCode=X");
  EXPECT_EQ(e.ExpandCondition("  ", true), "");

  e.ClassDesc().SetFullDesc(0);
  org.Condition.clear();
  e.ApplyRefConditions({5, 0, 99});
  EXPECT_EQ(org.Condition, "tOrgManage.Code='0''1' AND Name='张三' AND Amt>1.5");
  EXPECT_EQ(e.ClassDesc().FullDesc(), 1);
  EXPECT_EQ(e.ClassDesc().ServerCache(), "");
  e.ClearRefConditions({5});
  EXPECT_EQ(org.Condition, "");
}

}  // namespace
}  // namespace sw

namespace sw {
namespace {

TEST(EntityDefaultValueTest, EnclosingMarksAreRemovedOnce) {
  struct Case {
    const char* value;
    bool has;
    const char* text;
  };
  const std::vector<Case> cases = {
      {"", false, ""},        {"  ", false, ""},      {"'01'", true, "01"},
      {"''x''", true, "'x'"}, {"‘甲’", true, "甲"},   {"‘乙‘", true, "乙"},
      {"’丙’", true, "丙"},   {"'‘丁’'", true, "丁"}, {"SYSTEM.X", true, "SYSTEM.X"},
      {"'", true, "'"},
  };
  TSysClassEntity e(2002);
  TSysPropDesc prop;
  for (const Case& c : cases) {
    prop.DefaultValue = c.value;
    std::string text;
    EXPECT_EQ(e.DefaultValueText(prop, text), c.has) << c.value;
    if (c.has) {
      EXPECT_EQ(text, c.text) << c.value;
    }
  }
}

TEST_F(EntityServerTest, SaveSendsTheChangeLogAndReportsRefusals) {
  ScriptDictionary(server);
  server.Reply("Icomm", rcReadClassData, UsersPacket({{"001", "张三", 1.5}}));
  struct Case {
    Variant reply;
    bool saved;
    std::string shown;  // empty: no message
  };
  const std::vector<Case> cases = {
      {Variant(std::int32_t{1}), true, ""},
      {Variant(std::int32_t{0}), false, std::string(kSaveErrorShown)},
      {Variant("@编码重复"), false, "编码重复"},
      {Variant("constraint failed"), false, std::string(kSaveErrorShown)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply.ToString());
    server.Reply("Icomm", rcSaveClassData, c.reply);
    server.ClearCalls();
    sink.Clear();
    TSysClassEntity e(2002);
    e.AutoSave = false;  // the post keeps the change; the explicit save below sends it
    ASSERT_TRUE(e.Read("", 1));
    EXPECT_TRUE(e.Save(""));  // nothing to save: no call
    e.Edit();
    e.FieldByName("UserName").SetAsString("李四");
    e.Post();
    e.SaveText = "saved by test";
    EXPECT_EQ(e.Save(""), c.saved);
    const auto calls = server.CallsOf(rcSaveClassData);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].args[3].ToString(), "saved by test");
    EXPECT_EQ(e.ChangeCount(), c.saved ? 0 : 1);
    if (c.shown.empty()) {
      EXPECT_TRUE(sink.Boxes().empty());
      EXPECT_EQ(server.CountOf(rcWriteSysLog), 0u);
    } else {
      ASSERT_EQ(sink.Boxes().size(), 1u);
      EXPECT_EQ(sink.Boxes()[0].text, c.shown);
      ASSERT_EQ(server.CountOf(rcWriteSysLog), 1u);
      EXPECT_EQ(server.CallsOf(rcWriteSysLog)[0].args[1].ToString(), "TSysClassEntity.Save");
    }
  }
}

TEST_F(EntityServerTest, DeleteWhereNeedsACondition) {
  ScriptDictionary(server);
  TSysClassEntity e(2002);
  ASSERT_TRUE(e.Init(lt_PRC));
  server.ClearCalls();
  EXPECT_THROW(e.DeleteWhere(""), Error);
  EXPECT_EQ(server.CountOf(rcOpenSQL), 0u);
  server.Reply("Icomm", rcOpenSQL, Variant());
  e.DeleteWhere("UserCode='001'");
  ASSERT_EQ(server.CountOf(rcOpenSQL), 1u);
  EXPECT_EQ(server.CallsOf(rcOpenSQL)[0].args[1].ToString(), "DELETE FROM tUsrUser WHERE UserCode='001'");
}

TEST_F(EntityServerTest, PickListsOfEnumerations) {
  ScriptDictionary(server);
  TSysClassEntity e(2002);
  ASSERT_TRUE(e.Init(lt_PRC));
  std::vector<std::string> list = {"stale"}, codes = {"stale"};
  e.GetPickList(*e.ClassDesc().Prop(4), list, &codes);
  EXPECT_EQ(list, (std::vector<std::string>{"0-普通用户", "1-管理员"}));
  EXPECT_EQ(codes, (std::vector<std::string>{"0", "1"}));
  std::vector<std::string> untouched = {"kept"};
  e.GetPickList(*e.ClassDesc().Prop(2), untouched, nullptr);
  EXPECT_EQ(untouched, (std::vector<std::string>{"kept"}));
}

}  // namespace
}  // namespace sw
