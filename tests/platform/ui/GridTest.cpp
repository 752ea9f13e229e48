#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QGlyphRun>
#include <QHeaderView>
#include <QImage>
#include <QMenu>
#include <QRawFont>
#include <QTextLayout>
#include <QVBoxLayout>
#include <memory>

#include "QtTestApp.h"
#include "sw/common/MessageSink.h"
#include "sw/core/Error.h"
#include "sw/dataset/ClientDataSet.h"
#include "sw/ui/DBDataSource.h"
#include "sw/ui/DBGridEh.h"
#include "sw/ui/DBGridModel.h"
#include "sw/ui/QtText.h"

namespace sw {
namespace {

// A grid over a small data set: code, name, quantity, amount, a flag and a memo.
class GridTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::QtApp();
    ds.AddFieldDef("Code", TFieldType::ftString, 10);
    ds.AddFieldDef("Name", TFieldType::ftString, 20);
    ds.AddFieldDef("Qty", TFieldType::ftInteger);
    ds.AddFieldDef("Amount", TFieldType::ftFloat);
    ds.AddFieldDef("Flag", TFieldType::ftString, 1);
    ds.AddFieldDef("Note", TFieldType::ftMemo);
    ds.CreateDataSet();
    ds.AppendRecord({"B02", "李四", 3, 2.5, "0", "x"});
    ds.AppendRecord({"A01", "张三", 1, 10.25, "1", "y"});
    ds.AppendRecord({"C03", "王五", 2, 7.0, "1", "z"});
    ds.First();
    source.SetDataSet(&ds);
    grid.SetDataSource(&source);
    grid.AddColumn("Code", "用户|代码");
    grid.AddColumn("Name", "用户|名称");
    grid.AddColumn("Qty", "数量");
    grid.AddColumn("Amount", "金额");
    grid.AddColumn("Note", "备注");
  }

  TClientDataSet ds;
  TDBDataSource source{nullptr, "DSMaster"};
  TDBGridEh grid{nullptr, "dgrdsearch"};
};

TEST_F(GridTest, CellsShowTheFieldsDisplayTextsAndTitlesStack) {
  EXPECT_EQ(grid.objectName(), "dgrdsearch");
  EXPECT_EQ(grid.model()->rowCount(), 3);
  EXPECT_EQ(grid.CellText(0, 0), "B02");
  EXPECT_EQ(grid.CellText(1, 1), "张三");
  EXPECT_EQ(grid.CellText(2, 2), "2");
  EXPECT_EQ(grid.TitleLevels(), 2);
  EXPECT_EQ(grid.model()->headerData(1, Qt::Horizontal, kFieldNameRole).toString(), "Name");
  EXPECT_THROW(grid.CellText(3, 0), Error);
  EXPECT_THROW(grid.CellText(0, 9), Error);
  // Reading other rows leaves the data set where it was.
  EXPECT_EQ(ds.RecNo(), 1);
}

// Only the rows asked for are formatted: the get-text handler runs once per painted cell, not per record.
TEST_F(GridTest, TextsAreProducedOnlyForRowsAskedFor) {
  int calls = 0;
  ds.FieldByName("Name").OnGetText = [&calls](TField& f, std::string& text, bool) {
    ++calls;
    text = "<" + f.AsString() + ">";
  };
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(grid.CellText(2, 1), "<王五>");
  EXPECT_EQ(calls, 1);
}

TEST_F(GridTest, CurrentRowFollowsTheDataSetBothWays) {
  grid.SetCurrentRow(2);
  EXPECT_EQ(ds.RecNo(), 3);
  EXPECT_EQ(ds.FieldByName("Code").AsString(), "C03");
  ds.First();
  EXPECT_EQ(grid.currentIndex().row(), 0);
  EXPECT_THROW(grid.SetCurrentRow(7), Error);
}

TEST_F(GridTest, TitleClicksMoveSortMarkersAndSignal) {
  grid.Options().AutoSortMarking = true;
  grid.Options().MultiSortMarking = true;
  for (std::size_t i = 0; i < grid.ColumnCount(); ++i) grid.Column(i).Title.TitleButton = true;
  int emitted = 0;
  QObject::connect(&grid, &TDBGridEh::SortMarkingChanged, [&emitted](TDBGridEh*) { ++emitted; });
  struct Step {
    std::size_t column;
    bool ctrl;
    std::vector<TSortMarkerEh> markers;  // of columns 0..2 afterwards
  };
  using M = TSortMarkerEh;
  const Step steps[] = {
      {0, false, {M::smDown, M::smNone, M::smNone}},
      {0, false, {M::smUp, M::smNone, M::smNone}},
      {2, true, {M::smUp, M::smNone, M::smDown}},
      {1, false, {M::smNone, M::smDown, M::smNone}},
  };
  for (const Step& s : steps) {
    grid.ClickTitle(s.column, s.ctrl);
    for (std::size_t c = 0; c < s.markers.size(); ++c)
      EXPECT_EQ(grid.Column(c).Title.SortMarker, s.markers[c])
          << "column " << c << " after click on " << s.column;
  }
  EXPECT_EQ(emitted, 4);
  // A title without a title button does nothing.
  grid.Column(3).Title.TitleButton = false;
  grid.ClickTitle(3);
  EXPECT_EQ(emitted, 4);
}

// The index covers every eligible column in column order (the memo is left out); down markers make their
// fields descending; the data set goes to the first record.
TEST_F(GridTest, SortByMarkersBuildsTheSortIndex) {
  // Quantity descending, then the code ascending; the memo is not sortable.
  grid.ClearColumns();
  grid.AddColumn("Qty").Title.SortMarker = TSortMarkerEh::smDown;
  grid.AddColumn("Code");
  grid.AddColumn("Note");
  ds.Last();
  grid.SortByMarkers();
  const TIndexDef* idx = ds.IndexDefs().Find("SortIndexEh");
  ASSERT_NE(idx, nullptr);
  EXPECT_EQ(idx->Fields, "Qty;Code");
  EXPECT_EQ(idx->DescFields, "Qty");
  EXPECT_EQ(ds.IndexName(), "SortIndexEh");
  EXPECT_EQ(ds.RecNo(), 1);
  EXPECT_EQ(grid.CellText(0, 1), "B02");
  EXPECT_EQ(grid.CellText(2, 1), "A01");
  // Sorting again replaces the index.
  grid.Column(0).Title.SortMarker = TSortMarkerEh::smUp;
  grid.SortByMarkers();
  EXPECT_EQ(ds.IndexDefs().Find("SortIndexEh")->DescFields, "");
  EXPECT_EQ(grid.CellText(0, 1), "A01");
}

TEST_F(GridTest, FooterShowsFixedTextsSumsAndHiddenSums) {
  grid.Options().FooterRowCount = 1;
  grid.ApplyOptions();
  grid.Column(0).Footer = {TFooterValueType::fvtStaticText, "合计：", ""};
  grid.Column(2).Footer = {TFooterValueType::fvtSum, "", "*"};
  grid.Column(3).Footer = {TFooterValueType::fvtSum, "", "#0.00"};
  grid.Column(1).Footer = {TFooterValueType::fvtCount, "", ""};
  grid.RefreshFooter();
  EXPECT_EQ(grid.FooterText(0), "合计：");
  EXPECT_EQ(grid.FooterText(1), "3");
  EXPECT_EQ(grid.FooterText(2), "*");
  EXPECT_EQ(grid.FooterText(3), "19.75");
  EXPECT_EQ(grid.FooterText(4), "");
  // Sums follow data changes.
  ds.First();
  ds.Edit();
  ds.FieldByName("Amount").SetAsFloat(100);
  ds.Post();
  EXPECT_EQ(grid.FooterText(3), "117.25");
}

TEST_F(GridTest, CheckBoxAndPickListColumnsMapStoredValues) {
  TColumnEh& flag = grid.AddColumn("Flag", "选择");
  flag.Checkboxes = true;
  flag.KeyList = {"1", "0"};
  const int c = static_cast<int>(grid.ColumnCount() - 1);
  auto* m = grid.model();
  EXPECT_EQ(m->data(m->index(0, c), Qt::CheckStateRole).toInt(), Qt::Unchecked);
  EXPECT_EQ(m->data(m->index(1, c), Qt::CheckStateRole).toInt(), Qt::Checked);
  EXPECT_TRUE(m->flags(m->index(0, c)).testFlag(Qt::ItemIsUserCheckable));
  EXPECT_TRUE(m->setData(m->index(0, c), Qt::Checked, Qt::CheckStateRole));
  ds.Post();
  ds.First();
  EXPECT_EQ(ds.FieldByName("Flag").AsString(), "1");

  TColumnEh& code = grid.Column(0);
  code.PickList = {"第一", "第二"};
  code.KeyList = {"B02", "A01"};
  EXPECT_EQ(m->data(m->index(1, 0), Qt::DisplayRole).toString(), QString::fromUtf8("第二"));
  // Read-only grids and columns give no editing.
  grid.Options().ReadOnly = true;
  EXPECT_FALSE(m->flags(m->index(0, 1)).testFlag(Qt::ItemIsEditable));
  EXPECT_FALSE(m->setData(m->index(0, 1), "x", Qt::EditRole));
}

TEST_F(GridTest, RefusedCellValueIsShownNotThrown) {
  RecordingMessageSink sink;
  ScopedMessageSink scoped(sink);
  auto* m = grid.model();
  EXPECT_FALSE(m->setData(m->index(1, 2), "many", Qt::EditRole));
  ASSERT_EQ(sink.Boxes().size(), 1u);
  EXPECT_EQ(sink.Boxes()[0].kind, MessageKind::Error);
  EXPECT_TRUE(m->setData(m->index(1, 2), "42", Qt::EditRole));
  ds.Post();
  EXPECT_EQ(grid.CellText(1, 2), "42");
}

TEST_F(GridTest, SelectedRowsAndPopupMenu) {
  grid.Options().MultiSelect = true;
  grid.ApplyOptions();
  grid.SelectRow(2);
  grid.SelectRow(0, true);
  EXPECT_EQ(grid.SelectedRows(), (std::vector<int>{0, 2}));
  grid.SelectRow(1);
  EXPECT_EQ(grid.SelectedRows(), (std::vector<int>{1}));
  QMenu menu;
  grid.SetPopupMenu(&menu);
  EXPECT_EQ(grid.PopupMenu(), &menu);
  grid.SetTag(1);
  EXPECT_EQ(grid.Tag(), 1);
}

TEST_F(GridTest, DetachedOrClosedDataSetShowsNothing) {
  ds.Close();
  EXPECT_EQ(grid.model()->rowCount(), 0);
  grid.SetDataSource(nullptr);
  EXPECT_EQ(grid.model()->rowCount(), 0);
  EXPECT_NO_THROW(grid.SortByMarkers());
  EXPECT_NO_THROW(grid.RefreshFooter());
}

// Counts pixels that differ from the background inside a rectangle: real glyphs leave many, missing-glyph
// boxes leave only their outlines.
int InkPixels(const QImage& img, const QRect& r) {
  const QRgb bg = img.pixel(r.right() - 1, r.bottom() - 1);
  int n = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      if (img.pixel(x, y) != bg) ++n;
  return n;
}

TEST_F(GridTest, ChineseTextIsDrawnWithARealCjkFont) {
  bool cjk = false;
  for (const QString& family : QFontDatabase::families(QFontDatabase::SimplifiedChinese))
    if (family.contains("CJK") || family.contains("Noto Sans SC") || family.contains("WenQuanYi")) cjk = true;
  ASSERT_TRUE(cjk) << "no CJK font family is installed";

  QWidget form;
  form.setWindowTitle(QString::fromUtf8("已删除用户查询"));
  auto* layout = new QVBoxLayout(&form);
  auto* g = new TDBGridEh(&form, "dgrdshot");
  layout->addWidget(g);
  g->SetDataSource(&source);
  g->AddColumn("Code", "用户|代码");
  g->AddColumn("Name", "用户|名称");
  g->Options().FooterRowCount = 1;
  g->ApplyOptions();
  g->Column(0).Footer = {TFooterValueType::fvtStaticText, "合计：", ""};
  g->RefreshFooter();
  form.resize(400, 220);
  form.show();
  QApplication::processEvents();
  const QImage img = form.grab().toImage();
  if (const char* dir = std::getenv("SW_SHOTS_DIR")) img.save(QString(dir) + "/grid-cjk.png");
  // The name cell "张三" (row 1, column 1) and the title: a square-box fallback would leave only an outline.
  const QRect cell =
      g->visualRect(g->model()->index(1, 1)).translated(g->viewport()->mapTo(&form, QPoint(0, 0)));
  const QRect box(cell.left() + 2, cell.top() + 2, 2 * g->fontMetrics().height(), cell.height() - 4);
  const int ink = InkPixels(img, box);
  EXPECT_GT(ink, 20) << "the Chinese text left almost no ink";
  // Every glyph the grid's font (with its fallbacks) uses for the text is a real one, not the missing glyph.
  QTextLayout text(QString::fromUtf8("张三合计"), g->font());
  text.beginLayout();
  text.createLine();
  text.endLayout();
  int glyphs = 0;
  for (const QGlyphRun& run : text.glyphRuns())
    for (quint32 index : run.glyphIndexes()) {
      EXPECT_NE(index, 0u) << "missing glyph in " << run.rawFont().familyName().toStdString();
      ++glyphs;
    }
  EXPECT_EQ(glyphs, 4);
}

}  // namespace
}  // namespace sw
