// The session check on both backends: login ids that are not numbers, unknown or ended are refused; a kept
// session costs no statement until its confirmation is due; on PostgreSQL a logout through one server process
// is heard by another, and a process whose notice connection is lost trusts no kept session.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>

#include "TestSupport.h"
#include "sw/appserver/Db.h"
#include "sw/appserver/PasswordHash.h"
#include "sw/appserver/Schema.h"
#include "sw/appserver/Sessions.h"
#include "sw/core/Error.h"
#include "sw/core/Text.h"

namespace sw::appserver {
namespace {

// A connection that counts the statements run through it.
class CountingConnection final : public DbConnection {
 public:
  explicit CountingConnection(std::unique_ptr<DbConnection> inner) : inner_(std::move(inner)) {}
  DbDialect Dialect() const override { return inner_->Dialect(); }
  DbResult Execute(std::string_view sql, const std::vector<Variant>& params) override {
    ++statements;
    return inner_->Execute(sql, params);
  }
  void ExecuteScript(std::string_view sql) override { inner_->ExecuteScript(sql); }
  void SetStatementTimeout(std::chrono::milliseconds timeout) override {
    inner_->SetStatementTimeout(timeout);
  }
  bool IsHealthy() override { return inner_->IsHealthy(); }
  bool Listen(std::string_view channel) override { return inner_->Listen(channel); }
  void Notify(std::string_view channel, std::string_view text) override { inner_->Notify(channel, text); }
  std::vector<std::string> TakeNotices() override { return inner_->TakeNotices(); }
  int statements = 0;

 private:
  std::unique_ptr<DbConnection> inner_;
};

constexpr auto kNever = std::chrono::hours(1);  // no confirmation falls due within a test

class SessionStoreTest : public test::FreshDatabaseTest {
 protected:
  void SetUp() override {
    FreshDatabaseTest::SetUp();
    if (IsSkipped()) return;
    db_ = std::make_unique<CountingConnection>(connector_->Connect());
    EnsureSchema(*db_);
    db_->Execute(
        "INSERT INTO tUsrUser (UserId, UserCode, UserName, OrgCode, PassHash, IsLimited, IsActive) VALUES "
        "(1, "
        "'u1', 'User 1', '01', ?, '0', '1')",
        {Variant(MakePasswordHash("pw"))});
  }
  bool Postgres() const { return GetParam() == "postgres"; }
  // A store as one server process has it; `heard` is set to its notice connection once it opens one.
  std::unique_ptr<SessionStore> Store(std::chrono::milliseconds recheck, DbConnection** heard = nullptr) {
    SessionStore::ConnectFn connect;
    if (Postgres()) {
      connect = [this, heard] {
        auto c = connector_->Connect();
        if (heard) *heard = c.get();
        return c;
      };
    }
    return std::make_unique<SessionStore>([this](DbConnection&) { return ++lastId_; }, connect, recheck);
  }
  std::unique_ptr<CountingConnection> db_;
  std::atomic<std::int64_t> lastId_{100};
};

TEST_P(SessionStoreTest, OnlyOpenSessionsPass) {
  auto store = Store(kNever);
  const Session open = store->Login(*db_, "u1", "pw", "");
  const Session ended = store->Login(*db_, "u1", "pw", "");
  ASSERT_TRUE(store->Logout(*db_, ended.loginId));
  EXPECT_FALSE(store->Logout(*db_, ended.loginId)) << "already ended";
  const struct {
    std::string text;
    bool passes;
  } cases[] = {
      {IntToStr(open.loginId), true},
      {"@" + IntToStr(open.loginId), true},
      {IntToStr(ended.loginId), false},
      {"99999", false},  // never handed out
      {"", false},
      {"abc", false},
      {"$12", false},
  };
  for (const auto& c : cases) {
    const auto s = store->Find(*db_, c.text);
    EXPECT_EQ(s.has_value(), c.passes) << "\"" << c.text << "\"";
    if (s) {
      EXPECT_EQ(s->userCode, "u1");
    }
  }
}

TEST_P(SessionStoreTest, AKeptSessionCostsNoStatementUntilItsConfirmationIsDue) {
  const struct {
    std::chrono::milliseconds recheck;
    int statementsPerCheck;  // the row read and the call statistics written
  } cases[] = {{kNever, 0}, {std::chrono::milliseconds(0), 2}};
  for (const auto& c : cases) {
    auto store = Store(c.recheck);
    const Session s = store->Login(*db_, "u1", "pw", "");
    store->Find(*db_, IntToStr(s.loginId));  // a notice connection opens on the first check
    db_->statements = 0;
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(store->Find(*db_, IntToStr(s.loginId)));
    EXPECT_EQ(db_->statements, 10 * c.statementsPerCheck) << c.recheck.count() << " ms";
  }
}

TEST_P(SessionStoreTest, ALogoutThroughAnotherProcessIsHeard) {
  if (!Postgres()) GTEST_SKIP() << "an SQLite file is served by one process";
  DbConnection* heard = nullptr;
  auto here = Store(kNever);
  auto there = Store(kNever, &heard);
  auto thereDb = connector_->Connect();
  const Session s = here->Login(*db_, "u1", "pw", "");
  ASSERT_TRUE(there->Find(*thereDb, IntToStr(s.loginId))) << "a login through another process is found";
  ASSERT_NE(heard, nullptr);
  ASSERT_TRUE(here->Logout(*db_, s.loginId));
  // PostgreSQL delivers the notice on its own; a statement on the listening connection makes sure it has.
  heard->Execute("SELECT 1");
  EXPECT_FALSE(there->Find(*thereDb, IntToStr(s.loginId)));

  // A session ended without a notice (by hand), while the notice connection is lost: kept sessions are not
  // trusted then, so the row is read.
  const Session t = here->Login(*db_, "u1", "pw", "");
  ASSERT_TRUE(there->Find(*thereDb, IntToStr(t.loginId)));
  const std::int64_t pid = heard->Execute("SELECT pg_backend_pid()").rows.at(0).at(0).ToInt64();
  db_->Execute("UPDATE tSysOnline SET IsOnline = '0' WHERE LoginId = ?", {Variant(t.loginId)});
  db_->Execute("SELECT pg_terminate_backend(?, 10000)", {Variant(pid)});
  EXPECT_FALSE(there->Find(*thereDb, IntToStr(t.loginId)));
}

INSTANTIATE_TEST_SUITE_P(Backends, SessionStoreTest, ::testing::Values("sqlite", "postgres"),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace sw::appserver
