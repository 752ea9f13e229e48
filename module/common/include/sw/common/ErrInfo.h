#pragma once
// The table of standard messages the list and edit forms show.
#include <string>

namespace sw {

struct TErrInfo {
  const std::string NotNumber = "不是数值,请输入数值";
  const std::string NoTableID = "没有给TableID付值";
  const std::string AddFailed = "数据添加失败，请查看系统日志。";
  const std::string EditFailed = "数据修改失败，请查看系统日志。";
  const std::string DeleteFailed = "数据删除失败，请查看系统日志。";
  const std::string ConfirmDelete = "您确定要删除当前的数据吗？";
};

}  // namespace sw
