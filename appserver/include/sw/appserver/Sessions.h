#pragma once
// Logins and their sessions. A login checks the user code, the password against its salted hash, that the
// user is active, and — for users marked limited — that the login position is one of the user's positions
// (class 2006). The session is a row of tSysOnline (the online users of class 2007); logging out ends it.
// Sessions are cached in memory for a few seconds so that checking every call costs no statement; several
// server processes on one PostgreSQL database see each other's sessions through the table.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
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

class SessionStore {
 public:
  using NextIdFn = std::function<std::int64_t(DbConnection&)>;
  explicit SessionStore(NextIdFn nextLoginId) : nextLoginId_(std::move(nextLoginId)) {}

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
  NextIdFn nextLoginId_;
  std::mutex mutex_;
  std::map<std::int64_t, Cached> cache_;
};

// The login id of a text ("123" or "@123"); nullopt when it is not a number.
std::optional<std::int64_t> ParseLoginId(const std::string& text);

}  // namespace sw::appserver
