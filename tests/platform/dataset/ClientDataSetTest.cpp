// Fields, states, hooks, navigation, observers, text handlers, snapshots and misuse of the client data set.
#include <gtest/gtest.h>

#include "Fixture.h"
#include "sw/core/Error.h"

namespace sw {
namespace {

using testing::Column;
using testing::FillStaff;
using testing::Strings;

TEST(ClientDataSetTest, FieldsByNameKindAndValues) {
  TClientDataSet ds;
  FillStaff(ds);
  EXPECT_EQ(ds.FieldCount(), 8u);
  EXPECT_EQ(ds.FindField("name"), &ds.FieldByName("NAME"));
  EXPECT_EQ(ds.FindField("Missing"), nullptr);
  EXPECT_THROW(ds.FieldByName("Missing"), Error);
  EXPECT_EQ(ds.FieldByName("Amount").DataType(), TFieldType::ftCurrency);
  EXPECT_EQ(ds.FieldByName("Amount").FieldKind(), TFieldKind::fkData);
  EXPECT_EQ(ds.FieldByName("Name").Size(), 20);
  EXPECT_EQ(ds.FieldByName("Name").AsString(), "张三");
  EXPECT_EQ(ds.FieldByName("Amount").AsString(), "100");
  EXPECT_EQ(ds.FieldByName("Born").AsString(), "1990-01-02");
  EXPECT_EQ(ds.FieldByName("Active").AsString(), "True");
  EXPECT_EQ(ds.FieldByName("Qty").AsFloat(), 3.0);
  ds.Last();
  ds.Prior();
  EXPECT_TRUE(ds.FieldByName("Born").IsNull());
  EXPECT_EQ(ds.FieldByName("Born").AsString(), "");
  EXPECT_EQ(ds.FieldByName("Born").AsDateTime(), 0.0);
}

TEST(ClientDataSetTest, StatesAndMisuse) {
  TClientDataSet ds;
  EXPECT_EQ(ds.State(), TDataSetState::dsInactive);
  EXPECT_THROW(ds.First(), Error);
  EXPECT_THROW(ds.Open(), Error);           // no data
  EXPECT_THROW(ds.CreateDataSet(), Error);  // no field definitions
  FillStaff(ds);
  EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);
  EXPECT_THROW(ds.FieldByName("Name").SetValue("x"), Error);  // not editing
  ds.Edit();
  EXPECT_EQ(ds.State(), TDataSetState::dsEdit);
  EXPECT_THROW(ds.FieldByName("ID").SetValue("abc"), Error);  // not an integer
  EXPECT_THROW(ds.FieldByName("ID").SetValue(std::int64_t{1} << 40), Error);
  ds.FieldByName("Name").SetReadOnly(true);
  EXPECT_THROW(ds.FieldByName("Name").SetValue("x"), Error);
  ds.FieldByName("ID").Clear();
  EXPECT_THROW(ds.Post(), Error);  // required field
  EXPECT_EQ(ds.State(), TDataSetState::dsEdit);
  ds.Cancel();
  EXPECT_EQ(ds.FieldByName("ID").AsInteger(), 1);
  ds.EmptyDataSet();
  EXPECT_TRUE(ds.IsEmpty());
  EXPECT_THROW(ds.Delete(), Error);
  ds.Close();
  EXPECT_EQ(ds.FieldCount(), 0u);
  EXPECT_THROW(ds.GetData(), Error);
}

TEST(ClientDataSetTest, HooksRunInOrderAndHandlersChain) {
  struct Recording : TClientDataSet {
    std::vector<std::string> log;
    void DoBeforeInsert() override { log.push_back("BeforeInsert"), TClientDataSet::DoBeforeInsert(); }
    void DoAfterInsert() override { log.push_back("AfterInsert"), TClientDataSet::DoAfterInsert(); }
    void DoBeforeEdit() override { log.push_back("BeforeEdit"), TClientDataSet::DoBeforeEdit(); }
    void DoAfterEdit() override { log.push_back("AfterEdit"), TClientDataSet::DoAfterEdit(); }
    void DoBeforePost() override { log.push_back("BeforePost"), TClientDataSet::DoBeforePost(); }
    void DoAfterPost() override { log.push_back("AfterPost"), TClientDataSet::DoAfterPost(); }
    void DoBeforeCancel() override { log.push_back("BeforeCancel"), TClientDataSet::DoBeforeCancel(); }
    void DoAfterCancel() override { log.push_back("AfterCancel"), TClientDataSet::DoAfterCancel(); }
    void DoBeforeDelete() override { log.push_back("BeforeDelete"), TClientDataSet::DoBeforeDelete(); }
    void DoAfterDelete() override { log.push_back("AfterDelete"), TClientDataSet::DoAfterDelete(); }
    void DoBeforeScroll() override { log.push_back("BeforeScroll"), TClientDataSet::DoBeforeScroll(); }
    void DoAfterScroll() override { log.push_back("AfterScroll"), TClientDataSet::DoAfterScroll(); }
    void DoOnNewRecord() override { log.push_back("NewRecord"), TClientDataSet::DoOnNewRecord(); }
  } ds;
  FillStaff(ds);
  int screenHandler = 0;
  ds.BeforePost = [&](TClientDataSet&) { ++screenHandler; };
  struct Step {
    const char* name;
    std::function<void()> run;
    Strings expected;
  };
  const Step steps[] = {
      {"insert",
       [&] { ds.Insert(); },
       {"BeforeInsert", "BeforeScroll", "NewRecord", "AfterInsert", "AfterScroll"}},
      {"cancel", [&] { ds.Cancel(); }, {"BeforeCancel", "AfterCancel"}},
      {"edit", [&] { ds.Edit(); }, {"BeforeEdit", "AfterEdit"}},
      {"post", [&] { ds.FieldByName("Qty").SetValue(1.0), ds.Post(); }, {"BeforePost", "AfterPost"}},
      {"next", [&] { ds.Next(); }, {"BeforeScroll", "AfterScroll"}},
      {"delete", [&] { ds.Delete(); }, {"BeforeDelete", "BeforeScroll", "AfterDelete", "AfterScroll"}},
      {"edit on empty inserts",
       [&] { ds.EmptyDataSet(), ds.Edit(); },
       {"BeforeInsert", "BeforeScroll", "NewRecord", "AfterInsert", "AfterScroll"}},
  };
  for (const auto& s : steps) {
    ds.log.clear();
    s.run();
    EXPECT_EQ(ds.log, s.expected) << s.name;
  }
  EXPECT_EQ(screenHandler, 1);
}

TEST(ClientDataSetTest, AbortInBeforePostKeepsTheEdit) {
  TClientDataSet ds;
  FillStaff(ds);
  ds.BeforePost = [](TClientDataSet&) { throw Abort(); };
  ds.Edit();
  ds.FieldByName("Name").SetValue("改");
  EXPECT_THROW(ds.Post(), Abort);
  EXPECT_EQ(ds.State(), TDataSetState::dsEdit);
  EXPECT_EQ(ds.FieldByName("Name").AsString(), "改");
  EXPECT_EQ(ds.ChangeCount(), 0);
}

TEST(ClientDataSetTest, NavigationFlagsAndRecNo) {
  TClientDataSet ds;
  FillStaff(ds);
  EXPECT_TRUE(ds.Bof());
  EXPECT_FALSE(ds.Eof());
  EXPECT_EQ(ds.RecNo(), 1);
  EXPECT_EQ(ds.MoveBy(3), 3);
  EXPECT_EQ(ds.RecNo(), 4);
  EXPECT_EQ(ds.MoveBy(10), 1);
  EXPECT_TRUE(ds.Eof());
  EXPECT_EQ(ds.MoveBy(-10), -4);
  EXPECT_TRUE(ds.Bof());
  ds.Prior();
  EXPECT_TRUE(ds.Bof());
  ds.SetRecNo(3);
  EXPECT_EQ(ds.FieldByName("ID").AsInteger(), 3);
  ds.Last();
  EXPECT_TRUE(ds.Eof());
  ds.Next();
  EXPECT_EQ(ds.FieldByName("ID").AsInteger(), 5);
  EXPECT_EQ(Column(ds, "ID"), (Strings{"1", "2", "3", "4", "5"}));
  ds.EmptyDataSet();
  EXPECT_TRUE(ds.Bof() && ds.Eof());
  EXPECT_EQ(ds.RecNo(), 0);
  EXPECT_TRUE(ds.FieldByName("ID").IsNull());
}

TEST(ClientDataSetTest, InsertPlacesBeforeCurrentAppendAtEnd) {
  TClientDataSet ds;
  FillStaff(ds);
  ds.SetRecNo(2);
  ds.Insert();
  ds.FieldByName("ID").SetValue(std::int32_t{10});
  ds.Post();
  EXPECT_EQ(ds.RecNo(), 2);
  ds.Append();
  ds.FieldByName("ID").SetValue(std::int32_t{11});
  ds.Post();
  EXPECT_EQ(ds.RecNo(), 7);
  EXPECT_EQ(Column(ds, "ID"), (Strings{"1", "10", "2", "3", "4", "5", "11"}));
  // Navigating away from an unmodified insert cancels it; from a modified one posts it.
  ds.Append();
  ds.First();
  EXPECT_EQ(ds.RecordCount(), 7);
  ds.Append();
  ds.FieldByName("ID").SetValue(std::int32_t{12});
  ds.First();
  EXPECT_EQ(ds.RecordCount(), 8);
}

TEST(ClientDataSetTest, TextHandlersAndConversions) {
  TClientDataSet ds;
  FillStaff(ds);
  TField& name = ds.FieldByName("Name");
  int tag = 42;
  name.Tag = &tag;
  name.OnGetText = [](TField& f, std::string& text, bool display) {
    text = (display ? "[" : "") + f.AsString() + (display ? "]" : "");
  };
  name.OnSetText = [](TField& f, const std::string& text) { f.SetAsString("<" + text + ">"); };
  EXPECT_EQ(name.Text(), "张三");
  EXPECT_EQ(name.DisplayText(), "[张三]");
  ds.Edit();
  name.SetText("x");
  EXPECT_EQ(name.AsString(), "<x>");
  EXPECT_EQ(name.OldValue(), Variant("张三"));
  EXPECT_EQ(*static_cast<int*>(name.Tag), 42);
  struct Case {
    const char* field;
    const char* text;
    const char* back;
  };
  const Case cases[] = {
      {"Qty", "2.5", "2.5"},
      {"Qty", "", ""},
      {"Amount", "12.3456", "12.3456"},
      {"Born", "2001-02-03", "2001-02-03"},
      {"Active", "false", "False"},
      {"Code", "", ""},
  };
  for (const auto& c : cases) {
    ds.FieldByName(c.field).SetText(c.text);
    EXPECT_EQ(ds.FieldByName(c.field).AsString(), c.back) << c.field << "=" << c.text;
  }
  EXPECT_TRUE(ds.FieldByName("Qty").IsNull());
  EXPECT_THROW(ds.FieldByName("Born").SetText("not a date"), Error);
  EXPECT_THROW(ds.FieldByName("Qty").SetText("1e999"), Error);
}

TEST(ClientDataSetTest, ObserversAndDisableControls) {
  TClientDataSet ds;
  FillStaff(ds);
  int changes = 0, states = 0;
  std::vector<TField*> fields;
  {
    TDataSource src(&ds);
    src.OnDataChange = [&](TDataSource&, TField* f) {
      ++changes;
      if (f != nullptr) fields.push_back(f);
    };
    src.OnStateChange = [&](TDataSource&) { ++states; };
    TDataSource second(&ds);
    int secondChanges = 0;
    second.OnDataChange = [&](TDataSource&, TField*) { ++secondChanges; };
    ds.Next();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(secondChanges, 1);
    ds.Edit();
    ds.FieldByName("Qty").SetValue(9.0);
    EXPECT_EQ(states, 1);
    ASSERT_EQ(fields.size(), 1u);
    EXPECT_EQ(fields[0], ds.FindField("qty"));
    ds.Post();
    EXPECT_EQ(states, 2);
    changes = 0;
    ds.DisableControls();
    ds.DisableControls();
    for (ds.First(); !ds.Eof(); ds.Next()) {
    }
    ds.EnableControls();
    EXPECT_EQ(changes, 0);
    EXPECT_TRUE(ds.ControlsDisabled());
    ds.EnableControls();
    EXPECT_EQ(changes, 1);  // one notice for everything held back
    EXPECT_FALSE(ds.ControlsDisabled());
  }
  ds.Next();  // the sources are gone; nothing must call them
  TDataSource outlives;
  {
    TClientDataSet shortLived;
    FillStaff(shortLived);
    outlives.SetDataSet(&shortLived);
  }
  EXPECT_EQ(outlives.DataSet(), nullptr);
}

TEST(ClientDataSetTest, SnapshotCopyHoldsUnsavedChanges) {
  TClientDataSet ds;
  FillStaff(ds);
  ds.Edit();
  ds.FieldByName("Name").SetValue("改名");
  ds.Post();
  ds.Last();
  ds.Delete();
  ds.Append();
  ds.FieldByName("ID").SetValue(std::int32_t{6});
  ds.FieldByName("Name").SetValue("新人");
  ds.Post();
  ds.Edit();
  ds.FieldByName("Name").SetValue("pending");  // an unposted edit is not part of the copy

  TClientDataSet snapshot;
  snapshot.SetData(ds.GetData());
  EXPECT_EQ(Column(snapshot, "Name"), (Strings{"改名", "李四", "王五", "赵六", "新人"}));
  EXPECT_EQ(snapshot.ChangeCount(), 0);
  EXPECT_EQ(snapshot.FieldByName("Born").DataType(), TFieldType::ftDate);
  EXPECT_TRUE(snapshot.FieldByName("ID").Required());
  ds.Cancel();
}

TEST(ClientDataSetTest, LoadingKeepsCalculatedFieldsAndSwapsWholeContent) {
  TClientDataSet ds;
  ds.AddFieldDef("A", TFieldType::ftInteger);
  TFieldDef calc{"Label", TFieldType::ftString, 10};
  calc.Kind = TFieldKind::fkCalculated;
  ds.FieldDefs().insert(ds.FieldDefs().begin(), calc);
  ds.CreateDataSet();
  EXPECT_EQ(ds.Fields(0).FieldName(), "A");  // data fields come first
  ds.AppendRecord({std::int32_t{1}, "one"});
  PacketReader r(ds.GetData());
  EXPECT_EQ(r.Fields().size(), 1u);  // calculated fields are never sent
  PacketWriter w;
  w.AddField("A", TFieldType::ftInteger);
  w.AddField("B", TFieldType::ftString, 5);
  w.AddInt(7);
  w.AddText("x");
  w.EndRow();
  ds.SetData(w.FinishVariant());
  EXPECT_EQ(ds.FieldCount(), 3u);
  EXPECT_EQ(ds.FieldByName("Label").FieldKind(), TFieldKind::fkCalculated);
  EXPECT_TRUE(ds.FieldByName("Label").IsNull());
  EXPECT_EQ(ds.FieldByName("B").AsString(), "x");
  EXPECT_THROW(ds.SetData(Variant(std::int32_t{5})), Error);
  EXPECT_EQ(ds.FieldByName("A").AsInteger(), 7);
}

}  // namespace
}  // namespace sw

namespace sw {
namespace {

// A derived data set wraps Post; moves that post a pending edit go through the wrapper too, and a wrapper can
// put a record back into editing with its modified mark.
TEST(ClientDataSetTest, DerivedPostWrapsTheBase) {
  struct Checked : TClientDataSet {
    int posts = 0;
    bool reject = false;
    void Post() override {
      ++posts;
      TClientDataSet::Post();
      if (reject) {
        Edit();
        SetModified(true);
      }
    }
  } ds;
  testing::FillStaff(ds);
  ds.posts = 0;
  ds.Edit();
  ds.FieldByName("Qty").SetValue(2.0);
  ds.Next();  // posts through the override
  EXPECT_EQ(ds.posts, 1);
  ds.reject = true;
  ds.Edit();
  ds.FieldByName("Qty").SetValue(3.0);
  ds.Post();
  EXPECT_EQ(ds.State(), TDataSetState::dsEdit);
  EXPECT_TRUE(ds.Modified());
  EXPECT_EQ(ds.FieldByName("Qty").AsFloat(), 3.0);
  ds.Edit();  // Edit while editing does nothing
  ds.reject = false;
  ds.Cancel();
  EXPECT_EQ(ds.FieldByName("Qty").AsFloat(), 3.0);  // the first post of the record stands
  EXPECT_EQ(ds.ChangeCount(), 2);
}

}  // namespace
}  // namespace sw
