#include "tiles/SourceFetch.h"

#include <condition_variable>
#include <mutex>

struct SourceFetch::Shared {
  std::mutex mutex;
  std::condition_variable delivered;
  bool cancelled = false;
  bool delivering = false;
  std::shared_ptr<tilesources::PendingFetch> pending;  // a download under way, guarded by mutex
  std::atomic<bool> running{true};
};

SourceFetch::~SourceFetch() { Cancel(); }

bool SourceFetch::Start(std::shared_ptr<const ExternalTileSource> external, tilesources::TilePosition position,
                        Delivery deliver) {
  Cancel();
  auto shared = std::make_shared<Shared>();
  // The job holds the source, not the binding that owns the queue: dropping the binding drops the
  // jobs that have not started.
  auto answer = [shared, deliver = std::move(deliver)](tilesources::SourcedTile tile) {
    {
      std::lock_guard<std::mutex> held(shared->mutex);
      if (shared->cancelled) return;
      shared->delivering = true;
    }
    const bool image = tile.status == 200 && tile.body != nullptr && !tile.body->empty();
    deliver(image ? tile.body.get() : nullptr);
    std::lock_guard<std::mutex> held(shared->mutex);
    shared->delivering = false;
    shared->pending.reset();
    shared->running.store(false, std::memory_order_release);
    shared->delivered.notify_all();
  };
  auto job = [shared, source = external->source, post = external->reads.Poster(), position,
              answer = std::move(answer)]() mutable {
    {
      // A read cancelled before its turn is not made at all.
      std::lock_guard<std::mutex> held(shared->mutex);
      if (shared->cancelled) return;
    }
    // A download does not hold this worker: its answer comes in a job of its own.
    std::shared_ptr<tilesources::PendingFetch> pending = source->FetchLater(position, post, std::move(answer));
    if (pending == nullptr) return;
    std::unique_lock<std::mutex> held(shared->mutex);
    if (shared->cancelled || !shared->running.load(std::memory_order_acquire)) {
      held.unlock();
      pending->Cancel();
      return;
    }
    shared->pending = std::move(pending);
  };
  if (!external->reads.Post(std::move(job))) return false;
  shared_ = std::move(shared);
  return true;
}

void SourceFetch::Cancel() {
  if (!shared_) return;
  std::unique_lock<std::mutex> held(shared_->mutex);
  shared_->cancelled = true;
  shared_->delivered.wait(held, [&] { return !shared_->delivering; });
  shared_->running.store(false, std::memory_order_release);
  std::shared_ptr<tilesources::PendingFetch> pending = std::move(shared_->pending);
  held.unlock();
  if (pending != nullptr) pending->Cancel();  // never waits: the network thread drops the download
  shared_.reset();
}

bool SourceFetch::Running() const { return shared_ && shared_->running.load(std::memory_order_acquire); }
