// The server's call log: one line per call, written in blocks to a file and complete once the server has
// stopped on its signal.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

#include "TestSupport.h"
#include "sw/appserver/AppServer.h"
#include "sw/dispatch/ServerObjects.h"
#include "sw/server/CallNumbers.h"
#include "sw/srvlink/SrvLink.h"

namespace sw::appserver {
namespace {

TEST(CallLog, EveryCallHasItsLineOnceTheServerHasStopped) {
  const auto url = test::FreshDatabaseUrl("sqlite");
  test::ServerProcess server(*url, {"--demo"});
  auto icomm = GetServerInterface("127.0.0.1", server.Port(), kIcommClassId);
  const std::string login = icomm->Call(kCallLogin, {"admin", "admin", ""}).AsArray().items.at(0).ToString();
  constexpr int kReads = 300;
  for (int i = 0; i < kReads; ++i) {
    Variant status, value;
    icomm->Call(rcGetPropValue, {ByRef(status), login, "UserName", 2002, "UserId", "1", ByRef(value)});
  }
  Variant status, value;
  icomm->Call(rcGetPropValue, {ByRef(status), "999999", "UserName", 2002, "UserId", "1", ByRef(value)});
  EXPECT_EQ(server.Stop(), 0);

  std::map<std::string, int> lines;  // by call, and "error" for lines with an error
  std::ifstream log(server.LogFile());
  for (std::string line; std::getline(log, line);) {
    const auto call = line.find(" call=");
    ASSERT_NE(call, std::string::npos) << line;
    ++lines[line.substr(call + 6, line.find(' ', call + 6) - call - 6)];
    if (line.find(" error=") != std::string::npos) ++lines["error"];
  }
  EXPECT_EQ(lines["Login"], 1);
  EXPECT_EQ(lines["GetPropValue"], kReads + 1);
  EXPECT_EQ(lines["error"], 1);
}

}  // namespace
}  // namespace sw::appserver
