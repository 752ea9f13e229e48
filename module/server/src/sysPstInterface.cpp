#include "sw/server/sysPstInterface.h"

#include "sw/common/CommonUnits.h"
#include "sw/common/PacketZip.h"
#include "sw/core/Error.h"
#include "sw/core/Text.h"
#include "sw/dataset/Packet.h"
#include "sw/dispatch/ServerObjects.h"
#include "sw/hostvars/HostVars.h"
#include "sw/session/SessionValues.h"
#include "sw/srvlink/SrvLink.h"

namespace sw {

std::array<TDateTime, 7> SearchTimes{};
std::int32_t SearchCount = 0;
IAppServerIntf* AppServerIntf = nullptr;

// ---- Remote objects ----

namespace {

struct HeldObject {
  std::string_view name;
  std::int32_t probe;
  std::shared_ptr<DispatchObject> (*get)();
  void (*set)(std::shared_ptr<DispatchObject>);
};

constexpr HeldObject kIcomm{kIcommObject, rcCheckConnection, GetIcomm, SetIcomm};
constexpr HeldObject kIGeneral{kIGeneralObject, rcCheckGeneralConnection, GetIGeneral, SetIGeneral};

// Reads identifier, port and address in that order, as the host expects them to be asked for.
void Connect(const HeldObject& object) {
  std::string guid = UGetServerGUID(object.name);
  int port = GetAppServerPort();
  std::string address = GetAppServerIp();
  object.set(GetServerInterface(address, port, guid));
}

std::shared_ptr<DispatchObject> Acquire(const HeldObject& object) {
  std::shared_ptr<DispatchObject> held = object.get();
  if (!held) {
    Connect(object);
  } else {
    bool alive = true;
    try {
      held->Call(object.probe, {});
    } catch (const std::exception&) {
      alive = false;  // the probe's error is not the caller's: replace the connection instead
    }
    if (!alive) {
      std::string guid = UGetServerGUID(object.name);
      int port = GetAppServerPort();
      std::string address = GetAppServerIp();
      FreeConnection(address, port, guid);
      Connect(object);
    }
  }
  std::shared_ptr<DispatchObject> now = object.get();
  if (!now) throw Error("No connection to the application server object " + std::string(object.name));
  return now;
}

// Convention 2: a text in place of a variant result is the server's error message.
const Variant& RaiseTextReply(const Variant& reply) {
  if (reply.IsText()) throw Error(reply.AsText());
  return reply;
}

}  // namespace

std::shared_ptr<DispatchObject> GetIcommIntf() {
  return Acquire(kIcomm);
}
std::shared_ptr<DispatchObject> GetIGeneralIntf() {
  return Acquire(kIGeneral);
}

// ---- Packet compression switch ----

bool PacketZipOn() {
  int style = GetDataZipStyle();
  if (style == 0) return false;
  if (style == 1) return true;
  return GetStringByName("UserNetType") != "0";
}

Variant ZipPacketPerSwitch(const Variant& packet) {
  if (!packet.IsBytes() || !PacketZipOn()) return packet;
  return CompressPacket(packet);
}

Variant UnzipPacketPerSwitch(const Variant& packet) {
  if (!packet.IsBytes() || !PacketZipOn()) return packet;
  return DecompressPacket(packet);
}

// ---- TAppServerInterface ----

void TAppServerInterface::OpenSQL(std::string_view sql, Variant& data) {
  auto icomm = GetIcommIntf();
  Variant reply = icomm->Call(rcOpenSQL, {GetCurLoginID(), sql});
  data = UnzipPacketPerSwitch(RaiseTextReply(reply));
}

std::int64_t TAppServerInterface::GetNewID(std::int32_t classId, std::int32_t propId) {
  auto icomm = GetIcommIntf();
  std::string text = icomm->Call(rcGetNewID, {GetCurLoginID(), classId, propId}).ToString();
  if (text.starts_with("函数")) throw Error(text);
  std::optional<std::int64_t> id = TryStrToInt64(text);
  if (!id) throw Error("'" + text + "' is not a valid integer value");
  return *id;
}

void TAppServerInterface::GetClassDesc(std::int32_t classId, std::uint8_t language, Variant& data) {
  auto icomm = GetIcommIntf();
  Variant reply = icomm->Call(rcGetClassDesc, {GetCurLoginID(), classId, std::int32_t{language}});
  data = UnzipPacketPerSwitch(RaiseTextReply(reply));
}

void TAppServerInterface::ReadClassData(const Variant& classDesc, std::string_view condition, Variant& data) {
  auto icomm = GetIcommIntf();
  Variant reply = icomm->Call(rcReadClassData, {GetCurLoginID(), ZipPacketPerSwitch(classDesc), condition});
  data = UnzipPacketPerSwitch(RaiseTextReply(reply));
}

void TAppServerInterface::SearchClassData(const Variant& classDesc, std::string_view fieldList, Variant& data,
                                          std::string_view addWhere, std::string_view extra) {
  const bool timing = fieldList == kSearchTimingMode;
  std::string login = GetCurLoginID();
  if (!timing) login = "@" + login;
  auto icomm = GetIcommIntf();
  Variant reply =
      icomm->Call(rcSearchClassData, {login, ZipPacketPerSwitch(classDesc), fieldList, addWhere, extra});
  SearchTimes[5] = Now();
  RaiseTextReply(reply);
  if (timing) {
    if (!reply.IsArray() || reply.AsArray().items.size() < 6)
      throw Error("The server's timing reply to SearchClassData is not an array of six elements");
    const std::vector<Variant>& items = reply.AsArray().items;
    SearchCount = items[0].IsBytes() ? items[0].AsBytes().High() : -1;
    data = UnzipPacketPerSwitch(items[0]);
    SearchTimes[6] = Now();
    for (std::size_t i = 0; i < 5; ++i) SearchTimes[i] = items[i + 1].ToDateTime();
    return;
  }
  if (reply.IsArray()) {
    const std::vector<Variant>& items = reply.AsArray().items;
    if (items.size() < 2)
      throw Error("The server's reply to SearchClassData is an array of fewer than two elements");
    data = UnzipPacketPerSwitch(items[0]);
    SearchCount = items[1].ToInt32();
  } else {
    data = UnzipPacketPerSwitch(reply);
    SearchCount = -1;
  }
}

bool TAppServerInterface::SaveClassData(const Variant& classDesc, const Variant& delta,
                                        std::string_view text) {
  auto icomm = GetIcommIntf();
  Variant reply = icomm->Call(
      rcSaveClassData, {GetCurLoginID(), ZipPacketPerSwitch(classDesc), ZipPacketPerSwitch(delta), text});
  return RaiseTextReply(reply).ToInt32() == 1;
}

bool TAppServerInterface::SaveMasterDetailData(const Variant& classDescs, const Variant& deltas,
                                               std::string_view text) {
  if (!classDescs.IsArray() || !deltas.IsArray())
    throw Error("SaveMasterDetailData needs arrays of class descriptions and deltas");
  const VariantArray& descs = classDescs.AsArray();
  const VariantArray& changes = deltas.AsArray();
  // The bounds of the descriptions govern both arrays; a delta array that does not cover them is refused
  // rather than read past its end.
  if (changes.low > descs.low || changes.High() < descs.High())
    throw Error("SaveMasterDetailData: the delta array does not cover the bounds of the class descriptions");
  std::vector<Variant> outDescs, outDeltas;
  for (std::int32_t i = descs.low; i <= descs.High(); ++i) {
    // Elements that are not packets (such as the head text of a master-detail save) travel unchanged.
    outDescs.push_back(ZipPacketPerSwitch(descs.At(i)));
    outDeltas.push_back(ZipPacketPerSwitch(changes.At(i)));
  }
  auto icomm = GetIcommIntf();
  Variant reply =
      icomm->Call(rcSaveMasterDetailData, {GetCurLoginID(), Variant::Array(std::move(outDescs), descs.low),
                                           Variant::Array(std::move(outDeltas), descs.low), text});
  return RaiseTextReply(reply).ToInt32() == 1;
}

void TAppServerInterface::GetSessionValue(std::string_view name, std::string& value) {
  ResolveSessionValue(name, value);
}

void TAppServerInterface::WriteSysLog(std::string_view loginId, std::string_view source,
                                      std::string_view message) {
  WriteSysLogCall(loginId, source, message);
}

void ServerAccessUnit::Init() {
  if (instance_) return;
  instance_ = std::make_unique<TAppServerInterface>();
  AppServerIntf = instance_.get();
}

void ServerAccessUnit::Done() {
  if (!instance_) return;
  if (AppServerIntf == instance_.get()) AppServerIntf = nullptr;
  instance_.reset();
}

// ---- Direct calls ----

std::int32_t ExecSQL(std::string_view sql) {
  Variant status(std::int32_t{0});
  auto icomm = GetIcommIntf();
  icomm->Call(rcExecSQL, {ByRef(status), GetCurLoginID(), UString().EncryptText(sql)});
  return status.ToInt32();
}

void GetPropValue(std::string_view propName, std::int32_t classId, std::string_view keyPropName,
                  std::string_view keyValue, Variant& value) {
  Variant status(std::int32_t{0});
  auto icomm = GetIcommIntf();
  icomm->Call(rcGetPropValue,
              {ByRef(status), GetCurLoginID(), propName, classId, keyPropName, keyValue, ByRef(value)});
}

std::int32_t QueryData(std::string_view label, std::string_view sql, Variant& data) {
  Variant labelArg(label);
  auto icomm = GetIcommIntf();
  return icomm->Call(rcQueryData, {GetCurLoginID(), ByRef(labelArg), sql, ByRef(data), false}).ToInt32();
}

std::int32_t GetWflStatus(std::string_view funCode, std::int32_t classId, Variant& keyFields, Variant& data,
                          Variant& text) {
  std::string userId = IntToStr(GetCurUserID());
  keyFields = Variant("");
  auto icomm = GetIcommIntf();
  return icomm
      ->Call(rcGetWflStatus, {userId, ByRef(keyFields), GetCurOrgCode(), funCode, "", classId, "0", "1=1",
                              ByRef(data), ByRef(text)})
      .ToInt32();
}

std::int32_t WriteOprLog(std::string_view source, std::string_view message) {
  auto icomm = GetIcommIntf();
  return icomm->Call(rcWriteOprLog, {GetCurLoginID(), source, message}).ToInt32();
}

std::int32_t WriteSysLogCall(std::string_view loginId, std::string_view source, std::string_view message) {
  auto icomm = GetIcommIntf();
  return icomm->Call(rcWriteSysLog, {loginId, source, message}).ToInt32();
}

std::int32_t SetPrintTimes(std::int32_t classId, std::string_view condition, std::string& errorText) {
  Variant error("");
  Variant printDate = Variant::Date(Now());
  Variant printCount(std::int32_t{1});
  auto icomm = GetIcommIntf();
  std::int32_t result =
      icomm
          ->Call(rcSetPrintTimes, {GetCurLoginID(), ByRef(error), classId, "PrnDate", "PrnTimes",
                                   ByRef(printDate), ByRef(printCount), condition})
          .ToInt32();
  errorText = error.ToString();
  return result;
}

std::int32_t QueryTableData(std::string_view table, std::string_view fields, std::string_view condition,
                            std::string& errorText, Variant& data) {
  errorText.clear();
  data = Variant();
  const TUString& text = UString();
  Variant error("");
  Variant out;
  std::string login = text.EncryptText(GetCurLoginID());
  std::string tableHex = text.EncryptText(table);
  std::string fieldsHex = text.EncryptText(fields);
  std::string conditionHex = text.EncryptText(condition);
  auto general = GetIGeneralIntf();
  std::int32_t result =
      general->Call(rcQueryTable, {ByRef(error), login, tableHex, fieldsHex, conditionHex, ByRef(out)})
          .ToInt32();
  errorText = error.ToString();
  // The table query always travels compressed, whatever the switch says.
  data = out.IsBytes() ? DecompressPacket(out) : out;
  return result;
}

std::int32_t QueryTableRow(std::string_view table, std::string_view fields, std::string_view condition,
                           Variant& values) {
  values = Variant();
  std::string errorText;
  Variant data;
  std::int32_t result = QueryTableData(table, fields, condition, errorText, data);
  if (result < 0) throw Error("发生错误:" + errorText);
  if (result > 0) {
    PacketReader rows(data);
    std::vector<Variant> texts;
    for (std::size_t f = 0; f < rows.Fields().size(); ++f)
      texts.emplace_back(rows.RowCount() > 0 ? rows.Value(0, f).ToString() : std::string());
    values = Variant::Array(std::move(texts), 0);
  }
  return result;
}

}  // namespace sw
