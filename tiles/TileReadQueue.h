// Worker threads that read tiles from one source, in the order asked, at most `maxWorkers` at
// once. A thread is started only when a job finds no idle one, is reused for the jobs after it,
// and ends after kIdleMs without work. Dropping the queue discards the jobs that have not started
// and never waits: a job under way finishes on its thread, which then ends.
//
// A screen of tiles from a local file is read and decoded by as many threads as there are cores,
// each keeping its file connection, instead of one new thread (and connection) per tile.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

class TileReadQueue {
 public:
  static constexpr int kIdleMs = 10000;

  explicit TileReadQueue(size_t maxWorkers);
  ~TileReadQueue();
  TileReadQueue(const TileReadQueue&) = delete;
  TileReadQueue& operator=(const TileReadQueue&) = delete;

  // Queues `job`; false when no thread runs and none could be started, or the queue has been
  // dropped (the job is dropped).
  bool Post(std::function<void()> job) const;
  // Post as a function that may outlive the queue (posting to a dropped queue drops the job).
  std::function<bool(std::function<void()>)> Poster() const;

  // How many threads to give a source that works on the CPU: one a core, at least two.
  static size_t LocalWorkers();

 private:
  struct State;
  static bool PostTo(const std::shared_ptr<State>& state, std::function<void()> job);
  std::shared_ptr<State> state_;
};
