#include "tiles/SourceFetch.h"

#include <condition_variable>
#include <mutex>

struct SourceFetch::Shared {
  std::mutex mutex;
  std::condition_variable delivered;
  bool cancelled = false;
  bool delivering = false;
  std::atomic<bool> running{true};
};

SourceFetch::~SourceFetch() { Cancel(); }

bool SourceFetch::Start(std::shared_ptr<const ExternalTileSource> external, tilesources::TilePosition position,
                        Delivery deliver) {
  Cancel();
  auto shared = std::make_shared<Shared>();
  // The job holds the source, not the binding that owns the queue: dropping the binding drops the
  // jobs that have not started.
  auto job = [shared, source = external->source, position, deliver = std::move(deliver)] {
    {
      // A read cancelled before its turn is not made at all.
      std::lock_guard<std::mutex> held(shared->mutex);
      if (shared->cancelled) return;
    }
    const tilesources::SourcedTile tile = source->Fetch(position);
    {
      std::lock_guard<std::mutex> held(shared->mutex);
      if (shared->cancelled) return;
      shared->delivering = true;
    }
    const bool image = tile.status == 200 && tile.body != nullptr && !tile.body->empty();
    deliver(image ? tile.body.get() : nullptr);
    std::lock_guard<std::mutex> held(shared->mutex);
    shared->delivering = false;
    shared->running.store(false, std::memory_order_release);
    shared->delivered.notify_all();
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
  held.unlock();
  shared_.reset();
}

bool SourceFetch::Running() const { return shared_ && shared_->running.load(std::memory_order_acquire); }
