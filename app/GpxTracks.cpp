#include "app/GpxTracks.h"

#include <cstdint>
#include <limits>
#include <string>

namespace ambrel {

namespace {

constexpr uint32_t kTrackRgb = 0xD0309F;  // magenta: apart from the map's own colours
constexpr uint32_t kRouteRgb = 0x1F5FD0;  // blue
constexpr int32_t kLineWidthPixels = 3;

}  // namespace

std::string ShowGpxTracks(OMMapView* view, const std::vector<gpx::Line>& lines) {
  std::string refused;
  std::vector<double> latLon;  // interleaved latitude, longitude pairs, as the control takes them
  for (const gpx::Line& line : lines) {
    if (line.points.size() < 2 || line.points.size() > std::numeric_limits<uint32_t>::max()) continue;
    latLon.clear();
    latLon.reserve(2 * line.points.size());
    for (const gpx::LatLon& point : line.points) {
      latLon.push_back(point.latitude);
      latLon.push_back(point.longitude);
    }
    const uint32_t count = static_cast<uint32_t>(line.points.size());
    const uint32_t rgb = line.kind == gpx::LineKind::Track ? kTrackRgb : kRouteRgb;
    if (OMMapViewAddPolyline(view, latLon.data(), count, rgb, kLineWidthPixels) == 0 && refused.empty())
      refused = OMMapViewGetLastError(view);
  }
  return refused;
}

}  // namespace ambrel
