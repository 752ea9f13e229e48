#pragma once
// Function rights of the logged-in user: for one function (optionally restricted to one organisation) the
// eight basic rights that any of the user's groups grants, and the extended right codes "1" to "6".
//
//   auto rights = sw::NewRight(IntToStr(GetCurUserID()), "180101", "");
//   if (!rights->IsAccess) ... close the screen ...
#include <memory>
#include <string>
#include <string_view>

namespace sw {

class TNkRight {
 public:
  // Trims and stores the three texts; loads the rights when both the user id and the function code are not
  // empty. Failures of LoadRights (refused queries, transport errors) raise from here.
  TNkRight(std::string_view userId, std::string_view orgCode, std::string_view funCode);

  bool IsAccess = false;
  bool IsInsert = false;
  bool IsUpdate = false;
  bool IsDelete = false;
  bool IsQuery = false;
  bool IsPrint = false;
  bool IsConvert = false;
  bool IsChecked = false;
  bool ExRight1 = false, ExRight2 = false, ExRight3 = false, ExRight4 = false, ExRight5 = false,
       ExRight6 = false;
  std::string UserID;
  std::string FunCode;
  std::string OrgCode;  // "*": no organisation restriction

  // Runs the basic and the extended rights queries through QueryData and sets the flags they grant. A query
  // the server refuses raises "取权限数据失败!" or "取扩展权限数据失败!"; flags already set stay set.
  void LoadRights();

  // The two statements for the stored user, function and organisation (values quoted with inner quotes
  // doubled).
  std::string BasicRightsSql() const;
  std::string ExtendedRightsSql() const;
};

// A rights object for the user and function; an empty organisation code means the session's organisation.
std::unique_ptr<TNkRight> NewRight(std::string_view userId, std::string_view funCode,
                                   std::string_view orgCode);

}  // namespace sw
