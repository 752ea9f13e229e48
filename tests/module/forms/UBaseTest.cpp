#include <gtest/gtest.h>

#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <string>
#include <vector>

#include "../../platform/ui/QtTestApp.h"
#include "sw/common/MessageSink.h"
#include "sw/core/Error.h"
#include "sw/dataset/ClientDataSet.h"
#include "sw/forms/UBase.h"
#include "sw/hostvars/HostVars.h"
#include "sw/ui/DBDataSource.h"
#include "sw/ui/DBGridEh.h"
#include "sw/ui/ModalHook.h"

namespace sw {
namespace {

// A form with two edits, a memo, a check box and two grids (Tag 0 and Tag 1) over one data set.
class TestForm : public TfrmBase {
 public:
  TestForm() : TfrmBase(nullptr) {
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    for (const char* name : {"Edit1", "Edit2"}) {
      auto* e = new QLineEdit(body);
      e->setObjectName(name);
      layout->addWidget(e);
    }
    memo = new QPlainTextEdit(body);
    memo->setObjectName("Memo1");
    layout->addWidget(memo);
    check = new QCheckBox(body);
    check->setObjectName("CheckBox1");
    layout->addWidget(check);
    source = new TDBDataSource(this, "DSMaster");
    for (int tag : {0, 1}) {
      auto* g = new TDBGridEh(body, tag == 0 ? "dgrdsearch" : "dgrdfixed");
      g->SetTag(tag);
      g->SetDataSource(source);
      g->AddColumn("Code");
      g->AddColumn("Qty");
      layout->addWidget(g);
      grids.push_back(g);
    }
    setCentralWidget(body);
  }
  QLineEdit* Edit(const char* name) { return findChild<QLineEdit*>(name); }
  int captionsLoaded = 0;
  QPlainTextEdit* memo;
  QCheckBox* check;
  TDBDataSource* source;
  std::vector<TDBGridEh*> grids;

 protected:
  void LoadCaptions() override { ++captionsLoaded; }
};

class UBaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::QtApp();
    ClearSession();
  }
  void TearDown() override {
    SetCopyDataReceiver(0, nullptr);
    ClearSession();
  }
};

TEST_F(UBaseTest, DesignedLookAndHostStyleTakenAtCreation) {
  SetStringByName("LanguageType", "2");
  SetStringByName("ImeName", "拼音");
  SetStringByName("LargeIcons", "1");
  TfrmBase form;
  EXPECT_EQ(form.windowTitle(), QString::fromUtf8("基类窗口"));
  EXPECT_EQ(form.size(), QSize(371, 241));
  EXPECT_EQ(form.font().family(), QString::fromUtf8("宋体"));
  EXPECT_EQ(form.font().pointSize(), 9);
  EXPECT_NE(form.findChild<QObject*>("XPMBase"), nullptr);
  EXPECT_EQ(form.LanguageType, lt_USA);
  EXPECT_EQ(form.ImeName, "拼音");
  EXPECT_EQ(form.ButtonStyle.LargeIcons, 1);
  EXPECT_FALSE(form.IsWFLState);
  EXPECT_TRUE(form.WflWhere.empty());
}

// Colours that are 0 and an absent font leave the form as designed; set ones are applied at show.
TEST_F(UBaseTest, FaceStyleAppliedAtShowOnlyWhereSet) {
  struct Case {
    const char* formColor;
    const char* fontName;
    bool colourChanged;
    bool fontChanged;
  };
  const Case cases[] = {
      {"0", "", false, false}, {"255", "", true, false}, {"0", "Noto Sans CJK SC", false, true}};
  for (const Case& c : cases) {
    ClearSession();
    SetStringByName("FormColor", c.formColor);
    SetStringByName("FontName", c.fontName);
    TestForm form;
    const QColor designed = form.palette().color(QPalette::Window);
    const QFont designedFont = form.font();
    form.sParam = Variant("left over");
    form.show();
    EXPECT_EQ(form.captionsLoaded, 1);
    EXPECT_EQ(form.sParam, Variant(std::string()));
    EXPECT_EQ(form.palette().color(QPalette::Window) != designed, c.colourChanged) << c.formColor;
    if (c.colourChanged) {
      EXPECT_EQ(form.palette().color(QPalette::Window), QColor(255, 0, 0));
    }
    EXPECT_EQ(form.font() != designedFont, c.fontChanged) << c.fontName;
    form.hide();
    form.show();
    EXPECT_EQ(form.captionsLoaded, 2);  // every show
  }
}

TEST_F(UBaseTest, ImeSettingsReachOnlyTheEditKinds) {
  SetStringByName("ImeName", "拼音");
  TestForm form;
  form.FormShow();
  EXPECT_EQ(form.Edit("Edit1")->property("ImeMode").toString(), "imOpen");
  EXPECT_EQ(form.Edit("Edit1")->property("ImeName").toString(), QString::fromUtf8("拼音"));
  EXPECT_EQ(form.grids[1]->property("ImeMode").toString(), "imOpen");
  EXPECT_FALSE(form.check->property("ImeMode").isValid());
  EXPECT_FALSE(form.memo->property("ImeMode").isValid());  // a plain memo is not a data-bound one
  form.ImeName.clear();
  form.FormShow();
  EXPECT_EQ(form.Edit("Edit2")->property("ImeMode").toString(), "imDontCare");
  EXPECT_EQ(form.Edit("Edit2")->property("ImeName").toString(), "");
}

// Enter in an edit moves on and is swallowed; in a memo or a grid it keeps its own meaning.
TEST_F(UBaseTest, EnterMovesFocusExceptInMemosAndGrids) {
  TestForm form;
  form.show();
  form.activateWindow();
  QApplication::setActiveWindow(&form);
  int returns = 0;
  QObject::connect(form.Edit("Edit1"), &QLineEdit::returnPressed, [&returns] { ++returns; });

  struct Case {
    QWidget* control;
    bool moves;
  };
  const Case cases[] = {{form.Edit("Edit1"), true}, {form.memo, false}, {form.grids[0], false}};
  for (const Case& c : cases) {
    c.control->setFocus();
    QApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), c.control);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
    QApplication::sendEvent(c.control, &press);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget() != c.control, c.moves) << c.control->objectName().toStdString();
  }
  EXPECT_EQ(returns, 0);                      // the edit never saw its Enter
  EXPECT_EQ(form.memo->toPlainText(), "\n");  // the memo got its new line

  char key = 'a';
  form.FormKeyPress(form.Edit("Edit2"), key);
  EXPECT_EQ(key, 'a');  // other keys pass
}

TEST_F(UBaseTest, GridsWithTagZeroArePreparedForSortingOthersLeftAlone) {
  SetStringByName("FixedColor", "65280");  // green
  SetStringByName("FooterColor", "0");
  TClientDataSet ds;
  ds.AddFieldDef("Code", TFieldType::ftString, 5);
  ds.AddFieldDef("Qty", TFieldType::ftInteger);
  ds.CreateDataSet();
  ds.AppendRecord({"A", 1});
  ds.AppendRecord({"B", 3});
  ds.AppendRecord({"C", 2});
  TestForm form;
  form.source->SetDataSet(&ds);
  const QColor designedFooter = form.grids[0]->FooterColor();
  form.FormShow();

  TDBGridEh& sorted = *form.grids[0];
  EXPECT_TRUE(sorted.Options().AutoSortMarking);
  EXPECT_TRUE(sorted.Options().MultiSortMarking);
  EXPECT_TRUE(sorted.Options().Flat);
  EXPECT_EQ(sorted.FixedColor(), QColor(0, 255, 0));
  EXPECT_EQ(sorted.FooterColor(), designedFooter);
  EXPECT_TRUE(sorted.Column(0).Title.TitleButton);
  EXPECT_TRUE(sorted.Column(1).Title.TitleButton);

  TDBGridEh& fixed = *form.grids[1];
  EXPECT_FALSE(fixed.Options().AutoSortMarking);
  EXPECT_FALSE(fixed.Options().Flat);
  EXPECT_FALSE(fixed.FixedColor().isValid());
  EXPECT_FALSE(fixed.Column(0).Title.TitleButton);

  // A click on the code title marks it down: the index over code and quantity (every column, in column order)
  // has the code descending; the data set goes to the first record.
  ds.Last();
  sorted.ClickTitle(0);
  EXPECT_EQ(ds.IndexName(), "SortIndexEh");
  EXPECT_EQ(ds.IndexDefs().Find("SortIndexEh")->Fields, "Code;Qty");
  EXPECT_EQ(ds.RecNo(), 1);
  EXPECT_EQ(sorted.CellText(0, 0), "C");
  EXPECT_EQ(sorted.CellText(2, 0), "A");
  // Showing again does not connect the handler twice.
  form.FormShow();
  int handled = 0;
  QObject::connect(&sorted, &TDBGridEh::SortMarkingChanged, [&handled](TDBGridEh*) { ++handled; });
  sorted.ClickTitle(0);  // marker up: ascending again
  EXPECT_EQ(handled, 1);
  EXPECT_EQ(sorted.CellText(0, 0), "A");
}

// The activation message: "FunCode|Tag" with its 0 byte, to the host window named by "MainHandle".
TEST_F(UBaseTest, ActivationSendsFunCodeAndTagToTheHostWindow) {
  std::vector<std::string> received;
  SetCopyDataReceiver(777, [&received](std::int64_t, std::uint32_t kind, const std::string& data) {
    EXPECT_EQ(kind, 0u);
    received.push_back(data);
  });
  TfrmBase form;
  form.SetFunCode("180614");
  form.SetTag(3);
  struct Case {
    const char* mainHandle;
    std::size_t messages;
  };
  const Case cases[] = {{"", 0}, {"0", 0}, {"777", 1}, {" 777 ", 1}};
  for (const Case& c : cases) {
    received.clear();
    SetStringByName("MainHandle", c.mainHandle);
    form.FormActivate();
    EXPECT_EQ(received.size(), c.messages) << '"' << c.mainHandle << '"';
  }
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].size(), 9u);
  EXPECT_EQ(received[0], std::string("180614|3\0", 9));
  EXPECT_EQ(form.ActivationText(), "180614|3");

  SetStringByName("MainHandle", "main window");
  EXPECT_THROW(form.FormActivate(), Error);
}

// Activation comes as a Qt event, which cannot carry an exception: the conversion error is shown instead.
TEST_F(UBaseTest, BadMainHandleOnActivationIsShownNotThrown) {
  RecordingMessageSink sink;
  ScopedMessageSink scoped(sink);
  SetStringByName("MainHandle", "main window");
  TfrmBase form;
  QEvent activate(QEvent::WindowActivate);
  QApplication::sendEvent(&form, &activate);
  ASSERT_EQ(sink.Boxes().size(), 1u);
  EXPECT_EQ(sink.Boxes()[0].kind, MessageKind::Error);
  EXPECT_EQ(sink.Boxes()[0].caption, "Norvik商业");
  EXPECT_NE(sink.Boxes()[0].text.find("main window"), std::string::npos);
}

TEST_F(UBaseTest, ModalFormSendsNoActivationMessage) {
  int received = 0;
  SetCopyDataReceiver(55, [&received](std::int64_t, std::uint32_t, const std::string&) { ++received; });
  SetStringByName("MainHandle", "55");
  TfrmBase form;
  form.SetFunCode("180614");
  ui::ScriptedModalDriver driver;
  driver.Push([&form](QWidget& w) {
    EXPECT_EQ(&w, &form);
    EXPECT_TRUE(form.IsModal());
    form.FormActivate();
    return 2;
  });
  EXPECT_EQ(form.ShowModal(), 2);
  EXPECT_EQ(received, 0);
  EXPECT_FALSE(form.IsModal());
  form.FormActivate();
  EXPECT_EQ(received, 1);
}

TEST_F(UBaseTest, HostSetsValuesThroughPropertiesAndEntryPoints) {
  TfrmBase form;
  form.setProperty("FunCode", "180601");
  form.setProperty("Tag", 12);
  EXPECT_EQ(form.FunCode(), "180601");
  EXPECT_EQ(form.Tag(), 12);
  Variant where("x");
  form.ReplaceParamWhere(where);  // empty bodies at this level
  form.SetLinkWhere(Variant("a=1"));
  form.SetWflData(Variant());
  EXPECT_EQ(where, Variant("x"));
  EXPECT_TRUE(form.LinkWhere.empty());
}

}  // namespace
}  // namespace sw
