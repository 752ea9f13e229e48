#include "sw/common/CommonUnits.h"

#include <gtest/gtest.h>

#include "sw/core/Error.h"

namespace sw {
namespace {

TEST(CommonUnits, InitMakesThemCurrentAndDoneReleasesThem) {
  const TUApp* standIn = &UApp();
  {
    CommonUnits units;
    EXPECT_FALSE(units.Initialised());
    EXPECT_THROW(units.UApp(), Error);
    units.Init();
    ASSERT_TRUE(units.Initialised());
    EXPECT_EQ(&UApp(), &units.UApp());
    EXPECT_EQ(&UString(), &units.UString());
    EXPECT_EQ(&InteInfo(), &units.InteInfo());
    EXPECT_NE(&UApp(), standIn);
    TUApp* first = &units.UApp();
    units.Init();  // a second Init keeps the same objects
    EXPECT_EQ(&units.UApp(), first);
    units.Done();
    EXPECT_FALSE(units.Initialised());
    EXPECT_THROW(units.ErrInfo(), Error);
    EXPECT_EQ(&UApp(), standIn);
    units.Init();
  }  // the destructor finishes what Init started
  EXPECT_EQ(&UApp(), standIn);
}

TEST(CaptionTables, HoldTheStandardTexts) {
  const TErrInfo& err = ErrInfo();
  EXPECT_EQ(err.NotNumber, "不是数值,请输入数值");
  EXPECT_EQ(err.NoTableID, "没有给TableID付值");
  EXPECT_EQ(err.AddFailed, "数据添加失败，请查看系统日志。");
  EXPECT_EQ(err.EditFailed, "数据修改失败，请查看系统日志。");
  EXPECT_EQ(err.DeleteFailed, "数据删除失败，请查看系统日志。");
  EXPECT_EQ(err.ConfirmDelete, "您确定要删除当前的数据吗？");
  const TInteInfo& cap = InteInfo();
  const std::pair<const std::string&, const char*> captions[] = {
      {cap.Query, "查询"},
      {cap.Edit, "编辑"},
      {cap.Close, "关闭"},
      {cap.Insert, "插入"},
      {cap.Preview, "预览"},
      {cap.Print, "打印"},
      {cap.Add, "增加"},
      {cap.Delete, "删除"},
      {cap.Save, "保存"},
      {cap.Cancel, "取消"},
      {cap.First, "首条"},
      {cap.Prior, "上条"},
      {cap.Next, "下条"},
      {cap.Last, "最后"},
      {cap.Blank, ""},
      {cap.Sort, "排序"},
      {cap.Search, "查询"},
      {cap.Filter, "过滤"},
      {cap.Find, "查找"},
      {cap.Refresh, "刷新"},
      {cap.RangeFrom, "从"},
      {cap.RangeTo, "至"},
      {cap.Apply, "申请"},
      {cap.Transfer, "转审"},
      {cap.Account, "记账"},
      {cap.SetCondition, "设置查询条件"},
      {cap.SelectData, "选择数据"},
  };
  for (const auto& [text, expected] : captions) EXPECT_EQ(text, expected);
}

}  // namespace
}  // namespace sw
