#pragma once
// A real application server for the module's tests: staffwatch-server's AppServer with the demo data on a
// temporary SQLite file or a fresh PostgreSQL database (the test parameter: "sqlite" or "postgres"; skipped
// when that backend is not available), serving on an ephemeral loopback port in this process, and a module
// session logged in on it the way the host logs in.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "sw/appserver/AppServer.h"
#include "sw/common/MessageSink.h"
#include "sw/data/sysBaseBL.h"
#include "sw/dataset/ClientDataSet.h"
#include "sw/dispatch/Dispatcher.h"
#include "sw/dispatch/ServerObjects.h"
#include "sw/dispatch/TcpServer.h"
#include "sw/hostvars/HostVars.h"
#include "sw/server/sysPstInterface.h"
#include "sw/srvlink/SrvLink.h"

namespace sw::apptest {

class AppServerTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    const std::optional<std::string> url = appserver::test::FreshDatabaseUrl(GetParam());
    if (!url) GTEST_SKIP() << GetParam() << " is not available here";
    appserver::AppServerOptions options;
    options.database = *url;
    options.demo = true;
    options.logFile = "";
    options.maxRows = maxRows;
    server_ = std::make_unique<appserver::AppServer>(options);
    server_->Initialize();
    server_->Register(dispatcher_);
    tcp_ = std::make_unique<TcpServer>(dispatcher_);
    tcp_->Start();
    ClearSession();
    SetStringByName("AppServerIp", "127.0.0.1");
    SetStringByName("AppServerPort", std::to_string(tcp_->Port()));
    SetIcomm(nullptr);
    SetIGeneral(nullptr);
    unit_.Init();
    Login("admin", "admin");
  }
  void TearDown() override {
    if (!tcp_) return;
    unit_.Done();
    FreeConnection("127.0.0.1", tcp_->Port(), kIcommClassId);
    FreeConnection("127.0.0.1", tcp_->Port(), kIGeneralClassId);
    SetIcomm(nullptr);
    SetIGeneral(nullptr);
    ClearSession();
    tcp_->Stop();
  }

  // Logs in as the host does and publishes the session values of the user.
  void Login(const std::string& user, const std::string& password) {
    const Variant reply = GetIcommIntf()->Call(appserver::kCallLogin, {user, password, ""});
    ASSERT_TRUE(reply.IsArray()) << reply.ToString();
    const auto& items = reply.AsArray().items;
    SetStringByName("LoginId", items[0].ToString());
    SetStringByName("UserId", items[1].ToString());
    SetStringByName("UserCode", items[2].ToString());
    SetStringByName("UserName", items[3].ToString());
    SetStringByName("OrgCode", items[4].ToString());
  }

  // The rows of one search reply at most (0: no limit); a derived fixture sets it in its constructor.
  std::size_t maxRows = 0;
  RecordingMessageSink sink;
  ScopedMessageSink scopedSink{sink};

 private:
  Dispatcher dispatcher_;
  std::unique_ptr<appserver::AppServer> server_;
  std::unique_ptr<TcpServer> tcp_;
  ServerAccessUnit unit_;
};

// The display texts of one column over all rows.
inline std::vector<std::string> Column(TSysClassEntity& e, const std::string& field) {
  std::vector<std::string> out;
  for (e.First(); !e.Eof(); e.Next()) out.push_back(e.FieldByName(field).Text());
  return out;
}

// The stored values of one column of the rows of a class that satisfy `condition`, as the server has them
// now (read by a new entity).
inline std::vector<std::string> StoredColumn(std::int32_t classId, const std::string& condition,
                                             const std::string& field) {
  TSysClassEntity e(classId);
  std::vector<std::string> out;
  if (!e.SearchWhere(condition, "", 1, 0)) return {"<search failed>"};
  for (e.First(); !e.Eof(); e.Next()) out.push_back(e.FieldByName(field).AsString());
  return out;
}

// The sources of the entries of the server's system log, oldest first (read through `e`).
inline std::vector<std::string> LoggedSources(TSysClassEntity& e) {
  TClientDataSet log;
  if (!e.OpenClientDataSet(log, "select Source from tSysSysLog order by LogId")) return {"<log not read>"};
  std::vector<std::string> out;
  for (log.First(); !log.Eof(); log.Next()) out.push_back(log.FieldByName("Source").AsString());
  return out;
}

}  // namespace sw::apptest
