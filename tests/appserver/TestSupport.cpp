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
