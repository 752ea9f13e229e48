#include "sw/appserver/Db.h"

#include "DbBackends.h"
#include "sw/core/Error.h"
#include "sw/core/Text.h"

namespace sw::appserver {

int DbResult::ColumnIndex(std::string_view name) const {
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (SameText(columns[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

// SQLite takes the write lock at once: a deferred transaction that reads first and writes later can fail with
// "database is locked" when another connection wrote in between, which the busy timeout cannot resolve.
std::size_t DbConnection::ExecuteEach(std::string_view sql, const std::vector<Variant>& params,
                                      const RowFn& row) {
  const DbResult r = Execute(sql, params);
  std::vector<DbValue> values;
  for (const auto& v : r.rows) {
    values.clear();
    for (const Variant& x : v) values.push_back(DbValue::Of(x));
    row(r.columns, values);
  }
  return r.rows.size();
}

Variant DbValue::ToVariant() const {
  switch (type) {
    case DbColumnType::Null:
      return Variant::Null();
    case DbColumnType::Integer:
      return Variant(integer);
    case DbColumnType::Float:
      return Variant(real);
    case DbColumnType::Boolean:
      return Variant(integer != 0);
    case DbColumnType::Blob:
      return Variant::Bytes(bytes);
    case DbColumnType::Text:
      break;
  }
  return Variant(std::string(bytes));
}

DbValue DbValue::Of(const Variant& v) {
  DbValue d;
  switch (v.Type()) {
    case VarType::Empty:
    case VarType::Null:
      break;
    case VarType::Int16:
    case VarType::Int32:
    case VarType::Int64:
      d.type = DbColumnType::Integer;
      d.integer = v.ToInt64();
      break;
    case VarType::Double:
      d.type = DbColumnType::Float;
      d.real = v.ToDouble();
      break;
    case VarType::Boolean:
      d.type = DbColumnType::Boolean;
      d.integer = v.ToBool() ? 1 : 0;
      break;
    case VarType::ByteArray: {
      const auto& b = v.AsBytes().bytes;
      d.type = DbColumnType::Blob;
      d.bytes = std::string_view(reinterpret_cast<const char*>(b.data()), b.size());
      break;
    }
    case VarType::Text:
      d.type = DbColumnType::Text;
      d.bytes = v.AsText();
      break;
    default:
      throw Error(std::string("a value of type ") + VarTypeName(v.Type()) + " is not a database value");
  }
  return d;
}

bool DbConnection::Listen(std::string_view) {
  return false;
}
void DbConnection::Notify(std::string_view, std::string_view) {}
std::vector<std::string> DbConnection::TakeNotices() {
  return {};
}

void DbConnection::Begin() {
  Execute(Dialect() == DbDialect::Sqlite ? "BEGIN IMMEDIATE" : "BEGIN");
}
void DbConnection::Commit() {
  Execute("COMMIT");
}
void DbConnection::Rollback() {
  Execute("ROLLBACK");
}

DbTransaction::DbTransaction(DbConnection& db) : db_(db) {
  db_.Begin();
}

DbTransaction::~DbTransaction() {
  if (done_) return;
  try {
    db_.Rollback();
  } catch (...) {
    // The connection is broken; the backend drops the transaction with it.
  }
}

void DbTransaction::Commit() {
  db_.Commit();
  done_ = true;
}

std::unique_ptr<DbConnector> OpenDbConnector(const std::string& url) {
  const std::string trimmed = Trim(url);
  if (StartsWithText(trimmed, "sqlite://")) return MakeSqliteConnector(trimmed.substr(9));
  if (StartsWithText(trimmed, "sqlite:")) return MakeSqliteConnector(trimmed.substr(7));
  if (StartsWithText(trimmed, "postgresql://") || StartsWithText(trimmed, "postgres://")) {
    return MakePostgresConnector(trimmed);
  }
  if (StartsWithText(trimmed, "postgresql:")) return MakePostgresConnector(trimmed.substr(11));
  throw Error("unknown database location \"" + url + "\": use sqlite:FILE or postgresql://...");
}

}  // namespace sw::appserver
