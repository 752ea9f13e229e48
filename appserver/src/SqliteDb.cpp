// The embedded backend: one SQLite file in WAL mode, shared by the server's workers through a connection
// each.
#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "DbBackends.h"
#include "DbValues.h"
#include "sw/core/Error.h"
#include "sw/core/Text.h"

namespace sw::appserver {
namespace {

constexpr int kBusyTimeoutMs = 10000;

DbColumnType TypeFromDecl(const char* decl) {
  if (decl == nullptr) return DbColumnType::Null;
  const std::string d = UpperCase(decl);
  if (d.find("INT") != std::string::npos) return DbColumnType::Integer;
  if (d.find("REAL") != std::string::npos || d.find("FLOA") != std::string::npos ||
      d.find("DOUB") != std::string::npos || d.find("NUMERIC") != std::string::npos) {
    return DbColumnType::Float;
  }
  if (d.find("BLOB") != std::string::npos || d.find("BYTEA") != std::string::npos) return DbColumnType::Blob;
  return DbColumnType::Text;
}

DbColumnType TypeFromValue(int sqliteType) {
  switch (sqliteType) {
    case SQLITE_INTEGER:
      return DbColumnType::Integer;
    case SQLITE_FLOAT:
      return DbColumnType::Float;
    case SQLITE_BLOB:
      return DbColumnType::Blob;
    case SQLITE_NULL:
      return DbColumnType::Null;
    default:
      return DbColumnType::Text;
  }
}

// The prepared statements of one connection, kept by their SQL text so that a repeated statement skips
// parsing and planning. Bounded: when full, the least recently used one is finalized. A statement is lent out
// for one run and reset (bindings cleared) when it comes back; while it is out (a nested run of the same text
// from a row callback), that text is prepared afresh and the extra statement is finalized after its run.
class StatementCache {
 public:
  static constexpr std::size_t kCapacity = 64;

  explicit StatementCache(sqlite3* db) : db_(db) {}
  ~StatementCache() {
    for (auto& [sql, e] : entries_) sqlite3_finalize(e.stmt);
  }
  StatementCache(const StatementCache&) = delete;
  StatementCache& operator=(const StatementCache&) = delete;

  struct Entry {
    sqlite3_stmt* stmt = nullptr;
    bool busy = false;
    std::uint64_t lastUse = 0;
  };

  // A statement lent out; `entry` is null for one that is not kept.
  class Lease {
   public:
    Lease(sqlite3_stmt* stmt, Entry* entry) : stmt_(stmt), entry_(entry) {}
    ~Lease() {
      if (entry_ == nullptr) {
        sqlite3_finalize(stmt_);
        return;
      }
      sqlite3_reset(stmt_);
      sqlite3_clear_bindings(stmt_);
      entry_->busy = false;
    }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    sqlite3_stmt* get() const { return stmt_; }

   private:
    sqlite3_stmt* stmt_;
    Entry* entry_;
  };

  // The prepared statement of `sql`; raises sw::Error when it does not compile, is empty or holds more than
  // one statement.
  Lease Get(std::string_view sql) {
    const auto it = entries_.find(sql);
    if (it != entries_.end() && !it->second.busy) {
      it->second.busy = true;
      it->second.lastUse = ++clock_;
      return Lease(it->second.stmt, &it->second);
    }
    sqlite3_stmt* stmt = Prepare(sql);
    if (it != entries_.end()) return Lease(stmt, nullptr);
    if (entries_.size() >= kCapacity && !EvictOne()) return Lease(stmt, nullptr);
    Entry& e = entries_.emplace(std::string(sql), Entry{stmt, true, ++clock_}).first->second;
    return Lease(stmt, &e);
  }

 private:
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };

  sqlite3_stmt* Prepare(std::string_view sql) {
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt,
                           &tail) != SQLITE_OK) {
      throw Error(sqlite3_errmsg(db_));
    }
    if (stmt == nullptr) throw Error("empty statement");
    const std::string rest =
        tail == nullptr ? std::string() : Trim(std::string_view(tail, sql.data() + sql.size() - tail));
    if (!rest.empty() && rest != ";") {
      sqlite3_finalize(stmt);
      throw Error("only one statement may be run at a time");
    }
    return stmt;
  }

  // Finalizes the least recently used statement that is not lent out; false when every one is.
  bool EvictOne() {
    auto victim = entries_.end();
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
      if (!it->second.busy && (victim == entries_.end() || it->second.lastUse < victim->second.lastUse))
        victim = it;
    }
    if (victim == entries_.end()) return false;
    sqlite3_finalize(victim->second.stmt);
    entries_.erase(victim);
    return true;
  }

  sqlite3* db_;
  std::unordered_map<std::string, Entry, Hash, std::equal_to<>> entries_;
  std::uint64_t clock_ = 0;
};

// Who may use the database file while the server has it open. Exclusive (the default): the server's process
// keeps the file to itself, so its connections share the WAL index in memory and take no file lock per
// statement (on some machines those locks cost more than a point read). Shared: other processes (the sqlite3
// tool, a backup) may read it meanwhile, and every transaction takes and releases its file locks.
enum class SqliteAccess { Exclusive, Shared };

class SqliteConnection final : public DbConnection {
 public:
  SqliteConnection(const std::string& file, SqliteAccess access) {
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    const char* vfs = access == SqliteAccess::Exclusive ? "unix-excl" : nullptr;
    if (sqlite3_open_v2(file.c_str(), &db_, flags, vfs) != SQLITE_OK) {
      const std::string msg = db_ ? sqlite3_errmsg(db_) : "out of memory";
      sqlite3_close(db_);
      throw Error("cannot open the database file \"" + file + "\": " + msg);
    }
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    sqlite3_progress_handler(db_, 10000, &SqliteConnection::Progress, this);
    try {
      ExecuteScript("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
    } catch (const Error&) {
      const bool locked = sqlite3_errcode(db_) == SQLITE_BUSY;
      sqlite3_close(db_);  // the destructor does not run for a constructor that throws
      if (locked)
        throw Error("cannot open the database file \"" + file + "\": another process is using it" +
                    (access == SqliteAccess::Exclusive
                         ? " (the server keeps its SQLite file to itself; stop the other process first)"
                         : ""));
      throw;
    } catch (...) {
      sqlite3_close(db_);
      throw;
    }
    statements_ = std::make_unique<StatementCache>(db_);
  }
  ~SqliteConnection() override {
    statements_.reset();  // every statement is finalized before the database closes
    sqlite3_close(db_);
  }

  DbDialect Dialect() const override { return DbDialect::Sqlite; }

  DbResult Execute(std::string_view sql, const std::vector<Variant>& params) override {
    DbResult result;
    Run(sql, params, result, [&](const std::vector<DbColumn>&, std::span<const DbValue> row) {
      std::vector<Variant> values;
      values.reserve(row.size());
      for (const DbValue& v : row) values.push_back(v.ToVariant());
      result.rows.push_back(std::move(values));
    });
    return result;
  }

  std::size_t ExecuteEach(std::string_view sql, const std::vector<Variant>& params,
                          const RowFn& fn) override {
    DbResult result;
    std::size_t n = 0;
    Run(sql, params, result, [&](const std::vector<DbColumn>& columns, std::span<const DbValue> row) {
      fn(columns, row);
      ++n;
    });
    return n;
  }

 private:
  template <class Sink>
  void Run(std::string_view sql, const std::vector<Variant>& params, DbResult& result, Sink sink) {
    const StatementCache::Lease st = statements_->Get(sql);
    const int expected = sqlite3_bind_parameter_count(st.get());
    if (expected != static_cast<int>(params.size())) {
      throw Error("statement expects " + IntToStr(expected) + " parameters, got " + IntToStr(params.size()));
    }
    for (std::size_t i = 0; i < params.size(); ++i) Bind(st.get(), static_cast<int>(i) + 1, params[i]);

    // The columns are read after the first step: a kept statement whose tables changed since it was prepared
    // is prepared again by that step, and only then describes the tables as they are.
    int ncol = -1;
    std::vector<DbValue> row;
    StartClock();
    const struct ClockStop {
      SqliteConnection* c;
      ~ClockStop() { c->StopClock(); }
    } clockStop{this};
    for (;;) {
      const int rc = sqlite3_step(st.get());
      if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
        if (rc == SQLITE_INTERRUPT && timedOut_)
          throw Error("statement cancelled: it ran longer than allowed");
        throw Error(sqlite3_errmsg(db_));
      }
      if (ncol < 0) {
        ncol = sqlite3_column_count(st.get());
        for (int c = 0; c < ncol; ++c) {
          result.columns.push_back(
              {sqlite3_column_name(st.get(), c), TypeFromDecl(sqlite3_column_decltype(st.get(), c))});
        }
        row.resize(static_cast<std::size_t>(ncol));
      }
      if (rc == SQLITE_DONE) break;
      for (int c = 0; c < ncol; ++c) row[c] = Read(st.get(), c, result.columns[c]);
      sink(result.columns, std::span<const DbValue>(row));
    }
    for (auto& col : result.columns) {
      if (col.type == DbColumnType::Null) col.type = DbColumnType::Text;
    }
    if (ncol == 0) result.affected = sqlite3_changes64(db_);
  }

 public:
  void ExecuteScript(std::string_view sql) override {
    char* err = nullptr;
    const std::string text(sql);
    if (sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
      const std::string msg = err ? err : sqlite3_errmsg(db_);
      sqlite3_free(err);
      throw Error(msg);
    }
  }

  void SetStatementTimeout(std::chrono::milliseconds timeout) override { timeout_ = timeout; }
  bool IsHealthy() override { return true; }

 private:
  static int Progress(void* self) {
    auto* c = static_cast<SqliteConnection*>(self);
    if (!c->running_ || c->timeout_.count() <= 0) return 0;
    if (std::chrono::steady_clock::now() - c->started_ > c->timeout_) {
      c->timedOut_ = true;
      return 1;
    }
    return 0;
  }
  void StartClock() {
    started_ = std::chrono::steady_clock::now();
    timedOut_ = false;
    running_ = true;
  }
  void StopClock() { running_ = false; }

  void Bind(sqlite3_stmt* st, int i, const Variant& v) {
    int rc = SQLITE_OK;
    switch (v.Type()) {
      case VarType::Empty:
      case VarType::Null:
        rc = sqlite3_bind_null(st, i);
        break;
      case VarType::Int16:
      case VarType::Int32:
      case VarType::Int64:
        rc = sqlite3_bind_int64(st, i, v.ToInt64());
        break;
      case VarType::Double:
      case VarType::Currency:
        rc = sqlite3_bind_double(st, i, v.ToDouble());
        break;
      // Bytes and texts are bound in place (SQLITE_STATIC): the parameters outlive the run, and the lease
      // resets the statement and clears its bindings before Run returns.
      case VarType::ByteArray: {
        const auto& b = v.AsBytes().bytes;
        // An empty vector may have no data pointer, which SQLite would take for NULL.
        rc = b.empty() ? sqlite3_bind_zeroblob(st, i, 0)
                       : sqlite3_bind_blob64(st, i, b.data(), b.size(), SQLITE_STATIC);
        break;
      }
      case VarType::Array:
        throw Error("an array cannot be a statement parameter");
      case VarType::Text: {
        const std::string& text = v.AsText();  // a text is its own parameter text
        rc = sqlite3_bind_text64(st, i, text.data(), text.size(), SQLITE_STATIC, SQLITE_UTF8);
        break;
      }
      default: {
        const std::string text = DbParamText(v);
        rc = sqlite3_bind_text64(st, i, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
        break;
      }
    }
    if (rc != SQLITE_OK) throw Error(sqlite3_errmsg(db_));
  }

  // A value of the current row in place: its text or bytes stay valid until the next step.
  static DbValue Read(sqlite3_stmt* st, int c, DbColumn& col) {
    const int t = sqlite3_column_type(st, c);
    if (col.type == DbColumnType::Null && t != SQLITE_NULL) col.type = TypeFromValue(t);
    DbValue v;
    switch (t) {
      case SQLITE_NULL:
        break;
      case SQLITE_INTEGER:
        v.type = DbColumnType::Integer;
        v.integer = sqlite3_column_int64(st, c);
        break;
      case SQLITE_FLOAT:
        v.type = DbColumnType::Float;
        v.real = sqlite3_column_double(st, c);
        break;
      case SQLITE_BLOB: {
        const auto* p = static_cast<const char*>(sqlite3_column_blob(st, c));
        v.type = DbColumnType::Blob;
        v.bytes = std::string_view(p ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(st, c)));
        break;
      }
      default: {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
        v.type = DbColumnType::Text;
        v.bytes = std::string_view(p ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(st, c)));
        break;
      }
    }
    return v;
  }

  sqlite3* db_ = nullptr;
  std::unique_ptr<StatementCache> statements_;
  std::chrono::milliseconds timeout_{0};
  std::chrono::steady_clock::time_point started_;
  bool running_ = false;
  bool timedOut_ = false;
};

// SQLite counts every allocation of every connection under one process-wide mutex unless told not to; the
// server reads none of those counts, and the mutex is taken several times per statement by every worker.
// Configuration is only possible before SQLite first initializes: when something in the process opened a
// database already, SQLite refuses and keeps its counts, which changes nothing but the cost.
void ConfigureSqliteOnce() {
  static const int rc = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
  static_cast<void>(rc);
}

class SqliteConnector final : public DbConnector {
 public:
  // `location`: the file name, optionally followed by "?access=exclusive" (the default) or "?access=shared".
  explicit SqliteConnector(const std::string& location) {
    // Only a last "?access=..." is an option: a '?' elsewhere belongs to the file name.
    const std::size_t query = location.rfind('?');
    const std::string option = query == std::string::npos ? std::string() : location.substr(query + 1);
    file_ = StartsWithText(option, "access=") ? location.substr(0, query) : location;
    if (SameText(option, "access=shared")) {
      access_ = SqliteAccess::Shared;
    } else if (StartsWithText(option, "access=") && !SameText(option, "access=exclusive")) {
      throw Error("unknown SQLite option \"" + option + "\": use access=exclusive or access=shared");
    }
    if (Trim(file_).empty() || file_ == ":memory:") throw Error("an SQLite database needs a file name");
    ConfigureSqliteOnce();
  }
  DbDialect Dialect() const override { return DbDialect::Sqlite; }
  std::unique_ptr<DbConnection> Connect() override {
    return std::make_unique<SqliteConnection>(file_, access_);
  }
  std::string Describe() const override {
    return "sqlite:" + file_ + (access_ == SqliteAccess::Shared ? "?access=shared" : "");
  }

 private:
  std::string file_;
  SqliteAccess access_ = SqliteAccess::Exclusive;
};

}  // namespace

std::unique_ptr<DbConnector> MakeSqliteConnector(const std::string& file) {
  return std::make_unique<SqliteConnector>(file);
}

}  // namespace sw::appserver
