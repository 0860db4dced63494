// Reads one tile from an external source on a worker of the source's read queue, and hands the
// answer to a delivery function on a worker unless cancelled first. A download does not hold a
// worker: the source answers in a job of its own when the bytes are in, and cancelling drops the
// download (an HTTP/2 stream is reset).
//
// A source may block (a file on a slow disk): cancelling never waits for the read,
// only for a delivery already under way (a decode and a draw, a frame at most). A cancelled worker
// finishes its read on its own, keeping the source alive until then, and delivers nothing; one
// cancelled before its turn reads nothing.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "tiles/ExternalTileSource.h"

class SourceFetch {
 public:
  // The answer's bytes when it is an image (status 200 and a body); null otherwise.
  using Delivery = std::function<void(const std::string* bytes)>;

  SourceFetch() = default;
  ~SourceFetch();  // cancels
  SourceFetch(const SourceFetch&) = delete;
  SourceFetch& operator=(const SourceFetch&) = delete;

  // Queues the read of `position`; a running one is cancelled first. false when no worker could
  // be started (nothing runs then).
  bool Start(std::shared_ptr<const ExternalTileSource> external, tilesources::TilePosition position, Delivery deliver);
  // After it returns the delivery function is not running and will not run.
  void Cancel();
  // A worker was started and has neither delivered nor been cancelled.
  bool Running() const;

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
};
