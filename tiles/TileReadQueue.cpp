#include "tiles/TileReadQueue.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

struct TileReadQueue::State {
  explicit State(size_t max) : maxWorkers(std::max<size_t>(1, max)) {}

  // Runs jobs until none comes for kIdleMs or the queue is dropped.
  static void Work(std::shared_ptr<State> state) {
    std::unique_lock<std::mutex> held(state->mutex);
    for (;;) {
      if (state->jobs.empty()) {
        if (state->closing) break;
        ++state->idle;
        state->arrived.wait_for(held, std::chrono::milliseconds(kIdleMs),
                                [&] { return !state->jobs.empty() || state->closing; });
        --state->idle;
        if (state->jobs.empty()) break;
      }
      std::function<void()> job = std::move(state->jobs.front());
      state->jobs.pop_front();
      held.unlock();
      job();
      job = nullptr;  // what it holds goes before the next wait
      held.lock();
    }
    --state->workers;
  }

  const size_t maxWorkers;
  std::mutex mutex;
  std::condition_variable arrived;
  std::deque<std::function<void()>> jobs;
  size_t workers = 0;
  size_t idle = 0;
  bool closing = false;
};

TileReadQueue::TileReadQueue(size_t maxWorkers) : state_(std::make_shared<State>(maxWorkers)) {}

TileReadQueue::~TileReadQueue() {
  std::deque<std::function<void()>> dropped;
  {
    std::lock_guard<std::mutex> held(state_->mutex);
    state_->closing = true;
    dropped.swap(state_->jobs);
  }
  state_->arrived.notify_all();
  // `dropped` goes here, outside the lock: a job may hold the last reference to its source.
}

bool TileReadQueue::Post(std::function<void()> job) const { return PostTo(state_, std::move(job)); }

std::function<bool(std::function<void()>)> TileReadQueue::Poster() const {
  return [state = state_](std::function<void()> job) { return PostTo(state, std::move(job)); };
}

bool TileReadQueue::PostTo(const std::shared_ptr<State>& state, std::function<void()> job) {
  std::unique_lock<std::mutex> held(state->mutex);
  if (state->closing) {
    held.unlock();
    return false;  // `job` goes here, outside the lock
  }
  state->jobs.push_back(std::move(job));
  // Every idle thread is already promised to a waiting job: a new thread only when jobs outnumber them.
  if (state->jobs.size() <= state->idle || state->workers >= state->maxWorkers) {
    held.unlock();
    state->arrived.notify_one();
    return true;
  }
  try {
    std::thread(State::Work, state).detach();
    ++state->workers;
  } catch (const std::system_error&) {
    if (state->workers == 0) {
      std::function<void()> undone = std::move(state->jobs.back());
      state->jobs.pop_back();
      held.unlock();
      return false;
    }
  }
  return true;
}

size_t TileReadQueue::LocalWorkers() { return std::max(2u, std::thread::hardware_concurrency()); }
