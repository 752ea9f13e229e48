// The remote call catalogue as the server receives it and as the module reads the replies.
#include <gtest/gtest.h>

#include "ServerTestFixture.h"
#include "sw/common/PacketZip.h"
#include "sw/common/UString.h"
#include "sw/core/Error.h"
#include "sw/dataset/Packet.h"

namespace sw {
namespace {

using testing::RecordedCall;

Variant Packet(std::vector<std::pair<std::string, std::string>> rows = {{"180101", "用户信息"}}) {
  PacketWriter w;
  w.AddField("RefFunCode", TFieldType::ftString, 20);
  w.AddField("RefFunName", TFieldType::ftString, 40);
  for (auto& [code, name] : rows) {
    w.AddText(code);
    w.AddText(name);
    w.EndRow();
  }
  return w.FinishVariant();
}

const Variant kDesc = Variant::Bytes(std::string("class description stream"));
const Variant kDelta = Variant::Bytes(std::string("delta packet"));

using CatalogueTest = ServerTest;

TEST_F(CatalogueTest, ArgumentsArriveInOrderWithTheirTypes) {
  Variant data, value, keyFields, wflData, wflText;
  std::string error;
  const Variant descs = Variant::Array({kDesc, kDesc}, 0);
  const Variant deltas = Variant::Array({kDelta, Variant()}, 0);
  const std::string purge = "DELETE FROM tUsrUser WHERE UserID=7";
  server.On("Icomm", rcExecSQL, [](const RecordedCall&, std::vector<Variant>& args) {
    args[0] = Variant(std::int32_t{1});
    return Variant();
  });
  server.On("Icomm", rcGetPropValue, [](const RecordedCall&, std::vector<Variant>& args) {
    args[6] = Variant("张三");
    return Variant();
  });
  server.Reply("Icomm", rcGetNewID, Variant("7"));
  server.Reply("Icomm", rcSaveClassData, Variant(std::int32_t{1}));
  server.Reply("Icomm", rcSaveMasterDetailData, Variant(std::int32_t{1}));

  struct Case {
    const char* name;
    std::function<void()> call;
    std::string object;
    std::int32_t number;
    std::vector<Variant> args;
    std::vector<bool> byRef;
  };
  const Variant I32_0(std::int32_t{0});
  const std::vector<Case> cases = {
      {"OpenSQL",
       [&] { Intf().OpenSQL("select * from tUsrUser", data); },
       "Icomm",
       rcOpenSQL,
       {"L-1", "select * from tUsrUser"},
       {false, false}},
      {"GetNewID",
       [&] { EXPECT_EQ(Intf().GetNewID(2002, 5), 7); },
       "Icomm",
       rcGetNewID,
       {"L-1", std::int32_t{2002}, std::int32_t{5}},
       {false, false, false}},
      {"GetClassDesc",
       [&] { Intf().GetClassDesc(2002, 3, data); },
       "Icomm",
       rcGetClassDesc,
       {"L-1", std::int32_t{2002}, std::int32_t{3}},
       {false, false, false}},
      {"ReadClassData",
       [&] { Intf().ReadClassData(kDesc, "UserID=7", data); },
       "Icomm",
       rcReadClassData,
       {"L-1", kDesc, "UserID=7"},
       {false, false, false}},
      {"SearchClassData",
       [&] { Intf().SearchClassData(kDesc, "UserID,UserName", data, "IsActive='0' ", "x"); },
       "Icomm",
       rcSearchClassData,
       {"@L-1", kDesc, "UserID,UserName", "IsActive='0' ", "x"},
       {false, false, false, false, false}},
      {"SaveClassData",
       [&] { EXPECT_TRUE(Intf().SaveClassData(kDesc, kDelta, "t")); },
       "Icomm",
       rcSaveClassData,
       {"L-1", kDesc, kDelta, "t"},
       {false, false, false, false}},
      {"SaveMasterDetailData",
       [&] { EXPECT_TRUE(Intf().SaveMasterDetailData(descs, deltas, "t")); },
       "Icomm",
       rcSaveMasterDetailData,
       {"L-1", descs, deltas, "t"},
       {false, false, false, false}},
      {"WriteSysLog",
       [&] { Intf().WriteSysLog("L-2", "TSysClassEntity.Init", "出错"); },
       "Icomm",
       rcWriteSysLog,
       {"L-2", "TSysClassEntity.Init", "出错"},
       {false, false, false}},
      {"ExecSQL",
       [&] { EXPECT_EQ(ExecSQL(purge), 1); },
       "Icomm",
       rcExecSQL,
       {I32_0, "L-1", EncryptText(purge)},
       {true, false, false}},
      {"GetPropValue",
       [&] {
         GetPropValue("UserName", 2002, "UserID", "7", value);
         EXPECT_EQ(value, Variant("张三"));
       },
       "Icomm",
       rcGetPropValue,
       {I32_0, "L-1", "UserName", std::int32_t{2002}, "UserID", "7", Variant()},
       {true, false, false, false, false, false, true}},
      {"QueryData",
       [&] { QueryData("GetOprRightData", "select 1", data); },
       "Icomm",
       rcQueryData,
       {"L-1", "GetOprRightData", "select 1", Variant(), false},
       {false, true, false, true, false}},
      {"GetWflStatus",
       [&] { GetWflStatus("180614", 2002, keyFields, wflData, wflText); },
       "Icomm",
       rcGetWflStatus,
       {"12", "", "0101", "180614", "", std::int32_t{2002}, "0", "1=1", Variant(), Variant()},
       {false, true, false, false, false, false, false, false, true, true}},
      {"WriteOprLog",
       [&] { WriteOprLog("用户信息查询", "删除用户"); },
       "Icomm",
       rcWriteOprLog,
       {"L-1", "用户信息查询", "删除用户"},
       {false, false, false}},
      {"QueryTable",
       [&] { QueryTableData("tSysDutyFun", "FunType", "FunCode='1'", error, data); },
       "IGeneral",
       rcQueryTable,
       {"", EncryptText("L-1"), EncryptText("tSysDutyFun"), EncryptText("FunType"),
        EncryptText("FunCode='1'"), Variant()},
       {true, false, false, false, false, true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    server.ClearCalls();
    c.call();
    std::vector<RecordedCall> calls = server.CallsOf(c.number);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].object, c.object);
    EXPECT_EQ(calls[0].args, c.args);
    EXPECT_EQ(calls[0].byRef, c.byRef);
  }
}

TEST_F(CatalogueTest, SetPrintTimesSendsNowAndOneAndReturnsTheServersAnswer) {
  server.On("Icomm", rcSetPrintTimes, [](const RecordedCall&, std::vector<Variant>& args) {
    args[1] = Variant("打印次数已更新");
    return Variant(std::int32_t{4});
  });
  std::string error;
  TDateTime before = Now();
  EXPECT_EQ(SetPrintTimes(2002, "UserID=7", error), 4);
  EXPECT_EQ(error, "打印次数已更新");
  RecordedCall call = server.CallsOf(rcSetPrintTimes).at(0);
  ASSERT_EQ(call.args.size(), 8u);
  EXPECT_EQ(call.args[5].Type(), VarType::Date);
  EXPECT_GE(call.args[5].ToDateTime(), before);
  call.args[5] = Variant();
  EXPECT_EQ(call.args, (std::vector<Variant>{"L-1", "", std::int32_t{2002}, "PrnDate", "PrnTimes", Variant(),
                                             std::int32_t{1}, "UserID=7"}));
  EXPECT_EQ(call.byRef, (std::vector<bool>{false, true, false, false, false, true, true, false}));
}

TEST_F(CatalogueTest, TextInPlaceOfAResultRaisesExactlyThatText) {
  const std::string text = "@用户 zs 没有权限";
  struct Case {
    const char* name;
    std::int32_t number;
    std::function<void(Variant&)> call;
  };
  const std::vector<Case> cases = {
      {"OpenSQL", rcOpenSQL, [&](Variant& d) { Intf().OpenSQL("x", d); }},
      {"GetClassDesc", rcGetClassDesc, [&](Variant& d) { Intf().GetClassDesc(2002, 0, d); }},
      {"ReadClassData", rcReadClassData, [&](Variant& d) { Intf().ReadClassData(kDesc, "", d); }},
      {"SearchClassData", rcSearchClassData,
       [&](Variant& d) { Intf().SearchClassData(kDesc, "A", d, "", ""); }},
      {"SaveClassData", rcSaveClassData, [&](Variant&) { Intf().SaveClassData(kDesc, kDelta, ""); }},
      {"SaveMasterDetailData", rcSaveMasterDetailData,
       [&](Variant&) { Intf().SaveMasterDetailData(Variant::Array({kDesc}), Variant::Array({kDelta}), ""); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    server.Reply("Icomm", c.number, Variant(text));
    Variant data("unchanged");
    try {
      c.call(data);
      ADD_FAILURE() << "no error";
    } catch (const Error& e) {
      EXPECT_EQ(e.what(), text);
    }
    EXPECT_EQ(data, Variant("unchanged"));
  }
}

TEST_F(CatalogueTest, NewKeyReplies) {
  struct Case {
    Variant reply;
    std::optional<std::int64_t> id;  // none: raises
  };
  const std::vector<Case> cases = {
      {Variant("4294967296123"), 4294967296123LL},
      {Variant(std::int64_t{1} << 40), std::int64_t{1} << 40},
      {Variant("-5"), -5},
      {Variant("函数 GetNewID 执行失败: 序号表被锁定"), std::nullopt},
      {Variant("not a number"), std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply.ToString());
    server.Reply("Icomm", rcGetNewID, c.reply);
    if (c.id) {
      EXPECT_EQ(Intf().GetNewID(2002, 1), *c.id);
      continue;
    }
    try {
      Intf().GetNewID(2002, 1);
      ADD_FAILURE() << "no error";
    } catch (const Error& e) {
      if (c.reply.AsText().starts_with("函数")) {
        EXPECT_EQ(e.what(), c.reply.AsText());
      }
    }
  }
}

TEST_F(CatalogueTest, SaveRepliesAreTrueExactlyForOne) {
  const std::vector<std::pair<Variant, bool>> cases = {{Variant(std::int32_t{0}), false},
                                                       {Variant(std::int32_t{1}), true},
                                                       {Variant(std::int32_t{2}), false},
                                                       {Variant(std::int16_t{1}), true}};
  for (const auto& [reply, saved] : cases) {
    SCOPED_TRACE(reply.ToString());
    server.Reply("Icomm", rcSaveClassData, reply);
    server.Reply("Icomm", rcSaveMasterDetailData, reply);
    EXPECT_EQ(Intf().SaveClassData(kDesc, kDelta, ""), saved);
    EXPECT_EQ(Intf().SaveMasterDetailData(Variant::Array({kDesc}), Variant::Array({kDelta}), ""), saved);
  }
  // Arrays that do not match are refused before anything is sent.
  EXPECT_THROW(Intf().SaveMasterDetailData(Variant::Array({kDesc, kDesc}), Variant::Array({kDelta}), ""),
               Error);
  EXPECT_THROW(Intf().SaveMasterDetailData(kDesc, kDelta, ""), Error);
}

TEST_F(CatalogueTest, CompressionSwitchFollowsZipStyleAndNetType) {
  const Variant packet = Packet();
  struct Case {
    const char* style;
    const char* netType;
    bool on;
  };
  const std::vector<Case> cases = {
      {"0", "0", false}, {"0", "1", false}, {"1", "0", true}, {"1", "1", true},
      {"2", "0", false}, {"2", "1", true},  {"2", "", true},  {"7", "0", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("DataZipStyle=") + c.style + " UserNetType=" + c.netType);
    SetStringByName("DataZipStyle", c.style);
    SetStringByName("UserNetType", c.netType);
    EXPECT_EQ(PacketZipOn(), c.on);
    server.Reply("Icomm", rcReadClassData, c.on ? CompressPacket(packet) : packet);
    server.ClearCalls();
    Variant data;
    Intf().ReadClassData(kDesc, "", data);
    EXPECT_EQ(data, packet);
    EXPECT_EQ(server.CallsOf(rcReadClassData).at(0).args[1], c.on ? CompressPacket(kDesc) : kDesc);
  }
  // An empty packet passes unchanged both ways.
  SetStringByName("DataZipStyle", "1");
  server.Reply("Icomm", rcReadClassData, Variant());
  Variant data("x");
  Intf().ReadClassData(Variant(), "", data);
  EXPECT_TRUE(data.IsEmpty());
  EXPECT_TRUE(server.CallsOf(rcReadClassData).back().args[1].IsEmpty());
}

TEST_F(CatalogueTest, SearchRepliesInBothModes) {
  const Variant packet = Packet();
  SetStringByName("DataZipStyle", "1");
  const Variant zipped = CompressPacket(packet);
  Variant data;

  server.Reply("Icomm", rcSearchClassData, zipped);
  Intf().SearchClassData(kDesc, "A", data, "", "");
  EXPECT_EQ(SearchCount, -1);
  EXPECT_EQ(data, packet);

  server.Reply("Icomm", rcSearchClassData, Variant::Array({zipped, Variant(std::int32_t{57})}));
  Intf().SearchClassData(kDesc, "A", data, "", "");
  EXPECT_EQ(SearchCount, 57);
  EXPECT_EQ(data, packet);
  EXPECT_EQ(server.CallsOf(rcSearchClassData).back().args[0], Variant("@L-1"));

  std::vector<Variant> timing = {zipped};
  for (int i = 1; i <= 5; ++i) timing.push_back(Variant::Date(45000.0 + i / 10.0));
  server.Reply("Icomm", rcSearchClassData, Variant::Array(timing));
  TDateTime before = Now();
  Intf().SearchClassData(kDesc, kSearchTimingMode, data, "", "");
  EXPECT_EQ(server.CallsOf(rcSearchClassData).back().args[0], Variant("L-1"));
  EXPECT_EQ(server.CallsOf(rcSearchClassData).back().args[2], Variant("@TIME@"));
  EXPECT_EQ(SearchCount, zipped.AsBytes().High());
  EXPECT_EQ(data, packet);
  for (int i = 0; i < 5; ++i) EXPECT_DOUBLE_EQ(SearchTimes[i], 45000.0 + (i + 1) / 10.0);
  EXPECT_GE(SearchTimes[5], before);
  EXPECT_GE(SearchTimes[6], SearchTimes[5]);

  // The arrival time is taken before the error check; a reply of the wrong shape is an error, not a crash.
  SearchTimes[5] = 0;
  server.Reply("Icomm", rcSearchClassData, Variant("查询超时"));
  EXPECT_THROW(Intf().SearchClassData(kDesc, "A", data, "", ""), Error);
  EXPECT_GT(SearchTimes[5], 0);
  server.Reply("Icomm", rcSearchClassData, Variant::Array({zipped}));
  EXPECT_THROW(Intf().SearchClassData(kDesc, kSearchTimingMode, data, "", ""), Error);
  EXPECT_THROW(Intf().SearchClassData(kDesc, "A", data, "", ""), Error);
}

TEST_F(CatalogueTest, TableQueriesGoOutEncipheredAndComeBackDecompressed) {
  const Variant packet = Packet({{"180101", "用户信息"}, {"180102", "用户日志"}});
  std::int32_t result = 2;
  server.On("IGeneral", rcQueryTable, [&](const RecordedCall&, std::vector<Variant>& args) {
    for (int i = 1; i <= 4; ++i) EXPECT_NE(DecryptText(args[static_cast<std::size_t>(i)].AsText()), "");
    if (result < 0) args[0] = Variant("表 tNavRefFun 不存在");
    args[5] = CompressPacket(packet);  // compressed although the switch is off
    return Variant(result);
  });
  Variant values("old");
  EXPECT_EQ(QueryTableRow("tNavRefFun", "RefFunCode,RefFunName", "FunCode='18'", values), 2);
  EXPECT_EQ(values, Variant::Array({Variant("180101"), Variant("用户信息")}, 0));
  RecordedCall call = server.CallsOf(rcQueryTable).at(0);
  EXPECT_EQ(DecryptText(call.args[1].AsText()), "L-1");
  EXPECT_EQ(DecryptText(call.args[2].AsText()), "tNavRefFun");
  EXPECT_EQ(DecryptText(call.args[3].AsText()), "RefFunCode,RefFunName");
  EXPECT_EQ(DecryptText(call.args[4].AsText()), "FunCode='18'");

  result = 0;
  EXPECT_EQ(QueryTableRow("tNavRefFun", "RefFunCode,RefFunName", "1=0", values), 0);
  EXPECT_TRUE(values.IsEmpty());

  result = -1;
  try {
    QueryTableRow("tNavRefFun", "RefFunCode", "1=1", values);
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "发生错误:表 tNavRefFun 不存在");
  }
  std::string error;
  Variant data;
  EXPECT_EQ(QueryTableData("tNavRefFun", "RefFunCode", "1=1", error, data), -1);
  EXPECT_EQ(error, "表 tNavRefFun 不存在");
  EXPECT_EQ(data, packet);
}

TEST_F(CatalogueTest, ExecSqlSendsTheStatementEnciphered) {
  const std::string sql = "DELETE FROM tUsrEmployee WHERE EmpCode='O''Brien'";
  server.Reply("Icomm", rcExecSQL, Variant());  // the status is not written back: not executed
  EXPECT_EQ(ExecSQL(sql), 0);
  const Variant sent = server.CallsOf(rcExecSQL).at(0).args[2];
  EXPECT_NE(sent.AsText(), sql);
  EXPECT_EQ(sent.AsText().find_first_not_of("0123456789ABCDEF"), std::string::npos);
  EXPECT_EQ(DecryptText(sent.AsText()), sql);
}

}  // namespace
}  // namespace sw
