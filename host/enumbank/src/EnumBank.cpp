#include "sw/enumbank/EnumBank.h"

#include "sw/common/PacketZip.h"
#include "sw/core/Error.h"
#include "sw/core/Text.h"
#include "sw/dataset/Packet.h"
#include "sw/hostvars/HostVars.h"

namespace sw {

std::string EnumListStatement(std::string_view typeNumber, std::string_view condition) {
  std::optional<std::int64_t> type = TryStrToInt64(Trim(typeNumber));
  if (!type) throw Error("Enumeration type \"" + std::string(typeNumber) + "\" is not a number");
  std::string sql =
      "SELECT EnumValueID, EnumValueName FROM tSysEnumValue WHERE EnumTypeID=" + IntToStr(*type);
  if (!Trim(condition).empty()) sql += " AND (" + std::string(condition) + ")";
  sql += " ORDER BY DispIndex, EnumValueID";
  return sql;
}

void GetEnumList(std::string_view typeNumber, std::string_view condition, std::vector<std::string>& list) {
  std::string sql = EnumListStatement(typeNumber, condition);
  std::shared_ptr<DispatchObject> icomm = GetIcomm();
  if (!icomm) throw Error("No connection to the application server");
  Variant reply = icomm->Call(kEnumOpenSqlCall, {GetStringByName("LoginId"), sql});
  if (reply.IsText()) throw Error(reply.AsText());
  list.clear();
  if (reply.IsBlank()) return;
  // The module's compression switch may or may not have the server compress: take the packet either way.
  const ByteArray& bytes = reply.AsBytes();
  if (!LooksLikePacket(bytes.bytes)) reply = DecompressPacket(reply);
  PacketReader packet(reply);
  int code = packet.FieldIndex("EnumValueID");
  int name = packet.FieldIndex("EnumValueName");
  if (code < 0 || name < 0) throw Error("The enumeration reply lacks EnumValueID or EnumValueName");
  for (std::size_t row = 0; row < packet.RowCount(); ++row)
    list.push_back(Trim(packet.Value(row, static_cast<std::size_t>(code)).ToString()) + "-" +
                   Trim(packet.Value(row, static_cast<std::size_t>(name)).ToString()));
}

}  // namespace sw
