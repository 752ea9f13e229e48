#include "TestSupport.h"

#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <vector>

#include "sw/appserver/Db.h"
#include "sw/core/Error.h"
#include "sw/core/Text.h"

namespace sw::appserver::test {
namespace {

std::string RunCapture(const std::string& cmd, int& status) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (p == nullptr) {
    status = -1;
    return out;
  }
  std::array<char, 256> buf{};
  while (fgets(buf.data(), buf.size(), p) != nullptr) out += buf.data();
  status = pclose(p);
  return Trim(out);
}

struct PgDatabases {
  std::string admin;
  std::vector<std::string> names;
  ~PgDatabases() {
    if (admin.empty() || names.empty()) return;
    try {
      auto db = OpenDbConnector(admin)->Connect();
      for (const auto& n : names) db->ExecuteScript("DROP DATABASE IF EXISTS " + n + " WITH (FORCE)");
    } catch (...) {
    }
  }
};

PgDatabases& Databases() {
  static PgDatabases dbs;
  return dbs;
}

}  // namespace

std::string MakeTempDir(const std::string& tag) {
  static std::atomic<int> counter{0};
  auto dir = std::filesystem::temp_directory_path() /
             ("sw-" + tag + "-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir.string();
}

std::optional<std::string> PgAdminUrl() {
  static std::once_flag once;
  static std::optional<std::string> url;
  std::call_once(once, [] {
    if (const char* env = std::getenv("SW_PG_URL"); env != nullptr && *env != 0) {
      url = env;
      return;
    }
    const std::string script = std::string(SW_TEST_DATA_DIR) + "/../../scripts/pg-test-cluster";
    int status = 0;
    std::string out = RunCapture(script + " start 2>/dev/null", status);
    if (status == 0 && StartsWithText(out, "postgresql://")) url = out;
  });
  return url;
}

std::string FreshPgDatabase() {
  static std::mutex m;
  static std::atomic<int> counter{0};
  const auto admin = PgAdminUrl();
  if (!admin) throw Error("no PostgreSQL test cluster");
  const std::string name = "sw_t_" + std::to_string(getpid()) + "_" + std::to_string(counter++);
  {
    auto db = OpenDbConnector(*admin)->Connect();
    db->ExecuteScript("DROP DATABASE IF EXISTS " + name);
    db->ExecuteScript("CREATE DATABASE " + name);
  }
  std::lock_guard<std::mutex> lock(m);
  Databases().admin = *admin;
  Databases().names.push_back(name);
  const auto slash = admin->rfind('/');
  return admin->substr(0, slash + 1) + name;
}

std::optional<std::string> FreshDatabaseUrl(const std::string& backend) {
  if (backend == "sqlite") return "sqlite:" + MakeTempDir("db") + "/staffwatch.db";
  if (!PgAdminUrl()) return std::nullopt;
  return FreshPgDatabase();
}

}  // namespace sw::appserver::test

#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

namespace sw::appserver::test {

ServerProcess::ServerProcess(const std::string& databaseUrl, std::vector<std::string> extra) {
  log_ = MakeTempDir("log") + "/server.log";
  int fds[2];
  if (pipe(fds) != 0) throw Error("pipe failed");
  std::vector<std::string> args = {std::string(SW_BIN_DIR) + "/staffwatch-server",
                                   "--db",
                                   databaseUrl,
                                   "--listen",
                                   "127.0.0.1:0",
                                   "--log",
                                   log_};
  args.insert(args.end(), extra.begin(), extra.end());
  pid_ = fork();
  if (pid_ < 0) throw Error("fork failed");
  if (pid_ == 0) {
    dup2(fds[1], 1);
    close(fds[0]);
    close(fds[1]);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(fds[1]);
  // The server prints "listening on HOST:PORT" once it serves.
  std::string out;
  char c = 0;
  while (read(fds[0], &c, 1) == 1 && c != '\n') out += c;
  close(fds[0]);
  const auto colon = out.rfind(':');
  if (!StartsWithText(out, "listening on") || colon == std::string::npos) {
    Stop();
    throw Error("staffwatch-server did not start: \"" + out + "\"");
  }
  port_ = std::stoi(out.substr(colon + 1));
}

ServerProcess::~ServerProcess() {
  Stop();
}

int ServerProcess::Stop() {
  if (pid_ <= 0) return -1;
  kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  return status;
}

}  // namespace sw::appserver::test
