#include "mapview/MapTracks.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <utility>

#include "mapview/ViewPosition.h"
#include "mapview/ViewQueries.h"

namespace {

int32_t Refuse(OMMapView* view, const char* reason) {
  view->lastError = reason;
  return 0;
}

void Redraw(OMMapView* view) {
  ++view->overlayGeneration;
  if (view->window != nullptr) InvalidateRect(view->window, nullptr, TRUE);
}

struct Point {
  double x, y;
};

// Squared distance from p to the line from a to b (to the nearer end beyond them).
double SquaredDistanceToLine(Point p, Point a, Point b) {
  const double dx = b.x - a.x, dy = b.y - a.y, px = p.x - a.x, py = p.y - a.y;
  const double length2 = dx * dx + dy * dy;
  const double t = length2 > 0 ? std::clamp((px * dx + py * dy) / length2, 0.0, 1.0) : 0.0;
  const double ex = px - t * dx, ey = py - t * dy;
  return ex * ex + ey * ey;
}

// Which points to keep so that every point left out lies within half a pixel of the line drawn
// instead, and no turn wider than a pixel is lost: first each point within a tenth of a pixel of
// the last one kept is left out (it lies that close to the line from the kept one on), then
// Douglas-Peucker with the remaining four tenths, worked with an explicit stack.
std::vector<size_t> Simplify(const std::vector<Point>& points) {
  constexpr double kNear = 0.1 * 0.1, kTolerance = 0.4 * 0.4;
  std::vector<size_t> near;
  near.reserve(points.size());
  for (size_t i = 0; i < points.size(); ++i) {
    if (!near.empty() && i + 1 < points.size()) {
      const Point last = points[near.back()];
      const double dx = points[i].x - last.x, dy = points[i].y - last.y;
      if (dx * dx + dy * dy < kNear) continue;
    }
    near.push_back(i);
  }
  const size_t n = near.size();
  if (n <= 2) return near;
  std::vector<uint8_t> keep(n, 0);
  keep[0] = keep[n - 1] = 1;
  std::vector<std::pair<size_t, size_t>> pending{{0, n - 1}};
  while (!pending.empty()) {
    const auto [first, last] = pending.back();
    pending.pop_back();
    double farthest = kTolerance;
    size_t at = 0;
    for (size_t i = first + 1; i < last; ++i) {
      const double d = SquaredDistanceToLine(points[near[i]], points[near[first]], points[near[last]]);
      if (d > farthest) {
        farthest = d;
        at = i;
      }
    }
    if (at == 0) continue;
    keep[at] = 1;
    if (at - first > 1) pending.emplace_back(first, at);
    if (last - at > 1) pending.emplace_back(at, last);
  }
  std::vector<size_t> kept;
  for (size_t i = 0; i < n; ++i)
    if (keep[i]) kept.push_back(near[i]);
  return kept;
}

// World pixels across the world at a level, as the projection gives them.
double WorldWidth(MapProjection* projection, int32_t level) {
  return double(projection->TilesPerSide(double(level)).width) * projection->TileSize().width;
}

// The points at the projection's deepest level, in world pixels: the finest the projection gives,
// and scaled down, each level's pixels to a fraction of a pixel.
const std::vector<PixelPoint>& DeepPixels(MapProjection* projection, MapTrack& track) {
  if (track.deepPixels.empty()) {
    const int32_t deepest = ZoomLevelOf(projection->MaxZoom());
    track.deepPixels.reserve(track.points.size());
    for (const GeoPoint& p : track.points)
      track.deepPixels.push_back(projection->LatLonToPixel(p.latitude, p.longitude, double(deepest)));
  }
  return track.deepPixels;
}

TrackLevel MakeLevel(MapProjection* projection, MapTrack& track, int32_t level) {
  TrackLevel line;
  line.made = true;
  const std::vector<PixelPoint>& deep = DeepPixels(projection, track);
  const double scale = WorldWidth(projection, level) / WorldWidth(projection, ZoomLevelOf(projection->MaxZoom()));
  std::vector<Point> exact;
  exact.reserve(deep.size());
  for (const PixelPoint& p : deep) exact.push_back(Point{p.x * scale, p.y * scale});
  // The points kept are drawn at the projection's own pixels, those the position queries give;
  // a run of them on one pixel is one point.
  for (size_t i : Simplify(exact)) {
    const GeoPoint& p = track.points[i];
    const PixelPoint pixel = projection->LatLonToPixel(p.latitude, p.longitude, double(level));
    if (line.points.empty() || !(line.points.back() == pixel)) line.points.push_back(pixel);
  }
  line.points.shrink_to_fit();
  for (size_t start = 0; start + 1 < line.points.size() || start == 0; start += kTrackChunk) {
    const size_t end = std::min(start + kTrackChunk, line.points.size() - 1);
    PixelRect bounds{line.points[start].x, line.points[start].y, line.points[start].x, line.points[start].y};
    for (size_t i = start + 1; i <= end; ++i) {
      bounds.left = std::min(bounds.left, line.points[i].x);
      bounds.top = std::min(bounds.top, line.points[i].y);
      bounds.right = std::max(bounds.right, line.points[i].x);
      bounds.bottom = std::max(bounds.bottom, line.points[i].y);
    }
    line.chunkBounds.push_back(bounds);
    if (line.points.size() == 1) break;
  }
  return line;
}

// World-pixel box, right and bottom inclusive, in 64 bits.
struct Reach {
  int64_t left, top, right, bottom;
  bool Touches(int64_t l, int64_t t, int64_t r, int64_t b) const {
    return l <= right && r >= left && t <= bottom && b >= top;
  }
};

bool Touches(const Reach& reach, PixelPoint a, PixelPoint b) {
  return reach.Touches(std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y));
}

}  // namespace

int32_t AddTrack(OMMapView* view, const double* latLon, uint32_t count, uint32_t rgb, int32_t width) {
  if (latLon == nullptr) return Refuse(view, "a track needs its points");
  if (count < 2) return Refuse(view, "a track needs at least 2 points");
  if (count > kMaxTrackPoints) return Refuse(view, "a track has at most 10,000,000 points");
  if (width < 1 || width > kMaxTrackWidth) return Refuse(view, "a track's width is 1 to 64 pixels");
  if (view->nextTrackId == std::numeric_limits<int32_t>::max()) return Refuse(view, "no track ids are left");
  MapTrack track;
  try {
    track.points.resize(count);
  } catch (const std::bad_alloc&) {
    return Refuse(view, "no memory for the track's points");
  }
  for (uint32_t i = 0; i < count; ++i) {
    const double latitude = latLon[2 * size_t(i)], longitude = latLon[2 * size_t(i) + 1];
    // The comparisons are false for NaN.
    if (!(latitude >= -90.0 && latitude <= 90.0) || !(longitude >= -180.0 && longitude <= 180.0))
      return Refuse(view, "a track's points must be latitudes -90 to 90 and longitudes -180 to 180");
    track.points[i] = GeoPoint{latitude, longitude};
  }
  track.id = view->nextTrackId++;
  track.rgb = rgb & 0xFFFFFF;
  track.width = width;
  view->tracks.push_back(std::move(track));
  view->lastError.clear();
  Redraw(view);
  return view->tracks.back().id;
}

int32_t RemoveTrack(OMMapView* view, int32_t id) {
  auto found = std::find_if(view->tracks.begin(), view->tracks.end(),
                            [id](const MapTrack& track) { return track.id == id; });
  if (found == view->tracks.end()) return Refuse(view, "no track has that id");
  view->tracks.erase(found);
  view->lastError.clear();
  Redraw(view);
  return 1;
}

const TrackLevel& TrackAtLevel(OMMapView* view, MapTrack& track, int32_t level) {
  if (track.levels.size() <= size_t(level)) track.levels.resize(size_t(level) + 1);
  TrackLevel& line = track.levels[size_t(level)];
  if (!line.made) line = MakeLevel(view->projection, track, level);
  return line;
}

void DrawTracks(OMMapView* view, HDC target, const PixelRect& clip) {
  const WorldPixel64 origin = ShownClientOrigin(view);
  DrawTracksAt(view, target, clip, origin.x, origin.y);
}

void DrawTracksAt(OMMapView* view, HDC target, const PixelRect& clip, int64_t originX, int64_t originY) {
  if (view->tracks.empty() || !ZoomHasLevel(view)) return;
  if (clip.right <= clip.left || clip.bottom <= clip.top) return;
  const int32_t level = ZoomLevelOf(view->zoom);
  const int saved = SaveDC(target);
  IntersectClipRect(target, clip.left, clip.top, clip.right, clip.bottom);
  std::vector<POINT> run;
  auto client = [&](PixelPoint p) { return POINT{LONG(p.x - originX), LONG(p.y - originY)}; };
  auto flush = [&] {
    if (run.size() >= 2) Polyline(target, run.data(), int(run.size()));
    run.clear();
  };
  for (MapTrack& track : view->tracks) {
    const TrackLevel& line = TrackAtLevel(view, track, level);
    // The world pixels a line must come near to touch the clip: its pen reaches half its width.
    const int64_t pen = track.width / 2 + 1;
    const Reach reach{clip.left + originX - pen, clip.top + originY - pen, clip.right - 1 + originX + pen,
                      clip.bottom - 1 + originY + pen};
    HPEN trackPen = CreatePen(PS_SOLID, track.width, RGB(BYTE(track.rgb >> 16), BYTE(track.rgb >> 8), BYTE(track.rgb)));
    if (trackPen == nullptr) continue;
    HGDIOBJ previous = SelectObject(target, trackPen);
    const std::vector<PixelPoint>& points = line.points;
    if (points.size() == 1) {
      // Every point on one pixel: a dot.
      if (Touches(reach, points[0], points[0])) run = {client(points[0]), client(points[0])};
      flush();
    }
    size_t runEnd = 0;  // the point the run ends at, when it is not empty
    for (size_t chunk = 0; points.size() > 1 && chunk < line.chunkBounds.size(); ++chunk) {
      const PixelRect& b = line.chunkBounds[chunk];
      if (!reach.Touches(b.left, b.top, b.right, b.bottom)) continue;
      const size_t first = chunk * kTrackChunk, last = std::min(first + kTrackChunk, points.size() - 1);
      for (size_t i = first; i < last; ++i) {
        if (!Touches(reach, points[i], points[i + 1])) continue;
        if (run.empty() || runEnd != i) {
          flush();
          run.push_back(client(points[i]));
        }
        run.push_back(client(points[i + 1]));
        runEnd = i + 1;
      }
    }
    flush();
    SelectObject(target, previous);
    DeleteObject(trackPen);
  }
  RestoreDC(target, saved);
}
