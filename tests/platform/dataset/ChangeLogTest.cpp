// The change log: counts and update status after insert, edit and delete; the delta packet's content; merge,
// cancel, undo and revert.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "Fixture.h"
#include "sw/core/Error.h"

namespace sw {
namespace {

using testing::Column;
using testing::FillStaff;
using testing::Strings;

// Edits record 2's name, deletes record 4, inserts record 6 and edits it again.
void MakeChanges(TClientDataSet& ds) {
  ASSERT_TRUE(ds.Locate("ID", Variant(std::int32_t{2})));
  ds.Edit();
  ds.FieldByName("Name").SetValue("李四改");
  ds.Post();
  ASSERT_TRUE(ds.Locate("ID", Variant(std::int32_t{4})));
  ds.Delete();
  ds.Append();
  ds.FieldByName("ID").SetValue(std::int32_t{6});
  ds.FieldByName("Name").SetValue("新");
  ds.Post();
  ds.Edit();
  ds.FieldByName("Qty").SetValue(1.5);
  ds.Post();
}

TEST(ChangeLogTest, StatusAndCountFollowEachChange) {
  TClientDataSet ds;
  FillStaff(ds);
  EXPECT_EQ(ds.ChangeCount(), 0);
  EXPECT_EQ(ds.UpdateStatus(), TUpdateStatus::usUnmodified);
  MakeChanges(ds);
  EXPECT_EQ(ds.ChangeCount(), 4);
  EXPECT_EQ(ds.UpdateStatus(), TUpdateStatus::usInserted);  // an inserted record stays inserted after edits
  EXPECT_TRUE(ds.FieldByName("Qty").OldValue().IsNull());
  ASSERT_TRUE(ds.Locate("ID", Variant(std::int32_t{2})));
  EXPECT_EQ(ds.UpdateStatus(), TUpdateStatus::usModified);
  EXPECT_EQ(ds.FieldByName("Name").OldValue(), Variant("李四"));
  EXPECT_EQ(ds.FieldByName("Name").Value(), Variant("李四改"));
  EXPECT_FALSE(ds.Locate("ID", Variant(std::int32_t{4})));
  EXPECT_EQ(ds.RecordCount(), 5);
  ds.Insert();
  EXPECT_EQ(ds.UpdateStatus(), TUpdateStatus::usInserted);
  ds.Cancel();
  EXPECT_EQ(ds.ChangeCount(), 4);  // a cancelled insert leaves no trace
}

TEST(ChangeLogTest, DeltaHoldsOneEntryPerChangedRecord) {
  TClientDataSet ds;
  FillStaff(ds);
  MakeChanges(ds);
  // A record inserted and deleted again before saving is not sent at all.
  ds.Append();
  ds.FieldByName("ID").SetValue(std::int32_t{7});
  ds.Post();
  ds.Delete();
  DeltaReader d(ds.GetDelta());
  ASSERT_EQ(d.Count(), 3u);
  int id = d.FieldIndex("ID"), name = d.FieldIndex("Name"), qty = d.FieldIndex("Qty");
  EXPECT_EQ(d.Kind(0), TUpdateKind::ukModify);
  EXPECT_EQ(d.OldValue(0, id), Variant(std::int32_t{2}));
  EXPECT_EQ(d.OldValue(0, name), Variant("李四"));
  EXPECT_EQ(d.NewValue(0, name), Variant("李四改"));
  EXPECT_TRUE(d.Changed(0, name));
  EXPECT_FALSE(d.Changed(0, id));
  EXPECT_EQ(d.Kind(1), TUpdateKind::ukDelete);
  EXPECT_EQ(d.OldValue(1, id), Variant(std::int32_t{4}));
  EXPECT_EQ(d.OldValue(1, name), Variant("赵六"));
  EXPECT_EQ(d.Kind(2), TUpdateKind::ukInsert);
  EXPECT_EQ(d.NewValue(2, id), Variant(std::int32_t{6}));
  EXPECT_EQ(d.NewValue(2, qty), Variant(1.5));  // the latest values of an inserted record
}

TEST(ChangeLogTest, MergeMakesChangesTheBase) {
  TClientDataSet ds;
  FillStaff(ds);
  MakeChanges(ds);
  ds.MergeChangeLog();
  EXPECT_EQ(ds.ChangeCount(), 0);
  EXPECT_EQ(DeltaReader(ds.GetDelta()).Count(), 0u);
  EXPECT_EQ(Column(ds, "ID"), (Strings{"1", "2", "3", "5", "6"}));
  ASSERT_TRUE(ds.Locate("ID", Variant(std::int32_t{2})));
  EXPECT_EQ(ds.UpdateStatus(), TUpdateStatus::usUnmodified);
  EXPECT_EQ(ds.FieldByName("Name").OldValue(), Variant("李四改"));
  EXPECT_FALSE(ds.UndoLastChange(true));
}

TEST(ChangeLogTest, CancelUpdatesRestoresTheLoadedData) {
  TClientDataSet ds;
  FillStaff(ds);
  Variant before = ds.GetData();
  MakeChanges(ds);
  ds.Edit();
  ds.FieldByName("Name").SetValue("pending");
  ds.CancelUpdates();
  EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(ds.ChangeCount(), 0);
  EXPECT_EQ(ds.GetData(), before);
  EXPECT_EQ(Column(ds, "Name"), (Strings{"张三", "李四", "王五", "赵六", "O'Hara"}));
}

TEST(ChangeLogTest, UndoLastChangeStepsBackOneChangeAtATime) {
  TClientDataSet ds;
  FillStaff(ds);
  MakeChanges(ds);
  struct Step {
    Strings ids;
    const char* name2;
    int count;
  };
  const Step steps[] = {
      {{"1", "2", "3", "5", "6"}, "李四改", 3},  // the second edit of record 6 undone
      {{"1", "2", "3", "5"}, "李四改", 2},       // the insert undone
      {{"1", "2", "3", "4", "5"}, "李四改", 1},  // the delete undone: record 4 back in its place
      {{"1", "2", "3", "4", "5"}, "李四", 0},    // the edit undone
  };
  for (const auto& s : steps) {
    EXPECT_TRUE(ds.UndoLastChange(true));
    EXPECT_EQ(Column(ds, "ID"), s.ids);
    ASSERT_TRUE(ds.Locate("ID", Variant(std::int32_t{2})));
    EXPECT_EQ(ds.FieldByName("Name").AsString(), s.name2);
    EXPECT_EQ(ds.ChangeCount(), s.count);
  }
  EXPECT_FALSE(ds.UndoLastChange(true));
  // Following the change moves to the restored record.
  ds.Last();
  ds.Delete();
  ds.First();
  ds.UndoLastChange(true);
  EXPECT_EQ(ds.FieldByName("ID").AsInteger(), 5);
}

TEST(ChangeLogTest, RevertRecordUndoesOnlyTheCurrentRecord) {
  TClientDataSet ds;
  FillStaff(ds);
  MakeChanges(ds);
  ASSERT_TRUE(ds.Locate("ID", Variant(std::int32_t{2})));
  ds.RevertRecord();
  EXPECT_EQ(ds.FieldByName("Name").AsString(), "李四");
  EXPECT_EQ(ds.UpdateStatus(), TUpdateStatus::usUnmodified);
  EXPECT_EQ(ds.ChangeCount(), 3);
  ASSERT_TRUE(ds.Locate("ID", Variant(std::int32_t{6})));
  ds.RevertRecord();  // an inserted record disappears
  EXPECT_FALSE(ds.Locate("ID", Variant(std::int32_t{6})));
  DeltaReader d(ds.GetDelta());
  ASSERT_EQ(d.Count(), 1u);
  EXPECT_EQ(d.Kind(0), TUpdateKind::ukDelete);
}

TEST(ChangeLogTest, ChangesOutsideTheLogAreNotSent) {
  TClientDataSet ds;
  FillStaff(ds);
  ds.LogChanges = false;
  ds.Edit();
  ds.FieldByName("Qty").SetValue(99.0);
  ds.Post();
  ds.Append();
  ds.FieldByName("ID").SetValue(std::int32_t{9});
  ds.Post();
  EXPECT_EQ(ds.ChangeCount(), 0);
  EXPECT_EQ(ds.RecordCount(), 6);
  ds.LogChanges = true;
  ds.CancelUpdates();
  EXPECT_EQ(ds.RecordCount(), 6);
}

TEST(ChangeLogTest, ManyEditsAndMergesKeepStorageBounded) {
  TClientDataSet ds;
  FillStaff(ds);
  for (int round = 0; round < 200; ++round) {
    for (ds.First(); !ds.Eof(); ds.Next()) {
      ds.Edit();
      ds.FieldByName("Name").SetValue("名字" + std::to_string(round));
      ds.Post();
    }
    ds.MergeChangeLog();
  }
  EXPECT_EQ(Column(ds, "Name"), Strings(5, "名字199"));
  EXPECT_LT(ds.MemoryBytes(), 64u * 1024u);
}

}  // namespace
}  // namespace sw

namespace sw {
namespace {

using Rows = std::map<std::int64_t, std::string>;  // ID -> "Name|Qty"

Rows RowsOf(const Variant& packet) {
  PacketReader r(packet);
  Rows rows;
  int id = r.FieldIndex("ID"), name = r.FieldIndex("Name"), qty = r.FieldIndex("Qty");
  for (std::size_t i = 0; i < r.RowCount(); ++i) {
    rows[r.Value(i, id).ToInt64()] = r.Value(i, name).ToString() + "|" + r.Value(i, qty).ToString();
  }
  return rows;
}

// What the server does with a delta: finds each row by its original key and applies the change.
void ApplyDelta(Rows& rows, const Variant& delta) {
  DeltaReader d(delta);
  int id = d.FieldIndex("ID"), name = d.FieldIndex("Name"), qty = d.FieldIndex("Qty");
  for (std::size_t i = 0; i < d.Count(); ++i) {
    switch (d.Kind(i)) {
      case TUpdateKind::ukInsert:
        ASSERT_EQ(rows.count(d.NewValue(i, id).ToInt64()), 0u);
        rows[d.NewValue(i, id).ToInt64()] =
            d.NewValue(i, name).ToString() + "|" + d.NewValue(i, qty).ToString();
        break;
      case TUpdateKind::ukModify:
        ASSERT_EQ(rows.count(d.OldValue(i, id).ToInt64()), 1u);
        rows[d.OldValue(i, id).ToInt64()] =
            d.NewValue(i, name).ToString() + "|" + d.NewValue(i, qty).ToString();
        break;
      case TUpdateKind::ukDelete:
        ASSERT_EQ(rows.erase(d.OldValue(i, id).ToInt64()), 1u);
        break;
    }
  }
}

// Random edits, inserts, deletes, undos, reverts, re-sorts and filters: at every step the base data with the
// delta applied is exactly the current data, and cancelling the updates gives the base back.
TEST(ChangeLogTest, DeltaAlwaysTurnsTheBaseIntoTheCurrentData) {
  TClientDataSet ds;
  FillStaff(ds);
  Rows base = RowsOf(ds.GetData());
  std::mt19937 rng(12345);
  int nextId = 100;
  auto pick = [&] {
    if (!ds.IsEmpty()) ds.SetRecNo(1 + static_cast<int>(rng() % static_cast<unsigned>(ds.RecordCount())));
  };
  for (int step = 0; step < 1500; ++step) {
    switch (rng() % 10) {
      case 0:
      case 1:
        rng() % 2 ? ds.Append() : (pick(), ds.Insert());
        ds.FieldByName("ID").SetValue(std::int32_t{nextId++});
        ds.FieldByName("Name").SetValue("n" + std::to_string(rng() % 50));
        if (rng() % 2) ds.FieldByName("Qty").SetValue(static_cast<double>(rng() % 10));
        rng() % 5 ? ds.Post() : ds.Cancel();
        break;
      case 2:
      case 3:
        if (ds.IsEmpty()) break;
        pick();
        ds.Edit();
        ds.FieldByName(rng() % 2 ? "Name" : "Qty").SetValue(std::to_string(rng() % 9));
        rng() % 5 ? ds.Post() : ds.Cancel();
        break;
      case 4:
        if (ds.IsEmpty()) break;
        pick();
        ds.Delete();
        break;
      case 5:
        ds.UndoLastChange(rng() % 2 == 0);
        break;
      case 6:
        pick();
        if (!ds.IsEmpty()) ds.RevertRecord();
        break;
      case 7:
        ds.SetIndexFieldNames(rng() % 3 == 0 ? "" : (rng() % 2 ? "Qty" : "Name;ID"));
        break;
      case 8:
        ds.SetFilter("Qty > 3");
        ds.SetFiltered(rng() % 2 == 0);
        break;
      case 9:
        if (rng() % 4 == 0) {
          ds.MergeChangeLog();
          base = RowsOf(ds.GetData());
        }
        break;
    }
    Rows expected = base;
    ApplyDelta(expected, ds.GetDelta());
    ASSERT_EQ(expected, RowsOf(ds.GetData())) << "step " << step;
  }
  ds.CancelUpdates();
  EXPECT_EQ(RowsOf(ds.GetData()), base);
  EXPECT_EQ(ds.ChangeCount(), 0);
}

}  // namespace
}  // namespace sw
