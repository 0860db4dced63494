#include "tilesources/UpstreamSource.h"

#include <cstdio>

#include "tilesources/ContentTag.h"
#include "tilesources/SourceChoice.h"
#include "tilesources/TileImageFormat.h"

namespace tilesources {
namespace {

int64_t CeilSeconds(int64_t ms) { return (ms + 999) / 1000; }

SourcedTile FromCache(const CachedTile& cached, std::string what, int64_t nowMs) {
  SourcedTile tile;
  tile.what = std::move(what);
  tile.contentType = cached.contentType;
  tile.body = cached.bytes;
  tile.etag = ContentTag(*cached.bytes);
  if (std::optional<int64_t> modified = ParseHttpDate(cached.lastModified)) tile.lastModifiedMs = *modified;
  const int64_t freshLeftMs = cached.freshUntilMs > nowMs ? cached.freshUntilMs - nowMs : 0;
  tile.headers.emplace_back("Cache-Control", "max-age=" + std::to_string(freshLeftMs / 1000));
  return tile;
}

std::string HeaderOr(const HeaderList& headers, std::string_view name, const std::string& otherwise) {
  const std::string* value = FindHeader(headers, name);
  return value != nullptr ? *value : otherwise;
}

}  // namespace

int64_t UpstreamSource::BackoffLeftMs(int64_t nowMs) {
  std::lock_guard<std::mutex> lock(mutex_);
  return backoffUntilMs_ > nowMs ? backoffUntilMs_ - nowMs : 0;
}

void UpstreamSource::BackOff(int status, const HeaderList& headers, int64_t nowMs) {
  std::optional<int64_t> waitMs;
  if (const std::string* retryAfter = FindHeader(headers, "retry-after"))
    waitMs = RetryAfterMs(*retryAfter, nowMs, kMaxBackoffMs);
  if (!waitMs && status == 429) waitMs = kDefaultBackoffMs;
  if (!waitMs || *waitMs <= 0) return;
  std::lock_guard<std::mutex> lock(mutex_);
  if (nowMs + *waitMs > backoffUntilMs_) {
    backoffUntilMs_ = nowMs + *waitMs;
    backoffStatus_ = status;
  }
}

void UpstreamSource::NoteCacheFailure(bool writing, const std::string& error) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string& first = writing ? writeFailure_ : readFailure_;
    if (!first.empty()) return;
    first = OneLine(error.empty() ? "unknown error" : error);
  }
  std::fprintf(stderr, "tile cache %s: %s failed (%s); tiles are served without it meanwhile\n", cache_->Path().c_str(),
               writing ? "writing" : "reading", OneLine(error).c_str());
}

std::optional<SourcedTile> UpstreamSource::AnswerWithoutAsking(const TilePosition& key,
                                                               std::optional<CachedTile>* cached) {
  const int64_t nowMs = WallClockMs();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = unwritten_.find(Position{key.z, key.x, key.y});
    if (it != unwritten_.end()) *cached = it->second;
  }
  if (cache_ && !*cached) {
    std::string error;
    *cached = cache_->Get(key.z, key.x, key.y, &error);
    if (!error.empty()) NoteCacheFailure(false, error);
  }
  if (*cached && nowMs < (*cached)->freshUntilMs) return FromCache(**cached, "cached", nowMs);
  if (const int64_t leftMs = BackoffLeftMs(nowMs)) {
    if (*cached) return FromCache(**cached, "stale", nowMs);
    int status;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      status = backoffStatus_;
    }
    SourcedTile held = SourcedTile::Text(status, "held-back", "the upstream asked to wait; not asked again yet\n");
    held.headers.emplace_back("Retry-After", std::to_string(CeilSeconds(leftMs)));
    return held;
  }
  return std::nullopt;
}

namespace {

class PendingDownload final : public PendingFetch {
 public:
  PendingDownload(std::weak_ptr<UpstreamNetwork> network, uint64_t id) : network_(std::move(network)), id_(id) {}
  void Cancel() override {
    if (std::shared_ptr<UpstreamNetwork> network = network_.lock()) network->Cancel(id_);
  }

 private:
  const std::weak_ptr<UpstreamNetwork> network_;
  const uint64_t id_;
};

}  // namespace

std::shared_ptr<PendingFetch> UpstreamSource::FetchLater(const TilePosition& key, const Poster& post, Answer answer) {
  const std::shared_ptr<TileSource> held = weak_from_this().lock();
  if (!held) return TileSource::FetchLater(key, post, std::move(answer));
  const std::weak_ptr<UpstreamSource> self = std::static_pointer_cast<UpstreamSource>(held);
  std::optional<CachedTile> cached;
  if (std::optional<SourcedTile> tile = AnswerWithoutAsking(key, &cached)) {
    answer(std::move(*tile));
    return nullptr;
  }
  // Only weak references reach the network thread: the last owner of the source (and of the
  // network it holds) never lets go there.
  auto settle = [self, post, key, cached, answer = std::move(answer)](UpstreamReply reply) mutable {
    auto job = [self, post, key, cached = std::move(cached), answer = std::move(answer),
                reply = std::make_shared<UpstreamReply>(std::move(reply))] {
      std::shared_ptr<UpstreamSource> source = self.lock();
      if (!source) return;
      // The tile is drawn first; its disk cache write waits behind the other tiles' answers.
      std::function<void()> write;
      answer(source->Settle(key, cached, *reply, &write));
      if (write) post([source, write = std::move(write)] { write(); });
    };
    post(std::move(job));
  };
  // A tile with nothing cached waits for a host that is down to answer again (it comes by itself
  // then); a cached one is answered from the cache at once when the revalidation fails.
  const bool retryWhileDown = !cached.has_value();
  const uint64_t id =
      client_->Start(pattern_.Expand(key.z, key.x, key.y), Conditions(cached), std::move(settle), retryWhileDown);
  return std::make_shared<PendingDownload>(client_->Network().weak_from_this(), id);
}

SourcedTile UpstreamSource::Fetch(const TilePosition& key) {
  std::optional<CachedTile> cached;
  if (std::optional<SourcedTile> tile = AnswerWithoutAsking(key, &cached)) return std::move(*tile);

  const Position position{key.z, key.x, key.y};
  std::promise<SourcedTile> promise;
  std::shared_future<SourcedTile> pending;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = fetching_.find(position);
    if (it != fetching_.end()) {
      pending = it->second;
    } else {
      fetching_.emplace(position, promise.get_future().share());
    }
  }
  if (pending.valid()) return pending.get();  // the same tile is on its way for another request

  SourcedTile tile = FetchFromUpstream(key, cached);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    fetching_.erase(position);
  }
  promise.set_value(tile);
  return tile;
}

std::vector<std::string> UpstreamSource::Conditions(const std::optional<CachedTile>& cached) {
  std::vector<std::string> conditions;
  if (cached && !cached->etag.empty()) conditions.push_back("If-None-Match: " + cached->etag);
  if (cached && !cached->lastModified.empty()) conditions.push_back("If-Modified-Since: " + cached->lastModified);
  return conditions;
}

SourcedTile UpstreamSource::FetchFromUpstream(const TilePosition& key, const std::optional<CachedTile>& cached) {
  return Settle(key, cached, client_->Get(pattern_.Expand(key.z, key.x, key.y), Conditions(cached)));
}

void UpstreamSource::NoteCertificateRefused(const std::string& error) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (certificateRefused_ == error) return;
    certificateRefused_ = error;
  }
  std::fprintf(stderr, "upstream %s\n", OneLine(error).c_str());
}

void UpstreamSource::WriteCache(const TilePosition& key, const CachedTile& tile, std::function<void()> write,
                                std::function<void()>* later) {
  if (later == nullptr) {
    write();
    return;
  }
  const Position position{key.z, key.x, key.y};
  {
    std::lock_guard<std::mutex> lock(mutex_);
    unwritten_[position] = tile;
  }
  *later = [this, position, tile, write = std::move(write)] {
    write();
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = unwritten_.find(position);
    if (it != unwritten_.end() && it->second.bytes == tile.bytes && it->second.freshUntilMs == tile.freshUntilMs)
      unwritten_.erase(it);
  };
}

SourcedTile UpstreamSource::Settle(const TilePosition& key, const std::optional<CachedTile>& cached,
                                   const UpstreamReply& reply, std::function<void()>* later) {
  const int64_t nowMs = WallClockMs();
  const int status = reply.status;

  if (!reply.reached) {
    if (reply.certificateRefused) NoteCertificateRefused(reply.error);
    if (cached) return FromCache(*cached, "stale", nowMs);
    return SourcedTile::Text(reply.timedOut ? 504 : 502, "unreachable", "the upstream failed: " + reply.error + "\n");
  }
  if (status == 304) {
    if (!cached) return SourcedTile::Text(502, "bad-upstream", "the upstream answered 304 to a plain request\n");
    CachedTile renewed = *cached;
    renewed.freshUntilMs = nowMs + CachePolicyOf(reply.headers, nowMs).freshMs;
    renewed.etag = HeaderOr(reply.headers, "etag", cached->etag);
    renewed.lastModified = HeaderOr(reply.headers, "last-modified", cached->lastModified);
    WriteCache(
        key, renewed,
        [this, key, renewed] {
          std::string error;
          if (cache_ &&
              !cache_->Refresh(key.z, key.x, key.y, renewed.freshUntilMs, renewed.etag, renewed.lastModified, &error))
            NoteCacheFailure(true, error);
        },
        later);
    return FromCache(renewed, "revalidated", nowMs);
  }
  if (status == 429 || status == 503) {
    BackOff(status, reply.headers, nowMs);
    if (cached) return FromCache(*cached, "stale", nowMs);
    SourcedTile passed =
        SourcedTile::Text(status, "upstream", "the upstream answered " + std::to_string(status) + "\n");
    if (const int64_t leftMs = BackoffLeftMs(nowMs))
      passed.headers.emplace_back("Retry-After", std::to_string(CeilSeconds(leftMs)));
    return passed;
  }
  if (status >= 400 && status <= 599)
    return SourcedTile::Text(status, "upstream", "the upstream answered " + std::to_string(status) + "\n");
  if (status != 200 && status != 203) {
    // Redirects beyond the limit, partial content never asked for, statuses HTTP does not define.
    return SourcedTile::Text(502, "bad-upstream", "the upstream answered " + std::to_string(status) + "\n");
  }
  const std::optional<TileImageFormat> format = SniffTileImage(reply.body);
  if (!format) return SourcedTile::Text(502, "not-an-image", "the upstream's answer is no PNG, JPEG or WebP image\n");

  const CachePolicy policy = CachePolicyOf(reply.headers, nowMs);
  CachedTile fetched;
  fetched.bytes = std::make_shared<const std::string>(reply.body);
  fetched.contentType = ContentTypeOf(*format);
  fetched.etag = HeaderOr(reply.headers, "etag", "");
  fetched.lastModified = HeaderOr(reply.headers, "last-modified", "");
  fetched.freshUntilMs = nowMs + policy.freshMs;
  if (policy.store)
    WriteCache(
        key, fetched,
        [this, key, fetched] {
          std::string error;
          if (cache_ && !cache_->Put(key.z, key.x, key.y, fetched, &error)) NoteCacheFailure(true, error);
        },
        later);
  return FromCache(fetched, "fetched", nowMs);
}

std::string UpstreamSource::Describe() const {
  const UpstreamRequestOptions& options = client_->Options();
  return "upstream " + pattern_.Text() + ", one HTTP/2 connection or at most " + std::to_string(connections_) +
         " HTTP/1.1 connection" + (connections_ == 1 ? "" : "s") + " to " + pattern_.Origin() + ", User-Agent \"" +
         client_->UserAgent() + "\", " + (options.useProxyEnvironment ? "proxy settings honoured" : "no proxy") +
         ", certificates from " + (options.caFile.empty() ? "the system's CA store" : options.caFile) + ", " +
         CacheState();
}

std::string UpstreamSource::CacheState() const {
  if (!cache_) return "no disk cache (" + noCacheReason_ + ")";
  std::string state = "disk cache " + cache_->Path() + " (at most " + std::to_string(cache_->MaxBytes() >> 20) + " MiB)";
  std::lock_guard<std::mutex> lock(mutex_);
  if (!readFailure_.empty()) state += "; reading it failed: " + readFailure_;
  if (!writeFailure_.empty()) state += "; writing it failed, tiles are not kept: " + writeFailure_;
  if (!certificateRefused_.empty()) state += "; " + certificateRefused_;
  return state;
}

}  // namespace tilesources
