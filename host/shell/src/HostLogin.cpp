#include "HostLogin.h"

#include "sw/core/Error.h"
#include "sw/core/Text.h"
#include "sw/hostvars/HostVars.h"
#include "sw/srvlink/SrvLink.h"

namespace sw::host {

namespace {
// The login call of the application server on Icomm (docs/protocol.md, "Host calls").
constexpr std::int32_t kHostCallLogin = 9001;
}  // namespace

std::string HostLogin() {
  const std::string address = Trim(GetStringByName("AppServerIp"));
  const std::string user = Trim(GetStringByName("UserCode"));
  if (address.empty() || user.empty()) return {};
  const auto port = TryStrToInt64(Trim(GetStringByName("AppServerPort")));
  if (!port || *port <= 0 || *port > 65535)
    throw Error("会话中的应用服务器端口 \"" + GetStringByName("AppServerPort") + "\" 无效");
  auto icomm = GetServerInterface(address, static_cast<int>(*port), UGetServerGUID("Icomm"));
  SetIcomm(icomm);
  const Variant reply =
      icomm->Call(kHostCallLogin, {user, GetStringByName("Password"), GetStringByName("LoginPosition")});
  if (reply.IsText()) throw Error(reply.AsText());
  if (!reply.IsArray() || reply.AsArray().items.empty()) throw Error("应用服务器的登录回答无法识别");
  const std::string loginId = reply.AsArray().items[0].ToString();
  SetStringByName("LoginId", loginId);
  return loginId;
}

}  // namespace sw::host
