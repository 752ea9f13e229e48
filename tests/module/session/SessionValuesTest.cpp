#include "sw/session/SessionValues.h"

#include <gtest/gtest.h>

#include "sw/core/Error.h"
#include "sw/hostvars/HostVars.h"

namespace sw {
namespace {

class SessionValuesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearSession();
    LoadSessionIni(
        "OrgCode=0101\nOrgName=总部\nInOrgCode=IN01\nDepCode=D7\nDepName=财务部\nUserId=0012\n"
        "UserCode=zs\nUserName=张三\nNkOrgCode=NK1\nNkOrgName=北京\nCkCode=C1\nCkName=一号仓\nDutyCode=DU\n"
        "OrgType=2\nLoginId=L-99\nNkDataBaseType=1\nMainHandle=4711\n");
  }
  void TearDown() override { ClearSession(); }
};

TEST_F(SessionValuesTest, SymbolicNamesResolveToTheCurrentValues) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"CurOrgCode", "0101"},   {"CurOrgName", "总部"},   {"CurInOrgCode", "IN01"}, {"CurDepCode", "D7"},
      {"CurDepName", "财务部"}, {"CurUserID", "12"},      {"CurUserCode", "zs"},    {"CurUserName", "张三"},
      {"CurNkOrgCode", "NK1"},  {"CurNkOrgName", "北京"}, {"CurCkCode", "C1"},      {"CurCkName", "一号仓"},
      {"CurDutyCode", "DU"},    {"CurOrgType", "2"},      {"CurLoginID", "L-99"},   {"DataBaseType", "1"},
  };
  for (const auto& [name, expected] : cases) {
    SCOPED_TRACE(name);
    std::string value = "untouched";
    EXPECT_TRUE(ResolveSessionValue(name, value));
    EXPECT_EQ(value, expected);
  }
}

TEST_F(SessionValuesTest, UnknownOrDifferentlyCasedNamesLeaveTheOutputUntouched) {
  for (const char* name : {"CurWhatever", "curorgcode", "CURLOGINID", "", "OrgCode"}) {
    SCOPED_TRACE(name);
    std::string value = "untouched";
    EXPECT_FALSE(ResolveSessionValue(name, value));
    EXPECT_EQ(value, "untouched");
  }
}

TEST_F(SessionValuesTest, ValuesAreReadAtEveryUse) {
  EXPECT_EQ(GetCurOrgCode(), "0101");
  SetStringByName("OrgCode", "0202");
  EXPECT_EQ(GetCurOrgCode(), "0202");
  EXPECT_EQ(GetMainHandle(), "4711");
  SetStringByName("LoginId", "");
  EXPECT_EQ(GetCurLoginID(), "");
}

TEST_F(SessionValuesTest, NumericValuesAndTheirFailures) {
  EXPECT_EQ(GetCurUserID(), 12);
  SetStringByName("UserId", "9007199254740993");
  EXPECT_EQ(GetCurUserID(), 9007199254740993LL);
  SetStringByName("UserId", "abc");
  EXPECT_THROW(GetCurUserID(), Error);
  std::string value = "untouched";
  EXPECT_THROW(ResolveSessionValue("CurUserID", value), Error);
  EXPECT_EQ(value, "untouched");

  const std::vector<std::pair<const char*, int>> ports = {
      {"5120", 5120}, {"", 0}, {"51a", 0}, {"99999999999", 0}, {" 8080 ", 8080}};
  for (const auto& [text, port] : ports) {
    SCOPED_TRACE(text);
    SetStringByName("AppServerPort", text);
    EXPECT_EQ(GetAppServerPort(), port);
  }
}

}  // namespace
}  // namespace sw
