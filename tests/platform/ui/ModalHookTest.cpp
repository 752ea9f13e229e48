#include <gtest/gtest.h>

#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

#include "QtTestApp.h"
#include "sw/common/MessageSink.h"
#include "sw/core/Error.h"
#include "sw/ui/Application.h"
#include "sw/ui/ModalHook.h"
#include "sw/ui/QtMessageSink.h"

namespace sw {
namespace {

class ModalHookTest : public ::testing::Test {
 protected:
  void SetUp() override { test::QtApp(); }
};

// The five kinds of box: caption passed on, icon and buttons chosen by the flags, the pressed button mapped
// back to the classic code.
TEST_F(ModalHookTest, QtSinkShowsEachKindWithItsIconAndButtons) {
  struct Case {
    int flags;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton press;
    int code;
  };
  const Case cases[] = {
      {mb::kYesNo | mb::kIconQuestion, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
       QMessageBox::Yes, id::kYes},
      {mb::kYesNo | mb::kIconQuestion, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
       QMessageBox::No, id::kNo},
      {mb::kOk | mb::kIconInformation, QMessageBox::Information, QMessageBox::Ok, QMessageBox::Ok, id::kOk},
      {mb::kOk | mb::kIconStop, QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok, id::kOk},
      {mb::kOk | mb::kIconExclamation, QMessageBox::Warning, QMessageBox::Ok, QMessageBox::Ok, id::kOk},
      {mb::kOkCancel | mb::kIconInformation, QMessageBox::Information, QMessageBox::Ok | QMessageBox::Cancel,
       QMessageBox::Cancel, id::kCancel},
  };
  ui::QtMessageSink sink;
  for (const Case& c : cases) {
    ui::ScriptedModalDriver driver;
    QMessageBox::Icon icon{};
    QMessageBox::StandardButtons buttons{};
    driver.Push([&](QWidget& w) {
      auto& box = static_cast<QMessageBox&>(w);
      icon = box.icon();
      buttons = box.standardButtons();
      return static_cast<int>(c.press);
    });
    const int code = sink.ShowBox({KindOfFlags(c.flags), "Norvik商业", "删除成功！", c.flags});
    EXPECT_EQ(code, c.code) << c.flags;
    EXPECT_EQ(icon, c.icon) << c.flags;
    EXPECT_EQ(buttons, c.buttons) << c.flags;
    ASSERT_EQ(driver.Shown().size(), 1u);
    EXPECT_EQ(driver.Shown()[0].title, "Norvik商业");
    EXPECT_EQ(driver.Shown()[0].text, "删除成功！");
    EXPECT_EQ(driver.Shown()[0].className, "QMessageBox");
  }
}

TEST_F(ModalHookTest, UnansweredBoxesGetTheirNaturalAnswer) {
  ui::ScriptedModalDriver driver;
  ui::QtMessageSink sink;
  EXPECT_EQ(sink.ShowBox({MessageKind::Question, "c", "q?", mb::kYesNo | mb::kIconQuestion}), id::kNo);
  EXPECT_EQ(sink.ShowBox({MessageKind::Information, "c", "i", mb::kOk | mb::kIconInformation}), id::kOk);
  EXPECT_EQ(sink.ShowBox({MessageKind::Plain, "c", "p", mb::kOkCancel}), id::kCancel);
  EXPECT_EQ(driver.Shown().size(), 3u);
}

// Drivers nest: the inner one answers while it lives, the outer one again afterwards; with none installed
// a dialog runs its own loop (closed here by a timer).
TEST_F(ModalHookTest, DriversNestAndTheDefaultRunsTheDialog) {
  ui::ScriptedModalDriver outer;
  {
    ui::ScriptedModalDriver inner;
    inner.Push([](QWidget&) { return 42; });
    QDialog d;
    EXPECT_EQ(ui::RunModal(d), 42);
    EXPECT_TRUE(outer.Shown().empty());
  }
  QDialog d2;
  d2.setObjectName("dlgTwo");
  EXPECT_EQ(ui::RunModal(d2), 0);
  ASSERT_EQ(outer.Shown().size(), 1u);
  EXPECT_EQ(outer.Shown()[0].objectName, "dlgTwo");
}

TEST_F(ModalHookTest, WithoutDriverAWindowRunsUntilItsModalResultCloses) {
  QWidget w;
  QTimer::singleShot(0, &w, [&w] {
    w.setProperty("ModalResult", 5);
    w.hide();
  });
  EXPECT_EQ(ui::RunModal(w), 5);
  QDialog d;
  QTimer::singleShot(0, &d, [&d] { d.done(QDialog::Accepted); });
  EXPECT_EQ(ui::RunModal(d), QDialog::Accepted);
}

// A handler may fill in the dialog before accepting it, as a script does.
TEST_F(ModalHookTest, HandlerFillsTheDialog) {
  ui::ScriptedModalDriver driver;
  driver.Push([](QWidget& w) {
    w.findChild<QLineEdit*>("EdtName")->setText("张三");
    return static_cast<int>(QDialog::Accepted);
  });
  QDialog d;
  auto* edit = new QLineEdit(&d);
  edit->setObjectName("EdtName");
  EXPECT_EQ(ui::RunModal(d), QDialog::Accepted);
  EXPECT_EQ(edit->text(), QString::fromUtf8("张三"));
  EXPECT_EQ(driver.Pending(), 0u);
}

TEST_F(ModalHookTest, ApplicationOwnsItsFormsAndKnowsTheProgramDirectory) {
  QPointer<QWidget> kept;
  QPointer<QWidget> freed;
  {
    TApplication app;
    kept = new QWidget;
    freed = new QWidget;
    freed->setObjectName("frmTwo");
    app.AddForm(kept);
    app.AddForm(freed);
    EXPECT_EQ(app.FindForm("frmTwo"), freed.data());
    delete freed.data();  // a form freeing itself drops out
    EXPECT_EQ(app.Forms().size(), 1u);
    EXPECT_EQ(app.ProgramDir().back(), '/');
    app.SetProgramDir("/opt/nk");
    EXPECT_EQ(app.ProgramDir(), "/opt/nk/");
  }
  EXPECT_TRUE(kept.isNull());  // freed with its application
}

TEST_F(ModalHookTest, ApplicationReferenceIsReplacedAndReturned) {
  TApplication a, b;
  TApplication* before = SetApplication(&a);
  EXPECT_EQ(SetApplication(&b), &a);
  EXPECT_EQ(Application(), &b);
  SetApplication(before);
}

}  // namespace
}  // namespace sw
