#pragma once
// The call numbers of the application server's objects, as the module's build of 2010 uses them. The server
// answers these numbers with the argument shapes of the remote call catalogue (see sysPstInterface.h).
#include <cstdint>

namespace sw {

enum RemoteCallNumber : std::int32_t {
  // Icomm
  rcOpenSQL = 1610809344,
  rcGetClassDesc = 302,
  rcReadClassData = 303,
  rcSearchClassData = 304,
  rcSaveClassData = 305,
  rcSaveMasterDetailData = 306,
  rcCheckConnection = 307,
  rcExecSQL = 315,
  rcGetPropValue = 319,
  rcGetNewID = 323,
  rcQueryData = 326,
  rcGetWflStatus = 330,
  rcWriteOprLog = 333,
  rcWriteSysLog = 334,
  rcSetPrintTimes = 341,
  // IGeneral
  rcCheckGeneralConnection = 417,
  rcQueryTable = 349,
};

// The field-list argument of SearchClassData that asks for the timing reply.
inline constexpr const char* kSearchTimingMode = "@TIME@";

}  // namespace sw
