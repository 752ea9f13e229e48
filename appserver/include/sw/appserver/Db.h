#pragma once
// The application server's database layer: one interface over an embedded SQLite file and a shared PostgreSQL
// database. Statements take "?" placeholders bound to variants, so no value is ever spliced into SQL text by
// this layer; results come back as typed columns of variants.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sw/core/Variant.h"

namespace sw::appserver {

// The kind of value a result column holds, as the backend reports it. Text dates are text here; the caller
// that knows better (the class dictionary) converts them.
enum class DbColumnType : std::uint8_t { Integer, Float, Text, Blob, Boolean, Null };

struct DbColumn {
  std::string name;
  DbColumnType type = DbColumnType::Text;
};

// One value of a row handed on as it is read (ExecuteEach): numbers as they are, texts and bytes pointing
// into the backend's own buffers, so that a large result is read without a variant or an allocation per
// value. The text or bytes are valid only while the row callback runs.
struct DbValue {
  DbColumnType type = DbColumnType::Null;  // Null for SQL NULL; Integer, Float, Text, Blob or Boolean
  std::int64_t integer = 0;                // Integer; Boolean as 1 or 0
  double real = 0;                         // Float
  std::string_view bytes;                  // Text, Blob
  // The value as Execute returns it: Null, Int64, Double, Text, ByteArray or Boolean.
  Variant ToVariant() const;
  // A view of a value as Execute returns it, which must outlive the view.
  static DbValue Of(const Variant& v);
};

struct DbResult {
  std::vector<DbColumn> columns;
  std::vector<std::vector<Variant>>
      rows;                   // Null for SQL NULL; Int64, Double, Text, Boolean or ByteArray otherwise
  std::int64_t affected = 0;  // rows changed by an INSERT, UPDATE or DELETE
  // Index of a column by name, without regard to case; -1 when absent.
  int ColumnIndex(std::string_view name) const;
};

enum class DbDialect : std::uint8_t { Sqlite, Postgres };

// One connection. Not shared between threads: a call borrows one from the pool for its whole duration.
class DbConnection {
 public:
  virtual ~DbConnection() = default;
  virtual DbDialect Dialect() const = 0;
  // Runs one statement with its parameters. Throws sw::Error with the backend's message on failure.
  virtual DbResult Execute(std::string_view sql, const std::vector<Variant>& params = {}) = 0;
  // Runs a query and hands every row to `row` as it is read, without keeping the rows (large results). The
  // columns are passed with every row (a column typed by its values, such as an expression, is Null until
  // its first value). Backends that cannot stream run Execute and hand its rows on.
  using RowFn = std::function<void(const std::vector<DbColumn>& columns, std::span<const DbValue> row)>;
  virtual std::size_t ExecuteEach(std::string_view sql, const std::vector<Variant>& params, const RowFn& row);
  // Runs a script of several statements without parameters (schema creation).
  virtual void ExecuteScript(std::string_view sql) = 0;
  // Upper bound on the time of one statement; 0 = none.
  virtual void SetStatementTimeout(std::chrono::milliseconds timeout) = 0;
  // Whether the connection still works (PostgreSQL connections may be dropped by the server).
  virtual bool IsHealthy() = 0;

  // Notices between the server processes of one database (PostgreSQL's LISTEN/NOTIFY). Listen subscribes this
  // connection to a channel (a plain lower-case name) and returns false when the backend has no notices (an
  // SQLite file serves one process). Notify sends a text to every connection listening on the channel, when
  // the open transaction commits (at once outside one). TakeNotices returns the texts received so far without
  // waiting, and raises sw::Error when the connection is lost (notices may have been missed then).
  virtual bool Listen(std::string_view channel);
  virtual void Notify(std::string_view channel, std::string_view text);
  virtual std::vector<std::string> TakeNotices();

  void Begin();
  void Commit();
  void Rollback();
};

// Makes connections to one database. Thread-safe: the pool may call Connect from several threads at once.
class DbConnector {
 public:
  virtual ~DbConnector() = default;
  virtual DbDialect Dialect() const = 0;
  virtual std::unique_ptr<DbConnection> Connect() = 0;
  // The location without any password, for logs.
  virtual std::string Describe() const = 0;
};

// "sqlite:FILE" (also "sqlite://FILE" and ":memory:" is refused as it cannot be shared) or "postgresql://..."
// / "postgres://..." / a libpq "key=value" string prefixed with "postgresql:". Throws sw::Error on anything
// else.
std::unique_ptr<DbConnector> OpenDbConnector(const std::string& url);

// Rewrites "?" placeholders as PostgreSQL's $1, $2, ...; a "?" inside quotes or a "--" comment stays.
std::string PostgresPlaceholders(std::string_view sql);

// A transaction that rolls back unless committed.
class DbTransaction {
 public:
  explicit DbTransaction(DbConnection& db);
  ~DbTransaction();
  DbTransaction(const DbTransaction&) = delete;
  DbTransaction& operator=(const DbTransaction&) = delete;
  void Commit();

 private:
  DbConnection& db_;
  bool done_ = false;
};

}  // namespace sw::appserver
