#include "sw/session/SessionValues.h"

#include <array>
#include <functional>

#include "sw/core/Error.h"
#include "sw/core/Text.h"
#include "sw/hostvars/HostVars.h"

namespace sw {

int GetAppServerPort() {
  std::optional<std::int64_t> port = TryStrToInt64(GetStringByName("AppServerPort"));
  if (!port || *port < INT32_MIN || *port > INT32_MAX) return 0;
  return static_cast<int>(*port);
}

std::string GetAppServerIp() {
  return GetStringByName("AppServerIp");
}
std::string GetCurLoginID() {
  return GetStringByName("LoginId");
}
std::string GetCurOrgCode() {
  return GetStringByName("OrgCode");
}
std::string GetCurOrgName() {
  return GetStringByName("OrgName");
}
std::string GetCurInOrgCode() {
  return GetStringByName("InOrgCode");
}
std::string GetCurDepCode() {
  return GetStringByName("DepCode");
}
std::string GetCurDepName() {
  return GetStringByName("DepName");
}

std::string GetCurUserCode() {
  std::string code, name;
  GetUserInfor(code, name);
  return code;
}

std::string GetCurUserName() {
  std::string code, name;
  GetUserInfor(code, name);
  return name;
}

std::int64_t GetCurUserID() {
  std::string text = GetStringByName("UserId");
  std::optional<std::int64_t> id = TryStrToInt64(text);
  if (!id) throw Error("'" + text + "' is not a valid integer value");
  return *id;
}

std::string GetCurNkOrgCode() {
  return GetStringByName("NkOrgCode");
}
std::string GetCurNkOrgName() {
  return GetStringByName("NkOrgName");
}
std::string GetCurDutyCode() {
  return GetStringByName("DutyCode");
}
std::string GetCurOrgType() {
  return GetStringByName("OrgType");
}
std::string GetCurCkCode() {
  return GetStringByName("CkCode");
}
std::string GetCurCkName() {
  return GetStringByName("CkName");
}
std::string GetMainHandle() {
  return GetStringByName("MainHandle");
}

namespace {

struct SymbolicName {
  std::string_view name;
  std::string (*read)();
};

constexpr std::array<SymbolicName, 16> kSymbolicNames = {{
    {"CurOrgCode", GetCurOrgCode},
    {"CurOrgName", GetCurOrgName},
    {"CurInOrgCode", GetCurInOrgCode},
    {"CurDepCode", GetCurDepCode},
    {"CurDepName", GetCurDepName},
    {"CurUserID", [] { return IntToStr(GetCurUserID()); }},
    {"CurUserCode", GetCurUserCode},
    {"CurUserName", GetCurUserName},
    {"CurNkOrgCode", GetCurNkOrgCode},
    {"CurNkOrgName", GetCurNkOrgName},
    {"CurCkCode", GetCurCkCode},
    {"CurCkName", GetCurCkName},
    {"CurDutyCode", GetCurDutyCode},
    {"CurOrgType", GetCurOrgType},
    {"CurLoginID", GetCurLoginID},
    {"DataBaseType", [] { return IntToStr(GetNkDataBaseType()); }},
}};

}  // namespace

bool ResolveSessionValue(std::string_view name, std::string& value) {
  for (const SymbolicName& row : kSymbolicNames)
    if (row.name == name) {
      value = row.read();
      return true;
    }
  return false;
}

std::vector<std::string_view> SymbolicSessionNames() {
  std::vector<std::string_view> names;
  for (const SymbolicName& row : kSymbolicNames) names.push_back(row.name);
  return names;
}

}  // namespace sw
