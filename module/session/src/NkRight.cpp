// Function rights: two statements through QueryData, the first for the eight basic rights summed over the
// user's groups, the second for the extended right codes.
#include "sw/session/NkRight.h"

#include <array>

#include "sw/core/Error.h"
#include "sw/core/Text.h"
#include "sw/dataset/ClientDataSet.h"
#include "sw/server/sysPstInterface.h"
#include "sw/session/SessionValues.h"

namespace sw {

namespace {

constexpr std::array<const char*, 8> kBasicRights = {"IsAccess", "IsInsert", "IsUpdate",  "IsDelete",
                                                     "IsQuery",  "IsPrint",  "IsConvert", "IsChecked"};

// Runs one rights statement and loads its rows into `rows`; `failure` is the message of a refused query.
void QueryRights(std::string_view label, const std::string& sql, std::string_view failure,
                 TClientDataSet& rows) {
  Variant data;
  if (QueryData(label, sql, data) != 1) throw Error(std::string(failure));
  rows.SetData(UnzipPacketPerSwitch(data));
}

}  // namespace

TNkRight::TNkRight(std::string_view userId, std::string_view orgCode, std::string_view funCode)
    : UserID(Trim(userId)), FunCode(Trim(funCode)), OrgCode(Trim(orgCode)) {
  if (!UserID.empty() && !FunCode.empty()) LoadRights();
}

std::string TNkRight::BasicRightsSql() const {
  std::string sql = " select";
  for (std::size_t i = 0; i < kBasicRights.size(); ++i) {
    const std::string name = kBasicRights[i];
    sql += std::string(i == 0 ? " " : ", ") + "(Case When Sum(Cast(R." + name +
           " as int))>0 then '1' else '0' end) as " + name;
  }
  sql +=
      "  from tUsrRightFunc R, tUsrUserSub S, tUsrUserGrp G where R.UGrpCode=S.UGrpCode and "
      "R.UGrpCode=G.UGrpCode and S.UserID=" +
      QuotedStr(UserID) + " " + " and R.FunCode=" + QuotedStr(FunCode) + " ";
  if (OrgCode != "*")
    sql += " and exists(select UserID from tUsrRightOrg where UserID=" + QuotedStr(UserID) +
           " and OrgCode=" + QuotedStr(OrgCode) + ") ";
  return sql;
}

std::string TNkRight::ExtendedRightsSql() const {
  return " select R.FunExCode from tUsrRightFuncEx R, tUsrUserSub S, tUsrUserGrp G where "
         "R.UGrpCode=S.UGrpCode "
         "and R.UGrpCode=G.UGrpCode and S.UserID=" +
         QuotedStr(UserID) + " " + " and R.FunCode=" + QuotedStr(FunCode) + " ";
}

void TNkRight::LoadRights() {
  TClientDataSet rows;  // freed on every path, also when a query fails
  QueryRights("GetOprRightData", BasicRightsSql(), "取权限数据失败!", rows);
  if (!rows.IsEmpty()) {
    rows.First();
    const std::array<bool*, 8> flags = {&IsAccess, &IsInsert, &IsUpdate,  &IsDelete,
                                        &IsQuery,  &IsPrint,  &IsConvert, &IsChecked};
    for (std::size_t i = 0; i < flags.size(); ++i)
      if (rows.FieldByName(kBasicRights[i]).AsInteger() > 0) *flags[i] = true;
  }

  QueryRights("GetOprRightExData", ExtendedRightsSql(), "取扩展权限数据失败!", rows);
  const std::array<bool*, 6> extended = {&ExRight1, &ExRight2, &ExRight3, &ExRight4, &ExRight5, &ExRight6};
  TField& code = rows.FieldByName("FunExCode");
  for (rows.First(); !rows.Eof(); rows.Next())
    for (std::size_t i = 0; i < extended.size(); ++i)
      if (code.AsString() == IntToStr(static_cast<std::int64_t>(i) + 1)) *extended[i] = true;
}

std::unique_ptr<TNkRight> NewRight(std::string_view userId, std::string_view funCode,
                                   std::string_view orgCode) {
  const std::string org = orgCode.empty() ? GetCurOrgCode() : std::string(orgCode);
  return std::make_unique<TNkRight>(userId, org, funCode);
}

}  // namespace sw
