// The read queue on real threads: no more jobs run at once than it has workers, every job posted
// runs, and dropping the queue neither waits for the jobs under way nor runs those still waiting.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "tiles/TileReadQueue.h"

namespace {

using namespace std::chrono_literals;

// Jobs that each block until released, counting how many run at once.
struct BlockingJobs {
  std::mutex mutex;
  std::condition_variable changed;
  int running = 0, most = 0, done = 0;
  bool released = false;
  std::shared_ptr<int> token = std::make_shared<int>(0);  // one reference a job not yet destroyed

  std::function<void()> Job() {
    return [this, token = token] {
      std::unique_lock<std::mutex> held(mutex);
      most = std::max(most, ++running);
      changed.notify_all();
      changed.wait(held, [&] { return released; });
      --running;
      ++done;
      changed.notify_all();
    };
  }
  template <typename Condition>
  bool WaitFor(Condition condition) {
    std::unique_lock<std::mutex> held(mutex);
    return changed.wait_for(held, 20s, [&] { return condition(); });
  }
  void Release(bool on) {
    std::lock_guard<std::mutex> held(mutex);
    released = on;
    changed.notify_all();
  }
};

TEST(TileReadQueue, RunsAtMostItsWorkersAtOnceAndDroppingItDiscardsWaitingJobsWithoutWaiting) {
  BlockingJobs jobs;
  auto queue = std::make_unique<TileReadQueue>(2);
  for (int i = 0; i < 6; ++i) ASSERT_TRUE(queue->Post(jobs.Job()));
  ASSERT_TRUE(jobs.WaitFor([&] { return jobs.running == 2; }));
  jobs.Release(true);
  ASSERT_TRUE(jobs.WaitFor([&] { return jobs.done == 6; }));
  EXPECT_EQ(jobs.most, 2);

  // Two jobs block on the two workers, four wait; the queue is dropped while the two still block.
  jobs.Release(false);
  jobs.done = 0;
  for (int i = 0; i < 6; ++i) ASSERT_TRUE(queue->Post(jobs.Job()));
  ASSERT_TRUE(jobs.WaitFor([&] { return jobs.running == 2; }));
  queue.reset();
  {
    std::lock_guard<std::mutex> held(jobs.mutex);
    EXPECT_EQ(jobs.running, 2) << "dropping the queue waited for the jobs under way";
  }
  jobs.Release(true);
  // Once every job is destroyed (the waiting ones dropped, the running ones finished), only the
  // two that had started have run.
  for (int i = 0; i < 2000 && jobs.token.use_count() > 1; ++i) std::this_thread::sleep_for(10ms);
  EXPECT_EQ(jobs.token.use_count(), 1);
  std::lock_guard<std::mutex> held(jobs.mutex);
  EXPECT_EQ(jobs.done, 2);
  EXPECT_EQ(jobs.most, 2);
}

}  // namespace
