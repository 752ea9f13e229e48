#include <gtest/gtest.h>

#include "QtTestApp.h"
#include "sw/common/MessageSink.h"
#include "sw/dataset/ClientDataSet.h"
#include "sw/ui/DBDataSource.h"
#include "sw/ui/DBEdits.h"
#include "sw/ui/QtText.h"

namespace sw {
namespace {

class EditorsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::QtApp();
    ds.AddFieldDef("Name", TFieldType::ftString, 20);
    ds.AddFieldDef("Qty", TFieldType::ftFloat);
    ds.AddFieldDef("Born", TFieldType::ftDate);
    ds.AddFieldDef("Kind", TFieldType::ftString, 2);
    ds.AddFieldDef("Active", TFieldType::ftString, 1);
    ds.AddFieldDef("Note", TFieldType::ftMemo);
    ds.CreateDataSet();
    ds.AppendRecord({"张三", 1.5, Variant::Date(45000), "01", "1", "甲"});
    ds.AppendRecord({"李四", 2.0, Variant::Null(), "02", "0", "乙"});
    ds.First();
    source.SetDataSet(&ds);
  }
  TClientDataSet ds;
  TDBDataSource source;
};

// Each editor shows the current record's field, follows scrolling and writes back into edit state.
TEST_F(EditorsTest, EditorsFollowTheRecordAndWriteBack) {
  TDBEdit edit(nullptr, "EdtName");
  edit.Link().SetDataSource(&source);
  edit.Link().SetFieldName("Name");
  TDBNumberEditEh number(nullptr, "EdtQty");
  number.Link().SetDataSource(&source);
  number.Link().SetFieldName("Qty");
  TDBComboBoxEh combo(nullptr, "CmbKind");
  combo.Link().SetDataSource(&source);
  combo.Link().SetFieldName("Kind");
  combo.SetItems({"普通", "管理"}, {"01", "02"});
  TDBCheckBoxEh check(nullptr, "ChkActive");
  check.Link().SetDataSource(&source);
  check.Link().SetFieldName("Active");
  TDBMemo memo(nullptr, "MemNote");
  memo.Link().SetDataSource(&source);
  memo.Link().SetFieldName("Note");
  TDBDateTimeEditEh date(nullptr, "DtBorn");
  date.Link().SetDataSource(&source);
  date.Link().SetFieldName("Born");

  EXPECT_EQ(edit.objectName(), "EdtName");
  EXPECT_EQ(edit.text(), QString::fromUtf8("张三"));
  EXPECT_EQ(number.text(), "1.5");
  EXPECT_EQ(combo.currentText(), QString::fromUtf8("普通"));
  EXPECT_TRUE(check.isChecked());
  EXPECT_EQ(memo.toPlainText(), QString::fromUtf8("甲"));
  EXPECT_EQ(date.date(), QDate(1899, 12, 30).addDays(45000));

  ds.Next();
  EXPECT_EQ(edit.text(), QString::fromUtf8("李四"));
  EXPECT_EQ(combo.currentText(), QString::fromUtf8("管理"));
  EXPECT_FALSE(check.isChecked());

  edit.setText(QString::fromUtf8("王五"));
  emit edit.editingFinished();
  EXPECT_EQ(ds.State(), TDataSetState::dsEdit);
  combo.setCurrentIndex(0);
  emit combo.activated(0);
  check.click();
  date.setDate(QDate(2020, 1, 2));
  ds.Post();
  EXPECT_EQ(ds.FieldByName("Name").AsString(), "王五");
  EXPECT_EQ(ds.FieldByName("Kind").AsString(), "01");
  EXPECT_EQ(ds.FieldByName("Active").AsString(), "1");
  EXPECT_EQ(ds.FieldByName("Born").AsDateTime(), QDate(1899, 12, 30).daysTo(QDate(2020, 1, 2)));
}

// A value the field refuses is shown in an error box (the editors run inside Qt's signal handlers) and the
// editor shows the field's value again.
TEST_F(EditorsTest, RefusedValueIsShownAndNotThrown) {
  RecordingMessageSink sink;
  ScopedMessageSink scoped(sink);
  TDBEdit qty;
  qty.Link().SetDataSource(&source);
  qty.Link().SetFieldName("Qty");
  qty.setText("abc");
  EXPECT_NO_THROW(emit qty.editingFinished());
  ASSERT_EQ(sink.Boxes().size(), 1u);
  EXPECT_EQ(sink.Boxes()[0].kind, MessageKind::Error);
  EXPECT_EQ(ds.FieldByName("Qty").AsFloat(), 1.5);
  EXPECT_EQ(qty.text(), "1.5");
}

TEST_F(EditorsTest, ReadOnlyMissingOrDetachedFieldsAreNotWritten) {
  TDBEdit edit;
  edit.Link().SetDataSource(&source);
  edit.Link().SetFieldName("NoSuchField");
  EXPECT_EQ(edit.text(), "");
  EXPECT_FALSE(edit.Link().WriteText("x"));
  edit.Link().SetFieldName("Name");
  ds.FieldByName("Name").SetReadOnly(true);
  EXPECT_FALSE(edit.Link().WriteText("x"));
  EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);
  source.SetDataSet(nullptr);
  EXPECT_EQ(edit.text(), "");
  EXPECT_FALSE(edit.Link().WriteText("x"));
}

}  // namespace
}  // namespace sw
