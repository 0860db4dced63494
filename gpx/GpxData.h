// What a GPX file holds that a map shows: waypoints (named positions) and lines (a track's
// segments and routes) as positions in degrees. Plain values, no behaviour.
#pragma once

#include <string>
#include <vector>

namespace gpx {

struct LatLon {
  double latitude = 0;   // degrees, -90..90
  double longitude = 0;  // degrees, -180..180
};

struct Waypoint {
  std::string name;  // UTF-8, at most kMaxNameBytes; empty when the file names none
  LatLon position;
};

// A track segment (trkseg) or a route (rte): the points in order, to be joined by straight lines.
enum class LineKind { Track, Route };
struct Line {
  LineKind kind = LineKind::Track;
  std::vector<LatLon> points;
};

struct GpxData {
  std::vector<Waypoint> waypoints;
  std::vector<Line> lines;
};

// Longer names are cut (at a character boundary) to this many bytes.
constexpr size_t kMaxNameBytes = 256;

// The smallest box holding every waypoint and line point; false when there is none.
struct LatLonBox {
  double south = 0, west = 0, north = 0, east = 0;
};
bool BoundsOf(const std::vector<GpxData>& files, LatLonBox* box);

}  // namespace gpx
