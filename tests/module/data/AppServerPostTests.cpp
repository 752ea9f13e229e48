// Posting with the save after each post against the real application server: the duplicate check over the
// loaded rows, a save the server refuses with a message for the user, and default values of new rows.
#include <gtest/gtest.h>

#include <memory>
#include <utility>

#include "AppServerFixture.h"
#include "sw/core/Error.h"
#include "sw/core/Text.h"

namespace sw {
namespace {

using apptest::StoredColumn;

class AppServerPost : public apptest::AppServerTest {};

constexpr const char* kDuplicate = "属性\"用户编码\"的数据重复!";

// Posts, answering whether the post went through.
bool Posted(TSysClassEntity& e) {
  try {
    e.Post();
    return true;
  } catch (const Abort&) {
    return false;
  }
}

TEST_P(AppServerPost, DuplicateCheckOverTheLoadedRows) {
  const auto users = [](int check) {
    auto e = std::make_unique<TSysClassEntity>(2002);
    EXPECT_TRUE(e->SearchWhere("", "", 1, 0));
    e->UniqueCheck = check;
    e->UniqueFields = {"UserCode"};
    return e;
  };
  // Editing a row without touching its code is no duplicate; taking another row's code is.
  {
    auto e = users(1);
    ASSERT_TRUE(e->Locate("UserCode", Variant("admin")));
    e->Edit();
    e->FieldByName("UserName").SetText("管理员");
    EXPECT_TRUE(Posted(*e));
    e->Edit();
    e->FieldByName("UserCode").SetText("zhangsan");
    EXPECT_FALSE(Posted(*e));
    ASSERT_EQ(sink.Boxes().size(), 1u);
    EXPECT_EQ(sink.Boxes()[0].text, kDuplicate);
    e->Cancel();
    EXPECT_EQ(StoredColumn(2002, "UserId=1", "UserName"), std::vector<std::string>{"管理员"});
    EXPECT_EQ(StoredColumn(2002, "UserId=1", "UserCode"), std::vector<std::string>{"admin"});
  }
  struct Case {
    const char* name;
    int check;
    int answer;  // to the question of check 2; 0: none is asked
    bool posted;
    MessageKind kind;
    std::string shown;
    std::size_t stored;  // users coded "lisi" on the server afterwards
  };
  const std::vector<Case> cases = {
      {"check 1", 1, 0, false, MessageKind::Information, kDuplicate, 1},
      {"check 2, correct it", 2, id::kYes, false, MessageKind::Question,
       std::string(kDuplicate) + "\r\r需要修改吗？", 1},
      {"check 2, keep it", 2, id::kNo, true, MessageKind::Question,
       std::string(kDuplicate) + "\r\r需要修改吗？", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sink.Clear();
    if (c.answer != 0) sink.Answer(c.answer);
    auto e = users(c.check);
    e->Append();
    e->FieldByName("UserCode").SetText("lisi");
    e->FieldByName("UserName").SetText("另一个李四");
    EXPECT_EQ(Posted(*e), c.posted);
    ASSERT_EQ(sink.Boxes().size(), 1u);
    EXPECT_EQ(sink.Boxes()[0].kind, c.kind);
    EXPECT_EQ(sink.Boxes()[0].text, c.shown);
    EXPECT_EQ(sink.PendingAnswers(), 0u);
    EXPECT_EQ(e->State(), c.posted ? TDataSetState::dsBrowse : TDataSetState::dsInsert);
    EXPECT_EQ(StoredColumn(2002, "UserCode='lisi'", "UserCode").size(), c.stored);
    if (!c.posted) e->Cancel();
  }
}

// Another client changed or deleted the row since it was loaded: the server refuses the save with a text for
// the user, who sees it without its mark, keeps the typed value in the record and can save after refreshing.
TEST_P(AppServerPost, LostUpdateRefusalReachesTheUserAndKeepsTheEdit) {
  struct Case {
    const char* name;
    const char* user;
    bool deleted;  // by the other client; else renamed
  };
  const Case cases[] = {{"changed", "lisi", false}, {"deleted", "temp01", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sink.Clear();
    const std::string where = "UserCode=" + QuotedStr(c.user);
    TSysClassEntity mine(2002), theirs(2002);
    ASSERT_TRUE(mine.SearchWhere(where, "", 1, 0));
    ASSERT_TRUE(theirs.SearchWhere(where, "", 1, 0));
    if (c.deleted) {
      theirs.Delete();
    } else {
      theirs.Edit();
      theirs.FieldByName("UserName").SetText("他人改的");
      theirs.Post();
    }
    ASSERT_EQ(theirs.ChangeCount(), 0);

    mine.Edit();
    mine.FieldByName("UserName").SetText("我改的");
    EXPECT_FALSE(Posted(mine));
    ASSERT_EQ(sink.Boxes().size(), 1u);
    EXPECT_EQ(sink.Boxes()[0].text, "记录已被其他用户修改或删除，请刷新后再保存。");
    // One entry per refusal so far.
    EXPECT_EQ(apptest::LoggedSources(mine),
              std::vector<std::string>(c.deleted ? 2 : 1, "TSysClassEntity.Save"));
    EXPECT_EQ(mine.State(), TDataSetState::dsEdit);
    EXPECT_TRUE(mine.Modified());
    EXPECT_EQ(mine.FieldByName("UserName").AsString(), "我改的");
    EXPECT_EQ(StoredColumn(2002, where, "UserName"),
              c.deleted ? std::vector<std::string>{} : std::vector<std::string>{"他人改的"});

    // Refreshed, the same change is saved.
    mine.Cancel();
    ASSERT_TRUE(mine.SearchWhere(where, "", 1, 0));
    if (c.deleted) {
      EXPECT_EQ(mine.RecordCount(), 0);
      continue;
    }
    mine.Edit();
    mine.FieldByName("UserName").SetText("我改的");
    EXPECT_TRUE(Posted(mine));
    EXPECT_EQ(StoredColumn(2002, where, "UserName"), std::vector<std::string>{"我改的"});
    EXPECT_EQ(sink.Boxes().size(), 1u);
  }
}

// A new row without a typed organisation takes the head organisation of the demo.
TEST_P(AppServerPost, NewRowsTakeTheDefaultOrganisation) {
  struct Case {
    std::int32_t classId;
    std::vector<std::pair<std::string, std::string>> typed;
    std::string where;
  };
  const std::vector<Case> cases = {
      {2002, {{"UserCode", "zhouqi"}, {"UserName", "周七"}}, "UserCode='zhouqi'"},
      {2001, {{"EmpCode", "E005"}, {"EmpName", "周七"}}, "EmpCode='E005'"},
      {1023, {{"FunCode", "200202"}, {"SerialNo", "1"}, {"PopName", "操作分析"}}, "FunCode='200202'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.classId);
    TSysClassEntity e(c.classId);
    ASSERT_TRUE(e.SearchWhere("1=2", "", 1, 0));
    e.Append();
    for (const auto& [field, text] : c.typed) e.FieldByName(field).SetText(text);
    EXPECT_TRUE(Posted(e));
    EXPECT_EQ(e.FieldByName("OrgCode").AsString(), "01");
    EXPECT_EQ(StoredColumn(c.classId, c.where, "OrgCode"), std::vector<std::string>{"01"});
  }
  EXPECT_TRUE(sink.Boxes().empty()) << sink.Boxes()[0].text;
}

INSTANTIATE_TEST_SUITE_P(Backends, AppServerPost, ::testing::Values("sqlite", "postgres"));

}  // namespace
}  // namespace sw
