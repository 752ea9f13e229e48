#pragma once
// Connections shared by the server's worker threads: a call borrows one for its whole duration and gives it
// back; a connection that broke is dropped instead of returned.
#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

#include "sw/appserver/Db.h"

namespace sw::appserver {

class DbPool {
 public:
  DbPool(std::unique_ptr<DbConnector> connector, std::chrono::milliseconds statementTimeout);

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

  Lease Acquire();
  DbConnector& Connector() { return *connector_; }

 private:
  void Return(std::unique_ptr<DbConnection> conn);
  std::unique_ptr<DbConnector> connector_;
  std::chrono::milliseconds timeout_;
  std::mutex mutex_;
  std::vector<std::unique_ptr<DbConnection>> idle_;
};

}  // namespace sw::appserver
