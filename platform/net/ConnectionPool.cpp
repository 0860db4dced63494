#include "platform/net/ConnectionPool.h"

#include <poll.h>

#include <algorithm>

#include "platform/net/WinInet.h"

ConnectionPool& ConnectionPool::Shared() {
  // Never destroyed: worker threads may still give connections back while the process ends.
  static ConnectionPool* pool = new ConnectionPool({kInternetMaxIdleConnectionsPerServer, kInternetMaxIdleConnections,
                                                    std::chrono::milliseconds(kInternetIdleConnectionTimeoutMs)});
  return *pool;
}

ConnectionPool::~ConnectionPool() { Clear(); }

bool ConnectionPool::IsQuiet(int fd) {
  if (fd < 0) return false;
  pollfd p{fd, POLLIN | POLLRDHUP, 0};
  // Readable means the peer closed it, reset it, or sent bytes that belong to no request.
  return ::poll(&p, 1, 0) == 0;
}

void ConnectionPool::TakeExpired(Clock::time_point now, Doomed& doomed) {
  while (!idle_.empty() && now - idle_.front().since >= limits_.idle) {
    doomed.push_back(std::move(idle_.front().connection));
    idle_.pop_front();
  }
}

std::unique_ptr<IdleConnection> ConnectionPool::Take(const std::string& key, Clock::time_point now) {
  Doomed doomed;  // declared first: closed after the lock is released
  std::lock_guard<std::mutex> guard(mutex_);
  TakeExpired(now, doomed);
  // The most recently used first: it is the least likely to have been closed by the server.
  for (size_t i = idle_.size(); i-- > 0;) {
    if (idle_[i].key != key) continue;
    std::unique_ptr<IdleConnection> connection = std::move(idle_[i].connection);
    idle_.erase(idle_.begin() + static_cast<std::ptrdiff_t>(i));
    if (IsQuiet(connection->Socket())) return connection;
    doomed.push_back(std::move(connection));
  }
  return nullptr;
}

void ConnectionPool::Give(const std::string& key, std::unique_ptr<IdleConnection> connection, Clock::time_point now) {
  if (!connection) return;
  Doomed doomed;  // declared first: closed after the lock is released
  if (key.empty() || limits_.perKey == 0 || limits_.total == 0 || !IsQuiet(connection->Socket())) {
    doomed.push_back(std::move(connection));
    return;
  }
  std::lock_guard<std::mutex> guard(mutex_);
  TakeExpired(now, doomed);
  const auto sameKey = [&key](const Idle& idle) { return idle.key == key; };
  if (static_cast<size_t>(std::count_if(idle_.begin(), idle_.end(), sameKey)) >= limits_.perKey) {
    auto oldest = std::find_if(idle_.begin(), idle_.end(), sameKey);
    doomed.push_back(std::move(oldest->connection));
    idle_.erase(oldest);
  }
  if (idle_.size() >= limits_.total) {
    doomed.push_back(std::move(idle_.front().connection));
    idle_.pop_front();
  }
  idle_.push_back(Idle{key, std::move(connection), now});
}

size_t ConnectionPool::IdleCount(Clock::time_point now) {
  Doomed doomed;
  std::lock_guard<std::mutex> guard(mutex_);
  TakeExpired(now, doomed);
  return idle_.size();
}

void ConnectionPool::Clear() {
  Doomed doomed;
  std::lock_guard<std::mutex> guard(mutex_);
  for (Idle& idle : idle_) doomed.push_back(std::move(idle.connection));
  idle_.clear();
}
