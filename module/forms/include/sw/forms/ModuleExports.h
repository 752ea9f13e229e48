#pragma once
// The outward face of libstaffwatch.so: five form factories exported by name with C linkage. Each takes the
// host's application object and a close callback and returns the new form, not yet shown. The host sets
// FunCode and Tag on the returned form (properties "FunCode" and "Tag", or SetFunCode/SetTag) before showing
// it. ELF has no export ordinals; the ordinals the module publishes are kept here for the host's menu order.
#include <array>

#include "sw/forms/UBase.h"

namespace sw {

using TFormFactory = TfrmBase* (*)(TApplication* app, TCloseCallback callback);

struct TFactoryExport {
  int Ordinal;
  const char* Name;     // exported symbol
  const char* Form;     // class of the created form
  const char* Caption;  // caption of the form
};

inline constexpr std::array<TFactoryExport, 5> kFactoryExports{{
    {1, "CreatefrmQryDelUser", "TfrmQryDelUser", "已删除用户查询"},
    {2, "CreatefrmQryDelEmp", "TfrmQryDelEmp", "已删除员工查询"},
    {3, "CreatefrmUserInfo", "TfrmUserInfo", "用户信息查询"},
    {4, "CreatefrmLogQuery", "TfrmLogQuery", "用户操作分析"},
    {5, "CreatefrmQryMoni", "TfrmQueryMoni", "监控用户"},
}};

}  // namespace sw
