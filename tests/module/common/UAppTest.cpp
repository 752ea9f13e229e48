#include "sw/common/UApp.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "sw/common/MessageSink.h"
#include "sw/common/PacketZip.h"
#include "sw/common/USystem.h"
#include "sw/core/CodePage.h"

namespace sw {
namespace {

TEST(MessageBoxes, CarryTheProductCaptionAndTheFlagsOfTheirKind) {
  RecordingMessageSink sink;
  ScopedMessageSink scope(sink);
  TUApp app;
  const struct {
    std::function<void()> show;
    MessageKind kind;
    int flags;
  } cases[] = {
      {[&] { app.Confirm("删除吗？"); }, MessageKind::Question, mb::kYesNo | mb::kIconQuestion},
      {[&] { app.ShowInfo("删除吗？"); }, MessageKind::Information, mb::kOk | mb::kIconInformation},
      {[&] { app.ShowError("删除吗？"); }, MessageKind::Error, mb::kOk | mb::kIconStop},
      {[&] { app.ShowWarning("删除吗？"); }, MessageKind::Warning, mb::kOk | mb::kIconExclamation},
      {[&] { app.ShowPrompt("删除吗？"); }, MessageKind::Prompt, mb::kOk | mb::kIconInformation},
      {[&] { app.MsgBox("删除吗？", mb::kOk | mb::kIconStop); }, MessageKind::Error, mb::kOk | mb::kIconStop},
      {[&] { app.MsgBox("删除吗？", mb::kOkCancel); }, MessageKind::Plain, mb::kOkCancel},
  };
  for (const auto& c : cases) {
    sink.Clear();
    c.show();
    ASSERT_EQ(sink.Boxes().size(), 1u);
    const MessageBoxRequest& box = sink.Boxes()[0];
    EXPECT_EQ(box.caption, "Norvik商业");
    EXPECT_EQ(box.text, "删除吗？");
    EXPECT_EQ(box.kind, c.kind) << MessageKindName(c.kind);
    EXPECT_EQ(box.flags, c.flags) << MessageKindName(c.kind);
  }
}

TEST(MessageBoxes, ConfirmIsTrueOnlyForYesAndOkBoxesDoNotTakeScriptedAnswers) {
  RecordingMessageSink sink;
  ScopedMessageSink scope(sink);
  TUApp app;
  sink.AnswerYes();
  sink.AnswerNo();
  sink.Answer(id::kCancel);
  app.ShowInfo("before");  // answered OK without using the script
  EXPECT_TRUE(app.Confirm("1"));
  EXPECT_FALSE(app.Confirm("2"));
  EXPECT_FALSE(app.Confirm("3"));
  EXPECT_EQ(sink.PendingAnswers(), 0u);
  EXPECT_FALSE(app.Confirm("4"));  // the default answer is No
  sink.SetDefaultAnswer(id::kYes);
  EXPECT_TRUE(app.Confirm("5"));
  EXPECT_EQ(app.MsgBox("6", mb::kOk), id::kOk);
  EXPECT_EQ(sink.Boxes().size(), 7u);
}

TEST(MessageBoxes, TheSinkIsReplaceableAndRestored) {
  RecordingMessageSink outer, inner;
  {
    ScopedMessageSink a(outer);
    {
      ScopedMessageSink b(inner);
      TUApp().ShowWarning("inner");
      CurrentMessageSink().Beep();
      CurrentMessageSink().ShowMessage("plain");
    }
    TUApp().ShowWarning("outer");
  }
  ASSERT_EQ(inner.Boxes().size(), 1u);
  EXPECT_EQ(inner.Boxes()[0].text, "inner");
  EXPECT_EQ(inner.Beeps(), 1);
  EXPECT_EQ(inner.Messages(), std::vector<std::string>{"plain"});
  ASSERT_EQ(outer.Boxes().size(), 1u);
  EXPECT_EQ(outer.Boxes()[0].text, "outer");
  // Without a sink of ours the default one writes to stderr and answers No to a question, OK to the rest.
  EXPECT_NE(dynamic_cast<StderrMessageSink*>(&CurrentMessageSink()), nullptr);
  EXPECT_FALSE(TUApp().Confirm("unanswered"));
  EXPECT_EQ(TUApp().MsgBox("noted", mb::kOk | mb::kIconInformation), id::kOk);
}

// A program directory of its own for each test, removed afterwards.
class NetErrLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("sw_neterr_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    TUSystem::OverrideAppPath(dir_.string());
  }
  void TearDown() override {
    TUSystem::OverrideAppPath(std::nullopt);
    std::filesystem::remove_all(dir_);
  }
  std::string LogBytes() const {
    std::ifstream in(dir_ / "NkNetErr.Log", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::filesystem::path dir_;
};

TEST_F(NetErrLogTest, AppendsFiveLineRecordsInGbkWithCrLf) {
  TUApp app;
  app.WriteNetErrLogAt("0012", "记录操作日志", "删除用户 0012", EncodeDateTime(2010, 2, 5, 14, 3, 9));
  app.WriteNetErrLogAt("0013", "TSysClassEntity.Search", "连接中断",
                       EncodeDateTime(2010, 12, 31, 23, 59, 58));
  const std::string expected =
      "登录号：0012\r\n"
      "时间：2010-02-05 14:03:09\r\n"
      "位置：记录操作日志\r\n"
      "原因：\r删除用户 0012\r\n"
      "\r\n"
      "登录号：0013\r\n"
      "时间：2010-12-31 23:59:58\r\n"
      "位置：TSysClassEntity.Search\r\n"
      "原因：\r连接中断\r\n"
      "\r\n";
  EXPECT_EQ(LogBytes(), Utf8ToGbk(expected));
}

TEST_F(NetErrLogTest, WritesTheCurrentTimeAndKeepsWhatWasThere) {
  {
    std::ofstream old(dir_ / "NkNetErr.Log", std::ios::binary);
    old << "old\r\n";
  }
  TUApp().WriteNetErrLog("7", "here", "why");
  const std::string text = GbkToUtf8(LogBytes());
  ASSERT_EQ(text.rfind("old\r\n登录号：7\r\n时间：", 0), 0u) << text;
  const std::string stamp = text.substr(std::string("old\r\n登录号：7\r\n时间：").size(), 19);
  EXPECT_TRUE(IsDate(stamp)) << stamp;
}

TEST_F(NetErrLogTest, SwallowsEveryFailure) {
  // The log's path is a directory: nothing can be written, and nothing is raised.
  std::filesystem::create_directories(dir_ / "NkNetErr.Log");
  EXPECT_NO_THROW(TUApp().WriteNetErrLog("1", "where", "why"));
  TUSystem::OverrideAppPath("/nonexistent/dir/for/sure");
  EXPECT_NO_THROW(TUApp().WriteNetErrLog("1", "where", "why"));
}

TEST(AppHelpers, DelegateToTheSharedRoutines) {
  TUApp app;
  EXPECT_TRUE(app.IsDate("2010-02-05"));
  EXPECT_FALSE(app.IsDate("2010-02-30"));
  EXPECT_TRUE(app.IsTime("14:03:09"));
  EXPECT_FALSE(app.IsTime("25:00"));
  const Variant packet = Variant::Bytes(std::string_view("packet"));
  EXPECT_EQ(app.CompressPacket(packet), CompressPacket(packet));
  EXPECT_EQ(app.DecompressPacket(app.CompressPacket(packet)), packet);
}

TEST(AppPath, IsTheExecutablesDirectoryWithASlashUnlessOverridden) {
  const std::string real = TUSystem().GetAppPath();
  ASSERT_FALSE(real.empty());
  EXPECT_EQ(real.back(), '/');
  EXPECT_TRUE(std::filesystem::exists(real + "test_common")) << real;
  TUSystem::OverrideAppPath("/srv/staffwatch");
  EXPECT_EQ(TUSystem().GetAppPath(), "/srv/staffwatch/");
  TUSystem::OverrideAppPath("/srv/staffwatch/");
  EXPECT_EQ(TUSystem().GetAppPath(), "/srv/staffwatch/");
  TUSystem::OverrideAppPath(std::nullopt);
  EXPECT_EQ(TUSystem().GetAppPath(), real);
}

}  // namespace
}  // namespace sw
