// The master-detail entity against the scripted server: the tree, key values copied into inserted detail
// rows, the detail re-read from its master's row, and the save of the whole tree in one call.
#include <gtest/gtest.h>

#include "EntityFixture.h"
#include "sw/core/Error.h"
#include "sw/data/sysMasterDetail.h"

namespace sw {
namespace {

using entitytest::EntityServerTest;
using entitytest::TextPacket;

// Describes a class of text properties (the first `keys` are keys) and loads its rows.
void Load(TSysMasterDetail& e, const char* table, const char* caption, const std::vector<std::string>& fields,
          int keys, const std::vector<std::vector<std::string>>& rows) {
  TSysClassDesc& d = e.ClassDesc();
  d.Rec().TableName = table;
  d.Rec().ClassCaption = caption;
  int id = 0;
  for (const std::string& f : fields) {
    TSysPropDesc& p = d.AddProp();
    p.PropId = ++id;
    p.FieldName = f;
    p.Caption = f;
    p.DataType = 1;
    p.IsKey = id <= keys ? 1 : 0;
  }
  e.Initialized = true;  // described here, not by the server
  ASSERT_TRUE(e.SetClassData(TextPacket(fields, rows)));
}

class MasterDetailTest : public EntityServerTest {
 protected:
  void SetUp() override {
    EntityServerTest::SetUp();
    Load(bill, "tBill", "单据", {"BillNo", "Note"}, 1, {{"B'1", "头"}});
    Load(lines, "tBillLine", "明细", {"BillNo", "LineNo", "Plu"}, 2, {{"B'1", "1", "P1"}});
    bill.AddDetail("lines", &lines);
    lines.DetailKeyFields = "BillNo";
  }
  TSysMasterDetail bill{6001}, lines{6002};
};

TEST_F(MasterDetailTest, TreeQueries) {
  TSysMasterDetail other(6002);
  bill.AddDetail("more", &other);
  EXPECT_EQ(bill.FindDetail("lines"), &lines);
  EXPECT_EQ(bill.FindDetail("none"), nullptr);
  EXPECT_EQ(bill.FindDetailByClass(6002), &other) << "the last of the class";
  EXPECT_EQ(lines.Master(), &bill);
  EXPECT_FALSE(bill.AutoSave);
  EXPECT_FALSE(bill.HasChanges());
  EXPECT_FALSE(bill.IsEditing());
  lines.Edit();
  EXPECT_TRUE(bill.IsEditing());
  lines.FieldByName("Plu").SetAsString("P2");
  lines.Post();
  EXPECT_TRUE(bill.HasChanges());
  EXPECT_EQ(lines.FindProp("tBill.Note"), bill.ClassDesc().FindByFieldName("Note"));
  EXPECT_EQ(bill.FindProp("tBillLine.Plu"), lines.ClassDesc().FindByFieldName("Plu"));
  EXPECT_EQ(bill.FindProp("Plu"), nullptr) << "only qualified references search further";
}

TEST_F(MasterDetailTest, InsertedDetailRowTakesTheMasterKey) {
  lines.ClassDesc().FindByFieldName("BillNo")->Required = 1;
  lines.Append();
  lines.FieldByName("LineNo").SetAsString("2");
  lines.Post();
  EXPECT_EQ(lines.FieldByName("BillNo").AsString(), "B'1");
  EXPECT_TRUE(sink.Boxes().empty());
}

TEST_F(MasterDetailTest, RefreshReadsTheRowsOfTheMasterRow) {
  server.Reply("Icomm", rcSearchClassData, TextPacket({"BillNo", "LineNo", "Plu"}, {{"B'1", "1", "P1"}}));
  lines.RefreshFromMaster();
  auto calls = server.CallsOf(rcSearchClassData);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args[4].ToString(), "BillNo = 'B''1'");
  EXPECT_EQ(lines.RecordCount(), 1);

  // A master without rows: no rows, the class's columns.
  bill.Delete();
  server.Reply("Icomm", rcSearchClassData, TextPacket({"BillNo", "LineNo", "Plu"}, {}));
  lines.RefreshFromMaster();
  calls = server.CallsOf(rcSearchClassData);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].args[4].ToString(), "1 = 2");
  EXPECT_TRUE(lines.Active());
  EXPECT_TRUE(lines.IsEmpty());
}

TEST_F(MasterDetailTest, ConditionsNameTheMasterValues) {
  EXPECT_EQ(lines.ExpandCondition("BillNo=tBill.BillNo", false), "BillNo='B''1'");
  TSysPropDesc& plu = *lines.ClassDesc().FindByFieldName("Plu");
  plu.RefTable = "tPlu";
  plu.RefCondition = "&HEADTABLE&.X=[tBill.BillNo] AND [单据.Note]<>''";
  EXPECT_EQ(lines.ExpandRefCondition(plu), "tBill.X='B''1' AND '头'<>''");
}

TEST_F(MasterDetailTest, TreeSavedInOneCallWithHeadText) {
  lines.Edit();
  lines.FieldByName("Plu").SetAsString("P2");  // left pending: the save posts it
  bill.HeadText = "审核";
  server.Reply("Icomm", rcSaveMasterDetailData, Variant(std::int32_t{1}));
  EXPECT_TRUE(bill.DoSave("saved"));
  const auto calls = server.CallsOf(rcSaveMasterDetailData);
  ASSERT_EQ(calls.size(), 1u);
  const auto& descs = calls[0].args[1].AsArray().items;
  const auto& deltas = calls[0].args[2].AsArray().items;
  ASSERT_EQ(descs.size(), 2u);
  ASSERT_EQ(deltas.size(), 2u);
  EXPECT_EQ(descs[0].ToString(), "审核");
  EXPECT_EQ(deltas[0].ToString(), "审核");
  TSysClassDesc sent;
  sent.LoadFromVariant(descs[1], false);
  EXPECT_EQ(sent.ClassID(), 6002);
  EXPECT_EQ(calls[0].args[3].ToString(), "saved");
  EXPECT_EQ(lines.ChangeCount(), 0);
  EXPECT_EQ(bill.RecordTotal, 0);

  // Nothing changed: nothing sent.
  EXPECT_TRUE(bill.DoSave(""));
  EXPECT_EQ(server.CountOf(rcSaveMasterDetailData), 1u);
}

TEST_F(MasterDetailTest, FailedSaveKeepsEveryChangeLog) {
  bill.Edit();
  bill.FieldByName("Note").SetAsString("改");
  bill.Post();
  lines.Edit();
  lines.FieldByName("Plu").SetAsString("P2");
  lines.Post();
  server.Fault("Icomm", rcSaveMasterDetailData, "@单据已审核，不能修改");
  EXPECT_FALSE(bill.DoSave(""));
  EXPECT_EQ(bill.ChangeCount(), 1);
  EXPECT_EQ(lines.ChangeCount(), 1);
  ASSERT_EQ(sink.Boxes().size(), 1u);
  EXPECT_EQ(sink.Boxes()[0].text, "单据已审核，不能修改");
  EXPECT_EQ(server.CallsOf(rcWriteSysLog).back().args[1].ToString(), "TSysMasterDetail.DoSave");
}

TEST_F(MasterDetailTest, AppendCopyKeepsAllButKeys) {
  lines.First();
  lines.AppendCopy();
  EXPECT_EQ(lines.State(), TDataSetState::dsInsert);
  EXPECT_TRUE(lines.FieldByName("BillNo").IsNull());
  EXPECT_TRUE(lines.FieldByName("LineNo").IsNull());
  EXPECT_EQ(lines.FieldByName("Plu").AsString(), "P1");
}

}  // namespace
}  // namespace sw
