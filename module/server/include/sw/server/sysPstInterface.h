#pragma once
// Access to the application server: the two remote objects (Icomm, IGeneral) obtained through the host's
// holders with a probe and transparent reconnection, the client-side server interface IAppServerIntf the
// entity layer uses, and the calls of the remote call catalogue made directly by forms and the rights object.
//
// Conventions of every call: the login id (the session's "LoginId", read at the moment of the call) is the
// first argument unless stated otherwise; a text reply in place of a variant result is raised as sw::Error
// with exactly that text; packets pass the compression switch (PacketZipOn); transport failures raise from
// the call unchanged.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "sw/core/DateTime.h"
#include "sw/core/Variant.h"
#include "sw/dispatch/DispatchObject.h"
#include "sw/server/CallNumbers.h"

namespace sw {

// ---- Remote objects ----

// A working Icomm: the host's held connection after a successful CheckConnection probe; a connection is made
// when none is held, and a held one that fails the probe is freed and replaced. Raises when no connection can
// be made.
std::shared_ptr<DispatchObject> GetIcommIntf();
// The same for IGeneral with the probe CheckGeneralConnection.
std::shared_ptr<DispatchObject> GetIGeneralIntf();

// ---- Packet compression switch ----

// GetDataZipStyle 0: off; 1: on; any other value: on unless the session's "UserNetType" is "0". Asked afresh
// for every packet.
bool PacketZipOn();
// A packet on its way out / in, compressed / decompressed when the switch is on. Empty values and values that
// are not byte arrays pass unchanged.
Variant ZipPacketPerSwitch(const Variant& packet);
Variant UnzipPacketPerSwitch(const Variant& packet);

// ---- Statistics of the last search ----

// Seven time stamps: 0 to 4 from the server in timing mode, 5 when the reply arrived, 6 after it was
// unpacked.
extern std::array<TDateTime, 7> SearchTimes;
// The row count the server reported for the last normal search (-1 when it did not say), or in timing mode
// the high bound of the compressed reply packet.
extern std::int32_t SearchCount;

// ---- The client-side server interface ----

class IAppServerIntf {
 public:
  virtual ~IAppServerIntf() = default;
  // 1. A data packet for an SQL statement (decompressed per switch).
  virtual void OpenSQL(std::string_view sql, Variant& data) = 0;
  // 2. A new key value for a property of a class.
  virtual std::int64_t GetNewID(std::int32_t classId, std::int32_t propId) = 0;
  // 3. The class description packet (decompressed per switch).
  virtual void GetClassDesc(std::int32_t classId, std::uint8_t language, Variant& data) = 0;
  // 4. The rows of a class that satisfy a condition.
  virtual void ReadClassData(const Variant& classDesc, std::string_view condition, Variant& data) = 0;
  // 5. A search: field list (or kSearchTimingMode), additional condition and extra text; sets SearchTimes and
  // SearchCount.
  virtual void SearchClassData(const Variant& classDesc, std::string_view fieldList, Variant& data,
                               std::string_view addWhere, std::string_view extra) = 0;
  // 6. Saves a delta; true exactly when the server answers 1.
  virtual bool SaveClassData(const Variant& classDesc, const Variant& delta, std::string_view text) = 0;
  // 7. Saves a master-detail tree: arrays of description packets and delta packets with equal bounds.
  virtual bool SaveMasterDetailData(const Variant& classDescs, const Variant& deltas,
                                    std::string_view text) = 0;
  // 8. The value of a symbolic session name; an unknown name leaves `value` untouched. Answered locally.
  virtual void GetSessionValue(std::string_view name, std::string& value) = 0;
  // 9. A system log entry (the result is ignored).
  virtual void WriteSysLog(std::string_view loginId, std::string_view source, std::string_view message) = 0;
};

class TAppServerInterface : public IAppServerIntf {
 public:
  void OpenSQL(std::string_view sql, Variant& data) override;
  std::int64_t GetNewID(std::int32_t classId, std::int32_t propId) override;
  void GetClassDesc(std::int32_t classId, std::uint8_t language, Variant& data) override;
  void ReadClassData(const Variant& classDesc, std::string_view condition, Variant& data) override;
  void SearchClassData(const Variant& classDesc, std::string_view fieldList, Variant& data,
                       std::string_view addWhere, std::string_view extra) override;
  bool SaveClassData(const Variant& classDesc, const Variant& delta, std::string_view text) override;
  bool SaveMasterDetailData(const Variant& classDescs, const Variant& deltas, std::string_view text) override;
  void GetSessionValue(std::string_view name, std::string& value) override;
  void WriteSysLog(std::string_view loginId, std::string_view source, std::string_view message) override;
};

// The module's server interface: null until the server-access unit is initialised and after it is finalised.
extern IAppServerIntf* AppServerIntf;

// The server-access unit: Init creates the single TAppServerInterface and publishes it in AppServerIntf; Done
// (or the destructor) frees it and sets AppServerIntf back to null.
class ServerAccessUnit {
 public:
  ServerAccessUnit() = default;
  ~ServerAccessUnit() { Done(); }
  ServerAccessUnit(const ServerAccessUnit&) = delete;
  ServerAccessUnit& operator=(const ServerAccessUnit&) = delete;
  void Init();
  void Done();

 private:
  std::unique_ptr<TAppServerInterface> instance_;
};

// ---- Calls made directly by forms, rights and logs ----

// ExecSQL (315): the statement goes out enciphered; returns the status the server wrote back (1 = executed).
std::int32_t ExecSQL(std::string_view sql);
// GetPropValue (319): the value of one property of the record whose key property has `keyValue`; `value`
// receives it as sent (uncompressed).
void GetPropValue(std::string_view propName, std::int32_t classId, std::string_view keyPropName,
                  std::string_view keyValue, Variant& value);
// QueryData (326): 1 = success; `data` then holds a packet the caller decompresses per switch.
std::int32_t QueryData(std::string_view label, std::string_view sql, Variant& data);
// GetWflStatus (330) for the current user and organisation: > 0 when workflow status data is present; `data`
// is an uncompressed packet.
std::int32_t GetWflStatus(std::string_view funCode, std::int32_t classId, Variant& keyFields, Variant& data,
                          Variant& text);
// WriteOprLog (333) / WriteSysLog (334): negative = not written.
std::int32_t WriteOprLog(std::string_view source, std::string_view message);
std::int32_t WriteSysLogCall(std::string_view loginId, std::string_view source, std::string_view message);
// SetPrintTimes (341): print date now, count 1; returns the server's integer, `errorText` what it wrote back.
std::int32_t SetPrintTimes(std::int32_t classId, std::string_view condition, std::string& errorText);

// QueryTable (349) through IGeneral: login id, table, field list and condition go out enciphered; the data is
// always decompressed. Negative = error (errorText set), 0 = no rows, positive = rows found. Both outputs are
// emptied first.
std::int32_t QueryTableData(std::string_view table, std::string_view fields, std::string_view condition,
                            std::string& errorText, Variant& data);
// QueryTableData for the first row: a negative result raises "发生错误:" + error text; a positive one fills
// `values` with a variant array (bounds 0 to field count - 1) of the first record's field texts. `values` is
// emptied first.
std::int32_t QueryTableRow(std::string_view table, std::string_view fields, std::string_view condition,
                           Variant& values);

}  // namespace sw
