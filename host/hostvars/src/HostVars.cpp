#include "sw/hostvars/HostVars.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>

#include "sw/core/Error.h"
#include "sw/core/Text.h"
#include "sw/dispatch/ServerObjects.h"

namespace sw {

namespace {

struct Store {
  std::mutex mutex;
  std::map<std::string, std::string, std::less<>> values;
  std::shared_ptr<DispatchObject> icomm;
  std::shared_ptr<DispatchObject> general;
  std::map<std::string, std::shared_ptr<TClientDataSet>, std::less<>> dataSets;
  std::int64_t mainHandle = 0;
  CopyDataReceiver receiver;
};

Store& TheStore() {
  static Store store;
  return store;
}

// An integer option: decimal, or hexadecimal after "0x" or "$"; the default when missing or not a number.
std::int64_t IntValue(std::string_view key, std::int64_t def) {
  return StrToInt64Def(GetStringByName(key), def);
}

int IntOption(std::string_view key, int def) {
  return static_cast<int>(IntValue(key, def));
}

}  // namespace

std::string GetStringByName(std::string_view key) {
  Store& s = TheStore();
  std::lock_guard lock(s.mutex);
  auto it = s.values.find(key);
  return it == s.values.end() ? std::string() : it->second;
}

void SetStringByName(std::string_view key, std::string_view value) {
  Store& s = TheStore();
  std::lock_guard lock(s.mutex);
  s.values.insert_or_assign(std::string(key), std::string(value));
}

void ClearSession() {
  Store& s = TheStore();
  std::lock_guard lock(s.mutex);
  s.values.clear();
}

void LoadSessionIni(std::string_view text) {
  std::map<std::string, std::string> read;
  int lineNo = 0;
  for (const std::string& raw : Split(text, '\n')) {
    ++lineNo;
    std::string line = Trim(raw);
    if (line.empty() || line[0] == ';' || line[0] == '#' || line[0] == '[') continue;
    std::size_t eq = line.find('=');
    if (eq == std::string::npos || Trim(line.substr(0, eq)).empty())
      throw Error("Session file line " + std::to_string(lineNo) + " is not key=value: " + line);
    read[Trim(line.substr(0, eq))] = Trim(line.substr(eq + 1));
  }
  for (auto& [k, v] : read) SetStringByName(k, v);
}

void LoadSessionJson(std::string_view text) {
  nlohmann::json doc;
  try {
    doc = nlohmann::json::parse(text);
  } catch (const nlohmann::json::exception& e) {
    throw Error(std::string("Session file is not valid JSON: ") + e.what());
  }
  if (!doc.is_object()) throw Error("Session file must hold a JSON object");
  std::map<std::string, std::string> read;
  for (auto it = doc.begin(); it != doc.end(); ++it) {
    const nlohmann::json& v = it.value();
    if (v.is_string())
      read[it.key()] = v.get<std::string>();
    else if (v.is_boolean())
      read[it.key()] = v.get<bool>() ? "1" : "0";
    else if (v.is_number_integer())
      read[it.key()] = std::to_string(v.get<std::int64_t>());
    else if (v.is_number())
      read[it.key()] = FloatToStr(v.get<double>());
    else if (v.is_null())
      read[it.key()] = "";
    else
      throw Error("Session value \"" + it.key() + "\" must be a text, number or boolean");
  }
  for (auto& [k, v] : read) SetStringByName(k, v);
}

void LoadSessionFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Error("Cannot read the session file " + path);
  std::ostringstream buffer;
  buffer << in.rdbuf();
  std::string text = buffer.str();
  std::string start = TrimLeft(text);
  if (!start.empty() && start[0] == '{')
    LoadSessionJson(text);
  else
    LoadSessionIni(text);
}

void GetUserInfor(std::string& userCode, std::string& userName) {
  userCode = GetStringByName("UserCode");
  userName = GetStringByName("UserName");
}

std::shared_ptr<DispatchObject> GetIcomm() {
  Store& s = TheStore();
  std::lock_guard lock(s.mutex);
  return s.icomm;
}

void SetIcomm(std::shared_ptr<DispatchObject> icomm) {
  Store& s = TheStore();
  std::lock_guard lock(s.mutex);
  s.icomm = std::move(icomm);
}

std::shared_ptr<DispatchObject> GetIGeneral() {
  Store& s = TheStore();
  std::lock_guard lock(s.mutex);
  return s.general;
}

void SetIGeneral(std::shared_ptr<DispatchObject> general) {
  Store& s = TheStore();
  std::lock_guard lock(s.mutex);
  s.general = std::move(general);
}

std::string UGetServerGUID(std::string_view objectName) {
  std::string_view fallback;
  std::string_view canonical;
  if (SameText(objectName, kIcommObject)) {
    canonical = kIcommObject;
    fallback = kIcommClassId;
  } else if (SameText(objectName, kIGeneralObject)) {
    canonical = kIGeneralObject;
    fallback = kIGeneralClassId;
  } else {
    return {};
  }
  std::string configured = Trim(GetStringByName("ServerGUID." + std::string(canonical)));
  return configured.empty() ? std::string(fallback) : configured;
}

int GetDataZipStyle() {
  return IntOption("DataZipStyle", 1);
}
int GetLanguageType() {
  return IntOption("LanguageType", 1);
}

TButtonStyle GetPubButtonType() {
  TButtonStyle b;
  b.ShowToolBar = IntOption("ShowToolBar", 1) != 0 ? 1 : 0;
  b.ShowCaptions = IntOption("ShowCaptions", 1) != 0 ? 1 : 0;
  b.LargeIcons = IntOption("LargeIcons", 0);
  return b;
}

TFaceStyle GetPubFaceStyle() {
  TFaceStyle f;
  f.FormColor = static_cast<std::uint32_t>(IntValue("FormColor", 0));
  f.FooterColor = static_cast<std::uint32_t>(IntValue("FooterColor", 0));
  f.FixedColor = static_cast<std::uint32_t>(IntValue("FixedColor", 0));
  f.EditColor = static_cast<std::uint32_t>(IntValue("EditColor", 0));
  f.FontName = GetStringByName("FontName");
  f.FontSize = IntOption("FontSize", 0);
  f.ImeName = GetStringByName("ImeName");
  return f;
}

TButIcon GetPubButIcon() {
  TButIcon icons;
  for (int i = 0; i < kButIconCount; ++i)
    icons.Names[static_cast<std::size_t>(i)] = GetStringByName("ButIcon" + std::to_string(i));
  return icons;
}

std::string ULoadIcon(std::string_view iconName) {
  std::string name = Trim(iconName);
  std::string dir = GetStringByName("IconDir");
  if (name.empty() || dir.empty() || name.find("..") != std::string::npos) return {};
  namespace fs = std::filesystem;
  for (const char* ext : {"", ".png", ".svg", ".ico"}) {
    fs::path p = fs::path(dir) / (name + ext);
    std::error_code ec;
    if (fs::is_regular_file(p, ec)) return p.string();
  }
  return {};
}

int GetPrintSetRight() {
  return IntOption("PrintSetRight", 1);
}
int GetNkDataBaseType() {
  return IntOption("NkDataBaseType", 0);
}
int GetOptionOrgAccLevel() {
  return IntOption("OptionOrgAccLevel", 0);
}

std::shared_ptr<TClientDataSet> GetCdsList(std::string_view name) {
  Store& s = TheStore();
  std::lock_guard lock(s.mutex);
  auto it = s.dataSets.find(name);
  return it == s.dataSets.end() ? nullptr : it->second;
}

void SetCdsList(std::string_view name, std::shared_ptr<TClientDataSet> dataSet) {
  Store& s = TheStore();
  std::lock_guard lock(s.mutex);
  if (dataSet)
    s.dataSets.insert_or_assign(std::string(name), std::move(dataSet));
  else if (auto it = s.dataSets.find(name); it != s.dataSets.end())
    s.dataSets.erase(it);
}

void SetCopyDataReceiver(std::int64_t handle, CopyDataReceiver receiver) {
  Store& s = TheStore();
  std::lock_guard lock(s.mutex);
  s.mainHandle = receiver ? handle : 0;
  s.receiver = std::move(receiver);
}

bool SendCopyData(std::int64_t target, std::int64_t sender, std::uint32_t kind, std::string_view data) {
  CopyDataReceiver receiver;
  {
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    if (!s.receiver || target == 0 || target != s.mainHandle) return false;
    receiver = s.receiver;
  }
  // Called outside the lock: the receiver may read session values or send another message.
  receiver(sender, kind, std::string(data));
  return true;
}

}  // namespace sw
