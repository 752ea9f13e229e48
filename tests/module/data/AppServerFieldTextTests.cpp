// Field input, look-ups and posting of the user class against the real application server with the demo data.
#include <gtest/gtest.h>

#include "AppServerFixture.h"
#include "sw/core/Error.h"
#include "sw/data/sysBaseBL.h"

namespace sw {
namespace {

class AppServerFieldText : public apptest::AppServerTest {};

TEST_P(AppServerFieldText, TypedCodesFillNameAndDependents) {
  TSysClassEntity users(2002);
  ASSERT_TRUE(users.Init(lt_PRC));
  ASSERT_TRUE(users.SearchWhere("[用户编码]='admin'", "", 1, 0));
  users.Edit();
  users.FieldByName("EmpId").SetText("2");
  EXPECT_EQ(users.FieldByName("EmpId").AsString(), "2");
  if (TField* name = users.FindField("EmpId$")) {
    EXPECT_EQ(name->AsString(), "张三");
  }
  EXPECT_EQ(users.FieldByName("EmpCode").AsString(), users.FindField("EmpCode$") ? "E002" : "E002-张三");

  users.FieldByName("OrgCode").SetText("0102-whatever");
  EXPECT_EQ(users.FieldByName("OrgCode").AsString(), "0102");
  if (TField* name = users.FindField("OrgCode$")) {
    EXPECT_EQ(name->AsString(), "二号门店");
  }

  // A code that must exist and does not, quote and all: refused with the existence message, no data error.
  EXPECT_THROW(users.FieldByName("OrgCode").SetText("9'9"), Abort);
  EXPECT_EQ(users.FieldByName("OrgCode").AsString(), "0102");
  ASSERT_EQ(sink.Boxes().size(), 1u);
  EXPECT_EQ(
      sink.Boxes()[0].text,
      "您录入的项目“所属组织”的值“9'9”不存在或不符合限制条件，请检查。\r具体限制条件请参阅软件使用说明书。");
  users.Cancel();
}

TEST_P(AppServerFieldText, InsertChecksNumbersAndSaves) {
  TSysClassEntity users(2002);
  ASSERT_TRUE(users.Init(lt_PRC));
  ASSERT_TRUE(users.SearchWhere("", "", 1, 0));
  const int before = users.RecordCount();

  // Required values missing: one message naming both.
  users.Append();
  users.FieldByName("OrgCode").SetText("0101");
  EXPECT_THROW(users.Post(), Abort);
  ASSERT_EQ(sink.Boxes().size(), 1u);
  EXPECT_NE(sink.Boxes()[0].text.find("\r\n属性\"用户编码\"的值不能为空！\r\n属性\"用户名称\"的值不能为空！"),
            std::string::npos)
      << sink.Boxes()[0].text;
  users.Cancel();

  // A code already loaded is a duplicate.
  users.UniqueCheck = 1;
  users.UniqueFields = {"UserCode"};
  users.Append();
  users.FieldByName("OrgCode").SetText("0101");
  users.FieldByName("UserCode").SetText("zhangsan");
  users.FieldByName("UserName").SetText("重名");
  EXPECT_THROW(users.Post(), Abort);
  EXPECT_EQ(sink.Boxes().back().text, "属性\"用户编码\"的数据重复!");

  // A new code posts with a server number and is saved at once.
  users.FieldByName("UserCode").SetText("wang'wu");
  users.Post();
  EXPECT_EQ(users.State(), TDataSetState::dsBrowse);
  EXPECT_GT(users.FieldByName("UserId").AsLargeInt(), 0);
  EXPECT_EQ(users.ChangeCount(), 0);
  TSysClassEntity again(2002);
  ASSERT_TRUE(again.SearchWhere("", "", 1, 0));
  EXPECT_EQ(again.RecordCount(), before + 1);
  ASSERT_TRUE(again.SearchWhere("[用户编码]='wang''wu'", "", 1, 0));
  EXPECT_EQ(again.FieldByName("UserName").AsString(), "重名");
}

// Print formats (class 1023) keep their serial numbers consecutive.
TEST_P(AppServerFieldText, RenumberKeepsSerialNumbersConsecutive) {
  const auto serials = [] {
    TSysClassEntity formats(1023);
    EXPECT_TRUE(formats.SearchWhere("FunCode='200201'", "", 1, 0));
    formats.SetIndexFieldNames("SerialNo");
    std::string text;
    for (formats.First(); !formats.Eof(); formats.Next())
      text += formats.FieldByName("PopName").AsString() + formats.FieldByName("SerialNo").AsString() + " ";
    return text;
  };
  TSysClassEntity formats(1023);
  ASSERT_TRUE(formats.SearchWhere("FunCode='200201'", "", 1, 0));
  ASSERT_EQ(formats.RecordCount(), 1);
  formats.AutoOrderEnabled = true;
  const auto add = [&formats](const char* name, int serial) {
    formats.Append();
    formats.FieldByName("FunCode").SetText("200201");
    formats.FieldByName("PopName").SetText(name);
    if (serial > 0) formats.FieldByName("SerialNo").SetText(std::to_string(serial));
    formats.Post();
  };
  add("B", 0);
  add("C", 1);
  EXPECT_EQ(serials(), "C1 用户清单2 B3 ");
  EXPECT_TRUE(sink.Boxes().empty()) << sink.Boxes().front().text;
}

// The stock class's article property looks articles up by bar code and, failing that, by a secondary bar code
// of tSkuMulBar; conditions on the article code are translated the same way.
TEST_P(AppServerFieldText, ArticleFoundByBarCodeAndSecondaryBarCode) {
  TSysClassEntity stock(18062);
  ASSERT_TRUE(stock.Init(lt_PRC));
  struct Case {
    const char* typed;
    const char* pluCode;  // empty: not found
  } cases[] = {{"6901234567908", "P0002"}, {"2000000000015", "P0001"},
               {"HH-003", "P0003"},        {"9'9", ""},
               {"2000000000099", ""},      {"HH-'9", ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    std::string plu;
    EXPECT_EQ(stock.FindArticleCode(c.typed, plu), *c.pluCode != 0);
    if (*c.pluCode) {
      EXPECT_EQ(plu, c.pluCode);
    }
  }
  stock.TranslateWhere("[商品编码]='2000000000015'");
  EXPECT_EQ(stock.TranslatedWhere, "PluCode = 'P0001'");
  EXPECT_TRUE(sink.Boxes().empty()) << sink.Boxes()[0].text;
}

// The article search compares the numeric article key only with a whole number, so that a cargo number
// reaches the statement on every database; the step of purchase order lines that first resolves the article
// key does the same.
TEST_P(AppServerFieldText, ArticleSearchByCargoNumberOrArticleKey) {
  TSysClassEntity stock(18062);
  ASSERT_TRUE(stock.Init(lt_PRC));
  TSysPropDesc& plu = *stock.ClassDesc().FindByFieldName("PluId");
  struct Case {
    const char* typed;
    std::vector<std::string> plus;  // PluCode of the rows found
    const char* nameText;  // the resolved article code, "*" when no code, bar code or cargo number matched
  };
  const std::vector<Case> cases = {
      {"HH-003", {"P0003"}, "P0003"},        {"2", {"P0002"}, "*"}, {" 3 ", {"P0003"}, "*"},
      {"6901234567892", {"P0001"}, "P0001"}, {"HH-'9", {}, "*"},
  };
  for (const bool orderLines : {false, true}) {
    if (orderLines) {
      plu.TableName = "tOrdCgBody";
      plu.RefCondition = "IsActive='1'";
    }
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(orderLines ? "order lines: " : "") + c.typed);
      TClientDataSet found;
      std::string nameText, keyField;
      EXPECT_TRUE(stock.LookupQuery(found, plu, true, c.typed, nameText, keyField));
      std::vector<std::string> plus;
      for (found.First(); !found.Eof(); found.Next()) plus.push_back(found.FieldByName("PluCode").AsString());
      EXPECT_EQ(plus, c.plus);
      EXPECT_EQ(nameText, c.nameText);
    }
  }
  EXPECT_TRUE(sink.Boxes().empty()) << sink.Boxes()[0].text;
}

INSTANTIATE_TEST_SUITE_P(Backends, AppServerFieldText, ::testing::Values("sqlite", "postgres"));

}  // namespace
}  // namespace sw
