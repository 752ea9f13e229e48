#pragma once
// The sample description shared by the dictionary tests and the sample file of the CLI test: the user class
// with five properties in list order 2, 3, 1, 5, 4 that cover every edit kind, several data types, every
// flag and every text of a record, with Chinese captions.
#include <string>

#include "sw/data/USysDict.h"

namespace sw::fixture {

inline void FillUserClass(TSysClassDesc& d) {
  TSysClassDescRec& r = d.Rec();
  r.LanguageType = lt_PRC;
  r.ClassID = 2002;
  r.ClassFlag = 7;
  r.ClassCaption = "用户";
  r.TableName = "tUsrUser";
  r.ClassFlag2 = 8;
  r.IndexFields = "UserCode,UserName";
  r.ClassFlag3 = 9;
  r.ClassText = "类文本";
  r.FullDesc = 0;
  r.ClassText2 = "text 2";
  r.SelectMode = 1;
  r.QueryKind = 1;
  r.SearchFlag = 3;
  r.ServerCache = "cache:2002";
  r.FromText = "tUsrUser LEFT JOIN tOrgManage ON tUsrUser.OrgCode=tOrgManage.OrgCode";

  TSysPropDesc p;
  p.PropId = 2;
  p.Caption = "用户名称";
  p.DataType = 1;
  p.DispIndex = 1;
  p.TableName = "tUsrUser";
  p.FieldName = "UserName";
  p.MaxLength = 40;
  p.DispWidth = 20;
  p.Editable = p.Visible = p.InList = p.Required = p.InCondition = 1;
  p.DisplayCaption = "姓名";
  p.DispOrder = 2;
  d.AddProp(p);

  p = TSysPropDesc{};
  p.PropId = 3;
  p.Caption = "机构";
  p.DataType = 26;
  p.DispIndex = 2;
  p.TableName = "tUsrUser";
  p.FieldName = "OrgCode";
  p.MaxLength = 10;
  p.DispWidth = 12;
  p.EditKind = ekLookup2;
  p.RefId = 1017;
  p.RefMode = 2;
  p.NameProp = -4;
  p.MustExist = 1;
  p.Condition = "tUsrUser.OrgCode=SYSTEM.ORGCODE";
  p.Editable = p.Visible = p.InList = p.InCondition = p.PanelCondition = p.InLookupList = p.ShowCodeName = 1;
  p.DispOrder = 3;
  p.RefTable = "tOrgManage";
  p.RefKeyField = "OrgCode";
  p.RefKeyType = 1;
  p.RefNameField = "OrgName";
  p.RefCondition = "&CURRTABLE&.OrgType=[机构类型]";
  d.AddProp(p);

  p = TSysPropDesc{};
  p.PropId = 1;
  p.Caption = "用户编码";
  p.DataType = 16;
  p.DispIndex = 0;
  p.TableName = "tUsrUser";
  p.FieldName = "UserCode";
  p.MaxLength = 20;
  p.DispWidth = 10;
  p.AutoKind = 1;
  p.IsKey = p.Visible = p.InList = p.Required = 1;
  p.DisplayFormat = "###############";
  p.DispOrder = 1;
  d.AddProp(p);

  p = TSysPropDesc{};
  p.PropId = 5;
  p.Caption = "状态";
  p.DataType = 22;
  p.DispIndex = 4;
  p.FieldName = "IsActive";
  p.DispWidth = 4;
  p.EditKind = ekEnum;
  p.RefId = 12;
  p.AllowAll = p.ZeroAsBlank = p.SumInFooter = p.AutoOrder = 1;
  p.PropFlag1 = 0x11;
  p.PropFlag2 = 0x22;
  p.PropFlag3 = 0x33;
  p.PropFlag4 = 0xFF;
  p.PropText1 = "备注一";
  p.DefaultValue = "1";
  p.BadText = "x'y";
  p.PropText2 = "\"quoted\"\tand tab";
  p.TextCode = "EXP01";
  p.DispOrder = 5;
  d.AddProp(p);

  p = TSysPropDesc{};
  p.PropId = 4;
  p.Caption = "机构名称";
  p.DataType = 13;
  p.DispIndex = 3;
  p.FieldName = "OrgCode$";
  p.Decimals = 4;
  p.EditKind = ekDependent;
  p.RefId = 3;
  p.RefMode = -7;
  p.NameProp = 0x7FFFFFFF;
  p.DisplayFormat = "@IIF(1>0,\"#0.0000\",\"\")@";
  p.DispOrder = 65535;
  p.RefKeyType = 27;
  d.AddProp(p);
}

}  // namespace sw::fixture
