#include "tools/tileserver/EncodedTileCache.h"

#include "tools/tileserver/PngEncoder.h"
#include "tools/tileserver/TileRenderer.h"

namespace tileserver {

size_t EncodedTileCache::KeyHash::operator()(const TileKey& k) const {
  uint64_t h = static_cast<uint64_t>(k.kind) * 31 + static_cast<uint64_t>(k.server + 1);
  h = h * 1000003u ^ static_cast<uint32_t>(k.x);
  h = h * 1000003u ^ static_cast<uint32_t>(k.y);
  h = h * 1000003u ^ static_cast<uint32_t>(k.z);
  return std::hash<uint64_t>()(h);
}

TileBytes EncodedTileCache::Get(const TileKey& key) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = entries_.find(key);
    if (it != entries_.end()) {
      ++hits_;
      order_.splice(order_.begin(), order_, it->second.position);
      return it->second.bytes;
    }
    ++misses_;
  }
  std::string png = PngEncoder::EncodeRgb(TileRenderer::Render(key), style::kTileSize, style::kTileSize);
  if (png.empty()) return nullptr;
  auto bytes = std::make_shared<const std::string>(std::move(png));
  Insert(key, bytes);
  return bytes;
}

void EncodedTileCache::Insert(const TileKey& key, TileBytes bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (entries_.count(key) != 0 || bytes->size() > maxBytes_) return;  // made twice at once, or too big
  order_.push_front(key);
  bytes_ += bytes->size();
  entries_.emplace(key, Entry{std::move(bytes), order_.begin()});
  while (bytes_ > maxBytes_ && !order_.empty()) {
    auto victim = entries_.find(order_.back());
    bytes_ -= victim->second.bytes->size();
    entries_.erase(victim);
    order_.pop_back();
  }
}

size_t EncodedTileCache::Entries() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_.size();
}

size_t EncodedTileCache::Bytes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return bytes_;
}

size_t EncodedTileCache::Hits() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return hits_;
}

size_t EncodedTileCache::Misses() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return misses_;
}

}  // namespace tileserver
