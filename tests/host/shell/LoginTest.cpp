#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "HostLogin.h"
#include "sw/core/Error.h"
#include "sw/core/Text.h"
#include "sw/hostvars/HostVars.h"

namespace sw::host {
namespace {

// A free loopback port: bound once by the kernel's choice, then released for the server.
int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  close(fd);
  return ntohs(a.sin_port);
}

// The demo server on a temporary SQLite file, stopped at the end.
class LoginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearSession();
    const std::string server = std::string(SW_BIN_DIR) + "/staffwatch-server";
    if (!std::filesystem::exists(server)) GTEST_SKIP() << "staffwatch-server is not built";
    dir_ = std::filesystem::temp_directory_path() / ("sw-login-" + IntToStr(getpid()));
    std::filesystem::create_directories(dir_);
    port_ = FreePort();
    const std::string db = "sqlite:" + (dir_ / "demo.db").string();
    const std::string listen = "127.0.0.1:" + IntToStr(port_);
    pid_ = fork();
    if (pid_ == 0) {
      execl(server.c_str(), server.c_str(), "--db", db.c_str(), "--listen", listen.c_str(), "--demo", "--log",
            "none", static_cast<char*>(nullptr));
      _exit(127);
    }
    SetStringByName("AppServerIp", "127.0.0.1");
    SetStringByName("AppServerPort", IntToStr(port_));
  }
  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    SetIcomm(nullptr);
    ClearSession();
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }
  // Logs in, retrying while the server is still starting.
  std::string LoginWhenUp() {
    for (int i = 0;; ++i) {
      try {
        return HostLogin();
      } catch (const Error& e) {
        const std::string text = e.what();
        if (i > 100 || text.find("口令") != std::string::npos) throw;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
    }
  }

  std::filesystem::path dir_;
  int port_ = 0;
  pid_t pid_ = -1;
};

TEST_F(LoginTest, LogsInAndPublishesTheLoginId) {
  SetStringByName("UserCode", "admin");
  SetStringByName("Password", "admin");
  const std::string id = LoginWhenUp();
  EXPECT_FALSE(id.empty());
  EXPECT_EQ(GetStringByName("LoginId"), id);
  EXPECT_NE(GetIcomm(), nullptr);  // held for the modules
}

TEST_F(LoginTest, RefusedLoginRaisesTheServersText) {
  SetStringByName("UserCode", "admin");
  SetStringByName("Password", "wrong");
  try {
    LoginWhenUp();
    FAIL() << "a wrong password logged in";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "用户编码或口令错误。");
  }
  EXPECT_EQ(GetStringByName("LoginId"), "");
}

TEST(HostLoginTest, NoServerOrNoUserMeansNoLogin) {
  ClearSession();
  EXPECT_EQ(HostLogin(), "");
  SetStringByName("AppServerIp", "127.0.0.1");
  EXPECT_EQ(HostLogin(), "");  // no user
  SetStringByName("UserCode", "admin");
  SetStringByName("AppServerPort", "port");
  EXPECT_THROW(HostLogin(), Error);
  ClearSession();
}

}  // namespace
}  // namespace sw::host
