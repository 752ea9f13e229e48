#pragma once
// Statements built from a class description, and data packets built from query results.
//
// The SELECT of a class lists its properties in PropId order (or the fields a caller names), reads FROM the
// class's FromText when it has one (which ends with the class table name as alias) or else the class table,
// and orders by IndexFields. A property of another table that depends on a lookup (EditKind 4) is read
// through its controlling property's lookup table; a lookup property (EditKind 2, 3) with a name field brings
// the looked-up name as the extra field FieldName + "$". A condition may name both kinds of computed columns:
// the statement then reads the class table's columns and the computed ones from a derived table that carries
// the class table's name, and applies the condition (and the order) to it.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "sw/appserver/Db.h"
#include "sw/appserver/Dictionary.h"
#include "sw/dataset/FieldTypes.h"

namespace sw::appserver {

struct SelectPlan {
  std::string select;   // SELECT ... FROM ... [WHERE ...]
  std::string orderBy;  // " ORDER BY ..." or empty
  std::vector<Variant> params;
  std::vector<TFieldDef> fields;  // the packet fields, one per selected column
  std::vector<int> dataTypes;     // the DataType of each column (1 for the looked-up names)
  // The names of the columns read through a look-up table, and the same statement reading from a derived
  // table (named like the class table) that has them as columns besides every column of the class table;
  // the statement becomes that one when its condition names a computed column.
  std::vector<std::string> computedNames;
  std::string derivedSelect;
};

// The storage kind of a property's packet field for its DataType.
TFieldType FieldTypeOf(int dataType);

// fieldList: comma-separated FieldNames (empty: every property). where: SQL condition (may be empty).
// Throws sw::Error("@...") on a field name the class does not have or names that are not plain SQL names.
SelectPlan BuildClassSelect(const ClassDef& cls, std::string_view fieldList, std::string_view where);

// The condition of a read: when `condition` is a ";"-separated list of as many plain values as the class has
// key properties (no comparison in it), "key1 = ? AND key2 = ?" with the values as parameters; otherwise the
// condition itself.
void ApplyReadCondition(const ClassDef& cls, std::string_view condition, SelectPlan& plan);

// Runs the plan and writes at most maxRows rows (0: no limit) into a data packet, compressed (the stream
// CompressPacket writes) when `zip`: then it is compressed a column at a time and never held whole. `total`
// receives the number of rows the statement matches (counted separately only when the limit cut the result).
Variant RunClassSelect(DbConnection& db, const SelectPlan& plan, std::size_t maxRows, std::int64_t& total,
                       std::size_t& rows, bool zip = false);

// A data packet of any query result, typed by the backend's column types; column names as the schema spells
// them; repeated names get a suffix "_2", "_3", ...
Variant PacketFromResult(const DbResult& result);

}  // namespace sw::appserver
