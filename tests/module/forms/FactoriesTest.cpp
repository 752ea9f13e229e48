#include <gtest/gtest.h>

#include <QPointer>
#include <vector>

#include "../../platform/ui/QtTestApp.h"
#include "sw/entry/Factories.h"
#include "sw/ui/Application.h"

namespace sw {
namespace {

std::vector<std::int32_t> gClosed;
void OnClose(std::int32_t tag) {
  gClosed.push_back(tag);
}

class FactoriesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::QtApp();
    gClosed.clear();
  }
};

TEST_F(FactoriesTest, EachFactoryCreatesItsScreenOwnedByTheHostApplication) {
  struct Case {
    TFormFactory factory;
    const char* cls;
    const char* name;
    const char* caption;
  };
  const Case cases[] = {
      {&CreatefrmQryDelUser, "sw::TfrmQryDelUser", "frmQryDelUser", "已删除用户查询"},
      {&CreatefrmQryDelEmp, "sw::TfrmQryDelEmp", "frmQryDelEmp", "已删除员工查询"},
      {&CreatefrmUserInfo, "sw::TfrmUserInfo", "frmUserInfo", "用户信息查询"},
      {&CreatefrmLogQuery, "sw::TfrmLogQuery", "frmLogQuery", "用户操作分析"},
      {&CreatefrmQryMoni, "sw::TfrmQueryMoni", "frmQueryMoni", "监控用户"},
  };
  TApplication host;
  for (const Case& c : cases) {
    TfrmBase* form = c.factory(&host, &OnClose);
    ASSERT_NE(form, nullptr);
    EXPECT_STREQ(form->metaObject()->className(), c.cls);
    EXPECT_EQ(form->objectName(), c.name);
    EXPECT_EQ(form->windowTitle(), QString::fromUtf8(c.caption));
    EXPECT_FALSE(form->isVisible());  // the factory does not show it
    EXPECT_EQ(form->CloseCallback(), &OnClose);
    EXPECT_EQ(Application(), &host);
  }
  EXPECT_EQ(host.Forms().size(), 5u);
}

// Two forms from two factories; closing the first notifies once with its Tag and leaves the second alone.
TEST_F(FactoriesTest, ClosingTheFirstOfTwoFormsNotifiesOnceWithItsTag) {
  TApplication host;
  QPointer<TfrmBase> first = CreatefrmQryDelUser(&host, &OnClose);
  QPointer<TfrmBase> second = CreatefrmUserInfo(&host, &OnClose);
  first->SetTag(7);
  second->SetTag(8);
  first->show();
  second->show();
  first->close();
  QApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(gClosed, std::vector<std::int32_t>{7});
  EXPECT_TRUE(first.isNull());  // freed after its close
  ASSERT_FALSE(second.isNull());
  EXPECT_TRUE(second->isVisible());
  EXPECT_EQ(host.Forms().size(), 1u);
  second->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(gClosed, (std::vector<std::int32_t>{7, 8}));
}

TEST_F(FactoriesTest, NullCallbackGivesAWorkingFormThatNotifiesNobody) {
  TApplication host;
  QPointer<TfrmBase> form = CreatefrmQryMoni(&host, nullptr);
  form->SetTag(4);
  form->show();
  EXPECT_TRUE(form->isVisible());
  form->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(form.isNull());
  EXPECT_TRUE(gClosed.empty());
}

// Load remembers the reference current then; factories replace it (last call wins); unload gives it back.
TEST_F(FactoriesTest, UnloadRestoresTheApplicationReferenceOfLoadTime) {
  ModuleApplicationUnload();  // the test program loaded the factories at start-up
  TApplication atLoad, hostA, hostB;
  SetApplication(&atLoad);
  ModuleApplicationLoad();
  EXPECT_EQ(SavedApplication(), &atLoad);
  CreatefrmQryDelEmp(&hostA, &OnClose);
  CreatefrmLogQuery(&hostB, &OnClose);
  EXPECT_EQ(Application(), &hostB);
  ModuleApplicationUnload();
  EXPECT_EQ(Application(), &atLoad);
  SetApplication(nullptr);
  ModuleApplicationLoad();
}

}  // namespace
}  // namespace sw
