#include "sw/appserver/Sessions.h"

#include "sw/appserver/PasswordHash.h"
#include "sw/core/DateTime.h"
#include "sw/core/Error.h"
#include "sw/core/Format.h"
#include "sw/core/Text.h"

namespace sw::appserver {
namespace {

std::string NowText() {
  return FormatDateTime("yyyy-mm-dd hh:nn:ss", Now());
}

}  // namespace

std::optional<std::int64_t> ParseLoginId(const std::string& text) {
  std::string_view t = TrimmedView(text);
  if (!t.empty() && t[0] == '@') t.remove_prefix(1);
  if (t.empty() || t[0] == '$') return std::nullopt;
  return TryStrToInt64(t);
}

Session SessionStore::Login(DbConnection& db, const std::string& userCode, const std::string& password,
                            const std::string& position) {
  const auto r = db.Execute(
      "SELECT UserId, UserCode, UserName, OrgCode, PassHash, IsLimited, IsActive FROM tUsrUser WHERE "
      "UserCode = ?",
      {Variant(Trim(userCode))});
  if (r.rows.empty() || !VerifyPassword(password, r.rows[0][4].IsNull() ? "" : r.rows[0][4].ToString())) {
    throw Error(kLoginBadUser);
  }
  const auto& u = r.rows[0];
  if (u[6].IsNull() || u[6].ToString() != "1") throw Error(kLoginInactive);
  Session s;
  s.userId = u[0].ToInt64();
  s.userCode = u[1].ToString();
  s.userName = u[2].IsNull() ? "" : u[2].ToString();
  s.orgCode = u[3].IsNull() ? "" : u[3].ToString();
  if (!u[5].IsNull() && u[5].ToString() == "1") {
    const auto pos = db.Execute("SELECT 1 FROM tUsrLoginPos WHERE UserID = ? AND LoginPos = ?",
                                {Variant(s.userId), Variant(Trim(position))});
    if (pos.rows.empty()) throw Error(kLoginBadPosition + Trim(position));
  }
  s.loginId = nextLoginId_(db);
  const std::string now = NowText();
  db.Execute(
      "INSERT INTO tSysOnline (LoginId, UserId, UserCode, UserName, OrgCode, LoginPos, LoginTime, LastTime, "
      "IsOnline, CallCount) VALUES (?, ?, ?, ?, ?, ?, ?, ?, '1', 0)",
      {Variant(s.loginId), Variant(s.userId), Variant(s.userCode), Variant(s.userName), Variant(s.orgCode),
       Variant(Trim(position)), Variant(now), Variant(now)});
  std::lock_guard<std::mutex> lock(mutex_);
  cache_[s.loginId] = {s, std::chrono::steady_clock::now(), 0};
  return s;
}

bool SessionStore::HearEnds() {
  if (!connect_) return true;
  std::lock_guard<std::mutex> listenLock(listenMutex_);
  if (!listener_) {
    // Try again at most once a second while the database cannot be reached.
    const auto now = std::chrono::steady_clock::now();
    if (now < nextListen_) return false;
    nextListen_ = now + std::chrono::seconds(1);
    try {
      auto conn = connect_();
      if (!conn->Listen(kSessionEndChannel)) return true;
      listener_ = std::move(conn);
    } catch (const std::exception&) {
      return false;
    }
    // Sessions ended while no one listened are unknown: confirm every session afresh.
    std::lock_guard<std::mutex> lock(mutex_);
    cache_.clear();
    ++forgotten_;
  }
  try {
    for (const std::string& text : listener_->TakeNotices()) {
      if (const auto id = TryStrToInt64(text)) Forget(*id);
    }
  } catch (const std::exception&) {
    listener_.reset();
    return false;
  }
  return true;
}

void SessionStore::Forget(std::int64_t loginId) {
  std::lock_guard<std::mutex> lock(mutex_);
  cache_.erase(loginId);
  ++forgotten_;
}

std::optional<Session> SessionStore::Find(DbConnection& db, const std::string& loginIdText) {
  const auto id = ParseLoginId(loginIdText);
  if (!id) return std::nullopt;
  const bool heard = HearEnds();
  const auto now = std::chrono::steady_clock::now();
  std::int64_t calls = 0;
  std::uint64_t forgottenBefore = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    forgottenBefore = forgotten_;
    if (auto it = cache_.find(*id); it != cache_.end()) {
      ++it->second.pendingCalls;
      if (heard && now - it->second.checked < recheck_) return it->second.session;
      calls = it->second.pendingCalls;
      it->second.pendingCalls = 0;
      it->second.checked = now;
    } else {
      calls = 1;
    }
  }
  // Not kept or due for a confirmation: read the row, and record the calls made since the last one.
  const auto r = db.Execute(
      "SELECT UserId, UserCode, UserName, OrgCode FROM tSysOnline WHERE LoginId = ? AND IsOnline = '1'",
      {Variant(*id)});
  if (r.rows.empty()) {
    Forget(*id);
    return std::nullopt;
  }
  Session s;
  s.loginId = *id;
  s.userId = r.rows[0][0].ToInt64();
  s.userCode = r.rows[0][1].IsNull() ? "" : r.rows[0][1].ToString();
  s.userName = r.rows[0][2].IsNull() ? "" : r.rows[0][2].ToString();
  s.orgCode = r.rows[0][3].IsNull() ? "" : r.rows[0][3].ToString();
  try {
    db.Execute("UPDATE tSysOnline SET LastTime = ?, CallCount = COALESCE(CallCount, 0) + ? WHERE LoginId = ?",
               {Variant(NowText()), Variant(calls), Variant(*id)});
  } catch (const Error&) {
    // The statistics are a courtesy; a busy database must not refuse the call.
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (forgotten_ != forgottenBefore) {
    // A session ended while the row was read (perhaps this one): answer this call, keep nothing.
    cache_.erase(*id);
    return s;
  }
  auto& c = cache_[*id];
  c.session = s;
  c.checked = now;
  return s;
}

bool SessionStore::Logout(DbConnection& db, std::int64_t loginId) {
  const bool ended =
      db.Execute("UPDATE tSysOnline SET IsOnline = '0', LogoutTime = ? WHERE LoginId = ? AND IsOnline = '1'",
                 {Variant(NowText()), Variant(loginId)})
          .affected > 0;
  // Forgotten after the row has changed, so that a check reading the row meanwhile keeps nothing.
  Forget(loginId);
  if (ended) {
    try {
      // The other server processes forget it too (nothing to do where no other process shares the database).
      db.Notify(kSessionEndChannel, IntToStr(loginId));
    } catch (const Error&) {
      // The session has ended; the other processes see that at their next confirmation of it.
    }
  }
  return ended;
}

}  // namespace sw::appserver
