#pragma once
// Applies a delta packet of one class to its table, change by change, by key. The caller holds the
// transaction: a failing change raises and the caller rolls everything back.
//
// Inserts write every column of the class table present in the delta; a key with AutoKind 1 and no value gets
// the next id of its class and property. Updates and deletes find their row by the original key values and,
// so that two clients never overwrite each other silently, also by the original values of the columns they
// change; when no row matches, the change is refused with "@记录已被其他用户修改或删除，请刷新后再保存。".
#include <cstddef>
#include <functional>

#include "sw/appserver/Db.h"
#include "sw/appserver/Dictionary.h"

namespace sw::appserver {

constexpr const char* kConflictMessage = "@记录已被其他用户修改或删除，请刷新后再保存。";

// nextId(classId, propId) hands out new ids inside the same transaction.
using NextIdFn = std::function<std::int64_t(std::int32_t classId, std::int32_t propId)>;

// Applies the deletes of a delta, then its changes, then its inserts, each group in delta order, so that a
// key freed by a delete or a change can be taken by an insert of the same save. Returns the number of changes
// applied. Raises sw::Error("@...") on a malformed delta, a conflict or a database error.
std::size_t ApplyDelta(DbConnection& db, const ClassDef& cls, const Variant& delta, const NextIdFn& nextId);

// A value of a packet as the database stores it for a property's DataType (dates as text, booleans "1"/"0").
Variant StoredValue(const Variant& v, int dataType);

}  // namespace sw::appserver
