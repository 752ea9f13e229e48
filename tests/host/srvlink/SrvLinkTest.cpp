#include "sw/srvlink/SrvLink.h"

#include <gtest/gtest.h>

#include "sw/core/Error.h"
#include "sw/dispatch/ServerObjects.h"
#include "sw/testing/TestServer.h"

namespace sw {
namespace {

TEST(SrvLink, OneConnectionPerKeyUntilFreed) {
  testing::TestServer server;
  server.Start();
  const int port = server.Port();
  auto a = GetServerInterface("127.0.0.1", port, kIcommClassId);
  auto b = GetServerInterface(" 127.0.0.1 ", port, "{6d1a7c20-4b3e-4f15-9a77-3c2e5b810001}");
  EXPECT_EQ(a, b);
  auto general = GetServerInterface("127.0.0.1", port, kIGeneralClassId);
  EXPECT_NE(a, general);
  a->Call(307, {});
  general->Call(417, {});
  EXPECT_EQ(server.Accepted(), 2u);
  EXPECT_EQ(server.Calls()[0].object, "Icomm");
  EXPECT_EQ(server.Calls()[1].object, "IGeneral");

  FreeConnection("127.0.0.1", port, kIcommClassId);
  EXPECT_THROW(a->Call(307, {}), Error);  // the freed object is closed
  auto fresh = GetServerInterface("127.0.0.1", port, kIcommClassId);
  EXPECT_NE(fresh, a);
  EXPECT_NO_THROW(fresh->Call(307, {}));
  EXPECT_EQ(server.Accepted(), 3u);
  FreeConnection("127.0.0.1", port, "unknown");  // nothing held: nothing happens
  FreeConnection("127.0.0.1", port, kIcommClassId);
  FreeConnection("127.0.0.1", port, kIGeneralClassId);
}

TEST(SrvLink, AConnectionDroppedByTheServerIsReplacedOnTheNextRequest) {
  testing::TestServer server;
  server.Start();
  auto a = GetServerInterface("127.0.0.1", server.Port(), kIcommClassId);
  server.Restart();
  EXPECT_THROW(a->Call(307, {}), Error);
  auto b = GetServerInterface("127.0.0.1", server.Port(), kIcommClassId);
  EXPECT_NE(a, b);
  EXPECT_NO_THROW(b->Call(307, {}));
  FreeConnection("127.0.0.1", server.Port(), kIcommClassId);
}

TEST(SrvLink, UnreachableServerRaises) {
  EXPECT_THROW(GetServerInterface("127.0.0.1", 0, kIcommClassId), Error);
  int port = 0;
  {
    testing::TestServer gone;
    gone.Start();
    port = gone.Port();
  }
  EXPECT_THROW(GetServerInterface("127.0.0.1", port, kIcommClassId), Error);
}

}  // namespace
}  // namespace sw
