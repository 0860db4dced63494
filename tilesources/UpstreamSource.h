// Tiles from an upstream tile service, kept in a disk cache and fetched the way public tile
// services ask their clients to:
// - a tile is served from the cache while it is fresh by the upstream's Cache-Control/Expires;
//   a stale one is revalidated with If-None-Match/If-Modified-Since, and a 304 keeps its bytes;
// - requests for a tile already being fetched wait for that fetch instead of sending another;
// - after a 429, or a 503 with Retry-After, nothing is sent upstream until the time it named has
//   passed: tiles are answered from the cache, stale or not, and others get the same status
//   with the time left in Retry-After;
// - when the upstream cannot be reached, a cached tile is served even when stale;
// - any other status is passed on as itself, and an answer that is cut short or is no image
//   becomes 502 (504 after a time-out), never a 200.
//
// The disk cache is optional: without one (its folder or file could not be made or opened) every
// tile is fetched, and the reason is part of Describe(). A cache that fails to read or write (a
// full disk) costs only the caching: the tile is answered from memory, and the first failure of
// each kind is written to stderr once and kept for Describe().
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>

#include "tilesources/TileDiskCache.h"
#include "tilesources/TileSource.h"
#include "tilesources/UpstreamClient.h"
#include "tilesources/UpstreamTemplate.h"

namespace tilesources {

class UpstreamSource final : public TileSource {
 public:
  // A 429 without Retry-After still holds requests back this long.
  static constexpr int64_t kDefaultBackoffMs = 60000;
  // The longest wait a Retry-After may ask for.
  static constexpr int64_t kMaxBackoffMs = int64_t{24} * 3600 * 1000;

  // `cache` may be null, with `noCacheReason` saying why (one line).
  UpstreamSource(UpstreamTemplate pattern, std::unique_ptr<TileDiskCache> cache, std::unique_ptr<UpstreamClient> client,
                 int connections, std::string noCacheReason = "")
      : pattern_(std::move(pattern)),
        cache_(std::move(cache)),
        client_(std::move(client)),
        connections_(connections),
        noCacheReason_(std::move(noCacheReason)) {}

  SourcedTile Fetch(const TilePosition& key) override;
  // Reads the disk cache here; a download goes to the network thread and its answer is settled
  // (checked, cached) in a job given to `post`. A tile not in the cache whose host is down is
  // asked for again by itself until the host answers (or it is cancelled); a cached one is
  // answered stale at once. Held only by shared pointers: otherwise as Fetch.
  std::shared_ptr<PendingFetch> FetchLater(const TilePosition& key, const Poster& post, Answer answer) override;
  std::string Describe() const override;

 private:
  using Position = std::tuple<int32_t, int32_t, int32_t>;  // z, x, y

  // The answer without asking upstream (fresh in the cache, or held back by a Retry-After), if any.
  std::optional<SourcedTile> AnswerWithoutAsking(const TilePosition& key, std::optional<CachedTile>* cached);
  static std::vector<std::string> Conditions(const std::optional<CachedTile>& cached);
  SourcedTile FetchFromUpstream(const TilePosition& key, const std::optional<CachedTile>& cached);
  // The tile made of the upstream's reply (checked, cached), or the cached bytes when it failed.
  // With `later`, the disk cache write is handed back there instead of made.
  SourcedTile Settle(const TilePosition& key, const std::optional<CachedTile>& cached, const UpstreamReply& reply,
                     std::function<void()>* later = nullptr);
  // Makes `write` now, or hands it back in `later` keeping `tile` in memory until it is made, so
  // that the tile is read as cached meanwhile.
  void WriteCache(const TilePosition& key, const CachedTile& tile, std::function<void()> write,
                  std::function<void()>* later);
  // A refused certificate goes to stderr once (one line naming the host) and into Describe().
  void NoteCertificateRefused(const std::string& error);
  // The time left of a Retry-After wait, 0 when none.
  int64_t BackoffLeftMs(int64_t nowMs);
  void BackOff(int status, const HeaderList& headers, int64_t nowMs);
  // Keeps the first failure of the cache's reads (or writes) and writes it to stderr, once.
  void NoteCacheFailure(bool writing, const std::string& error);
  // "disk cache FILE (at most N MiB)" with the failures noted, or "no disk cache (why)".
  std::string CacheState() const;

  const UpstreamTemplate pattern_;
  const std::unique_ptr<TileDiskCache> cache_;
  const std::unique_ptr<UpstreamClient> client_;
  const int connections_;
  const std::string noCacheReason_;

  mutable std::mutex mutex_;
  std::map<Position, std::shared_future<SourcedTile>> fetching_;
  int64_t backoffUntilMs_ = 0;
  int backoffStatus_ = 0;
  std::string readFailure_, writeFailure_;  // the first of each, guarded by mutex_
  std::string certificateRefused_;          // the last refusal, guarded by mutex_
  std::map<Position, CachedTile> unwritten_;  // tiles whose disk cache write is to come, guarded by mutex_
};

}  // namespace tilesources
