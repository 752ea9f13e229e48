// The entity data set against the real application server with the demo dictionary and data.
#include <gtest/gtest.h>

#include "AppServerFixture.h"
#include "sw/core/Text.h"
#include "sw/data/sysBaseBL.h"
#include "sw/dataset/ClientDataSet.h"

namespace sw {
namespace {

using apptest::AppServerTest;
using apptest::Column;

TEST_P(AppServerTest, InitOnceAndAgainForAnotherLanguage) {
  TSysClassEntity e(18062);
  ASSERT_TRUE(e.Init(lt_PRC));
  EXPECT_EQ(e.ClassDesc().Rec().TableName, "tSkuStock");
  EXPECT_EQ(e.ClassDesc().PropCount(), 6);
  EXPECT_EQ(e.IndexFieldNames(), "OrgCode;PluId");
  // A local change survives Init with 0 or the same language, and goes with a new description.
  e.ClassDesc().Prop(1)->Caption = "changed";
  EXPECT_TRUE(e.Init(0));
  EXPECT_TRUE(e.Init(lt_PRC));
  EXPECT_EQ(e.ClassDesc().Prop(1)->Caption, "changed");
  EXPECT_TRUE(e.Init(lt_USA));
  EXPECT_EQ(e.ClassDesc().Prop(1)->Caption, "Organisation");
  EXPECT_EQ(e.ClassDesc().LanguageType(), lt_USA);
  // Back in Chinese: the server's captions again, the local change is gone.
  EXPECT_TRUE(e.Init(lt_PRC));
  EXPECT_EQ(e.ClassDesc().Prop(1)->Caption, "组织");
  EXPECT_TRUE(sink.Boxes().empty());
}

TEST_P(AppServerTest, CaptionConditionsFixedWhereAndTables) {
  struct Case {
    const char* name;
    std::vector<std::string> tables;
    std::string fixedWhere;
    std::string condition;
    std::vector<std::string> plus;  // PluCode of the rows, in index order
  };
  const std::vector<Case> cases = {
      {"all rows", {}, "", "", {"P0001", "P0002", "P0003"}},
      {"caption and >=", {}, "", "[库存数量]>=90", {"P0001", "P0002"}},
      {"qualified caption, look-up name", {}, "", "[商品库存.组织]='二号门店'", {"P0003"}},
      {"fixed condition", {}, "OrgCode='0101'", "[库存数量]<=100", {"P0002"}},
      {"fixed condition alone", {}, "OrgCode='0102'", "", {"P0003"}},
      {"one table", {"tSkuStock"}, "", "([库存数量]>=90 AND [库存数量]<>96)", {"P0001"}},
      {"two tables", {"tSkuStock", "tSkuStock"}, "", "", {"P0001", "P0002", "P0003"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TSysClassEntity e(18062);
    ASSERT_TRUE(e.InitTables(c.tables, lt_PRC));
    e.FixedWhere = c.fixedWhere;
    ASSERT_TRUE(e.SearchWhere(c.condition, "", 1, 0)) << e.TranslatedWhere;
    EXPECT_EQ(Column(e, "PluCode"), c.plus);
    EXPECT_EQ(e.RecordTotal, static_cast<std::int32_t>(c.plus.size()));
  }
  EXPECT_TRUE(sink.Boxes().empty());
}

TEST_P(AppServerTest, TimingModeSearch) {
  TSysClassEntity e(18062);
  e.SearchBegin = Now();
  ASSERT_TRUE(e.SearchFields("@TIME@", "", "", 1, 0));
  EXPECT_EQ(e.RecordCount(), 3);
  EXPECT_GT(e.PacketSize, 0);
  EXPECT_GT(e.RecordTotal, 0);  // the unpacked packet's highest byte index
  EXPECT_LE(e.ServerTimes[0], e.ServerTimes[4]);
  EXPECT_LE(e.ServerTimes[5], e.ServerTimes[6]);
  EXPECT_LE(e.ReplyTime, e.LoadTime);
}

TEST_P(AppServerTest, ColumnRightsMaskAColumn) {
  // The host publishes the columns the user's groups may not see; here those of the store group.
  Variant data;
  ASSERT_EQ(
      QueryData("查询受限制的数据列权限",
                "select classid as ClassID, propid as PropId from tusrrightcolumns where ugrpcode='STORE'",
                data),
      1);
  auto rights = std::make_shared<TClientDataSet>();
  rights->SetData(UnzipPacketPerSwitch(data));
  SetCdsList("ColRight", rights);
  TSysClassEntity e(18062);
  ASSERT_TRUE(e.SearchWhere("", "", 1, 0));
  EXPECT_EQ(Column(e, "StockAmt"), (std::vector<std::string>{"*", "*", "*"}));
  EXPECT_EQ(Column(e, "StockQty"), (std::vector<std::string>{"240", "96", "30"}));
  SetCdsList("ColRight", nullptr);
}

TEST_P(AppServerTest, ServerErrorsReachTheSystemLog) {
  TSysClassEntity e(18062);
  ASSERT_TRUE(e.Init(lt_PRC));
  EXPECT_FALSE(e.SearchWhere("[库存数量]>=NoSuchColumn", "", 1, 0));
  ASSERT_EQ(sink.Boxes().size(), 1u);
  EXPECT_EQ(sink.Boxes()[0].text, kEntityDataError);

  TClientDataSet log;
  ASSERT_TRUE(e.OpenClientDataSet(log, "select Source, Message from tSysSysLog order by LogId"));
  ASSERT_EQ(log.RecordCount(), 1);
  EXPECT_EQ(log.FieldByName("Source").AsString(), "TSysClassEntity.Search");
  EXPECT_NE(FindText(log.FieldByName("Message").AsString(), "NoSuchColumn"), std::string::npos)
      << log.FieldByName("Message").AsString();

  // The log query class shows its own message and writes nothing.
  sink.Clear();
  TSysClassEntity logQuery(kLogQueryClassId);
  ASSERT_TRUE(logQuery.Init(lt_PRC));
  EXPECT_FALSE(logQuery.SearchWhere("NoSuchColumn=1", "", 1, 0));
  ASSERT_EQ(sink.Boxes().size(), 1u);
  EXPECT_EQ(sink.Boxes()[0].text, kLogQuerySearchError);
  ASSERT_TRUE(e.OpenClientDataSet(log, "select Source from tSysSysLog"));
  EXPECT_EQ(log.RecordCount(), 1);
}

TEST_P(AppServerTest, UserClassByCaptionAndEnumerationName) {
  TSysClassEntity e(2002);
  ASSERT_TRUE(e.Init(lt_PRC)) << (sink.Boxes().empty() ? "" : sink.Boxes()[0].text);
  EXPECT_EQ(e.ClassDesc().FindByFieldName("UserType")->EnumList,
            (std::vector<std::string>{"0-普通用户", "1-系统管理员"}));
  ASSERT_TRUE(e.SearchWhere("[用户编码]='zhangsan'", "", 1, 0));
  EXPECT_EQ(Column(e, "UserName"), (std::vector<std::string>{"张三"}));
  EXPECT_EQ(e.RecordTotal, 1);
  ASSERT_TRUE(e.SearchWhere("[用户类型]='系统管理员'", "", 1, 0));
  EXPECT_EQ(e.TranslatedWhere, "UserType = '1'");
  EXPECT_EQ(Column(e, "UserCode"), (std::vector<std::string>{"admin"}));
}

// Every class of the demo dictionary initialises and loads its whole table the way a screen's first refresh
// does; a description the data set cannot take (an index over a name that is not a field) fails here.
TEST_P(AppServerTest, EveryDemoClassLoadsWithAnEmptyCondition) {
  for (int classId : {7, 1017, 1023, 2001, 2002, 2006, 2007, 2216, 8001, 18062}) {
    SCOPED_TRACE(classId);
    TSysClassEntity e(classId);
    ASSERT_TRUE(e.Init(lt_PRC));
    EXPECT_TRUE(e.SearchWhere("", "", 1, 0));
    EXPECT_TRUE(sink.Boxes().empty()) << sink.Boxes()[0].text;
    sink.Clear();
  }
}

// Conditions may name the columns the server reads through a look-up table: the names of kind-4 dependents
// and the looked-up names ("<field>$"), besides the class's own columns.
TEST_P(AppServerTest, ConditionsOnLookedUpColumns) {
  struct Case {
    std::int32_t classId;
    std::string condition;
    std::string field;
    std::vector<std::string> values;  // of `field`, in index order
  };
  const std::vector<Case> cases = {
      {18062, "[商品编码]='P0001'", "StockQty", {"240"}},
      {18062, "PluCode IN ('P0002','P0003') AND OrgCode='0101'", "PluCode", {"P0002"}},
      {18062, "tSkuStock.PluCode<>'P0002' AND StockQty>=30", "PluCode", {"P0001", "P0003"}},
      {18062, "PluId$ LIKE '%面%'", "PluCode", {"P0002"}},
      {18062, "OrgCode<>'PluCode'", "PluCode", {"P0001", "P0002", "P0003"}},
      {2006, "[用户编码]='zhangsan'", "LoginPos", {"127.0.0.1", "POS-0101-01"}},
      {2006, "UserID$='张三' AND LoginPos LIKE 'POS%'", "LoginPos", {"POS-0101-01"}},
      {2002, "EmpCode='E003'", "UserCode", {"lisi"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.condition);
    TSysClassEntity e(c.classId);
    ASSERT_TRUE(e.SearchWhere(c.condition, "", 1, 0)) << e.TranslatedWhere;
    std::vector<std::string> values;
    for (e.First(); !e.Eof(); e.Next()) values.push_back(e.FieldByName(c.field).AsString());
    EXPECT_EQ(values, c.values);
    EXPECT_EQ(e.RecordTotal, static_cast<std::int32_t>(c.values.size()));
  }
  EXPECT_TRUE(sink.Boxes().empty()) << sink.Boxes()[0].text;
}

// A server that sends two rows of a search at most still counts them all, and orders them, when the condition
// names a looked-up column.
class AppServerTwoRows : public AppServerTest {
 public:
  AppServerTwoRows() { maxRows = 2; }
};

TEST_P(AppServerTwoRows, LookedUpConditionKeepsTotalAndOrder) {
  TSysClassEntity e(18062);
  ASSERT_TRUE(e.SearchWhere("PluCode>='P0001'", "", 1, 0)) << e.TranslatedWhere;
  std::vector<std::string> plus;
  for (e.First(); !e.Eof(); e.Next()) plus.push_back(e.FieldByName("PluCode").AsString());
  EXPECT_EQ(plus, (std::vector<std::string>{"P0001", "P0002"}));
  EXPECT_EQ(e.RecordTotal, 3);
  EXPECT_TRUE(sink.Boxes().empty()) << sink.Boxes()[0].text;
}

INSTANTIATE_TEST_SUITE_P(Backends, AppServerTwoRows, ::testing::Values("sqlite", "postgres"));

INSTANTIATE_TEST_SUITE_P(Backends, AppServerTest, ::testing::Values("sqlite", "postgres"));

}  // namespace
}  // namespace sw
