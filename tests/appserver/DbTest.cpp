// The database layer on both backends: typed values through parameters, errors that leave the connection
// usable, transactions, statement time limits, and the schema created once.
#include <gtest/gtest.h>

#include <cstdlib>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <span>
#include <thread>

#include "TestSupport.h"
#include "sw/appserver/Db.h"
#include "sw/appserver/DbPool.h"
#include "sw/appserver/Schema.h"
#include "sw/core/DateTime.h"
#include "sw/core/Error.h"
#include "sw/core/Text.h"

namespace sw::appserver {
namespace {

class DbTest : public test::FreshDatabaseTest {
 protected:
  void SetUp() override {
    FreshDatabaseTest::SetUp();
    if (IsSkipped()) return;
    db_ = connector_->Connect();
  }
  std::unique_ptr<DbConnection> db_;
};

TEST_P(DbTest, ValuesRoundTripThroughParametersWithTheirTypes) {
  db_->Execute("CREATE TABLE t (id BIGINT, f DOUBLE PRECISION, s VARCHAR(40), d VARCHAR(19), b VARCHAR(1))");
  const std::int64_t big = 9007199254740993LL;  // not representable as a double
  db_->Execute("INSERT INTO t VALUES (?, ?, ?, ?, ?)",
               {Variant(big), Variant(2.5), Variant("O'Hara 张三"),
                Variant::Date(EncodeDateTime(2024, 2, 29, 13, 5, 9)), Variant(true)});
  db_->Execute("INSERT INTO t VALUES (?, ?, ?, ?, ?)",
               {Variant(std::int32_t{-1}), Variant::Null(), Variant(), Variant::Null(), Variant(false)});
  const auto r = db_->Execute("SELECT id, f, s, d, b FROM t WHERE s = ? OR id < 0 ORDER BY id DESC",
                              {Variant("O'Hara 张三")});
  ASSERT_EQ(r.rows.size(), 2u);
  EXPECT_EQ(r.columns[0].type, DbColumnType::Integer);
  EXPECT_EQ(r.columns[1].type, DbColumnType::Float);
  EXPECT_EQ(r.columns[2].type, DbColumnType::Text);
  EXPECT_EQ(r.rows[0][0], Variant(big));
  EXPECT_EQ(r.rows[0][1], Variant(2.5));
  EXPECT_EQ(r.rows[0][2], Variant("O'Hara 张三"));
  EXPECT_EQ(r.rows[0][3], Variant("2024-02-29 13:05:09"));
  EXPECT_EQ(r.rows[0][4], Variant("1"));
  EXPECT_TRUE(r.rows[1][1].IsNull());
  EXPECT_TRUE(r.rows[1][2].IsNull());
  EXPECT_EQ(r.rows[1][4], Variant("0"));
  EXPECT_EQ(r.ColumnIndex("S"), 2);
  EXPECT_EQ(db_->Execute("UPDATE t SET f = 1 WHERE id > ?", {Variant(std::int64_t{0})}).affected, 1);
}

TEST_P(DbTest, BadStatementsRaiseAndTheConnectionGoesOn) {
  struct Case {
    const char* sql;
    std::vector<Variant> params;
  };
  const Case cases[] = {
      {"SELEC 1", {}},
      {"SELECT * FROM no_such_table", {}},
      {"SELECT ?", {}},
      {"SELECT 1", {Variant(1)}},
      {"SELECT ?", {Variant::Array({Variant(1)})}},
  };
  for (const auto& c : cases) {
    EXPECT_THROW(db_->Execute(c.sql, c.params), Error) << c.sql;
    EXPECT_EQ(db_->Execute("SELECT 7").rows.at(0).at(0).ToInt64(), 7) << "after " << c.sql;
  }
}

TEST_P(DbTest, TransactionRollsBackUnlessCommitted) {
  db_->Execute("CREATE TABLE t (id INTEGER)");
  {
    DbTransaction tx(*db_);
    db_->Execute("INSERT INTO t VALUES (1)");
  }
  {
    DbTransaction tx(*db_);
    db_->Execute("INSERT INTO t VALUES (2)");
    tx.Commit();
  }
  const auto r = db_->Execute("SELECT id FROM t");
  ASSERT_EQ(r.rows.size(), 1u);
  EXPECT_EQ(r.rows[0][0].ToInt64(), 2);
}

TEST_P(DbTest, StatementOverTheTimeLimitIsCancelled) {
  db_->SetStatementTimeout(std::chrono::milliseconds(100));
  const char* slow =
      "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 1000000000) SELECT MAX(x) "
      "FROM c";
  // The same limit whether the rows are kept or streamed.
  const std::function<void()> runs[] = {
      [&] { db_->Execute(slow); },
      [&] { db_->ExecuteEach(slow, {}, [](const auto&, auto) {}); },
  };
  for (const auto& run : runs) {
    try {
      run();
      FAIL() << "the statement was not cancelled";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find("longer than allowed"), std::string::npos) << e.what();
    }
    EXPECT_EQ(db_->Execute("SELECT 3").rows.at(0).at(0).ToInt64(), 3);
  }
}

// Streamed rows carry what Execute returns, value for value, with the column types.
TEST_P(DbTest, StreamedRowsMatchTheKeptOnes) {
  const bool pg = db_->Dialect() == DbDialect::Postgres;
  db_->Execute(std::string("CREATE TABLE t (id BIGINT, f DOUBLE PRECISION, s VARCHAR(40), b ") +
               (pg ? "BYTEA" : "BLOB") + ")");
  DbTransaction tx(*db_);
  for (int i = 0; i < 3000; ++i) {
    const std::string bytes = {'\0', static_cast<char>(i % 256), '\xff'};
    db_->Execute("INSERT INTO t VALUES (?, ?, ?, ?)",
                 {Variant(std::int64_t{i} * 1000003), i % 7 == 0 ? Variant::Null() : Variant(i / 4.0),
                  i % 5 == 0 ? Variant::Null() : Variant("行 " + std::to_string(i) + " O'Hara"),
                  i % 3 == 0 ? Variant::Null() : Variant::Bytes(bytes)});
  }
  tx.Commit();
  const std::string sql = "SELECT id, f, s, b, id % 2 = 0 AS even FROM t WHERE id >= ? ORDER BY id";
  const std::vector<Variant> params = {Variant(std::int64_t{0})};
  const DbResult kept = db_->Execute(sql, params);
  ASSERT_EQ(kept.rows.size(), 3000u);
  std::vector<std::vector<Variant>> streamed;
  std::vector<DbColumn> columns;
  const std::size_t count =
      db_->ExecuteEach(sql, params, [&](const auto& cols, std::span<const DbValue> row) {
        columns = cols;
        std::vector<Variant> values;
        for (const DbValue& v : row) values.push_back(v.ToVariant());
        streamed.push_back(std::move(values));
      });
  EXPECT_EQ(count, kept.rows.size());
  ASSERT_EQ(columns.size(), kept.columns.size());
  for (std::size_t c = 0; c < columns.size(); ++c) {
    EXPECT_EQ(columns[c].name, kept.columns[c].name);
    EXPECT_EQ(columns[c].type, kept.columns[c].type) << columns[c].name;
  }
  EXPECT_EQ(streamed, kept.rows);
  // A statement without rows streams nothing.
  EXPECT_EQ(db_->ExecuteEach("SELECT id FROM t WHERE id < 0", {}, [](const auto&, auto) { FAIL(); }), 0u);
}

// Empty bytes and empty texts are stored as empty values, not as NULL.
TEST_P(DbTest, EmptyBytesAndTextsStayEmpty) {
  const bool pg = db_->Dialect() == DbDialect::Postgres;
  db_->Execute(std::string("CREATE TABLE e (k INTEGER, b ") + (pg ? "BYTEA" : "BLOB") + ", s VARCHAR(10))");
  db_->Execute("INSERT INTO e VALUES (1, ?, ?)", {Variant::Bytes(std::string()), Variant(std::string())});
  const DbResult r = db_->Execute("SELECT b IS NULL, s IS NULL, b, s FROM e");
  ASSERT_EQ(r.rows.size(), 1u);
  EXPECT_FALSE(r.rows[0][0].ToBool()) << "empty bytes became NULL";
  EXPECT_FALSE(r.rows[0][1].ToBool()) << "an empty text became NULL";
  EXPECT_EQ(r.rows[0][2], Variant::Bytes(std::string()));
  EXPECT_EQ(r.rows[0][3], Variant(std::string()));
}

// A row callback that gives up (a limit, a value the packet refuses) ends the statement; the connection
// serves the next one, inside or outside a transaction.
TEST_P(DbTest, ARowCallbackThatThrowsLeavesTheConnectionUsable) {
  db_->Execute("CREATE TABLE t (id INTEGER)");
  db_->Execute(
      "INSERT INTO t SELECT x FROM (WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c "
      "WHERE x < 5000) SELECT x FROM c) n");
  for (int round = 0; round < 2; ++round) {
    std::size_t seen = 0;
    EXPECT_THROW(db_->ExecuteEach("SELECT id FROM t ORDER BY id", {},
                                  [&](const auto&, std::span<const DbValue> row) {
                                    if (++seen == 10) throw Error("enough at " + IntToStr(row[0].integer));
                                  }),
                 Error);
    EXPECT_EQ(seen, 10u);
    EXPECT_EQ(db_->Execute("SELECT COUNT(*) FROM t").rows.at(0).at(0).ToInt64(), 5000);
  }
  // Inside the caller's transaction: streamed whole, given up on, and the transaction goes on.
  {
    DbTransaction tx(*db_);
    std::size_t all = 0;
    db_->ExecuteEach("SELECT id FROM t", {}, [&](const auto&, auto) { ++all; });
    EXPECT_EQ(all, 5000u);
    EXPECT_THROW(db_->ExecuteEach("SELECT id FROM t", {}, [](const auto&, auto) { throw Error("no"); }),
                 Error);
    db_->Execute("INSERT INTO t VALUES (0)");
    tx.Commit();
  }
  EXPECT_EQ(db_->Execute("SELECT COUNT(*) FROM t").rows.at(0).at(0).ToInt64(), 5001);
}

TEST_P(DbTest, SchemaIsCreatedOnceAndReused) {
  EXPECT_TRUE(EnsureSchema(*db_));
  db_->Execute("INSERT INTO tUsrUser (UserId, UserCode) VALUES (?, ?)",
               {Variant(std::int64_t{5}), Variant("u5")});
  auto other = connector_->Connect();
  EXPECT_FALSE(EnsureSchema(*other));
  const auto r = other->Execute("SELECT UserId, UserCode FROM tUsrUser");
  ASSERT_EQ(r.rows.size(), 1u);
  EXPECT_EQ(CanonicalColumnName(r.columns[1].name), "UserCode");
  EXPECT_EQ(other->Execute("SELECT COUNT(*) FROM vUsrOprAnalysis").rows.at(0).at(0).ToInt64(), 0);
}

TEST_P(DbTest, OlderSchemaGainsNewTablesAndKeepsItsRows) {
  ASSERT_TRUE(EnsureSchema(*db_));
  // Turn the database back into a version-1 one: no caption table, version 1 recorded.
  db_->Execute("DROP TABLE tSysCaption");
  db_->Execute("DELETE FROM tSysSchema");
  db_->Execute("INSERT INTO tSysSchema (Version) VALUES (1)");
  db_->Execute("INSERT INTO tUsrUser (UserId, UserCode) VALUES (7, 'kept')");
  EXPECT_FALSE(EnsureSchema(*db_)) << "an upgrade is no first start";
  EXPECT_EQ(db_->Execute("SELECT MAX(Version) FROM tSysSchema").rows.at(0).at(0).ToInt64(), kSchemaVersion);
  EXPECT_EQ(db_->Execute("SELECT COUNT(*) FROM tSysCaption").rows.at(0).at(0).ToInt64(), 0);
  EXPECT_EQ(db_->Execute("SELECT UserCode FROM tUsrUser").rows.at(0).at(0), Variant("kept"));
  // A schema newer than the server's is refused.
  db_->Execute("INSERT INTO tSysSchema (Version) VALUES (?)", {Variant(kSchemaVersion + 1)});
  EXPECT_THROW(EnsureSchema(*db_), Error);
}

INSTANTIATE_TEST_SUITE_P(Backends, DbTest, ::testing::Values("sqlite", "postgres"),
                         [](const auto& info) { return info.param; });

// The pool opens no more connections than its limit, however many callers there are: one that finds them all
// lent out waits, and takes the first given back.
class DbPoolTest : public test::FreshDatabaseTest {};

TEST_P(DbPoolTest, OpensAtMostItsLimitAndACallerWaitsForAConnectionGivenBack) {
  DbPool pool(std::move(connector_), std::chrono::seconds(30), 2);
  auto first = pool.Acquire();
  std::promise<void> secondHeld, releaseSecond;
  std::thread holder([&] {
    auto second = pool.Acquire();
    secondHeld.set_value();
    releaseSecond.get_future().wait();
  });
  secondHeld.get_future().wait();
  EXPECT_EQ(pool.OpenConnections(), 2u);

  std::atomic<bool> served{false};
  std::thread third([&] {
    auto db = pool.Acquire();
    served = db->Execute("SELECT 1").rows.size() == 1;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(served) << "a third connection was opened beyond the limit";
  releaseSecond.set_value();
  holder.join();
  third.join();
  EXPECT_TRUE(served);
  EXPECT_EQ(pool.OpenConnections(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Backends, DbPoolTest, ::testing::Values("sqlite", "postgres"),
                         [](const auto& info) { return info.param; });

TEST(DbUrl, LocationsAreCheckedBeforeUse) {
  EXPECT_THROW(OpenDbConnector("mysql://x"), Error);
  EXPECT_THROW(OpenDbConnector("sqlite:"), Error);
  EXPECT_THROW(OpenDbConnector("sqlite::memory:"), Error);
  EXPECT_EQ(OpenDbConnector("postgresql://u:secret@h/db")->Describe(), "postgresql://u:***@h/db");
  EXPECT_THROW(OpenDbConnector("sqlite:/no/such/dir/x.db")->Connect(), Error);
  EXPECT_THROW(OpenDbConnector("sqlite:/tmp/x.db?access=everyone"), Error);
  EXPECT_THROW(OpenDbConnector("sqlite:?access=shared"), Error);
  EXPECT_EQ(OpenDbConnector("sqlite:/tmp/x.db?access=exclusive")->Describe(), "sqlite:/tmp/x.db");
  EXPECT_EQ(OpenDbConnector("sqlite:/tmp/x.db?ACCESS=Shared")->Describe(), "sqlite:/tmp/x.db?access=shared");
  EXPECT_EQ(OpenDbConnector("sqlite:/tmp/what?.db")->Describe(), "sqlite:/tmp/what?.db");
}

// While the server's connections have an SQLite file open, another process (here the sqlite3 tool) can read
// it only when the location asks for shared access; by default the server keeps the file to itself.
TEST(DbUrl, AnSqliteFileIsKeptFromOtherProcessesUnlessShared) {
  if (std::system("sqlite3 -version > /dev/null 2>&1") != 0) GTEST_SKIP() << "no sqlite3 tool here";
  for (const bool shared : {false, true}) {
    const std::string file = test::MakeTempDir("access") + "/db.sqlite";
    auto connector = OpenDbConnector("sqlite:" + file + (shared ? "?access=shared" : ""));
    auto a = connector->Connect();
    auto b = connector->Connect();  // connections of one process share the file either way
    a->Execute("CREATE TABLE t (k INTEGER PRIMARY KEY, v TEXT)");
    b->Execute("INSERT INTO t VALUES (1, 'x')");
    EXPECT_EQ(a->Execute("SELECT v FROM t WHERE k = 1").rows.at(0).at(0), Variant("x"));
    const int status =
        std::system(("sqlite3 " + file + " 'SELECT count(*) FROM t' > /dev/null 2>&1").c_str());
    EXPECT_EQ(status == 0, shared) << (shared ? "shared" : "exclusive") << ": status " << status;
  }
}

TEST(DbUrl, PlaceholdersBecomeNumberedOutsideQuotesAndComments) {
  const std::pair<const char*, const char*> cases[] = {
      {"SELECT ?", "SELECT $1"},
      {"a=? AND b=?", "a=$1 AND b=$2"},
      {"x='?' AND y=?", "x='?' AND y=$1"},
      {"x='it''s?' AND y=?", "x='it''s?' AND y=$1"},
      {"\"q?\"=? -- why?\n AND ?", "\"q?\"=$1 -- why?\n AND $2"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(PostgresPlaceholders(in), out) << in;
}

}  // namespace
}  // namespace sw::appserver
