// The real staffwatch-server, started on an ephemeral loopback port over a temporary SQLite file or a fresh
// PostgreSQL database, driven call by call through srvlink as the module drives it.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <map>
#include <memory>
#include <thread>

#include "TestSupport.h"
#include "sw/appserver/AdminClient.h"
#include "sw/appserver/AppServer.h"
#include "sw/appserver/DeltaApply.h"
#include "sw/appserver/Sessions.h"
#include "sw/common/PacketZip.h"
#include "sw/common/UString.h"
#include "sw/core/Error.h"
#include "sw/core/Text.h"
#include "sw/data/USysDict.h"
#include "sw/dataset/Packet.h"
#include "sw/dispatch/ServerObjects.h"
#include "sw/server/CallNumbers.h"
#include "sw/srvlink/SrvLink.h"

namespace sw::appserver {
namespace {

using test::ServerProcess;

// One server per backend for the whole program; every test logs in afresh.
ServerProcess* ServerFor(const std::string& backend) {
  static std::map<std::string, std::unique_ptr<ServerProcess>> servers;
  auto& s = servers[backend];
  if (!s) {
    const auto url = test::FreshDatabaseUrl(backend);
    if (!url) return nullptr;
    s = std::make_unique<ServerProcess>(
        *url, std::vector<std::string>{"--demo", "--max-rows", "3", "--max-packet", "1048576"});
  }
  return s.get();
}

class ServerCallsTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    server_ = ServerFor(GetParam());
    if (server_ == nullptr) GTEST_SKIP() << "no PostgreSQL server binaries here";
    login_ = Login("admin", "admin");
  }

  std::shared_ptr<DispatchObject> Icomm() {
    return GetServerInterface("127.0.0.1", server_->Port(), kIcommClassId);
  }
  std::shared_ptr<DispatchObject> IGeneral() {
    return GetServerInterface("127.0.0.1", server_->Port(), kIGeneralClassId);
  }
  std::string Login(const std::string& user, const std::string& password, const std::string& position = "") {
    const Variant r = Icomm()->Call(kCallLogin, {user, password, position});
    return r.AsArray().items.at(0).ToString();
  }
  static Variant Header(std::int32_t classId) {
    TSysClassDesc d(nullptr, lt_PRC, classId);
    return CompressPacket(d.SaveToVariant(false));
  }
  // A normal search: the packet and the count.
  PacketReader Search(std::int32_t classId, const std::string& where, std::int64_t* count = nullptr,
                      const std::string& fields = "") {
    const Variant r = Icomm()->Call(rcSearchClassData, {"@" + login_, Header(classId), fields, "", where});
    if (r.IsText()) throw Error(r.AsText());
    if (count) *count = r.AsArray().items.at(1).ToInt64();
    return PacketReader(DecompressPacket(r.AsArray().items.at(0)));
  }
  Variant Save(std::int32_t classId, const Variant& delta, const std::string& login = "") {
    return Icomm()->Call(rcSaveClassData,
                         {login.empty() ? login_ : login, Header(classId), CompressPacket(delta), ""});
  }
  static std::vector<TFieldDef> LoginPosFields() {
    return {{"UserID", TFieldType::ftLargeint},
            {"LoginPos", TFieldType::ftString, 60},
            {"Remark", TFieldType::ftString, 200},
            {"IsConfirm", TFieldType::ftString, 1}};
  }
  static Variant InsertPos(std::int64_t user, const std::string& pos, const std::string& remark) {
    DeltaWriter w(LoginPosFields());
    const std::vector<Variant> row = {Variant(user), Variant(pos), Variant(remark), Variant("1")};
    w.AddChange(TUpdateKind::ukInsert, {}, row);
    return w.FinishVariant();
  }
  static Variant ModifyPos(std::int64_t user, const std::string& pos, const std::string& oldRemark,
                           const std::string& newRemark, const std::string& oldConfirm = "1",
                           const std::string& newConfirm = "1") {
    DeltaWriter w(LoginPosFields());
    const std::vector<Variant> before = {Variant(user), Variant(pos), Variant(oldRemark),
                                         Variant(oldConfirm)};
    const std::vector<Variant> after = {Variant(user), Variant(pos), Variant(newRemark), Variant(newConfirm)};
    w.AddChange(TUpdateKind::ukModify, before, after);
    return w.FinishVariant();
  }
  std::string RemarkOf(std::int64_t user, const std::string& pos) {
    auto p = Search(2006, "UserID=" + IntToStr(user) + " AND LoginPos=" + QuotedStr(pos));
    if (p.RowCount() == 0) return "<none>";
    return p.Value(0, p.FieldIndex("Remark")).ToString();
  }

  ServerProcess* server_ = nullptr;
  std::string login_;
};

TEST_P(ServerCallsTest, LoginChecksPasswordActivityAndPositionAndSessionsEnd) {
  struct Case {
    const char* user;
    const char* password;
    const char* position;
    const char* refusal;  // nullptr: accepted
  };
  const Case cases[] = {
      {"admin", "admin", "", nullptr},
      {"admin", "wrong", "", kLoginBadUser},
      {"nobody", "admin", "", kLoginBadUser},
      {"wangwu", "1234", "", kLoginInactive},
      {"zhangsan", "1234", "POS-0101-01", nullptr},
      {"zhangsan", "1234", "POS-9999", "用户不允许在此位置登录: POS-9999"},
  };
  for (const auto& c : cases) {
    if (c.refusal == nullptr) {
      EXPECT_NO_THROW(Login(c.user, c.password, c.position)) << c.user;
    } else {
      try {
        Login(c.user, c.password, c.position);
        ADD_FAILURE() << c.user << " was let in";
      } catch (const Error& e) {
        EXPECT_STREQ(e.what(), c.refusal);
      }
    }
  }
  // The open session is an online user (class 2007); after logout its id is refused.
  const std::string id = Login("lisi", "1234");
  auto online = Search(2007, "LoginId=" + id);
  ASSERT_EQ(online.RowCount(), 1u);
  EXPECT_EQ(online.Value(0, online.FieldIndex("UserCode")), Variant("lisi"));
  EXPECT_EQ(Icomm()->Call(kCallLogout, {id}).ToInt32(), 1);
  EXPECT_EQ(Icomm()->Call(rcGetClassDesc, {id, 2002, 1}), Variant(kSessionInvalid));
}

TEST_P(ServerCallsTest, EveryClassDescriptionReadsBackWholeAndAsHeader) {
  std::set<int> editKinds;
  for (std::int32_t classId : {7, 1017, 1023, 2001, 2002, 2006, 2007, 2216, 8001, 18062}) {
    const Variant reply = Icomm()->Call(rcGetClassDesc, {login_, classId, 0});
    ASSERT_TRUE(reply.IsBytes()) << classId << ": " << reply.ToString();
    TSysClassDesc desc;
    desc.LoadFromVariant(DecompressPacket(reply),
                         false);  // a full stream is read whole anyway? no: header only
    EXPECT_EQ(desc.ClassID(), classId);
    EXPECT_EQ(desc.ServerCache(), ServerCacheToken(classId));
    EXPECT_EQ(desc.PropCount(), 0) << "the header alone was asked for";
    desc.LoadFromVariant(DecompressPacket(reply), true);
    ASSERT_GT(desc.PropCount(), 0) << classId;
    for (const auto& p : desc.Props()) {
      EXPECT_FALSE(p->Caption.empty());
      editKinds.insert(p->EditKind);
    }
  }
  EXPECT_EQ(editKinds, (std::set<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(Icomm()->Call(rcGetClassDesc, {login_, 99999, 0}), Variant("@类号 99999 没有定义。"));
}

TEST_P(ServerCallsTest, DescriptionsComeInTheAskedCaptionLanguage) {
  struct Case {
    std::int32_t language;
    TEnumLangType languageType;  // what the description says it holds
    const char* classCaption;
    const char* userCode;  // caption of property 2 of class 2002
  };
  const Case cases[] = {
      {0, lt_PRC, "用户", "用户编码"}, {1, lt_PRC, "用户", "用户编码"}, {2, lt_USA, "Users", "User code"},
      {3, lt_TW, "用戶", "用戶編碼"},  {9, lt_PRC, "用户", "用户编码"},  // a language without captions of its
                                                                         // own: the dictionary's
  };
  for (const auto& c : cases) {
    const Variant reply = Icomm()->Call(rcGetClassDesc, {login_, 2002, c.language});
    ASSERT_TRUE(reply.IsBytes()) << c.language << ": " << reply.ToString();
    TSysClassDesc desc;
    desc.LoadFromVariant(DecompressPacket(reply), true);
    EXPECT_EQ(desc.Rec().LanguageType, c.languageType) << c.language;
    EXPECT_EQ(desc.Rec().ClassCaption, c.classCaption) << c.language;
    const TSysPropDesc* userCode = desc.FindByFieldName("UserCode");
    ASSERT_NE(userCode, nullptr);
    EXPECT_EQ(userCode->Caption, c.userCode) << c.language;
    EXPECT_EQ(desc.PropCount(), 13) << "only captions change";
  }
}

TEST_P(ServerCallsTest, SearchAndReadReplyShapes) {
  // Five demo users, three rows at most per reply: the count is the true total.
  std::int64_t count = 0;
  auto all = Search(2002, "", &count);
  EXPECT_EQ(all.RowCount(), 3u);
  EXPECT_EQ(count, 5);
  EXPECT_EQ(all.Value(0, all.FieldIndex("UserCode")), Variant("admin")) << "ordered by IndexFields";
  EXPECT_EQ(all.Value(0, all.FieldIndex("EmpId$")), Variant("系统管理员")) << "looked-up name";
  EXPECT_EQ(all.Value(0, all.FieldIndex("EmpCode")), Variant("E001")) << "dependent property";

  auto deleted = Search(2002, "IsActive='0' ", &count, "UserId,UserCode");
  EXPECT_EQ(count, 2);
  EXPECT_EQ(deleted.Fields().size(), 2u);

  // Timing mode: the login id without "@", six elements, five server time stamps.
  const Variant timed = Icomm()->Call(rcSearchClassData, {login_, Header(2001), kSearchTimingMode, "", ""});
  ASSERT_TRUE(timed.IsArray());
  ASSERT_EQ(timed.AsArray().items.size(), 6u);
  EXPECT_EQ(PacketReader(DecompressPacket(timed.AsArray().items[0])).RowCount(), 3u);
  for (int i = 1; i <= 5; ++i) EXPECT_EQ(timed.AsArray().items[i].Type(), VarType::Date);

  // Read by ";"-separated key values and by condition.
  const struct {
    std::int32_t classId;
    const char* condition;
    std::size_t rows;
  } reads[] = {{2002, "2", 1}, {2006, "2;POS-0101-01", 1}, {2002, "UserCode='lisi'", 1}, {2002, "99", 0}};
  for (const auto& r : reads) {
    const Variant reply = Icomm()->Call(rcReadClassData, {login_, Header(r.classId), r.condition});
    ASSERT_TRUE(reply.IsBytes()) << r.condition << ": " << reply.ToString();
    EXPECT_EQ(PacketReader(DecompressPacket(reply)).RowCount(), r.rows) << r.condition;
  }
  // An uncompressed description gets an uncompressed reply.
  TSysClassDesc plain(nullptr, lt_PRC, 2002);
  const Variant raw = Icomm()->Call(rcReadClassData, {login_, plain.SaveToVariant(false), "1"});
  EXPECT_EQ(PacketReader(raw).RowCount(), 1u);
}

TEST_P(ServerCallsTest, SavesInsertModifyDeleteAndRefuseLostUpdates) {
  const std::string pos = "T-" + login_;
  EXPECT_EQ(Save(2006, InsertPos(3, pos, "a")), Variant(std::int32_t{1}));
  EXPECT_EQ(RemarkOf(3, pos), "a");
  // Two clients edit the row loaded as ("a", confirm "1"): different columns both stay...
  const std::string other = Login("admin", "admin");
  EXPECT_EQ(Save(2006, ModifyPos(3, pos, "a", "b")), Variant(std::int32_t{1}));
  EXPECT_EQ(Save(2006, ModifyPos(3, pos, "a", "a", "1", "0"), other), Variant(std::int32_t{1}));
  auto row = Search(2006, "LoginPos=" + QuotedStr(pos));
  EXPECT_EQ(row.Value(0, row.FieldIndex("Remark")), Variant("b"));
  EXPECT_EQ(row.Value(0, row.FieldIndex("IsConfirm")), Variant("0"));
  // ...the same column from a stale value is refused, not overwritten.
  EXPECT_EQ(Save(2006, ModifyPos(3, pos, "a", "c", "0", "0"), other), Variant(kConflictMessage));
  EXPECT_EQ(RemarkOf(3, pos), "b");
  // Delete by key.
  DeltaWriter del(LoginPosFields());
  const std::vector<Variant> old = {Variant(std::int64_t{3}), Variant(pos), Variant("b"), Variant("0")};
  del.AddChange(TUpdateKind::ukDelete, old, {});
  EXPECT_EQ(Save(2006, del.FinishVariant()), Variant(std::int32_t{1}));
  EXPECT_EQ(RemarkOf(3, pos), "<none>");
  // Server-maintained classes are not saved.
  EXPECT_TRUE(Save(2007, InsertPos(3, pos, "x")).IsText());
}

TEST_P(ServerCallsTest, MasterDetailSaveIsAllOrNothing) {
  const std::string pos = "MD-" + login_;
  auto descs = Variant::Array({Variant("head text"), Header(2006), Header(2006)});
  // The second delta inserts a row whose key exists already: the whole save fails and nothing stays.
  auto bad = Variant::Array({Variant("head text"), CompressPacket(InsertPos(3, pos, "first")),
                             CompressPacket(InsertPos(2, "POS-0101-01", "dup"))});
  const Variant r = Icomm()->Call(rcSaveMasterDetailData, {login_, descs, bad, "head"});
  ASSERT_TRUE(r.IsText());
  EXPECT_EQ(RemarkOf(3, pos), "<none>");
  auto good = Variant::Array({Variant("head text"), CompressPacket(InsertPos(3, pos, "first")),
                              CompressPacket(InsertPos(3, pos + "b", "second"))});
  EXPECT_EQ(Icomm()->Call(rcSaveMasterDetailData, {login_, descs, good, "head"}), Variant(std::int32_t{1}));
  EXPECT_EQ(RemarkOf(3, pos), "first");
  EXPECT_EQ(RemarkOf(3, pos + "b"), "second");
}

TEST_P(ServerCallsTest, StatementsIdsLogsAndPrintCounts) {
  // ExecSQL deciphers its text; the purge statement of a deleted user.
  Variant status(std::int32_t{0});
  Icomm()->Call(rcExecSQL, {ByRef(status), login_,
                            EncryptText("Delete From tUsrUser Where UserId = 5 and IsActive='0'")});
  EXPECT_EQ(status.ToInt32(), 1);
  Icomm()->Call(rcExecSQL, {ByRef(status), login_, EncryptText("Delete From nowhere")});
  EXPECT_EQ(status.ToInt32(), 0);
  Icomm()->Call(rcExecSQL, {ByRef(status), login_, "not hex"});
  EXPECT_EQ(status.ToInt32(), 0);

  // QueryData with the rights statement of the module.
  const std::string rights =
      " select (Case When Sum(Cast(R.IsAccess as int))>0 then '1' else '0' end) as IsAccess, (Case When "
      "Sum(Cast(R.IsQuery as int))>0 then '1' else '0' end) as IsQuery  from tUsrRightFunc R, tUsrUserSub S, "
      "tUsrUserGrp G where R.UGrpCode=S.UGrpCode and R.UGrpCode=G.UGrpCode and S.UserID='1'  and "
      "R.FunCode='200204' ";
  Variant label("GetOprRightData"), data;
  EXPECT_EQ(Icomm()->Call(rcQueryData, {login_, ByRef(label), rights, ByRef(data), false}).ToInt32(), 1);
  PacketReader rp(DecompressPacket(data));
  ASSERT_EQ(rp.RowCount(), 1u);
  EXPECT_EQ(rp.Value(0, rp.FieldIndex("IsAccess")).ToString(), "1");
  EXPECT_EQ(Icomm()
                ->Call(rcQueryData, {login_, ByRef(label), "select * from nowhere", ByRef(data), false})
                .ToInt32(),
            -1);

  // QueryTable on IGeneral: every text enciphered, data always compressed.
  Variant err, rows;
  const Variant n = IGeneral()->Call(
      rcQueryTable, {ByRef(err), EncryptText(login_), EncryptText("tNavRefFun"),
                     EncryptText("RefFunCode,RefFunName"), EncryptText("FunCode='200201'"), ByRef(rows)});
  EXPECT_EQ(n.ToInt32(), 2);
  EXPECT_EQ(PacketReader(DecompressPacket(rows)).RowCount(), 2u);
  EXPECT_LT(IGeneral()
                ->Call(rcQueryTable, {ByRef(err), EncryptText(login_), EncryptText("nowhere"),
                                      EncryptText("x"), EncryptText(""), ByRef(rows)})
                .ToInt32(),
            0);
  EXPECT_FALSE(err.ToString().empty());

  // GetPropValue by field and key.
  Variant st, value;
  Icomm()->Call(rcGetPropValue, {ByRef(st), login_, "UserName", 2002, "UserCode", "lisi", ByRef(value)});
  EXPECT_EQ(value, Variant("李四"));

  // GetNewID: increasing, 64-bit beyond 2^31, errors beginning with "函数".
  const std::int64_t a = std::stoll(Icomm()->Call(rcGetNewID, {login_, 2002, 1}).ToString());
  EXPECT_GT(a, 4);  // beyond the largest stored UserId (5 was purged above)
  EXPECT_EQ(std::stoll(Icomm()->Call(rcGetNewID, {login_, 2002, 1}).ToString()), a + 1);
  Icomm()->Call(rcExecSQL,
                {ByRef(status), login_,
                 EncryptText("update tSysNewID set LastID=2147483647 where ClassID=8001 and PropID=1")});
  Icomm()->Call(rcGetNewID, {login_, 8001, 1});
  Icomm()->Call(rcExecSQL,
                {ByRef(status), login_,
                 EncryptText("update tSysNewID set LastID=2147483647 where ClassID=8001 and PropID=1")});
  EXPECT_EQ(Icomm()->Call(rcGetNewID, {login_, 8001, 1}).ToString(), "2147483648");
  EXPECT_TRUE(StartsWithText(Icomm()->Call(rcGetNewID, {"999999", 2002, 1}).ToString(), "函数"));

  // Logs feed classes 1017 and 2216.
  const std::string tag = "标记" + login_;
  EXPECT_EQ(Icomm()->Call(rcWriteOprLog, {login_, "用户信息查询", tag}).ToInt32(), 1);
  EXPECT_EQ(Icomm()->Call(rcWriteSysLog, {login_, "TSysClassEntity.Search", "系统日志"}).ToInt32(), 1);
  EXPECT_LT(Icomm()->Call(rcWriteOprLog, {"0", "x", "y"}).ToInt32(), 0);
  EXPECT_EQ(Search(1017, "Message=" + QuotedStr(tag)).RowCount(), 1u);
  auto stat = Search(2216, "UserCode = 'admin'");
  ASSERT_GE(stat.RowCount(), 1u);
  EXPECT_GE(stat.Value(0, stat.FieldIndex("OprCount")).ToInt64(), 1);

  // SetPrintTimes: rows updated, or -2 when no row matched.
  Variant perr, when = Variant::Date(Now()), times(std::int32_t{1});
  EXPECT_EQ(Icomm()
                ->Call(rcSetPrintTimes, {login_, ByRef(perr), 2002, "PrnDate", "PrnTimes", ByRef(when),
                                         ByRef(times), "UserId=3"})
                .ToInt32(),
            1);
  EXPECT_EQ(Icomm()
                ->Call(rcSetPrintTimes, {login_, ByRef(perr), 2002, "PrnDate", "PrnTimes", ByRef(when),
                                         ByRef(times), "UserId=-7"})
                .ToInt32(),
            -2);

  // Workflow status and probes.
  Variant keys(""), wdata, wtext;
  EXPECT_EQ(Icomm()
                ->Call(rcGetWflStatus,
                       {"1", ByRef(keys), "01", "200201", "", 2002, "0", "1=1", ByRef(wdata), ByRef(wtext)})
                .ToInt32(),
            0);
  EXPECT_NO_THROW(Icomm()->Call(rcCheckConnection, {}));
  EXPECT_NO_THROW(IGeneral()->Call(rcCheckGeneralConnection, {}));
}

// Sends one raw frame on a new connection and closes it.
void SendRaw(int port, const std::string& payload, bool withLength) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
    std::string frame;
    if (withLength) {
      const std::uint32_t n = static_cast<std::uint32_t>(payload.size());
      frame.append(reinterpret_cast<const char*>(&n), 4);
    }
    frame += payload;
    (void)!write(fd, frame.data(), frame.size());
    char buf[256];
    (void)!read(fd, buf, sizeof buf);
  }
  close(fd);
}

TEST_P(ServerCallsTest, BadInputsGetAnErrorAndTheNextCallWorks) {
  const Variant desc = Header(2002);
  auto truncated = DecompressPacket(Icomm()->Call(rcGetClassDesc, {login_, 2002, 0})).AsBytes().bytes;
  truncated.resize(truncated.size() / 2);
  auto cutZip = CompressPacket(Variant::Bytes(std::string(5000, 'x'))).AsBytes().bytes;
  cutZip.resize(cutZip.size() - 4);
  std::vector<std::uint8_t> bomb(1048577, 0);  // one byte over the server's --max-packet
  const Variant bigZip = CompressPacket(Variant::Bytes(std::move(bomb)));
  struct Case {
    const char* what;
    std::function<Variant()> call;
  };
  const std::vector<Case> cases = {
      {"garbage frame",
       [&] {
         SendRaw(server_->Port(), "\x01\x01garbage!", true);
         return Variant("@");
       }},
      {"oversized length",
       [&] {
         SendRaw(server_->Port(), "\xff\xff\xff\x7f", false);
         return Variant("@");
       }},
      {"truncated description",
       [&] {
         return Icomm()->Call(rcReadClassData, {login_, CompressPacket(Variant::Bytes(truncated)), "1"});
       }},
      {"truncated zlib",
       [&] {
         return Icomm()->Call(rcReadClassData, {login_, Variant::Bytes(cutZip), "1"});
       }},
      {"inflates too far",
       [&] {
         return Icomm()->Call(rcReadClassData, {login_, bigZip, "1"});
       }},
      {"text for a packet",
       [&] {
         return Icomm()->Call(rcReadClassData, {login_, "abc", "1"});
       }},
      {"garbage delta",
       [&] {
         return Icomm()->Call(rcSaveClassData, {login_, desc, Variant::Bytes("garbage"), ""});
       }},
      {"wrong class number",
       [&] {
         return Icomm()->Call(rcSearchClassData, {"@" + login_, Header(424242), "", "", ""});
       }},
      {"unknown field",
       [&] {
         return Icomm()->Call(rcSearchClassData, {"@" + login_, desc, "NoSuchField", "", ""});
       }},
      {"broken SQL condition",
       [&] {
         return Icomm()->Call(rcSearchClassData, {"@" + login_, desc, "", "", "UserCode =="});
       }},
      {"broken SQL",
       [&] {
         return Icomm()->Call(rcOpenSQL, {login_, "SELEC * FROM tUsrUser"});
       }},
      {"two statements",
       [&] {
         return Icomm()->Call(rcOpenSQL, {login_, "SELECT 1; DELETE FROM tUsrUser"});
       }},
      {"unknown login id",
       [&] {
         return Icomm()->Call(rcOpenSQL, {"123456789", "SELECT 1"});
       }},
      {"login id not a number",
       [&] {
         return Icomm()->Call(rcOpenSQL, {"abc", "SELECT 1"});
       }},
      {"missing arguments", [&] { return Icomm()->Call(rcSearchClassData, {"@" + login_}); }},
      {"array for a text",
       [&] {
         return Icomm()->Call(rcGetClassDesc, {login_, Variant::Array({}), 0});
       }},
  };
  for (const auto& c : cases) {
    const Variant r = c.call();
    EXPECT_TRUE(r.IsText()) << c.what;
    const Variant ok = Icomm()->Call(rcGetClassDesc, {login_, 2001, 0});
    EXPECT_TRUE(ok.IsBytes()) << "after " << c.what << ": " << ok.ToString();
  }
  EXPECT_THROW(Icomm()->Call(4711, {}), Error) << "unknown call number";
  EXPECT_TRUE(Icomm()->Call(rcGetClassDesc, {login_, 2001, 0}).IsBytes());
  // The user's own data is intact.
  EXPECT_EQ(Search(2002, "UserCode='admin'").RowCount(), 1u);
}

// Eight clients mix searches, saves and log writes; afterwards every write is there. SW_STRESS_SECONDS sets
// the duration (the suite keeps it short; 30 for the full run).
TEST_P(ServerCallsTest, ConcurrentClientsLoseNoWrite) {
  const char* env = std::getenv("SW_STRESS_SECONDS");
  const double seconds = env ? std::atof(env) : 3.0;
  const auto until =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<int>(seconds * 1000));
  const std::string run = "C" + login_ + "-";
  std::atomic<int> errors{0};
  std::vector<int> inserted(8, 0), logged(8, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      try {
        AdminClient c(ParseHostPort(server_->Address()), "admin", "admin");
        TSysClassDesc h2006(nullptr, lt_PRC, 2006), h2002(nullptr, lt_PRC, 2002);
        const Variant d2006 = CompressPacket(h2006.SaveToVariant(false));
        const Variant d2002 = CompressPacket(h2002.SaveToVariant(false));
        for (int i = 0; std::chrono::steady_clock::now() < until; ++i) {
          Variant r;
          switch (i % 3) {
            case 0:
              r = c.Icomm().Call(rcSearchClassData, {"@" + c.LoginId(), d2002, "", "", "IsActive='1'"});
              if (!r.IsArray()) ++errors;
              break;
            case 1: {
              const std::string pos = run + IntToStr(t) + "-" + IntToStr(i);
              r = c.Icomm().Call(rcSaveClassData,
                                 {c.LoginId(), d2006, CompressPacket(InsertPos(1, pos, "s")), ""});
              if (r == Variant(std::int32_t{1})) {
                ++inserted[t];
              } else {
                ++errors;
              }
              break;
            }
            default:
              r = c.Icomm().Call(rcWriteOprLog, {c.LoginId(), run, "stress"});
              if (r.ToInt32() == 1) {
                ++logged[t];
              } else {
                ++errors;
              }
          }
        }
      } catch (const std::exception& e) {
        ++errors;
        ADD_FAILURE() << e.what();
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(errors.load(), 0);
  int ins = 0, logs = 0;
  for (int t = 0; t < 8; ++t) {
    ins += inserted[t];
    logs += logged[t];
  }
  EXPECT_GT(ins, 0);
  Variant data, label("");
  Icomm()->Call(rcQueryData,
                {login_, ByRef(label), "select count(*) from tUsrLoginPos where LoginPos like '" + run + "%'",
                 ByRef(data), false});
  EXPECT_EQ(PacketReader(DecompressPacket(data)).Value(0, 0).ToInt64(), ins);
  Icomm()->Call(rcQueryData,
                {login_, ByRef(label), "select count(*) from tSysOprLog where Source = '" + run + "'",
                 ByRef(data), false});
  EXPECT_EQ(PacketReader(DecompressPacket(data)).Value(0, 0).ToInt64(), logs);
}

INSTANTIATE_TEST_SUITE_P(Backends, ServerCallsTest, ::testing::Values("sqlite", "postgres"),
                         [](const auto& info) { return info.param; });

TEST(ServerProcess, StopsCleanlyOnSigtermAndReusesItsDatabase) {
  const std::string url = "sqlite:" + test::MakeTempDir("restart") + "/db.sqlite";
  {
    test::ServerProcess first(url, {"--demo"});
    AdminClient c(ParseHostPort(first.Address()), "admin", "admin");
    EXPECT_EQ(c.ExecSql("update tUsrUser set Remark='kept' where UserId=3"), 1);
  }
  test::ServerProcess second(url);
  {
    AdminClient c(ParseHostPort(second.Address()), "admin", "admin");
    std::int64_t total = 0;
    PacketReader p(c.Search(2002, "UserId=3", total));
    EXPECT_EQ(p.Value(0, p.FieldIndex("Remark")), Variant("kept"));
  }
  const int status = second.Stop();
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace sw::appserver
