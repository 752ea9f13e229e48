// staffwatch-cli's server commands against a real server: output and exit codes.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <array>
#include <cstdio>
#include <string>

#include "TestSupport.h"
#include "sw/core/Text.h"

namespace sw::appserver {
namespace {

struct CliRun {
  int code;
  std::string out;
};

CliRun Cli(const std::string& args) {
  const std::string cmd = std::string(SW_BIN_DIR) + "/staffwatch-cli " + args + " 2>&1";
  CliRun r{-1, {}};
  FILE* p = popen(cmd.c_str(), "r");
  std::array<char, 512> buf{};
  while (fgets(buf.data(), buf.size(), p) != nullptr) r.out += buf.data();
  const int status = pclose(p);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

TEST(AdminCli, CommandsAgainstTheDemoServer) {
  test::ServerProcess server("sqlite:" + test::MakeTempDir("cli") + "/db.sqlite", {"--demo"});
  const std::string auth = " --server " + server.Address() + " --user admin --password admin";
  struct Case {
    std::string args;
    int code;
    std::string expected;  // a piece of the output
  };
  const Case cases[] = {
      {"login" + auth, 0, ""},
      {"classdesc 2002" + auth, 0, "ClassCaption=\"用户\""},
      {"search 2002 \"IsActive='0' \"" + auth, 0, "(2 of 2 rows)"},
      {"search 2001" + auth, 0, "系统管理员"},
      {"exec-sql \"Delete From tUsrUser Where UserId = 5 and IsActive='0'\"" + auth, 0, "status 1"},
      {"search 2002 \"IsActive='0' \"" + auth, 0, "(1 of 1 rows)"},
      {"exec-sql \"Delete From nowhere\"" + auth, 1, "status 0"},
      {"classdesc 424242" + auth, 1, "@类号 424242 没有定义。"},
      {"login --server " + server.Address() + " --user admin --password wrong", 1, "用户编码或口令错误。"},
      {"classdesc" + auth, 2, "usage"},
      {"classdesc abc" + auth, 1, "class number"},
      {"login --server nowhere", 2, "HOST:PORT"},
  };
  for (const auto& c : cases) {
    const CliRun r = Cli(c.args);
    EXPECT_EQ(r.code, c.code) << c.args << "\n" << r.out;
    EXPECT_NE(r.out.find(c.expected), std::string::npos) << c.args << "\n" << r.out;
  }
  EXPECT_TRUE(TryStrToInt64(Cli("login" + auth).out).has_value()) << "login prints the login id";
}

}  // namespace
}  // namespace sw::appserver
