// Statements run again and again on one connection (the backends keep them prepared): every run binds its own
// values, sees the table as it is now and survives what may happen to a kept statement — more texts than are
// kept, a nested run of the same text, a table re-created with other columns, an error inside a transaction,
// and on PostgreSQL a dropped server session or statements deallocated by hand.
#include <gtest/gtest.h>

#include <chrono>
#include <span>
#include <string>
#include <thread>

#include "TestSupport.h"
#include "sw/appserver/Db.h"
#include "sw/core/Error.h"
#include "sw/core/Text.h"

namespace sw::appserver {
namespace {

class StatementReuseTest : public test::FreshDatabaseTest {
 protected:
  void SetUp() override {
    FreshDatabaseTest::SetUp();
    if (IsSkipped()) return;
    db_ = connector_->Connect();
    db_->Execute("CREATE TABLE t (id BIGINT, s VARCHAR(20))");
    for (int i = 1; i <= 5; ++i)
      db_->Execute("INSERT INTO t (id, s) VALUES (?, ?)",
                   {Variant(std::int64_t{i}), Variant("v" + IntToStr(i))});
  }
  std::string NameOf(std::int64_t id) {
    const auto r = db_->Execute("SELECT s FROM t WHERE id = ?", {Variant(id)});
    return r.rows.empty() ? "<none>" : r.rows[0][0].ToString();
  }
  std::unique_ptr<DbConnection> db_;
};

TEST_P(StatementReuseTest, RepeatedTextsBindTheirOwnValuesAndSeeTheTableAsItIs) {
  for (std::int64_t id : {1, 3, 5, 9, 2}) EXPECT_EQ(NameOf(id), id <= 5 ? "v" + IntToStr(id) : "<none>");
  EXPECT_EQ(
      db_->Execute("UPDATE t SET s = ? WHERE id = ?", {Variant("new"), Variant(std::int64_t{3})}).affected,
      1);
  EXPECT_EQ(NameOf(3), "new");

  // More distinct texts than a connection keeps, then the first ones again.
  for (int round = 0; round < 2; ++round) {
    for (int k = 0; k < 150; ++k) {
      const auto r =
          db_->Execute("SELECT id + " + IntToStr(k) + " FROM t WHERE id = ?", {Variant(std::int64_t{2})});
      ASSERT_EQ(r.rows.at(0).at(0).ToInt64(), 2 + k) << "round " << round << ", text " << k;
    }
  }

  // The same text run from inside the rows of its own run.
  std::string pairs;
  db_->ExecuteEach("SELECT s FROM t WHERE id <= ? ORDER BY id", {Variant(std::int64_t{2})},
                   [&](const std::vector<DbColumn>&, std::span<const DbValue> row) {
                     const auto inner = db_->Execute("SELECT s FROM t WHERE id <= ? ORDER BY id",
                                                     {Variant(std::int64_t{5})});
                     pairs += std::string(row[0].bytes) + ":" + IntToStr(inner.rows.size()) + " ";
                   });
  EXPECT_EQ(pairs, "v1:5 v2:5 ");

  // The table re-created with other columns under a kept text.
  const char* all = "SELECT * FROM t WHERE id = ?";
  EXPECT_EQ(db_->Execute(all, {Variant(std::int64_t{1})}).columns.size(), 2u);
  db_->Execute("DROP TABLE t");
  db_->Execute("CREATE TABLE t (id BIGINT, s VARCHAR(20), extra VARCHAR(5))");
  db_->Execute("INSERT INTO t (id, s, extra) VALUES (?, ?, ?)",
               {Variant(std::int64_t{1}), Variant("again"), Variant("e")});
  const auto r = db_->Execute(all, {Variant(std::int64_t{1})});
  ASSERT_EQ(r.columns.size(), 3u);
  EXPECT_EQ(r.rows.at(0).at(2), Variant("e"));
}

TEST_P(StatementReuseTest, AFailedRunInsideATransactionLeavesNothingAndTheTextStillWorks) {
  db_->Execute("CREATE UNIQUE INDEX t_id ON t (id)");
  const char* insert = "INSERT INTO t (id, s) VALUES (?, ?)";
  {
    DbTransaction tx(*db_);
    db_->Execute(insert, {Variant(std::int64_t{6}), Variant("six")});
    EXPECT_THROW(db_->Execute(insert, {Variant(std::int64_t{1}), Variant("duplicate")}), Error);
    // A text first seen after the failure inside the same transaction.
    if (GetParam() == "postgres") {
      EXPECT_THROW(db_->Execute("SELECT s FROM t WHERE id > ?", {Variant(std::int64_t{0})}), Error);
    }
  }
  EXPECT_EQ(NameOf(6), "<none>") << "rolled back";
  db_->Execute(insert, {Variant(std::int64_t{7}), Variant("seven")});
  EXPECT_EQ(NameOf(7), "seven");
  EXPECT_EQ(db_->Execute("SELECT s FROM t WHERE id > ?", {Variant(std::int64_t{6})}).rows.size(), 1u);
}

// The time limit applies to each statement from its own start: one that failed long ago does not cut short
// a later one.
TEST_P(StatementReuseTest, AFailedStatementLeavesNoClockRunning) {
  // The limit is far above what the script below needs even on a loaded machine, so only a clock left
  // running by the failed statement can cut it off.
  db_->SetStatementTimeout(std::chrono::milliseconds(1000));
  db_->Execute("CREATE UNIQUE INDEX t_id ON t (id)");
  EXPECT_THROW(
      db_->Execute("INSERT INTO t (id, s) VALUES (?, ?)", {Variant(std::int64_t{1}), Variant("dup")}), Error);
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // longer than the limit
  EXPECT_NO_THROW(
      db_->ExecuteScript("CREATE TABLE n (x BIGINT); INSERT INTO n WITH RECURSIVE c(x) AS (SELECT 1 UNION "
                         "ALL SELECT x + 1 FROM c "
                         "WHERE x < 20000) SELECT x FROM c;"));
  EXPECT_EQ(db_->Execute("SELECT COUNT(*) FROM n").rows.at(0).at(0).ToInt64(), 20000);
}

TEST_P(StatementReuseTest, PostgresSessionLossAndDeallocationAreSurvived) {
  if (GetParam() != "postgres") GTEST_SKIP() << "a PostgreSQL server session only";
  EXPECT_EQ(NameOf(2), "v2");
  // Statements deallocated by hand: the kept ones are prepared again.
  db_->Execute("DEALLOCATE ALL");
  EXPECT_EQ(NameOf(2), "v2");
  // The server ends the connection's session; the pool's health check reconnects it.
  const std::int64_t pid = db_->Execute("SELECT pg_backend_pid()").rows.at(0).at(0).ToInt64();
  auto other = connector_->Connect();
  other->Execute("SELECT pg_terminate_backend(?, 10000)", {Variant(pid)});
  EXPECT_THROW(db_->Execute("SELECT s FROM t WHERE id = ?", {Variant(std::int64_t{2})}), Error);
  ASSERT_TRUE(db_->IsHealthy());
  EXPECT_EQ(NameOf(4), "v4");
}

INSTANTIATE_TEST_SUITE_P(Backends, StatementReuseTest, ::testing::Values("sqlite", "postgres"),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace sw::appserver
