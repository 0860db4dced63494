#include "mapview/MapPicture.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "mapview/MapLayers.h"
#include "mapview/MapMarkers.h"
#include "mapview/MapTracks.h"
#include "mapview/SurfaceDrawing.h"

namespace {

// A key pixel of the map layer, marked in the picture while the overlays are drawn over it: every
// drawing writes pixels whose top byte is 0, so a pixel still marked afterwards shows the
// placeholder.
constexpr uint32_t kKeyMark = 0xFF000000u | kColorKeyWhite;
constexpr uint32_t kColourBits = 0x00FFFFFFu;
// The bytes of picture rows shown at once.
constexpr size_t kBandBytes = 256 * 1024;
static_assert((kPlaceholderCell & (kPlaceholderCell - 1)) == 0, "the cell's side is a power of 2");

void FreeSurface(MapPicture* p) {
  FreeLayerSurface(&p->dc, &p->oldBitmap, &p->size, &p->bits);
  p->keys.clear();
}

bool MakeSurface(MapPicture* p, int32_t width, int32_t height) {
  MakeLayerSurface(nullptr, width, height, &p->dc, &p->oldBitmap, &p->size, &p->bits);
  if (p->bits == nullptr) {
    FreeSurface(p);
    return false;
  }
  p->keys.assign(size_t(height), {});
  return true;
}

// Composes the picture's rectangle `r` (inside it) afresh: the map layer, its key pixels marked,
// the tracks, the markers; then the row runs of the pixels still marked replace the rows' old runs
// inside the rectangle's columns.
void Compose(OMMapView* view, MapPicture* p, const PixelRect& r) {
  const int32_t w = r.right - r.left;
  BitBlt(p->dc, r.left, r.top, w, r.bottom - r.top, view->mapDC, r.left, r.top, SRCCOPY);
  for (int32_t y = r.top; y < r.bottom; ++y) {
    uint32_t* row = p->bits + ptrdiff_t(y) * p->size.width + r.left;
    for (int32_t i = 0; i < w; ++i) row[i] = (row[i] & kColourBits) == kColorKeyWhite ? kKeyMark : row[i];
  }
  const int64_t originX = view->bufferRect.left, originY = view->bufferRect.top;
  DrawTracksAt(view, p->dc, r, originX, originY);
  DrawMarkersAt(view, p->dc, r, originX, originY);
  std::vector<KeyRun> runs;
  for (int32_t y = r.top; y < r.bottom; ++y) {
    const uint32_t* row = p->bits + ptrdiff_t(y) * p->size.width;
    std::vector<KeyRun>& keys = p->keys[size_t(y)];
    runs.clear();
    for (const KeyRun& k : keys) {
      if (k.left < r.left) runs.push_back(KeyRun{k.left, std::min(k.right, r.left)});
    }
    for (int32_t x = r.left; x < r.right;) {
      // Pixels without a mark have a top byte of 0: most of a row is passed eight at a time.
      while (x + 8 <= r.right && ((row[x] | row[x + 1] | row[x + 2] | row[x + 3] | row[x + 4] | row[x + 5] |
                                   row[x + 6] | row[x + 7]) >> 24) == 0)
        x += 8;
      if (x >= r.right) break;
      if (row[x] != kKeyMark) {
        ++x;
        continue;
      }
      const int32_t start = x;
      while (x < r.right && row[x] == kKeyMark) ++x;
      if (!runs.empty() && runs.back().right == start) {
        runs.back().right = x;  // a run cut at the rectangle's left edge goes on
      } else {
        runs.push_back(KeyRun{start, x});
      }
    }
    for (const KeyRun& k : keys) {
      if (k.right <= r.right) continue;
      const KeyRun rest{std::max(k.left, r.right), k.right};
      if (!runs.empty() && runs.back().right == rest.left) {
        runs.back().right = rest.right;  // a new run reaching the rectangle's right edge goes on
      } else {
        runs.push_back(rest);
      }
    }
    keys.assign(runs.begin(), runs.end());
  }
}

// Most runs are a road's width across: a call to memcpy costs more than such a copy.
[[gnu::always_inline]] inline void CopyRun(uint32_t* __restrict to, const uint32_t* __restrict from, int32_t count) {
  if (count > 16) {
    std::memcpy(to, from, size_t(count) * sizeof(uint32_t));
    return;
  }
  // Two copies of 8 pixels at most, overlapping where the run is shorter (short runs pixel by pixel).
  if (count >= 8) {
    std::memcpy(to, from, 8 * sizeof(uint32_t));
    std::memcpy(to + count - 8, from + count - 8, 8 * sizeof(uint32_t));
    return;
  }
  if (count >= 4) {
    std::memcpy(to, from, 4 * sizeof(uint32_t));
    std::memcpy(to + count - 4, from + count - 4, 4 * sizeof(uint32_t));
    return;
  }
  if (count >= 1) to[0] = from[0];
  if (count >= 2) to[1] = from[1];
  if (count >= 3) to[2] = from[2];
}

}  // namespace

MapPicture::~MapPicture() { FreeSurface(this); }

void MarkPictureStale(OMMapView* view) {
  if (view->picture) view->picture->whole = true;
}

void MarkPictureRect(OMMapView* view, const PixelRect& rect) {
  if (!view->picture || view->picture->whole) return;
  std::vector<PixelRect>& dirty = view->picture->dirty;
  // A long fill marks many tiles between two paints; past a few, their bounds are composed once.
  constexpr size_t kMostRects = 32;
  if (dirty.size() >= kMostRects) {
    PixelRect all = rect;
    for (const PixelRect& d : dirty) all = BoundRects(all, d);
    dirty.assign(1, all);
    return;
  }
  dirty.push_back(rect);
}

void FreePicture(OMMapView* view) { view->picture.reset(); }

void ScrollPicture(OMMapView* view, int32_t dx, int32_t dy) {
  MapPicture* p = view->picture.get();
  if (p == nullptr || p->whole) return;
  const int32_t w = p->size.width, h = p->size.height;
  const PixelRect& b = view->bufferRect;
  const bool madeBefore = p->bufferRect == ShiftedRect(b, -dx, -dy) && w == LayerWidth(view) && h == LayerHeight(view);
  if (!madeBefore || dx <= -w || dx >= w || dy <= -h || dy >= h) {
    p->whole = true;
    return;
  }
  BitBlt(p->dc, 0, 0, w, h, p->dc, dx, dy, SRCCOPY);
  std::vector<std::vector<KeyRun>> keys(static_cast<size_t>(h));
  for (int32_t row = std::max(0, -dy); row < std::min(h, h - dy); ++row) {
    for (const KeyRun& k : p->keys[size_t(row + dy)]) {
      const int32_t left = std::max(k.left - dx, 0), right = std::min(k.right - dx, w);
      if (left < right) keys[size_t(row)].push_back(KeyRun{left, right});
    }
  }
  p->keys.swap(keys);
  for (PixelRect& d : p->dirty) d = ShiftedRect(d, -dx, -dy);
  p->bufferRect = b;
  if (dx < 0) MarkPictureRect(view, PixelRect{0, 0, -dx, h});
  if (dx > 0) MarkPictureRect(view, PixelRect{w - dx, 0, w, h});
  if (dy < 0) MarkPictureRect(view, PixelRect{0, 0, w, -dy});
  if (dy > 0) MarkPictureRect(view, PixelRect{0, h - dy, w, h});
}

bool UpdatePicture(OMMapView* view) {
  const int32_t bw = LayerWidth(view), bh = LayerHeight(view);
  // Showing reads the placeholder layer's pixels under the picture's: it must be the layers' size.
  if (view->mapDC == nullptr || view->placeholderBits == nullptr || bw <= 0 || bh <= 0 ||
      view->placeholderSize.width != bw || view->placeholderSize.height != bh)
    return false;
  if (!view->picture) view->picture = std::make_unique<MapPicture>();
  MapPicture* p = view->picture.get();
  if (p->size.width != bw || p->size.height != bh) {
    FreeSurface(p);
    if (!MakeSurface(p, bw, bh)) return false;
    p->whole = true;
  }
  const PixelRect& b = view->bufferRect;
  if (!(p->bufferRect == b) || p->zoom != view->zoom || p->projection != view->projection ||
      p->overlayGeneration != view->overlayGeneration)
    p->whole = true;
  if (p->whole) {
    p->dirty.clear();
    p->bufferRect = b;
    p->zoom = view->zoom;
    p->projection = view->projection;
    p->overlayGeneration = view->overlayGeneration;
    for (auto& row : p->keys) row.clear();
    Compose(view, p, PixelRect{0, 0, bw, bh});
    p->whole = false;
    return true;
  }
  for (const PixelRect& d : p->dirty) {
    const PixelRect r = IntersectRects(d, PixelRect{0, 0, bw, bh});
    if (!IsEmptyRect(r)) Compose(view, p, r);
  }
  p->dirty.clear();
  return true;
}

void ShowPicture(OMMapView* view, HDC target, int32_t x, int32_t y, int32_t width, int32_t height, int32_t u,
                 int32_t v, int32_t ox, int32_t oy) {
  MapPicture* p = view->picture.get();
  const int32_t placeholderWidth = view->placeholderSize.width;
  // The placeholder layer repeats one cell from its left-top corner; runs read that cell, which
  // stays in the cache, instead of rows all over a large layer.
  const bool cells = placeholderWidth >= kPlaceholderCell && view->placeholderSize.height >= kPlaceholderCell;
  // In bands of rows that fit the cache: the runs written into a band are still there when the
  // band is copied, instead of being read back from memory.
  const int32_t band = std::max<int32_t>(1, int32_t(kBandBytes / (size_t(p->size.width) * sizeof(uint32_t))));
  const int32_t end = u + width;
  // Read once: the pixel writes below could alias them as far as the compiler knows.
  uint32_t* const bits = p->bits;
  const ptrdiff_t stride = p->size.width;
  const uint32_t* const placeholder = view->placeholderBits;
  const std::vector<KeyRun>* const runsOfRow = p->keys.data();
  for (int32_t first = v; first < v + height; first += band) {
    const int32_t last = std::min(first + band, v + height);
    for (int32_t row = first; row < last; ++row) {
      const std::vector<KeyRun>& keys = runsOfRow[row];
      if (keys.empty()) continue;
      uint32_t* to = bits + row * stride;
      // Shown rows and columns lie inside the placeholder layer: never negative.
      const int32_t placeholderRow = cells ? (row - oy) & (kPlaceholderCell - 1) : row - oy;
      const uint32_t* from = placeholder + ptrdiff_t(placeholderRow) * placeholderWidth;
      for (const KeyRun& k : keys) {
        // Runs are in order: those left of the rectangle are passed, those right of it end the row.
        if (k.right <= u) continue;
        if (k.left >= end) break;
        const int32_t left = std::max(k.left, u), count = std::min(k.right, end) - left;
        // Picture column `left` lies over placeholder-layer column left - ox.
        const int32_t column = cells ? (left - ox) & (kPlaceholderCell - 1) : left - ox;
        if (!cells || column + count <= kPlaceholderCell) {
          CopyRun(to + left, from + column, count);
        } else {
          // The run crosses cells: the rest starts again at the cell's first column.
          const int32_t head = kPlaceholderCell - column;
          CopyRun(to + left, from + column, head);
          for (int32_t done = head; done < count; done += kPlaceholderCell)
            CopyRun(to + left + done, from, std::min(count - done, kPlaceholderCell));
        }
      }
    }
    BitBlt(target, x, y + (first - v), width, last - first, p->dc, u, first, SRCCOPY);
  }
}
