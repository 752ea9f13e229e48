// Function rights against the demo rights tables of the real application server.
#include <gtest/gtest.h>

#include "AppServerFixture.h"
#include "sw/core/Error.h"
#include "sw/session/NkRight.h"

namespace sw {
namespace {

using apptest::AppServerTest;

std::string Flags(const TNkRight& r) {
  std::string s;
  for (bool f :
       {r.IsAccess, r.IsInsert, r.IsUpdate, r.IsDelete, r.IsQuery, r.IsPrint, r.IsConvert, r.IsChecked})
    s += f ? '1' : '0';
  s += '/';
  for (bool f : {r.ExRight1, r.ExRight2, r.ExRight3, r.ExRight4, r.ExRight5, r.ExRight6}) s += f ? '1' : '0';
  return s;
}

TEST_P(AppServerTest, RightsOfTheDemoUsers) {
  struct Case {
    const char* name;
    const char* user;
    const char* fun;
    const char* org;
    const char* flags;
  };
  const std::vector<Case> cases = {
      {"administrator, any organisation", "1", "200201", "*", "11111111/111111"},
      {"store user, any organisation", "2", "200201", "*", "10001000/000000"},
      {"store user in his organisation", "2", "200201", "0101", "10001000/000000"},
      {"store user elsewhere", "2", "200201", "0102", "00000000/000000"},
      {"session organisation", "1", "180614", "", "10001100/000000"},
      {"no such function: empty answer", "1", "999999", "*", "00000000/000000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Flags(*NewRight(c.user, c.fun, c.org)), c.flags);
  }
  // A quote in the user id stays inside the value: SQLite finds no such user, PostgreSQL refuses the text as
  // a user number; either way nothing is granted.
  std::string outcome;
  try {
    outcome = Flags(*NewRight("1' OR '1'='1", "200201", "*"));
  } catch (const Error& e) {
    outcome = e.what();
  }
  EXPECT_TRUE(outcome == "00000000/000000" || outcome == "取权限数据失败!") << outcome;
}

TEST_P(AppServerTest, RightsOfTwoGroupsAndAFailingQuery) {
  ASSERT_EQ(ExecSQL("INSERT INTO tUsrUserSub (UserID, UGrpCode) VALUES (3, 'ADMIN')"), 1);
  EXPECT_EQ(Flags(*NewRight("3", "200201", "*")), "11111111/111111");
  EXPECT_EQ(Flags(*NewRight("2", "200201", "*")), "10001000/000000");

  ASSERT_EQ(ExecSQL("DROP TABLE tUsrRightFuncEx"), 1);
  TNkRight r("", "*", "200201");
  r.UserID = "1";
  try {
    r.LoadRights();
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "取扩展权限数据失败!");
  }
  EXPECT_EQ(Flags(r), "11111111/000000");  // the basic flags stay set
}

}  // namespace
}  // namespace sw
