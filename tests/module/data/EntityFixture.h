#pragma once
// A small user class for the entity tests, its description packet, data packets in the shape the server
// sends, and a module session pointed at the scripted loopback server.
#include <string>
#include <vector>

#include "ServerTestFixture.h"
#include "sw/common/MessageSink.h"
#include "sw/data/sysBaseBL.h"
#include "sw/dataset/Packet.h"

namespace sw::entitytest {

// Class 2002 "用户" over tUsrUser: 1 UserId (int64), 2 UserCode, 3 UserName (text code USR_NAME), 4 UserType
// (enumeration 2), 5 OrgCode (look-up in tOrgManage by name, condition on the session organisation),
// 6 Amount (decimal). Display orders rank 3, 2, 6, 4, 1, 5.
inline void FillUsers(TSysClassDesc& d, std::int32_t classId = 2002) {
  TSysClassDescRec& r = d.Rec();
  r.ClassID = classId;
  r.LanguageType = lt_PRC;
  r.ClassCaption = "用户";
  r.TableName = "tUsrUser";
  r.IndexFields = "UserCode,UserName";
  r.ServerCache = "cache-1";
  struct P {
    int id;
    const char* field;
    const char* caption;
    int type;
    int editKind;
    int dispOrder;
  };
  const std::vector<P> props = {{1, "UserId", "用户ID", 16, 0, 50},    {2, "UserCode", "用户编码", 1, 0, 20},
                                {3, "UserName", "用户名称", 1, 0, 10}, {4, "UserType", "用户类型", 1, 1, 40},
                                {5, "OrgCode", "所属组织", 1, 3, 60},  {6, "Amount", "金额", 13, 0, 30}};
  for (const P& p : props) {
    TSysPropDesc& prop = d.AddProp();
    prop.PropId = p.id;
    prop.FieldName = p.field;
    prop.Caption = p.caption;
    prop.DataType = static_cast<std::uint8_t>(p.type);
    prop.EditKind = static_cast<std::uint8_t>(p.editKind);
    prop.DispOrder = p.dispOrder;
    prop.TableName = "tUsrUser";
  }
  d.Prop(3)->TextCode = "USR_NAME";
  d.Prop(4)->RefId = 2;
  TSysPropDesc& org = *d.Prop(5);
  org.RefTable = "tOrgManage";
  org.RefKeyField = "OrgCode";
  org.RefKeyType = 1;
  org.RefNameField = "OrgName";
  org.Condition = "OrgCode<>SYSTEM.ORGCODE";
  org.RefCondition = "IsActive='1' AND OrgType=SYSTEM.ORGTYPE";
}

inline Variant UsersDescPacket(std::int32_t classId = 2002) {
  TSysClassDesc d(nullptr, lt_PRC, classId);
  FillUsers(d, classId);
  return d.SaveToVariant(true);
}

// Rows of the user class: code, name, amount.
inline Variant UsersPacket(const std::vector<std::tuple<std::string, std::string, double>>& rows) {
  PacketWriter w;
  w.AddField("UserId", TFieldType::ftLargeint);
  w.AddField("UserCode", TFieldType::ftString, 20);
  w.AddField("UserName", TFieldType::ftString, 40);
  w.AddField("Amount", TFieldType::ftFloat);
  std::int64_t id = 0;
  for (const auto& [code, name, amount] : rows) {
    w.AddInt(++id);
    w.AddText(code);
    w.AddText(name);
    w.AddFloat(amount);
    w.EndRow();
  }
  return w.FinishVariant();
}

// A packet of text columns.
inline Variant TextPacket(const std::vector<std::string>& fields,
                          const std::vector<std::vector<std::string>>& rows) {
  PacketWriter w;
  for (const std::string& f : fields) w.AddField(f, TFieldType::ftString, 60);
  for (const auto& row : rows) {
    for (const std::string& v : row) w.AddText(v);
    w.EndRow();
  }
  return w.FinishVariant();
}

// The scripted server with a recording message sink and session values for the placeholders.
class EntityServerTest : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    LoadSessionIni("OrgName=总部\nOrgType=O'1\nUserCode=U01\n");
  }
  RecordingMessageSink sink;
  ScopedMessageSink scopedSink{sink};
};

}  // namespace sw::entitytest
