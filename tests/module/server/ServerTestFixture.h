#pragma once
// A module session pointed at a scripted server on a loopback port, with the server-access unit initialised
// and no connection held yet.
#include <gtest/gtest.h>

#include "sw/dispatch/ServerObjects.h"
#include "sw/hostvars/HostVars.h"
#include "sw/server/sysPstInterface.h"
#include "sw/srvlink/SrvLink.h"
#include "sw/testing/TestServer.h"

namespace sw {

class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server.Start();
    ClearSession();
    LoadSessionIni("AppServerIp=127.0.0.1\nLoginId=L-1\nUserId=0012\nOrgCode=0101\nDataZipStyle=0\n");
    SetStringByName("AppServerPort", std::to_string(server.Port()));
    SetIcomm(nullptr);
    SetIGeneral(nullptr);
    unit.Init();
  }
  void TearDown() override {
    unit.Done();
    FreeConnection("127.0.0.1", server.Port(), kIcommClassId);
    FreeConnection("127.0.0.1", server.Port(), kIGeneralClassId);
    SetIcomm(nullptr);
    SetIGeneral(nullptr);
    ClearSession();
  }
  IAppServerIntf& Intf() { return *AppServerIntf; }

  testing::TestServer server;
  ServerAccessUnit unit;
};

}  // namespace sw
