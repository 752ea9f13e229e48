#include "sw/appserver/AdminClient.h"

#include "sw/appserver/AppServer.h"
#include "sw/common/PacketZip.h"
#include "sw/common/UString.h"
#include "sw/core/Error.h"
#include "sw/core/Text.h"
#include "sw/data/USysDict.h"
#include "sw/dispatch/ServerObjects.h"
#include "sw/server/CallNumbers.h"

namespace sw::appserver {

HostPort ParseHostPort(std::string_view text) {
  const std::string t = Trim(text);
  const auto colon = t.rfind(':');
  if (colon == std::string::npos) throw Error("server address \"" + t + "\" is not HOST:PORT");
  HostPort hp;
  hp.host = colon == 0 ? "127.0.0.1" : t.substr(0, colon);
  const auto port = TryStrToInt64(t.substr(colon + 1));
  if (!port || *port < 1 || *port > 65535) throw Error("server address \"" + t + "\" has no valid port");
  hp.port = static_cast<int>(*port);
  return hp;
}

void RaiseIfText(const Variant& reply) {
  if (reply.IsText()) throw Error(reply.AsText());
}

AdminClient::AdminClient(const HostPort& server, const std::string& user, const std::string& password,
                         const std::string& position)
    : icomm_(std::make_unique<RemoteObject>(server.host, server.port, std::string(kIcommObject))),
      igeneral_(std::make_unique<RemoteObject>(server.host, server.port, std::string(kIGeneralObject))) {
  const Variant reply = icomm_->Call(kCallLogin, {user, password, position});
  if (!reply.IsArray() || reply.AsArray().items.empty()) throw Error("the server answered the login oddly");
  loginId_ = reply.AsArray().items[0].ToString();
}

AdminClient::~AdminClient() {
  try {
    icomm_->Call(kCallLogout, {loginId_});
  } catch (...) {
  }
}

Variant AdminClient::ClassDesc(std::int32_t classId) {
  const Variant reply = icomm_->Call(rcGetClassDesc, {loginId_, classId, std::int32_t{lt_PRC}});
  RaiseIfText(reply);
  return DecompressPacket(reply);
}

Variant AdminClient::Search(std::int32_t classId, const std::string& where, std::int64_t& total) {
  TSysClassDesc header(nullptr, lt_PRC, classId);
  const Variant desc = CompressPacket(header.SaveToVariant(false));
  const Variant reply = icomm_->Call(rcSearchClassData, {"@" + loginId_, desc, "", "", where});
  RaiseIfText(reply);
  if (!reply.IsArray() || reply.AsArray().items.size() < 2)
    throw Error("the server answered the search oddly");
  total = reply.AsArray().items[1].ToInt64();
  return DecompressPacket(reply.AsArray().items[0]);
}

std::int32_t AdminClient::ExecSql(const std::string& sql) {
  Variant status(std::int32_t{0});
  icomm_->Call(rcExecSQL, {ByRef(status), loginId_, EncryptText(sql)});
  return status.IsBlank() ? 0 : status.ToInt32();
}

}  // namespace sw::appserver
