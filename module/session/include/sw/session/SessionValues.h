#pragma once
// The host's session values as the module reads them: one host call per use, nothing cached, so a value the
// host changes during the session is seen at the next use.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sw {

// "AppServerPort" as an integer; 0 when it is missing or not a number.
int GetAppServerPort();
std::string GetAppServerIp();
std::string GetCurLoginID();
std::string GetCurOrgCode();
std::string GetCurOrgName();
std::string GetCurInOrgCode();
std::string GetCurDepCode();
std::string GetCurDepName();
std::string GetCurUserCode();
std::string GetCurUserName();
// "UserId" as a 64-bit integer; raises sw::Error when it is not a number.
std::int64_t GetCurUserID();
std::string GetCurNkOrgCode();
std::string GetCurNkOrgName();
std::string GetCurDutyCode();
std::string GetCurOrgType();
std::string GetCurCkCode();
std::string GetCurCkName();
// The host main window's handle as decimal text; empty when the host has no window to notify.
std::string GetMainHandle();

// The current value of a symbolic session name ("CurOrgCode" ... "CurLoginID", "DataBaseType"), matched
// exactly. Returns false and leaves `value` untouched for any other name.
bool ResolveSessionValue(std::string_view name, std::string& value);
// The symbolic names in the order they are tried.
std::vector<std::string_view> SymbolicSessionNames();

}  // namespace sw
