#pragma once
// The server's tables: the class dictionary (tSysClass, tSysProp), enumerations (tSysEnumValue), expression
// texts (tSysText), id counters, sessions, logs, print formats, saved conditions, and the data tables that
// the module's own statements name. One definition serves both backends; EnsureSchema creates what is
// missing.
#include <string>
#include <string_view>
#include <vector>

#include "sw/appserver/Db.h"

namespace sw::appserver {

enum class ColType { BigInt, Int, Text, Float, Blob };

struct ColumnDef {
  std::string name;
  ColType type = ColType::Text;
  int length = 0;  // for Text: the VARCHAR length
};

struct TableDef {
  std::string name;
  std::vector<ColumnDef> columns;
  std::vector<std::string> primaryKey;
};

// Every table of the schema, in creation order.
const std::vector<TableDef>& SchemaTables();
// The table definition by name, without regard to case; nullptr when unknown.
const TableDef* FindTableDef(std::string_view name);

// The column name as the schema spells it ("usercode" gives "UserCode"); PostgreSQL folds unquoted names to
// lower case, and result columns are renamed back so that clients see one spelling on both backends. Names
// the schema does not know come back unchanged.
std::string CanonicalColumnName(std::string_view name);

// Current schema version, kept in tSysSchema. 2 added tSysCaption (captions in other languages).
constexpr int kSchemaVersion = 2;

// Creates every missing table, index and view (an older version gains what was added since); returns true
// when the schema was created now (first start), false when it existed already. Throws sw::Error when the
// database holds a newer schema version.
bool EnsureSchema(DbConnection& db);

}  // namespace sw::appserver
