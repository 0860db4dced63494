// Tracks: lines through positions, drawn over the tiles and under the markers in the order added.
// Each is simplified once per zoom level, to that level's pixels, when it is first drawn there,
// so a long track costs at a level about what can be seen of it.
#pragma once

#include <cstdint>
#include <vector>

#include "mapview/MapViewRecord.h"

// The widest track, in pixels, and the most points one may have.
constexpr int32_t kMaxTrackWidth = 64;
constexpr uint32_t kMaxTrackPoints = 10000000;

// A track's line at one zoom level: the world pixels of its points but those that lie within half
// a pixel of the line drawn instead, and the bounds of each run of kTrackChunk lines (for skipping
// what is not drawn).
struct TrackLevel {
  bool made = false;
  std::vector<PixelPoint> points;
  std::vector<PixelRect> chunkBounds;  // chunk k: points k * kTrackChunk to (k + 1) * kTrackChunk
};
constexpr size_t kTrackChunk = 64;

struct MapTrack {
  int32_t id = 0;
  uint32_t rgb = 0;  // 0xRRGGBB
  int32_t width = 1;
  std::vector<GeoPoint> points;
  std::vector<PixelPoint> deepPixels;  // the points at the projection's deepest level, made when first drawn
  std::vector<TrackLevel> levels;      // by zoom level, made when first drawn there
};

// Copies `count` latitude, longitude pairs and appends the track. Its id (> 0), or 0 with the
// reason in lastError for null points, fewer than 2, a latitude outside -90..90 or a longitude
// outside -180..180 (NaN and infinity included), more than kMaxTrackPoints points, or a width
// outside 1..kMaxTrackWidth.
int32_t AddTrack(OMMapView* view, const double* latLon, uint32_t count, uint32_t rgb, int32_t width);
// 1, or 0 with the reason for an unknown id.
int32_t RemoveTrack(OMMapView* view, int32_t id);
// The track's simplified line at the zoom level, made on first use.
const TrackLevel& TrackAtLevel(OMMapView* view, MapTrack& track, int32_t level);
// Draws every track where it is shown (offsets included), only the lines that reach `clip` (client
// coordinates, right and bottom exclusive), and nothing outside it. Nothing while the zoom has no
// tile level.
void DrawTracks(OMMapView* view, HDC target, const PixelRect& clip);
// The same into any surface: (originX, originY) is the world pixel at the target's (0, 0), and
// `clip` is in the target's coordinates.
void DrawTracksAt(OMMapView* view, HDC target, const PixelRect& clip, int64_t originX, int64_t originY);
