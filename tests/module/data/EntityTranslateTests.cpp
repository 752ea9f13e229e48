// Condition texts of the entity: the SQL literal, session placeholders, property references and the
// translation of conditions written with captions and display values.
#include <gtest/gtest.h>

#include "EntityFixture.h"
#include "sw/core/Error.h"
#include "sw/hostvars/HostVars.h"

namespace sw {
namespace {

using entitytest::EntityServerTest;
using entitytest::FillUsers;
using testing::RecordedCall;

TEST(EntityLiteralTest, QuotedTypesTrimAndDoubleQuotes) {
  struct Case {
    int type;
    const char* text;
    const char* literal;
  };
  const std::vector<Case> cases = {
      {1, " 001 ", "'001'"},
      {10, "", "''"},
      {21, "2024-01-02 03:04:05", "'2024-01-02 03:04:05'"},
      {22, "1", "'1'"},
      {24, "08:00:00", "'08:00:00'"},
      {26, "x", "'x'"},
      {1, "O'Hara", "'O''Hara'"},
      {1, "' OR '1'='1", "''' OR ''1''=''1'"},
      {11, "12", "12"},
      {13, "", "0"},
      {16, " 7", " 7"},
      {25, "3", "3"},
      {27, "45000.5", "45000.5"},
  };
  for (const Case& c : cases) EXPECT_EQ(Literal(c.type, c.text), c.literal) << c.type << " " << c.text;
}

TEST(EntitySessionTest, PlaceholdersAnyCaseQuotedAndDoubled) {
  ClearSession();
  LoadSessionIni("OrgCode=0101\nOrgName=O'Neil店\nUserId=0012\nUserCode=U01\nOrgType=1\nDepCode=D9\n");
  struct Case {
    const char* text;
    const char* result;
  };
  const std::vector<Case> cases = {
      {"OrgCode=SYSTEM.ORGCODE", "OrgCode='0101'"},
      {"OrgCode=system.OrgCode OR InOrg=System.ORGCODE", "OrgCode='0101' OR InOrg='0101'"},
      {"UserID=SYSTEM.USERID", "UserID=12"},
      {"Name=SYSTEM.ORGNAME", "Name='O''Neil店'"},
      {"a=SYSTEM.USERCODE and t=SYSTEM.ORGTYPE and d=SYSTEM.DEPCODE", "a='U01' and t='1' and d='D9'"},
      {"c=SYSTEM.CKCODE", "c=''"},
      {"no placeholder", "no placeholder"},
  };
  for (const Case& c : cases) EXPECT_EQ(SubstituteSessionValues(c.text), c.result) << c.text;
  // The user number must be a number; it is read only when the placeholder occurs.
  SetStringByName("UserId", "1 OR 1=1");
  EXPECT_THROW(SubstituteSessionValues("UserID=SYSTEM.USERID"), Error);
  EXPECT_EQ(SubstituteSessionValues("OrgCode=SYSTEM.ORGCODE"), "OrgCode='0101'");
  ClearSession();
}

// An entity of the user class, initialised from a description built in code.
class LocalEntity : public TSysClassEntity {
 public:
  LocalEntity() : TSysClassEntity(2002) {
    FillUsers(ClassDesc());
    ClassDesc().Prop(4)->EnumList = {"0-普通用户", "1-管理员", "2-Admin"};
    Initialized = true;
  }
  // The article look-up finds one article by its bar code.
  bool FindArticleCode(const std::string& value, std::string& pluCode) override {
    if (value != "6901234") return false;
    pluCode = "P001";
    return true;
  }
};

TEST(EntityFindPropTest, CaptionsFieldNamesAndQualifiers) {
  LocalEntity e;
  struct Case {
    const char* reference;
    const char* field;  // nullptr: not found
  };
  const std::vector<Case> cases = {
      {"[用户编码]", "UserCode"},
      {"[用户.用户名称]", "UserName"},
      {"[TUSRUSER.金额]", "Amount"},
      {"[其他.用户编码]", nullptr},
      {"[UserCode]", nullptr},
      {"usercode", "UserCode"},
      {"tUsrUser.UserType", "UserType"},
      {"tOrgManage.OrgCode", nullptr},
      {"[]", nullptr},
      {"", nullptr},
      {"[用户编码", nullptr},
  };
  for (const Case& c : cases) {
    TSysPropDesc* p = e.FindProp(c.reference);
    if (c.field == nullptr)
      EXPECT_EQ(p, nullptr) << c.reference;
    else
      EXPECT_TRUE(p != nullptr && p->FieldName == c.field) << c.reference;
  }
}

TEST(EntityTranslateWhereTest, TableOfConditions) {
  struct Case {
    const char* condition;
    const char* translated;
  };
  const std::vector<Case> cases = {
      {"", ""},
      {"[用户编码]='001'", "UserCode = '001'"},
      {"[用户编码] = '001' AND (UserName >= 'A1')", "UserCode = '001' AND ( UserName >= 'A1' )"},
      {"[用户.用户编码]='001'", "UserCode = '001'"},
      {"[tUsrUser.用户名称] LIKE '%张 三%'", "UserName LIKE '%张 三%'"},
      {"[用户名称] like 'a%' or [用户编码]=''", "UserName like 'a%' or UserCode = ''"},
      {"[其他.用户编码]='1'", "[其他.用户编码] = '1'"},
      {"UserCode>=#tUsrUser.UserName#", "UserCode >= tUsrUser.UserName"},
      {"[用户编码]='#x#'", "UserCode = '#x#'"},
      {"[金额]>=10 AND [金额]<=20", "Amount >= 10 AND Amount <= 20"},
      {"[金额]<>0 or [金额]<-1 or [金额]>5", "Amount <> 0 or Amount < -1 or Amount > 5"},
      {"[金额]=", "Amount ="},
      {"(([用户编码]='a' OR [用户名称]='b') AND [金额]>1)",
       "(( UserCode = 'a' OR UserName = 'b' ) AND Amount > 1 )"},
      {"[用户名称]=' 王  五 '", "UserName = '王  五'"},
      {"[用户名称]='O''Brien'", "UserName = 'O''Brien'"},
      {"[用户类型]='管理员'", "UserType = '1'"},
      {"[用户类型]=admin", "UserType = '2'"},
      {"[用户类型]='9'", "UserType = '9'"},
      {"a=1 and b<2", "a = 1 and b < 2"},
      {"tUsrUser.Amount=3", "tUsrUser.Amount = 3"},
      {"PluCode='6901234'", "PluCode = 'P001'"},
      {"tSkuPlu.PLUCODE=6901234", "tSkuPlu.PLUCODE = 'P001'"},
      {"PluCode='7000'", "PluCode = '7000'"},
  };
  for (const Case& c : cases) {
    LocalEntity e;
    e.TranslateWhere(c.condition);
    EXPECT_EQ(e.TranslatedWhere, c.translated) << c.condition;
  }
}

TEST(EntityTranslateWhereTest, LastFieldFollowsTheTokens) {
  LocalEntity e;
  e.TranslateWhere("[用户编码]='1' AND Amount>2");
  EXPECT_EQ(e.LastField, "Amount");
  e.TranslateWhere("[未知]='1'");
  EXPECT_EQ(e.LastField, "[未知]");
}

// Look-up names become codes through a statement on the server; a failing look-up keeps the name.
TEST_F(EntityServerTest, LookupNamesBecomeCodes) {
  server.On("Icomm", rcOpenSQL, [](const RecordedCall&, std::vector<Variant>& args) -> Variant {
    const std::string sql = args[1].ToString();
    if (sql.find("'总部'") != std::string::npos) return entitytest::TextPacket({"OrgCode"}, {{"0101"}});
    if (sql.find("'坏'") != std::string::npos) return Variant("no such table");
    return entitytest::TextPacket({"OrgCode"}, {});
  });
  struct Case {
    const char* condition;
    const char* translated;
  };
  const std::vector<Case> cases = {
      {"[所属组织]='总部'", "OrgCode = '0101'"},
      {"[所属组织]='分店'", "OrgCode = '分店'"},
      {"[所属组织]='坏'", "OrgCode = '坏'"},
  };
  for (const Case& c : cases) {
    LocalEntity e;
    e.TranslateWhere(c.condition);
    EXPECT_EQ(e.TranslatedWhere, c.translated) << c.condition;
  }
  const auto calls = server.CallsOf(rcOpenSQL);
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].args[1].ToString(), " SELECT OrgCode FROM tOrgManage WHERE OrgName='总部'");
}

}  // namespace
}  // namespace sw
