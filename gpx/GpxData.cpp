#include "gpx/GpxData.h"

#include <algorithm>

namespace gpx {

bool BoundsOf(const std::vector<GpxData>& files, LatLonBox* box) {
  bool any = false;
  LatLonBox b;
  auto take = [&](const LatLon& p) {
    if (!any) {
      b = {p.latitude, p.longitude, p.latitude, p.longitude};
      any = true;
      return;
    }
    b.south = std::min(b.south, p.latitude);
    b.north = std::max(b.north, p.latitude);
    b.west = std::min(b.west, p.longitude);
    b.east = std::max(b.east, p.longitude);
  };
  for (const GpxData& data : files) {
    for (const Waypoint& w : data.waypoints) take(w.position);
    for (const Line& line : data.lines)
      for (const LatLon& p : line.points) take(p);
  }
  if (any) *box = b;
  return any;
}

}  // namespace gpx
