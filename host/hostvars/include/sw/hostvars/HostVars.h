#pragma once
// hostvars: the host's session store and process-wide holders, a shared library that every module of the host
// process links by name, so they all see one store and one held connection per server object.
//
// Every value comes from the store: the host shell (or a test) loads it from a session file or sets keys one
// by one. Besides the session keys ("LoginId", "OrgCode", "UserId", "AppServerIp", "AppServerPort", ...) the
// functions below read these keys:
//   UserCode, UserName                    GetUserInfor
//   ServerGUID.Icomm, ServerGUID.IGeneral UGetServerGUID (defaults: the server's class identifiers)
//   DataZipStyle (default 1)              GetDataZipStyle
//   LanguageType (default 1)              GetLanguageType
//   ShowToolBar (1), ShowCaptions (1), LargeIcons (0)                        GetPubButtonType
//   FormColor, FooterColor, FixedColor, EditColor (0), FontName, FontSize, ImeName  GetPubFaceStyle
//   ButIcon0 .. ButIcon29                  GetPubButIcon
//   IconDir                                ULoadIcon
//   PrintSetRight (1), NkDataBaseType (0), OptionOrgAccLevel (0)
// Integers are decimal, or hexadecimal with a "0x" or "$" prefix; a value that is missing or not a number
// gives the default.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "sw/dispatch/DispatchObject.h"

namespace sw {

class TClientDataSet;

// ---- Session store ----

// The text under a key; empty when the key is not set. Keys compare exactly.
std::string GetStringByName(std::string_view key);
void SetStringByName(std::string_view key, std::string_view value);
void ClearSession();
// Loads key/value pairs into the store (existing keys are overwritten, others kept). A file whose first
// non-blank character is "{" is read as a JSON object of scalar values; any other as INI ("key=value" lines,
// "[section]" lines and ";" or "#" comments ignored). Raises sw::Error when the file cannot be read or
// parsed.
void LoadSessionFile(const std::string& path);
void LoadSessionIni(std::string_view text);
void LoadSessionJson(std::string_view text);

void GetUserInfor(std::string& userCode, std::string& userName);

// ---- Connection holders: one per server object for the whole process ----

std::shared_ptr<DispatchObject> GetIcomm();
void SetIcomm(std::shared_ptr<DispatchObject> icomm);
std::shared_ptr<DispatchObject> GetIGeneral();
void SetIGeneral(std::shared_ptr<DispatchObject> general);

// The class identifier to connect to for "Icomm" or "IGeneral" (case-insensitive); empty for other names.
std::string UGetServerGUID(std::string_view objectName);

// ---- Presentation and options ----

int GetDataZipStyle();
int GetLanguageType();

struct TButtonStyle {
  std::uint8_t ShowToolBar = 1;
  std::uint8_t ShowCaptions = 1;
  std::int32_t LargeIcons = 0;  // 1 = large
};
TButtonStyle GetPubButtonType();

struct TFaceStyle {
  std::uint32_t FormColor = 0;  // colours as 0x00BBGGRR; 0 = keep the control's own
  std::uint32_t FooterColor = 0;
  std::uint32_t FixedColor = 0;
  std::uint32_t EditColor = 0;
  std::string FontName;  // empty: no font
  int FontSize = 0;
  std::string ImeName;
};
TFaceStyle GetPubFaceStyle();

inline constexpr int kButIconCount = 30;
struct TButIcon {
  std::array<std::string, kButIconCount> Names;
};
TButIcon GetPubButIcon();

// The file of the named icon in the icon directory ("IconDir"), trying the name as given and then with
// ".png",
// ".svg" and ".ico"; empty when there is none.
std::string ULoadIcon(std::string_view iconName);

int GetPrintSetRight();
int GetNkDataBaseType();
int GetOptionOrgAccLevel();

// Data sets the host publishes by name ("ColRight": the column rights, fields "ClassID" and "PropId").
std::shared_ptr<TClientDataSet> GetCdsList(std::string_view name);
void SetCdsList(std::string_view name, std::shared_ptr<TClientDataSet> dataSet);

// ---- Copy-data messages to the host's main window ----

// The host shell registers its main window: `handle` is what it publishes as session value "MainHandle".
using CopyDataReceiver =
    std::function<void(std::int64_t sender, std::uint32_t kind, const std::string& data)>;
void SetCopyDataReceiver(std::int64_t handle, CopyDataReceiver receiver);
// Delivers a copy-data block to the window `target` synchronously. False when no receiver has that handle.
bool SendCopyData(std::int64_t target, std::int64_t sender, std::uint32_t kind, std::string_view data);

}  // namespace sw
