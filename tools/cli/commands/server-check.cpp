#include <ostream>
#include <string>

#include "Cli.h"
#include "sw/core/Error.h"
#include "sw/dispatch/DispatchObject.h"
#include "sw/hostvars/HostVars.h"
#include "sw/server/sysPstInterface.h"
#include "sw/session/SessionValues.h"

namespace {

// Connects to the application server named by a host session file the way the module does and probes both
// remote objects: one line per object, "ok" or the error.
int RunServerCheck(sw::cli::CliContext& ctx) {
  if (ctx.args.size() != 1) {
    ctx.err << "usage: staffwatch-cli server-check SESSION-FILE\n";
    return sw::cli::kExitUsage;
  }
  try {
    sw::LoadSessionFile(ctx.args[0]);
  } catch (const sw::Error& e) {
    ctx.err << "server-check: " << e.what() << "\n";
    return sw::cli::kExitUsage;
  }
  const std::string where = sw::GetAppServerIp() + ":" + std::to_string(sw::GetAppServerPort());
  struct Probe {
    const char* name;
    std::shared_ptr<sw::DispatchObject> (*get)();
    std::int32_t number;
  };
  const Probe probes[] = {{"Icomm", sw::GetIcommIntf, sw::rcCheckConnection},
                          {"IGeneral", sw::GetIGeneralIntf, sw::rcCheckGeneralConnection}};
  int code = sw::cli::kExitOk;
  for (const Probe& p : probes) {
    try {
      p.get()->Call(p.number, {});
      ctx.out << p.name << " at " << where << ": ok\n";
    } catch (const std::exception& e) {
      ctx.out << p.name << " at " << where << ": " << e.what() << "\n";
      code = sw::cli::kExitFailure;
    }
  }
  sw::SetIcomm(nullptr);
  sw::SetIGeneral(nullptr);
  return code;
}

sw::cli::CliCommand reg{"server-check", "server-check SESSION-FILE",
                        "connects to the server of a host session file and probes Icomm and IGeneral",
                        &RunServerCheck};

}  // namespace
