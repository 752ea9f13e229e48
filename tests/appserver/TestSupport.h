#pragma once
// Shared helpers of the application server tests: temporary directories, the throwaway PostgreSQL cluster
// (scripts/pg-test-cluster) and a fresh database per test.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sw/appserver/Db.h"

namespace sw::appserver::test {

// A new empty directory under the system's temporary directory.
std::string MakeTempDir(const std::string& tag);

// The URL of a maintenance database of the test cluster: SW_PG_URL when set, else the cluster the script
// starts; nullopt when no PostgreSQL server binaries are installed (the tests then skip).
std::optional<std::string> PgAdminUrl();

// A newly created, empty database on the test cluster; its URL. Dropped when the process ends.
std::string FreshPgDatabase();

// "sqlite:<temp file>" or a fresh PostgreSQL database for a backend name ("sqlite", "postgres"); nullopt when
// that backend is not available here.
std::optional<std::string> FreshDatabaseUrl(const std::string& backend);

// A test run once per backend (its parameter: "sqlite" or "postgres") on a fresh database, skipped where the
// backend is not available; `connector_` opens connections to that database.
class FreshDatabaseTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    const auto url = FreshDatabaseUrl(GetParam());
    if (!url) GTEST_SKIP() << "no PostgreSQL server binaries here";
    connector_ = OpenDbConnector(*url);
  }
  std::unique_ptr<DbConnector> connector_;
};

}  // namespace sw::appserver::test

namespace sw::appserver::test {

// A real staffwatch-server process on an ephemeral loopback port; stopped with SIGTERM when destroyed.
class ServerProcess {
 public:
  // extra: further command-line options.
  ServerProcess(const std::string& databaseUrl, std::vector<std::string> extra = {});
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  int Port() const { return port_; }
  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
  const std::string& LogFile() const { return log_; }
  // Sends SIGTERM and waits; returns the exit status (as waitpid reports it), -1 when already stopped.
  int Stop();

 private:
  int pid_ = -1;
  int port_ = 0;
  std::string log_;
};

}  // namespace sw::appserver::test
