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

}  // namespace
}  // namespace sw::appserver
