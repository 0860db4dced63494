#include "tiles/Tile.h"

#include <cstring>

#include "projection/MercatorProjection.h"

Tile::Tile(int32_t column, int32_t row, double zoom_, MapProjection* projection_)
    : tileX(column), tileY(row), zoom(zoom_), projection(projection_) {}

Tile::~Tile() {
  sourceFetch.Cancel();
  fetcher.Cancel();
  callback = nullptr;
  callbackContext = nullptr;
  // `buffer` and then `fetcher` are destroyed as members, in reverse order of declaration:
  // the buffer gives its region back, the fetcher closes any handles left and deletes its lock.
}

namespace {
bool Inside(int32_t x, int32_t y, const PixelRect& r) {
  return r.left <= x && x <= r.right && r.top <= y && y <= r.bottom;
}
}  // namespace

bool RectsTouch(const PixelRect& a, const PixelRect& b) {
  return Inside(a.left, a.top, b) || Inside(a.right, a.top, b) || Inside(a.left, a.bottom, b) ||
         Inside(a.right, a.bottom, b) || Inside(b.left, b.top, a) || Inside(b.right, b.top, a) ||
         Inside(b.left, b.bottom, a) || Inside(b.right, b.bottom, a);
}

int32_t Tile::IsVisibleIn(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (projection == nullptr) return 0;
  const PixelPoint p = projection->TileToPixel(tileX, tileY);
  const SizeCounts s = projection->TileSize();
  return RectsTouch(PixelRect{p.x, p.y, p.x + s.width, p.y + s.height}, PixelRect{left, top, right, bottom}) ? 1 : 0;
}

int32_t Tile::IsLoaded() { return !Downloading() && buffer.base != nullptr && buffer.usedSize > 0 ? 1 : 0; }

int32_t Tile::Start(TileReadyCallback callback_, void* context) {
  callback = callback_;
  callbackContext = context;
  if (IsLoaded()) {
    Report(buffer.base, buffer.usedSize);
    return 1;
  }
  if (projection == nullptr) return 0;
  if (external != nullptr) return StartExternal() ? 1 : 0;
  char16_t url[kUrlCapacity];
  projection->BuildTileUrl(tileX, tileY, zoom, url, kUrlCapacity);
  return fetcher.Fetch(url, &buffer, OnDownloadSucceeded, OnDownloadFailed, this, nullptr, nullptr, kTilePort);
}

void Tile::Report(const uint8_t* data, uint32_t count) {
  TileDrawInfo info{};
  if (projection != nullptr) {
    const PixelPoint p = projection->TileToPixel(tileX, tileY);
    const SizeCounts s = projection->TileSize();
    info.x = p.x;
    info.y = p.y;
    info.width = s.width;
    info.height = s.height;
  }
  info.tileX = tileX;
  info.tileY = tileY;
  info.zoom = zoom;
  info.data = data;
  info.dataSize = count;
  const int32_t deeper = OverZoomLevels();
  if (deeper > 0 && info.width > 0) {
    const int32_t mask = (int32_t{1} << deeper) - 1;
    info.sourceSize = info.width >> deeper;
    info.sourceX = (tileX & mask) * info.sourceSize;
    info.sourceY = (tileY & mask) * info.sourceSize;
    if (info.sourceSize == 0) info.sourceSize = 1;  // beyond 8 levels: one pixel, stretched
  }
  if (callback != nullptr) callback(&info, callbackContext);
}

int32_t Tile::OverZoomLevels() const {
  if (external == nullptr) return 0;
  const int32_t level = ZoomLevelOf(zoom);
  return level > external->levels.max ? level - external->levels.max : 0;
}

bool Tile::StartExternal() {
  const int32_t level = ZoomLevelOf(zoom);
  const int32_t deeper = OverZoomLevels();
  // A level the source starts below has no tile: nothing to read.
  if (level < external->levels.min || level < 0) return false;
  const tilesources::TilePosition position{deeper >= 31 ? 0 : tileX >> deeper, deeper >= 31 ? 0 : tileY >> deeper,
                                           level - deeper};
  return sourceFetch.Start(external, position, [this](const std::string* bytes) {
    // The bytes are kept like a download's, so a tile shown again is drawn from memory.
    if (bytes != nullptr && bytes->size() <= UINT32_MAX && buffer.Reserve(uint32_t(bytes->size())) != 0) {
      if (uint8_t* to = buffer.Append(uint32_t(bytes->size()))) {
        std::memcpy(to, bytes->data(), bytes->size());
        Report(buffer.base, buffer.usedSize);
        return;
      }
      buffer.Release();
    }
  });
}

void Tile::OnDownloadSucceeded(const uint8_t* data, uint32_t count, void* context) {
  static_cast<Tile*>(context)->Report(data, count);
}

void Tile::OnDownloadFailed(const uint8_t* data, uint32_t count, void* context) {
  auto* tile = static_cast<Tile*>(context);
  tile->Report(data, count);
  tile->buffer.Release();
}
