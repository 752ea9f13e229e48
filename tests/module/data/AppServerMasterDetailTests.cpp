// The users and their login positions as a master-detail tree against the real application server: the
// detail follows the master's row, inserted rows take the master's key, the whole tree goes in one save, and
// a save the server refuses changes nothing and keeps every change log for the next attempt; and the overlap
// check on positions loaded from the server.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "AppServerFixture.h"
#include "sw/core/Error.h"
#include "sw/core/Text.h"
#include "sw/data/USysDict.h"
#include "sw/data/UsysBaseOverlapBl.h"
#include "sw/data/sysMasterDetail.h"

namespace sw {
namespace {

using apptest::Column;
using apptest::StoredColumn;

// Passes every call on to the server interface in use and keeps the arguments of the saves.
class SaveRecorder : public IAppServerIntf {
 public:
  SaveRecorder() : next_(*AppServerIntf), previous_(AppServerIntf) { AppServerIntf = this; }
  ~SaveRecorder() override { AppServerIntf = previous_; }
  SaveRecorder(const SaveRecorder&) = delete;
  SaveRecorder& operator=(const SaveRecorder&) = delete;

  void OpenSQL(std::string_view sql, Variant& data) override { next_.OpenSQL(sql, data); }
  std::int64_t GetNewID(std::int32_t classId, std::int32_t propId) override {
    return next_.GetNewID(classId, propId);
  }
  void GetClassDesc(std::int32_t classId, std::uint8_t language, Variant& data) override {
    next_.GetClassDesc(classId, language, data);
  }
  void ReadClassData(const Variant& classDesc, std::string_view condition, Variant& data) override {
    next_.ReadClassData(classDesc, condition, data);
  }
  void SearchClassData(const Variant& classDesc, std::string_view fieldList, Variant& data,
                       std::string_view addWhere, std::string_view extra) override {
    next_.SearchClassData(classDesc, fieldList, data, addWhere, extra);
  }
  bool SaveClassData(const Variant& classDesc, const Variant& delta, std::string_view text) override {
    ++singleSaves;
    return next_.SaveClassData(classDesc, delta, text);
  }
  bool SaveMasterDetailData(const Variant& classDescs, const Variant& deltas,
                            std::string_view text) override {
    treeSaves.push_back(classDescs);
    return next_.SaveMasterDetailData(classDescs, deltas, text);
  }
  void GetSessionValue(std::string_view name, std::string& value) override {
    next_.GetSessionValue(name, value);
  }
  void WriteSysLog(std::string_view loginId, std::string_view source, std::string_view message) override {
    next_.WriteSysLog(loginId, source, message);
  }

  int singleSaves = 0;
  std::vector<Variant> treeSaves;  // the descriptions sent by each tree save

  // What each element of the last tree save was: the head text itself, or "class <number>".
  std::vector<std::string> LastTree() const {
    std::vector<std::string> out;
    if (treeSaves.empty()) return out;
    for (const Variant& item : treeSaves.back().AsArray().items) {
      if (item.IsText()) {
        out.push_back(item.ToString());
      } else {
        TSysClassDesc desc(nullptr, lt_PRC, 0);
        desc.LoadFromVariant(item, false);
        out.push_back("class " + std::to_string(desc.ClassID()));
      }
    }
    return out;
  }

 private:
  IAppServerIntf& next_;
  IAppServerIntf* previous_;
};

class AppServerMasterDetail : public apptest::AppServerTest {
 protected:
  void SetUp() override {
    AppServerTest::SetUp();
    if (IsSkipped()) return;
    ASSERT_TRUE(users.Init(lt_PRC));
    ASSERT_TRUE(positions.Init(lt_PRC));
    users.AddDetail("positions", &positions);
    positions.MasterKeyFields = "UserId";
    positions.DetailKeyFields = "UserID";
    users.HeadText = "用户登录位置";
  }
  // Loads the user and the user's positions.
  void Open(const std::string& userCode) {
    ASSERT_TRUE(users.SearchWhere("[用户编码]=" + QuotedStr(userCode), "", 1, 0));
    ASSERT_EQ(users.RecordCount(), 1);
    positions.RefreshFromMaster();
  }
  // Appends a position of the master's user.
  void AddPosition(const std::string& pos, const std::string& remark) {
    positions.Append();
    positions.FieldByName("LoginPos").SetText(pos);
    positions.FieldByName("Remark").SetText(remark);
    positions.Post();
  }
  // Moves the detail to the row of a position.
  void GoTo(const std::string& pos) {
    for (positions.First(); !positions.Eof(); positions.Next())
      if (positions.FieldByName("LoginPos").AsString() == pos) return;
    FAIL() << "no position " << pos;
  }
  std::vector<std::string> StoredPositions(const std::string& userId) {
    return StoredColumn(2006, "UserID=" + userId, "LoginPos");
  }

  TSysMasterDetail users{2002}, positions{2006};
};

TEST_P(AppServerMasterDetail, DetailFollowsTheMasterWithNamesFromTheUserTable) {
  Open("zhangsan");
  EXPECT_EQ(Column(positions, "LoginPos"), (std::vector<std::string>{"127.0.0.1", "POS-0101-01"}));
  positions.First();
  EXPECT_EQ(positions.FieldByName("UserID$").AsString(), "张三");
  EXPECT_EQ(positions.FieldByName("UserCode").AsString(), "zhangsan");
  // A user without positions: no rows, the class's columns.
  Open("lisi");
  EXPECT_EQ(positions.RecordCount(), 0);
  EXPECT_NE(positions.FindField("LoginPos"), nullptr);
  EXPECT_TRUE(sink.Boxes().empty()) << sink.Boxes()[0].text;
}

TEST_P(AppServerMasterDetail, NewUserWithPositionsAndDetailEditsSaveAsOneTree) {
  // A new user and two positions: the positions take the user's new number when they are posted.
  ASSERT_TRUE(users.SearchWhere("1=2", "", 1, 0));
  positions.RefreshFromMaster();
  users.Append();
  users.FieldByName("UserCode").SetText("zhaoliu");
  users.FieldByName("UserName").SetText("赵六");
  users.Post();
  const std::string userId = users.FieldByName("UserId").AsString();
  ASSERT_FALSE(userId.empty());
  AddPosition("POS-0102-01", "二号门店收银台");
  AddPosition("10.0.0.8", "办公室");
  EXPECT_EQ(positions.FieldByName("UserID").AsString(), userId);
  EXPECT_EQ(StoredColumn(2002, "UserCode='zhaoliu'", "UserName"), std::vector<std::string>{})
      << "nothing is saved before the tree";
  SaveRecorder saves;
  ASSERT_TRUE(users.DoSave(""));
  EXPECT_FALSE(users.HasChanges());
  EXPECT_EQ(saves.singleSaves, 0);
  ASSERT_EQ(saves.treeSaves.size(), 1u);
  EXPECT_EQ(saves.LastTree(), (std::vector<std::string>{"class 2002", "class 2006"}));
  EXPECT_EQ(StoredColumn(2002, "UserCode='zhaoliu'", "UserName"), std::vector<std::string>{"赵六"});
  EXPECT_EQ(StoredPositions(userId), (std::vector<std::string>{"10.0.0.8", "POS-0102-01"}));

  // Changes in the detail only: the head text goes first, then the positions (an edit and an insert).
  Open("zhaoliu");
  GoTo("10.0.0.8");
  positions.Edit();
  positions.FieldByName("Remark").SetText("财务室");
  positions.Post();
  AddPosition("10.0.0.9", "会议室");
  EXPECT_EQ(users.ChangeCount(), 0);
  ASSERT_TRUE(users.DoSave("登录位置"));
  EXPECT_EQ(saves.singleSaves, 0);
  ASSERT_EQ(saves.treeSaves.size(), 2u);
  EXPECT_EQ(saves.LastTree(), (std::vector<std::string>{"用户登录位置", "class 2006"}));
  EXPECT_EQ(StoredColumn(2006, "UserID=" + userId + " AND LoginPos='10.0.0.8'", "Remark"),
            std::vector<std::string>{"财务室"});
  EXPECT_EQ(StoredPositions(userId), (std::vector<std::string>{"10.0.0.8", "10.0.0.9", "POS-0102-01"}));
  EXPECT_TRUE(sink.Boxes().empty()) << sink.Boxes()[0].text;
}

TEST_P(AppServerMasterDetail, RefusedTreeChangesNothingAndCanBeSavedOnceCorrected) {
  Open("zhangsan");
  users.Edit();
  users.FieldByName("UserName").SetText("张三丰");
  users.Post();
  GoTo("127.0.0.1");
  positions.Edit();
  positions.FieldByName("Remark").SetText("本机（改）");
  positions.Post();
  AddPosition("POS-0101-01", "重复的位置");  // the key of a stored row
  ASSERT_EQ(users.ChangeCount(), 1);
  ASSERT_EQ(positions.ChangeCount(), 2);

  EXPECT_FALSE(users.DoSave(""));
  ASSERT_EQ(sink.Boxes().size(), 1u);
  EXPECT_TRUE(sink.Boxes()[0].text.starts_with("数据保存错误: ")) << sink.Boxes()[0].text;
  EXPECT_EQ(apptest::LoggedSources(users), std::vector<std::string>{"TSysMasterDetail.DoSave"});
  // Nothing of the tree reached the database; every change log is as it was.
  EXPECT_EQ(StoredColumn(2002, "UserId=2", "UserName"), std::vector<std::string>{"张三"});
  EXPECT_EQ(StoredColumn(2006, "UserID=2 AND LoginPos='127.0.0.1'", "Remark"),
            std::vector<std::string>{"本机"});
  EXPECT_EQ(StoredPositions("2"), (std::vector<std::string>{"127.0.0.1", "POS-0101-01"}));
  EXPECT_EQ(users.ChangeCount(), 1);
  EXPECT_EQ(positions.ChangeCount(), 2);
  EXPECT_EQ(users.FieldByName("UserName").AsString(), "张三丰");

  // The user corrects the new row and saves again.
  for (positions.First(); !positions.Eof(); positions.Next())
    if (positions.FieldByName("Remark").AsString() == "重复的位置") break;
  ASSERT_FALSE(positions.Eof());
  positions.Edit();
  positions.FieldByName("LoginPos").SetText("POS-0101-02");
  positions.Post();
  ASSERT_TRUE(users.DoSave(""));
  EXPECT_FALSE(users.HasChanges());
  EXPECT_EQ(StoredColumn(2002, "UserId=2", "UserName"), std::vector<std::string>{"张三丰"});
  EXPECT_EQ(StoredColumn(2006, "UserID=2 AND LoginPos='127.0.0.1'", "Remark"),
            std::vector<std::string>{"本机（改）"});
  EXPECT_EQ(StoredPositions("2"), (std::vector<std::string>{"127.0.0.1", "POS-0101-01", "POS-0101-02"}));
  EXPECT_EQ(sink.Boxes().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Backends, AppServerMasterDetail, ::testing::Values("sqlite", "postgres"));

// The overlap check on a user's login positions loaded from the server: a position typed twice is refused
// while typing, before the server's key would refuse the save.
class AppServerOverlap : public apptest::AppServerTest {
 protected:
  void SetUp() override {
    AppServerTest::SetUp();
    if (IsSkipped()) return;
    ASSERT_TRUE(positions.Init(lt_PRC));
    positions.SetOverlapFields("UserID;LoginPos");
    positions.CheckOverlap = true;
    ASSERT_TRUE(positions.SearchWhere("UserID=2", "", 1, 0));  // zhangsan's positions
  }
  // Types a position into the current row (after Edit or Append); true when accepted and posted.
  bool TypePosition(const std::string& pos) {
    try {
      positions.FieldByName("LoginPos").SetText(pos);
    } catch (const Abort&) {
      positions.Cancel();
      return false;
    }
    positions.Post();
    return true;
  }

  TSysMasterDetailOverlap positions{2006};
};

TEST_P(AppServerOverlap, RepeatedPositionRefusedWhileTypingAndTheRestSaves) {
  EXPECT_EQ(positions.KeyList(), (std::vector<std::string>{"2;127.0.0.1", "2;POS-0101-01"}));
  ASSERT_TRUE(positions.Locate("LoginPos", Variant("127.0.0.1")));
  positions.Edit();
  EXPECT_FALSE(TypePosition("POS-0101-01"));
  ASSERT_EQ(sink.Boxes().size(), 1u);
  EXPECT_EQ(sink.Boxes()[0].text, kOverlapMessage);
  EXPECT_EQ(positions.FieldByName("LoginPos").AsString(), "127.0.0.1");

  // A new row repeating a loaded position is refused too; a fresh one is taken.
  positions.Append();
  positions.FieldByName("UserID").SetText("2");
  EXPECT_FALSE(TypePosition("POS-0101-01"));
  positions.Append();
  positions.FieldByName("UserID").SetText("2");
  EXPECT_TRUE(TypePosition("POS-0101-02"));
  // A deleted row's position is free at once.
  ASSERT_TRUE(positions.Locate("LoginPos", Variant("127.0.0.1")));
  positions.Delete();
  ASSERT_TRUE(positions.Locate("LoginPos", Variant("POS-0101-02")));
  positions.Edit();
  EXPECT_TRUE(TypePosition("127.0.0.1"));
  EXPECT_EQ(positions.KeyList(), (std::vector<std::string>{"2;POS-0101-01", "2;127.0.0.1"}));

  const bool saved = positions.Save("");
  EXPECT_EQ(sink.Boxes().size(), 2u) << sink.Boxes().back().text;
  ASSERT_TRUE(saved);
  EXPECT_EQ(apptest::StoredColumn(2006, "UserID=2", "LoginPos"),
            (std::vector<std::string>{"127.0.0.1", "POS-0101-01"}));
}

INSTANTIATE_TEST_SUITE_P(Backends, AppServerOverlap, ::testing::Values("sqlite", "postgres"));

}  // namespace
}  // namespace sw
