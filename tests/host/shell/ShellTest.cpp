#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QMessageBox>
#include <QTemporaryDir>
#include <filesystem>
#include <sstream>

#include "../../platform/ui/QtTestApp.h"
#include "HostWindow.h"
#include "ModuleLibrary.h"
#include "ScriptRunner.h"
#include "sw/core/Error.h"
#include "sw/hostvars/HostVars.h"
#include "sw/ui/Application.h"
#include "sw/ui/ModalHook.h"

namespace sw::host {
namespace {

// The real module, loaded with dlopen() as the host loads it.
class ShellTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    test::QtApp();
    module = new ModuleLibrary(std::string(SW_LIB_DIR) + "/libstaffwatch.so");
  }
  static void TearDownTestSuite() {
    delete module;
    module = nullptr;
  }
  void SetUp() override {
    ClearSession();
    window = std::make_unique<HostWindow>(app, module);
    window->PublishMainHandle();
  }
  void TearDown() override {
    window.reset();
    ClearSession();
  }
  int Run(const std::string& script, const std::string& shots = {}) {
    ScriptRunner runner(*window, out, shots);
    std::istringstream in(script);
    return runner.Run(in);
  }

  static ModuleLibrary* module;
  TApplication app;
  std::unique_ptr<HostWindow> window;
  std::ostringstream out;
};
ModuleLibrary* ShellTest::module = nullptr;

TEST_F(ShellTest, ScriptOpensTwoScreensAndSeesTheFirstCloseNotified) {
  const std::string script =
      "# two screens\n"
      "open CreatefrmQryDelUser 180614 3\n"
      "expect caption 已删除用户查询\n"
      "open CreatefrmUserInfo 180601 4\n"
      "expect caption 用户信息查询\n"
      "close\n"
      "expect closed 4\n"
      "expect hoststatus \"窗口已关闭: 4\"\n"
      "expect caption 已删除用户查询\n";
  EXPECT_EQ(Run(script), 0) << out.str();
  EXPECT_EQ(window->ClosedTags(), std::vector<std::int32_t>{4});
  EXPECT_NE(out.str().find("step 2: open CreatefrmQryDelUser 180614 3 ... ok"), std::string::npos)
      << out.str();
  EXPECT_NE(out.str().find("all steps passed"), std::string::npos);
}

// A form the host opened sends "FunCode|Tag" to the host window through the session library.
TEST_F(ShellTest, ActivationMessageReachesTheHostStatusBar) {
  TfrmBase* form = window->OpenFactory("CreatefrmQryMoni", "180614", 3);
  QEvent activate(QEvent::WindowActivate);
  QApplication::sendEvent(form, &activate);
  ASSERT_FALSE(window->CopyDataTexts().empty());
  EXPECT_EQ(window->CopyDataTexts().back(), "180614|3");
  EXPECT_EQ(window->StatusText(), "180614|3");
}

TEST_F(ShellTest, RunStopsAtTheFirstFailedStep) {
  struct Case {
    const char* script;
    const char* failure;
  };
  const Case cases[] = {
      {"open CreatefrmQryDelEmp\nexpect caption 别的\nopen CreatefrmUserInfo\n", "expected \"别的\""},
      {"open CreatefrmNothing\n", "CreatefrmNothing"},
      {"expect caption x\n", "no form is open"},
      {"open CreatefrmLogQuery\nselect dgrdsearch 0\n", "grid row 0 does not exist"},
      {"open CreatefrmLogQuery\nexpect status 5 x\n", "no status panel 5"},
      {"open CreatefrmLogQuery\naction actNothing\n", "no action named actNothing"},
      {"open CreatefrmLogQuery\nset CmbNothing x\n", "named CmbNothing"},
      {"frobnicate\n", "unknown step"},
      {"answer maybe\n", "yes, no, ok or cancel"},
  };
  for (const Case& c : cases) {
    out.str("");
    EXPECT_EQ(Run(c.script), 1) << c.script;
    EXPECT_NE(out.str().find("FAILED"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find(c.failure), std::string::npos) << out.str();
    EXPECT_EQ(out.str().find("all steps passed"), std::string::npos);
    // Nothing after the failed step ran.
    EXPECT_EQ(out.str().find("step 3"), std::string::npos) << out.str();
    for (QWidget* f : app.Forms()) delete f;
  }
}

TEST_F(ShellTest, AnswersTheNextMessageBoxAndChecksItsText) {
  ScriptRunner runner(*window, out);
  runner.Step("answer yes");
  QMessageBox box(QMessageBox::Question, "Norvik商业", QString::fromUtf8("确定要删除吗？"),
                  QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(ui::RunModal(box), QMessageBox::Yes);
  runner.Step("expect message 确定要删除吗？");
  EXPECT_THROW(runner.Step("expect message 别的"), Error);
  // Unanswered boxes get the natural answer.
  EXPECT_EQ(ui::RunModal(box), QMessageBox::No);
}

TEST_F(ShellTest, ScreenshotsAreWrittenAndShowTheForm) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string shots = dir.path().toStdString() + "/shots";
  EXPECT_EQ(Run("open CreatefrmQryDelUser\nshot deluser\n", shots), 0) << out.str();
  QImage img(QString::fromStdString(shots + "/deluser.png"));
  ASSERT_FALSE(img.isNull());
  EXPECT_EQ(img.size(), QSize(640, 420));
}

TEST(ShellStepTest, StepsSplitIntoWordsWithQuotedTexts) {
  struct Case {
    const char* line;
    std::vector<std::string> words;
  };
  const Case cases[] = {
      {"open CreatefrmQryDelUser 180614 3", {"open", "CreatefrmQryDelUser", "180614", "3"}},
      {"expect status 0 \"共 3 条记录\"", {"expect", "status", "0", "共 3 条记录"}},
      {"  set\tEdtsearch  张三 ", {"set", "Edtsearch", "张三"}},
      {"expect message \"\"", {"expect", "message", ""}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitStep(c.line), c.words) << c.line;
  EXPECT_THROW(SplitStep("expect caption \"open"), Error);
}

TEST(ShellModuleTest, MissingModuleNamesTheFileTried) {
  try {
    ModuleLibrary lib("/nonexistent/libstaffwatch.so");
    FAIL() << "loaded a missing library";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()).rfind("文件 libstaffwatch.so 打开失败。", 0), 0u) << e.what();
  }
}

}  // namespace
}  // namespace sw::host
