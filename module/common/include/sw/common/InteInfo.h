#pragma once
// The table of action and label captions the forms set each time they are shown. Blank is the empty caption.
#include <string>

namespace sw {

struct TInteInfo {
  const std::string Query = "查询";
  const std::string Edit = "编辑";
  const std::string Close = "关闭";
  const std::string Insert = "插入";
  const std::string Preview = "预览";
  const std::string Print = "打印";
  const std::string Add = "增加";
  const std::string Delete = "删除";
  const std::string Save = "保存";
  const std::string Cancel = "取消";
  const std::string First = "首条";
  const std::string Prior = "上条";
  const std::string Next = "下条";
  const std::string Last = "最后";
  const std::string Blank;
  const std::string Sort = "排序";
  const std::string Search = "查询";
  const std::string Filter = "过滤";
  const std::string Find = "查找";
  const std::string Refresh = "刷新";
  const std::string RangeFrom = "从";
  const std::string RangeTo = "至";
  const std::string Apply = "申请";
  const std::string Transfer = "转审";
  const std::string Account = "记账";
  const std::string SetCondition = "设置查询条件";
  const std::string SelectData = "选择数据";
};

}  // namespace sw
