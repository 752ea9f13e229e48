#include "sw/appserver/Schema.h"

#include <map>

#include "sw/core/Error.h"
#include "sw/core/Text.h"

namespace sw::appserver {
namespace {

ColumnDef Big(std::string n) {
  return {std::move(n), ColType::BigInt, 0};
}
ColumnDef Int(std::string n) {
  return {std::move(n), ColType::Int, 0};
}
ColumnDef Txt(std::string n, int len) {
  return {std::move(n), ColType::Text, len};
}
ColumnDef Flt(std::string n) {
  return {std::move(n), ColType::Float, 0};
}
ColumnDef Flag(std::string n) {
  return {std::move(n), ColType::Text, 1};
}
// Dates and times are stored as text "YYYY-MM-DD HH:NN:SS", which orders and compares correctly as text on
// both backends and accepts the quoted literals of the client's conditions unchanged.
ColumnDef Date(std::string n) {
  return {std::move(n), ColType::Text, 19};
}

std::vector<TableDef> MakeTables() {
  std::vector<TableDef> t;
  t.push_back({"tSysSchema", {Int("Version")}, {"Version"}});
  // The class dictionary: one row per class, one row per property with every field of a property description.
  t.push_back(
      {"tSysClass",
       {Int("ClassID"), Txt("ClassCaption", 60), Txt("TableName", 60), Txt("IndexFields", 200),
        Txt("FromText", 2000), Int("ClassFlag"), Int("ClassFlag2"), Int("ClassFlag3"), Txt("ClassText", 2000),
        Txt("ClassText2", 2000), Int("SelectMode"), Int("QueryKind"), Int("SearchFlag")},
       {"ClassID"}});
  t.push_back({"tSysProp",
               {Int("ClassID"),
                Int("PropId"),
                Txt("Caption", 60),
                Int("DataType"),
                Txt("TableName", 60),
                Txt("FieldName", 60),
                Int("MaxLength"),
                Int("DispWidth"),
                Int("Decimals"),
                Int("EditKind"),
                Int("RefId"),
                Int("RefMode"),
                Int("NameProp"),
                Int("MustExist"),
                Txt("Condition", 2000),
                Int("AutoKind"),
                Int("IsKey"),
                Int("Editable"),
                Int("Visible"),
                Int("InList"),
                Int("Required"),
                Int("AllowAll"),
                Int("InCondition"),
                Int("PropFlag1"),
                Int("SumInFooter"),
                Int("PropFlag2"),
                Int("ZeroAsBlank"),
                Int("PropFlag3"),
                Int("ShowCodeName"),
                Int("PanelCondition"),
                Int("InLookupList"),
                Int("AutoOrder"),
                Int("PropFlag4"),
                Txt("PropText1", 2000),
                Txt("DefaultValue", 200),
                Txt("DisplayFormat", 200),
                Txt("BadText", 200),
                Txt("PropText2", 2000),
                Txt("DisplayCaption", 60),
                Txt("TextCode", 40),
                Int("DispOrder"),
                Txt("RefTable", 60),
                Txt("RefKeyField", 60),
                Int("RefKeyType"),
                Txt("RefNameField", 60),
                Txt("RefCondition", 2000)},
               {"ClassID", "PropId"}});
  // Captions of classes (PropId 0) and properties in the other caption languages (LanguageType 2 and 3).
  t.push_back({"tSysCaption",
               {Int("ClassID"), Int("PropId"), Int("LanguageType"), Txt("Caption", 60)},
               {"ClassID", "PropId", "LanguageType"}});
  t.push_back({"tSysEnumValue",
               {Int("EnumTypeID"), Txt("EnumValueID", 20), Txt("EnumValueName", 60), Int("DispIndex"),
                Txt("OrgCode", 20)},
               {"EnumTypeID", "EnumValueID"}});
  t.push_back(
      {"tSysText",
       {Txt("OrgCode", 20), Int("FileType"), Txt("TextCode", 40), Txt("TextName", 60), Txt("ExpText", 4000)},
       {"OrgCode", "FileType", "TextCode"}});
  t.push_back({"tSysNewID", {Int("ClassID"), Int("PropID"), Big("LastID")}, {"ClassID", "PropID"}});
  // Sessions: one row per login; the open ones are the online users of class 2007.
  t.push_back({"tSysOnline",
               {Big("LoginId"), Big("UserId"), Txt("UserCode", 20), Txt("UserName", 40), Txt("OrgCode", 20),
                Txt("LoginPos", 60), Date("LoginTime"), Date("LastTime"), Date("LogoutTime"),
                Flag("IsOnline"), Int("CallCount")},
               {"LoginId"}});
  t.push_back({"tSysOprLog",
               {Big("LogId"), Big("LoginId"), Big("UserId"), Txt("UserCode", 20), Txt("UserName", 40),
                Txt("OrgCode", 20), Date("LogTime"), Txt("Source", 100), Txt("Message", 2000)},
               {"LogId"}});
  t.push_back({"tSysSysLog",
               {Big("LogId"), Big("LoginId"), Txt("UserCode", 20), Date("LogTime"), Txt("Source", 100),
                Txt("Message", 4000)},
               {"LogId"}});
  t.push_back({"tSysPrnFormat",
               {Txt("FunCode", 20), Int("SerialNo"), Txt("UserCode", 20), Txt("UserName", 40),
                Txt("PopName", 60), Flag("IsEnabled"), Txt("IsBill", 4), Flag("DefValue"), Txt("Remark", 200),
                Date("LrDate"), Int("PageNo"), Txt("OrgCode", 20), Txt("PrnType", 20)},
               {"FunCode", "SerialNo"}});
  t.push_back({"tSysWhere",
               {Int("tableid"), Txt("swherename", 40), Txt("swheretxt", 4000), Txt("UserCode", 20)},
               {"tableid", "swherename"}});
  t.push_back({"tOrgManage",
               {Txt("OrgCode", 20), Txt("OrgName", 60), Txt("PreOrgCode", 20), Txt("FOrgCode", 20),
                Txt("OrgType", 4)},
               {"OrgCode"}});
  t.push_back({"tUsrEmployee",
               {Big("EmpId"), Txt("EmpCode", 20), Txt("EmpName", 40), Txt("Sex", 4), Txt("OrgCode", 20),
                Txt("Duty", 20), Txt("Phone", 30), Date("EntryDate"), Flag("IsActive"), Txt("Remark", 200)},
               {"EmpId"}});
  t.push_back({"tUsrUser",
               {Big("UserId"), Txt("UserCode", 20), Txt("UserName", 40), Big("EmpId"), Txt("OrgCode", 20),
                Txt("UserType", 4), Txt("PassHash", 120), Flag("IsLimited"), Flag("IsActive"),
                Date("CreateDate"), Date("PrnDate"), Int("PrnTimes"), Txt("Remark", 200)},
               {"UserId"}});
  t.push_back({"tUsrLoginPos",
               {Big("UserID"), Txt("LoginPos", 60), Txt("Remark", 200), Flag("IsConfirm")},
               {"UserID", "LoginPos"}});
  t.push_back({"tUsrUserGrp", {Txt("UGrpCode", 20), Txt("UGrpName", 40), Txt("Remark", 200)}, {"UGrpCode"}});
  t.push_back({"tUsrUserSub", {Big("UserID"), Txt("UGrpCode", 20)}, {"UserID", "UGrpCode"}});
  t.push_back({"tUsrRightFunc",
               {Txt("UGrpCode", 20), Txt("FunCode", 20), Flag("IsAccess"), Flag("IsInsert"), Flag("IsUpdate"),
                Flag("IsDelete"), Flag("IsQuery"), Flag("IsPrint"), Flag("IsConvert"), Flag("IsChecked")},
               {"UGrpCode", "FunCode"}});
  t.push_back({"tUsrRightFuncEx",
               {Txt("UGrpCode", 20), Txt("FunCode", 20), Txt("FunExCode", 4)},
               {"UGrpCode", "FunCode", "FunExCode"}});
  t.push_back({"tUsrRightOrg", {Big("UserID"), Txt("OrgCode", 20)}, {"UserID", "OrgCode"}});
  t.push_back({"tusrrightcolumns",
               {Txt("ugrpcode", 20), Int("classid"), Int("propid")},
               {"ugrpcode", "classid", "propid"}});
  t.push_back({"tNavRefFun",
               {Txt("FunCode", 20), Txt("RefFunCode", 20), Txt("RefFunName", 60)},
               {"FunCode", "RefFunCode"}});
  t.push_back(
      {"tSysDutyFun", {Txt("FunCode", 20), Txt("DutyCode", 20), Txt("FunType", 4)}, {"FunCode", "DutyCode"}});
  t.push_back({"TSKUPLU",
               {Big("PluId"), Txt("PluCode", 20), Txt("PluName", 60), Txt("BarCode", 30), Txt("CargoNo", 20),
                Txt("Spec", 30), Txt("Unit", 10), Flt("Price"), Txt("OrgCode", 20), Flag("IsActive")},
               {"PluId"}});
  t.push_back({"tSkuMulBar", {Big("PluID"), Txt("BarCode", 30)}, {"BarCode"}});
  t.push_back({"tSkuStock",
               {Txt("OrgCode", 20), Big("PluId"), Flt("StockQty"), Flt("StockAmt"), Date("LastDate")},
               {"OrgCode", "PluId"}});
  return t;
}

// Class 2216 (operation analysis): operations per user and organisation, from the operation log.
constexpr const char* kOprAnalysisView =
    "SELECT L.UserCode AS UserCode, MAX(L.UserName) AS UserName, L.OrgCode AS OrgCode, MAX(O.OrgName) AS "
    "OrgName, "
    "COUNT(*) AS OprCount, MIN(L.LogTime) AS FirstTime, MAX(L.LogTime) AS LastTime "
    "FROM tSysOprLog L LEFT JOIN tOrgManage O ON O.OrgCode = L.OrgCode GROUP BY L.UserCode, L.OrgCode";

// Class 2007 (online users): the sessions that are open.
constexpr const char* kOnlineView = "SELECT * FROM tSysOnline WHERE IsOnline = '1'";

std::string SqlType(const ColumnDef& c, DbDialect d) {
  switch (c.type) {
    case ColType::BigInt:
      return "BIGINT";
    case ColType::Int:
      return "INTEGER";
    case ColType::Float:
      return "DOUBLE PRECISION";
    case ColType::Blob:
      return d == DbDialect::Postgres ? "BYTEA" : "BLOB";
    case ColType::Text:
      break;
  }
  return "VARCHAR(" + IntToStr(c.length > 0 ? c.length : 255) + ")";
}

std::string CreateTableSql(const TableDef& t, DbDialect d) {
  std::string sql = "CREATE TABLE IF NOT EXISTS " + t.name + " (";
  for (std::size_t i = 0; i < t.columns.size(); ++i) {
    if (i) sql += ", ";
    sql += t.columns[i].name + " " + SqlType(t.columns[i], d);
    for (const auto& k : t.primaryKey) {
      if (k == t.columns[i].name) sql += " NOT NULL";
    }
  }
  sql += ", PRIMARY KEY (" + Join(t.primaryKey, ", ") + "))";
  return sql;
}

}  // namespace

const std::vector<TableDef>& SchemaTables() {
  static const std::vector<TableDef> tables = MakeTables();
  return tables;
}

const TableDef* FindTableDef(std::string_view name) {
  for (const auto& t : SchemaTables()) {
    if (SameText(t.name, name)) return &t;
  }
  return nullptr;
}

std::string CanonicalColumnName(std::string_view name) {
  static const std::map<std::string, std::string> names = [] {
    std::map<std::string, std::string> m;
    for (const auto& t : SchemaTables()) {
      for (const auto& c : t.columns) m.emplace(LowerCase(c.name), c.name);
    }
    for (const char* extra : {"OrgName", "OprCount", "FirstTime", "LastTime"})
      m.emplace(LowerCase(extra), extra);
    return m;
  }();
  // Only a name that PostgreSQL folded (all lower case) is renamed; a spelling chosen by the statement stays.
  if (LowerCase(name) != name) return std::string(name);
  const auto it = names.find(std::string(name));
  return it == names.end() ? std::string(name) : it->second;
}

bool EnsureSchema(DbConnection& db) {
  const DbDialect d = db.Dialect();
  // Several server processes may start together on one PostgreSQL database: one creates, the others wait.
  if (d == DbDialect::Postgres) db.Execute("SELECT pg_advisory_lock(7411)");
  struct Unlock {
    DbConnection& db;
    DbDialect d;
    ~Unlock() {
      try {
        if (d == DbDialect::Postgres) db.Execute("SELECT pg_advisory_unlock(7411)");
      } catch (...) {
      }
    }
  } unlock{db, d};

  bool existed = false;
  std::int64_t version = 0;
  try {
    const auto r = db.Execute("SELECT MAX(Version) FROM tSysSchema");
    existed = !r.rows.empty() && !r.rows[0][0].IsNull();
    if (existed) version = r.rows[0][0].ToInt64();
  } catch (const Error&) {
  }
  if (version > kSchemaVersion) {
    throw Error("the database holds schema version " + IntToStr(version) + ", newer than this server's " +
                IntToStr(kSchemaVersion));
  }
  if (existed && version == kSchemaVersion) return false;

  // A new database, or one of an older version: every statement below leaves what exists alone, so an older
  // database gains the tables added since and keeps its rows.
  DbTransaction tx(db);
  for (const auto& t : SchemaTables()) db.Execute(CreateTableSql(t, d));
  db.Execute("CREATE INDEX IF NOT EXISTS ixUsrUserCode ON tUsrUser (UserCode)");
  db.Execute("CREATE INDEX IF NOT EXISTS ixOprLogUser ON tSysOprLog (UserCode, OrgCode)");
  db.Execute("CREATE INDEX IF NOT EXISTS ixOnlineUser ON tSysOnline (UserId)");
  db.Execute(std::string(d == DbDialect::Postgres ? "CREATE OR REPLACE VIEW" : "CREATE VIEW IF NOT EXISTS") +
             " vUsrOprAnalysis AS " + kOprAnalysisView);
  db.Execute(std::string(d == DbDialect::Postgres ? "CREATE OR REPLACE VIEW" : "CREATE VIEW IF NOT EXISTS") +
             " vSysOnline AS " + kOnlineView);
  db.Execute("INSERT INTO tSysSchema (Version) VALUES (?)", {Variant(kSchemaVersion)});
  tx.Commit();
  return !existed;
}

}  // namespace sw::appserver
