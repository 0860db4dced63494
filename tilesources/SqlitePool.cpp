#include "tilesources/SqlitePool.h"

#include <algorithm>
#include <thread>

namespace tilesources {

SqliteConnection::~SqliteConnection() {
  for (sqlite3_stmt* statement : statements_) sqlite3_finalize(statement);
  if (db_ != nullptr) sqlite3_close(db_);
}

sqlite3_stmt* SqliteConnection::Statement(size_t i) const {
  sqlite3_stmt* statement = statements_.at(i);
  sqlite3_reset(statement);
  sqlite3_clear_bindings(statement);
  return statement;
}

void SqliteConnection::SetTimeLimit(int ms) {
  deadline_ = ms > 0 ? Clock::now() + std::chrono::milliseconds(ms) : Clock::time_point::max();
}

bool SqliteConnection::OutOfTime() const { return deadline_ != Clock::time_point::max() && Clock::now() >= deadline_; }

int SqliteConnection::OnProgress(void* connection) {
  return static_cast<SqliteConnection*>(connection)->OutOfTime() ? 1 : 0;
}

// SQLite's own busy time-out, but ending at the time limit too.
int SqliteConnection::OnBusy(void* connection, int attempts) {
  auto* self = static_cast<SqliteConnection*>(connection);
  const Clock::time_point now = Clock::now();
  if (attempts == 0) self->busySince_ = now;
  const Clock::time_point end =
      std::min(self->deadline_, self->busySince_ + std::chrono::milliseconds(SqlitePool::kBusyTimeoutMs));
  if (now >= end) return 0;
  const Clock::duration pause = std::chrono::milliseconds(std::min(attempts + 1, 20));
  std::this_thread::sleep_for(std::min(pause, end - now));
  return 1;
}

SqlitePool::Lease::~Lease() {
  if (connection_ != nullptr) pool_->Return(std::move(connection_));
}

SqlitePool::Lease SqlitePool::Acquire(std::string* error) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!idle_.empty()) {
      std::unique_ptr<SqliteConnection> connection = std::move(idle_.back());
      idle_.pop_back();
      return Lease(this, std::move(connection));
    }
  }
  return Lease(this, OpenOne(error));
}

std::unique_ptr<SqliteConnection> SqlitePool::OpenOne(std::string* error) const {
  auto connection = std::make_unique<SqliteConnection>();
  const int opened = sqlite3_open_v2(path_.c_str(), &connection->db_, flags_ | SQLITE_OPEN_NOMUTEX, nullptr);
  auto fail = [&](const std::string& what) -> std::unique_ptr<SqliteConnection> {
    if (error != nullptr) *error = what;
    return nullptr;
  };
  if (opened != SQLITE_OK) return fail(connection->db_ ? sqlite3_errmsg(connection->db_) : sqlite3_errstr(opened));
  sqlite3_busy_handler(connection->db_, &SqliteConnection::OnBusy, connection.get());
  sqlite3_progress_handler(connection->db_, kStepsPerTimeCheck, &SqliteConnection::OnProgress, connection.get());
  if (!setup_.empty()) {
    const std::string problem = SqliteExec(connection->db_, setup_.c_str());
    if (!problem.empty()) return fail(problem);
  }
  for (const std::string& sql : statements_) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(connection->db_, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) !=
        SQLITE_OK)
      return fail(sqlite3_errmsg(connection->db_));
    connection->statements_.push_back(statement);
  }
  return connection;
}

void SqlitePool::Return(std::unique_ptr<SqliteConnection> connection) {
  connection->SetTimeLimit(0);
  std::lock_guard<std::mutex> lock(mutex_);
  if (idle_.size() < kMaxIdle) idle_.push_back(std::move(connection));
}

std::string SqliteExec(sqlite3* db, const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK) return "";
  std::string text = message ? message : sqlite3_errmsg(db);
  sqlite3_free(message);
  return text;
}

}  // namespace tilesources
