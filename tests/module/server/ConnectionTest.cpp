// Acquisition of the remote objects through the host's holders: no probe on the first call, one probe per
// later call, transparent replacement of a dropped connection, one connection shared by every client.
#include <gtest/gtest.h>

#include "ServerTestFixture.h"
#include "sw/core/Error.h"
#include "sw/testing/TestServer.h"

namespace sw {
namespace {

using ConnectionTest = ServerTest;

TEST_F(ConnectionTest, FirstCallConnectsWithoutProbeLaterCallsProbeOnce) {
  Variant data;
  Intf().OpenSQL("select 1", data);
  EXPECT_EQ(server.CountOf(rcCheckConnection), 0u);
  EXPECT_EQ(server.Accepted(), 1u);
  EXPECT_NE(GetIcomm(), nullptr);

  Intf().OpenSQL("select 2", data);
  EXPECT_EQ(server.CountOf(rcCheckConnection), 1u);
  EXPECT_EQ(server.Accepted(), 1u);
  // The probe precedes the call it serves.
  auto calls = server.Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[1].number, rcCheckConnection);
  EXPECT_TRUE(calls[1].args.empty());
  EXPECT_EQ(calls[2].number, rcOpenSQL);
}

TEST_F(ConnectionTest, ServerRestartedBetweenTwoCallsIsReconnectedTransparently) {
  server.Reply("Icomm", rcWriteOprLog, Variant(std::int32_t{5}));
  EXPECT_EQ(WriteOprLog("用户信息查询", "first"), 5);
  auto before = GetIcomm();
  server.Restart();
  EXPECT_EQ(WriteOprLog("用户信息查询", "second"), 5);  // no error reaches the caller
  EXPECT_NE(GetIcomm(), before);
  EXPECT_EQ(server.Accepted(), 2u);
  EXPECT_EQ(server.CountOf(rcWriteOprLog), 2u);
  EXPECT_FALSE(dynamic_cast<RemoteObject&>(*before).IsConnected());
}

TEST_F(ConnectionTest, TheGeneralObjectUsesItsOwnProbeAndConnection) {
  server.Reply("IGeneral", rcQueryTable, Variant(std::int32_t{0}));
  std::string error;
  Variant data;
  QueryTableData("tNavRefFun", "RefFunCode,RefFunName", "1=1", error, data);
  QueryTableData("tNavRefFun", "RefFunCode,RefFunName", "1=1", error, data);
  EXPECT_EQ(server.CountOf(rcCheckGeneralConnection), 1u);
  EXPECT_EQ(server.CountOf(rcCheckConnection), 0u);
  EXPECT_EQ(server.CallsOf(rcCheckGeneralConnection)[0].object, "IGeneral");
  EXPECT_NE(GetIGeneral(), nullptr);
  EXPECT_EQ(GetIcomm(), nullptr);
  server.Restart();
  EXPECT_EQ(QueryTableData("tNavRefFun", "RefFunCode", "1=1", error, data), 0);
  EXPECT_EQ(server.Accepted(), 2u);
}

TEST_F(ConnectionTest, TwoClientsOfOneHostShareTheHeldConnection) {
  TAppServerInterface other;  // a second module's interface in the same host process
  Variant data;
  Intf().OpenSQL("a", data);
  other.OpenSQL("b", data);
  EXPECT_EQ(server.Accepted(), 1u);
  server.Restart();
  other.OpenSQL("c", data);   // the other client reconnects ...
  Intf().OpenSQL("d", data);  // ... and this one uses its new connection
  EXPECT_EQ(server.Accepted(), 2u);
  std::set<std::uint64_t> connections;
  for (const auto& c : server.CallsOf(rcOpenSQL)) connections.insert(c.connectionId);
  EXPECT_EQ(connections.size(), 2u);
}

TEST_F(ConnectionTest, UnreachableServerRaisesFromTheCall) {
  Variant data;
  SetStringByName("AppServerPort", "not a port");
  EXPECT_THROW(Intf().OpenSQL("x", data), Error);
  SetStringByName("AppServerPort", std::to_string(server.Port()));
  Intf().OpenSQL("x", data);
  server.Stop();
  EXPECT_THROW(Intf().OpenSQL("x", data), Error);  // probe fails, reconnection fails: that error propagates
}

// A server that answers garbage: the call fails with sw::Error, the module stays usable.
TEST_F(ConnectionTest, BadRepliesAreErrorsOfTheCall) {
  struct Case {
    const char* name;
    std::string reply;
  };
  const std::vector<Case> cases = {
      {"malformed frame", testing::RawReplyServer::Framed("\x01\x02\x01\0\0\0\x2a")},
      {"oversized length", FrameHeader(kDefaultMaxFrameSize + 1)},
      {"peer closes mid-reply", FrameHeader(50) + "\x01\x02"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::RawReplyServer peer(c.reply, true);
    SetStringByName("AppServerPort", std::to_string(peer.Port()));
    SetIcomm(nullptr);
    Variant data;
    EXPECT_THROW(Intf().OpenSQL("x", data), Error);
    SetIcomm(nullptr);
    FreeConnection("127.0.0.1", peer.Port(), kIcommClassId);
  }
}

TEST(ServerAccessUnit, PublishesOneInterfaceBetweenInitAndDone) {
  EXPECT_EQ(AppServerIntf, nullptr);
  {
    ServerAccessUnit unit;
    unit.Init();
    IAppServerIntf* first = AppServerIntf;
    EXPECT_NE(first, nullptr);
    unit.Init();
    EXPECT_EQ(AppServerIntf, first);
    std::string value = "kept";
    AppServerIntf->GetSessionValue("NoSuchName", value);
    EXPECT_EQ(value, "kept");
    unit.Done();
    EXPECT_EQ(AppServerIntf, nullptr);
    unit.Init();
  }
  EXPECT_EQ(AppServerIntf, nullptr);  // the destructor finalises too
}

}  // namespace
}  // namespace sw
