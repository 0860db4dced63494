// Connections to one SQLite file, shared by the connection threads: a thread takes one with its
// statements already prepared, uses it alone, and gives it back. SQLite connections opened
// without their own mutex are faster but must not be used by two threads at once; the pool is
// what keeps them apart. Connections are opened on demand, and at most kMaxIdle are kept.
//
// A connection can be given a time limit for what it runs next (SetTimeLimit): a statement still
// running, or still waiting for another program's lock, when it runs out stops with an error. A
// file someone else wrote may hold views that never end; the limit is what makes reading it safe.
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tilesources {

class SqliteConnection {
 public:
  ~SqliteConnection();
  sqlite3* db() const { return db_; }
  // The i-th statement given to the pool, reset and unbound.
  sqlite3_stmt* Statement(size_t i) const;

  // What runs from now on stops (SQLITE_INTERRUPT, or SQLITE_BUSY while waiting for a lock) once
  // `ms` have passed; 0 lifts the limit. A connection given back to the pool loses its limit.
  void SetTimeLimit(int ms);
  // Whether the time limit has run out: the reason the last statement failed, if it did.
  bool OutOfTime() const;

 private:
  friend class SqlitePool;
  using Clock = std::chrono::steady_clock;
  static int OnProgress(void* connection);
  static int OnBusy(void* connection, int attempts);

  sqlite3* db_ = nullptr;
  std::vector<sqlite3_stmt*> statements_;
  Clock::time_point deadline_ = Clock::time_point::max();
  Clock::time_point busySince_;
};

class SqlitePool {
 public:
  static constexpr size_t kMaxIdle = 16;
  static constexpr int kBusyTimeoutMs = 10000;  // waiting for another program's lock, without a time limit
  // How many virtual machine steps pass between checks of the time limit (a check reads the clock).
  static constexpr int kStepsPerTimeCheck = 1000;

  // flags: SQLITE_OPEN_READONLY, or SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE. `setup` runs on
  // every new connection before its statements are prepared (per-connection pragmas).
  SqlitePool(std::string path, int flags, std::vector<std::string> statements, std::string setup = "")
      : path_(std::move(path)), flags_(flags), statements_(std::move(statements)), setup_(std::move(setup)) {}

  class Lease {
   public:
    Lease(SqlitePool* pool, std::unique_ptr<SqliteConnection> connection)
        : pool_(pool), connection_(std::move(connection)) {}
    ~Lease();
    Lease(Lease&&) = default;
    Lease& operator=(Lease&&) = delete;
    explicit operator bool() const { return connection_ != nullptr; }
    SqliteConnection* operator->() const { return connection_.get(); }
    SqliteConnection& operator*() const { return *connection_; }

   private:
    SqlitePool* pool_;
    std::unique_ptr<SqliteConnection> connection_;
  };

  // A connection for this thread alone; empty (false) when none could be opened, `error` saying why.
  Lease Acquire(std::string* error = nullptr);

 private:
  std::unique_ptr<SqliteConnection> OpenOne(std::string* error) const;
  void Return(std::unique_ptr<SqliteConnection> connection);

  const std::string path_;
  const int flags_;
  const std::vector<std::string> statements_;
  const std::string setup_;
  std::mutex mutex_;
  std::vector<std::unique_ptr<SqliteConnection>> idle_;
};

// Runs statements that return no rows; the error text, or empty on success.
std::string SqliteExec(sqlite3* db, const char* sql);

}  // namespace tilesources
