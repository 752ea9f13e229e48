#include "sw/appserver/DbPool.h"

namespace sw::appserver {

DbPool::DbPool(std::unique_ptr<DbConnector> connector, std::chrono::milliseconds statementTimeout)
    : connector_(std::move(connector)), timeout_(statementTimeout) {}

DbPool::Lease DbPool::Acquire() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!idle_.empty()) {
      auto conn = std::move(idle_.back());
      idle_.pop_back();
      return Lease(*this, std::move(conn));
    }
  }
  auto conn = connector_->Connect();
  conn->SetStatementTimeout(timeout_);
  return Lease(*this, std::move(conn));
}

void DbPool::Return(std::unique_ptr<DbConnection> conn) {
  if (!conn || !conn->IsHealthy()) return;
  std::lock_guard<std::mutex> lock(mutex_);
  idle_.push_back(std::move(conn));
}

}  // namespace sw::appserver
