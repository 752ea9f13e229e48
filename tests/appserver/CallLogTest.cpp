// The server's call log: one line per call, written in blocks to a file and complete once the server has
// stopped on its signal.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

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

TEST(CallLog, EveryLineHasItsFieldsWhateverTheLoginTextHolds) {
  const auto url = test::FreshDatabaseUrl("sqlite");
  test::ServerProcess server(*url, {"--demo"});
  auto icomm = GetServerInterface("127.0.0.1", server.Port(), kIcommClassId);
  const std::string login = icomm->Call(kCallLogin, {"admin", "admin", ""}).AsArray().items.at(0).ToString();
  // Login texts as a client may send them: line breaks or a NUL byte must not start a line of their own.
  const std::string forged = "2026-01-01 00:00:00.000 login=1 call=Forged ms=0.000 rows=0";
  const std::vector<std::string> logins = {login, "12\n" + forged, "12\r\n" + forged,
                                           std::string("12\0", 3) + forged};
  for (const std::string& text : logins) {
    Variant status, value;
    icomm->Call(rcGetPropValue, {ByRef(status), text, "UserName", 2002, "UserId", "1", ByRef(value)});
  }
  EXPECT_EQ(server.Stop(), 0);

  const std::regex format(
      R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3} login=[^\r\n]+ call=(\w+) ms=\d+\.\d{3} rows=\d+( error=.+)?)");
  std::vector<std::string> lines;
  std::ifstream log(server.LogFile());
  for (std::string line; std::getline(log, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 1 + logins.size());
  for (const std::string& line : lines) {
    EXPECT_TRUE(std::regex_match(line, format)) << line;
    EXPECT_EQ(line.find('\0'), std::string::npos) << line;
  }
  EXPECT_NE(lines[0].find(" call=Login "), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find(" login=" + login + " call=GetPropValue "), std::string::npos) << lines[1];
  EXPECT_EQ(lines[1].find(" error="), std::string::npos) << lines[1];
  for (std::size_t i = 2; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].find(" login=12"), 23u) << lines[i];
    EXPECT_NE(lines[i].find(forged + " call=GetPropValue "), std::string::npos) << lines[i];
    EXPECT_NE(lines[i].find(std::string(" error=") + kSessionInvalid), std::string::npos) << lines[i];
  }
}

}  // namespace
}  // namespace sw::appserver
