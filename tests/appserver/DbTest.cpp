// The database layer on both backends: typed values through parameters, errors that leave the connection
// usable, transactions, statement time limits, and the schema created once.
#include <gtest/gtest.h>

#include <chrono>

#include "TestSupport.h"
#include "sw/appserver/Db.h"
#include "sw/appserver/Schema.h"
#include "sw/core/DateTime.h"
#include "sw/core/Error.h"

namespace sw::appserver {
namespace {

class DbTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    const auto url = test::FreshDatabaseUrl(GetParam());
    if (!url) GTEST_SKIP() << "no PostgreSQL server binaries here";
    connector_ = OpenDbConnector(*url);
    db_ = connector_->Connect();
  }
  std::unique_ptr<DbConnector> connector_;
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
  try {
    db_->Execute(slow);
    FAIL() << "the statement was not cancelled";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("longer than allowed"), std::string::npos) << e.what();
  }
  EXPECT_EQ(db_->Execute("SELECT 3").rows.at(0).at(0).ToInt64(), 3);
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

TEST(DbUrl, LocationsAreCheckedBeforeUse) {
  EXPECT_THROW(OpenDbConnector("mysql://x"), Error);
  EXPECT_THROW(OpenDbConnector("sqlite:"), Error);
  EXPECT_THROW(OpenDbConnector("sqlite::memory:"), Error);
  EXPECT_EQ(OpenDbConnector("postgresql://u:secret@h/db")->Describe(), "postgresql://u:***@h/db");
  EXPECT_THROW(OpenDbConnector("sqlite:/no/such/dir/x.db")->Connect(), Error);
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
