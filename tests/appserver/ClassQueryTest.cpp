// Statements built from a class description: what a read condition becomes, and names that may not reach SQL.
#include <gtest/gtest.h>

#include "sw/appserver/ClassQuery.h"
#include "sw/core/Error.h"

namespace sw::appserver {
namespace {

ClassDef TwoKeyClass() {
  ClassDef c;
  c.rec.ClassID = 2006;
  c.rec.TableName = "tUsrLoginPos";
  c.rec.IndexFields = "UserID,LoginPos DESC";
  TSysPropDesc a, b, r;
  a.PropId = 1;
  a.FieldName = "UserID";
  a.DataType = 16;
  a.IsKey = 1;
  b.PropId = 2;
  b.FieldName = "LoginPos";
  b.DataType = 1;
  b.IsKey = 1;
  r.PropId = 3;
  r.FieldName = "Remark";
  r.DataType = 1;
  c.props = {a, b, r};
  return c;
}

TEST(ClassQuery, ReadConditionIsKeyValuesOrSql) {
  struct Case {
    const char* condition;
    const char* where;  // expected text after " WHERE "; "" for none
    std::size_t params;
  };
  const Case cases[] = {
      {"", "", 0},
      {"7;POS-1", "tUsrLoginPos.UserID = ? AND tUsrLoginPos.LoginPos = ?", 2},
      {" 7 ; POS 1 ", "tUsrLoginPos.UserID = ? AND tUsrLoginPos.LoginPos = ?", 2},
      {"7", "7", 0},  // one value for two keys: taken as SQL (and the database judges it)
      {"UserID=7;x", "UserID=7;x", 0},
      {"UserID in (1;2)", "UserID in (1;2)", 0},
      {"LoginPos like 'a;b'", "LoginPos like 'a;b'", 0},
  };
  for (const auto& c : cases) {
    SelectPlan plan = BuildClassSelect(TwoKeyClass(), "", "");
    ApplyReadCondition(TwoKeyClass(), c.condition, plan);
    const auto at = plan.select.find(" WHERE ");
    EXPECT_EQ(at == std::string::npos ? "" : plan.select.substr(at + 7), c.where) << c.condition;
    EXPECT_EQ(plan.params.size(), c.params) << c.condition;
  }
  SelectPlan plan = BuildClassSelect(TwoKeyClass(), "", "");
  ApplyReadCondition(TwoKeyClass(), "7;O'Hara", plan);
  EXPECT_EQ(plan.params.at(1), Variant("O'Hara")) << "a value is a parameter, never SQL text";
  EXPECT_EQ(plan.orderBy, " ORDER BY UserID,LoginPos DESC");
}

TEST(ClassQuery, NamesThatAreNotPlainSqlNamesAreRefused) {
  struct Case {
    const char* what;
    void (*spoil)(ClassDef&);
    const char* fields;
  };
  const Case cases[] = {
      {"table", [](ClassDef& c) { c.rec.TableName = "t; DROP TABLE x"; }, ""},
      {"field", [](ClassDef& c) { c.props[2].FieldName = "Remark) FROM x --"; }, ""},
      {"order", [](ClassDef& c) { c.rec.IndexFields = "UserID; DELETE FROM tUsrUser"; }, ""},
      {"order word", [](ClassDef& c) { c.rec.IndexFields = "UserID SIDEWAYS"; }, ""},
      {"unknown field", [](ClassDef&) {}, "UserID,NoSuchField"},
  };
  for (const auto& c : cases) {
    ClassDef cls = TwoKeyClass();
    c.spoil(cls);
    EXPECT_THROW(BuildClassSelect(cls, c.fields, ""), Error) << c.what;
  }
  const SelectPlan plan = BuildClassSelect(TwoKeyClass(), "Remark,UserID,remark", "");
  ASSERT_EQ(plan.fields.size(), 2u) << "a field named twice travels once";
  EXPECT_EQ(plan.fields[0].Name, "Remark");
  EXPECT_EQ(plan.fields[1].DataType, TFieldType::ftLargeint);
}

// The login positions with the user's code (a kind-4 dependent of the user look-up) and the user's name.
ClassDef LookedUpClass() {
  ClassDef c = TwoKeyClass();
  TSysPropDesc& user = c.props[0];
  user.EditKind = 2;
  user.RefTable = "tUsrUser";
  user.RefKeyField = "UserId";
  user.RefNameField = "UserName";
  TSysPropDesc code;
  code.PropId = 4;
  code.FieldName = "UserCode";
  code.TableName = "tUsrUser";
  code.DataType = 1;
  code.EditKind = 4;
  code.RefId = 1;
  c.props.push_back(code);
  return c;
}

TEST(ClassQuery, ConditionOnLookedUpColumnsReadsFromADerivedTable) {
  const std::string derived =
      "SELECT tUsrLoginPos.UserID, tUsrLoginPos.LoginPos, tUsrLoginPos.Remark, "
      "tUsrLoginPos.UserCode, tUsrLoginPos.UserID$ FROM (SELECT tUsrLoginPos.*, "
      "(SELECT MAX(R.UserCode) FROM tUsrUser R WHERE R.UserId = tUsrLoginPos.UserID) AS "
      "UserCode, (SELECT MAX(R.UserName) FROM tUsrUser R WHERE R.UserId = "
      "tUsrLoginPos.UserID) AS UserID$ FROM tUsrLoginPos) tUsrLoginPos";
  struct Case {
    const char* condition;
    bool derived;
  };
  const Case cases[] = {
      {"", false},
      {"Remark='x'", false},
      {"Remark='UserCode' OR Remark='it''s UserID$'", false},  // the names inside quoted texts
      {"UserCodes=1", false},
      {"usercode='zhangsan'", true},
      {"tUsrLoginPos.UserCode='zhangsan'", true},
      {"Remark='x' AND UserID$ LIKE '张%'", true},
      {"Remark='it''s' AND UserCode='a'", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.condition);
    const SelectPlan plan = BuildClassSelect(LookedUpClass(), "", c.condition);
    EXPECT_EQ(plan.select.starts_with(derived), c.derived) << plan.select;
    EXPECT_EQ(plan.select.ends_with(*c.condition ? std::string(" WHERE ") + c.condition : "tUsrLoginPos"),
              true)
        << plan.select;
    EXPECT_EQ(plan.orderBy, " ORDER BY UserID,LoginPos DESC");
    ASSERT_EQ(plan.fields.size(), 5u);
    EXPECT_EQ(plan.fields[4].Name, "UserID$");
  }
  // A read by key values stays on the table; a read by a condition naming a computed column does not.
  SelectPlan byKey = BuildClassSelect(LookedUpClass(), "", "");
  ApplyReadCondition(LookedUpClass(), "7;POS-1", byKey);
  EXPECT_FALSE(byKey.select.starts_with(derived));
  SelectPlan byCode = BuildClassSelect(LookedUpClass(), "", "");
  ApplyReadCondition(LookedUpClass(), "UserCode='zhangsan'", byCode);
  EXPECT_TRUE(byCode.select.starts_with(derived)) << byCode.select;
}

}  // namespace
}  // namespace sw::appserver
