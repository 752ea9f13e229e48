#pragma once
// The application server: answers every call of the remote call catalogue (by the numbers of the 2010 build,
// see sw/server/CallNumbers.h) on the objects Icomm and IGeneral, plus the host calls Login and Logout, over
// one database. Every call except the connection probes and Login checks its login id; every call writes one
// log line (login id, call, milliseconds, rows, error).
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "sw/appserver/DbPool.h"
#include "sw/appserver/Dictionary.h"
#include "sw/appserver/Sessions.h"
#include "sw/dispatch/Dispatcher.h"

namespace sw::appserver {

// Host calls on Icomm, outside the module's catalogue (docs/protocol.md, "Host calls").
constexpr std::int32_t kCallLogin = 9001;
constexpr std::int32_t kCallLogout = 9002;

struct AppServerOptions {
  std::string database = "sqlite:staffwatch.db";
  std::string seedDir;      // empty: DefaultSeedDir()
  bool demo = false;        // load the demo data on start
  std::size_t maxRows = 0;  // rows of one search reply at most (0: no limit)
  std::chrono::milliseconds statementTimeout{30000};
  std::size_t maxPacket = std::size_t{64} * 1024 * 1024;  // inflated size of one received packet at most
  std::string logFile = "-";                              // "-": standard error; "": no call log
  std::size_t dbConnections = 0;  // database connections open at most (0: DefaultPoolSize())
};

class AppServer {
 public:
  explicit AppServer(AppServerOptions options);
  ~AppServer();

  // Creates the schema when missing, loads the dictionary seeds and, with demo, the demo data. Returns true
  // when the schema was created now.
  bool Initialize();
  // Registers the handlers of both objects (and their class identifiers as aliases).
  void Register(Dispatcher& dispatcher);

  DbPool& Pool() { return pool_; }
  ClassDictionary& Dictionary() { return dictionary_; }
  // The next id of a class and property: atomic across threads and server processes, 64-bit.
  std::int64_t NextId(DbConnection& db, std::int32_t classId, std::int32_t propId);

 private:
  struct CallStats;
  void LogCall(const CallStats& stats);

  AppServerOptions options_;
  DbPool pool_;
  ClassDictionary dictionary_;
  SessionStore sessions_;
  std::mutex logMutex_;
  std::FILE* log_ = nullptr;
  bool ownLog_ = false;
  bool logEachLine_ = true;                           // else flushed at most once a second
  std::chrono::steady_clock::time_point logFlushed_;  // guarded by logMutex_
};

}  // namespace sw::appserver
