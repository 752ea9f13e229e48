#pragma once
// Database connections shared by the server's connection threads: a call borrows one for its whole duration
// and gives it back; a connection that broke is dropped instead of returned. The pool opens at most
// `maxConnections`: a call that finds them all lent out waits for one, so the number of connections (and of
// statements running at once) stays bounded however many clients are connected.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "sw/appserver/Db.h"

namespace sw::appserver {

// Connections a pool opens at most by default: eight per processor core, at least 8, at most 64.
std::size_t DefaultPoolSize();

class DbPool {
 public:
  DbPool(std::unique_ptr<DbConnector> connector, std::chrono::milliseconds statementTimeout,
         std::size_t maxConnections = DefaultPoolSize());

  class Lease {
   public:
    Lease(DbPool& pool, std::unique_ptr<DbConnection> conn) : pool_(pool), conn_(std::move(conn)) {}
    ~Lease() { pool_.Return(std::move(conn_)); }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    DbConnection& operator*() const { return *conn_; }
    DbConnection* operator->() const { return conn_.get(); }

   private:
    DbPool& pool_;
    std::unique_ptr<DbConnection> conn_;
  };

  // An idle connection, a new one while fewer than maxConnections are open, or else the next one given back.
  Lease Acquire();
  DbConnector& Connector() { return *connector_; }
  // Connections open now, idle or lent out.
  std::size_t OpenConnections();

 private:
  void Return(std::unique_ptr<DbConnection> conn);
  std::unique_ptr<DbConnector> connector_;
  std::chrono::milliseconds timeout_;
  std::size_t max_;
  std::mutex mutex_;
  std::condition_variable returned_;
  std::size_t open_ = 0;  // idle and lent out
  std::vector<std::unique_ptr<DbConnection>> idle_;
};

}  // namespace sw::appserver
