#include "sw/hostvars/HostVars.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "sw/core/Error.h"
#include "sw/dispatch/ServerObjects.h"

namespace sw {
namespace {

class HostVarsTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearSession(); }
  void TearDown() override { ClearSession(); }
  std::string WriteFile(const std::string& name, const std::string& text) {
    auto path = std::filesystem::temp_directory_path() / ("hostvars_" + std::to_string(::getpid()) + name);
    std::ofstream(path, std::ios::binary) << text;
    files.push_back(path);
    return path.string();
  }
  ~HostVarsTest() override {
    for (auto& f : files) std::filesystem::remove(f);
  }
  std::vector<std::filesystem::path> files;
};

TEST_F(HostVarsTest, SessionFilesInIniAndJsonFillTheStore) {
  LoadSessionFile(WriteFile(".ini",
                            "; host session\n[Session]\nLoginId = L-17\nUserId=0012\nOrgCode=\n"
                            "UserCode=zs\nUserName=张三\n[Host]\nDataZipStyle=2\n"));
  EXPECT_EQ(GetStringByName("LoginId"), "L-17");
  EXPECT_EQ(GetStringByName("UserId"), "0012");
  EXPECT_EQ(GetStringByName("OrgCode"), "");
  EXPECT_EQ(GetDataZipStyle(), 2);
  std::string code, name;
  GetUserInfor(code, name);
  EXPECT_EQ(code, "zs");
  EXPECT_EQ(name, "张三");

  LoadSessionFile(WriteFile(".json", R"(  {"LoginId": "L-18", "AppServerPort": 5120, "NkDataBaseType": true,
                                        "OrgName": null})"));
  EXPECT_EQ(GetStringByName("LoginId"), "L-18");
  EXPECT_EQ(GetStringByName("AppServerPort"), "5120");
  EXPECT_EQ(GetNkDataBaseType(), 1);
  EXPECT_EQ(GetStringByName("UserId"), "0012");  // kept from the first file
}

TEST_F(HostVarsTest, BadSessionFilesRaise) {
  EXPECT_THROW(LoadSessionFile("/nonexistent/session.ini"), Error);
  EXPECT_THROW(LoadSessionFile(WriteFile(".bad.ini", "LoginId=1\nthis line has no equals sign\n")), Error);
  EXPECT_THROW(LoadSessionFile(WriteFile(".bad.json", "{\"LoginId\": ")), Error);
  EXPECT_THROW(LoadSessionJson("[1, 2]"), Error);
  EXPECT_THROW(LoadSessionJson(R"({"Nested": {"a": 1}})"), Error);
  EXPECT_EQ(GetStringByName("LoginId"), "");  // nothing of a rejected file is kept
}

TEST_F(HostVarsTest, OptionsComeFromConfigurationWithDefaults) {
  struct Case {
    const char* key;
    const char* value;
    std::function<int()> read;
    int expected;
  };
  const std::vector<Case> cases = {
      {"DataZipStyle", nullptr, GetDataZipStyle, 1},     {"DataZipStyle", "0", GetDataZipStyle, 0},
      {"DataZipStyle", "abc", GetDataZipStyle, 1},       {"LanguageType", "2", GetLanguageType, 2},
      {"PrintSetRight", nullptr, GetPrintSetRight, 1},   {"PrintSetRight", "0", GetPrintSetRight, 0},
      {"NkDataBaseType", nullptr, GetNkDataBaseType, 0}, {"OptionOrgAccLevel", "1", GetOptionOrgAccLevel, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + "=" + (c.value ? c.value : "(unset)"));
    ClearSession();
    if (c.value) SetStringByName(c.key, c.value);
    EXPECT_EQ(c.read(), c.expected);
  }
}

TEST_F(HostVarsTest, StyleRecordsAndServerIdentifiers) {
  LoadSessionIni(
      "ShowCaptions=0\nLargeIcons=1\nFormColor=$00F0E0D0\nEditColor=0x00FFFFCC\nFooterColor=255\n"
      "FontName=宋体\nFontSize=9\nImeName=微软拼音\nButIcon0=close\nButIcon29=default\n"
      "ServerGUID.IGeneral={AAAA}\n");
  TButtonStyle b = GetPubButtonType();
  EXPECT_EQ(b.ShowToolBar, 1);
  EXPECT_EQ(b.ShowCaptions, 0);
  EXPECT_EQ(b.LargeIcons, 1);
  TFaceStyle f = GetPubFaceStyle();
  EXPECT_EQ(f.FormColor, 0x00F0E0D0u);
  EXPECT_EQ(f.EditColor, 0x00FFFFCCu);
  EXPECT_EQ(f.FooterColor, 255u);
  EXPECT_EQ(f.FixedColor, 0u);
  EXPECT_EQ(f.FontName, "宋体");
  EXPECT_EQ(f.FontSize, 9);
  EXPECT_EQ(f.ImeName, "微软拼音");
  TButIcon icons = GetPubButIcon();
  EXPECT_EQ(icons.Names[0], "close");
  EXPECT_EQ(icons.Names[1], "");
  EXPECT_EQ(icons.Names[29], "default");
  EXPECT_EQ(UGetServerGUID("Icomm"), kIcommClassId);
  EXPECT_EQ(UGetServerGUID("igeneral"), "{AAAA}");
  EXPECT_EQ(UGetServerGUID("Other"), "");
}

TEST_F(HostVarsTest, IconsAreFoundInTheIconDirectory) {
  std::string png = WriteFile("close.png", "png");
  SetStringByName("IconDir", std::filesystem::path(png).parent_path().string());
  std::string name = std::filesystem::path(png).stem().string();
  EXPECT_EQ(ULoadIcon(name), png);
  EXPECT_EQ(ULoadIcon(name + ".png"), png);
  EXPECT_EQ(ULoadIcon("no-such-icon"), "");
  EXPECT_EQ(ULoadIcon("../" + name), "");
}

TEST_F(HostVarsTest, CopyDataReachesTheRegisteredMainWindowOnly) {
  std::vector<std::tuple<std::int64_t, std::uint32_t, std::string>> received;
  SetCopyDataReceiver(4711, [&](std::int64_t sender, std::uint32_t kind, const std::string& data) {
    received.emplace_back(sender, kind, data);
  });
  EXPECT_TRUE(SendCopyData(4711, 99, 0, std::string("180614|1\0", 9)));
  EXPECT_FALSE(SendCopyData(4712, 99, 0, "1:180614"));
  EXPECT_FALSE(SendCopyData(0, 99, 0, "1:180614"));
  SetCopyDataReceiver(4711, nullptr);
  EXPECT_FALSE(SendCopyData(4711, 99, 0, "1:180614"));
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0], std::make_tuple(std::int64_t{99}, 0u, std::string("180614|1\0", 9)));
}

TEST_F(HostVarsTest, HoldersAndDataSetListsAreProcessWide) {
  EXPECT_EQ(GetIcomm(), nullptr);
  EXPECT_EQ(GetCdsList("ColRight"), nullptr);
  auto marker =
      std::shared_ptr<TClientDataSet>(reinterpret_cast<TClientDataSet*>(0x10), [](TClientDataSet*) {});
  SetCdsList("ColRight", marker);
  EXPECT_EQ(GetCdsList("ColRight"), marker);
  EXPECT_EQ(GetCdsList("Other"), nullptr);
  SetCdsList("ColRight", nullptr);
  EXPECT_EQ(GetCdsList("ColRight"), nullptr);
}

}  // namespace
}  // namespace sw
