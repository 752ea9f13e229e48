#include "sw/appserver/DbPool.h"

#include <algorithm>
#include <thread>

namespace sw::appserver {

std::size_t DefaultPoolSize() {
  return std::clamp<std::size_t>(std::size_t{8} * std::thread::hardware_concurrency(), 8, 64);
}

DbPool::DbPool(std::unique_ptr<DbConnector> connector, std::chrono::milliseconds statementTimeout,
               std::size_t maxConnections)
    : connector_(std::move(connector)),
      timeout_(statementTimeout),
      max_(std::max<std::size_t>(maxConnections, 1)) {}

DbPool::Lease DbPool::Acquire() {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    returned_.wait(lock, [this] { return !idle_.empty() || open_ < max_; });
    if (!idle_.empty()) {
      auto conn = std::move(idle_.back());
      idle_.pop_back();
      return Lease(*this, std::move(conn));
    }
    ++open_;  // a place for the connection about to be opened
  }
  try {
    auto conn = connector_->Connect();
    conn->SetStatementTimeout(timeout_);
    return Lease(*this, std::move(conn));
  } catch (...) {
    Return(nullptr);  // gives the place back
    throw;
  }
}

void DbPool::Return(std::unique_ptr<DbConnection> conn) {
  if (conn && !conn->IsHealthy()) conn.reset();  // a broken connection is closed, outside the lock
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (conn)
      idle_.push_back(std::move(conn));
    else
      --open_;  // dropped: its place is free for a new connection
  }
  returned_.notify_one();
}

std::size_t DbPool::OpenConnections() {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_;
}

}  // namespace sw::appserver
