// The module's lifetime: its units in order, and libstaffwatch.so loaded twice into one host process (as two
// modules of the host) sharing the connection the host holds.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "sw/dispatch/ServerObjects.h"
#include "sw/entry/ModuleUnits.h"
#include "sw/hostvars/HostVars.h"
#include "sw/srvlink/SrvLink.h"
#include "sw/testing/TestServer.h"

namespace sw {
namespace {

TEST(ModuleUnits, CreateCommonUnitsThenTheServerInterfaceAndFreeThemInReverse) {
  EXPECT_EQ(AppServerIntf, nullptr);
  {
    ModuleUnits units;
    units.Init();
    EXPECT_TRUE(units.Initialised());
    EXPECT_NE(AppServerIntf, nullptr);
    units.Done();
    EXPECT_FALSE(units.Initialised());
    EXPECT_EQ(AppServerIntf, nullptr);
    units.Init();
  }
  EXPECT_EQ(AppServerIntf, nullptr);
}

// A loaded copy of the module and its own AppServerIntf variable.
class LoadedModule {
 public:
  explicit LoadedModule(const std::string& path) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) throw std::runtime_error(dlerror());
    intf_ = static_cast<IAppServerIntf**>(dlsym(handle_, "_ZN2sw13AppServerIntfE"));
  }
  ~LoadedModule() {
    if (handle_ != nullptr) dlclose(handle_);
  }
  IAppServerIntf* Intf() const { return intf_ ? *intf_ : nullptr; }
  void* Handle() const { return handle_; }

 private:
  void* handle_ = nullptr;
  IAppServerIntf** intf_ = nullptr;
};

TEST(ModuleLibrary, TwoLoadedModulesShareTheHostsConnection) {
  namespace fs = std::filesystem;
  const fs::path original = fs::path(SW_LIB_DIR) / "libstaffwatch.so";
  const fs::path copyDir = fs::temp_directory_path() / ("sw_module_" + std::to_string(::getpid()));
  fs::create_directories(copyDir);
  const fs::path copy = copyDir / "libstaffwatch_second.so";
  fs::copy_file(original, copy, fs::copy_options::overwrite_existing);

  testing::TestServer server;
  server.Start();
  ClearSession();
  LoadSessionIni("AppServerIp=127.0.0.1\nLoginId=L-1\nDataZipStyle=0\n");
  SetStringByName("AppServerPort", std::to_string(server.Port()));
  {
    LoadedModule first(original.string());
    LoadedModule second(copy.string());
    ASSERT_NE(first.Handle(), second.Handle());
    ASSERT_NE(first.Intf(), nullptr);
    ASSERT_NE(second.Intf(), nullptr);
    EXPECT_NE(first.Intf(), second.Intf());  // each module has its own server interface ...

    Variant data;
    first.Intf()->OpenSQL("select 1", data);
    second.Intf()->OpenSQL("select 2", data);
    EXPECT_EQ(server.Accepted(), 1u);  // ... and both use the one connection the host holds
    server.Restart();
    second.Intf()->OpenSQL("select 3", data);  // one module replaces the dropped connection ...
    first.Intf()->OpenSQL("select 4", data);   // ... and the other uses the replacement
    EXPECT_EQ(server.Accepted(), 2u);
    EXPECT_EQ(server.CountOf(1610809344), 4u);
  }
  FreeConnection("127.0.0.1", server.Port(), kIcommClassId);
  SetIcomm(nullptr);
  ClearSession();
  fs::remove_all(copyDir);
}

}  // namespace
}  // namespace sw
