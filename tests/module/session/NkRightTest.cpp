// Function rights: the two statements, the flags they grant, refused queries and safe quoting.
#include <gtest/gtest.h>

#include "ServerTestFixture.h"
#include "sw/core/Error.h"
#include "sw/dataset/Packet.h"
#include "sw/session/NkRight.h"

namespace sw {
namespace {

using testing::RecordedCall;

Variant BasicRows(const std::vector<std::string>& flags) {
  PacketWriter w;
  for (const char* name :
       {"IsAccess", "IsInsert", "IsUpdate", "IsDelete", "IsQuery", "IsPrint", "IsConvert", "IsChecked"})
    w.AddField(name, TFieldType::ftString, 1);
  if (!flags.empty()) {
    for (const std::string& f : flags) w.AddText(f);
    w.EndRow();
  }
  return w.FinishVariant();
}

Variant ExtendedRows(const std::vector<std::string>& codes) {
  PacketWriter w;
  w.AddField("FunExCode", TFieldType::ftString, 10);
  for (const std::string& c : codes) {
    w.AddText(c);
    w.EndRow();
  }
  return w.FinishVariant();
}

class NkRightTest : public ServerTest {
 protected:
  // Answers the basic query with `basic` and the extended one with `extended`; a null packet refuses it.
  void Script(Variant basic, Variant extended) {
    server.On("Icomm", rcQueryData, [basic, extended](const RecordedCall&, std::vector<Variant>& args) {
      const Variant& reply = args[1].ToString() == "GetOprRightData" ? basic : extended;
      if (reply.IsBlank()) return Variant(std::int32_t{0});
      args[3] = reply;
      return Variant(std::int32_t{1});
    });
  }
  std::vector<std::string> Statements() const {
    std::vector<std::string> out;
    for (const auto& call : server.CallsOf(rcQueryData)) out.push_back(call.args[2].ToString());
    return out;
  }
};

const std::string kBasicSelect =
    " select (Case When Sum(Cast(R.IsAccess as int))>0 then '1' else '0' end) as IsAccess, (Case When "
    "Sum(Cast(R.IsInsert as int))>0 then '1' else '0' end) as IsInsert, (Case When Sum(Cast(R.IsUpdate as "
    "int))>0 "
    "then '1' else '0' end) as IsUpdate, (Case When Sum(Cast(R.IsDelete as int))>0 then '1' else '0' end) as "
    "IsDelete, (Case When Sum(Cast(R.IsQuery as int))>0 then '1' else '0' end) as IsQuery, (Case When "
    "Sum(Cast(R.IsPrint as int))>0 then '1' else '0' end) as IsPrint, (Case When Sum(Cast(R.IsConvert as "
    "int))>0 "
    "then '1' else '0' end) as IsConvert, (Case When Sum(Cast(R.IsChecked as int))>0 then '1' else '0' end) "
    "as "
    "IsChecked  from tUsrRightFunc R, tUsrUserSub S, tUsrUserGrp G where R.UGrpCode=S.UGrpCode and "
    "R.UGrpCode=G.UGrpCode and S.UserID=";

TEST_F(NkRightTest, StatementsLabelsAndFlags) {
  Script(BasicRows({"1", "1", "0", "0", "1", "0", "1", "0"}), ExtendedRows({"2", "5", "7", "25"}));
  TNkRight r(" 12 ", " 0101 ", " 180101 ");
  EXPECT_EQ(r.UserID, "12");
  EXPECT_EQ(r.OrgCode, "0101");
  EXPECT_EQ(r.FunCode, "180101");
  const std::vector<bool> basic = {r.IsAccess, r.IsInsert, r.IsUpdate,  r.IsDelete,
                                   r.IsQuery,  r.IsPrint,  r.IsConvert, r.IsChecked};
  EXPECT_EQ(basic, (std::vector<bool>{true, true, false, false, true, false, true, false}));
  const std::vector<bool> ex = {r.ExRight1, r.ExRight2, r.ExRight3, r.ExRight4, r.ExRight5, r.ExRight6};
  EXPECT_EQ(ex, (std::vector<bool>{false, true, false, false, true, false}));

  const auto calls = server.CallsOf(rcQueryData);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].args[1].ToString(), "GetOprRightData");
  EXPECT_EQ(calls[1].args[1].ToString(), "GetOprRightExData");
  EXPECT_EQ(calls[0].args[4], Variant(false));
  EXPECT_EQ(Statements()[0],
            kBasicSelect +
                "'12'  and R.FunCode='180101'  and exists(select UserID from tUsrRightOrg where "
                "UserID='12' and OrgCode='0101') ");
  EXPECT_EQ(
      Statements()[1],
      " select R.FunExCode from tUsrRightFuncEx R, tUsrUserSub S, tUsrUserGrp G where R.UGrpCode=S.UGrpCode "
      "and R.UGrpCode=G.UGrpCode and S.UserID='12'  and R.FunCode='180101' ");
}

TEST_F(NkRightTest, EdgeCases) {
  struct Case {
    const char* name;
    std::string user, org, fun;
    Variant basic, extended;
    std::string error;              // empty: no error
    std::size_t queries;            // QueryData calls made
    bool access;                    // IsAccess afterwards (when constructed)
    std::string firstStatementEnd;  // the basic statement after the common select
  };
  const Variant all = BasicRows({"1", "1", "1", "1", "1", "1", "1", "1"});
  const std::vector<Case> cases = {
      {"organisation * adds no exists clause", "7", "*", "F1", all, ExtendedRows({}), "", 2, true,
       "'7'  and R.FunCode='F1' "},
      {"no rows leave the flags false", "7", "*", "F1", BasicRows({}), ExtendedRows({"1"}), "", 2, false,
       "'7'  and R.FunCode='F1' "},
      {"quote in the user id cannot change the statement", "7' OR '1'='1", "*", "F'1", all, ExtendedRows({}),
       "", 2, true, "'7'' OR ''1''=''1'  and R.FunCode='F''1' "},
      {"empty user id: no query", " ", "*", "F1", all, ExtendedRows({}), "", 0, false, ""},
      {"empty function: no query", "7", "*", "", all, ExtendedRows({}), "", 0, false, ""},
      {"basic query refused", "7", "*", "F1", Variant(), ExtendedRows({}), "取权限数据失败!", 1, false,
       "'7'  and R.FunCode='F1' "},
      {"extended query refused", "7", "*", "F1", all, Variant(), "取扩展权限数据失败!", 2, false,
       "'7'  and R.FunCode='F1' "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    server.ClearCalls();
    Script(c.basic, c.extended);
    if (c.error.empty()) {
      TNkRight r(c.user, c.org, c.fun);
      EXPECT_EQ(r.IsAccess, c.access);
      EXPECT_EQ(r.ExRight1, c.extended == ExtendedRows({"1"}));
    } else {
      try {
        TNkRight r(c.user, c.org, c.fun);
        ADD_FAILURE() << "no error";
      } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), c.error);
      }
    }
    const auto statements = Statements();
    ASSERT_EQ(statements.size(), c.queries);
    if (c.queries > 0) {
      EXPECT_EQ(statements[0], kBasicSelect + c.firstStatementEnd);
    }
  }
}

TEST_F(NkRightTest, FlagsSetBeforeAFailingExtendedQueryStaySet) {
  Script(BasicRows({"1", "0", "0", "0", "0", "0", "0", "0"}), Variant());
  TNkRight r("", "*", "F1");  // nothing loaded yet
  r.UserID = "7";
  EXPECT_THROW(r.LoadRights(), Error);
  EXPECT_TRUE(r.IsAccess);
}

TEST_F(NkRightTest, NewRightUsesTheSessionOrganisation) {
  Script(BasicRows({"1", "0", "0", "0", "0", "0", "0", "0"}), ExtendedRows({"6"}));
  auto r = NewRight("12", "180101", "");
  EXPECT_EQ(r->OrgCode, "0101");
  EXPECT_TRUE(r->ExRight6);
  EXPECT_NE(Statements()[0].find("OrgCode='0101'"), std::string::npos);
  auto all = NewRight("12", "180101", "*");
  EXPECT_EQ(all->OrgCode, "*");
}

}  // namespace
}  // namespace sw
