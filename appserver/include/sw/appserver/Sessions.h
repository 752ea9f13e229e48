#pragma once
// Logins and their sessions. A login checks the user code, the password against its salted hash, that the
// user is active, and — for users marked limited — that the login position is one of the user's positions
// (class 2006). The session is a row of tSysOnline (the online users of class 2007); logging out ends it.
//
// Checking a call's login id costs no statement while the session is known: sessions are kept in memory with
// their row as the record. A session is confirmed from its row when first seen (a login made through another
// server process is found there) and again once its confirmation is older than the recheck period (default
// 5 s), which also writes the last call time and the calls made since. A logout through this process forgets
// the session at once. A logout through another process on the same PostgreSQL database is announced on the
// notice channel "sw_session_end" with the login id; every process listens on a connection of its own and
// forgets the session before it checks its next call. While that connection is down every check reads the
// row, and once it listens again every kept session is forgotten (announcements may have been missed). An
// SQLite file is served by one process. A row ended by other means (SQL on the table) is seen at the next
// confirmation.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "sw/appserver/Db.h"

namespace sw::appserver {

struct Session {
  std::int64_t loginId = 0;
  std::int64_t userId = 0;
  std::string userCode;
  std::string userName;
  std::string orgCode;
};

// Reasons a login is refused, each with the text the host shows.
constexpr const char* kLoginBadUser = "用户编码或口令错误。";
constexpr const char* kLoginInactive = "用户已被删除或停用。";
constexpr const char* kLoginBadPosition = "用户不允许在此位置登录: ";
constexpr const char* kSessionInvalid = "@登录号无效或已退出，请重新登录。";

inline constexpr const char* kSessionEndChannel = "sw_session_end";

class SessionStore {
 public:
  using NextIdFn = std::function<std::int64_t(DbConnection&)>;
  using ConnectFn = std::function<std::unique_ptr<DbConnection>()>;
  // `connect` opens the connection that hears of sessions ended by other server processes; leave it empty
  // when no other process shares the database.
  explicit SessionStore(NextIdFn nextLoginId, ConnectFn connect = {},
                        std::chrono::milliseconds recheck = std::chrono::seconds(5))
      : nextLoginId_(std::move(nextLoginId)), connect_(std::move(connect)), recheck_(recheck) {}

  // Raises sw::Error with one of the texts above when the login is refused.
  Session Login(DbConnection& db, const std::string& userCode, const std::string& password,
                const std::string& position);
  // The open session of a login id text ("123", also "@123"); nullopt when unknown or ended.
  std::optional<Session> Find(DbConnection& db, const std::string& loginIdText);
  // Ends a session; true when it was open.
  bool Logout(DbConnection& db, std::int64_t loginId);

 private:
  struct Cached {
    Session session;
    std::chrono::steady_clock::time_point checked;
    std::int64_t pendingCalls = 0;
  };
  // Forgets the sessions that other processes announced as ended; false when announcements may be missed
  // (no connection hears them now), so that no kept session may be trusted.
  bool HearEnds();
  void Forget(std::int64_t loginId);

  NextIdFn nextLoginId_;
  ConnectFn connect_;
  std::chrono::milliseconds recheck_;
  std::mutex mutex_;
  std::map<std::int64_t, Cached> cache_;
  // Counts forgotten sessions: a row read while one ended is not kept (it may be the ended one).
  std::uint64_t forgotten_ = 0;
  std::mutex listenMutex_;  // taken before mutex_
  std::unique_ptr<DbConnection> listener_;
  std::chrono::steady_clock::time_point nextListen_;
};

// The login id of a text ("123" or "@123"); nullopt when it is not a number.
std::optional<std::int64_t> ParseLoginId(const std::string& text);

}  // namespace sw::appserver
