#include "sw/enumbank/EnumBank.h"

#include <gtest/gtest.h>

#include "sw/common/PacketZip.h"
#include "sw/core/Error.h"
#include "sw/dataset/Packet.h"
#include "sw/dispatch/RemoteObject.h"
#include "sw/hostvars/HostVars.h"
#include "sw/testing/TestServer.h"

namespace sw {
namespace {

Variant EnumPacket() {
  PacketWriter w;
  w.AddField("EnumValueID", TFieldType::ftString, 10);
  w.AddField("EnumValueName", TFieldType::ftString, 40);
  w.AddText("1 ");
  w.AddText("启用");
  w.EndRow();
  w.AddText("0");
  w.AddText(" 停用 ");
  w.EndRow();
  return w.FinishVariant();
}

class EnumBankTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server.Start();
    ClearSession();
    SetStringByName("LoginId", "L-1");
    SetIcomm(std::make_shared<RemoteObject>("127.0.0.1", server.Port(), "Icomm"));
  }
  void TearDown() override {
    SetIcomm(nullptr);
    ClearSession();
  }
  testing::TestServer server;
};

TEST_F(EnumBankTest, FillsCodeDashNameEntriesFromPlainOrCompressedReplies) {
  for (bool compressed : {false, true}) {
    SCOPED_TRACE(compressed ? "compressed" : "plain");
    server.Reply("Icomm", kEnumOpenSqlCall, compressed ? CompressPacket(EnumPacket()) : EnumPacket());
    std::vector<std::string> list = {"old entry"};
    GetEnumList("12", "EnumValueID<>'9'", list);
    EXPECT_EQ(list, (std::vector<std::string>{"1-启用", "0-停用"}));
  }
  auto calls = server.CallsOf(kEnumOpenSqlCall);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].args,
            (std::vector<Variant>{"L-1",
                                  "SELECT EnumValueID, EnumValueName FROM tSysEnumValue WHERE EnumTypeID=12"
                                  " AND (EnumValueID<>'9') ORDER BY DispIndex, EnumValueID"}));
}

TEST_F(EnumBankTest, StatementAndFailures) {
  EXPECT_EQ(EnumListStatement(" 7 ", "  "),
            "SELECT EnumValueID, EnumValueName FROM tSysEnumValue WHERE EnumTypeID=7 ORDER BY DispIndex, "
            "EnumValueID");
  std::vector<std::string> list;
  EXPECT_THROW(GetEnumList("7 OR 1=1", "", list), Error);  // the type number is never pasted unchecked
  server.Reply("Icomm", kEnumOpenSqlCall, Variant("表 tSysEnumValue 不存在"));
  try {
    GetEnumList("7", "", list);
    FAIL();
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "表 tSysEnumValue 不存在");
  }
  server.Reply("Icomm", kEnumOpenSqlCall, Variant());
  list = {"x"};
  GetEnumList("7", "", list);
  EXPECT_TRUE(list.empty());
  SetIcomm(nullptr);
  EXPECT_THROW(GetEnumList("7", "", list), Error);
}

}  // namespace
}  // namespace sw
